#include "pipeline/android_line_storage.h"

#include <cmath>
#include <utility>

#include "common/json_util.h"

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

// Writes the messages of a detail file in exactly the layout that the
// library's JSON writer gives the array of their LineMessageToJson elements
// (members in key order, three-space indentation), without building a JSON
// tree per message: a chat can hold hundreds of thousands of them. Numbers
// go through JsonCpp's own formatting, and a text that needs escaping
// through a JsonCpp writer, so every byte matches.
class LineDetailWriter {
 public:
  explicit LineDetailWriter(std::ostream* out)
      : out_(out), text_writer_(Json::StreamWriterBuilder().newStreamWriter()) {}

  // Writes the array and releases each message once written.
  void Write(LineMessages* messages) {
    buffer_ = "[";
    bool first = true;
    while (!messages->empty()) {
      if (!first) buffer_ += ',';
      first = false;
      Element(messages->front());
      messages->pop_front();
      if (buffer_.size() >= kFlushBytes) Flush();
    }
    buffer_ += first ? "]" : "\n]";
    Flush();
    *messages = LineMessages();
  }

 private:
  static constexpr size_t kFlushBytes = 1 << 16;
  static constexpr char kMember[] = "\n      \"";
  static constexpr char kReplyMember[] = "\n         \"";

  void Flush() {
    out_->write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

  void Key(const char* indent, const char* key, bool first) {
    if (!first) buffer_ += ',';
    buffer_ += indent;
    buffer_ += key;
    buffer_ += "\" : ";
  }

  // What the JSON writer leaves as it is: printable ASCII but quote and
  // backslash.
  static bool IsPlain(const std::string& text) {
    for (const char c : text) {
      const unsigned char byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte > 0x7F || c == '"' || c == '\\') return false;
    }
    return true;
  }

  void Text(const std::string& text) {
    if (IsPlain(text)) {
      buffer_ += '"';
      buffer_ += text;
      buffer_ += '"';
      return;
    }
    std::ostringstream quoted;
    text_writer_->write(Json::Value(text), &quoted);
    buffer_ += quoted.str();
  }

  void Number(double value) {
    buffer_ += std::isfinite(value) ? Json::valueToString(value) : std::string("null");
  }
  void Integer(int value) { buffer_ += Json::valueToString(static_cast<Json::LargestInt>(value)); }
  void Boolean(bool value) { buffer_ += value ? "true" : "false"; }

  void Element(const LineMessage& m) {
    buffer_ += "\n   {";
    Key(kMember, "attachment_path", true);
    Text(m.attachment_path);
    Key(kMember, "content", false);
    Text(m.content);
    Key(kMember, "create_time", false);
    Text(m.create_time);
    Key(kMember, "download_url", false);
    Text(m.download_url);
    Key(kMember, "duration", false);
    Number(m.duration);
    Key(kMember, "file_size", false);
    Number(m.file_size);
    Key(kMember, "image_height", false);
    Number(m.image_height);
    Key(kMember, "image_width", false);
    Number(m.image_width);
    Key(kMember, "is_fail_to_send", false);
    Boolean(m.is_fail_to_send);
    Key(kMember, "is_from_me", false);
    Boolean(m.is_from_me);
    Key(kMember, "latitude", false);
    Number(m.latitude);
    Key(kMember, "longtitude", false);
    Number(m.longitude);
    Key(kMember, "original_time", false);
    Text(m.original_time);
    Key(kMember, "rely_server_id", false);
    Text(m.rely_server_id);
    Key(kMember, "reply_msg", false);
    buffer_ += "\n      {";
    Key(kReplyMember, "reply_content", true);
    Text(m.reply.reply_content);
    Key(kReplyMember, "reply_sender", false);
    Text(m.reply.reply_sender);
    Key(kReplyMember, "reply_thumb", false);
    Text(m.reply.reply_thumb);
    Key(kReplyMember, "reply_type", false);
    Integer(m.reply.reply_type);
    buffer_ += "\n      }";
    Key(kMember, "sender", false);
    Text(m.sender);
    Key(kMember, "subtopic", false);
    Text(m.subtopic);
    Key(kMember, "system_info", false);
    Text(m.system_info);
    Key(kMember, "thumb_path", false);
    Text(m.thumb_path);
    Key(kMember, "type", false);
    Integer(m.type);
    Key(kMember, "uri", false);
    Text(m.uri);
    Key(kMember, "vCard_file", false);
    Text(m.vCard_file);
    Key(kMember, "vCard_name", false);
    Text(m.vCard_name);
    buffer_ += "\n   }";
  }

  std::ostream* out_;
  std::unique_ptr<Json::StreamWriter> text_writer_;
  std::string buffer_;
};

}  // namespace

void WriteLineMessagesJson(LineMessages* messages, std::ostream* out) {
  LineDetailWriter(out).Write(messages);
}

Json::Value LineMessageToJson(const LineMessage& message) {
  Json::Value object(Json::objectValue);
  object["is_fail_to_send"] = message.is_fail_to_send;
  object["type"] = message.type;
  object["is_from_me"] = message.is_from_me;
  object["latitude"] = JsonDouble(message.latitude);
  object["longtitude"] = JsonDouble(message.longitude);
  object["image_height"] = JsonDouble(message.image_height);
  object["image_width"] = JsonDouble(message.image_width);
  object["file_size"] = JsonDouble(message.file_size);
  object["duration"] = JsonDouble(message.duration);
  object["uri"] = message.uri;
  object["rely_server_id"] = message.rely_server_id;
  object["sender"] = message.sender;
  object["content"] = message.content;
  object["create_time"] = message.create_time;
  object["original_time"] = message.original_time;
  object["vCard_file"] = message.vCard_file;
  object["vCard_name"] = message.vCard_name;
  object["subtopic"] = message.subtopic;
  object["download_url"] = message.download_url;
  object["attachment_path"] = message.attachment_path;
  object["thumb_path"] = message.thumb_path;
  object["system_info"] = message.system_info;
  Json::Value reply(Json::objectValue);
  reply["reply_type"] = message.reply.reply_type;
  reply["reply_content"] = message.reply.reply_content;
  reply["reply_sender"] = message.reply.reply_sender;
  reply["reply_thumb"] = message.reply.reply_thumb;
  object["reply_msg"] = std::move(reply);
  return object;
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

std::string AndroidLineDataPackageStorage::SaveLineInfosToLocal(LineChat* chat) {
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = kEmptyMessage;
  item.has_details = !chat->messages.empty();
  item.write_details = [chat](std::ostream* out) { WriteLineMessagesJson(&chat->messages, out); };
  std::string path =
      SaveDetailFile(output_folder(), kLineDetailPrefix, &detail_file_counter_, item);
  if (!path.empty()) chat->msg_file_list.push_back(path);
  return path;
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
