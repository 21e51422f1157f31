// The Android SMS and MMS packager (data type 4), beyond the contract every
// packager keeps: an empty store, a stop in the MMS walk, the sms table of
// another version, and odd values.
#include "android/sms.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "package_capture.h"
#include "samples/android_telephony.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kSmsType = 4;

using test::CaptureResult;
using test::Formatted;
using test::g_results;

class SmsTest : public test::LibraryTest {
 protected:
  // A telephony database with the provider's own tables and the given rows.
  std::string Telephony(const std::string& name, int schema_version, const std::string& inserts) {
    const std::string path = phone_.File(name);
    test::RunSql(path, std::string(samples::AndroidTelephonySchemaSql(schema_version)) + inserts);
    return path;
  }

  int Package(const std::string& path, std::atomic<int>* stop = nullptr) {
    DataTypeRecord record;
    record.data_type = kSmsType;
    record.primary_files["sms_file_path"] = path;
    return test::CallPackageFunction(&record, CaptureResult, stop);
  }

  test::TempDir phone_;
};

TEST_F(SmsTest, StopDuringTheMmsWalkSkipsTheCallback) {
  // No SMS rows: the first test of the flag is at the first MMS part.
  const std::string path =
      Telephony("mmssms.db", 2,
                "INSERT INTO threads (_id,recipient_ids) VALUES (1,'1');"
                "INSERT INTO canonical_addresses VALUES (1,'+1 555 0100');"
                "INSERT INTO pdu (_id,thread_id,date,msg_box) VALUES (1,1,1615714000,1);"
                "INSERT INTO part (_id,mid,ct,text) VALUES (1,1,'text/plain','hi');");
  std::atomic<int> stop{kStopRequested};
  EXPECT_EQ(kStatusOk, Package(path, &stop));
  EXPECT_EQ(0, g_results.count);
}

// An empty store, one with nulls, text and odd dates, and a table of
// another version, read for what it has: what it lacks reads as NULL and is
// named once in the log.
TEST_F(SmsTest, DocumentsOfOddStores) {
  const struct {
    const char* label;
    std::string sql;
    std::string document;
  } cases[] = {
      {"empty", samples::AndroidTelephonySchemaSql(2), R"({"sessions": []})"},
      {"odd values",
       std::string(samples::AndroidTelephonySchemaSql(2)) +
           "INSERT INTO canonical_addresses VALUES (NULL,NULL);"
           "INSERT INTO threads (_id,recipient_ids) VALUES (7,NULL);"
           "INSERT INTO sms DEFAULT VALUES;"
           "INSERT INTO sms (thread_id,address,date,type,body) VALUES"
           " ('abc','X',12345,NULL,x'48692021'),"
           " (NULL,'X',-5000,'sent','neg');"
           "INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES (1,'abc','soon','inbox',NULL);"
           "INSERT INTO part (_id,mid,ct,_data,text) VALUES (1,1,'text/plain',NULL,'to X'),"
           " (2,'one','text/plain',NULL,'mid is text'), (3,1,NULL,NULL,NULL),"
           " (4,1,'/','/data/slash',NULL), (5,1,'tag/x','deleted',NULL),"
           " (6,1,'type/x','/data/not-a-type',NULL);",
       test::DataFile("android_sms/odd_values_document.json")},
      {"only sms",
       "CREATE TABLE sms (_id INTEGER PRIMARY KEY, address TEXT);"
       "INSERT INTO sms (address) VALUES ('+1 555 0100');",
       test::DataFile("android_sms/other_version_document.json")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir folder;
    const std::string path = folder.File("mmssms.db");
    test::RunSql(path, c.sql);
    g_results = test::CapturedResults();
    ASSERT_EQ(kStatusOk, Package(path));
    EXPECT_EQ(Formatted(c.document), g_results.text);
  }
  EXPECT_NE(std::string::npos,
            Log().find("sms has no column thread_id, date, type, body: read as NULL."));
}

}  // namespace
}  // namespace kx
