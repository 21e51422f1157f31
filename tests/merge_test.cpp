#include "common/merge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "common/status.h"
#include "samples/android_call_log.h"
#include "test_support.h"

namespace kx {
namespace {

using test::QueryColumn;
using test::RunSql;
using Rows = std::vector<std::string>;

// The Android call log table as the provider creates it.
const std::string kCallsTable = std::string(samples::AndroidCallsTableSql(1)) + ";";

// Android mmssms.db tables: sms rows point at their thread by thread_id.
std::string ThreadsTable() { return test::DataFile("merge/threads_table.sql"); }
std::string SmsTable() { return test::DataFile("merge/sms_table.sql"); }
std::string CanonicalAddressesTable() {
  return test::DataFile("merge/canonical_addresses_table.sql");
}

// Call history merges calls by (number, date); SMS merges threads and sms,
// renumbering their _id.
std::string ConfigRows() { return test::DataFile("merge/config_rows.sql"); }

constexpr char kPrimaryCalls[] =
    "INSERT INTO calls (number, date, duration, type, name) VALUES"
    " ('5550001', 1600000000000, 30, 1, 'Ann'), ('5550002', 1600000100000, 0, 3, 'Bob');";

using MergeFunction = int (*)(SqliteConfig&, const std::string&, FileQueue&, int, int,
                              const std::atomic<int>*);

class MergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string layout =
        test::ReadFileBytes(std::string(KX_TEST_SOURCE_DIR) + "/config/00_schema.sql");
    RunSql(config_path_, layout + ConfigRows());
    config_ = OpenSqliteConfig(config_path_);
    ASSERT_NE(nullptr, config_);
  }

  // A staged call log database: the table plus `rows`.
  std::string CallLog(const std::string& name, const std::string& rows) {
    const std::string path = dir_.File(name);
    RunSql(path, std::string(kCallsTable) + rows);
    return path;
  }

  std::string SmsDatabase(const std::string& name, const std::string& sql) {
    const std::string path = dir_.File(name);
    RunSql(path, sql);
    return path;
  }

  int MergeCalls(MergeFunction merge, const std::atomic<int>* stop = nullptr) {
    return merge(*config_, primary_, copies_, kSystemAndroid, kConfigCallHistory, stop);
  }

  Rows Calls(const std::string& path) {
    return QueryColumn(path, "SELECT number||':'||is_deleted FROM calls ORDER BY number");
  }

  test::TempDir dir_;
  std::string config_path_ = dir_.File(kConfigDbName);
  std::unique_ptr<SqliteConfig> config_;
  std::string primary_;
  FileQueue copies_;
};

// Cases that hold for both variants of the merge.
class MergeVariantTest : public MergeTest, public ::testing::WithParamInterface<MergeFunction> {};

TEST_P(MergeVariantTest, CopyRowsArriveOnceMarkedDeleted) {
  primary_ = CallLog("calllog.db", kPrimaryCalls);
  // Both copies hold 5550003; the first also repeats a primary row.
  copies_.Push(CallLog("copy1.db", std::string(kPrimaryCalls) +
                                       "INSERT INTO calls (number, date, duration, type, name) "
                                       "VALUES ('5550003', 1600000200000, 12, 2, 'Cy');"));
  copies_.Push(CallLog("copy2.db",
                       "INSERT INTO calls (number, date, duration, type, name) VALUES"
                       " ('5550003', 1600000200000, 12, 2, 'Cy'),"
                       " ('5550004', 1600000300000, 5, 1, NULL),"
                       " ('5550005', NULL, 0, 3, 'Dee');"));
  EXPECT_EQ(0, MergeCalls(GetParam()));
  EXPECT_TRUE(copies_.Empty());
  EXPECT_EQ((Rows{"5550001:0", "5550002:0", "5550003:1", "5550004:1", "5550005:1"}),
            Calls(primary_));
  EXPECT_EQ((Rows{"5550003|1600000200000|12|2|Cy", "5550004|1600000300000|5|1|NULL",
                  "5550005|NULL|0|3|Dee"}),
            QueryColumn(primary_,
                        "SELECT number||'|'||ifnull(date,'NULL')||'|'||duration||'|'||type||'|'||"
                        "ifnull(name,'NULL') FROM calls WHERE is_deleted = 1 ORDER BY number"));
  EXPECT_EQ((Rows{"calls_unique_key_index"}),
            QueryColumn(primary_, "SELECT name FROM sqlite_master WHERE type = 'index'"));
}

