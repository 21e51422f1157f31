// The iOS calendar (data type 7), staged (KxDataPackageNew) and old style
// (filter and package): whole documents on each release of Calendar.sqlitedb,
// the keyed merge of an older copy, deleted duplicates, attachments located
// through Manifest.db, bad input and stops.
#include "samples/ios_calendar.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/backup_files.h"
#include "common/json_util.h"
#include "common/status.h"
#include "common/text.h"
#include "package_capture.h"
#include "pipeline/ios_calendar.h"
#include "pipeline/ios_calendar_events.h"
#include "sdk/library.h"
#include "sdk/staged_request.h"
#include "staged_stop_gate.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kCalendarType = 7;
using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

// The events of the sample calendar as a detail file holds them; {ADDR} is
// the office as the release knows it, {AGENDA} and {PHOTO} the attachments'
// paths in the backup.

// The deleted event only an older copy holds, as it follows the sample's
// events ({MORE}).
std::string OldCall() { return test::DataFile("ios_calendar/old_call_after_events.json"); }

class IosCalendarTest : public test::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    WriteManifest();
  }

  std::string Store(const std::string& name, int version, bool older_copy = false) {
    const std::string path = phone_.File(name);
    EXPECT_TRUE(samples::WriteIosCalendar(path, test::SampleVersion(version, older_copy)));
    return path;
  }

  // Manifest.db with the sample attachments, and a shorter path that a
  // name whose "_" were a wildcard would match first.
  void WriteManifest() {
    std::string sql =
        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags "
        "INTEGER, file BLOB);";
    std::vector<std::string> paths = samples::IosCalendarAttachmentPaths();
    paths.push_back("Library/X/photoA1.JPG");
    for (const std::string& path : paths) {
      const std::string id = BackupFileId("HomeDomain", path);
      std::filesystem::create_directories(backup_.File(id.substr(0, 2)));
      sql += "INSERT INTO Files VALUES ('" + id + "','HomeDomain','" + path + "',1,NULL);";
    }
    test::RunSql(backup_.File("Manifest.db"), sql);
  }

  std::string InBackup(const std::string& relative_path) const {
    return ResolveBackupFile(backup_.path(), BackupFileId("HomeDomain", relative_path));
  }

  std::string Expected(const std::string& address, const std::string& more = "") const {
    const std::vector<std::string> paths = samples::IosCalendarAttachmentPaths();
    std::string text =
        ReplaceAll(test::DataFile("ios_calendar/sample_details.json"), "{ADDR}", address);
    text = ReplaceAll(text, "{AGENDA}", test::JsonEscaped(InBackup(paths[0])));
    text = ReplaceAll(text, "{PHOTO}", test::JsonEscaped(InBackup(paths[1])));
    return Formatted(ReplaceAll(text, "{MORE}", more));
  }

  Json::Value Request(const std::string& calendar, const std::vector<std::string>& copies) const {
    Json::Value request = test::MakeRequest(
        kCalendarType, temp_.path(),
        {{"calendar_file_path", calendar}, {"manifest_file_path", backup_.File("Manifest.db")}}, {},
        backup_.path());
    request["second_file_objects"]["configer_file_path"] = test::ConfigFolder();
    request["second_file_objects"]["calendar_files_path"] = test::JsonList(copies);
    return request;
  }

  std::string Detail(int n) const {
    return test::ReadFileBytes(temp_.File("DataAnalysis_Calendar_" + std::to_string(n) + ".json"));
  }

  test::TempDir phone_;
  test::TempDir temp_;
  test::TempDir backup_;
};

// The oldest release has no Location.address: the place reads by its title,
// and the missing column is logged.
TEST_F(IosCalendarTest, StagedWholeDocumentsOnEveryRelease) {
  const char* addresses[] = {"Office", "Office, 1 Main Street, Springfield",
                             "Office, 1 Main Street, Springfield"};
  for (int version = samples::kIosCalendarOldestSchema;
       version <= samples::kIosCalendarNewestSchema; ++version) {
    SCOPED_TRACE(version);
    Reset();
    const size_t log_before = Log().size();
    ASSERT_TRUE(test::HandedOver(
        test::PackageStagedRequest(Request(Store("Calendar.sqlitedb", version), {})), 6));
    EXPECT_EQ(Formatted(R"({"msg_file_list": [")" +
                        test::JsonEscaped(temp_.File("DataAnalysis_Calendar_0.json")) +
                        R"("], "size": 4})"),
              g_results.text);
    EXPECT_EQ(Expected(addresses[version - 1]), Detail(0));
    EXPECT_EQ(version == 1,
              Log().find("Location.address: read as NULL", log_before) != std::string::npos);
  }
}

