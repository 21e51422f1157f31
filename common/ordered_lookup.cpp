#include "common/ordered_lookup.h"

#include <sqlite3.h>

#include "common/sql_identifier.h"
#include "common/table_schema.h"
#include "common/text.h"

namespace kx {

namespace {

// Rows the walk steps over to reach a key before it seeks the key instead.
constexpr int kMaxSteps = 16;
// The walk is judged once this many keys were asked, and then after each:
// it goes on while at most one key in kFindsPerSeek moved its cursor.
constexpr int64_t kTrialFinds = 256;
constexpr int64_t kFindsPerSeek = 4;

// True when `key` is the table's row id under its own name (INTEGER PRIMARY
// KEY of a table with row ids): unique, an integer in every row, and the
// order the table is stored in.
bool IsRowIdAlias(const SQLite3Wrapper& db, const std::string& table, const std::string& key) {
  SqliteStatement query = PrepareStatement(
      db,
      "select count(*), sum(name = ?2 collate nocase and type = 'INTEGER' collate nocase) "
      "from pragma_table_info(?1) where pk > 0");
  if (!query.prepared() || query.BindText(1, table) != SQLITE_OK ||
      query.BindText(2, key) != SQLITE_OK || query.Step() != SQLITE_ROW) {
    return false;
  }
  if (query.ColumnInt64(0) != 1 || query.ColumnInt64(1) != 1) return false;
  return ToLowerAscii(GetCreateTableSql(db, table)).find("without rowid") == std::string::npos;
}

}  // namespace

OrderedLookup::OrderedLookup(const SQLite3Wrapper& db, const std::string& table,
                             const std::string& key, const std::string& columns)
    : db_(&db), table_(table), key_(key) {
  if (columns.empty()) return;
  const std::string select = "select " + QuotedIdentifier(key) + ", " + columns + " from " +
                             QuotedIdentifier(table) + " where " + QuotedIdentifier(key);
  point_ = PrepareStatement(db, select + " = ?1");
  if (!point_.prepared()) return;
  if (IsRowIdAlias(db, table, key)) {
    forward_ = PrepareStatement(db, select + " >= ?1 order by " + QuotedIdentifier(key));
    walking_ = forward_.prepared();
  }
  if (!walking_) StopWalking();
}

bool OrderedLookup::Find(int64_t key) {
  if (!point_.prepared()) return false;
  if (walking_ && WalkTo(key)) return on_row_ && row_key_ == key;
  return FindByPoint(key);
}

bool OrderedLookup::WalkTo(int64_t key) {
  if (finds_ >= kTrialFinds && seeks_ * kFindsPerSeek > finds_) {
    StopWalking();
    return false;
  }
  ++finds_;
  // Every row between the last key asked and the cursor's row was stepped
  // over, so a key in that stretch has none.
  const bool ahead = asked_ && key >= last_asked_;
  asked_ = true;
  last_asked_ = key;
  bool read = true;
  for (int steps = 0; ahead && read && Behind(key) && steps < kMaxSteps; ++steps) read = Step();
  if (!ahead || (read && Behind(key))) read = Seek(key);
  // An error, or a key that is no integer: the walk can no longer tell
  // which keys it passed.
  if (!read) StopWalking();
  return read;
}

bool OrderedLookup::Seek(int64_t key) {
  ++seeks_;
  forward_.Reset();
  forward_.BindInt64(1, key);
  return Step();
}

bool OrderedLookup::Step() {
  const int step = forward_.Step();
  on_row_ = step == SQLITE_ROW;
  if (on_row_) {
    if (forward_.ColumnType(0) != SQLITE_INTEGER) return false;
    row_key_ = forward_.ColumnInt64(0);
  }
  return on_row_ || step == SQLITE_DONE;
}

bool OrderedLookup::FindByPoint(int64_t key) {
  if (!keys_.MayContain(key)) return false;
  point_.Reset();
  point_.BindInt64(1, key);
  return point_.Step() == SQLITE_ROW;
}

void OrderedLookup::StopWalking() {
  walking_ = false;
  forward_ = SqliteStatement();
  int64_t first = 0;
  int64_t last = 0;
  if (ReadIdRange(*db_, table_, key_, &first, &last)) keys_.Load(*db_, table_, key_, first, last);
}

}  // namespace kx
