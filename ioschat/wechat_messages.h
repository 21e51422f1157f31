// One row of a WeChat conversation table (Chat_<md5 of the peer>) as a
// message of the chat document: its kind from the row's Type (and, for a
// shared item, the type inside its XML), the sender of a group message from
// the text's "<user name>:\n" head, and its files found in the backup.
#ifndef KX_IOSCHAT_WECHAT_MESSAGE_H_
#define KX_IOSCHAT_WECHAT_MESSAGE_H_

#include <string>
#include <string_view>

#include "common/backup_files.h"
#include "common/sqlite_wrapper.h"
#include "ioschat/chat_document.h"

namespace kx {

class WechatContacts;

constexpr char kWechatDomain[] = "AppDomain-com.tencent.xin";

// Where the files of one message lie: which folder of the account's
// Documents/<md5 of the account>/ holds them, by the extension of the file
// and of its preview.
enum class WechatMedia { kNone, kPicture, kVoice, kVideo, kFile };

struct WechatKind {
  ChatMessageKind kind = ChatMessageKind::kOther;
  WechatMedia media = WechatMedia::kNone;
};

// The kind of a message of `type`; `app_type` is the appmsg/type of a
// shared item (type 49), else ignored.
WechatKind ClassifyWechatMessage(int type, int app_type);

// The sender's user name and the text of a received group message,
// "<user name>:\n<text>"; false (nothing split) when the text has no such
// head.
bool SplitGroupSender(std::string_view text, std::string_view* sender, std::string_view* rest);

// The select list of a conversation table: MesLocalID, MesSvrID,
// CreateTime, Message, Status, Type, Des in this order, those the table
// lacks as NULL (named in *missing).
std::string WechatMessageColumns(const SQLite3Wrapper& db, const std::string& table,
                                 std::string* missing);

// What the rows of one conversation share.
struct WechatConversation {
  std::string peer_hash;     // the table name's md5 part
  std::string account_hash;  // md5 of the account's user name; "" when unknown
  bool group = false;
  bool deleted = false;
  const WechatContacts* contacts = nullptr;
  BackupCatalogue* catalogue = nullptr;  // null: no files located
  std::string backup_root;
  bool two_level = true;
};

// Reads the current row of a statement over WechatMessageColumns into
// *message (cleared first).
void ReadWechatMessage(const SqliteStatement& row, const WechatConversation& conversation,
                       ChatMessage* message);

}  // namespace kx

#endif  // KX_IOSCHAT_WECHAT_MESSAGE_H_
