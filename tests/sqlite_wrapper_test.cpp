#include "common/sqlite_wrapper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/ordered_lookup.h"
#include "common/row_id_bits.h"
#include "common/table_schema.h"
#include "samples/android_call_log.h"
#include "samples/android_telephony.h"
#include "test_support.h"

namespace kx {
namespace {

using test::QueryColumn;
using test::RunSql;
using Rows = std::vector<std::string>;

// The first statement of the provider's own trigger, and a hostile one.
constexpr char kSmsTriggers[] =
    "CREATE TRIGGER sms_update_thread_on_insert AFTER INSERT ON sms BEGIN  UPDATE threads SET "
    "   date = (strftime('%s','now') * 1000),     snippet = new.body,     snippet_cs = 0  WHERE "
    "threads._id = new.thread_id; END;"
    "CREATE TRIGGER wipe_threads AFTER INSERT ON sms BEGIN DELETE FROM threads; END;";

// Android calllog.db, as the provider creates it.
const std::string kCallsTable = std::string(samples::AndroidCallsTableSql(2)) + ";";

class SqliteWrapperTest : public ::testing::Test {
 protected:
  // A call log with `rows` calls.
  std::string MakeCallLog(const std::string& name, int rows) {
    const std::string path = dir_.File(name);
    std::string sql = kCallsTable;
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(rows) +
           ") INSERT INTO calls (number, date, duration, type, name) "
           "SELECT '+1555' || i, 1600000000000 + i, i, 1, printf('%.200c', 'x') FROM n;";
    RunSql(path, sql);
    return path;
  }

  std::unique_ptr<SQLite3Wrapper> OpenCallLog() {
    auto db = OpenDatabase(MakeCallLog("calllog.db", 3));
    EXPECT_NE(nullptr, db);
    return db;
  }

