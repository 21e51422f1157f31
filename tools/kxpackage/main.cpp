// kxpackage: packages the databases of phone applications into JSON through
// the kxdatapackage library.
#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kxdatapackage.h"
#include "tools/kxpackage/android_backup.h"
#include "tools/kxpackage/android_types.h"
#include "tools/kxpackage/backup_unlock.h"
#include "tools/kxpackage/discovery.h"
#include "tools/kxpackage/encrypted_backup.h"
#include "tools/kxpackage/host_platform.h"
#include "tools/kxpackage/inside_folder.h"
#include "tools/kxpackage/ios_backup_reader.h"
#include "tools/kxpackage/ios_types.h"
#include "tools/kxpackage/job_runner.h"
#include "tools/kxpackage/library_log.h"
#include "tools/kxpackage/mbdb_backup.h"
#include "tools/kxpackage/options.h"
#include "tools/kxpackage/progress.h"
#include "tools/kxpackage/provenance.h"
#include "tools/kxpackage/report.h"
#include "tools/kxpackage/summary.h"

#if defined(KXPACKAGE_HAVE_SAMPLES)
#include "samples/sample_set.h"
#endif

namespace kxpackage {
namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr char kConfigFileName[] = "KxDataConfiger.db";
constexpr char kLogFileName[] = "KxDataPackage.log";

void Error(const std::string& message) { std::fprintf(stderr, "kxpackage: %s\n", message.c_str()); }

int Usage(const std::string& message, const std::string& command) {
  Error(message);
  std::fprintf(stderr, "%s", HelpText(command).c_str());
  return kExitUsage;
}

std::string JsonText(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, value);
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::u8path(path), error);
  return error ? path : absolute.lexically_normal().u8string();
}

bool IsInside(const std::string& inner, const std::string& outer) {
  const std::string a = Absolute(inner), b = Absolute(outer);
  return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 &&
                    (a[b.size()] == '/' || a[b.size()] == '\\' || b.back() == '/'));
}

std::string ReportPage(const std::string& output) {
  return (fs::u8path(Absolute(output)) / "report" / "index.html").u8string();
}

bool MakeFolder(const std::string& folder, const char* what) {
  std::error_code error;
  fs::create_directories(fs::u8path(folder), error);
  if (error || !fs::is_directory(fs::u8path(folder))) {
    Error(folder + ": cannot create " + what + " (" +
          (error ? error.message() : std::string("not a folder")) + ")");
    return false;
  }
  return true;
}

// The library's state for one run: log folder, configuration, and the
// watcher that turns Ctrl-C into a stop request.
class Session {
 public:
  static bool Open(const Options& options, const std::string& output, Session* session) {
    session->log_dir_ =
        options.log_dir.empty() ? (fs::u8path(output) / "logs").u8string() : options.log_dir;
    if (!MakeFolder(session->log_dir_, "log folder")) return false;
    std::string config = options.config_dir.empty() ? LibraryFolder() : options.config_dir;
    if (!fs::exists(fs::u8path(config) / kConfigFileName)) {
      Error(std::string("warning: ") + kConfigFileName + " not found in '" + config +
            "'; merging older copies will fail (use --config DIR)");
    }
    InitKxDataPackage(session->log_dir_.c_str(), config.c_str());
    LibraryLog::Use((fs::u8path(session->log_dir_) / kLogFileName).u8string());
    InstallInterruptHandler();
    session->progress_ = std::make_unique<ProgressMonitor>(
        !options.quiet && !options.json && StderrIsTerminal(), options.verbose,
        (fs::u8path(session->log_dir_) / kLogFileName).u8string());
    return true;
  }
  ProgressMonitor* progress() { return progress_.get(); }

 private:
  std::string log_dir_;
  std::unique_ptr<ProgressMonitor> progress_;
};

bool Report(const std::string& output) {
  std::string error;
  if (!WriteReport(output, &error)) {
    Error(error);
    return false;
  }
  std::fprintf(stderr, "Report: %s\n", ReportPage(output).c_str());
  return true;
}

// Prints the summary and leaves it in OUT for the report.
int Finish(const Options& options, const std::vector<JobResult>& results, const std::string& output,
           const BackupDevice* device = nullptr) {
  if (options.json) {
    PrintSummaryJson(results, Absolute(output), stdout, device);
  } else {
    PrintSummaryTable(results, Absolute(output), stdout, device);
  }
  const std::string summary = (fs::u8path(output) / kSummaryFileName).u8string();
  std::vector<std::string> folders;
  for (const JobResult& result : results) folders.push_back(result.output_folder);
  const Json::Value provenance = Provenance::Run().Document(output, folders);
  if (!WriteSummaryJson(results, Absolute(output), summary, device, &provenance)) {
    Error(summary + ": cannot be written");
  }
  if (Interrupted()) return kExitInterrupted;
  int status = kExitOk;
  for (const JobResult& result : results) {
    if (!Succeeded(result)) status = kExitFailed;
  }
  if (options.report && !Report(output)) status = kExitFailed;
  return status;
}

JobResult Skipped(const std::string& name, int data_type, int status, const std::string& detail) {
  JobResult result;
  result.name = name;
  result.data_type = data_type;
  result.status = status;
  result.detail = detail;
  return result;
}

// ---- android ----

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// One line per data type: its usual file names and the tables that tell
// its database anywhere else.
std::string LookedFor() {
  std::string text;
  for (const AndroidType& type : AndroidTypes()) {
    std::vector<std::string> sets;
    for (const auto& set : type.source.table_sets) sets.push_back(Joined(set, ", "));
    text += "  " + type.title + ": " + Joined(type.source.file_names, " or ");
    if (!sets.empty()) text += ", or a database with the tables " + Joined(sets, " (or ");
    text += std::string(sets.size() > 1 ? ")" : "") + "\n";
  }
  return text;
}

// The summary says why in SQLite's words; a library that packaged the file
// anyway does not make it a success.
void NoteDamage(const FoundSource& source, JobResult* result) {
  result->detail = source.path + ": " + source.damage;
  Error(result->detail);
  if (result->status == 0) result->status = kHostBadSource;
}

struct AndroidPlan {
  const AndroidType* type = nullptr;
  FoundSource source;
  std::vector<FoundSource> companions;                     // one per companion pattern, maybe empty
  std::map<std::string, std::vector<std::string>> copies;  // second key -> paths
};

