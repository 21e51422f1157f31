#include "ios/call_history.h"

#include <cmath>
#include <string>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/row_id_bits.h"
#include "common/select_list.h"
#include "common/sql_identifier.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "kit/address_book.h"
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
    {KX_LOCAL_DATE_OF_UNIX_SQL("date"), "datetime", "date"},
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

// The numbers of calls that are gone: each handle with each call the join
// table names for it, of which those whose call the call table does not
// hold (or that name none) are kept. That last test is made here, against
// the call table's ids read once; as a join it looked up every call of
// every handle, one sweep of the call table per number.
std::string HandleCallsQuery(const ParticipantJoin& join) {
  const std::string table = QuotedIdentifier(join.table);
  return "select cast( ZVALUE as text) as address, " + table + "." +
         QuotedIdentifier(join.call_column) + " from ZHANDLE left join " + table +
         " ON ZHANDLE.Z_PK=" + table + "." + QuotedIdentifier(join.handle_column);
}
constexpr char kCallExistsQuery[] = "select 1 from ZCALLRECORD where Z_PK = ?1";

// Whether the call table holds the call of the handle query's current row:
// by its ids where they are held and the value is an integer, else by the
// table itself, which compares as the join compared.
class CallIds {
 public:
  explicit CallIds(const SQLite3Wrapper& db) : exists_(PrepareStatement(db, kCallExistsQuery)) {
    int64_t first = 0;
    int64_t last = 0;
    if (ReadIdRange(db, kCallTable, "Z_PK", &first, &last)) {
      ids_.Load(db, kCallTable, "Z_PK", first, last);
    }
  }

  bool Holds(const SqliteStatement& row, int column) {
    const int kind = row.ColumnType(column);
    if (kind == SQLITE_NULL) return false;
    if (kind == SQLITE_INTEGER && ids_.loaded()) return ids_.Contains(row.ColumnInt64(column));
    if (!exists_.prepared()) return false;
    exists_.Reset();
    sqlite3_bind_value(exists_.handle(), 1, sqlite3_column_value(row.handle(), column));
    return exists_.Step() == SQLITE_ROW;
  }

 private:
  SqliteStatement exists_;
  RowIdBits ids_;
};

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

// The columns a call's derived members are computed from, by their index
// in the call query (-1: not selected).
struct CallColumns {
  explicit CallColumns(const SqliteStatement& query) {
    for (int column = 0; column < query.ColumnCount(); ++column) {
      const std::string name = query.ColumnName(column);
      if (name == "address") address = column;
      if (name == "flags") flags = column;
      if (name == "duration") duration = column;
      if (name == "is_deleted") is_deleted = column;
    }
  }
  int address = -1;
  int flags = -1;
  int duration = -1;
  int is_deleted = -1;
};

void AddContact(const ContactIndex& contacts, const std::string& address, JsonMembers* call) {
  if (contacts.empty()) return;
  for (auto& [name, value] : AddressBookMembers(contacts, address)) call->SetString(name, value);
}

// Whether the call was connected, from its direction and duration; -1 when
// neither tells.
int ConnectType(int64_t flags, double duration) {
  if ((flags == 0 || flags == 1) && std::fabs(duration) > kConnectedDuration) return kConnected;
  if (flags == 1) return kOutgoingNotConnected;
  if (flags == 0) return kMissed;
  return -1;
}

// Writes one object per call as an element of the open array of `writer`;
// `count` counts them. False on a stop.
bool WriteCalls(const SQLite3Wrapper& db, const std::string& query_text,
                const ContactIndex& contacts, const PackageContext& context,
                JsonBufferWriter* writer, uint64_t* count) {
  SqliteStatement query = PrepareStatement(db, query_text);
  const CallColumns columns(query);
  JsonMembers call;
  std::string address;
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    // The derived members' inputs first: reading a value in another form
    // may convert it.
    const int64_t deleted = IntegerOrZero(query, columns.is_deleted);
    const int64_t flags = IntegerOrZero(query, columns.flags);
    double duration = 0.0;
    if (columns.duration >= 0) {
      const int kind = query.ColumnType(columns.duration);
      if (kind == SQLITE_INTEGER) {
        duration = static_cast<double>(query.ColumnInt64(columns.duration));
      } else if (kind == SQLITE_FLOAT) {
        duration = query.ColumnDouble(columns.duration);
      }
    }
    address.clear();
    if (columns.address >= 0 && query.ColumnType(columns.address) == SQLITE_TEXT) {
      address.assign(query.ColumnTextView(columns.address));
    }
    call.Clear();
    ReadRowIntoMembers(query, &call);
    if (deleted != 0) call.SetString("tag", "deleted");
    AddContact(contacts, address, &call);
    const int connect_type = ConnectType(flags, duration);
    if (connect_type >= 0) call.SetInt("connect_type", connect_type);
    call.WriteObject(writer);
    ++*count;
  }
  return true;
}

void WriteDeletedNumbers(const SQLite3Wrapper& db, const ContactIndex& contacts, const char* stem,
                         JsonBufferWriter* writer, uint64_t* count) {
  SqliteStatement query = PrepareStatement(db, HandleCallsQuery(FindParticipantJoin(db)));
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(stem, db.handle());
    return;
  }
  CallIds calls(db);
  JsonMembers number;
  while (query.Step() == SQLITE_ROW) {
    if (calls.Holds(query, 1)) continue;
    const std::string address = query.ColumnText(0);
    number.Clear();
    number.SetString("address", address);
    number.SetString("tag", "deleted");
    AddContact(contacts, address, &number);
    number.SetInt("connect_type", kMissed);
    number.WriteObject(writer);
    ++*count;
  }
}

Json::Value EmptyDocument() {
  Json::Value document(Json::objectValue);
  document["size"] = 0;
  return document;
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
  PackageSource db(*primary_path, context);
  if (db.status() != kStatusOk) return db.status();

  bool old_store = false;
  const std::string query = CallQuery(db, context.stem, &old_store);
  if (query.empty()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kCallTable);
    return kStatusPrepareFailed;
  }
  StreamedDocument document;
  JsonBufferWriter& writer = document.writer();
  writer.Name("call_records");
  writer.BeginArray();
  uint64_t count = 0;
  {
    const ReadTransaction transaction(db);
    if (!WriteCalls(db, query, contacts, context, &writer, &count)) {
      return PackageStopped(context);
    }
    if (!old_store) WriteDeletedNumbers(db, contacts, context.stem, &writer, &count);
  }
  writer.EndArray();
  writer.Name("size");
  writer.UInt(count);
  if (!document.Close(context.stem)) return kStatusStepFailed;
  // Without calls the document holds the size alone.
  return FinishPackage(db, context, count == 0 ? WriteJson(EmptyDocument()) : document.text());
}

}  // namespace kx
