// What every old-style packager promises, run for each of them: the
// document of a small store, the merge of older copies (a row only a copy
// holds comes back once, tagged "deleted"), a stop during the package step,
// and the statuses of missing and damaged input.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "android_fixtures.h"
#include "common/field_config.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "ios_fixtures.h"
#include "package_capture.h"
#include "samples/android_call_log.h"
#include "samples/android_contacts.h"
#include "samples/android_telephony.h"
#include "samples/android_whatsapp.h"
#include "samples/ios_messages.h"
#include "samples/ios_whatsapp.h"
#include "test_support.h"
#include "whatsapp_fixtures.h"

namespace kx {
namespace {

using test::CaptureResult;
using test::g_results;

// Each packager's traits: its keys, its small store with the application's
// own tables, the document of that store, a merge of older copies with its
// document ("{T}" is the temp folder), and a store large enough to stop in.

// Files a packager reads beside its store (key, path).
using Companions = std::vector<std::pair<std::string, std::string>>;

// What most packagers share; a packager's traits say where they differ.
struct Defaults {
  // The filter's status for a record without a queue of copies, and with
  // an empty one.
  static constexpr int kStatusWithoutQueue = kStatusMissingInput;
  static constexpr int kStatusEmptyQueue = kStatusMissingInput;
  static Companions Beside(const std::string&) { return {}; }
  // The document as compared: side files read in place of their paths.
  static std::string Observed(const std::string& text) { return text; }
  // Packagers without a filter step have no copies to merge.
  static constexpr bool kHasFilter = true;
  // What else a request and a record carry (an iOS backup's folder and
  // layout).
  static void Complete(Json::Value*) {}
  static void Complete(DataTypeRecord*) {}
};

// Sample options of the given scale.
template <typename Options>
Options Scaled(int scale) {
  Options options;
  options.scale = scale;
  return options;
}

// The shared builder: a database at `path` of `schema` holding `rows`.
std::string Store(const std::string& path, const std::string& schema, const std::string& rows) {
  test::RunSql(path, schema + rows);
  return path;
}

// The document `text` with the batch files of each chat in its list `key`
// read in place of their paths, so that one comparison covers the messages
// too.
std::string MessagesReadInPlace(const std::string& text, const char* key) {
  Json::Value document = test::Parsed(text);
  for (Json::Value& chat : document[key]) {
    Json::Value messages(Json::arrayValue);
    for (const Json::Value& message : test::ChatMessages(chat)) messages.append(message);
    chat.removeMember("msg_file_list");
    chat["messages"] = messages;
  }
  return WriteJson(document);
}

struct CallHistory : Defaults {
  static constexpr int kType = 3;
  static constexpr char kPrimaryKey[] = "callhistory_file_path";
  static constexpr char kCopiesKey[] = "callhistory_files_path";
  static constexpr char kFile[] = "calllog.db";
  static constexpr char kLogPrefix[] = "[androidcallhistorydatapackage], at ";
  static constexpr const char* kEmptyDocument = R"({"callhistory": []})";
  static constexpr char kRowsTable[] = "calls";

