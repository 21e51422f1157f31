// LINE on iOS (data type 15) through the library's entry points: whole
// documents and batch files on both store versions, a store lacking
// columns, hostile names, refused inputs, a stop, and the tables of kinds.
#include "samples/ios_line.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "ioschat/line.h"
#include "ioschat/line_kinds.h"
#include "ioschat/line_messages.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using test::CapturedResults;
using test::Formatted;
using test::g_results;

constexpr int kLineType = 15;
constexpr char kSakura[] = "u5f3c0a1b2c3d4e5f60718293a4b5c6d7";
constexpr char kGroup[] = "c1d2e3f405162738495a6b7c8d9e0f1a2";
constexpr char kFolder[] =
    "Library/Application Support/PrivateStore/P_u0f1e2d3c4b5a69788796a5b4c3d2e1f0/"
    "Message Attachments/";

// {T} the temp folder, {P}/{Q} the picture and its preview in the backup,
// {H:x} the batch-file hash of x.
constexpr char kDocument[] = R"({"account_id": "u0f1e2d3c4b5a69788796a5b4c3d2e1f0",
  "account_name": "Aiko Mori", "app": "line", "size": 5, "sessions": [
  {"kind": "single", "members": [{"id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7", "name": "Sakura"}],
   "message_count": 5, "msg_file_list": ["{T}/messages_{H:line:u5f3c0a1b2c3d4e5f60718293a4b5c6d7}.json"],
   "name": "Sakura", "session_id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7"},
  {"kind": "group", "members": [{"id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7", "name": "Sakura"},
     {"id": "u9a8b7c6d5e4f30211203f4e5d6c7b8a9", "name": "Ken Sato"}],
   "message_count": 4, "msg_file_list": ["{T}/messages_{H:line:c1d2e3f405162738495a6b7c8d9e0f1a2}.json"],
   "name": "Book club 読書会", "session_id": "c1d2e3f405162738495a6b7c8d9e0f1a2"},
  {"kind": "official", "members": [{"id": "u7e6d5c4b3a29180f0e1d2c3b4a596877", "name": "LINE Weather"}],
   "message_count": 1, "msg_file_list": ["{T}/messages_{H:line:u7e6d5c4b3a29180f0e1d2c3b4a596877}.json"],
   "name": "LINE Weather", "session_id": "u7e6d5c4b3a29180f0e1d2c3b4a596877"},
  {"kind": "group", "members": [{"id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7", "name": "Sakura"},
     {"id": "u9a8b7c6d5e4f30211203f4e5d6c7b8a9", "name": "Ken Sato"}],
   "message_count": 0, "msg_file_list": [], "session_id": "r0a1b2c3d4e5f60718293a4b5c6d7e8f9"},
  {"kind": "single", "message_count": 1, "msg_file_list": ["{T}/messages_{H:line:deleted:9}.json"],
   "session_id": "deleted:9", "tag": "deleted"}]})";

constexpr char kFriendBatch[] = R"([
  {"is_from_me": 0, "kind": "text", "message_id": "100001", "raw_type": "0",
   "send_date": 1700000000000, "sender_id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7",
   "sender_name": "Sakura", "text": "Lunch tomorrow?"},
  {"is_from_me": 1, "kind": "text", "message_id": "100002", "raw_type": "0",
   "send_date": 1700000060000, "text": "Sure, noon"},
  {"is_from_me": 0, "kind": "picture", "media_backup": "{P}",
   "media_path": "{F}u5f3c0a1b2c3d4e5f60718293a4b5c6d7/100003", "message_id": "100003",
   "raw_type": "1", "send_date": 1700000120000, "sender_id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7",
   "sender_name": "Sakura", "thumb_backup": "{Q}"},
  {"is_from_me": 1, "kind": "sticker", "message_id": "100004", "raw_type": "7",
   "send_date": 1700000180000, "text": "sticker 11537/52002734"},
  {"is_from_me": 0, "kind": "location", "latitude": 35.658034, "longitude": 139.701636,
   "message_id": "100005", "raw_type": "15", "send_date": 1700000240000,
   "sender_id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7", "sender_name": "Sakura",
   "text": "Shibuya Station"}])";

