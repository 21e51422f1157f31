// The field configuration (which tables and columns a data type merges,
// and by which keys), the merge of older database copies it drives, and
// filters with merges, which only ever read the sources.
#include "common/merge.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/field_config.h"
#include "common/json_util.h"
#include "common/status.h"
#include "package_capture.h"
#include "samples/android_call_log.h"
#include "samples/android_telephony.h"
#include "sdk/library.h"
#include "test_dispatcher.h"
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

// The layout of the configuration database.
std::string ConfigLayoutSql() {
  return test::ReadFileBytes(std::string(KX_TEST_SOURCE_DIR) + "/config/00_schema.sql");
}

constexpr char kPrimaryCalls[] =
    "INSERT INTO calls (number, date, duration, type, name) VALUES"
    " ('5550001', 1600000000000, 30, 1, 'Ann'), ('5550002', 1600000100000, 0, 3, 'Bob');";

using MergeFunction = int (*)(SqliteConfig&, const std::string&, FileQueue&, int, int,
                              const std::atomic<int>*);

class MergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RunSql(config_path_, ConfigLayoutSql() + ConfigRows());
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string config_path = dir.File(kConfigDbName);
    if (c.damage.empty()) {
      test::WriteFileBytes(config_path, "");
    } else {
      RunSql(config_path, ConfigLayoutSql() + ConfigRows() + c.damage);
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

// Rows of several data types; the loaders must pick out (android, sms) or
// (android, callhistory) only.
std::string FieldConfigRows() { return test::DataFile("field_config/config_rows.sql"); }

std::vector<std::string> Names(const FieldList& fields) {
  std::vector<std::string> names;
  for (const TableFieldInfo& field : fields) names.push_back(field.field_name);
  return names;
}

class FieldConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_path_ = dir_.File(kConfigDbName);
    RunSql(config_path_, ConfigLayoutSql() + FieldConfigRows());
    config_ = OpenSqliteConfig(config_path_);
    ASSERT_NE(nullptr, config_);
  }

  // The schema map of a primary SMS database.
  SchemaMap SmsSchemas() {
    const std::string primary = dir_.File("mmssms.db");
    RunSql(primary, samples::AndroidTelephonySchemaSql(2));
    auto db = OpenDatabase(primary);
    SchemaMap schemas;
    for (const char* table : {"threads", "sms"}) {
      TableSchema schema;
      EXPECT_EQ(1, LoadTableSchema(*db, table, &schema));
      schemas[table] = schema.variants.front().second;
    }
    return schemas;
  }

  test::TempDir dir_;
  std::string config_path_;
  std::unique_ptr<SqliteConfig> config_;
};

TEST_F(FieldConfigTest, ScanTablesOfOneSystemAndDataType) {
  std::vector<ScanTableInfo> tables;
  ASSERT_EQ(1, LoadScanTableInfo(*config_, kSystemAndroid, kConfigSms, &tables));
  ASSERT_EQ(2u, tables.size());
  EXPECT_EQ("threads", tables[0].table_name);
  EXPECT_TRUE(tables[0].is_small);
  EXPECT_FALSE(tables[0].is_virtual);  // only the value 1 counts
  EXPECT_EQ(3, tables[0].scan_type);
  EXPECT_EQ(4, tables[0].flexible_count);
  EXPECT_EQ("sms", tables[1].table_name);
  EXPECT_TRUE(tables[1].is_virtual);
}

TEST_F(FieldConfigTest, ResultFieldsKeepOnlyColumnsOfTheSchema) {
  FieldMap fields;
  FieldTypeMap field_types;
  ASSERT_EQ(1, LoadResultFieldInfo(*config_, kSystemAndroid, kConfigSms, SmsSchemas(), &fields,
                                   &field_types));
  // "pdu" is not in the schema map, "ghost" is not a column of sms, and the
  // ios / callhistory rows belong to other configurations.
  ASSERT_EQ(2u, fields.size());
  EXPECT_EQ((std::vector<std::string>{"_id", "address", "date", "body"}), Names(fields["sms"]));
  EXPECT_EQ((std::vector<std::string>{"recipient_ids"}), Names(fields["threads"]));
  const TableFieldInfo& id = fields["sms"][0];
  EXPECT_EQ(0, id.unique);
  EXPECT_EQ(1, id.row_id);
  EXPECT_EQ("INTEGER", id.field_type_text);
  EXPECT_EQ(1, fields["sms"][1].unique);
  EXPECT_EQ(3, field_types["sms"]["address"]);
}

