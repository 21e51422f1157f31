#include "ios/message_text.h"

#include "common/media_types.h"
#include "common/text.h"
#include "common/typed_stream.h"

namespace kx {

namespace {

constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";  // U+FFFC in UTF-8
constexpr char kLeadingBlanks[] = " \t\n\r\f\v";

constexpr int kAttachmentAudio = 2;
constexpr int kAttachmentVideo = 3;
constexpr int kAttachmentLocation = 7;
constexpr int kAttachmentContactCard = 8;
constexpr int kAttachmentUnknown = -1;

}  // namespace

std::string CleanMessageText(std::string_view text) {
  std::string cleaned;
  cleaned.reserve(text.size());
  size_t begin = 0;
  for (size_t found = text.find(kObjectReplacement); found != std::string_view::npos;
       found = text.find(kObjectReplacement, begin)) {
    cleaned.append(text.substr(begin, found - begin));
    begin = found + kObjectReplacement.size();
  }
  cleaned.append(text.substr(begin));
  const size_t first = cleaned.find_first_not_of(kLeadingBlanks);
  return first == std::string::npos ? std::string() : cleaned.substr(first);
}

std::string MessageText(std::string_view text_column, std::string_view attributed_body) {
  if (!text_column.empty()) return CleanMessageText(text_column);
  std::string carried;
  if (attributed_body.empty() || !TypedStreamString(attributed_body, &carried)) return carried;
  return CleanMessageText(carried);
}

int AttachmentType(const std::string& mime_type, const std::string& filename) {
  if (mime_type.find("audio") != std::string::npos) return kAttachmentAudio;
  if (mime_type.find("video") != std::string::npos) return kAttachmentVideo;
  if (mime_type == "text/vcard") return kAttachmentContactCard;
  if (mime_type == "text/x-vlocation") return kAttachmentLocation;
  const size_t dot = filename.rfind('.');
  if (dot == std::string::npos) return kAttachmentUnknown;
  const int media_type = GetMediaType(ToLowerAscii(filename.substr(dot)));
  return media_type == kMediaUnknown ? kAttachmentUnknown : media_type;
}

std::string AttachmentMediaPath(const std::string& filename) {
  const size_t slash = filename.find('/');
  if (slash == std::string::npos || slash + 1 >= filename.size()) return std::string();
  return filename.substr(slash + 1);
}

}  // namespace kx