constexpr char kGroupBatch[] = R"([
  {"is_from_me": 0, "kind": "text", "message_id": "100006", "raw_type": "0",
   "send_date": 1700001000000, "sender_id": "u9a8b7c6d5e4f30211203f4e5d6c7b8a9",
   "sender_name": "Ken Sato", "text": "Chapter 3 by Friday"},
  {"duration": 4, "is_from_me": 1, "kind": "voice",
   "media_path": "{F}c1d2e3f405162738495a6b7c8d9e0f1a2/100007", "message_id": "100007",
   "raw_type": "3", "send_date": 1700001060000},
  {"is_from_me": 0, "kind": "system", "message_id": "100008", "raw_type": "0",
   "send_date": 1700001120000, "sender_id": "u9a8b7c6d5e4f30211203f4e5d6c7b8a9",
   "sender_name": "Ken Sato"},
  {"is_from_me": 0, "kind": "file", "media_path": "{F}c1d2e3f405162738495a6b7c8d9e0f1a2/100009",
   "message_id": "100009", "raw_type": "14", "send_date": 1700001180000,
   "sender_id": "u5f3c0a1b2c3d4e5f60718293a4b5c6d7", "sender_name": "Sakura",
   "text": "agenda.pdf"}])";

constexpr char kDeletedBatch[] = R"([
  {"is_from_me": 0, "kind": "text", "message_id": "99990", "raw_type": "0",
   "send_date": 1699990000000, "sender_id": "u9a8b7c6d5e4f30211203f4e5d6c7b8a9",
   "sender_name": "Ken Sato", "tag": "deleted", "text": "From a chat left since"}])";

class IosLineTest : public test::BackupFolderTest {
 protected:
  // A file of LINE's container, stored in the backup and listed in
  // Manifest.db; its place in the backup.
  std::string AddBackupFile(const std::string& relative_path, const std::string& bytes) {
    return BackupFolderTest::AddBackupFile(samples::kIosLineDomain, relative_path, bytes);
  }

  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "line" + std::to_string(version) + ".sqlite");
    samples::IosSampleOptions options;
    options.schema_version = version;
    std::vector<samples::IosLineFile> files;
    EXPECT_TRUE(samples::WriteIosLine(path, options, &files));
    placed_.clear();
    for (const samples::IosLineFile& file : files) {
      placed_.push_back(AddBackupFile(file.relative_path, file.bytes));
    }
    return path;
  }

  Json::Value Request(const std::string& store) const {
    Json::Value request;
    request["package_type"] = kLineType;
    request["temp_folder"] = temp_;
    request["primary_file_object"]["line_file_path"] = store;
    request["primary_file_object"]["manifest_file_path"] = manifest_;
    request["other_info"]["line_account_id"] = samples::kIosLineAccount;
    request["addtional_param"] = backup_;
    return request;
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  std::string Expanded(std::string text) const {
    if (placed_.size() == 2) {
      text = ReplaceAll(ReplaceAll(text, "{P}", test::JsonEscaped(placed_[0])), "{Q}",
                        test::JsonEscaped(placed_[1]));
    }
    text = ReplaceAll(text, "{F}", kFolder);
    return Formatted(test::Expand(text, temp_));
  }

  std::string Batch(const std::string& session_id) const {
    return test::ReadFileBytes(
        JoinPath(temp_, "messages_" + Fnv1a64Decimal("line:" + session_id) + ".json"));
  }

  std::vector<std::string> placed_;
};

TEST_F(IosLineTest, WholeDocumentsOnBothVersions) {
  for (int version = samples::kIosLineOldestSchema; version <= samples::kIosLineNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    Fresh();
    ASSERT_EQ(kStatusOk, Run(Request(SampleStore(version))));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(10, g_results.kind);
    EXPECT_EQ(Expanded(kDocument), g_results.text);
    EXPECT_EQ(Expanded(kFriendBatch), Batch(kSakura));
    EXPECT_EQ(Expanded(kGroupBatch), Batch(kGroup));
    EXPECT_EQ(Expanded(kDeletedBatch), Batch("deleted:9"));
  }
}