JobResult RunAndroidType(const AndroidPlan& plan, const std::string& dir, const std::string& output,
                         Session* session) {
  const AndroidType& type = *plan.type;
  const std::string folder = (fs::u8path(output) / type.name).u8string();
  Json::Value request;
  request["package_type"] = type.data_type;
  request["temp_folder"] = Absolute(folder);
  request["primary_file_object"][type.source.primary_key] = Absolute(plan.source.path);
  if (type.staged) {
    return RunStaged(type.name, type.data_type, JsonText(request), folder, plan.source.path,
                     type.count_records, session->progress());
  }
  for (size_t i = 0; i < type.companions.size(); ++i) {
    if (plan.companions[i].check != FileCheck::kDatabase) continue;
    request["primary_file_object"][type.companions[i].primary_key] =
        Absolute(plan.companions[i].path);
  }
  for (const auto& [second_key, paths] : plan.copies) {
    Json::Value& copies = request["second_file_objects"][second_key];
    copies = Json::Value(Json::arrayValue);
    for (const std::string& copy : paths) copies.append(Absolute(copy));
  }
  if (!type.private_files_marker.empty()) {
    request["addtional_param"] = Absolute(FindPrivateFilesRoot(dir, type.private_files_marker));
  }
  return RunFilterAndPackage(type.name, type.data_type, JsonText(request), folder,
                             type.count_records, session->progress());
}

// The queue a further copy of `type` belongs to: the companion whose tables
// it has, else the main database's. "" when the type merges no copies.
std::string CopyQueueOf(const AndroidType& type, const std::string& path) {
  for (const SourcePattern& companion : type.companions) {
    SourcePattern anywhere = companion;  // older copies may lie anywhere
    anywhere.required_path_part.clear();
    anywhere.excluded_path_part.clear();
    if (!companion.second_key.empty() && MatchesSource(anywhere, path)) return companion.second_key;
  }
  return type.source.second_key;
}

// Sorts --copy TYPE=PATH by data type and queue. False on a usage error.
bool AddCopies(const Options& options,
               std::map<std::string, std::map<std::string, std::vector<std::string>>>* copies,
               std::vector<JobResult>* problems) {
  for (const std::string& copy_argument : options.copies) {
    if (IsAndroidBackupFile(copy_argument)) continue;  // a whole older backup, taken apart later
    const size_t equals = copy_argument.find('=');
    const AndroidType* type =
        equals == std::string::npos ? nullptr : FindAndroidType(copy_argument.substr(0, equals));
    if (type == nullptr) {
      Usage("--copy " + copy_argument + ": expected TYPE=PATH with a known TYPE", "android");
      return false;
    }
    const std::string path = copy_argument.substr(equals + 1);
    const FileCheck check = CheckDatabaseFile(path);
    if (check != FileCheck::kDatabase) {
      Error(path + ": " + DescribeFileCheck(check) + " (skipped)");
      problems->push_back(Skipped(type->name + " copy", type->data_type, kHostBadSource,
                                  path + ": " + DescribeFileCheck(check)));
      continue;
    }
    const std::string queue = CopyQueueOf(*type, path);
    if (queue.empty()) {
      Usage("--copy " + copy_argument + ": " + type->name + " merges no copies", "android");
      return false;
    }
    (*copies)[type->name][queue].push_back(path);
  }
  return true;
}

// What an android run packages, checked before anything is written.
// An `adb backup` file: its header, and its master key once the password
// opened it, before anything is written.
struct AndroidBackupSource {
  std::string file;
  AbHeader header;
  AbMasterKey master;
};

struct AndroidInput {
  std::string dir;
  // An `adb backup` file instead of a folder, and older backups of the
  // phone given with --copy, all opened with one password.
  AndroidBackupSource backup;
  std::vector<AndroidBackupSource> backup_copies;
  std::string password;
  bool have_password = false;
  std::map<std::string, std::map<std::string, std::vector<std::string>>> copies;
  std::vector<JobResult> problems;  // copies that could not be taken
  AndroidBackupContents contents;
};

// Reads the header of an Android backup file and, when it is encrypted,
// opens its master key with the password; nothing is written yet.
int OpenAndroidBackup(const Options& options, AndroidBackupSource* backup, AndroidInput* input) {
  std::string message;
  if (!ReadAbHeader(backup->file, &backup->header, &message)) {
    Error(message);
    return kExitFailed;
  }
  if (!backup->header.encrypted) return kExitOk;
  if (!input->have_password &&
      !ObtainBackupPassword(options.password_file, &input->password, &message)) {
    Error(message);
    return kExitFailed;
  }
  input->have_password = true;
  if (!UnlockAbMasterKey(backup->header, input->password, &backup->master, &message)) {
    Error(backup->file + ": " + message);
    return kExitFailed;
  }
  return kExitOk;
}

// The older backup files given with --copy, opened before anything is
// written.
int OpenAndroidBackupCopies(const Options& options, AndroidInput* input) {
  for (const std::string& copy_argument : options.copies) {
    if (!IsAndroidBackupFile(copy_argument)) continue;
    input->backup_copies.push_back({copy_argument, {}, {}});
    if (const int status = OpenAndroidBackup(options, &input->backup_copies.back(), input);
        status != kExitOk) {
      return status;
    }
  }
  return kExitOk;
}

// Takes each older backup file apart into OUT/android-backup-copies/<n>
// and queues the databases found there as copies of their data types.
void ExtractAndroidCopies(const std::string& output, AndroidInput* input, Session* session) {
  for (size_t i = 0; i < input->backup_copies.size(); ++i) {
    const AndroidBackupSource& copy = input->backup_copies[i];
    const std::string target =
        (fs::u8path(output) / "android-backup-copies" / std::to_string(i + 1)).u8string();
    AndroidBackupContents contents;
    std::string message;
    session->progress()->Begin("reading the older backup " + copy.file);
    const bool read =
        ExtractAndroidBackup(copy.file, copy.header, &copy.master, target, &contents, &message);
    session->progress()->Finish();
    if (!read) {
      Error(message + " (copy skipped)");
      input->problems.push_back(Skipped("older_backup", -1, kHostBadSource, message));
      continue;
    }
    const std::vector<std::string> files = ListCandidateFiles(target);
    for (const AndroidType& type : AndroidTypes()) {
      std::vector<SourcePattern> patterns = type.companions;
      patterns.push_back(type.source);
      for (const SourcePattern& pattern : patterns) {
        const FoundSource found =
            pattern.second_key.empty() ? FoundSource() : FindSource(pattern, files);
        if (!found.path.empty() && found.check == FileCheck::kDatabase) {
          input->copies[type.name][pattern.second_key].push_back(found.path);
        }
      }
    }
  }
}

