#include "ios/call_history.h"

#include <cmath>
#include <string>
#include <vector>

#include "common/field_config.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "ios/address_book_names.h"
#include "kit/date_sql.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "call_file_path";
constexpr char kSecondFilesKey[] = "call_files_path";
constexpr char kMissingInput[] = "No primary file or second files.";

constexpr char kCallTable[] = "ZCALLRECORD";

// The call columns as the newest stores have them. Older stores lack
// ZLOCALPARTICIPANTUUID, then ZLOCATION and ZSERVICE_PROVIDER; a store that
// never went through the merge lacks is_deleted. What a store lacks reads
// as NULL and so adds no member, as the shorter queries of those stores
// would.
const std::vector<SelectedColumn> kCallColumns = {
    {"ZANSWERED", "answered"},
    {"ZCALLTYPE", "call_type"},
    {KX_APPLE_LOCAL_DATE_SQL("ZDATE"), "datetime", "ZDATE"},
    {"replace(replace(replace(replace(ZADDRESS,' ',''),'-',''),'(',''),')','')", "address",
     "ZADDRESS"},
    {"ZORIGINATED", "flags"},
    {"ZDURATION", "duration"},
    {"ZLOCATION", "location"},
    {"ZSERVICE_PROVIDER", "service_provider"},
    {"ZUNIQUE_ID", "uuid"},
    {"ZLOCALPARTICIPANTUUID", "belong"},
    {"is_deleted", nullptr},
};

// call_history.db of iOS 7 and earlier: the calls are the rows of `call`,
// dated in seconds since 1970, with the direction in bit 0 of flags (1
// outgoing) and FaceTime in bit 4. It keeps no answered column (a call that
// lasted was answered), no unique id and no handles. The members are those
// of the newer store's calls.
constexpr char kOldCallTable[] = "call";
const std::vector<SelectedColumn> kOldCallColumns = {
    {"CASE WHEN duration > 0 THEN 1 ELSE 0 END", "answered", "duration"},
    {"CASE WHEN flags & 16 THEN 8 ELSE 1 END", "call_type", "flags"},
    {"strftime(\"%m-%d-%Y %H:%M:%S\",date,'unixepoch','localtime')", "datetime", "date"},
    {"replace(replace(replace(replace(address,' ',''),'-',''),'(',''),')','')", "address",
     "address"},
    {"flags & 1", "flags", "flags"},
    {"CAST(duration AS REAL)", "duration", "duration"},
    {"is_deleted", nullptr},
};

constexpr double kConnectedDuration = 1e-14;
constexpr int kConnected = 0;
constexpr int kOutgoingNotConnected = 1;
constexpr int kMissed = 2;

// The join table of calls and their participants, and its two columns. The
// numbers in their names follow the entity order of the store: the names
// of the stores the packager was written for come first, then whatever the
// store spells with the same endings.
struct ParticipantJoin {
  std::string table = "Z_2REMOTEPARTICIPANTHANDLES";
  std::string handle_column = "Z_3REMOTEPARTICIPANTHANDLES";
  std::string call_column = "Z_2REMOTEPARTICIPANTCALLS";
};

std::string ColumnEndingWith(const SQLite3Wrapper& db, const std::string& table,
                             const std::string& preferred, const std::string& ending) {
  const TableColumns columns(db, table);
  if (columns.Has(preferred)) return preferred;
  SqliteStatement query =
      PrepareStatement(db, "select name from pragma_table_info(?1) where name like '%' || ?2");
  query.BindText(1, table);
  query.BindText(2, ending);
  return query.Step() == SQLITE_ROW ? query.ColumnText(0) : preferred;
}

ParticipantJoin FindParticipantJoin(const SQLite3Wrapper& db) {
  ParticipantJoin join;
  if (!TableColumns(db, join.table).exists()) {
    SqliteStatement query =
        PrepareStatement(db,
                         "select name from sqlite_master where type='table' and name like "
                         "'Z\\_%REMOTEPARTICIPANTHANDLES' escape '\\' order by name limit 1");
    if (query.Step() == SQLITE_ROW) join.table = query.ColumnText(0);
  }
  join.handle_column =
      ColumnEndingWith(db, join.table, join.handle_column, "REMOTEPARTICIPANTHANDLES");
  join.call_column = ColumnEndingWith(db, join.table, join.call_column, "REMOTEPARTICIPANTCALLS");
  return join;
}