  test::TempDir dir_;
};

// Many look-ups share one read transaction, ended when the guard goes; a
// closed database takes none.
TEST_F(SqliteWrapperTest, ReadTransactionSpansItsScopeAndTextViewsKeepTheBytes) {
  auto db = OpenCallLog();
  ASSERT_NE(nullptr, db);
  {
    const ReadTransaction transaction(*db);
    EXPECT_EQ(0, sqlite3_get_autocommit(db->handle()));
    SqliteStatement query = PrepareStatement(*db, "SELECT number, x'610062' FROM calls");
    ASSERT_EQ(SQLITE_ROW, query.Step());
    EXPECT_EQ("+15551", query.ColumnTextView(0));
    EXPECT_EQ(std::string("a\0b", 3), query.ColumnTextView(1));
    EXPECT_TRUE(SqliteStatement().ColumnTextView(0).empty());
  }
  EXPECT_EQ(1, sqlite3_get_autocommit(db->handle()));
  SQLite3Wrapper closed(dir_.File("never.db"));
  const ReadTransaction nothing(closed);
}

TEST_F(SqliteWrapperTest, BindersCopyTheirValues) {
  const std::string path = dir_.File("values.db");
  auto db = OpenDatabase(path, OpenMode::kReadWriteCreate);
  ASSERT_NE(nullptr, db);
  ASSERT_EQ(SQLITE_OK, db->Exec("CREATE TABLE v (t TEXT, i INTEGER, l INTEGER, d REAL, b BLOB, "
                                "e BLOB, n TEXT)"));
  SqliteStatement insert = PrepareStatement(*db, "INSERT INTO v VALUES (?, ?, ?, ?, ?, ?, ?)");
  {
    // The bound text and bytes die before the step.
    std::string text = "O'Brien \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC";
    std::vector<uint8_t> bytes = {0x00, 0xFF, 0x10};
    EXPECT_EQ(SQLITE_OK, insert.BindText(1, text));
    EXPECT_EQ(SQLITE_OK, insert.BindInt(2, -7));
    EXPECT_EQ(SQLITE_OK, insert.BindInt64(3, int64_t{1} << 40));
    EXPECT_EQ(SQLITE_OK, insert.BindDouble(4, 2.5));
    EXPECT_EQ(SQLITE_OK, insert.BindBlob(5, bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(SQLITE_OK, insert.BindBlob(6, nullptr, 0));
    EXPECT_EQ(SQLITE_OK, insert.BindNull(7));
    text.assign(text.size(), '?');
    bytes.assign(bytes.size(), 0xAA);
  }
  ASSERT_EQ(SQLITE_DONE, insert.Step());
  insert.Finalize();
  db.reset();

  EXPECT_EQ(Rows({"O'Brien \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC|-7|1099511627776|2.5|00FF10|"
                  "blob:0|null"}),
            QueryColumn(path,
                        "SELECT t || '|' || i || '|' || l || '|' || d || '|' || hex(b) || "
                        "'|' || typeof(e) || ':' || length(e) || '|' || typeof(n) FROM v"));
}

TEST_F(SqliteWrapperTest, ReadersOfAStatementWithoutHandleGiveEmptyValues) {
  SqliteStatement never_prepared;
  EXPECT_FALSE(never_prepared.prepared());
  EXPECT_EQ(0, never_prepared.ColumnCount());
  EXPECT_EQ(SQLITE_NULL, never_prepared.ColumnType(0));
  EXPECT_EQ("", never_prepared.ColumnName(0));
  EXPECT_EQ("", never_prepared.ColumnText(0));
  EXPECT_EQ(0, never_prepared.ColumnInt(0));
  EXPECT_EQ(0, never_prepared.ColumnInt64(0));
  EXPECT_EQ(0.0, never_prepared.ColumnDouble(0));
  EXPECT_TRUE(never_prepared.ColumnBlob(0).empty());
  EXPECT_NE(SQLITE_OK, never_prepared.Step());
  EXPECT_NE(SQLITE_OK, never_prepared.BindText(1, "x"));
  EXPECT_EQ(SQLITE_OK, never_prepared.Finalize());
}

TEST_F(SqliteWrapperTest, MovedStatementIsFinalizedOnce) {
  auto db = OpenCallLog();
  ASSERT_NE(nullptr, db);
  SqliteStatement first = PrepareStatement(*db, "SELECT number FROM calls ORDER BY _id");
  SqliteStatement moved = std::move(first);
  EXPECT_FALSE(first.prepared());  // NOLINT(bugprone-use-after-move): moved-from state
  ASSERT_EQ(SQLITE_ROW, moved.Step());
  EXPECT_EQ("+15551", moved.ColumnText(0));

  moved = PrepareStatement(*db, "SELECT count(*) FROM calls");
  ASSERT_EQ(SQLITE_ROW, moved.Step());
  EXPECT_EQ(3, moved.ColumnInt(0));
  // Every statement was finalized: the connection closes without the busy path.
  moved.Finalize();
  EXPECT_EQ(nullptr, sqlite3_next_stmt(db->handle(), nullptr));
}

TEST_F(SqliteWrapperTest, OpenModes) {
  const std::string created = dir_.File("created.db");
  SQLite3Wrapper create_db(created);
  EXPECT_EQ(SQLITE_OK, create_db.Open(OpenMode::kReadWriteCreate));
  EXPECT_EQ(SQLITE_OK, create_db.Exec("CREATE TABLE t (a TEXT)"));
  EXPECT_EQ(SQLITE_OK, create_db.Close());
  EXPECT_TRUE(std::filesystem::exists(created));

  SQLite3Wrapper read_only(created);
  ASSERT_EQ(SQLITE_OK, read_only.Open(OpenMode::kReadOnly));
  EXPECT_EQ(SQLITE_READONLY, read_only.Exec("INSERT INTO t VALUES ('x')"));
}

// --- The open-database registry -------------------------------------------

TEST_F(SqliteWrapperTest, RegistryFollowsTheOpeningThroughALateClose) {
  auto db = OpenCallLog();
  ASSERT_NE(nullptr, db);
  sqlite3* const handle = db->handle();
  const int64_t tick = db->open_tick();
  bool closed = true;
  EXPECT_FALSE(IsRegisteredOpening(handle, tick, &closed));
  SqliteStatement finalized_early = PrepareStatement(*db, "SELECT 1");
  ASSERT_TRUE(IsRegisteredOpening(handle, tick, &closed));
  EXPECT_FALSE(closed);
  // Finalizing on an open database keeps the entry.
  EXPECT_EQ(SQLITE_OK, finalized_early.Finalize());
  EXPECT_TRUE(IsRegisteredOpening(handle, tick, &closed));
  EXPECT_FALSE(closed);

  SqliteStatement reading = PrepareStatement(*db, "SELECT number FROM calls");
  SqliteStatement idle = PrepareStatement(*db, "SELECT count(*) FROM calls");
  ASSERT_EQ(SQLITE_ROW, reading.Step());  // holds a read transaction
  EXPECT_EQ(SQLITE_OK, db->Close());
  EXPECT_EQ(nullptr, db->handle());
  ASSERT_TRUE(IsRegisteredOpening(handle, tick, &closed));
  EXPECT_TRUE(closed);

  // The first late finalize removes the entry; neither touches SQLite (the
  // address sanitizer would report a use of the freed statements).
  EXPECT_EQ(SQLITE_OK, reading.Finalize());
  EXPECT_FALSE(reading.prepared());
  EXPECT_FALSE(IsRegisteredOpening(handle, tick, &closed));
  EXPECT_EQ(SQLITE_OK, idle.Finalize());
  EXPECT_FALSE(idle.prepared());
}

// Opening, reading the schema and closing, as every package call does,
// leaves no entry behind, whether the statements were finalized before the
// close or after it.
TEST_F(SqliteWrapperTest, ClosedOpeningsLeaveNoEntry) {
  const std::string path = MakeCallLog("calllog.db", 1);
  const size_t before = RegisteredOpeningCount();
  for (int round = 0; round < 3; ++round) {
    SQLite3Wrapper checked(path);
    ASSERT_TRUE(CheckSourceDatabase(&checked).ok());
    EXPECT_EQ(SQLITE_OK, checked.Close());
    SqliteStatement late;
    {
      auto db = OpenDatabase(path);
      ASSERT_NE(nullptr, db);
      late = PrepareStatement(*db, "SELECT number FROM calls");
      ASSERT_EQ(SQLITE_ROW, late.Step());
    }
    EXPECT_EQ(SQLITE_OK, late.Finalize());
  }
  EXPECT_EQ(before, RegisteredOpeningCount());
}

TEST_F(SqliteWrapperTest, ReusedHandleIsNotMistakenForTheClosedOpening) {
  const std::string path = MakeCallLog("reuse.db", 2);
  SqliteStatement stale;
  SQLite3Wrapper db(path);
  ASSERT_EQ(SQLITE_OK, db.Open());
  const int64_t first_tick = db.open_tick();
  stale = PrepareStatement(db, "SELECT number FROM calls");
  ASSERT_EQ(SQLITE_OK, db.Close());

  // The same wrapper opens again; SQLite may hand out the same address.
  ASSERT_EQ(SQLITE_OK, db.Open());
  EXPECT_GT(db.open_tick(), first_tick);
  SqliteStatement fresh = PrepareStatement(db, "SELECT count(*) FROM calls");
  EXPECT_EQ(SQLITE_OK, stale.Finalize());  // must leave the new opening alone
  bool closed = true;
  ASSERT_TRUE(IsRegisteredOpening(db.handle(), db.open_tick(), &closed));
  EXPECT_FALSE(closed);
  ASSERT_EQ(SQLITE_ROW, fresh.Step());
  EXPECT_EQ(2, fresh.ColumnInt(0));
}

// --- Busy handler and error log -------------------------------------------

struct BusyContext {
  sqlite3* holder = nullptr;
  int calls = 0;
};

// Called on the waiting connection: the first call lets the holder commit,
// then the library's handler decides whether SQLite tries again.
int ReleaseThenWait(void* context, int attempts) {
  auto* busy = static_cast<BusyContext*>(context);
  ++busy->calls;
  if (attempts == 0) sqlite3_exec(busy->holder, "COMMIT", nullptr, nullptr, nullptr);
  return SqliteBusyWait(nullptr, attempts);
}

TEST_F(SqliteWrapperTest, BusyWaitMakesSqliteRetry) {
  const std::string path = MakeCallLog("busy.db", 1);
  SQLite3Wrapper holder(path);
  SQLite3Wrapper waiter(path);
  ASSERT_EQ(SQLITE_OK, holder.Open());
  ASSERT_EQ(SQLITE_OK, waiter.Open());
  ASSERT_EQ(SQLITE_OK, holder.Exec("BEGIN IMMEDIATE"));

  BusyContext busy{holder.handle(), 0};
  sqlite3_busy_handler(waiter.handle(), ReleaseThenWait, &busy);
  EXPECT_EQ(SQLITE_OK, waiter.Exec("INSERT INTO calls (number) VALUES ('+100')"));
  EXPECT_GE(busy.calls, 1);
}

TEST_F(SqliteWrapperTest, ErrorLogLineCarriesOperationLineAndMessage) {
  const std::string log_path = dir_.File("KxDataPackage.log");
  InitLogEx(nullptr, kLogModule, log_path.c_str());
  auto db = OpenCallLog();
  ASSERT_NE(nullptr, db);
  SqliteStatement failed = PrepareStatement(*db, "SELECT * FROM no_such_table");
  EXPECT_FALSE(failed.prepared());
  db->SQLiteErrorLog(321);
  InitLogEx(nullptr, kLogModule, "");

  const std::string log = test::ReadFileBytes(log_path);
  EXPECT_NE(std::string::npos,
            log.find("[3] [KxPackageDataSDK] [SQLite3Wrapper::SQLiteErrorLog](321): SQLite Error : "
                     "no such table: no_such_table\n"))
      << log;
}

// --- Defences against hostile and damaged files ---------------------------

TEST_F(SqliteWrapperTest, TriggersOfTheFileDoNotFire) {
  const std::string path = dir_.File("mmssms.db");
  RunSql(path, std::string(samples::AndroidTelephonySchemaSql(2)) + kSmsTriggers +
                   "INSERT INTO threads (_id, snippet) VALUES (1, 'before');");
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);
  SqliteStatement insert =
      PrepareStatement(*db, "INSERT INTO sms (thread_id, address, body) VALUES (1, ?, ?)");
  insert.BindText(1, "+15550100");
  insert.BindText(2, "after");
  EXPECT_EQ(SQLITE_DONE, insert.Step());
  insert.Finalize();
  db.reset();

  EXPECT_EQ(Rows({"1"}), QueryColumn(path, "SELECT count(*) FROM sms"));
  EXPECT_EQ(Rows({"before"}), QueryColumn(path, "SELECT snippet FROM threads"));
}

// contacts2.db indexes raw_contacts with Android's own PHONEBOOK collation;
// the table can still be changed and filled on this platform.
TEST_F(SqliteWrapperTest, PlatformCollationsOfThePhoneAreSupplied) {
  const std::string path = dir_.File("contacts2.db");
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &raw));
    sqlite3_create_collation(raw, "PHONEBOOK", SQLITE_UTF8, nullptr,
                             [](void*, int, const void*, int, const void*) { return 0; });
    EXPECT_EQ(
        SQLITE_OK,
        sqlite3_exec(raw,
                     "CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                     " display_name TEXT, sort_key TEXT COLLATE PHONEBOOK);"
                     "CREATE INDEX raw_sort_key1_index ON raw_contacts (sort_key);"
                     "INSERT INTO raw_contacts (display_name, sort_key) VALUES ('Ann', 'Ann');",
                     nullptr, nullptr, nullptr));
    sqlite3_close(raw);
  }
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);
  EXPECT_EQ(SQLITE_OK,
            db->Exec("ALTER TABLE raw_contacts ADD COLUMN is_deleted INTEGER DEFAULT 0"));
  EXPECT_EQ(SQLITE_OK, db->Exec("INSERT INTO raw_contacts (display_name, sort_key, is_deleted)"
                                " VALUES ('Bob', 'Bob', 1)"));
  db.reset();
  EXPECT_EQ(Rows({"Ann|0", "Bob|1"}),
            QueryColumn(path, "SELECT display_name || '|' || is_deleted FROM raw_contacts"));
}

