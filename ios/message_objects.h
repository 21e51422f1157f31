// The packaged objects of iOS messages and their attachments, read from the
// rows of the message store.
#ifndef KX_IOS_MESSAGE_OBJECTS_H_
#define KX_IOS_MESSAGE_OBJECTS_H_

#include <json/json.h>

#include <cstdint>
#include <string>

#include "ios/message_store.h"

namespace kx {

// Where attachments are found: the backup folder, "" when the package has
// none (the attachments then carry no "media_backup_path").
class AttachmentLocator {
 public:
  AttachmentLocator(std::string backup_root, const char* stem);
  // The attachment's file in the backup; "" when it has none there. The
  // name only picks a file id, so no name leads outside the backup.
  std::string Locate(const std::string& filename) const;

 private:
  std::string backup_root_;
};

// The chat a message row was read from.
struct MessageSource {
  int64_t chat_id = 0;
  bool in_chat = false;  // false: a message in no chat
  bool group = false;
  const Json::Value* members = nullptr;  // the chat's members, for sender names
};

// The message on the current row of `row` (a message query of the store),
// with its words, its deleted tag, its sender's name and its attachments.
Json::Value ReadMessageObject(const SqliteStatement& row, const MessageSource& source,
                              const RecoverableMessages& recoverable, MessageStore* store,
                              const AttachmentLocator& locator);

// A member of a JSON object as a number, 0 when absent or not a number.
int64_t IntegerMember(const Json::Value& object, const char* name);

}  // namespace kx

#endif  // KX_IOS_MESSAGE_OBJECTS_H_
