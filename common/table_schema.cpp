#include "common/table_schema.h"

#include <algorithm>
#include <cctype>

#include "common/log.h"
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

bool ParenthesesBalanced(const std::string& text) {
  return std::count(text.begin(), text.end(), '(') == std::count(text.begin(), text.end(), ')');
}

bool OnlyWhiteSpace(const std::string& text, size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i) {
    if (!std::isspace(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
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

enum class PieceOutcome { kNext, kStopKeep, kStopEmpty };

// Steps 7 to 9 for one complete piece.
PieceOutcome AddPiece(const std::string& piece, bool is_virtual, std::vector<ColumnDef>* columns) {
  const bool has_paren = Contains(piece, "(");
  if (has_paren && ContainsEither(piece, "CONSTRAINT", "constraint")) {
    if (!is_virtual) return PieceOutcome::kStopKeep;
    columns->push_back({"constraint", kTypeConstraintMarker, 0});
    return PieceOutcome::kNext;
  }
  if (has_paren && ContainsEither(piece, "PRIMARY KEY(", "primary key(")) {
    if (!is_virtual) return PieceOutcome::kStopKeep;
    columns->push_back({"primary", kTypePrimaryMarker, 0});
    return PieceOutcome::kNext;
  }

  ColumnDef column;
  const int parsed = ParseColumnDef(piece, &column);
  column.primary_key =
      ContainsEither(piece, "PRIMARY", "primary") && ContainsEither(piece, "KEY", "key") ? 1 : 0;
  if (parsed == kColumnParsed) {
    columns->push_back(column);
  } else if (parsed == kColumnNameOnly) {
    // Virtual tables list bare column names; ordinary tables do not.
    if (is_virtual && !Contains(piece, "tokenize")) {
      column.type_index = kTypeText;
      columns->push_back(column);
    }
  } else {
    return PieceOutcome::kStopEmpty;
  }
  return PieceOutcome::kNext;
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
  text = ReplaceAll(text, "\n", "");
  const std::vector<std::string> words = SplitString(text, ' ');
  if (!words.empty()) column->name = words[0];
  if (words.size() < 2) return kColumnNameOnly;
  column->type_index = TypeIndexOf(words[1]);
  return column->type_index >= 0 ? kColumnParsed : kColumnUnknownType;
}

std::vector<ColumnDef> ParseCreateTableSql(const std::string& /*table*/,
                                           const std::string& create_sql) {
  std::vector<ColumnDef> columns;
  const size_t open = create_sql.find('(');
  const size_t close = create_sql.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return columns;

  const bool is_virtual = ContainsEither(create_sql, "VIRTUAL TABLE", "virtual table");
  const std::vector<std::string> pieces =
      SplitString(create_sql.substr(open + 1, close - open - 1), ',');

  // A piece that opens more parentheses than it closes was cut at a comma
  // inside them (decimal(10,2), key lists); it is rejoined with the next.
  std::string pending;
  for (const std::string& piece : pieces) {
    pending += piece;
    if (!ParenthesesBalanced(pending)) continue;

    if (is_virtual && columns.empty() && Contains(pending, "tokenize")) {
      columns.push_back({"docid", 0, 0});
      pending.clear();
      continue;
    }
    if (IsTableUniqueConstraint(pending)) break;

    const PieceOutcome outcome = AddPiece(pending, is_virtual, &columns);
    if (outcome == PieceOutcome::kStopKeep) break;
    if (outcome == PieceOutcome::kStopEmpty) return {};
    pending.clear();
  }
  return columns;
}

int LoadTableSchema(const SQLite3Wrapper& db, const std::string& table, TableSchema* schema) {
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
  schema->variants.emplace_back(true, ParseCreateTableSql(table, create_sql));
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
