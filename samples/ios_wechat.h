// A generator of WeChat's stores on iOS (domain AppDomain-com.tencent.xin,
// under Documents/<md5 of the account's user name>/): the message database
// with one Chat_<md5 of the peer> table per conversation, the contacts, the
// session list, the account's settings archive, and media files.
#ifndef KX_SAMPLES_IOS_WECHAT_H_
#define KX_SAMPLES_IOS_WECHAT_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first, as forensic readers print their schemas:
//  1  MM.sqlite alone: the Chat_ tables (MesLocalID ... Des), Friend with
//     its names in columns, Friend_Ext (remark, group members) and the
//     session list SessionAbstract;
//  2  MM.sqlite with the reserved columns newer Chat_ tables carry,
//     WCDB_Contact.sqlite (Friend with protobuf blobs) and session/session.db.
constexpr int kIosWechatOldestSchema = 1;
constexpr int kIosWechatNewestSchema = 2;

constexpr char kIosWechatDomain[] = "AppDomain-com.tencent.xin";
constexpr char kIosWechatUser[] = "wxid_owner01";
// MD5 of the sample's user names, as WeChat names its folders and tables
// after them.
constexpr char kIosWechatUserHash[] = "5965f9007c6a03b57b5f9f7a730f033a";
constexpr char kIosWechatFriendHash[] = "84c495fc4279ef9e04dc45b1c31b6fab";  // wxid_friend01
constexpr char kIosWechatGroupHash[] = "9f57dcad25208659c1c9e422a3a38f4b";   // 20811234567@chatroom
constexpr char kIosWechatOfficialHash[] = "e6feb04fe19796b8c31f7826ae9c42c4";  // gh_3c8f1e2d9a7b
constexpr char kIosWechatGoneHash[] = "ccc085efbc3f557450e7358dcea36492";      // wxid_gone99

// Paths of the stores inside the domain, for the sample's account.
std::string IosWechatMessagePath();   // Documents/<md5>/DB/MM.sqlite
std::string IosWechatContactPath();   // Documents/<md5>/DB/WCDB_Contact.sqlite
std::string IosWechatSessionPath();   // Documents/<md5>/session/session.db
std::string IosWechatSettingsPath();  // Documents/<md5>/mmsetting.archive

// CREATE statement of a conversation table of `version`.
std::string IosWechatChatTableSql(int version, const std::string& table);
// The contact tables of `version` (1: Friend and Friend_Ext, 2: Friend of
// WCDB_Contact.sqlite) and the session list.
std::string IosWechatContactSql(int version);
std::string IosWechatSessionSql(int version);
// The settings archive (NSKeyedArchiver, XML form) naming the account.
std::string IosWechatSettingsArchive(const std::string& user_name, const std::string& nickname);
// A protobuf message of length-delimited text fields 1, 2, ... in order
// (empty texts skipped), as SQL's X'..' literal.
std::string IosWechatProtoLiteral(const std::vector<std::string>& fields);

struct IosWechatFile {
  std::string relative_path;  // inside the domain
  std::string bytes;
};

// The stores written by WriteIosWechat: "" for those the version keeps
// inside the message database.
struct IosWechatStores {
  std::string messages;
  std::string contacts;
  std::string sessions;
  std::string settings;
};

// Writes the stores of `options.schema_version` into `folder` (the files
// replaced): a friend's conversation with a message of every kind, a group,
// an official account, and a conversation with someone neither the
// contacts nor the session list know any more. `files` receives the
// media files and the settings archive, each with its path in the domain.
bool WriteIosWechat(const std::string& folder, const IosSampleOptions& options,
                    IosWechatStores* stores, std::vector<IosWechatFile>* files);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_WECHAT_H_