// The dates are local times: west of UTC the all-day holiday starts on the
// evening before, which the correction moves to that day's midnight, and
// its end (moved back 8 hours) is the next morning; the dentist, an all-day
// event without an end, ends at 23:59:59 of its (summer-time) day.
TEST_F(IosCalendarTest, StagedWholeDocumentInAnotherZone) {
  {
    const test::ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    ASSERT_EQ(kStatusOk, test::PackageStagedRequest(Request(Store("Calendar.sqlitedb", 3), {})));
  }
  std::string expected = Expected("Office, 1 Main Street, Springfield");
  for (const auto& [utc, local] : std::vector<std::pair<std::string, std::string>>{
           {"03-04-2024 09:00:00", "03-04-2024 04:00:00"},
           {"03-04-2024 10:00:00", "03-04-2024 05:00:00"},
           {"03-08-2024 00:00:00", "03-07-2024 00:00:00"},
           {"03-08-2024 16:00:00", "03-08-2024 11:00:00"},
           {"03-12-2024 12:00:00", "03-12-2024 08:00:00"},
           {"03-12-2024 13:00:00", "03-12-2024 09:00:00"}}) {
    expected = ReplaceAll(expected, utc, local);
  }
  EXPECT_EQ(expected, Detail(0));
}

// An event only the older copy holds comes back once, tagged; the events
// both hold are not doubled.
TEST_F(IosCalendarTest, StagedKeyedMergeOfAnOlderCopy) {
  const std::string primary = Store("Calendar.sqlitedb", 2);
  const std::string older = Store("older.sqlitedb", 2, true);
  ASSERT_TRUE(test::HandedOver(test::PackageStagedRequest(Request(primary, {older}))));
  EXPECT_EQ(5, test::Parsed(g_results.text)["size"].asInt());
  EXPECT_EQ(Expected("Office, 1 Main Street, Springfield", OldCall()), Detail(0));
}

// The old style reads the same events: projected onto the detail layout
// they equal the staged ones. Its own objects keep the query's columns.
TEST_F(IosCalendarTest, OldStyleGivesTheStagedRecords) {
  const std::string primary = Store("Calendar.sqlitedb", 3);
  const std::string older = Store("older.sqlitedb", 3, true);
  ASSERT_EQ(kStatusOk, test::PackageStagedRequest(Request(primary, {older})));
  const Json::Value staged = test::Parsed(Detail(0));
  Reset();
  ASSERT_TRUE(test::HandedOver(test::FilterAndPackage(Request(primary, {older})), 6));
  const Json::Value events = test::Parsed(g_results.text);
  ASSERT_EQ(staged.size(), events.size());
  for (Json::ArrayIndex i = 0; i < events.size(); ++i) {
    Json::Value projected(Json::objectValue);
    for (const std::string& name : staged[i].getMemberNames()) {
      projected[name] = events[i].isMember(name)    ? events[i][name]
                        : staged[i][name].isArray() ? Json::Value(Json::arrayValue)
                                                    : Json::Value("");
    }
    EXPECT_EQ(WriteJson(staged[i]), WriteJson(projected)) << i;
  }
  EXPECT_EQ(Formatted(test::DataFile("ios_calendar/old_call_event.json")), WriteJson(events[4]));
}

