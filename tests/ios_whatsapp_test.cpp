// WhatsApp and WhatsApp Business from an iOS backup (data types 14 and 24)
// through the library's entry points: whole documents and batch files on
// each store version and in each domain, members and their names, the same
// conversation on Android and on iOS, batch boundaries, stores of other
// versions, bad input and stops.
#include "samples/ios_whatsapp.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "common/chat_batches.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "ioschat/ios_whatsapp_rules.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "sdk/library.h"
#include "test_support.h"
#include "whatsapp_fixtures.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using test::CapturedResults;
using test::Formatted;
using test::g_results;

constexpr int kWhatsApp = 14;
constexpr int kBusiness = 24;

const char* DomainOf(int data_type) {
  return data_type == kBusiness ? samples::kIosWhatsAppBusinessDomain : samples::kIosWhatsAppDomain;
}

constexpr char kAnna[] = "4915123456789@s.whatsapp.net";
constexpr char kGroup[] = "4915712345678-1600000000@g.us";
constexpr char kBroadcast[] = "1600000001@broadcast";

// The chat document of the sample store. {MEMBER} is the data type's
// member, {CI} Anna's contact identifier (absent from version 1).
constexpr char kSampleDocument[] = R"({"is_exist": true,
 "owner_jid": "4915712345678@s.whatsapp.net", "size": 3,
 "{MEMBER}": [
  {"ZHIDDEN": 0, "ZLASTMESSAGEDATE": 700000030, "ZREMOVED": 0, "ZUNREADCOUNT": 0,
   "jid": "1600000001@broadcast", "members": [], "name": "Ostergrüße", "session_type": 2,
   "msg_file_list": ["{T}/messages_{H:1600000001@broadcast}.json"]},
  {"ZCREATIONDATE": 700000000, "ZCREATORJID": "4915712345678@s.whatsapp.net", "ZGROUPINFO": 1,
   "ZHIDDEN": 0, "ZLASTMESSAGEDATE": 700000024, "ZOWNERJID": "4915712345678@s.whatsapp.net",
   "ZPICTUREPATH": "Media/Profile/4915712345678-1600000000-1617000100", "ZREMOVED": 0,
   "ZSTATE": 0, "ZSUBJECTOWNERJID": "4915123456789@s.whatsapp.net", "ZUNREADCOUNT": 2,
   "group_info_ent": 6, "group_info_opt": 2, "group_picture_id": "1617000100",
   "jid": "4915712345678-1600000000@g.us", "name": "Wandergruppe 🏔", "session_type": 1,
   "members": [
    {"ZISACTIVE": 1, "ZISADMIN": 1, "ZPATH": "Media/Profile/4915123456789-1617000000",
     "ZPICTUREID": "1617000000", "ZREQUESTDATE": 700000000, "Z_ENT": 7, "Z_OPT": 1,
     "member_jid": "4915123456789@s.whatsapp.net", "member_name": "Anna 🌻",
     "profile_ent": 8, "profile_opt": 1,
     "profile_path": "Media/Profile/4915123456789-1617000000.jpg",
     "profile_backup_path": "{P:Media/Profile/4915123456789-1617000000.jpg}",
     "profile_thumb_path": "Media/Profile/4915123456789-1617000000.thumb",
     "profile_thumb_backup_path": "{P:Media/Profile/4915123456789-1617000000.thumb}"},
    {"ZCONTACTIDENTIFIER": "C3D4E5F6-JOSE:ABPerson", "ZISACTIVE": 1, "ZISADMIN": 0,
     "Z_ENT": 7, "Z_OPT": 1, "member_jid": "34612345678@s.whatsapp.net",
     "member_name": "José Álvarez"}],
   "msg_file_list": ["{T}/messages_{H:4915712345678-1600000000@g.us}.json"]},
  {"ZHIDDEN": 0, "ZLASTMESSAGEDATE": 700000012, "ZPATH": "Media/Profile/4915123456789-1617000000",
   "ZREMOVED": 0, "ZREQUESTDATE": 700000000, "ZUNREADCOUNT": 0, {CI}
   "jid": "4915123456789@s.whatsapp.net", "name": "Anna Schmidt", "session_type": 0,
   "profile_ent": 8, "profile_opt": 1,
   "profile_path": "Media/Profile/4915123456789-1617000000.jpg",
   "profile_backup_path": "{P:Media/Profile/4915123456789-1617000000.jpg}",
   "profile_thumb_path": "Media/Profile/4915123456789-1617000000.thumb",
   "profile_thumb_backup_path": "{P:Media/Profile/4915123456789-1617000000.thumb}",
   "msg_file_list": ["{T}/messages_{H:4915123456789@s.whatsapp.net}.json"]}]})";

