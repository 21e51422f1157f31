// The Android call-history packager (data type 3), beyond the contract every
// packager keeps: call logs without calls, odd values, and the call tables
// of other Android versions.
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
using test::Formatted;
using test::g_results;

class CallHistoryTest : public test::LibraryTest {
 protected:
  // Runs the package function on `path` directly.
  int Package(const std::string& path) {
    DataTypeRecord record;
    record.data_type = kCallHistoryType;
    record.primary_files["callhistory_file_path"] = path;
    return test::CallPackageFunction(&record);
  }
};

// contacts2.db of Android 2.x, which held the call log before countryiso.
constexpr char kCallsTableAndroid2[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT,number TEXT,date INTEGER,"
    "duration INTEGER,type INTEGER,new INTEGER,name TEXT,numbertype INTEGER,numberlabel TEXT)";

// Call logs of other versions, without calls, and with nulls, text and odd
// dates: what the query names and the table lacks reads as NULL (no
// member), and the log names it once.
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
  const std::string current = std::string(samples::AndroidCallsTableSql(2)) + ";";
  const Version kVersions[] = {
      {"empty", current, "", R"({"callhistory": []})"},
      {"odd values",
       current + "INSERT INTO calls (_id) VALUES (1);"
                 "INSERT INTO calls (number,date,duration,type,name,countryiso) VALUES"
                 " ('a',12345,'long','abc',x'00ff','ZZ'), ('b',-1000,1,'2',NULL,NULL),"
                 " ('c','yesterday',1.5,3.7,'','');",
       "", test::DataFile("android_call_history/odd_values_document.json")},
      {"android 2",
       std::string(kCallsTableAndroid2) +
           ";INSERT INTO calls (number,date,duration,type,name) VALUES"
           " ('+1 555-0100',1615713993123,65,1,'Mom');",
       "countryiso", std::string(R"({"callhistory": [{)") + kCall + "}]}"},
      {"android 4.4", std::string(samples::AndroidCallsTableSql(1)) + ";" + full_insert, "",
       std::string(R"({"callhistory": [{)") + kCall + R"(, "countryiso": "US"}]})"},
      {"current", current + full_insert, "",
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
      EXPECT_NE(std::string::npos, Log().find(logged));
    }
  }
  // Only the tables that lacked columns were logged, once each.
  const std::string log = Log();
  size_t lines = 0;
  for (size_t at = log.find("calls has no column "); at != std::string::npos;
       at = log.find("calls has no column ", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(2u, lines);
}

}  // namespace
}  // namespace kx
