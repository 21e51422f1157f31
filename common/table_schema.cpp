#include "common/table_schema.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "common/log.h"
#include "common/status.h"
#include "common/text.h"

namespace kx {

namespace {

// Slot number = type index. Slots 13 and 14 are unused by type names (the
// parser uses those numbers as markers) and match no word.
constexpr const char* kUpperTypeNames[15] = {"INTEGER",  "FLOAT",     "DOUBLE",  "TEXT", "BLOB",
                                             "VARCHAR",  "TIMESTAMP", "STRING",  "REAL", "BOOL",
                                             "UNSIGNED", "DATETIME",  "BOOLEAN", "",     ""};
constexpr const char* kLowerTypeNames[15] = {"integer",  "float",     "double",  "text", "blob",
                                             "varchar",  "timestamp", "string",  "real", "bool",
                                             "unsigned", "datetime",  "boolean", "",     ""};

constexpr char kCreateTableSql[] =
    "select sql from sqlite_master where type = 'table' and tbl_name=?";
constexpr char kColumnExistsSql[] = "SELECT COUNT(*) FROM pragma_table_info(?) WHERE name=?";
constexpr char kTableExistsSql[] =
    "select count(*) from sqlite_master where type = 'table' and tbl_name = ?";
constexpr char kFtsMessageTablePrefix[] = "fts_message_table_";

bool Contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

bool ContainsEither(const std::string& text, const char* upper, const char* lower) {
  return Contains(text, upper) || Contains(text, lower);
}

int TypeIndexOf(const std::string& word) {
  for (const auto* names : {kUpperTypeNames, kLowerTypeNames}) {
    for (int slot = 0; slot < 15; ++slot) {
      if (names[slot][0] != '\0' && word == names[slot]) return slot;
    }
  }
  return -1;
}

bool OnlyWhiteSpace(const std::string& text, size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i) {
    if (!std::isspace(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The keyword a word starts with ("CHECK(a" starts with CHECK), upper case.
std::string LeadingKeyword(const std::string& text, size_t begin) {
  size_t end = begin;
  while (end < text.size() && (std::isalpha(static_cast<unsigned char>(text[end])) != 0)) ++end;
  return UpperCase(text.substr(begin, end - begin));
}

bool IsOneOf(const std::string& word, std::initializer_list<const char*> keywords) {
  return std::any_of(keywords.begin(), keywords.end(),
                     [&word](const char* keyword) { return word == keyword; });
}

// SQLite's declared type of a column runs from the word after the name to
// the first column constraint.
bool StartsColumnConstraint(const std::string& word) {
  return IsOneOf(LeadingKeyword(word, 0),
                 {"CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT", "COLLATE",
                  "REFERENCES", "GENERATED", "AS"});
}

// SQLite's affinity rules, in their order. NUMERIC affinity reads as integer.
int AffinitySlot(const std::string& declared_type) {
  const std::string type = UpperCase(declared_type);
  if (Contains(type, "INT")) return kTypeInteger;
  if (Contains(type, "CHAR") || Contains(type, "CLOB") || Contains(type, "TEXT")) return kTypeText;
  if (Contains(type, "BLOB")) return kTypeBlob;
  if (Contains(type, "REAL") || Contains(type, "FLOA") || Contains(type, "DOUB")) return kTypeReal;
  return kTypeInteger;
}

// The keyword of a table constraint when the piece starts with one, else "".
// Only an unquoted first word counts: a quoted "check" is a column name.
std::string TableConstraintKeyword(const std::string& piece) {
  size_t first = 0;
  while (first < piece.size() && std::isspace(static_cast<unsigned char>(piece[first]))) ++first;
  const std::string keyword = LeadingKeyword(piece, first);
  // A column named after a keyword ("unique_identifier", "check_date") is
  // no constraint: the word must end where the keyword does.
  const size_t after = first + keyword.size();
  if (after < piece.size() && (std::isalnum(static_cast<unsigned char>(piece[after])) != 0 ||
                               piece[after] == '_' || piece[after] == '$')) {
    return std::string();
  }
  return IsOneOf(keyword, {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"}) ? keyword
                                                                                   : std::string();
}

// "UNIQUE (a, b)" as a piece of its own: a table-level constraint, not a
// column.
bool IsTableUniqueConstraint(const std::string& piece) {
  const size_t paren = piece.find('(');
  size_t unique = piece.find("UNIQUE");
  const size_t lower_unique = piece.find("unique");
  if (lower_unique != std::string::npos) unique = lower_unique;
  if (paren == std::string::npos || unique == std::string::npos || unique > paren) return false;
  return OnlyWhiteSpace(piece, unique + 6, paren);
}

enum class PieceOutcome { kNext, kStopKeep };

// The special entries of a virtual table; false when the piece is none.
bool AddVirtualTableEntry(const std::string& piece, std::vector<ColumnDef>* columns) {
  const bool has_paren = Contains(piece, "(");
  if (has_paren && ContainsEither(piece, "CONSTRAINT", "constraint")) {
    columns->push_back({"constraint", kTypeConstraintMarker, 0});
    return true;
  }
  const std::string keyword = TableConstraintKeyword(piece);
  if ((has_paren && ContainsEither(piece, "PRIMARY KEY(", "primary key(")) ||
      keyword == "PRIMARY") {
    columns->push_back({"primary", kTypePrimaryMarker, 0});
    return true;
  }
  // Module arguments never hold these; they are no columns either way.
  return keyword == "CHECK" || keyword == "FOREIGN";
}

// One complete piece: a column, a table constraint or an entry of a virtual
// table. SQLite puts every table constraint after the last column, so in an
// ordinary table the first one ends the list.
PieceOutcome AddPiece(const std::string& piece, bool is_virtual, std::vector<ColumnDef>* columns) {
  if (is_virtual) {
    if (AddVirtualTableEntry(piece, columns)) return PieceOutcome::kNext;
  } else if (!TableConstraintKeyword(piece).empty()) {
    return PieceOutcome::kStopKeep;
  }

  ColumnDef column;
  const int parsed = ParseColumnDef(piece, &column);
  column.primary_key =
      ContainsEither(piece, "PRIMARY", "primary") && ContainsEither(piece, "KEY", "key") ? 1 : 0;
  if (parsed == kColumnNameOnly) {
    if (column.name.empty()) return PieceOutcome::kNext;
    if (is_virtual) {
      // Full-text tables list bare column names and their options.
      if (Contains(piece, "tokenize")) return PieceOutcome::kNext;
      column.type_index = kTypeText;
    } else {
      // A column without a declared type has no affinity in SQLite, which
      // stores its values as given, like a blob column: it is kept so that
      // the fields configured on it are merged.
      column.type_index = kTypeBlob;
    }
  }
  columns->push_back(column);
  return PieceOutcome::kNext;
}

// Where the piece that starts at `begin` ends: at the first comma outside
// string literals, quoted names ("", ``, []) and parentheses, or at `end`.
// A comma or parenthesis inside DEFAULT 'a,(b' or CHECK (x IN (1, 2)) cuts
// nothing. *complete is false when the piece runs to `end` with a
// parenthesis or quote still open: it never completes.
size_t PieceEnd(const std::string& text, size_t begin, size_t end, bool* complete) {
  char closing_quote = 0;
  int64_t depth = 0;
  for (size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (closing_quote != 0) {
      if (c != closing_quote) continue;
      // A doubled quote stands for itself inside the literal.
      if (closing_quote != ']' && i + 1 < end && text[i + 1] == c) {
        ++i;
      } else {
        closing_quote = 0;
      }
    } else if (c == '\'' || c == '"' || c == '`') {
      closing_quote = c;
    } else if (c == '[') {
      closing_quote = ']';
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      *complete = true;
      return i;
    }
  }
  *complete = closing_quote == 0 && depth == 0;
  return end;
}

}  // namespace

std::string GetCreateTableSql(const SQLite3Wrapper& db, const std::string& table) {
  SqliteStatement query = PrepareStatement(db, kCreateTableSql);
  if (!query.prepared() || query.BindText(1, table) != SQLITE_OK) return std::string();
  if (query.Step() != SQLITE_ROW) return std::string();
  return query.ColumnText(0);
}

int ParseColumnDef(const std::string& column_text, ColumnDef* column) {
  *column = ColumnDef();
  std::string text = ReplaceAll(column_text, "'", "");
  text = ReplaceAll(text, "\"", "");
  // Android Room writes every name in backticks.
  text = ReplaceAll(text, "`", "");
  text = ReplaceAll(text, "\n", "");
  // Tabs and carriage returns (definitions written with CRLF line ends)
  // separate words as spaces do; left inside words they would glue a name to
  // its type or make "\r" a column of its own.
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r'; }, ' ');
  const std::vector<std::string> words = SplitString(text, ' ');
  if (!words.empty()) column->name = words[0];
  if (words.size() < 2) return kColumnNameOnly;
  column->type_index = TypeIndexOf(words[1]);
  if (column->type_index >= 0) return kColumnParsed;

  // Types the table does not list (LONG, INT, NUMERIC, CHAR(20) ...) take
  // the slot of their affinity instead of failing the whole table.
  std::string declared_type;
  for (size_t i = 1; i < words.size() && !StartsColumnConstraint(words[i]); ++i) {
    if (!declared_type.empty()) declared_type += ' ';
    declared_type += words[i];
  }
  if (declared_type.empty()) return kColumnNameOnly;
  column->type_index = AffinitySlot(declared_type);
  return kColumnUnknownType;
}

std::vector<ColumnDef> ParseCreateTableSql(const std::string& /*table*/,
                                           const std::string& create_sql,
                                           const std::atomic<int>* stop) {
  std::vector<ColumnDef> columns;
  const size_t open = create_sql.find('(');
  const size_t close = create_sql.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return columns;

  const bool is_virtual = ContainsEither(create_sql, "VIRTUAL TABLE", "virtual table");

  // The text between the parentheses is cut at every comma that separates
  // two definitions (PieceEnd); empty pieces do not count.
  std::string pending;
  for (size_t begin = open + 1; begin < close;) {
    if (StopRequested(stop)) return {};
    bool complete = false;
    const size_t end = PieceEnd(create_sql, begin, close, &complete);
    if (!complete) break;
    const size_t piece_begin = begin;
    begin = end + 1;
    if (end == piece_begin) continue;
    pending.assign(create_sql, piece_begin, end - piece_begin);

    if (is_virtual && columns.empty() && Contains(pending, "tokenize")) {
      columns.push_back({"docid", 0, 0});
      pending.clear();
      continue;
    }
    if (IsTableUniqueConstraint(pending)) break;
    if (AddPiece(pending, is_virtual, &columns) == PieceOutcome::kStopKeep) break;
    pending.clear();
  }
  return columns;
}

int LoadTableSchema(const SQLite3Wrapper& db, const std::string& table, TableSchema* schema,
                    const std::atomic<int>* stop) {
  schema->name = table;
  std::string create_sql;
  if (table == kFtsMessageTablePrefix) {
    // The numbered message tables of a full-text index: the first that
    // exists stands for all of them.
    for (int number = 0; number < kFtsMessageTableProbeLimit && create_sql.empty(); ++number) {
      create_sql = GetCreateTableSql(db, table + std::to_string(number));
    }
  } else {
    create_sql = GetCreateTableSql(db, table);
  }
  if (create_sql.empty()) return 0;
  schema->variants.emplace_back(true, ParseCreateTableSql(table, create_sql, stop));
  return 1;
}

bool ColumnExists(const SQLite3Wrapper& db, const std::string& table, const std::string& column) {
  // Names are bound, not spliced: a name read from a file cannot change the
  // query.
  SqliteStatement query = PrepareStatement(db, kColumnExistsSql);
  if (!query.prepared()) return false;
  if (query.BindText(1, table) != SQLITE_OK || query.BindText(2, column) != SQLITE_OK) {
    return false;
  }
  return query.Step() == SQLITE_ROW && query.ColumnInt64(0) > 0;
}

bool CheckIsTableExist(const SQLite3Wrapper& db, const std::string& table) {
  SqliteStatement query = PrepareStatement(db, kTableExistsSql);
  if (!query.prepared()) {
    KX_LOG_QUERY_FAILED(kLogProblem, "CheckIsTableExist", kTableExistsSql, db.handle());
    return false;
  }
  if (query.BindText(1, table) != SQLITE_OK) return false;
  return query.Step() == SQLITE_ROW && query.ColumnInt64(0) == 1;
}

}  // namespace kx