// The one-to-one chat: every media kind, a reply, links, several scripts.
constexpr char kAnnaMessages[] = R"([
 {"content": "Hallo 😊 https://example.org/x", "is_from_me": 0, "key_id": "3A1001F0C1",
  "row_id": 1, "send_date": "03 - 08 - 2023 20:26 : 41", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 0, "type": 0, "universal_type": 0,
  "url_links": ["https://example.org/x"]},
 {"content": "Blick 🌄", "is_from_me": 1, "key_id": "3A1002F0C1", "media_caption": "Blick 🌄", "media_duration": 0,
  "media_name": "IMG-1.jpg", "media_path": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/IMG-1.jpg}",
  "media_relative_path": "Message/Media/4915123456789@s.whatsapp.net/a/1/IMG-1.jpg",
  "row_id": 2, "send_date": "03 - 08 - 2023 20:26 : 42", "send_status": 0, "sender_id": "",
  "size": 48213, "type": 1, "universal_type": 1,
  "thumbnail_file": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/IMG-1.jpg.thumb}"},
 {"content": "Ja!", "is_from_me": 1, "key_id": "3A1003F0C1", "row_id": 3,
  "send_date": "03 - 08 - 2023 20:26 : 43", "send_status": 0, "sender_id": "", "size": 0,
  "type": 0, "universal_type": 0,
  "quote_content": {"q_is_from_me": 0, "q_key_id": "3A1001F0C1", "q_type": 0,
                    "quote_content": "Hallo 😊 https://example.org/x",
                    "quote_sender_id": "4915123456789@s.whatsapp.net"}},
 {"is_from_me": 0, "key_id": "3A1004F0C1", "media_duration": 7, "media_name": "PTT-1.opus",
  "media_path": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/PTT-1.opus}",
  "media_relative_path": "Message/Media/4915123456789@s.whatsapp.net/a/1/PTT-1.opus",
  "row_id": 4, "send_date": "03 - 08 - 2023 20:26 : 44", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 9120, "type": 2, "universal_type": 2},
 {"is_from_me": 0, "key_id": "3A1005F0C1", "media_duration": 12, "media_name": "VID-1.mp4",
  "media_path": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/VID-1.mp4}",
  "media_relative_path": "Message/Media/4915123456789@s.whatsapp.net/a/1/VID-1.mp4",
  "row_id": 5, "send_date": "03 - 08 - 2023 20:26 : 45", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 1048576, "type": 3, "universal_type": 3},
 {"is_from_me": 0, "key_id": "3A1006F0C1", "row_id": 6,
  "send_date": "03 - 08 - 2023 20:26 : 46", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 0, "type": 4, "universal_type": 8,
  "vCard_file": "{T}/{H:4915123456789@s.whatsapp.net3A1006F0C1}.vcf"},
 {"is_from_me": 1, "key_id": "3A1007F0C1", "row_id": 7, "send_date": "03 - 08 - 2023 20:26 : 47",
  "send_status": 0, "sender_id": "", "size": 0, "type": 5, "universal_type": 7},
 {"is_from_me": 0, "key_id": "3A1008F0C1", "media_caption": "Vertrag.pdf", "media_duration": 0,
  "media_name": "Vertrag.pdf",
  "media_path": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/Vertrag.pdf}",
  "media_relative_path": "Message/Media/4915123456789@s.whatsapp.net/a/1/Vertrag.pdf",
  "row_id": 8, "send_date": "03 - 08 - 2023 20:26 : 48", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 20480, "type": 9, "universal_type": 4},
 {"is_from_me": 0, "key_id": "3A1009F0C1", "media_duration": 3, "media_name": "GIF-1.mp4",
  "media_path": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/GIF-1.mp4}",
  "media_relative_path": "Message/Media/4915123456789@s.whatsapp.net/a/1/GIF-1.mp4",
  "row_id": 9, "send_date": "03 - 08 - 2023 20:26 : 49", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 30000, "type": 13, "universal_type": 3},
 {"is_from_me": 0, "key_id": "3A1010F0C1", "media_duration": 0, "media_name": "STK-1.webp",
  "media_path": "{P:Message/Media/4915123456789@s.whatsapp.net/a/1/STK-1.webp}",
  "media_relative_path": "Message/Media/4915123456789@s.whatsapp.net/a/1/STK-1.webp",
  "row_id": 10, "send_date": "03 - 08 - 2023 20:26 : 50", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 12000, "type": 20, "universal_type": 6},
 {"content": "Schau: https://kx.example/a", "is_from_me": 1, "key_id": "3A1011F0C1",
  "row_id": 11, "send_date": "03 - 08 - 2023 20:26 : 51", "send_status": 0, "sender_id": "",
  "size": 0, "type": 0, "universal_type": 0, "url_links": ["https://kx.example/a"]},
 {"content": "مرحبا 你好 नमस्ते Привет", "is_from_me": 0, "key_id": "3A1012F0C1", "row_id": 12,
  "send_date": "03 - 08 - 2023 20:26 : 52", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 0, "type": 0, "universal_type": 0}])";

