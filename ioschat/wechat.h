// WeChat (data type 19): the conversations of the account's message
// database in an iOS backup, one table Chat_<md5 of the peer's user name>
// each, named from the contact store and the session list, with their
// pictures, voice messages, videos and files found through Manifest.db.
#ifndef KX_IOSCHAT_WECHAT_H_
#define KX_IOSCHAT_WECHAT_H_

#include "packager/contract.h"

namespace kx {

// Hands the chat document to the callback. Returns 0; 1100 for a missing
// message database, Manifest.db, backup or temp folder; 1105 when the
// message database cannot be read (no callback). The optional stores
// (contacts, session list, settings, official accounts' messages) that are
// missing or unreadable leave their part out. A stop returns 0 without a
// callback.
int IosWechatDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOSCHAT_WECHAT_H_