TEST_F(SqliteWrapperTest, ViewPosingAsTableReadsAsMissing) {
  const std::string path = dir_.File("calllog.db");
  RunSql(path,
         "CREATE TABLE calls_real (_id INTEGER PRIMARY KEY, number TEXT);"
         "INSERT INTO calls_real (number) VALUES ('+15550100');"
         "CREATE VIEW calls AS SELECT * FROM calls_real;");
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);
  EXPECT_FALSE(CheckIsTableExist(*db, "calls"));
  SqliteStatement query = PrepareStatement(*db, "SELECT number FROM calls");
  EXPECT_FALSE(query.prepared());
  EXPECT_NE(SQLITE_OK, query.result_code());
  EXPECT_NE(std::string::npos, db->ErrorMessage().find("view")) << db->ErrorMessage();
}

TEST_F(SqliteWrapperTest, SchemaCannotBeRewritten) {
  auto db = OpenCallLog();
  ASSERT_NE(nullptr, db);
  db->Exec("PRAGMA writable_schema=ON");
  EXPECT_NE(SQLITE_OK, db->Exec("UPDATE sqlite_master SET sql = 'CREATE TABLE calls (x)'"));
  EXPECT_EQ(samples::AndroidCallsTableSql(2), GetCreateTableSql(*db, "calls"));
}

