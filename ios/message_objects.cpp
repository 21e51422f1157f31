#include "ios/message_objects.h"

#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "common/backup_files.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "ios/message_text.h"

namespace kx {

namespace {

constexpr char kMediaDomain[] = "MediaDomain";
constexpr char kCoreAudioUti[] = "com.apple.coreaudio-format";
constexpr char kCoreAudioMime[] = "audio/x-caf";

int ColumnIndex(const SqliteStatement& row, const char* name) {
  for (int index = 0; index < row.ColumnCount(); ++index) {
    const char* column = sqlite3_column_name(row.handle(), index);
    if (column != nullptr && std::strcmp(column, name) == 0) return index;
  }
  return -1;
}

std::string_view ColumnBytes(const SqliteStatement& row, int index) {
  return index < 0 ? std::string_view() : row.ColumnBlobView(index);
}

std::string TextMember(const Json::Value& object, const char* name) {
  const Json::Value* value = object.find(name, name + std::strlen(name));
  return value != nullptr && value->isString() ? value->asString() : std::string();
}

// The sender of a message in a group, as the chat's member list names it:
// first and last name run together, else the number.
std::string SenderName(const Json::Value& members, int64_t handle_id) {
  for (const Json::Value& member : members) {
    if (IntegerMember(member, "handle_id") != handle_id) continue;
    const std::string name = TextMember(member, "first") + TextMember(member, "last");
    return name.empty() ? TextMember(member, "phone_number") : name;
  }
  return std::string();
}

void CompleteAttachment(const AttachmentLocator& locator, JsonMembers* attachment) {
  const std::string filename(attachment->StringOf("filename"));
  attachment->SetString("media_path", filename);
  const std::string backup_path = locator.Locate(filename);
  if (!backup_path.empty()) attachment->SetString("media_backup_path", backup_path);
  std::string mime_type(attachment->StringOf("mime_type"));
  if (mime_type.empty() && attachment->StringOf("uti") == kCoreAudioUti) {
    mime_type = kCoreAudioMime;
    attachment->SetString("mime_type", mime_type);
  }
  attachment->SetInt("type", AttachmentType(mime_type, filename));
}

}  // namespace

AttachmentLocator::AttachmentLocator(std::string backup_root, const char* stem)
    : backup_root_(std::move(backup_root)), resolver_(backup_root_) {
  if (backup_root_.empty()) return;
  std::error_code error;
  if (!std::filesystem::is_directory(PathFromUtf8(backup_root_), error)) {
    KX_LOG_AT(kLogProblem, stem, "The backup folder %s is no folder: attachments are not located.",
              backup_root_.c_str());
    backup_root_.clear();
  }
}

std::string AttachmentLocator::Locate(const std::string& filename) const {
  if (backup_root_.empty()) return std::string();
  const std::string relative_path = AttachmentMediaPath(filename);
  if (relative_path.empty()) return std::string();
  return resolver_.Resolve(BackupFileId(kMediaDomain, relative_path));
}

int64_t IntegerMember(const Json::Value& object, const char* name) {
  const Json::Value* value = object.find(name, name + std::strlen(name));
  if (value == nullptr) return 0;
  if (value->isInt64()) return value->asInt64();
  if (value->isUInt64()) return static_cast<int64_t>(value->asUInt64());
  if (value->isDouble() && value->asDouble() > -9.2e18 && value->asDouble() < 9.2e18) {
    return static_cast<int64_t>(value->asDouble());
  }
  return 0;
}

MessageObjectReader::MessageObjectReader(const RecoverableMessages& recoverable,
                                         MessageStore* store, const AttachmentLocator& locator,
                                         size_t depth, bool crlf)
    : recoverable_(recoverable), store_(store), locator_(locator), depth_(depth), crlf_(crlf) {}

void MessageObjectReader::UseOrderedAttachments(SqliteStatement* ordered) {
  ordered_ = ordered;
  ordered_has_row_ = ordered_ != nullptr && ordered_->Step() == SQLITE_ROW;
  stored_valid_ = false;
}

void MessageObjectReader::ReadStoredAttachments(int64_t message_id) {
  if (ordered_ != nullptr) {
    ReadOrderedAttachments(message_id);
    return;
  }
  stored_count_ = 0;
  SqliteStatement* rows = store_->Attachments(message_id);
  while (rows != nullptr && rows->Step() == SQLITE_ROW) {
    if (stored_count_ == stored_.size()) stored_.emplace_back();
    stored_[stored_count_].Clear();
    ReadRowIntoMembers(*rows, &stored_[stored_count_++]);
  }
}

// The rows of earlier messages are passed over; a message that comes again
// (it is in two chats) keeps what was read for it.
void MessageObjectReader::ReadOrderedAttachments(int64_t message_id) {
  if (stored_valid_ && stored_message_id_ == message_id) return;
  stored_valid_ = true;
  stored_message_id_ = message_id;
  stored_count_ = 0;
  while (ordered_has_row_ && ordered_->ColumnInt64(0) < message_id) {
    ordered_has_row_ = ordered_->Step() == SQLITE_ROW;
  }
  while (ordered_has_row_ && ordered_->ColumnInt64(0) == message_id) {
    if (stored_count_ == stored_.size()) stored_.emplace_back();
    stored_[stored_count_].Clear();
    ReadRowIntoMembers(*ordered_, &stored_[stored_count_++], 1);
    ordered_has_row_ = ordered_->Step() == SQLITE_ROW;
  }
}

// One the phone removed from a message that still exists is left out; those
// of a deleted message stay, tagged.
void MessageObjectReader::ReadAttachments(int64_t message_id, bool message_deleted) {
  attachment_count_ = 0;
  ReadStoredAttachments(message_id);
  for (size_t i = 0; i < stored_count_; ++i) {
    const bool removed = stored_[i].IntegerOf("is_deleted") != 0;
    if (removed && !message_deleted) continue;
    if (attachment_count_ == attachments_.size()) attachments_.emplace_back();
    JsonMembers& attachment = attachments_[attachment_count_];
    attachment = stored_[i];
    if (removed) attachment.SetString("tag", "deleted");
    CompleteAttachment(locator_, &attachment);
    ++attachment_count_;
  }
}

WrittenMessage MessageObjectReader::Read(const SqliteStatement& row, const MessageSource& source,
                                         const std::vector<int>& columns) {
  message_.Clear();
  for (const int column : columns) ReadColumnIntoMembers(row, column, &message_);
  if (columns_of_ != &row) {
    columns_of_ = &row;
    text_column_ = ColumnIndex(row, "text");
    body_column_ = ColumnIndex(row, "attributedBody");
  }
  message_.SetString("text",
                     MessageText(ColumnBytes(row, text_column_), ColumnBytes(row, body_column_)));
  const int64_t row_id = row.ColumnInt64(columns.front());
  const bool deleted =
      message_.IntegerOf("is_deleted") != 0 ||
      (source.in_chat ? recoverable_.Has(source.chat_id, row_id) : recoverable_.Has(row_id));
  if (deleted) message_.SetString("tag", "deleted");
  if (source.group && source.members != nullptr && message_.IntegerOf("is_from_me") == 0) {
    const std::string sender = SenderName(*source.members, message_.IntegerOf("handle_id"));
    if (!sender.empty()) message_.SetString("sender_name", sender);
  }
  ReadAttachments(row_id, deleted);

  WrittenMessage written;
  written.date = message_.IntegerOf("date");
  text_.clear();
  JsonTextWriter writer(&text_, depth_);
  if (crlf_) writer.UseCrLf();
  if (attachment_count_ == 0) {
    message_.WriteObject(&writer);
  } else {
    message_.WriteObject(&writer, "media_info", [this, &writer] {
      writer.BeginArray();
      for (size_t i = 0; i < attachment_count_; ++i) attachments_[i].WriteObject(&writer);
      writer.EndArray();
    });
  }
  if (writer.complete()) written.text = text_;
  return written;
}

}  // namespace kx
