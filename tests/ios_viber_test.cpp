// Viber on iOS (data type 18) through the library's entry points: whole
// documents and batch files on both store versions, files placed with and
// without the backup's catalogue, a store lacking columns, hostile names,
// refused inputs, a stop, and the tables of kinds.
#include "samples/ios_viber.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "ioschat/viber.h"
#include "ioschat/viber_kinds.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using test::CapturedResults;
using test::Formatted;
using test::g_results;

constexpr int kViberType = 18;
constexpr char kPicture[] = "Documents/Attachments/IMG-0a1b2c.jpg";

constexpr char kDocument[] = R"({"account_id": "", "app": "viber", "size": 4, "sessions": [
  {"kind": "single", "members": [{"id": "380501234567", "name": "Olena Kovalenko"}],
   "message_count": 5, "msg_file_list": ["{T}/messages_{H:viber:380501234567}.json"],
   "name": "Olena Kovalenko", "session_id": "380501234567"},
  {"kind": "group", "members": [{"id": "380501234567", "name": "Olena Kovalenko"},
     {"id": "+39 347 123 4567", "name": "Marco"}],
   "message_count": 6, "msg_file_list": ["{T}/messages_{H:viber:5551234567890}.json"],
   "name": "Trip to Lviv", "session_id": "5551234567890"},
  {"kind": "single", "message_count": 3, "msg_file_list": ["{T}/messages_{H:viber:calls}.json"],
   "session_id": "calls"},
  {"kind": "single", "message_count": 1, "msg_file_list": ["{T}/messages_{H:viber:deleted:7}.json"],
   "session_id": "deleted:7", "tag": "deleted"}]})";

constexpr char kOlenaBatch[] = R"([
  {"is_from_me": 0, "kind": "text", "message_id": "6001", "send_date": 1698307200250,
   "sender_id": "380501234567", "sender_name": "Olena Kovalenko", "text": "Привіт! Are you coming?"},
  {"is_from_me": 1, "kind": "text", "message_id": "6002", "send_date": 1698307260000,
   "text": "Yes, at 6"},
  {"is_from_me": 0, "kind": "picture", "media_backup": "{P}",
   "media_path": "Documents/Attachments/IMG-0a1b2c.jpg", "message_id": "6003",
   "raw_type": "picture", "send_date": 1698307320000, "sender_id": "380501234567",
   "sender_name": "Olena Kovalenko", "thumb_backup": "{Q}"},
  {"is_from_me": 0, "kind": "location", "latitude": 49.8419, "longitude": 24.0316,
   "message_id": "6004", "raw_type": "customLocation", "send_date": 1698307380000,
   "sender_id": "380501234567", "sender_name": "Olena Kovalenko", "text": "Rynok Square, Lviv"},
  {"is_from_me": 1, "kind": "call", "message_id": "6005", "raw_type": "systemCallLog/outgoing",
   "send_date": 1698307440000}])";

constexpr char kGroupBatch[] = R"([
  {"is_from_me": 0, "kind": "link", "message_id": "6006", "raw_type": "url",
   "send_date": 1698308200000, "sender_id": "+39 347 123 4567", "sender_name": "Marco",
   "text": "https://example.org/lviv"{U}},
  {"duration": 7, "is_from_me": 1, "kind": "voice", "media_backup": "{V}",
   "media_path": "Documents/VoiceMessages/ptt-77.m4a", "message_id": "6007", "raw_type": "audio",
   "send_date": 1698308260000},
  {"is_from_me": 0, "kind": "system", "message_id": "6008", "raw_type": "groupAddMembers",
   "send_date": 1698308320000, "sender_id": "380501234567", "sender_name": "Olena Kovalenko"},
  {"is_from_me": 0, "kind": "file", "media_path": "Documents/FileMessages/tickets.pdf",
   "message_id": "6009", "raw_type": "file", "send_date": 1698308380000,
   "sender_id": "+39 347 123 4567", "sender_name": "Marco", "text": "tickets.pdf"},
  {"is_from_me": 0, "kind": "sticker", "message_id": "6010", "raw_type": "sticker",
   "send_date": 1698308440000, "sender_id": "380501234567", "sender_name": "Olena Kovalenko"},
  {"is_from_me": 0, "kind": "text", "message_id": "6011", "send_date": 1698308500000,
   "sender_id": "+39 347 123 4567", "sender_name": "Marco", "tag": "deleted", "text": "oops"}])";

