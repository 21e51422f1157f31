// Kik messages: the codes of a message row rewritten as the host reads
// them, and the batch files that hold the messages of a chat or of a sender
// whose messages belong to no chat.
#ifndef KX_IOSCHAT_KIK_MESSAGES_H_
#define KX_IOSCHAT_KIK_MESSAGES_H_

#include <json/json.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/json_text_writer.h"
#include "common/sqlite_wrapper.h"
#include "kit/batch_writer.h"
#include "kit/chat_batches.h"

namespace kx {

// Messages per batch file.
constexpr int64_t kKikMessagesPerBatch = 10000;

// The three rewritten members of a message, from ZTYPE, the attachment's
// ZTYPE and ZSTATE as read (text, "" for NULL).
struct KikMessageCodes {
  std::string is_from_me;
  std::string type;
  std::string send_state;
};
KikMessageCodes MapKikCodes(const std::string& message_type, const std::string& attachment_type,
                            const std::string& state);

// Where Kik's files lie in the backup.
struct KikBackup {
  std::string account_id;
  std::string backup_root;
  std::string temp_folder;
  bool two_level = false;
};

// "cores/private/<account>/" + `tail`: a path in Kik's backup domain.
std::string KikRelativePath(const std::string& account_id, const std::string& tail);

// The file id of the attachment `content` (ZCONTENT) in Kik's domain. The
// text from the data is only hashed, so it names nothing outside the
// backup.
std::string KikAttachmentFileId(const std::string& account_id, const std::string& content);

// A message row as an object: every column as text under its name (NULL
// as ""), the codes rewritten. For a message of a chat the attachment gets
// "media_path" and "media_backup" (temp folder + file id); for a deleted
// one only "media_backup" (where the file lies in the backup) and "tag".
Json::Value KikMessageObject(const SqliteStatement& row, const KikBackup& backup, bool deleted);

// The members of a chat's message objects (KikMessageObject's, deleted
// false), worked out once from the names of the query's columns: rows are
// then written in the writer's order without looking a name up or copying
// a value.
class KikMessageLayout {
 public:
  explicit KikMessageLayout(const SqliteStatement& row);
  void Write(const SqliteStatement& row, const KikBackup& backup, JsonBufferWriter* writer);

 private:
  enum Source { kColumn, kIsFromMe, kType, kSendState, kMediaPath, kMediaBackup };
  struct Member {
    Source source = kColumn;
    int column = -1;  // the column read, or the one a media path stands in for
  };

  std::vector<JsonName> names_;  // in byte order
  std::vector<Member> members_;  // one per name
  int message_type_ = -1;
  int attachment_type_ = -1;
  int state_ = -1;
  int content_ = -1;
  std::string media_path_;
  std::string media_backup_;
};

// The messages of one chat in files kikmessages_<chat_pk>[_<n>].json.
class KikChatBatches {
 public:
  KikChatBatches(PackageFileWriter* files, std::string chat_pk, Json::Value* file_list);
  // The message of the current row of `row`, as KikMessageObject makes it,
  // written as text straight into the open batch.
  void Add(const SqliteStatement& row, const KikBackup& backup);
  void Finish();

 private:
  BatchWriter batches_;
  std::string chat_pk_;
  Json::Value* file_list_;
  std::unique_ptr<KikMessageLayout> layout_;  // from the first row
  int64_t count_ = 0;
};

// The messages that belong to no chat, one session per sender, in files
// kikmessages_<FNV-1a of the sender's name>[_<n>].json.
class KikDeletedSessions {
 public:
  explicit KikDeletedSessions(PackageFileWriter* files) : batches_(files->folder(), "messages") {}
  // `sender` is the message's ZUSER as text; `from_id` names a new sender.
  void Add(const std::string& sender, const std::string& from_id, Json::Value message);
  // Writes what is left and appends a session per sender.
  void Finish(Json::Value* sessions);

 private:
  struct Sender {
    std::string session_name;
    Json::Value batch;
    int64_t count = 0;
    int files_written = 0;
    Json::Value file_list;
  };

  void Write(Sender* sender, int number);

  BatchWriter batches_;
  std::unordered_map<std::string, size_t> index_;
  std::vector<Sender> senders_;  // in the order they were met
};

}  // namespace kx

#endif  // KX_IOSCHAT_KIK_MESSAGES_H_
