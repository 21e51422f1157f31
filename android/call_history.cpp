#include "android/call_history.h"

#include <sqlite3.h>

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "android/merge_filter.h"
#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"

namespace kx {

namespace {

constexpr char kStem[] = "androidcallhistorydatapackage";
constexpr char kFilterName[] = "AndroidCallhistoryDataFilter";
constexpr char kPackagerName[] = "AndroidCallhistoryDataPackage";
constexpr int kDataType = 3;
constexpr int kResultKind = 0;

constexpr char kPrimaryFileKey[] = "callhistory_file_path";
constexpr char kSecondFilesKey[] = "callhistory_files_path";

constexpr char kCallsTable[] = "calls";
constexpr char kDeletedColumn[] = "is_deleted";

// The date keeps its first ten digits: whole seconds of a millisecond value.
constexpr char kCallQuery[] =
    "select number, strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime') as calling_date, duration,type,name, countryiso from calls";
// The same after a merge: is_deleted last, read but never packaged as such.
constexpr char kCallQueryWithDeleted[] =
    "select number, strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime') as calling_date, duration,type,name, countryiso, is_deleted from calls";
constexpr int kPackagedColumnCount = 6;
constexpr int kTypeColumn = 3;
constexpr int kDeletedColumnIndex = 6;

constexpr char kCallListMember[] = "callhistory";
constexpr char kTypeMember[] = "type";
constexpr char kTagMember[] = "tag";
constexpr char kDeletedTag[] = "deleted";

// Labels of the call-type codes 1 to 7, in code order.
constexpr const char* kCallTypeLabels[] = {
    "incomming", "outgoing", "missed", "voicemail", "rejected", "blocked", "answered_externally",
};
constexpr int kCallTypeCount = sizeof(kCallTypeLabels) / sizeof(kCallTypeLabels[0]);
constexpr char kUnknownTypePrefix[] = "unknow, type id ";

bool StopRequested(const std::atomic<int>* stop) {
  return stop != nullptr && stop->load() == kStopRequested;
}

void SetCallTypeLabel(int64_t type, JsonMembers* call) {
  if (type >= 1 && type <= kCallTypeCount) {
    call->SetString(kTypeMember, kCallTypeLabels[type - 1]);
  } else {
    call->SetString(kTypeMember, kUnknownTypePrefix + std::to_string(type));
  }
}

// One column into a member named after it, by the value's storage class:
// integer, floating point or non-empty text; NULL, blobs and empty text set
// nothing.
void AddColumn(const SqliteStatement& query, int column, const std::string& name,
               JsonMembers* call) {
  sqlite3_stmt* row = query.handle();
  switch (sqlite3_column_type(row, column)) {
    case SQLITE_INTEGER:
      call->SetInt(name, sqlite3_column_int64(row, column));
      break;
    case SQLITE_FLOAT:
      call->SetDouble(name, sqlite3_column_double(row, column));
      break;
    case SQLITE_TEXT: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
      const int size = sqlite3_column_bytes(row, column);
      if (text != nullptr && size > 0) call->SetString(name, std::string_view(text, size));
      break;
    }
    default:
      break;
  }
}

// Writes one object per row of calls, in the order SQLite returns them, as
// the elements of the open array. A table or database that cannot be read
// adds nothing. False on a stop.
bool WriteCalls(const SQLite3Wrapper& db, const std::atomic<int>* stop, JsonTextWriter* writer) {
  const bool has_deleted = ColumnExists(db, kCallsTable, kDeletedColumn);
  SqliteStatement query = PrepareStatement(db, has_deleted ? kCallQueryWithDeleted : kCallQuery);
  if (!query.prepared()) return true;
  const int column_count = query.ColumnCount();
  std::vector<std::string> member_names;
  for (int column = 0; column < column_count; ++column) {
    member_names.push_back(query.ColumnName(column));
  }
  JsonMembers call;
  while (query.Step() == SQLITE_ROW) {
    call.Clear();
    for (int column = 0; column < column_count; ++column) {
      if (StopRequested(stop)) return false;
      if (column < kPackagedColumnCount) AddColumn(query, column, member_names[column], &call);
    }
    // SQLite's own conversion: NULL and non-numeric text read 0.
    SetCallTypeLabel(query.ColumnInt64(kTypeColumn), &call);
    if (has_deleted && query.ColumnInt64(kDeletedColumnIndex) != 0) {
      call.SetString(kTagMember, kDeletedTag);
    }
    call.WriteObject(writer);
  }
  return true;
}

int HandOverDocument(const std::string& text, ResultCallback callback) {
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    KX_LOG_AT(kLogError, kStem, "package text of %zu bytes is too long to hand over.", text.size());
    return kStatusStepFailed;
  }
  if (callback != nullptr) callback(kResultKind, text.c_str(), static_cast<int>(text.size()));
  return kStatusOk;
}

}  // namespace

int AndroidCallhistoryDataFilter(DataTypeRecord* record, SqliteConfig* config,
                                 std::atomic<int>* stop) {
  static const MergeFilterSpec kSpec = {
      kDataType,          kStem, kFilterName, kPrimaryFileKey, kSecondFilesKey, "No second file.",
      kConfigCallHistory, false};
  return RunMergeFilter(kSpec, record, config, stop);
}

int AndroidCallhistoryDataPackage(DataTypeRecord* record, ResultCallback callback,
                                  std::atomic<int>* stop, int /*data_type*/) {
  KX_LOG(kLogProgress, "type %d KxDataPackage start", kDataType);
  const std::string* primary_path = record->PrimaryFile(kPrimaryFileKey);
  if (primary_path == nullptr) {
    KX_LOG_AT(kLogError, kStem, "No primary file.");
    return kStatusMissingInput;
  }
  SQLite3Wrapper db(*primary_path);
  const int opened = OpenSourceDatabase(&db, kStem, __LINE__);
  if (opened != kStatusOk) return opened;

  // A call log can hold a million calls: the text is written as the rows
  // come, in the layout of the library's JSON writer, instead of building
  // the whole document as a tree first.
  std::string text;
  JsonTextWriter writer(&text);
  writer.BeginObject();
  writer.Name(kCallListMember);
  writer.BeginArray();
  if (!WriteCalls(db, stop, &writer)) {
    KX_LOG(kLogProgress, "%s stoped!", kPackagerName);
    return kStatusOk;
  }
  writer.EndArray();
  writer.EndObject();
  if (!writer.complete()) {
    KX_LOG_AT(kLogError, kStem, "package text could not be written.");
    return kStatusStepFailed;
  }
  const int status = HandOverDocument(text, callback);
  if (status != kStatusOk) return status;
  KX_LOG(kLogProgress, "type %d KxDataPackage end", kDataType);
  return kStatusOk;
}

}  // namespace kx
