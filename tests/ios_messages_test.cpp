// The iOS messages packager (data type 12) through the library's entry
// points: whole session files on every store version, the merge of an older
// copy, the numbering of session files, and stores that lack a table.
#include "samples/ios_messages.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "ios_fixtures.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kIosSmsType = 12;
constexpr char kObject[] = "\xEF\xBF\xBC";  // U+FFFC

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;
using test::SmsAttachment;
using test::SmsMessage;

// Conversations of every kind: one person's SMS and iMessage chats (one
// session), a named and an unnamed group, messages in no chat (of a known
// room, of a new room, of a known person and of a stranger), a group
// rename, text only in attributedBody and a hostile attributedBody.
std::string Conversations(int version) {
  const std::string body = test::HexBytes(samples::IosAttributedBody("Sure \xF0\x9F\x91\x8D"));
  return "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550001', 'SMS'), "
         "(2, '+15550001', 'iMessage'), (3, 'ana@example.com', 'iMessage'), "
         "(4, '+15550002', 'iMessage'), (5, '+15550009', 'SMS');"
         "INSERT INTO chat (ROWID, guid, chat_identifier, service_name, room_name, display_name) "
         "VALUES (1, 'SMS;-;+15550001', '+15550001', 'SMS', NULL, NULL), "
         "(2, 'iMessage;-;+15550001', '+15550001', 'iMessage', NULL, NULL), "
         "(3, 'iMessage;+;chat100', 'chat100', 'iMessage', 'chat100', 'Family'), "
         "(4, 'iMessage;+;chat200', 'chat200', 'iMessage', 'chat200', '');"
         "INSERT INTO chat_handle_join VALUES (1, 1), (2, 2), (3, 3), (3, 4), (4, 2), (4, 4);" +
         SmsMessage(1, 1, 1, 0, "'Hello'") +
         SmsMessage(2, 1, 1, 60, "'" + std::string(kObject) + "\n Photo for you'", ", is_from_me",
                    ", 1") +
         SmsMessage(3, 2, 2, 30, "'Via iMessage \xE4\xBD\xA0\xE5\xA5\xBD'") +
         SmsMessage(4, 3, 3, 100, "'Dinner at 8?'") +
         SmsMessage(5, 3, 4, 110, "NULL", ", attributedBody", ", x'" + body + "'") +
         SmsMessage(6, 3, 3, 115, "NULL", ", item_type, group_title", ", 2, 'Family'") +
         SmsMessage(7, 4, 4, 200, "' \tvoice'") +
         SmsMessage(8, 4, 0, 210, "'card'", ", is_from_me", ", 1") +
         SmsMessage(9, 0, 3, 120, "'late'", ", cache_roomnames", ", 'chat100'") +
         SmsMessage(10, 0, 3, 300, "'new room'", ", cache_roomnames", ", 'chat300'") +
         SmsMessage(11, 0, 4, 310, "'me too'", ", cache_roomnames", ", 'chat300'") +
         SmsMessage(12, 0, 1, 70, "'lost one'") + SmsMessage(13, 0, 5, 400, "'who is this'") +
         SmsMessage(14, 0, 0, 410, "'a reply'", ", other_handle, is_from_me", ", 5, 1") +
         SmsMessage(15, 0, 5, 420, "NULL", ", attributedBody",
                    ", x'040B73747265616D747970656481E803'") +
         SmsAttachment(version, 1, 2, "~/Library/SMS/Attachments/0a/10/AT1/IMG_0001.jpeg",
                       "'image/jpeg'", "public.jpeg") +
         SmsAttachment(version, 2, 7, "~/Library/SMS/Attachments/1b/11/AT2/Audio Message.caf",
                       "NULL", "com.apple.coreaudio-format") +
         SmsAttachment(version, 3, 8, "~/Library/SMS/Attachments/2c/12/AT3/Ana.vcf", "'text/vcard'",
                       "public.vcard") +
         SmsAttachment(version, 4, 8, "loc.vcf", "'text/x-vlocation'", "public.location") +
         SmsAttachment(version, 5, 13, "~/../../../etc/passwd.pdf", "'application/pdf'",
                       "com.adobe.pdf");
}

