// Android call history (data type 3): the calls table of the phone's
// call-log database.
#ifndef KX_ANDROID_CALL_HISTORY_H_
#define KX_ANDROID_CALL_HISTORY_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "callhistory_files_path" into the staged
// primary "callhistory_file_path" (rows only a copy holds get is_deleted = 1).
// Returns 0, 1100 when either input is missing, or the merge's status.
int AndroidCallhistoryDataFilter(DataTypeRecord* record, SqliteConfig* config,
                                 const PackageContext& context);

// Hands {"callhistory": [...]} with one object per call to the callback.
// Returns 0, also after a stop (then without a callback), or 1100 when the
// primary file is missing.
int AndroidCallhistoryDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_ANDROID_CALL_HISTORY_H_
