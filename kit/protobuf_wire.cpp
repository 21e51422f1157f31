#include "kit/protobuf_wire.h"

namespace kx {

bool ReadVarint(std::string_view bytes, size_t* pos, uint64_t* value) {
  uint64_t result = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (*pos >= bytes.size()) return false;
    const auto byte = static_cast<uint8_t>(bytes[(*pos)++]);
    result |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) {
      *value = result;
      return true;
    }
  }
  return false;
}

bool SkipBytes(std::string_view bytes, size_t* pos, uint64_t count) {
  if (count > bytes.size() - *pos) return false;
  *pos += static_cast<size_t>(count);
  return true;
}

}  // namespace kx
