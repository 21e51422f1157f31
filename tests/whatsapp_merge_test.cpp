// The filter of WhatsApp: merging older copies of the message store and the
// contacts database into the primary ones.
#include "android/whatsapp_merge.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "android/whatsapp.h"
#include "common/field_config.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "package_capture.h"
#include "samples/android_whatsapp.h"
#include "sdk/library.h"
#include "test_support.h"
#include "whatsapp_fixtures.h"

namespace kx {
namespace {

using test::ChatMessages;
using test::FindChat;
using test::QueryColumn;
using test::RunSql;

constexpr char kAnna[] = "4915123456789@s.whatsapp.net";
constexpr char kJose[] = "34612345678@s.whatsapp.net";
constexpr char kZoe[] = "46701234567@s.whatsapp.net";

// The messages of one chat of the package, by "key_id".
std::map<std::string, Json::Value> MessagesByKey(const Json::Value& document,
                                                 const std::string& jid) {
  std::map<std::string, Json::Value> by_key;
  for (const Json::Value& message : ChatMessages(FindChat(document, jid))) {
    EXPECT_TRUE(by_key.emplace(message["key_id"].asString(), message).second) << jid;
  }
  return by_key;
}

// The older copy, as the phone had it before two messages and a whole chat
// were deleted.
constexpr char kOlderCopy[] = R"SQL(
INSERT INTO jid (_id, user, server, raw_string) VALUES
  (1, '4915123456789', 's.whatsapp.net', '4915123456789@s.whatsapp.net'),
  (2, '34612345678', 's.whatsapp.net', '34612345678@s.whatsapp.net'),
  (3, '46701234567', 's.whatsapp.net', '46701234567@s.whatsapp.net');
INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 1, 1), (2, 2, 2), (3, 3, 3);
INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, timestamp,
                     message_type, text_data) VALUES
  (2, 1, 0, 'A1', 0, 0, 1615713993000, 0, 'eins'),
  (3, 1, 1, 'A2', 0, 13, 1615713994000, 1, 'zwei'),
  (4, 1, 0, 'A3', 0, 0, 1615713995000, 0, 'drei'),
  (5, 2, 0, 'J1', 0, 0, 1615713996000, 0, 'hola'),
  (6, 2, 1, 'J2', 0, 13, 1615713997000, 0, 'respuesta'),
  (7, 3, 0, 'Z1', 0, 0, 1615713998000, 0, 'hej');
INSERT INTO message_media (message_row_id, chat_row_id, file_path, file_size, media_name) VALUES
  (3, 1, 'Media/WhatsApp Images/Sent/IMG-2.jpg', 4242, 'IMG-2.jpg');
INSERT INTO message_thumbnail VALUES (3, X'FFD80002');
INSERT INTO message_quoted (message_row_id, chat_row_id, parent_message_chat_row_id, from_me,
                            sender_jid_row_id, key_id, message_type, text_data) VALUES
  (6, 2, 2, 0, 2, 'J1', 0, 'hola');
)SQL";

// The phone now: restored from a backup, so its rows are numbered afresh;
// message 3 is a different message here.
constexpr char kPrimary[] = R"SQL(
INSERT INTO jid (_id, user, server, raw_string) VALUES
  (1, 'status', 'broadcast', 'status@broadcast'),
  (2, '4915123456789', 's.whatsapp.net', '4915123456789@s.whatsapp.net'),
  (3, '34612345678', 's.whatsapp.net', '34612345678@s.whatsapp.net');
INSERT INTO chat (_id, jid_row_id, sort_timestamp) VALUES (1, 2, 1), (2, 3, 2);
INSERT INTO message (_id, chat_row_id, from_me, key_id, sender_jid_row_id, status, timestamp,
                     message_type, text_data) VALUES
  (2, 1, 0, 'A1', 0, 0, 1615713993000, 0, 'eins'),
  (3, 1, 0, 'A3', 0, 0, 1615713995000, 0, 'drei'),
  (4, 2, 0, 'J1', 0, 0, 1615713996000, 0, 'hola'),
  (5, 1, 1, 'A4', 0, 13, 1615713999000, 0, 'vier');
)SQL";

class WhatsAppMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    primary_ = dir_.File("msgstore.db");
    RunSql(primary_, test::NewerLayoutSchema());
    RunSql(primary_, kPrimary);
    record_.temp_folder = dir_.path();
    record_.primary_files["msg_file_path"] = primary_;
    config_ = OpenSqliteConfig(JoinPath(test::ConfigFolder(), kConfigDbName));
    ASSERT_NE(nullptr, config_);
  }

  std::string WriteOlderCopy(const std::string& name) {
    const std::string path = dir_.File(name);
    RunSql(path, test::NewerLayoutSchema());
    RunSql(path, kOlderCopy);
    return path;
  }

  int Filter() {
    std::atomic<int> stop{0};
    return WhatsAppDataFilter(&record_, config_.get(), test::ContextFor(0, &stop));
  }

  test::TempDir dir_;
  std::string primary_;
  DataTypeRecord record_;
  std::unique_ptr<SqliteConfig> config_;
};

TEST_F(WhatsAppMergeTest, ADeletedMessageComesBackOnceTaggedInItsChat) {
  record_.second_files["msg_files_path"].Push(WriteOlderCopy("older1.db"));
  // The same copy twice: its rows still arrive once.
  record_.second_files["msg_files_path"].Push(WriteOlderCopy("older2.db"));
  ASSERT_EQ(0, Filter());
  EXPECT_TRUE(record_.second_files["msg_files_path"].Empty());

  const test::PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  ASSERT_EQ(0, run.status);
  std::map<std::string, Json::Value> by_key = MessagesByKey(run.document, kAnna);
  ASSERT_EQ(4u, by_key.size());
  EXPECT_FALSE(by_key["A1"].isMember("tag"));
  EXPECT_FALSE(by_key["A4"].isMember("tag"));
  // The live message that now holds row 3 keeps no media of the lost one.
  EXPECT_FALSE(by_key["A3"].isMember("media_path"));
  EXPECT_FALSE(by_key["A3"].isMember("thumbnail_file"));
  const Json::Value& recovered = by_key["A2"];
  EXPECT_EQ("deleted", recovered["tag"].asString());
  EXPECT_EQ("zwei", recovered["content"].asString());
  EXPECT_EQ("/sdcard/WhatsApp/Media/WhatsApp Images/Sent/IMG-2.jpg",
            recovered["media_path"].asString());
  EXPECT_EQ(4242, recovered["size"].asInt());
  EXPECT_EQ(std::string("\xFF\xD8\x00\x02", 4),
            test::ReadFileBytes(recovered["thumbnail_file"].asString()));

  const std::vector<Json::Value> jose = ChatMessages(FindChat(run.document, kJose));
  ASSERT_EQ(2u, jose.size());
  EXPECT_FALSE(jose[0].isMember("tag"));
  EXPECT_EQ("deleted", jose[1]["tag"].asString());
  EXPECT_EQ("J1", jose[1]["quote_content"]["q_key_id"].asString());
  EXPECT_EQ(kJose, jose[1]["quote_content"]["quote_sender_id"].asString());

  // The chat the phone lost entirely comes back with its message.
  const Json::Value zoe = FindChat(run.document, kZoe);
  EXPECT_EQ("deleted", zoe["tag"].asString());
  const std::vector<Json::Value> zoe_messages = ChatMessages(zoe);
  ASSERT_EQ(1u, zoe_messages.size());
  EXPECT_EQ("deleted", zoe_messages[0]["tag"].asString());
  EXPECT_EQ("hej", zoe_messages[0]["content"].asString());
  EXPECT_FALSE(FindChat(run.document, kAnna).isMember("tag"));
}

