#include "ioschat/chat_document.h"

#include <cmath>
#include <utility>

#include "common/json_util.h"
#include "kit/backup_inputs.h"
#include "kit/date_sql.h"

namespace kx {

namespace {

void TextMember(JsonBufferWriter* writer, const char* name, const std::string& value) {
  if (value.empty()) return;
  writer->Name(name);
  writer->String(value);
}

void WriteMessage(const ChatMessage& message, JsonBufferWriter* writer) {
  writer->BeginObject();
  if (message.has_duration) {
    writer->Name("duration");
    writer->Int(message.duration);
  }
  writer->Name("is_from_me");
  writer->Int(message.is_from_me ? 1 : 0);
  writer->Name("kind");
  writer->String(ChatMessageKindName(message.kind));
  if (message.has_location) {
    writer->Name("latitude");
    writer->Double(message.latitude);
    writer->Name("longitude");
    writer->Double(message.longitude);
  }
  TextMember(writer, "media_backup", message.media_backup);
  TextMember(writer, "media_path", message.media_path);
  writer->Name("message_id");
  writer->String(message.message_id);
  TextMember(writer, "raw_type", message.raw_type);
  if (message.has_send_date) {
    writer->Name("send_date");
    writer->Int(message.send_date);
  }
  TextMember(writer, "sender_id", message.sender_id);
  TextMember(writer, "sender_name", message.sender_name);
  if (message.deleted) {
    writer->Name("tag");
    writer->String("deleted");
  }
  TextMember(writer, "text", message.text);
  TextMember(writer, "thumb_backup", message.thumb_backup);
  TextMember(writer, "url", message.url);
  writer->EndObject();
}

Json::Value SessionObject(const ChatSession& session) {
  Json::Value object(Json::objectValue);
  object["kind"] = ChatSessionKindName(session.kind);
  if (!session.members.empty()) {
    Json::Value& members = object["members"];
    for (const ChatMember& member : session.members) {
      Json::Value& entry = members.append(Json::Value(Json::objectValue));
      entry["id"] = member.id;
      if (!member.name.empty()) entry["name"] = member.name;
    }
  }
  object["msg_file_list"] = Json::Value(Json::arrayValue);
  if (!session.name.empty()) object["name"] = session.name;
  object["session_id"] = session.session_id;
  if (session.deleted) object["tag"] = "deleted";
  return object;
}

}  // namespace

const char* ChatSessionKindName(ChatSessionKind kind) {
  switch (kind) {
    case ChatSessionKind::kSingle:
      return "single";
    case ChatSessionKind::kGroup:
      return "group";
    case ChatSessionKind::kOfficial:
      return "official";
  }
  return "single";
}

const char* ChatMessageKindName(ChatMessageKind kind) {
  switch (kind) {
    case ChatMessageKind::kText:
      return "text";
    case ChatMessageKind::kPicture:
      return "picture";
    case ChatMessageKind::kVideo:
      return "video";
    case ChatMessageKind::kVoice:
      return "voice";
    case ChatMessageKind::kFile:
      return "file";
    case ChatMessageKind::kSticker:
      return "sticker";
    case ChatMessageKind::kLocation:
      return "location";
    case ChatMessageKind::kContactCard:
      return "contact_card";
    case ChatMessageKind::kCall:
      return "call";
    case ChatMessageKind::kSystem:
      return "system";
    case ChatMessageKind::kLink:
      return "link";
    case ChatMessageKind::kOther:
      return "other";
  }
  return "other";
}

void ChatMessage::Clear() {
  message_id.clear();
  sender_id.clear();
  sender_name.clear();
  has_send_date = false;
  send_date = 0;
  is_from_me = false;
  kind = ChatMessageKind::kText;
  raw_type.clear();
  text.clear();
  url.clear();
  media_path.clear();
  media_backup.clear();
  thumb_backup.clear();
  has_duration = false;
  duration = 0;
  has_location = false;
  latitude = 0.0;
  longitude = 0.0;
  deleted = false;
}

int64_t CoreDataSecondsToMillis(double seconds) {
  const double millis =
      std::round((seconds + static_cast<double>(kAppleEpochUnixSeconds)) * 1000.0);
  // A hostile date beyond what milliseconds can count reads as the epoch.
  if (!std::isfinite(millis) || std::fabs(millis) > 9.0e18) return 0;
  return static_cast<int64_t>(millis);
}

std::string ChatBackupFile(const std::string& backup_root, bool has_sub_dir,
                           const std::string& domain, const std::string& relative_path) {
  if (relative_path.empty()) return std::string();
  return FileInBackup(backup_root, domain, relative_path, has_sub_dir);
}

ChatPackage::ChatPackage(std::string app, std::string temp_folder)
    : app_(std::move(app)), files_(std::move(temp_folder)), document_(Json::objectValue) {
  document_["account_id"] = "";
  document_["app"] = app_;
  document_["sessions"] = Json::Value(Json::arrayValue);
}

ChatPackage::~ChatPackage() = default;

void ChatPackage::SetAccount(const std::string& account_id, const std::string& account_name) {
  document_["account_id"] = account_id;
  if (account_name.empty()) {
    document_.removeMember("account_name");
  } else {
    document_["account_name"] = account_name;
  }
}

void ChatPackage::BeginSession(const ChatSession& session) {
  EndSession();
  session_ = &document_["sessions"].append(SessionObject(session));
  ++size_;
  // The application's name keys the files, so a LINE and a WeChat
  // conversation with the same id never write the same batch file.
  batches_ = std::make_unique<ChatBatchWriter>(&files_, app_ + ":" + session.session_id,
                                               &(*session_)["msg_file_list"]);
}

void ChatPackage::AddMessage(const ChatMessage& message) {
  if (batches_ == nullptr) return;
  WriteMessage(message, batches_->message_writer());
  batches_->EndOrdinary();
}

void ChatPackage::EndSession() {
  if (batches_ == nullptr) return;
  batches_->Finish();
  (*session_)["message_count"] = Json::Int64(batches_->message_count());
  batches_.reset();
  session_ = nullptr;
}

std::string ChatPackage::Finish() {
  EndSession();
  document_["size"] = Json::Int64(size_);
  return WriteJson(document_);
}

}  // namespace kx
