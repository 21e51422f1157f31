// Finding the databases of each data type in a folder pulled off a phone.
// Sources are only ever read: databases are probed in SQLite's immutable
// mode, which writes nothing beside them.
#ifndef KXPACKAGE_DISCOVERY_H_
#define KXPACKAGE_DISCOVERY_H_

#include <set>
#include <string>
#include <vector>

#include "tools/kxpackage/android_types.h"

namespace kxpackage {

enum class FileCheck { kDatabase, kMissing, kUnreadable, kNotDatabase, kFolder };

// What a path is, by its first bytes.
FileCheck CheckDatabaseFile(const std::string& path);
std::string DescribeFileCheck(FileCheck check);

// The table names of a database, empty when it cannot be read.
std::set<std::string> ListTables(const std::string& path);

struct FoundSource {
  std::string path;      // "" when nothing was found
  bool by_name = false;  // found by its usual file name (else by its tables)
  FileCheck check = FileCheck::kMissing;
};

// All regular files under `folder` (symlinks not followed, depth bounded).
std::vector<std::string> ListCandidateFiles(const std::string& folder);

// The best source of `spec` among `files`: the first usual name that is
// present (even if it turns out not to be a database, so that the caller
// can say so), else the first database holding one of its table sets.
FoundSource FindSource(const SourceSpec& spec, const std::vector<std::string>& files);

// Whether `path` is a database of `spec` (by its tables and path).
bool MatchesSource(const SourceSpec& spec, const std::string& path);

// The folder that holds `marker` (a relative folder path such as
// "apps/com.whatsapp/f") somewhere under `folder`, or `folder` itself.
std::string FindPrivateFilesRoot(const std::string& folder, const std::string& marker);

}  // namespace kxpackage

#endif  // KXPACKAGE_DISCOVERY_H_