  static std::string Calls(const std::string& path, int version, const std::string& rows) {
    return Store(path, std::string(samples::AndroidCallsTableSql(version)) + ";", rows);
  }
  static void WriteStore(const std::string& path) {
    Calls(path, 2, test::DataFile("packager_contract/call_history_store_rows.sql"));
  }
  static std::string Document(const std::string&) {
    return test::DataFile("packager_contract/call_history_document.json");
  }
  // An older phone's log (schema of Android 4.4) still holds call 3, and
  // its call 5 is not the call the primary numbers 5 today (the log was
  // cleared once); a backup holds call 3 again and call 4.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    const char kInsert[] = "INSERT INTO calls (_id,number,date,duration,type,name) VALUES";
    return {Calls(phone.File(kFile), 2,
                  std::string(kInsert) + " (1,'+1 555-0100',1615713993123,65,1,'Mom'),"
                                         " (2,'72975',1615714000000,0,3,NULL),"
                                         " (5,'+44 20 7946 0958',1615714500000,10,2,'Office');"),
            Calls(phone.File("old/contacts2.db"), 1,
                  std::string(kInsert) + " (1,'+1 555-0100',1615713993123,65,1,'Mom'),"
                                         " (2,'72975',1615714000000,0,3,NULL),"
                                         " (3,'+33 6 12 34 56 78',1615714100000,7,1,'Zoë'),"
                                         " (5,'+49 151 23456789',1610000000000,20,2,'Anna-Lena');"),
            Calls(phone.File("calllog_backup.db"), 2,
                  std::string(kInsert) + " (3,'+33 6 12 34 56 78',1615714100000,7,1,'Zoë'),"
                                         " (4,'+20 10 1234 5678',1600000000000,0,6,NULL);")};
  }
  static std::string MergedDocument(const std::string&) {
    return test::DataFile("packager_contract/call_history_merged_document.json");
  }
  static bool WriteLarge(const std::string& path) {
    return samples::WriteAndroidCallLog(path, Scaled<samples::AndroidSampleOptions>(1000));
  }
};

struct Sms : Defaults {
  static constexpr int kType = 4;
  static constexpr char kPrimaryKey[] = "sms_file_path";
  static constexpr char kCopiesKey[] = "sms_files_path";
  static constexpr char kFile[] = "mmssms.db";
  static constexpr char kLogPrefix[] = "[androidsmsdatapackage], at ";
  static constexpr const char* kEmptyDocument = R"({"sessions": []})";
  static constexpr char kRowsTable[] = "sms";

  static std::string Telephony(const std::string& path, int version, const std::string& rows) {
    return Store(path, samples::AndroidTelephonySchemaSql(version), rows);
  }
  // Threads: 1 and 2 with one party each, 3 a group of three, 4 names an
  // address that does not exist, 6 has only an SMS without usable address.
  // The tables of Android 4.4: the merge below packages a current release's.
  static void WriteStore(const std::string& path) {
    Telephony(path, 1, test::DataFile("packager_contract/sms_store_rows.sql"));
  }
  static std::string Document(const std::string&) {
    return test::DataFile("packager_contract/sms_document.json");
  }
  // The primary reuses _id 2 of a deleted newest SMS, as the provider does;
  // the older copy (Android 4.4) holds a conversation the phone lost.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    return {Telephony(phone.File(kFile), 2,
                      test::DataFile("packager_contract/sms_merge_phone_rows.sql")),
            Telephony(phone.File("old/mmssms.db"), 1,
                      test::DataFile("packager_contract/sms_merge_older_rows.sql")),
            Telephony(phone.File("mmssms_backup.db"), 2,
                      test::DataFile("packager_contract/sms_merge_backup_rows.sql"))};
  }
  static std::string MergedDocument(const std::string&) {
    return test::DataFile("packager_contract/sms_merged_document.json");
  }
  static bool WriteLarge(const std::string& path) {
    return samples::WriteAndroidTelephony(path, Scaled<samples::AndroidSampleOptions>(1000));
  }
};

struct Contacts : Defaults {
  static constexpr int kType = 2;
  static constexpr char kPrimaryKey[] = "contact_file_path";
  static constexpr char kCopiesKey[] = "contact_files_path";
  static constexpr char kFile[] = "contacts2.db";
  static constexpr char kLogPrefix[] = "[androidcontactdatapackge], at ";
  static constexpr const char* kEmptyDocument = R"({"raw_contacts": []})";
  static constexpr char kRowsTable[] = "data";

