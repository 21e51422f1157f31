#include "common/property_list_bounds.h"

#include <cstdint>
#include <vector>

namespace kx {

namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr size_t kTrailerBytes = 32;

// Big-endian unsigned integer of `width` bytes at `offset`; false when it
// does not lie inside `bytes`.
bool ReadUnsigned(std::string_view bytes, uint64_t offset, size_t width, uint64_t* value) {
  if (width == 0 || width > 8 || offset > bytes.size() || bytes.size() - offset < width) {
    return false;
  }
  uint64_t result = 0;
  for (size_t i = 0; i < width; ++i) {
    result = (result << 8) | static_cast<uint8_t>(bytes[offset + i]);
  }
  *value = result;
  return true;
}

struct BinaryLayout {
  size_t offset_size = 0;
  size_t reference_size = 0;
  uint64_t object_count = 0;
  uint64_t top_object = 0;
  uint64_t offset_table = 0;
};

bool ReadTrailer(std::string_view bytes, BinaryLayout* layout) {
  if (bytes.size() < kBinaryMagic.size() + kTrailerBytes) return false;
  const uint64_t trailer = bytes.size() - kTrailerBytes;
  layout->offset_size = static_cast<uint8_t>(bytes[trailer + 6]);
  layout->reference_size = static_cast<uint8_t>(bytes[trailer + 7]);
  if (!ReadUnsigned(bytes, trailer + 8, 8, &layout->object_count) ||
      !ReadUnsigned(bytes, trailer + 16, 8, &layout->top_object) ||
      !ReadUnsigned(bytes, trailer + 24, 8, &layout->offset_table)) {
    return false;
  }
  // Every object takes at least one byte, so there cannot be more objects
  // than bytes; the offset table lies before the trailer.
  return layout->offset_size >= 1 && layout->offset_size <= 8 && layout->reference_size >= 1 &&
         layout->reference_size <= 8 && layout->object_count > 0 &&
         layout->object_count <= bytes.size() && layout->top_object < layout->object_count &&
         layout->offset_table <= trailer &&
         (trailer - layout->offset_table) / layout->offset_size >= layout->object_count;
}

// An object's marker: its kind (high nibble) and its length, which may
// follow as an integer object; *data is where its contents begin.
bool ReadMarker(std::string_view bytes, const BinaryLayout& layout, uint64_t object, uint8_t* kind,
                uint64_t* length, uint64_t* data) {
  uint64_t offset = 0;
  if (!ReadUnsigned(bytes, layout.offset_table + object * layout.offset_size, layout.offset_size,
                    &offset) ||
      offset >= bytes.size() - kTrailerBytes) {
    return false;
  }
  const uint8_t marker = static_cast<uint8_t>(bytes[offset]);
  *kind = marker >> 4;
  *length = marker & 0x0F;
  *data = offset + 1;
  if (*length != 0x0F) return true;
  uint64_t int_marker = 0;
  if (!ReadUnsigned(bytes, offset + 1, 1, &int_marker) || (int_marker >> 4) != 0x1) return false;
  const size_t width = size_t{1} << (int_marker & 0x0F);
  if (!ReadUnsigned(bytes, offset + 2, width, length)) return false;
  *data = offset + 2 + width;
  return true;
}

// The parser's dictionary walk aborts on a key that holds a NUL character,
// so such a key refuses the list. Keys of other kinds are the parser's to
// judge.
bool KeyWithoutNul(std::string_view bytes, const BinaryLayout& layout, uint64_t key) {
  uint8_t kind = 0;
  uint64_t length = 0;
  uint64_t data = 0;
  if (key >= layout.object_count || !ReadMarker(bytes, layout, key, &kind, &length, &data)) {
    return false;
  }
  const uint64_t unit = kind == 0x5 ? 1 : kind == 0x6 ? 2 : 0;
  if (unit == 0) return true;
  if (length > bytes.size() || data > bytes.size() || length * unit > bytes.size() - data) {
    return false;
  }
  for (uint64_t i = 0; i < length; ++i) {
    bool zero = bytes[data + i * unit] == '\0';
    if (unit == 2) zero = zero && bytes[data + i * unit + 1] == '\0';
    if (zero) return false;
  }
  return true;
}

// The references an object holds: where they start and how many there are
// (a dictionary's keys and values both count). Scalars hold none.
bool ObjectReferences(std::string_view bytes, const BinaryLayout& layout, uint64_t object,
                      uint64_t* first, uint64_t* count) {
  uint8_t kind = 0;
  uint64_t length = 0;
  *count = 0;
  if (!ReadMarker(bytes, layout, object, &kind, &length, first)) return false;
  // 0xA array, 0xC set, 0xD dictionary; everything else is a leaf.
  if (kind != 0xA && kind != 0xC && kind != 0xD) return true;
  const uint64_t references = kind == 0xD ? length * 2 : length;
  if (references > bytes.size() || references * layout.reference_size > bytes.size() - *first) {
    return false;
  }
  *count = references;
  for (uint64_t i = 0; kind == 0xD && i < length; ++i) {
    uint64_t key = 0;
    if (!ReadUnsigned(bytes, *first + i * layout.reference_size, layout.reference_size, &key) ||
        !KeyWithoutNul(bytes, layout, key)) {
      return false;
    }
  }
  return true;
}

// Depth and copied size of the object graph, by an explicit stack so that
// the check itself never recurses. A reference back to an object still
// being walked is a loop.
bool BinaryWithinBounds(std::string_view bytes, const PropertyListBounds& bounds) {
  BinaryLayout layout;
  if (!ReadTrailer(bytes, &layout)) return false;
  enum : uint8_t { kUnseen, kWalking, kDone };
  std::vector<uint8_t> state(layout.object_count, kUnseen);
  std::vector<uint32_t> depth(layout.object_count, 0);
  std::vector<uint64_t> nodes(layout.object_count, 0);
  struct Frame {
    uint64_t object, first, count, next;
  };
  std::vector<Frame> stack;
  auto push = [&](uint64_t object) {
    Frame frame{object, 0, 0, 0};
    if (!ObjectReferences(bytes, layout, object, &frame.first, &frame.count)) return false;
    state[object] = kWalking;
    depth[object] = frame.count > 0 ? 1 : 0;
    nodes[object] = 1;
    stack.push_back(frame);
    return stack.size() <= bounds.max_depth + 1;
  };
  if (!push(layout.top_object)) return false;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.count) {
      const uint64_t done = frame.object;
      state[done] = kDone;
      stack.pop_back();
      if (!stack.empty()) {
        const uint64_t parent = stack.back().object;
        if (depth[done] + 1 > depth[parent]) depth[parent] = depth[done] + 1;
        nodes[parent] += nodes[done];
        if (depth[parent] > bounds.max_depth || nodes[parent] > bounds.max_nodes) return false;
      }
      continue;
    }
    uint64_t child = 0;
    if (!ReadUnsigned(bytes, frame.first + frame.next * layout.reference_size,
                      layout.reference_size, &child) ||
        child >= layout.object_count) {
      return false;
    }
    ++frame.next;
    if (state[child] == kWalking) return false;
    if (state[child] == kDone) {
      const uint64_t parent = frame.object;
      if (depth[child] + 1 > depth[parent]) depth[parent] = depth[child] + 1;
      nodes[parent] += nodes[child];
      if (depth[parent] > bounds.max_depth || nodes[parent] > bounds.max_nodes) return false;
      continue;
    }
    if (!push(child)) return false;
  }
  return true;
}

