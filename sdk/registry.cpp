#include "sdk/registry.h"

#include <utility>

#include "common/field_config.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/staging.h"
#include "common/status.h"
#include "sdk/data_type_table.h"
#include "sdk/guarded_call.h"

namespace kx {

namespace {

constexpr const char kPackageTypeKey[] = "package_type";
constexpr const char kTempFolderKey[] = "temp_folder";
constexpr const char kPrimaryFilesKey[] = "primary_file_object";
constexpr const char kSecondFilesKey[] = "second_file_objects";
constexpr const char kOtherInfoKey[] = "other_info";
// Spelled as hosts send it: they depend on the misspelling.
constexpr const char kAdditionalParamKey[] = "addtional_param";

int FilterEnd(int status) {
  KX_LOG(kLogProgress, "KxDataFilter end");
  return status;
}

// Scalars are taken as their text; objects, arrays and null are not text.
bool ScalarAsString(const Json::Value& value, std::string* text) {
  if (value.isString() || value.isNumeric() || value.isBool()) {
    *text = value.asString();
    return true;
  }
  return false;
}

// A request member that must be an object when present.
bool CheckObjectMember(const Json::Value& request, const char* key) {
  if (!request.isMember(key) || request[key].isObject()) return true;
  KX_LOG(kLogError, "%s is not an object", key);
  return false;
}

std::string NumberedCopyName(const std::string& file_name, int number) {
  const std::filesystem::path name = PathFromUtf8(file_name);
  const std::string stem = PathToUtf8(name.stem());
  const std::string extension = PathToUtf8(name.extension());
  return stem + "_" + std::to_string(number) + extension;
}

// The copies one filter call made, waiting to be handed to the record.
struct StagedFiles {
  std::unordered_map<std::string, std::string> primaries;
  // In member-name order; a member that is not an array has no paths but
  // still gets its queue.
  std::vector<std::pair<std::string, std::vector<std::string>>> seconds;
};

void StagePrimaries(DataTypeRecord* record, const Json::Value& primaries, StagedFiles* staged) {
  if (!primaries.isObject()) return;
  for (const std::string& key : primaries.getMemberNames()) {
    std::string source;
    if (!primaries[key].isString() || (source = primaries[key].asString()).empty()) {
      KX_LOG(kLogProblem, "primary file %s is not a path", key.c_str());
      continue;
    }
    const std::string copy = StageForRecord(record, source);
    if (!copy.empty()) staged->primaries[key] = copy;
  }
}

void StageSeconds(DataTypeRecord* record, const Json::Value& seconds, StagedFiles* staged) {
  if (!seconds.isObject()) return;
  for (const std::string& key : seconds.getMemberNames()) {
    staged->seconds.emplace_back(key, std::vector<std::string>());
    std::vector<std::string>& copies = staged->seconds.back().second;
    const Json::Value& paths = seconds[key];
    if (!paths.isArray()) {
      KX_LOG(kLogProblem, "second files %s is not an array", key.c_str());
      continue;
    }
    for (const Json::Value& path : paths) {
      if (!path.isString() || path.asString().empty()) continue;
      const std::string copy = StageForRecord(record, path.asString());
      if (!copy.empty()) copies.push_back(copy);
    }
  }
}

// Hands the copies and the request's scalars to the record. Called with the
// registry lock and the record's staging lock held.
void AdoptRequest(DataTypeRecord* record, const Json::Value& request, StagedFiles* staged) {
  if (!record->primaries_staged) {
    record->primary_files = std::move(staged->primaries);
    record->primaries_staged = true;
  }
  std::string additional_param;
  if (request.isMember(kAdditionalParamKey) &&
      ScalarAsString(request[kAdditionalParamKey], &additional_param) &&
      record->additional_param != additional_param) {
    record->additional_param = additional_param;
  }
  for (const auto& [key, copies] : staged->seconds) {
    FileQueue& queue = record->second_files[key];
    for (const std::string& copy : copies) queue.Push(copy);
  }
  const Json::Value& other_info = request[kOtherInfoKey];
  if (other_info.isObject()) {
    for (const std::string& key : other_info.getMemberNames()) {
      std::string value;
      if (record->other_info.count(key) == 0 && ScalarAsString(other_info[key], &value)) {
        record->other_info.emplace(key, value);
      }
    }
  }
}

int RunPackage(const DataTypeEntry& entry, DataTypeRecord* inputs, ResultCallback callback,
               std::atomic<int>* stop) {
  return CallGuarded(entry.packager_name, kStatusNotPackaged,
                     [&] { return entry.package(inputs, entry.Context(callback, stop)); });
}

}  // namespace

std::string StageForRecord(DataTypeRecord* record, const std::string& source) {
  const std::string file_name = PathToUtf8(PathFromUtf8(source).filename());
  std::string copy_name = file_name;
  for (int number = 2;; ++number) {
    const std::string copy_path = JoinPath(record->temp_folder, copy_name);
    auto it = record->staged_sources.find(copy_path);
    if (it == record->staged_sources.end() || it->second == source) break;
    copy_name = NumberedCopyName(file_name, number);
  }
  const std::string staged = StageSourceFile(record->temp_folder, source, copy_name);
  if (staged.empty()) {
    KX_LOG(kLogError, "Fail to stage source file %s", source.c_str());
    return staged;
  }
  record->staged_sources[staged] = source;
  return staged;
}

void Registry::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.clear();
  records_.rehash(8);
}

