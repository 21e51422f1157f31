// The Android contacts (data type 2), call-history (3) and SMS (4)
// packagers, beyond the contract every packager keeps: the contacts' type
// step, pictures, deleted tags and hostile values; tables of other versions,
// stores without rows and odd values; a stop in the MMS walk; and sources
// nobody here made, given to them and to LINE.
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "android/call_history.h"
#include "android/contacts.h"
#include "android/sms.h"
#include "android_fixtures.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/text.h"
#include "package_capture.h"
#include "packager/data_type_record.h"
#include "samples/android_call_log.h"
#include "samples/android_line.h"
#include "samples/android_telephony.h"
#include "samples/sample_set.h"
#include "sdk/data_type_table.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

constexpr int kContactType = 2;

using test::BlobLiteral;
using test::CapturedResults;
using test::ContactTables;
using test::Formatted;
using test::g_results;
using test::kInsertData;
using test::Parsed;
using test::PictureBytes;

std::vector<std::string> ThumbnailFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(PathFromUtf8(folder))) {
    if (entry.path().extension() == ".thumb") names.push_back(PathToUtf8(entry.path().filename()));
  }
  return names;
}

// The contact objects whose name item has this display name.
std::vector<Json::Value> ContactsNamed(const Json::Value& document, const std::string& name) {
  std::vector<Json::Value> found;
  for (const Json::Value& contact : document["raw_contacts"]) {
    if (contact["name"]["display_name"].asString() == name) found.push_back(contact);
  }
  return found;
}

// A store made by `sql`, the document it gives, and what the log names as
// missing from its table.
struct StoreCase {
  const char* label;
  std::string sql;
  std::string document;
  std::string missing = "";
};

class ContactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_results = CapturedResults();
    db_path_ = phone_.File("contacts2.db");
    record_.data_type = kContactType;
    record_.temp_folder = temp_.path();
    record_.primary_files["contact_file_path"] = db_path_;
  }

  void MakeContacts(const std::string& inserts) {
    test::RunSql(db_path_, ContactTables() + inserts);
  }

  int Package() { return test::CallPackageFunction(&record_); }

  // Packages and returns the one document handed over.
  std::string PackagedText() {
    EXPECT_EQ(kStatusOk, Package());
    EXPECT_EQ(1, g_results.count);
    EXPECT_EQ(0, g_results.kind);
    return g_results.text;
  }

  std::string ThumbnailPath(int64_t row_id, const std::string& picture) const {
    return JoinPath(temp_.path(),
                    std::to_string(row_id) + "_" + Fnv1a64Decimal(picture) + ".thumb");
  }

  test::TempDir phone_;  // source files
  test::TempDir temp_;   // the record's temp folder
  std::string db_path_;
  DataTypeRecord record_;
};

// One raw contact per case, named after it, with one data row of the kind.
struct TypeCase {
  const char* label;
  int mimetype_id;
  const char* member;  // the contact member of the kind
  const char* data2;   // SQL literal
  const char* data3;   // SQL literal
  const char* item;    // expected item; null when it is dropped
};

const TypeCase kTypeCases[] = {
    {"label", 5, "phone_v2", "'2'", "NULL", R"({"number": "v", "type": "mobile"})"},
    {"custom type alone", 5, "phone_v2", "NULL", "'Boat'", R"({"number": "v", "type": "Boat"})"},
    {"custom code 0", 5, "phone_v2", "'0'", "'Boat'", nullptr},
    {"unknown code", 5, "phone_v2", "'21'", "NULL", nullptr},
    {"no type at all", 5, "phone_v2", "NULL", "NULL", R"({"number": "v"})"},
    {"label drops custom", 15, "contact_event", "'3'", "'Name day'",
     R"({"start_date": "v", "type": "birthday"})"},
    {"event 1", 15, "contact_event", "'1'", "NULL", R"({"start_date": "v", "type": "aniversary"})"},
    {"website 6", 13, "website", "'6'", "NULL", R"({"url": "v", "type": "ftp"})"},
    {"email 4", 1, "email_v2", "'4'", "NULL", R"({"address": "v", "type": "mobile"})"},
    {"organization 2", 4, "organization", "'2'", "NULL", R"({"company": "v", "type": "other"})"},
    {"im 1", 2, "im", "'1'", "NULL", R"({"data": "v", "type": "home"})"},
    {"sip 3", 6, "sip_address", "'3'", "NULL", R"({"sip_address": "v", "type": "other"})"},
    {"postal 2", 8, "postal-address_v2", "'2'", "NULL",
     R"({"formatted_address": "v", "type": "work"})"},
    {"phone 20", 5, "phone_v2", "'20'", "NULL", R"({"number": "v", "type": "mms"})"},
    {"identity", 9, "identity", "'com.google'", "NULL",
     R"({"identity": "v", "namespace": "com.google"})"},
    {"code with a blank", 5, "phone_v2", "' 2'", "NULL", nullptr},
};

