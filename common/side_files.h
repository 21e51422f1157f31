// Side files: the pictures, cards and other bytes a package hands over
// beside its document, written into the temp folder under names made from
// the data (so always through SafeFileName).
#ifndef KX_COMMON_SIDE_FILES_H_
#define KX_COMMON_SIDE_FILES_H_

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/platform.h"

namespace kx {

// Creates (or replaces) the file and writes the text. Failures are logged
// with the file path and the system error code; returns false then.
bool WriteTextFile(const std::string& path, const std::string& text);
// The log line of a WriteNewFile that failed; nothing when it did not.
void LogFileWriteFailure(const std::string& path, const FileWriteResult& result);

// The path of a side file named from untrusted text: the folder joined with
// the text made a safe file name (`fallback` when nothing of it is left).
std::string SideFilePath(const std::string& folder, const std::string& name_text,
                         const std::string& fallback = "side_file");

// Names unique within one package call, also on a disk that ignores case:
// a name given before (in any case) comes back with "_2", "_3", ... added.
class UniqueFileNames {
 public:
  std::string Claim(const std::string& name);

 private:
  std::unordered_set<std::string> lowered_;
};

// Writes the side files of one package call. Many messages carry the same
// bytes (a sticker sent again, a forwarded picture, the same contact card),
// and creating a file costs far more than naming one more time: a file
// whose bytes equal those of a recent one is made a hard link to it. Every
// side file still has its own name and exactly its bytes (files for
// reading: one written into in place would change its twins); a file system
// without hard links, or a file linked too often, gets copies. Memory is
// bounded by the recent contents kept for the comparison.
class SideFileWriter {
 public:
  explicit SideFileWriter(std::string folder) : folder_(std::move(folder)) {}

  // Writes `bytes` under a name made from untrusted text (through
  // SafeFileName) in the folder, replacing a file of that name. Returns the
  // path, or "" when there is nothing to write or the file cannot be
  // written (logged).
  std::string Write(const std::string& name_text, const std::string& bytes);
  // The same under a path already made safe (SideFilePath). False when the
  // file cannot be written (logged).
  bool WriteAt(const std::string& path, const std::string& bytes);

 private:
  // A file written recently. The recent files are kept in a ring of slots
  // whose buffers are used again, and found by scanning the slots' sizes and
  // path hashes: thousands of thumbnails pass through, and allocating for
  // each one cost more than comparing it.
  struct Recent {
    std::string bytes;
    std::string path;  // a file this writer wrote with these bytes
    bool used = false;
  };
  static constexpr size_t kNoSlot = static_cast<size_t>(-1);

  bool LinkToRecent(const Recent& recent, const std::string& path);
  // The used slot whose entry in `keys` is `key` and whose `member` equals
  // `value`; kNoSlot when none.
  size_t FindSlot(const std::vector<uint64_t>& keys, uint64_t key, std::string Recent::*member,
                  const std::string& value) const;
  void Remember(uint64_t path_hash, const std::string& bytes, const std::string& path);
  void Evict(size_t slot);

  std::string folder_;
  std::vector<Recent> slots_;          // the ring, created with the first file
  std::vector<uint64_t> sizes_;        // of each slot's bytes
  std::vector<uint64_t> path_hashes_;  // of each slot's path
  size_t next_slot_ = 0;               // the oldest slot, the next to take
  size_t recent_bytes_ = 0;
};

}  // namespace kx

#endif  // KX_COMMON_SIDE_FILES_H_
