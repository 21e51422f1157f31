// What the tests of the iOS packagers build by hand: calls of the call
// history, people of the address book and messages of sms.db, in the
// phones' own tables.
#ifndef KX_TESTS_IOS_FIXTURES_H_
#define KX_TESTS_IOS_FIXTURES_H_

#include <string>

#include "package_capture.h"
#include "samples/ios_address_book.h"
#include "samples/ios_call_history.h"
#include "test_support.h"

namespace kx::test {

// A call: ZDATE counts seconds from 2001-01-01 UTC.
inline std::string Call(int pk, int type, int originated, double duration, const char* address,
                        const char* uuid) {
  return "INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, ZANSWERED, ZCALLTYPE, ZORIGINATED, ZDATE, "
         "ZDURATION, ZADDRESS, ZUNIQUE_ID) VALUES (" +
         std::to_string(pk) + ", 2, " + std::to_string(duration > 0 ? 1 : 0) + ", " +
         std::to_string(type) + ", " + std::to_string(originated) + ", " +
         std::to_string(600000000 + pk * 3600) + ", " + std::to_string(duration) + ", '" + address +
         "', '" + uuid + "');";
}

// The newest address book (its guid default calls a function of the
// phone's own, so every insert names its guid), with labels and entry keys.
inline std::string BookSql() {
  return samples::IosAddressBookSql(samples::kIosAddressBookNewestSchema) +
         ";INSERT INTO ABMultiValueLabel (rowid, value) VALUES (1, '_$!<Mobile>!$_'), "
         "(2, '_$!<Home>!$_');"
         "INSERT INTO ABMultiValueEntryKey (rowid, value) VALUES (1, 'Street'), (2, 'City'), "
         "(3, 'service'), (4, 'username');";
}

inline std::string Person(int id, const std::string& first, const std::string& extra_columns = "",
                          const std::string& extra_values = "") {
  return "INSERT INTO ABPerson (ROWID, First, guid" + extra_columns + ") VALUES (" +
         std::to_string(id) + ", '" + first + "', 'p" + std::to_string(id) + "'" + extra_values +
         ");";
}

inline std::string Value(int uid, int person, int property, int label, const std::string& value) {
  return "INSERT INTO ABMultiValue (UID, record_id, property, identifier, label, value, guid) "
         "VALUES (" +
         std::to_string(uid) + ", " + std::to_string(person) + ", " + std::to_string(property) +
         ", 0, " + std::to_string(label) + ", " + (value.empty() ? "NULL" : "'" + value + "'") +
         ", 'v" + std::to_string(uid) + "');";
}

// Seconds after 2001-01-01 as the store keeps them from iOS 11 on.
inline std::string Nanoseconds(int seconds_after) {
  return std::to_string(600000000 + seconds_after) + "000000000";
}

// A message of sms.db: `chat` 0 puts it in no chat. Dates are 600000000 s after 2001
// (2020-01-06 10:40:00 UTC) plus `at` seconds.
inline std::string SmsMessage(int row_id, int chat, int handle, int at, const std::string& text,
                              const std::string& more_columns = "",
                              const std::string& more_values = "") {
  std::string sql = "INSERT INTO message (ROWID, guid, text, handle_id, service, date" +
                    more_columns + ") VALUES (" + std::to_string(row_id) + ", 'm" +
                    std::to_string(row_id) + "', " + text + ", " + std::to_string(handle) +
                    ", 'iMessage', " + Nanoseconds(at) + more_values + ");";
  if (chat != 0) {
    sql += "INSERT INTO chat_message_join (chat_id, message_id) VALUES (" + std::to_string(chat) +
           ", " + std::to_string(row_id) + ");";
  }
  return sql;
}

// An attachment of `message`; from version 2 on the store requires an
// original_guid.
inline std::string SmsAttachment(int version, int row_id, int message, const std::string& filename,
                                 const std::string& mime_type, const std::string& uti) {
  const bool has_original_guid = version >= 2;
  return "INSERT INTO attachment (ROWID, guid, filename, mime_type, uti, total_bytes" +
         std::string(has_original_guid ? ", original_guid" : "") + ") VALUES (" +
         std::to_string(row_id) + ", 'at" + std::to_string(row_id) + "', '" + filename + "', " +
         mime_type + ", '" + uti + "', 1234" +
         (has_original_guid ? ", 'og" + std::to_string(row_id) + "'" : std::string()) +
         ");INSERT INTO message_attachment_join VALUES (" + std::to_string(message) + ", " +
         std::to_string(row_id) + ");";
}

// The sessions of every session file the messages result `result_text`
// lists, in order.
inline Json::Value SmsSessions(const std::string& result_text) {
  Json::Value sessions(Json::arrayValue);
  const Json::Value result = Parsed(result_text);
  for (const Json::Value& path : result["sms_file_path"]) {
    const Json::Value file = Parsed(ReadFileBytes(path.asString()));
    for (const Json::Value& session : file["chat_sessions"]) sessions.append(session);
  }
  return sessions;
}

}  // namespace kx::test

#endif  // KX_TESTS_IOS_FIXTURES_H_
