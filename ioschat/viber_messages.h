// One row of Viber's message query as a message of the chat document, with
// the files Viber keeps for it placed in the backup.
#ifndef KX_IOSCHAT_VIBER_MESSAGES_H_
#define KX_IOSCHAT_VIBER_MESSAGES_H_

#include <string>

#include "common/backup_files.h"
#include "common/sqlite_wrapper.h"
#include "ioschat/chat_document.h"

namespace kx {

// Viber's own container (Documents/... of the attachments) and its group
// container, which also holds files of newer versions.
extern const char kViberAppDomain[];
extern const char kViberGroupDomain[];
// Where previews lie in the container unless the thumbnail settings name
// another folder.
extern const char kViberThumbnailFolder[];

struct ViberMedia {
  std::string backup_root;
  bool has_sub_dir = false;
  std::string thumbnail_folder;  // relative, ending in "/"
  BackupCatalogue* catalogue;    // null: files are placed without a look-up
};

// The relative path of `name` in `folder`; "" when the name is empty or
// could lead elsewhere ("..", a separator, NUL).
std::string ViberFilePath(const std::string& folder, const std::string& name);

// Fills `message` (cleared first) from a row of the message queries;
// `deleted` tags it whatever the row says.
void ReadViberMessage(const SqliteStatement& row, const ViberMedia& media, bool deleted,
                      ChatMessage* message);

// Fills `message` (cleared first) from a row of the call query.
void ReadViberCall(const SqliteStatement& row, ChatMessage* message);

}  // namespace kx

#endif  // KX_IOSCHAT_VIBER_MESSAGES_H_