// The group: events by the owner and by a member, a member's text, the
// owner's picture (counted as sent in a group).
constexpr char kGroupMessages[] = R"([
 {"is_from_me": 1, "key_id": "3A1013F0C1", "row_id": 13, "send_date": "03 - 08 - 2023 20:27 : 00",
  "send_status": 1, "sender_id": "", "size": 11, "system_info": "created the group", "type": 7,
  "universal_type": 25},
 {"content": "Morgen 8 Uhr? 🥾", "is_from_me": 0, "key_id": "3A1014F0C1", "row_id": 14,
  "send_date": "03 - 08 - 2023 20:27 : 01", "send_status": 0,
  "sender_id": "4915123456789@s.whatsapp.net", "size": 0, "type": 0, "universal_type": 0},
 {"is_from_me": 1, "key_id": "3A1015F0C1", "media_duration": 0, "media_name": "IMG-3.jpg",
  "media_path": "{P:Message/Media/4915712345678-1600000000@g.us/a/1/IMG-3.jpg}",
  "media_relative_path": "Message/Media/4915712345678-1600000000@g.us/a/1/IMG-3.jpg",
  "row_id": 15, "send_date": "03 - 08 - 2023 20:27 : 02", "send_status": 1, "sender_id": "",
  "size": 51000, "type": 1, "universal_type": 1},
 {"is_from_me": 0, "key_id": "3A1016F0C1", "row_id": 16, "send_date": "03 - 08 - 2023 20:27 : 03",
  "send_status": 0, "sender_id": "34612345678@s.whatsapp.net", "size": 12,
  "system_info": "added a participant", "type": 7, "universal_type": 21},
 {"content": "¡Vale! Nos vemos.", "is_from_me": 0, "key_id": "3A1017F0C1", "row_id": 17,
  "send_date": "03 - 08 - 2023 20:27 : 04", "send_status": 0,
  "sender_id": "34612345678@s.whatsapp.net", "size": 0, "type": 0, "universal_type": 0}])";

constexpr char kBroadcastMessages[] = R"([
 {"content": "Frohe Ostern an alle 🐣", "is_from_me": 1, "key_id": "3A1018F0C1", "row_id": 18,
  "send_date": "03 - 08 - 2023 20:27 : 10", "send_status": 0, "sender_id": "", "size": 0,
  "type": 0, "universal_type": 0}])";

class IosWhatsAppTest : public test::LibraryTest {
 protected:
  void SetUp() override {
    test::LibraryTest::SetUp();
    Fresh();
  }

  // Empty temp and backup folders of a run of their own.
  void Fresh() {
    ++runs_;
    root_ = JoinPath(outer_.path(), "run" + std::to_string(runs_));
    temp_ = JoinPath(root_, "temp");
    backup_ = JoinPath(root_, "backup");
    fs::create_directories(PathFromUtf8(temp_));
    fs::create_directories(PathFromUtf8(backup_));
  }

  std::string BackupPath(const std::string& relative) const {
    return BackupFilePath(backup_, samples::IosBackupFileId(DomainOf(data_type_), relative),
                          two_level_);
  }

  void AddBackupFile(const std::string& relative, const std::string& bytes) const {
    const std::string path = BackupPath(relative);
    fs::create_directories(PathFromUtf8(path).parent_path());
    test::WriteFileBytes(path, bytes);
  }

  // The sample store of `version`, its files in the backup.
  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "ChatStorage" + std::to_string(version) + ".sqlite");
    samples::IosSampleOptions options;
    options.schema_version = version;
    std::vector<samples::IosWhatsAppFile> files;
    EXPECT_TRUE(samples::WriteIosWhatsApp(path, options, &files));
    for (const samples::IosWhatsAppFile& file : files)
      AddBackupFile(file.relative_path, file.bytes);
    return path;
  }

  std::string Contacts() const {
    const std::string path = JoinPath(root_, "ContactsV2.sqlite");
    EXPECT_TRUE(samples::WriteIosWhatsAppContacts(path));
    return path;
  }

  std::string OwnerPlist() const {
    const std::string path = JoinPath(root_, "owner.plist");
    test::WriteFileBytes(path, samples::IosWhatsAppOwnerPlist(samples::kIosWhatsAppOwnerJid));
    return path;
  }

  Json::Value Request(const std::string& store) const {
    Json::Value request;
    request["package_type"] = data_type_;
    request["temp_folder"] = temp_;
    request["primary_file_object"]["msg_file_path"] = store;
    request["primary_file_object"]["name_file_path"] = Contacts();
    request["primary_file_object"]["owner_plist_file_path"] = OwnerPlist();
    request["other_info"]["has_sub_dir"] = two_level_ ? "1" : "0";
    request["addtional_param"] = backup_;
    return request;
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  // {T}/ the temp folder, {P:path} the backup file of a path of the
  // domain, {H:text} a hash as side files are named.
  std::string Expanded(const std::string& text) const { return Formatted(ExpandedText(text)); }
  std::string ExpandedText(std::string text) const {
    for (size_t at = text.find("{P:"); at != std::string::npos; at = text.find("{P:")) {
      const size_t end = text.find('}', at);
      text.replace(at, end - at + 1, BackupPath(text.substr(at + 3, end - at - 3)));
    }
    text = ReplaceAll(text, "{T}/", temp_ + std::string(1, kPathSeparator));
    return test::Expand(text, temp_);
  }

  std::string Batch(const std::string& jid) const {
    return test::ReadFileBytes(JoinPath(temp_, BatchFileName(jid, 0, false)));
  }

  std::string Document() const { return g_results.text; }

  test::TempDir outer_;
  int runs_ = 0;
  int data_type_ = kWhatsApp;
  bool two_level_ = true;
  std::string root_;
  std::string temp_;
  std::string backup_;
};

