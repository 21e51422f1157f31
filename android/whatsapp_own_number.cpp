#include "android/whatsapp_own_number.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "common/platform.h"

namespace kx {

namespace {

// The layout of the file up to the number: a fixed object header of 93
// bytes, then two strings, each a marker 't', a zero byte and a one-byte
// length, followed by the text.
constexpr size_t kMinimumSize = 96;
constexpr int64_t kFirstMarkerOffset = 93;
constexpr char kStringMarker = 't';

// Longer than any real file; a bigger one is not an own-number file.
constexpr std::streamsize kMaximumFileSize = 64 * 1024;

// The byte at `offset`, or -1 past either end.
int ByteAt(const std::string& bytes, int64_t offset) {
  if (offset < 0 || offset >= static_cast<int64_t>(bytes.size())) return -1;
  return static_cast<unsigned char>(bytes[static_cast<size_t>(offset)]);
}

int64_t SignedByteAt(const std::string& bytes, int64_t offset) {
  return static_cast<int8_t>(static_cast<uint8_t>(ByteAt(bytes, offset)));
}

// A string header (marker, zero) at `offset` followed by its length byte.
bool StringHeaderAt(const std::string& bytes, int64_t offset) {
  return ByteAt(bytes, offset) == kStringMarker && ByteAt(bytes, offset + 1) == 0 &&
         ByteAt(bytes, offset + 2) >= 0;
}

}  // namespace

bool ParseOwnNumber(const std::string& bytes, std::string* number) {
  if (bytes.size() < kMinimumSize) return false;
  if (!StringHeaderAt(bytes, kFirstMarkerOffset)) return false;
  const int64_t first_length = SignedByteAt(bytes, kFirstMarkerOffset + 2);
  const int64_t second_marker = kFirstMarkerOffset + 3 + first_length;
  if (!StringHeaderAt(bytes, second_marker)) return false;
  const int64_t second_length = SignedByteAt(bytes, second_marker + 2);
  const int64_t number_offset = second_marker + 3;
  if (second_length <= 0 || number_offset < 0 ||
      number_offset + second_length > static_cast<int64_t>(bytes.size())) {
    return false;
  }
  number->assign(bytes, static_cast<size_t>(number_offset), static_cast<size_t>(second_length));
  return true;
}

bool ReadOwnNumberFile(const std::string& path, std::string* number) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) return false;
  std::string bytes(static_cast<size_t>(kMaximumFileSize) + 1, '\0');
  in.read(&bytes[0], kMaximumFileSize + 1);
  const std::streamsize read = in.gcount();
  if (read > kMaximumFileSize) return false;
  bytes.resize(static_cast<size_t>(read));
  return ParseOwnNumber(bytes, number);
}

}  // namespace kx
