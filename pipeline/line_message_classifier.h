// How one row of LINE's chat_history becomes a message: its tab-separated
// parameters, its normalised type, its attachment paths, its plain content
// and its system information. Pure functions of the row, so that every rule
// can be tested without a database.
#ifndef KX_PIPELINE_LINE_MESSAGE_CLASSIFIER_H_
#define KX_PIPELINE_LINE_MESSAGE_CLASSIFIER_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kit/contact_names.h"
#include "pipeline/android_line_records.h"

namespace kx {

// Normalised message types. The numbers are part of the detail files.
namespace line_type {
constexpr int kUnclassified = -1;  // known LINE type whose marker parameter is missing
constexpr int kText = 0;
constexpr int kImage = 1;
constexpr int kVoice = 2;
constexpr int kVideo = 3;
constexpr int kFile = 4;
constexpr int kSticker = 6;
constexpr int kLocation = 7;
constexpr int kContactCard = 8;
constexpr int kVoiceCall = 9;
constexpr int kVideoCall = 10;
constexpr int kMemberInvited = 21;     // LOC_KEY C_MI, A_MC, A_MI
constexpr int kChatEvent = 50;         // LINE type 27
constexpr int kGroupInvitation = 51;   // LINE type 9, LOC_KEY C_GI
constexpr int kGroupNameChanged = 52;  // C_PN
constexpr int kMemberRemoved = 53;     // C_MR, A_MR
constexpr int kGroupEventBg = 54;      // C_BG
constexpr int kGroupEventSp = 55;      // C_SP
constexpr int kGroupEventSn = 56;      // C_SN
constexpr int kMemberLeft = 57;        // LINE type 3, C_ML, A_ML
constexpr int kFlex = 58;
constexpr int kSchedule = 59;
constexpr int kPost = 60;
constexpr int kAlbum = 61;
constexpr int kInvitationCancelled = 62;  // A_IC, C_IC
constexpr int kMemberJoined = 63;         // A_MJ, C_MJ
}  // namespace line_type

// The key/value pairs of a message's "parameter" column: pieces separated by
// tabs, read as key, value, key, value... A pair counts only when key and
// value are both non-empty, a repeated key keeps its first value, and a last
// piece without partner is ignored.
class LineParameters {
 public:
  static LineParameters Parse(const std::string& text);

  bool Has(const std::string& key) const;
  // "" when absent.
  const std::string& Get(const std::string& key) const;
  size_t size() const { return pairs_.size(); }

 private:
  void Add(std::string key, std::string value);

  // Few pairs per message: a flat list beats a hash map here.
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// The normalised type of a row (LINE type, attachement_type, parameters).
int ClassifyLineMessage(int line_type, int attachement_type, const LineParameters& parameters);

// Types 3 and 9 carry no server id of their own: an empty one becomes "_"
// followed by the decimal message id, so that each stays a distinct message.
std::string EffectiveServerId(int line_type, const std::string& server_id, int64_t message_id);

// "/sdcard/Android/data/jp.naver.line.android/files/chats/<chat id>/messages/"
std::string LineAttachmentFolder(const std::string& chat_id);

// Fills what the normalised type derives from the parameters: attachment
// paths, content, durations and sizes, subtopic, uri, download url and system
// information. `message->type`, `id` and the row's content must be set; the
// contact card file and the reply are the packager's.
void FillLineMessageDetails(const LineParameters& parameters, const std::string& chat_id,
                            const ContactNames& contact_names, LineMessage* message);

// System information of the member events (21, 51, 53, 62) and of the group
// name change (52), from "LOC_ARGS": every "u" after its first character
// starts a member mid of up to 33 characters (the search going on from the
// next character), and each mid with a contact name contributes that name.
std::string MemberEventSystemInfo(int type, const std::string& loc_args,
                                  const ContactNames& contact_names);
std::string GroupNameSystemInfo(const std::string& loc_args, const ContactNames& contact_names);
// System information of a voice (9) or video (10) call.
std::string CallSystemInfo(int type, const std::string& event_type, const std::string& result);

// Plain content of a post body ("HTML_CONTENT").
struct HtmlPostSummary {
  std::string title;  // text of the div of class Md2Ttl
  std::string text;   // the <p> paragraphs, one per line
  std::string link;   // the first href
};
HtmlPostSummary ReduceHtmlContent(const std::string& html);

// Plain content of a flex message ("FLEX_JSON").
struct FlexSummary {
  std::string text;  // the text components of the bodies, one per line
  std::string uri;   // the first action uri of the bodies
};
FlexSummary ReduceFlexJson(const std::string& flex_json);

}  // namespace kx

#endif  // KX_PIPELINE_LINE_MESSAGE_CLASSIFIER_H_