// Each store version, in each application's domain and with either backup
// layout: the whole document and every batch file.
TEST_F(IosWhatsAppTest, WholeDocumentsOnEveryVersionAndDomain) {
  const struct {
    int data_type;
    bool two_level;
    const char* member;
  } runs[] = {{kWhatsApp, true, "whatsapp_chatsessions"},
              {kBusiness, false, "whatsappBusiness_chatsessions"}};
  for (const auto& run : runs) {
    for (int version = samples::kIosWhatsAppOldestSchema;
         version <= samples::kIosWhatsAppNewestSchema; ++version) {
      SCOPED_TRACE(std::to_string(run.data_type) + " version " + std::to_string(version));
      Fresh();
      data_type_ = run.data_type;
      two_level_ = run.two_level;
      ASSERT_EQ(kStatusOk, Run(Request(SampleStore(version))));
      ASSERT_EQ(1, g_results.count);
      EXPECT_EQ(run.data_type == kWhatsApp ? 12 : 19, g_results.kind);
      const std::string identifier = version == samples::kIosWhatsAppOldestSchema
                                         ? ""
                                         : R"("contact_identifier": "A1B2C3D4-ANNA:ABPerson",)";
      EXPECT_EQ(Expanded(ReplaceAll(ReplaceAll(kSampleDocument, "{MEMBER}", run.member), "{CI}",
                                    identifier)),
                Document());
      EXPECT_EQ(Expanded(kAnnaMessages), Batch(kAnna));
      EXPECT_EQ(Expanded(kGroupMessages), Batch(kGroup));
      EXPECT_EQ(Expanded(kBroadcastMessages), Batch(kBroadcast));
      EXPECT_EQ(
          "BEGIN:VCARD\nVERSION:3.0\nFN:José Álvarez\nEND:VCARD\n",
          test::ReadFileBytes(ExpandedText("{T}/{H:4915123456789@s.whatsapp.net3A1006F0C1}.vcf")));
    }
  }
}

// One line of a conversation as each platform stores it.
struct Said {
  int64_t android_type;
  int64_t ios_type;
  int from_me;
  const char* text;
  const char* file;  // media file name, or null
  int64_t file_size;
  int64_t duration;
  int64_t android_action;  // system events
  int64_t ios_event;
  const char* vcard;
  int64_t quotes;  // row id of the quoted line, 0 for none
};

// A group chat seen on both platforms: a link, the owner's captioned
// picture, a voice note, a contact card, a subject change, a document and a
// reply.
const Said kConversation[] = {
    {0, 0, 0, "Hallo https://example.org/x", nullptr, 0, 0, 0, 0, nullptr, 0},
    {1, 1, 1, "Blick", "IMG-1.jpg", 48213, 0, 0, 0, nullptr, 0},
    {2, 3, 0, nullptr, "PTT-1.opus", 9120, 7, 0, 0, nullptr, 0},
    {4, 4, 0, nullptr, nullptr, 0, 0, 0, 0, "BEGIN:VCARD\nFN:José\nEND:VCARD", 0},
    {7, 6, 0, nullptr, nullptr, 0, 0, 1, 1, nullptr, 0},
    {9, 8, 1, nullptr, "Vertrag.pdf", 20480, 0, 0, 0, nullptr, 0},
    {0, 0, 1, "Ja!", nullptr, 0, 0, 0, 0, nullptr, 1},
};

std::string Sql(const char* text) {
  return text == nullptr ? "NULL" : "'" + std::string(text) + "'";
}