constexpr char kCallsBatch[] = R"([
  {"duration": 96, "is_from_me": 1, "kind": "call", "message_id": "call:1",
   "raw_type": "outgoing", "send_date": 1698307440000, "text": "380501234567"},
  {"duration": 0, "is_from_me": 0, "kind": "call", "message_id": "call:2", "raw_type": "missed",
   "send_date": 1698309200000, "sender_id": "VkMarco0002"},
  {"duration": 312, "is_from_me": 0, "kind": "call", "message_id": "call:3",
   "raw_type": "incoming_viber_with_video", "send_date": 1698310200000,
   "sender_id": "380501234567"}])";

constexpr char kDeletedBatch[] = R"([
  {"is_from_me": 0, "kind": "text", "message_id": "5990", "send_date": 1698297200000,
   "sender_id": "+39 347 123 4567", "sender_name": "Marco", "tag": "deleted",
   "text": "Old conversation"}])";

class IosViberTest : public test::BackupFolderTest {
 protected:
  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "Contacts" + std::to_string(version) + ".data");
    samples::IosSampleOptions options;
    options.schema_version = version;
    std::vector<samples::IosViberFile> files;
    EXPECT_TRUE(samples::WriteIosViber(path, options, &files));
    for (const samples::IosViberFile& file : files) {
      AddBackupFile(file.domain, file.relative_path, file.bytes);
    }
    return path;
  }

  Json::Value Request(const std::string& store) const {
    Json::Value request;
    request["package_type"] = kViberType;
    request["temp_folder"] = temp_;
    request["primary_file_object"]["viber_file_path"] = store;
    request["primary_file_object"]["photo_file_path"] = manifest_;
    request["other_info"]["has_sub_dir"] = "1";
    request["addtional_param"] = backup_;
    return request;
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  std::string Expanded(std::string text, const std::string& url = "") const {
    const auto placed = [this](const char* domain, const std::string& path) {
      return test::JsonEscaped(Placed(domain, path, true));
    };
    text = ReplaceAll(text, "{P}", placed(samples::kIosViberAppDomain, kPicture));
    text = ReplaceAll(text, "{Q}",
                      placed(samples::kIosViberAppDomain, "Documents/Thumbnails/IMG-0a1b2c.jpg"));
    text = ReplaceAll(text, "{V}",
                      placed(samples::kIosViberGroupDomain, "Documents/VoiceMessages/ptt-77.m4a"));
    text = ReplaceAll(text, "{U}", url);
    return Formatted(test::Expand(text, temp_));
  }

  std::string Batch(const std::string& session_id) const {
    return test::ReadFileBytes(
        JoinPath(temp_, "messages_" + Fnv1a64Decimal("viber:" + session_id) + ".json"));
  }
};

