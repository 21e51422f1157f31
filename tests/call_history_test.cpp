// The Android call-history packager (data type 3): the document it hands
// over for small call logs of both schema versions, the merge of older
// copies through the filter, and stops.
#include "android/call_history.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "package_capture.h"
#include "samples/android_call_log.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kCallHistoryType = 3;

using test::CapturedResults;
using test::CaptureResult;
using test::ContextFor;
using test::Formatted;
using test::g_results;
using test::Parsed;

class CallHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    std::filesystem::create_directories(phone_.File("old"));
  }

  // A call log with the phone's own table text and the given rows.
  std::string CallLog(const std::string& name, int schema_version, const std::string& inserts) {
    const std::string path = phone_.File(name);
    test::RunSql(path, std::string(samples::AndroidCallsTableSql(schema_version)) + ";" + inserts);
    return path;
  }

  // Runs the package function on `path` directly.
  int Package(const std::string& path, std::atomic<int>* stop = nullptr) {
    DataTypeRecord record;
    record.data_type = kCallHistoryType;
    record.primary_files["callhistory_file_path"] = path;
    std::atomic<int> no_stop{0};
    return AndroidCallhistoryDataPackage(&record,
                                         ContextFor(kCallHistoryType, stop ? stop : &no_stop));
  }

  // Stages `primary` and `copies` through the library's filter entry point.
  int Filter(const std::string& primary, const std::vector<std::string>& copies) {
    Json::Value request;
    request["package_type"] = kCallHistoryType;
    request["temp_folder"] = temp_.path();
    request["primary_file_object"]["callhistory_file_path"] = primary;
    Json::Value& list = request["second_file_objects"]["callhistory_files_path"];
    list = EmptyJsonArray();
    for (const std::string& copy : copies) list.append(copy);
    const std::string text = WriteJson(request);
    return FilterDataType(text.c_str(), static_cast<int>(text.size()));
  }

  std::string LogText() const { return test::ReadFileBytes(logs_.File("KxDataPackage.log")); }

  test::TempDir logs_;
  test::TempDir phone_;  // the source files, as the host finds them
  test::TempDir temp_;   // the request's temp folder
};

TEST_F(CallHistoryTest, PackagesEveryCallOfTheNewerSchema) {
  const std::string path = CallLog(
      "calllog.db", 2,
      "INSERT INTO calls (_id,number,date,duration,type,name,countryiso) VALUES"
      " (1,'+1 555-0100',1615713993123,65,1,'Mom ❤️','US'),"
      " (2,'+46 70 123 45 67',1615714000000,0,2,'Zoë Ångström','SE'),"
      " (3,'+972 54-123-4567',1615714100000,12,3,'אורי כהן','IL'),"
      " (4,'5550199',1615714200000,30,4,'Seán O''Connor',NULL),"
      " (5,'',1615714300000,0,5,NULL,'US'),"
      " (6,'+33 6 12 34 56 78',1615714400000,0,6,'','FR'),"
      " (7,'\"Big\" Mike',1615714500000,300,7,'\"Big\" Mike','US');"
      "INSERT INTO calls (_id,number,date,duration,type) VALUES (8,5551234,1615714600000,1,8),"
      " (9,'72975',1615714700000,2,0), (10,'72975',1615714800000,3,-1),"
      " (11,'72975',1615714900000,4,NULL);");
  ASSERT_EQ(kStatusOk, Package(path));
  ASSERT_EQ(1, g_results.count);
  EXPECT_EQ(0, g_results.kind);
  EXPECT_EQ(Formatted(R"({"callhistory": [
      {"number": "+1 555-0100", "calling_date": "03 - 14 - 2021 09:26 : 33", "duration": 65,
       "type": "incomming", "name": "Mom ❤️", "countryiso": "US"},
      {"number": "+46 70 123 45 67", "calling_date": "03 - 14 - 2021 09:26 : 40", "duration": 0,
       "type": "outgoing", "name": "Zoë Ångström", "countryiso": "SE"},
      {"number": "+972 54-123-4567", "calling_date": "03 - 14 - 2021 09:28 : 20", "duration": 12,
       "type": "missed", "name": "אורי כהן", "countryiso": "IL"},
      {"number": "5550199", "calling_date": "03 - 14 - 2021 09:30 : 00", "duration": 30,
       "type": "voicemail", "name": "Seán O'Connor"},
      {"calling_date": "03 - 14 - 2021 09:31 : 40", "duration": 0, "type": "rejected",
       "countryiso": "US"},
      {"number": "+33 6 12 34 56 78", "calling_date": "03 - 14 - 2021 09:33 : 20", "duration": 0,
       "type": "blocked", "countryiso": "FR"},
      {"number": "\"Big\" Mike", "calling_date": "03 - 14 - 2021 09:35 : 00", "duration": 300,
       "type": "answered_externally", "name": "\"Big\" Mike", "countryiso": "US"},
      {"number": "5551234", "calling_date": "03 - 14 - 2021 09:36 : 40", "duration": 1,
       "type": "unknow, type id 8"},
      {"number": "72975", "calling_date": "03 - 14 - 2021 09:38 : 20", "duration": 2,
       "type": "unknow, type id 0"},
      {"number": "72975", "calling_date": "03 - 14 - 2021 09:40 : 00", "duration": 3,
       "type": "unknow, type id -1"},
      {"number": "72975", "calling_date": "03 - 14 - 2021 09:41 : 40", "duration": 4,
       "type": "unknow, type id 0"}]})"),
            g_results.text);
}