// Row ids another table refers to, held as bits over a range: only whole
// integers of the range count, and a span too large or a column that cannot
// be read holds nothing, so that every id "may" be there.
TEST_F(SqliteWrapperTest, RowIdBitsHoldTheReferencedIdsOfTheRange) {
  const std::string path = dir_.File("refs.db");
  RunSql(path,
         "CREATE TABLE message (_id INTEGER PRIMARY KEY);"
         "INSERT INTO message VALUES (-3), (5), (200);"
         "CREATE TABLE link (message_row_id);"
         "INSERT INTO link VALUES (-3), (5), (5), (64), (63), (200), (201), (NULL), ('7'), "
         "(8.5), (X'09'), (-4), (9223372036854775807);");
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);
  int64_t first = 0;
  int64_t last = 0;
  ASSERT_TRUE(ReadIdRange(*db, "message", "_id", &first, &last));
  EXPECT_EQ(-3, first);
  EXPECT_EQ(200, last);

  RowIdBits bits;
  ASSERT_TRUE(bits.Load(*db, "link", "message_row_id", first, last));
  std::vector<int64_t> held;
  for (int64_t id = -10; id <= 210; ++id) {
    if (bits.Contains(id)) held.push_back(id);
  }
  EXPECT_EQ((std::vector<int64_t>{-3, 5, 63, 64, 200}), held);
  EXPECT_FALSE(bits.MayContain(6));
  EXPECT_FALSE(bits.Contains(INT64_MAX));
  EXPECT_FALSE(bits.Contains(INT64_MIN));

  const struct {
    const char* table;
    const char* column;
    int64_t first, last;
  } unheld[] = {
      {"link", "message_row_id", 0, RowIdBits::kMaxSpan},
      {"link", "message_row_id", INT64_MIN, INT64_MAX},
      {"link", "message_row_id", 10, 9},
      {"link", "absent", 0, 10},
      {"absent", "message_row_id", 0, 10},
  };
  for (const auto& c : unheld) {
    RowIdBits none;
    EXPECT_FALSE(none.Load(*db, c.table, c.column, c.first, c.last)) << c.table << c.column;
    EXPECT_FALSE(none.loaded());
    EXPECT_TRUE(none.MayContain(5));
    EXPECT_FALSE(none.Contains(5));
  }
  RowIdBits widest;
  EXPECT_TRUE(widest.Load(*db, "link", "message_row_id", 0, RowIdBits::kMaxSpan - 1));
  EXPECT_TRUE(widest.Contains(64));

  RunSql(path, "CREATE TABLE empty (_id INTEGER PRIMARY KEY);");
  auto reopened = OpenDatabase(path);
  ASSERT_NE(nullptr, reopened);
  EXPECT_FALSE(ReadIdRange(*reopened, "empty", "_id", &first, &last));
  EXPECT_FALSE(ReadIdRange(*reopened, "absent", "_id", &first, &last));
}

