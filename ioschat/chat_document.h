// The one document shape of the iOS chat applications whose layout is ours
// (LINE, Viber, WeChat): an account with its conversations, the messages of
// each conversation in batch files of the temp folder. Each application's
// packager only reads its store into ChatSession and ChatMessage values;
// this writer lays them out, so the three come out alike.
//
// Document:
//   {"account_id", "account_name"?, "app", "sessions": [session...], "size"}
// Session:
//   {"kind", "members"?: [{"id", "name"?}], "message_count",
//    "msg_file_list": [paths], "name"?, "session_id", "tag"?}
// Message (one element of a batch file, a JSON array):
//   {"duration"?, "is_from_me", "kind", "latitude"?, "longitude"?,
//    "media_backup"?, "media_path"?, "message_id", "raw_type"?, "send_date"?,
//    "sender_id"?, "sender_name"?, "tag"?, "text"?, "thumb_backup"?, "url"?}
// Members are written in byte order of their names, as a Json::Value tree
// would be; an empty text leaves its member out.
#ifndef KX_IOSCHAT_CHAT_DOCUMENT_H_
#define KX_IOSCHAT_CHAT_DOCUMENT_H_

#include <json/json.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kit/chat_batches.h"

namespace kx {

enum class ChatSessionKind { kSingle, kGroup, kOfficial };
// "single", "group", "official".
const char* ChatSessionKindName(ChatSessionKind kind);

enum class ChatMessageKind {
  kText,
  kPicture,
  kVideo,
  kVoice,
  kFile,
  kSticker,
  kLocation,
  kContactCard,
  kCall,
  kSystem,
  kLink,
  kOther
};
// "text", "picture", "video", "voice", "file", "sticker", "location",
// "contact_card", "call", "system", "link", "other".
const char* ChatMessageKindName(ChatMessageKind kind);

struct ChatMember {
  std::string id;
  std::string name;
};

struct ChatSession {
  std::string session_id;  // the application's own id of the conversation
  ChatSessionKind kind = ChatSessionKind::kSingle;
  std::string name;  // as the application shows it; "" when unknown
  std::vector<ChatMember> members;
  bool deleted = false;  // a conversation only the store's leftovers hold
};

struct ChatMessage {
  std::string message_id;
  std::string sender_id;  // "" for the owner's own messages
  std::string sender_name;
  bool has_send_date = false;
  int64_t send_date = 0;  // milliseconds since 1970, UTC
  bool is_from_me = false;
  ChatMessageKind kind = ChatMessageKind::kText;
  std::string raw_type;  // the application's own code, for the examiner
  std::string text;
  std::string url;           // a shared link
  std::string media_path;    // inside the application's folder on the phone
  std::string media_backup;  // the same file in the backup folder
  std::string thumb_backup;  // its preview in the backup folder
  bool has_duration = false;
  int64_t duration = 0;  // seconds (voice, video, calls)
  bool has_location = false;
  double latitude = 0.0;
  double longitude = 0.0;
  bool deleted = false;  // "tag": "deleted"

  // Forgets every member; keeps the buffers.
  void Clear();
};

// Seconds since 2001-01-01 (Core Data's dates) as milliseconds since 1970.
int64_t CoreDataSecondsToMillis(double seconds);

// The file `relative_path` of `domain` in the backup under `backup_root`
// (two-level when `has_sub_dir`). The path is only hashed into a file id,
// so no text from the data leads outside the backup; "" for an empty path.
std::string ChatBackupFile(const std::string& backup_root, bool has_sub_dir,
                           const std::string& domain, const std::string& relative_path);

// Builds the document and writes the batch files, one session at a time:
// memory holds one batch of one session, whatever the size of the store.
class ChatPackage {
 public:
  // `app` names the application in the document and keys its batch files,
  // so two applications packaged into one temp folder never share a file.
  ChatPackage(std::string app, std::string temp_folder);
  ChatPackage(const ChatPackage&) = delete;
  ChatPackage& operator=(const ChatPackage&) = delete;
  ~ChatPackage();

  void SetAccount(const std::string& account_id, const std::string& account_name);

  // Opens a session (closing an open one); the messages added until the
  // next BeginSession or Finish belong to it.
  void BeginSession(const ChatSession& session);
  void AddMessage(const ChatMessage& message);

  // Closes the open session; the document text (the JSON writer's layout).
  std::string Finish();

  int64_t size() const { return size_; }

 private:
  void EndSession();

  std::string app_;
  PackageFileWriter files_;
  std::unique_ptr<ChatBatchWriter> batches_;
  Json::Value document_;
  Json::Value* session_ = nullptr;
  int64_t size_ = 0;
};

}  // namespace kx

#endif  // KX_IOSCHAT_CHAT_DOCUMENT_H_
