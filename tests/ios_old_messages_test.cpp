// sms.db of older phones through the messages packager (data type 12):
// iOS 4 and 5 (conversations in msg_group, senders in message.address or
// madrid_handle), iOS 6 (the first store with handles and chats), and a
// store that has messages and handles but no chats. Whole sessions.
#include "samples/ios_old_messages.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "common/status.h"
#include "ios_fixtures.h"
#include "package_capture.h"
#include "test_support.h"

namespace kx {
namespace {

using test::g_results;

// 2011-10-20 09:00:00 UTC plus `at` seconds: in seconds since 1970 for an
// SMS of iOS 5 and earlier, since 2001 otherwise.
std::string UnixDate(int at) { return std::to_string(1319101200 + at); }
std::string Date2001(int at) { return std::to_string(340794000 + at); }

std::string OldSms(int row_id, int group, const std::string& address, int at,
                   const std::string& text, int flags) {
  return "INSERT INTO message (ROWID, address, date, text, flags, group_id) VALUES (" +
         std::to_string(row_id) + ", '" + address + "', " + UnixDate(at) + ", " + text + ", " +
         std::to_string(flags) + ", " + std::to_string(group) + ");";
}

// Two SMS conversations: one person, and a group MMS whose last words lie
// only in its text part.
const std::string kOldSmsRows =
    "INSERT INTO msg_group (ROWID, type) VALUES (1, 0), (2, 1);"
    "INSERT INTO group_member (group_id, address) VALUES (1, '+15550101'), (2, '+15550102'), "
    "(2, '+15550103');" +
    OldSms(1, 1, "+15550101", 0, "'Hello'", samples::kIosOldSmsReceived) +
    OldSms(2, 1, "+15550101", 60, "'Hi back'", samples::kIosOldSmsSent) +
    OldSms(3, 2, "+15550102", 3600, "'Dinner?'", samples::kIosOldSmsReceived) +
    OldSms(4, 2, "+15550103", 3660, "NULL", samples::kIosOldSmsReceived) +
    "INSERT INTO msg_pieces (message_id, data, part_id, content_type) VALUES "
    "(4, CAST('Count me in' AS BLOB), 0, 'text/plain');";

// iMessages in no msg_group, with a photo sent.
const std::string kIMessageRows =
    "INSERT INTO message (ROWID, date, text, flags, group_id, madrid_handle, madrid_guid, "
    "madrid_service, madrid_flags, madrid_error, is_madrid) VALUES "
    "(5, " +
    Date2001(7200) + ", 'Photos?', 0, 0, 'ana@example.com', 'G5', 'iMessage', " +
    std::to_string(samples::kIosOldIMessageReceived) + ", 0, 1), (6, " + Date2001(7290) +
    ", 'Here', 0, 0, 'ana@example.com', 'G6', 'iMessage', " +
    std::to_string(samples::kIosOldIMessageSent) +
    ", 0, 1);"
    "INSERT INTO madrid_attachment (attachment_guid, created_date, start_date, filename, "
    "uti_type, mime_type, transfer_state, is_incoming, message_id) VALUES ('AT6', 7, 7, "
    "'~/Library/SMS/Attachments/4a/10/IMG_0042.JPG', 'public.jpeg', 'image/jpeg', 5, 0, 6);";

// One person's SMS in the first store with handles and chats.
const std::string kIos6Rows =
    "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550101', 'SMS');"
    "INSERT INTO chat (ROWID, guid, chat_identifier, service_name) VALUES "
    "(1, 'SMS;-;+15550101', '+15550101', 'SMS');"
    "INSERT INTO chat_handle_join VALUES (1, 1);"
    "INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) VALUES "
    "(1, 'g1', 'Hello', 1, 'SMS', " +
    Date2001(0) + ", 0), (2, 'g2', 'Hi back', 1, 'SMS', " + Date2001(60) +
    ", 1);"
    "INSERT INTO chat_message_join VALUES (1, 1), (1, 2);";

class IosOldMessagesTest : public test::LibraryTest {
 protected:
  int Run(const std::string& sms_db, const std::vector<std::string>& copies = {}) {
    return test::PackageWithCopies(12, temp_.path(), "sms", sms_db, copies);
  }

  test::TempDir phone_;
  test::TempDir temp_;
};

// The sessions the SMS and iMessage rows above give are in tests/data/ios_messages/old_*.json.
TEST_F(IosOldMessagesTest, WholeSessionsOfEveryGeneration) {
  const std::string sms = test::DataFile("ios_messages/old_sms_sessions.json");
  const std::string imessage = test::DataFile("ios_messages/old_imessage_session.json");
  const struct {
    const char* name;
    int ios_version;
    std::string rows;
    int status;
    std::string sessions;
  } cases[] = {
      {"iOS 4", 4, kOldSmsRows, kStatusOk, "[" + sms},
      {"iOS 5", 5, kOldSmsRows + kIMessageRows, kStatusOk, "[" + imessage + sms},
      // Messages read as ones of a chat carry has_dd_results; those in no
      // chat are dated in the older layout of such messages.
      {"iOS 6", 6, kIos6Rows, kStatusOk, test::DataFile("ios_messages/old_ios6_sessions.json")},
      // Messages and handles but no chats: one session per handle, and the
      // host learns that the store was incomplete.
      {"no chat table", 6,
       kIos6Rows + "DROP TABLE chat; DROP TABLE chat_message_join; DROP TABLE chat_handle_join;",
       KX_STATUS_NOT_PACKAGED, test::DataFile("ios_messages/old_ios6_no_chat_sessions.json")},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    Reset();
    const std::string path = phone_.File(std::string(test_case.name) + ".db");
    test::RunSql(path, samples::IosOldMessagesSql(test_case.ios_version) + test_case.rows);
    EXPECT_EQ(test_case.status, Run(path));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(test::Formatted(test_case.sessions), WriteJson(test::SmsSessions(g_results.text)));
  }
  EXPECT_TRUE(Logged("No table chat, chat_message_join: every message is read as one in no chat."));
  // No phone's store has the merge's column: its absence is no gap.
  EXPECT_EQ(std::string::npos, Log().find("is_deleted"));
}

// A message only an older copy of an iOS 5 store holds comes back in its
// conversation, tagged; nothing the phone still holds is.
TEST_F(IosOldMessagesTest, OlderCopyOfAnIos5StoreBringsItsMessagesBack) {
  const std::string primary = phone_.File("sms.db");
  test::RunSql(primary, samples::IosOldMessagesSql(5) + kOldSmsRows + kIMessageRows);
  test::TempDir older;
  const std::string copy = older.File("sms.db");
  test::RunSql(copy, samples::IosOldMessagesSql(5) + kOldSmsRows + kIMessageRows +
                         OldSms(7, 1, "+15550101", 120, "'Gone'", samples::kIosOldSmsReceived));
  ASSERT_EQ(kStatusOk, Run(primary, {copy}));
  std::string tagged;
  for (const Json::Value& session : test::SmsSessions(g_results.text)) {
    for (const Json::Value& message : session["messages"]) {
      if (message.isMember("tag")) {
        tagged += session["chat_identifier"].asString() + ":" + message["text"].asString();
      }
    }
  }
  EXPECT_EQ("+15550101:Gone", tagged);
}

}  // namespace
}  // namespace kx
