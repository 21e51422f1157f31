// The read-ahead VFS every connection of the library opens through: what
// it reads is what the file holds, in every order of reading, at the end
// of the file, and after another connection changed the file.
#include "common/sqlite_read_ahead.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "test_support.h"

namespace kx {
namespace {

using test::RunSql;

// Rows of many sizes, one in a thousand overflowing its page, over some
// 3 MB, the index built after the table so that each lies in order in the
// file: the file's size is no multiple of a window.
std::string MakeStore(const std::string& path, const char* journal_mode) {
  RunSql(path, std::string("PRAGMA journal_mode=") + journal_mode +
                   ";CREATE TABLE t (id INTEGER PRIMARY KEY, body TEXT);"
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                   "20001) INSERT INTO t SELECT i, printf('%d:%.*c', i, CASE WHEN i % 1000 = 0 "
                   "THEN 9000 ELSE (i * 37) % 250 END, 'x') FROM n;"
                   "CREATE INDEX t_body ON t (body);");
  return path;
}

// The answers of `queries`, one text each, read through `db`.
std::string Answers(sqlite3* db, const std::vector<std::string>& queries) {
  std::string answers;
  for (const std::string& query : queries) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, query.c_str(), -1, &statement, nullptr)) << query;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      for (int column = 0; column < sqlite3_column_count(statement); ++column) {
        const unsigned char* text = sqlite3_column_text(statement, column);
        answers += text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
        answers += '|';
      }
    }
    EXPECT_EQ(SQLITE_DONE, rc) << query;
    sqlite3_finalize(statement);
    answers += '\n';
  }
  return answers;
}

// Sweeps forward and back, through the index and the table together,
// look-ups in key order that skip rows between them, look-ups in a
// scattered order, and a sum that reads every page.
const std::vector<std::string>& Queries() {
  static const std::vector<std::string> queries = {
      "SELECT id, length(body), substr(body, 1, 8) FROM t",
      "SELECT id, length(body) FROM t ORDER BY id DESC",
      "SELECT id, substr(body, -3) FROM t INDEXED BY t_body WHERE body > '2' ORDER BY body",
      "SELECT t.id, u.body FROM t JOIN t AS u ON u.id = t.id * 40 WHERE t.id <= 500",
      "SELECT t.id, length(t.body) FROM t JOIN t AS u ON u.id = (t.id * 7919) % 20001 + 1",
      "SELECT count(*), sum(length(body)), max(body) FROM t",
  };
  return queries;
}

class SqliteReadAheadTest : public ::testing::TestWithParam<const char*> {
 protected:
  test::TempDir dir_;
};

TEST_P(SqliteReadAheadTest, ReadsWhatTheFileHoldsInEveryOrder) {
  const std::string path = MakeStore(dir_.File("store.db"), GetParam());
  sqlite3* plain = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr));
  const std::string expected = Answers(plain, Queries());
  sqlite3_close(plain);
  auto db = OpenDatabase(path, OpenMode::kReadOnly);
  ASSERT_NE(nullptr, db);
  EXPECT_EQ(expected, Answers(db->handle(), Queries()));
  // Within one transaction too, where nothing drops the windows.
  ASSERT_EQ(SQLITE_OK, db->Exec("BEGIN"));
  EXPECT_EQ(expected, Answers(db->handle(), Queries()));
  ASSERT_EQ(SQLITE_OK, db->Exec("COMMIT"));
}

// Another connection's changes are read once its transaction is over, and
// this connection's own changes at once: the rows at the end of the table,
// which its last sweep left in its windows, changed in place.
TEST_P(SqliteReadAheadTest, ReadsChangesMadeBetweenItsReads) {
  const std::string path = MakeStore(dir_.File("store.db"), GetParam());
  auto reader = OpenDatabase(path, OpenMode::kReadWrite);
  ASSERT_NE(nullptr, reader);
  const std::vector<std::string> last_rows = {"SELECT id, body FROM t WHERE id > 19990"};
  const std::string before = Answers(reader->handle(), {"SELECT sum(length(body)) FROM t"}) +
                             Answers(reader->handle(), last_rows);
  sqlite3* writer = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr));
  ASSERT_EQ(SQLITE_OK,
            sqlite3_exec(writer, "UPDATE t SET body = replace(body, 'x', 'y') WHERE id > 19990",
                         nullptr, nullptr, nullptr));
  const std::string expected = Answers(writer, last_rows);
  sqlite3_close(writer);
  EXPECT_EQ(std::string::npos, expected.find('x'));
  EXPECT_EQ(expected, Answers(reader->handle(), last_rows));
  ASSERT_EQ(SQLITE_OK, reader->Exec("DELETE FROM t WHERE id % 2 = 1"));
  EXPECT_EQ("10000|\n", Answers(reader->handle(), {"SELECT count(*) FROM t"}));
  EXPECT_NE(before, expected);
}

INSTANTIATE_TEST_SUITE_P(JournalModes, SqliteReadAheadTest, ::testing::Values("DELETE", "WAL"));

}  // namespace
}  // namespace kx
