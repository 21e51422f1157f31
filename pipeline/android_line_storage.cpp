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

// The members of a detail file's message, in the writer's (name) order,
// misspellings included.
const JsonName kAttachmentPathName("attachment_path");
const JsonName kContentName("content");
const JsonName kCreateTimeName("create_time");
const JsonName kDownloadUrlName("download_url");
const JsonName kDurationName("duration");
const JsonName kFileSizeName("file_size");
const JsonName kImageHeightName("image_height");
const JsonName kImageWidthName("image_width");
const JsonName kIsFailToSendName("is_fail_to_send");
const JsonName kIsFromMeName("is_from_me");
const JsonName kLatitudeName("latitude");
const JsonName kLongtitudeName("longtitude");
const JsonName kOriginalTimeName("original_time");
const JsonName kRelyServerIdName("rely_server_id");
const JsonName kReplyMsgName("reply_msg");
const JsonName kSenderName("sender");
const JsonName kSubtopicName("subtopic");
const JsonName kSystemInfoName("system_info");
const JsonName kThumbPathName("thumb_path");
const JsonName kTypeName("type");
const JsonName kUriName("uri");
const JsonName kVCardFileName("vCard_file");
const JsonName kVCardNameName("vCard_name");
const JsonName kReplyContentName("reply_content");
const JsonName kReplySenderName("reply_sender");
const JsonName kReplyThumbName("reply_thumb");
const JsonName kReplyTypeName("reply_type");

}  // namespace

void WriteLineMessage(const LineMessage& message, JsonTextWriter* writer) {
  writer->BeginObject();
  writer->Name(kAttachmentPathName);
  writer->String(message.attachment_path);
  writer->Name(kContentName);
  writer->String(message.content);
  writer->Name(kCreateTimeName);
  writer->String(message.create_time);
  writer->Name(kDownloadUrlName);
  writer->String(message.download_url);
  writer->Name(kDurationName);
  writer->Double(message.duration);
  writer->Name(kFileSizeName);
  writer->Double(message.file_size);
  writer->Name(kImageHeightName);
  writer->Double(message.image_height);
  writer->Name(kImageWidthName);
  writer->Double(message.image_width);
  writer->Name(kIsFailToSendName);
  writer->Bool(message.is_fail_to_send);
  writer->Name(kIsFromMeName);
  writer->Bool(message.is_from_me);
  writer->Name(kLatitudeName);
  writer->Double(message.latitude);
  writer->Name(kLongtitudeName);
  writer->Double(message.longitude);
  writer->Name(kOriginalTimeName);
  writer->String(message.original_time);
  writer->Name(kRelyServerIdName);
  writer->String(message.rely_server_id);
  writer->Name(kReplyMsgName);
  writer->BeginObject();
  writer->Name(kReplyContentName);
  writer->String(message.reply.reply_content);
  writer->Name(kReplySenderName);
  writer->String(message.reply.reply_sender);
  writer->Name(kReplyThumbName);
  writer->String(message.reply.reply_thumb);
  writer->Name(kReplyTypeName);
  writer->Int(message.reply.reply_type);
  writer->EndObject();
  writer->Name(kSenderName);
  writer->String(message.sender);
  writer->Name(kSubtopicName);
  writer->String(message.subtopic);
  writer->Name(kSystemInfoName);
  writer->String(message.system_info);
  writer->Name(kThumbPathName);
  writer->String(message.thumb_path);
  writer->Name(kTypeName);
  writer->Int(message.type);
  writer->Name(kUriName);
  writer->String(message.uri);
  writer->Name(kVCardFileName);
  writer->String(message.vCard_file);
  writer->Name(kVCardNameName);
  writer->String(message.vCard_name);
  writer->EndObject();
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
  while (messages(&message)) {
    WriteLineMessage(message, &writer);
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
