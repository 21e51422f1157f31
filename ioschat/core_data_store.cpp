#include "ioschat/core_data_store.h"

#include "common/sql_identifier.h"

namespace kx {

namespace {

// Whether `column` is "Z_", at least one digit, then exactly `tail`:
// Z_9MEMBERS is not Z_9MEMBERSINVERSE.
bool IsEntityColumn(const std::string& column, const std::string& tail) {
  if (column.compare(0, 2, "Z_") != 0) return false;
  const size_t end = column.find_first_not_of("0123456789", 2);
  if (end == 2 || end == std::string::npos) return false;
  return column.compare(end, std::string::npos, tail) == 0;
}

}  // namespace

void NoteMissing(const std::string& what, std::string* missing) {
  if ((", " + *missing + ", ").find(", " + what + ", ") != std::string::npos) return;
  if (!missing->empty()) *missing += ", ";
  *missing += what;
}

StoreTable::StoreTable(const SQLite3Wrapper& db, const char* name, const char* alias)
    : columns_(db, name), name_(name), alias_(alias) {}

std::string StoreTable::Column(const char* column, std::string* missing) const {
  if (columns_.Has(column)) return alias_ + "." + column;
  if (exists()) NoteMissing(name_ + "." + column, missing);
  return "NULL";
}

std::string StoreTable::From() const { return name_ + " AS " + alias_; }

CoreDataJoin FindCoreDataJoin(const SQLite3Wrapper& db, const std::string& relation,
                              const std::string& first, const std::string& second) {
  SqliteStatement tables = PrepareStatement(
      db, "select name from sqlite_master where type='table' and name glob ? order by name");
  tables.BindText(1, "Z_[0-9]*" + relation);
  while (tables.Step() == SQLITE_ROW) {
    const std::string candidate = tables.ColumnText(0);
    if (!IsEntityColumn(candidate, relation)) continue;
    SqliteStatement columns = PrepareStatement(db, "select name from pragma_table_info(?)");
    columns.BindText(1, candidate);
    std::string found_first;
    std::string found_second;
    while (columns.Step() == SQLITE_ROW) {
      const std::string column = columns.ColumnText(0);
      if (IsEntityColumn(column, first)) found_first = column;
      if (IsEntityColumn(column, second)) found_second = column;
    }
    if (!found_first.empty() && !found_second.empty()) {
      return {QuotedIdentifier(candidate), QuotedIdentifier(found_first),
              QuotedIdentifier(found_second)};
    }
  }
  return CoreDataJoin();
}

std::string SessionIds::Unique(const std::string& id, const std::string& row_key) {
  std::string unique = id;
  for (int repeat = 1; !seen_.insert(unique).second; ++repeat) {
    unique = id + "#" + row_key + (repeat > 1 ? "-" + std::to_string(repeat) : std::string());
  }
  return unique;
}

}  // namespace kx