TEST_F(IosViberTest, WholeDocumentsOnBothVersions) {
  for (int version = samples::kIosViberOldestSchema; version <= samples::kIosViberNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    Fresh();
    ASSERT_EQ(kStatusOk, Run(Request(SampleStore(version))));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(13, g_results.kind);
    EXPECT_EQ(Expanded(kDocument), g_results.text);
    EXPECT_EQ(Expanded(kOlenaBatch), Batch("380501234567"));
    // Only the newer store keeps the link in the message's metadata.
    EXPECT_EQ(Expanded(kGroupBatch, version == 1 ? "" : R"(, "url": "https://example.org/lviv")"),
              Batch("5551234567890"));
    EXPECT_EQ(Expanded(kCallsBatch), Batch("calls"));
    EXPECT_EQ(Expanded(kDeletedBatch), Batch("deleted:7"));
  }
}

// Without the catalogue files are placed in Viber's own container, flat
// when the backup has no sub-folders, previews in the folder the thumbnail
// settings name.
TEST_F(IosViberTest, FilesPlacedWithoutTheCatalogue) {
  const std::string settings = JoinPath(root_, "thumbs.plist");
  test::WriteFileBytes(
      settings,
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
      "<key>ThumbnailsFolder</key><string>Library/Previews</string></dict></plist>");
  Json::Value request = Request(SampleStore(2));
  request["primary_file_object"].removeMember("photo_file_path");
  request["primary_file_object"]["thumb_config_path"] = settings;
  request["other_info"]["has_sub_dir"] = "0";
  ASSERT_EQ(kStatusOk, Run(request));
  const Json::Value olena = test::Parsed(Batch("380501234567"));
  const Json::Value group = test::Parsed(Batch("5551234567890"));
  const auto flat = [this](const std::string& relative) {
    return Placed(samples::kIosViberAppDomain, relative, false);
  };
  EXPECT_EQ(flat(kPicture), olena[2]["media_backup"].asString());
  EXPECT_EQ(flat("Library/Previews/IMG-0a1b2c.jpg"), olena[2]["thumb_backup"].asString());
  EXPECT_EQ(flat("Documents/VoiceMessages/ptt-77.m4a"), group[1]["media_backup"].asString());
  EXPECT_EQ(flat("Documents/FileMessages/tickets.pdf"), group[3]["media_backup"].asString());
}

// Tables lacking columns the queries name, and no attachment, location or
// join table: what is there is read, the rest as NULL, logged once.
TEST_F(IosViberTest, StoreLackingColumnsIsReadAsFarAsItGoes) {
  const std::string store = JoinPath(root_, "lacking.data");
  test::RunSql(store,
               "CREATE TABLE ZCONVERSATION (Z_PK INTEGER PRIMARY KEY, ZINTERLOCUTOR INTEGER);"
               "CREATE TABLE ZMEMBER (Z_PK INTEGER PRIMARY KEY, ZDISPLAYFULLNAME VARCHAR);"
               "CREATE TABLE ZPHONENUMBER (Z_PK INTEGER PRIMARY KEY, ZMEMBER INTEGER, ZPHONE "
               "VARCHAR);"
               "CREATE TABLE ZVIBERMESSAGE (Z_PK INTEGER PRIMARY KEY, ZCONVERSATION INTEGER, "
               "ZPHONENUMINDEX INTEGER, ZTEXT VARCHAR);"
               "INSERT INTO ZMEMBER VALUES (1, 'Ana');"
               "INSERT INTO ZPHONENUMBER VALUES (1, 1, '+1 555 0100');"
               "INSERT INTO ZCONVERSATION VALUES (1, 1);"
               "INSERT INTO ZVIBERMESSAGE VALUES (1, 1, 1, 'hello'), (2, 1, NULL, 'hi');");
  ASSERT_EQ(kStatusOk, Run(Request(store))) << Log();
  EXPECT_EQ(Expanded(R"({"account_id": "", "app": "viber", "sessions": [{"kind": "single",
    "members": [{"id": "+1 555 0100", "name": "Ana"}], "message_count": 2,
    "msg_file_list": ["{T}/messages_{H:viber:+1 555 0100}.json"], "name": "Ana",
    "session_id": "+1 555 0100"}], "size": 1})"),
            g_results.text);
  EXPECT_EQ(Formatted(R"([{"is_from_me": 0, "kind": "text", "message_id": "1",
    "sender_id": "+1 555 0100", "sender_name": "Ana", "text": "hello"},
    {"is_from_me": 1, "kind": "text", "message_id": "2", "text": "hi"}])"),
            Batch("+1 555 0100"));
  const std::string log = Log();
  const std::string line =
      "the store has no ZCONVERSATION.ZGROUPID, ZCONVERSATION.ZNAME, ZCONVERSATION.ZSUBTYPE, "
      "ZPHONENUMBER.ZCANONIZEDPHONENUM, ZMEMBER.ZMEMBERID, ZMEMBER.ZDISPLAYSHORTNAME, "
      "ZMEMBER.ZNAME, the conversation-participant join table (Z_<n>PHONENUMINDEXES), "
      "ZATTACHMENT, ZVIBERLOCATION, ZVIBERMESSAGE.ZTOKEN, ZVIBERMESSAGE.ZDATE, "
      "ZVIBERMESSAGE.ZSTATE, ZVIBERMESSAGE.ZSYSTEMTYPE, ZVIBERMESSAGE.ZMETADATA, "
      "ZVIBERMESSAGE.ZCALLTYPE, ZVIBERMESSAGE.ZBEINGDELETED, ZRECENT: read as NULL or left out.";
  EXPECT_NE(std::string::npos, log.find(line)) << log;
  EXPECT_EQ(log.find(line), log.rfind(line));
}

