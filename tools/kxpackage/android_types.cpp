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

// Named, and run, as the library's descriptor table says.
AndroidType Type(int data_type, std::string title, SourcePattern source,
                 RecordCounter count_records) {
  AndroidType type;
  type.name = DataTypeName(data_type);
  type.title = std::move(title);
  type.data_type = data_type;
  type.staged = StagedOnly(data_type);
  type.available = true;
  type.source = std::move(source);
  type.count_records = count_records;
  return type;
}

const std::vector<std::vector<std::string>> kWhatsAppStoreTables = {{"chat", "jid", "message"},
                                                                    {"messages", "chat_list"}};

std::vector<AndroidType> MakeAndroidTypes() {
  std::vector<AndroidType> types;
  types.push_back(Type(3, "call history",
                       Source("callhistory_file_path", "callhistory_files_path",
                              {"calllog.db", "contacts2.db"}, {{"calls"}}),
                       CountCalls));
  types.push_back(
      Type(4, "SMS and MMS",
           Source("sms_file_path", "sms_files_path", {"mmssms.db"}, {{"sms", "pdu", "part"}}),
           CountMessages));
  types.push_back(Type(2, "contacts",
                       Source("contact_file_path", "contact_files_path", {"contacts2.db"},
                              {{"raw_contacts", "data", "mimetypes"}}),
                       CountContacts));

  AndroidType whatsapp =
      Type(0, "WhatsApp",
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
  AndroidType business = Type(25, "WhatsApp Business",
                              Source("msg_file_path", "", {"msgstore.db"}, kWhatsAppStoreTables),
                              CountWhatsAppMessages);
  business.source.required_path_part = kWhatsAppBusinessMarker;
  types.push_back(business);

  types.push_back(
      Type(30, "LINE",
           Source("line_file_path", "", {"naver_line"}, {{"chat", "chat_history", "contacts"}}),
           CountLineMessages));
  return types;
}

const std::vector<AndroidType> kAndroidTypes = MakeAndroidTypes();

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

}  // namespace kxpackage
