#include "ioschat/viber_messages.h"

#include <cmath>

#include "common/json_util.h"
#include "ioschat/viber_kinds.h"
#include "ioschat/viber_store.h"

namespace kx {

const char kViberAppDomain[] = "AppDomain-com.viber";
const char kViberGroupDomain[] = "AppDomainGroup-group.viber.share.container";
const char kViberThumbnailFolder[] = "Documents/Thumbnails/";

namespace {

constexpr char kReceived[] = "received";

bool IsSafeName(const std::string& name) {
  if (name.empty()) return false;
  return name.find_first_of(std::string("/\\:\0", 4)) == std::string::npos &&
         name.find("..") == std::string::npos;
}

// The place of `relative` in the backup: in the domain the catalogue lists
// it under, or without a catalogue in Viber's own container; "" when the
// catalogue has it in neither.
std::string Placed(const ViberMedia& media, const std::string& relative) {
  if (relative.empty()) return std::string();
  if (media.catalogue == nullptr) {
    return ChatBackupFile(media.backup_root, media.has_sub_dir, kViberAppDomain, relative);
  }
  for (const char* domain : {kViberAppDomain, kViberGroupDomain}) {
    if (!media.catalogue->FileIdByPath(domain, relative).empty()) {
      return ChatBackupFile(media.backup_root, media.has_sub_dir, domain, relative);
    }
  }
  return std::string();
}

// The link a newer store keeps in a message's metadata; "" for anything
// else, damaged or hostile text included.
std::string MetadataUrl(const std::string& metadata) {
  if (metadata.empty()) return std::string();
  Json::Value value;
  std::string error;
  if (!ParseJson(metadata.c_str(), &value, &error) || !value.isObject()) return std::string();
  const Json::Value& url = value["url"];
  return url.isString() ? url.asString() : std::string();
}

std::string RawType(const ViberKindInputs& inputs) {
  std::string raw;
  for (const std::string* part :
       {&inputs.system_type, &inputs.attachment_type, &inputs.call_type}) {
    if (part->empty()) continue;
    if (!raw.empty()) raw += "/";
    raw += *part;
  }
  return raw;
}

void PlaceFiles(const ViberKindInputs& inputs, const std::string& name, const ViberMedia& media,
                ChatMessage* message) {
  const std::string relative = ViberFilePath(ViberAttachmentFolder(inputs.attachment_type), name);
  if (relative.empty()) return;
  message->media_path = relative;
  message->media_backup = Placed(media, relative);
  message->thumb_backup = Placed(media, ViberFilePath(media.thumbnail_folder, name));
}

}  // namespace

std::string ViberFilePath(const std::string& folder, const std::string& name) {
  if (folder.empty() || !IsSafeName(name)) return std::string();
  return folder + name;
}

void ReadViberMessage(const SqliteStatement& row, const ViberMedia& media, bool deleted,
                      ChatMessage* message) {
  message->Clear();
  message->message_id = row.ColumnText(kViberToken);
  if (message->message_id.empty()) message->message_id = row.ColumnText(kViberMessageKey);
  const std::string state = row.ColumnText(kViberState);
  message->is_from_me =
      state.empty() ? row.ColumnType(kViberSender) == SQLITE_NULL : state != kReceived;
  if (!message->is_from_me) {
    message->sender_id = row.ColumnText(kViberSenderId);
    message->sender_name = row.ColumnText(kViberSenderName);
  }
  if (row.ColumnType(kViberDate) != SQLITE_NULL) {
    message->has_send_date = true;
    message->send_date = CoreDataSecondsToMillis(row.ColumnDouble(kViberDate));
  }
  ViberKindInputs inputs;
  inputs.system_type = row.ColumnText(kViberSystemType);
  inputs.attachment_type = row.ColumnText(kViberAttachmentType);
  inputs.call_type = row.ColumnText(kViberCallType);
  inputs.has_location = row.ColumnType(kViberLocationKey) != SQLITE_NULL;
  message->kind = ViberMessageKind(inputs);
  message->raw_type = RawType(inputs);
  message->text = row.ColumnText(kViberText);
  const std::string name = row.ColumnText(kViberAttachmentName);
  if (message->text.empty() && message->kind == ChatMessageKind::kFile) message->text = name;
  if (message->kind == ChatMessageKind::kLink)
    message->url = MetadataUrl(row.ColumnText(kViberMetadata));
  if (row.ColumnType(kViberAttachmentDuration) != SQLITE_NULL) {
    const double seconds = row.ColumnDouble(kViberAttachmentDuration);
    if (std::isfinite(seconds) && std::fabs(seconds) < 9.0e15) {
      message->has_duration = true;
      message->duration = static_cast<int64_t>(std::llround(seconds));
    }
  }
  if (inputs.has_location && row.ColumnType(kViberLatitude) != SQLITE_NULL) {
    message->has_location = true;
    message->latitude = row.ColumnDouble(kViberLatitude);
    message->longitude = row.ColumnDouble(kViberLongitude);
    if (message->text.empty()) message->text = row.ColumnText(kViberAddress);
  }
  PlaceFiles(inputs, name, media, message);
  message->deleted = deleted || row.ColumnInt64(kViberBeingDeleted) != 0;
}

void ReadViberCall(const SqliteStatement& row, ChatMessage* message) {
  message->Clear();
  // Its own prefix: the recents' keys are not message tokens.
  message->message_id = "call:" + row.ColumnText(kViberCallKey);
  message->kind = ChatMessageKind::kCall;
  message->raw_type = row.ColumnText(kViberCallKind);
  message->is_from_me = message->raw_type.rfind("outgoing", 0) == 0;
  const std::string number = row.ColumnText(kViberCallNumber);
  if (message->is_from_me) {
    message->text = number;
  } else {
    message->sender_id = number;
  }
  if (row.ColumnType(kViberCallDate) != SQLITE_NULL) {
    message->has_send_date = true;
    message->send_date = CoreDataSecondsToMillis(row.ColumnDouble(kViberCallDate));
  }
  if (row.ColumnType(kViberCallDuration) != SQLITE_NULL) {
    const double seconds = row.ColumnDouble(kViberCallDuration);
    if (std::isfinite(seconds) && std::fabs(seconds) < 9.0e15) {
      message->has_duration = true;
      message->duration = static_cast<int64_t>(std::llround(seconds));
    }
  }
}

}  // namespace kx
