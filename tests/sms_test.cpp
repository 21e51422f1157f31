// The Android SMS and MMS packager (data type 4): conversations by
// normalised address, MMS filed under every address of their thread, the
// merge of older copies through the filter, and stops.
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

using test::CapturedResults;
using test::CaptureResult;
using test::ContextFor;
using test::Formatted;
using test::g_results;
using test::Parsed;

std::string WithoutSeparators(const std::string& address) {
  std::string kept;
  for (char c : address) {
    if (c != '(' && c != ')' && c != '-' && c != ' ') kept.push_back(c);
  }
  return kept;
}

class SmsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    std::filesystem::create_directories(phone_.File("old"));
  }

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
    std::atomic<int> no_stop{0};
    return AndroidSmsDataPackage(&record, ContextFor(kSmsType, stop ? stop : &no_stop));
  }

  int Filter(const std::string& primary, const std::vector<std::string>& copies) {
    Json::Value request;
    request["package_type"] = kSmsType;
    request["temp_folder"] = temp_.path();
    request["primary_file_object"]["sms_file_path"] = primary;
    Json::Value& list = request["second_file_objects"]["sms_files_path"];
    list = EmptyJsonArray();
    for (const std::string& copy : copies) list.append(copy);
    const std::string text = WriteJson(request);
    return FilterDataType(text.c_str(), static_cast<int>(text.size()));
  }

  std::string LogText() const { return test::ReadFileBytes(logs_.File("KxDataPackage.log")); }

  test::TempDir logs_;
  test::TempDir phone_;
  test::TempDir temp_;
};

// Threads: 1 and 2 with one party each, 3 a group of three, 4 names an
// address that does not exist, 6 has only an SMS without usable address.
constexpr char kConversationRows[] =
    "INSERT INTO canonical_addresses (_id,address) VALUES (1,'+1 (555) 123-4567'),"
    " (2,'+44 7700 900123'), (4,'+33 6 12 34 56 78'), (5,NULL);"
    "INSERT INTO threads (_id,recipient_ids) VALUES (1,'1'), (2,'2'), (3,'1 2  4'), (4,'9'),"
    " (5,'');"
    "INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES"
    " (1,1,'+1 (555) 123-4567',1615713993123,1,'Ça va ? 😀'),"
    " (2,1,'+15551234567',1615714000000,2,'It''s \"fine\"'),"
    " (3,2,'+44 7700 900123',NULL,7,NULL),"
    " (4,2,'+44 7700 900123',1615714100000,-1,'שלום'),"
    " (5,6,' - - ',1615714200000,1,'no address'),"
    " (6,2,'+44 7700 900123',1615714300000,5,'x');"
    "INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES"
    " (10,3,1615713993,1,'Photos 📷'), (11,1,1615714500,5,''), (12,99,1615714550,1,NULL),"
    " (14,2,1615714600,2,NULL);"
    "INSERT INTO part (_id,mid,seq,ct,_data,text) VALUES"
    " (1,10,-1,'application/smil',NULL,'<smil/>'),"
    " (2,10,0,'image/jpeg','/data/app_parts/PART_1.jpg',NULL),"
    " (3,10,1,'text/plain',NULL,'Look at this 🌅'),"
    " (4,11,0,'text/plain',NULL,'only text'),"
    " (5,12,0,'text/plain',NULL,'thread unknown'),"
    " (6,13,0,'text/plain',NULL,'no pdu row'),"
    " (7,14,0,'text/x-vCard','/data/app_parts/PART_7.vcf',NULL),"
    " (8,14,1,'audio/amr','',NULL),"
    " (9,14,2,'video/mp4','/data/app_parts/PART_9.mp4',NULL);";

