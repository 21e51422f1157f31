#include "ioschat/viber_kinds.h"

namespace kx {

namespace {

struct NamedKind {
  const char* name;
  ChatMessageKind kind;
};

constexpr NamedKind kSystemTypes[] = {
    {"", ChatMessageKind::kText},
    {"url", ChatMessageKind::kLink},
    {"formatted", ChatMessageKind::kContactCard},
    {"customLocation", ChatMessageKind::kLocation},
    {"systemCallLog", ChatMessageKind::kCall},
};

constexpr NamedKind kAttachmentTypes[] = {
    {"picture", ChatMessageKind::kPicture}, {"gif", ChatMessageKind::kVideo},
    {"video", ChatMessageKind::kVideo},     {"audio", ChatMessageKind::kVoice},
    {"voice", ChatMessageKind::kVoice},     {"file", ChatMessageKind::kFile},
    {"sticker", ChatMessageKind::kSticker}, {"customLocation", ChatMessageKind::kLocation},
};

struct NamedFolder {
  const char* type;
  const char* folder;
};

// Viber keeps pictures and videos in one folder, files and voice messages
// in folders of their own.
constexpr NamedFolder kFolders[] = {
    {"picture", "Documents/Attachments/"}, {"gif", "Documents/Attachments/"},
    {"video", "Documents/Attachments/"},   {"file", "Documents/FileMessages/"},
    {"audio", "Documents/VoiceMessages/"}, {"voice", "Documents/VoiceMessages/"},
};

constexpr int64_t kChannelSubtype = 3;

}  // namespace

ChatMessageKind ViberMessageKind(const ViberKindInputs& inputs) {
  if (!inputs.call_type.empty()) return ChatMessageKind::kCall;
  for (const NamedKind& entry : kAttachmentTypes) {
    if (inputs.attachment_type == entry.name) return entry.kind;
  }
  if (inputs.has_location) return ChatMessageKind::kLocation;
  for (const NamedKind& entry : kSystemTypes) {
    if (inputs.system_type == entry.name) return entry.kind;
  }
  return ChatMessageKind::kSystem;
}

const char* ViberAttachmentFolder(const std::string& attachment_type) {
  for (const NamedFolder& entry : kFolders) {
    if (attachment_type == entry.type) return entry.folder;
  }
  return "";
}

ChatSessionKind ViberSessionKind(bool has_group_id, int64_t subtype) {
  if (subtype == kChannelSubtype) return ChatSessionKind::kOfficial;
  return has_group_id ? ChatSessionKind::kGroup : ChatSessionKind::kSingle;
}

}  // namespace kx