// canonical_addresses has fields but is no scan table: it is not merged.
TEST_P(MergeVariantTest, CopyLackingATableStillMergesTheOthers) {
  primary_ =
      SmsDatabase("mmssms.db", ThreadsTable() + SmsTable() + CanonicalAddressesTable() +
                                   "INSERT INTO threads (_id, recipient_ids) VALUES (1, '1');"
                                   "INSERT INTO sms (_id, thread_id, address, date, body)"
                                   " VALUES (1, 1, '5551', 1000, 'hi');"
                                   "INSERT INTO canonical_addresses (address) VALUES ('5551');");
  copies_.Push(
      SmsDatabase("copy.db", SmsTable() + CanonicalAddressesTable() +
                                 "INSERT INTO sms (_id, thread_id, address, date, body)"
                                 " VALUES (10, 1, '5551', 2000, 'gone');"
                                 "INSERT INTO canonical_addresses (address) VALUES ('5559');"));
  EXPECT_EQ(0, GetParam()(*config_, primary_, copies_, kSystemAndroid, kConfigSms, nullptr));
  EXPECT_EQ((Rows{"1:hi:0", "10:gone:1"}),
            QueryColumn(primary_, "SELECT _id||':'||body||':'||is_deleted FROM sms ORDER BY _id"));
  EXPECT_EQ((Rows{"1:0"}), QueryColumn(primary_, "SELECT _id||':'||is_deleted FROM threads"));
  EXPECT_EQ((Rows{"5551"}), QueryColumn(primary_, "SELECT address FROM canonical_addresses"));
  EXPECT_EQ((Rows{"0"}),
            QueryColumn(primary_,
                        "SELECT count(*) FROM pragma_table_info('canonical_addresses') "
                        "WHERE name = 'is_deleted'"));
}

TEST_P(MergeVariantTest, StopBeforeTheMergeLeavesTheQueue) {
  primary_ = CallLog("calllog.db", kPrimaryCalls);
  const std::string copy = CallLog("copy.db", "INSERT INTO calls (number, date) VALUES ('9', 1);");
  copies_.Push(copy);
  const std::atomic<int> stop{kStopRequested};
  EXPECT_EQ(0, MergeCalls(GetParam(), &stop));
  std::string front;
  ASSERT_TRUE(copies_.Pop(&front));
  EXPECT_EQ(copy, front);
  EXPECT_EQ((Rows{"5550001:0", "5550002:0"}), Calls(primary_));
}

TEST_P(MergeVariantTest, TriggersDoNotFireAndViewsContributeNothing) {
  primary_ = CallLog("calllog.db", std::string(kPrimaryCalls) +
                                       "CREATE TABLE audit (note TEXT);"
                                       "CREATE TRIGGER calls_audit AFTER INSERT ON calls BEGIN "
                                       "INSERT INTO audit VALUES (new.number); END;");
  const std::string view = dir_.File("view.db");
  RunSql(view,
         "CREATE TABLE hidden (number TEXT, date INTEGER, duration INTEGER, type INTEGER,"
         " name TEXT, is_deleted INTEGER);"
         "INSERT INTO hidden VALUES ('5550666', 6, 6, 6, 'Eve', 0);"
         "CREATE VIEW calls AS SELECT * FROM hidden;");
  copies_.Push(view);
  copies_.Push(CallLog("copy.db",
                       "INSERT INTO calls (number, date) VALUES ('5550009', 1);"
                       "CREATE TABLE audit (note TEXT);"
                       "CREATE TRIGGER calls_audit AFTER UPDATE ON calls BEGIN "
                       "INSERT INTO audit VALUES (old.number); END;"));
  EXPECT_EQ(0, MergeCalls(GetParam()));
  EXPECT_EQ((Rows{"5550001:0", "5550002:0", "5550009:1"}), Calls(primary_));
  EXPECT_EQ((Rows{"0"}), QueryColumn(primary_, "SELECT count(*) FROM audit"));
}

