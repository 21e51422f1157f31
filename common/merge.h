// The merge of further copies of a source database into the staged primary
// copy. Rows of the primary read is_deleted = 0; rows that only a further
// copy holds arrive with is_deleted = 1.
#ifndef KX_COMMON_MERGE_H_
#define KX_COMMON_MERGE_H_

#include <atomic>
#include <string>

#include "common/field_config.h"
#include "common/file_queue.h"

namespace kx {

// Adds "is_deleted INTEGER DEFAULT <default_value>" to each existing table of
// `schemas` that lacks it. Returns 0 or the last failure status (1106).
int AddIsDeletedColumn(SQLite3Wrapper& db, const SchemaMap& schemas, int default_value);
// Adds "is_deleted INTEGER DEFAULT 0" to one table, unconditionally.
int AddIsDeletedColumn(SQLite3Wrapper& db, const std::string& table);

// "<table>_unique_key_index" over the unique fields of every table that has
// some; failures (existing index, duplicate rows) are ignored. A stop request
// leaves the remaining tables without one.
void CreateUniqueIndexes(SQLite3Wrapper& db, const FieldMap& fields,
                         const std::atomic<int>* stop = nullptr);

// Builds the index_field_info indexes of the "contact" configuration on the
// database at `db_path`. Returns 0 or 1105.
int CreateFieldIndexes(SqliteConfig& config, const std::string& db_path);

// Inserts every row of `source` into `table` of `target` (one transaction);
// failing inserts are skipped. Returns 0.
int CopyQueryToTable(SQLite3Wrapper& target, SqliteStatement& source, const std::string& table,
                     const FieldMap& fields, const std::atomic<int>* stop);

// Like CopyQueryToTable, but skips rows whose unique key the target holds
// already and renumbers row-id fields that collide. Returns 0.
int MergeTableRows(SQLite3Wrapper& target, SQLite3Wrapper& source_db, SqliteStatement& source,
                   const std::string& table, const FieldMap& fields, const std::atomic<int>* stop);

// Drains `copies` into the primary database. 0 on success or stop, 1102 when
// the configuration cannot be read, 1105 when a database cannot be opened
// (the copy's path goes back on the queue).
int MergeDatabaseCopies(SqliteConfig& config, const std::string& primary_path, FileQueue& copies,
                        int system_type, int config_type, const std::atomic<int>* stop);
int MergeDatabaseCopiesByKey(SqliteConfig& config, const std::string& primary_path,
                             FileQueue& copies, int system_type, int config_type,
                             const std::atomic<int>* stop);

}  // namespace kx

#endif  // KX_COMMON_MERGE_H_