  static std::string Picture() { return test::PictureBytes(300); }
  static void WriteStore(const std::string& path) {
    test::RunSql(path, test::ContactTables() + test::kInsertData +
                           ReplaceAll(test::DataFile("packager_contract/contacts_store_rows.sql"),
                                      "{PICTURE}", test::BlobLiteral(Picture())));
  }
  static std::string Document(const std::string& temp) {
    return ReplaceAll(
        test::DataFile("packager_contract/contacts_document.json"), "{PICTURE}",
        test::JsonEscaped(JoinPath(temp, "15_" + Fnv1a64Decimal(Picture()) + ".thumb")));
  }
  // The older copy still holds an address of a live person and a whole
  // person the phone lost.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    const std::string rows =
        "INSERT INTO data (_id,raw_contact_id,mimetype_id,data1,data2) VALUES"
        " (1,1,7,'Live person',NULL), (2,1,5,'111','2')";
    return {Store(phone.File(kFile), test::ContactTables(), rows + ";"),
            Store(phone.File("old/contacts2.db"), test::ContactTables(),
                  rows + ", (3,1,1,'old@example.com','1'), (4,2,7,'Gone person',NULL),"
                         " (5,2,5,'555','2');")};
  }
  static std::string MergedDocument(const std::string&) {
    return test::DataFile("packager_contract/contacts_merged_document.json");
  }
  static bool WriteLarge(const std::string& path) {
    return samples::WriteAndroidContacts(path, Scaled<samples::AndroidSampleOptions>(300));
  }
};

struct WhatsApp : Defaults {
  static constexpr int kType = 0;
  static constexpr char kPrimaryKey[] = "msg_file_path";
  static constexpr char kCopiesKey[] = "msg_files_path";
  static constexpr char kFile[] = "msgstore.db";
  static constexpr char kLogPrefix[] = "[whatsappdatapackage], at ";
  static constexpr const char* kEmptyDocument = R"({"chat_sessions": [], "size": 0})";
  static constexpr char kRowsTable[] = "message";
  // A store without copies has nothing to merge.
  static constexpr int kStatusWithoutQueue = kStatusOk;
  static constexpr int kStatusEmptyQueue = kStatusOk;

  static std::string Messages(const std::string& path, const std::string& rows) {
    return Store(path, test::NewerLayoutSchema(), rows);
  }
  static void WriteStore(const std::string& path) { Messages(path, test::MergePhoneRows()); }
  static std::string Document(const std::string&) {
    return test::DataFile("packager_contract/whatsapp_document.json");
  }
  // The same older copy twice: its rows still arrive once.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    return {Messages(phone.File(kFile), test::MergePhoneRows()),
            Messages(phone.File("old/msgstore.db"), test::MergeOlderRows()),
            Messages(phone.File("msgstore-older.db"), test::MergeOlderRows())};
  }
  static std::string MergedDocument(const std::string& temp) {
    return test::Expand(test::DataFile("packager_contract/whatsapp_merged_document.json"), temp);
  }
  static bool WriteLarge(const std::string& path) {
    samples::AndroidSampleOptions options;
    samples::WhatsAppStoreShape shape;
    shape.chats = 20;
    shape.messages_per_chat = 2000;
    shape.mix = samples::WhatsAppMessageMix::kTypical;
    return samples::WriteWhatsAppMessageStore(path, options, shape);
  }
  static std::string Observed(const std::string& text) {
    return MessagesReadInPlace(text, "chat_sessions");
  }
};

// The document `text` with the files that its list `key` names read in
// place of their paths.
std::string FilesReadInPlace(const std::string& text, const char* key) {
  Json::Value document = test::Parsed(text);
  for (Json::Value& file : document[key]) file = test::ParsedFile(file.asString());
  return WriteJson(document);
}

// `name` in the folder of `path`.
std::string Sibling(const std::string& path, const char* name) {
  return JoinPath(std::filesystem::u8path(path).parent_path().u8string(), name);
}

// The address book beside an iOS store: Ana, her number and her picture.
void WriteAddressBook(const std::string& store) {
  Store(Sibling(store, "AddressBook.sqlitedb"), test::BookSql(),
        test::Person(7, "Ana", ", Last", ", 'Silva'") + test::Value(1, 7, 3, 1, "+351912345678"));
  Store(Sibling(store, "AddressBookImages.sqlitedb"), samples::IosAddressBookImagesSql(),
        ";INSERT INTO ABFullSizeImage (record_id, data) VALUES (7, x'FFD8FFE0');");
}