Registry::RecordPtr Registry::FindLocked(int data_type) {
  auto it = records_.find(data_type);
  return it == records_.end() ? nullptr : it->second;
}

int Registry::StateOf(int data_type) {
  std::lock_guard<std::mutex> lock(mutex_);
  const RecordPtr record = FindLocked(data_type);
  return record == nullptr ? -1 : record->state.load();
}

Registry::RecordPtr Registry::FindOrCreateLocked(int data_type, const std::string& temp_folder) {
  RecordPtr record = FindLocked(data_type);
  if (record != nullptr) return record;
  record = std::make_shared<DataTypeRecord>();
  record->data_type = data_type;
  record->temp_folder = temp_folder;
  records_[data_type] = record;
  return record;
}

int Registry::FilterText(const char* request_json, int length, const std::string& config_folder,
                         std::atomic<int>* stop) {
  if (request_json == nullptr || length == 0) return kStatusMissingInput;
  Json::Value request;
  std::string error;
  if (!ParseJson(request_json, &request, &error)) {
    KX_LOG(kLogError, "Fail to parse json string, error code : %d", kStatusInvalidJson);
    return FilterEnd(kStatusInvalidJson);
  }
  if (!request.isObject()) {
    KX_LOG(kLogError, "filter request is not a JSON object");
    return FilterEnd(kStatusMissingInput);
  }
  return Filter(request, config_folder, stop);
}

int Registry::Filter(const Json::Value& request, const std::string& config_folder,
                     std::atomic<int>* stop) {
  if (!request.isMember(kPackageTypeKey)) {
    KX_LOG(kLogProgress, "package_type is null");
    return FilterEnd(kStatusMissingInput);
  }
  if (!request.isMember(kTempFolderKey)) {
    KX_LOG(kLogProgress, "temp_folder is null");
    return FilterEnd(kStatusMissingInput);
  }
  const Json::Value& type_value = request[kPackageTypeKey];
  if (!type_value.isInt()) {
    KX_LOG(kLogError, "package_type is not an integer");
    return FilterEnd(kStatusMissingInput);
  }
  if (!request[kTempFolderKey].isString()) {
    KX_LOG(kLogError, "temp_folder is not a string");
    return FilterEnd(kStatusMissingInput);
  }
  if (!CheckObjectMember(request, kPrimaryFilesKey) ||
      !CheckObjectMember(request, kSecondFilesKey) || !CheckObjectMember(request, kOtherInfoKey)) {
    return FilterEnd(kStatusMissingInput);
  }
  const int data_type = type_value.asInt();
  const DataTypeEntry* entry = table_->Find(data_type);
  if (entry == nullptr) {
    KX_LOG(kLogError, "package_type %d is not a known data type", data_type);
    return FilterEnd(kStatusMissingInput);
  }
  const std::string temp_folder = request[kTempFolderKey].asString();
  // Every file of the request is staged into the temp folder, so a folder
  // that does not exist yet is made first. One that cannot be made fails
  // the request before any record is touched (an empty one is left to the
  // record's own check).
  if (!temp_folder.empty() && !EnsureFolder(temp_folder)) {
    KX_LOG(kLogError, "temp_folder %s cannot be made", temp_folder.c_str());
    return FilterEnd(kStatusMissingInput);
  }

  // Held while the call runs: a package call may remove the record from the
  // map meanwhile.
  RecordPtr record;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    record = FindOrCreateLocked(data_type, temp_folder);
  }
  {
    // Copying a large store takes long: it runs under the record's own
    // staging lock only, so filters of other data types are not held up.
    std::unique_lock<std::mutex> staging(record->staging_mutex);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      record->temp_folder = temp_folder;
      if (record->state == kRecordPackaged) return FilterEnd(kStatusAlreadyPackaged);
    }
    // Without a temp folder a copy's path would be relative to the host's
    // working folder: nothing is staged, and the check below fails the call.
    StagedFiles staged;
    if (!temp_folder.empty()) {
      if (!record->primaries_staged) {
        StagePrimaries(record.get(), request[kPrimaryFilesKey], &staged);
      }
      StageSeconds(record.get(), request[kSecondFilesKey], &staged);
    }

    std::lock_guard<std::mutex> lock(mutex_);
    AdoptRequest(record.get(), request, &staged);
    // The queueing, the check and the claim of the filter loop happen under
    // the registry lock, so two callers never both drain the queues.
    if (record->state == kRecordFiltering) return 0;
    if (record->temp_folder.empty()) return FilterEnd(kStatusMissingInput);
    if (entry->filter == nullptr) {
      record->state = kRecordFiltered;
      KX_LOG(kLogProgress, "filter_handle is null");
      return FilterEnd(0);
    }
    if (table_->SecondFilesEmpty(*record)) {
      record->state = kRecordFiltered;
      return FilterEnd(0);
    }
    record->state = kRecordFiltering;
  }
  // What throws outside the filter function (no memory left for a copy of
  // the inputs) must not leave the record claimed for good.
  const int status = CallGuarded("KxDataFilter", kStatusFilterFailed,
                                 [&] { return RunFilterLoop(record, config_folder, stop); });
  if (status == kStatusFilterFailed) record->state = kRecordFilterFailed;
  return status;
}

