#include "tools/kxpackage/job_runner.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "kxdatapackage.h"
#include "tools/kxpackage/library_log.h"
#include "tools/kxpackage/provenance.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr char kResultFileName[] = "result.json";

// The library calls back on the calling thread; one call at a time.
struct CapturedResult {
  bool received = false;
  int kind = -1;
  std::string text;
};
CapturedResult g_captured;

int CaptureResult(int kind, const char* text, int length) {
  g_captured.received = true;
  g_captured.kind = kind;
  g_captured.text.assign(text != nullptr ? text : "", text != nullptr && length > 0 ? length : 0);
  return 0;
}

std::set<std::string> FilesUnder(const std::string& folder) {
  std::set<std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(fs::u8path(folder), error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) files.insert(it->path().u8string());
  }
  return files;
}

// "-wal", "-shm" and "-journal" files SQLite keeps beside a staged copy.
bool IsDatabaseCompanion(const std::string& file, const std::set<std::string>& staged) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    const size_t length = std::char_traits<char>::length(suffix);
    if (file.size() > length && file.compare(file.size() - length, length, suffix) == 0 &&
        staged.count(file.substr(0, file.size() - length)) > 0) {
      return true;
    }
  }
  return false;
}

bool PrepareOutput(const std::string& folder, JobResult* result) {
  std::error_code error;
  fs::create_directories(fs::u8path(folder), error);
  if (error || !fs::is_directory(fs::u8path(folder), error)) {
    result->status = kHostOutputFailed;
    result->detail = folder + ": cannot create folder (" + error.message() + ")";
    return false;
  }
  return true;
}

class Timer {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Saves the captured document and fills the counts.
void CollectOutput(const std::set<std::string>& before, RecordCounter count_records,
                   JobResult* result) {
  const std::string result_path = (fs::u8path(result->output_folder) / kResultFileName).u8string();
  if (g_captured.received) {
    if (!WriteTextFile(result_path, g_captured.text)) {
      result->status = kHostOutputFailed;
      result->detail = result_path + ": cannot write";
    }
    Json::Value document;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    const char* begin = g_captured.text.data();
    if (!reader->parse(begin, begin + g_captured.text.size(), &document, &errors)) {
      // A host could not read it either: the data type is lost, not empty.
      result->status = kHostBadDocument;
      std::replace(errors.begin(), errors.end(), '\n', ' ');
      result->detail =
          result_path + ": not JSON: " + errors.substr(0, errors.find_last_not_of(' ') + 1);
    } else if (count_records != nullptr) {
      result->records = count_records(document, result->output_folder);
    }
  } else if (result->status == 0) {
    result->status = kHostNoResult;
  }
  long files = 0;
  for (const std::string& file : FilesUnder(result->output_folder)) {
    if (before.count(file) == 0 && file != result_path && !IsDatabaseCompanion(file, before)) {
      ++files;
    }
  }
  result->files = files;
}

// A failed call says why in the library's own words, from its log.
void NoteLibraryReason(uintmax_t log_mark, JobResult* result) {
  if (result->status != 0 && result->detail.empty()) {
    result->detail = LibraryLog::ReasonSince(log_mark);
  }
}

JobResult StartJob(const std::string& name, int data_type, const std::string& output_folder) {
  JobResult result;
  result.name = name;
  result.data_type = data_type;
  result.output_folder = output_folder;
  g_captured = CapturedResult();
  return result;
}

}  // namespace

std::string StatusText(int status) {
  switch (status) {
    case 0:
      return "ok";
    case -1:
      return "request is not JSON";
    case 1100:
      return "missing or invalid input";
    case 1101:
      return "already packaged";
    case 1102:
      return "field configuration unreadable";
    case 1104:
      return "request is not JSON";
    case 1105:
      return "database cannot be opened";
    case 1106:
      return "SQL statement cannot be prepared";
    case 1107:
      return "SQL step failed";
    case 1108:
      return "source query failed";
    case 1109:
      return "book list unreadable";
    case 1110:
      return "filter failed";
    case 1111:
      return "stopped";
    case 1112:
      return "not packaged";
    case kHostNotAvailable:
      return "not available yet";
    case kHostBadSource:
      return "bad source file";
    case kHostOutputFailed:
      return "output cannot be written";
    case kHostNotRun:
      return "not run (interrupted)";
    case kHostNoResult:
      return "no result delivered";
    case kHostBadDocument:
      return "result is not JSON";
    case kHostNotInBackup:
      return "not in the backup";
    case kHostByRequest:
      return "by request only";
    default:
      return "error";
  }
}

bool Succeeded(const JobResult& result) {
  return result.status == 0 || result.status == kHostNotAvailable ||
         result.status == kHostNotInBackup || result.status == kHostByRequest;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return static_cast<bool>(out);
}

JobResult RunFilterAndPackage(const std::string& name, int data_type, const std::string& request,
                              const std::string& output_folder, RecordCounter count_records,
                              ProgressMonitor* progress) {
  JobResult result = StartJob(name, data_type, output_folder);
  if (!PrepareOutput(output_folder, &result)) return result;
  Provenance::Run().NoteRequest(name, request);
  const Timer timer;
  const uintmax_t log_mark = LibraryLog::Mark();
  progress->Begin(name + ": filtering");
  result.status = KxDataFilter(request.c_str(), static_cast<int>(request.size()));
  const std::set<std::string> staged = FilesUnder(output_folder);
  if (result.status == 0) {
    progress->Begin(name + ": packaging");
    result.status = KxDataPackageEx(CaptureResult, data_type);
  }
  progress->Finish();
  NoteLibraryReason(log_mark, &result);
  result.seconds = timer.Seconds();
  CollectOutput(staged, count_records, &result);
  return result;
}

JobResult RunStaged(const std::string& name, int data_type, const std::string& request,
                    const std::string& output_folder, const std::string& source_path,
                    RecordCounter count_records, ProgressMonitor* progress) {
  JobResult result = StartJob(name, data_type, output_folder);
  if (!PrepareOutput(output_folder, &result)) return result;
  std::set<std::string> before = FilesUnder(output_folder);
  // The run stages its source into the output folder: not an output file.
  before.insert((fs::u8path(output_folder) / fs::u8path(source_path).filename()).u8string());
  Provenance::Run().NoteRequest(name, request);
  const Timer timer;
  const uintmax_t log_mark = LibraryLog::Mark();
  progress->Begin(name + ": packaging");
  result.status =
      KxDataPackageNew(request.c_str(), static_cast<int>(request.size()), CaptureResult);
  progress->Finish();
  NoteLibraryReason(log_mark, &result);
  result.seconds = timer.Seconds();
  CollectOutput(before, count_records, &result);
  return result;
}

JobResult RunPackageOnly(const std::string& name, int data_type, const std::string& output_folder,
                         RecordCounter count_records, ProgressMonitor* progress) {
  JobResult result = StartJob(name, data_type, output_folder);
  if (!PrepareOutput(output_folder, &result)) return result;
  const std::set<std::string> before = FilesUnder(output_folder);
  const Timer timer;
  const uintmax_t log_mark = LibraryLog::Mark();
  progress->Begin(name + ": packaging");
  result.status = KxDataPackageEx(CaptureResult, data_type);
  progress->Finish();
  NoteLibraryReason(log_mark, &result);
  result.seconds = timer.Seconds();
  CollectOutput(before, count_records, &result);
  return result;
}

}  // namespace kxpackage