TEST_F(ContactsTest, TypeStep) {
  std::string inserts;
  int row_id = 0;
  for (size_t i = 0; i < std::size(kTypeCases); ++i) {
    const TypeCase& c = kTypeCases[i];
    const std::string raw_contact = std::to_string(i + 1);
    inserts += "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1) VALUES (" +
               std::to_string(++row_id) + "," + raw_contact + ",7,'" + c.label + "');";
    inserts += "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2,data3) VALUES (" +
               std::to_string(++row_id) + "," + raw_contact + "," + std::to_string(c.mimetype_id) +
               ",'v'," + c.data2 + "," + c.data3 + ");";
  }
  MakeContacts(inserts);
  const Json::Value document = Parsed(PackagedText());

  for (const TypeCase& c : kTypeCases) {
    SCOPED_TRACE(c.label);
    const std::vector<Json::Value> contacts = ContactsNamed(document, c.label);
    ASSERT_EQ(1u, contacts.size());
    if (c.item == nullptr) {
      EXPECT_FALSE(contacts[0].isMember(c.member));
    } else {
      EXPECT_EQ(Parsed(c.item), contacts[0][c.member]);
    }
  }
}

TEST_F(ContactsTest, PicturesFromTwoHundredFiftySixBytes) {
  const std::string small = PictureBytes(255);
  const std::string large = PictureBytes(256);
  MakeContacts(std::string(kInsertData) +
               "(1,1,7,'small',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(2,1,10,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL," +
               BlobLiteral(small) +
               "),"
               "(3,2,7,'large',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(4,2,10,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL," +
               BlobLiteral(large) + ");");

  const Json::Value document = Parsed(PackagedText());
  EXPECT_FALSE(ContactsNamed(document, "small").at(0).isMember("photo"));
  EXPECT_EQ(ThumbnailPath(4, large),
            ContactsNamed(document, "large").at(0)["photo"]["photo_thumb_path"].asString());
  EXPECT_EQ(std::vector<std::string>{fs::path(ThumbnailPath(4, large)).filename().string()},
            ThumbnailFiles(temp_.path()));
  EXPECT_EQ(large, test::ReadFileBytes(ThumbnailPath(4, large)));
}

// One person with a row of every kind, every column the kind reads set,
// pins the member names and their order in the whole document.
TEST_F(ContactsTest, EveryKindInFull) {
  const std::string picture = PictureBytes(300);
  MakeContacts(std::string(kInsertData) +
               "(1,1,1,'a@x','2','c','Ann',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(2,1,2,'ann_im','3','c',NULL,'5','Chat',NULL,NULL,NULL,NULL,NULL,NULL),"
               "(3,1,3,'Annie','4',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(4,1,4,'Acme','1','c','Boss','R&D','Leads','ACM',NULL,'Floor 3',NULL,NULL,NULL),"
               "(5,1,5,'+1 555 0100','17',NULL,'+15550100',NULL,NULL,NULL,NULL,NULL,NULL,NULL,"
               "NULL),"
               "(6,1,6,'sip:ann@x',NULL,'Desk',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(7,1,7,'Ann Lee','Ann','Lee','Dr.','M','Jr.',NULL,NULL,NULL,'1',NULL,NULL),"
               "(8,1,8,'1 Main St','1','c','Main St','PO 9','Old Town','Springfield','IL','62701',"
               "'US',NULL,NULL),"
               "(9,1,9,'ann@id','com.google',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(10,1,10,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,'7'," +
               BlobLiteral(picture) +
               "),"
               "(11,1,11,'6',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(12,1,12,'Met at \"the\" fête',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,"
               "NULL),"
               "(13,1,13,'https://ann.example','2',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,"
               "NULL),"
               "(14,1,14,'Bob','14',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(15,1,15,'1990-05-01','3',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL),"
               "(16,1,16,'4477009@s.whatsapp.net',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,"
               "NULL,NULL);");
  Json::Value expected = Parsed(test::DataFile("android_contacts/every_kind_document.json"));
  expected["raw_contacts"][0]["photo"]["photo_thumb_path"] = ThumbnailPath(10, picture);
  EXPECT_EQ(WriteJson(expected), PackagedText());
}

