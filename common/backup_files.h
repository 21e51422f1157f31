// Files inside an iOS backup folder: each is stored under its file id (the
// SHA-1 of its domain and relative path), in the backup root or in a
// sub-folder named after the id's first two digits; Manifest.db catalogues
// domains and paths.
#ifndef KX_COMMON_BACKUP_FILES_H_
#define KX_COMMON_BACKUP_FILES_H_

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/sqlite_wrapper.h"

namespace kx {

// 40 lower-case hex digits: SHA-1 of domain + "-" + relative path.
std::string BackupFileId(const std::string& domain, const std::string& relative_path);

// Whether `file_id` is 40 lower-case hex digits.
bool IsBackupFileId(std::string_view file_id);

// root/<first two digits>/<id> when `two_level`, else root/<id>. An id
// shorter than two characters is its own folder name.
std::string BackupFilePath(const std::string& backup_root, const std::string& file_id,
                           bool two_level);

// BackupFilePath with the layout the backup has: two-level when the
// sub-folder of the id's first two digits exists. The file itself is not
// checked, except that a path leading out of the root through a link is
// not followed. "" (logged) for an id that is not a file id, a root that
// is not a folder, or a path that leads outside the root.
std::string ResolveBackupFile(const std::string& backup_root, const std::string& file_id);

// ResolveBackupFile for many files of one backup: whether the root is a
// folder, and where each of its sub-folders leads, is found once, so that a
// file costs one look at its own entry (a file that is a link is followed
// and checked in full); a folder asked for many files is listed once
// instead, and its links kept. Gives what ResolveBackupFile gives while the
// backup's folders stay as they are.
class BackupFileResolver {
 public:
  explicit BackupFileResolver(std::string backup_root);
  std::string Resolve(const std::string& file_id);

 private:
  // The entries of one folder that may lead elsewhere, once it is listed.
  struct Links {
    std::string folder;
    int looked_at = 0;  // files looked at one by one before the listing
    bool listed = false;
    std::unordered_set<std::string> names;  // in lower case
  };
  struct Folder {
    bool known = false;
    bool two_level = false;  // root/<first two digits> exists
    bool inside = false;     // and, its links resolved, lies inside the root
    Links links;             // of root/<first two digits>
  };
  // Whether `path`, its links and ".." resolved, lies inside the root
  // (resolved once).
  bool Inside(const std::string& path);
  // Whether the entry `name` at `path`, in the folder of `links`, may lead
  // elsewhere.
  bool MayBeLink(const std::string& path, const std::string& name, Links* links);

  std::string root_;
  int root_is_folder_ = -1;  // -1 not yet known
  std::filesystem::path canonical_root_;
  int canonical_root_state_ = 0;  // 0 not yet resolved, 1 resolved, -1 failed
  Folder folders_[256];           // by the id's first two digits
  Links root_links_;              // of the root, where files lie in it
};

// The file id of the shortest relative path of an ordinary file (flags 1)
// that contains a fragment, over an open catalogue; prepared once, so one
// look-up object serves every name of a walk. The fragment is bound and its
// LIKE wildcards are escaped, so a name with "%", "_" or a quote matches
// only itself.
class CatalogueFragmentLookup {
 public:
  explicit CatalogueFragmentLookup(const SQLite3Wrapper& manifest);
  // False when the database has no Files table.
  bool ready() const { return statement_.prepared(); }
  // "" when no file's path contains `fragment` (or it is empty).
  std::string FileId(const std::string& fragment);

 private:
  SqliteStatement statement_;
};

// The catalogue of a backup (Manifest.db, table Files), read only. Every
// value from the data is bound, never spliced into the SQL.
class BackupCatalogue {
 public:
  explicit BackupCatalogue(std::string manifest_path);
  BackupCatalogue(const BackupCatalogue&) = delete;
  BackupCatalogue& operator=(const BackupCatalogue&) = delete;

  // 0, or 1105 (with SQLite's words logged under `stem`) when the file is
  // no database or has no Files table.
  int Open(const char* stem);

  // File id of the shortest relative path of an ordinary file (flags 1)
  // that contains `fragment`; "" when none does.
  std::string FileIdByPathFragment(const std::string& fragment);
  // File id of `relative_path` in `domain`; "" when the catalogue has none.
  std::string FileIdByPath(const std::string& domain, const std::string& relative_path);
  // File id of the first file of `domain` whose relative path matches the
  // LIKE pattern `path_pattern`; "" when none does.
  std::string FileIdByPattern(const std::string& domain, const std::string& path_pattern);

 private:
  std::string FirstFileId(SqliteStatement* statement);

  SQLite3Wrapper db_;
  bool open_ = false;
};

}  // namespace kx

#endif  // KX_COMMON_BACKUP_FILES_H_
