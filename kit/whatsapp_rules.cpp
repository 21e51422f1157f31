#include "kit/whatsapp_rules.h"

#include <cctype>
#include <cstdlib>

namespace kx {

namespace {

struct CodeMapping {
  int64_t code;
  uint32_t universal_type;
};

// Text (type 0) and system (type 7) messages are told apart by their
// action type. Action 56 (disappearing messages switched) depends on the
// setting and is decided in ClassifyMessage.
constexpr CodeMapping kActionUniversalTypes[] = {
    {0, 0},   {1, 20},  {4, 26},  {5, 23},  {13, 23}, {6, 29},  {9, 24},  {10, 38},
    {11, 25}, {12, 21}, {14, 32}, {15, 34}, {16, 35}, {19, 40}, {20, 36}, {27, 28},
    {28, 37}, {29, 43}, {30, 44}, {31, 45}, {32, 46}, {46, 41}, {47, 39}, {76, 76},
    {77, 67}, {78, 75}, {81, 68}, {87, 69}, {90, 70}, {93, 71}, {95, 72},
};
constexpr int64_t kActionGroupPhotoChanged = 6;
constexpr int64_t kActionEphemeralSetting = 56;
constexpr uint32_t kEphemeralSwitchedOn = 47;
constexpr uint32_t kEphemeralSwitchedOff = 48;

// Every other message type, whatever its action.
constexpr CodeMapping kTypeUniversalTypes[] = {
    {1, 1}, {2, 2},   {3, 3},   {13, 3},  {4, 8},  {14, 8},  {5, 7},
    {9, 4}, {11, 42}, {15, 31}, {16, 33}, {20, 6}, {31, 43}, {32, 44},
};
using whatsapp::kTypeViewOnceImage;
using whatsapp::kTypeViewOnceVideo;
constexpr uint32_t kViewOnceOpened = 66;
constexpr uint32_t kViewOnceImage = 64;
constexpr uint32_t kViewOnceVideo = 65;

using whatsapp::kTypeSystem;
using whatsapp::kTypeText;

bool IsTextOrSystem(int64_t message_type) {
  return message_type == kTypeText || message_type == kTypeSystem;
}

template <size_t N>
uint32_t LookUp(const CodeMapping (&table)[N], int64_t code) {
  for (const CodeMapping& mapping : table) {
    if (mapping.code == code) return mapping.universal_type;
  }
  return kUnknownUniversalType;
}

// Types whose media sit in a folder of their own.
using whatsapp::kTypeAnimatedGif;
using whatsapp::kTypeDocument;
using whatsapp::kTypeImage;
using whatsapp::kTypeSticker;
using whatsapp::kTypeVideo;
using whatsapp::kTypeVoiceNote;
constexpr char kMediaFolderMarker[] = "Media/WhatsApp";
constexpr char kSentFolder[] = "Sent/";

const char* MediaFolderOfType(int64_t message_type, const MediaFolders& folders) {
  switch (message_type) {
    case kTypeImage:
      return folders.images;
    case kTypeVoiceNote:
      return folders.voice_notes;
    case kTypeVideo:
      return folders.video;
    case kTypeDocument:
      return folders.documents;
    case kTypeAnimatedGif:
      return folders.animated_gifs;
    default:
      return nullptr;
  }
}

bool KeepsStoredMediaPath(int64_t message_type) {
  return message_type == kTypeImage || message_type == kTypeVoiceNote ||
         message_type == kTypeVideo || message_type == kTypeDocument ||
         message_type == kTypeAnimatedGif || message_type == kTypeSticker;
}

struct SystemEvent {
  int64_t action_type;
  const char* text;
};

// The events whose meaning is known well enough to name.
constexpr SystemEvent kSystemEvents[] = {
    {1, "changed the group subject"},
    {4, "added a participant"},
    {5, "left the group"},
    {6, "changed the group photo"},
    {7, "removed you"},
    {9, "created the broadcast list"},
    {10, "changed the phone number"},
    {11, "created the group"},
    {12, "added a participant"},
    {13, "left the group"},
    {14, "removed a participant"},
    {15, "made you an admin"},
    {16, "removed you as an admin"},
    {18, "the security code changed"},
    {19, "messages are end-to-end encrypted"},
    {20, "joined using an invite link"},
    {27, "changed the group description"},
    {28, "changed the phone number"},
    {56, "changed the disappearing messages setting"},
    {57, "linked devices changed"},
    {58, "blocked or unblocked the contact"},
    {67, "messages are end-to-end encrypted"},
    {69, "business account notice"},
    {70, "started a group call"},
    {79, "joined from the community"},
    {87, "linked the group to a community"},
};

}  // namespace

int WhatsAppSessionType(const std::string& jid) {
  if (jid.find(kWhatsAppGroupJidSuffix) != std::string::npos) return kSessionGroup;
  if (jid.find(kWhatsAppBroadcastMarker) != std::string::npos) return kSessionBroadcast;
  return kSessionSingle;
}

std::string JidUserPart(const std::string& jid) { return jid.substr(0, jid.find('@')); }

int64_t MemberAsInteger(const Json::Value& object, const char* name) {
  if (!object.isObject()) return 0;
  const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
  if (member == nullptr) return 0;
  if (member->isInt64()) return member->asInt64();
  if (member->isUInt64()) return static_cast<int64_t>(member->asUInt64());
  if (member->isString()) {
    const std::string text = member->asString();
    // strtoll: leading blanks and sign, decimal digits, saturating; no digit reads 0.
    return std::strtoll(text.c_str(), nullptr, 10);
  }
  return 0;
}

UniversalType ClassifyMessage(const UniversalTypeInput& input) {
  UniversalType result;
  if (IsTextOrSystem(input.message_type)) {
    if (input.action_type == kActionEphemeralSetting) {
      if (input.has_setting_duration) {
        result.value = input.setting_duration != 0 ? kEphemeralSwitchedOn : kEphemeralSwitchedOff;
      }
      return result;
    }
    result.value = LookUp(kActionUniversalTypes, input.action_type);
    result.remove_content = input.action_type == kActionGroupPhotoChanged;
    return result;
  }
  if (input.message_type == kTypeViewOnceImage || input.message_type == kTypeViewOnceVideo) {
    if (input.view_once_state != 0) {
      result.value = kViewOnceOpened;
    } else {
      result.value = input.message_type == kTypeViewOnceImage ? kViewOnceImage : kViewOnceVideo;
    }
    return result;
  }
  result.value = LookUp(kTypeUniversalTypes, input.message_type);
  return result;
}

void SetUniversalType(int64_t view_once_state, Json::Value* message) {
  if (message->isMember("universal_type")) return;
  UniversalTypeInput input;
  input.message_type = MemberAsInteger(*message, "type");
  input.action_type = MemberAsInteger(*message, "size");
  input.has_setting_duration = message->isMember("setting_duration");
  input.setting_duration = MemberAsInteger(*message, "setting_duration");
  input.view_once_state = view_once_state;
  const UniversalType type = ClassifyMessage(input);
  (*message)["universal_type"] = Json::UInt64(type.value);
  if (type.remove_content) message->removeMember("content");
}

void NormaliseSendStatus(int session_type, Json::Value* message) {
  uint64_t normalised = 0;
  if (NormalisedSendStatus(session_type, MemberAsInteger(*message, "send_status"),
                           MemberAsInteger(*message, "type"),
                           MemberAsInteger(*message, "is_from_me"), &normalised)) {
    (*message)["send_status"] = Json::UInt64(normalised);
  }
}

bool NormalisedSendStatus(int session_type, int64_t status, int64_t message_type,
                          int64_t is_from_me, uint64_t* normalised) {
  if (status == 1) return false;
  if (status != 0 && status != 2) {
    *normalised = 0;
    return true;
  }
  // Type 11 has no name of its own in the store; like text and stickers it
  // is never marked as sent into the group.
  constexpr int64_t kTypeNeverSentIntoGroup = 11;
  const bool sent_into_group =
      session_type == kSessionGroup && is_from_me == 1 && message_type != kTypeText &&
      message_type != kTypeNeverSentIntoGroup && message_type != kTypeSticker;
  *normalised = sent_into_group ? 1 : 0;
  return true;
}

const MediaFolders& WhatsAppMediaFolders() {
  static const MediaFolders folders = {
      "/sdcard/WhatsApp/",     "Media/WhatsApp Images/",    "Media/WhatsApp Voice Notes/",
      "Media/WhatsApp Video/", "Media/WhatsApp Documents/", "Media/WhatsApp Animated Gifs/",
  };
  return folders;
}

const MediaFolders& WhatsAppBusinessMediaFolders() {
  static const MediaFolders folders = {
      "/sdcard/WhatsApp Business/",           "Media/WhatsApp Business Images/",
      "Media/WhatsApp Business Voice Notes/", "Media/WhatsApp Business Video/",
      "Media/WhatsApp Business Documents/",   "Media/WhatsApp Business Animated Gifs/",
  };
  return folders;
}

std::string MediaRelativePath(int64_t message_type, bool from_me, const std::string& stored_path,
                              const MediaFolders& folders) {
  if (stored_path.empty()) return std::string();
  if (stored_path.find(kMediaFolderMarker) != std::string::npos) {
    return KeepsStoredMediaPath(message_type) ? stored_path : std::string();
  }
  const char* folder = MediaFolderOfType(message_type, folders);
  if (folder == nullptr) return std::string();
  return std::string(folder) + (from_me ? kSentFolder : "") + stored_path;
}

std::vector<std::string> FindUrlLinks(const std::string& text) {
  std::vector<std::string> links;
  AppendUrlLinks(text, &links);
  return links;
}

void AppendUrlLinks(std::string_view text, std::vector<std::string>* links) {
  size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && std::isspace(static_cast<unsigned char>(text[position]))) {
      ++position;
    }
    size_t end = position;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    const std::string_view word = text.substr(position, end - position);
    if (word.substr(0, 7) == "http://" || word.substr(0, 8) == "https://") {
      links->emplace_back(word);
    }
    position = end;
  }
}

const char* SystemEventText(int64_t action_type) {
  for (const SystemEvent& event : kSystemEvents) {
    if (event.action_type == action_type) return event.text;
  }
  return nullptr;
}

bool IsSystemMessage(int64_t message_type, int64_t action_type) {
  return message_type == kTypeSystem || (message_type == kTypeText && action_type != 0);
}

}  // namespace kx
