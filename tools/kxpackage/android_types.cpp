#include "tools/kxpackage/android_types.h"

#include <filesystem>
#include <fstream>

namespace kxpackage {

namespace {

long ArraySize(const Json::Value& document, const char* member) {
  const Json::Value& list = document[member];
  return list.isArray() ? static_cast<long>(list.size()) : 0;
}

long CountCalls(const Json::Value& document, const std::string&) {
  return ArraySize(document, "callhistory");
}

long CountContacts(const Json::Value& document, const std::string&) {
  return ArraySize(document, "raw_contacts");
}

long CountMessages(const Json::Value& document, const std::string&) {
  long count = 0;
  for (const Json::Value& session : document["sessions"]) {
    if (session["messages"].isArray()) count += static_cast<long>(session["messages"].size());
  }
  return count;
}

// Messages live in batch files listed per chat; each file is parsed on its
// own, so memory stays at one batch.
long CountMessagesInFiles(const Json::Value& chats) {
  long count = 0;
  for (const Json::Value& chat : chats) {
    for (const Json::Value& batch : chat["msg_file_list"]) {
      std::ifstream in(std::filesystem::u8path(batch.asString()), std::ios::binary);
      Json::Value messages;
      Json::CharReaderBuilder builder;
      std::string errors;
      if (in && Json::parseFromStream(builder, in, &messages, &errors) && messages.isArray()) {
        count += static_cast<long>(messages.size());
      }
    }
  }
  return count;
}

long CountWhatsAppMessages(const Json::Value& document, const std::string&) {
  return CountMessagesInFiles(document["chat_sessions"]);
}

long CountLineMessages(const Json::Value& document, const std::string&) {
  return CountMessagesInFiles(document["line_chat_sessions"]);
}

constexpr char kWhatsAppBusinessMarker[] = "com.whatsapp.w4b";

SourcePattern Source(std::string primary_key, std::string second_key,
                     std::vector<std::string> file_names,
                     std::vector<std::vector<std::string>> table_sets) {
  SourcePattern pattern;
  pattern.primary_key = std::move(primary_key);
  pattern.second_key = std::move(second_key);
  pattern.file_names = std::move(file_names);
  pattern.table_sets = std::move(table_sets);
  return pattern;
}

AndroidType Type(std::string name, std::string title, int data_type, bool staged,
                 SourcePattern source, RecordCounter count_records) {
  AndroidType type;
  type.name = std::move(name);
  type.title = std::move(title);
  type.data_type = data_type;
  type.staged = staged;
  type.available = true;
  type.source = std::move(source);
  type.count_records = count_records;
  return type;
}

const std::vector<std::vector<std::string>> kWhatsAppStoreTables = {{"chat", "jid", "message"},
                                                                    {"messages", "chat_list"}};

std::vector<AndroidType> MakeAndroidTypes() {
  std::vector<AndroidType> types;
  types.push_back(Type("call_history", "call history", 3, false,
                       Source("callhistory_file_path", "callhistory_files_path",
                              {"calllog.db", "contacts2.db"}, {{"calls"}}),
                       CountCalls));
  types.push_back(
      Type("sms", "SMS and MMS", 4, false,
           Source("sms_file_path", "sms_files_path", {"mmssms.db"}, {{"sms", "pdu", "part"}}),
           CountMessages));
  types.push_back(Type("contacts", "contacts", 2, false,
                       Source("contact_file_path", "contact_files_path", {"contacts2.db"},
                              {{"raw_contacts", "data", "mimetypes"}}),
                       CountContacts));

  AndroidType whatsapp =
      Type("whatsapp", "WhatsApp", 0, false,
           Source("msg_file_path", "msg_files_path", {"msgstore.db"}, kWhatsAppStoreTables),
           CountWhatsAppMessages);
  whatsapp.source.excluded_path_part = kWhatsAppBusinessMarker;
  SourcePattern contacts = Source("wa_file_path", "wa_files_path", {"wa.db"}, {{"wa_contacts"}});
  contacts.excluded_path_part = kWhatsAppBusinessMarker;
  whatsapp.companions.push_back(contacts);
  whatsapp.private_files_marker = "apps/com.whatsapp/f";
  types.push_back(whatsapp);

  // The Business store has the same name and tables; it is told apart by the
  // application's folder in its path. Its copies are not merged.
  AndroidType business = Type("whatsapp_business", "WhatsApp Business", 25, false,
                              Source("msg_file_path", "", {"msgstore.db"}, kWhatsAppStoreTables),
                              CountWhatsAppMessages);
  business.source.required_path_part = kWhatsAppBusinessMarker;
  types.push_back(business);

  types.push_back(
      Type("line", "LINE", 30, true,
           Source("line_file_path", "", {"naver_line"}, {{"chat", "chat_history", "contacts"}}),
           CountLineMessages));
  return types;
}

const std::vector<AndroidType> kAndroidTypes = MakeAndroidTypes();

const char* const kDataTypeNames[] = {"whatsapp",
                                      "type_1",
                                      "contacts",
                                      "call_history",
                                      "sms",
                                      "safari",
                                      "safari_history",
                                      "ios_calendar",
                                      "ios_reminders",
                                      "ios_notes",
                                      "type_10",
                                      "ios_contacts",
                                      "ios_messages",
                                      "ios_call_history",
                                      "ios_whatsapp",
                                      "ios_line",
                                      "ios_photos",
                                      "ios_kik",
                                      "ios_viber",
                                      "ios_wechat",
                                      "ios_voicemail",
                                      "ios_voice_memos",
                                      "ios_books",
                                      "ios_messenger",
                                      "ios_whatsapp_business",
                                      "whatsapp_business",
                                      "ios_music",
                                      "ios_video",
                                      "ios_kx_photos",
                                      "ios_music_video",
                                      "line"};

}  // namespace

const std::vector<AndroidType>& AndroidTypes() { return kAndroidTypes; }

const AndroidType* FindAndroidType(const std::string& name_or_number) {
  for (const AndroidType& type : kAndroidTypes) {
    if (type.name == name_or_number || std::to_string(type.data_type) == name_or_number) {
      return &type;
    }
  }
  return nullptr;
}

std::string DataTypeName(int data_type) {
  constexpr int kCount = static_cast<int>(sizeof(kDataTypeNames) / sizeof(kDataTypeNames[0]));
  if (data_type >= 0 && data_type < kCount) return kDataTypeNames[data_type];
  return "type_" + std::to_string(data_type);
}

}  // namespace kxpackage
