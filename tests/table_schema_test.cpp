#include "common/table_schema.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/status.h"
#include "common/text.h"
#include "test_support.h"

namespace kx {

void PrintTo(const ColumnDef& column, std::ostream* out) {
  *out << "(" << column.name << ", " << column.type_index << ", " << column.primary_key << ")";
}

namespace {

using Columns = std::vector<ColumnDef>;

// --- ParseColumnDef ---------------------------------------------------------

struct ColumnCase {
  const char* text;
  int result;
  const char* name;
  int type_index;
};

TEST(ParseColumnDefTest, ClassifiesColumnTexts) {
  const ColumnCase cases[] = {
      {"number TEXT", kColumnParsed, "number", 3},
      {"_id INTEGER PRIMARY KEY AUTOINCREMENT", kColumnParsed, "_id", 0},
      {"   date    INTEGER  ", kColumnParsed, "date", 0},
      {"gen REAL", kColumnParsed, "gen", 8},
      {"raw_data BLOB", kColumnParsed, "raw_data", 4},
      {"account_name STRING DEFAULT NULL", kColumnParsed, "account_name", 7},
      {"is_whatsapp_user BOOLEAN NOT NULL", kColumnParsed, "is_whatsapp_user", 12},
      {"flag BOOL", kColumnParsed, "flag", 9},
      {"created datetime", kColumnParsed, "created", 11},
      {"size UNSIGNED", kColumnParsed, "size", 10},
      {"title varchar", kColumnParsed, "title", 5},
      {"ratio double", kColumnParsed, "ratio", 2},
      {"ratio FLOAT", kColumnParsed, "ratio", 1},
      {"stamp timestamp", kColumnParsed, "stamp", 6},
      // Quotes are removed before the words are split.
      {"'key' \"TEXT\"", kColumnParsed, "key", 3},
      // A quoted name with a space splits like any text: the declared type
      // reads "name TEXT".
      {"\"display name\" TEXT", kColumnUnknownType, "display", 3},
      {"sort_key", kColumnNameOnly, "sort_key", -1},
      {"", kColumnNameOnly, "", -1},
      {"   ", kColumnNameOnly, "", -1},
      // Tabs and carriage returns separate words like spaces.
      {"number\tTEXT", kColumnParsed, "number", 3},
      {" \r number TEXT", kColumnParsed, "number", 3},
      // A line feed is removed, gluing the words.
      {"number\nTEXT", kColumnNameOnly, "numberTEXT", -1},
      // Type names match exactly, in upper or lower case only; any other
      // declared type takes the slot of its affinity, as SQLite decides it.
      {"address Text", kColumnUnknownType, "address", 3},
      {"_id INT", kColumnUnknownType, "_id", 0},
      {"stamp LONG NOT NULL DEFAULT 0", kColumnUnknownType, "stamp", 0},
      {"amount decimal(102)", kColumnUnknownType, "amount", 0},
      {"number TEXT\r", kColumnParsed, "number", 3},
      {"code CHAR(20)", kColumnUnknownType, "code", 3},
      {"label NVARCHAR(64) COLLATE NOCASE", kColumnUnknownType, "label", 3},
      {"note VARYING CHARACTER(255)", kColumnUnknownType, "note", 3},
      {"body CLOB", kColumnUnknownType, "body", 3},
      {"picture IMAGE_BLOB", kColumnUnknownType, "picture", 4},
      {"ratio REAL_NUMBER", kColumnUnknownType, "ratio", 8},
      {"ratio Double", kColumnUnknownType, "ratio", 8},
      {"price NUMERIC", kColumnUnknownType, "price", 0},
      {"born DATE", kColumnUnknownType, "born", 0},
      // INT is looked for first, as SQLite does: FLOATING POINT is an integer.
      {"x FLOATING POINT", kColumnUnknownType, "x", 0},
      // Constraints alone declare no type.
      {"a NOT NULL", kColumnNameOnly, "a", -1},
      {"a PRIMARY KEY", kColumnNameOnly, "a", -1},
  };
  for (const ColumnCase& c : cases) {
    ColumnDef column;
    const int result = ParseColumnDef(c.text, &column);
    EXPECT_EQ(c.result, result) << "'" << c.text << "'";
    EXPECT_EQ(c.name, column.name) << "'" << c.text << "'";
    EXPECT_EQ(c.type_index, column.type_index) << "'" << c.text << "'";
  }
}

// --- ParseCreateTableSql: the rules one by one ----------------------------

struct TableCase {
  const char* label;
  const char* create_sql;
  Columns expected;
};

// CTest shows a case by its label, not by its bytes.
void PrintTo(const TableCase& c, std::ostream* out) { *out << c.label; }

class ParseCreateTableSqlTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(ParseCreateTableSqlTest, GivesTheColumnList) {
  const TableCase& c = GetParam();
  EXPECT_EQ(c.expected, ParseCreateTableSql("t", c.create_sql)) << c.create_sql;
}

const TableCase kRuleCases[] = {
    {"PlainColumns",
     "CREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT, c REAL, d BLOB)",
     {{"a", 0, 1}, {"b", 3, 0}, {"c", 8, 0}, {"d", 4, 0}}},
    {"MixedCaseIntegerByAffinity",
     "CREATE TABLE t (a INTEGER, b Integer, c TEXT)",
     {{"a", 0, 0}, {"b", 0, 0}, {"c", 3, 0}}},
    {"IntByAffinity", "CREATE TABLE t (a TEXT, b INT)", {{"a", 3, 0}, {"b", 0, 0}}},
    {"DecimalIsRejoinedAndNumeric",
     "CREATE TABLE t (a INTEGER PRIMARY KEY, b decimal(10,2), c TEXT)",
     {{"a", 0, 1}, {"b", 0, 0}, {"c", 3, 0}}},
    {"SizedTypes",
     "CREATE TABLE t (code CHAR(20), name NVARCHAR(64), price DECIMAL(10, 2), n NUMERIC, "
     "ratio DOUBLE PRECISION)",
     {{"code", 3, 0}, {"name", 3, 0}, {"price", 0, 0}, {"n", 0, 0}, {"ratio", 2, 0}}},
    {"UntypedColumnsWithConstraints",
     "CREATE TABLE t (a PRIMARY KEY, b NOT NULL DEFAULT (1))",
     {{"a", 4, 1}, {"b", 4, 0}}},
    {"CommasAndParenthesesInsideLiteralsAndQuotedNames",
     "CREATE TABLE t (a TEXT DEFAULT 'x,y', \"b,(c\" INTEGER, d REAL DEFAULT 'it''s (', "
     "f BLOB CHECK (f IN ('1,2', ')')), g TEXT)",
     {{"a", 3, 0}, {"b,(c", 0, 0}, {"d", 8, 0}, {"f", 4, 0}, {"g", 3, 0}}},
    {"AndroidRoomBacktickNames",
     "CREATE TABLE `users` (`id` INTEGER NOT NULL, `name` TEXT DEFAULT 'a,b', `check` INTEGER, "
     "PRIMARY KEY(`id`))",
     {{"id", 0, 0}, {"name", 3, 0}, {"check", 0, 0}}},
    {"TableUniqueEndsTheList",
     "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, UNIQUE (name))",
     {{"id", 0, 1}, {"name", 3, 0}}},
    {"LowerCaseUniqueWithoutSpace", "CREATE TABLE t (a TEXT, unique(a), b TEXT)", {{"a", 3, 0}}},
    {"ColumnsNamedAfterConstraintKeywords",
     "CREATE TABLE t (unique_identifier TEXT, check_date REAL, primary1 INTEGER)",
     {{"unique_identifier", 3, 0}, {"check_date", 8, 0}, {"primary1", 0, 0}}},
    {"UniqueAfterTheListIsSkippedWithWhatFollows",
     "CREATE TABLE t (a TEXT, UNIQUE(a, b), c INTEGER)",
     {{"a", 3, 0}}},
    {"ColumnUniqueIsAColumn",
     "CREATE TABLE t (a TEXT UNIQUE, b TEXT UNIQUE CHECK(b != ''))",
     {{"a", 3, 0}, {"b", 3, 0}}},
    {"ConstraintEndsAnOrdinaryTable",
     "CREATE TABLE t (a INTEGER, CONSTRAINT pk PRIMARY KEY (a), b TEXT)",
     {{"a", 0, 0}}},
    {"NamedColumnConstraintIsAColumnText",
     "CREATE TABLE t (a INTEGER CONSTRAINT positive CHECK (a > 0), b TEXT)",
     {{"a", 0, 0}, {"b", 3, 0}}},
    {"CheckListEndsAnOrdinaryTable",
     "CREATE TABLE t (a INTEGER, b TEXT, CHECK (a IN (1, 2, 3)), CHECK(b != ''))",
     {{"a", 0, 0}, {"b", 3, 0}}},
    {"ForeignKeyEndsAnOrdinaryTable",
     "CREATE TABLE t (a INTEGER, b INTEGER, foreign key (b) REFERENCES p(id) ON DELETE CASCADE)",
     {{"a", 0, 0}, {"b", 0, 0}}},
    // "key" without "primary" makes no key.
    {"KeyInANameIsNoPrimaryKey",
     "CREATE TABLE t (key_remote_jid TEXT NOT NULL, key_id TEXT, UNIQUE (key_id))",
     {{"key_remote_jid", 3, 0}, {"key_id", 3, 0}}},
    {"QuotedKeywordsAreColumnNames",
     "CREATE TABLE t (\"check\" TEXT, \"primary\" INTEGER)",
     {{"check", 3, 0}, {"primary", 0, 0}}},
    {"ConstraintWithoutParenthesesIsAColumnText",
     "CREATE TABLE t (a INTEGER CONSTRAINT nn NOT NULL, b TEXT)",
     {{"a", 0, 0}, {"b", 3, 0}}},
    {"PrimaryKeyListEndsAnOrdinaryTable",
     "CREATE TABLE t (a INTEGER, b TEXT, PRIMARY KEY(a, b))",
     {{"a", 0, 0}, {"b", 3, 0}}},
    {"PrimaryKeySpaceListEndsAnOrdinaryTable",
     "CREATE TABLE t (a INTEGER, b TEXT, PRIMARY KEY (a, b))",
     {{"a", 0, 0}, {"b", 3, 0}}},
    // A tab separates name and type; CRLF line ends leave no "\r" column.
    {"TabsAndCrlfSeparateWords",
     "CREATE TABLE t (a INTEGER,\r\n b\tTEXT,\r\n c TEXT)",
     {{"a", 0, 0}, {"b", 3, 0}, {"c", 3, 0}}},
    // SQLite gives an untyped column no affinity (as a blob column).
    {"NameOnlyColumnsAreBlobs",
     "CREATE TABLE t (a, b TEXT, c)",
     {{"a", 4, 0}, {"b", 3, 0}, {"c", 4, 0}}},
    {"EmptyPiecesAreSkipped", "CREATE TABLE t (a TEXT,, ,b TEXT)", {{"a", 3, 0}, {"b", 3, 0}}},
    {"QuotedNames",
     "CREATE TABLE \"t\" (\"a\" INTEGER PRIMARY KEY, 'b' TEXT)",
     {{"a", 0, 1}, {"b", 3, 0}}},
    {"NewlinesInsideTheDefinition",
     "CREATE TABLE t (\n  a INTEGER,\n  b TEXT\n)",
     {{"a", 0, 0}, {"b", 3, 0}}},
    {"NoParentheses", "CREATE TABLE t AS SELECT 1", {}},
    {"NoClosingParenthesis", "CREATE TABLE t (a INTEGER", {}},
    {"EmptyText", "", {}},
    {"UnbalancedPieceNeverCompletes",
     "CREATE TABLE t (a INTEGER, b TEXT DEFAULT (1, c TEXT)",
     {{"a", 0, 0}}},
    // Virtual tables.
    {"VirtualTokenizeFirstGivesDocid",
     "CREATE VIRTUAL TABLE m USING fts4(tokenize=simple, content, sender)",
     {{"docid", 0, 0}, {"content", 3, 0}, {"sender", 3, 0}}},
    {"VirtualTokenizeLaterIsDropped",
     "create virtual table m using fts4(content, sender, tokenize=porter)",
     {{"content", 3, 0}, {"sender", 3, 0}}},
    {"VirtualTypedColumns",
     "CREATE VIRTUAL TABLE m USING fts3(id INTEGER PRIMARY KEY, body TEXT)",
     {{"id", 0, 1}, {"body", 3, 0}}},
    {"VirtualConstraintMarker",
     "CREATE VIRTUAL TABLE m USING x(a TEXT, CONSTRAINT c CHECK(a), b TEXT)",
     {{"a", 3, 0}, {"constraint", 13, 0}, {"b", 3, 0}}},
    {"VirtualPrimaryMarker",
     "CREATE VIRTUAL TABLE m USING x(a TEXT, b TEXT, PRIMARY KEY(a, b))",
     {{"a", 3, 0}, {"b", 3, 0}, {"primary", 14, 0}}},
    {"VirtualPrimaryKeySpaceListIsTheMarker",
     "CREATE VIRTUAL TABLE m USING x(a TEXT, b TEXT, PRIMARY KEY (a, b))",
     {{"a", 3, 0}, {"b", 3, 0}, {"primary", 14, 0}}},
    // The option word takes a slot like any unknown type.
    {"VirtualUnknownWordByAffinity",
     "CREATE VIRTUAL TABLE m USING fts5(a, b UNINDEXED)",
     {{"a", 3, 0}, {"b", 0, 0}}},
};

INSTANTIATE_TEST_SUITE_P(Rules, ParseCreateTableSqlTest, ::testing::ValuesIn(kRuleCases),
                         [](const ::testing::TestParamInfo<TableCase>& info) {
                           return std::string(info.param.label);
                         });

// --- ParseCreateTableSql on long and cut definitions ---------------------

// A call log whose type column lists `items` allowed values.
std::string CallsWithCheckList(int items) {
  std::string sql = "CREATE TABLE calls (_id INTEGER PRIMARY KEY, type INTEGER CHECK (type IN (";
  for (int i = 1; i <= items; ++i) sql += (i == 1 ? "" : ", ") + std::to_string(i);
  return sql + ")), duration LONG, amount DECIMAL(10, 2), CHECK (duration >= 0))";
}

const Columns kCallsWithCheckList = {
    {"_id", 0, 1}, {"type", 0, 0}, {"duration", 0, 0}, {"amount", 0, 0}};

TEST(LongDefinitionTest, AHundredThousandListItems) {
  EXPECT_EQ(kCallsWithCheckList, ParseCreateTableSql("calls", CallsWithCheckList(100000)));
  const std::atomic<int> stop{kStopRequested};
  EXPECT_EQ(Columns(), ParseCreateTableSql("calls", CallsWithCheckList(10), &stop));
}

// Every prefix parses to a prefix of the whole list, its last name perhaps
// cut short.
TEST(LongDefinitionTest, CutAtEveryByte) {
  const std::string definitions[] = {
      CallsWithCheckList(40),
      "CREATE VIRTUAL TABLE m USING fts4(tokenize=simple, content, sender, PRIMARY KEY (a, b), "
      "\"quoted \n name\" TEXT, CONSTRAINT c CHECK(a))"};
  for (const std::string& whole : definitions) {
    const Columns full = ParseCreateTableSql("t", whole);
    for (size_t length = 0; length <= whole.size(); ++length) {
      const Columns cut = ParseCreateTableSql("t", whole.substr(0, length));
      ASSERT_LE(cut.size(), full.size()) << whole.substr(0, length);
      for (size_t i = 0; i < cut.size(); ++i) {
        ASSERT_EQ(0u, full[i].name.rfind(cut[i].name, 0)) << whole.substr(0, length);
      }
    }
  }
}

// --- Helpers that read the schema of a database ---------------------------

constexpr char kCallsTable[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT,number TEXT,date INTEGER,"
    "duration INTEGER,type INTEGER,new INTEGER,name TEXT)";

// A full-text message table as chat applications keep them, numbered.
std::string FtsMessageTable(int number) {
  return "CREATE VIRTUAL TABLE fts_message_table_" + std::to_string(number) +
         " USING fts3(tokenize=simple, usernameid, MesLocalID, CreateTime, Message);";
}

class SchemaHelpersTest : public ::testing::Test {
 protected:
  std::unique_ptr<SQLite3Wrapper> OpenWith(const std::string& sql) {
    const std::string path = dir_.File("db" + std::to_string(++count_) + ".sqlite");
    test::RunSql(path, sql);
    auto db = OpenDatabase(path);
    EXPECT_NE(nullptr, db);
    return db;
  }

  test::TempDir dir_;
  int count_ = 0;
};

// A table without columns is found too.
TEST_F(SchemaHelpersTest, ReadsAnExistingTableAndNothingOfAMissingOne) {
  auto db = OpenWith(std::string(kCallsTable) + ";CREATE VIRTUAL TABLE messages_fts USING FTS3();");
  ASSERT_NE(nullptr, db);
  EXPECT_EQ(kCallsTable, GetCreateTableSql(*db, "calls"));
  EXPECT_EQ("", GetCreateTableSql(*db, "CALLS"));  // names compare exactly
  EXPECT_TRUE(CheckIsTableExist(*db, "calls"));
  EXPECT_TRUE(ColumnExists(*db, "calls", "number"));
  EXPECT_FALSE(ColumnExists(*db, "calls", "is_deleted"));
  TableSchema schema;
  ASSERT_EQ(1, LoadTableSchema(*db, "calls", &schema));
  EXPECT_EQ("calls", schema.name);
  ASSERT_EQ(1u, schema.variants.size());
  EXPECT_TRUE(schema.variants[0].first);
  const Columns expected = {{"_id", 0, 1},  {"number", 3, 0}, {"date", 0, 0}, {"duration", 0, 0},
                            {"type", 0, 0}, {"new", 0, 0},    {"name", 3, 0}};
  EXPECT_EQ(expected, schema.variants[0].second);

  TableSchema without_columns;
  ASSERT_EQ(1, LoadTableSchema(*db, "messages_fts", &without_columns));
  ASSERT_EQ(1u, without_columns.variants.size());
  EXPECT_TRUE(without_columns.variants[0].first);
  EXPECT_TRUE(without_columns.variants[0].second.empty());

  TableSchema missing;
  EXPECT_EQ(0, LoadTableSchema(*db, "sms", &missing));
  EXPECT_EQ("sms", missing.name);
  EXPECT_TRUE(missing.variants.empty());
  EXPECT_EQ(0, LoadTableSchema(*db, "fts_message_table_", &missing));
  EXPECT_EQ("", GetCreateTableSql(*db, "sms"));
  EXPECT_FALSE(CheckIsTableExist(*db, "sms"));
  EXPECT_FALSE(ColumnExists(*db, "sms", "number"));
}

TEST_F(SchemaHelpersTest, FtsMessageTableProbeTakesTheLowestNumberedTableUpToItsLimit) {
  auto first_numbered = OpenWith(FtsMessageTable(2) + FtsMessageTable(1));
  ASSERT_NE(nullptr, first_numbered);
  TableSchema schema;
  ASSERT_EQ(1, LoadTableSchema(*first_numbered, "fts_message_table_", &schema));
  EXPECT_EQ("fts_message_table_", schema.name);
  ASSERT_EQ(1u, schema.variants.size());
  const Columns expected = {{"docid", 0, 0},
                            {"usernameid", 3, 0},
                            {"MesLocalID", 3, 0},
                            {"CreateTime", 3, 0},
                            {"Message", 3, 0}};
  EXPECT_EQ(expected, schema.variants[0].second);

  auto with_zero =
      OpenWith(FtsMessageTable(1) +
               "CREATE VIRTUAL TABLE fts_message_table_0 USING fts3(tokenize=simple, usernameid);");
  ASSERT_NE(nullptr, with_zero);
  TableSchema zero;
  ASSERT_EQ(1, LoadTableSchema(*with_zero, "fts_message_table_", &zero));
  EXPECT_EQ((Columns{{"docid", 0, 0}, {"usernameid", 3, 0}}), zero.variants[0].second);
  // Only the exact prefix starts the probe.
  EXPECT_EQ(0, LoadTableSchema(*with_zero, "fts_message_table", &zero));

  // The probe stops at its limit.
  auto last_probed = OpenWith(FtsMessageTable(kFtsMessageTableProbeLimit - 1));
  ASSERT_NE(nullptr, last_probed);
  TableSchema found;
  EXPECT_EQ(1, LoadTableSchema(*last_probed, "fts_message_table_", &found));

  auto beyond = OpenWith(FtsMessageTable(kFtsMessageTableProbeLimit));
  ASSERT_NE(nullptr, beyond);
  TableSchema missing;
  EXPECT_EQ(0, LoadTableSchema(*beyond, "fts_message_table_", &missing));
  EXPECT_TRUE(missing.variants.empty());
}

TEST_F(SchemaHelpersTest, NamesWithQuotesAreLookedUpNotExecuted) {
  auto db = OpenWith(
      "CREATE TABLE \"o'brien\" (\"it's\" TEXT);"
      "CREATE TABLE calls (number TEXT);");
  ASSERT_NE(nullptr, db);
  EXPECT_TRUE(CheckIsTableExist(*db, "o'brien"));
  EXPECT_TRUE(ColumnExists(*db, "o'brien", "it's"));
  // Spliced into the SQL text these would have matched every table.
  EXPECT_FALSE(CheckIsTableExist(*db, "x' OR tbl_name = 'calls"));
  EXPECT_FALSE(ColumnExists(*db, "calls') --", "number"));
  EXPECT_FALSE(ColumnExists(*db, "calls", "x' OR '1'='1"));
  EXPECT_EQ("", GetCreateTableSql(*db, "x' OR '1'='1"));
}

// Tests of the error paths follow.

TEST_F(SchemaHelpersTest, FailedPrepareReadsAsMissingAndIsLogged) {
  const std::string log_path = dir_.File("KxDataPackage.log");
  const std::string path = dir_.File("not_a_database.sqlite");
  test::WriteFileBytes(path, std::string(4096, '\x5A'));
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);

  InitLogEx(nullptr, kLogModule, log_path.c_str());
  EXPECT_FALSE(CheckIsTableExist(*db, "calls"));
  InitLogEx(nullptr, kLogModule, "");
  EXPECT_FALSE(ColumnExists(*db, "calls", "number"));
  EXPECT_EQ("", GetCreateTableSql(*db, "calls"));
  TableSchema schema;
  EXPECT_EQ(0, LoadTableSchema(*db, "calls", &schema));

  const std::string log = test::ReadFileBytes(log_path);
  EXPECT_NE(std::string::npos, log.find("[2] [KxPackageDataSDK] [CheckIsTableExist](")) << log;
  EXPECT_NE(std::string::npos,
            log.find("): Query failed! sql:{select count(*) from sqlite_master where type = "
                     "'table' and tbl_name = ?}, Sqlite3 error message:{file is not a database}"))
      << log;
}

}  // namespace
}  // namespace kx
