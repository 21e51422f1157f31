#include "common/field_config.h"

#include <algorithm>
#include <utility>

#include "common/log.h"
#include "common/platform.h"

namespace kx {

namespace {

// The configuration's data-type texts, indexed by the configuration's own
// data-type numbers.
constexpr const char* kConfigDataTypeNames[] = {
    "contact", "sms",       "callhistory", "note",     "whatsapp",
    "safari",  "safariHis", "calendar",    "reminder",
};

constexpr const char kScanTableSql[] =
    "select table_name, is_small_table, is_virtual_table, scan_type, flexible_cnt "
    "from scan_table_info where system_type = ? and data_type = ?";
constexpr const char kResultFieldSql[] =
    "select table_name, field_name, field_type_text, field_type, is_unique_field, "
    "is_row_id_field from result_field_info where system_type = ? and data_type = ?";
constexpr const char kIndexFieldSql[] =
    "select table_name, field_name from index_field_info where data_type = ?";

// Prepares one configuration query after installing the busy handler, so a
// configuration that another process holds locked is waited for, not failed.
SqliteStatement PrepareConfigQuery(SqliteConfig& config, const char* sql) {
  sqlite3_busy_handler(config.db().handle(), SqliteBusyWait, nullptr);
  return PrepareStatement(config.db(), sql);
}

bool TableHasColumn(const SchemaMap& schemas, const std::string& table, const std::string& column) {
  const auto found = schemas.find(table);
  if (found == schemas.end()) return false;
  return std::any_of(found->second.begin(), found->second.end(),
                     [&column](const ColumnDef& def) { return def.name == column; });
}

bool ListHasField(const FieldList& fields, const std::string& name) {
  return std::any_of(fields.begin(), fields.end(),
                     [&name](const TableFieldInfo& field) { return field.field_name == name; });
}

// Binds the row's value of `name` by its kind; false when the row lacks it.
bool BindValue(const ResultRow& row, const std::string& name, int index,
               SqliteStatement* statement) {
  switch (row.GetValueKind(name)) {
    case kValueText:
      statement->BindText(index, row.texts.at(name));
      return true;
    case kValueInteger:
      statement->BindInt64(index, row.integers.at(name));
      return true;
    case kValueReal:
      statement->BindDouble(index, row.reals.at(name));
      return true;
    case kValueBlob: {
      // A null pointer would bind NULL; an empty blob must stay a blob.
      static const uint8_t kNoBytes = 0;
      const std::vector<uint8_t>& bytes = row.blobs.at(name);
      statement->BindBlob(index, bytes.empty() ? &kNoBytes : bytes.data(),
                          static_cast<int>(bytes.size()));
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

std::string SystemTypeName(int system_type) {
  if (system_type == kSystemAndroid) return "android";
  if (system_type == kSystemIos) return "ios";
  return "";
}

std::string ConfigDataTypeName(int config_type) {
  constexpr int kCount =
      static_cast<int>(sizeof(kConfigDataTypeNames) / sizeof(kConfigDataTypeNames[0]));
  if (config_type < 0 || config_type >= kCount) return "";
  return kConfigDataTypeNames[config_type];
}

std::string GetConfigDbPath(const std::string& config_folder) {
  return JoinPath(config_folder, kConfigDbName);
}

SqliteConfig::SqliteConfig(std::unique_ptr<SQLite3Wrapper> db) : db_(std::move(db)) {}

SqliteConfig::~SqliteConfig() = default;

std::unique_ptr<SqliteConfig> OpenSqliteConfig(const std::string& path) {
  auto db = std::make_unique<SQLite3Wrapper>(path);
  if (db->Open(OpenMode::kReadOnly) != SQLITE_OK) {
    KX_LOG(kLogError, "Fail to open config db %s", path.c_str());
    return nullptr;
  }
  return std::make_unique<SqliteConfig>(std::move(db));
}

bool AllFields(const TableFieldInfo&) { return true; }
bool UniqueFields(const TableFieldInfo& field) { return field.unique != 0; }
bool RowIdFields(const TableFieldInfo& field) { return field.row_id != 0; }

int LoadScanTableInfo(SqliteConfig& config, int system_type, int config_type,
                      std::vector<ScanTableInfo>* tables) {
  tables->clear();
  SqliteStatement query = PrepareConfigQuery(config, kScanTableSql);
  if (!query.prepared()) return 0;
  query.BindText(1, SystemTypeName(system_type));
  query.BindText(2, ConfigDataTypeName(config_type));
  while (query.Step() == SQLITE_ROW) {
    ScanTableInfo table;
    table.table_name = query.ColumnText(0);
    table.is_small = query.ColumnInt(1) == 1;
    table.is_virtual = query.ColumnInt(2) == 1;
    table.scan_type = query.ColumnInt(3);
    table.flexible_count = query.ColumnInt(4);
    tables->push_back(std::move(table));
  }
  return 1;
}

int LoadResultFieldInfo(SqliteConfig& config, int system_type, int config_type,
                        const SchemaMap& schemas, FieldMap* fields, FieldTypeMap* field_types) {
  fields->clear();
  if (field_types != nullptr) field_types->clear();
  SqliteStatement query = PrepareConfigQuery(config, kResultFieldSql);
  if (!query.prepared()) return 0;
  query.BindText(1, SystemTypeName(system_type));
  query.BindText(2, ConfigDataTypeName(config_type));
  while (query.Step() == SQLITE_ROW) {
    const std::string table = query.ColumnText(0);
    TableFieldInfo field;
    field.field_name = query.ColumnText(1);
    // Only columns the primary table really has take part; a field named
    // twice would break the insert text, so the first mention wins.
    if (!TableHasColumn(schemas, table, field.field_name)) continue;
    FieldList& table_fields = (*fields)[table];
    if (ListHasField(table_fields, field.field_name)) continue;
    field.field_type_text = query.ColumnText(2);
    field.unique = query.ColumnInt(4);
    field.row_id = query.ColumnInt(5);
    if (field_types != nullptr) (*field_types)[table][field.field_name] = query.ColumnInt(3);
    table_fields.push_back(std::move(field));
  }
  return 1;
}

int LoadIndexFieldInfo(SqliteConfig& config, int config_type,
                       std::map<std::string, std::vector<std::string>>* index_fields) {
  index_fields->clear();
  SqliteStatement query = PrepareConfigQuery(config, kIndexFieldSql);
  if (!query.prepared()) return 0;
  query.BindText(1, ConfigDataTypeName(config_type));
  while (query.Step() == SQLITE_ROW) {
    (*index_fields)[query.ColumnText(0)].push_back(query.ColumnText(1));
  }
  return 1;
}

std::string JoinFieldNames(const FieldList& fields, const FieldPredicate& select) {
  std::string names;
  for (const TableFieldInfo& field : fields) {
    if (!select(field)) continue;
    names += field.field_name;
    names += ',';
  }
  if (!names.empty()) names.pop_back();
  return names;
}

std::string BuildPlaceholders(size_t count) {
  std::string placeholders;
  placeholders.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) placeholders += "?,";
  if (!placeholders.empty()) placeholders.pop_back();
  return placeholders;
}

std::string BuildWhereClause(const std::vector<std::string>& names) {
  std::string clause;
  for (const std::string& name : names) {
    if (!clause.empty()) clause += " AND ";
    clause += name + " = ?";
  }
  return clause;
}

std::string BuildInsertSql(const std::string& table, const FieldList& fields) {
  return "insert into " + table + "(" + JoinFieldNames(fields, AllFields) + ") values(" +
         BuildPlaceholders(fields.size()) + ")";
}

std::string BuildSelectSql(const std::string& table, const FieldList& fields) {
  return "select " + JoinFieldNames(fields, AllFields) + " from " + table;
}

int BindPresentFields(const FieldList& fields, const ResultRow& row, SqliteStatement* statement) {
  // Bindings survive a reset; clear them so a parameter that this row leaves
  // out never carries the previous row's value.
  if (statement->handle() != nullptr) sqlite3_clear_bindings(statement->handle());
  int bound = 0;
  for (const TableFieldInfo& field : fields) {
    if (BindValue(row, field.field_name, bound + 1, statement)) ++bound;
  }
  return bound;
}

bool BindRowAndStep(const FieldList& fields, const ResultRow& row, SqliteStatement* statement) {
  int index = 1;
  for (const TableFieldInfo& field : fields) {
    if (!BindValue(row, field.field_name, index, statement)) statement->BindNull(index);
    ++index;
  }
  const int step = statement->Step();
  statement->Reset();
  return step == SQLITE_DONE;
}

bool BindRowAndTest(const FieldList& fields, const ResultRow& row, SqliteStatement* statement) {
  BindPresentFields(fields, row, statement);
  const bool answer = statement->Step() == SQLITE_ROW && statement->ColumnInt(0) != 0;
  statement->Reset();
  return answer;
}

}  // namespace kx
