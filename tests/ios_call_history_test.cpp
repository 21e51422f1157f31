// The iOS call-history packager (data type 13) through the library's entry
// points, beyond what the packager contract suite asks of it: whole
// documents on every store version, and deleted numbers through the join
// table of either entity numbering. Names, pictures and the merge of an
// older copy are the suite's.
#include "samples/ios_call_history.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "ios_fixtures.h"
#include "package_capture.h"
#include "samples/ios_old_call_history.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kIosCallHistoryType = 13;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

class IosCallHistoryTest : public test::LibraryTest {
 protected:
  // A store of `version` (samples::IosCallHistorySql) holding `rows`.
  std::string Store(const std::string& name, int version, const std::string& rows) {
    const std::string path = phone_.File(name);
    test::RunSql(path, samples::IosCallHistorySql(version) + ";" + rows);
    return path;
  }

  int Run(const std::string& primary, const std::vector<std::string>& copies = {}) {
    return test::PackageWithCopies(kIosCallHistoryType, temp_.path(), "call", primary, copies);
  }

  test::TempDir phone_;
  test::TempDir temp_;
};

// Phone, FaceTime video and audio calls; outgoing and incoming, answered
// and not; a number written with blanks, a dash and brackets.
using test::Call;
const std::string kCalls =
    Call(1, 1, 1, 62.5, "+351 (91) 234-5678", "A-1") + Call(2, 8, 0, 0, "ana@example.com", "A-2") +
    Call(3, 16, 1, 0, "+15550100", "A-3") + Call(4, 1, 2, 0, "+15550101", "A-4");

// The whole document on every store version, with the dates printed in the
// time zone of the host (UTC, and India's half-hour offset).
TEST_F(IosCallHistoryTest, WholeDocumentOnEveryStoreVersion) {
  // The document of UTC, and in a zone five and a half hours east of it.
  const std::pair<const char*, std::vector<std::pair<std::string, std::string>>> zones[] = {
      {"UTC", {}},
      {"IST-5:30",
       {{"11:40:00", "17:10:00"},
        {"12:40:00", "18:10:00"},
        {"13:40:00", "19:10:00"},
        {"14:40:00", "20:10:00"}}}};
  for (const auto& [zone, shifted] : zones) {
    const test::ScopedTimeZone scoped_zone(zone);
    std::string expected = test::DataFile("ios_call_history/whole_document.json");
    for (const auto& [utc, local] : shifted) expected = ReplaceAll(expected, utc, local);
    for (int version = samples::kIosCallHistoryOldestSchema;
         version <= samples::kIosCallHistoryNewestSchema; ++version) {
      SCOPED_TRACE(std::string(zone) + " " + std::to_string(version));
      Reset();
      const std::string path =
          Store(std::string(shifted.empty() ? "u" : "k") + std::to_string(version) + ".storedata",
                version, kCalls);
      ASSERT_TRUE(test::HandedOver(Run(path), 3));
      EXPECT_EQ(Formatted(expected), g_results.text);
    }
  }
}