// Attachment names with "..", "/", NUL, and hostile metadata: no file is
// placed for them, the message keeps its text.
TEST_F(IosViberTest, HostileNamesAndMetadata) {
  const std::string store = JoinPath(root_, "hostile.data");
  test::RunSql(store, samples::IosViberSql(2) +
                          "INSERT INTO ZCONVERSATION (Z_PK, ZGROUPID) VALUES (1, 9);"
                          "INSERT INTO ZATTACHMENT (Z_PK, ZNAME, ZTYPE) VALUES "
                          "(1, '../../../etc/passwd', 'picture'), (2, '/tmp/abs', 'video'),"
                          "(3, 'a' || char(0) || 'b', 'file'), (4, '..', 'audio'), (5, 'ok.jpg', "
                          "'picture');"
                          "INSERT INTO ZVIBERMESSAGE (Z_PK, ZTOKEN, ZCONVERSATION, ZATTACHMENT, "
                          "ZSYSTEMTYPE, ZTEXT, ZMETADATA) VALUES (1, 1, 1, 1, NULL, NULL, NULL),"
                          "(2, 2, 1, 2, NULL, NULL, NULL), (3, 3, 1, 3, NULL, NULL, NULL),"
                          "(4, 4, 1, 4, NULL, NULL, NULL), (5, 5, 1, 5, NULL, NULL, NULL),"
                          "(6, 6, 1, NULL, 'url', 'x', printf('%.100000c', '[')),"
                          "(7, 7, 1, NULL, 'url', 'y', '{\"url\": 5}');");
  Json::Value request = Request(store);
  request["primary_file_object"].removeMember("photo_file_path");
  ASSERT_EQ(kStatusOk, Run(request));
  std::vector<std::string> paths;
  for (const Json::Value& message : test::Parsed(Batch("9"))) {
    paths.push_back(message["media_path"].asString() + "|" + message["url"].asString() + "|" +
                    message["text"].asString());
  }
  // A file's name is still its text: only no file is placed for it.
  EXPECT_EQ((std::vector<std::string>{"||", "||", std::string("||a\0b", 5), "||",
                                      "Documents/Attachments/ok.jpg||", "||x", "||y"}),
            paths);
}

// A secret chat beside the ordinary one with the same person, and a
// conversation whose group id reads like a former conversation's session:
// every session keeps batch files of its own.
TEST_F(IosViberTest, RepeatedSessionIdsKeepTheirOwnFiles) {
  const std::string store = JoinPath(root_, "repeated.data");
  test::RunSql(store, samples::IosViberSql(2) +
                          "INSERT INTO ZMEMBER (Z_PK, ZDISPLAYFULLNAME) VALUES (1, 'Ana');"
                          "INSERT INTO ZPHONENUMBER (Z_PK, ZMEMBER, ZPHONE) VALUES (1, 1, '+1 5');"
                          "INSERT INTO ZCONVERSATION (Z_PK, ZINTERLOCUTOR, ZGROUPID) VALUES "
                          "(1, 1, NULL), (3, 1, NULL);"
                          "INSERT INTO ZVIBERMESSAGE (Z_PK, ZTOKEN, ZCONVERSATION, ZTEXT) VALUES "
                          "(1, 1, 1, 'open'), (2, 2, 3, 'secret'), (3, 3, 3, 'secret too');");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const Json::Value sessions = test::Parsed(g_results.text)["sessions"];
  ASSERT_EQ(2u, sessions.size());
  EXPECT_EQ("+1 5", sessions[0]["session_id"].asString());
  EXPECT_EQ("+1 5#3", sessions[1]["session_id"].asString());
  EXPECT_EQ(1u, test::Parsed(Batch("+1 5")).size());
  EXPECT_EQ(2u, test::Parsed(Batch("+1 5#3")).size());
}

