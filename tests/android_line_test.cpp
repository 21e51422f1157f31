// The Android LINE packager end to end: request document in, result document
// and detail files out, over small databases with the app's own tables.
#include "pipeline/android_line.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/text.h"
#include "package_capture.h"
#include "samples/android_line.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using test::g_results;
using test::RunSql;
using test::TempDir;

const std::string kOwner = "uaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string kBob = "ubbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
const std::string kCarol = "ucccccccccccccccccccccccccccccccc";
const std::string kDave = "udddddddddddddddddddddddddddddddd";
const std::string kGroup = "c11111111111111111111111111111111";
const std::string kRoom = "r22222222222222222222222222222222";
// 2023-01-10 00:00:00 UTC.
constexpr int64_t kT0 = 1673308800000;

// An SQL literal; a NUL inside the text is spliced in with char(0).
std::string Sql(const std::optional<std::string>& text) {
  if (!text) return "NULL";
  std::string quoted = "'";
  for (const char c : *text) {
    if (c == '\0') {
      quoted += "' || char(0) || '";
    } else {
      quoted += c == '\'' ? std::string("''") : std::string(1, c);
    }
  }
  return quoted + "'";
}

std::string Contact(const std::string& mid, const std::string& name) {
  return "INSERT INTO contacts (m_id, name, created_time) VALUES (" + Sql(mid) + "," + Sql(name) +
         ",0);";
}

std::string Chat(const std::string& id, int type, int64_t last_ms,
                 const std::string& owner = kOwner, const std::string& last_message = "last") {
  return "INSERT INTO chat (chat_id, owner_mid, last_message, last_created_time, message_count, "
         "read_message_count, type, is_notification, last_message_display_time, is_archived) "
         "VALUES (" +
         Sql(id) + "," + Sql(owner) + "," + Sql(last_message) + ",'" + std::to_string(last_ms) +
         "',5,3," + std::to_string(type) + ",1,'" + std::to_string(last_ms) + "',0);";
}

struct Row {
  int64_t id;
  std::optional<std::string> server_id;
  int type;
  std::string chat_id;
  std::optional<std::string> from_mid;
  std::optional<std::string> content;
  int attachement_type = 0;
  std::optional<std::string> parameter = std::nullopt;
};

std::string Message(const Row& row) {
  return "INSERT INTO chat_history (id, server_id, type, chat_id, from_mid, content, "
         "created_time, attachement_type, parameter) VALUES (" +
         std::to_string(row.id) + "," + Sql(row.server_id) + "," + std::to_string(row.type) + "," +
         Sql(row.chat_id) + "," + Sql(row.from_mid) + "," + Sql(row.content) + ",'" +
         std::to_string(kT0 + row.id * 60000) + "'," + std::to_string(row.attachement_type) + "," +
         Sql(row.parameter) + ");";
}

class AndroidLineTest : public test::LibraryTest {
 protected:
  void TearDown() override { StagedStopFlag() = 0; }

  void CreateDatabase(const std::string& sql, int schema_version = 2) {
    RunSql(db_path_, samples::AndroidLineSchemaSql(schema_version) + sql);
  }

  int Run(const std::string& line_file, const std::string& temp_folder) {
    Json::Value request = test::RequestDocument(30, temp_folder, "line_file_path", line_file);
    request["addtional_param"] = "ignored";
    return test::PackageStagedRequest(request);
  }
  int Run() { return Run(db_path_, out_.path()); }

  Json::Value Result() const {
    EXPECT_EQ(1, g_results.count);
    EXPECT_EQ(22, g_results.kind);
    return g_results.count > 0 ? test::Parsed(g_results.text) : Json::Value();
  }

  // The messages of the chat `mid` in the result, from its detail file.
  Json::Value ChatMessages(const Json::Value& result, const std::string& mid) const {
    for (const Json::Value& chat : result["line_chat_sessions"]) {
      if (chat["mid"].asString() != mid) continue;
      if (chat["msg_file_list"].size() != 1) return Json::Value(Json::arrayValue);
      return test::ParsedFile(chat["msg_file_list"][0].asString());
    }
    ADD_FAILURE() << "no chat " << mid;
    return Json::Value();
  }

  TempDir source_;
  TempDir out_;
  std::string db_path_ = source_.File("naver_line");
};