// Small stores whose documents pin a rule each.
TEST_F(ContactsTest, DocumentsOfSmallStores) {
  const StoreCase cases[] = {
      // A later row of a kind replaces the earlier; a dropped row replaces
      // nothing.
      {"later row replaces",
       ContactTables() +
           "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2,data3) VALUES "
           "(1,1,5,'111','2',NULL),(2,1,5,'222','3',NULL),(3,1,5,'333','0','Boat');",
       R"({"raw_contacts": [{"phone_v2": {"number": "222", "type": "work"}}]})"},
      // A contact of unknown kinds only is left out; a photo row without a
      // picture yields nothing either.
      {"unknown kinds only",
       ContactTables() + "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1) VALUES "
                         "(1,1,16,'4477009@s.whatsapp.net'),"
                         "(2,1,99,'a kind the mimetypes table does not know'), (3,1,10,NULL);",
       R"({"raw_contacts": []})"},
      {"empty and null columns",
       ContactTables() +
           "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2,data3,data4) VALUES "
           "(1,1,5,NULL,NULL,NULL,NULL),(2,2,7,'',NULL,'','Dr.');",
       R"({"raw_contacts": [{"phone_v2": {}}, {"name": {"prefix": "Dr."}}]})"},
      // A merged database: the tag goes on the contact when every item of it
      // was recovered, else on each recovered item; a recovered item never
      // hides a live one of its kind.
      {"deleted tags",
       ContactTables() +
           "ALTER TABLE data ADD COLUMN is_deleted INTEGER DEFAULT 0;"
           "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2,is_deleted) VALUES "
           "(1,1,7,'Live person',NULL,0),(2,1,1,'old@example.com','1',1),"
           "(3,2,7,'Gone person',NULL,1),(4,2,5,'555','2',1),"
           "(5,3,5,'111','3',1),(6,3,5,'222','2',0),"
           "(7,4,5,'333','2',0),(8,4,5,'444','3',1);",
       test::DataFile("android_contacts/deleted_rows_document.json")},
      // A hostile file without column types, so nothing is converted on the
      // way in. Row 4: a text mimetype id reads as its number and an integer
      // type as its digits; row 5 (later, same kind) has a real type without
      // a label and is dropped; rows of raw contact 'abc' cannot be looked up.
      {"nulls and text where integers belong",
       "CREATE TABLE mimetypes (_id, mimetype);"
       "CREATE TABLE data (_id INTEGER PRIMARY KEY, raw_contact_id, mimetype_id, data1, "
       "data2, data3, data4, data5, data6, data7, data8, data9, data10, data14, data15);"
       "INSERT INTO mimetypes VALUES (NULL, NULL), ('phone', 'vnd.android.cursor.item/"
       "email_v2'), (5, 'vnd.android.cursor.item/phone_v2'), (10, NULL);"
       "INSERT INTO data (_id, raw_contact_id, mimetype_id, data1, data2) VALUES "
       "(1, NULL, NULL, NULL, NULL), (2, 'abc', 5, '1', 2), (3, 7, 'x', 'y', 'z'),"
       "(4, 7, '5', '123', 2), (5, 7, 5, 4.5, 2.5), (6, 8, 10, NULL, NULL);",
       R"({"raw_contacts": [{"phone_v2": {"number": "123", "type": "mobile"}}]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    db_path_ = phone_.File(std::string(c.label) + ".db");
    record_.primary_files["contact_file_path"] = db_path_;
    test::RunSql(db_path_, c.sql);
    g_results = CapturedResults();
    EXPECT_EQ(Formatted(c.document), PackagedText());
  }
}

// ---------------------------------------------------------------------------
// Error paths and hostile input.

TEST_F(ContactsTest, PictureThatCannotBeWrittenKeepsItsPath) {
  const std::string picture = PictureBytes(400);
  MakeContacts(std::string(kInsertData) +
               "(3,1,10,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL," +
               BlobLiteral(picture) + ");");
  record_.temp_folder = JoinPath(temp_.path(), "gone");  // does not exist
  const std::string path = JoinPath(record_.temp_folder, "3_" + Fnv1a64Decimal(picture) + ".thumb");
  Json::Value expected = Parsed(R"({"raw_contacts": [{"photo": {"photo_thumb_path": ""}}]})");
  expected["raw_contacts"][0]["photo"]["photo_thumb_path"] = path;
  EXPECT_EQ(WriteJson(expected), PackagedText());
  EXPECT_FALSE(fs::exists(PathFromUtf8(path)));
}

// Runs the package function of `data_type` directly on the store `path`,
// given under `key`.
int PackageStore(int data_type, const char* key, const std::string& path,
                 std::atomic<int>* stop = nullptr) {
  DataTypeRecord record;
  record.data_type = data_type;
  record.primary_files[key] = path;
  return test::CallPackageFunction(&record, test::CaptureResult, stop);
}

// Packages the store of each case with the package function of
// `data_type` and compares the whole document.
void ExpectDocuments(int data_type, const char* key, const std::vector<StoreCase>& cases) {
  for (const StoreCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir folder;
    const std::string path = folder.File("store.db");
    test::RunSql(path, c.sql);
    g_results = CapturedResults();
    ASSERT_EQ(kStatusOk, PackageStore(data_type, key, path));
    EXPECT_EQ(Formatted(c.document), g_results.text);
  }
}

class CallHistoryTest : public test::LibraryTest {};

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
  const std::string current = std::string(samples::AndroidCallsTableSql(2)) + ";";
  const std::vector<StoreCase> versions = {
      {"empty", current, R"({"callhistory": []})"},
      {"odd values",
       current + "INSERT INTO calls (_id) VALUES (1);"
                 "INSERT INTO calls (number,date,duration,type,name,countryiso) VALUES"
                 " ('a',12345,'long','abc',x'00ff','ZZ'), ('b',-1000,1,'2',NULL,NULL),"
                 " ('c','yesterday',1.5,3.7,'','');",
       test::DataFile("android_call_history/odd_values_document.json")},
      {"android 2",
       std::string(kCallsTableAndroid2) +
           ";INSERT INTO calls (number,date,duration,type,name) VALUES"
           " ('+1 555-0100',1615713993123,65,1,'Mom');",
       std::string(R"({"callhistory": [{)") + kCall + "}]}", "countryiso"},
      {"android 4.4", std::string(samples::AndroidCallsTableSql(1)) + ";" + full_insert,
       std::string(R"({"callhistory": [{)") + kCall + R"(, "countryiso": "US"}]})"},
      {"current", current + full_insert,
       std::string(R"({"callhistory": [{)") + kCall + R"(, "countryiso": "US"}]})"},
      // A log keeping only a few columns, one of them declared in capitals.
      {"few columns",
       "CREATE TABLE calls (_id INTEGER PRIMARY KEY, NUMBER TEXT, date INTEGER);"
       "INSERT INTO calls (number,date) VALUES ('+1 555-0100',1615713993123);",
       R"({"callhistory": [{"NUMBER": "+1 555-0100", "calling_date": "03 - 14 - 2021 09:26 : 33",
           "type": "unknow, type id 0"}]})",
       "duration, type, name, countryiso"},
  };
  ExpectDocuments(3, "callhistory_file_path", versions);
  for (const StoreCase& version : versions) {
    if (version.missing.empty()) continue;
    const std::string logged = "calls has no column " + version.missing + ": read as NULL.";
    EXPECT_NE(std::string::npos, Log().find(logged)) << version.label;
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

class SmsTest : public test::LibraryTest {};

TEST_F(SmsTest, StopDuringTheMmsWalkSkipsTheCallback) {
  // No SMS rows: the first test of the flag is at the first MMS part.
  test::TempDir phone;
  const std::string path = phone.File("mmssms.db");
  test::RunSql(path, std::string(samples::AndroidTelephonySchemaSql(2)) +
                         "INSERT INTO threads (_id,recipient_ids) VALUES (1,'1');"
                         "INSERT INTO canonical_addresses VALUES (1,'+1 555 0100');"
                         "INSERT INTO pdu (_id,thread_id,date,msg_box) VALUES (1,1,1615714000,1);"
                         "INSERT INTO part (_id,mid,ct,text) VALUES (1,1,'text/plain','hi');");
  std::atomic<int> stop{kStopRequested};
  EXPECT_EQ(kStatusOk, PackageStore(4, "sms_file_path", path, &stop));
  EXPECT_EQ(0, g_results.count);
}

// An empty store, one with nulls, text and odd dates, and a table of
// another version, read for what it has: what it lacks reads as NULL and is
// named once in the log.
TEST_F(SmsTest, DocumentsOfOddStores) {
  ExpectDocuments(
      4, "sms_file_path",
      {
          {"empty", samples::AndroidTelephonySchemaSql(2), R"({"sessions": []})"},
          {"odd values",
           std::string(samples::AndroidTelephonySchemaSql(2)) +
               "INSERT INTO canonical_addresses VALUES (NULL,NULL);"
               "INSERT INTO threads (_id,recipient_ids) VALUES (7,NULL);"
               "INSERT INTO sms DEFAULT VALUES;"
               "INSERT INTO sms (thread_id,address,date,type,body) VALUES"
               " ('abc','X',12345,NULL,x'48692021'),"
               " (NULL,'X',-5000,'sent','neg');"
               "INSERT INTO pdu (_id,thread_id,date,msg_box,sub) VALUES "
               "(1,'abc','soon','inbox',NULL);"
               "INSERT INTO part (_id,mid,ct,_data,text) VALUES (1,1,'text/plain',NULL,'to X'),"
               " (2,'one','text/plain',NULL,'mid is text'), (3,1,NULL,NULL,NULL),"
               " (4,1,'/','/data/slash',NULL), (5,1,'tag/x','deleted',NULL),"
               " (6,1,'type/x','/data/not-a-type',NULL);",
           test::DataFile("android_sms/odd_values_document.json")},
          {"only sms",
           "CREATE TABLE sms (_id INTEGER PRIMARY KEY, address TEXT);"
           "INSERT INTO sms (address) VALUES ('+1 555 0100');",
           test::DataFile("android_sms/other_version_document.json")},
      });
  EXPECT_NE(std::string::npos,
            Log().find("sms has no column thread_id, date, type, body: read as NULL."));
}

// Android packagers on sources nobody here made: a damaged LINE store gives
// a status and one log line in SQLite's own words, never a document; numbers
// that JSON cannot hold are written as null by every packager, so every
// document and detail file reads back.

namespace fs = std::filesystem;
using test::g_results;

constexpr int kLineType = 30;

struct Packager {
  int data_type;
  const char* primary_key;
  const char* file_name;  // in the sample phone folder
};

const Packager kPackagers[] = {
    {3, "callhistory_file_path", "calllog.db"},
    {4, "sms_file_path", "mmssms.db"},
    {2, "contact_file_path", "contacts2.db"},
    {0, "msg_file_path", "msgstore.db"},
    {kLineType, "line_file_path", samples::kAndroidLineDatabaseName},
};

class HostileSourcesTest : public test::LibraryTest {
 protected:
  static void SetUpTestSuite() {
    samples_ = std::make_unique<test::TempDir>();
    std::string error;
    ASSERT_TRUE(samples::WriteAndroidSampleSet(samples_->path(), 1, &error)) << error;
  }
  static void TearDownTestSuite() { samples_.reset(); }

  static std::string Sound(const Packager& packager) {
    return (fs::u8path(samples_->path()) / samples::kSampleAndroidFolder / packager.file_name)
        .u8string();
  }
  // The package function's own status: the dispatcher would turn it into
  // 1112. The staged LINE run answers with its stage's status.
  int Package(const Packager& packager, const std::string& path, const std::string& temp) {
    g_results = test::CapturedResults();
    if (packager.data_type == kLineType) {
      return test::PackageStagedRequest(
          test::RequestDocument(kLineType, temp, packager.primary_key, path));
    }
    DataTypeRecord record;
    record.data_type = packager.data_type;
    record.temp_folder = temp;
    record.primary_files[packager.primary_key] = path;
    return test::CallPackageFunction(&record);
  }

  static std::unique_ptr<test::TempDir> samples_;
  test::TempDir work_;
};
std::unique_ptr<test::TempDir> HostileSourcesTest::samples_;

// The old-style packagers keep these in the contract suite; LINE's staged
// run answers alike. Its CheckParam answers for a missing file.
TEST_F(HostileSourcesTest, DamagedLineStoreGivesAStatusAndSqlitesWords) {
  const Packager& line = kPackagers[std::size(kPackagers) - 1];
  for (const test::DamagedDatabase& source : test::DamageDatabase(Sound(line), work_.path())) {
    SCOPED_TRACE(source.kind);
    const size_t log_before = Log().size();
    EXPECT_EQ(source.status, Package(line, source.path, work_.path()));
    EXPECT_EQ(0, g_results.count);
    const std::string log = Log().substr(log_before);
    const size_t at = log.find("[AndroidLineDataPackage::Init](");
    ASSERT_NE(std::string::npos, at) << log;
    EXPECT_NE(std::string::npos, log.find(source.words, at)) << log;
  }
}

// A file whose schema reads but whose rows do not: what was read is still
// handed over, and the status and the log say why in SQLite's words.
TEST_F(HostileSourcesTest, DamagedLineRowsGiveWhatWasReadAndAStatus) {
  const Packager& line = kPackagers[std::size(kPackagers) - 1];
  const std::string path = work_.File(line.file_name);
  fs::copy_file(fs::u8path(Sound(line)), fs::u8path(path));
  test::DamageTablePage(path, "chat_history");
  EXPECT_EQ(kStatusStepFailed, Package(line, path, work_.path()));
  EXPECT_EQ(1, g_results.count);
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("database disk image is malformed",
                                        log.find("[AndroidLineDataPackage::AnalyseDatabase](")))
      << log;
}