// Tables lacking columns the queries name, and no join or group table:
// what is there is read, the rest as NULL, and the log says so once.
TEST_F(IosLineTest, StoreLackingColumnsIsReadAsFarAsItGoes) {
  const std::string store = JoinPath(root_, "lacking.sqlite");
  test::RunSql(store,
               "CREATE TABLE ZCHAT (Z_PK INTEGER PRIMARY KEY, ZTYPE INTEGER, ZMID VARCHAR);"
               "CREATE TABLE ZUSER (Z_PK INTEGER PRIMARY KEY, ZMID VARCHAR, ZNAME VARCHAR);"
               "CREATE TABLE ZMESSAGE (Z_PK INTEGER PRIMARY KEY, ZCHAT INTEGER, ZSENDER INTEGER, "
               "ZTEXT VARCHAR);"
               "INSERT INTO ZUSER VALUES (1, 'u1', 'Ana');"
               "INSERT INTO ZCHAT VALUES (1, 0, 'u1');"
               "INSERT INTO ZMESSAGE VALUES (1, 1, 1, 'hello'), (2, 1, NULL, 'hi');");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  EXPECT_EQ(Expanded(R"({"account_id": "u0f1e2d3c4b5a69788796a5b4c3d2e1f0", "app": "line",
    "sessions": [{"kind": "single", "members": [{"id": "u1", "name": "Ana"}], "message_count": 2,
    "msg_file_list": ["{T}/messages_{H:line:u1}.json"], "name": "Ana", "session_id": "u1"}],
    "size": 1})"),
            g_results.text);
  EXPECT_EQ(Formatted(R"([{"is_from_me": 0, "kind": "text", "message_id": "1", "raw_type": "0",
    "sender_id": "u1", "sender_name": "Ana", "text": "hello"},
    {"is_from_me": 1, "kind": "text", "message_id": "2", "raw_type": "0", "text": "hi"}])"),
            Batch("u1"));
  const std::string log = Log();
  const std::string line =
      "the store has no ZGROUP, ZUSER.ZCUSTOMNAME, ZUSER.ZUSERTYPE, the chat-member join table "
      "(Z_<n>MEMBERS), ZMESSAGE.ZID, ZMESSAGE.ZTIMESTAMP, ZMESSAGE.ZCONTENTTYPE, "
      "ZMESSAGE.ZCONTENTMETADATA, ZMESSAGE.ZLATITUDE, ZMESSAGE.ZLONGITUDE, ZMESSAGE.ZMESSAGETYPE: "
      "read as NULL or left out.";
  EXPECT_NE(std::string::npos, log.find(line)) << log;
  EXPECT_EQ(log.find(line), log.rfind(line));
}

// Names from the data with "..", "/", NUL: no file is located for them,
// and nothing is written outside the temp folder.
TEST_F(IosLineTest, HostileNamesLocateNothing) {
  const std::string store = JoinPath(root_, "hostile.sqlite");
  test::RunSql(store, samples::IosLineSql(2) +
                          "INSERT INTO ZCHAT (Z_PK, ZTYPE, ZMID) VALUES (1, 0, '../../..'),"
                          "(2, 0, 'u/x'), (3, 0, 'u' || char(0) || 'y'), (4, 0, 'ok');"
                          "INSERT INTO ZMESSAGE (Z_PK, ZCHAT, ZCONTENTTYPE, ZID) VALUES "
                          "(1, 1, 1, '1'), (2, 2, 1, '2'), (3, 3, 1, '3'), (4, 4, 1, '..'),"
                          "(5, 4, 1, 'a/../../b'), (6, 4, 2, '6');");
  AddBackupFile(std::string(kFolder) + "../../../1", "x");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const Json::Value document = test::Parsed(g_results.text);
  std::vector<std::string> paths;
  for (const Json::Value& session : document["sessions"]) {
    for (const Json::Value& file : session["msg_file_list"]) {
      for (const Json::Value& message : test::Parsed(test::ReadFileBytes(file.asString()))) {
        paths.push_back(message["media_path"].asString() + "|" +
                        message["media_backup"].asString());
      }
    }
  }
  EXPECT_EQ((std::vector<std::string>{"|", "|", "|", "|", "|", std::string(kFolder) + "ok/6|"}),
            paths);
  for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(root_))) {
    const fs::path parent = entry.path().parent_path();
    EXPECT_TRUE(parent == fs::u8path(root_) || parent == fs::u8path(temp_) ||
                entry.path().u8string().rfind(backup_, 0) == 0)
        << entry.path().u8string();
  }
}

TEST_F(IosLineTest, StopFromAnotherThreadDuringTheChatsGivesNoDocument) {
  const std::string store = JoinPath(root_, "chats.sqlite");
  test::RunSql(store, samples::IosLineSql(2) +
                          "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                          "WHERE i < 200000) INSERT INTO ZCHAT (Z_PK, ZTYPE, ZMID) "
                          "SELECT i, 0, 'u' || i FROM k;");
  ExpectStopWhilePackaging(Request(store), "IOSLineDataPackage");
}