TEST_F(CallHistoryTest, PackagesTheOlderSchema) {
  const std::string path =
      CallLog("contacts2.db", 1,
              "INSERT INTO calls (number,date,duration,type,new,name,countryiso,is_read) VALUES"
              " ('0612345678',1615713993123,42,2,0,'José Núñez','ES',1);");
  ASSERT_EQ(kStatusOk, Package(path));
  EXPECT_EQ(Formatted(R"({"callhistory": [
      {"number": "0612345678", "calling_date": "03 - 14 - 2021 09:26 : 33", "duration": 42,
       "type": "outgoing", "name": "José Núñez", "countryiso": "ES"}]})"),
            g_results.text);
}

TEST_F(CallHistoryTest, FilterFoldsOlderCopiesInOnceAndTagsWhatThePhoneLost) {
  const std::string primary =
      CallLog("calllog.db", 2,
              "INSERT INTO calls (_id,number,date,duration,type,name) VALUES"
              " (1,'+1 555-0100',1615713993123,65,1,'Mom'),"
              " (2,'72975',1615714000000,0,3,NULL),"
              " (5,'+44 20 7946 0958',1615714500000,10,2,'Office');");
  // An older phone's call log: call 3 was deleted since, and its call 5 is
  // not the call the primary numbers 5 today (the log was cleared once).
  const std::string older = CallLog("old/contacts2.db", 1,
                                    "INSERT INTO calls (_id,number,date,duration,type,name) VALUES"
                                    " (1,'+1 555-0100',1615713993123,65,1,'Mom'),"
                                    " (2,'72975',1615714000000,0,3,NULL),"
                                    " (3,'+33 6 12 34 56 78',1615714100000,7,1,'Zoë'),"
                                    " (5,'+49 151 23456789',1610000000000,20,2,'Anna-Lena');");
  const std::string oldest = CallLog("calllog_backup.db", 2,
                                     "INSERT INTO calls (_id,number,date,duration,type,name) VALUES"
                                     " (3,'+33 6 12 34 56 78',1615714100000,7,1,'Zoë'),"
                                     " (4,'+20 10 1234 5678',1600000000000,0,6,NULL);");

  ASSERT_EQ(kStatusOk, Filter(primary, {older, oldest}));
  ASSERT_EQ(kStatusOk, PackageDataType(CaptureResult, kCallHistoryType));
  EXPECT_EQ(Formatted(R"({"callhistory": [
      {"number": "+1 555-0100", "calling_date": "03 - 14 - 2021 09:26 : 33", "duration": 65,
       "type": "incomming", "name": "Mom"},
      {"number": "72975", "calling_date": "03 - 14 - 2021 09:26 : 40", "duration": 0,
       "type": "missed"},
      {"number": "+44 20 7946 0958", "calling_date": "03 - 14 - 2021 09:35 : 00", "duration": 10,
       "type": "outgoing", "name": "Office"},
      {"number": "+33 6 12 34 56 78", "calling_date": "03 - 14 - 2021 09:28 : 20", "duration": 7,
       "type": "incomming", "name": "Zoë", "tag": "deleted"},
      {"number": "+49 151 23456789", "calling_date": "01 - 07 - 2021 06:13 : 20", "duration": 20,
       "type": "outgoing", "name": "Anna-Lena", "tag": "deleted"},
      {"number": "+20 10 1234 5678", "calling_date": "09 - 13 - 2020 12:26 : 40", "duration": 0,
       "type": "blocked", "tag": "deleted"}]})"),
            g_results.text);

  const std::string staged = JoinPath(temp_.path(), "calllog.db");
  EXPECT_EQ((std::vector<std::string>{"0", "0", "0", "1", "1", "1"}),
            test::QueryColumn(staged, "select is_deleted from calls order by rowid"));
  EXPECT_EQ(std::vector<std::string>{"calls_unique_key_index"},
            test::QueryColumn(staged,
                              "select name from sqlite_master where type = 'index' and "
                              "tbl_name = 'calls' and sql is not null"));
  // The sources themselves are never written.
  EXPECT_EQ(std::vector<std::string>{"0"},
            test::QueryColumn(primary,
                              "select count(*) from pragma_table_info('calls') "
                              "where name = 'is_deleted'"));
}

