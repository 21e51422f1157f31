// What WeChat knows of the people and groups around a conversation: its
// contact table (Friend, in the message database of older versions with
// Friend_Ext beside it, in WCDB_Contact.sqlite of newer ones with the names
// packed into protobuf blobs), the session list and the account's own
// settings archive.
#ifndef KX_IOSCHAT_WECHAT_CONTACTS_H_
#define KX_IOSCHAT_WECHAT_CONTACTS_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

struct WechatContact {
  std::string user_name;
  std::string nickname;
  std::string alias;                 // the WeChat id the person chose
  std::string remark;                // the name the owner gave them
  std::vector<std::string> members;  // of a group, by user name
};

class WechatContacts {
 public:
  // The first contact of a user name is kept.
  void Add(WechatContact contact);
  const WechatContact* Find(const std::string& user_name) const;
  // The contact whose user name has this md5 (as conversation tables and
  // media folders are named).
  const WechatContact* FindByHash(const std::string& md5) const;
  // The name the application shows: the remark, else the nickname; "" for
  // a user name it does not know.
  std::string NameOf(const std::string& user_name) const;

 private:
  std::unordered_map<std::string, WechatContact> by_name_;
  std::unordered_map<std::string, std::string> by_hash_;
};

// Reads the Friend table of `db` (either layout) into *contacts. False,
// with nothing read, when `db` has no Friend table.
bool ReadWechatContacts(const SQLite3Wrapper& db, const char* stem, WechatContacts* contacts);

// The first length-delimited value of field `field` of a protobuf message;
// "" when it has none or the blob is cut short.
std::string ProtoTextField(std::string_view blob, int field);

// The user names of the session list (SessionAbstract). False when `db`
// has no such table.
bool ReadWechatSessionList(const SQLite3Wrapper& db, std::unordered_set<std::string>* names);

struct WechatAccount {
  std::string user_name;
  std::string nickname;
};

// The account's user name and nickname from its settings (mmsetting.archive:
// an NSKeyedArchiver archive, or a plain dictionary); empty members when the
// file holds neither.
WechatAccount ReadWechatAccount(const std::string& path);

}  // namespace kx

#endif  // KX_IOSCHAT_WECHAT_CONTACTS_H_
