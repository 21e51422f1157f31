// Table definitions: read from sqlite_master and parsed into column lists.
#ifndef KX_COMMON_TABLE_SCHEMA_H_
#define KX_COMMON_TABLE_SCHEMA_H_

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

// Type indexes 0..12 name the column types; these two mark the special
// entries of virtual tables.
constexpr int kTypeInteger = 0;
constexpr int kTypeText = 3;
constexpr int kTypeBlob = 4;
constexpr int kTypeReal = 8;
constexpr int kTypeConstraintMarker = 13;
constexpr int kTypePrimaryMarker = 14;

struct ColumnDef {
  std::string name;
  int type_index = -1;
  int primary_key = 0;
};

inline bool operator==(const ColumnDef& a, const ColumnDef& b) {
  return a.name == b.name && a.type_index == b.type_index && a.primary_key == b.primary_key;
}

struct TableSchema {
  std::string name;
  // (found, columns); LoadTableSchema appends one variant when found.
  std::vector<std::pair<bool, std::vector<ColumnDef>>> variants;
};

// Results of ParseColumnDef.
constexpr int kColumnParsed = 0;       // the second word names a slot of the type table
constexpr int kColumnNameOnly = 1;     // no declared type (a name, maybe constraints)
constexpr int kColumnUnknownType = 2;  // a declared type the table does not list

// The CREATE TABLE text of a table, "" when there is none.
std::string GetCreateTableSql(const SQLite3Wrapper& db, const std::string& table);
// With kColumnUnknownType the type index is the slot SQLite's affinity rules
// give the declared type; with kColumnNameOnly it is -1.
int ParseColumnDef(const std::string& column_text, ColumnDef* column);
// Linear in the length of the text. A stop request (`stop` reading 1) ends
// the parse with an empty list.
std::vector<ColumnDef> ParseCreateTableSql(const std::string& table, const std::string& create_sql,
                                           const std::atomic<int>* stop = nullptr);
// 1 when found (even if it parses to no column), 0 when missing.
int LoadTableSchema(const SQLite3Wrapper& db, const std::string& table, TableSchema* schema,
                    const std::atomic<int>* stop = nullptr);
bool ColumnExists(const SQLite3Wrapper& db, const std::string& table, const std::string& column);
bool CheckIsTableExist(const SQLite3Wrapper& db, const std::string& table);

// How many numbered "fts_message_table_N" names LoadTableSchema probes.
constexpr int kFtsMessageTableProbeLimit = 64;

}  // namespace kx

#endif  // KX_COMMON_TABLE_SCHEMA_H_
