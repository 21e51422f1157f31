#include "common/side_files.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/log.h"
#include "common/platform.h"
#include "common/text.h"

namespace kx {

namespace {

// Bounds of the contents a SideFileWriter keeps for comparison: thumbnails
// and cards are a few kilobytes; larger bytes are written, never compared.
constexpr size_t kMaxComparedFileBytes = 64 * 1024;
constexpr size_t kMaxRecentBytes = 4 * 1024 * 1024;
constexpr size_t kMaxRecentFiles = 256;

}  // namespace

void LogFileWriteFailure(const std::string& path, const FileWriteResult& result) {
  switch (result.failed_step) {
    case FileStep::kNone:
      break;
    case FileStep::kOpen:
      KX_LOG(kLogError, "%s, file open fail, %d", path.c_str(), result.error);
      break;
    case FileStep::kWrite:
      KX_LOG(kLogError, "%s write error, %d\n", path.c_str(), result.error);
      break;
    case FileStep::kClose:
      KX_LOG(kLogError, "%s close error, %d\n", path.c_str(), result.error);
      break;
  }
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  // The name is unlinked rather than truncated: it may be a hard link to
  // other side files, which keep their bytes.
  const FileWriteResult result = WriteNewFile(path, text);
  LogFileWriteFailure(path, result);
  return result.ok();
}

std::string SideFilePath(const std::string& folder, const std::string& name_text,
                         const std::string& fallback) {
  return JoinPath(folder, SafeFileName(name_text, fallback));
}

std::string UniqueFileNames::Claim(const std::string& name) {
  std::string claimed = name;
  for (int suffix = 2; !lowered_.insert(ToLowerAscii(claimed)).second; ++suffix) {
    claimed = name + "_" + std::to_string(suffix);
  }
  return claimed;
}

std::string SideFileWriter::Write(const std::string& name_text, const std::string& bytes) {
  if (bytes.empty()) return std::string();
  const std::string path = SideFilePath(folder_, name_text);
  return WriteAt(path, bytes) ? path : std::string();
}

bool SideFileWriter::WriteAt(const std::string& path, const std::string& bytes) {
  // Whatever this name held is replaced: it is no longer a source of links.
  ForgetPath(path);
  // Larger bytes are never remembered, so they are not hashed either.
  if (bytes.size() > kMaxComparedFileBytes) return WriteTextFile(path, bytes);
  // Any good hash does for this look-up (equal keys are still compared byte
  // for byte); the library's hash runs several times faster than FNV-1a.
  const uint64_t key = std::hash<std::string_view>{}(bytes);
  const auto found = recent_.find(key);
  if (found != recent_.end() && found->second.bytes == bytes && LinkToRecent(found->second, path)) {
    return true;
  }
  if (!WriteTextFile(path, bytes)) return false;
  Remember(key, bytes, path);
  return true;
}

bool SideFileWriter::LinkToRecent(const Recent& recent, const std::string& path) {
  const std::filesystem::path source = PathFromUtf8(recent.path);
  const std::filesystem::path target = PathFromUtf8(path);
  std::error_code error;
  std::filesystem::create_hard_link(source, target, error);
  if (error == std::errc::file_exists) {
    std::filesystem::remove(target, error);
    std::filesystem::create_hard_link(source, target, error);
  }
  // Too many links to one file, or none at all on this file system: the
  // caller writes the bytes instead.
  return !error;
}

void SideFileWriter::Remember(uint64_t key, const std::string& bytes, const std::string& path) {
  const auto old = recent_.find(key);
  if (old != recent_.end()) {
    recent_bytes_ -= old->second.bytes.size();
    recent_paths_.erase(old->second.path);
    recent_.erase(old);
  }
  if (recent_.size() >= kMaxRecentFiles || recent_bytes_ + bytes.size() > kMaxRecentBytes) {
    recent_.clear();
    recent_paths_.clear();
    recent_bytes_ = 0;
  }
  recent_.emplace(key, Recent{bytes, path});
  recent_paths_.emplace(path, key);
  recent_bytes_ += bytes.size();
}

void SideFileWriter::ForgetPath(const std::string& path) {
  const auto found = recent_paths_.find(path);
  if (found == recent_paths_.end()) return;
  const auto recent = recent_.find(found->second);
  if (recent != recent_.end()) {
    recent_bytes_ -= recent->second.bytes.size();
    recent_.erase(recent);
  }
  recent_paths_.erase(found);
}

}  // namespace kx
