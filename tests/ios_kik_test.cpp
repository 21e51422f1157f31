// Kik (data type 17) through the library's entry points: whole documents
// and batch files on both store layouts, batch boundaries of chats and of
// deleted messages, previews found through Manifest.db, the code mapping,
// and hostile names from the data.
#include "samples/ios_kik.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "ioschat/kik.h"
#include "ioschat/kik_media.h"
#include "ioschat/kik_messages.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using test::CapturedResults;
using test::CaptureResult;
using test::Expand;
using test::Formatted;
using test::g_results;

constexpr int kKikType = 17;
constexpr char kAccount[] = "7d1b3a2e0c9f4e8b";
constexpr char kAttachment[] = "f3a1c2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b";

std::string KikId(const std::string& tail) {
  return samples::IosBackupFileId(samples::kIosKikDomain,
                                  std::string("cores/private/") + kAccount + "/" + tail);
}

std::string TwoLevel(const std::string& root, const std::string& id) {
  return JoinPath(JoinPath(root, id.substr(0, 2)), id);
}

// The whole document of the sample store; {T} is the temp folder, {B} the
// backup, {A} the attachment's file id, {G}/{Z} the thumbnails' ids.
constexpr char kSampleDocument[] = R"({"kik_accounts": [{"account_id": "7d1b3a2e0c9f4e8b",
  "kik_chat_sessions": [
    {"chat_pk": "2", "session_name": "Weekend hikers", "session_id": "1100211223344_g@groups.kik.com",
     "ZUSER": "3", "last_date": "726000900.25", "is_group": "1",
     "members": [{"member_name": "Zoë Lindqvist"}, {"member_name": "Mark Okafor"}],
     "msg_file_list": ["{T}/kikmessages_2.json"],
     "thumb_path": "cores/private/7d1b3a2e0c9f4e8b/profpix/thumb_1100211223344_g@groups.kik.com",
     "thumb_file": "{B}/{G2}/{G}"},
    {"chat_pk": "1", "session_name": "Zoë Lindqvist", "session_id": "zoe.l_4kq@talk.kik.com",
     "ZUSER": "1", "last_date": "726000300.5", "is_group": "0",
     "msg_file_list": ["{T}/kikmessages_1.json"],
     "thumb_path": "cores/private/7d1b3a2e0c9f4e8b/profpix/thumb_zoe.l_4kq@talk.kik.com",
     "thumb_file": "{B}/{Z2}/{Z}"},
    {"session_name": "Mark Okafor", "msg_file_list": ["{T}/kikmessages_{H:Mark Okafor}.json"]}],
  "media_file_info": [{"plist_id": "{A}", "data_type": 1, "data_suffix": ".jpg",
                       "data_file_path": "{T}/{A}"}]}],
 "size": 1})";

constexpr char kChat1Messages[] = R"({"messages": [
  {"Z_PK": "1", "is_from_me": "0", "send_date": "726000100.5", "text": "Are we still on for Saturday?",
   "display": "Are we still on for Saturday?", "ZCONTENT": "", "from_id": "Zoë Lindqvist",
   "send_state": "0", "type": "0"},
  {"Z_PK": "2", "is_from_me": "1", "send_date": "726000200.5", "text": "Yes, 9 at the trailhead",
   "display": "Yes, 9 at the trailhead", "ZCONTENT": "", "from_id": "Zoë Lindqvist",
   "send_state": "1", "type": "0"},
  {"Z_PK": "3", "is_from_me": "0", "send_date": "726000300.5", "text": "", "display": "",
   "ZCONTENT": "f3a1c2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b", "from_id": "Zoë Lindqvist",
   "send_state": "0", "type": "1",
   "media_path": "cores/private/7d1b3a2e0c9f4e8b/attachments/f3a1c2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b",
   "media_backup": "{T}/{A}"}]})";

