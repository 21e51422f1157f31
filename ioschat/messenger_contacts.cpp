#include "ioschat/messenger_contacts.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "ioschat/sql_identifier.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kStoreKey[] = "fbomnistore_file_path";
constexpr char kMissingInput[] = "No primary file.";
constexpr char kContactsTable[] = "contacts";

// Omnistore keeps one index table per collection and account; the
// account's id follows the collection name.
constexpr char kIndexTablesQuery[] =
    "select name from sqlite_master where type='table' and name like "
    "'%collection_index#messenger_contacts_ios%'";
constexpr char kKeyFields[] =
    " where (field_name ='phone_number_tokens' or field_name = "
    "'name_search_tokens' or field_name = 'username')";

// The lightspeed contacts table; older stores lack some of these columns.
const std::vector<SelectedColumn> kContactColumns = {
    {"name", "username"},
    {"profile_picture_url", nullptr},
    {"profile_picture_large_url", nullptr},
    {"phone_number", nullptr},
    {"email_address", nullptr},
};

std::vector<std::string> IndexTables(const SQLite3Wrapper& db) {
  std::vector<std::string> tables;
  SqliteStatement query = PrepareStatement(db, kIndexTablesQuery);
  while (query.Step() == SQLITE_ROW) tables.push_back(query.ColumnText(0));
  return tables;
}

// One field row of an index table (columns from `first`: field name and
// value) into its contact: "username" keeps the last value read, the token
// fields gather every value.
void ReadFieldRow(const SqliteStatement& row, int first, Json::Value* contact) {
  const std::string field = row.ColumnText(first);
  if (field == "username") {
    (*contact)["username"] = row.ColumnText(first + 1);
  } else {
    (*contact)[field].append(row.ColumnText(first + 1));
  }
}

// Reads the contacts of one index table into `contacts`, in the order their
// keys first appear. The field rows are read in one pass under the same
// condition a query per key would have, so each contact gets its rows in the
// same order. Returns 0 (also on a stop, which drops the contacts in hand),
// 1106 or 1107.
int ReadIndexTable(const SQLite3Wrapper& db, const std::string& table,
                   const PackageContext& context, Json::Value* contacts) {
  const std::string quoted = QuotedIdentifier(table);
  std::vector<Json::Value> found;
  std::unordered_map<std::string, size_t> by_key;
  {
    SqliteStatement query = PrepareStatement(db, "select distinct(primary_key) from " + quoted);
    if (!query.prepared()) {
      KX_LOG_SQLITE_ERROR(context.stem, db.handle());
      return kStatusPrepareFailed;
    }
    while (query.Step() == SQLITE_ROW) {
      std::string key = query.ColumnText(0);
      if (!by_key.emplace(key, found.size()).second) continue;
      Json::Value contact(Json::objectValue);
      contact["primary_key"] = std::move(key);
      found.push_back(std::move(contact));
    }
  }
  SqliteStatement fields = PrepareStatement(
      db, "select primary_key, field_name, field_value from " + quoted + kKeyFields);
  if (!fields.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return kStatusPrepareFailed;
  }
  while (true) {
    if (context.StopRequested()) return kStatusOk;
    if (fields.Step() != SQLITE_ROW) break;
    if (fields.ColumnType(0) == SQLITE_NULL) continue;
    const auto contact = by_key.find(fields.ColumnText(0));
    if (contact != by_key.end()) ReadFieldRow(fields, 1, &found[contact->second]);
  }
  for (Json::Value& contact : found) contacts->append(std::move(contact));
  return kStatusOk;
}

// The rows of the contacts table, over the columns this store has. False
// on a stop.
bool ReadContactsTable(const SQLite3Wrapper& db, const PackageContext& context,
                       Json::Value* contacts) {
  const TableColumns columns(db, kContactsTable);
  if (!columns.exists()) {
    KX_LOG_AT(kLogProblem, context.stem, "no table %s: only the collection indexes are read.",
              kContactsTable);
    return true;
  }
  std::string missing;
  const std::string list = columns.SelectList(kContactColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column %s: read as NULL.", kContactsTable,
              missing.c_str());
  }
  SqliteStatement query = PrepareStatement(db, "select " + list + " from contacts");
  if (!query.prepared()) KX_LOG_SQLITE_ERROR(context.stem, db.handle());
  while (true) {
    if (context.StopRequested()) return false;
    if (query.Step() != SQLITE_ROW) break;
    Json::Value contact(Json::objectValue);
    for (int column = 0; column < query.ColumnCount(); ++column) {
      ReadColumnIntoJson(query, column, &contact);
    }
    contacts->append(std::move(contact));
  }
  return true;
}

}  // namespace

int IosMessengerDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* store_path = BeginPackage(*record, context, kStoreKey, kMissingInput);
  if (store_path == nullptr) return kStatusMissingInput;
  SQLite3Wrapper db(*store_path);
  const SourceCheck opened = CheckSourceDatabase(&db);
  if (!opened.ok()) {
    // What cannot be read gives no contacts, and the list is still handed
    // over: the host shows an empty list rather than an error.
    KX_LOG_AT(kLogProblem, context.stem, "sqlite error message : %s.", opened.message.c_str());
  }
  int result = kStatusOk;
  Json::Value contacts(Json::arrayValue);
  {
    const ReadTransaction transaction(db);
    for (const std::string& table : IndexTables(db)) {
      result = ReadIndexTable(db, table, context, &contacts);
      if (result != kStatusOk) break;
    }
    if (context.StopRequested()) return PackageStopped(context);
    if (!ReadContactsTable(db, context, &contacts)) return PackageStopped(context);
  }
  Json::Value document(Json::objectValue);
  document["contacts"] = std::move(contacts);
  const int finished = FinishPackage(db, context, WriteJson(document));
  return result != kStatusOk ? result : finished;
}

}  // namespace kx