TEST_F(FieldConfigTest, IndexFieldsSelectedByDataTypeOnly) {
  std::map<std::string, std::vector<std::string>> index_fields;
  ASSERT_EQ(1, LoadIndexFieldInfo(*config_, kConfigContact, &index_fields));
  ASSERT_EQ(2u, index_fields.size());
  EXPECT_EQ((std::vector<std::string>{"record_id", "property"}), index_fields["ABMultiValue"]);
  EXPECT_EQ((std::vector<std::string>{"Last"}), index_fields["ABPerson"]);
}

TEST_F(FieldConfigTest, UnnamedDataTypeMatchesNoRow) {
  std::vector<ScanTableInfo> tables;
  EXPECT_EQ(1, LoadScanTableInfo(*config_, kSystemAndroid, 42, &tables));
  EXPECT_TRUE(tables.empty());
}

TEST(SqlBuilderTest, JoinFieldNamesBySelection) {
  const FieldList fields = {{0, 1, "_id", "INTEGER"},
                            {1, 0, "address", "TEXT"},
                            {1, 0, "date", "INTEGER"},
                            {0, 0, "body", "TEXT"}};
  const struct {
    FieldList fields;
    FieldPredicate select;
    std::string expected;
  } cases[] = {
      {fields, AllFields, "_id,address,date,body"},
      {fields, UniqueFields, "address,date"},
      {fields, RowIdFields, "_id"},
      {{{0, 0, "body", "TEXT"}}, UniqueFields, ""},
      {{}, AllFields, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, JoinFieldNames(c.fields, c.select));
}

class RowBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RunSql(path_, "CREATE TABLE v (i, r, t, b, e, n, UNIQUE (i));");
    db_ = OpenDatabase(path_);
    ASSERT_NE(nullptr, db_);
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("values.db");
  std::unique_ptr<SQLite3Wrapper> db_;
  const FieldList fields_ = {{0, 0, "i", ""}, {0, 0, "r", ""}, {0, 0, "t", ""},
                             {0, 0, "b", ""}, {0, 0, "e", ""}, {0, 0, "n", ""}};
};

TEST_F(RowBindingTest, StepBindsEachKindAndNullForAbsent) {
  ResultRow row;
  row.integers["i"] = 9007199254740993;
  row.reals["r"] = 2.5;
  row.texts["t"] = "caf\xC3\xA9";
  row.blobs["b"] = {0x00, 0xFF};
  row.blobs["e"] = {};
  SqliteStatement insert = PrepareStatement(*db_, BuildInsertSql("v", fields_));
  EXPECT_TRUE(BindRowAndStep(fields_, row, &insert));
  EXPECT_FALSE(BindRowAndStep(fields_, row, &insert));  // the unique column refuses it
  insert.Finalize();
  db_->Close();
  EXPECT_EQ((std::vector<std::string>{"integer|real|text|blob|blob|null"}),
            QueryColumn(path_,
                        "SELECT typeof(i)||'|'||typeof(r)||'|'||typeof(t)||'|'||"
                        "typeof(b)||'|'||typeof(e)||'|'||typeof(n) FROM v"));
  EXPECT_EQ((std::vector<std::string>{"9007199254740993|2.5|caf\xC3\xA9|00FF|0"}),
            QueryColumn(path_, "SELECT i||'|'||r||'|'||t||'|'||hex(b)||'|'||length(e) FROM v"));
}

TEST_F(RowBindingTest, TestBindsPresentFieldsToConsecutiveParameters) {
  RunSql(path_, "INSERT INTO v (i, t) VALUES (7, 'seven');");
  SqliteStatement test = PrepareStatement(*db_, "SELECT count(*) FROM v WHERE i = ? AND t = ?");
  const FieldList key = {{1, 0, "r", ""}, {1, 0, "i", ""}, {1, 0, "t", ""}};
  ResultRow row;
  row.integers["i"] = 7;
  row.texts["t"] = "seven";
  EXPECT_TRUE(BindRowAndTest(key, row, &test));  // r is absent and takes no parameter
  row.texts.erase("t");
  // The previous row's "seven" must not linger in parameter 2.
  EXPECT_FALSE(BindRowAndTest(key, row, &test));
  row.integers["i"] = 8;
  row.texts["t"] = "seven";
  EXPECT_FALSE(BindRowAndTest(key, row, &test));
}