class IosMessagesTest : public test::LibraryTest {
 protected:
  std::string Store(const std::string& name, int version, const std::string& rows) {
    const std::string path = phone_.File(name);
    test::RunSql(path, samples::IosMessagesSql(version) + ";" + rows);
    return path;
  }

  // Ana's e-mail address in the address book, without a picture.
  void AddressBook() {
    test::RunSql(phone_.File("AddressBook.sqlitedb"),
                 "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, "
                 "Last TEXT, Middle TEXT);"
                 "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, "
                 "property INTEGER, identifier INTEGER, label INTEGER, value TEXT, guid TEXT);"
                 "INSERT INTO ABPerson VALUES (7, 'Ana', 'Silva', NULL);"
                 "INSERT INTO ABMultiValue VALUES (1, 7, 4, 0, 1, 'ana@example.com', 'g1');");
    test::RunSql(phone_.File("AddressBookImages.sqlitedb"),
                 "CREATE TABLE ABFullSizeImage (ROWID INTEGER PRIMARY KEY, record_id INTEGER, "
                 "data BLOB);"
                 "CREATE TABLE ABThumbnailImage (ROWID INTEGER PRIMARY KEY, record_id INTEGER, "
                 "data BLOB);");
  }

  int Run(const std::string& primary, const std::vector<std::string>& copies = {},
          bool with_address_book = false) {
    const std::string book = with_address_book ? phone_.File("AddressBook.sqlitedb") : "";
    const std::string images = with_address_book ? phone_.File("AddressBookImages.sqlitedb") : "";
    Json::Value request = test::MakeRequest(kIosSmsType, temp_.path(),
                                            {{"sms_file_path", primary},
                                             {"contact_file_path", book},
                                             {"contact_image_file_path", images}},
                                            {}, backup_.path());
    request["second_file_objects"]["sms_files_path"] = test::JsonList(copies);
    return test::FilterAndPackage(request);
  }

  Json::Value Sessions() { return test::SmsSessions(g_results.text); }

  // Each session as its identifier and its messages' guids in order, "*"
  // marking what is tagged deleted and [...] the attachments.
  std::string Summary() {
    std::string summary;
    for (const Json::Value& session : Sessions()) {
      if (!summary.empty()) summary += " | ";
      summary += session["chat_identifier"].asString() + (session.isMember("tag") ? "*:" : ":");
      for (const Json::Value& message : session["messages"]) {
        summary += " " + message["guid"].asString() + (message.isMember("tag") ? "*" : "");
        if (!message.isMember("media_info")) continue;
        for (const Json::Value& attachment : message["media_info"]) {
          summary += "[" + attachment["attach_guid"].asString() +
                     (attachment.isMember("tag") ? "*]" : "]");
        }
      }
    }
    return summary;
  }

  test::TempDir phone_;
  test::TempDir temp_;
  test::TempDir backup_;
};

// The sessions of Conversations() on the newest store, newest first, with
// the attachment members every version shares left to WithStoreColumns.
// {B} is the backup folder, {BODY} the Base64 of message 5's attributedBody.

// The members an attachment of `version` adds by its columns' defaults, and
// the older date layout of messages in no chat on the stores that predate
// destination_caller_id.
Json::Value WithStoreColumns(Json::Value sessions, int version) {
  for (Json::Value& session : sessions) {
    for (Json::Value& message : session["messages"]) {
      if (version == 1 && !message.isMember("has_dd_results")) {
        std::string date = message["send_date"].asString();  // MM-DD-YYYY hh:mm:ss
        message["send_date"] = date.substr(0, 2) + " - " + date.substr(3, 2) + " - " +
                               date.substr(6, 10) + " : " + date.substr(17, 2);
      }
      if (!message.isMember("media_info")) continue;
      for (Json::Value& attachment : message["media_info"]) {
        for (const char* name : {"created_date", "is_outgoing", "start_date", "transfer_state"}) {
          attachment[name] = 0;
        }
        attachment["total_bytes"] = 1234;
        if (version < 2) continue;
        for (const char* name : {"ck_sync_state", "hide_attachment", "is_sticker"}) {
          attachment[name] = 0;
        }
        attachment["attach_original_guid"] = "og" + attachment["attach_guid"].asString().substr(2);
        if (version >= 3) attachment["sr_ck_sync_state"] = 0;
      }
    }
  }
  return sessions;
}

