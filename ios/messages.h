// iOS messages (data type 12): the SMS and iMessage conversations of
// sms.db, ten to a session file in the temp folder, with the members'
// address-book names, the attachments' places in the backup, and the
// messages the phone deleted (kept for recovery, or recovered from older
// copies of the store).
#ifndef KX_IOS_MESSAGES_H_
#define KX_IOS_MESSAGES_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "sms_files_path" into the staged primary
// "sms_file_path" (rows only a copy holds get is_deleted = 1). Returns 0,
// 1100 when either input is missing, or the merge's status.
int IosSmsDataFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context);

// Writes the session files and hands {"sms_session_size": n,
// "sms_file_path": [...]} to the callback. Returns 0 (also after a stop,
// then without a callback), 1100 without "sms_file_path" or a temp folder,
// 1105/1106 when the store has no chats to read, and 1106 after the
// hand-over when a table the messages or attachments are read through was
// missing.
int IosSmsDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_MESSAGES_H_