// Error paths follow.

TEST(FieldConfigErrorTest, MissingConfigIsNotCreated) {
  test::TempDir dir;
  const std::string path = dir.File(kConfigDbName);
  EXPECT_EQ(nullptr, OpenSqliteConfig(path));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FieldConfigErrorTest, ConfigLackingATableFailsItsLoader) {
  test::TempDir dir;
  const std::string empty_path = dir.File("empty.db");
  test::WriteFileBytes(empty_path, "");
  const std::string partial_path = dir.File("partial.db");
  RunSql(partial_path, ConfigLayoutSql() + FieldConfigRows() + "DROP TABLE result_field_info;");
  auto empty = OpenSqliteConfig(empty_path);
  auto partial = OpenSqliteConfig(partial_path);
  ASSERT_TRUE(empty && partial);
  std::vector<ScanTableInfo> tables;
  FieldMap fields;
  std::map<std::string, std::vector<std::string>> index_fields;
  EXPECT_EQ(0, LoadScanTableInfo(*empty, kSystemAndroid, kConfigSms, &tables));
  EXPECT_EQ(0, LoadResultFieldInfo(*empty, kSystemAndroid, kConfigSms, {}, &fields, nullptr));
  EXPECT_EQ(0, LoadIndexFieldInfo(*empty, kConfigContact, &index_fields));
  EXPECT_EQ("", test::ReadFileBytes(empty_path));  // read-only: nothing written
  // Only the loader of the missing table fails.
  EXPECT_EQ(1, LoadScanTableInfo(*partial, kSystemAndroid, kConfigSms, &tables));
  EXPECT_EQ(0, LoadResultFieldInfo(*partial, kSystemAndroid, kConfigSms, {}, &fields, nullptr));
}

// A filter with merges only ever reads the host's source files: the source
// folder holds the same files with the same bytes afterwards (no "-shm" or
// journal appears beside them), and rows that only a source's "-wal" file
// holds still reach the staged copy.

namespace fs = std::filesystem;

constexpr int kMergingType = 8;  // a row whose real packager is not needed here

constexpr char kCountryCallsTable[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT, date INTEGER, "
    "duration INTEGER, type INTEGER, name TEXT, countryiso TEXT);";

constexpr char kConfigRows[] =
    "INSERT INTO scan_table_info (system_type, data_type, table_name) VALUES "
    " ('android','callhistory','calls');"
    "INSERT INTO result_field_info (system_type, data_type, table_name, field_name,"
    " field_type_text, is_unique_field, is_row_id_field) VALUES"
    " ('android','callhistory','calls','number','TEXT',1,0),"
    " ('android','callhistory','calls','date','INTEGER',1,0),"
    " ('android','callhistory','calls','name','TEXT',0,0);";

// Merges its queue the way the Android filters do.
int MergingFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context) {
  const std::string* primary = record->PrimaryFile("p");
  FileQueue* copies = record->SecondFiles("reminder_files_path");
  if (primary == nullptr || copies == nullptr) return 1100;
  return MergeDatabaseCopies(*config, *primary, *copies, kSystemAndroid, kConfigCallHistory,
                             context.stop);
}

test::TestDispatcher g_dispatch;

const DataTypeEntry kMergingEntry = {7,
                                     "MergingDataPackage",
                                     "MergingDataFilter",
                                     "mergingdatapackage",
                                     MergingFilter,
                                     nullptr,
                                     {"reminder_files_path", nullptr},
                                     7};

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files[entry.path().string()] = test::ReadFileBytes(entry.path().string());
  }
  return files;
}

class SourceSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RunSql(config_.File("KxDataConfiger.db"), ConfigLayoutSql() + kConfigRows);
    InitializeLibrary(logs_.path().c_str(), config_.path().c_str());
    g_dispatch.Reset(config_.path());
    g_dispatch.SetRow(kMergingType, kMergingEntry);
  }
  void TearDown() override { g_dispatch.RestoreRow(kMergingType); }

  test::TempDir logs_, config_, sources_, temp_;
};

