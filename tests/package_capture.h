// What the package tests share: a result callback that keeps what it got,
// and whole-document helpers in the library's JSON layout.
#ifndef KX_TESTS_PACKAGE_CAPTURE_H_
#define KX_TESTS_PACKAGE_CAPTURE_H_

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "packager/contract.h"
#include "samples/ios_backup.h"
#include "sdk/data_type_table.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx::test {

struct CapturedResults {
  int count = 0;
  int kind = -1;
  std::string text;
};

// The callback is a plain function pointer, so what it receives goes here.
inline CapturedResults g_results;

inline int CaptureResult(int kind, const char* text, int length) {
  ++g_results.count;
  g_results.kind = kind;
  g_results.text.assign(text, static_cast<size_t>(length));
  return 0;
}

inline Json::Value Parsed(const std::string& text) {
  Json::Value value;
  std::string error;
  EXPECT_TRUE(ParseJson(text.c_str(), &value, &error)) << error << "\n" << text;
  return value;
}

// The JSON file at `path`, parsed.
inline Json::Value ParsedFile(const std::string& path) { return Parsed(ReadFileBytes(path)); }

// The sample of store version `version`, or its older copy.
inline samples::IosSampleOptions SampleVersion(int version, bool older_copy = false) {
  samples::IosSampleOptions options;
  options.schema_version = version;
  options.older_copy = older_copy;
  return options;
}

// Whether a run that answered `status` went through and handed over one
// document (of `kind`, unless that is -1).
inline ::testing::AssertionResult HandedOver(int status, int kind = -1) {
  if (status == kStatusOk && g_results.count == 1 && (kind == -1 || g_results.kind == kind)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "status " << status << ", " << g_results.count
                                       << " documents, the last of kind " << g_results.kind;
}

// Whether a run answered `expected` and handed no document over.
inline ::testing::AssertionResult NothingHandedOver(int status, int expected) {
  if (status == expected && g_results.count == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "status " << status << " (not " << expected << "), " << g_results.count << " documents";
}

// The writer's layout of an expected document, so that whole texts compare.
inline std::string Formatted(const std::string& expected_json) {
  return WriteJson(Parsed(expected_json));
}

// What `write` gives through a text writer (starting at `depth`), which must
// end with a complete document: compared with WriteJson's text of the same
// tree, it shows a streamed writer lays documents out as the tree writer does.
// `Text` is what the writer writes into: a string or a TextBuffer.
template <typename Text = std::string, typename Write>
std::string WrittenText(const Write& write, size_t depth = 0) {
  Text text;
  BasicJsonTextWriter<Text> writer(&text, depth);
  write(&writer);
  EXPECT_TRUE(writer.complete());
  return std::string(std::string_view(text.data(), text.size()));
}

// `items` as a JSON array, an empty one when there are none.
inline Json::Value JsonList(const std::vector<std::string>& items) {
  Json::Value list = EmptyJsonArray();
  for (const std::string& item : items) list.append(item);
  return list;
}

// What a request names by key: its primary files or other information.
using RequestMembers = std::vector<std::pair<std::string, std::string>>;

// A request of `data_type` writing into `temp`: the primary files (a file
// without a path left out), the other information, and the backup folder
// when one is named.
inline Json::Value MakeRequest(int data_type, const std::string& temp,
                               const RequestMembers& primary_files,
                               const RequestMembers& other_info = {},
                               const std::string& backup = "") {
  Json::Value request;
  request["package_type"] = data_type;
  request["temp_folder"] = temp;
  for (const auto& [key, path] : primary_files) {
    if (!path.empty()) request["primary_file_object"][key] = path;
  }
  for (const auto& [key, value] : other_info) request["other_info"][key] = value;
  if (!backup.empty()) request["addtional_param"] = backup;
  return request;
}

// Where file `id` lies in a backup folder of two-digit sub-folders.
inline std::string TwoLevel(const std::string& backup, const std::string& id) {
  return JoinPath(JoinPath(backup, id.substr(0, 2)), id);
}

// Whether `path` lies inside `folder` once "." and ".." are resolved.
inline bool IsInside(const std::string& path, const std::string& folder) {
  const std::filesystem::path relative =
      std::filesystem::u8path(path).lexically_normal().lexically_relative(
          std::filesystem::u8path(folder));
  return !relative.empty() && *relative.begin() != "..";
}

// A request of `data_type` into `temp_folder`, with the primary file
// `path` under `key` where a key is given.
inline Json::Value RequestDocument(int data_type, const std::string& temp_folder,
                                   const std::string& key = "", const std::string& path = "") {
  Json::Value request;
  request["package_type"] = data_type;
  request["temp_folder"] = temp_folder;
  if (!key.empty()) request["primary_file_object"][key] = path;
  return request;
}

// `request` through the library's filter entry point.
inline int FilterRequest(const Json::Value& request) {
  const std::string text = WriteJson(request);
  return FilterDataType(text.c_str(), static_cast<int>(text.size()));
}

// `request` through the library's staged entry point.
inline int PackageStagedRequest(const Json::Value& request,
                                ResultCallback callback = CaptureResult) {
  const std::string text = WriteJson(request);
  return PackageStaged(text.c_str(), static_cast<int>(text.size()), callback);
}

// Filters `request` through the library and, when that went through,
// packages its data type; the first status that is not OK, or the package
// step's.
inline int FilterAndPackage(const Json::Value& request) {
  const int filtered = FilterRequest(request);
  if (filtered != kStatusOk) return filtered;
  return PackageDataType(CaptureResult, request["package_type"].asInt());
}

// Filters and packages `data_type` on `primary` (under "<stem>_file_path")
// and its older copies (under "<stem>_files_path").
inline int PackageWithCopies(int data_type, const std::string& temp, const std::string& stem,
                             const std::string& primary, const std::vector<std::string>& copies,
                             const std::string& backup = "") {
  Json::Value request = MakeRequest(data_type, temp, {{stem + "_file_path", primary}}, {}, backup);
  request["second_file_objects"][stem + "_files_path"] = JsonList(copies);
  return FilterAndPackage(request);
}

// A test of a packager through the library's entry points: the library
// initialised on a log folder of the test's own, no result captured yet.
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }

  // Initialises the library again (which also lifts a stop) and forgets
  // the results so far.
  void Reset() {
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), ConfigFolder().c_str());
  }

  std::string Log() const { return ReadFileBytes(logs_.File("KxDataPackage.log")); }

  // Whether the log from byte `from` on holds `line` (once, when `once`);
  // a failure shows that part of the log.
  ::testing::AssertionResult Logged(const std::string& line, size_t from = 0,
                                    bool once = false) const {
    const std::string log = Log().substr(std::min(from, Log().size()));
    const size_t at = log.find(line);
    if (at != std::string::npos && (!once || at == log.rfind(line))) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << (at == std::string::npos ? "not logged: " : "logged twice: ") << line << "\n"
           << log;
  }

  // Filters `request` afresh, then packages its data type while another
  // thread asks for a stop: the stop's status, no document, and
  // "<packager_name> stoped!" in the log.
  void ExpectStopWhilePackaging(const Json::Value& request, const std::string& packager_name);

  TempDir logs_;
};