std::string Quoted(const std::string& identifier) {
  std::string quoted = "\"";
  for (const char c : identifier) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::string DeletedNumberQuery(const ParticipantJoin& join) {
  const std::string table = Quoted(join.table);
  return "select cast( ZVALUE as text) as address from ZHANDLE left join " + table +
         " ON ZHANDLE.Z_PK=" + table + "." + Quoted(join.handle_column) +
         " left join ZCALLRECORD ON ZCALLRECORD.Z_PK=" + table + "." + Quoted(join.call_column) +
         " WHERE ZCALLRECORD.Z_PK is null";
}

// The call query over what this store's call table has (ZCALLRECORD, or
// call in the older store); "" when it has neither. `old_store` tells which.
std::string CallQuery(const SQLite3Wrapper& db, const char* stem, bool* old_store) {
  const TableColumns newer(db, kCallTable);
  *old_store = !newer.exists();
  const char* table = *old_store ? kOldCallTable : kCallTable;
  const TableColumns columns = *old_store ? TableColumns(db, kOldCallTable) : newer;
  if (!columns.exists()) return std::string();
  std::string missing;
  const std::string list =
      columns.SelectList(*old_store ? kOldCallColumns : kCallColumns, &missing);
  missing = WithoutMergeColumn(missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", table, missing.c_str());
  }
  return "SELECT " + list + " FROM \"" + table + "\"";
}

void AddContact(const ContactIndex& contacts, ResultRow* row) {
  for (auto& [name, value] : AddressBookMembers(contacts, row->GetText("address"))) {
    row->texts[name] = std::move(value);
  }
}

// Whether the call was connected, from its direction and duration.
void AddConnectType(ResultRow* row) {
  const int64_t flags = row->GetInteger("flags");
  const double duration = std::fabs(row->GetValueKind("duration") == kValueInteger
                                        ? static_cast<double>(row->GetInteger("duration"))
                                        : row->GetReal("duration"));
  if ((flags == 0 || flags == 1) && duration > kConnectedDuration) {
    row->integers["connect_type"] = kConnected;
  } else if (flags == 1) {
    row->integers["connect_type"] = kOutgoingNotConnected;
  } else if (flags == 0) {
    row->integers["connect_type"] = kMissed;
  }
}

// Appends one JSON object per call. False on a stop.
bool ReadCalls(const SQLite3Wrapper& db, const std::string& query_text,
               const ContactIndex& contacts, const PackageContext& context, Json::Value* records) {
  SqliteStatement query = PrepareStatement(db, query_text);
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    ResultRow row;
    for (int column = 0; column < query.ColumnCount(); ++column) {
      ReadColumnIntoRow(query, column, &row);
    }
    if (row.GetInteger("is_deleted") != 0) row.texts["tag"] = "deleted";
    AddContact(contacts, &row);
    AddConnectType(&row);
    Json::Value call(Json::objectValue);
    RowToJson(row, &call);
    records->append(std::move(call));
  }
  return true;
}

void ReadDeletedNumbers(const SQLite3Wrapper& db, const ContactIndex& contacts, const char* stem,
                        Json::Value* records) {
  SqliteStatement query = PrepareStatement(db, DeletedNumberQuery(FindParticipantJoin(db)));
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(stem, db.handle());
    return;
  }
  while (query.Step() == SQLITE_ROW) {
    ResultRow row;
    row.texts["address"] = query.ColumnText(0);
    row.texts["tag"] = "deleted";
    AddContact(contacts, &row);
    row.integers["connect_type"] = kMissed;
    Json::Value number(Json::objectValue);
    RowToJson(row, &number);
    records->append(std::move(number));
  }
}

}  // namespace

int IosCallhistoryDataFilter(DataTypeRecord* record, SqliteConfig* config,
                             const PackageContext& context) {
  static const MergeRule kMergeRule = {
      kPrimaryFileKey, kSecondFilesKey, kMissingInput,      kMissingInput,
      false,           kSystemIos,      kConfigCallHistory, false};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosCallhistoryDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* primary_path =
      BeginPackage(*record, context, kPrimaryFileKey, "No primary file");
  if (primary_path == nullptr) return kStatusMissingInput;
  const ContactIndex contacts = LoadAddressBookNames(*record);
  SQLite3Wrapper db(*primary_path);
  const int opened = OpenSourceDatabase(&db, context.stem, __LINE__);
  if (opened != kStatusOk) return opened;

  bool old_store = false;
  const std::string query = CallQuery(db, context.stem, &old_store);
  if (query.empty()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kCallTable);
    return kStatusPrepareFailed;
  }
  Json::Value records(Json::arrayValue);
  {
    const ReadTransaction transaction(db);
    if (!ReadCalls(db, query, contacts, context, &records)) return PackageStopped(context);
    if (!old_store) ReadDeletedNumbers(db, contacts, context.stem, &records);
  }
  Json::Value document(Json::objectValue);
  document["size"] = records.size();
  if (!records.empty()) document["call_records"] = std::move(records);
  return FinishPackage(db, context, WriteJson(document));
}

}  // namespace kx
