// One row of LINE's message query as a message of the chat document: its
// sender and direction, kind, text, sticker, location and the file it keeps
// in LINE's group container, located through the backup's catalogue.
#ifndef KX_IOSCHAT_LINE_MESSAGES_H_
#define KX_IOSCHAT_LINE_MESSAGES_H_

#include <string>
#include <string_view>

#include "common/backup_files.h"
#include "common/sqlite_wrapper.h"
#include "ioschat/chat_document.h"
#include "ioschat/line_kinds.h"

namespace kx {

// LINE's group container in an iOS backup.
extern const char kLineDomain[];

// The message metadata of ZCONTENTMETADATA: a property list of a
// dictionary, or a keyed archive of one; its text and number members.
// Empty for anything else, damaged or hostile bytes included.
LineMetadata ReadLineMetadata(std::string_view bytes);

// Where LINE keeps the file of message `message_id` of chat `chat_mid`
// ("Library/Application Support/PrivateStore/P_<account>/Message
// Attachments/<chat mid>/<message id>"); "" when a name is empty or could
// lead elsewhere ("..", a separator, NUL).
std::string LineAttachmentPath(const std::string& account_id, const std::string& chat_mid,
                               const std::string& message_id);

// What a message needs besides its row.
struct LineMessageContext {
  std::string account_id;
  std::string backup_root;
  std::string chat_mid;        // "" for messages of no live chat
  BackupCatalogue* catalogue;  // the backup's Manifest.db
  bool deleted = false;
};

// Fills `message` (cleared first) from a row of the message queries.
void ReadLineMessage(const SqliteStatement& row, const LineMessageContext& context,
                     ChatMessage* message);

// A user's name as the owner sees it: the name they gave, else the user's.
std::string LineShownName(const std::string& custom_name, const std::string& name);

}  // namespace kx

#endif  // KX_IOSCHAT_LINE_MESSAGES_H_