constexpr char kChat2Messages[] = R"({"messages": [
  {"Z_PK": "4", "is_from_me": "1", "send_date": "726000800.25", "text": "Bring water",
   "display": "Bring water", "ZCONTENT": "", "from_id": "Mark Okafor", "send_state": "0",
   "type": "13"},
  {"Z_PK": "5", "is_from_me": "1", "send_date": "726000900.25", "text": "Mark added Zoë",
   "display": "Mark added Zoë", "ZCONTENT": "", "from_id": "Mark Okafor", "send_state": "0",
   "type": "13"}]})";

constexpr char kDeletedMessages[] = R"({"messages": [
  {"Z_PK": "6", "is_from_me": "0", "send_date": "725999000", "text": "From a chat deleted since",
   "display": "From a chat deleted since", "ZCONTENT": "", "from_id": "Mark Okafor",
   "send_state": "0", "type": "0", "ZUSER": "2", "tag": "deleted"}]})";

class IosKikTest : public test::BackupFolderTest {
 protected:
  // A file of Kik's domain, stored in the backup and listed in Manifest.db.
  void AddBackupFile(const std::string& relative_path, const std::string& bytes) {
    BackupFolderTest::AddBackupFile(samples::kIosKikDomain, relative_path, bytes);
  }

  void AddManifestRow(const std::string& id, const std::string& relative_path) {
    test::RunSql(manifest_, "INSERT INTO Files VALUES ('" + id + "', '" + samples::kIosKikDomain +
                                "', '" + relative_path + "', 1, NULL);");
  }

  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "kik" + std::to_string(version) + ".sqlite");
    samples::IosSampleOptions options;
    options.schema_version = version;
    std::vector<samples::IosKikFile> files;
    EXPECT_TRUE(samples::WriteIosKik(path, options, &files));
    for (const samples::IosKikFile& file : files) AddBackupFile(file.relative_path, file.bytes);
    return path;
  }

  Json::Value Request(const std::string& store) {
    Json::Value request;
    request["package_type"] = kKikType;
    request["temp_folder"] = temp_;
    request["primary_file_object"]["kik_file_path"] = store;
    request["primary_file_object"]["manifest_file_path"] = manifest_;
    request["other_info"]["kik_account_id"] = kAccount;
    request["other_info"]["has_sub_dir"] = "1";
    request["addtional_param"] = backup_;
    return request;
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  std::string Expanded(std::string text) const {
    const std::string ids[][2] = {{"{A}", KikId(std::string("attachments/") + kAttachment)},
                                  {"{G}", KikId("profpix/thumb_1100211223344_g@groups.kik.com")},
                                  {"{Z}", KikId("profpix/thumb_zoe.l_4kq@talk.kik.com")}};
    for (const auto& [mark, id] : ids) {
      const std::string two = mark.substr(0, 2) + "2}";
      text = ReplaceAll(
          ReplaceAll(text, two + "/", test::JsonEscaped(id.substr(0, 2) + kPathSeparator)), mark,
          id);
    }
    text = ReplaceAll(text, "{B}/", test::JsonEscaped(backup_ + kPathSeparator));
    return Formatted(Expand(text, temp_));
  }

  std::string Batch(const std::string& name) const {
    return test::ReadFileBytes(JoinPath(temp_, name));
  }
};

TEST_F(IosKikTest, WholeDocumentsOnBothLayouts) {
  for (int version = samples::kIosKikOldestSchema; version <= samples::kIosKikNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    Fresh();
    ASSERT_EQ(kStatusOk, Run(Request(SampleStore(version))));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(9, g_results.kind);
    EXPECT_EQ(Expanded(kSampleDocument), g_results.text);
    EXPECT_EQ(Expanded(kChat1Messages), Batch("kikmessages_1.json"));
    EXPECT_EQ(Expanded(kChat2Messages), Batch("kikmessages_2.json"));
    EXPECT_EQ(Expanded(kDeletedMessages),
              Batch("kikmessages_" + Fnv1a64Decimal("Mark Okafor") + ".json"));
    EXPECT_EQ(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
                          "\xFF\xDB",
                          22),
              Batch(KikId(std::string("attachments/") + kAttachment)));
  }
}

