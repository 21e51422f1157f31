#include "common/merge.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/status.h"

namespace kx {

namespace {

constexpr const char kIsDeletedColumn[] = "is_deleted";

// BEGIN on construction and COMMIT on every way out, so the rows inserted
// before a stop or an early return are kept.
class Transaction {
 public:
  explicit Transaction(SQLite3Wrapper& db) : db_(db) { db_.Begin(); }
  ~Transaction() { db_.Commit(); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

 private:
  SQLite3Wrapper& db_;
};

FieldList SelectFields(const FieldList& fields, const FieldPredicate& select) {
  FieldList selected;
  for (const TableFieldInfo& field : fields) {
    if (select(field)) selected.push_back(field);
  }
  return selected;
}

std::vector<std::string> FieldNames(const FieldList& fields) {
  std::vector<std::string> names;
  names.reserve(fields.size());
  for (const TableFieldInfo& field : fields) names.push_back(field.field_name);
  return names;
}

// False when a stop request cut the row short.
bool ReadRow(const SqliteStatement& statement, ResultRow* row,
             const std::atomic<int>* stop = nullptr) {
  row->Clear();
  const int count = statement.ColumnCount();
  for (int i = 0; i < count; ++i) {
    if (StopRequested(stop)) return false;
    ReadColumnIntoRow(statement, i, row);
  }
  return true;
}

// Prepares and steps one schema change. 1106 when it cannot be prepared; a
// failing step is logged and not reported.
int RunSchemaChange(SQLite3Wrapper& db, const std::string& sql) {
  SqliteStatement change = PrepareStatement(db, sql);
  if (!change.prepared()) {
    KX_LOG_SQLITE_ERROR(kDataPackageCommonStem, db.handle());
    return kStatusPrepareFailed;
  }
  const int step = change.Step();
  if (step != SQLITE_OK && step != SQLITE_DONE) db.SQLiteErrorLog(__LINE__);
  return kStatusOk;
}

std::string AddIsDeletedSql(const std::string& table, int default_value) {
  return "alter table " + table + " add column is_deleted INTEGER DEFAULT " +
         std::to_string(default_value);
}

// The largest value of one row-id field on the target and on the source.
// Prepared once per table and reset after each use.
struct RowIdMaximum {
  std::string field_name;
  SqliteStatement on_target;
  SqliteStatement on_source;
};

int64_t ReadMaximum(SqliteStatement& statement) {
  const int64_t value = statement.Step() == SQLITE_ROW ? statement.ColumnInt64(0) : 0;
  statement.Reset();
  return value;
}

std::vector<RowIdMaximum> PrepareRowIdMaximums(SQLite3Wrapper& target, SQLite3Wrapper& source_db,
                                               const std::string& table, const FieldList& row_ids) {
  std::vector<RowIdMaximum> maximums;
  for (const TableFieldInfo& field : row_ids) {
    const std::string sql = "SELECT MAX(" + field.field_name + ") FROM " + table;
    maximums.push_back(
        {field.field_name, PrepareStatement(target, sql), PrepareStatement(source_db, sql)});
  }
  return maximums;
}

// When a target row holds the row's row numbers already, moves the row
// above the largest number of both databases. False when no number is left
// above them (the row is then not inserted).
bool RenumberTakenRowIds(const FieldList& row_ids, SqliteStatement& row_id_test,
                         std::vector<RowIdMaximum>& maximums, ResultRow* row) {
  ResultRow ids;
  for (const TableFieldInfo& field : row_ids) {
    const auto found = row->integers.find(field.field_name);
    if (found != row->integers.end()) ids.integers.insert(*found);
  }
  if (!BindRowAndTest(row_ids, ids, &row_id_test)) return true;
  for (RowIdMaximum& maximum : maximums) {
    const int64_t highest =
        std::max(ReadMaximum(maximum.on_target), ReadMaximum(maximum.on_source));
    if (highest == std::numeric_limits<int64_t>::max()) return false;
    row->texts.erase(maximum.field_name);
    row->reals.erase(maximum.field_name);
    row->blobs.erase(maximum.field_name);
    row->integers[maximum.field_name] = highest + 1;
  }
  return true;
}

// Reads the copy's first row with the same key as `row`; a key holding NULL
// matches nothing by "=", and then the row itself is the one to insert.
void ReadRowToInsert(const FieldList& unique, const ResultRow& row, SqliteStatement& reread,
                     ResultRow* row_to_insert) {
  if (!reread.prepared()) {
    *row_to_insert = row;
    return;
  }
  BindPresentFields(unique, row, &reread);
  if (reread.Step() == SQLITE_ROW) {
    ReadRow(reread, row_to_insert);
  } else {
    *row_to_insert = row;
  }
  reread.Reset();
}

enum class MergeMode { kCopyRows, kByUniqueKey };

// What the primary database offers the merge: the configured fields of its
// tables, and the columns of those tables.
struct PrimaryLayout {
  SchemaMap schemas;
  FieldMap fields;
};

SchemaMap LoadSchemas(const SQLite3Wrapper& db, const std::vector<ScanTableInfo>& tables,
                      const std::atomic<int>* stop) {
  SchemaMap schemas;
  for (const ScanTableInfo& table : tables) {
    TableSchema schema;
    if (LoadTableSchema(db, table.table_name, &schema, stop) == 1 && !schema.variants.empty()) {
      schemas[table.table_name] = schema.variants.front().second;
    }
  }
  return schemas;
}

// The staged copies the merge writes are scratch files in the temp folder:
// waiting for the disk after every schema change and insert transaction
// buys nothing there, and on a busy disk each wait took seconds.
void SkipDiskSync(SQLite3Wrapper& db) { db.Exec("PRAGMA synchronous=OFF"); }

// Gives the primary database its is_deleted column and unique indexes and
// loads the field configuration against its tables. The primary is closed
// again before returning. A stop request cuts short what grows with the data
// (a long table definition, the unique indexes); is_deleted is still added,
// so the package step reads the primary as it would after a merge.
int PreparePrimary(SqliteConfig& config, const std::string& primary_path,
                   const std::vector<ScanTableInfo>& tables, int system_type, int config_type,
                   const std::atomic<int>* stop, PrimaryLayout* layout) {
  SQLite3Wrapper primary(primary_path);
  if (primary.Open(OpenMode::kReadWrite) != SQLITE_OK) {
    KX_LOG_AT(kLogError, kDataPackageCommonStem, "Fail to open db.");
    return kStatusOpenFailed;
  }
  SkipDiskSync(primary);
  layout->schemas = LoadSchemas(primary, tables, stop);
  AddIsDeletedColumn(primary, layout->schemas, 0);
  FieldTypeMap field_types;
  if (!LoadResultFieldInfo(config, system_type, config_type, layout->schemas, &layout->fields,
                           &field_types)) {
    KX_LOG_AT(kLogError, kDataPackageCommonStem, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  CreateUniqueIndexes(primary, layout->fields, stop);
  primary.Close();
  return kStatusOk;
}

// Every merged row carries is_deleted: 0 from the primary, 1 from a copy.
void AppendIsDeletedField(FieldMap* fields) {
  for (auto& entry : *fields) {
    FieldList& table_fields = entry.second;
    bool configured = false;
    for (const TableFieldInfo& field : table_fields) {
      configured = configured || field.field_name == kIsDeletedColumn;
    }
    if (!configured) table_fields.push_back({0, 0, kIsDeletedColumn, "INTEGER"});
  }
}

// How many rows `table` of `db` holds; -1 (no limit) when it cannot be
// counted.
int64_t RowsHeld(const SQLite3Wrapper& db, const std::string& table) {
  SqliteStatement count = PrepareStatement(db, "SELECT COUNT(*) FROM " + table);
  if (!count.prepared() || count.Step() != SQLITE_ROW) return -1;
  return count.ColumnInt64(0);
}

void MergeOneCopy(SQLite3Wrapper& primary, SQLite3Wrapper& copy, const PrimaryLayout& layout,
                  MergeMode mode, const std::atomic<int>* stop) {
  AddIsDeletedColumn(copy, layout.schemas, 1);
  for (const auto& entry : layout.fields) {
    if (StopRequested(stop)) return;
    const std::string& table = entry.first;
    // A copy without the table (or one of its fields) contributes nothing to it.
    SqliteStatement select =
        PrepareStatement(copy, BuildSelectSql(table, entry.second) + " LIMIT ?");
    if (!select.prepared()) continue;
    // A damaged copy can hand the same rows over again and again while the
    // merge reads it: no table is read past the rows it holds.
    select.BindInt64(1, RowsHeld(copy, table));
    if (mode == MergeMode::kByUniqueKey && !JoinFieldNames(entry.second, UniqueFields).empty()) {
      MergeTableRows(primary, copy, select, table, layout.fields, stop);
    } else {
      CopyQueryToTable(primary, select, table, layout.fields, stop);
    }
  }
}

int MergeCopies(SqliteConfig& config, const std::string& primary_path, FileQueue& copies,
                int system_type, int config_type, const std::atomic<int>* stop, MergeMode mode) {
  std::vector<ScanTableInfo> tables;
  if (!LoadScanTableInfo(config, system_type, config_type, &tables)) {
    KX_LOG_AT(kLogError, kDataPackageCommonStem, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  PrimaryLayout layout;
  const int prepared =
      PreparePrimary(config, primary_path, tables, system_type, config_type, stop, &layout);
  if (prepared != kStatusOk || StopRequested(stop)) return prepared;
  AppendIsDeletedField(&layout.fields);

  std::unique_ptr<SQLite3Wrapper> primary = OpenDatabase(primary_path, OpenMode::kReadWrite);
  if (!primary) {
    KX_LOG_AT(kLogError, kDataPackageCommonStem, "Fail to open db.");
    return kStatusOpenFailed;
  }
  SkipDiskSync(*primary);
  while (!StopRequested(stop)) {
    std::string copy_path;
    if (!copies.Pop(&copy_path) || copy_path.empty()) break;
    SQLite3Wrapper copy(copy_path);
    if (copy.Open(OpenMode::kReadWrite) != SQLITE_OK) {
      copies.PushFront(copy_path);
      KX_LOG_AT(kLogError, kDataPackageCommonStem, "Fail to open db.");
      return kStatusOpenFailed;
    }
    SkipDiskSync(copy);
    MergeOneCopy(*primary, copy, layout, mode, stop);
  }
  return kStatusOk;
}

}  // namespace

int AddIsDeletedColumn(SQLite3Wrapper& db, const SchemaMap& schemas, int default_value) {
  int status = kStatusOk;
  for (const auto& entry : schemas) {
    const std::string& table = entry.first;
    if (!CheckIsTableExist(db, table) || ColumnExists(db, table, kIsDeletedColumn)) continue;
    const int changed = RunSchemaChange(db, AddIsDeletedSql(table, default_value));
    if (changed != kStatusOk) status = changed;
  }
  return status;
}

int AddIsDeletedColumn(SQLite3Wrapper& db, const std::string& table) {
  return RunSchemaChange(db, AddIsDeletedSql(table, 0));
}

void CreateUniqueIndexes(SQLite3Wrapper& db, const FieldMap& fields, const std::atomic<int>* stop) {
  for (const auto& entry : fields) {
    if (StopRequested(stop)) return;
    const std::string unique_names = JoinFieldNames(entry.second, UniqueFields);
    if (unique_names.empty()) continue;
    const std::string& table = entry.first;
    db.Exec("PRAGMA journal_mode=WAL;");
    db.Exec("CREATE UNIQUE INDEX " + table + "_unique_key_index on " + table + "(" + unique_names +
            ")");
  }
}

int CreateFieldIndexes(SqliteConfig& config, const std::string& db_path) {
  std::map<std::string, std::vector<std::string>> index_fields;
  if (!LoadIndexFieldInfo(config, kConfigContact, &index_fields)) {
    KX_LOG_AT(kLogProblem, kDataPackageCommonStem, "Fail to load config.");
    return kStatusOk;
  }
  SQLite3Wrapper db(db_path);
  if (db.Open(OpenMode::kReadWrite) != SQLITE_OK) {
    KX_LOG_AT(kLogError, kDataPackageCommonStem, "Fail to open db.");
    return kStatusOpenFailed;
  }
  for (const auto& entry : index_fields) {
    const std::string& table = entry.first;
    std::string glued_names;
    std::string listed_names;
    for (const std::string& name : entry.second) {
      glued_names += name;
      listed_names += listed_names.empty() ? name : "," + name;
    }
    SqliteStatement create =
        PrepareStatement(db, "create index " + table + glued_names + "_index on " + table + "(" +
                                 listed_names + ");");
    if (!create.prepared()) {
      KX_LOG_SQLITE_ERROR(kDataPackageCommonStem, db.handle());
      break;
    }
    const int step = create.Step();
    if (step != SQLITE_OK && step != SQLITE_DONE) db.SQLiteErrorLog(__LINE__);
  }
  return kStatusOk;
}

int CopyQueryToTable(SQLite3Wrapper& target, SqliteStatement& source, const std::string& table,
                     const FieldMap& fields, const std::atomic<int>* stop) {
  const auto found = fields.find(table);
  if (found == fields.end()) return kStatusOk;
  const FieldList& table_fields = found->second;
  SqliteStatement insert = PrepareStatement(target, BuildInsertSql(table, table_fields));
  if (!insert.prepared()) {
    KX_LOG_SQLITE_ERROR(kDataPackageCommonStem, target.handle());
    return kStatusOk;
  }
  Transaction transaction(target);
  ResultRow row;
  for (int step = source.Step(); step == SQLITE_ROW && !StopRequested(stop); step = source.Step()) {
    if (!ReadRow(source, &row, stop)) break;
    // A refused insert (mostly a key the unique index holds already) skips
    // the row.
    BindRowAndStep(table_fields, row, &insert);
  }
  return kStatusOk;
}

int MergeTableRows(SQLite3Wrapper& target, SQLite3Wrapper& source_db, SqliteStatement& source,
                   const std::string& table, const FieldMap& fields, const std::atomic<int>* stop) {
  const auto found = fields.find(table);
  if (found == fields.end()) return kStatusOk;
  const FieldList& table_fields = found->second;
  const FieldList unique = SelectFields(table_fields, UniqueFields);
  const FieldList row_ids = SelectFields(table_fields, RowIdFields);
  // Without a key nothing tells two rows apart: every row is copied.
  if (unique.empty()) return CopyQueryToTable(target, source, table, fields, stop);

  const std::string key_clause = " WHERE " + BuildWhereClause(FieldNames(unique));
  SqliteStatement key_test = PrepareStatement(target, "SELECT 1 FROM " + table + key_clause);
  SqliteStatement reread =
      PrepareStatement(source_db, BuildSelectSql(table, table_fields) + key_clause);
  SqliteStatement insert = PrepareStatement(target, BuildInsertSql(table, table_fields));
  if (!key_test.prepared() || !insert.prepared()) {
    KX_LOG_SQLITE_ERROR(kDataPackageCommonStem, target.handle());
    return kStatusOk;
  }
  SqliteStatement row_id_test;
  std::vector<RowIdMaximum> maximums;
  if (!row_ids.empty()) {
    row_id_test = PrepareStatement(
        target, "SELECT 1 FROM " + table + " WHERE " + BuildWhereClause(FieldNames(row_ids)));
    maximums = PrepareRowIdMaximums(target, source_db, table, row_ids);
  }

  Transaction transaction(target);
  ResultRow row;
  ResultRow row_to_insert;
  for (int step = source.Step(); step == SQLITE_ROW && !StopRequested(stop); step = source.Step()) {
    if (!ReadRow(source, &row, stop)) break;
    if (BindRowAndTest(unique, row, &key_test)) continue;
    ReadRowToInsert(unique, row, reread, &row_to_insert);
    if (!row_ids.empty() && !RenumberTakenRowIds(row_ids, row_id_test, maximums, &row_to_insert)) {
      continue;
    }
    BindRowAndStep(table_fields, row_to_insert, &insert);
  }
  return kStatusOk;
}

int MergeDatabaseCopies(SqliteConfig& config, const std::string& primary_path, FileQueue& copies,
                        int system_type, int config_type, const std::atomic<int>* stop) {
  return MergeCopies(config, primary_path, copies, system_type, config_type, stop,
                     MergeMode::kCopyRows);
}

int MergeDatabaseCopiesByKey(SqliteConfig& config, const std::string& primary_path,
                             FileQueue& copies, int system_type, int config_type,
                             const std::atomic<int>* stop) {
  return MergeCopies(config, primary_path, copies, system_type, config_type, stop,
                     MergeMode::kByUniqueKey);
}

}  // namespace kx