std::string AndroidConversation() {
  std::string sql =
      "INSERT INTO jid (_id, user, server, raw_string) VALUES (1, '4915712345678-1600000000', "
      "'g.us', '4915712345678-1600000000@g.us'), (2, '4915123456789', 's.whatsapp.net', "
      "'4915123456789@s.whatsapp.net');"
      "INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1);";
  int64_t row = 0;
  for (const Said& said : kConversation) {
    ++row;
    const std::string id = std::to_string(row);
    const std::string sender = said.from_me != 0 ? "0" : "2";
    sql +=
        "INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, "
        "timestamp, message_type, text_data) VALUES (" +
        id + ", 1, " + std::to_string(said.from_me) + ", 'K" + id + "', " + sender + ", " +
        (said.from_me != 0 ? "2" : "0") + ", " +
        std::to_string((700000000 + row + 978307200) * 1000) + ", " +
        std::to_string(said.android_type) + ", " + Sql(said.text) + ");";
    if (said.file != nullptr) {
      sql +=
          "INSERT INTO message_media (message_row_id, chat_row_id, file_path, file_size, "
          "media_name, media_duration, media_caption) VALUES (" +
          id + ", 1, 'Media/" + said.file + "', " + std::to_string(said.file_size) + ", '" +
          said.file + "', " + std::to_string(said.duration) + ", " +
          (said.android_type == 1 ? Sql(said.text) : "NULL") + ");";
    }
    if (said.android_action != 0) {
      sql += "INSERT INTO message_system VALUES (" + id + ", " +
             std::to_string(said.android_action) + ");";
    }
    if (said.vcard != nullptr) {
      sql += "INSERT INTO message_vcard (message_row_id, vcard) VALUES (" + id + ", " +
             Sql(said.vcard) + ");";
    }
    if (said.text != nullptr && std::string(said.text).find("https://") != std::string::npos) {
      sql += "INSERT INTO message_link (chat_row_id, message_row_id, link_index) VALUES (1, " + id +
             ", 0);";
    }
    if (said.quotes != 0) {
      const Said& quoted = kConversation[said.quotes - 1];
      sql +=
          "INSERT INTO message_quoted (message_row_id, chat_row_id, parent_message_chat_row_id, "
          "from_me, sender_jid_row_id, key_id, message_type, text_data) VALUES (" +
          id + ", 1, 1, " + std::to_string(quoted.from_me) + ", 2, 'K" +
          std::to_string(said.quotes) + "', " + std::to_string(quoted.android_type) + ", " +
          Sql(quoted.text) + ");";
    }
  }
  return sql;
}

std::string IosConversation() {
  std::string sql =
      "INSERT INTO ZWACHATSESSION (Z_PK, ZSESSIONTYPE, ZCONTACTJID, ZLASTMESSAGEDATE) VALUES (1, "
      "1, '4915712345678-1600000000@g.us', 1);"
      "INSERT INTO ZWAGROUPMEMBER (Z_PK, ZCHATSESSION, ZISACTIVE, ZMEMBERJID) VALUES (1, 1, 1, "
      "'4915123456789@s.whatsapp.net');";
  int64_t row = 0;
  for (const Said& said : kConversation) {
    ++row;
    const std::string id = std::to_string(row);
    const bool media = said.file != nullptr || said.vcard != nullptr;
    sql +=
        "INSERT INTO ZWAMESSAGE (Z_PK, ZCHATSESSION, ZISFROMME, ZSTANZAID, ZGROUPMEMBER, "
        "ZFROMJID, ZMESSAGESTATUS, ZMESSAGEDATE, ZMESSAGETYPE, ZGROUPEVENTTYPE, ZTEXT, "
        "ZMEDIAITEM, ZPARENTMESSAGE) VALUES (" +
        id + ", 1, " + std::to_string(said.from_me) + ", 'K" + id + "', " +
        (said.from_me != 0 ? "NULL" : "1") + ", '4915712345678-1600000000@g.us', " +
        (said.from_me != 0 ? "2" : "0") + ", " + std::to_string(700000000 + row) + ", " +
        std::to_string(said.ios_type) + ", " + std::to_string(said.ios_event) + ", " +
        (said.android_type == 1 ? "NULL" : Sql(said.text)) + ", " + (media ? id : "NULL") + ", " +
        (said.quotes != 0 ? std::to_string(said.quotes) : "NULL") + ");";
    if (media) {
      sql +=
          "INSERT INTO ZWAMEDIAITEM (Z_PK, ZFILESIZE, ZMOVIEDURATION, ZMEDIALOCALPATH, ZTITLE, "
          "ZVCARDSTRING) VALUES (" +
          id + ", " + std::to_string(said.file_size) + ", " + std::to_string(said.duration) + ", " +
          (said.file != nullptr ? "'Media/g/" + std::string(said.file) + "'" : "NULL") + ", " +
          (said.android_type == 1 ? Sql(said.text) : "NULL") + ", " + Sql(said.vcard) + ");";
    }
  }
  return sql;
}

int CountOccurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::set<std::string> MemberNames(const Json::Value& object) {
  std::set<std::string> names;
  for (const std::string& name : object.getMemberNames()) names.insert(name);
  return names;
}