// Look-ups of keys asked in any order give the rows a point look-up gives:
// in order with gaps, back to an earlier key (the next chat), further ahead
// than the walk steps, the same key twice, before the first row and past
// the last. Orders that move the cursor for most keys turn the look-ups
// into point look-ups, with the same answers; a key that is not the
// table's row id gets point look-ups from the start.
TEST_F(SqliteWrapperTest, OrderedLookupFindsWhatAPointLookUpFinds) {
  const std::string path = dir_.File("satellites.db");
  // Every third key from 0 to 29997, with "v<key>".
  const auto rows = [](const char* more_columns) {
    return std::string(
               "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 3 FROM n WHERE i < 29997) "
               "SELECT i, ") +
           more_columns + "'v' || i FROM n;";
  };
  RunSql(path,
         "CREATE TABLE thumb (message_row_id INTEGER PRIMARY KEY, thumbnail BLOB);"
         "INSERT INTO thumb " +
             rows("") +
             "CREATE TABLE twice (message_row_id INTEGER, thumbnail BLOB);"
             "INSERT INTO twice " +
             rows("") + "INSERT INTO twice " + rows("") +
             "CREATE TABLE keyed (message_row_id INTEGER PRIMARY KEY, thumbnail) WITHOUT ROWID;"
             "INSERT INTO keyed " +
             rows("") +
             "CREATE TABLE wide (message_row_id BIGINT PRIMARY KEY, thumbnail BLOB);"
             "INSERT INTO wide " +
             rows("") +
             "CREATE TABLE pair (message_row_id INTEGER, n INTEGER, thumbnail, "
             "PRIMARY KEY (message_row_id, n));"
             "INSERT INTO pair " +
             rows("0, "));
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);
  const auto has_row = [](int64_t key) { return key >= 0 && key <= 29997 && key % 3 == 0; };

  std::vector<int64_t> ascending;
  for (int64_t key = -2; key <= 30002; ++key) ascending.push_back(key);
  std::vector<int64_t> chats;
  for (const int64_t start : {9000, 0, 20000, 50, 29990}) {
    for (int64_t key = start; key < start + 120; ++key) chats.push_back(key);
  }
  std::vector<int64_t> far_ahead;
  for (int64_t key = 0; key <= 30000; key += 99) far_ahead.push_back(key);
  std::vector<int64_t> scattered;
  for (int64_t i = 0; i < 2000; ++i) scattered.push_back(i * 7919 % 30011);
  const std::vector<int64_t> edges = {-5,    29997,     29998,     30000, 3, 3,
                                      99999, INT64_MAX, INT64_MIN, 0,     0, 6};
  const struct {
    const char* name;
    const std::vector<int64_t>& keys;
    bool still_walking;
  } orders[] = {{"ascending", ascending, true},
                {"chats", chats, true},
                {"far ahead", far_ahead, false},
                {"scattered", scattered, false},
                {"edges", edges, true}};
  for (const char* table : {"thumb", "twice", "keyed", "wide", "pair"}) {
    const bool row_id = std::string(table) == "thumb";
    for (const auto& order : orders) {
      SCOPED_TRACE(std::string(table) + ", " + order.name);
      OrderedLookup lookup(*db, table, "message_row_id", "thumbnail");
      ASSERT_TRUE(lookup.prepared());
      for (const int64_t key : order.keys) {
        ASSERT_EQ(has_row(key), lookup.Find(key)) << key;
        if (!has_row(key)) continue;
        ASSERT_EQ(key, lookup.row().ColumnInt64(0));
        ASSERT_EQ("v" + std::to_string(key), lookup.row().ColumnText(1));
      }
      EXPECT_EQ(row_id && order.still_walking, lookup.walking());
    }
  }

  for (const auto& [table, columns] : {std::pair<const char*, const char*>{"absent", "thumbnail"},
                                       {"thumb", "absent"},
                                       {"thumb", ""}}) {
    OrderedLookup none(*db, table, "message_row_id", columns);
    EXPECT_FALSE(none.prepared()) << table << columns;
    EXPECT_FALSE(none.Find(3));
  }
}

// Tests of the error paths follow.

TEST_F(SqliteWrapperTest, MissingFileFailsToOpenAndPrepares) {
  const std::string path = dir_.File("absent.db");
  SQLite3Wrapper db(path);
  SqliteStatement never_opened = PrepareStatement(db, "SELECT 1");
  EXPECT_FALSE(never_opened.prepared());
  EXPECT_NE(SQLITE_OK, never_opened.result_code());
  EXPECT_EQ("", db.ErrorMessage());
  EXPECT_EQ(SQLITE_MISUSE, db.Exec("SELECT 1"));

  EXPECT_EQ(SQLITE_CANTOPEN, db.Open(OpenMode::kReadWrite));
  EXPECT_NE(nullptr, db.handle());
  EXPECT_EQ(SQLITE_OK, db.Close());
  EXPECT_EQ(nullptr, db.handle());
  EXPECT_EQ(nullptr, OpenDatabase(path));
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace kx
