// The iOS chat packagers (Kik 17, LINE 15, Viber 18, WeChat 19) through the
// library's entry points. Every one keeps the same contract, run for each
// below: the whole document and batch files of its sample on every store
// version, missing inputs and damaged stores, a stop from another thread.
// Then what is each application's own: stores lacking columns or tables,
// hostile names, batch boundaries, and the tables of kinds.
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
#include "ioschat/kik.h"
#include "ioschat/kik_media.h"
#include "ioschat/line.h"
#include "ioschat/line_messages.h"
#include "ioschat/viber.h"
#include "ioschat/viber_kinds.h"
#include "package_capture.h"
#include "samples/ios_backup.h"
#include "samples/ios_kik.h"
#include "samples/ios_line.h"
#include "samples/ios_viber.h"
#include "samples/ios_wechat.h"
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

// A run of one chat packager on a backup folder of its own.
class ChatBackupTest : public test::BackupFolderTest {
 protected:
  // Filters and packages `request` afresh.
  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }
};

namespace kik {

constexpr int kKikType = 17;
constexpr char kAccount[] = "7d1b3a2e0c9f4e8b";
constexpr char kAttachment[] = "f3a1c2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b";

std::string KikId(const std::string& tail) {
  return samples::IosBackupFileId(samples::kIosKikDomain,
                                  std::string("cores/private/") + kAccount + "/" + tail);
}

// The expected documents in tests/data/ios_kik/: the whole document of the sample store; {T} is the
// temp folder, {B} the backup, {A} the attachment's file id, {G}/{Z}/{J}/{N} the thumbnails' ids
// ({X2} the two-digit folder of {X}).

class IosKikTest : public ChatBackupTest {
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
    std::vector<samples::IosKikFile> files;
    EXPECT_TRUE(samples::WriteIosKik(path, test::SampleVersion(version), &files));
    for (const samples::IosKikFile& file : files) AddBackupFile(file.relative_path, file.bytes);
    return path;
  }

  Json::Value Request(const std::string& store) {
    return test::MakeRequest(kKikType, temp_,
                             {{"kik_file_path", store}, {"manifest_file_path", manifest_}},
                             {{"kik_account_id", kAccount}, {"has_sub_dir", "1"}}, backup_);
  }

  std::string Expanded(std::string text) const {
    const std::string ids[][2] = {{"{A}", KikId(std::string("attachments/") + kAttachment)},
                                  {"{G}", KikId("profpix/thumb_1100211223344_g@groups.kik.com")},
                                  {"{Z}", KikId("profpix/thumb_zoe.l_4kq@talk.kik.com")},
                                  {"{J}", KikId("profpix/thumb_1_g@groups.kik.com")},
                                  {"{N}", KikId("profpix/thumb_ana@talk.kik.com")}};
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

 public:
  static constexpr int kResultKind = 9;
  static constexpr int kOldestVersion = samples::kIosKikOldestSchema;
  static constexpr int kNewestVersion = samples::kIosKikNewestSchema;
  static constexpr char kPackager[] = "IOSKikDataPackage";

 protected:
  // The sample's document and batch files, after a run on `version`.
  void ExpectSampleDocuments(int /*version*/) {
    EXPECT_EQ(Expanded(test::DataFile("ios_kik/sample_document.json")), g_results.text);
    EXPECT_EQ(Expanded(test::DataFile("ios_kik/chat1_messages.json")), Batch("kikmessages_1.json"));
    EXPECT_EQ(Expanded(test::DataFile("ios_kik/chat2_messages.json")), Batch("kikmessages_2.json"));
    EXPECT_EQ(Expanded(test::DataFile("ios_kik/deleted_messages.json")),
              Batch("kikmessages_" + Fnv1a64Decimal("Mark Okafor") + ".json"));
    EXPECT_EQ(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
                          "\xFF\xDB",
                          22),
              Batch(KikId(std::string("attachments/") + kAttachment)));
  }

  // A store large enough to stop in.
  auto LargeStore() {
    const std::string store = JoinPath(root_, "chats.sqlite");
    test::RunSql(store,
                 samples::IosKikSql(2) +
                     "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                     "WHERE i < 200000) INSERT INTO ZKIKCHAT (Z_PK, ZUSER) SELECT i, i FROM k;");
    return store;
  }