// Leaves `path` in WAL mode with `wal_rows` committed only to its "-wal"
// file: the files are copied while the writer still holds them open.
void WriteDatabaseWithWalRows(const std::string& path, const std::string& base_rows,
                              const std::string& wal_rows, const std::string& out_folder) {
  test::TempDir scratch;
  const std::string work = scratch.File(fs::path(path).filename().string());
  test::RunSql(work, std::string("PRAGMA journal_mode=WAL;") + kCountryCallsTable + base_rows);
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(work.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "PRAGMA wal_autocheckpoint=0;", nullptr, nullptr, nullptr));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, wal_rows.c_str(), nullptr, nullptr, nullptr));
  fs::copy_file(work, fs::path(out_folder) / fs::path(path).filename());
  fs::copy_file(work + "-wal",
                (fs::path(out_folder) / fs::path(path).filename()).string() + "-wal");
  sqlite3_close(db);
}

TEST_F(SourceSafetyTest, FilterWithMergesLeavesSourcesUntouched) {
  fs::create_directories(sources_.File("older"));
  WriteDatabaseWithWalRows(
      "calllog.db",
      "INSERT INTO calls (number, date, name) VALUES ('5550001', 1600000000000, 'Ann');",
      "INSERT INTO calls (number, date, name) VALUES ('5550002', 1600000100000, 'Wal only');",
      sources_.path());
  test::RunSql(sources_.File("older/calllog.db"),
               std::string(kCountryCallsTable) +
                   "INSERT INTO calls (number, date, name) VALUES"
                   " ('5550001', 1600000000000, 'Ann'), ('5550009', 1500000000000, 'Gone');");
  ASSERT_TRUE(fs::exists(sources_.File("calllog.db-wal")));
  const auto before = Snapshot(sources_.path());

  Json::Value request =
      test::RequestDocument(kMergingType, temp_.path(), "p", sources_.File("calllog.db"));
  request["second_file_objects"]["reminder_files_path"].append(sources_.File("older/calllog.db"));
  ASSERT_EQ(0, g_dispatch.Filter(WriteJson(request)));

  EXPECT_EQ(before, Snapshot(sources_.path()));
  const std::string staged = temp_.File("calllog.db");
  EXPECT_EQ((std::vector<std::string>{"Ann|0", "Wal only|0", "Gone|1"}),
            test::QueryColumn(staged, "SELECT name || '|' || is_deleted FROM calls ORDER BY _id"));
}

// A store copied before its first checkpoint: the main file is empty and
// its schema and rows are all in the "-wal". The staged copy reads in full;
// the source and its "-wal" keep their bytes.
TEST_F(SourceSafetyTest, WalOnlyStoreIsReadInFullFromItsStagedCopy) {
  test::TempDir scratch;
  const std::string work = scratch.File("calllog.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(work.c_str(), &db));
  const std::string rows =
      std::string("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;") + kCountryCallsTable +
      "INSERT INTO calls (number, date, name) VALUES ('5550001', 1600000000000, 'Ann');"
      "INSERT INTO calls (number, date, name) VALUES ('5550002', 1600000100000, 'Bo');";
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, rows.c_str(), nullptr, nullptr, nullptr));
  test::WriteFileBytes(sources_.File("calllog.db"), "");
  fs::copy_file(work + "-wal", sources_.File("calllog.db-wal"));
  sqlite3_close(db);
  const auto before = Snapshot(sources_.path());

  Json::Value request =
      test::RequestDocument(kMergingType, temp_.path(), "p", sources_.File("calllog.db"));
  request["second_file_objects"]["reminder_files_path"] = Json::Value(Json::arrayValue);
  ASSERT_EQ(0, test::FilterRequest(request));

  EXPECT_EQ(before, Snapshot(sources_.path()));
  EXPECT_EQ((std::vector<std::string>{"Ann", "Bo"}),
            test::QueryColumn(temp_.File("calllog.db"), "SELECT name FROM calls ORDER BY _id"));
}

}  // namespace
}  // namespace kx
