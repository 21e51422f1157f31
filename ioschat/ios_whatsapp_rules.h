// How the codes of WhatsApp's iOS store (ChatStorage.sqlite) read in the
// terms of the Android message store, so that one set of rules
// ("universal_type", send status, system texts) serves both platforms; and
// which paths from the store may be looked up in a backup.
#ifndef KX_IOSCHAT_IOS_WHATSAPP_RULES_H_
#define KX_IOSCHAT_IOS_WHATSAPP_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

namespace ios_whatsapp {
// ZWAMESSAGE.ZMESSAGETYPE values.
constexpr int64_t kText = 0;
constexpr int64_t kImage = 1;
constexpr int64_t kVideo = 2;
constexpr int64_t kAudio = 3;
constexpr int64_t kContact = 4;
constexpr int64_t kLocation = 5;
constexpr int64_t kGroupEvent = 6;
constexpr int64_t kLink = 7;
constexpr int64_t kDocument = 8;
constexpr int64_t kCall = 10;
constexpr int64_t kAnimatedGif = 11;
constexpr int64_t kRevoked = 14;
constexpr int64_t kSticker = 15;

// The Android type of an iOS type without one: no row of the
// "universal_type" table matches it, so such a message is reported as of
// unknown kind rather than as something it is not.
constexpr int64_t kUnknownAndroidType = -1;
}  // namespace ios_whatsapp

// The Android message type ("type") of an iOS ZMESSAGETYPE.
int64_t AndroidMessageType(int64_t ios_type);

// The Android action type of a group event (ZGROUPEVENTTYPE); 0 for an
// event without one, which reads as a system message of no named kind.
int64_t AndroidActionType(int64_t ios_group_event);

// Whether a path read from the store may be joined to a folder or looked up
// in a backup: not empty, no "..", no leading separator, no NUL, no colon.
bool IsSafeStorePath(std::string_view path);

// The last piece of a path ("" for a path ending in a separator).
std::string FileNameOfPath(const std::string& path);

}  // namespace kx

#endif  // KX_IOSCHAT_IOS_WHATSAPP_RULES_H_