// 10000 messages make one numbered file; one more makes a second. A sender
// of exactly 10000 deleted messages gets one unnumbered file.
TEST_F(IosKikTest, BatchBoundaries) {
  for (const int count : {10000, 10001}) {
    SCOPED_TRACE(count);
    Fresh();
    const std::string store = JoinPath(root_, "many" + std::to_string(count) + ".sqlite");
    const std::string n = std::to_string(count);
    test::RunSql(store, samples::IosKikSql(2) +
                            "INSERT INTO ZKIKUSER (Z_PK, ZDISPLAYNAME, ZJID) VALUES "
                            "(1, 'Ana', 'ana@talk.kik.com'), (2, 'Bo', 'bo@talk.kik.com');"
                            "INSERT INTO ZKIKCHAT (Z_PK, ZUSER, ZDATEUPDATED) VALUES (7, 1, 1);"
                            "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                            "WHERE i < " +
                            n +
                            ") "
                            "INSERT INTO ZKIKMESSAGE (Z_PK, ZTYPE, ZUSER, ZBODY) "
                            "SELECT i, 1, 1, 'm' || i FROM k UNION ALL "
                            "SELECT 100000 + i, 1, 2, 'd' || i FROM k;"
                            "INSERT INTO Z_4MESSAGES SELECT 7, Z_PK FROM ZKIKMESSAGE "
                            "WHERE Z_PK < 100000;");
    ASSERT_EQ(kStatusOk, Run(Request(store)));
    const Json::Value document = test::Parsed(g_results.text);
    const Json::Value& sessions = document["kik_accounts"][0]["kik_chat_sessions"];
    const std::string h = Fnv1a64Decimal("Bo");
    const bool one_more = count == 10001;
    const std::vector<std::string> chat_files =
        one_more ? std::vector<std::string>{"kikmessages_7_1.json", "kikmessages_7_2.json"}
                 : std::vector<std::string>{"kikmessages_7_1.json"};
    const std::vector<std::string> deleted_files =
        one_more ? std::vector<std::string>{"kikmessages_" + h + "_1.json",
                                            "kikmessages_" + h + "_2.json"}
                 : std::vector<std::string>{"kikmessages_" + h + ".json"};
    Json::Value expected_chat(Json::arrayValue);
    for (const std::string& name : chat_files) expected_chat.append(JoinPath(temp_, name));
    Json::Value expected_deleted(Json::arrayValue);
    for (const std::string& name : deleted_files) expected_deleted.append(JoinPath(temp_, name));
    EXPECT_EQ(expected_chat, sessions[0]["msg_file_list"]);
    EXPECT_EQ(expected_deleted, sessions[1]["msg_file_list"]);
    EXPECT_EQ(10000u, test::Parsed(Batch(chat_files[0]))["messages"].size());
    EXPECT_EQ(10000u, test::Parsed(Batch(deleted_files[0]))["messages"].size());
    if (one_more) {
      EXPECT_EQ(Formatted(R"({"messages": [{"Z_PK": "10001", "is_from_me": "0", "send_date": "",
        "text": "m10001", "display": "m10001", "ZCONTENT": "", "from_id": "Ana",
        "send_state": "0", "type": "0"}]})"),
                Batch(chat_files[1]));
      EXPECT_EQ("d10001", test::Parsed(Batch(deleted_files[1]))["messages"][0]["text"].asString());
    }
  }
}