// Takes what the packagers read out of the backup file into
// OUT/android-backup, the folder packaged from then on.
int ExtractAndroid(const std::string& output, AndroidInput* input, Session* session) {
  const std::string target = (fs::u8path(output) / "android-backup").u8string();
  std::string message;
  session->progress()->Begin("reading the backup " + input->backup.file);
  const bool read = ExtractAndroidBackup(input->backup.file, input->backup.header,
                                         &input->backup.master, target, &input->contents, &message);
  session->progress()->Finish();
  if (!read) {
    Error(message);
    return kExitFailed;
  }
  input->dir = target;
  return kExitOk;
}

// One summary line per app of the backup: packaged, or why not.
void ListBackupApps(const AndroidInput& input, std::vector<JobResult>* results) {
  const std::vector<std::string> files = ListCandidateFiles(input.dir);
  std::map<std::string, std::vector<std::string>> packaged;  // package -> data types
  for (const AndroidType& type : AndroidTypes()) {
    const FoundSource source = FindSource(type.source, files);
    const std::string relative =
        fs::u8path(source.path).lexically_relative(fs::u8path(input.dir)).generic_u8string();
    if (source.path.empty() || relative.rfind("apps/", 0) != 0) continue;
    packaged[relative.substr(5, relative.find('/', 5) - 5)].push_back(type.name);
  }
  for (const std::string& app : input.contents.apps) {
    const auto found = packaged.find(app);
    results->push_back(
        found == packaged.end()
            ? Skipped("app " + app, -1, kHostNotAvailable, "not packaged")
            : Skipped("app " + app, -1, 0, "packaged as " + Joined(found->second, ", ")));
  }
}

// kExitOk when the run may go on, else its exit status.
int CheckAndroid(const Options& options, AndroidInput* input) {
  if (options.positional.size() != 1) return Usage("android needs one DIR", "android");
  if (options.output.empty()) return Usage("android needs -o OUT", "android");
  input->dir = options.positional[0];
  const std::string& dir = input->dir;
  std::error_code error;
  if (fs::is_regular_file(fs::u8path(dir), error) && IsAndroidBackupFile(dir)) {
    input->backup.file = dir;
    if (const int status = OpenAndroidBackup(options, &input->backup, input); status != kExitOk) {
      return status;
    }
    if (const int status = OpenAndroidBackupCopies(options, input); status != kExitOk) {
      return status;
    }
    return AddCopies(options, &input->copies, &input->problems) ? kExitOk : kExitUsage;
  }
  if (!fs::is_directory(fs::u8path(dir), error)) {
    return Usage(
        dir + ": " + (fs::exists(fs::u8path(dir), error) ? "not a folder" : "no such folder"),
        "android");
  }
  if (IsInside(options.output, dir)) {
    return Usage(options.output + ": the output folder must not lie inside " + dir, "android");
  }
  if (const int status = OpenAndroidBackupCopies(options, input); status != kExitOk) return status;
  if (!AddCopies(options, &input->copies, &input->problems)) return kExitUsage;
  Provenance::Run().NoteInputRoot(dir);
  return kExitOk;
}

// Packages every data type found in the folder; false when none was found.
bool PackageAndroid(AndroidInput* input, const std::string& output, Session* session,
                    std::vector<JobResult>* results) {
  const std::string& dir = input->dir;
  const size_t first = results->size();
  results->insert(results->end(), input->problems.begin(), input->problems.end());
  std::vector<std::string> outside;
  const std::vector<std::string> files = ListCandidateFiles(dir, &outside);
  // Links out of the folder are never followed: the summary names each.
  for (const std::string& line : outside) {
    Error(line);
    results->push_back(Skipped("outside_folder", -1, kHostBadSource, line));
  }
  for (const AndroidType& type : AndroidTypes()) {
    AndroidPlan plan;
    plan.type = &type;
    plan.source = FindSource(type.source, files);
    for (const SourcePattern& companion : type.companions) {
      plan.companions.push_back(FindSource(companion, files));
    }
    plan.copies = input->copies[type.name];
    if (plan.source.path.empty()) {
      if (!plan.copies.empty()) {
        results->push_back(Skipped(type.name, type.data_type, kHostBadSource,
                                   "copies given, but no " + type.title + " database in " + dir));
      }
      continue;
    }
    // A file that is not a database at all still goes to the library, which
    // answers with its status and log line; the tool adds SQLite's words.
    const bool readable_kind =
        plan.source.check == FileCheck::kDatabase || plan.source.check == FileCheck::kNotDatabase;
    if (!readable_kind) {
      const std::string detail = plan.source.path + ": " + DescribeFileCheck(plan.source.check);
      Error(detail);
      results->push_back(Skipped(type.name, type.data_type, kHostBadSource, detail));
      continue;
    }
    if (!type.available) {
      results->push_back(
          Skipped(type.name, type.data_type, kHostNotAvailable, "found " + plan.source.path));
      continue;
    }
    if (Interrupted()) {
      results->push_back(Skipped(type.name, type.data_type, kHostNotRun, ""));
      continue;
    }
    JobResult result = RunAndroidType(plan, dir, output, session);
    if (!plan.source.damage.empty()) {
      NoteDamage(plan.source, &result);
    } else if (result.status != 0) {
      // The schema read, yet the library could not read it through: say
      // where in SQLite's words, when its rows show it.
      FoundSource read_through = plan.source;
      read_through.damage = FindDamagedRows(plan.source.path);
      if (!read_through.damage.empty()) NoteDamage(read_through, &result);
    }
    results->push_back(result);
  }
  return results->size() > first;
}

int RunAndroid(const Options& options) {
  AndroidInput input;
  if (const int status = CheckAndroid(options, &input); status != kExitOk) return status;
  if (!MakeFolder(options.output, "output folder")) return kExitFailed;
  Session session;
  if (!Session::Open(options, options.output, &session)) return kExitFailed;
  if (!input.backup.file.empty()) {
    if (const int status = ExtractAndroid(options.output, &input, &session); status != kExitOk) {
      return status;
    }
  }
  ExtractAndroidCopies(options.output, &input, &session);
  std::vector<JobResult> results;
  const bool found = PackageAndroid(&input, options.output, &session, &results);
  if (!input.backup.file.empty()) ListBackupApps(input, &results);
  if (!found) {
    Error("no database of a known data type in " + input.dir + "; looked for:\n" + LookedFor());
    Finish(options, results, options.output);
    return kExitFailed;
  }
  return Finish(options, results, options.output);
}

