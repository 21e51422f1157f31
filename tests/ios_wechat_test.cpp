// WeChat (data type 19) through the library's entry points: whole documents
// and batch files on each store version, stores missing or damaged, the
// sender of group messages, conversations nobody knows, hostile names and
// a stop.
#include "samples/ios_wechat.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/json_util.h"
#include "common/md5.h"
#include "common/platform.h"
#include "common/status.h"
#include "ioschat/chat_document.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using test::CapturedResults;
using test::Formatted;
using test::g_results;

constexpr int kWechatType = 19;

// The document of the sample stores; {H:...} the hash of a batch file's key.
constexpr char kSampleDocument[] = R"J({"account_id": "wxid_owner01", "account_name": "Lena Brandt",
  "app": "wechat", "sessions": [
    {"kind": "single", "message_count": 11,
     "msg_file_list": ["{T}/messages_{H:wechat:wxid_friend01}.json"],
     "name": "Tom (climbing)",
               "session_id" : "wxid_friend01"
},
    {"kind": "group", "members": [{"id": "wxid_owner01"}, {"id": "wxid_friend01", "name": "Tom (climbing)"},
       {"id": "wxid_member02", "name": "Ines Park"}], "message_count": 4,
     "msg_file_list": ["{T}/messages_{H:wechat:20811234567@chatroom}.json"],
     "name": "Climbing crew", "session_id": "20811234567@chatroom"},
    {"kind": "single", "message_count": 1,
     "msg_file_list": ["{T}/messages_{H:wechat:ccc085efbc3f557450e7358dcea36492}.json"],
     "session_id": "ccc085efbc3f557450e7358dcea36492", "tag": "deleted"},
    {"kind": "official", "message_count": 1,
     "msg_file_list": ["{T}/messages_{H:wechat:gh_3c8f1e2d9a7b}.json"],
     "name": "City Library", "session_id": "gh_3c8f1e2d9a7b"}],
  "size": 4
})J";

// {F}: the friend's folder; {B:path} the backup file of a path of the
// account's Documents folder.
constexpr char kFriendMessages[] = R"J([
  {"is_from_me": 0, "kind": "text", "message_id": "1", "raw_type": "1", "send_date": 1700000000000,
   "text": "Are you coming to the gym tonight?"},
  {"is_from_me": 1, "kind": "text", "message_id": "2", "raw_type": "1", "send_date": 1700000060000,
   "text": "Yes, at 7"},
  {"is_from_me": 0, "kind": "picture", "media_backup": "{B:Img/{F}/3.pic}",
   "media_path": "{D}Img/{F}/3.pic", "message_id": "3", "raw_type": "3",
   "send_date": 1700000120000, "thumb_backup": "{B:Img/{F}/3.pic_thum}"},
  {"duration": 5, "is_from_me": 1, "kind": "voice", "media_backup": "{B:Audio/{F}/4.aud}",
   "media_path": "{D}Audio/{F}/4.aud", "message_id": "4", "raw_type": "34",
   "send_date": 1700000180000},
  {"is_from_me": 0, "kind": "link", "message_id": "5", "raw_type": "49/5", "send_date": 1700000240000,
   "text": "Bouldering grades explained", "url": "https://example.org/grades"},
  {"is_from_me": 1, "kind": "file", "media_backup": "{B:OpenData/{F}/6.pdf}",
   "media_path": "{D}OpenData/{F}/6.pdf", "message_id": "6", "raw_type": "49/6",
   "send_date": 1700000300000, "text": "route-map.pdf"},
  {"is_from_me": 0, "kind": "location", "latitude": 52.520008, "longitude": 13.404954,
   "message_id": "7", "raw_type": "48", "send_date": 1700000360000,
   "text": "Boulderhalle Mitte\nAlexanderplatz, 10178 Berlin"},
  {"is_from_me": 0, "kind": "contact_card", "message_id": "8", "raw_type": "42",
   "send_date": 1700000420000, "text": "Ines Park (wxid_member02)"
},
  {"is_from_me": 1, "kind": "sticker", "message_id": "9", "raw_type": "47",
   "send_date": 1700000480000, "url": "http://emoji.example.org/e1"},
  {"is_from_me": 1, "kind": "call", "message_id": "10", "raw_type": "50",
   "send_date": 1700000540000, "text": "Duration 00:42"},
  {"is_from_me": 0, "kind": "system", "message_id": "11", "raw_type": "10002",
   "send_date": 1700000600000, "text": "\"Tom (climbing)\" recalled a message"}])J";

