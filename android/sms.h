// Android SMS and MMS (data type 4): the telephony database mmssms.db,
// grouped into one conversation per address of the other party.
#ifndef KX_ANDROID_SMS_H_
#define KX_ANDROID_SMS_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "sms_files_path" into the staged primary
// "sms_file_path" (rows only a copy holds get is_deleted = 1). Returns 0,
// 1100 when either input is missing, or the merge's status.
int AndroidSmsDataFilter(DataTypeRecord* record, SqliteConfig* config,
                         const PackageContext& context);

// Hands {"sessions": [{"address", "messages"}...]} to the callback. Conversations come in the order
// their address first appears (SMS rows first, then MMS by part id); within one, the SMS in table
// order, then the MMS by id. Returns 0, also after a stop (then without a callback), or 1100 when
// the primary file is missing.
int AndroidSmsDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_ANDROID_SMS_H_