// ---- ios ----

// One data type of a backup: the files found for it, or why not.
struct IosPlan {
  const IosType* type = nullptr;
  std::string name;  // the type's, or with its store's when it has several
  std::map<std::string, std::string> primaries;            // primary key -> stored file
  std::string store;                                       // the required one of them
  std::map<std::string, std::vector<std::string>> copies;  // second key -> older stored files
  int status = 0;                                          // a host status when it cannot run
  std::string detail;
  std::string matched;               // what the '*' of the required file's path matched
  std::vector<std::string> outside;  // optional files whose links lead out of the backup
};

struct IosInput {
  std::string root;
  bool encrypted = false;
  bool mbdb = false;  // catalogued by Manifest.mbdb: made into the current layout under OUT
  // Opened with the password before anything is written; decrypted into
  // the output folder once it exists.
  std::unique_ptr<EncryptedBackup> unlocked;
  BackupDevice device;
  std::vector<std::string> copy_roots;
  std::vector<std::string> mbdb_copies;       // plain, made into the current layout under OUT
  std::vector<std::string> encrypted_copies;  // opened with the same password
  std::vector<std::unique_ptr<EncryptedBackup>> unlocked_copies;  // null: did not open
  std::vector<JobResult> problems;  // older backups that could not be taken
  // Files of the backup left out of its plain copy (not decrypted, or
  // links to outside the backup), one line each.
  std::vector<std::string> left_out;
};

std::string Listed(const BackupFileSpec& file) { return file.domain + " " + file.relative_path; }

// Where the backup at `root` stores `file`: "" with `failure` empty when it
// does not list it; `failure` holds SQLite's words when its catalogue
// cannot be read.
std::string FindBackupFile(const std::string& root, const BackupFileSpec& file,
                           std::string* failure, std::string* matched_path = nullptr) {
  std::string file_id, matched;
  if (matched_path == nullptr) matched_path = &matched;
  *failure = LookUpFileId(root, file.domain, file.relative_path, &file_id, matched_path);
  for (const auto& [domain, path] : file.older_locations) {
    if (!failure->empty() || !file_id.empty()) break;
    *failure = LookUpFileId(root, domain, path, &file_id, matched_path);
  }
  if (!failure->empty() || file_id.empty()) return "";
  const std::string stored = StoredFilePath(root, file_id);
  if (stored.empty()) *failure = "Manifest.db lists " + Listed(file) + " under a bad file id";
  const std::string listed = matched_path->empty() ? file.relative_path : *matched_path;
  if (!stored.empty()) Provenance::Run().NoteBackupFile(stored, file.domain, listed);
  return stored;
}

// Why the backup's catalogue cannot be read (the file, then SQLite's words
// or the offset of the fault in Manifest.mbdb), else "".
std::string CatalogueProblem(const std::string& root) {
  std::vector<MbdbRecord> records;
  std::string message;
  if (IsMbdbBackup(root)) return ReadMbdbManifest(root, &records, &message) ? "" : message;
  if (const std::string outside = OutsideFolderProblem(root, ManifestPath(root));
      !outside.empty()) {
    return outside;
  }
  std::set<std::string> tables;
  std::string damage = ProbeDatabase(ManifestPath(root), &tables);
  if (damage.empty() && tables.count("Files") == 0) damage = "no such table: Files";
  return damage.empty() ? "" : ManifestPath(root) + ": " + damage;
}

// The backup named on the command line; kExitOk or the exit status, with
// the message given. The catalogue of an encrypted backup is checked once
// it is decrypted.
int FindIosBackup(const std::string& folder, const char* command, std::string* root,
                  bool* encrypted) {
  const FoundBackup found = FindBackup(folder);
  switch (found.check) {
    case BackupCheck::kFound:
      break;
    case BackupCheck::kNoSuchFolder:
    case BackupCheck::kNotFolder:
    case BackupCheck::kSeveralBackups:
      return Usage(found.message, command);
    case BackupCheck::kNoBackup:
      Error(found.message);
      return kExitFailed;
  }
  *root = found.root;
  *encrypted = IsEncryptedBackup(found.root);
  // Manifest.mbdb is plain in encrypted backups too.
  if (*encrypted && !IsMbdbBackup(found.root)) return kExitOk;
  // A catalogue that does not read fails the whole backup, in SQLite's words.
  const std::string damage = CatalogueProblem(found.root);
  if (!damage.empty()) {
    // Whether the backup is encrypted is told by Manifest.plist alone.
    const std::string unread =
        HasUnreadableManifestPlist(found.root)
            ? (fs::u8path(found.root) / "Manifest.plist").u8string() +
                  ": not a property list, so whether the backup is encrypted is unknown; "
            : "";
    Error(unread + damage);
    return kExitFailed;
  }
  return kExitOk;
}

// Older backups of the same phone, given with --copy. Backups lying beside
// the one named are not taken on their own: a folder of backups usually
// holds other phones too, whose records would come back as "deleted" ones.
void AddOlderBackups(const Options& options, IosInput* input) {
  for (const std::string& folder : options.copies) {
    std::string root;
    const FoundBackup found = FindBackup(folder);
    std::string problem = found.message;
    if (found.check == BackupCheck::kFound) {
      root = found.root;
      std::string damage;
      const bool encrypted = IsEncryptedBackup(root);
      const bool mbdb = IsMbdbBackup(root);
      if ((!encrypted || mbdb) && !(damage = CatalogueProblem(root)).empty()) {
        problem = damage;
      } else {
        const std::string id = ReadBackupDevice(root).unique_id;
        if (!id.empty() && !input->device.unique_id.empty() && id != input->device.unique_id) {
          problem = root + ": a backup of another phone (" + id + ")";
        }
      }
      if (problem.empty()) {
        (encrypted ? input->encrypted_copies
         : mbdb    ? input->mbdb_copies
                   : input->copy_roots)
            .push_back(root);
        continue;
      }
    }
    Error(problem + " (copy skipped)");
    input->problems.push_back(Skipped("older_backup", -1, kHostBadSource, problem));
  }
}

