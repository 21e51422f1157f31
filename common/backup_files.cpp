#include "common/backup_files.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/platform.h"
#include "common/sha1.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "common/text.h"

namespace kx {

namespace {

constexpr char kStem[] = "backupfiles";
constexpr size_t kFileIdDigits = 40;

// The fragment is bound with its LIKE wildcards escaped: "IMG_0001.JPG"
// matches itself, not "IMGX0001.JPG".
constexpr char kByFragmentQuery[] =
    "select fileID from Files where relativePath LIKE '%' || ?1 || '%' ESCAPE '\\' and flags=1 "
    "order by length(relativePath) limit 1";
constexpr char kByPathQuery[] =
    "select fileID from Files where domain=?1 and relativePath=?2 limit 1";
constexpr char kByPatternQuery[] =
    "select fileID from Files where domain=?1 and relativePath like ?2 limit 1";

// `path` with its links and ".." resolved.
std::filesystem::path Canonical(const std::string& path, std::error_code* error) {
  return std::filesystem::weakly_canonical(std::filesystem::absolute(PathFromUtf8(path), *error),
                                           *error);
}

// Whether `path`, its links and ".." resolved, lies inside `folder` (resolved
// already).
bool LiesInsideResolved(const std::filesystem::path& folder, const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = Canonical(path, &error);
  if (error) return false;
  auto inner = resolved.begin();
  for (auto outer = folder.begin(); outer != folder.end(); ++outer, ++inner) {
    if (outer->empty() && std::next(outer) == folder.end()) break;  // a trailing separator
    if (inner == resolved.end() || *inner != *outer) return false;
  }
  return true;
}

// Whether `path`, its links and ".." resolved, lies inside `root`.
bool LiesInside(const std::string& root, const std::string& path) {
  std::error_code error;
  const std::filesystem::path folder = Canonical(root, &error);
  return !error && LiesInsideResolved(folder, path);
}

}  // namespace

std::string BackupFileId(const std::string& domain, const std::string& relative_path) {
  Sha1 sha1;
  sha1.Update(domain);
  sha1.Update("-");
  sha1.Update(relative_path);
  std::string hex;
  hex.reserve(kFileIdDigits);
  static constexpr char kDigits[] = "0123456789abcdef";
  for (const uint8_t byte : sha1.Finish()) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

bool IsBackupFileId(std::string_view file_id) {
  if (file_id.size() != kFileIdDigits) return false;
  for (const char c : file_id) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string BackupFilePath(const std::string& backup_root, const std::string& file_id,
                           bool two_level) {
  if (!two_level) return JoinPath(backup_root, file_id);
  return JoinPath(JoinPath(backup_root, file_id.substr(0, 2)), file_id);
}

std::string ResolveBackupFile(const std::string& backup_root, const std::string& file_id) {
  if (!IsBackupFileId(file_id)) {
    KX_LOG_AT(kLogProblem, kStem, "%s is not a backup file id.", file_id.c_str());
    return std::string();
  }
  std::error_code error;
  if (!std::filesystem::is_directory(PathFromUtf8(backup_root), error)) {
    KX_LOG_AT(kLogProblem, kStem, "backup folder %s not found.", backup_root.c_str());
    return std::string();
  }
  const std::filesystem::file_status status =
      std::filesystem::status(PathFromUtf8(JoinPath(backup_root, file_id.substr(0, 2))), error);
  const bool two_level = status.type() != std::filesystem::file_type::not_found &&
                         status.type() != std::filesystem::file_type::none &&
                         status.type() != std::filesystem::file_type::unknown;
  const std::string path = BackupFilePath(backup_root, file_id, two_level);
  // A backup comes from someone else's computer: a stored file that is a
  // link leading out of it is not followed.
  if (!LiesInside(backup_root, path)) {
    KX_LOG_AT(kLogProblem, kStem, "%s leads outside the backup, not followed.", path.c_str());
    return std::string();
  }
  return path;
}

BackupFileResolver::BackupFileResolver(std::string backup_root) : root_(std::move(backup_root)) {
  root_links_.folder = root_;
}

std::string BackupFileResolver::Resolve(const std::string& file_id) {
  if (root_is_folder_ < 0) {
    std::error_code error;
    root_is_folder_ = std::filesystem::is_directory(PathFromUtf8(root_), error) ? 1 : 0;
  }
  // The cases that are logged take the full way, which logs them.
  if (!IsBackupFileId(file_id) || root_is_folder_ == 0) return ResolveBackupFile(root_, file_id);
  const auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  Folder& folder = folders_[digit(file_id[0]) * 16 + digit(file_id[1])];
  if (!folder.known) {
    folder.known = true;
    std::error_code error;
    const std::string sub_folder = JoinPath(root_, file_id.substr(0, 2));
    const std::filesystem::file_type type =
        std::filesystem::status(PathFromUtf8(sub_folder), error).type();
    folder.two_level = type != std::filesystem::file_type::not_found &&
                       type != std::filesystem::file_type::none &&
                       type != std::filesystem::file_type::unknown;
    folder.inside = Inside(folder.two_level ? sub_folder : root_);
    folder.links.folder = sub_folder;
  }
  const std::string path = BackupFilePath(root_, file_id, folder.two_level);
  // A file that is no link resolves to its folder's resolution and its name.
  const bool plain = !MayBeLink(path, file_id, folder.two_level ? &folder.links : &root_links_);
  if (plain ? !folder.inside : !Inside(path)) {
    KX_LOG_AT(kLogProblem, kStem, "%s leads outside the backup, not followed.", path.c_str());
    return std::string();
  }
  return path;
}

bool BackupFileResolver::MayBeLink(const std::string& path, const std::string& name, Links* links) {
  // A folder is listed once it has been asked for this many files: a
  // listing reads every entry, a look costs one call.
  constexpr int kLooksBeforeListing = 16;
  if (!links->listed && ++links->looked_at > kLooksBeforeListing) {
    std::vector<FolderEntry> entries;
    std::error_code error;
    if (ListFolder(links->folder, &entries, &error)) {
      links->listed = true;
      for (const FolderEntry& entry : entries) {
        if (entry.is_link) links->names.insert(ToLowerAscii(entry.name));
      }
    }
  }
  // Lower case on both sides: Windows' names match whatever their case.
  if (links->listed) return links->names.count(ToLowerAscii(name)) != 0;
  std::error_code error;
  const std::filesystem::file_type type =
      std::filesystem::symlink_status(PathFromUtf8(path), error).type();
  return type == std::filesystem::file_type::symlink || type == std::filesystem::file_type::none ||
         type == std::filesystem::file_type::unknown;
}

bool BackupFileResolver::Inside(const std::string& path) {
  if (canonical_root_state_ == 0) {
    std::error_code error;
    canonical_root_ = Canonical(root_, &error);
    canonical_root_state_ = error ? -1 : 1;
  }
  if (canonical_root_state_ < 0) return false;
  // The root itself, as every folder of a flat backup asks.
  return path == root_ || LiesInsideResolved(canonical_root_, path);
}

BackupCatalogue::BackupCatalogue(std::string manifest_path) : db_(std::move(manifest_path)) {}

int BackupCatalogue::Open(const char* stem) {
  // The catalogue is the backup's own file: it is only ever read.
  const SourceCheck check = CheckSourceDatabase(&db_, OpenMode::kReadOnly);
  if (!check.ok()) {
    KX_LOG_AT(kLogError, stem, "Manifest %s cannot be read: %s.", db_.path().c_str(),
              check.message.c_str());
    return kStatusOpenFailed;
  }
  if (!CheckIsTableExist(db_, "Files")) {
    KX_LOG_AT(kLogError, stem, "Manifest %s has no table Files.", db_.path().c_str());
    return kStatusOpenFailed;
  }
  open_ = true;
  return kStatusOk;
}

std::string BackupCatalogue::FirstFileId(SqliteStatement* statement) {
  if (statement->Step() != SQLITE_ROW) return std::string();
  return statement->ColumnText(0);
}

CatalogueFragmentLookup::CatalogueFragmentLookup(const SQLite3Wrapper& manifest)
    : statement_(PrepareStatement(manifest, kByFragmentQuery)) {}

std::string CatalogueFragmentLookup::FileId(const std::string& fragment) {
  if (!statement_.prepared() || fragment.empty()) return std::string();
  statement_.BindText(1, EscapeLikePattern(fragment));
  std::string file_id = statement_.Step() == SQLITE_ROW ? statement_.ColumnText(0) : "";
  statement_.Reset();
  return file_id;
}

std::string BackupCatalogue::FileIdByPathFragment(const std::string& fragment) {
  if (!open_) return std::string();
  return CatalogueFragmentLookup(db_).FileId(fragment);
}

std::string BackupCatalogue::FileIdByPath(const std::string& domain,
                                          const std::string& relative_path) {
  if (!open_) return std::string();
  SqliteStatement statement = PrepareStatement(db_, kByPathQuery);
  statement.BindText(1, domain);
  statement.BindText(2, relative_path);
  return FirstFileId(&statement);
}

std::string BackupCatalogue::FileIdByPattern(const std::string& domain,
                                             const std::string& path_pattern) {
  if (!open_) return std::string();
  SqliteStatement statement = PrepareStatement(db_, kByPatternQuery);
  statement.BindText(1, domain);
  statement.BindText(2, path_pattern);
  return FirstFileId(&statement);
}

}  // namespace kx