constexpr char kConversationDocument[] = R"({"sessions": [
    {"address": "+15551234567", "messages": [
      {"message_type": "sms", "date": "03 - 14 - 2021 09:26 : 33", "type": "inbox",
       "body": "Ça va ? 😀"},
      {"message_type": "sms", "date": "03 - 14 - 2021 09:26 : 40", "type": "sent",
       "body": "It's \"fine\""},
      {"message_type": "mms", "date": "03 - 14 - 2021 09:26 : 33", "type": "inbox",
       "subject": "Photos 📷", "image": "/data/app_parts/PART_1.jpg", "text": "Look at this 🌅"},
      {"message_type": "mms", "date": "03 - 14 - 2021 09:35 : 00", "type": "unknow",
       "text": "only text"}]},
    {"address": "+447700900123", "messages": [
      {"message_type": "sms", "date": "", "type": "unknow", "body": ""},
      {"message_type": "sms", "date": "03 - 14 - 2021 09:28 : 20", "type": "unknow",
       "body": "שלום"},
      {"message_type": "sms", "date": "03 - 14 - 2021 09:31 : 40", "type": "failed", "body": "x"},
      {"message_type": "mms", "date": "03 - 14 - 2021 09:26 : 33", "type": "inbox",
       "subject": "Photos 📷", "image": "/data/app_parts/PART_1.jpg", "text": "Look at this 🌅"},
      {"message_type": "mms", "date": "03 - 14 - 2021 09:36 : 40", "type": "sent",
       "vcard": "/data/app_parts/PART_7.vcf", "video": "/data/app_parts/PART_9.mp4"}]},
    {"address": "+33612345678", "messages": [
      {"message_type": "mms", "date": "03 - 14 - 2021 09:26 : 33", "type": "inbox",
       "subject": "Photos 📷", "image": "/data/app_parts/PART_1.jpg", "text": "Look at this 🌅"}]}
  ]})";

TEST_F(SmsTest, GroupsMessagesByNormalisedAddressInBothSchemas) {
  for (int schema_version : {2, 1}) {
    g_results = CapturedResults();
    const std::string name = "mmssms" + std::to_string(schema_version) + ".db";
    ASSERT_EQ(kStatusOk, Package(Telephony(name, schema_version, kConversationRows)));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(0, g_results.kind);
    EXPECT_EQ(Formatted(kConversationDocument), g_results.text) << schema_version;
  }
}

TEST_F(SmsTest, EmptyDatabaseGivesNoSessions) {
  ASSERT_EQ(kStatusOk, Package(Telephony("mmssms.db", 2, "")));
  EXPECT_EQ(Formatted(R"({"sessions": []})"), g_results.text);
}

TEST_F(SmsTest, FilterFoldsOlderCopiesInOnceAndKeepsTheirReferences) {
  const std::string primary =
      Telephony("mmssms.db", 2,
                "INSERT INTO canonical_addresses VALUES (1,'+1 555 0100');"
                "INSERT INTO threads (_id,recipient_ids) VALUES (1,'1');"
                "INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES"
                " (1,1,'+1 555 0100',1615713993123,1,'hello'),"
                // _id 2 again: the provider reuses the number of a deleted newest row.
                " (2,1,'+1 555 0100',1615714500000,2,'newer message');"
                "INSERT INTO pdu (_id,thread_id,date,msg_box) VALUES (1,1,1615714000,1);"
                "INSERT INTO part (_id,mid,ct,text) VALUES (1,1,'text/plain','mms kept');");
  const std::string older = Telephony(
      "old/mmssms.db", 1,
      "INSERT INTO canonical_addresses VALUES (1,'+1 555 0100'), (2,'+44 20 7946 0958');"
      "INSERT INTO threads (_id,recipient_ids) VALUES (1,'1'), (2,'2');"
      "INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES"
      " (1,1,'+1 555 0100',1615713993123,1,'hello'),"
      " (2,1,'+1 555 0100',1615714100000,2,'deleted message'),"
      " (3,2,'+44 20 7946 0958',1615714200000,1,'lost conversation');"
      "INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES (1,1,1615714000,1,NULL),"
      " (2,2,1615714300,1,'Fwd: Ärger');"
      "INSERT INTO part (_id,mid,ct,_data,text) VALUES (1,1,'text/plain',NULL,'mms kept'),"
      " (2,2,'image/jpeg','/data/app_parts/PART_2.jpg',NULL),"
      " (3,2,'text/plain',NULL,'lost mms');");
  const std::string backup = Telephony(
      "mmssms_backup.db", 2,
      "INSERT INTO sms (_id,thread_id,address,date,type,body) VALUES"
      " (7,1,'+1 555 0100',1615714100000,2,'deleted message');"
      "INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES (2,2,1615714300,1,'Fwd: Ärger');");

  ASSERT_EQ(kStatusOk, Filter(primary, {older, backup}));
  ASSERT_EQ(kStatusOk, PackageDataType(CaptureResult, kSmsType));
  EXPECT_EQ(Formatted(R"({"sessions": [
      {"address": "+15550100", "messages": [
        {"message_type": "sms", "date": "03 - 14 - 2021 09:26 : 33", "type": "inbox",
         "body": "hello"},
        {"message_type": "sms", "date": "03 - 14 - 2021 09:35 : 00", "type": "sent",
         "body": "newer message"},
        {"message_type": "sms", "date": "03 - 14 - 2021 09:28 : 20", "type": "sent",
         "body": "deleted message", "tag": "deleted"},
        {"message_type": "mms", "date": "03 - 14 - 2021 09:26 : 40", "type": "inbox",
         "text": "mms kept"}]},
      {"address": "+442079460958", "messages": [
        {"message_type": "sms", "date": "03 - 14 - 2021 09:30 : 00", "type": "inbox",
         "body": "lost conversation", "tag": "deleted"},
        {"message_type": "mms", "date": "03 - 14 - 2021 09:31 : 40", "type": "inbox",
         "subject": "Fwd: Ärger", "image": "/data/app_parts/PART_2.jpg", "text": "lost mms",
         "tag": "deleted"}]}]})"),
            g_results.text);

  const std::string staged = JoinPath(temp_.path(), "mmssms.db");
  EXPECT_EQ((std::vector<std::string>{"0", "0", "1", "1"}),
            test::QueryColumn(staged, "select is_deleted from sms order by rowid"));
  EXPECT_EQ((std::vector<std::string>{"1", "2", "2"}),
            test::QueryColumn(staged, "select mid from part order by _id"));
  EXPECT_EQ((std::vector<std::string>{"canonical_addresses_unique_key_index",
                                      "part_unique_key_index", "pdu_unique_key_index",
                                      "sms_unique_key_index", "threads_unique_key_index"}),
            test::QueryColumn(staged,
                              "select name from sqlite_master where type = 'index' and "
                              "name like '%unique_key_index' order by name"));
}

