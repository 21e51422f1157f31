#include "pipeline/line_message_classifier.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unordered_set>

#include "common/json_util.h"
#include "common/log.h"
#include "common/text.h"

namespace kx {

namespace {

constexpr char kAttachmentFolderRoot[] = "/sdcard/Android/data/jp.naver.line.android/files/chats/";

// A member mid is "u" followed by 32 hex digits.
constexpr size_t kMemberMidLength = 33;
// LOC_ARGS separates its arguments with the record separator.
constexpr char kLocArgsSeparator = '\x1e';

// How the system information reads. Member events: "<event>: <names>", the
// names joined with "," in the order LOC_ARGS lists them (each name once);
// without a known name the event alone.
constexpr char kMemberInvitedText[] = "Member invited";
constexpr char kGroupInvitationText[] = "Group invitation";
constexpr char kMemberRemovedText[] = "Member removed";
constexpr char kInvitationCancelledText[] = "Invitation cancelled";
// Group name change: "Group name changed[ by <actor>][: <new name>]".
constexpr char kGroupNameChangedText[] = "Group name changed";
// Calls: "<Voice|Video> call[ <event>][, <result>]". The call result NORMAL
// (and the informational INFO) adds nothing; an unknown event or result
// code is shown as stored.
constexpr char kVoiceCallText[] = "Voice call";
constexpr char kVideoCallText[] = "Video call";

struct CodeText {
  const char* code;
  const char* text;
};

constexpr CodeText kCallEvents[] = {
    {"S", "started"},
    {"E", "ended"},
    {"I", "invitation"},
};

constexpr CodeText kCallResults[] = {
    {"NORMAL", ""},
    {"INFO", ""},
    {"NO_RESPONSE", "no answer"},
    {"CANCELED", "cancelled"},
    {"REJECTED", "declined"},
    {"BUSY", "busy"},
};

std::string LookUpCode(const CodeText* table, size_t size, const std::string& code) {
  for (size_t i = 0; i < size; ++i) {
    if (code == table[i].code) return table[i].text;
  }
  return code;
}

struct LocKeyType {
  const char* loc_key;
  int type;
};

constexpr LocKeyType kLocKeyTypes[] = {
    {"C_MI", line_type::kMemberInvited},       {"A_MC", line_type::kMemberInvited},
    {"A_MI", line_type::kMemberInvited},       {"C_GI", line_type::kGroupInvitation},
    {"C_PN", line_type::kGroupNameChanged},    {"C_MR", line_type::kMemberRemoved},
    {"A_MR", line_type::kMemberRemoved},       {"C_BG", line_type::kGroupEventBg},
    {"C_SP", line_type::kGroupEventSp},        {"C_SN", line_type::kGroupEventSn},
    {"C_ML", line_type::kMemberLeft},          {"A_ML", line_type::kMemberLeft},
    {"A_IC", line_type::kInvitationCancelled}, {"C_IC", line_type::kInvitationCancelled},
    {"A_MJ", line_type::kMemberJoined},        {"C_MJ", line_type::kMemberJoined},
};

// attachement_type of LINE type 1 -> normalised type.
struct AttachmentType {
  int attachement_type;
  int type;
};

constexpr AttachmentType kType1Attachments[] = {
    {1, line_type::kImage},     {2, line_type::kVideo},        {3, line_type::kVoice},
    {4, line_type::kPost},      {13, line_type::kContactCard}, {14, line_type::kFile},
    {15, line_type::kLocation},
};
constexpr int kFlexAttachment = 22;
constexpr int kAlbumAttachment = 16;
constexpr int kCallAttachment = 6;
constexpr int kStickerAttachment = 7;

int ClassifyLocKey(const LineParameters& parameters) {
  if (!parameters.Has("LOC_KEY")) return line_type::kUnclassified;
  const std::string& loc_key = parameters.Get("LOC_KEY");
  for (const LocKeyType& entry : kLocKeyTypes) {
    if (loc_key == entry.loc_key) return entry.type;
  }
  return line_type::kText;
}

int ClassifyType1(int attachement_type, const LineParameters& parameters) {
  for (const AttachmentType& entry : kType1Attachments) {
    if (attachement_type == entry.attachement_type) return entry.type;
  }
  if (attachement_type != kFlexAttachment) return line_type::kText;
  if (!parameters.Has("INDEXABLE_TEXT")) return line_type::kUnclassified;
  return parameters.Get("INDEXABLE_TEXT").find("Schedule") != std::string::npos
             ? line_type::kSchedule
             : line_type::kFlex;
}

int ClassifyCall(int attachement_type, const LineParameters& parameters) {
  if (attachement_type != kCallAttachment) return line_type::kText;
  const bool audio = parameters.Get("TYPE").find('A') != std::string::npos ||
                     parameters.Get("GC_MEDIA_TYPE").find("AUDIO") != std::string::npos;
  return audio ? line_type::kVoiceCall : line_type::kVideoCall;
}

// The leading decimal integer of a text; 0 when there is none. Never throws.
int64_t LeadingInteger(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE) return 0;
  return value;
}

void SetIfPresent(const std::string& value, std::string* field) {
  if (!value.empty()) *field = value;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool LooksLikeMemberMid(const std::string& text) {
  if (text.size() != kMemberMidLength || text[0] != 'u') return false;
  for (size_t i = 1; i < text.size(); ++i) {
    if (!IsHexDigit(text[i])) return false;
  }
  return true;
}

// Names of the member mids of LOC_ARGS that the contact map knows, each once,
// in the order found. Memory stays bounded by the contact map, whatever the
// text holds.
std::string LocArgsMemberNames(const std::string& loc_args, const ContactNames& contact_names) {
  std::string names;
  std::unordered_set<std::string> seen;
  for (size_t pos = loc_args.find('u', 1); pos != std::string::npos;
       pos = loc_args.find('u', pos + 1)) {
    const auto found = contact_names.find(loc_args.substr(pos, kMemberMidLength));
    if (found == contact_names.end() || found->second.empty()) continue;
    if (!seen.insert(found->first).second) continue;
    if (!names.empty()) names += ',';
    names += found->second;
  }
  return names;
}

std::string WithDetail(const char* label, const std::string& detail) {
  return detail.empty() ? std::string(label) : std::string(label) + ": " + detail;
}

const char* MemberEventLabel(int type) {
  switch (type) {
    case line_type::kMemberInvited:
      return kMemberInvitedText;
    case line_type::kGroupInvitation:
      return kGroupInvitationText;
    case line_type::kMemberRemoved:
      return kMemberRemovedText;
    case line_type::kInvitationCancelled:
      return kInvitationCancelledText;
    default:
      return "";
  }
}

std::string TrimSpace(const std::string& text) {
  const char* const kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

// The few entities a post body uses; any other "&...;" stays as written.
std::string DecodeBasicEntities(const std::string& text) {
  static const CodeText kEntities[] = {{"&amp;", "&"},   {"&lt;", "<"},  {"&gt;", ">"},
                                       {"&quot;", "\""}, {"&#39;", "'"}, {"&apos;", "'"},
                                       {"&nbsp;", " "}};
  std::string decoded;
  decoded.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    bool replaced = false;
    if (text[pos] == '&') {
      for (const CodeText& entity : kEntities) {
        const size_t length = std::strlen(entity.code);
        if (text.compare(pos, length, entity.code) == 0) {
          decoded += entity.text;
          pos += length;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) decoded += text[pos++];
  }
  return decoded;
}

// Plain text of an HTML fragment. A "<" left after the tags are gone opens a
// tag that never closes (text writes "&lt;"): the rest is markup, not text.
std::string HtmlToText(const std::string& fragment) {
  std::string text = StripHtmlTags(fragment);
  const size_t open_tag = text.find('<');
  if (open_tag != std::string::npos) text.resize(open_tag);
  return TrimSpace(DecodeBasicEntities(text));
}

// The text from `start` up to `end_tag` (or the end of an unterminated text),
// and where reading may go on.
std::string TextUpTo(const std::string& html, size_t start, const char* end_tag, size_t* next) {
  const size_t end = html.find(end_tag, start);
  if (end == std::string::npos) {
    *next = html.size();
    return html.substr(start);
  }
  *next = end + std::strlen(end_tag);
  return html.substr(start, end - start);
}

std::string HtmlParagraphs(const std::string& html) {
  std::string text;
  size_t pos = 0;
  for (size_t open = html.find("<p>"); open != std::string::npos; open = html.find("<p>", pos)) {
    const std::string paragraph = HtmlToText(TextUpTo(html, open + 3, "</p>", &pos));
    if (paragraph.empty()) continue;
    if (!text.empty()) text += '\n';
    text += paragraph;
  }
  return text;
}

std::string HtmlTitle(const std::string& html) {
  const size_t marker = html.find("Md2Ttl");
  if (marker == std::string::npos) return std::string();
  const size_t tag_end = html.find('>', marker);
  if (tag_end == std::string::npos) return std::string();
  size_t next = 0;
  return HtmlToText(TextUpTo(html, tag_end + 1, "</div>", &next));
}

std::string HtmlLink(const std::string& html) {
  const size_t marker = html.find("href=");
  if (marker == std::string::npos) return std::string();
  size_t start = marker + 5;
  if (start >= html.size()) return std::string();
  const char quote = html[start];
  size_t end;
  if (quote == '"' || quote == '\'') {
    ++start;
    end = html.find(quote, start);
  } else {
    end = html.find_first_of(" \t\r\n>", start);
  }
  return DecodeBasicEntities(html.substr(start, end == std::string::npos ? end : end - start));
}

// Depth-first over a flex component and its "contents": texts in order, and
// the first action uri.
void CollectFlexComponent(const Json::Value& component, FlexSummary* summary) {
  if (!component.isObject()) return;
  const Json::Value& text = component["text"];
  if (text.isString() && !text.asString().empty()) {
    if (!summary->text.empty()) summary->text += '\n';
    summary->text += text.asString();
  }
  const Json::Value& action = component["action"];
  if (summary->uri.empty() && action.isObject() && action["uri"].isString()) {
    summary->uri = action["uri"].asString();
  }
  const Json::Value& contents = component["contents"];
  if (!contents.isArray()) return;
  for (const Json::Value& child : contents) CollectFlexComponent(child, summary);
}

void CollectFlexBubble(const Json::Value& bubble, FlexSummary* summary) {
  if (bubble.isObject()) CollectFlexComponent(bubble["body"], summary);
}

}  // namespace

// ---------------------------------------------------------------------------
// Parameters

LineParameters LineParameters::Parse(const std::string& text) {
  LineParameters parameters;
  try {
    size_t start = 0;
    while (start <= text.size()) {
      const size_t key_end = text.find('\t', start);
      if (key_end == std::string::npos) break;  // a last piece without partner
      const size_t value_end = text.find('\t', key_end + 1);
      const size_t value_length =
          (value_end == std::string::npos ? text.size() : value_end) - key_end - 1;
      parameters.Add(text.substr(start, key_end - start), text.substr(key_end + 1, value_length));
      if (value_end == std::string::npos) break;
      start = value_end + 1;
    }
  } catch (const std::exception&) {
    const int error_number = errno;
    KX_LOG(kLogError, "parameter parser error!!!:{%s}", std::strerror(error_number));
  }
  return parameters;
}

void LineParameters::Add(std::string key, std::string value) {
  if (key.empty() || value.empty() || Has(key)) return;
  pairs_.emplace_back(std::move(key), std::move(value));
}

bool LineParameters::Has(const std::string& key) const {
  for (const auto& pair : pairs_) {
    if (pair.first == key) return true;
  }
  return false;
}

const std::string& LineParameters::Get(const std::string& key) const {
  static const std::string kEmpty;
  for (const auto& pair : pairs_) {
    if (pair.first == key) return pair.second;
  }
  return kEmpty;
}

// ---------------------------------------------------------------------------
// Classification

int ClassifyLineMessage(int line_type, int attachement_type, const LineParameters& parameters) {
  if (line_type > 27) return line_type::kText;
  switch (line_type) {
    case 0:
    case 8:
      return attachement_type == kAlbumAttachment ? line_type::kAlbum : line_type::kText;
    case 1:
      return ClassifyType1(attachement_type, parameters);
    case 3:
      return line_type::kMemberLeft;
    case 4:
      return ClassifyCall(attachement_type, parameters);
    case 5:
      return attachement_type == kStickerAttachment ? line_type::kSticker : line_type::kText;
    case 9:
      return line_type::kGroupInvitation;
    case 13:
      return ClassifyLocKey(parameters);
    case 27:
      return line_type::kChatEvent;
    default:
      return line_type::kText;
  }
}

std::string EffectiveServerId(int line_type, const std::string& server_id, int64_t message_id) {
  if ((line_type == 3 || line_type == 9) && server_id.empty()) {
    return "_" + std::to_string(message_id);
  }
  return server_id;
}

std::string LineAttachmentFolder(const std::string& chat_id) {
  return std::string(kAttachmentFolderRoot) + chat_id + "/messages/";
}

// ---------------------------------------------------------------------------
// System information and plain content

std::string MemberEventSystemInfo(int type, const std::string& loc_args,
                                  const ContactNames& contact_names) {
  return WithDetail(MemberEventLabel(type), LocArgsMemberNames(loc_args, contact_names));
}

std::string GroupNameSystemInfo(const std::string& loc_args, const ContactNames& contact_names) {
  // LOC_ARGS of a name change: the actor's mid, then the new name.
  std::string actor;
  std::string new_name;
  const std::vector<std::string> pieces = SplitString(loc_args, kLocArgsSeparator);
  for (const std::string& piece : pieces) {
    if (!LooksLikeMemberMid(piece)) {
      new_name = piece;
    } else if (actor.empty()) {
      const auto found = contact_names.find(piece);
      if (found != contact_names.end()) actor = found->second;
    }
  }
  std::string label = kGroupNameChangedText;
  if (!actor.empty()) label += " by " + actor;
  return WithDetail(label.c_str(), new_name);
}

std::string CallSystemInfo(int type, const std::string& event_type, const std::string& result) {
  std::string text = type == line_type::kVideoCall ? kVideoCallText : kVoiceCallText;
  const std::string event =
      LookUpCode(kCallEvents, sizeof(kCallEvents) / sizeof(kCallEvents[0]), event_type);
  if (!event.empty()) text += " " + event;
  const std::string outcome =
      LookUpCode(kCallResults, sizeof(kCallResults) / sizeof(kCallResults[0]), result);
  if (!outcome.empty()) text += ", " + outcome;
  return text;
}

HtmlPostSummary ReduceHtmlContent(const std::string& html) {
  HtmlPostSummary summary;
  summary.title = HtmlTitle(html);
  summary.text = HtmlParagraphs(html);
  summary.link = HtmlLink(html);
  return summary;
}

FlexSummary ReduceFlexJson(const std::string& flex_json) {
  FlexSummary summary;
  Json::Value root;
  std::string error;
  if (!ParseJson(flex_json.c_str(), &root, &error) || !root.isObject()) return summary;
  try {
    const Json::Value& contents = root["contents"];
    if (root["type"].asString() == "carousel" && contents.isArray()) {
      for (const Json::Value& bubble : contents) CollectFlexBubble(bubble, &summary);
    } else {
      CollectFlexBubble(root, &summary);
    }
  } catch (const std::exception&) {
    // A member of an unexpected kind ("type": 5): keep what was read.
  }
  return summary;
}

// ---------------------------------------------------------------------------
// Per-type details

void FillLineMessageDetails(const LineParameters& parameters, const std::string& chat_id,
                            const ContactNames& contact_names, LineMessage* message) {
  // Only the attachment types name a path: the others build none.
  const bool has_path = message->type == line_type::kImage || message->type == line_type::kVoice ||
                        message->type == line_type::kVideo;
  const std::string folder = has_path ? LineAttachmentFolder(chat_id) : std::string();
  const std::string id = has_path ? std::to_string(message->id) : std::string();
  switch (message->type) {
    case line_type::kImage:
      message->attachment_path = folder + id;
      message->thumb_path = folder + id + ".thumb";
      SetIfPresent(parameters.Get("AGENT_NAME"), &message->content);
      SetIfPresent(parameters.Get("DOWNLOAD_URL"), &message->download_url);
      break;
    case line_type::kVoice:
      message->duration = static_cast<double>(LeadingInteger(parameters.Get("DURATION")));
      message->attachment_path = folder + "voice_" + id + ".aac";
      break;
    case line_type::kVideo:
      message->duration = static_cast<double>(LeadingInteger(parameters.Get("DURATION")));
      message->thumb_path = folder + id + ".thumb";
      break;
    case line_type::kFile:
      SetIfPresent(parameters.Get("FILE_NAME"), &message->content);
      message->file_size = static_cast<double>(LeadingInteger(parameters.Get("FILE_SIZE")));
      break;
    case line_type::kLocation:
      // The place's title, as the sender picked it.
      SetIfPresent(parameters.Get("TITLE"), &message->subtopic);
      break;
    case line_type::kContactCard:
      SetIfPresent(parameters.Get("displayName"), &message->vCard_name);
      break;
    case line_type::kVoiceCall:
    case line_type::kVideoCall:
      message->system_info =
          CallSystemInfo(message->type, parameters.Get("GC_EVT_TYPE"), parameters.Get("RESULT"));
      break;
    case line_type::kMemberInvited:
    case line_type::kGroupInvitation:
    case line_type::kMemberRemoved:
    case line_type::kInvitationCancelled:
      message->system_info =
          MemberEventSystemInfo(message->type, parameters.Get("LOC_ARGS"), contact_names);
      break;
    case line_type::kGroupNameChanged:
      message->system_info = GroupNameSystemInfo(parameters.Get("LOC_ARGS"), contact_names);
      break;
    case line_type::kFlex: {
      // The alternative text is what LINE shows in notifications; the flex
      // texts stand in for it when it is missing.
      const FlexSummary flex = ReduceFlexJson(parameters.Get("FLEX_JSON"));
      SetIfPresent(flex.text, &message->content);
      SetIfPresent(parameters.Get("ALT_TEXT"), &message->content);
      SetIfPresent(parameters.Get("INDEXABLE_TEXT"), &message->subtopic);
      SetIfPresent(flex.uri, &message->uri);
      break;
    }
    case line_type::kSchedule:
      SetIfPresent(parameters.Get("ALT_TEXT"), &message->content);
      SetIfPresent(parameters.Get("uri"), &message->uri);
      break;
    case line_type::kPost: {
      const HtmlPostSummary post = ReduceHtmlContent(parameters.Get("HTML_CONTENT"));
      SetIfPresent(post.text, &message->content);
      SetIfPresent(post.title, &message->subtopic);
      SetIfPresent(post.link, &message->uri);
      break;
    }
    case line_type::kAlbum:
      SetIfPresent(parameters.Get("text"), &message->content);
      break;
    default:
      break;
  }
}

}  // namespace kx
