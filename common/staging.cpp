#include "common/staging.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/platform.h"
#include "common/wal_only_store.h"

namespace kx {

namespace {

namespace fs = std::filesystem;

constexpr char kSourceStem[] = "mediacommon";

// Logs the text the standard library would have thrown for this failure.
void LogFileSystemError(const char* operation, const fs::path& first, const fs::path& second,
                        const std::error_code& error) {
  const fs::filesystem_error failure(operation, first, second, error);
  KX_LOG(kLogError, "%s", failure.what());
}

bool IsSameFile(const fs::path& first, const fs::path& second) {
  std::error_code error;
  return fs::equivalent(first, second, error) && !error;
}

bool RemoveIfPresent(const fs::path& path) {
  std::error_code error;
  fs::remove(path, error);
  if (!error) return true;
  LogFileSystemError("cannot remove file", path, fs::path(), error);
  return false;
}

// Replaces `copy` by a byte copy of `source`. The copy is made writable for
// its owner, because the merge step writes into staged databases even when
// the source itself is read-only.
bool ReplaceWithCopy(const fs::path& source, const fs::path& copy) {
  if (!RemoveIfPresent(copy)) return false;
  std::error_code error;
  // Exclusive: whatever appears under the name after the removal (a planted
  // link) makes the copy fail instead of being written through.
  fs::copy_file(source, copy, fs::copy_options::none, error);
  if (error) {
    LogFileSystemError("cannot copy file", source, copy, error);
    return false;
  }
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                  error);
  if (error) {
    LogFileSystemError("cannot set permissions", copy, fs::path(), error);
    return false;
  }
  return true;
}

fs::path WithSuffix(const fs::path& path, const char* suffix) {
  fs::path suffixed = path;
  suffixed += suffix;
  return suffixed;
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

// One folder whose entries are still being listed.
struct OpenFolder {
  std::string utf8_path;
  std::vector<FolderEntry> entries;
  size_t next = 0;
};

bool PushFolder(const std::string& folder, std::vector<OpenFolder>* pending) {
  OpenFolder opened{folder, {}, 0};
  std::error_code error;
  const bool read = ListFolder(folder, &opened.entries, &error);
  if (!read) KX_LOG_AT(kLogError, kSourceStem, "folder open fail : %d.", error.value());
  // What was read before a failure is still listed.
  pending->push_back(std::move(opened));
  return read;
}

// Only plain folders are walked into: hidden ones (".git", ".thumbnails")
// are reported as entries, and links are not followed, so a link cycle
// cannot make the walk endless.
bool IsWalkedFolder(const FolderEntry& entry) {
  return !entry.name.empty() && entry.name[0] != '.' && entry.is_folder;
}

}  // namespace

std::string StageSourceFile(const std::string& dest_folder, const std::string& source,
                            const std::string& copy_name) {
  const fs::path source_path = PathFromUtf8(source);
  std::error_code error;
  const fs::file_status source_status = fs::status(source_path, error);
  if (source.empty() || !fs::exists(source_status)) {
    KX_LOG_AT(kLogError, kSourceStem, "source file not found : %s.", source.c_str());
    return std::string();
  }
  if (fs::is_directory(source_status)) {
    KX_LOG_AT(kLogError, kSourceStem, "source is a folder : %s.", source.c_str());
    return std::string();
  }

  const std::string name = copy_name.empty() ? PathToUtf8(source_path.filename()) : copy_name;
  const std::string copy_utf8 = JoinPath(dest_folder, name);
  const fs::path copy_path = PathFromUtf8(copy_utf8);
  // The source may already be the staged copy (a second filter call).
  if (IsSameFile(source_path, copy_path)) return copy_utf8;

  if (!ReplaceWithCopy(source_path, copy_path)) return std::string();
  // A journal left beside an earlier copy belongs to other content; SQLite
  // would replay it into the fresh copy.
  const fs::path copy_wal = WithSuffix(copy_path, "-wal");
  if (!RemoveIfPresent(WithSuffix(copy_path, "-shm")) || !RemoveIfPresent(copy_wal)) {
    return std::string();
  }
  const fs::path source_wal = WithSuffix(source_path, "-wal");
  if (Exists(source_wal) && !ReplaceWithCopy(source_wal, copy_wal)) return std::string();
  // A store copied before its first checkpoint keeps every page in the
  // "-wal": the copy gets page 1 so that SQLite reads the journal rather
  // than deleting it.
  if (Exists(source_wal) && !SeedEmptyStoreFromWal(copy_path, copy_wal)) {
    KX_LOG_AT(kLogError, kSourceStem, "Fail to write %s from its -wal.", copy_utf8.c_str());
    return std::string();
  }
  return copy_utf8;
}

bool EnsureFolder(const std::string& folder) {
  const fs::path path = PathFromUtf8(folder);
  std::error_code error;
  if (fs::is_directory(path, error)) return true;
  if (folder.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
  } else if (fs::exists(path, error)) {
    error = std::make_error_code(std::errc::not_a_directory);
  } else {
    fs::create_directories(path, error);
  }
  if (error) {
    LogFileSystemError("cannot create folder", path, fs::path(), error);
    return false;
  }
  return true;
}

bool ListFilesRecursive(const std::string& folder, std::vector<std::string>* files) {
  if (files == nullptr) return false;
  // An explicit stack instead of recursion: a deep tree cannot exhaust the
  // call stack, and entries still come out depth-first.
  std::vector<OpenFolder> pending;
  if (!PushFolder(folder, &pending)) return false;
  bool all_read = true;
  while (!pending.empty()) {
    OpenFolder& current = pending.back();
    if (current.next == current.entries.size()) {
      pending.pop_back();
      continue;
    }
    const FolderEntry entry = current.entries[current.next++];
    const std::string entry_path = JoinPath(current.utf8_path, entry.name);
    // `current` may dangle from here on: PushFolder grows the stack.
    if (IsWalkedFolder(entry)) {
      if (!PushFolder(entry_path, &pending)) all_read = false;
    } else {
      files->push_back(entry_path);
    }
  }
  return all_read;
}

}  // namespace kx