// Owner, three friends, a group, a room, and an empty chat.
std::string SmallPhone() {
  return Contact(kOwner, "Haruka") + Contact(kBob, "Bob") + Contact(kCarol, "Carol") +
         Contact(kDave, "Dave") +
         "INSERT INTO groups (id, name, created_time, invitation_enabled, "
         "can_add_member_as_friend, can_invite_by_ticket) VALUES (" +
         Sql(kGroup) + ",'Tennis club',0,1,1,0);" + "INSERT INTO membership VALUES (" +
         Sql(kGroup) + "," + Sql(kOwner) + ",1,0,0);" + "INSERT INTO membership VALUES (" +
         Sql(kGroup) + "," + Sql(kBob) + ",1,0,0);" + "INSERT INTO membership VALUES (" +
         Sql(kGroup) + "," + Sql(kCarol) + ",1,0,0);" + Chat(kOwner, 1, kT0 + 999000000) +
         Chat(kBob, 1, kT0 + 180000, kOwner, "Hi Bob") + Chat(kGroup, 3, kT0 + 170000) +
         Chat(kRoom, 2, kT0 + 160000) + Chat(kDave, 1, kT0 + 150000) +
         Message({1, "1001", 1, kBob, kBob, "Hello"}) +
         Message({2, "1002", 1, kBob, std::nullopt, "Hi Bob", 0,
                  "message_relation_server_message_id\t1001\tmessage_relation_type_code\t3"}) +
         Message({3, "1003", 1, kGroup, kCarol, std::nullopt, 1, "AGENT_NAME\tLINE Camera"}) +
         Message({4, std::nullopt, 9, kRoom, std::nullopt, kBob + "\n" + kCarol}) +
         Message({5, std::nullopt, 3, kRoom, std::nullopt, kDave + "\r\n" + kBob}) +
         Message({6, "1006", 1, kRoom, kDave, "bye"}) +
         Message({7, "1007", 1, kOwner, std::nullopt, "note to self"});
}

TEST_F(AndroidLineTest, ListsTheChatsWithNamesMembersAndDetailFiles) {
  CreateDatabase(SmallPhone());
  const std::string source_bytes = test::ReadFileBytes(db_path_);
  ASSERT_EQ(0, Run());
  // Only a staged copy is opened: the source stays as it was.
  EXPECT_EQ(source_bytes, test::ReadFileBytes(db_path_));
  EXPECT_TRUE(fs::exists(PathFromUtf8(out_.File("naver_line"))));
  Json::Value expected = test::Parsed(test::DataFile("android_line/small_phone_document.json"));
  for (Json::Value& chat : expected["line_chat_sessions"]) {
    for (Json::Value& file : chat["msg_file_list"]) {
      file = JoinPath(out_.path(), "DataAnalysis_Line_" + file.asString() + ".json");
    }
  }
  EXPECT_EQ(expected, Result()) << g_results.text;
}

// Bob's chat of the small phone: his hello and the owner's reply.
std::string BobExchange() { return test::DataFile("android_line/bob_exchange.json"); }

TEST_F(AndroidLineTest, DetailFileHoldsEachMessageWithItsReply) {
  CreateDatabase(SmallPhone());
  ASSERT_EQ(0, Run());
  EXPECT_EQ(test::Parsed(BobExchange()), ChatMessages(Result(), kBob));
  EXPECT_EQ(test::Parsed(test::DataFile("android_line/group_photo.json")),
            ChatMessages(Result(), kGroup));
}

// Send times are local: nine hours on in Tokyo, the stored milliseconds
// unchanged; the chat's own times move with them.
TEST_F(AndroidLineTest, DetailFileInAnotherZone) {
  const test::ScopedTimeZone tokyo("JST-9");
  CreateDatabase(SmallPhone());
  ASSERT_EQ(0, Run());
  const Json::Value result = Result();
  EXPECT_EQ(test::Parsed(ReplaceAll(BobExchange(), "\"2023-01-10 00:", "\"2023-01-10 09:")),
            ChatMessages(result, kBob));
  EXPECT_EQ("2023-01-10 09:03", result["line_chat_sessions"][0]["last_created_time"].asString());
}

