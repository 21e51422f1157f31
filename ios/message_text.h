// The words and attachment kinds of iOS messages, as the packaged objects
// give them.
#ifndef KX_IOS_MESSAGE_TEXT_H_
#define KX_IOS_MESSAGE_TEXT_H_

#include <string>
#include <string_view>

namespace kx {

// `text` without the object replacement characters (U+FFFC) that stand for
// attachments and mentions, and without the blanks, tabs and line breaks
// that lead it.
std::string CleanMessageText(std::string_view text);

// A message's "text": the text column when it has one, else the string the
// attributedBody typedstream carries (newer phones keep the words only
// there), both cleaned; "" when neither holds words.
std::string MessageText(std::string_view text_column, std::string_view attributed_body);

// Attachment "type": 2 audio, 3 video, 8 a contact card, 7 a location, else
// the media class of the file name's extension; -1 when there is none.
int AttachmentType(const std::string& mime_type, const std::string& filename);

// The path of an attachment relative to the backup's MediaDomain: the text
// after the first "/" of its filename ("~/Library/SMS/..." gives
// "Library/SMS/..."); "" when the name has no "/" or nothing follows it.
std::string AttachmentMediaPath(const std::string& filename);

}  // namespace kx

#endif  // KX_IOS_MESSAGE_TEXT_H_