// A vendor's call log: a LONG date and a CHECK list of 10,000 values.
std::string VendorCallsTable() {
  std::string types;
  for (int type = 1; type <= 10000; ++type) types += (type == 1 ? "" : ", ") + std::to_string(type);
  return "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT, date LONG, "
         "duration INTEGER, type INTEGER, name TEXT, CHECK (type IN (" +
         types + ")));";
}

TEST_P(MergeVariantTest, ALongDateAndACheckListMergeLikeTheRest) {
  primary_ = SmsDatabase("calllog.db", VendorCallsTable() + kPrimaryCalls);
  copies_.Push(SmsDatabase("copy.db", VendorCallsTable() +
                                          "INSERT INTO calls (number, date, duration, type, name) "
                                          "VALUES ('5550003', 1600000200000, 12, 2, 'Cy');"));
  EXPECT_EQ(0, MergeCalls(GetParam()));
  EXPECT_EQ((Rows{"5550001:0", "5550002:0", "5550003:1"}), Calls(primary_));
}

INSTANTIATE_TEST_SUITE_P(BothVariants, MergeVariantTest,
                         ::testing::Values(&MergeDatabaseCopies, &MergeDatabaseCopiesByKey),
                         [](const ::testing::TestParamInfo<MergeFunction>& info) {
                           return std::string(info.param == &MergeDatabaseCopies ? "CopyRows"
                                                                                 : "ByKey");
                         });

TEST_F(MergeTest, ByKeyRenumbersTakenRowIds) {
  const std::string tables = ThreadsTable() + SmsTable();
  primary_ =
      SmsDatabase("mmssms.db", tables +
                                   "INSERT INTO threads (_id, recipient_ids) VALUES"
                                   " (1, '1'), (2, '2');"
                                   "INSERT INTO sms (_id, thread_id, address, date, body)"
                                   " VALUES (1, 1, '5551', 1000, 'a'), (2, 2, '5552', 2000, 'b');");
  // sms 1 repeats a primary row; sms 2 is new but its _id is taken; sms 7 is
  // new and free. Thread 3 is new and free.
  copies_.Push(SmsDatabase("copy.db",
                           tables + "INSERT INTO threads (_id, recipient_ids) VALUES"
                                    " (1, '1'), (3, '3');"
                                    "INSERT INTO sms (_id, thread_id, address, date, body)"
                                    " VALUES (1, 1, '5551', 1000, 'a'), (2, 3, '5553', 3000, 'c'),"
                                    " (7, 1, '5554', 4000, 'd');"));
  EXPECT_EQ(0, MergeDatabaseCopiesByKey(*config_, primary_, copies_, kSystemAndroid, kConfigSms,
                                        nullptr));
  EXPECT_EQ((Rows{"1:a:0", "2:b:0", "7:d:1", "8:c:1"}),
            QueryColumn(primary_, "SELECT _id||':'||body||':'||is_deleted FROM sms ORDER BY _id"));
  EXPECT_EQ((Rows{"1:1:0", "2:2:0", "3:3:1"}),
            QueryColumn(primary_,
                        "SELECT _id||':'||recipient_ids||':'||is_deleted FROM threads "
                        "ORDER BY _id"));
}

TEST_F(MergeTest, ByKeySkipsKnownKeysWithoutTheUniqueIndex) {
  // A call logged twice keeps the unique index from being built.
  primary_ = CallLog("calllog.db", std::string(kPrimaryCalls) + kPrimaryCalls);
  copies_.Push(CallLog("copy.db", kPrimaryCalls));
  EXPECT_EQ(0, MergeCalls(&MergeDatabaseCopiesByKey));
  EXPECT_EQ((Rows{}), QueryColumn(primary_, "SELECT name FROM sqlite_master WHERE type = 'index'"));
  EXPECT_EQ((Rows{"5550001:0", "5550001:0", "5550002:0", "5550002:0"}), Calls(primary_));
}

