// Reading a Core Data store of another version than the queries were first
// written for: columns come and go between versions of an application, and
// the join tables are named after entity numbers that move. The readers of
// Kik, LINE and Viber build their queries over what the store at hand has.
#ifndef KX_IOSCHAT_CORE_DATA_STORE_H_
#define KX_IOSCHAT_CORE_DATA_STORE_H_

#include <string>
#include <unordered_set>

#include "common/select_list.h"
#include "common/sqlite_wrapper.h"

namespace kx {

// Adds `what` to the ", "-separated list `missing` unless it is there.
void NoteMissing(const std::string& what, std::string* missing);

// One table of a store under the alias the queries give it.
class StoreTable {
 public:
  StoreTable(const SQLite3Wrapper& db, const char* name, const char* alias);

  bool exists() const { return columns_.exists(); }
  bool Has(const char* column) const { return columns_.Has(column); }
  const std::string& name() const { return name_; }
  // "alias.column", or "NULL" (noted in `missing` when the table exists but
  // lacks the column; an absent table is noted by whoever needs it).
  std::string Column(const char* column, std::string* missing) const;
  // "<name> AS <alias>".
  std::string From() const;

 private:
  TableColumns columns_;
  std::string name_;
  std::string alias_;
};

// A join table of a to-many relation: Z_<n><relation> with the columns
// Z_<n><first> and Z_<m><second>, quoted for SQL.
struct CoreDataJoin {
  std::string table;
  std::string first;
  std::string second;
  bool found() const { return !table.empty(); }
};

// The first table named Z_<digits><relation> (found in sqlite_master, the
// pattern bound) that has a column ending in `first` and one ending in
// `second` after "Z_<digits>"; not found() when the store has none.
CoreDataJoin FindCoreDataJoin(const SQLite3Wrapper& db, const std::string& relation,
                              const std::string& first, const std::string& second);

// The session ids of one document. Batch files are named after them, so two
// conversations with one id (Viber keeps a secret chat beside the ordinary
// one with the same person; a damaged store may repeat a mid) must not
// share one: a repeat gets "#" and its row's key.
class SessionIds {
 public:
  std::string Unique(const std::string& id, const std::string& row_key);

 private:
  std::unordered_set<std::string> seen_;
};

}  // namespace kx

#endif  // KX_IOSCHAT_CORE_DATA_STORE_H_