TEST_F(WhatsAppMergeTest, TheStagedPrimaryGainsIsDeletedAndUniqueIndexes) {
  record_.second_files["msg_files_path"].Push(WriteOlderCopy("older.db"));
  ASSERT_EQ(0, Filter());
  EXPECT_EQ((std::vector<std::string>{"0", "0", "0", "0", "1", "1", "1"}),
            QueryColumn(primary_, "SELECT is_deleted FROM message ORDER BY is_deleted, _id"));
  EXPECT_EQ((std::vector<std::string>{"4"}),
            QueryColumn(primary_,
                        "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                        "('message_unique_key_index', 'jid_unique_key_index', "
                        "'chat_unique_key_index', 'message_media_unique_key_index')"));
  // Recovered rows keep their satellites: every media, thumbnail and quote
  // row of the primary belongs to a message.
  EXPECT_EQ((std::vector<std::string>{"0"}),
            QueryColumn(primary_,
                        "SELECT count(*) FROM message_media WHERE message_row_id NOT "
                        "IN (SELECT _id FROM message)"));
  EXPECT_EQ((std::vector<std::string>{"A2"}),
            QueryColumn(primary_,
                        "SELECT m.key_id FROM message_media mm JOIN message m ON "
                        "m._id = mm.message_row_id"));
  EXPECT_EQ((std::vector<std::string>{"J2"}),
            QueryColumn(primary_,
                        "SELECT m.key_id FROM message_quoted q JOIN message m ON "
                        "m._id = q.message_row_id"));
}

TEST_F(WhatsAppMergeTest, AligningRenumbersTheCopyAndItsReferences) {
  const std::string copy = WriteOlderCopy("older.db");
  std::atomic<int> stop{0};
  ASSERT_TRUE(AlignCopyRowIds(primary_, copy, test::ContextFor(0, &stop)));
  // jids by address: Anna 1 -> 2, José 2 -> 3, Zoë (new, 3 taken) -> 4.
  EXPECT_EQ(
      (std::vector<std::string>{"2|4915123456789@s.whatsapp.net", "3|34612345678@s.whatsapp.net",
                                "4|46701234567@s.whatsapp.net"}),
      QueryColumn(copy, "SELECT _id || '|' || raw_string FROM jid ORDER BY _id"));
  EXPECT_EQ((std::vector<std::string>{"1|2", "2|3", "3|4"}),
            QueryColumn(copy, "SELECT _id || '|' || jid_row_id FROM chat ORDER BY _id"));
  // Messages by key; the lost A2 (its 3 is A3's now) moves above both
  // stores, the lost J2 and Z1 keep ids the primary has free.
  EXPECT_EQ((std::vector<std::string>{"2|A1", "3|A3", "4|J1", "6|J2", "7|Z1", "8|A2"}),
            QueryColumn(copy, "SELECT _id || '|' || key_id FROM message ORDER BY _id"));
  EXPECT_EQ((std::vector<std::string>{"8"}),
            QueryColumn(copy, "SELECT message_row_id FROM message_media"));
  EXPECT_EQ((std::vector<std::string>{"8"}),
            QueryColumn(copy, "SELECT message_row_id FROM message_thumbnail"));
  EXPECT_EQ((std::vector<std::string>{"6|2|3"}),
            QueryColumn(copy,
                        "SELECT message_row_id || '|' || chat_row_id || '|' || "
                        "sender_jid_row_id FROM message_quoted"));
}

TEST_F(WhatsAppMergeTest, OlderLayoutKeepsQuotesWithTheirMessages) {
  const std::string primary = dir_.File("old_primary.db");
  const std::string copy = dir_.File("old_copy.db");
  for (const std::string& path : {primary, copy}) RunSql(path, test::OlderLayoutSchema());
  RunSql(copy, R"SQL(
    INSERT INTO chat_list (key_remote_jid, sort_timestamp) VALUES ('4915123456789@s.whatsapp.net', 1);
    INSERT INTO messages (_id, key_remote_jid, key_from_me, key_id, status, data, timestamp,
                          media_wa_type, media_size, quoted_row_id) VALUES
      (2, '4915123456789@s.whatsapp.net', 0, 'A1', 0, 'eins', 1615713993000, '0', 0, NULL),
      (3, '4915123456789@s.whatsapp.net', 1, 'A2', 0, 'zwei', 1615713994000, '0', 0, 1);
    INSERT INTO messages_quotes (_id, key_remote_jid, key_from_me, key_id, data, media_wa_type)
      VALUES (1, '4915123456789@s.whatsapp.net', 0, 'A1', 'eins', '0');
  )SQL");
  // The phone lost A2 and quoted something else under quote row 1.
  RunSql(primary, R"SQL(
    INSERT INTO chat_list (key_remote_jid, sort_timestamp) VALUES ('4915123456789@s.whatsapp.net', 1);
    INSERT INTO messages (_id, key_remote_jid, key_from_me, key_id, status, data, timestamp,
                          media_wa_type, media_size, quoted_row_id) VALUES
      (2, '4915123456789@s.whatsapp.net', 0, 'A1', 0, 'eins', 1615713993000, '0', 0, NULL),
      (3, '4915123456789@s.whatsapp.net', 0, 'A3', 0, 'drei', 1615713995000, '0', 0, 1);
    INSERT INTO messages_quotes (_id, key_remote_jid, key_from_me, key_id, data, media_wa_type)
      VALUES (1, '4915123456789@s.whatsapp.net', 1, 'X', 'anders', '0');
  )SQL");
  record_.primary_files["msg_file_path"] = primary;
  record_.second_files["msg_files_path"].Push(copy);
  ASSERT_EQ(0, Filter());
  const test::PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  std::map<std::string, Json::Value> by_key = MessagesByKey(run.document, kAnna);
  ASSERT_EQ(3u, by_key.size());
  EXPECT_EQ("deleted", by_key["A2"]["tag"].asString());
  EXPECT_EQ("eins", by_key["A2"]["quote_content"]["quote_content"].asString());
  EXPECT_EQ(1, by_key["A2"]["quote_content"]["q_is_deleted"].asInt());
  EXPECT_EQ("anders", by_key["A3"]["quote_content"]["quote_content"].asString());
  EXPECT_FALSE(by_key["A3"]["quote_content"].isMember("q_is_deleted"));
}

TEST_F(WhatsAppMergeTest, ContactsOfAnOlderCopyNameTheirChats) {
  const std::string contacts = dir_.File("wa.db");
  const std::string older_contacts = dir_.File("wa_older.db");
  for (const std::string& path : {contacts, older_contacts}) {
    RunSql(path, samples::kWhatsAppContactsTable);
  }
  RunSql(older_contacts,
         "INSERT INTO wa_contacts (jid, is_whatsapp_user, display_name) VALUES "
         "('4915123456789@s.whatsapp.net', 1, 'Anna'),"
         "('34612345678@s.whatsapp.net', 1, 'José (old)');");
  RunSql(contacts,
         "INSERT INTO wa_contacts (jid, is_whatsapp_user, display_name) VALUES "
         "('34612345678@s.whatsapp.net', 1, 'José');");
  record_.primary_files["wa_file_path"] = contacts;
  record_.second_files["wa_files_path"].Push(older_contacts);
  ASSERT_EQ(0, Filter());
  const test::PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  EXPECT_EQ("Anna", FindChat(run.document, kAnna)["subject"].asString());
  EXPECT_EQ("José", FindChat(run.document, kJose)["subject"].asString());
  EXPECT_EQ((std::vector<std::string>{"0", "1"}),
            QueryColumn(contacts, "SELECT is_deleted FROM wa_contacts ORDER BY is_deleted"));
}

// Newer wa.db versions declare a LONG column; their contacts merge alike.
class WhatsAppContactsMergeTest : public WhatsAppMergeTest,
                                  public ::testing::WithParamInterface<const char*> {};

TEST_P(WhatsAppContactsMergeTest, AContactOnlyTheOlderCopyHoldsComesBackOnceTagged) {
  const std::string schema = std::string(GetParam()) + ";" + samples::kWhatsAppContactsIndexes;
  const std::string contacts = dir_.File("wa.db");
  RunSql(contacts, schema +
                       "INSERT INTO wa_contacts (jid, is_whatsapp_user, display_name) VALUES "
                       "('34612345678@s.whatsapp.net', 1, 'José');");
  record_.primary_files["wa_file_path"] = contacts;
  for (const char* name : {"wa_older1.db", "wa_older2.db"}) {
    const std::string older = dir_.File(name);
    RunSql(older, schema +
                      "INSERT INTO wa_contacts (jid, is_whatsapp_user, display_name, "
                      "disappearing_mode_timestamp) VALUES "
                      "('4915123456789@s.whatsapp.net', 1, 'Anna', 1700000000000),"
                      "('34612345678@s.whatsapp.net', 1, 'José (old)', 0);");
    record_.second_files["wa_files_path"].Push(older);
  }
  ASSERT_EQ(0, Filter());
  EXPECT_EQ((std::vector<std::string>{"34612345678@s.whatsapp.net|José|0",
                                      "4915123456789@s.whatsapp.net|Anna|1"}),
            QueryColumn(contacts,
                        "SELECT jid || '|' || display_name || '|' || is_deleted FROM wa_contacts "
                        "ORDER BY jid"));
  const test::PackageRun run = test::RunWhatsAppPackage(&record_, 0);
  EXPECT_EQ("Anna", FindChat(run.document, kAnna)["subject"].asString());
  EXPECT_EQ("José", FindChat(run.document, kJose)["subject"].asString());
}

std::string ContactsVersionName(const ::testing::TestParamInfo<const char*>& info) {
  const char* const names[] = {"V74", "Y2023", "Y2025"};
  return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Versions, WhatsAppContactsMergeTest,
                         ::testing::Values(samples::kWhatsAppContactsTableV74,
                                           samples::kWhatsAppContactsTable2023,
                                           samples::kWhatsAppContactsTable2025),
                         ContactsVersionName);

TEST_F(WhatsAppMergeTest, SampleCopiesThroughTheLibrary) {
  samples::AndroidSampleOptions options;
  const std::string source = dir_.File("phone");
  std::filesystem::create_directories(source);
  const std::string newer = JoinPath(source, "msgstore.db");
  const std::string older = dir_.File("msgstore.db.crypt-older");
  ASSERT_TRUE(samples::WriteWhatsAppMessageStore(newer, options));
  ASSERT_TRUE(samples::WriteWhatsAppContacts(JoinPath(source, "wa.db"), options));
  options.older_copy = true;
  ASSERT_TRUE(samples::WriteWhatsAppMessageStore(older, options));
  ASSERT_TRUE(samples::WriteWhatsAppContacts(dir_.File("wa-older.db"), options));

  const std::string temp = dir_.File("temp");
  std::filesystem::create_directories(temp);
  InitializeLibrary(dir_.path().c_str(), test::ConfigFolder().c_str());
  Json::Value request;
  request["package_type"] = 0;
  request["temp_folder"] = temp;
  request["primary_file_object"]["msg_file_path"] = newer;
  request["primary_file_object"]["wa_file_path"] = JoinPath(source, "wa.db");
  request["second_file_objects"]["msg_files_path"].append(older);
  request["second_file_objects"]["wa_files_path"].append(dir_.File("wa-older.db"));
  const std::string text = WriteJson(request);
  ASSERT_EQ(0, FilterDataType(text.c_str(), static_cast<int>(text.size())));
  test::whatsapp_capture::g_calls = 0;
  ASSERT_EQ(0, PackageDataType(test::whatsapp_capture::Capture, 0));
  ASSERT_EQ(1, test::whatsapp_capture::g_calls);
  EXPECT_EQ(20, test::whatsapp_capture::g_kind);
  const Json::Value document = test::ParseJsonText(test::whatsapp_capture::g_text);

  // Lost on the phone: one in eleven of the messages the older copy holds
  // (all but the newest fifth), and the whole chat only it has.
  const int per_chat = 43;
  int lost_per_chat = 0;
  for (int index = 0; index < per_chat * 4 / 5; ++index) lost_per_chat += index % 11 == 4;
  int deleted = 0;
  int deleted_with_media = 0;
  for (const Json::Value& chat : document["chat_sessions"]) {
    std::set<std::string> keys;
    for (const Json::Value& message : ChatMessages(chat)) {
      EXPECT_TRUE(keys.insert(message["key_id"].asString()).second) << chat["jid"];
      if (message["tag"].asString() != "deleted") continue;
      ++deleted;
      if (message["type"].asInt() == 1 && message.isMember("media_path")) {
        ++deleted_with_media;
        EXPECT_TRUE(message.isMember("thumbnail_file"));
      }
    }
  }
  EXPECT_EQ(11 * lost_per_chat + per_chat, deleted);
  // Message 4 of each chat is a picture: 11 chats and the lost one.
  EXPECT_EQ(11 + 1, deleted_with_media);
  EXPECT_EQ("deleted", FindChat(document, "254712345678@s.whatsapp.net")["tag"].asString());
  // The contact the newer wa.db lost names its chat again.
  EXPECT_EQ("Ngũgĩ wa Thiong'o",
            FindChat(document, "254712345678@s.whatsapp.net")["subject"].asString());
}

// Tests of the error paths follow.

TEST_F(WhatsAppMergeTest, MissingInputs) {
  DataTypeRecord no_store;
  std::atomic<int> stop{0};
  EXPECT_EQ(1100, WhatsAppDataFilter(&no_store, config_.get(), test::ContextFor(0, &stop)));
  EXPECT_EQ(1102, WhatsAppDataFilter(&record_, nullptr, test::ContextFor(0, &stop)));
  // Copies of a contacts database without a primary one are dropped, so the
  // filter loop ends.
  record_.second_files["wa_files_path"].Push(dir_.File("wa_older.db"));
  EXPECT_EQ(0, Filter());
  EXPECT_TRUE(record_.second_files["wa_files_path"].Empty());
}

TEST_F(WhatsAppMergeTest, ACopyThatCannotBeOpenedGoesBackOnTheQueue) {
  record_.second_files["msg_files_path"].Push(dir_.File("does-not-exist.db"));
  EXPECT_EQ(1105, Filter());
  EXPECT_EQ(1u, record_.second_files["msg_files_path"].Size());
}

TEST_F(WhatsAppMergeTest, ACopyOfTheOtherLayoutIsNotAligned) {
  const std::string copy = dir_.File("old_copy.db");
  RunSql(copy, test::OlderLayoutSchema());
  std::atomic<int> stop{0};
  EXPECT_FALSE(AlignCopyRowIds(primary_, copy, test::ContextFor(0, &stop)));
  record_.second_files["msg_files_path"].Push(copy);
  EXPECT_EQ(0, Filter());
  EXPECT_EQ((std::vector<std::string>{"4"}), QueryColumn(primary_,
                                                         "SELECT count(*) FROM message "
                                                         "WHERE _id > 1"));
}

TEST_F(WhatsAppMergeTest, StopLeavesTheCopyAsItWas) {
  const std::string copy = WriteOlderCopy("older.db");
  std::atomic<int> stop{1};
  EXPECT_FALSE(AlignCopyRowIds(primary_, copy, test::ContextFor(0, &stop)));
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}),
            QueryColumn(copy, "SELECT _id FROM jid ORDER BY _id"));
  record_.second_files["msg_files_path"].Push(copy);
  EXPECT_EQ(0, WhatsAppDataFilter(&record_, config_.get(), test::ContextFor(0, &stop)));
}

}  // namespace
}  // namespace kx
