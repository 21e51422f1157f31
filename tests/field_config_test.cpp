#include "common/field_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "samples/android_telephony.h"
#include "test_support.h"

namespace kx {
namespace {

using test::QueryColumn;
using test::RunSql;

// Rows of several data types; the loaders must pick out (android, sms) or
// (android, callhistory) only.
std::string ConfigRows() { return test::DataFile("field_config/config_rows.sql"); }

std::string ConfigLayoutSql() {
  return test::ReadFileBytes(std::string(KX_TEST_SOURCE_DIR) + "/config/00_schema.sql");
}

std::vector<std::string> Names(const FieldList& fields) {
  std::vector<std::string> names;
  for (const TableFieldInfo& field : fields) names.push_back(field.field_name);
  return names;
}

class FieldConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_path_ = dir_.File(kConfigDbName);
    RunSql(config_path_, ConfigLayoutSql() + ConfigRows());
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
  RunSql(partial_path, ConfigLayoutSql() + ConfigRows() + "DROP TABLE result_field_info;");
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

}  // namespace
}  // namespace kx
