// The conversion rules that both layouts of the WhatsApp message store share:
// jid kinds, "universal_type", "send_status", media paths, links and the
// names of system events. Pure functions of their arguments.
#ifndef KX_KIT_WHATSAPP_RULES_H_
#define KX_KIT_WHATSAPP_RULES_H_

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// Server parts of WhatsApp addresses. A group is "<creator>-<time>@g.us" (or
// "<number>@g.us" since communities), a person "<number>@s.whatsapp.net", a
// broadcast list "<time>@broadcast" (and the status feed
// "status@broadcast").
constexpr char kWhatsAppGroupJidSuffix[] = "@g.us";
constexpr char kWhatsAppUserJidSuffix[] = "@s.whatsapp.net";
constexpr char kWhatsAppBroadcastMarker[] = "@broadcast";

// Message type codes of the store and the side-file suffixes, the same in
// both layouts.
namespace whatsapp {
constexpr int64_t kTypeText = 0;
constexpr int64_t kTypeImage = 1;
constexpr int64_t kTypeVoiceNote = 2;
constexpr int64_t kTypeVideo = 3;
constexpr int64_t kTypeContact = 4;
constexpr int64_t kTypeLocation = 5;
constexpr int64_t kTypeSystem = 7;
constexpr int64_t kTypeDocument = 9;
constexpr int64_t kTypeAnimatedGif = 13;
constexpr int64_t kTypeContacts = 14;
constexpr int64_t kTypeSticker = 20;
constexpr int64_t kTypeViewOnceImage = 42;
constexpr int64_t kTypeViewOnceVideo = 43;

constexpr char kThumbnailSuffix[] = ".thumb";
constexpr char kVcardSuffix[] = ".vcf";
constexpr char kQuoteThumbnailSuffix[] = "_quote.thumb";
constexpr char kQuoteVcardSuffix[] = "_quote.vcf";

inline bool IsContactCard(int64_t type) { return type == kTypeContact || type == kTypeContacts; }
// Text, location and system messages have no media row to report.
inline bool HasMediaMembers(int64_t type) {
  return type != kTypeText && type != kTypeLocation && type != kTypeSystem;
}
}  // namespace whatsapp

constexpr int kSessionSingle = 0;
constexpr int kSessionGroup = 1;
constexpr int kSessionBroadcast = 2;

// 1 for a group jid, 2 for a broadcast list, otherwise 0.
int WhatsAppSessionType(const std::string& jid);
// The text before the first "@" (the whole jid when it has none).
std::string JidUserPart(const std::string& jid);

// A member read as a decimal integer: integers as they are, text by its
// leading decimal digits (with sign); absent, empty or other kinds read 0.
int64_t MemberAsInteger(const Json::Value& object, const char* name);

// "universal_type" of a pair without a row of the table.
constexpr uint32_t kUnknownUniversalType = 4294967295u;

struct UniversalTypeInput {
  int64_t message_type = 0;  // "type"
  int64_t action_type = 0;   // "size" of a text or system message
  bool has_setting_duration = false;
  int64_t setting_duration = 0;  // "setting_duration", when present
  int64_t view_once_state = 0;   // 0 when the message has no view-once row
};

struct UniversalType {
  uint32_t value = kUnknownUniversalType;
  bool remove_content = false;  // action 6 (group photo changed) carries no text
};

UniversalType ClassifyMessage(const UniversalTypeInput& input);

// Sets "universal_type" (unless the message has one) from its "type",
// "size" and "setting_duration" members; removes "content" where the table
// says so.
void SetUniversalType(int64_t view_once_state, Json::Value* message);

// The send status as the package reports it: 1 stays; 0 and 2 become 1 for
// a message of the owner's in a group whose type is not 0, 11 or 20, else 0;
// any other status becomes 0.
void NormaliseSendStatus(int session_type, Json::Value* message);

// The same rule on the values read as decimal integers: false when the
// member stays as it is (status 1), else true with the new value.
bool NormalisedSendStatus(int session_type, int64_t status, int64_t message_type,
                          int64_t is_from_me, uint64_t* normalised);

// Where the application keeps received and sent media, relative to its
// folder on the phone's storage.
struct MediaFolders {
  const char* storage_root;  // "/sdcard/WhatsApp/"
  const char* images;
  const char* voice_notes;
  const char* video;
  const char* documents;
  const char* animated_gifs;
};
const MediaFolders& WhatsAppMediaFolders();
const MediaFolders& WhatsAppBusinessMediaFolders();

// The media file's path below the application's storage folder, from the
// path the database keeps: kept as it is when it already names a
// "Media/WhatsApp..." folder (for the media types), else placed in the
// folder of its type ("Sent/" for the owner's own). "" when the type has no
// folder or the path is empty. The path is only ever reported.
std::string MediaRelativePath(int64_t message_type, bool from_me, const std::string& stored_path,
                              const MediaFolders& folders);

// Every word of `text` that begins "http://" or "https://", in order.
std::vector<std::string> FindUrlLinks(const std::string& text);
// The same, appended to `links`.
void AppendUrlLinks(std::string_view text, std::vector<std::string>* links);

// A short English description of a system event by its action type; null
// for actions without one.
const char* SystemEventText(int64_t action_type);

// Whether a row of the given type and action is a system message.
bool IsSystemMessage(int64_t message_type, int64_t action_type);

}  // namespace kx

#endif  // KX_KIT_WHATSAPP_RULES_H_
