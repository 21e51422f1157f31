// Staged copies of source files, and folder listings.
#ifndef KX_COMMON_STAGING_H_
#define KX_COMMON_STAGING_H_

#include <string>
#include <vector>

namespace kx {

// Copies `source` (and "<source>-wal" when present) into `dest_folder` under
// `copy_name` (the source's own file name when empty). Stale "-wal"/"-shm"
// files beside an earlier copy are removed. A source that already is the
// copy is not copied. Returns the copy's UTF-8 path, or "" (with one log
// line) when the source is missing, a folder, or cannot be copied.
// The source is only ever read.
std::string StageSourceFile(const std::string& dest_folder, const std::string& source,
                            const std::string& copy_name = std::string());

// Makes `folder`, with its parents, unless it is a folder already. False,
// with one log line in the operating system's words, when it cannot be made
// (a file stands under that name or above it, or the system refuses).
bool EnsureFolder(const std::string& folder);

// Appends every file under `folder` (recursively) to `files` as UTF-8
// paths. Hidden sub-folders are listed as entries, not descended into.
// False (with a log line) when a folder cannot be read; entries found before
// stay in the list.
bool ListFilesRecursive(const std::string& folder, std::vector<std::string>* files);

}  // namespace kx

#endif  // KX_COMMON_STAGING_H_