// Packages `data_type` while another thread asks for a stop as soon as the
// package function has logged its start (read through `log_text`). Returns
// the package call's status.
inline int PackageWhileStopping(int data_type, const std::function<std::string()>& log_text) {
  const std::string started = "type " + std::to_string(data_type) + " KxDataPackage start";
  std::atomic<bool> finished{false};
  std::thread stopper([&] {
    while (!finished && log_text().find(started) == std::string::npos) std::this_thread::yield();
    RequestStop();
  });
  const int status = PackageDataType(CaptureResult, data_type);
  finished = true;
  stopper.join();
  return status;
}

inline void LibraryTest::ExpectStopWhilePackaging(const Json::Value& request,
                                                  const std::string& packager_name) {
  Reset();
  ASSERT_EQ(kStatusOk, FilterRequest(request));
  EXPECT_EQ(kStatusStopped,
            PackageWhileStopping(request["package_type"].asInt(), [this] { return Log(); }));
  EXPECT_EQ(0, g_results.count);
  EXPECT_NE(std::string::npos, Log().find(packager_name + " stoped!"));
}

// The context the dispatcher calls `data_type`'s functions with.
inline PackageContext ContextFor(int data_type, std::atomic<int>* stop,
                                 ResultCallback callback = CaptureResult) {
  return FindDataType(data_type)->Context(callback, stop);
}

// The one place tests call a packager's own filter and package functions,
// which the dispatcher otherwise calls: through the data-type table, for
// the record's data type.
inline int CallPackageFunction(DataTypeRecord* record, ResultCallback callback = CaptureResult,
                               std::atomic<int>* stop = nullptr) {
  std::atomic<int> no_stop{0};
  const DataTypeEntry* entry = FindDataType(record->data_type);
  return entry->package(record, entry->Context(callback, stop != nullptr ? stop : &no_stop));
}

inline int CallFilterFunction(DataTypeRecord* record, SqliteConfig* config,
                              std::atomic<int>* stop = nullptr) {
  std::atomic<int> no_stop{0};
  const DataTypeEntry* entry = FindDataType(record->data_type);
  return entry->filter(record, config, entry->Context(nullptr, stop != nullptr ? stop : &no_stop));
}

