// The Android LINE packager end to end: request document in, result document
// and detail files out, over small databases with the app's own tables; and
// its pieces: the classification of messages, the details read from their
// parameters, and the storage writer's detail files and result document.
#include "pipeline/android_line.h"

#include <gtest/gtest.h>
#include <json/json.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/text.h"
#include "package_capture.h"
#include "pipeline/android_line_storage.h"
#include "pipeline/line_message_classifier.h"
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

const std::string kStranger = "u99999999999999999999999999999999";

const ContactNames& Names() {
  static const ContactNames names = {{kBob, "Bob"}, {kCarol, "Carol"}};
  return names;
}

struct ClassifyCase {
  int line_type;
  int attachement_type;
  const char* parameter;
  int expected;
};

// The rules around the classification table, not its rows (the package
// tests' documents hold those): types above 27, albums before the type,
// schedules by their text, an attachment the type does not fit, and values
// that do not count.
// clang-format off
const ClassifyCase kClassifyCases[] = {
    {28, 1, "", 0}, {33, 16, "LOC_KEY\tC_MI", 0},
    {0, 16, "text\tAlbum", 61}, {8, 16, "", 61}, {1, 0, "", 0}, {1, 19, "", 0},
    {1, 22, "INDEXABLE_TEXT\tMy Schedule for today", 59},
    {1, 22, "INDEXABLE_TEXT\tschedule in lower case", 58},
    {1, 22, "ALT_TEXT\tCoupon", -1},
    {1, 22, "INDEXABLE_TEXT\t", -1},  // an empty value does not count
    {4, 6, "TYPE\tG\tGC_MEDIA_TYPE\tAUDIO", 9}, {4, 6, "", 10}, {4, 0, "TYPE\tA", 0},
    {13, 18, "SKIP_BADGE_COUNT\ttrue", -1}, {13, 18, "LOC_KEY\tC_XX", 0}, {-5, 1, "", 0},
};
// clang-format on

TEST(LineMessageClassifierTest, FollowsTheClassificationTable) {
  for (const ClassifyCase& c : kClassifyCases) {
    EXPECT_EQ(c.expected, ClassifyLineMessage(c.line_type, c.attachement_type,
                                              LineParameters::Parse(c.parameter)))
        << "type " << c.line_type << ", attachement_type " << c.attachement_type << ", \""
        << c.parameter << "\"";
  }
}

TEST(LineMessageClassifierTest, LocKeysMatchExactly) {
  const std::pair<const char*, int> cases[] = {{"C_MI", 21}, {"C_MI ", 0}, {"c_mi", 0}};
  for (const auto& c : cases) {
    const LineParameters parameters = LineParameters::Parse(std::string("LOC_KEY\t") + c.first);
    EXPECT_EQ(c.second, ClassifyLineMessage(13, 18, parameters)) << c.first;
  }
}

TEST(LineMessageClassifierTest, ServerIdRuleOfTypes3And9) {
  EXPECT_EQ("_42", EffectiveServerId(3, "", 42));
  EXPECT_EQ("_7", EffectiveServerId(9, "", 7));
  EXPECT_EQ("1640253", EffectiveServerId(3, "1640253", 42));
  EXPECT_EQ("", EffectiveServerId(13, "", 42));
  EXPECT_EQ("", EffectiveServerId(1, "", 42));
}

TEST(LineParametersTest, ReadsPairsOddPiecesEmptyPartsAndRepeats) {
  struct Case {
    const char* text;
    size_t pairs;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"OID\tabc\tSID\temi\tFILE_SIZE\t20480", 3, "FILE_SIZE", "20480"},
      {"OID\tabc\tSID\temi", 2, "OID", "abc"},
      {"OID\tabc", 1, "oid", ""},  // keys are case-sensitive
      {"OID\tabc", 1, "missing", ""},
      {"a\t1\tdangling", 1, "a", "1"},  // odd count: the last piece is ignored
      {"\t1\tb\t2", 1, "b", "2"},       // empty key
      {"a\t\tb\t2", 1, "b", "2"},       // empty value
      {"a\t1\ta\t2", 1, "a", "1"},      // a repeated key keeps its first value
      {"a\t1\t", 1, "a", "1"},          // trailing tab
      {"", 0, "a", ""},
      {"\t\t\t", 0, "a", ""},
      {"only", 0, "only", ""},
  };
  for (const Case& c : cases) {
    const LineParameters parameters = LineParameters::Parse(c.text);
    EXPECT_EQ(c.pairs, parameters.size()) << c.text;
    EXPECT_EQ(c.value, parameters.Get(c.key)) << c.text << " " << c.key;
  }
  EXPECT_FALSE(LineParameters::Parse("OID\tabc").Has("oid"));
}