  // Missing inputs, damaged stores and stores of another application.
  void ExpectRefusedInputs() {
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
};

// The times are the store's own numbers, whatever the host's zone.
TEST_F(IosKikTest, SampleDocumentsInAZoneBehindUtc) {
  const test::ScopedTimeZone zone("NST3:30");
  ASSERT_EQ(kStatusOk, Run(Request(SampleStore(kNewestVersion))));
  ExpectSampleDocuments(kNewestVersion);
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
    const std::string deleted = "kikmessages_" + Fnv1a64Decimal("Bo");
    const bool one_more = count == 10001;
    std::vector<std::string> chat_files = {"kikmessages_7_1.json"};
    std::vector<std::string> deleted_files = {deleted + (one_more ? "_1.json" : ".json")};
    if (one_more) chat_files.push_back("kikmessages_7_2.json");
    if (one_more) deleted_files.push_back(deleted + "_2.json");
    for (const auto& [session, files] : {std::pair{0, chat_files}, {1, deleted_files}}) {
      std::vector<std::string> paths;
      for (const std::string& name : files) paths.push_back(JoinPath(temp_, name));
      EXPECT_EQ(test::JsonList(paths), sessions[session]["msg_file_list"]);
    }
    EXPECT_EQ(10000u, test::Parsed(Batch(chat_files[0]))["messages"].size());
    EXPECT_EQ(10000u, test::Parsed(Batch(deleted_files[0]))["messages"].size());
    if (one_more) {
      EXPECT_EQ(Formatted(test::DataFile("ios_kik/second_batch_file.json")), Batch(chat_files[1]));
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
  EXPECT_EQ(Expanded(test::DataFile("ios_kik/without_join_tables.json")), g_results.text);
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
  EXPECT_EQ(Expanded(test::DataFile("ios_kik/lacking_columns_document.json")), g_results.text);
  EXPECT_EQ(Formatted(test::DataFile("ios_kik/lacking_columns_batch.json")),
            Batch("kikmessages_5.json"));
  EXPECT_TRUE(
      Logged("the store has no ZKIKATTACHMENT, ZKIKCHAT.ZDATEUPDATED, the group-member "
             "join table (Z_<n>MEMBERS), ZKIKMESSAGE.ZTIMESTAMP, ZKIKMESSAGE.ZSTATE: read "
             "as NULL or left out.",
             0, true));
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
  const Json::Value& sessions = document["kik_accounts"][0]["kik_chat_sessions"];
  ASSERT_EQ(2u, sessions.size());
  EXPECT_TRUE(test::IsInside(sessions[0]["thumb_file"].asString(), backup_));
  std::vector<std::string> handed;
  for (const Json::Value& session : sessions) {
    for (const Json::Value& file : session["msg_file_list"]) handed.push_back(file.asString());
  }
  ASSERT_EQ(2u, handed.size());
  for (const std::string& batch : handed) {
    SCOPED_TRACE(batch);
    EXPECT_TRUE(test::IsInside(batch, temp_));
    for (const Json::Value& message : test::Parsed(test::ReadFileBytes(batch))["messages"]) {
      const std::string media_backup = message["media_backup"].asString();
      EXPECT_TRUE(test::IsInside(media_backup, temp_) || test::IsInside(media_backup, backup_))
          << media_backup;
    }
  }
  ExpectNothingWrittenOutside();
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

}  // namespace kik

namespace line {

constexpr int kLineType = 15;
constexpr char kSakura[] = "u5f3c0a1b2c3d4e5f60718293a4b5c6d7";
constexpr char kGroup[] = "c1d2e3f405162738495a6b7c8d9e0f1a2";
constexpr char kFolder[] =
    "Library/Application Support/PrivateStore/P_u0f1e2d3c4b5a69788796a5b4c3d2e1f0/"
    "Message Attachments/";

// In the expected documents of tests/data/ios_line/: {T} the temp folder, {P}/{Q} the picture and
// its preview in the backup, {H:x} the batch-file hash of x.

class IosLineTest : public ChatBackupTest {
 protected:
  // A file of LINE's container, stored in the backup and listed in
  // Manifest.db; its place in the backup.
  std::string AddBackupFile(const std::string& relative_path, const std::string& bytes) {
    return BackupFolderTest::AddBackupFile(samples::kIosLineDomain, relative_path, bytes);
  }

  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "line" + std::to_string(version) + ".sqlite");
    std::vector<samples::IosLineFile> files;
    EXPECT_TRUE(samples::WriteIosLine(path, test::SampleVersion(version), &files));
    placed_.clear();
    for (const samples::IosLineFile& file : files) {
      placed_.push_back(AddBackupFile(file.relative_path, file.bytes));
    }
    return path;
  }

  Json::Value Request(const std::string& store) const {
    return test::MakeRequest(kLineType, temp_,
                             {{"line_file_path", store}, {"manifest_file_path", manifest_}},
                             {{"line_account_id", samples::kIosLineAccount}}, backup_);
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

 public:
  static constexpr int kResultKind = 10;
  static constexpr int kOldestVersion = samples::kIosLineOldestSchema;
  static constexpr int kNewestVersion = samples::kIosLineNewestSchema;
  static constexpr char kPackager[] = "IOSLineDataPackage";

 protected:
  // The sample's document and batch files, after a run on `version`.
  void ExpectSampleDocuments(int /*version*/) {
    EXPECT_EQ(Expanded(test::DataFile("ios_line/document.json")), g_results.text);
    EXPECT_EQ(Expanded(test::DataFile("ios_line/friend_batch.json")), Batch(kSakura));
    EXPECT_EQ(Expanded(test::DataFile("ios_line/group_batch.json")), Batch(kGroup));
    EXPECT_EQ(Expanded(test::DataFile("ios_line/deleted_batch.json")), Batch("deleted:9"));
  }

  // A store large enough to stop in.
  auto LargeStore() {
    const std::string store = JoinPath(root_, "chats.sqlite");
    test::RunSql(store, samples::IosLineSql(2) +
                            "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                            "WHERE i < 200000) INSERT INTO ZCHAT (Z_PK, ZTYPE, ZMID) "
                            "SELECT i, 0, 'u' || i FROM k;");
    return store;
  }

  // Missing inputs, damaged stores and stores of another application.
  void ExpectRefusedInputs() {
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
};

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
  EXPECT_EQ(Expanded(test::DataFile("ios_line/lacking_columns_document.json")), g_results.text);
  EXPECT_EQ(Formatted(test::DataFile("ios_line/lacking_columns_batch.json")), Batch("u1"));
  EXPECT_TRUE(Logged(
      "the store has no ZGROUP, ZUSER.ZCUSTOMNAME, ZUSER.ZUSERTYPE, the chat-member join table "
      "(Z_<n>MEMBERS), ZMESSAGE.ZID, ZMESSAGE.ZTIMESTAMP, ZMESSAGE.ZCONTENTTYPE, "
      "ZMESSAGE.ZCONTENTMETADATA, ZMESSAGE.ZLATITUDE, ZMESSAGE.ZLONGITUDE, ZMESSAGE.ZMESSAGETYPE: "
      "read as NULL or left out.",
      0, true));
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

}  // namespace line

namespace viber {

constexpr int kViberType = 18;
constexpr char kPicture[] = "Documents/Attachments/IMG-0a1b2c.jpg";

class IosViberTest : public ChatBackupTest {
 protected:
  std::string SampleStore(int version) {
    const std::string path = JoinPath(root_, "Contacts" + std::to_string(version) + ".data");
    std::vector<samples::IosViberFile> files;
    EXPECT_TRUE(samples::WriteIosViber(path, test::SampleVersion(version), &files));
    for (const samples::IosViberFile& file : files) {
      AddBackupFile(file.domain, file.relative_path, file.bytes);
    }
    return path;
  }