struct IosCallHistory : Defaults {
  static constexpr int kType = 13;
  static constexpr char kPrimaryKey[] = "call_file_path";
  static constexpr char kCopiesKey[] = "call_files_path";
  static constexpr char kFile[] = "CallHistory.storedata";
  static constexpr char kLogPrefix[] = "[ioscallhistorydatapackage], at ";
  static constexpr const char* kEmptyDocument = nullptr;  // another database is refused
  static constexpr char kRowsTable[] = "ZCALLRECORD";
  static constexpr int kStatusEmptyQueue = kStatusOk;

  static Companions Beside(const std::string& folder) {
    return {{"contact_file_path", JoinPath(folder, "AddressBook.sqlitedb")},
            {"contact_image_file_path", JoinPath(folder, "AddressBookImages.sqlitedb")}};
  }
  // The phone today: one call, a line of its own, and a handle whose calls
  // are gone.
  static void WriteStore(const std::string& path) {
    WriteAddressBook(path);
    Store(path, samples::IosCallHistorySql(samples::kIosCallHistoryNewestSchema) + ";",
          test::Call(1, 1, 1, 62.5, "+351 91 234 5678", "A-1") +
              "UPDATE ZCALLRECORD SET ZLOCATION = 'Portugal', ZSERVICE_PROVIDER = "
              "'com.apple.Telephony', ZLOCALPARTICIPANTUUID = x'0102' WHERE Z_PK = 1;"
              "INSERT INTO ZHANDLE VALUES (1, 3, 1, 2, '+351912345678', '+351912345678');"
              "INSERT INTO ZHANDLE VALUES (2, 3, 1, 2, '+15550199', '+15550199');"
              "INSERT INTO Z_2REMOTEPARTICIPANTHANDLES VALUES (1, 1);");
  }
  static std::string Document(const std::string& temp) {
    return test::Expand(test::DataFile("packager_contract/ios_call_history_document.json"), temp);
  }
  // The older backup (the oldest store version) still holds a call since
  // deleted.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    WriteStore(phone.File(kFile));
    return {phone.File(kFile),
            Store(phone.File("old/CallHistory.storedata"),
                  samples::IosCallHistorySql(samples::kIosCallHistoryOldestSchema) + ";",
                  test::Call(1, 1, 1, 62.5, "+351 91 234 5678", "A-1") +
                      test::Call(2, 1, 0, 0, "+351-912345678", "B-9"))};
  }
  static std::string MergedDocument(const std::string& temp) {
    return test::Expand(test::DataFile("packager_contract/ios_call_history_merged_document.json"),
                        temp);
  }
  static bool WriteLarge(const std::string& path) {
    return samples::WriteIosCallHistory(path, Scaled<samples::IosSampleOptions>(200));
  }
};

struct IosContacts : Defaults {
  static constexpr int kType = 11;
  static constexpr char kPrimaryKey[] = "contact_file_path";
  static constexpr char kCopiesKey[] = "contact_files_path";
  static constexpr char kFile[] = "AddressBook.sqlitedb";
  static constexpr char kLogPrefix[] = "[ioscontactdatapackage], at ";
  static constexpr const char* kEmptyDocument = nullptr;  // another database is refused
  static constexpr char kRowsTable[] = "ABPerson";
  static constexpr int kStatusEmptyQueue = kStatusOk;