TEST_F(IosViberTest, StopFromAnotherThreadDuringTheConversationsGivesNoDocument) {
  const std::string store = JoinPath(root_, "many.data");
  test::RunSql(store, samples::IosViberSql(2) +
                          "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                          "WHERE i < 200000) INSERT INTO ZCONVERSATION (Z_PK, ZGROUPID) "
                          "SELECT i, i FROM k;");
  ExpectStopWhilePackaging(Request(store), "IOSViberDataPackage");
}

// Missing inputs, damaged stores and a store of another application (its
// query fails: 1108): the package function's status and no document.
TEST_F(IosViberTest, RefusedInputs) {
  const std::string other = JoinPath(root_, "other.sqlite");
  test::RunSql(other, "CREATE TABLE ZKIKCHAT (Z_PK INTEGER PRIMARY KEY);");
  SoundInputs sound;
  sound.data_type = kViberType;
  sound.primary_files = {{"viber_file_path", SampleStore(2)}};
  sound.other_info = {{"has_sub_dir", "1"}};
  ExpectRefused(sound, "viber_file_path",
                {{"viber_file_path", kStatusMissingInput},
                 {"has_sub_dir", kStatusMissingInput},
                 {"backup", kStatusMissingInput},
                 {other, kStatusQueryFailed}});
}

TEST(ViberKinds, MessageAndSessionKinds) {
  const struct {
    ViberKindInputs inputs;
    ChatMessageKind kind;
  } cases[] = {
      {{"", "", "", false}, ChatMessageKind::kText},
      {{"url", "", "", false}, ChatMessageKind::kLink},
      {{"formatted", "", "", false}, ChatMessageKind::kContactCard},
      {{"customLocation", "", "", false}, ChatMessageKind::kLocation},
      {{"", "", "", true}, ChatMessageKind::kLocation},
      {{"systemCallLog", "", "missed", false}, ChatMessageKind::kCall},
      {{"", "", "incoming_viber_with_video", false}, ChatMessageKind::kCall},
      {{"systemCallLog", "", "", false}, ChatMessageKind::kCall},
      {{"groupAddMembers", "", "", false}, ChatMessageKind::kSystem},
      {{"", "picture", "", false}, ChatMessageKind::kPicture},
      {{"", "gif", "", false}, ChatMessageKind::kVideo},
      {{"", "video", "", false}, ChatMessageKind::kVideo},
      {{"", "audio", "", false}, ChatMessageKind::kVoice},
      {{"", "file", "", false}, ChatMessageKind::kFile},
      {{"", "sticker", "", false}, ChatMessageKind::kSticker},
      {{"", "customLocation", "", false}, ChatMessageKind::kLocation},
      {{"", "hologram", "", false}, ChatMessageKind::kText},
  };
  for (const auto& one : cases) {
    SCOPED_TRACE(one.inputs.system_type + "/" + one.inputs.attachment_type + "/" +
                 one.inputs.call_type);
    EXPECT_STREQ(ChatMessageKindName(one.kind), ChatMessageKindName(ViberMessageKind(one.inputs)));
  }
  const std::pair<const char*, const char*> folders[] = {{"picture", "Documents/Attachments/"},
                                                         {"video", "Documents/Attachments/"},
                                                         {"audio", "Documents/VoiceMessages/"},
                                                         {"file", "Documents/FileMessages/"},
                                                         {"sticker", ""},
                                                         {"", ""}};
  for (const auto& [type, folder] : folders) EXPECT_STREQ(folder, ViberAttachmentFolder(type));
  EXPECT_EQ(ChatSessionKind::kSingle, ViberSessionKind(false, 0));
  EXPECT_EQ(ChatSessionKind::kGroup, ViberSessionKind(true, 0));
  EXPECT_EQ(ChatSessionKind::kOfficial, ViberSessionKind(true, 3));
  EXPECT_EQ(ChatSessionKind::kGroup, ViberSessionKind(true, 5));
}

}  // namespace
}  // namespace kx