constexpr char kGroupMessages[] = R"J([
  {"is_from_me": 0, "kind": "system", "message_id": "1", "raw_type": "10000",
   "send_date": 1700001000000, "text": "You joined the group chat"},
  {"is_from_me": 0, "kind": "text", "message_id": "2", "raw_type": "1", "send_date": 1700001060000,
   "sender_id": "wxid_member02", "sender_name": "Ines Park", "text": "Who brings the rope?"},
  {"is_from_me": 1, "kind": "text", "message_id": "3", "raw_type": "1", "send_date": 1700001120000,
   "text": "I do"},
  {"duration": 12, "is_from_me": 0, "kind": "video", "media_backup": "{B:Video/{G}/4.mp4}",
   "media_path": "{D}Video/{G}/4.mp4", "message_id": "4", "raw_type": "43",
   "send_date": 1700001180000, "sender_id": "wxid_friend01", "sender_name": "Tom (climbing)",
   "thumb_backup": "{B:Video/{G}/4.video_thum}"
}])J";

constexpr char kGoneMessages[] = R"([{"is_from_me": 0, "kind": "text", "message_id": "1",
  "raw_type": "1", "send_date": 1699990000000, "tag": "deleted", "text": "See you around"}])";

constexpr char kOfficialMessages[] = R"([{"is_from_me": 0, "kind": "link", "message_id": "1",
  "raw_type": "49/5", "send_date": 1700002000000, "text": "Opening hours over the holidays",
  "url": "https://library.example.org/hours"}])";

class IosWechatTest : public test::BackupFolderTest {
 protected:
  // A file of WeChat's domain in the backup, listed in Manifest.db.
  void AddBackupFile(const std::string& relative_path, const std::string& bytes) {
    BackupFolderTest::AddBackupFile(samples::kIosWechatDomain, relative_path, bytes);
  }

  samples::IosWechatStores SampleStores(int version) {
    const std::string folder = JoinPath(root_, "v" + std::to_string(version));
    fs::create_directories(fs::u8path(folder));
    samples::IosSampleOptions options;
    options.schema_version = version;
    samples::IosWechatStores stores;
    std::vector<samples::IosWechatFile> files;
    EXPECT_TRUE(samples::WriteIosWechat(folder, options, &stores, &files));
    for (const samples::IosWechatFile& file : files) AddBackupFile(file.relative_path, file.bytes);
    return stores;
  }

