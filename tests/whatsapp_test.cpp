// The package step of WhatsApp (data type 0) and WhatsApp Business (25).
#include "android/whatsapp.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "android/whatsapp_messages.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/sqlite_wrapper.h"
#include "common/text.h"
#include "samples/android_whatsapp.h"
#include "test_support.h"
#include "whatsapp_fixtures.h"

namespace kx {
namespace {

using test::ChatMessages;
using test::Expand;
using test::FindChat;
using test::PackageRun;
using test::RunSql;

constexpr char kAnna[] = "4915123456789@s.whatsapp.net";
constexpr char kJose[] = "34612345678@s.whatsapp.net";
constexpr char kGroup[] = "491701234567-1602590000@g.us";
constexpr char kBroadcast[] = "1612345678@broadcast";

std::string NewerContent() { return test::DataFile("whatsapp/newer_layout_rows.sql"); }

std::string Contacts() { return test::DataFile("whatsapp/contacts_rows.sql"); }

class WhatsAppPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = dir_.File("msgstore.db");
    contacts_ = dir_.File("wa.db");
    temp_ = JoinPath(dir_.path(), "temp");
    std::filesystem::create_directories(temp_);
    RunSql(contacts_, kx::samples::kWhatsAppContactsTable);
    RunSql(contacts_, Contacts());
    test::SetUpRecord(store_, temp_, &record_);
    record_.primary_files["wa_file_path"] = contacts_;
    record_.additional_param = dir_.path();
  }

  void WriteNewerStore() {
    RunSql(store_, test::NewerLayoutSchema());
    RunSql(store_, NewerContent());
  }

  // The application's private files folder in the extraction.
  std::string PrivateFolder() const {
    return JoinPath(JoinPath(JoinPath(dir_.path(), "apps"), "com.whatsapp"), "f");
  }

  void WritePrivateFiles(const std::string& own_number_bytes) {
    const std::string folder = PrivateFolder();
    const std::string avatars = JoinPath(folder, "Avatars");
    std::filesystem::create_directories(avatars);
    test::WriteFileBytes(JoinPath(folder, "me"), own_number_bytes);
    test::WriteFileBytes(JoinPath(avatars, std::string(kAnna) + ".j"), "jpeg");
    test::WriteFileBytes(JoinPath(avatars, "no-at-sign.j"), "jpeg");
    test::WriteFileBytes(JoinPath(avatars, std::string(kJose) + ".png"), "png");
  }

  test::TempDir dir_;
  std::string store_;
  std::string contacts_;
  std::string temp_;
  DataTypeRecord record_;
};

TEST_F(WhatsAppPackageTest, PackagesTheChatsOfTheNewerLayout) {
  WriteNewerStore();
  WritePrivateFiles(samples::WhatsAppOwnNumberFileBytes("49", "4915712345678"));
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  EXPECT_EQ(1, run.calls);
  EXPECT_EQ(20, run.result_kind);
  const std::string expected = Expand(test::DataFile("whatsapp/newer_layout_document.json"), temp_);
  const std::string avatar =
      JoinPath(JoinPath(PrivateFolder(), "Avatars"), std::string(kAnna) + ".j");
  EXPECT_EQ(test::Parsed(ReplaceAll(expected, "{AVATAR}", test::JsonEscaped(avatar))),
            run.document);
}