// The sessions Conversations() package into, in UTC, with this fixture's
// folders.
Json::Value ExpectedSessions(const std::string& backup) {
  const std::string body = samples::IosAttributedBody("Sure \xF0\x9F\x91\x8D");
  std::string expected = ReplaceAll(test::DataFile("ios_messages/sessions.json"), "{B}",
                                    test::JsonEscaped(backup + kPathSeparator));
  return test::Parsed(ReplaceAll(expected, "{BODY}", Base64Encode(body.data(), body.size())));
}

// The send dates moved by `minutes`: those of Conversations() stay within
// their day in the zones below.
Json::Value WithSendDatesMoved(Json::Value sessions, int minutes) {
  for (Json::Value& session : sessions) {
    for (Json::Value& message : session["messages"]) {
      const std::string date = message["send_date"].asString();  // MM-DD-YYYY hh:mm:ss
      const int moved =
          std::stoi(date.substr(11, 2)) * 60 + std::stoi(date.substr(14, 2)) + minutes;
      char time[16];
      std::snprintf(time, sizeof time, "%02d:%02d", moved / 60, moved % 60);
      message["send_date"] = date.substr(0, 11) + time + date.substr(16);
    }
  }
  return sessions;
}

// Every store version in UTC, and in zones a quarter and a half hour off
// the hour the oldest store (its messages in no chat dated in their own
// layout) and the newest: the same sessions, their send dates moved.
TEST_F(IosMessagesTest, WholeSessionFilesOnEveryStoreVersionAndInOtherZones) {
  AddressBook();
  const Json::Value expected = ExpectedSessions(backup_.path());
  const struct {
    const char* zone;
    int minutes;
  } kZones[] = {{"UTC", 0}, {"NPT-5:45", 345}, {"NST3:30", -210}};
  int store = 0;
  for (const auto& zone : kZones) {
    const test::ScopedTimeZone scoped_zone(zone.zone);
    for (int version = samples::kIosMessagesOldestSchema;
         version <= samples::kIosMessagesNewestSchema; ++version) {
      if (zone.minutes != 0 && version != samples::kIosMessagesOldestSchema &&
          version != samples::kIosMessagesNewestSchema) {
        continue;
      }
      SCOPED_TRACE(std::string(zone.zone) + " " + std::to_string(version));
      Reset();
      const std::string path =
          Store("sms" + std::to_string(++store) + ".db", version, Conversations(version));
      ASSERT_TRUE(test::HandedOver(Run(path, {}, true), 2));
      const std::string file = temp_.File("KxDataPackage_SMS_1.json");
      EXPECT_EQ(Formatted(R"({"sms_session_size": 5, "sms_file_path": [")" +
                          test::JsonEscaped(file) + R"("]})"),
                g_results.text);
      EXPECT_EQ(WriteJson(WithStoreColumns(WithSendDatesMoved(expected, zone.minutes), version)),
                WriteJson(Sessions()));
      // Written as a text-mode file on the hosts the files are read on.
      EXPECT_EQ(std::string::npos, ReplaceAll(test::ReadFileBytes(file), "\r\n", "").find('\n'));
    }
  }
}