// Replaces every "{T}" by `temp` (escaped for a JSON string; "{T}/" is a
// name in it, joined with the native separator) and every "{H:text}" by the
// FNV-1a hash of the text, as side files are named.
inline std::string Expand(std::string text, const std::string& temp) {
  for (size_t at = text.find("{H:"); at != std::string::npos; at = text.find("{H:")) {
    const size_t end = text.find('}', at);
    text.replace(at, end - at + 1, Fnv1a64Decimal(text.substr(at + 3, end - at - 3)));
  }
  text = ReplaceAll(text, "{T}/", JsonEscaped(temp + kPathSeparator));
  return ReplaceAll(text, "{T}", JsonEscaped(temp));
}

// Packagers of an iOS backup's applications: each run gets a folder of its
// own holding a temp folder, a backup folder and a Manifest.db listing what
// was put into the backup.
class BackupFolderTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Fresh();
  }

  void Fresh() {
    root_ = JoinPath(outer_.path(), "run" + std::to_string(++runs_));
    temp_ = JoinPath(root_, "temp");
    backup_ = JoinPath(root_, "backup");
    std::filesystem::create_directories(std::filesystem::u8path(temp_));
    std::filesystem::create_directories(std::filesystem::u8path(backup_));
    manifest_ = JoinPath(root_, "Manifest.db");
    RunSql(manifest_,
           "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
           "flags INTEGER, file BLOB);");
  }

  // Where the file of `domain` and `relative_path` lies in the backup.
  std::string Placed(const std::string& domain, const std::string& relative_path,
                     bool two_level = true) const {
    const std::string id = samples::IosBackupFileId(domain, relative_path);
    return two_level ? TwoLevel(backup_, id) : JoinPath(backup_, id);
  }

  // Lists the file in Manifest.db (quotes in the path doubled).
  void ListFile(const std::string& domain, const std::string& relative_path) {
    RunSql(manifest_, "INSERT INTO Files VALUES ('" +
                          samples::IosBackupFileId(domain, relative_path) + "', '" + domain +
                          "', '" + ReplaceAll(relative_path, "'", "''") + "', 1, NULL);");
  }

  // Stores `bytes` as that file, in its two-digit folder, and lists it;
  // returns its place.
  std::string AddBackupFile(const std::string& domain, const std::string& relative_path,
                            const std::string& bytes) {
    const std::string placed = Placed(domain, relative_path);
    std::filesystem::create_directories(std::filesystem::u8path(placed).parent_path());
    WriteFileBytes(placed, bytes);
    ListFile(domain, relative_path);
    return placed;
  }

  // The inputs of a sound call: its temp folder and backup folder are the
  // fixture's.
  struct SoundInputs {
    int data_type = 0;
    std::unordered_map<std::string, std::string> primary_files;
    std::unordered_map<std::string, std::string> other_info;
  };

  // Calls the package function once per case, and each call answers the
  // case's status and hands nothing over. A case of kStatusMissingInput
  // names the input taken out of `sound` (a primary file, an other-info key,
  // or "backup" for the backup folder); any other puts its file in place of
  // the store under `store_key`. Damaged copies of that store are cases too.
  void ExpectRefused(const SoundInputs& sound, const std::string& store_key,
                     std::vector<std::pair<std::string, int>> cases) {
    for (const DamagedDatabase& damaged :
         DamageDatabase(sound.primary_files.at(store_key), JoinPath(root_, "damaged"))) {
      cases.emplace_back(damaged.path, damaged.status);
    }
    for (const auto& [wrong, status] : cases) {
      SCOPED_TRACE(wrong);
      DataTypeRecord record;
      record.data_type = sound.data_type;
      record.temp_folder = temp_;
      record.additional_param = wrong == "backup" ? "" : backup_;
      record.primary_files = sound.primary_files;
      record.other_info = sound.other_info;
      if (status != kStatusMissingInput) record.primary_files[store_key] = wrong;
      record.primary_files.erase(wrong);
      record.other_info.erase(wrong);
      g_results = CapturedResults();
      EXPECT_EQ(status, CallPackageFunction(&record));
      EXPECT_EQ(0, g_results.count);
    }
  }

  // Every file of the run lies in its temp or backup folder, or beside them.
  void ExpectNothingWrittenOutside() const {
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::filesystem::u8path(root_))) {
      const std::string path = entry.path().u8string();
      EXPECT_TRUE(IsInside(path, temp_) || IsInside(path, backup_) ||
                  entry.path().parent_path() == std::filesystem::u8path(root_))
          << path;
    }
  }

  std::string root_;
  std::string temp_;
  std::string backup_;
  std::string manifest_;

 private:
  TempDir outer_;
  int runs_ = 0;
};

}  // namespace kx::test

#endif  // KX_TESTS_PACKAGE_CAPTURE_H_