TEST_F(IosWhatsAppTest, TheSameConversationGivesTheSameMembersOnBothPlatforms) {
  const std::string android_store = JoinPath(root_, "msgstore.db");
  test::RunSql(android_store, test::NewerLayoutSchema() + AndroidConversation());
  DataTypeRecord record;
  test::SetUpRecord(android_store, temp_, &record);
  const test::PackageRun android = test::RunWhatsAppPackage(&record, 0);
  ASSERT_EQ(kStatusOk, android.status);
  const std::vector<Json::Value> android_messages =
      test::ChatMessages(test::FindChat(android.document, kGroup));

  const std::string ios_store = JoinPath(root_, "ChatStorage.sqlite");
  test::RunSql(ios_store,
               samples::IosWhatsAppChatSql(samples::kIosWhatsAppNewestSchema) + IosConversation());
  ASSERT_EQ(kStatusOk, Run(Request(ios_store)));
  const Json::Value ios_document = test::ParseJsonText(Document());
  const std::vector<Json::Value> ios_messages =
      test::ChatMessages(ios_document["whatsapp_chatsessions"][0]);

  ASSERT_EQ(std::size(kConversation), android_messages.size());
  ASSERT_EQ(android_messages.size(), ios_messages.size());
  for (size_t i = 0; i < ios_messages.size(); ++i) {
    SCOPED_TRACE(i);
    const Json::Value& on_android = android_messages[i];
    const Json::Value& on_ios = ios_messages[i];
    EXPECT_EQ(MemberNames(on_android), MemberNames(on_ios));
    // Paths name each platform's own files; everything else agrees.
    for (const std::string& member : MemberNames(on_android)) {
      if (member == "media_path" || member == "media_relative_path" || member == "vCard_file" ||
          member == "quote_content") {
        continue;
      }
      EXPECT_EQ(on_android[member], on_ios[member]) << member;
    }
    if (on_android.isMember("quote_content")) {
      Json::Value android_quote = on_android["quote_content"];
      android_quote.removeMember("quote_sender_row_id");  // a row id of Android's jid table
      EXPECT_EQ(android_quote, on_ios["quote_content"]);
    }
    if (on_android.isMember("vCard_file")) {
      EXPECT_EQ(test::ReadFileBytes(on_android["vCard_file"].asString()),
                test::ReadFileBytes(on_ios["vCard_file"].asString()));
    }
  }
}

// The Android rule holds: a chat of 10000 messages has one numbered file,
// one more message makes a second.
TEST_F(IosWhatsAppTest, BatchBoundaries) {
  for (const int count : {10000, 10001}) {
    SCOPED_TRACE(count);
    Fresh();
    const std::string store = JoinPath(root_, "bulk.sqlite");
    ASSERT_TRUE(samples::WriteIosWhatsAppBulk(store, 1, count));
    ASSERT_EQ(kStatusOk, Run(Request(store)));
    const Json::Value chat = test::ParseJsonText(Document())["whatsapp_chatsessions"][0];
    const std::string jid = chat["jid"].asString();
    std::vector<std::string> names;
    std::vector<size_t> sizes;
    for (const Json::Value& path : chat["msg_file_list"]) {
      names.push_back(fs::path(path.asString()).filename().string());
      sizes.push_back(test::ParseJsonText(test::ReadFileBytes(path.asString())).size());
    }
    if (count == 10000) {
      EXPECT_EQ(std::vector<std::string>{BatchFileName(jid, 1, true)}, names);
      EXPECT_EQ(std::vector<size_t>{10000}, sizes);
    } else {
      EXPECT_EQ(
          (std::vector<std::string>{BatchFileName(jid, 1, true), BatchFileName(jid, 2, true)}),
          names);
      EXPECT_EQ((std::vector<size_t>{10000, 1}), sizes);
    }
  }
}

// A store with only the columns other tools keep: every message packaged,
// what was missing logged once per query.
TEST_F(IosWhatsAppTest, TrimmedStorePackagesEveryMessage) {
  ASSERT_EQ(kStatusOk, Run(Request(SampleStore(samples::kIosWhatsAppTrimmedSchema))));
  ASSERT_EQ(1, g_results.count);
  EXPECT_EQ(Expanded(R"({"is_exist": true, "owner_jid": "4915712345678@s.whatsapp.net", "size": 3,
    "whatsapp_chatsessions": [
     {"ZLASTMESSAGEDATE": 700000030, "jid": "1600000001@broadcast", "members": [],
      "name": "Ostergrüße", "session_type": 2,
      "msg_file_list": ["{T}/messages_{H:1600000001@broadcast}.json"]},
     {"ZLASTMESSAGEDATE": 700000024, "jid": "4915712345678-1600000000@g.us", "members": [],
      "name": "Wandergruppe 🏔", "session_type": 1,
      "msg_file_list": ["{T}/messages_{H:4915712345678-1600000000@g.us}.json"]},
     {"ZLASTMESSAGEDATE": 700000012, "jid": "4915123456789@s.whatsapp.net",
      "name": "Anna Schmidt", "session_type": 0,
      "msg_file_list": ["{T}/messages_{H:4915123456789@s.whatsapp.net}.json"]}]})"),
            Document());
  EXPECT_EQ(Expanded(R"([
    {"is_from_me": 1, "row_id": 13, "send_date": "03 - 08 - 2023 20:27 : 00", "send_status": 1,
     "sender_id": "", "size": 0, "type": 7, "universal_type": 0},
    {"content": "Morgen 8 Uhr? 🥾", "is_from_me": 0, "row_id": 14,
     "send_date": "03 - 08 - 2023 20:27 : 01", "send_status": 0,
     "sender_id": "4915712345678-1600000000@g.us", "size": 0, "type": 0, "universal_type": 0},
    {"is_from_me": 1, "row_id": 15, "send_date": "03 - 08 - 2023 20:27 : 02", "send_status": 1,
     "sender_id": "", "size": 0, "type": 1, "universal_type": 1},
    {"is_from_me": 0, "row_id": 16, "send_date": "03 - 08 - 2023 20:27 : 03", "send_status": 0,
     "sender_id": "4915712345678-1600000000@g.us", "size": 0, "type": 7, "universal_type": 0},
    {"content": "¡Vale! Nos vemos.", "is_from_me": 0, "row_id": 17,
     "send_date": "03 - 08 - 2023 20:27 : 04", "send_status": 0,
     "sender_id": "4915712345678-1600000000@g.us", "size": 0, "type": 0, "universal_type": 0}])"),
            Batch(kGroup));
  EXPECT_EQ(12u, test::ParseJsonText(Batch(kAnna)).size());
  const std::string log = Log();
  for (const char* missing :
       {"the chat store has no ZHIDDEN, ZREMOVED", "the member tables have no ZWAGROUPMEMBER",
        "the message store has no ZGROUPEVENTTYPE, ZMESSAGESTATUS, ZSTANZAID"}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(1, CountOccurrences(log, missing)) << log;
  }
}