// Numbers JSON cannot hold follow.

// Every JSON file the run left in `folder` (batch and detail files) reads
// back with JsonCpp, as a host reads it.
void ExpectSideFilesRead(const std::string& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(folder))) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().u8string());
    const std::string text = test::ReadFileBytes(entry.path().u8string());
    test::Parsed(text);
    EXPECT_EQ(std::string::npos, text.find("e+9999"));
  }
}

TEST_F(HostileSourcesTest, NumbersJsonCannotHoldAreWrittenAsNull) {
  // Infinity where each packager reads numbers; SQLite itself turns a NaN
  // (infinity minus infinity) into NULL.
  const std::string kInfinities[] = {
      "UPDATE calls SET duration = CASE _id WHEN 1 THEN 1e999 WHEN 2 THEN -1e999 "
      "ELSE 1e999 - 1e999 END WHERE _id <= 3;",
      "UPDATE sms SET type = 1e999, thread_id = -1e999, date = 1e999;",
      "UPDATE data SET data2 = 1e999, raw_contact_id = -1e999 WHERE _id % 2 = 0;",
      "UPDATE chat SET sort_timestamp = 1e999; UPDATE message SET timestamp = -1e999, "
      "message_type = 1e999 WHERE _id % 3 = 0;",
      "UPDATE chat_history SET location_latitude = 1e999, location_longitude = -1e999, "
      "attachement_image_height = 1e999 - 1e999;",
  };
  for (size_t i = 0; i < std::size(kPackagers); ++i) {
    const Packager& packager = kPackagers[i];
    SCOPED_TRACE(packager.file_name);
    const std::string folder = work_.File(packager.file_name);
    fs::create_directories(fs::u8path(folder));
    const std::string path = folder + "/" + packager.file_name;
    fs::copy_file(fs::u8path(Sound(packager)), fs::u8path(path));
    test::RunSql(path, kInfinities[i]);
    ASSERT_EQ(0, Package(packager, path, folder));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(std::string::npos, g_results.text.find("e+9999"));
    const Json::Value document = test::Parsed(g_results.text);
    ExpectSideFilesRead(folder);
    if (packager.data_type == 3) {
      const Json::Value& calls = document["callhistory"];
      for (Json::ArrayIndex call = 0; call < 2; ++call) {
        EXPECT_TRUE(calls[call].isMember("duration") && calls[call]["duration"].isNull()) << call;
      }
      EXPECT_FALSE(calls[2].isMember("duration"));  // NULL, as SQLite stored it
    }
  }
}

}  // namespace
}  // namespace kx
