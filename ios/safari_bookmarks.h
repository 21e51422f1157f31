// Safari bookmarks (data type 5): the bookmarks of Bookmarks.db, each with
// the chain of folders it sits in.
#ifndef KX_IOS_SAFARI_BOOKMARKS_H_
#define KX_IOS_SAFARI_BOOKMARKS_H_

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "safari_files_path" into the staged primary
// "safari_file_path", matching bookmarks by key. Returns 0, 1100 when either
// input is missing, or the merge's status.
int IosSafariDataFilter(DataTypeRecord* record, SqliteConfig* config,
                        const PackageContext& context);

// Hands a JSON array of bookmarks to the callback. Returns 0 (also after a
// stop, then without a callback), 1100 without "safari_file_path", 1105/1106
// when it is no bookmarks database.
int IosSafariDataPackage(DataTypeRecord* record, const PackageContext& context);

struct BookmarkFolder {
  int64_t parent = 0;
  std::string title;
};
using BookmarkFolders = std::unordered_map<int64_t, BookmarkFolder>;

// Titles of the folders enclosing a bookmark whose parent is `parent`,
// innermost first. A chain that runs in a circle ends where it meets itself.
std::vector<std::string> FolderChain(const BookmarkFolders& folders, int64_t parent);

}  // namespace kx

#endif  // KX_IOS_SAFARI_BOOKMARKS_H_