// Generated call logs of both schema versions: every call either copy holds
// is packaged once, and exactly the calls the newer copy lacks are tagged.
TEST_F(CallHistoryTest, FilterMergesGeneratedCopiesOfBothSchemas) {
  samples::AndroidSampleOptions newer;
  newer.scale = 3;
  samples::AndroidSampleOptions older = newer;
  older.schema_version = 1;
  older.older_copy = true;
  const std::string primary = phone_.File("calllog.db");
  const std::string copy = phone_.File("old/contacts2.db");
  ASSERT_TRUE(samples::WriteAndroidCallLog(primary, newer));
  ASSERT_TRUE(samples::WriteAndroidCallLog(copy, older));
  // The expected counts, straight from the two sources.
  const std::string scratch = phone_.File("scratch.db");
  test::RunSql(scratch,
               "attach '" + primary + "' as n; attach '" + copy +
                   "' as o;"
                   "create table expected as select"
                   " (select count(*) from (select number, date from n.calls union"
                   "  select number, date from o.calls)) as total,"
                   " (select count(*) from o.calls c where not exists (select 1 from n.calls d"
                   "  where d.number = c.number and d.date = c.date)) as lost;");
  const int total = std::stoi(test::QueryColumn(scratch, "select total from expected")[0]);
  const int lost = std::stoi(test::QueryColumn(scratch, "select lost from expected")[0]);
  ASSERT_GT(lost, 0);

  ASSERT_EQ(kStatusOk, Filter(primary, {copy}));
  ASSERT_EQ(kStatusOk, PackageDataType(CaptureResult, kCallHistoryType));
  const Json::Value calls = Parsed(g_results.text)["callhistory"];
  int tagged = 0;
  for (const Json::Value& call : calls) tagged += call.isMember("tag") ? 1 : 0;
  EXPECT_EQ(total, static_cast<int>(calls.size()));
  EXPECT_EQ(lost, tagged);
}

