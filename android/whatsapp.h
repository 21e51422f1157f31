// WhatsApp (data type 0) and WhatsApp Business (data type 25) on Android:
// the chats of the message store msgstore.db, with names from the contacts
// database wa.db and the owner's number and avatars from the application's
// private files.
#ifndef KX_ANDROID_WHATSAPP_H_
#define KX_ANDROID_WHATSAPP_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "msg_files_path" into the staged message
// store "msg_file_path", and those under "wa_files_path" into the contacts
// database "wa_file_path" (keyed merge; rows only a copy holds get
// is_deleted = 1). Returns 0, 1100 without a message store, or the merge's
// status.
int WhatsAppDataFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context);

// Hands {"chat_sessions": [...], "size": n, "my_phone_number", "my_jid"} to
// the callback and writes each chat's messages as batch files
// into the temp folder. Returns 0 (also after a stop, then without a
// callback), 1100 without a message store, 1105 when it cannot be opened.
int WhatsAppDataPackage(DataTypeRecord* record, const PackageContext& context);

// The same for WhatsApp Business: no contacts database, no own number, the
// Business media folders for the older layout.
int WhatsAppBusinessDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_ANDROID_WHATSAPP_H_