// Generated databases of both schema versions: every SMS either copy holds
// is packaged once, exactly the ones the newer copy lacks are tagged, and a
// conversation the phone lost entirely comes back whole.
TEST_F(SmsTest, FilterMergesGeneratedCopiesOfBothSchemas) {
  samples::AndroidSampleOptions newer;
  newer.scale = 3;
  samples::AndroidSampleOptions older = newer;
  older.schema_version = 1;
  older.older_copy = true;
  const std::string primary = phone_.File("mmssms.db");
  const std::string copy = phone_.File("old/mmssms.db");
  ASSERT_TRUE(samples::WriteAndroidTelephony(primary, newer));
  ASSERT_TRUE(samples::WriteAndroidTelephony(copy, older));
  const std::string scratch = phone_.File("scratch.db");
  test::RunSql(scratch,
               "attach '" + primary + "' as n; attach '" + copy +
                   "' as o;"
                   "create table expected as select"
                   " (select count(*) from (select address, date from n.sms union"
                   "  select address, date from o.sms)) as total,"
                   " (select count(*) from o.sms c where not exists (select 1 from n.sms d"
                   "  where d.address = c.address and d.date = c.date)) as lost;"
                   "create table lost_addresses as select address from o.canonical_addresses"
                   " where _id not in (select _id from n.canonical_addresses);");
  const int total = std::stoi(test::QueryColumn(scratch, "select total from expected")[0]);
  const int lost = std::stoi(test::QueryColumn(scratch, "select lost from expected")[0]);
  const std::vector<std::string> lost_addresses =
      test::QueryColumn(scratch, "select address from lost_addresses");
  ASSERT_EQ(1u, lost_addresses.size());

  ASSERT_EQ(kStatusOk, Filter(primary, {copy}));
  ASSERT_EQ(kStatusOk, PackageDataType(CaptureResult, kSmsType));
  const Json::Value sessions = Parsed(g_results.text)["sessions"];
  int sms = 0;
  int tagged_sms = 0;
  bool lost_conversation_found = false;
  for (const Json::Value& session : sessions) {
    bool all_tagged = true;
    for (const Json::Value& message : session["messages"]) {
      const bool tagged = message.get("tag", "").asString() == "deleted";
      all_tagged = all_tagged && tagged;
      if (message["message_type"].asString() != "sms") continue;
      ++sms;
      tagged_sms += tagged ? 1 : 0;
    }
    if (session["address"].asString() == WithoutSeparators(lost_addresses[0])) {
      lost_conversation_found = true;
      EXPECT_TRUE(all_tagged);
    }
  }
  EXPECT_EQ(total, sms);
  EXPECT_EQ(lost, tagged_sms);
  EXPECT_TRUE(lost_conversation_found);
}

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
  EXPECT_NE(std::string::npos, LogText().find("AndroidSmsDataPackage stoped!"));
}

