#include "ioschat/line_messages.h"

#include <cmath>
#include <cstdlib>

#include "common/keyed_archive.h"
#include "common/property_list.h"
#include "ioschat/line_store.h"

namespace kx {

const char kLineDomain[] = "AppDomainGroup-group.com.linecorp.line";

namespace {

constexpr char kAttachmentRoot[] = "Library/Application Support/PrivateStore/P_";
constexpr char kAttachmentFolder[] = "/Message Attachments/";
// Metadata is a flat dictionary; anything deeper is not LINE's.
constexpr int kMetadataDepth = 4;

bool IsSafeName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\:\0", 4)) == std::string::npos &&
         name.find("..") == std::string::npos;
}

std::string Lookup(const LineMetadata& metadata, const char* key) {
  const auto found = metadata.find(key);
  return found == metadata.end() ? std::string() : found->second;
}

// A text of decimal milliseconds as whole seconds; false when it is none.
bool MillisecondsText(const std::string& text, int64_t* seconds) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || value < 0) return false;
  *seconds = value / 1000;
  return true;
}

// What a message without text of its own shows: the sticker's package and
// id, a file's name.
std::string SubstituteText(ChatMessageKind kind, const LineMetadata& metadata) {
  if (kind == ChatMessageKind::kSticker) {
    const std::string package = Lookup(metadata, "STKPKGID");
    const std::string sticker = Lookup(metadata, "STKID");
    if (sticker.empty()) return std::string();
    return "sticker " + (package.empty() ? std::string() : package + "/") + sticker;
  }
  if (kind == ChatMessageKind::kFile) return Lookup(metadata, "FILE_NAME");
  return std::string();
}

void LocateFile(const LineMessageContext& context, ChatMessage* message) {
  const std::string path =
      LineAttachmentPath(context.account_id, context.chat_mid, message->message_id);
  if (path.empty()) return;
  message->media_path = path;
  if (context.catalogue == nullptr) return;
  const std::string id = context.catalogue->FileIdByPath(kLineDomain, path);
  if (!id.empty()) message->media_backup = ResolveBackupFile(context.backup_root, id);
  const std::string thumb = context.catalogue->FileIdByPath(kLineDomain, path + ".thumb");
  if (!thumb.empty()) message->thumb_backup = ResolveBackupFile(context.backup_root, thumb);
}

}  // namespace

LineMetadata ReadLineMetadata(std::string_view bytes) {
  LineMetadata metadata;
  if (bytes.empty()) return metadata;
  const CPListDictionary dictionary = CPListDictionary::FromBytes(bytes);
  if (dictionary.node() == nullptr) return metadata;
  const KeyedArchive archive(dictionary);
  const plist_t root = archive.valid() ? archive.Top("root") : dictionary.node();
  const Json::Value object = archive.ToJson(root, kMetadataDepth);
  if (!object.isObject()) return metadata;
  for (const std::string& key : object.getMemberNames()) {
    const Json::Value& value = object[key];
    if (value.isString()) {
      metadata[key] = value.asString();
    } else if (value.isIntegral() && !value.isBool()) {
      metadata[key] = std::to_string(value.asInt64());
    }
  }
  return metadata;
}

std::string LineAttachmentPath(const std::string& account_id, const std::string& chat_mid,
                               const std::string& message_id) {
  if (!IsSafeName(account_id) || !IsSafeName(chat_mid) || !IsSafeName(message_id)) {
    return std::string();
  }
  return kAttachmentRoot + account_id + kAttachmentFolder + chat_mid + "/" + message_id;
}

std::string LineShownName(const std::string& custom_name, const std::string& name) {
  return custom_name.empty() ? name : custom_name;
}

void ReadLineMessage(const SqliteStatement& row, const LineMessageContext& context,
                     ChatMessage* message) {
  message->Clear();
  message->message_id = row.ColumnText(kLineMessageServerId);
  if (message->message_id.empty()) message->message_id = row.ColumnText(kLineMessageKey);
  const std::string direction = row.ColumnText(kLineMessageType);
  // The owner's own messages have no sender row; older stores also mark
  // them "S".
  message->is_from_me = row.ColumnType(kLineMessageSender) == SQLITE_NULL || direction == "S";
  if (!message->is_from_me) {
    message->sender_id = row.ColumnText(kLineSenderMid);
    message->sender_name =
        LineShownName(row.ColumnText(kLineSenderCustom), row.ColumnText(kLineSenderName));
  }
  if (row.ColumnType(kLineMessageTime) != SQLITE_NULL) {
    const double millis = row.ColumnDouble(kLineMessageTime);
    if (std::isfinite(millis) && std::fabs(millis) < 9.0e18) {
      message->has_send_date = true;
      message->send_date = static_cast<int64_t>(millis);
    }
  }
  const LineMetadata metadata = ReadLineMetadata(row.ColumnBlobView(kLineContentMetadata));
  const int64_t content_type = row.ColumnInt64(kLineContentType);
  message->kind = LineMessageKind(content_type, metadata);
  message->raw_type = std::to_string(content_type);
  message->text = row.ColumnText(kLineMessageText);
  if (message->text.empty()) message->text = SubstituteText(message->kind, metadata);
  int64_t seconds = 0;
  if (MillisecondsText(Lookup(metadata, "DURATION"), &seconds)) {
    message->has_duration = true;
    message->duration = seconds;
  }
  if (message->kind == ChatMessageKind::kLocation && row.ColumnType(kLineLatitude) != SQLITE_NULL) {
    message->has_location = true;
    message->latitude = row.ColumnDouble(kLineLatitude);
    message->longitude = row.ColumnDouble(kLineLongitude);
  }
  if (LineKindHasFile(message->kind)) LocateFile(context, message);
  message->deleted = context.deleted;
}

}  // namespace kx
