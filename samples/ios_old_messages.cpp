#include "samples/ios_old_messages.h"

#include <cstdint>
#include <string>

#include "samples/android_sample_sqlite.h"
#include "samples/ios_messages.h"

namespace kx::samples {

namespace {

// iOS 4: the tables as the open readers of that store create them (the
// sms.db fixtures of iOS backup readers and the iPhone Wiki's table list),
// without the triggers, which call functions of the phone's own.
constexpr char kIos4Tables[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE msg_group (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, "
    "newest_message INTEGER, unread_count INTEGER, hash INTEGER);"
    "CREATE TABLE group_member (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, group_id INTEGER, "
    "address TEXT, country TEXT);"
    "CREATE TABLE msg_pieces (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, message_id INTEGER, data "
    "BLOB, part_id INTEGER, preview_part INTEGER, content_type TEXT, height INTEGER, version "
    "INTEGER, flags INTEGER, content_id TEXT, content_loc TEXT, headers BLOB);"
    "CREATE INDEX pieces_message_index ON msg_pieces(message_id);"
    "CREATE INDEX group_id_index ON group_member(group_id);"
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER, "
    "text TEXT, flags INTEGER, replace INTEGER, svc_center TEXT, group_id INTEGER, "
    "association_id INTEGER, height INTEGER, UIFlags INTEGER, version INTEGER, subject TEXT, "
    "country TEXT, headers BLOB, recipients BLOB, read INTEGER";

// iOS 5 adds the iMessage columns to message, and the iMessage tables.
constexpr char kIos5MessageColumns[] =
    ", madrid_attributedBody BLOB, madrid_handle TEXT, madrid_version INTEGER, madrid_guid TEXT, "
    "madrid_type INTEGER, madrid_roomname TEXT, madrid_service TEXT, madrid_account TEXT, "
    "madrid_account_guid TEXT, madrid_flags INTEGER, madrid_attachmentInfo BLOB, madrid_url "
    "TEXT, madrid_error INTEGER, is_madrid INTEGER, madrid_date_read INTEGER, "
    "madrid_date_delivered INTEGER";
constexpr char kIos5Tables[] =
    "CREATE TABLE madrid_attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, attachment_guid "
    "TEXT, created_date INTEGER, start_date INTEGER, filename TEXT, uti_type TEXT, mime_type "
    "TEXT, transfer_state INTEGER, is_incoming INTEGER, message_id INTEGER);"
    "CREATE INDEX madrid_attachment_message_index ON madrid_attachment(message_id);"
    "CREATE TABLE madrid_chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, style INTEGER, state "
    "INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, guid "
    "TEXT, room_name TEXT, account_login TEXT, participants BLOB);"
    "CREATE INDEX madrid_guid_index ON message(madrid_guid);";

// 2011-10-20 09:00:00 UTC, in the epochs of SMS and of iMessage.
constexpr int64_t kFirstSmsDate = 1319101200;
constexpr int64_t kFirstIMessageDate = kFirstSmsDate - kAppleEpochUnixSeconds;

bool AddSms(sqlite3* db, int group, const char* address, int64_t date, const char* text,
            int flags) {
  SampleStatement insert(db,
                         "INSERT INTO message (address, date, text, flags, group_id, read, "
                         "is_madrid) VALUES (?, ?, ?, ?, ?, 1, 0)");
  if (address != nullptr) insert.BindText(1, address);
  insert.BindInt64(2, date);
  if (text != nullptr) insert.BindText(3, text);
  insert.BindInt(4, flags);
  insert.BindInt(5, group);
  return insert.Step() == SQLITE_DONE;
}

bool AddIMessage(sqlite3* db, int group, const char* handle, int64_t date, const char* text,
                 int madrid_flags, const std::string& guid) {
  SampleStatement insert(db,
                         "INSERT INTO message (date, text, flags, group_id, madrid_handle, "
                         "madrid_guid, madrid_service, madrid_flags, madrid_error, is_madrid) "
                         "VALUES (?, ?, 0, ?, ?, ?, 'iMessage', ?, 0, 1)");
  insert.BindInt64(1, date);
  insert.BindText(2, text);
  insert.BindInt(3, group);
  insert.BindText(4, handle);
  insert.BindText(5, guid);
  insert.BindInt(6, madrid_flags);
  return insert.Step() == SQLITE_DONE;
}

bool WriteConversations(sqlite3* db, const IosSampleOptions& options) {
  static const char* const kWords[] = {"On my way", "See you at 8", "Thanks!", "Call me later"};
  bool ok = true;
  // An SMS conversation with one person, a message each way per step.
  for (int step = 0; step < 2 * options.scale; ++step) {
    const int64_t date = kFirstSmsDate + step * 600;
    ok = ok && AddSms(db, 1, "+1 (555) 010-1000", date, kWords[step % 4], kIosOldSmsReceived);
    ok =
        ok && AddSms(db, 1, "+1 (555) 010-1000", date + 60, kWords[(step + 1) % 4], kIosOldSmsSent);
  }
  // A group MMS: the words of the last one only in its text part.
  const int64_t group_date = kFirstSmsDate + 86400;
  ok = ok && AddSms(db, 2, "+15550102", group_date, "Dinner on Friday?", kIosOldSmsReceived);
  ok = ok && AddSms(db, 2, "+15550103", group_date + 120, nullptr, kIosOldSmsReceived);
  if (ok) {
    const int64_t mms = sqlite3_last_insert_rowid(db);
    SampleStatement part(db,
                         "INSERT INTO msg_pieces (message_id, data, part_id, content_type) "
                         "VALUES (?, CAST('Count me in' AS BLOB), 0, 'text/plain')");
    part.BindInt64(1, mms);
    ok = part.Step() == SQLITE_DONE;
  }
  // An iMessage conversation, with a photo sent.
  const int64_t imessage_date = kFirstIMessageDate + 2 * 86400;
  ok = ok && AddIMessage(db, 3, "ana@example.com", imessage_date, "Photos from the trip?",
                         kIosOldIMessageReceived, "5F5A13F4-0001");
  ok = ok && AddIMessage(db, 3, "ana@example.com", imessage_date + 90, "Here is one",
                         kIosOldIMessageSent, "5F5A13F4-0002");
  if (ok) {
    SampleStatement photo(db,
                          "INSERT INTO madrid_attachment (attachment_guid, created_date, "
                          "start_date, filename, uti_type, mime_type, transfer_state, "
                          "is_incoming, message_id) VALUES ('A1B2C3D4-0001', ?, ?, "
                          "'~/Library/SMS/Attachments/4a/10/IMG_0042.JPG', 'public.jpeg', "
                          "'image/jpeg', 5, 0, ?)");
    photo.BindInt64(1, imessage_date + 85);
    photo.BindInt64(2, imessage_date + 85);
    photo.BindInt64(3, sqlite3_last_insert_rowid(db));
    ok = photo.Step() == SQLITE_DONE;
  }
  return ok;
}

}  // namespace

std::string IosOldMessagesSql(int ios_version) {
  if (ios_version == 4) return std::string(kIos4Tables) + ");";
  if (ios_version == 5) return std::string(kIos4Tables) + kIos5MessageColumns + ");" + kIos5Tables;
  return IosMessagesSqlOfIos6();
}

bool WriteIosOldMessages(const std::string& path, const IosSampleOptions& options) {
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosOldMessagesSql(5).c_str())) return false;
  db.Exec("BEGIN");
  const bool written =
      db.Exec(
          "INSERT INTO msg_group (ROWID, type, newest_message, unread_count) VALUES "
          "(1, 0, 0, 0), (2, 1, 0, 0), (3, 0, 0, 0);"
          "INSERT INTO group_member (group_id, address, country) VALUES "
          "(1, '+1 (555) 010-1000', 'us'), (2, '+15550102', 'us'), (2, '+15550103', 'us'), "
          "(3, 'ana@example.com', NULL);") &&
      WriteConversations(db.handle(), options);
  if (!written) {
    db.Exec("ROLLBACK");
    return false;
  }
  return db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