// A message only the older backup holds comes back once, in its chat, with
// its attachment; an attachment taken off a message that still exists stays
// out; a message the phone keeps for recovery is tagged.
TEST_F(IosMessagesTest, OlderCopyAndRecentlyDeletedMessages) {
  const std::string primary = Store(
      "sms.db", 3,
      Conversations(3) + SmsMessage(16, 0, 4, 130, "'oops'", ", cache_roomnames", ", 'chat100'") +
          "INSERT INTO chat_recoverable_message_join VALUES (3, 16, 1, 0);");
  test::TempDir older;
  const std::string copy = older.File("sms.db");
  test::RunSql(copy, samples::IosMessagesSql(2) + ";" + Conversations(2) +
                         SmsMessage(17, 1, 1, 80, "'gone'") +
                         SmsAttachment(2, 6, 17, "~/Library/SMS/Attachments/x/a.jpg", "NULL", "") +
                         SmsAttachment(2, 7, 2, "~/Library/SMS/Attachments/x/b.jpg", "NULL", ""));
  ASSERT_EQ(kStatusOk, Run(primary, {copy}));
  EXPECT_EQ(
      "+15550009: m13[at5] m14 m15 | chat300: m10 m11 | chat200: m7[at2] m8[at3][at4] | "
      "chat100: m4 m5 m9 m16* | +15550001: m1 m3 m2[at1] m12 m17*[at6*]",
      Summary());
}

// Ten sessions to a file, numbered from 1; no empty file.
TEST_F(IosMessagesTest, SessionFilesOfTenSessions) {
  for (const int chats : {20, 25}) {
    SCOPED_TRACE(chats);
    Reset();
    std::string rows;
    for (int chat = 1; chat <= chats; ++chat) {
      const std::string number = "'+1555000" + std::to_string(100 + chat) + "'";
      rows += "INSERT INTO handle (ROWID, id, service) VALUES (" + std::to_string(chat) + ", " +
              number + ", 'SMS');INSERT INTO chat (ROWID, guid, chat_identifier) VALUES (" +
              std::to_string(chat) + ", 'c" + std::to_string(chat) + "', " + number + ");" +
              SmsMessage(chat, chat, chat, chat, "'hi'");
    }
    ASSERT_EQ(kStatusOk, Run(Store(std::to_string(chats) + ".db", 3, rows)));
    const Json::Value result = test::Parsed(g_results.text);
    EXPECT_EQ(chats, result["sms_session_size"].asInt());
    std::vector<int> sizes;
    for (const Json::Value& path : result["sms_file_path"]) {
      EXPECT_EQ(temp_.File("KxDataPackage_SMS_" + std::to_string(sizes.size() + 1) + ".json"),
                path.asString());
      sizes.push_back(static_cast<int>(
          test::Parsed(test::ReadFileBytes(path.asString()))["chat_sessions"].size()));
    }
    const std::vector<int> expected =
        chats == 20 ? std::vector<int>{10, 10} : std::vector<int>{10, 10, 5};
    EXPECT_EQ(expected, sizes);
  }
}

// A session file of several megabytes, its text written as it is laid out:
// whole, in order, with the line ends of the smaller files.
TEST_F(IosMessagesTest, SessionFileOfSeveralMegabytes) {
  std::string rows =
      "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550101', 'SMS'), "
      "(2, '+15550102', 'SMS');"
      "INSERT INTO chat (ROWID, guid, chat_identifier) VALUES (1, 'c1', '+15550101'), "
      "(2, 'c2', '+15550102');";
  const std::string filler(3000, 'x');
  std::map<std::string, std::string> expected;  // chat -> its messages' guids
  for (int message = 1; message <= 600; ++message) {
    const int chat = 1 + message % 2;
    rows += SmsMessage(message, chat, chat, message, "'" + filler + "'");
    expected["+1555010" + std::to_string(chat)] += " m" + std::to_string(message);
  }
  ASSERT_EQ(kStatusOk, Run(Store("long.db", 3, rows)));
  const Json::Value result = test::Parsed(g_results.text);
  ASSERT_EQ(1u, result["sms_file_path"].size());
  const std::string bytes = test::ReadFileBytes(result["sms_file_path"][0].asString());
  EXPECT_GT(bytes.size(), 600u * filler.size());
  EXPECT_EQ(std::string::npos, ReplaceAll(bytes, "\r\n", "").find('\n'));
  std::map<std::string, std::string> found;
  const Json::Value file = test::Parsed(bytes);
  for (const Json::Value& session : file["chat_sessions"]) {
    std::string& guids = found[session["chat_identifier"].asString()];
    for (const Json::Value& message : session["messages"]) {
      guids += " " + message["guid"].asString();
      EXPECT_EQ(filler, message["text"].asString());
    }
  }
  EXPECT_EQ(expected, found);
}

