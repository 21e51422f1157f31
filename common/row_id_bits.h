// Which row ids of a range another table refers to, one bit each: read in
// one pass, so that a row asks no look-up of a table that has nothing for it.
#ifndef KX_COMMON_ROW_ID_BITS_H_
#define KX_COMMON_ROW_ID_BITS_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

class RowIdBits {
 public:
  // Ids of more than this span are not held (4 MB of bits): the caller asks
  // row by row instead.
  static constexpr int64_t kMaxSpan = int64_t{1} << 25;

  // Reads the integer `column` of `table` for the ids in [first, last].
  // False, holding nothing, when the span is too large or the column cannot
  // be read.
  bool Load(const SQLite3Wrapper& db, const std::string& table, const std::string& column,
            int64_t first, int64_t last);

  // Holds `ids` (a container of int64_t). False, holding nothing, when there
  // are none or their span is too large.
  template <typename Ids>
  bool Assign(const Ids& ids) {
    loaded_ = false;
    words_.clear();
    if (ids.empty()) return false;
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    if (!SpanFits(*low, *high)) return false;
    Reset(*low, *high);
    for (const int64_t id : ids) Set(id);
    loaded_ = true;
    return true;
  }

  bool loaded() const { return loaded_; }
  bool Contains(int64_t id) const;
  // True unless the bits are held and say the id is absent.
  bool MayContain(int64_t id) const { return !loaded_ || Contains(id); }

 private:
  static bool SpanFits(int64_t first, int64_t last);
  // Every bit of [first, last] clear; the span fits.
  void Reset(int64_t first, int64_t last);
  // `id` lies in the span.
  void Set(int64_t id);

  bool loaded_ = false;
  int64_t first_ = 0;
  std::vector<uint64_t> words_;
};

// The smallest and largest integer of `column` (the row id column of
// `table`); false when the table is empty or cannot be read.
bool ReadIdRange(const SQLite3Wrapper& db, const std::string& table, const std::string& column,
                 int64_t* first, int64_t* last);

}  // namespace kx

#endif  // KX_COMMON_ROW_ID_BITS_H_