// Opens the encrypted backups of the input: reads their keybags, then
// asks for the password once and opens each with it. A damaged keybag or a
// wrong password fails the run for the backup itself and skips an older
// one. Nothing is written yet.
int OpenEncryptedBackups(const Options& options, IosInput* input) {
  std::string message;
  if (input->encrypted) {
    input->unlocked = std::make_unique<EncryptedBackup>(input->root);
    if (!input->unlocked->Load(&message)) {
      Error(message);
      return kExitFailed;
    }
  }
  std::vector<std::unique_ptr<EncryptedBackup>>& copies = input->unlocked_copies;
  for (const std::string& copy : input->encrypted_copies) {
    copies.push_back(std::make_unique<EncryptedBackup>(copy));
    if (!copies.back()->Load(&message)) {
      Error(message + " (copy skipped)");
      input->problems.push_back(Skipped("older_backup", -1, kHostBadSource, message));
      copies.back().reset();
    }
  }
  if (!input->unlocked && std::none_of(copies.begin(), copies.end(),
                                       [](const auto& copy) { return copy != nullptr; })) {
    return kExitOk;
  }
  std::string password;
  if (!ObtainBackupPassword(options.password_file, &password, &message)) {
    Error(message);
    return kExitFailed;
  }
  const bool show_progress = !options.quiet && !options.json && StderrIsTerminal();
  if (input->unlocked &&
      !UnlockWithProgress(input->unlocked.get(), password, show_progress, &message)) {
    Error(message);
    return kExitFailed;
  }
  for (std::unique_ptr<EncryptedBackup>& copy : copies) {
    if (copy && !UnlockWithProgress(copy.get(), password, show_progress, &message)) {
      Error(message + " (copy skipped)");
      input->problems.push_back(Skipped("older_backup", -1, kHostBadSource, message));
      copy.reset();
    }
  }
  return kExitOk;
}

// Prints what could not be decrypted, a screenful at most.
void ReportUndecrypted(const std::vector<std::string>& problems) {
  constexpr size_t kShown = 20;
  for (size_t i = 0; i < problems.size() && i < kShown; ++i) Error(problems[i] + " (left out)");
  if (problems.size() > kShown) {
    Error("and " + std::to_string(problems.size() - kShown) + " more files left out");
  }
}

// Files of the backup that lead outside it were not read: the summary
// names each.
void NameOutsideFiles(const std::vector<std::string>& left_out, IosInput* input) {
  for (const std::string& line : left_out) {
    if (IsOutsideFolderProblem(line)) {
      input->problems.push_back(Skipped("outside_backup", -1, kHostBadSource, line));
    }
  }
}

// Makes the plain backup of iOS 9 or earlier at `root` into the current
// layout in `target`, with the files the data types read; what could not be
// taken goes to *left_out, printed.
bool ConvertPlainMbdb(const std::string& root, const std::string& target, ProgressMonitor* progress,
                      std::vector<std::string>* left_out, std::string* message) {
  const std::vector<std::string> listed = DomainsToDecrypt();
  progress->Begin("reading the backup's Manifest.mbdb into " + target);
  const bool converted =
      ConvertMbdbBackup(root, target, {listed.begin(), listed.end()}, nullptr, left_out, message) &&
      CopyBackupPropertyLists(root, target, message);
  progress->Finish();
  ReportUndecrypted(*left_out);
  return converted;
}

// Decrypts the opened backups into OUT/decrypted-backup and
// OUT/decrypted-copies/<n>, to be packaged from there; kExitOk or the exit
// status, with the message given.
int DecryptIos(const Options& options, IosInput* input, Session* session) {
  const fs::path output = fs::u8path(options.output);
  std::string message;
  if (input->unlocked) {
    UnlockedBackup plain;
    if (!DecryptForPackaging(input->unlocked.get(), (output / "decrypted-backup").u8string(),
                             session->progress(), &plain, &message)) {
      Error(message);
      return kExitFailed;
    }
    ReportUndecrypted(plain.problems);
    Provenance::Run().NoteDecryptedRoot(plain.root, input->root);
    input->left_out = plain.problems;
    const std::string damage = CatalogueProblem(plain.root);
    if (!damage.empty()) {
      Error(damage);
      return kExitFailed;
    }
    input->root = plain.root;
  } else if (input->mbdb) {
    const std::string target = (output / "converted-backup").u8string();
    if (!ConvertPlainMbdb(input->root, target, session->progress(), &input->left_out, &message)) {
      Error(message);
      return kExitFailed;
    }
    input->root = target;
  }
  for (size_t i = 0; i < input->mbdb_copies.size(); ++i) {
    const std::string target = (output / "converted-copies" / std::to_string(i + 1)).u8string();
    std::vector<std::string> left_out;
    if (!ConvertPlainMbdb(input->mbdb_copies[i], target, session->progress(), &left_out,
                          &message)) {
      Error(message + " (copy skipped)");
      input->problems.push_back(Skipped("older_backup", -1, kHostBadSource, message));
      continue;
    }
    input->copy_roots.push_back(target);
  }
  NameOutsideFiles(input->left_out, input);
  std::vector<std::unique_ptr<EncryptedBackup>>& copies = input->unlocked_copies;
  for (size_t i = 0; i < copies.size(); ++i) {
    if (!copies[i]) continue;
    UnlockedBackup plain;
    const std::string target = (output / "decrypted-copies" / std::to_string(i + 1)).u8string();
    if (!DecryptForPackaging(copies[i].get(), target, session->progress(), &plain, &message)) {
      Error(message + " (copy skipped)");
      input->problems.push_back(Skipped("older_backup", -1, kHostBadSource, message));
      continue;
    }
    ReportUndecrypted(plain.problems);
    Provenance::Run().NoteDecryptedRoot(plain.root, input->encrypted_copies[i]);
    input->copy_roots.push_back(plain.root);
  }
  return kExitOk;
}

int CheckIos(const Options& options, IosInput* input) {
  if (options.positional.size() != 1) return Usage("ios needs one BACKUP", "ios");
  if (options.output.empty()) return Usage("ios needs -o OUT", "ios");
  const int status = FindIosBackup(options.positional[0], "ios", &input->root, &input->encrypted);
  if (status != kExitOk) return status;
  input->mbdb = IsMbdbBackup(input->root);
  if (IsInside(options.output, input->root)) {
    return Usage(options.output + ": the output folder must not lie inside " + input->root, "ios");
  }
  input->device = ReadBackupDevice(input->root);
  Provenance::Run().NoteInputRoot(input->root);
  AddOlderBackups(options, input);
  return OpenEncryptedBackups(options, input);
}