// A chat without an identifier keeps its session, and reading the missing
// identifier adds no null member to the document.
TEST_F(IosMessagesTest, ChatWithoutIdentifierGetsNoNullMember) {
  const std::string rows =
      "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550001', 'SMS');"
      "INSERT INTO chat (ROWID, guid, chat_identifier) VALUES (1, 'c1', NULL);" +
      SmsMessage(1, 1, 1, 0, "'hi'");
  ASSERT_EQ(kStatusOk, Run(Store("no_identifier.db", 3, rows)));
  const Json::Value result = test::Parsed(g_results.text);
  const Json::Value sessions =
      test::Parsed(test::ReadFileBytes(result["sms_file_path"][0].asString()))["chat_sessions"];
  ASSERT_EQ(1u, sessions.size());
  EXPECT_FALSE(sessions[0].isMember("chat_identifier")) << sessions[0];
}

// On an equal date a session's messages in no chat follow its chats', group
// by group in the order their groups were placed (those of no room, by
// their handle, before those of the chat's room, as the room of no name
// appears first), within a group by ROWID: not in ROWID order alone.
TEST_F(IosMessagesTest, MessagesInNoChatOnAnEqualDate) {
  const std::string rows =
      "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550001', 'SMS');"
      "INSERT INTO chat (ROWID, guid, chat_identifier) VALUES (1, 'c1', '+15550001');"
      "INSERT INTO chat_handle_join VALUES (1, 1);" +
      SmsMessage(1, 0, 1, 50, "'B'") +
      SmsMessage(2, 0, 1, 50, "'D'", ", cache_roomnames", ", '+15550001'") +
      SmsMessage(3, 0, 1, 50, "'C'") + SmsMessage(4, 1, 1, 50, "'A'") +
      SmsMessage(5, 0, 1, 40, "'first'", ", cache_roomnames", ", '+15550001'");
  ASSERT_EQ(kStatusOk, Run(Store("equal_dates.db", 3, rows)));
  const Json::Value sessions = Sessions();
  ASSERT_EQ(1u, sessions.size());
  std::string texts;
  for (const Json::Value& message : sessions[0]["messages"]) {
    texts += message["text"].asString() + " ";
  }
  EXPECT_EQ("first A B C D ", texts);
}

// A store without one of its joins still gives its conversations; the host
// learns that they are incomplete.
TEST_F(IosMessagesTest, StoreMissingAJoinTable) {
  const struct {
    const char* drop;
    const char* summary;
  } cases[] = {
      {"DROP TABLE message_attachment_join",
       "+15550009: m13 m14 m15 | chat300: m10 m11 | chat200: m7 m8 | chat100: m4 m5 m9 | "
       "+15550001: m1 m3 m2 m12"},
      // Every message is then one in no chat: placed by its room, else by its
      // handle (the last chat naming a handle owns it; handle 0 is nobody).
      {"DROP TABLE chat_message_join",
       "+15550009: m13[at5] m14 m15 | chat300: m10 m11 | : m8[at3][at4] | "
       "chat200: m3 m5 m7[at2] | chat100: m4 m9 | +15550001: m1 m2[at1] m12"},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.drop);
    Reset();
    const std::string path = Store(std::string(test_case.drop).substr(11) + ".db", 3,
                                   Conversations(3) + test_case.drop + ";");
    EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run(path));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(test_case.summary, Summary());
  }
}

}  // namespace
}  // namespace kx