TEST_F(MergeTest, CreateFieldIndexesBuildsTheContactIndexes) {
  const std::string path = dir_.File("AddressBook.sqlitedb");
  RunSql(path,
         "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, "
         "identifier INTEGER, label INTEGER, value TEXT, guid TEXT);");
  EXPECT_EQ(0, CreateFieldIndexes(*config_, path));
  EXPECT_EQ((Rows{"ABMultiValuerecord_idproperty_index"}),
            QueryColumn(path, "SELECT name FROM sqlite_master WHERE type = 'index'"));
  EXPECT_EQ((Rows{"record_id", "property"}),
            QueryColumn(path,
                        "SELECT name FROM pragma_index_info("
                        "'ABMultiValuerecord_idproperty_index') ORDER BY seqno"));
}

// Rows of the source statement below set the stop flag once they reach the
// _id given as second argument, as a host's stop call would mid-table.
void RaiseStopAt(sqlite3_context* context, int, sqlite3_value** values) {
  auto* stop = static_cast<std::atomic<int>*>(sqlite3_user_data(context));
  if (sqlite3_value_int64(values[0]) >= sqlite3_value_int64(values[1])) stop->store(kStopRequested);
  sqlite3_result_int(context, 1);
}

TEST_F(MergeTest, StopMidTableCommitsTheRowsSoFar) {
  const FieldMap fields = {
      {"calls",
       {{1, 0, "number", "TEXT"}, {1, 0, "date", "INTEGER"}, {0, 0, "is_deleted", "INTEGER"}}}};
  for (bool by_key : {false, true}) {
    SCOPED_TRACE(by_key ? "MergeTableRows" : "CopyQueryToTable");
    test::TempDir dir;
    const std::string target_path = dir.File("calllog.db");
    const std::string source_path = dir.File("copy.db");
    RunSql(target_path,
           std::string(kCallsTable) + "ALTER TABLE calls ADD COLUMN is_deleted INTEGER;");
    RunSql(source_path,
           std::string(kCallsTable) +
               "ALTER TABLE calls ADD COLUMN is_deleted INTEGER DEFAULT 1;"
               "INSERT INTO calls (number, date) VALUES ('1', 1), ('2', 2), ('3', 3);");
    auto target = OpenDatabase(target_path);
    auto source_db = OpenDatabase(source_path);
    ASSERT_TRUE(target && source_db);
    std::atomic<int> stop{0};
    ASSERT_EQ(SQLITE_OK,
              sqlite3_create_function(source_db->handle(), "raise_stop_at", 2, SQLITE_UTF8, &stop,
                                      RaiseStopAt, nullptr, nullptr));
    SqliteStatement source = PrepareStatement(
        *source_db, "SELECT number, date, is_deleted FROM calls WHERE raise_stop_at(_id, 2)");
    ASSERT_TRUE(source.prepared());
    const int status = by_key ? MergeTableRows(*target, *source_db, source, "calls", fields, &stop)
                              : CopyQueryToTable(*target, source, "calls", fields, &stop);
    EXPECT_EQ(0, status);
    source.Finalize();
    target.reset();
    EXPECT_EQ((Rows{"1:1"}), Calls(target_path));
  }
}

TEST_F(MergeTest, StopBeforeTheUniqueIndexesBuildsNone) {
  primary_ = CallLog("calllog.db", kPrimaryCalls);
  auto db = OpenDatabase(primary_);
  ASSERT_NE(nullptr, db);
  const FieldMap fields = {{"calls", {{1, 0, "number", "TEXT"}}}};
  const std::atomic<int> stop{kStopRequested};
  CreateUniqueIndexes(*db, fields, &stop);
  const char* indexes = "SELECT name FROM sqlite_master WHERE type = 'index'";
  EXPECT_EQ((Rows{}), QueryColumn(primary_, indexes));
  CreateUniqueIndexes(*db, fields);
  EXPECT_EQ((Rows{"calls_unique_key_index"}), QueryColumn(primary_, indexes));
}

// Error paths follow.

