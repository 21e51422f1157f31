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
// The largest buffer a freed slot keeps for the next file.
constexpr size_t kKeptSlotBytes = 8 * 1024;

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
  // Names are found by a hash (they share the folder's path and often their
  // length); bytes by their size, since files of one size are few among the
  // recent ones and a comparison stops at the first byte that differs,
  // where hashing reads every byte.
  const uint64_t path_hash = std::hash<std::string_view>{}(path);
  // Whatever this name held is replaced: it is no longer a source of links.
  const size_t same_path = FindSlot(path_hashes_, path_hash, &Recent::path, path);
  if (same_path != kNoSlot) Evict(same_path);
  // Larger bytes are never remembered, so they are not compared either.
  if (bytes.size() > kMaxComparedFileBytes) return WriteTextFile(path, bytes);
  const size_t same_bytes = FindSlot(sizes_, bytes.size(), &Recent::bytes, bytes);
  if (same_bytes != kNoSlot && LinkToRecent(slots_[same_bytes], path)) return true;
  if (!WriteTextFile(path, bytes)) return false;
  // A twin that could not be linked (linked too often) makes way.
  if (same_bytes != kNoSlot) Evict(same_bytes);
  Remember(path_hash, bytes, path);
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

size_t SideFileWriter::FindSlot(const std::vector<uint64_t>& keys, uint64_t key,
                                std::string Recent::*member, const std::string& value) const {
  for (size_t slot = 0; slot < keys.size(); ++slot) {
    if (keys[slot] == key && slots_[slot].used && slots_[slot].*member == value) return slot;
  }
  return kNoSlot;
}

void SideFileWriter::Remember(uint64_t path_hash, const std::string& bytes,
                              const std::string& path) {
  if (slots_.empty()) {
    slots_.resize(kMaxRecentFiles);
    sizes_.resize(kMaxRecentFiles);
    path_hashes_.resize(kMaxRecentFiles);
  }
  // The oldest files make room: one slot, and as many bytes as needed.
  const size_t slot = next_slot_;
  Evict(slot);
  for (size_t older = (slot + 1) % kMaxRecentFiles;
       recent_bytes_ + bytes.size() > kMaxRecentBytes && older != slot;
       older = (older + 1) % kMaxRecentFiles) {
    Evict(older);
  }
  next_slot_ = (slot + 1) % kMaxRecentFiles;
  Recent& recent = slots_[slot];
  recent.bytes.assign(bytes);
  recent.path.assign(path);
  recent.used = true;
  sizes_[slot] = bytes.size();
  path_hashes_[slot] = path_hash;
  recent_bytes_ += bytes.size();
}

void SideFileWriter::Evict(size_t slot) {
  Recent& recent = slots_[slot];
  if (!recent.used) return;
  recent_bytes_ -= recent.bytes.size();
  recent.used = false;
  // A slot keeps the buffer of a thumbnail for the next one, not that of a
  // large file: the ring's memory stays near its byte bound.
  if (recent.bytes.capacity() > kKeptSlotBytes) std::string().swap(recent.bytes);
}

}  // namespace kx
