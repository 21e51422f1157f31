#include "pipeline/ios_calendar_old_style.h"

#include <string>
#include <unordered_set>

#include "common/field_config.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"
#include "pipeline/ios_calendar_events.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "calendar_file_path";
constexpr char kManifestFileKey[] = "manifest_file_path";
constexpr char kSecondFilesKey[] = "calendar_files_path";

// Deleted events that an older copy held more than once (the same title,
// description, place, URL, start and end) are packaged once.
class DeletedDuplicates {
 public:
  bool Seen(const Json::Value& event) {
    std::string key;
    for (const char* name :
         {"utf_Title", "utf_Description", "utf_Address", "utf_Url", "start_date", "end_date"}) {
      key += EventText(event, name);
    }
    return !keys_.insert(std::move(key)).second;
  }

 private:
  std::unordered_set<std::string> keys_;
};

void LogMissing(const CalendarLookups& lookups, const std::string& event_columns,
                const char* stem) {
  for (const std::string& what : lookups.missing()) {
    KX_LOG_AT(kLogProblem, stem, "The calendar has no %s: read as NULL.", what.c_str());
  }
  if (!event_columns.empty()) {
    KX_LOG_AT(kLogProblem, stem, "CalendarItem has no %s: read as NULL.", event_columns.c_str());
  }
}

}  // namespace

int IosCalendarDataFilter(DataTypeRecord* record, SqliteConfig* config,
                          const PackageContext& context) {
  static const MergeRule kMergeRule = {kPrimaryFileKey,
                                       kSecondFilesKey,
                                       "No primary file.",
                                       "No second files.",
                                       false,
                                       kSystemIos,
                                       kConfigCalendar,
                                       true,
                                       nullptr,
                                       true};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosCalendarDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* calendar_path = BeginPackage(*record, context, kPrimaryFileKey);
  if (calendar_path == nullptr) return kStatusMissingInput;
  const std::string* manifest_path = record->PrimaryFile(kManifestFileKey);
  if (manifest_path == nullptr || manifest_path->empty()) {
    KX_LOG_AT(kLogError, context.stem, "No primary file.");
    return kStatusMissingInput;
  }
  PackageSource calendar(*calendar_path, context);
  if (calendar.status() != kStatusOk) return calendar.status();
  PackageSource manifest(*manifest_path, context);
  if (manifest.status() != kStatusOk) return manifest.status();

  // Null until the first event turns it into an array.
  Json::Value document;
  {
    const ReadTransaction transaction(calendar);
    CalendarLookups lookups;
    if (!lookups.Read(&calendar, &manifest, record->additional_param,
                      [&context] { return context.StopRequested(); })) {
      return PackageStopped(context);
    }
    std::string missing;
    const std::string sql = CalendarEventQuery(calendar, &missing);
    LogMissing(lookups, missing, context.stem);
    SqliteStatement query = sql.empty() ? SqliteStatement() : PrepareStatement(calendar, sql);
    if (!query.prepared()) {
      KX_LOG_AT(kLogError, context.stem, "sqlite error message : %s.",
                sql.empty() ? "no such table: CalendarItem" : sqlite3_errmsg(calendar.handle()));
      return kStatusPrepareFailed;
    }
    DeletedDuplicates duplicates;
    while (query.Step() == SQLITE_ROW) {
      if (context.StopRequested()) return PackageStopped(context);
      Json::Value event(Json::objectValue);
      ReadRowIntoJson(query, &event);
      const bool deleted = EventInteger(event, "is_deleted") != 0;
      if (deleted) event["tag"] = "deleted";
      lookups.Apply(&event);
      CorrectAllDayEvent(&event);
      if (deleted && duplicates.Seen(event)) continue;
      if (!event.empty()) document.append(std::move(event));
    }
  }
  return FinishPackage(calendar, context, WriteJson(document));
}

}  // namespace kx