// The sample stores of every version with their older copies: calls only
// the older copy holds come back tagged, and the numbers whose calls are
// gone come back as deleted numbers.
TEST_F(IosCallHistoryTest, SampleStoresOfEveryVersion) {
  for (int version = samples::kIosCallHistoryOldestSchema;
       version <= samples::kIosCallHistoryNewestSchema; ++version) {
    SCOPED_TRACE(version);
    Reset();
    const std::string newer = phone_.File("newer" + std::to_string(version));
    const std::string older = phone_.File("older" + std::to_string(version));
    ASSERT_TRUE(samples::WriteIosCallHistory(newer, test::SampleVersion(version)));
    ASSERT_TRUE(samples::WriteIosCallHistory(older, test::SampleVersion(version, true)));
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

// A number is deleted where the join finds no call for it: a handle without
// join rows, a join row without a call or naming one that is gone, a call
// id kept as text or real. The numbers are those, and in the order, of the
// join query run by SQLite itself.
TEST_F(IosCallHistoryTest, DeletedNumbersAreThoseTheJoinFindsNoCallFor) {
  for (const int version :
       {samples::kIosCallHistoryOldestSchema, samples::kIosCallHistoryNewestSchema}) {
    SCOPED_TRACE(version);
    Reset();
    const std::string column = samples::IosCallHistoryHandleJoinColumn(version);
    const std::string path = Store(
        "joins" + std::to_string(version), version,
        kCalls +
            "INSERT INTO ZHANDLE (Z_PK, ZVALUE) VALUES (1, '+1001'), (2, '+1002'), (3, '+1003'), "
            "(4, '+1004'), (5, '+1005'), (6, '+1006'), (7, '+1007'), (8, 8008);"
            "INSERT INTO Z_2REMOTEPARTICIPANTHANDLES (Z_2REMOTEPARTICIPANTCALLS, " +
            column +
            ") VALUES (1, 1), (99, 2), (NULL, 3), ('2', 4), ('x', 5), (2.5, 5), (3, 7), (98, 7), "
            "(4, 8), (97, 8);");
    std::vector<std::string> expected;
    {
      SQLite3Wrapper db(path);
      ASSERT_EQ(SQLITE_OK, db.Open());
      SqliteStatement join = PrepareStatement(
          db,
          "select cast( ZVALUE as text) from ZHANDLE left join Z_2REMOTEPARTICIPANTHANDLES "
          "ON ZHANDLE.Z_PK=Z_2REMOTEPARTICIPANTHANDLES." +
              column +
              " left join ZCALLRECORD ON "
              "ZCALLRECORD.Z_PK=Z_2REMOTEPARTICIPANTHANDLES.Z_2REMOTEPARTICIPANTCALLS WHERE "
              "ZCALLRECORD.Z_PK is null");
      while (join.Step() == SQLITE_ROW) expected.push_back(join.ColumnText(0));
    }
    EXPECT_EQ(
        (std::vector<std::string>{"+1002", "+1003", "+1005", "+1005", "+1006", "+1007", "8008"}),
        expected);

    ASSERT_TRUE(test::HandedOver(Run(path), 3));
    const Json::Value document = test::Parsed(g_results.text);
    std::vector<std::string> numbers;
    for (const Json::Value& call : document["call_records"]) {
      if (!call.isMember("uuid")) numbers.push_back(call["address"].asString());
    }
    EXPECT_EQ(expected, numbers);
  }
}

// A store without calls or handles gives the size alone.
TEST_F(IosCallHistoryTest, EmptyStoreGivesTheSizeAlone) {
  ASSERT_EQ(kStatusOk, Run(Store("empty.storedata", 2, "")));
  EXPECT_EQ(Formatted(R"({"size": 0})"), g_results.text);
}

// call_history.db of iOS 7 and earlier gives the document of the newer
// store: dates in seconds since 1970, the direction and FaceTime from the
// flags, answered when the call lasted; a call only an older copy holds
// comes back tagged.
TEST_F(IosCallHistoryTest, CallHistoryDbOfIos7AndEarlier) {
  const std::string calls =
      "INSERT INTO call (ROWID, address, date, duration, flags, id) VALUES "
      "(1, '+1 (555) 010-2000', 1383552000, 184, 5, -1), (2, '+15550102000', 1383555600, 0, 4, "
      "-1), (3, 'ana@example.com', 1383559200, 610, 20, 3), (4, '+442079460000', 1383562800, 0, "
      "5, -1);";
  const std::string path = phone_.File("call_history.db");
  test::RunSql(path, samples::IosOldCallHistorySql() + calls);
  test::TempDir older;
  const std::string copy = older.File("call_history.db");
  test::RunSql(copy, samples::IosOldCallHistorySql() + calls +
                         "INSERT INTO call (ROWID, address, date, duration, flags) VALUES "
                         "(5, '+15550103000', 1383566400, 0, 4);");
  for (const bool with_copy : {false, true}) {
    SCOPED_TRACE(with_copy);
    Reset();
    ASSERT_EQ(kStatusOk,
              Run(path, with_copy ? std::vector<std::string>{copy} : std::vector<std::string>{}));
    const std::string deleted = R"(,
      {"answered": 0, "call_type": 1, "datetime": "11-04-2013 12:00:00",
       "address": "+15550103000", "flags": 0, "duration": 0.0, "is_deleted": 1, "tag": "deleted",
       "connect_type": 2})";
    // {MERGED} and {DELETED}: what the older copy adds.
    std::string expected = ReplaceAll(test::DataFile("ios_call_history/call_history_db.json"),
                                      "{SIZE}", with_copy ? "5" : "4");
    expected = ReplaceAll(expected, "{MERGED}", with_copy ? R"(, "is_deleted": 0)" : "");
    EXPECT_EQ(Formatted(ReplaceAll(expected, "{DELETED}", with_copy ? deleted : "")),
              g_results.text);
  }
}

}  // namespace
}  // namespace kx