  Json::Value Request(const std::string& store) const {
    return test::MakeRequest(kViberType, temp_,
                             {{"viber_file_path", store}, {"photo_file_path", manifest_}},
                             {{"has_sub_dir", "1"}}, backup_);
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

 public:
  static constexpr int kResultKind = 13;
  static constexpr int kOldestVersion = samples::kIosViberOldestSchema;
  static constexpr int kNewestVersion = samples::kIosViberNewestSchema;
  static constexpr char kPackager[] = "IOSViberDataPackage";

 protected:
  // The sample's document and batch files, after a run on `version`.
  void ExpectSampleDocuments(int version) {
    EXPECT_EQ(Expanded(test::DataFile("ios_viber/document.json")), g_results.text);
    EXPECT_EQ(Expanded(test::DataFile("ios_viber/olena_batch.json")), Batch("380501234567"));
    // Only the newer store keeps the link in the message's metadata.
    EXPECT_EQ(Expanded(test::DataFile("ios_viber/group_batch.json"),
                       version == 1 ? "" : R"(, "url": "https://example.org/lviv")"),
              Batch("5551234567890"));
    EXPECT_EQ(Expanded(test::DataFile("ios_viber/calls_batch.json")), Batch("calls"));
    EXPECT_EQ(Expanded(test::DataFile("ios_viber/deleted_batch.json")), Batch("deleted:7"));
  }

  // A store large enough to stop in.
  auto LargeStore() {
    const std::string store = JoinPath(root_, "many.data");
    test::RunSql(store, samples::IosViberSql(2) +
                            "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                            "WHERE i < 200000) INSERT INTO ZCONVERSATION (Z_PK, ZGROUPID) "
                            "SELECT i, i FROM k;");
    return store;
  }

  // Missing inputs, damaged stores and stores of another application.
  void ExpectRefusedInputs() {
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
};

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
  EXPECT_EQ(Expanded(test::DataFile("ios_viber/lacking_columns_document.json")), g_results.text);
  EXPECT_EQ(Formatted(test::DataFile("ios_viber/lacking_columns_batch.json")),
            Batch("+1 555 0100"));
  EXPECT_TRUE(Logged(
      "the store has no ZCONVERSATION.ZGROUPID, ZCONVERSATION.ZNAME, ZCONVERSATION.ZSUBTYPE, "
      "ZPHONENUMBER.ZCANONIZEDPHONENUM, ZMEMBER.ZMEMBERID, ZMEMBER.ZDISPLAYSHORTNAME, "
      "ZMEMBER.ZNAME, the conversation-participant join table (Z_<n>PHONENUMINDEXES), "
      "ZATTACHMENT, ZVIBERLOCATION, ZVIBERMESSAGE.ZTOKEN, ZVIBERMESSAGE.ZDATE, "
      "ZVIBERMESSAGE.ZSTATE, ZVIBERMESSAGE.ZSYSTEMTYPE, ZVIBERMESSAGE.ZMETADATA, "
      "ZVIBERMESSAGE.ZCALLTYPE, ZVIBERMESSAGE.ZBEINGDELETED, ZRECENT: read as NULL or left out.",
      0, true));
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

// A channel is an official session whatever its group id says.
TEST(ViberKinds, SessionKinds) {
  EXPECT_EQ(ChatSessionKind::kSingle, ViberSessionKind(false, 0));
  EXPECT_EQ(ChatSessionKind::kGroup, ViberSessionKind(true, 0));
  EXPECT_EQ(ChatSessionKind::kOfficial, ViberSessionKind(true, 3));
  EXPECT_EQ(ChatSessionKind::kGroup, ViberSessionKind(true, 5));
}

}  // namespace viber

namespace wechat {

constexpr int kWechatType = 19;

// In the expected documents of tests/data/ios_wechat/: {H:...} the hash of
// a batch file's key, {F} the friend's folder, {B:path} the backup file of a
// path of the account's Documents folder.

class IosWechatTest : public ChatBackupTest {
 protected:
  // A file of WeChat's domain in the backup, listed in Manifest.db.
  void AddBackupFile(const std::string& relative_path, const std::string& bytes) {
    BackupFolderTest::AddBackupFile(samples::kIosWechatDomain, relative_path, bytes);
  }