// Two deleted events alike in every packaged text are packaged once by the
// old style; a deleted one alike a live event stays. The staged packager
// has no such rule.
TEST_F(IosCalendarTest, DeletedDuplicates) {
  const std::string primary = Store("Calendar.sqlitedb", 2);
  const std::string older = Store("older.sqlitedb", 2);
  test::RunSql(older,
               "INSERT INTO CalendarItem (ROWID, summary, start_date, calendar_id, UUID, "
               "entity_type) VALUES (20,'Gone',1000,1,'G-1',2),(21,'Gone',1000,1,'G-2',2),"
               "(22,'Lunch with Anna',0,1,'G-3',2);"
               "UPDATE CalendarItem SET description = 'Notes of Lunch with Anna', start_date = "
               "(SELECT start_date FROM CalendarItem WHERE ROWID = 5), end_date = (SELECT "
               "end_date FROM CalendarItem WHERE ROWID = 5) WHERE ROWID = 22;");
  ASSERT_EQ(kStatusOk, test::FilterAndPackage(Request(primary, {older})));
  std::vector<std::string> titles;
  for (const Json::Value& event : test::Parsed(g_results.text)) {
    titles.push_back(event["utf_Title"].asString() + (event.isMember("tag") ? "*" : ""));
  }
  EXPECT_EQ((std::vector<std::string>{"Team meeting", "Holiday", "Dentist", "Lunch with Anna",
                                      "Gone*", "Lunch with Anna*"}),
            titles);
  Reset();
  ASSERT_EQ(kStatusOk, test::PackageStagedRequest(Request(Store("again.sqlitedb", 2), {older})));
  EXPECT_EQ(7, test::Parsed(g_results.text)["size"].asInt());
}

// Every detail file takes up to 1000 events, listed in the order written;
// fewer than 1000 are written when the result document is built. Read in
// order, the files give each event once.
TEST_F(IosCalendarTest, DetailFileBatches) {
  const struct {
    int extra;  // events beyond the sample's four
    std::vector<int> file_sizes;
  } cases[] = {{995, {999}}, {996, {1000}}, {998, {1000, 2}}, {1997, {1000, 1000, 1}}};
  for (const auto& one : cases) {
    SCOPED_TRACE(one.extra);
    Reset();
    const std::string calendar = Store("Calendar.sqlitedb", 3);
    test::RunSql(
        calendar,
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(one.extra) +
            ") INSERT INTO CalendarItem (ROWID, summary, start_date, end_date, "
            "calendar_id, UUID, unique_identifier, entity_type) SELECT 1000 + i, 'E' || i, i, "
            "i + 60, 1, 'X-' || i, 'X-' || i, 2 FROM n;");
    ASSERT_EQ(kStatusOk, test::PackageStagedRequest(Request(calendar, {})));
    const Json::Value result = test::Parsed(g_results.text);
    EXPECT_EQ(one.extra + 4, result["size"].asInt());
    ASSERT_EQ(one.file_sizes.size(), result["msg_file_list"].size());
    std::set<std::string> identifiers;
    for (size_t n = 0; n < one.file_sizes.size(); ++n) {
      EXPECT_EQ(temp_.File("DataAnalysis_Calendar_" + std::to_string(n) + ".json"),
                result["msg_file_list"][static_cast<int>(n)].asString());
      const Json::Value events = test::Parsed(Detail(n));
      EXPECT_EQ(one.file_sizes[n], static_cast<int>(events.size()));
      for (const Json::Value& event : events) {
        if (event["utf_Title"].asString()[0] == 'E') {
          identifiers.insert(event["unique_identifier"].asString());
        }
      }
    }
    EXPECT_EQ(static_cast<size_t>(one.extra), identifiers.size());
  }
}

// Participants are looked up event by event through an index on their
// owner, made on a copy that lacks one; a store that cannot be given one
// (opened read-only) is read into a table instead. Both name the same
// people, the owner's identities left out.
TEST_F(IosCalendarTest, ParticipantsByIndexOrByTable) {
  const std::string path = Store("Calendar.sqlitedb", samples::kIosCalendarNewestSchema);
  test::RunSql(path, "DROP INDEX ParticipantOwnerId;");
  const std::string event_id =
      test::QueryColumn(path, "select ROWID from CalendarItem where summary='Team meeting'")[0];
  const auto participants_of = [&](OpenMode mode) {
    SQLite3Wrapper calendar(path);
    EXPECT_EQ(SQLITE_OK, calendar.Open(mode));
    CalendarLookups lookups;
    EXPECT_TRUE(lookups.Read(&calendar, nullptr, "", [] { return false; }));
    Json::Value event(Json::objectValue);
    event["ROWID"] = Json::Int64(std::stoll(event_id));
    lookups.Apply(&event);
    return Formatted(WriteJson(event["participants"]));
  };
  const std::string expected = Formatted(R"(["Anna Rossi", "Marco Bianchi"])");
  EXPECT_EQ(expected, participants_of(OpenMode::kReadOnly));
  EXPECT_TRUE(
      test::QueryColumn(path, "select name from sqlite_master where name like 'kx_%'").empty());
  EXPECT_EQ(expected, participants_of(OpenMode::kReadWrite));
  EXPECT_EQ(std::vector<std::string>{"kx_Participant_owner_id"},
            test::QueryColumn(path, "select name from sqlite_master where name like 'kx_%'"));
}

