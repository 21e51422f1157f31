// The packaged objects of iOS messages and their attachments, read from the
// rows of the message store.
#ifndef KX_IOS_MESSAGE_OBJECTS_H_
#define KX_IOS_MESSAGE_OBJECTS_H_

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/backup_files.h"
#include "common/json_text_writer.h"
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
  // Looks up the backup's folders once for all attachments.
  mutable BackupFileResolver resolver_;
};

// The chat a message row was read from.
struct MessageSource {
  int64_t chat_id = 0;
  bool in_chat = false;  // false: a message in no chat
  bool group = false;
  const Json::Value* members = nullptr;  // the chat's members, for sender names
};

// A message as it goes into its session: the date that orders the session,
// and the object's text, laid out for its place in the session file (the
// reader's buffer, valid until its next message).
struct WrittenMessage {
  int64_t date = 0;
  std::string_view text;
};

// Reads message rows (of the store's message queries) into written
// messages, with their words, deleted tags, senders' names and
// attachments. Its buffers serve row after row, so that a message costs
// little more than its text.
class MessageObjectReader {
 public:
  // `depth`: the indentation steps at which the objects stand in the file;
  // `crlf`: its lines end in "\r\n".
  MessageObjectReader(const RecoverableMessages& recoverable, MessageStore* store,
                      const AttachmentLocator& locator, size_t depth, bool crlf);

  // The message on the current row of `row`, of the columns `columns`
  // (the message's ROWID first).
  WrittenMessage Read(const SqliteStatement& row, const MessageSource& source,
                      const std::vector<int>& columns);

  // From now on the attachments come from `ordered` (the store's
  // OrderedAttachments), stepped along with messages read in ascending
  // ROWIDs, instead of one query per message.
  void UseOrderedAttachments(SqliteStatement* ordered);

 private:
  // The attachment rows of the message into stored_[0, stored_count_).
  void ReadStoredAttachments(int64_t message_id);
  void ReadOrderedAttachments(int64_t message_id);
  // The attachments of the message into attachments_[0, attachment_count_).
  void ReadAttachments(int64_t message_id, bool message_deleted);

  const RecoverableMessages& recoverable_;
  MessageStore* store_;
  const AttachmentLocator& locator_;
  size_t depth_;
  bool crlf_;
  JsonMembers message_;
  std::string text_;  // the last message's text
  // The rows as stored, kept while a message in several chats comes again.
  std::vector<JsonMembers> stored_;
  size_t stored_count_ = 0;
  int64_t stored_message_id_ = 0;
  bool stored_valid_ = false;
  SqliteStatement* ordered_ = nullptr;
  bool ordered_has_row_ = false;
  std::vector<JsonMembers> attachments_;
  size_t attachment_count_ = 0;
  // The places of "text" and "attributedBody" in the last statement read.
  const SqliteStatement* columns_of_ = nullptr;
  int text_column_ = -1;
  int body_column_ = -1;
};

// A member of a JSON object as a number, 0 when absent or not a number.
int64_t IntegerMember(const Json::Value& object, const char* name);

}  // namespace kx

#endif  // KX_IOS_MESSAGE_OBJECTS_H_
