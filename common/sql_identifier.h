// Table and column names written into SQL. Chat stores name their tables
// after collections, accounts and entity numbers, so a name may carry '#',
// ':' or a quote.
#ifndef KX_COMMON_SQL_IDENTIFIER_H_
#define KX_COMMON_SQL_IDENTIFIER_H_

#include <string>

namespace kx {

// `name` as an SQL identifier: in double quotes, an inner quote doubled.
inline std::string QuotedIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    quoted += c;
    if (c == '"') quoted += c;
  }
  return quoted + "\"";
}

}  // namespace kx

#endif  // KX_COMMON_SQL_IDENTIFIER_H_