  static Companions Beside(const std::string& folder) {
    return {{"contact_image_file_path", JoinPath(folder, "AddressBookImages.sqlitedb")}};
  }
  static void Images(const std::string& path, const std::string& rows) {
    Store(Sibling(path, "AddressBookImages.sqlitedb"), samples::IosAddressBookImagesSql(), rows);
  }
  // A person with every kind of value, a value whose person is gone, and
  // the search index's memory of four: one deleted (kept twice, it comes
  // back once), Ana, who is alive, and the person of the orphaned value.
  static void WriteStore(const std::string& path) {
    using test::Value;
    Images(path, ";INSERT INTO ABFullSizeImage (record_id, data) VALUES (1, x'FFD8FF');");
    Store(path, test::BookSql(),
          test::Person(1, "Ana", ", Last, Birthday, AlternateBirthday",
                       ", 'Silva', 600000000, 'chinese:2020-01-06'") +
              Value(10, 1, 3, 1, "+351 912 345 678") + Value(11, 1, 4, 2, "ana@example.com") +
              Value(12, 1, 22, 9, "https://ana.example") + Value(13, 1, 23, 0, "Rui") +
              Value(14, 1, 12, 2, "") +
              "UPDATE ABMultiValue SET value = 600000000 WHERE UID = 14;" + Value(15, 1, 5, 2, "") +
              "INSERT INTO ABMultiValueEntry VALUES (15, 1, 'Rua A 1'), (15, 2, 'Lisboa');" +
              Value(16, 1, 13, 0, "") + "INSERT INTO ABMultiValueEntry VALUES (16, 4, 'ana.s');" +
              Value(20, 9, 3, 1, "+15550100") +
              "INSERT INTO ABPersonFullTextSearch (docid, First, Last, Phone) VALUES "
              "(7, 'Old', 'Friend', '12 5550123 5550123'), (8, 'Old', 'Friend', '5550123'), "
              "(1, 'Ana', 'Silva', '+351 912 345 678'), (9, NULL, NULL, '+15550100');");
  }
  static std::string Document(const std::string& temp) {
    return test::Expand(test::DataFile("packager_contract/ios_contacts_document.json"), temp);
  }
  // The older backup still holds a person deleted since, with a number.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    Images(phone.File(kFile), "");
    return {Store(phone.File(kFile), test::BookSql(), test::Person(1, "P1")),
            Store(phone.File("old/AddressBook.sqlitedb"), test::BookSql(),
                  test::Person(1, "P1") + test::Person(1001, "Gone") +
                      test::Value(30, 1001, 3, 1, "+15550111"))};
  }
  static std::string MergedDocument(const std::string&) {
    return test::DataFile("packager_contract/ios_contacts_merged_document.json");
  }
  static bool WriteLarge(const std::string& path) {
    return samples::WriteIosAddressBook(path, Sibling(path, "AddressBookImages.sqlitedb"),
                                        Scaled<samples::IosSampleOptions>(300));
  }
  // The contact files read in place of their paths.
  static std::string Observed(const std::string& text) {
    return FilesReadInPlace(text, "contact_file_path");
  }
};

struct IosSms : Defaults {
  static constexpr int kType = 12;
  static constexpr char kPrimaryKey[] = "sms_file_path";
  static constexpr char kCopiesKey[] = "sms_files_path";
  static constexpr char kFile[] = "sms.db";
  static constexpr char kLogPrefix[] = "[iossmsdatapackage], at ";
  static constexpr const char* kEmptyDocument = nullptr;  // another database is refused
  static constexpr char kRowsTable[] = "message";
  static constexpr int kStatusEmptyQueue = kStatusOk;

  // One person, a message from them and a picture sent back.
  static std::string Chat(int version) {
    return "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550001', 'iMessage');"
           "INSERT INTO chat (ROWID, guid, chat_identifier) VALUES (1, 'c1', '+15550001');"
           "INSERT INTO chat_handle_join VALUES (1, 1);" +
           test::SmsMessage(1, 1, 1, 0, "'Hello'") +
           test::SmsMessage(2, 1, 1, 60, "'Photo'", ", is_from_me", ", 1") +
           test::SmsAttachment(version, 1, 2, "~/Library/SMS/Attachments/a/IMG_1.jpeg",
                               "'image/jpeg'", "public.jpeg");
  }
  static void WriteStore(const std::string& path) {
    Store(path, samples::IosMessagesSql(samples::kIosMessagesNewestSchema) + ";", Chat(3));
  }
  static std::string Document(const std::string&) {
    return test::DataFile("packager_contract/ios_messages_document.json");
  }
  // The older backup still holds a message deleted since.
  static std::vector<std::string> WriteMerge(const test::TempDir& phone) {
    WriteStore(phone.File(kFile));
    return {phone.File(kFile), Store(phone.File("old/sms.db"), samples::IosMessagesSql(2) + ";",
                                     Chat(2) + test::SmsMessage(3, 1, 1, 30, "'Gone'"))};
  }
  static std::string MergedDocument(const std::string&) {
    return test::DataFile("packager_contract/ios_messages_merged_document.json");
  }
  static bool WriteLarge(const std::string& path) {
    return samples::WriteIosMessages(path, Scaled<samples::IosSampleOptions>(200));
  }
  // The session files read in place of their paths.
  static std::string Observed(const std::string& text) {
    return FilesReadInPlace(text, "sms_file_path");
  }
};