// Missing inputs in the order they are checked, and chat stores that
// cannot be read: the status, the log line, no document.
TEST_F(IosWhatsAppTest, RefusedInputs) {
  const std::string store = SampleStore(samples::kIosWhatsAppMiddleSchema);
  const std::string no_chats = JoinPath(root_, "no_chats.sqlite");
  test::RunSql(no_chats,
               "CREATE TABLE ZWAMESSAGE (Z_PK INTEGER PRIMARY KEY, ZCHATSESSION INTEGER);");
  struct Case {
    std::string wrong;
    int status;
    std::string logged;
  };
  std::vector<Case> cases = {
      {"msg_file_path", kStatusMissingInput, "No primary file."},
      {"name_file_path", kStatusMissingInput, "No primary file."},
      {"owner_plist_file_path", kStatusMissingInput, "No primary file."},
      {"owner_plist_empty", kStatusMissingInput, "No primary file."},
      {"backup", kStatusMissingInput, "No backup folder."},
      {"has_sub_dir", kStatusMissingInput, "No required param."},
      {no_chats, kStatusPrepareFailed, "sqlite error message : no such table: ZWACHATSESSION."},
  };
  for (const test::DamagedDatabase& damaged :
       test::DamageDatabase(store, JoinPath(root_, "damaged"))) {
    cases.push_back({damaged.path, damaged.status, "WhatsApp primary database open fail"});
  }
  for (const Case& one : cases) {
    SCOPED_TRACE(one.wrong);
    Reset();
    DataTypeRecord record;
    record.data_type = kWhatsApp;
    record.temp_folder = temp_;
    record.additional_param = one.wrong == "backup" ? "" : backup_;
    record.primary_files = {
        {"msg_file_path", one.status == kStatusMissingInput ? store : one.wrong},
        {"name_file_path", Contacts()},
        {"owner_plist_file_path", one.wrong == "owner_plist_empty" ? "" : OwnerPlist()}};
    record.other_info = {{"has_sub_dir", "1"}};
    record.primary_files.erase(one.wrong);
    record.other_info.erase(one.wrong);
    EXPECT_EQ(one.status, test::CallPackageFunction(&record));
    EXPECT_EQ(0, g_results.count);
    EXPECT_NE(std::string::npos, Log().find("[ioswhatsappdatapackage]")) << Log();
    EXPECT_NE(std::string::npos, Log().find(one.logged)) << Log();
  }
}

// A missing or damaged address book or owner list loses only their names:
// the chats are packaged all the same.
TEST_F(IosWhatsAppTest, MissingNamesStillPackageTheChats) {
  const std::string store = SampleStore(samples::kIosWhatsAppMiddleSchema);
  const std::string garbage = JoinPath(root_, "garbage");
  test::WriteFileBytes(garbage, std::string(4096, '\x5a'));
  for (const char* wrong : {"name_file_path", "owner_plist_file_path"}) {
    SCOPED_TRACE(wrong);
    Json::Value request = Request(store);
    request["primary_file_object"][wrong] = garbage;
    ASSERT_EQ(kStatusOk, Run(request));
    ASSERT_EQ(1, g_results.count);
    const Json::Value document = test::ParseJsonText(Document());
    EXPECT_EQ(3u, document["size"].asUInt());
    const Json::Value& jose = document["whatsapp_chatsessions"][1]["members"][1];
    const bool contacts = std::string(wrong) != "name_file_path";
    EXPECT_EQ(contacts, jose.isMember("member_name"));
    EXPECT_EQ(contacts ? "" : samples::kIosWhatsAppOwnerJid, document["owner_jid"].asString());
  }
}

