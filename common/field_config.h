// The field configuration ("KxDataConfiger.db"): which tables and fields of
// a data type take part in the merge of database copies.
#ifndef KX_COMMON_FIELD_CONFIG_H_
#define KX_COMMON_FIELD_CONFIG_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/result_row.h"
#include "common/sqlite_wrapper.h"
#include "common/table_schema.h"

namespace kx {

constexpr const char kConfigDbName[] = "KxDataConfiger.db";
constexpr const char kDataPackageCommonStem[] = "datapackagecommon";

// System types of the configuration.
constexpr int kSystemAndroid = 0;
constexpr int kSystemIos = 1;

// The configuration's own data-type numbers (not the library's data types).
constexpr int kConfigContact = 0;
constexpr int kConfigSms = 1;
constexpr int kConfigCallHistory = 2;
constexpr int kConfigNote = 3;
constexpr int kConfigWhatsApp = 4;
constexpr int kConfigSafari = 5;
constexpr int kConfigSafariHis = 6;
constexpr int kConfigCalendar = 7;
constexpr int kConfigReminder = 8;

std::string SystemTypeName(int system_type);        // "android", "ios", ""
std::string ConfigDataTypeName(int config_type);    // "contact", ... or ""
std::string GetConfigDbPath(const std::string& config_folder);

// The open configuration database. Opened read-only: the library never
// writes it.
class SqliteConfig {
 public:
  explicit SqliteConfig(std::unique_ptr<SQLite3Wrapper> db);
  virtual ~SqliteConfig();
  SQLite3Wrapper& db() { return *db_; }

 private:
  std::unique_ptr<SQLite3Wrapper> db_;
};

// Null (and "Fail to open config db %s" logged) when the file cannot be
// opened; a missing file is not created.
std::unique_ptr<SqliteConfig> OpenSqliteConfig(const std::string& path);

struct ScanTableInfo {
  int scan_type = 0;
  int flexible_count = 0;
  bool is_virtual = false;
  bool is_small = false;
  std::string table_name;
};

struct TableFieldInfo {
  int unique = 0;  // non-zero: part of the row's identity
  int row_id = 0;  // non-zero: a row number that may be renumbered
  std::string field_name;
  std::string field_type_text;
};

using FieldList = std::vector<TableFieldInfo>;
using FieldPredicate = std::function<bool(const TableFieldInfo&)>;
// Table name -> configured fields, in the order the configuration gives them.
using FieldMap = std::map<std::string, FieldList>;
// Table name -> field name -> integer field_type (kept, not used by merging).
using FieldTypeMap = std::map<std::string, std::map<std::string, int>>;
// Table name -> its columns in the primary database.
using SchemaMap = std::map<std::string, std::vector<ColumnDef>>;

bool AllFields(const TableFieldInfo& field);
bool UniqueFields(const TableFieldInfo& field);
bool RowIdFields(const TableFieldInfo& field);

// Loaders: 1 on success, 0 when the query cannot be prepared. The selecting
// values are bound as parameters.
int LoadScanTableInfo(SqliteConfig& config, int system_type, int config_type,
                      std::vector<ScanTableInfo>* tables);
int LoadResultFieldInfo(SqliteConfig& config, int system_type, int config_type,
                        const SchemaMap& schemas, FieldMap* fields, FieldTypeMap* field_types);
int LoadIndexFieldInfo(SqliteConfig& config, int config_type,
                       std::map<std::string, std::vector<std::string>>* index_fields);

// SQL builders.
std::string JoinFieldNames(const FieldList& fields, const FieldPredicate& select);
std::string BuildPlaceholders(size_t count);
std::string BuildWhereClause(const std::vector<std::string>& names);
std::string BuildInsertSql(const std::string& table, const FieldList& fields);
std::string BuildSelectSql(const std::string& table, const FieldList& fields);

// Binds only the fields present in the row, to consecutive parameters from
// 1 in list order; parameters left over read NULL. Returns how many were
// bound. Does not step.
int BindPresentFields(const FieldList& fields, const ResultRow& row, SqliteStatement* statement);

// Binds the row's values by field order (absent -> NULL), steps once and
// resets. True when the step answered SQLITE_DONE.
bool BindRowAndStep(const FieldList& fields, const ResultRow& row, SqliteStatement* statement);
// Binds only the fields present in the row to consecutive parameters, steps
// once, resets. True when column 0 of the answer is non-zero.
bool BindRowAndTest(const FieldList& fields, const ResultRow& row, SqliteStatement* statement);

}  // namespace kx

#endif  // KX_COMMON_FIELD_CONFIG_H_