// WhatsApp and WhatsApp Business from an iOS backup: one chat of two
// messages, the address book and the owner's list beside the store.
template <int kDataType>
struct IosWhatsAppChats : Defaults {
  static constexpr int kType = kDataType;
  static constexpr char kPrimaryKey[] = "msg_file_path";
  static constexpr char kCopiesKey[] = "msg_files_path";
  static constexpr char kFile[] = "ChatStorage.sqlite";
  static constexpr char kLogPrefix[] = "[ioswhatsappdatapackage],";
  static constexpr const char* kEmptyDocument = nullptr;  // a store without chats is refused
  static constexpr char kRowsTable[] = "ZWACHATSESSION";
  static constexpr bool kHasFilter = false;
  static constexpr const char* kMember =
      kDataType == 14 ? "whatsapp_chatsessions" : "whatsappBusiness_chatsessions";

  static Companions Beside(const std::string& folder) {
    return {{"name_file_path", JoinPath(folder, "ContactsV2.sqlite")},
            {"owner_plist_file_path", JoinPath(folder, "owner.plist")}};
  }
  static void Complete(Json::Value* request) {
    (*request)["other_info"]["has_sub_dir"] = "0";
    (*request)["addtional_param"] = "backup";
  }
  static void Complete(DataTypeRecord* record) {
    record->other_info["has_sub_dir"] = "0";
    record->additional_param = "backup";
  }
  static void WriteCompanions(const std::string& store) {
    ASSERT_TRUE(samples::WriteIosWhatsAppContacts(Sibling(store, "ContactsV2.sqlite")));
    test::WriteFileBytes(Sibling(store, "owner.plist"),
                         samples::IosWhatsAppOwnerPlist(samples::kIosWhatsAppOwnerJid));
  }
  static void WriteStore(const std::string& path) {
    WriteCompanions(path);
    Store(path, samples::IosWhatsAppChatSql(samples::kIosWhatsAppNewestSchema),
          "INSERT INTO ZWACHATSESSION (Z_PK, ZSESSIONTYPE, ZCONTACTJID, ZPARTNERNAME, "
          "ZLASTMESSAGEDATE) VALUES (1, 0, '34612345678@s.whatsapp.net', 'José', 600000010);"
          "INSERT INTO ZWAMESSAGE (Z_PK, ZCHATSESSION, ZISFROMME, ZSTANZAID, ZTEXT, ZMESSAGEDATE, "
          "ZMESSAGETYPE, ZMESSAGESTATUS, ZFROMJID) VALUES "
          "(1, 1, 0, 'J1', 'hola', 600000000, 0, 0, '34612345678@s.whatsapp.net'), "
          "(2, 1, 1, 'J2', 'adiós', 600000010, 0, 6, NULL);");
  }
  // {MEMBER} is the list's name, which tells the two applications apart.
  static std::string Document(const std::string&) {
    return ReplaceAll(test::DataFile("packager_contract/ios_whatsapp_document.json"), "{MEMBER}",
                      kMember);
  }
  static bool WriteLarge(const std::string& path) {
    WriteCompanions(path);
    return samples::WriteIosWhatsAppBulk(path, 20, 2000);
  }
  static std::string Observed(const std::string& text) {
    return MessagesReadInPlace(text, kMember);
  }
};
using IosWhatsApp = IosWhatsAppChats<14>;
using IosWhatsAppBusiness = IosWhatsAppChats<24>;