TEST_F(WhatsAppPackageTest, WritesEachChatsMessagesIntoItsBatchFile) {
  WriteNewerStore();
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  const std::string chat_file =
      JoinPath(temp_, Expand("messages_{H:4915123456789@s.whatsapp.net}.json", temp_));
  const std::string expected_chat =
      Expand(test::DataFile("whatsapp/newer_layout_anna_messages.json"), temp_);
  const std::string chat_text = test::ReadFileBytes(chat_file);
  EXPECT_EQ(test::Parsed(expected_chat), test::Parsed(chat_text));
  // Written as the library's JSON writer writes the same messages.
  EXPECT_EQ(WriteJson(test::Parsed(chat_text)), chat_text);
  EXPECT_EQ("\xFF\xD8\xFF\xE0",
            test::ReadFileBytes(
                JoinPath(temp_, Expand("{H:4915123456789@s.whatsapp.netK12}.thumb", temp_))));

  const std::vector<Json::Value> group = ChatMessages(FindChat(run.document, kGroup));
  ASSERT_EQ(3u, group.size());
  EXPECT_EQ(kJose, group[0]["sender_id"].asString());
  EXPECT_EQ(kAnna, group[1]["sys_info"].asString());
  EXPECT_EQ("added a participant", group[1]["system_info"].asString());
  EXPECT_EQ(21, group[1]["universal_type"].asInt());
  // The owner's picture in a group counts as sent.
  EXPECT_EQ(1, group[2]["send_status"].asInt());
  EXPECT_EQ("/sdcard/WhatsApp/Media/WhatsApp Images/Sent/IMG-3.jpg",
            group[2]["media_path"].asString());
  EXPECT_EQ("IMG-3.jpg", group[2]["media_relative_path"].asString());
}

// Dates are formatted in C++ where that gives SQLite's text and by SQLite
// elsewhere: every stored form gives what SQLite's strftime of the same
// value gives, in a zone with a half-hour offset.
TEST_F(WhatsAppPackageTest, SendDatesAreSqlitesTextOfEveryStoredForm) {
  const test::ScopedTimeZone zone("IST-5:30");
  WriteNewerStore();
  const std::vector<std::string> stored = {"1615713993123", "1615713993",      "'1615713993999'",
                                           "NULL",          "1615713993123.5", "-1",
                                           "2240000000000", "'abc'",           "12345"};
  std::string rows;
  for (size_t i = 0; i < stored.size(); ++i) {
    const std::string id = std::to_string(50 + i);
    rows += std::string(rows.empty() ? "" : ",") + "(" + id + ", 1, 0, 'K" + id + "', 0, 0, " +
            stored[i] + ", 0, 't')";
  }
  RunSql(store_,
         "INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, "
         "timestamp, message_type, text_data) VALUES " +
             rows + ";");
  std::map<int64_t, std::string> expected;
  {
    SQLite3Wrapper db(store_);
    ASSERT_EQ(SQLITE_OK, db.Open());
    SqliteStatement query = PrepareStatement(
        db,
        "select _id, strftime('%m - %d - %Y %H:%M : %S', substr(timestamp, 1, 10), "
        "'unixepoch', 'localtime') from message where _id >= 50");
    while (query.Step() == SQLITE_ROW) {
      expected[query.ColumnInt64(0)] =
          query.ColumnType(1) == SQLITE_NULL ? "(none)" : query.ColumnText(1);
    }
  }
  ASSERT_EQ(stored.size(), expected.size());
  EXPECT_EQ("03 - 14 - 2021 14:56 : 33", expected[50]);

  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  std::map<int64_t, std::string> packaged;
  for (const Json::Value& message : ChatMessages(FindChat(run.document, kAnna))) {
    if (message["row_id"].asInt64() < 50) continue;
    packaged[message["row_id"].asInt64()] =
        message.isMember("send_date") ? message["send_date"].asString() : "(none)";
  }
  EXPECT_EQ(expected, packaged);
}

// The same conversation in both layouts: a text, a captioned picture with
// thumbnail, a reply, a contact card, a voice note, a link and a system
// event.
std::string OlderConversation() { return test::DataFile("whatsapp/older_conversation_rows.sql"); }

std::string NewerConversation() { return test::DataFile("whatsapp/newer_conversation_rows.sql"); }

std::set<std::string> MemberNames(const Json::Value& object) {
  const std::vector<std::string> names = object.getMemberNames();
  return std::set<std::string>(names.begin(), names.end());
}