// What the one '*' of `pattern` stands for in `path` ("" without one).
std::string WildcardPart(const std::string& pattern, const std::string& path) {
  const size_t star = pattern.find('*');
  const size_t tail = pattern.size() - (star == std::string::npos ? 0 : star + 1);
  if (star == std::string::npos || path.size() < star + tail) return "";
  return path.substr(star, path.size() - star - tail);
}

// `store`, when given, stands in for the type's required file.
IosPlan PlanIosType(const IosType& type, const IosInput& input,
                    const BackupFileSpec* store = nullptr) {
  IosPlan plan;
  plan.type = &type;
  plan.name = type.name;
  if (!type.available) {
    plan.status = type.by_request ? kHostByRequest : kHostNotAvailable;
    return plan;
  }
  for (const BackupFileSpec& listed : type.files) {
    const BackupFileSpec& file = store != nullptr && listed.required ? *store : listed;
    std::string failure;
    std::string matched_path;
    const std::string stored = FindBackupFile(input.root, file, &failure, &matched_path);
    std::error_code error;
    if (!failure.empty() || (file.required && stored.empty())) {
      plan.status = failure.empty() ? kHostNotInBackup : kHostBadSource;
      plan.detail = failure;
      return plan;
    }
    if (const std::string outside = stored.empty() ? "" : OutsideFolderProblem(input.root, stored);
        !outside.empty()) {
      // A link out of the backup is never followed; the summary names it.
      if (file.required) {
        plan.status = kHostBadSource;
        plan.detail = outside;
        return plan;
      }
      plan.outside.push_back(outside);
      continue;
    }
    if (!stored.empty() && !fs::is_regular_file(fs::u8path(stored), error)) {
      const std::string why =
          stored + ": no such file (Manifest.db lists it as " + Listed(file) + ")";
      if (file.required) {
        plan.status = kHostBadSource;
        plan.detail = why;
        return plan;
      }
      continue;
    }
    if (stored.empty()) continue;
    plan.primaries[file.primary_key] = stored;
    // A data type without a required file (notes, voice memos: stores of
    // either generation) reads whichever it finds, the first found leading.
    if (file.required || plan.store.empty()) {
      plan.store = stored;
      plan.matched = WildcardPart(file.relative_path, matched_path);
    }
    if (file.second_key.empty()) continue;
    for (const std::string& older : input.copy_roots) {
      const std::string copy = FindBackupFile(older, file, &failure);
      if (!copy.empty() && fs::is_regular_file(fs::u8path(copy), error) &&
          ResolvesInside(older, copy)) {
        plan.copies[file.second_key].push_back(copy);
      }
    }
  }
  if (plan.store.empty()) plan.status = kHostNotInBackup;
  return plan;
}

// The stores of a type that keeps one per account, each by its exact path,
// then the older places that hold what it reads.
std::vector<BackupFileSpec> EveryStore(const IosType& type, const IosInput& input) {
  std::vector<BackupFileSpec> stores;
  for (const BackupFileSpec& file : type.files) {
    if (!file.required) continue;
    std::vector<std::string> paths;
    QueryTexts(ManifestPath(input.root),
               "SELECT DISTINCT relativePath FROM Files WHERE domain = ?1 AND relativePath GLOB ?2 "
               "AND flags = 1 ORDER BY relativePath",
               {file.domain, file.relative_path}, &paths);
    for (const std::string& path : paths) {
      BackupFileSpec exact = file;
      exact.relative_path = path;
      stores.push_back(exact);
    }
  }
  for (const IosType::OlderStore& older : type.older_stores) {
    std::string failure;
    const std::string stored = FindBackupFile(input.root, older.file, &failure);
    std::vector<std::string> rows;
    if (!stored.empty() && QueryTexts(stored, older.holds, {}, &rows).empty() && !rows.empty()) {
      stores.push_back(older.file);
    }
  }
  return stores;
}

// One plan per data type; one per store for a type that packages every
// store, each after the first named after its store's file.
std::vector<IosPlan> PlanIosStores(const IosType& type, const IosInput& input) {
  if (!type.available || !type.every_store) return {PlanIosType(type, input)};
  const std::vector<BackupFileSpec> stores = EveryStore(type, input);
  if (stores.empty()) return {PlanIosType(type, input)};
  std::vector<IosPlan> plans;
  for (const BackupFileSpec& store : stores) {
    IosPlan plan = PlanIosType(type, input, &store);
    if (!plans.empty()) plan.name += "-" + fs::u8path(store.relative_path).stem().u8string();
    if (plan.status == 0) plan.detail = "from " + Listed(store);
    plans.push_back(std::move(plan));
  }
  return plans;
}

JobResult RunIosType(const IosPlan& plan, const IosInput& input, const std::string& output,
                     Session* session) {
  const IosType& type = *plan.type;
  const std::string folder = (fs::u8path(output) / plan.name).u8string();
  Json::Value request;
  request["package_type"] = type.data_type;
  request["temp_folder"] = Absolute(folder);
  for (const auto& [key, path] : plan.primaries) {
    request["primary_file_object"][key] = Absolute(path);
  }
  request["primary_file_object"]["manifest_file_path"] = Absolute(ManifestPath(input.root));
  for (const auto& [second_key, paths] : plan.copies) {
    Json::Value& copies = request["second_file_objects"][second_key];
    copies = Json::Value(Json::arrayValue);
    for (const std::string& copy : paths) copies.append(Absolute(copy));
  }
  request["addtional_param"] = Absolute(input.root);
  if (type.wants_sub_dir) {
    const bool two_level = fs::u8path(plan.store).parent_path() != fs::u8path(input.root);
    request["other_info"]["has_sub_dir"] = two_level ? "1" : "0";
  }
  for (const auto& [key, value] : type.other_info) request["other_info"][key] = value;
  if (!type.matched_key.empty()) request["other_info"][type.matched_key] = plan.matched;
  if (type.staged) {
    return RunStaged(plan.name, type.data_type, JsonText(request), folder, plan.store,
                     type.count_records, session->progress());
  }
  JobResult result = RunFilterAndPackage(plan.name, type.data_type, JsonText(request), folder,
                                         type.count_records, session->progress());
  if (result.detail.empty()) result.detail = plan.detail;
  return result;
}

