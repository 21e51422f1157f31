// Safari history (data type 6): the visited pages of History.db, each with
// the title a visit gave it.
#ifndef KX_IOS_SAFARI_HISTORY_H_
#define KX_IOS_SAFARI_HISTORY_H_

#include <string>
#include <vector>

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "safariHis_files_path" into the staged
// primary "safariHis_file_path". Returns 0, 1100 when either input is
// missing, or the merge's status.
int IosSafariHisDataFilter(DataTypeRecord* record, SqliteConfig* config,
                           const PackageContext& context);

// Hands a JSON array of history items to the callback. Returns 0 (also
// after a stop, then without a callback), 1100 without "safariHis_file_path",
// 1105/1106 when it is no history database.
int IosSafariHisDataPackage(DataTypeRecord* record, const PackageContext& context);

// The addresses a deleted item's URL text stands for. The phone leaves
// deleted rows with several addresses run together, separated by 0xE8
// bytes: those are removed and the text is cut before every "http". Text
// with one address (or none) comes back as itself, blank text as one empty
// address; of several, the pieces that are empty or a lone "s" are dropped.
std::vector<std::string> SplitDeletedUrl(const std::string& url);

}  // namespace kx

#endif  // KX_IOS_SAFARI_HISTORY_H_
