// Look-ups of a table's rows by its integer key, for keys asked mostly in
// increasing order: the messages of one chat come in row id order, and the
// rows that other tables keep for them (thumbnails, media, quotes) follow
// the same order.
//
// One cursor walks the table forward from the first key asked. A key that
// lies behind the cursor's row is known to have no row without asking
// SQLite, and the next row is one step away where a point look-up would
// descend the tree again; the table is read once. A key asked out of order
// (the next chat) moves the cursor there.
//
// Keys asked in a scattered order (chats whose messages interleave on the
// disk) would move the cursor for nearly every key. When that happens the
// lookup turns, for good, to a point look-up per key, each first checked
// against the table's keys read once.
#ifndef KX_COMMON_ORDERED_LOOKUP_H_
#define KX_COMMON_ORDERED_LOOKUP_H_

#include <cstdint>
#include <string>

#include "common/row_id_bits.h"
#include "common/sqlite_wrapper.h"

namespace kx {

class OrderedLookup {
 public:
  OrderedLookup() = default;
  // `key` is the integer column the rows are found by, `columns` the list
  // selected after it ("thumbnail", "a, b"). Where the table or a column is
  // missing nothing is prepared, and every look-up finds nothing. Where the
  // key is not the table's only primary key (its rows neither unique nor
  // kept in its order), every key gets a point look-up.
  OrderedLookup(const SQLite3Wrapper& db, const std::string& table, const std::string& key,
                const std::string& columns);

  // True when the table has a row for `key`; row() is then on it.
  bool Find(int64_t key);
  // The row found: column 0 is the key, the selected columns follow.
  SqliteStatement& row() { return walking_ ? forward_ : point_; }
  bool prepared() const { return point_.prepared(); }
  // False once the look-ups are point look-ups.
  bool walking() const { return walking_; }

 private:
  // Puts the walk's cursor on the first row at or after `key`; false when
  // the walk stopped instead (row() is then the point look-up's).
  bool WalkTo(int64_t key);
  // Move the cursor; false on an error or a key that is no integer.
  bool Seek(int64_t key);
  bool Step();
  // The cursor is on a row before `key` (not at the end of the table).
  bool Behind(int64_t key) const { return on_row_ && row_key_ < key; }
  bool FindByPoint(int64_t key);
  // Finalizes the walk and reads the table's keys for the point look-ups.
  void StopWalking();

  const SQLite3Wrapper* db_ = nullptr;
  std::string table_;
  std::string key_;
  SqliteStatement forward_;  // "... where key >= ?1 order by key"
  SqliteStatement point_;    // "... where key = ?1"
  RowIdBits keys_;           // the table's keys, once walking stopped
  bool walking_ = false;
  // The walk: its cursor's row (none at the end of the table), and the
  // last key asked.
  bool on_row_ = false;
  int64_t row_key_ = 0;
  int64_t last_asked_ = 0;
  bool asked_ = false;
  // What the walk cost: keys asked, and the cursor moves it needed.
  int64_t finds_ = 0;
  int64_t seeks_ = 0;
};

}  // namespace kx

#endif  // KX_COMMON_ORDERED_LOOKUP_H_
