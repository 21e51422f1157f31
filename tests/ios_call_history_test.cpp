// The iOS call-history packager (data type 13) through the library's entry
// points: whole documents on three store versions, the merge of an older
// copy, names and pictures from the address book, deleted numbers through
// the join table of either entity numbering.
#include "samples/ios_call_history.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/status.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kIosCallHistoryType = 13;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

// A call: ZDATE counts seconds from 2001-01-01 UTC.
std::string Call(int pk, int type, int originated, double duration, const char* address,
                 const char* uuid) {
  return "INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, ZANSWERED, ZCALLTYPE, ZORIGINATED, ZDATE, "
         "ZDURATION, ZADDRESS, ZUNIQUE_ID) VALUES (" +
         std::to_string(pk) + ", 2, " + std::to_string(duration > 0 ? 1 : 0) + ", " +
         std::to_string(type) + ", " + std::to_string(originated) + ", " +
         std::to_string(600000000 + pk * 3600) + ", " + std::to_string(duration) + ", '" + address +
         "', '" + uuid + "');";
}

class IosCallHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
  }

  // A store of `version` (samples::IosCallHistorySql) holding `rows`.
  std::string Store(const std::string& name, int version, const std::string& rows) {
    const std::string path = phone_.File(name);
    test::RunSql(path, samples::IosCallHistorySql(version) + ";" + rows);
    return path;
  }

  // The address book and its pictures, as iOS 9 and later keep them.
  void AddressBook() {
    test::RunSql(phone_.File("AddressBook.sqlitedb"),
                 "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, "
                 "Last TEXT, Middle TEXT);"
                 "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, "
                 "property INTEGER, identifier INTEGER, label INTEGER, value TEXT, guid TEXT);"
                 "INSERT INTO ABPerson VALUES (7, 'Ana', 'Silva', NULL);"
                 "INSERT INTO ABMultiValue VALUES (1, 7, 3, 0, 1, '+351912345678', 'g1');");
    test::RunSql(phone_.File("AddressBookImages.sqlitedb"),
                 "CREATE TABLE ABFullSizeImage (ROWID INTEGER PRIMARY KEY, record_id INTEGER, "
                 "version INTEGER, data BLOB, crop_x INTEGER, crop_y INTEGER, crop_width INTEGER);"
                 "CREATE TABLE ABThumbnailImage (ROWID INTEGER PRIMARY KEY, record_id INTEGER, "
                 "format INTEGER, derived_from_format INTEGER, data BLOB);"
                 "INSERT INTO ABFullSizeImage (record_id, data) VALUES (7, x'FFD8FFE0');");
  }

  int Run(const std::string& primary, const std::vector<std::string>& copies = {},
          bool with_address_book = false) {
    Json::Value request;
    request["package_type"] = kIosCallHistoryType;
    request["temp_folder"] = temp_.path();
    request["primary_file_object"]["call_file_path"] = primary;
    if (with_address_book) {
      request["primary_file_object"]["contact_file_path"] = phone_.File("AddressBook.sqlitedb");
      request["primary_file_object"]["contact_image_file_path"] =
          phone_.File("AddressBookImages.sqlitedb");
    }
    Json::Value& list = request["second_file_objects"]["call_files_path"];
    list = EmptyJsonArray();
    for (const std::string& copy : copies) list.append(copy);
    const std::string text = WriteJson(request);
    const int filtered = FilterDataType(text.c_str(), static_cast<int>(text.size()));
    if (filtered != kStatusOk) return filtered;
    return PackageDataType(CaptureResult, kIosCallHistoryType);
  }

  test::TempDir logs_;
  test::TempDir phone_;
  test::TempDir temp_;
};

// Phone, FaceTime video and audio calls; outgoing and incoming, answered
// and not; a number written with blanks, a dash and brackets.
const std::string kCalls =
    Call(1, 1, 1, 62.5, "+351 (91) 234-5678", "A-1") + Call(2, 8, 0, 0, "ana@example.com", "A-2") +
    Call(3, 16, 1, 0, "+15550100", "A-3") + Call(4, 1, 2, 0, "+15550101", "A-4");

TEST_F(IosCallHistoryTest, WholeDocumentOnEveryStoreVersion) {
  for (int version = samples::kIosCallHistoryOldestSchema;
       version <= samples::kIosCallHistoryNewestSchema; ++version) {
    SCOPED_TRACE(version);
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    const std::string path = Store("v" + std::to_string(version) + ".storedata", version, kCalls);
    ASSERT_EQ(kStatusOk, Run(path));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(3, g_results.kind);
    EXPECT_EQ(Formatted(R"({"size": 4, "call_records": [
      {"answered": 1, "call_type": 1, "datetime": "01-06-2020 11:40:00",
       "address": "+351912345678", "flags": 1, "duration": 62.5, "uuid": "A-1",
       "connect_type": 0},
      {"answered": 0, "call_type": 8, "datetime": "01-06-2020 12:40:00",
       "address": "ana@example.com", "flags": 0, "duration": 0.0, "uuid": "A-2",
       "connect_type": 2},
      {"answered": 0, "call_type": 16, "datetime": "01-06-2020 13:40:00",
       "address": "+15550100", "flags": 1, "duration": 0.0, "uuid": "A-3",
       "connect_type": 1},
      {"answered": 0, "call_type": 1, "datetime": "01-06-2020 14:40:00",
       "address": "+15550101", "flags": 2, "duration": 0.0, "uuid": "A-4"}]})"),
              g_results.text);
  }
}

