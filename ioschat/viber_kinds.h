// What kind of message a row of Viber's iOS store is, and of which kind its
// conversation is. Viber names its kinds in text: ZSYSTEMTYPE ("" or
// "url" for what people type, "formatted" for a shared contact,
// "customLocation", "systemCallLog", anything else a notice of the
// application), ZATTACHMENT.ZTYPE ("picture", "gif", "video", "audio",
// "file", "sticker", "customLocation") and ZCALLTYPE for calls.
#ifndef KX_IOSCHAT_VIBER_KINDS_H_
#define KX_IOSCHAT_VIBER_KINDS_H_

#include <cstdint>
#include <string>

#include "ioschat/chat_document.h"

namespace kx {

struct ViberKindInputs {
  std::string system_type;      // ZVIBERMESSAGE.ZSYSTEMTYPE
  std::string attachment_type;  // ZATTACHMENT.ZTYPE of its attachment
  std::string call_type;        // ZVIBERMESSAGE.ZCALLTYPE
  bool has_location = false;    // it has a ZVIBERLOCATION row
};

ChatMessageKind ViberMessageKind(const ViberKindInputs& inputs);

// The folder of Viber's container that keeps the files of an attachment
// type ("Documents/Attachments/" ...); "" for a type without a file.
const char* ViberAttachmentFolder(const std::string& attachment_type);

// A conversation with a ZGROUPID is a group, a channel (ZSUBTYPE 3) is an
// official one, any other is one-to-one.
ChatSessionKind ViberSessionKind(bool has_group_id, int64_t subtype);

}  // namespace kx

#endif  // KX_IOSCHAT_VIBER_KINDS_H_
