// What kind of message a row of LINE's iOS store is: its content type (the
// service's own codes, the same on every platform) and what its metadata
// adds.
#ifndef KX_IOSCHAT_LINE_KINDS_H_
#define KX_IOSCHAT_LINE_KINDS_H_

#include <cstdint>
#include <map>
#include <string>

#include "ioschat/chat_document.h"

namespace kx {

// The message's content metadata as key -> text ("STKID", "DURATION",
// "FILE_NAME", "LOC_KEY" ...); empty when the row has none.
using LineMetadata = std::map<std::string, std::string>;

// The kind of a message of content type `content_type` (ZCONTENTTYPE).
// A group event (metadata with "LOC_KEY") is a system message whatever its
// type; a code the table does not know is "other".
ChatMessageKind LineMessageKind(int64_t content_type, const LineMetadata& metadata);

// Whether messages of this kind keep a file in the application's folder.
bool LineKindHasFile(ChatMessageKind kind);

}  // namespace kx

#endif  // KX_IOSCHAT_LINE_KINDS_H_
