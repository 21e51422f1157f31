#include "android/call_history.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/local_date.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "callhistory_file_path";
constexpr char kSecondFilesKey[] = "callhistory_files_path";

constexpr char kCallsTable[] = "calls";
constexpr char kDeletedColumn[] = "is_deleted";

// The columns read, in the order of the query. The date is read as stored
// and formatted like SQLite's strftime("%m - %d - %Y %H:%M : %S",
// substr(date, 1, 10), 'unixepoch', 'localtime'): its first ten digits are
// whole seconds of a millisecond value. The query adds SQLite's own text of
// the dates that C++ leaves to it, as calling_date, and is_deleted after a
// merge.
const std::vector<SelectedColumn> kCallColumns = {
    {"number", nullptr}, {"date", nullptr}, {"duration", nullptr},
    {"type", nullptr},   {"name", nullptr}, {"countryiso", nullptr},
};
constexpr char kDateMember[] = "calling_date";
constexpr int kDateColumn = 1;
constexpr int kTypeColumn = 3;
constexpr int kSqlDateColumn = 6;
constexpr int kDeletedColumnIndex = 7;
constexpr int kReadColumnCount = 7;

constexpr char kCallListMember[] = "callhistory";
constexpr char kTypeMember[] = "type";
constexpr char kTagMember[] = "tag";
constexpr char kDeletedTag[] = "deleted";

// Labels of the call-type codes 1 to 7, in code order; "incomming" is
// spelled as the hosts that read these documents expect.
constexpr const char* kCallTypeLabels[] = {
    "incomming", "outgoing", "missed", "voicemail", "rejected", "blocked", "answered_externally",
};
constexpr int kCallTypeCount = sizeof(kCallTypeLabels) / sizeof(kCallTypeLabels[0]);
constexpr char kUnknownTypePrefix[] = "unknow, type id ";

// The query over what this store's calls table has; a column it lacks reads
// as NULL (logged once).
std::string CallQuery(const SQLite3Wrapper& db, const char* stem, bool* has_deleted) {
  const TableColumns columns(db, kCallsTable);
  std::string missing;
  std::string query = "select " + columns.SelectList(kCallColumns, &missing);
  if (columns.exists() && !missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "calls has no column %s: read as NULL.", missing.c_str());
  }
  query +=
      "," + LocalDateFormatter::SqlFallback("date", columns.Has("date")) + " as " + kDateMember;
  *has_deleted = columns.Has(kDeletedColumn);
  if (*has_deleted) query += std::string(",") + kDeletedColumn;
  return query + " from " + kCallsTable;
}

// Where a member of a call object comes from.
enum class MemberSource { kColumn, kDate, kTypeLabel, kTag };

struct MemberSlot {
  JsonName name;
  MemberSource source;
  int column;
};

// The members of every call object in the writer's (name) order, known once
// per query: a column is named as SQLite names it, and "type" carries the
// label of the type code.
std::vector<MemberSlot> MemberLayout(const SqliteStatement& query) {
  std::vector<MemberSlot> slots;
  bool type_named = false;
  for (int column = 0; column < kReadColumnCount; ++column) {
    if (column == kDateColumn) continue;  // packaged through the formatted date
    const std::string name = query.ColumnName(column);
    MemberSource source = column == kSqlDateColumn ? MemberSource::kDate : MemberSource::kColumn;
    if (name == kTypeMember) {
      source = MemberSource::kTypeLabel;
      type_named = true;
    }
    slots.push_back({JsonName(name), source, column});
  }
  if (!type_named) slots.push_back({JsonName(kTypeMember), MemberSource::kTypeLabel, kTypeColumn});
  slots.push_back({JsonName(kTagMember), MemberSource::kTag, kDeletedColumnIndex});
  std::stable_sort(slots.begin(), slots.end(), [](const MemberSlot& a, const MemberSlot& b) {
    return a.name.name() < b.name.name();
  });
  return slots;
}

// "incomming" ... or "unknow, type id <code>".
std::string_view CallTypeLabel(int64_t type, std::string* unknown) {
  if (type >= 1 && type <= kCallTypeCount) return kCallTypeLabels[type - 1];
  *unknown = kUnknownTypePrefix + std::to_string(type);
  return *unknown;
}

// Writes the current row as one call object.
class CallWriter {
 public:
  CallWriter(const SQLite3Wrapper& db, const SqliteStatement& query, bool has_deleted)
      : query_(query), has_deleted_(has_deleted), dates_(db), layout_(MemberLayout(query)) {}

  void Write(JsonBufferWriter* writer) {
    sqlite3_stmt* row = query_.handle();
    // Storage classes first: reading a value in another form may convert it.
    int storage_class[kReadColumnCount];
    for (int column = 0; column < kReadColumnCount; ++column) {
      storage_class[column] = sqlite3_column_type(row, column);
    }
    // SQLite's own conversion: NULL and non-numeric text read 0.
    const int64_t type = sqlite3_column_int64(row, kTypeColumn);
    const bool deleted = has_deleted_ && sqlite3_column_int64(row, kDeletedColumnIndex) != 0;
    writer->BeginObject();
    for (const MemberSlot& slot : layout_) {
      switch (slot.source) {
        case MemberSource::kColumn:
          WriteColumnMember(ReadColumnValue(row, slot.column, storage_class[slot.column]),
                            slot.name, writer);
          break;
        case MemberSource::kDate: {
          std::string_view date;
          if (dates_.Format(row, kDateColumn, kSqlDateColumn, &date) && !date.empty()) {
            writer->Name(slot.name);
            writer->String(date);
          }
          break;
        }
        case MemberSource::kTypeLabel:
          writer->Name(slot.name);
          writer->String(CallTypeLabel(type, &unknown_label_));
          break;
        case MemberSource::kTag:
          if (deleted) {
            writer->Name(slot.name);
            writer->String(kDeletedTag);
          }
          break;
      }
    }
    writer->EndObject();
  }

 private:
  const SqliteStatement& query_;
  const bool has_deleted_;
  LocalDateFormatter dates_;
  const std::vector<MemberSlot> layout_;
  std::string unknown_label_;
};

// Writes one object per row of calls, in the order SQLite returns them, as
// the elements of the open array. A table or database that cannot be read
// adds nothing. False on a stop.
bool WriteCalls(const SQLite3Wrapper& db, const PackageContext& context, JsonBufferWriter* writer) {
  bool has_deleted = false;
  SqliteStatement query = PrepareStatement(db, CallQuery(db, context.stem, &has_deleted));
  if (!query.prepared()) return true;
  CallWriter call(db, query, has_deleted);
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    call.Write(writer);
  }
  return true;
}

}  // namespace

int AndroidCallhistoryDataFilter(DataTypeRecord* record, SqliteConfig* config,
                                 const PackageContext& context) {
  static const MergeRule kMergeRule = {kPrimaryFileKey,
                                       kSecondFilesKey,
                                       "No primary file.",
                                       "No second file.",
                                       true,
                                       kSystemAndroid,
                                       kConfigCallHistory,
                                       false};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int AndroidCallhistoryDataPackage(DataTypeRecord* record, const PackageContext& context) {
  PackageSource db(*record, context, kPrimaryFileKey);
  if (db.status() != kStatusOk) return db.status();
  StreamedDocument document;
  JsonBufferWriter& writer = document.writer();
  writer.Name(kCallListMember);
  writer.BeginArray();
  if (!WriteCalls(db, context, &writer)) return PackageStopped(context);
  writer.EndArray();
  return document.Finish(db, context);
}

}  // namespace kx