TEST_F(CallHistoryTest, StopBeforeAColumnSkipsTheCallback) {
  const std::string path =
      CallLog("calllog.db", 2,
              "INSERT INTO calls (number,date,duration,type) VALUES ('1',1615713993123,1,1);");
  std::atomic<int> stop{kStopRequested};
  EXPECT_EQ(kStatusOk, Package(path, &stop));
  EXPECT_EQ(0, g_results.count);
  EXPECT_NE(std::string::npos, LogText().find("AndroidCallhistoryDataPackage stoped!"));
}

TEST_F(CallHistoryTest, StopFromAnotherThreadDuringPackagingReportsStopped) {
  samples::AndroidSampleOptions big;
  big.scale = 1000;
  const std::string primary = phone_.File("calllog.db");
  ASSERT_TRUE(samples::WriteAndroidCallLog(primary, big));
  ASSERT_EQ(kStatusOk, Filter(primary, {}));
  EXPECT_EQ(kStatusStopped,
            test::PackageWhileStopping(kCallHistoryType, [this] { return LogText(); }));
  EXPECT_NE(std::string::npos, LogText().find("AndroidCallhistoryDataPackage stoped!"));
  EXPECT_EQ(0, g_results.count);
}

// Error paths and hostile data follow.

TEST_F(CallHistoryTest, PackageWithoutPrimaryFileFails) {
  DataTypeRecord record;
  std::atomic<int> stop{0};
  EXPECT_EQ(kStatusMissingInput,
            AndroidCallhistoryDataPackage(&record, ContextFor(kCallHistoryType, &stop)));
  EXPECT_EQ(0, g_results.count);
  EXPECT_NE(std::string::npos, LogText().find("[androidcallhistorydatapackage], at "));
  EXPECT_NE(std::string::npos, LogText().find(" line, No primary file."));
}

TEST_F(CallHistoryTest, FilterWithoutItsInputsFails) {
  enum class Queue { kNone, kEmpty, kFilled };
  struct Case {
    const char* name;
    bool with_primary;
    Queue queue;
    const char* log_text;
  };
  const Case cases[] = {
      {"no primary", false, Queue::kFilled, "No primary file."},
      {"no queue", true, Queue::kNone, "No second file."},
      {"empty queue", true, Queue::kEmpty, "No second file."},
  };
  for (const Case& c : cases) {
    DataTypeRecord record;
    if (c.with_primary) record.primary_files["callhistory_file_path"] = phone_.File("calllog.db");
    if (c.queue != Queue::kNone) record.second_files["callhistory_files_path"];
    if (c.queue == Queue::kFilled) record.second_files["callhistory_files_path"].Push("copy.db");
    std::atomic<int> stop{0};
    EXPECT_EQ(kStatusMissingInput,
              AndroidCallhistoryDataFilter(&record, nullptr, ContextFor(kCallHistoryType, &stop)))
        << c.name;
    EXPECT_NE(std::string::npos, LogText().find(c.log_text)) << c.name;
  }
}

TEST_F(CallHistoryTest, EmptyLogOrNoCallsTableGiveAnEmptyList) {
  const std::string without_calls = phone_.File("other.db");
  test::RunSql(without_calls, "CREATE TABLE voicemail_status (_id INTEGER PRIMARY KEY);");
  const std::string empty_log = CallLog("calllog.db", 2, "");
  for (const std::string& path : {empty_log, without_calls}) {
    g_results = CapturedResults();
    EXPECT_EQ(kStatusOk, Package(path)) << path;
    EXPECT_EQ(Formatted(R"({"callhistory": []})"), g_results.text) << path;
  }
  // Damaged files fail (hostile_sources_test); a missing one is not created.
  const std::string missing = phone_.File("missing.db");
  EXPECT_EQ(kStatusOpenFailed, Package(missing));
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(missing)));
}