void PackageIos(const IosInput& input, const std::string& output, Session* session,
                std::vector<JobResult>* results) {
  results->insert(results->end(), input.problems.begin(), input.problems.end());
  for (const IosType& type : IosTypes()) {
    for (const IosPlan& plan : PlanIosStores(type, input)) {
      if (plan.status != 0) {
        if (plan.status == kHostBadSource) Error(plan.detail);
        results->push_back(Skipped(plan.name, type.data_type, plan.status, plan.detail));
        continue;
      }
      if (Interrupted()) {
        results->push_back(Skipped(plan.name, type.data_type, kHostNotRun, ""));
        continue;
      }
      JobResult result = RunIosType(plan, input, output, session);
      if (result.status != 0) {
        // In SQLite's words, with the file, when the rows show why; else the
        // library's own words stand.
        FoundSource store;
        store.path = plan.store;
        store.damage = FindDamagedRows(store.path);
        if (!store.damage.empty()) NoteDamage(store, &result);
      }
      if (!plan.outside.empty() && result.detail.empty()) {
        result.detail = Joined(plan.outside, "; ");
      }
      results->push_back(result);
    }
  }
}

int RunIos(const Options& options) {
  IosInput input;
  if (const int status = CheckIos(options, &input); status != kExitOk) return status;
  if (!MakeFolder(options.output, "output folder")) return kExitFailed;
  Session session;
  if (!Session::Open(options, options.output, &session)) return kExitFailed;
  if (const int status = DecryptIos(options, &input, &session); status != kExitOk) return status;
  std::vector<JobResult> results;
  PackageIos(input, options.output, &session, &results);
  return Finish(options, results, options.output, &input.device);
}

// ---- request ----

bool ReadFileText(const std::string& path, std::string* text) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

int RequestType(const std::string& text) {
  Json::Value request;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(text.data(), text.data() + text.size(), &request, &errors) ||
      !request.isObject() || !request["package_type"].isInt()) {
    return -1;
  }
  return request["package_type"].asInt();
}

bool IsStagedRequest(int data_type, bool forced) { return forced || StagedOnly(data_type); }

// How the summary counts a data type's records: as the android or ios job
// that packages the same data type does.
RecordCounter RecordCounterOf(int data_type) {
  for (const AndroidType& type : AndroidTypes()) {
    if (type.data_type == data_type && type.count_records != nullptr) return type.count_records;
  }
  for (const IosType& type : IosTypes()) {
    if (type.data_type == data_type && type.count_records != nullptr) return type.count_records;
  }
  return nullptr;
}

int RunRequests(const Options& options) {
  if (options.positional.empty()) return Usage("request needs at least one FILE", "request");
  if (options.output.empty()) return Usage("request needs -o OUT", "request");
  if (!MakeFolder(options.output, "output folder")) return kExitFailed;
  Session session;
  if (!Session::Open(options, options.output, &session)) return kExitFailed;

  std::vector<JobResult> results;
  std::vector<int> filtered_types;
  for (const std::string& file : options.positional) {
    std::string text;
    if (!ReadFileText(file, &text)) {
      Error(file + ": cannot be read");
      results.push_back(Skipped(file, -1, kHostBadSource, file + ": cannot be read"));
      continue;
    }
    const int data_type = RequestType(text);
    const std::string name = DataTypeName(data_type);
    const std::string folder = (fs::u8path(options.output) / name).u8string();
    if (Interrupted()) {
      results.push_back(Skipped(name, data_type, kHostNotRun, file));
      continue;
    }
    if (IsStagedRequest(data_type, options.staged)) {
      results.push_back(RunStaged(name, data_type, text, folder, std::string(),
                                  RecordCounterOf(data_type), session.progress()));
      continue;
    }
    Provenance::Run().NoteRequest(name, text);
    session.progress()->Begin(name + ": filtering");
    const int status = KxDataFilter(text.c_str(), static_cast<int>(text.size()));
    session.progress()->Finish();
    if (status != 0) {
      Error(file + ": filter answered " + std::to_string(status) + " (" + StatusText(status) + ")");
      results.push_back(Skipped(name, data_type, status, file + ": filter request"));
    } else if (std::find(filtered_types.begin(), filtered_types.end(), data_type) ==
               filtered_types.end()) {
      filtered_types.push_back(data_type);
    }
  }
  for (int data_type : filtered_types) {
    const std::string name = DataTypeName(data_type);
    if (Interrupted()) {
      results.push_back(Skipped(name, data_type, kHostNotRun, ""));
      continue;
    }
    results.push_back(RunPackageOnly(name, data_type,
                                     (fs::u8path(options.output) / name).u8string(),
                                     RecordCounterOf(data_type), session.progress()));
  }
  return Finish(options, results, options.output);
}

// ---- report ----

int RunReport(const Options& options) {
  if (options.positional.size() != 1) return Usage("report needs one OUT", "report");
  const std::string& output = options.positional[0];
  std::error_code error;
  if (!fs::is_directory(fs::u8path(output), error)) {
    return Usage(output + ": no such output folder", "report");
  }
  std::string message;
  if (!WriteReport(output, &message)) {
    Error(message);
    return kExitFailed;
  }
  std::printf("Report: %s\n", ReportPage(output).c_str());
  return kExitOk;
}

// ---- sample and demo ----

bool WriteSamples(const std::string& folder, int scale) {
#if defined(KXPACKAGE_HAVE_SAMPLES)
  std::string error;
  if (!kx::samples::WriteSampleSet(folder, scale, &error)) {
    Error(error);
    return false;
  }
  return true;
#else
  (void)scale;
  Error(folder + ": this build has no sample generators");
  return false;
#endif
}

int RunSample(const Options& options) {
  if (options.output.empty()) return Usage("sample needs -o DIR", "sample");
  if (!MakeFolder(options.output, "sample folder")) return kExitFailed;
  if (!WriteSamples(options.output, options.scale)) return kExitFailed;
  std::printf("Sample data written to %s\n", Absolute(options.output).c_str());
  return kExitOk;
}