// A store without the join tables: chats without members or messages, no
// deleted messages (nothing tells which messages had a chat).
TEST_F(IosKikTest, StoreWithoutJoinTables) {
  const std::string store = JoinPath(root_, "nojoins.sqlite");
  std::string sql = samples::IosKikSql(2);
  test::RunSql(store, sql.substr(0, sql.find("CREATE TABLE Z_4MESSAGES")) +
                          "INSERT INTO ZKIKUSER (Z_PK, ZDISPLAYNAME, ZJID) VALUES "
                          "(3, 'Hikers', '1_g@groups.kik.com');"
                          "INSERT INTO ZKIKCHAT (Z_PK, ZUSER, ZDATEUPDATED) VALUES (1, 3, NULL);"
                          "INSERT INTO ZKIKMESSAGE (Z_PK, ZTYPE, ZUSER) VALUES (1, 1, 3);");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const std::string thumb = "cores/private/7d1b3a2e0c9f4e8b/profpix/thumb_1_g@groups.kik.com";
  const std::string id = KikId("profpix/thumb_1_g@groups.kik.com");
  EXPECT_EQ(Formatted(R"({"kik_accounts": [{"account_id": "7d1b3a2e0c9f4e8b",
    "kik_chat_sessions": [{"chat_pk": "1", "session_name": "Hikers",
      "session_id": "1_g@groups.kik.com", "ZUSER": "3", "last_date": "", "is_group": "1",
      "thumb_path": ")" +
                      test::JsonEscaped(thumb) + R"(", "thumb_file": ")" +
                      test::JsonEscaped(TwoLevel(backup_, id)) + R"("}],
    "media_file_info": null}], "size": 1})"),
            g_results.text);
}

// Entity tables that lack columns the queries name, and no attachment
// table: what is there is read, the rest as "", and the log says what was
// missing, once.
TEST_F(IosKikTest, StoreLackingColumnsIsReadAsFarAsItGoes) {
  const std::string store = JoinPath(root_, "lacking.sqlite");
  test::RunSql(store,
               "CREATE TABLE ZKIKCHAT (Z_PK INTEGER PRIMARY KEY, ZUSER INTEGER);"
               "CREATE TABLE ZKIKUSER (Z_PK INTEGER PRIMARY KEY, ZDISPLAYNAME VARCHAR, ZJID "
               "VARCHAR);"
               "CREATE TABLE ZKIKMESSAGE (Z_PK INTEGER PRIMARY KEY, ZTYPE INTEGER, ZUSER INTEGER, "
               "ZBODY VARCHAR);"
               "CREATE TABLE Z_2MESSAGES (Z_2CHAT INTEGER, Z_4MESSAGES INTEGER);"
               "INSERT INTO ZKIKUSER VALUES (1, 'Ana', 'ana@talk.kik.com');"
               "INSERT INTO ZKIKCHAT VALUES (5, 1);"
               "INSERT INTO ZKIKMESSAGE VALUES (1, 2, 1, 'hello');"
               "INSERT INTO Z_2MESSAGES VALUES (5, 1);");
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const std::string id = KikId("profpix/thumb_ana@talk.kik.com");
  EXPECT_EQ(Formatted(R"({"kik_accounts": [{"account_id": "7d1b3a2e0c9f4e8b",
    "kik_chat_sessions": [{"chat_pk": "5", "session_name": "Ana", "session_id": "ana@talk.kik.com",
      "ZUSER": "1", "last_date": "", "is_group": "0",
      "msg_file_list": [")" +
                      test::JsonEscaped(JoinPath(temp_, "kikmessages_5.json")) + R"("],
      "thumb_path": "cores/private/7d1b3a2e0c9f4e8b/profpix/thumb_ana@talk.kik.com",
      "thumb_file": ")" +
                      test::JsonEscaped(TwoLevel(backup_, id)) + R"("}],
    "media_file_info": null}], "size": 1})"),
            g_results.text);
  EXPECT_EQ(Formatted(R"({"messages": [{"Z_PK": "1", "is_from_me": "1", "send_date": "",
    "text": "hello", "display": "hello", "ZCONTENT": "", "from_id": "Ana", "send_state": "0",
    "type": "0"}]})"),
            Batch("kikmessages_5.json"));
  const std::string log = Log();
  EXPECT_NE(std::string::npos,
            log.find("the store has no ZKIKATTACHMENT, ZKIKCHAT.ZDATEUPDATED, "
                     "the group-member join table (Z_<n>MEMBERS), ZKIKMESSAGE.ZTIMESTAMP, "
                     "ZKIKMESSAGE.ZSTATE: read as NULL or left out."))
      << log;
}

