// How every packager names the people (and groups) of a chat, a call or an
// event: a map from a key as the store writes it (a number, a jid, a mid,
// an address) to what the phone shows for it, read once from one query and
// looked up per row. A name is never asked of the store row by row.
#ifndef KX_KIT_CONTACT_NAMES_H_
#define KX_KIT_CONTACT_NAMES_H_

#include <string>
#include <unordered_map>
#include <utility>

#include "common/sqlite_wrapper.h"

namespace kx {

using ContactNames = std::unordered_map<std::string, std::string>;

inline bool NeverStopped() { return false; }

// Reads every row of `query` into `map`, keyed by the text of column
// `key_column`; the first value of a key stays. `read(row, &value)` makes a
// row's value, or answers false to pass the row over (a later row may still
// give the key its value). `stopped()` is asked before each row; the reading
// ends, answering false, when it says yes.
template <typename Value, typename ReadValue, typename Stopped = bool (*)()>
bool LoadKeyedMap(SqliteStatement& query, int key_column, ReadValue read,
                  std::unordered_map<std::string, Value>* map, Stopped stopped = NeverStopped) {
  while (query.Step() == SQLITE_ROW) {
    if (stopped()) return false;
    Value value;
    if (!read(query, &value)) continue;
    map->emplace(query.ColumnText(key_column), std::move(value));
  }
  return true;
}

// Whether a row without a name (an empty text or NULL) names its key "".
enum class EmptyNames { kKeep, kSkip };

// Key and name from columns 0 and 1 of `query`, by LoadKeyedMap's rules.
template <typename Stopped>
bool LoadContactNames(SqliteStatement& query, EmptyNames empty_names, Stopped stopped,
                      ContactNames* names) {
  const auto read_name = [empty_names](const SqliteStatement& row, std::string* name) {
    *name = row.ColumnText(1);
    return empty_names == EmptyNames::kKeep || !name->empty();
  };
  return LoadKeyedMap(query, 0, read_name, names, stopped);
}

// Key and name of every row of `sql` on `db` (LoadContactNames' rules); an
// empty map when the store has no such table or columns.
inline ContactNames ReadContactNames(const SQLite3Wrapper& db, const char* sql,
                                     EmptyNames empty_names) {
  ContactNames names;
  SqliteStatement query = PrepareStatement(db, sql);
  if (query.prepared()) LoadContactNames(query, empty_names, NeverStopped, &names);
  return names;
}

// What `map` holds for `key`; null for a key it does not know.
template <typename Value>
const Value* FindKeyed(const std::unordered_map<std::string, Value>& map, const std::string& key) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &found->second;
}

}  // namespace kx

#endif  // KX_KIT_CONTACT_NAMES_H_