TEST_F(CallHistoryTest, NullsTextAndOddDatesStillGiveADocument) {
  const std::string path =
      CallLog("calllog.db", 2,
              "INSERT INTO calls (_id) VALUES (1);"
              "INSERT INTO calls (number,date,duration,type,name,countryiso) VALUES"
              " ('a',12345,'long','abc',x'00ff','ZZ'),"
              " ('b',-1000,1,'2',NULL,NULL),"
              " ('c','yesterday',1.5,3.7,'','');");
  ASSERT_EQ(kStatusOk, Package(path));
  EXPECT_EQ(Formatted(R"({"callhistory": [
      {"type": "unknow, type id 0"},
      {"number": "a", "calling_date": "01 - 01 - 1970 03:25 : 45", "duration": "long",
       "type": "unknow, type id 0", "countryiso": "ZZ"},
      {"number": "b", "calling_date": "12 - 31 - 1969 23:43 : 20", "duration": 1,
       "type": "outgoing"},
      {"number": "c", "duration": 1.5, "type": "missed"}]})"),
            g_results.text);
}

// contacts2.db of Android 2.x, which held the call log before countryiso.
constexpr char kCallsTableAndroid2[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT,number TEXT,date INTEGER,"
    "duration INTEGER,type INTEGER,new INTEGER,name TEXT,numbertype INTEGER,numberlabel TEXT)";

// Call logs of other versions: what the query names and the table lacks
// reads as NULL (no member), and the log names it once.
TEST_F(CallHistoryTest, ReadsWhatCallTablesOfOtherVersionsHave) {
  constexpr char kCall[] = R"("number": "+1 555-0100", "calling_date": "03 - 14 - 2021 09:26 : 33",
                              "duration": 65, "type": "incomming", "name": "Mom")";
  const std::string full_insert =
      "INSERT INTO calls (number,date,duration,type,name,countryiso) VALUES"
      " ('+1 555-0100',1615713993123,65,1,'Mom','US');";
  struct Version {
    const char* label;
    std::string create_and_insert;
    std::string missing;  // as the log names it
    std::string document;
  };
  const Version kVersions[] = {
      {"android 2",
       std::string(kCallsTableAndroid2) +
           ";INSERT INTO calls (number,date,duration,type,name) VALUES"
           " ('+1 555-0100',1615713993123,65,1,'Mom');",
       "countryiso", std::string(R"({"callhistory": [{)") + kCall + "}]}"},
      {"android 4.4", std::string(samples::AndroidCallsTableSql(1)) + ";" + full_insert, "",
       std::string(R"({"callhistory": [{)") + kCall + R"(, "countryiso": "US"}]})"},
      {"current", std::string(samples::AndroidCallsTableSql(2)) + ";" + full_insert, "",
       std::string(R"({"callhistory": [{)") + kCall + R"(, "countryiso": "US"}]})"},
      // A log keeping only a few columns, one of them declared in capitals.
      {"few columns",
       "CREATE TABLE calls (_id INTEGER PRIMARY KEY, NUMBER TEXT, date INTEGER);"
       "INSERT INTO calls (number,date) VALUES ('+1 555-0100',1615713993123);",
       "duration, type, name, countryiso",
       R"({"callhistory": [{"NUMBER": "+1 555-0100", "calling_date": "03 - 14 - 2021 09:26 : 33",
           "type": "unknow, type id 0"}]})"},
  };
  for (const Version& version : kVersions) {
    SCOPED_TRACE(version.label);
    test::TempDir folder;
    const std::string path = folder.File("calls.db");
    test::RunSql(path, version.create_and_insert);
    g_results = CapturedResults();
    ASSERT_EQ(kStatusOk, Package(path));
    EXPECT_EQ(Formatted(version.document), g_results.text);
    if (!version.missing.empty()) {
      const std::string logged = "calls has no column " + version.missing + ": read as NULL.";
      EXPECT_NE(std::string::npos, LogText().find(logged));
    }
  }
  // Only the tables that lacked columns were logged, once each.
  const std::string log = LogText();
  size_t lines = 0;
  for (size_t at = log.find("calls has no column "); at != std::string::npos;
       at = log.find("calls has no column ", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(2u, lines);
}

}  // namespace
}  // namespace kx