  samples::IosWechatStores SampleStore(int version) {
    const std::string folder = JoinPath(root_, "v" + std::to_string(version));
    fs::create_directories(fs::u8path(folder));
    samples::IosWechatStores stores;
    std::vector<samples::IosWechatFile> files;
    EXPECT_TRUE(samples::WriteIosWechat(folder, test::SampleVersion(version), &stores, &files));
    for (const samples::IosWechatFile& file : files) AddBackupFile(file.relative_path, file.bytes);
    return stores;
  }

  Json::Value Request(const samples::IosWechatStores& stores) {
    return test::MakeRequest(kWechatType, temp_,
                             {{"msg_file_path", stores.messages},
                              {"contact_file_path", stores.contacts},
                              {"session_file_path", stores.sessions},
                              {"user_file_path", stores.settings},
                              {"manifest_file_path", manifest_}},
                             {{"has_sub_dir", "1"}}, backup_);
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

 public:
  static constexpr int kResultKind = 14;
  static constexpr int kOldestVersion = samples::kIosWechatOldestSchema;
  static constexpr int kNewestVersion = samples::kIosWechatNewestSchema;
  static constexpr char kPackager[] = "IOSWechatDataPackage";

 protected:
  // The sample's document and batch files, after a run on `version`.
  void ExpectSampleDocuments(int /*version*/) {
    EXPECT_EQ(samples::kIosWechatUserHash, Md5Hex(samples::kIosWechatUser));
    EXPECT_EQ(Expanded(test::DataFile("ios_wechat/sample_document.json")), g_results.text);
    EXPECT_EQ(Expanded(test::DataFile("ios_wechat/friend_messages.json")), Batch("wxid_friend01"));
    EXPECT_EQ(Expanded(test::DataFile("ios_wechat/group_messages.json")),
              Batch("20811234567@chatroom"));
    EXPECT_EQ(Expanded(test::DataFile("ios_wechat/gone_messages.json")),
              Batch(samples::kIosWechatGoneHash));
    EXPECT_EQ(Expanded(test::DataFile("ios_wechat/official_messages.json")),
              Batch("gh_3c8f1e2d9a7b"));
  }

  // A store large enough to stop in.
  auto LargeStore() {
    const std::string store = JoinPath(root_, "MM.sqlite");
    test::RunSql(store, samples::IosWechatChatTableSql(2, "Chat_many") +
                            "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                            "WHERE i < 300000) INSERT INTO Chat_many (CreateTime, Message, Type, "
                            "Des) SELECT i, 'm' || i, 1, i % 2 FROM k;");
    samples::IosWechatStores stores;
    stores.messages = store;
    return stores;
  }

  // Missing inputs, damaged stores and stores of another application.
  void ExpectRefusedInputs() {
    const samples::IosWechatStores stores = SampleStore(2);
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
};

// The message database alone (the newer layout keeps neither contacts nor
// the session list in it), with the official accounts' store beside it:
// conversations go by their hashes, nothing is judged deleted, the account
// folder comes from the other information.
TEST_F(IosWechatTest, OptionalStoresMissingAndTheOfficialAccountsStore) {
  samples::IosWechatStores stores = SampleStore(2);
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
  EXPECT_EQ(Formatted(test::DataFile("ios_wechat/group_batch.json")),
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
  EXPECT_EQ(Formatted(test::DataFile("ios_wechat/lacking_columns_batch.json")), Batch("aa"));
  EXPECT_EQ(Formatted(R"([{"is_from_me": 0, "kind": "other", "message_id": "7", "text": "yo"}])"),
            Batch("bb"));
  EXPECT_TRUE(
      Logged("the conversation tables have no MesSvrID, CreateTime, Status, Des: read as "
             "NULL.",
             0, true));
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
  std::map<std::string, Json::Value> batches;
  for (const Json::Value& session : document["sessions"]) {
    ASSERT_EQ(1u, session["msg_file_list"].size());
    const std::string batch = session["msg_file_list"][0].asString();
    EXPECT_TRUE(test::IsInside(batch, temp_)) << batch;
    batches[session["session_id"].asString()] = test::Parsed(test::ReadFileBytes(batch));
  }
  EXPECT_EQ(Formatted(test::DataFile("ios_wechat/hostile_names_and_bodies.json")),
            WriteJson(batches["../../escape"]));
  EXPECT_EQ(Formatted(test::DataFile("ios_wechat/hostile_bodies_batch.json")),
            WriteJson(batches["\"; DROP TABLE x; --"]));
  // The hash part of a table name ending like a group is no group of a
  // known contact: a single conversation, its text kept whole.
  EXPECT_EQ("../../u:\nhello", batches["x@chatroom"][0]["text"].asString());
  ExpectNothingWrittenOutside();
}

}  // namespace wechat

template <typename Fixture>
class IosChatContractTest : public Fixture {};

using ChatApplications = ::testing::Types<kik::IosKikTest, line::IosLineTest, viber::IosViberTest,
                                          wechat::IosWechatTest>;
TYPED_TEST_SUITE(IosChatContractTest, ChatApplications);

TYPED_TEST(IosChatContractTest, WholeDocumentsOfTheSampleOnEveryVersion) {
  for (int version = TypeParam::kOldestVersion; version <= TypeParam::kNewestVersion; ++version) {
    SCOPED_TRACE(version);
    this->Fresh();
    ASSERT_TRUE(test::HandedOver(this->Run(this->Request(this->SampleStore(version))),
                                 TypeParam::kResultKind));
    this->ExpectSampleDocuments(version);
  }
}

TYPED_TEST(IosChatContractTest, MissingInputsAndDamagedStores) { this->ExpectRefusedInputs(); }

TYPED_TEST(IosChatContractTest, StopFromAnotherThreadGivesNoDocument) {
  this->ExpectStopWhilePackaging(this->Request(this->LargeStore()), TypeParam::kPackager);
}

}  // namespace
}  // namespace kx