TEST_F(MergeTest, CopyThatCannotBeOpenedGoesBackToTheFront) {
  primary_ = CallLog("calllog.db", kPrimaryCalls);
  const std::string folder = dir_.File("folder.db");
  std::filesystem::create_directory(folder);
  const std::string good = CallLog("copy.db", "INSERT INTO calls (number, date) VALUES ('7', 7);");
  copies_.Push(folder);
  copies_.Push(good);
  EXPECT_EQ(1105, MergeDatabaseCopies(*config_, primary_, copies_, kSystemAndroid,
                                      kConfigCallHistory, nullptr));
  ASSERT_EQ(2u, copies_.Size());
  std::string front;
  copies_.Pop(&front);
  EXPECT_EQ(folder, front);
  EXPECT_EQ((Rows{"5550001:0", "5550002:0"}), Calls(primary_));
}

TEST_F(MergeTest, NoDatabaseIsSkippedAndMissingCopyEndsTheMergeAfterTheOthers) {
  primary_ = CallLog("calllog.db", kPrimaryCalls);
  const std::string garbage = dir_.File("garbage.db");
  test::WriteFileBytes(garbage, std::string(8192, '\x5a'));
  const std::string missing = dir_.File("missing.db");
  copies_.Push(garbage);
  copies_.Push(CallLog("copy.db", "INSERT INTO calls (number, date) VALUES ('7', 7);"));
  copies_.Push(missing);
  EXPECT_EQ(1105, MergeCalls(&MergeDatabaseCopiesByKey));
  EXPECT_EQ((Rows{"5550001:0", "5550002:0", "7:1"}), Calls(primary_));
  std::string front;
  ASSERT_TRUE(copies_.Pop(&front));
  EXPECT_EQ(missing, front);
  EXPECT_TRUE(copies_.Empty());
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(MergeTest, MissingPrimaryIs1105) {
  copies_.Push(CallLog("copy.db", ""));
  primary_ = dir_.File("absent.db");
  EXPECT_EQ(1105, MergeCalls(&MergeDatabaseCopies));
  EXPECT_FALSE(std::filesystem::exists(primary_));
  EXPECT_EQ(1u, copies_.Size());
}

TEST_F(MergeTest, UnreadableConfigurationIs1102) {
  // The configuration's layout and rows followed by `damage`; no damage
  // stands for an empty file.
  const struct {
    const char* name;
    std::string damage;
  } cases[] = {
      {"empty file", ""},
      {"no scan_table_info", "DROP TABLE scan_table_info;"},
      {"no result_field_info", "DROP TABLE result_field_info;"},
  };
  const std::string layout =
      test::ReadFileBytes(std::string(KX_TEST_SOURCE_DIR) + "/config/00_schema.sql");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string config_path = dir.File(kConfigDbName);
    if (c.damage.empty()) {
      test::WriteFileBytes(config_path, "");
    } else {
      RunSql(config_path, layout + ConfigRows() + c.damage);
    }
    auto config = OpenSqliteConfig(config_path);
    ASSERT_NE(nullptr, config);
    const std::string primary = dir.File("calllog.db");
    RunSql(primary, std::string(kCallsTable) + kPrimaryCalls);
    FileQueue copies;
    copies.Push(dir.File("copy.db"));
    for (MergeFunction merge : {&MergeDatabaseCopies, &MergeDatabaseCopiesByKey}) {
      EXPECT_EQ(1102, merge(*config, primary, copies, kSystemAndroid, kConfigCallHistory, nullptr));
      EXPECT_EQ(1u, copies.Size());
    }
  }
}

TEST_F(MergeTest, AddIsDeletedColumnToMissingTableIs1106) {
  const std::string path = CallLog("calllog.db", kPrimaryCalls);
  auto db = OpenDatabase(path);
  ASSERT_NE(nullptr, db);
  EXPECT_EQ(1106, AddIsDeletedColumn(*db, "voicemail"));
  EXPECT_EQ(0, AddIsDeletedColumn(*db, "calls"));
  db.reset();
  EXPECT_EQ((Rows{"5550001:0", "5550002:0"}), Calls(path));
}

}  // namespace
}  // namespace kx
