// The pieces of protocol buffers' wire format that the packagers read
// untrusted blobs with: the wire types and the varint reader, each bounded
// by the blob's end.
#ifndef KX_KIT_PROTOBUF_WIRE_H_
#define KX_KIT_PROTOBUF_WIRE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kx {

// The wire types of a field's key (its low three bits).
constexpr int kWireVarint = 0;
constexpr int kWireFixed64 = 1;
constexpr int kWireLengthDelimited = 2;
constexpr int kWireFixed32 = 5;

// The varint at *pos in *value, *pos moved past it; false when it runs past
// the end or past ten bytes (*pos and *value are then unspecified).
bool ReadVarint(std::string_view bytes, size_t* pos, uint64_t* value);

// Steps over `count` bytes; false (and *pos unchanged) when fewer are left.
bool SkipBytes(std::string_view bytes, size_t* pos, uint64_t count);

}  // namespace kx

#endif  // KX_KIT_PROTOBUF_WIRE_H_