// Missing inputs, damaged stores and a store of another application: the
// package function's status and no document.
TEST_F(IosLineTest, RefusedInputs) {
  const std::string other = JoinPath(root_, "other.sqlite");
  test::RunSql(other, "CREATE TABLE ZKIKCHAT (Z_PK INTEGER PRIMARY KEY);");
  SoundInputs sound;
  sound.data_type = kLineType;
  sound.primary_files = {{"line_file_path", SampleStore(2)}, {"manifest_file_path", manifest_}};
  sound.other_info = {{"line_account_id", samples::kIosLineAccount}};
  ExpectRefused(sound, "line_file_path",
                {{"line_file_path", kStatusMissingInput},
                 {"manifest_file_path", kStatusMissingInput},
                 {"line_account_id", kStatusMissingInput},
                 {"backup", kStatusMissingInput},
                 {other, kStatusPrepareFailed}});
}

TEST(LineKinds, ContentTypesAndMetadata) {
  const LineMetadata none;
  const LineMetadata event = {{"LOC_KEY", "C_MI"}};
  const struct {
    int64_t type;
    const LineMetadata* metadata;
    ChatMessageKind kind;
  } cases[] = {
      {0, &none, ChatMessageKind::kText},    {1, &none, ChatMessageKind::kPicture},
      {2, &none, ChatMessageKind::kVideo},   {3, &none, ChatMessageKind::kVoice},
      {4, &none, ChatMessageKind::kLink},    {5, &none, ChatMessageKind::kFile},
      {6, &none, ChatMessageKind::kCall},    {7, &none, ChatMessageKind::kSticker},
      {12, &none, ChatMessageKind::kLink},   {13, &none, ChatMessageKind::kContactCard},
      {14, &none, ChatMessageKind::kFile},   {15, &none, ChatMessageKind::kLocation},
      {18, &none, ChatMessageKind::kSystem}, {21, &none, ChatMessageKind::kPicture},
      {22, &none, ChatMessageKind::kOther},  {99, &none, ChatMessageKind::kOther},
      {-1, &none, ChatMessageKind::kOther},  {0, &event, ChatMessageKind::kSystem},
      {1, &event, ChatMessageKind::kSystem},
  };
  for (const auto& one : cases) {
    SCOPED_TRACE(one.type);
    EXPECT_STREQ(ChatMessageKindName(one.kind),
                 ChatMessageKindName(LineMessageKind(one.type, *one.metadata)));
  }
  EXPECT_EQ(ChatSessionKind::kSingle, LineSessionKind(0, 0));
  EXPECT_EQ(ChatSessionKind::kOfficial, LineSessionKind(0, 2));
  EXPECT_EQ(ChatSessionKind::kGroup, LineSessionKind(1, 0));
  EXPECT_EQ(ChatSessionKind::kGroup, LineSessionKind(2, 2));
}

// Metadata as a plain list and as a keyed archive; damaged and looping
// archives read as nothing or as far as they go, never a crash.
TEST(LineKinds, MetadataForms) {
  EXPECT_EQ((LineMetadata{{"STKID", "52002734"}, {"STKVER", "1"}}),
            ReadLineMetadata(samples::IosLineMetadata({{"STKID", "52002734"}, {"STKVER", "1"}})));
  const std::string uid = "<dict><key>CF$UID</key><integer>";
  const std::string archive =
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>$top</key><dict><key>root</key>" +
      uid + "1</integer></dict></dict><key>$objects</key><array><string>$null</string>" +
      "<dict><key>NS.keys</key><array>" + uid + "2</integer></dict></array><key>NS.objects</key>" +
      "<array>" + uid + "3</integer></dict></array><key>$class</key>" + uid +
      "4</integer></dict></dict><string>DURATION</string><string>4500</string>" +
      "<dict><key>$classname</key><string>NSDictionary</string></dict></array></dict></plist>";
  EXPECT_EQ((LineMetadata{{"DURATION", "4500"}}), ReadLineMetadata(archive));
  std::string looping = archive;
  looping.replace(looping.find(uid + "3</integer>"), uid.size() + 11, uid + "1</integer>");
  EXPECT_EQ(LineMetadata(), ReadLineMetadata(looping));
  std::string out_of_range = archive;
  out_of_range.replace(out_of_range.find(uid + "3</integer>"), uid.size() + 11,
                       uid + "4000000000</integer>");
  EXPECT_EQ(LineMetadata(), ReadLineMetadata(out_of_range));
  EXPECT_EQ(LineMetadata(), ReadLineMetadata("bplist00\xFF\xFF"));
  EXPECT_EQ(LineMetadata(), ReadLineMetadata(std::string(100000, '<')));
}

}  // namespace
}  // namespace kx
