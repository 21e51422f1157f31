#include "pipeline/android_line_storage.h"

#include <string>
#include <utility>

#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "kit/batch_writer.h"
#include "pipeline/android_line_details.h"

namespace kx {

namespace {

constexpr char kSaveOperation[] = "AndroidLineDataPackageStorage::_SaveLineInfosToLocal";
constexpr char kEmptyMessage[] = "line message info is empty";

Json::Value StringArray(const std::vector<std::string>& texts) {
  Json::Value array = EmptyJsonArray();
  for (const std::string& text : texts) array.append(text);
  return array;
}

Json::Value ChatToJson(const LineChat& chat) {
  Json::Value object(Json::objectValue);
  object["id"] = chat.id;
  object["unread"] = chat.unread;
  object["type"] = chat.type;
  object["is_notification"] = chat.is_notification;
  object["is_archived"] = chat.is_archived;
  object["mid"] = chat.mid;
  object["session_name"] = chat.session_name;
  object["last_message"] = chat.last_message;
  object["last_created_time"] = chat.last_created_time;
  object["last_message_time"] = chat.last_message_time;
  object["group_member"] = StringArray(chat.group_member);
  object["msg_file_list"] = StringArray(chat.msg_file_list);
  return object;
}

}  // namespace

// The names, the indentation and the separators of a message never change:
// they are written as the JSON writer lays them out for an element of the
// detail file's array (one step in; members in name order, misspellings
// included), and only the values go through its formatting.
void LayOutLineMessage(const LineMessage& message, std::string* out) {
  const auto text = [out](const char* before, const std::string& value) {
    out->append(before);
    AppendJsonString(value, out);
  };
  const auto number = [out](const char* before, double value) {
    out->append(before);
    AppendJsonDouble(value, out);
  };
  const auto flag = [out](const char* before, bool value) {
    out->append(before);
    out->append(value ? "true" : "false");
  };
  text("{\n      \"attachment_path\" : ", message.attachment_path);
  text(",\n      \"content\" : ", message.content);
  text(",\n      \"create_time\" : ", message.create_time);
  text(",\n      \"download_url\" : ", message.download_url);
  number(",\n      \"duration\" : ", message.duration);
  number(",\n      \"file_size\" : ", message.file_size);
  number(",\n      \"image_height\" : ", message.image_height);
  number(",\n      \"image_width\" : ", message.image_width);
  flag(",\n      \"is_fail_to_send\" : ", message.is_fail_to_send);
  flag(",\n      \"is_from_me\" : ", message.is_from_me);
  number(",\n      \"latitude\" : ", message.latitude);
  number(",\n      \"longtitude\" : ", message.longitude);
  text(",\n      \"original_time\" : ", message.original_time);
  text(",\n      \"rely_server_id\" : ", message.rely_server_id);
  text(",\n      \"reply_msg\" : \n      {\n         \"reply_content\" : ",
       message.reply.reply_content);
  text(",\n         \"reply_sender\" : ", message.reply.reply_sender);
  text(",\n         \"reply_thumb\" : ", message.reply.reply_thumb);
  out->append(",\n         \"reply_type\" : ");
  AppendJsonInt(message.reply.reply_type, out);
  text("\n      },\n      \"sender\" : ", message.sender);
  text(",\n      \"subtopic\" : ", message.subtopic);
  text(",\n      \"system_info\" : ", message.system_info);
  text(",\n      \"thumb_path\" : ", message.thumb_path);
  out->append(",\n      \"type\" : ");
  AppendJsonInt(message.type, out);
  text(",\n      \"uri\" : ", message.uri);
  text(",\n      \"vCard_file\" : ", message.vCard_file);
  text(",\n      \"vCard_name\" : ", message.vCard_name);
  out->append("\n   }");
}

void WriteLineMessage(const LineMessage& message, std::string* scratch, JsonTextWriter* writer) {
  scratch->clear();
  LayOutLineMessage(message, scratch);
  writer->Element(*scratch, 1);
}

void WriteLineMessagesJson(const LineMessageSource& messages, std::ostream* out) {
  // A chat can hold hundreds of thousands of messages: they are written as
  // they come, without a tree per message, and the text goes to the file in
  // pieces (the writer only ever appends, so a written piece can go).
  constexpr size_t kFlushBytes = 1 << 16;
  std::string text;
  JsonTextWriter writer(&text);
  writer.BeginArray();
  LineMessage message;
  std::string element;
  while (messages(&message)) {
    WriteLineMessage(message, &element, &writer);
    if (text.size() >= kFlushBytes) {
      out->write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    }
  }
  writer.EndArray();
  out->write(text.data(), static_cast<std::streamsize>(text.size()));
}

LineMessageSource TakeFrom(LineMessages* messages) {
  return [messages](LineMessage* message) {
    if (messages->empty()) return false;
    *message = std::move(messages->front());
    messages->pop_front();
    return true;
  };
}

AndroidLineDataPackageStorage::AndroidLineDataPackageStorage(std::string output_folder)
    : AbstractDataPackageStorage(std::move(output_folder)) {}

void AndroidLineDataPackageStorage::SetAccount(std::string account_id, std::string my_name) {
  account_id_ = std::move(account_id);
  my_name_ = std::move(my_name);
}

void AndroidLineDataPackageStorage::AddChat(LineChat chat) {
  if (!chat_ids_.insert(chat.mid).second) return;
  SaveLineInfosToLocal(&chat);
  chat.messages = LineMessages();
  chats_.push_back(std::move(chat));
  ++chat_count_;
}

void AndroidLineDataPackageStorage::AddChat(LineChat chat, const LineMessageSource& messages,
                                            bool has_messages) {
  if (!chat_ids_.insert(chat.mid).second) return;
  const std::string path = SaveDetails(messages, has_messages);
  if (!path.empty()) chat.msg_file_list.push_back(path);
  chats_.push_back(std::move(chat));
  ++chat_count_;
}

void AndroidLineDataPackageStorage::AddChat(LineChat chat, LineDetailTexts* texts, size_t index) {
  if (!chat_ids_.insert(chat.mid).second) return;
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = kEmptyMessage;
  const std::string path = texts->Save(index, kLineDetailPrefix, &detail_file_counter_, item);
  if (!path.empty()) chat.msg_file_list.push_back(path);
  chats_.push_back(std::move(chat));
  ++chat_count_;
}

std::string AndroidLineDataPackageStorage::SaveLineInfosToLocal(LineChat* chat) {
  LineMessages* messages = &chat->messages;
  std::string path = SaveDetails(TakeFrom(messages), !messages->empty());
  *messages = LineMessages();
  if (!path.empty()) chat->msg_file_list.push_back(path);
  return path;
}

std::string AndroidLineDataPackageStorage::SaveDetails(const LineMessageSource& messages,
                                                       bool has_messages) {
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = kEmptyMessage;
  item.has_details = has_messages;
  item.write_details = [&messages](std::ostream* out) { WriteLineMessagesJson(messages, out); };
  return SaveDetailFile(output_folder(), kLineDetailPrefix, &detail_file_counter_, item);
}

Json::Value& AndroidLineDataPackageStorage::BuildResultDocument(Json::Value& document) {
  document = Json::Value(Json::objectValue);
  document["chat_count"] = chat_count_;
  document["account_id"] = account_id_;
  document["my_name"] = my_name_;
  Json::Value sessions = EmptyJsonArray();
  for (const LineChat& chat : chats_) sessions.append(ChatToJson(chat));
  document["line_chat_sessions"] = std::move(sessions);
  return document;
}

}  // namespace kx
