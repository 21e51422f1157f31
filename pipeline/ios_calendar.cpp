#include "pipeline/ios_calendar.h"

#include <cmath>
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
#include "common/text.h"
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

// An integer column as an event member reads it (EventInteger): an
// integer, or a real with no fraction; 0 for anything else.
int64_t EventColumnInteger(const SqliteStatement& row, int column) {
  switch (row.ColumnType(column)) {
    case SQLITE_INTEGER:
      return row.ColumnInt64(column);
    case SQLITE_FLOAT: {
      const double real = row.ColumnDouble(column);
      constexpr double kLimit = 9223372036854775808.0;  // 2^63
      if (!std::isfinite(real) || real < -kLimit || real >= kLimit) return 0;
      const int64_t whole = static_cast<int64_t>(real);
      return static_cast<double>(whole) == real ? whole : 0;
    }
    default:
      return 0;
  }
}

// A text column as an event member reads it (EventText): a text, a blob as
// Base64 (kept in *blob_text), "" for anything else.
std::string_view EventColumnText(const SqliteStatement& row, int column, std::string* blob_text) {
  switch (row.ColumnType(column)) {
    case SQLITE_TEXT:
      return row.ColumnTextView(column);
    case SQLITE_BLOB: {
      const std::string_view bytes = row.ColumnBlobView(column);
      *blob_text = Base64Encode(bytes.data(), bytes.size());
      return *blob_text;
    }
    default:
      return std::string_view();
  }
}

// The member names of a detail-file element, prepared once.
struct DetailNames {
  JsonName all_day{"all_day"}, attachment_files{"attachment_files"}, calendar{"calendar"},
      end_date{"end_date"}, participants{"participants"}, start_date{"start_date"},
      status{"status"}, tag{"tag"}, unique_identifier{"unique_identifier"}, address{"utf_Address"},
      description{"utf_Description"}, title{"utf_Title"}, url{"utf_Url"}, file_name{"file_name"},
      file_path{"file_path"}, media_type{"media_type"};
};

// Writes one element of a detail file from the current row of the event
// query, as its text one step into the file's array: every member present,
// empty when the store had nothing for it, and "tag" for an event only an
// older copy held. The members are written in the order the JSON writer
// sorts them into. An all-day event starts at midnight and, without an end,
// ends at 23:59:59 of its first day.
class DetailElementWriter {
 public:
  explicit DetailElementWriter(CalendarLookups* lookups) : lookups_(lookups) {}

  // The element's text, valid until the next call; empty when it would be
  // longer than a text can be.
  std::string_view Write(const SqliteStatement& row) {
    static const DetailNames names;
    text_.clear();
    JsonBufferWriter writer(&text_, IosCalendarKxDataPackageStorage::kDetailElementDepth);
    const int64_t all_day = EventColumnInteger(row, kEventAllDay);
    std::string_view start = EventColumnText(row, kEventStartDate, &blob_text_[0]);
    std::string_view end = EventColumnText(row, kEventEndDate, &blob_text_[1]);
    if (all_day == 1 && row.ColumnType(kEventStartDate) == SQLITE_TEXT) {
      constexpr size_t kDateLength = 10;  // "%m-%d-%Y"
      const std::string_view date = start.substr(0, kDateLength);
      if (start.size() > kDateLength + 1 && start.substr(kDateLength + 1) != "00:00:00") {
        corrected_start_.assign(date.data(), date.size());
        corrected_start_ += " 00:00:00";
        start = corrected_start_;
      }
      if (row.ColumnType(kEventEndDate) == SQLITE_NULL) {
        corrected_end_.assign(date.data(), date.size());
        corrected_end_ += " 23:59:59";
        end = corrected_end_;
      }
    }
    const int64_t id = EventColumnInteger(row, kEventRowId);
    writer.BeginObject();
    writer.Name(names.all_day);
    writer.Int(all_day);
    writer.Name(names.attachment_files);
    writer.BeginArray();
    if (const std::vector<CalendarAttachment>* files = lookups_->Attachments(id)) {
      for (const CalendarAttachment& file : *files) {
        writer.BeginObject();
        writer.Name(names.file_name);
        writer.String(file.file_name);
        writer.Name(names.file_path);
        writer.String(file.file_path);
        writer.Name(names.media_type);
        writer.Int(file.media_type);
        writer.EndObject();
      }
    }
    writer.EndArray();
    writer.Name(names.calendar);
    const std::string* calendar =
        lookups_->CalendarTitle(EventColumnInteger(row, kEventCalendarId));
    writer.String(calendar != nullptr ? std::string_view(*calendar) : std::string_view());
    writer.Name(names.end_date);
    writer.String(end);
    writer.Name(names.participants);
    lookups_->ParticipantNames(id, &participants_);
    writer.StringArray(participants_);
    writer.Name(names.start_date);
    writer.String(start);
    writer.Name(names.status);
    writer.Int(EventColumnInteger(row, kEventStatus));
    if (EventColumnInteger(row, kEventIsDeleted) != 0) {
      writer.Name(names.tag);
      writer.String("deleted");
    }
    writer.Name(names.unique_identifier);
    writer.String(EventColumnText(row, kEventUniqueIdentifier, &blob_text_[0]));
    writer.Name(names.address);
    const std::string* address = lookups_->Address(EventColumnInteger(row, kEventLocationId));
    writer.String(address != nullptr ? std::string_view(*address) : std::string_view());
    writer.Name(names.description);
    writer.String(EventColumnText(row, kEventDescription, &blob_text_[0]));
    writer.Name(names.title);
    writer.String(EventColumnText(row, kEventTitle, &blob_text_[0]));
    writer.Name(names.url);
    writer.String(EventColumnText(row, kEventUrl, &blob_text_[0]));
    writer.EndObject();
    return text_.failed() ? std::string_view() : text_.view();
  }

 private:
  CalendarLookups* lookups_;
  TextBuffer text_;
  std::string blob_text_[2];
  std::string corrected_start_;
  std::string corrected_end_;
  std::vector<std::string> participants_;
};

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
  DetailElementWriter element(&lookups);
  while (query.Step() == SQLITE_ROW) {
    if (Stopped()) return kStatusStopped;
    const int64_t row_id = EventColumnInteger(query, kEventRowId);
    const std::string_view text = element.Write(query);
    if (text.empty()) {
      KX_LOG_OP(kLogProblem, kAnalyseOperation, "event %lld too long to write, left out",
                static_cast<long long>(row_id));
      continue;
    }
    storage_.AddEvent(row_id, text);
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
