// WhatsApp (data type 14) and WhatsApp Business (data type 24) from an iOS
// backup: the chats of ChatStorage.sqlite with their group information and
// members, names from ContactsV2.sqlite, the owner from the application's
// property list, and each chat's messages as batch files (see
// ios_whatsapp_messages.h).
#ifndef KX_IOSCHAT_IOS_WHATSAPP_H_
#define KX_IOSCHAT_IOS_WHATSAPP_H_

#include "packager/contract.h"

namespace kx {

// Hands {"owner_jid", "is_exist", "whatsapp_chatsessions": [...], "size"}
// to the callback. Returns 0 (also after a stop, then without a callback),
// 1100 for a missing input, 1105 when the chat database cannot be opened,
// 1106 when its chats cannot be read.
int IosWhatsAppDataPackage(DataTypeRecord* record, const PackageContext& context);

// The same for WhatsApp Business ("whatsappBusiness_chatsessions", files in
// its own domain).
int IosWhatsAppBusinessDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOSCHAT_IOS_WHATSAPP_H_