int Registry::RunFilterLoop(const RecordPtr& record, const std::string& config_folder,
                            std::atomic<int>* stop) {
  const std::string config_path = GetConfigDbPath(config_folder);
  std::unique_ptr<SqliteConfig> config = OpenSqliteConfig(config_path);
  if (config == nullptr) {
    KX_LOG(kLogError, "Fail to create sqlite config object, config file %s", config_path.c_str());
    record->state = kRecordFilterFailed;
    return FilterEnd(kStatusFilterFailed);
  }
  const DataTypeEntry* entry = table_->Find(record->data_type);
  const PackageContext context = entry->Context(nullptr, stop);
  std::unique_ptr<DataTypeRecord> inputs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inputs = record->CopyInputs();
  }
  for (;;) {
    const int status = CallGuarded(entry->filter_name, kStatusFilterFailed, [&] {
      return entry->filter(inputs.get(), config.get(), context);
    });
    if (status != 0) {
      record->state = kRecordFilterFailed;
      return kStatusFilterFailed;
    }
    // Files queued by another caller while the loop ran are taken in the
    // same loop: the emptiness test and the hand-back to state 2 are one
    // step under the registry lock, where the other caller queues.
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop->load() == kStopRequested) {
      record->state = kRecordFiltered;
      return kStatusStopped;
    }
    if (table_->SecondFilesEmpty(*record)) {
      record->state = kRecordFiltered;
      return 0;
    }
    // Another caller may have added queues or members: the next round
    // reads them.
    inputs = record->CopyInputs();
  }
}

int Registry::PackageOne(ResultCallback callback, int data_type, std::atomic<int>* stop) {
  const DataTypeEntry* entry = table_->Find(data_type);
  if (entry == nullptr) {
    KX_LOG(kLogError, "data type %d is not a known data type", data_type);
    return kStatusMissingInput;
  }
  RecordPtr record;
  std::unique_ptr<DataTypeRecord> inputs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    record = FindLocked(data_type);
    if (record == nullptr) return kStatusNotPackaged;
    if (record->state != kRecordFiltered) return 0;
    inputs = record->CopyInputs();
  }
  if (stop->load() == kStopRequested) return kStatusStopped;
  if (entry->package == nullptr) {
    KX_LOG(kLogProblem, "type %d has no package function", data_type);
    return kStatusMissingInput;
  }
  if (RunPackage(*entry, inputs.get(), callback, stop) != 0) return kStatusNotPackaged;
  if (stop->load() == kStopRequested) return kStatusStopped;
  std::lock_guard<std::mutex> lock(mutex_);
  // Only this record: a call that packaged it first, or an Init, may have
  // replaced it meanwhile.
  auto it = records_.find(data_type);
  if (it != records_.end() && it->second == record) records_.erase(it);
  return 0;
}

int Registry::PackageAll(ResultCallback callback, std::atomic<int>* stop) {
  struct Ready {
    RecordPtr record;
    std::unique_ptr<DataTypeRecord> inputs;
  };
  std::vector<Ready> ready;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [data_type, record] : records_) {
      if (record->state == kRecordFiltered) ready.push_back({record, record->CopyInputs()});
    }
  }
  for (const Ready& item : ready) {
    if (stop->load() == kStopRequested) return kStatusStopped;
    const DataTypeEntry* entry = table_->Find(item.inputs->data_type);
    if (entry->package == nullptr) {
      KX_LOG(kLogProblem, "type %d has no package function", item.inputs->data_type);
      continue;
    }
    if (RunPackage(*entry, item.inputs.get(), callback, stop) != 0) return kStatusNotPackaged;
    if (stop->load() == kStopRequested) return kStatusStopped;
    // A filter call that started meanwhile keeps its own state.
    int filtered = kRecordFiltered;
    item.record->state.compare_exchange_strong(filtered, kRecordPackaged);
  }
  return 0;
}

}  // namespace kx