TEST_F(WhatsAppPackageTest, BothLayoutsGiveTheSameMembers) {
  const std::string older_store = dir_.File("older.db");
  RunSql(older_store, test::OlderLayoutSchema());
  RunSql(older_store, OlderConversation());
  RunSql(store_, test::NewerLayoutSchema());
  RunSql(store_, NewerConversation());

  DataTypeRecord older_record;
  test::SetUpRecord(older_store, JoinPath(temp_, ""), &older_record);
  const PackageRun older = test::RunWhatsAppPackage(&older_record, 0);
  const std::vector<Json::Value> older_messages = ChatMessages(FindChat(older.document, kAnna));
  const PackageRun newer = test::RunWhatsAppPackage(&record_, 0);
  const std::vector<Json::Value> newer_messages = ChatMessages(FindChat(newer.document, kAnna));
  ASSERT_EQ(6u, older_messages.size());
  ASSERT_EQ(older_messages.size(), newer_messages.size());
  for (size_t i = 0; i < older_messages.size(); ++i) {
    Json::Value older_message = older_messages[i];
    Json::Value newer_message = newer_messages[i];
    EXPECT_EQ(MemberNames(newer_message), MemberNames(older_message)) << i;
    // Side files are named alike; the text of the row differs only where
    // the layouts store it differently (the older one's type is text).
    for (const char* member :
         {"content", "key_id", "send_date", "size", "universal_type", "send_status", "media_path",
          "thumbnail_file", "url_links", "system_info"}) {
      EXPECT_EQ(newer_message[member], older_message[member]) << i << " " << member;
    }
    if (newer_message.isMember("quote_content")) {
      std::set<std::string> newer_quote = MemberNames(newer_message["quote_content"]);
      newer_quote.erase("quote_sender_row_id");  // the older layout has no jid table
      EXPECT_EQ(newer_quote, MemberNames(older_message["quote_content"]));
    }
  }
}

// Writes `count` messages into chat 1 of a newer store, `special` of them
// of the special set (text type, action 19) and the rest text.
void WriteChatOfSize(const std::string& store, int count, int special) {
  RunSql(store, test::NewerLayoutSchema());
  RunSql(store,
         "INSERT INTO jid (_id, user, server, raw_string) VALUES (1, '1', "
         "'s.whatsapp.net', '1@s.whatsapp.net');"
         "INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1);"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
             std::to_string(count) +
             ") INSERT INTO message (_id, chat_row_id, from_me, key_id, timestamp, "
             "message_type, text_data) SELECT i + 1, 1, 0, 'K' || i, 1615713993000 + i, "
             "0, 'text ' || i FROM n;"
             "INSERT INTO message_system SELECT _id, 19 FROM message WHERE _id BETWEEN 2 "
             "AND " +
             std::to_string(special + 1) + ";");
}

std::vector<Json::ArrayIndex> BatchSizes(const Json::Value& chat) {
  std::vector<Json::ArrayIndex> sizes;
  for (const Json::Value& path : chat["msg_file_list"]) {
    sizes.push_back(test::Parsed(test::ReadFileBytes(path.asString())).size());
  }
  return sizes;
}

