#include "common/result_row.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "package_capture.h"
#include "test_support.h"

namespace kx {
namespace {

using test::Parsed;

// One row of every storage class, from a WhatsApp-like messages table.
class ResultRowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.File("msgstore.db");
    test::RunSql(path,
                 "CREATE TABLE messages (_id INTEGER PRIMARY KEY AUTOINCREMENT, key_remote_jid "
                 "TEXT NOT NULL, data TEXT, timestamp INTEGER, latitude REAL, raw_data BLOB, "
                 "media_caption TEXT);"
                 "INSERT INTO messages VALUES (7, '15550100@s.whatsapp.net', '', 1600000000123, "
                 "52.52, x'00FF10', NULL);");
    db_ = OpenDatabase(path);
    ASSERT_NE(nullptr, db_);
    query_ = PrepareStatement(*db_,
                              "SELECT _id, key_remote_jid, data, timestamp, latitude, raw_data, "
                              "media_caption FROM messages");
    ASSERT_EQ(SQLITE_ROW, query_.Step());
  }

  test::TempDir dir_;
  std::unique_ptr<SQLite3Wrapper> db_;
  SqliteStatement query_;
};

TEST_F(ResultRowTest, ReadsEachStorageClassIntoItsMap) {
  ResultRow row;
  for (int i = 0; i < query_.ColumnCount(); ++i) ReadColumnIntoRow(query_, i, &row);

  EXPECT_EQ(kValueInteger, row.GetValueKind("_id"));
  EXPECT_EQ(7, row.GetInteger("_id"));
  EXPECT_EQ(kValueText, row.GetValueKind("key_remote_jid"));
  EXPECT_EQ("15550100@s.whatsapp.net", row.GetText("key_remote_jid"));
  EXPECT_EQ(kValueText, row.GetValueKind("data"));  // empty text is still text
  EXPECT_EQ("", row.GetText("data"));
  EXPECT_EQ(1600000000123, row.GetInteger("timestamp"));
  EXPECT_EQ(kValueReal, row.GetValueKind("latitude"));
  EXPECT_DOUBLE_EQ(52.52, row.GetReal("latitude"));
  EXPECT_EQ(kValueBlob, row.GetValueKind("raw_data"));
  EXPECT_EQ(std::vector<uint8_t>({0x00, 0xFF, 0x10}), row.GetBlob("raw_data"));
  EXPECT_EQ(kValueAbsent, row.GetValueKind("media_caption"));  // NULL
  EXPECT_EQ(2u, row.integers.size());
  EXPECT_EQ(1u, row.reals.size());
  EXPECT_EQ(2u, row.texts.size());
  EXPECT_EQ(1u, row.blobs.size());
}

TEST_F(ResultRowTest, ValueKindLooksAtTextFirst) {
  ResultRow row;
  row.blobs["v"] = {1};
  EXPECT_EQ(kValueBlob, row.GetValueKind("v"));
  row.reals["v"] = 1.5;
  EXPECT_EQ(kValueReal, row.GetValueKind("v"));
  row.integers["v"] = 1;
  EXPECT_EQ(kValueInteger, row.GetValueKind("v"));
  row.texts["v"] = "one";
  EXPECT_EQ(kValueText, row.GetValueKind("v"));
  row.Clear();
  EXPECT_EQ(kValueAbsent, row.GetValueKind("v"));
  EXPECT_EQ("", row.GetText("v"));
  EXPECT_EQ(0, row.GetInteger("v"));
  EXPECT_EQ(0.0, row.GetReal("v"));
  EXPECT_TRUE(row.GetBlob("v").empty());
}

TEST_F(ResultRowTest, ReadColumnIntoJsonSkipsBlobsNullsAndEmptyText) {
  Json::Value object(Json::objectValue);
  for (int i = 0; i < query_.ColumnCount(); ++i) ReadColumnIntoJson(query_, i, &object);
  EXPECT_EQ(Parsed(R"({"_id": 7, "key_remote_jid": "15550100@s.whatsapp.net",
                          "timestamp": 1600000000123, "latitude": 52.52})"),
            object);
}

TEST_F(ResultRowTest, ReadersOfAStatementWithoutRowsAddNothing) {
  SqliteStatement unprepared;
  ResultRow row;
  ReadColumnIntoRow(unprepared, 0, &row);
  EXPECT_TRUE(row.texts.empty() && row.integers.empty() && row.reals.empty() && row.blobs.empty());
  Json::Value object(Json::objectValue);
  ReadColumnIntoJson(unprepared, 0, &object);
  EXPECT_EQ(0u, object.size());
}

}  // namespace
}  // namespace kx