TEST_F(IosCallHistoryTest, OlderCopyNamesAndDeletedNumbers) {
  AddressBook();
  const int newest = samples::kIosCallHistoryNewestSchema;
  // The phone today: one call, a line of its own, and a handle whose calls
  // are gone; the older backup still holds a call since deleted.
  const std::string primary =
      Store("CallHistory.storedata", newest,
            Call(1, 1, 1, 62.5, "+351 91 234 5678", "A-1") +
                "UPDATE ZCALLRECORD SET ZLOCATION = 'Portugal', ZSERVICE_PROVIDER = "
                "'com.apple.Telephony', ZLOCALPARTICIPANTUUID = x'0102' WHERE Z_PK = 1;"
                "INSERT INTO ZHANDLE VALUES (1, 3, 1, 2, '+351912345678', '+351912345678');"
                "INSERT INTO ZHANDLE VALUES (2, 3, 1, 2, '+15550199', '+15550199');"
                "INSERT INTO Z_2REMOTEPARTICIPANTHANDLES VALUES (1, 1);");
  test::TempDir older;
  const std::string copy = older.File("CallHistory.storedata");
  test::RunSql(copy, samples::IosCallHistorySql(samples::kIosCallHistoryOldestSchema) + ";" +
                         Call(1, 1, 1, 62.5, "+351 91 234 5678", "A-1") +
                         Call(2, 1, 0, 0, "+351-912345678", "B-9"));

  ASSERT_EQ(kStatusOk, Run(primary, {copy}, true));
  ASSERT_EQ(1, g_results.count);
  const std::string picture = temp_.File("7.jpg");
  EXPECT_EQ(Formatted(R"({"size": 3, "call_records": [
      {"answered": 1, "call_type": 1, "datetime": "01-06-2020 11:40:00",
       "address": "+351912345678", "flags": 1, "duration": 62.5, "uuid": "A-1",
       "location": "Portugal", "service_provider": "com.apple.Telephony", "belong": "AQI=",
       "is_deleted": 0, "first": "Ana", "last": "Silva", "image_path": ")" +
                      picture + R"(", "connect_type": 0},
      {"answered": 0, "call_type": 1, "datetime": "01-06-2020 12:40:00",
       "address": "+351912345678", "flags": 0, "duration": 0.0, "uuid": "B-9",
       "is_deleted": 1, "tag": "deleted", "first": "Ana", "last": "Silva",
       "image_path": ")" +
                      picture + R"(", "connect_type": 2},
      {"address": "+15550199", "tag": "deleted", "connect_type": 2}]})"),
            g_results.text);
  EXPECT_EQ("\xFF\xD8\xFF\xE0", test::ReadFileBytes(picture));
}

// The sample stores of every version with their older copies: calls only
// the older copy holds come back tagged, and the numbers whose calls are
// gone come back as deleted numbers.
TEST_F(IosCallHistoryTest, SampleStoresOfEveryVersion) {
  for (int version = samples::kIosCallHistoryOldestSchema;
       version <= samples::kIosCallHistoryNewestSchema; ++version) {
    SCOPED_TRACE(version);
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    samples::IosSampleOptions options;
    options.schema_version = version;
    const std::string newer = phone_.File("newer" + std::to_string(version));
    const std::string older = phone_.File("older" + std::to_string(version));
    ASSERT_TRUE(samples::WriteIosCallHistory(newer, options));
    options.older_copy = true;
    ASSERT_TRUE(samples::WriteIosCallHistory(older, options));
    ASSERT_EQ(kStatusOk, Run(newer, {older}));
    const Json::Value document = test::Parsed(g_results.text);
    int recovered = 0;
    std::string numbers;
    for (const Json::Value& call : document["call_records"]) {
      if (call["tag"] != "deleted") continue;
      if (call.isMember("uuid")) {
        ++recovered;
      } else {
        numbers += call["address"].asString() + ";";
      }
    }
    EXPECT_GT(recovered, 0);
    EXPECT_EQ("+1 (555) 019-8877;+33 6 12 34 56 78;", numbers);
    EXPECT_EQ(document["size"].asUInt(), document["call_records"].size());
  }
}

TEST_F(IosCallHistoryTest, StoreWithoutCallsIsAStatusWithoutDocument) {
  const std::string path = phone_.File("other.storedata");
  test::RunSql(path, "CREATE TABLE ZOTHER (Z_PK INTEGER PRIMARY KEY);");
  EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run(path));
  EXPECT_EQ(0, g_results.count);

  // The failed record stays until the host starts again.
  InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
  const std::string empty = Store("empty.storedata", 2, "");
  ASSERT_EQ(kStatusOk, Run(empty));
  EXPECT_EQ(Formatted(R"({"size": 0})"), g_results.text);
}

}  // namespace
}  // namespace kx
