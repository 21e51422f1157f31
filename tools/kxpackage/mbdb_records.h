// The records of Manifest.mbdb, the catalogue of iOS 4 to 9 backups, as
// they lie in the file: a "mbdb" header and version, then one record per
// file of the phone. Nothing here knows of the backup folder; the
// catalogue built from the records is mbdb_backup's job.
#ifndef KXPACKAGE_MBDB_RECORDS_H_
#define KXPACKAGE_MBDB_RECORDS_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kxpackage {

// One file, link or folder of the phone. Strings are length-prefixed in
// the file (a 16-bit big-endian length, 0xFFFF for none); the numbers are
// big-endian.
struct MbdbRecord {
  std::string domain;
  std::string path;
  std::string link_target;
  std::string digest;          // SHA-1 of the content, when given
  std::string encryption_key;  // protection class and wrapped key, encrypted backups only
  uint16_t mode = 0;           // Unix type and permission bits
  uint64_t inode = 0;
  uint32_t user_id = 0;
  uint32_t group_id = 0;
  uint32_t modified = 0;  // Unix seconds
  uint32_t accessed = 0;
  uint32_t created = 0;
  uint64_t size = 0;
  uint8_t protection_class = 0;
  std::vector<std::pair<std::string, std::string>> properties;
  size_t offset = 0;  // where the record starts in the file

  bool IsFile() const { return (mode & 0xF000) == 0x8000; }
  bool IsFolder() const { return (mode & 0xF000) == 0x4000; }
  bool IsLink() const { return (mode & 0xF000) == 0xA000; }
};

// Why bytes are not a manifest, and where.
struct MbdbError {
  size_t offset = 0;
  std::string what;
};

// The magic and the version written by iTunes from iOS 5 on (5.0).
constexpr char kMbdbMagic[] = "mbdb";
constexpr unsigned char kMbdbMajor = 5;
constexpr unsigned char kMbdbMinor = 0;

// Reads every record of `bytes`. False, with the first fault in *error, for
// a header that is not "mbdb" 5.0, a field running past the end, or a path
// that could leave its domain ("..", absolute, a NUL).
bool ParseMbdb(const std::string& bytes, std::vector<MbdbRecord>* records, MbdbError* error);

// Whether a relative path names something inside its domain: no ".."
// component (between "/" or "\\"), not absolute, no NUL.
bool IsSafeRelativePath(const std::string& path);

}  // namespace kxpackage

#endif  // KXPACKAGE_MBDB_RECORDS_H_