// The demo's backups of other formats, each into a folder of its own
// beside the main output: the iOS 6 backup, plain and encrypted, and the
// adb backup files, plain and encrypted.
int PackageOlderFormats(const Options& options, const std::string& root,
                        const std::string& sample) {
#if defined(KXPACKAGE_HAVE_SAMPLES)
  namespace samples = kx::samples;
  const struct {
    const char* command;
    const char* source;
    const char* password_file;
    const char* output;
  } runs[] = {
      {"ios", samples::kSampleIos6Folder, "", "output-ios6"},
      {"ios", samples::kSampleIos6EncryptedFolder, samples::kSampleIos6PasswordFile,
       "output-ios6-encrypted"},
      {"android", samples::kSampleAndroidBackupFile, "", "output-android-ab"},
      {"android", samples::kSampleAndroidEncryptedBackupFile,
       samples::kSampleAndroidBackupPasswordFile, "output-android-ab-encrypted"},
  };
  int status = kExitOk;
  for (const auto& run : runs) {
    Options one = options;
    one.command = run.command;
    one.copies.clear();
    one.positional = {(fs::u8path(sample) / run.source).u8string()};
    one.output = (fs::u8path(root) / run.output).u8string();
    one.password_file =
        *run.password_file ? (fs::u8path(sample) / run.password_file).u8string() : "";
    std::fprintf(stderr, "\nPackaging %s into %s\n", one.positional[0].c_str(), one.output.c_str());
    const int result = one.command == "ios" ? RunIos(one) : RunAndroid(one);
    if (result != kExitOk && status == kExitOk) status = result;
  }
  return status;
#else
  (void)options;
  (void)root;
  (void)sample;
  return kExitOk;
#endif
}

int RunDemo(Options options) {
  const std::string root = options.output.empty() ? "kxpackage-demo" : options.output;
  std::error_code error;
  if (fs::exists(fs::u8path(root), error) && !fs::is_empty(fs::u8path(root), error)) {
    return Usage(root + ": already exists and is not empty; give a fresh -o OUT", "demo");
  }
  const std::string sample = (fs::u8path(root) / "sample").u8string();
  if (!MakeFolder(sample, "sample folder")) return kExitFailed;
  std::fprintf(stderr, "Writing the sample data set to %s\n", Absolute(sample).c_str());
  if (!WriteSamples(sample, options.scale)) return kExitFailed;

  // Every older database of the set goes in as a copy of its data type.
  const std::vector<std::string> older_files =
      ListCandidateFiles((fs::u8path(sample) / "older").u8string());
  options.copies.clear();
  for (const AndroidType& type : AndroidTypes()) {
    if (!type.available) continue;
    std::vector<SourcePattern> patterns = type.companions;
    patterns.push_back(type.source);
    for (const SourcePattern& pattern : patterns) {
      if (pattern.second_key.empty()) continue;
      const FoundSource older = FindSource(pattern, older_files);
      if (!older.path.empty() && older.check == FileCheck::kDatabase) {
        options.copies.push_back(type.name + "=" + older.path);
      }
    }
  }
  options.positional = {(fs::u8path(sample) / "android").u8string()};
  options.output = (fs::u8path(root) / "output").u8string();
  AndroidInput android;
  if (const int status = CheckAndroid(options, &android); status != kExitOk) return status;

  // The iOS backup with its earlier backup as the copy.
  Options ios = options;
  ios.positional = {(fs::u8path(sample) / "ios").u8string()};
  ios.copies = {(fs::u8path(sample) / "ios-older").u8string()};
  IosInput backup;
  if (const int status = CheckIos(ios, &backup); status != kExitOk) return status;

  if (!MakeFolder(options.output, "output folder")) return kExitFailed;
  Session session;
  if (!Session::Open(options, options.output, &session)) return kExitFailed;
  if (const int status = DecryptIos(options, &backup, &session); status != kExitOk) return status;
  std::vector<JobResult> results;
  PackageAndroid(&android, options.output, &session, &results);
  PackageIos(backup, options.output, &session, &results);
  const int status = Finish(options, results, options.output, &backup.device);
  const int older = PackageOlderFormats(options, root, sample);
  return status != kExitOk ? status : older;
}

int RunTimeline(const Options& options) {
  if (options.positional.size() != 1) return Usage("timeline needs one OUT", "timeline");
  const std::string& output = options.positional[0];
  std::error_code error;
  if (!fs::is_directory(fs::u8path(output), error)) {
    return Usage(output + ": no such output folder", "timeline");
  }
  std::string message;
  size_t events = 0;
  if (!WriteTimeline(output, &events, &message)) {
    Error(message);
    return kExitFailed;
  }
  std::printf("Timeline: %s events in %s and %s\n", std::to_string(events).c_str(),
              (fs::u8path(Absolute(output)) / "timeline.csv").u8string().c_str(),
              (fs::u8path(Absolute(output)) / "timeline.jsonl").u8string().c_str());
  return kExitOk;
}

int RunExport(const Options& options) {
  if (options.positional.size() != 1) return Usage("export needs one OUT", "export");
  if (!options.csv) return Usage("export needs --csv (the one format it writes)", "export");
  std::error_code error;
  if (!fs::is_directory(fs::u8path(options.positional[0]), error)) {
    return Usage(options.positional[0] + ": no such output folder", "export");
  }
  std::string folder, message;
  size_t files = 0;
  if (!WriteCsvExport(options.positional[0], &folder, &files, &message)) {
    Error(message);
    return kExitFailed;
  }
  std::printf("Export: %s CSV files in %s\n", std::to_string(files).c_str(), folder.c_str());
  return kExitOk;
}

int RunVerify(const Options& options) {
  if (options.positional.size() != 1) return Usage("verify needs one OUT", "verify");
  return VerifyOutput(options.positional[0], stdout);
}

int Main(int argc, char** argv) {
  Provenance::Run().Start(argc, argv);
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) return Usage(error, options.command);
  if (options.help) {
    std::printf("%s", HelpText(options.command).c_str());
    return kExitOk;
  }
  if (options.command == "android") return RunAndroid(options);
  if (options.command == "ios") return RunIos(options);
  if (options.command == "request") return RunRequests(options);
  if (options.command == "report") return RunReport(options);
  if (options.command == "verify") return RunVerify(options);
  if (options.command == "timeline") return RunTimeline(options);
  if (options.command == "export") return RunExport(options);
  if (options.command == "sample") return RunSample(options);
  if (options.command == "demo") return RunDemo(options);
  if (options.command.empty()) return Usage("no command given", "");
  return Usage("unknown command " + options.command, "");
}

}  // namespace
}  // namespace kxpackage

int main(int argc, char** argv) {
  try {
    return kxpackage::Main(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kxpackage: %s\n", e.what());
    return 1;
  }
}
