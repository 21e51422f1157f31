// LINE on iOS (data type 15): the chats of LINE's Core Data store in an iOS
// backup, in the chat document every such application shares; message
// files are located in LINE's group container through Manifest.db.
#ifndef KX_IOSCHAT_LINE_H_
#define KX_IOSCHAT_LINE_H_

#include "ioschat/chat_document.h"
#include "packager/contract.h"

namespace kx {

// Hands the account document to the callback. Returns 0; 1100 for missing
// inputs; 1105 when the store cannot be opened and 1106 when its chats or
// messages cannot be queried (no callback). A stop returns 0 without a
// callback.
int IosLineDataPackage(DataTypeRecord* record, const PackageContext& context);

// The session kind of a chat: ZCHAT.ZTYPE 0 is a one-to-one chat (an
// official account's when its user's type says so), 1 a room, 2 a group.
ChatSessionKind LineSessionKind(int64_t chat_type, int64_t peer_type);

}  // namespace kx

#endif  // KX_IOSCHAT_LINE_H_