  Json::Value Request(const samples::IosWechatStores& stores) {
    Json::Value request;
    request["package_type"] = kWechatType;
    request["temp_folder"] = temp_;
    Json::Value& files = request["primary_file_object"];
    const std::pair<const char*, std::string> keys[] = {{"msg_file_path", stores.messages},
                                                        {"contact_file_path", stores.contacts},
                                                        {"session_file_path", stores.sessions},
                                                        {"user_file_path", stores.settings},
                                                        {"manifest_file_path", manifest_}};
    for (const auto& [key, path] : keys) {
      if (!path.empty()) files[key] = path;
    }
    request["other_info"]["has_sub_dir"] = "1";
    request["addtional_param"] = backup_;
    return request;
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  std::string Expanded(std::string text) const {
    const std::string documents = std::string("Documents/") + samples::kIosWechatUserHash + "/";
    text = ReplaceAll(text, "{F}", samples::kIosWechatFriendHash);
    text = ReplaceAll(text, "{G}", samples::kIosWechatGroupHash);
    for (size_t at = text.find("{B:"); at != std::string::npos; at = text.find("{B:")) {
      const size_t end = text.find('}', at);
      text.replace(
          at, end - at + 1,
          test::JsonEscaped(ChatBackupFile(backup_, true, samples::kIosWechatDomain,
                                           documents + text.substr(at + 3, end - at - 3))));
    }
    text = ReplaceAll(text, "{D}", documents);
    return Formatted(test::Expand(text, temp_));
  }

  std::string Batch(const std::string& key) const {
    return test::ReadFileBytes(
        JoinPath(temp_, "messages_" + Fnv1a64Decimal("wechat:" + key) + ".json"));
  }
};

TEST_F(IosWechatTest, WholeDocumentsOnEachStoreVersion) {
  EXPECT_EQ(samples::kIosWechatUserHash, Md5Hex(samples::kIosWechatUser));
  for (int version = samples::kIosWechatOldestSchema; version <= samples::kIosWechatNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    Fresh();
    ASSERT_EQ(kStatusOk, Run(Request(SampleStores(version))));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(14, g_results.kind);
    EXPECT_EQ(Expanded(kSampleDocument), g_results.text);
    EXPECT_EQ(Expanded(kFriendMessages), Batch("wxid_friend01"));
    EXPECT_EQ(Expanded(kGroupMessages), Batch("20811234567@chatroom"));
    EXPECT_EQ(Expanded(kGoneMessages), Batch(samples::kIosWechatGoneHash));
    EXPECT_EQ(Expanded(kOfficialMessages), Batch("gh_3c8f1e2d9a7b"));
  }
}

// The message database alone (the newer layout keeps neither contacts nor
// the session list in it), with the official accounts' store beside it:
// conversations go by their hashes, nothing is judged deleted, the account
// folder comes from the other information.
TEST_F(IosWechatTest, OptionalStoresMissingAndTheOfficialAccountsStore) {
  samples::IosWechatStores stores = SampleStores(2);
  const std::string brand = JoinPath(root_, "BrandMsg.sqlite");
  test::RunSql(brand, samples::IosWechatChatTableSql(2, "Chat_e6feb04fe19796b8c31f7826ae9c42c4") +
                          "INSERT INTO Chat_e6feb04fe19796b8c31f7826ae9c42c4 (CreateTime, "
                          "Message, Type, Des) VALUES (5, 'Welcome', 1, 1);");
  stores.contacts.clear();
  stores.sessions.clear();
  stores.settings.clear();
  Json::Value request = Request(stores);
  request["primary_file_object"]["brandmsg_file_path"] = brand;
  request["other_info"]["wechat_account_hash"] = samples::kIosWechatUserHash;
  ASSERT_EQ(kStatusOk, Run(request));
  const Json::Value document = test::Parsed(g_results.text);
  Json::Value summary(Json::arrayValue);
  for (const Json::Value& session : document["sessions"]) {
    summary.append(session["kind"].asString() + " " + session["session_id"].asString() + " " +
                   session["message_count"].asString() + session.get("tag", "").asString());
  }
  EXPECT_EQ(test::JsonList({"single 84c495fc4279ef9e04dc45b1c31b6fab 11",
                            "single 9f57dcad25208659c1c9e422a3a38f4b 4",
                            "single ccc085efbc3f557450e7358dcea36492 1",
                            "single e6feb04fe19796b8c31f7826ae9c42c4 1",
                            "official e6feb04fe19796b8c31f7826ae9c42c4 1"}),
            summary);
  EXPECT_EQ(samples::kIosWechatUserHash, document["account_id"].asString());
  EXPECT_FALSE(document.isMember("account_name"));
  // Without the group's contact its messages keep their sender heads, but
  // the media are still found through the account folder.
  const Json::Value group = test::Parsed(Batch(samples::kIosWechatGroupHash));
  EXPECT_EQ("wxid_member02:\nWho brings the rope?", group[1]["text"].asString());
  EXPECT_EQ(Expanded(R"("{D}Video/{G}/4.mp4")"), WriteJson(group[3]["media_path"]));
  EXPECT_EQ(Formatted(R"([{"is_from_me": 0, "kind": "text", "message_id": "1", "raw_type": "1",
    "send_date": 5000, "text": "Welcome"}])"),
            test::ReadFileBytes(document["sessions"][4]["msg_file_list"][0].asString()));
}