template <typename P>
class PackagerContractTest : public test::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    std::filesystem::create_directories(std::filesystem::u8path(phone_.File("old")));
  }

  // Stages `primary` and `copies` through the library's filter entry point.
  int Filter(const std::string& primary, const std::vector<std::string>& copies) {
    Json::Value request = test::RequestDocument(P::kType, temp_.path(), P::kPrimaryKey, primary);
    for (const auto& [key, path] : P::Beside(phone_.path())) {
      request["primary_file_object"][key] = path;
    }
    if (P::kHasFilter) request["second_file_objects"][P::kCopiesKey] = test::JsonList(copies);
    P::Complete(&request);
    return test::FilterRequest(request);
  }

  // Packages through the library and compares the whole document.
  void ExpectPackaged(const std::string& expected) {
    ASSERT_EQ(kStatusOk, PackageDataType(CaptureResult, P::kType));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(FindDataType(P::kType)->result_kind, g_results.kind);
    EXPECT_EQ(test::Formatted(expected), P::Observed(g_results.text));
  }

  // A record holding `primary`, for the packager's own functions.
  std::unique_ptr<DataTypeRecord> Record(const std::string& primary) {
    auto record = std::make_unique<DataTypeRecord>();
    record->data_type = P::kType;
    record->temp_folder = temp_.path();
    if (!primary.empty()) record->primary_files[P::kPrimaryKey] = primary;
    for (const auto& [key, path] : P::Beside(phone_.path())) record->primary_files[key] = path;
    P::Complete(record.get());
    return record;
  }

  test::TempDir phone_;  // the source files, as the host finds them
  test::TempDir temp_;   // the request's temp folder
};

using Packagers = ::testing::Types<CallHistory, Sms, Contacts, WhatsApp, IosCallHistory,
                                   IosContacts, IosSms, IosWhatsApp, IosWhatsAppBusiness>;
TYPED_TEST_SUITE(PackagerContractTest, Packagers);

TYPED_TEST(PackagerContractTest, PackagesTheDocumentOfItsStore) {
  const std::string store = this->phone_.File(TypeParam::kFile);
  TypeParam::WriteStore(store);
  ASSERT_EQ(kStatusOk, this->Filter(store, {}));
  this->ExpectPackaged(TypeParam::Document(this->temp_.path()));
}

// A sound database of another application gives a document without rows,
// or is refused without one.
TYPED_TEST(PackagerContractTest, DatabaseWithoutItsTablesGivesAnEmptyDocument) {
  TypeParam::WriteStore(this->phone_.File(TypeParam::kFile));  // the files beside it
  const std::string other = this->phone_.File("other.db");
  test::RunSql(other, "CREATE TABLE unrelated (x INTEGER);");
  ASSERT_EQ(kStatusOk, this->Filter(other, {}));
  if (TypeParam::kEmptyDocument != nullptr) return this->ExpectPackaged(TypeParam::kEmptyDocument);
  EXPECT_EQ(kStatusNotPackaged, PackageDataType(CaptureResult, TypeParam::kType));
  EXPECT_EQ(0, g_results.count);
}

TYPED_TEST(PackagerContractTest, MergedCopiesGiveTheirLostRowsOnceTaggedDeleted) {
  if constexpr (!TypeParam::kHasFilter) {
    GTEST_SKIP() << "no copies to merge";
  } else {
    const std::vector<std::string> files = TypeParam::WriteMerge(this->phone_);
    ASSERT_EQ(kStatusOk, this->Filter(files[0], {files.begin() + 1, files.end()}));
    this->ExpectPackaged(TypeParam::MergedDocument(this->temp_.path()));
    // The sources themselves are never written.
    EXPECT_EQ(
        std::vector<std::string>{"0"},
        test::QueryColumn(files[0], std::string("select count(*) from pragma_table_info('") +
                                        TypeParam::kRowsTable + "') where name = 'is_deleted'"));
  }
}