TEST_F(SmsTest, StopFromAnotherThreadDuringPackagingReportsStopped) {
  samples::AndroidSampleOptions big;
  big.scale = 1000;
  const std::string primary = phone_.File("mmssms.db");
  ASSERT_TRUE(samples::WriteAndroidTelephony(primary, big));
  ASSERT_EQ(kStatusOk, Filter(primary, {}));
  EXPECT_EQ(kStatusStopped, test::PackageWhileStopping(kSmsType, [this] { return LogText(); }));
  EXPECT_NE(std::string::npos, LogText().find("AndroidSmsDataPackage stoped!"));
  EXPECT_EQ(0, g_results.count);
}

// Error paths and hostile data follow.

TEST_F(SmsTest, MissingInputsFail) {
  std::atomic<int> stop{0};
  DataTypeRecord empty;
  EXPECT_EQ(kStatusMissingInput, AndroidSmsDataPackage(&empty, ContextFor(kSmsType, &stop)));
  EXPECT_EQ(kStatusMissingInput,
            AndroidSmsDataFilter(&empty, nullptr, ContextFor(kSmsType, &stop)));
  EXPECT_NE(std::string::npos, LogText().find("[androidsmsdatapackage], at "));
  EXPECT_NE(std::string::npos, LogText().find(" line, No primary file."));

  DataTypeRecord without_copies;
  without_copies.primary_files["sms_file_path"] = phone_.File("mmssms.db");
  EXPECT_EQ(kStatusMissingInput,
            AndroidSmsDataFilter(&without_copies, nullptr, ContextFor(kSmsType, &stop)));
  without_copies.second_files["sms_files_path"];
  EXPECT_EQ(kStatusMissingInput,
            AndroidSmsDataFilter(&without_copies, nullptr, ContextFor(kSmsType, &stop)));
  EXPECT_NE(std::string::npos, LogText().find(" line, No second files."));
  EXPECT_EQ(0, g_results.count);
}

TEST_F(SmsTest, SourcesWithoutTheTablesGiveNoSessions) {
  const std::string not_a_database = phone_.File("garbage.db");
  test::WriteFileBytes(not_a_database, "SQLite format 3" + std::string(4000, '\x01'));
  for (const std::string& path : {not_a_database, phone_.File("missing.db")}) {
    g_results = CapturedResults();
    EXPECT_EQ(kStatusOpenFailed, Package(path)) << path;
    EXPECT_EQ(0, g_results.count) << path;
  }
  const std::string without_tables = phone_.File("other.db");
  test::RunSql(without_tables, "CREATE TABLE words (_id INTEGER PRIMARY KEY);");
  const std::string only_sms = phone_.File("only_sms.db");
  test::RunSql(only_sms,
               "CREATE TABLE sms (_id INTEGER PRIMARY KEY, address TEXT);"
               "INSERT INTO sms (address) VALUES ('+1 555 0100');");
  g_results = CapturedResults();
  EXPECT_EQ(kStatusOk, Package(without_tables));
  EXPECT_EQ(Formatted(R"({"sessions": []})"), g_results.text);
  // A table of another version is read for what it has; what it lacks
  // reads as NULL and is named once in the log.
  g_results = CapturedResults();
  EXPECT_EQ(kStatusOk, Package(only_sms));
  EXPECT_EQ(Formatted(R"({"sessions": [{"address": "+15550100", "messages": [
      {"body": "", "date": "", "message_type": "sms", "type": "all"}]}]})"),
            g_results.text);
  EXPECT_NE(std::string::npos,
            LogText().find("sms has no column thread_id, date, type, body: read as NULL."));
}

TEST_F(SmsTest, NullsTextAndOddDatesStillGiveADocument) {
  const std::string path = Telephony(
      "mmssms.db", 2,
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
      " (6,1,'type/x','/data/not-a-type',NULL);");
  ASSERT_EQ(kStatusOk, Package(path));
  EXPECT_EQ(Formatted(R"({"sessions": [{"address": "X", "messages": [
      {"message_type": "sms", "date": "01 - 01 - 1970 03:25 : 45", "type": "all",
       "body": "Hi !"},
      {"message_type": "sms", "date": "12 - 31 - 1969 22:36 : 40", "type": "all",
       "body": "neg"},
      {"message_type": "mms", "date": "", "type": "all", "text": "to X"}]}]})"),
            g_results.text);
}

}  // namespace
}  // namespace kx