// A conversation table lacking columns is read as far as it goes, and the
// log names what was missing, once.
TEST_F(IosWechatTest, ConversationTableLackingColumns) {
  const std::string store = JoinPath(root_, "MM.sqlite");
  test::RunSql(store,
               "CREATE TABLE Chat_aa (MesLocalID INTEGER PRIMARY KEY, Message TEXT, Type INTEGER);"
               "CREATE TABLE Chat_bb (MesLocalID INTEGER PRIMARY KEY, Message TEXT);"
               "INSERT INTO Chat_aa VALUES (1, 'hi', 1);"
               "INSERT INTO Chat_bb VALUES (7, 'yo');");
  samples::IosWechatStores stores;
  stores.messages = store;
  ASSERT_EQ(kStatusOk, Run(Request(stores)));
  EXPECT_EQ(Formatted(R"([{"is_from_me": 0, "kind": "text", "message_id": "1", "raw_type": "1",
    "text": "hi"}])"),
            Batch("aa"));
  EXPECT_EQ(Formatted(R"([{"is_from_me": 0, "kind": "other", "message_id": "7", "text": "yo"}])"),
            Batch("bb"));
  const std::string log = Log();
  EXPECT_NE(std::string::npos,
            log.find("the conversation tables have no MesSvrID, CreateTime, Status, Des: read as "
                     "NULL."))
      << log;
}

// Table names, file extensions and bodies from the data that try to lead
// elsewhere: every path handed over lies in the temp or backup folder, and
// nothing is written outside the temp folder.
TEST_F(IosWechatTest, HostileNamesAndBodies) {
  const std::string store = JoinPath(root_, "MM.sqlite");
  const std::string evil_file =
      "<msg><appmsg><title>x</title><type>6</type><appattach><fileext>../../../etc/passwd"
      "</fileext></appattach></appmsg></msg>";
  test::RunSql(store, samples::IosWechatChatTableSql(1, "\"Chat_../../escape\"") +
                          samples::IosWechatChatTableSql(1, "\"Chat_\"\"; DROP TABLE x; --\"") +
                          samples::IosWechatChatTableSql(1, "\"Chat_x@chatroom\"") +
                          "INSERT INTO \"Chat_../../escape\" (Message, Type, Des) VALUES ('" +
                          evil_file +
                          "', 49, 1), ('<msg><appmsg>', 49, 1), ('a' || char(0) || "
                          "'b', 3, 1);"
                          "INSERT INTO \"Chat_\"\"; DROP TABLE x; --\" (Message, Type, Des) "
                          "VALUES ('q', 1, 0);"
                          "INSERT INTO \"Chat_\"\"; DROP TABLE x; --\" (CreateTime, Message, "
                          "Type, Des) VALUES (9223372036854775807, 'late', 1, 0);"
                          "INSERT INTO \"Chat_x@chatroom\" (Message, Type, Des) "
                          "VALUES ('../../u:\nhello', 1, 1);");
  AddBackupFile("../../../etc/passwd", "x");
  samples::IosWechatStores stores;
  stores.messages = store;
  Json::Value request = Request(stores);
  request["other_info"]["wechat_account_hash"] = samples::kIosWechatUserHash;
  ASSERT_EQ(kStatusOk, Run(request));
  const Json::Value document = test::Parsed(g_results.text);
  ASSERT_EQ(3u, document["sessions"].size());
  const auto inside = [](const std::string& path, const std::string& folder) {
    const fs::path relative =
        fs::u8path(path).lexically_normal().lexically_relative(fs::u8path(folder));
    return !relative.empty() && *relative.begin() != "..";
  };
  std::map<std::string, Json::Value> batches;
  for (const Json::Value& session : document["sessions"]) {
    ASSERT_EQ(1u, session["msg_file_list"].size());
    const std::string batch = session["msg_file_list"][0].asString();
    EXPECT_TRUE(inside(batch, temp_)) << batch;
    batches[session["session_id"].asString()] = test::Parsed(test::ReadFileBytes(batch));
  }
  EXPECT_EQ(Formatted(R"([
    {"is_from_me": 0, "kind": "file", "message_id": "1", "raw_type": "49/6", "send_date": 0,
     "text": "x"},
    {"is_from_me": 0, "kind": "link", "message_id": "2", "raw_type": "49", "send_date": 0,
     "text": "<msg><appmsg>"},
    {"is_from_me": 0, "kind": "picture", "message_id": "3", "raw_type": "3", "send_date": 0,
     "text": "a\u0000b"}])"),
            WriteJson(batches["../../escape"]));
  EXPECT_EQ(Formatted(R"([{"is_from_me": 1, "kind": "text", "message_id": "1", "raw_type": "1",
    "send_date": 0, "text": "q"}, {"is_from_me": 1, "kind": "text", "message_id": "2",
    "raw_type": "1", "text": "late"}])"),
            WriteJson(batches["\"; DROP TABLE x; --"]));
  // The hash part of a table name ending like a group is no group of a
  // known contact: a single conversation, its text kept whole.
  EXPECT_EQ("../../u:\nhello", batches["x@chatroom"][0]["text"].asString());
  for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(root_))) {
    const std::string path = entry.path().u8string();
    EXPECT_TRUE(inside(path, temp_) || inside(path, backup_) ||
                entry.path().parent_path() == fs::u8path(root_))
        << path;
  }
}