// A message of `type` (row `id`, text `content`) after the details of `parameters` are filled in.
LineMessage Filled(int type, const char* parameters, int64_t id = 0, const char* content = "") {
  LineMessage message;
  message.id = id;
  message.type = type;
  message.content = content;
  FillLineMessageDetails(LineParameters::Parse(parameters), kBob, Names(), &message);
  return message;
}

TEST(LineMessageDetailsTest, ImageVoiceVideoAndFile) {
  const std::string folder =
      "/sdcard/Android/data/jp.naver.line.android/files/chats/" + kBob + "/messages/";
  const LineMessage image =
      Filled(line_type::kImage, "AGENT_NAME\tLINE Camera\tDOWNLOAD_URL\thttps://obs.example/1", 12);
  EXPECT_EQ(folder + "12", image.attachment_path);
  EXPECT_EQ(folder + "12.thumb", image.thumb_path);
  EXPECT_EQ("LINE Camera", image.content);
  EXPECT_EQ("https://obs.example/1", image.download_url);

  const LineMessage voice = Filled(line_type::kVoice, "DURATION\t4520\tSID\tema", 13);
  EXPECT_EQ(folder + "voice_13.aac", voice.attachment_path);
  EXPECT_EQ(4520.0, voice.duration);

  const LineMessage video = Filled(line_type::kVideo, "DURATION\t15000ms", 14);
  EXPECT_EQ(folder + "14.thumb", video.thumb_path);
  EXPECT_EQ("", video.attachment_path);
  EXPECT_EQ(15000.0, video.duration);

  const LineMessage file =
      Filled(line_type::kFile, "FILE_NAME\tplan.pdf\tFILE_SIZE\t20480", 15, "row content");
  EXPECT_EQ("plan.pdf", file.content);
  EXPECT_EQ(20480.0, file.file_size);
}

TEST(LineMessageDetailsTest, CardsAlbumsAndSchedules) {
  const LineMessage card = Filled(line_type::kContactCard, "displayName\tYuki\tvCard\tBEGIN:VCARD");
  EXPECT_EQ("Yuki", card.vCard_name);
  EXPECT_EQ("", card.vCard_file);  // the packager writes the file

  EXPECT_EQ("Added 3 photos", Filled(line_type::kAlbum, "text\tAdded 3 photos").content);

  const LineMessage schedule = Filled(
      line_type::kSchedule, "ALT_TEXT\tDinner\tINDEXABLE_TEXT\tSchedule Dinner\turi\thttps://s/1");
  EXPECT_EQ("Dinner", schedule.content);
  EXPECT_EQ("https://s/1", schedule.uri);
}

TEST(LineMessageDetailsTest, CallSystemInformation) {
  EXPECT_EQ("Voice call started", CallSystemInfo(line_type::kVoiceCall, "S", "INFO"));
  EXPECT_EQ("Video call ended, no answer",
            CallSystemInfo(line_type::kVideoCall, "E", "NO_RESPONSE"));
  EXPECT_EQ("Voice call, declined", CallSystemInfo(line_type::kVoiceCall, "", "REJECTED"));
  EXPECT_EQ("Video call invitation, cancelled",
            CallSystemInfo(line_type::kVideoCall, "I", "CANCELED"));
  EXPECT_EQ("Voice call X, ODD", CallSystemInfo(line_type::kVoiceCall, "X", "ODD"));
  EXPECT_EQ("Voice call", CallSystemInfo(line_type::kVoiceCall, "", "NORMAL"));
}