// Names from the data with "..", "/", NUL or 10,000 characters: every file
// written lies in the temp folder, every path handed over in the temp or
// backup folder.
TEST_F(IosKikTest, HostileNamesStayInsideTheFolders) {
  const std::string store = JoinPath(root_, "hostile.sqlite");
  std::string sql = samples::IosKikSql(2);
  sql.replace(sql.find("ZKIKCHAT ( Z_PK INTEGER PRIMARY KEY"), 35,
              "ZKIKCHAT ( Z_PK TEXT PRIMARY KEY");
  test::RunSql(store,
               sql +
                   "INSERT INTO ZKIKUSER (Z_PK, ZDISPLAYNAME, ZJID) VALUES "
                   "(1, '../../evil', '../../../x/y');"
                   "INSERT INTO ZKIKCHAT (Z_PK, ZUSER) VALUES ('../../escape', 1);"
                   "INSERT INTO ZKIKMESSAGE (Z_PK, ZTYPE, ZUSER) VALUES (1, 1, 1), (2, 1, 1),"
                   "(3, 1, 1), (4, 1, 1), (5, 2, 1);"
                   "INSERT INTO Z_4MESSAGES VALUES ('../../escape', 1), ('../../escape', 2),"
                   "('../../escape', 3), ('../../escape', 4);"
                   "INSERT INTO ZKIKATTACHMENT (ZMESSAGE, ZTYPE, ZCONTENT) VALUES "
                   "(1, 6, '../../../../etc/passwd'), (2, 6, '/tmp/abs'), "
                   "(3, 6, 'a' || char(0) || 'b'), (4, 6, printf('%.10000c', 'A')),"
                   "(5, 6, '../../deleted');");
  const std::string preview = samples::IosKikMediaPlist("com.kik.ext.video", "QUJD");
  AddBackupFile(std::string("cores/private/") + kAccount + "/attachments/good", preview);
  for (const std::string& id : {std::string("../../../preview"), std::string("/tmp/abs"),
                                std::string(10000, 'a'), std::string("..")}) {
    AddManifestRow(id, std::string("cores/private/") + kAccount + "/attachments/x");
  }
  ASSERT_EQ(kStatusOk, Run(Request(store)));
  const Json::Value document = test::Parsed(g_results.text);
  const Json::Value& media = document["kik_accounts"][0]["media_file_info"];
  ASSERT_EQ(5u, media.size());
  EXPECT_EQ(3, media[0]["data_type"].asInt());
  EXPECT_EQ("ABC", test::ReadFileBytes(media[0]["data_file_path"].asString()));
  for (Json::ArrayIndex at = 1; at < media.size(); ++at)
    EXPECT_FALSE(media[at].isMember("data_type"));
  const auto inside = [](const std::string& path, const std::string& folder) {
    const fs::path relative =
        fs::u8path(path).lexically_normal().lexically_relative(fs::u8path(folder));
    return !relative.empty() && *relative.begin() != "..";
  };
  const Json::Value& sessions = document["kik_accounts"][0]["kik_chat_sessions"];
  ASSERT_EQ(2u, sessions.size());
  EXPECT_TRUE(inside(sessions[0]["thumb_file"].asString(), backup_));
  std::vector<std::string> handed;
  for (const Json::Value& session : sessions) {
    for (const Json::Value& file : session["msg_file_list"]) handed.push_back(file.asString());
  }
  ASSERT_EQ(2u, handed.size());
  for (const std::string& batch : handed) {
    SCOPED_TRACE(batch);
    EXPECT_TRUE(inside(batch, temp_));
    for (const Json::Value& message : test::Parsed(test::ReadFileBytes(batch))["messages"]) {
      const std::string media_backup = message["media_backup"].asString();
      EXPECT_TRUE(inside(media_backup, temp_) || inside(media_backup, backup_)) << media_backup;
    }
  }
  for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(root_))) {
    const std::string path = entry.path().u8string();
    EXPECT_TRUE(inside(path, temp_) || inside(path, backup_) ||
                entry.path().parent_path() == fs::u8path(root_))
        << path;
  }
}

