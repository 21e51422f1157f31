// The filter of WhatsApp: merging older copies of the message store and the
// contacts database into the primary ones.
#include "android/whatsapp_merge.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <filesystem>
#include <map>
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

// The messages of one chat of the package, by "key_id".
std::map<std::string, Json::Value> MessagesByKey(const Json::Value& document,
                                                 const std::string& jid) {
  std::map<std::string, Json::Value> by_key;
  for (const Json::Value& message : ChatMessages(FindChat(document, jid))) {
    EXPECT_TRUE(by_key.emplace(message["key_id"].asString(), message).second) << jid;
  }
  return by_key;
}

class WhatsAppMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    primary_ = dir_.File("msgstore.db");
    RunSql(primary_, test::NewerLayoutSchema());
    RunSql(primary_, test::MergePhoneRows());
    record_.data_type = 0;
    record_.temp_folder = dir_.path();
    record_.primary_files["msg_file_path"] = primary_;
    config_ = OpenSqliteConfig(JoinPath(test::ConfigFolder(), kConfigDbName));
    ASSERT_NE(nullptr, config_);
  }

  std::string WriteOlderCopy(const std::string& name) {
    const std::string path = dir_.File(name);
    RunSql(path, test::NewerLayoutSchema());
    RunSql(path, test::MergeOlderRows());
    return path;
  }

  int Filter(std::atomic<int>* stop = nullptr) {
    return test::CallFilterFunction(&record_, config_.get(), stop);
  }

  test::TempDir dir_;
  std::string primary_;
  DataTypeRecord record_;
  std::unique_ptr<SqliteConfig> config_;
};

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
  RunSql(copy, test::DataFile("whatsapp/older_layout_quote_copy_rows.sql"));
  // The phone lost A2 and quoted something else under quote row 1.
  RunSql(primary, test::DataFile("whatsapp/older_layout_quote_phone_rows.sql"));
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

// Tests of the error paths follow.

// Copies of a contacts database without a primary one are dropped, so the
// filter loop ends.
TEST_F(WhatsAppMergeTest, ContactCopiesWithoutAPrimaryAreDropped) {
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
  EXPECT_EQ(0, Filter(&stop));
}

}  // namespace
}  // namespace kx