TEST(LineMessageDetailsTest, MemberEventsAndGroupNameChangesNameTheMembers) {
  const std::string args = kBob + "\x1e" + kCarol + "\x1e" + kStranger + "\x1e" + kCarol;
  // The first mid (the one who acted) is not searched; unknown mids add no name.
  EXPECT_EQ("Member invited: Carol",
            MemberEventSystemInfo(line_type::kMemberInvited, args, Names()));
  EXPECT_EQ(
      "Member removed: Bob,Carol",
      MemberEventSystemInfo(line_type::kMemberRemoved, "x" + kBob + "\x1e" + kCarol, Names()));
  EXPECT_EQ("Group invitation", MemberEventSystemInfo(line_type::kGroupInvitation, "", Names()));
  EXPECT_EQ("Invitation cancelled",
            MemberEventSystemInfo(line_type::kInvitationCancelled, "u12u", Names()));

  // Group name changes.
  EXPECT_EQ("Group name changed by Bob: Kyoto trip",
            GroupNameSystemInfo(kBob + "\x1e" + "Kyoto trip", Names()));
  EXPECT_EQ("Group name changed: Kyoto trip",
            GroupNameSystemInfo(kStranger + "\x1e" + "Kyoto trip", Names()));
  EXPECT_EQ("Group name changed", GroupNameSystemInfo("", Names()));
}

TEST(LineContentReductionTest, HtmlPostBody) {
  const HtmlPostSummary post = ReduceHtmlContent(
      "<div class=\"Md2Ttl\">Weekend <b>hike</b></div><div><p>Meet at 8:00.</p><p></p>"
      "<p>Bring water &amp; snacks.</p></div><a href=\"https://line.me/R/home/post/1\">See</a>");
  EXPECT_EQ("Weekend hike", post.title);
  EXPECT_EQ("Meet at 8:00.\nBring water & snacks.", post.text);
  EXPECT_EQ("https://line.me/R/home/post/1", post.link);
}