// An identity without a name takes the name of the first named identity of
// its address, an empty one included; an address no identity names leaves
// it out.
TEST_F(IosCalendarTest, UnnamedIdentitiesNamedByAddress) {
  const std::string path = Store("Calendar.sqlitedb", samples::kIosCalendarNewestSchema);
  const std::string event_id =
      test::QueryColumn(path, "select ROWID from CalendarItem where summary='Team meeting'")[0];
  test::RunSql(path,
               "INSERT INTO Identity (rowid, display_name, address) VALUES "
               "(6,'','mailto:z@example.com'),(7,'Zed','mailto:z@example.com'),"
               "(8,NULL,'mailto:z@example.com'),(9,NULL,'mailto:marco@example.com'),"
               "(10,NULL,'mailto:nobody@example.com'),(11,NULL,NULL);"
               "INSERT INTO Participant (entity_type, identity_id, owner_id, is_self) VALUES "
               "(7,8," +
                   event_id + ",0),(7,9," + event_id + ",0),(7,7," + event_id + ",0),(7,10," +
                   event_id + ",0),(7,11," + event_id + ",0);");
  SQLite3Wrapper calendar(path);
  ASSERT_EQ(SQLITE_OK, calendar.Open(OpenMode::kReadOnly));
  CalendarLookups lookups;
  ASSERT_TRUE(lookups.Read(&calendar, nullptr, "", [] { return false; }));
  std::vector<std::string> names;
  lookups.ParticipantNames(std::stoll(event_id), &names);
  EXPECT_EQ((std::vector<std::string>{"Anna Rossi", "Marco Bianchi", "Marco Bianchi", "Zed"}),
            names);
}

TEST(IosCalendarRulesTest, LikeWildcardsAndMediaTypes) {
  EXPECT_EQ("a\\_b\\%c\\\\d'e", EscapeLikePattern("a_b%c\\d'e"));
  const struct {
    const char* name;
    int media_type;
  } cases[] = {{"photo.JPG", 1}, {"agenda.pdf", 4},  {"talk.m4a", 2}, {"clip.MOV", 3},
               {"notes", 0},     {"archive.zip", 0}, {"", 0}};
  for (const auto& one : cases) EXPECT_EQ(one.media_type, CalendarMediaType(one.name)) << one.name;
}

// Missing, empty and damaged inputs: a status, no callback, nothing read
// from elsewhere.
TEST_F(IosCalendarTest, BadInput) {
  const std::string calendar = Store("Calendar.sqlitedb", 3);
  const std::string garbage = phone_.File("garbage.sqlitedb");
  test::WriteFileBytes(garbage, std::string(4096, 'x'));
  const std::string tables_only = phone_.File("calendars_only.sqlitedb");
  test::RunSql(tables_only, "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY, title TEXT);");
  const struct {
    const char* what;
    const char* key;  // member of primary_file_object changed
    std::string value;
    int staged;
    int old_style;  // the package call's: 1112 whatever the package function answered
  } cases[] = {
      {"no calendar", "calendar_file_path", phone_.File("missing.sqlitedb"), 1100, 1112},
      {"empty calendar path", "calendar_file_path", "", 1100, 1112},
      {"no catalogue", "manifest_file_path", "", 1100, 1112},
      {"damaged calendar", "calendar_file_path", garbage, 1105, 1112},
      {"damaged catalogue", "manifest_file_path", garbage, 1105, 1112},
      {"no events table", "calendar_file_path", tables_only, 1106, 1112},
  };
  for (const auto& one : cases) {
    SCOPED_TRACE(one.what);
    Json::Value request = Request(calendar, {});
    request["primary_file_object"][one.key] = one.value;
    Reset();
    EXPECT_EQ(one.staged, test::PackageStagedRequest(request));
    Reset();
    EXPECT_TRUE(test::NothingHandedOver(test::FilterAndPackage(request), one.old_style));
  }
  Json::Value request = Request(calendar, {});
  request["temp_folder"] = temp_.File("absent");
  EXPECT_TRUE(test::NothingHandedOver(test::PackageStagedRequest(request), 1100));
}

