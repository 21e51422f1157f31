#include "pipeline/ios_calendar.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/staging.h"
#include "common/status.h"
#include "packager/package_steps.h"
#include "pipeline/ios_calendar_events.h"

namespace kx {

namespace {

constexpr char kCheckParamOperation[] = "IosCalendarKxDataPackage::CheckParam";
constexpr char kInitOperation[] = "IosCalendarKxDataPackage::Init";
constexpr char kMergeDelOperation[] = "IosCalendarKxDataPackage::MergeDel";
constexpr char kAnalyseOperation[] = "IosCalendarKxDataPackage::AnalyseDatabase";
constexpr char kOutPutOperation[] = "IosCalendarKxDataPackage::OutPut";
constexpr char kCopiesKey[] = "calendar_files_path";

bool PathExists(const std::string& utf8_path) {
  if (utf8_path.empty()) return false;
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(utf8_path), error);
}

// One element of a detail file, as its text one step into the file's
// array: every member present, empty when the store had nothing for it,
// and "tag" for an event only an older copy held. The members are written
// in the order the JSON writer sorts them into.
std::string DetailElementText(const Json::Value& event) {
  std::string text;
  JsonTextWriter writer(&text, IosCalendarKxDataPackageStorage::kDetailElementDepth);
  writer.BeginObject();
  writer.Name("all_day");
  writer.Int(EventInteger(event, "all_day"));
  writer.Name("attachment_files");
  const Json::Value& files = event["attachment_files"];
  WriteJsonValue(files.isArray() ? files : Json::Value(Json::arrayValue), &writer);
  const auto text_member = [&](const char* name) {
    writer.Name(name);
    writer.String(EventText(event, name));
  };
  text_member("calendar");
  text_member("end_date");
  writer.Name("participants");
  std::vector<std::string> names;
  for (const Json::Value& name : event["participants"]) {
    if (name.isString()) names.push_back(name.asString());
  }
  writer.StringArray(names);
  text_member("start_date");
  writer.Name("status");
  writer.Int(EventInteger(event, "status"));
  if (EventInteger(event, "is_deleted") != 0) {
    writer.Name("tag");
    writer.String("deleted");
  }
  for (const char* name :
       {"unique_identifier", "utf_Address", "utf_Description", "utf_Title", "utf_Url"}) {
    text_member(name);
  }
  writer.EndObject();
  return text;
}

}  // namespace

IosCalendarKxDataPackage::IosCalendarKxDataPackage(const StagedParameters& parameters)
    : temp_folder_(parameters.temp_folder),
      callback_(parameters.callback),
      result_kind_(parameters.result_kind),
      staged_stop_(parameters.staged_stop),
      calendar_file_path_(parameters.primary_file_path),
      manifest_file_path_(parameters.manifest_file_path),
      additional_param_(parameters.additional_param),
      config_folder_(parameters.config_folder),
      second_file_objects_(parameters.second_file_objects),
      storage_(parameters.temp_folder) {}

IosCalendarKxDataPackage::~IosCalendarKxDataPackage() = default;

bool IosCalendarKxDataPackage::Stopped() const {
  return StagedStopRequested(staged_stop_, kAnalyseOperation);
}

int IosCalendarKxDataPackage::CheckParam() {
  for (const std::string* path : {&calendar_file_path_, &manifest_file_path_, &temp_folder_}) {
    if (!PathExists(*path)) {
      KX_LOG_OP(kLogError, kCheckParamOperation, "File {%s} not exists", path->c_str());
      return kStatusMissingInput;
    }
  }
  return kStatusOk;
}

int IosCalendarKxDataPackage::StageAndOpen(const std::string& source, const std::string& copy_name,
                                           std::unique_ptr<SQLite3Wrapper>* db) {
  const std::string staged_path = StageSourceFile(temp_folder_, source, copy_name);
  if (staged_path.empty()) {
    KX_LOG_OP(kLogError, kInitOperation,
              "Database open failed, error code:{%d}, error message:{%s}", SQLITE_CANTOPEN,
              sqlite3_errstr(SQLITE_CANTOPEN));
    return kStatusOpenFailed;
  }
  return OpenStaged(staged_path, db);
}

int IosCalendarKxDataPackage::OpenStaged(const std::string& staged_path,
                                         std::unique_ptr<SQLite3Wrapper>* db) {
  auto opened = std::make_unique<SQLite3Wrapper>(staged_path);
  const SourceCheck check = CheckSourceDatabase(opened.get());
  if (!check.ok()) {
    KX_LOG_OP(kLogError, kInitOperation,
              "Database open failed, error code:{%d}, error message:{%s}", check.sqlite_code,
              check.message.c_str());
    return kStatusOpenFailed;
  }
  *db = std::move(opened);
  return kStatusOk;
}

