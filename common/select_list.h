// Select lists for stores of other versions: a fixed query names columns
// that an older or newer table may lack. Each such column is read as NULL
// under its own name, so the rest of the table is still read.
#ifndef KX_COMMON_SELECT_LIST_H_
#define KX_COMMON_SELECT_LIST_H_

#include <string>
#include <string_view>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

// One column of a select list and the name it is read under (null: its own).
// `column` may be an expression over the column `reads`; it is read as NULL
// when the table lacks that column.
struct SelectedColumn {
  const char* column;
  const char* as;
  const char* reads = nullptr;  // null: `column` itself
};

// The columns `table` has; empty when it does not exist or cannot be read.
class TableColumns {
 public:
  TableColumns(const SQLite3Wrapper& db, const std::string& table);

  // False when the table does not exist (or has no columns to read).
  bool exists() const { return !names_.empty(); }
  // SQLite's comparison of names: ASCII letters in either case.
  bool Has(std::string_view column) const;

  // "a,b as c,NULL as d": the wanted columns in order, those the table lacks
  // as NULL. Their names are added to *missing, separated by ", ". An
  // expression is read under its `as` name.
  std::string SelectList(const std::vector<SelectedColumn>& wanted, std::string* missing) const;

 private:
  std::vector<std::string> names_;
};

// `missing` (a list SelectList made) without is_deleted: the merge adds that
// column to a staged store, no phone's store has it, so a store read without
// a merge lacks nothing by not having it.
std::string WithoutMergeColumn(const std::string& missing);

// Makes sure `table` has an index whose first column is `column`, so that
// rows can be looked up by it one key at a time: when it has none, one is
// made, which is only ever done on a staged copy. False, with SQLite's
// message in *error, when there is none and none could be made (a store
// opened read-only, a table without that column).
bool EnsureLeadingIndex(SQLite3Wrapper* db, const std::string& table, const std::string& column,
                        std::string* error);

}  // namespace kx

#endif  // KX_COMMON_SELECT_LIST_H_