// Batches close at every 10,000th message; a message of the special set
// (here notices) never closes one, so 10003 notices and 9997 texts stay
// in one batch.
TEST_F(WhatsAppPackageTest, NumbersBatchesOfTenThousand) {
  struct Case {
    int count;
    int special;
    std::vector<Json::ArrayIndex> sizes;
    std::vector<std::string> suffixes;
  };
  const Case cases[] = {
      {500, 0, {500}, {""}},
      {10000, 0, {10000}, {"_1"}},
      {10001, 0, {10000, 1}, {"_1", "_2"}},
      {25000, 0, {10000, 10000, 5000}, {"_1", "_2", "_3"}},
      {10005, 3, {10000, 5}, {"_1", "_2"}},
      {20000, 10003, {20000}, {"_1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    test::TempDir dir;
    const std::string store = dir.File("msgstore.db");
    WriteChatOfSize(store, c.count, c.special);
    DataTypeRecord record;
    test::SetUpRecord(store, dir.path(), &record);
    const PackageRun run = test::RunWhatsAppPackage(&record, c.special > 0 ? 0 : 25);
    const Json::Value chat = FindChat(run.document, "1@s.whatsapp.net");
    EXPECT_EQ(c.sizes, BatchSizes(chat));
    ASSERT_EQ(c.suffixes.size(), chat["msg_file_list"].size());
    for (size_t i = 0; i < c.suffixes.size(); ++i) {
      EXPECT_EQ(JoinPath(dir.path(), "messages_" + Fnv1a64Decimal("1@s.whatsapp.net") +
                                         c.suffixes[i] + ".json"),
                chat["msg_file_list"][static_cast<Json::ArrayIndex>(i)].asString());
    }
  }
}

// Rows of the special set lead their own chat only: a chat without any
// keeps its order, and a text of another type or a system row of another
// action is no such row.
TEST_F(WhatsAppPackageTest, SpecialRowsLeadOnlyTheirOwnChat) {
  test::TempDir dir;
  const std::string store = dir.File("msgstore.db");
  RunSql(store, test::NewerLayoutSchema());
  RunSql(store,
         "INSERT INTO jid (_id, user, server, raw_string) VALUES (1, '1', 's.whatsapp.net', "
         "'1@s.whatsapp.net'), (2, '2', 's.whatsapp.net', '2@s.whatsapp.net');"
         "INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1), (2, 2, 2);"
         "INSERT INTO message (_id, chat_row_id, from_me, key_id, timestamp, message_type, "
         "text_data) VALUES (2, 1, 0, 'A', 1615713993000, 0, 'a'), (3, 2, 0, 'B', "
         "1615713994000, 0, 'b'), (4, 1, 0, 'C', 1615713995000, 1, 'c'), (5, 2, 0, 'D', "
         "1615713996000, 0, 'd'), (6, 1, 0, 'E', 1615713997000, 0, 'e'), (7, 2, 0, 'F', "
         "1615713998000, 0, 'f');"
         "INSERT INTO message_system VALUES (4, 19), (5, 19), (6, 18), (7, 19);");
  DataTypeRecord record;
  test::SetUpRecord(store, dir.path(), &record);
  const PackageRun run = test::RunWhatsAppPackage(&record, 0);
  ASSERT_EQ(0, run.status);
  const struct {
    const char* jid;
    std::vector<std::string> keys;
  } chats[] = {{"1@s.whatsapp.net", {"A", "C", "E"}}, {"2@s.whatsapp.net", {"D", "F", "B"}}};
  for (const auto& chat : chats) {
    std::vector<std::string> keys;
    for (const Json::Value& message : ChatMessages(FindChat(run.document, chat.jid))) {
      keys.push_back(message["key_id"].asString());
    }
    EXPECT_EQ(chat.keys, keys) << chat.jid;
  }
}

TEST_F(WhatsAppPackageTest, BusinessReadsNoContactsAndNoOwnNumber) {
  WriteNewerStore();
  WritePrivateFiles(samples::WhatsAppOwnNumberFileBytes("49", "4915712345678"));
  const PackageRun run = test::RunWhatsAppPackage(&record_, 25);
  ASSERT_EQ(0, run.status);
  EXPECT_EQ(21, run.result_kind);
  EXPECT_FALSE(run.document.isMember("my_phone_number"));
  EXPECT_FALSE(run.document.isMember("my_jid"));
  const Json::Value anna = FindChat(run.document, kAnna);
  EXPECT_FALSE(anna.isMember("subject"));
  EXPECT_FALSE(anna.isMember("profile_image_path"));
  // The group's own subject is there all the same.
  EXPECT_EQ("Familie 👨‍👩‍👧", FindChat(run.document, kGroup)["subject"].asString());
}

TEST_F(WhatsAppPackageTest, BusinessOlderLayoutUsesItsMediaFolders) {
  RunSql(store_, test::OlderLayoutSchema());
  RunSql(store_, OlderConversation());
  const std::vector<Json::Value> business =
      ChatMessages(FindChat(test::RunWhatsAppPackage(&record_, 25).document, kAnna));
  ASSERT_EQ(6u, business.size());
  EXPECT_EQ("/sdcard/WhatsApp Business/Media/WhatsApp Business Images/Sent/IMG-1.jpg",
            business[1]["media_path"].asString());
  const std::vector<Json::Value> personal =
      ChatMessages(FindChat(test::RunWhatsAppPackage(&record_, 0).document, kAnna));
  EXPECT_EQ("/sdcard/WhatsApp/Media/WhatsApp Images/Sent/IMG-1.jpg",
            personal[1]["media_path"].asString());
}

TEST_F(WhatsAppPackageTest, GroupSubjectsNameLaterMembers) {
  RunSql(store_, test::OlderLayoutSchema());
  // The first group (in chat-list order) is a member of the second one.
  RunSql(store_, R"SQL(
    INSERT INTO chat_list (key_remote_jid, subject, sort_timestamp) VALUES
      ('111-1@g.us', 'Wanderfreunde', 1), ('222-2@g.us', NULL, 2), ('3333', 'no at', 3);
    INSERT INTO group_participants (gjid, jid) VALUES
      ('222-2@g.us', '111-1@g.us'), ('222-2@g.us', ''), ('222-2@g.us', '4915123456789@s.whatsapp.net');
  )SQL");
  RunSql(contacts_,
         "INSERT INTO wa_contacts (jid, is_whatsapp_user, display_name) VALUES "
         "('222-2@g.us', 0, 'Named by the phone book')");
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(2u, run.document["chat_sessions"].size());
  const Json::Value second = FindChat(run.document, "222-2@g.us");
  EXPECT_EQ("Named by the phone book", second["subject"].asString());
  ASSERT_EQ(2u, second["members"].size());
  EXPECT_EQ("Wanderfreunde", second["members"][0]["member_name"].asString());
  EXPECT_EQ("Anna-Lena Müller", second["members"][1]["member_name"].asString());
  EXPECT_EQ(2u, run.document["size"].asUInt());
}

// The typical mix gives every picture bytes of its own: each message with a
// thumbnail row names a file holding exactly that row's bytes, none shared
// by mistake with another message.
TEST_F(WhatsAppPackageTest, EveryThumbnailRowBecomesItsMessagesFile) {
  samples::AndroidSampleOptions options;
  options.schema_version = samples::kWhatsAppNewerLayout;
  samples::WhatsAppStoreShape shape;
  shape.chats = 3;
  shape.messages_per_chat = 400;
  shape.mix = samples::WhatsAppMessageMix::kTypical;
  ASSERT_TRUE(samples::WriteWhatsAppMessageStore(store_, options, shape));
  std::map<std::string, std::string> thumbnail_by_key;  // key_id -> hex bytes
  for (const std::string& row :
       test::QueryColumn(store_,
                         "select m.key_id || ' ' || hex(t.thumbnail) from message m join "
                         "message_thumbnail t on t.message_row_id = m._id")) {
    thumbnail_by_key[row.substr(0, row.find(' '))] = row.substr(row.find(' ') + 1);
  }
  ASSERT_GT(thumbnail_by_key.size(), 100u);

  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  size_t files = 0;
  for (const Json::Value& chat : run.document["chat_sessions"]) {
    for (const Json::Value& message : ChatMessages(chat)) {
      const auto row = thumbnail_by_key.find(message["key_id"].asString());
      ASSERT_EQ(row != thumbnail_by_key.end(), message.isMember("thumbnail_file")) << message;
      if (row == thumbnail_by_key.end()) continue;
      ++files;
      EXPECT_EQ(row->second,
                test::HexBytes(test::ReadFileBytes(message["thumbnail_file"].asString())));
    }
  }
  EXPECT_EQ(thumbnail_by_key.size(), files);
}

// Message ids spread too far to be held as bits of one range: every message
// then asks its own thumbnail, link and quote look-ups, and the chats come
// out as they do from the same rows with ids close together.
TEST_F(WhatsAppPackageTest, MessageIdsSpreadFarReadTheSameSatellites) {
  WriteNewerStore();
  const PackageRun near = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, near.status);

  const std::string far_store = dir_.File("far.db");
  const std::string far_temp = JoinPath(dir_.path(), "far");
  std::filesystem::create_directories(far_temp);
  RunSql(far_store, test::NewerLayoutSchema());
  RunSql(far_store, NewerContent());
  RunSql(far_store,
         "INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, "
         "timestamp, message_type, text_data) VALUES (1099511627776, 5, 0, 'KFAR', 0, 0, "
         "1615714003000, 0, 'Mira https://example.com/y');"
         "UPDATE chat SET sort_timestamp = 1615714003000 WHERE _id = 5;"
         "INSERT INTO message_link (chat_row_id, message_row_id, link_index) VALUES "
         "(5, 1099511627776, 0);"
         "INSERT INTO message_thumbnail VALUES (1099511627776, X'FFD8FFE1');"
         "INSERT INTO message_quoted (message_row_id, chat_row_id, parent_message_chat_row_id, "
         "from_me, sender_jid_row_id, key_id, timestamp, message_type, text_data) VALUES "
         "(1099511627776, 5, 5, 1, 0, 'K0', 1615714002000, 0, 'Hola');");
  DataTypeRecord far_record;
  test::SetUpRecord(far_store, far_temp, &far_record);
  far_record.primary_files["wa_file_path"] = contacts_;
  far_record.additional_param = dir_.path();
  const PackageRun far = test::RunWhatsAppPackage(&far_record, 0);
  ASSERT_EQ(0, far.status);

  const auto chat_text = [](const Json::Value& document, const char* jid) {
    std::string text;
    for (const Json::Value& message : ChatMessages(FindChat(document, jid))) {
      text += WriteJson(message);
    }
    return text;
  };
  for (const char* jid : {kAnna, kGroup, kBroadcast}) {
    EXPECT_EQ(chat_text(near.document, jid),
              ReplaceAll(chat_text(far.document, jid), test::JsonEscaped(far_temp),
                         test::JsonEscaped(temp_)))
        << jid;
  }
  const std::vector<Json::Value> jose = ChatMessages(FindChat(far.document, kJose));
  ASSERT_EQ(1u, jose.size());
  EXPECT_EQ("FFD8FFE1", test::HexBytes(test::ReadFileBytes(jose[0]["thumbnail_file"].asString())));
  EXPECT_EQ(test::Parsed(R"(["https://example.com/y"])"), jose[0]["url_links"]);
  EXPECT_EQ("Hola", jose[0]["quote_content"]["quote_content"].asString()) << jose[0];
}

TEST_F(WhatsAppPackageTest, StoreWithoutSatelliteTables) {
  RunSql(store_, std::string(kx::samples::kWhatsAppNewerJidTable) +
                     kx::samples::kWhatsAppChatTable2021 + kx::samples::kWhatsAppMessageTable2021);
  RunSql(store_,
         "INSERT INTO jid (_id, user, server, raw_string) VALUES (1, '1', "
         "'s.whatsapp.net', '1@s.whatsapp.net'), (2, 'x', '', 'no-at-sign');"
         "INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1), (2, 2, 2);"
         "INSERT INTO message (_id, chat_row_id, from_me, key_id, timestamp, "
         "message_type, text_data) VALUES (2, 1, 0, 'K', 1615713993000, 1, 'x'), "
         "(3, 2, 0, 'L', 1615713993000, 0, 'y');");
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  ASSERT_EQ(1u, run.document["chat_sessions"].size());
  const std::vector<Json::Value> messages = ChatMessages(run.document["chat_sessions"][0]);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(1u, messages[0]["universal_type"].asUInt());
  EXPECT_FALSE(messages[0].isMember("media_path"));
}

TEST_F(WhatsAppPackageTest, HostileMediaPathsAreOnlyReported) {
  WriteNewerStore();
  RunSql(store_,
         "UPDATE message_media SET file_path = '../../x' WHERE message_row_id = 22;"
         "UPDATE message_media SET file_path = '' , media_name = '' WHERE "
         "message_row_id = 12;"
         "UPDATE message SET key_id = '../../../evil' WHERE _id = 12;");
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  const std::vector<Json::Value> group = ChatMessages(FindChat(run.document, kGroup));
  EXPECT_EQ("/sdcard/WhatsApp/Media/WhatsApp Images/Sent/../../x",
            group[2]["media_path"].asString());
  const std::vector<Json::Value> anna = ChatMessages(FindChat(run.document, kAnna));
  EXPECT_FALSE(anna[2].isMember("media_path"));
  // The thumbnail of the message with the hostile key id stays in the temp
  // folder, named by the hash.
  const std::string thumbnail = anna[2]["thumbnail_file"].asString();
  EXPECT_EQ(temp_, PathToUtf8(PathFromUtf8(thumbnail).parent_path()));
  EXPECT_FALSE(std::filesystem::exists(JoinPath(dir_.path(), "evil")));
}

TEST_F(WhatsAppPackageTest, ShortOwnNumberFileOrMissingSideFilesOnlyLoseNames) {
  WriteNewerStore();
  WritePrivateFiles(samples::WhatsAppOwnNumberFileBytes("49", "4915712345678").substr(0, 95));
  const PackageRun short_file = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, short_file.status);
  EXPECT_FALSE(short_file.document.isMember("my_phone_number"));
  EXPECT_FALSE(short_file.document.isMember("my_jid"));

  record_.primary_files.erase("wa_file_path");
  record_.additional_param.clear();
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  EXPECT_EQ(3u, run.document["size"].asUInt());
  EXPECT_FALSE(FindChat(run.document, kAnna).isMember("subject"));
  EXPECT_FALSE(run.document.isMember("my_phone_number"));
}

TEST_F(WhatsAppPackageTest, UnwritableBatchFilesAreLeftOutAndThePackageDelivered) {
  WriteNewerStore();
  record_.temp_folder = JoinPath(temp_, "removed-during-the-run");
  const PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  EXPECT_EQ(1, run.calls);
  EXPECT_EQ(3u, run.document["size"].asUInt());
  EXPECT_EQ(0u, FindChat(run.document, kAnna)["msg_file_list"].size());
  EXPECT_FALSE(std::filesystem::exists(record_.temp_folder));
}

// Chats are written in the order their rows were made; the chat map keeps
// jid order for the document.
TEST(WhatsAppChatOrderTest, ChatsGoByRowIdThenTheRestInJidOrder) {
  WhatsAppChatMap chats;
  chats[kAnna]["chat_row_id"] = 7;
  chats[kBroadcast];
  chats[kGroup]["chat_row_id"] = 2;
  chats[kJose]["chat_row_id"] = "3";
  chats["4917000000000@s.whatsapp.net"]["chat_row_id"] = 5;
  std::vector<std::string> order;
  for (const auto* entry : ChatsInRowOrder(&chats)) order.push_back(entry->first);
  EXPECT_EQ(
      (std::vector<std::string>{kGroup, "4917000000000@s.whatsapp.net", kAnna, kBroadcast, kJose}),
      order);
}

}  // namespace
}  // namespace kx
