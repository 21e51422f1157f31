// The tar stream inside an Android backup file: 512-byte ustar headers
// (with pax headers for long names), each followed by its content padded
// to 512 bytes. Members are read one at a time from a ByteSource, so a
// backup of any size costs a few buffers. Only folders and regular files
// are taken: a link, a name that leaves the archive ("..", absolute, a
// NUL) or a header that does not add up stops the stream with the offset.
#ifndef KXPACKAGE_TAR_READER_H_
#define KXPACKAGE_TAR_READER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/kxpackage/ab_stream.h"

namespace kxpackage {

struct TarMember {
  std::string name;  // as stored, "/" separated, relative
  uint64_t size = 0;
  bool is_folder = false;
  uint64_t offset = 0;  // of its header in the tar stream
};

class TarReader {
 public:
  // `source` outlives the reader; `where` names the file for messages.
  TarReader(ByteSource* source, std::string where);

  enum class Step { kMember, kEnd, kError };
  // The next member, its content unread; what was left of the last one is
  // skipped first.
  Step Next(TarMember* member);
  // Up to `capacity` bytes more of the current member's content; 0 at its
  // end. False on a stream that ends early.
  bool ReadContent(char* buffer, size_t capacity, size_t* got);
  // The current member's content whole, when it is at most `limit` bytes.
  bool ReadAll(std::string* content, uint64_t limit);

  const std::string& error() const { return error_; }

 private:
  bool Fill(char* buffer, size_t count);  // exactly `count` bytes
  bool Skip(uint64_t count);
  bool Fail(uint64_t at, const std::string& what);
  bool ReadPax(uint64_t size, std::string* path);

  ByteSource* source_;
  std::string where_;
  std::vector<char> buffer_;
  size_t buffered_ = 0, used_ = 0;
  uint64_t offset_ = 0;   // bytes of the tar stream consumed
  uint64_t left_ = 0;     // of the current member's content
  uint64_t padding_ = 0;  // after it
  std::string error_;
};

// Whether a member name stays inside the archive: relative, no "..", no
// NUL, no backslash or drive.
bool IsSafeMemberName(const std::string& name);

}  // namespace kxpackage

#endif  // KXPACKAGE_TAR_READER_H_