// Paths with "..", a leading separator, NUL or a colon are never looked up;
// a jid or push name of 10,000 characters only ever names files by its hash.
TEST_F(IosWhatsAppTest, HostileValuesStayInsideTheTempFolder) {
  const std::string store = SampleStore(samples::kIosWhatsAppMiddleSchema);
  const std::string long_jid = std::string(10000, '7') + "/../../x@s.whatsapp.net";
  test::RunSql(store,
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = '../../../etc/passwd' WHERE Z_PK = 1;"
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = '/etc/passwd' WHERE Z_PK = 2;"
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = 'C:\\Windows\\win.ini' WHERE Z_PK = 3;"
               "UPDATE ZWAMEDIAITEM SET ZMEDIALOCALPATH = 'a' || char(0) || 'b' WHERE Z_PK = 6;"
               "UPDATE ZWAPROFILEPICTUREITEM SET ZPATH = '../Profile/x';"
               "UPDATE ZWAPROFILEPUSHNAME SET ZPUSHNAME = '" +
                   std::string(10000, 'n') +
                   "/../x';"
                   "UPDATE ZWACHATSESSION SET ZCONTACTJID = '" +
                   long_jid + "' WHERE Z_PK = 1;");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const Json::Value document = test::ParseJsonText(Document());
  const Json::Value& chat = document["whatsapp_chatsessions"][2];
  ASSERT_EQ(long_jid, chat["jid"].asString());
  EXPECT_FALSE(chat.isMember("profile_backup_path"));
  EXPECT_EQ(std::string(10000, 'n') + "/../x",
            document["whatsapp_chatsessions"][1]["members"][0]["member_name"].asString());
  const std::vector<Json::Value> messages = test::ChatMessages(chat);
  ASSERT_EQ(12u, messages.size());
  for (const size_t i : {1, 3, 4, 7}) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(messages[i].isMember("media_path"));
    EXPECT_FALSE(messages[i].isMember("media_relative_path"));
  }
  // Every file written is a direct child of the temp folder.
  for (const auto& entry : fs::recursive_directory_iterator(PathFromUtf8(root_))) {
    if (!entry.is_regular_file()) continue;
    const fs::path parent = entry.path().parent_path();
    EXPECT_TRUE(parent == PathFromUtf8(temp_) || parent == PathFromUtf8(root_) ||
                PathToUtf8(parent).rfind(backup_, 0) == 0)
        << entry.path();
  }
  EXPECT_TRUE(fs::exists(PathFromUtf8(JoinPath(temp_, BatchFileName(long_jid, 0, false)))));
}

TEST_F(IosWhatsAppTest, StopSetBeforeAndStopFromAnotherThread) {
  for (const int data_type : {kWhatsApp, kBusiness}) {
    SCOPED_TRACE(data_type);
    Fresh();
    data_type_ = data_type;
    const std::string store = JoinPath(root_, "bulk.sqlite");
    ASSERT_TRUE(samples::WriteIosWhatsAppBulk(store, 40, 2000));
    const std::string name =
        data_type == kWhatsApp ? "IOSWhatsAppDataPackage" : "IOSWhatsAppBusinessDataPackge";

    DataTypeRecord record;
    record.data_type = data_type;
    record.temp_folder = temp_;
    record.additional_param = backup_;
    record.primary_files = {{"msg_file_path", store},
                            {"name_file_path", Contacts()},
                            {"owner_plist_file_path", OwnerPlist()}};
    record.other_info = {{"has_sub_dir", "1"}};
    std::atomic<int> stop{1};
    Reset();
    EXPECT_EQ(kStatusOk, test::CallPackageFunction(&record, test::CaptureResult, &stop));
    EXPECT_EQ(0, g_results.count);
    EXPECT_NE(std::string::npos, Log().find(name + " stoped!"));

    ExpectStopWhilePackaging(Request(store), name);
  }
}

TEST(IosWhatsAppRules, CodesReadAsAndroidCodes) {
  const std::pair<int64_t, int64_t> types[] = {{0, 0},   {1, 1},   {2, 3},   {3, 2},   {4, 4},
                                               {5, 5},   {6, 7},   {7, 0},   {8, 9},   {10, -1},
                                               {11, 13}, {14, 15}, {15, 20}, {46, -1}, {-3, -1}};
  for (const auto& [ios, android] : types) EXPECT_EQ(android, AndroidMessageType(ios)) << ios;
  const std::pair<int64_t, int64_t> events[] = {{0, 0},   {1, 1},   {2, 12},  {3, 5},
                                                {4, 6},   {7, 14},  {11, 11}, {12, 15},
                                                {17, 20}, {22, 56}, {99, 0}};
  for (const auto& [ios, action] : events) EXPECT_EQ(action, AndroidActionType(ios)) << ios;
  const std::pair<std::string, bool> paths[] = {
      {"Media/a/b.jpg", true}, {"", false},    {"../x", false}, {"Media/../../x", false},
      {"/etc/x", false},       {"\\x", false}, {"C:x", false},  {std::string("a\0b", 3), false}};
  for (const auto& [path, safe] : paths) EXPECT_EQ(safe, IsSafeStorePath(path)) << path;
}

}  // namespace
}  // namespace kx
