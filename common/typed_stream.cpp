#include "common/typed_stream.h"

#include <cstdint>
#include <vector>

namespace kx {

namespace {

constexpr std::string_view kMagic = "\x04\x0bstreamtyped";

// Tags the archiver writes where an integer could stand: an integer of the
// next two or four bytes (little-endian), a new object, class or string,
// nil, and the end of an object. Bytes from kFirstReference on refer to
// the strings and classes defined so far, in order.
constexpr uint8_t kInteger16 = 0x81;
constexpr uint8_t kInteger32 = 0x82;
constexpr uint8_t kNew = 0x84;
constexpr uint8_t kNil = 0x85;
constexpr uint8_t kEndOfObject = 0x86;
constexpr uint8_t kFirstReference = 0x92;

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool AtEnd() const { return at_ >= bytes_.size(); }
  uint8_t Peek(size_t ahead = 0) const {
    return at_ + ahead < bytes_.size() ? static_cast<uint8_t>(bytes_[at_ + ahead]) : 0;
  }
  void Skip(size_t count) { at_ = count > bytes_.size() - at_ ? bytes_.size() : at_ + count; }

  // An integer with its length prefix; false when the bytes run out.
  bool Integer(int64_t* value) {
    if (AtEnd()) return false;
    const uint8_t first = Peek();
    size_t width = 0;
    if (first == kInteger16) width = 2;
    if (first == kInteger32) width = 4;
    if (width == 0) {
      *value = static_cast<int8_t>(first);
      ++at_;
      return true;
    }
    if (bytes_.size() - at_ - 1 < width) return false;
    uint64_t bits = 0;
    for (size_t i = 0; i < width; ++i) {
      bits |= uint64_t{static_cast<uint8_t>(bytes_[at_ + 1 + i])} << (8 * i);
    }
    at_ += 1 + width;
    *value = width == 2 ? static_cast<int16_t>(bits) : static_cast<int32_t>(bits);
    return true;
  }

  // Bytes counted by a prefixed length; false when the length is negative
  // or more than the stream holds.
  bool Counted(std::string_view* bytes) {
    int64_t length = 0;
    if (!Integer(&length) || length < 0 || static_cast<uint64_t>(length) > bytes_.size() - at_) {
      return false;
    }
    *bytes = bytes_.substr(at_, static_cast<size_t>(length));
    at_ += static_cast<size_t>(length);
    return true;
  }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

bool IsStringClass(std::string_view name) {
  return name == "NSString" || name == "NSMutableString";
}

}  // namespace

bool TypedStreamString(std::string_view stream, std::string* text) {
  text->clear();
  if (stream.substr(0, kMagic.size()) != kMagic) return false;
  Reader reader(stream.substr(kMagic.size()));
  int64_t version = 0;
  if (!reader.Integer(&version)) return false;

  // Strings defined so far (class names and type encodings), for the
  // references to them. The walk is one pass over the bytes: a class chain
  // that refers back to itself or nests deeply costs no more than its
  // length.
  std::vector<std::string_view> shared;
  bool in_string_object = false;
  while (!reader.AtEnd()) {
    const uint8_t tag = reader.Peek();
    std::string_view defined;
    bool have = false;
    if (tag == kNew) {
      const uint8_t next = reader.Peek(1);
      reader.Skip(1);
      // A new object or class is followed by its class; a new string by
      // its length and bytes.
      if (next == kNew || next == kNil || next == kEndOfObject || next >= kFirstReference) {
        continue;
      }
      if (!reader.Counted(&defined)) return false;
      shared.push_back(defined);
      have = true;
    } else if (tag >= kFirstReference) {
      reader.Skip(1);
      const size_t index = tag - kFirstReference;
      if (index < shared.size()) {
        defined = shared[index];
        have = true;
      }
    } else {
      int64_t skipped = 0;
      if (!reader.Integer(&skipped)) return false;
    }
    if (!have) continue;
    if (IsStringClass(defined)) in_string_object = true;
    // The string object's contents: the type "+" (bytes), then the
    // counted bytes themselves.
    if (in_string_object && defined == "+") {
      std::string_view characters;
      if (!reader.Counted(&characters)) return false;
      text->assign(characters.data(), characters.size());
      return true;
    }
  }
  return false;
}

}  // namespace kx