TYPED_TEST(PackagerContractTest, StopDuringThePackageStepGivesNoDocument) {
  const std::string store = this->phone_.File(TypeParam::kFile);
  ASSERT_TRUE(TypeParam::WriteLarge(store));
  ASSERT_EQ(kStatusOk, this->Filter(store, {}));
  EXPECT_EQ(kStatusStopped,
            test::PackageWhileStopping(TypeParam::kType, [this] { return this->Log(); }));
  EXPECT_EQ(0, g_results.count);
}

TYPED_TEST(PackagerContractTest, MissingInputsAndConfiguration) {
  const std::unique_ptr<SqliteConfig> config =
      OpenSqliteConfig(GetConfigDbPath(test::ConfigFolder()));
  ASSERT_NE(nullptr, config);
  const std::unique_ptr<DataTypeRecord> record = this->Record("");
  record->second_files[TypeParam::kCopiesKey].Push(this->phone_.File("copy.db"));
  EXPECT_EQ(kStatusMissingInput, test::CallPackageFunction(record.get()));
  EXPECT_EQ(0, g_results.count);
  if constexpr (TypeParam::kHasFilter) {
    EXPECT_EQ(kStatusMissingInput, test::CallFilterFunction(record.get(), config.get()));

    const std::string store = this->phone_.File(TypeParam::kFile);
    TypeParam::WriteStore(store);
    record->primary_files[TypeParam::kPrimaryKey] = store;
    EXPECT_EQ(kStatusConfigLoadFailed, test::CallFilterFunction(record.get(), nullptr));
    const std::unique_ptr<DataTypeRecord> without_copies = this->Record(store);
    EXPECT_EQ(TypeParam::kStatusWithoutQueue,
              test::CallFilterFunction(without_copies.get(), config.get()));
    without_copies->second_files[TypeParam::kCopiesKey];
    EXPECT_EQ(TypeParam::kStatusEmptyQueue,
              test::CallFilterFunction(without_copies.get(), config.get()));
  }
}

// A store damaged in each of the ways a pull from a phone leaves it gives a
// status and a log line in SQLite's own words, never a document; a missing
// one is not created.
TYPED_TEST(PackagerContractTest, DamagedStoreGivesAStatusAndSqlitesWords) {
  const std::string sound = this->phone_.File(TypeParam::kFile);
  TypeParam::WriteStore(sound);
  std::vector<test::DamagedDatabase> damaged =
      test::DamageDatabase(sound, this->phone_.File("damaged"));
  damaged.push_back({"missing", this->phone_.File("absent.db"), kStatusOpenFailed,
                     "unable to open database file"});
  for (const test::DamagedDatabase& source : damaged) {
    SCOPED_TRACE(source.kind);
    g_results = test::CapturedResults();
    const size_t log_before = this->Log().size();
    EXPECT_EQ(source.status, test::CallPackageFunction(this->Record(source.path).get()));
    EXPECT_EQ(0, g_results.count);
    const std::string log = this->Log().substr(log_before);
    const size_t line = log.find(TypeParam::kLogPrefix);
    ASSERT_NE(std::string::npos, line) << log;
    EXPECT_NE(std::string::npos, log.find(source.words, line)) << log;
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(this->phone_.File("absent.db"))));
}

// A store whose schema reads but whose rows do not (a pull cut off, a bad
// sector): what was read is handed over, and the status says the step failed.
TYPED_TEST(PackagerContractTest, DamagedPageHandsOverWhatWasReadThenFails) {
  const std::string store = this->phone_.File(TypeParam::kFile);
  TypeParam::WriteStore(store);
  test::DamageTablePage(store, TypeParam::kRowsTable);
  const size_t log_before = this->Log().size();
  EXPECT_EQ(kStatusStepFailed, test::CallPackageFunction(this->Record(store).get()));
  EXPECT_EQ(1, g_results.count);
  const std::string log = this->Log().substr(log_before);
  EXPECT_NE(std::string::npos,
            log.find("database disk image is malformed", log.find(TypeParam::kLogPrefix)))
      << log;
}

}  // namespace
}  // namespace kx