TEST(LineContentReductionTest, FlexBubbleAndCarousel) {
  const FlexSummary bubble = ReduceFlexJson(
      R"({"type":"bubble","body":{"type":"box","contents":[{"type":"text","text":"Shipped"},)"
      R"({"type":"box","contents":[{"type":"button","action":{"type":"uri","uri":"https://t/1"}}]},)"
      R"({"type":"button","action":{"uri":"https://t/2"}}]}})");
  EXPECT_EQ("Shipped", bubble.text);
  EXPECT_EQ("https://t/1", bubble.uri);
  const FlexSummary carousel = ReduceFlexJson(
      R"({"type":"carousel","contents":[{"body":{"contents":[{"type":"text","text":"A"}]}},)"
      R"({"body":{"contents":[{"type":"text","text":"B","action":{"uri":"https://c"}}]}}]})");
  EXPECT_EQ("A\nB", carousel.text);
  EXPECT_EQ("https://c", carousel.uri);
}

// --- Error paths: what the sender's text cannot be trusted to hold. ---

TEST(LineContentReductionTest, BrokenHtmlKeepsWhatCanBeRead) {
  const HtmlPostSummary unterminated = ReduceHtmlContent("<p>first</p><p>second <i>part");
  EXPECT_EQ("first\nsecond part", unterminated.text);
  EXPECT_EQ("", unterminated.title);
  const HtmlPostSummary odd = ReduceHtmlContent("<div class=Md2Ttl>Title<a href=\"http://x");
  EXPECT_EQ("Title", odd.title);
  EXPECT_EQ("http://x", odd.link);
  EXPECT_EQ("", ReduceHtmlContent("href=").link);
  EXPECT_EQ("", ReduceHtmlContent("").text);
}

TEST(LineContentReductionTest, BrokenFlexJsonGivesNothing) {
  for (const char* text : {"", "{", "[1,2]", "not json", R"({"type":5,"body":"x"})",
                           R"({"type":"carousel","contents":{"a":1}})",
                           R"({"body":{"contents":[{"text":1,"action":{"uri":2}}]}})"}) {
    const FlexSummary flex = ReduceFlexJson(text);
    EXPECT_EQ("", flex.text) << text;
    EXPECT_EQ("", flex.uri) << text;
  }
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  EXPECT_EQ("", ReduceFlexJson(deep).text);
}

TEST(LineMessageDetailsTest, ShortOrHostileLocArgs) {
  for (const std::string& args :
       {std::string("u"), std::string("xubbbb"), std::string(100000, 'u')}) {
    EXPECT_EQ("Member invited", MemberEventSystemInfo(line_type::kMemberInvited, args, Names()))
        << args.size();
  }
}

TEST(LineMessageDetailsTest, NonNumericSizesReadAsZero) {
  EXPECT_EQ(0.0, Filled(line_type::kFile, "FILE_SIZE\tlarge\tFILE_NAME\t").file_size);
  EXPECT_EQ(0.0, Filled(line_type::kVoice, "DURATION\t99999999999999999999999").duration);
}

LineMessage MessageWithText(const std::string& text) {
  LineMessage message;
  message.content = text;
  message.sender = text;
  message.reply.reply_content = text;
  message.vCard_name = text;
  return message;
}

// The message as the JSON tree the streamed text must equal.
Json::Value LineMessageToJson(const LineMessage& message) {
  Json::Value object(Json::objectValue);
  object["is_fail_to_send"] = message.is_fail_to_send;
  object["type"] = message.type;
  object["is_from_me"] = message.is_from_me;
  object["latitude"] = JsonDouble(message.latitude);
  object["longtitude"] = JsonDouble(message.longitude);
  object["image_height"] = JsonDouble(message.image_height);
  object["image_width"] = JsonDouble(message.image_width);
  object["file_size"] = JsonDouble(message.file_size);
  object["duration"] = JsonDouble(message.duration);
  object["uri"] = message.uri;
  object["rely_server_id"] = message.rely_server_id;
  object["sender"] = message.sender;
  object["content"] = message.content;
  object["create_time"] = message.create_time;
  object["original_time"] = message.original_time;
  object["vCard_file"] = message.vCard_file;
  object["vCard_name"] = message.vCard_name;
  object["subtopic"] = message.subtopic;
  object["download_url"] = message.download_url;
  object["attachment_path"] = message.attachment_path;
  object["thumb_path"] = message.thumb_path;
  object["system_info"] = message.system_info;
  Json::Value reply(Json::objectValue);
  reply["reply_type"] = message.reply.reply_type;
  reply["reply_content"] = message.reply.reply_content;
  reply["reply_sender"] = message.reply.reply_sender;
  reply["reply_thumb"] = message.reply.reply_thumb;
  object["reply_msg"] = std::move(reply);
  return object;
}

std::string TreeWriterText(const LineMessages& messages) {
  Json::Value array(Json::arrayValue);
  for (const LineMessage& message : messages) array.append(LineMessageToJson(message));
  std::ostringstream out;
  WriteJsonToStream(array, &out);
  return out.str();
}

std::string StreamedText(LineMessages messages) {
  std::ostringstream out;
  WriteLineMessagesJson(TakeFrom(&messages), &out);
  EXPECT_TRUE(messages.empty());
  return out.str();
}

LineChat ChatWith(const std::string& mid, int message_count) {
  LineChat chat;
  chat.mid = mid;
  for (int i = 0; i < message_count; ++i) chat.messages.push_back(MessageWithText("m"));
  return chat;
}

TEST(LineDetailLayoutTest, StreamedElementsMatchTheJsonWriterByteForByte) {
  LineMessages messages;
  for (const std::string& text :
       {std::string(), std::string("plain text"), std::string("quote \" and back\\slash"),
        std::string("tab\tline\nfeed\r"), std::string("nul\0inside", 10), std::string("\x01\x1f"),
        std::string("del \x7f"), std::string("日本語 Müller"), std::string("emoji 😀"),
        std::string("broken \xff\xfe utf-8"), std::string("cut \xe3\x81"),
        std::string("</script> & <b>")}) {
    messages.push_back(MessageWithText(text));
  }
  LineMessage numbers;
  numbers.type = -1;
  numbers.reply.reply_type = 63;
  numbers.latitude = 35681236;
  numbers.longitude = -139.767125;
  numbers.duration = 0.1;
  numbers.file_size = 1e300;
  numbers.image_height = std::numeric_limits<double>::infinity();
  numbers.image_width = std::numeric_limits<double>::quiet_NaN();
  numbers.is_fail_to_send = true;
  numbers.is_from_me = true;
  messages.push_back(numbers);
  EXPECT_EQ(TreeWriterText(messages), StreamedText(messages));
  EXPECT_EQ(TreeWriterText({}), StreamedText({}));
  EXPECT_EQ(TreeWriterText({numbers}), StreamedText({numbers}));
}

class LineStorageTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str()); }
  std::string Detail(int number) const {
    return JoinPath(out_.path(), "DataAnalysis_Line_" + std::to_string(number) + ".json");
  }

  test::TempDir out_;
  test::TempDir logs_;
  AndroidLineDataPackageStorage storage_{out_.path()};
};