// Whether the XML text spells a NUL character, raw or as a character
// reference ("&#0;", "&#x00;"): the parser would put it into a key.
bool XmlSpellsNul(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return true;
  for (size_t at = text.find("&#"); at != std::string_view::npos; at = text.find("&#", at + 2)) {
    size_t digit = at + 2;
    const bool hex = digit < text.size() && (text[digit] == 'x' || text[digit] == 'X');
    if (hex) ++digit;
    bool any = false;
    bool zero = true;
    for (; digit < text.size() && text[digit] != ';'; ++digit) {
      any = true;
      if (text[digit] != '0') zero = false;
    }
    if (any && zero) return true;
  }
  return false;
}

// XML lists: every node is spelled out, so the text bounds their number;
// the nesting of <array> and <dict> elements is counted.
bool XmlWithinBounds(std::string_view text, const PropertyListBounds& bounds) {
  if (XmlSpellsNul(text)) return false;
  size_t depth = 0;
  for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const std::string_view rest = text.substr(at + 1);
    if (rest.rfind("/array", 0) == 0 || rest.rfind("/dict", 0) == 0) {
      if (depth > 0) --depth;
      continue;
    }
    if (rest.rfind("array", 0) != 0 && rest.rfind("dict", 0) != 0) continue;
    const size_t close = rest.find('>');
    if (close == std::string_view::npos) return false;
    if (close > 0 && rest[close - 1] == '/') continue;  // <array/> holds nothing
    if (++depth > bounds.max_depth) return false;
  }
  return true;
}

}  // namespace

bool PropertyListWithinBounds(std::string_view bytes, const PropertyListBounds& bounds) {
  if (bytes.empty() || bytes.size() > bounds.max_bytes) return false;
  if (bytes.substr(0, kBinaryMagic.size()) == kBinaryMagic) {
    return BinaryWithinBounds(bytes, bounds);
  }
  return XmlWithinBounds(bytes, bounds);
}

}  // namespace kx
