// Kik (data type 17): the chats of Kik's Core Data store in an iOS backup.
// Messages go into batch files in the temp folder; the document lists the
// sessions with their files, and the attachments' media with previews.
#ifndef KX_IOSCHAT_KIK_H_
#define KX_IOSCHAT_KIK_H_

#include <string>

#include "packager/contract.h"

namespace kx {

// Hands the account document to the callback. Returns 0; 1100 for missing
// inputs; 1105/1106 when the store cannot be read (no callback); 1106 when
// the deleted messages could not be read, after handing over the document.
// A stop returns 0 without a callback.
int IosKikDataPackage(DataTypeRecord* record, const PackageContext& context);

// Whether a jid names a group chat.
bool IsKikGroupJid(const std::string& jid);

}  // namespace kx

#endif  // KX_IOSCHAT_KIK_H_
