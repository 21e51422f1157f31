#include "ioschat/line_kinds.h"

namespace kx {

namespace {

struct ContentKind {
  int64_t content_type;
  ChatMessageKind kind;
};

// LINE's content types. The service shares them between its clients, so
// the Android store's attachment types read the same.
constexpr ContentKind kContentKinds[] = {
    {0, ChatMessageKind::kText},          // NONE: a plain message
    {1, ChatMessageKind::kPicture},       // IMAGE
    {2, ChatMessageKind::kVideo},         // VIDEO
    {3, ChatMessageKind::kVoice},         // AUDIO
    {4, ChatMessageKind::kLink},          // HTML (a post shared)
    {5, ChatMessageKind::kFile},          // PDF
    {6, ChatMessageKind::kCall},          // CALL
    {7, ChatMessageKind::kSticker},       // STICKER
    {8, ChatMessageKind::kSystem},        // PRESENCE
    {9, ChatMessageKind::kOther},         // GIFT
    {10, ChatMessageKind::kLink},         // GROUPBOARD (a note of the group)
    {11, ChatMessageKind::kLink},         // APPLINK
    {12, ChatMessageKind::kLink},         // LINK
    {13, ChatMessageKind::kContactCard},  // CONTACT
    {14, ChatMessageKind::kFile},         // FILE
    {15, ChatMessageKind::kLocation},     // LOCATION
    {16, ChatMessageKind::kLink},         // POSTNOTIFICATION
    {17, ChatMessageKind::kOther},        // RICH
    {18, ChatMessageKind::kSystem},       // CHATEVENT
    {19, ChatMessageKind::kLink},         // MUSIC
    {20, ChatMessageKind::kOther},        // PAYMENT
    {21, ChatMessageKind::kPicture},      // EXTIMAGE
    {22, ChatMessageKind::kOther},        // FLEX
};

}  // namespace

ChatMessageKind LineMessageKind(int64_t content_type, const LineMetadata& metadata) {
  if (metadata.count("LOC_KEY") != 0) return ChatMessageKind::kSystem;
  for (const ContentKind& entry : kContentKinds) {
    if (entry.content_type == content_type) return entry.kind;
  }
  return ChatMessageKind::kOther;
}

bool LineKindHasFile(ChatMessageKind kind) {
  return kind == ChatMessageKind::kPicture || kind == ChatMessageKind::kVideo ||
         kind == ChatMessageKind::kVoice || kind == ChatMessageKind::kFile;
}

}  // namespace kx
