// iOS call history (data type 13): the calls of CallHistory.storedata (or of
// call_history.db on iOS 7 and earlier), with names and pictures from the
// address book, and the numbers the phone still knows as call participants
// though no call refers to them any more.
#ifndef KX_IOS_CALL_HISTORY_H_
#define KX_IOS_CALL_HISTORY_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "call_files_path" into the staged primary
// "call_file_path" (rows only a copy holds get is_deleted = 1). Returns 0,
// 1100 when either input is missing, or the merge's status.
int IosCallhistoryDataFilter(DataTypeRecord* record, SqliteConfig* config,
                             const PackageContext& context);

// Hands {"size": n, "call_records": [...]} to the callback ("call_records"
// absent when there is none); pictures of the address book's people go into
// the temp folder. Returns 0 (also after a stop, then without a callback),
// 1100 without "call_file_path", 1105/1106 when it is no call history.
int IosCallhistoryDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_CALL_HISTORY_H_
