#include "common/row_id_bits.h"

#include <sqlite3.h>

#include "common/sql_identifier.h"
#include "common/table_schema.h"

namespace kx {

bool RowIdBits::SpanFits(int64_t first, int64_t last) {
  // Written as a difference of unsigned values: last - first may not fit.
  return first <= last && static_cast<uint64_t>(last) - static_cast<uint64_t>(first) <
                              static_cast<uint64_t>(kMaxSpan);
}

void RowIdBits::Reset(int64_t first, int64_t last) {
  first_ = first;
  words_.assign(static_cast<size_t>((last - first) / 64 + 1), 0);
}

void RowIdBits::Set(int64_t id) {
  const uint64_t bit = static_cast<uint64_t>(id) - static_cast<uint64_t>(first_);
  words_[bit / 64] |= uint64_t{1} << (bit % 64);
}

bool RowIdBits::Load(const SQLite3Wrapper& db, const std::string& table, const std::string& column,
                     int64_t first, int64_t last) {
  loaded_ = false;
  words_.clear();
  if (!SpanFits(first, last)) return false;
  // A name SQLite cannot resolve would be read as a text literal.
  if (!ColumnExists(db, table, column)) return false;
  SqliteStatement ids = PrepareStatement(db, "select " + QuotedIdentifier(column) + " from " +
                                                 QuotedIdentifier(table) + " where " +
                                                 QuotedIdentifier(column) + " between ?1 and ?2");
  if (!ids.prepared()) return false;
  ids.BindInt64(1, first);
  ids.BindInt64(2, last);
  Reset(first, last);
  int step = SQLITE_ROW;
  while ((step = ids.Step()) == SQLITE_ROW) {
    if (ids.ColumnType(0) != SQLITE_INTEGER) continue;
    const int64_t id = ids.ColumnInt64(0);
    if (id >= first && id <= last) Set(id);
  }
  if (step != SQLITE_DONE) {
    words_.clear();
    return false;
  }
  loaded_ = true;
  return true;
}

bool RowIdBits::Contains(int64_t id) const {
  if (!loaded_ || id < first_) return false;
  const uint64_t bit = static_cast<uint64_t>(id) - static_cast<uint64_t>(first_);
  if (bit / 64 >= words_.size()) return false;
  return (words_[bit / 64] >> (bit % 64) & 1) != 0;
}

bool ReadIdRange(const SQLite3Wrapper& db, const std::string& table, const std::string& column,
                 int64_t* first, int64_t* last) {
  if (!ColumnExists(db, table, column)) return false;
  // Each bound its own subquery: SQLite reads a lone min() or max() from the
  // ends of an index, but scans the table for both at once.
  const std::string from = " from " + QuotedIdentifier(table) + ")";
  SqliteStatement range =
      PrepareStatement(db, "select (select min(" + QuotedIdentifier(column) + ")" + from +
                               ", (select max(" + QuotedIdentifier(column) + ")" + from);
  if (!range.prepared() || range.Step() != SQLITE_ROW) return false;
  if (range.ColumnType(0) != SQLITE_INTEGER || range.ColumnType(1) != SQLITE_INTEGER) return false;
  *first = range.ColumnInt64(0);
  *last = range.ColumnInt64(1);
  return true;
}

}  // namespace kx