TEST_F(LineStorageTest, NumbersFilesAndSkipsEmptyAndRepeatedChats) {
  storage_.AddChat(ChatWith("u1", 2));
  storage_.AddChat(ChatWith("u2", 0));
  storage_.AddChat(ChatWith("u3", 1));
  storage_.AddChat(ChatWith("u1", 5));  // the same chat again
  EXPECT_EQ(2, storage_.detail_file_counter());
  EXPECT_EQ(3, storage_.chat_count());
  Json::Value document;
  storage_.BuildResultDocument(document);
  const Json::Value& chats = document["line_chat_sessions"];
  ASSERT_EQ(3u, chats.size());
  EXPECT_EQ(Detail(0), chats[0]["msg_file_list"][0].asString());
  EXPECT_EQ(0u, chats[1]["msg_file_list"].size());
  EXPECT_EQ(Detail(1), chats[2]["msg_file_list"][0].asString());
  Json::Value parsed;
  std::string error;
  ASSERT_TRUE(ParseJson(test::ReadFileBytes(Detail(0)).c_str(), &parsed, &error)) << error;
  EXPECT_EQ(2u, parsed.size());
}

TEST_F(LineStorageTest, ResultOfAPhoneWithoutChats) {
  storage_.SetAccount("uaa", "Haruka");
  Json::Value document;
  EXPECT_EQ(&document, &storage_.BuildResultDocument(document));
  EXPECT_EQ(
      "{\n   \"account_id\" : \"uaa\",\n   \"chat_count\" : 0,\n   \"line_chat_sessions\" : [],"
      "\n   \"my_name\" : \"Haruka\"\n}",
      WriteJson(document));
}

// --- Error paths ---

TEST_F(LineStorageTest, FileThatCannotBeOpenedLosesOnlyThatChatsDetails) {
  std::filesystem::create_directories(PathFromUtf8(Detail(1)));  // in the way
  storage_.AddChat(ChatWith("u1", 1));
  storage_.AddChat(ChatWith("u2", 1));
  EXPECT_EQ(1, storage_.detail_file_counter());
  Json::Value document;
  storage_.BuildResultDocument(document);
  ASSERT_EQ(2u, document["line_chat_sessions"].size());
  EXPECT_EQ(0u, document["line_chat_sessions"][1]["msg_file_list"].size());
  const std::string log = test::ReadFileBytes(logs_.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("Open file {" + Detail(1) + "} failed, error message:{"));
}

#if !defined(_WIN32)
TEST_F(LineStorageTest, PlantedFifoAndLinkAreReplacedNotWrittenThrough) {
  // A reader keeps a writer's open from blocking, so a writer that used the
  // FIFO fails the checks below rather than hanging the test.
  ASSERT_EQ(0, mkfifo(Detail(0).c_str(), 0600));
  const int reader = open(Detail(0).c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const std::string target = logs_.File("not-to-be-written");
  test::WriteFileBytes(target, "the link's target");
  std::filesystem::create_symlink(PathFromUtf8(target), PathFromUtf8(Detail(1)));
  storage_.AddChat(ChatWith("u1", 1));
  storage_.AddChat(ChatWith("u2", 1));
  close(reader);

  EXPECT_EQ(2, storage_.detail_file_counter());
  for (int file = 0; file < 2; ++file) {
    const auto status = std::filesystem::symlink_status(PathFromUtf8(Detail(file)));
    EXPECT_TRUE(std::filesystem::is_regular_file(status)) << Detail(file);
    Json::Value details;
    std::string error;
    EXPECT_TRUE(ParseJson(test::ReadFileBytes(Detail(file)).c_str(), &details, &error)) << error;
    EXPECT_EQ(1u, details.size());
  }
  EXPECT_EQ("the link's target", test::ReadFileBytes(target));
}
#endif

}  // namespace
}  // namespace kx