TEST_F(IosWechatTest, StopFromAnotherThreadDuringTheConversationWalkGivesNoDocument) {
  const std::string store = JoinPath(root_, "MM.sqlite");
  test::RunSql(store, samples::IosWechatChatTableSql(2, "Chat_many") +
                          "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                          "WHERE i < 300000) INSERT INTO Chat_many (CreateTime, Message, Type, "
                          "Des) SELECT i, 'm' || i, 1, i % 2 FROM k;");
  samples::IosWechatStores stores;
  stores.messages = store;
  ExpectStopWhilePackaging(Request(stores), "IOSWechatDataPackage");
}

// Missing required inputs, and a message database damaged as a pull from a
// phone leaves it: the status, no document. Damaged optional stores only
// leave their part out.
TEST_F(IosWechatTest, RefusedInputs) {
  const samples::IosWechatStores stores = SampleStores(2);
  SoundInputs sound;
  sound.data_type = kWechatType;
  sound.primary_files = {{"msg_file_path", stores.messages}, {"manifest_file_path", manifest_}};
  ExpectRefused(sound, "msg_file_path",
                {{"msg_file_path", kStatusMissingInput},
                 {"manifest_file_path", kStatusMissingInput},
                 {"backup", kStatusMissingInput}});
  const std::string damaged = JoinPath(root_, "not-a-database");
  test::WriteFileBytes(damaged, "this is no database at all, only text");
  DataTypeRecord record;
  record.data_type = kWechatType;
  record.temp_folder = temp_;
  record.additional_param = backup_;
  record.primary_files = {{"msg_file_path", stores.messages}, {"manifest_file_path", damaged},
                          {"contact_file_path", damaged},     {"session_file_path", damaged},
                          {"user_file_path", damaged},        {"brandmsg_file_path", damaged}};
  g_results = CapturedResults();
  EXPECT_EQ(kStatusOk, test::CallPackageFunction(&record));
  EXPECT_EQ(4u, test::Parsed(g_results.text)["sessions"].size());
}

}  // namespace
}  // namespace kx
