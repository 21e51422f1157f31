#include "ioschat/ios_whatsapp_rules.h"

#include <iterator>

#include "kit/whatsapp_rules.h"

namespace kx {

namespace {

struct CodePair {
  int64_t ios;
  int64_t android;
};

// Media kinds that the two platforms both have. A link preview is a text
// message on Android; a revoked ("deleted for everyone") message is its
// type 15. Calls (10) and the kinds newer versions added (polls, events,
// channels) have no Android message type in the rules and are reported as
// unknown.
constexpr CodePair kMessageTypes[] = {
    {ios_whatsapp::kText, whatsapp::kTypeText},
    {ios_whatsapp::kImage, whatsapp::kTypeImage},
    {ios_whatsapp::kVideo, whatsapp::kTypeVideo},
    {ios_whatsapp::kAudio, whatsapp::kTypeVoiceNote},
    {ios_whatsapp::kContact, whatsapp::kTypeContact},
    {ios_whatsapp::kLocation, whatsapp::kTypeLocation},
    {ios_whatsapp::kGroupEvent, whatsapp::kTypeSystem},
    {ios_whatsapp::kLink, whatsapp::kTypeText},
    {ios_whatsapp::kDocument, whatsapp::kTypeDocument},
    {ios_whatsapp::kAnimatedGif, whatsapp::kTypeAnimatedGif},
    {ios_whatsapp::kRevoked, 15},
    {ios_whatsapp::kSticker, whatsapp::kTypeSticker},
};

// Group events whose Android action is known; the others read as action 0.
constexpr CodePair kGroupEvents[] = {
    {1, 1},    // subject changed
    {2, 12},   // participant added
    {3, 5},    // participant left
    {4, 6},    // group photo changed
    {5, 6},    // group photo removed
    {7, 14},   // participant removed
    {10, 10},  // number changed
    {11, 11},  // group created
    {12, 15},  // made admin
    {13, 16},  // admin rights removed
    {17, 20},  // joined through an invite link
    {18, 27},  // description changed
    {22, 56},  // disappearing messages setting changed
};

int64_t Find(const CodePair* begin, const CodePair* end, int64_t ios, int64_t absent) {
  for (const CodePair* pair = begin; pair != end; ++pair) {
    if (pair->ios == ios) return pair->android;
  }
  return absent;
}

}  // namespace

int64_t AndroidMessageType(int64_t ios_type) {
  return Find(std::begin(kMessageTypes), std::end(kMessageTypes), ios_type,
              ios_whatsapp::kUnknownAndroidType);
}

int64_t AndroidActionType(int64_t ios_group_event) {
  return Find(std::begin(kGroupEvents), std::end(kGroupEvents), ios_group_event, 0);
}

bool IsSafeStorePath(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.front() == '\\') return false;
  if (path.find('\0') != std::string_view::npos || path.find(':') != std::string_view::npos) {
    return false;
  }
  return path.find("..") == std::string_view::npos;
}

std::string FileNameOfPath(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace kx