// A stop between the columns of a session row: no document, and the
// dispatcher reports the stop.
TEST_F(IosKikTest, StopFromAnotherThreadDuringTheSessionWalkGivesNoDocument) {
  const std::string store = JoinPath(root_, "chats.sqlite");
  test::RunSql(store,
               samples::IosKikSql(2) +
                   "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                   "WHERE i < 200000) INSERT INTO ZKIKCHAT (Z_PK, ZUSER) SELECT i, i FROM k;");
  ExpectStopWhilePackaging(Request(store), "IOSKikDataPackage");
}

// Missing inputs, and a store damaged as a pull from a phone leaves it:
// the package function's status, no document.
TEST_F(IosKikTest, RefusedInputs) {
  SoundInputs sound;
  sound.data_type = kKikType;
  sound.primary_files = {{"kik_file_path", SampleStore(2)}, {"manifest_file_path", manifest_}};
  sound.other_info = {{"kik_account_id", kAccount}, {"has_sub_dir", "1"}};
  ExpectRefused(sound, "kik_file_path",
                {{"kik_account_id", kStatusMissingInput},
                 {"has_sub_dir", kStatusMissingInput},
                 {"manifest_file_path", kStatusMissingInput},
                 {"backup", kStatusMissingInput}});
}

TEST(KikMapping, CodesOfEveryMessageKind) {
  struct Case {
    const char* message_type;
    const char* attachment_type;
    const char* state;
    KikMessageCodes codes;
  };
  const Case cases[] = {
      {"1", "", "0", {"0", "0", "0"}},  {"2", "", "2", {"1", "0", "1"}},
      {"1", "6", "1", {"0", "1", "0"}}, {"2", "7", "2", {"1", "3", "1"}},
      {"1", "9", "", {"0", "9", "0"}},  {"3", "6", "2", {"1", "13", "1"}},
      {"4", "", "0", {"1", "13", "0"}}, {"", "7", "", {"1", "13", "0"}},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(std::string(one.message_type) + "/" + one.attachment_type + "/" + one.state);
    const KikMessageCodes codes = MapKikCodes(one.message_type, one.attachment_type, one.state);
    EXPECT_EQ(one.codes.is_from_me, codes.is_from_me);
    EXPECT_EQ(one.codes.type, codes.type);
    EXPECT_EQ(one.codes.send_state, codes.send_state);
  }
}

TEST(KikMapping, MediaKindsAndGroupJids) {
  const struct {
    const char* app_id;
    int data_type;
    const char* suffix;
  } kinds[] = {
      {"com.kik.ext.video-camera", 3, ".mov"}, {"com.kik.ext.GIF", 1, ".gif"},
      {"com.kik.ext.stickers.gif", 1, ".gif"}, {"com.kik.ext.gallery", 1, ".jpg"},
      {"com.kik.ext.camera", 1, ".jpg"},       {"com.kik.bots.web", 1, ".jpg"},
      {"com.kik.ext.stickers", 1, ".png"},     {"com.kik.cards", -1, ""},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.app_id);
    const KikMediaKind found = ClassifyKikAppId(kind.app_id);
    EXPECT_EQ(kind.data_type, found.data_type);
    EXPECT_STREQ(kind.suffix, found.suffix);
  }
  EXPECT_TRUE(IsKikGroupJid("1100211223344_g@groups.kik.com"));
  EXPECT_FALSE(IsKikGroupJid("zoe.l_4kq@talk.kik.com"));
}

}  // namespace
}  // namespace kx
