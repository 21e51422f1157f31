#include "common/select_list.h"

#include <cctype>

namespace kx {

namespace {

// The table's name is bound, never spliced into the query.
constexpr char kTableInfoSql[] = "select name from pragma_table_info(?)";

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

TableColumns::TableColumns(const SQLite3Wrapper& db, const std::string& table) {
  SqliteStatement query = PrepareStatement(db, kTableInfoSql);
  if (!query.prepared() || query.BindText(1, table) != SQLITE_OK) return;
  while (query.Step() == SQLITE_ROW) names_.push_back(query.ColumnText(0));
}

bool TableColumns::Has(std::string_view column) const {
  for (const std::string& name : names_) {
    if (SameName(name, column)) return true;
  }
  return false;
}

std::string TableColumns::SelectList(const std::vector<SelectedColumn>& wanted,
                                     std::string* missing) const {
  std::string list;
  for (const SelectedColumn& column : wanted) {
    if (!list.empty()) list += ",";
    const char* read = column.reads != nullptr ? column.reads : column.column;
    const bool present = Has(read);
    if (!present) {
      if (!missing->empty()) *missing += ", ";
      *missing += read;
    }
    list += present ? column.column : "NULL";
    if (!present || column.as != nullptr) {
      list += " as ";
      list += column.as != nullptr ? column.as : column.column;
    }
  }
  return list;
}

std::string WithoutMergeColumn(const std::string& missing) {
  std::string kept;
  size_t start = 0;
  while (start <= missing.size()) {
    size_t end = missing.find(", ", start);
    if (end == std::string::npos) end = missing.size();
    const std::string column = missing.substr(start, end - start);
    if (!column.empty() && !SameName(column, "is_deleted")) {
      kept += (kept.empty() ? "" : ", ") + column;
    }
    start = end + 2;
  }
  return kept;
}

bool EnsureLeadingIndex(SQLite3Wrapper* db, const std::string& table, const std::string& column,
                        std::string* error) {
  SqliteStatement probe;
  const std::string sql =
      "SELECT count(*) FROM pragma_index_list(?1) AS list, pragma_index_info(list.name) AS info "
      "WHERE info.seqno = 0 AND info.name = ?2 COLLATE NOCASE";
  if (probe.Prepare(*db, sql) == SQLITE_OK && probe.BindText(1, table) == SQLITE_OK &&
      probe.BindText(2, column) == SQLITE_OK && probe.Step() == SQLITE_ROW &&
      probe.ColumnInt64(0) > 0) {
    return true;
  }
  probe.Finalize();
  // The names are the caller's own constants, never read from the data.
  const std::string create = "CREATE INDEX IF NOT EXISTS \"kx_" + table + "_" + column +
                             "\" ON \"" + table + "\"(\"" + column + "\")";
  if (db->Exec(create) == SQLITE_OK) return true;
  *error = db->ErrorMessage();
  return false;
}

}  // namespace kx