int IosCalendarKxDataPackage::Init() {
  // Fixed copy names: a catalogue and a calendar that share a file name
  // (or an older copy named like the primary) never overwrite each other.
  const int status = StageAndOpen(calendar_file_path_, "Calendar.sqlitedb", &calendar_db_);
  if (status != kStatusOk) return status;
  return StageAndOpen(manifest_file_path_, "Manifest.db", &manifest_db_);
}

int IosCalendarKxDataPackage::MergeDel() {
  if (calendar_db_ == nullptr) return kStatusOpenFailed;
  int copy_number = 0;
  if (second_file_objects_.isObject()) {
    for (const std::string& member : second_file_objects_.getMemberNames()) {
      const Json::Value& paths = second_file_objects_[member];
      if (!paths.isArray()) continue;  // "configer_file_path" names a folder
      FileQueue& queue = queues_[member];
      for (const Json::Value& path : paths) {
        if (!path.isString()) continue;
        const std::string copy = StageSourceFile(temp_folder_, path.asString(),
                                                 "CalendarCopy_" + std::to_string(copy_number++));
        if (!copy.empty()) queue.Push(copy);
      }
    }
  }
  const auto copies = queues_.find(kCopiesKey);
  // Without that queue there is nothing to merge; the events then carry no
  // deleted ones and is_deleted reads as NULL.
  if (copies == queues_.end()) return kStatusOk;
  const std::unique_ptr<SqliteConfig> config = OpenSqliteConfig(GetConfigDbPath(config_folder_));
  if (config == nullptr) {
    KX_LOG_OP(kLogError, kMergeDelOperation, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  // The merge keeps its own flag, never set: a stop waits for the next stage.
  const std::string primary = calendar_db_->path();
  calendar_db_.reset();
  std::atomic<int> never_stop{0};
  const int status = MergeDatabaseCopiesByKey(*config, primary, copies->second, kSystemIos,
                                              kConfigCalendar, &never_stop);
  const int reopened = OpenStaged(primary, &calendar_db_);
  return status != kStatusOk ? status : reopened;
}

int IosCalendarKxDataPackage::AnalyseDatabase() {
  if (calendar_db_ == nullptr) {
    KX_LOG_OP(kLogError, kAnalyseOperation, "database is not open");
    return kStatusOpenFailed;
  }
  if (Stopped()) return kStatusStopped;
  const ReadTransaction transaction(*calendar_db_);
  CalendarLookups lookups;
  const auto stopped = [this] { return Stopped(); };
  if (!lookups.Read(calendar_db_.get(), manifest_db_.get(), additional_param_, stopped)) {
    return kStatusStopped;
  }
  std::string missing;
  const std::string sql = CalendarEventQuery(*calendar_db_, &missing);
  for (const std::string& what : lookups.missing()) {
    KX_LOG_OP(kLogProblem, kAnalyseOperation, "The calendar has no %s: read as NULL.",
              what.c_str());
  }
  if (!missing.empty()) {
    KX_LOG_OP(kLogProblem, kAnalyseOperation, "CalendarItem has no %s: read as NULL.",
              missing.c_str());
  }
  SqliteStatement query;
  const int prepared = sql.empty() ? SQLITE_ERROR : query.Prepare(*calendar_db_, sql);
  if (prepared != SQLITE_OK) {
    KX_LOG_OP(kLogError, kAnalyseOperation,
              "Sql prepare failed, error code:{%d}, error message:{%s}", prepared,
              sql.empty() ? "no such table: CalendarItem" : sqlite3_errmsg(calendar_db_->handle()));
    return kStatusPrepareFailed;
  }
  while (query.Step() == SQLITE_ROW) {
    if (Stopped()) return kStatusStopped;
    Json::Value event(Json::objectValue);
    ReadRowIntoJson(query, &event);
    lookups.Apply(&event);
    CorrectAllDayEvent(&event);
    storage_.AddEvent(EventInteger(event, "ROWID"), DetailElementText(event));
  }
  return kStatusOk;
}

int IosCalendarKxDataPackage::OutPut() {
  // A stop that came after the last row still withholds the document.
  if (StagedStopRequested(staged_stop_, kOutPutOperation)) return kStatusStopped;
  Json::Value document;
  storage_.BuildResultDocument(document);
  return HandOverDocument(result_kind_, WriteJson(document), callback_, kOutPutOperation);
}

}  // namespace kx