// A stop requested from another thread before each stage: the stages that
// do not look at the flag run on, the next that does ends the run with
// 1111, and no document reaches the host. After InitKxDataPackage the same
// request runs through.
TEST_F(IosCalendarTest, StopFromAnotherThreadBeforeEachStage) {
  const std::string calendar = Store("Calendar.sqlitedb", 3);
  const std::string older = Store("older.sqlitedb", 3, true);
  const auto run_stage = [](AbstractKxDataPackage& package, int stage) {
    switch (stage) {
      case 0:
        return package.CheckParam();
      case 1:
        return package.Init();
      case 2:
        return package.MergeDel();
      case 3:
        return package.AnalyseDatabase();
      default:
        return package.OutPut();
    }
  };
  const int stopping_stage[] = {3, 3, 3, 3, 4};
  for (int stop_before = 0; stop_before < 5; ++stop_before) {
    SCOPED_TRACE(stop_before);
    Reset();
    StagedParameters parameters =
        StagedParametersFromRequest(Request(calendar, {older}), kCalendarType, CaptureResult);
    IosCalendarKxDataPackage package(parameters);
    int status = kStatusOk;
    int stage = 0;
    for (; stage < 5 && status == kStatusOk; ++stage) {
      if (stage == stop_before) std::thread(RequestStop).join();
      status = run_stage(package, stage);
    }
    EXPECT_EQ(kStatusStopped, status);
    EXPECT_EQ(stopping_stage[stop_before], stage - 1);
    EXPECT_EQ(0, g_results.count);
  }
  Reset();
  EXPECT_TRUE(test::HandedOver(test::PackageStagedRequest(Request(calendar, {older}))));
}

// A stop requested from another thread while a stage reads rows: no
// callback, no result document, the stop logged; the next run goes through.
TEST_F(IosCalendarTest, StopFromAnotherThreadWhileReadingRows) {
  struct Case {
    bool staged;
    const char* sql_prefix;
    const char* log;
  };
  const Case cases[] = {
      {true, "select rowid,display_name", "IosCalendarKxDataPackage::AnalyseDatabase"},
      {true, "select summary", "IosCalendarKxDataPackage::AnalyseDatabase"},
      {false, "select summary", "IOSCalendarDataPackage stoped!"},
  };
  const std::string calendar = Store("Calendar.sqlitedb", samples::kIosCalendarNewestSchema);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sql_prefix) + (c.staged ? " staged" : " old style"));
    Reset();
    bool reached = false;
    int status = 0;
    {
      test::StagedStopGate gate(c.sql_prefix, true);
      status = gate.RunStopping(
          [&] {
            return c.staged ? test::PackageStagedRequest(Request(calendar, {}))
                            : test::FilterAndPackage(Request(calendar, {}));
          },
          &reached);
    }
    EXPECT_TRUE(reached);
    EXPECT_TRUE(test::NothingHandedOver(status, kStatusStopped));
    EXPECT_TRUE(Logged(c.log));
    EXPECT_FALSE(std::filesystem::exists(temp_.File("DataAnalysis_Calendar_1.json")));
    Reset();
    EXPECT_TRUE(test::HandedOver(c.staged ? test::PackageStagedRequest(Request(calendar, {}))
                                          : test::FilterAndPackage(Request(calendar, {}))));
    std::filesystem::remove(temp_.File("DataAnalysis_Calendar_1.json"));
  }
}

}  // namespace
}  // namespace kx
