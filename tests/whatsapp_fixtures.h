// Fixtures of the WhatsApp tests: message stores built from the
// application's table definitions, and the package step run on them.
// Header only: every test file is its own executable.
#ifndef KX_TESTS_WHATSAPP_FIXTURES_H_
#define KX_TESTS_WHATSAPP_FIXTURES_H_

#include <json/json.h>

#include <atomic>
#include <string>
#include <vector>

#include "android/whatsapp.h"
#include "common/json_util.h"
#include "package_capture.h"
#include "packager/data_type_record.h"
#include "samples/android_whatsapp_schema.h"
#include "test_support.h"

namespace kx::test {

inline std::string NewerLayoutSchema() {
  using namespace kx::samples;
  return std::string(kWhatsAppPropsTable) + kWhatsAppNewerJidTable + kWhatsAppChatTable2023 +
         kWhatsAppMessageTable2023 + kWhatsAppMessageIndexes + kWhatsAppMediaTable2023 +
         kWhatsAppNewerCommonSatellites + kWhatsAppQuotedTables2023 + kWhatsAppQuotedSatellites +
         kWhatsAppLinkTable + kWhatsAppTables2023Only;
}

inline std::string OlderLayoutSchema() {
  return std::string(kx::samples::kWhatsAppPropsTable) + kx::samples::kWhatsAppOlderLayoutTables;
}

// A message store and its older copy. The phone now: restored from a
// backup, so its rows are numbered afresh.
inline constexpr char kMergePhoneRows[] = R"SQL(
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
// The older copy, before two messages and a whole chat were deleted; its
// message 3 is another message than the phone's.
inline constexpr char kMergeOlderRows[] = R"SQL(
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

struct PackageRun {
  int status = -1;
  int calls = 0;
  int result_kind = -1;
  Json::Value document;  // parsed from the callback's text
};

inline Json::Value ParseJsonText(const std::string& text) {
  Json::Value value;
  std::string error;
  EXPECT_TRUE(ParseJson(text.c_str(), &value, &error)) << error;
  return value;
}

namespace whatsapp_capture {
inline int g_calls = 0;
inline int g_kind = -1;
inline std::string g_text;
inline int Capture(int kind, const char* text, int length) {
  ++g_calls;
  g_kind = kind;
  g_text.assign(text, static_cast<size_t>(length));
  return 0;
}
}  // namespace whatsapp_capture

inline PackageRun RunWhatsAppPackage(DataTypeRecord* record, int data_type,
                                     std::atomic<int>* stop = nullptr) {
  whatsapp_capture::g_calls = 0;
  whatsapp_capture::g_kind = -1;
  whatsapp_capture::g_text.clear();
  PackageRun run;
  record->data_type = data_type;
  run.status = CallPackageFunction(record, whatsapp_capture::Capture, stop);
  run.calls = whatsapp_capture::g_calls;
  run.result_kind = whatsapp_capture::g_kind;
  if (run.calls > 0) run.document = ParseJsonText(whatsapp_capture::g_text);
  return run;
}

inline void SetUpRecord(const std::string& store, const std::string& temp, DataTypeRecord* record) {
  record->temp_folder = temp;
  record->primary_files["msg_file_path"] = store;
}

inline std::vector<Json::Value> ChatMessages(const Json::Value& chat) {
  std::vector<Json::Value> messages;
  for (const Json::Value& path : chat["msg_file_list"]) {
    const Json::Value batch = ParseJsonText(ReadFileBytes(path.asString()));
    for (const Json::Value& message : batch) messages.push_back(message);
  }
  return messages;
}

inline Json::Value FindChat(const Json::Value& document, const std::string& jid) {
  for (const Json::Value& chat : document["chat_sessions"]) {
    if (chat["jid"].asString() == jid) return chat;
  }
  return Json::Value();
}

}  // namespace kx::test

#endif  // KX_TESTS_WHATSAPP_FIXTURES_H_