TEST_F(AndroidLineTest, FindsTheAccountThroughItsFallbacks) {
  struct Case {
    const char* what;
    std::string sql;
    std::string account;
  };
  const Case cases[] = {
      {"own chat", Chat(kOwner, 1, kT0) + Chat(kBob, 1, kT0, kCarol), kOwner},
      {"type 33 record",
       Chat(kBob, 1, kT0, kCarol) + Message({1, "9", 33, kDave, std::nullopt, std::nullopt}),
       kDave},
      {"owner of one-to-one chats", Chat(kBob, 1, kT0, kCarol) + Chat(kGroup, 3, kT0, kDave),
       kCarol},
      {"none", Chat(kBob, 1, kT0, "") + Chat(kGroup, 3, kT0, kDave), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir source;
    TempDir out;
    const std::string db = source.File("naver_line");
    RunSql(db, samples::AndroidLineSchemaSql(2) + c.sql +
                   Message({2, "10", 1, kBob, std::nullopt, "no sender"}) +
                   Message({3, "11", 1, kBob, kCarol, "from carol"}));
    g_results = test::CapturedResults();
    ASSERT_EQ(0, Run(db, out.path()));
    const Json::Value result = Result();
    EXPECT_EQ(c.account, result["account_id"].asString());
    const Json::Value messages = ChatMessages(result, kBob);
    ASSERT_EQ(2u, messages.size());
    EXPECT_TRUE(messages[0]["is_from_me"].asBool());
    // Carol's own messages count as the owner's when she is the account.
    EXPECT_EQ(c.account == kCarol, messages[1]["is_from_me"].asBool());
  }
}

TEST_F(AndroidLineTest, WritesContactCardsUnderSafeUniqueNames) {
  const std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:X\r\nEND:VCARD\r\n";
  const std::vector<std::string> names = {"Mika / Office", "..",   std::string("A\0B", 3), "",
                                          "Yuki",          "yuki", "../../escape",         "CON"};
  std::string sql = Chat(kBob, 1, kT0);
  int64_t id = 1;
  for (const std::string& name : names) {
    sql += Message({id, std::to_string(id), 1, kBob, kBob, std::nullopt, 13,
                    "mid\t" + kCarol + "\tdisplayName\t" + name + "\tvCard\t" + card});
    ++id;
  }
  CreateDatabase(sql);
  ASSERT_EQ(0, Run());
  const Json::Value messages = ChatMessages(Result(), kBob);
  ASSERT_EQ(names.size(), messages.size());
  std::set<std::string> files;
  for (Json::ArrayIndex i = 0; i < messages.size(); ++i) {
    const Json::Value& message = messages[i];
    EXPECT_EQ(8, message["type"].asInt());
    EXPECT_EQ(names[i], message["vCard_name"].asString());
    const fs::path file = PathFromUtf8(message["vCard_file"].asString());
    EXPECT_EQ(fs::path(out_.path()), file.parent_path()) << file;
    EXPECT_EQ(".vcf", file.extension().string());
    EXPECT_EQ(card, test::ReadFileBytes(file.string()));
    EXPECT_TRUE(files.insert(ToLowerAscii(file.filename().string())).second) << file;
  }
  EXPECT_EQ("Mika _ Office.vcf", PathFromUtf8(messages[0]["vCard_file"].asString()).filename());
  EXPECT_EQ("vCard_4.vcf", PathFromUtf8(messages[3]["vCard_file"].asString()).filename());
  EXPECT_EQ("yuki_2.vcf", PathFromUtf8(messages[5]["vCard_file"].asString()).filename());
}

TEST_F(AndroidLineTest, GroupEventsCallsAndPostsReadTheirParameters) {
  CreateDatabase(Contact(kBob, "Bob") + Contact(kCarol, "Carol") + Chat(kOwner, 1, kT0) +
                 Chat(kGroup, 3, kT0) +
                 Message({1, std::nullopt, 13, kGroup, kBob, std::nullopt, 18,
                          "LOC_KEY\tC_MI\tLOC_ARGS\t" + kBob + "\x1e" + kCarol}) +
                 Message({2, std::nullopt, 13, kGroup, kBob, std::nullopt, 18,
                          "LOC_KEY\tC_PN\tLOC_ARGS\t" + kBob + "\x1e" + "Tennis 2023"}) +
                 Message({3, "3", 4, kGroup, kCarol, std::nullopt, 6,
                          "GC_EVT_TYPE\tE\tGC_MEDIA_TYPE\tVIDEO\tRESULT\tINFO\tTYPE\tG"}) +
                 Message({4, "4", 1, kGroup, kCarol, std::nullopt, 4,
                          "HTML_CONTENT\t<div class=\"Md2Ttl\">Hike</div><p>At 8</p><a "
                          "href=\"https://line.me/p/1\">x</a>"}));
  ASSERT_EQ(0, Run());
  const Json::Value messages = ChatMessages(Result(), kGroup);
  ASSERT_EQ(4u, messages.size());
  EXPECT_EQ(21, messages[0]["type"].asInt());
  EXPECT_EQ("Member invited: Carol", messages[0]["system_info"].asString());
  EXPECT_EQ(52, messages[1]["type"].asInt());
  EXPECT_EQ("Group name changed by Bob: Tennis 2023", messages[1]["system_info"].asString());
  EXPECT_EQ(10, messages[2]["type"].asInt());
  EXPECT_EQ("Video call ended", messages[2]["system_info"].asString());
  EXPECT_EQ(60, messages[3]["type"].asInt());
  EXPECT_EQ("At 8", messages[3]["content"].asString());
  EXPECT_EQ("Hike", messages[3]["subtopic"].asString());
  EXPECT_EQ("https://line.me/p/1", messages[3]["uri"].asString());
}

TEST_F(AndroidLineTest, PackagesEverySampleMessageKind) {
  for (const int schema_version : {1, 2}) {
    SCOPED_TRACE(schema_version);
    TempDir source;
    TempDir out;
    const std::string db = source.File(samples::kAndroidLineDatabaseName);
    samples::AndroidSampleOptions options;
    options.schema_version = schema_version;
    ASSERT_TRUE(samples::WriteAndroidLineDatabase(db, options));
    g_results = test::CapturedResults();
    ASSERT_EQ(0, Run(db, out.path()));
    const Json::Value result = Result();
    EXPECT_EQ(12, result["chat_count"].asInt());
    EXPECT_EQ("Haruka Sato", result["my_name"].asString());
    std::set<int> types;
    Json::ArrayIndex messages = 0;
    for (const Json::Value& chat : result["line_chat_sessions"]) {
      EXPECT_FALSE(chat["session_name"].asString().empty()) << chat["mid"].asString();
      for (const Json::Value& file : chat["msg_file_list"]) {
        for (const Json::Value& message : test::ParsedFile(file.asString())) {
          types.insert(message["type"].asInt());
          ++messages;
        }
      }
    }
    const std::set<int> every_type = {-1, 0,  1,  2,  3,  4,  6,  7,  8,  9,  10, 21, 50,
                                      51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
    EXPECT_EQ(every_type, types);
    EXPECT_GT(messages, static_cast<Json::ArrayIndex>(samples::kLineMessagesPerScale / 2));
  }
}

// --- Error paths ---

TEST_F(AndroidLineTest, BrokenParametersStillGivePackagedMessages) {
  CreateDatabase(Contact(kBob, "Bob") + Chat(kOwner, 1, kT0) + Chat(kGroup, 3, kT0) +
                 Message({1, "1", 1, kGroup, kBob, "odd", 0, "a\t1\tdangling"}) +
                 Message({2, "2", 1, kGroup, kBob, "empty parts", 0, "\t\t\tx\t\t"}) +
                 Message({3, std::nullopt, 13, kGroup, kBob, std::nullopt, 18,
                          "LOC_KEY\tC_MR\tLOC_ARGS\tuab"}) +
                 Message({4, "4", 1, kGroup, kBob, std::nullopt, 22,
                          "ALT_TEXT\tShipped\tINDEXABLE_TEXT\tShipped\tFLEX_JSON\t{\"body\":["}) +
                 Message({5, "5", 1, kGroup, kBob, "kept", 4, "HTML_CONTENT\t<p>unclosed <b"}) +
                 Message({6, "6", 1, kGroup, kBob, "unknown reply", 0,
                          "message_relation_server_message_id\t424242"}));
  ASSERT_EQ(0, Run());
  const Json::Value messages = ChatMessages(Result(), kGroup);
  ASSERT_EQ(6u, messages.size());
  EXPECT_EQ("odd", messages[0]["content"].asString());
  EXPECT_EQ("empty parts", messages[1]["content"].asString());
  EXPECT_EQ(53, messages[2]["type"].asInt());
  EXPECT_EQ("Member removed", messages[2]["system_info"].asString());
  EXPECT_EQ(58, messages[3]["type"].asInt());
  EXPECT_EQ("Shipped", messages[3]["content"].asString());
  EXPECT_EQ("", messages[3]["uri"].asString());
  EXPECT_EQ("unclosed", messages[4]["content"].asString());
  EXPECT_EQ("424242", messages[5]["rely_server_id"].asString());
  EXPECT_EQ(test::Parsed(R"({"reply_type": 0, "reply_content": "", "reply_sender": "",
                            "reply_thumb": ""})"),
            messages[5]["reply_msg"]);
}

// The chat table alone, as stores without the look-up tables have it.
constexpr char kChatTable[] =
    "CREATE TABLE chat (chat_id TEXT PRIMARY KEY, owner_mid TEXT, last_message TEXT, "
    "last_created_time TEXT, message_count INTEGER, read_message_count INTEGER, type INTEGER, "
    "is_notification INTEGER, last_message_display_time TEXT, is_archived INTEGER);";

TEST_F(AndroidLineTest, MissingLookupTablesLeaveNamesEmpty) {
  RunSql(
      db_path_,
      std::string(kChatTable) +
          "CREATE TABLE chat_history (id INTEGER PRIMARY KEY AUTOINCREMENT, server_id TEXT, type "
          "INTEGER, chat_id TEXT, from_mid TEXT, content TEXT, created_time TEXT, location_name "
          "TEXT, location_address TEXT, location_latitude INTEGER, location_longitude INTEGER, "
          "attachement_image_height INTEGER, attachement_image_width INTEGER, attachement_type "
          "INTEGER, parameter TEXT);" +
          Chat(kBob, 1, kT0) + Chat(kGroup, 3, kT0) + Chat(kRoom, 2, kT0) +
          Message({1, "1", 1, kBob, kBob, "hi"}) +
          Message({2, std::nullopt, 9, kRoom, std::nullopt, kBob}));
  ASSERT_EQ(0, Run());
  const Json::Value result = Result();
  EXPECT_EQ(kOwner, result["account_id"].asString());
  EXPECT_EQ("", result["my_name"].asString());
  ASSERT_EQ(3u, result["line_chat_sessions"].size());
  for (const Json::Value& chat : result["line_chat_sessions"]) {
    EXPECT_EQ("", chat["session_name"].asString());
    EXPECT_EQ(0u, chat["group_member"].size());
  }
  EXPECT_EQ("", ChatMessages(result, kBob)[0]["sender"].asString());
}

TEST_F(AndroidLineTest, StopDuringAnalysisAnswers1111WithoutCallback) {
  CreateDatabase(SmallPhone());
  RequestStop();
  EXPECT_EQ(1111, Run());
  EXPECT_EQ(0, g_results.count);
  // A new initialisation lets staged runs go again.
  Reset();
  EXPECT_EQ(0, Run());
  EXPECT_EQ(1, g_results.count);
}

TEST_F(AndroidLineTest, MissingInputsFailCheckParam) {
  CreateDatabase(SmallPhone());
  EXPECT_EQ(1100, Run(source_.File("absent"), out_.path()));
  EXPECT_EQ(1100, Run(db_path_, out_.File("no_such_folder")));
  EXPECT_EQ(1100, Run("", out_.path()));
  EXPECT_EQ(0, g_results.count);
}

TEST_F(AndroidLineTest, MissingChatTablesFailTheAnalysis) {
  RunSql(db_path_, "CREATE TABLE chat_history (id INTEGER PRIMARY KEY, chat_id TEXT)");
  EXPECT_EQ(1106, Run());

  TempDir source;
  const std::string db = source.File("naver_line");
  RunSql(db, kChatTable);
  EXPECT_EQ(1106, Run(db, out_.path()));
  EXPECT_EQ(0, g_results.count);
}

}  // namespace
}  // namespace kx
