#include "ios/note_body.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kit/protobuf_wire.h"

namespace kx {

namespace {

constexpr size_t kOutputCeiling = 64u * 1024u * 1024u;
constexpr size_t kMaxInflateRatio = 1000;
constexpr int kGzipOrZlibWindowBits = 47;  // 32 (detect the header) + 15

constexpr size_t kIdentifierLength = 36;
constexpr size_t kTableUtiOffset = 38;
constexpr char kTableUti[] = "com.apple.notes.table";
constexpr char kObjectReplacement[] = "\xEF\xBF\xBC";

constexpr int kTextFieldOrdinal = 3;

// Owns the z_stream between a successful init and inflateEnd.
class Inflater {
 public:
  Inflater() = default;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (initialised_) inflateEnd(&stream_);
  }

  bool Init(bool gzip) {
    const int result = gzip ? inflateInit2(&stream_, kGzipOrZlibWindowBits) : inflateInit(&stream_);
    initialised_ = result == Z_OK;
    return initialised_;
  }
  // True when inflateEnd succeeded.
  bool End() {
    initialised_ = false;
    return inflateEnd(&stream_) == Z_OK;
  }
  z_stream* stream() { return &stream_; }

 private:
  z_stream stream_{};
  bool initialised_ = false;
};

// Length of the well-formed UTF-8 sequence at `pos`, 0 when there is none.
size_t SequenceLength(std::string_view text, size_t pos) {
  const auto lead = static_cast<uint8_t>(text[pos]);
  if (lead < 0x80) return 1;
  size_t length;
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (length > text.size() - pos) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<uint8_t>(text[pos + i]);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

void AddText(std::string_view piece, std::vector<NoteContentItem>* items) {
  std::string text = KeepWellFormedUtf8(piece);
  if (!text.empty()) items->push_back({"1", std::move(text)});
}

}  // namespace

size_t NoteBodyOutputCap(size_t compressed_size) {
  if (compressed_size > kOutputCeiling / kMaxInflateRatio) return kOutputCeiling;
  return compressed_size * kMaxInflateRatio;
}

bool InflateNoteBody(std::string_view compressed, std::string* out) {
  out->clear();
  if (compressed.size() < 2) return false;
  const auto first = static_cast<uint8_t>(compressed[0]);
  const auto second = static_cast<uint8_t>(compressed[1]);
  const bool zlib = first == 0x78 && second == 0x9C;
  const bool gzip = first == 0x1F && second == 0x8B;
  if (!zlib && !gzip) return false;
  // zlib's avail_in is 32 bits wide; no real body comes near that.
  if (compressed.size() > UINT32_MAX / 2) return false;

  Inflater inflater;
  if (!inflater.Init(gzip)) return false;
  z_stream* stream = inflater.stream();
  stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream->avail_in = static_cast<uInt>(compressed.size());

  const size_t cap = NoteBodyOutputCap(compressed.size());
  const size_t growth = std::max<size_t>(1, compressed.size() / 2);
  // The caller's buffer is inflated into in place: one kept from the last
  // body needs no allocation for this one.
  std::string& buffer = *out;
  buffer.resize(std::min(cap, std::max(buffer.capacity(), compressed.size() * 2)));
  size_t used = 0;
  int result = Z_OK;
  while (result == Z_OK) {
    if (used == buffer.size()) {
      if (buffer.size() >= cap) break;  // would pass the cap: given up
      buffer.resize(std::min(cap, buffer.size() + growth));
    }
    stream->next_out = reinterpret_cast<Bytef*>(&buffer[used]);
    stream->avail_out = static_cast<uInt>(buffer.size() - used);
    result = inflate(stream, Z_SYNC_FLUSH);
    used = buffer.size() - stream->avail_out;
  }
  if (!inflater.End() || result != Z_STREAM_END) {
    out->clear();
    return false;
  }
  buffer.resize(used);
  return true;
}

std::vector<NoteAttachmentMarker> FindAttachmentMarkers(std::string_view body) {
  std::vector<NoteAttachmentMarker> markers;
  if (body.size() < kIdentifierLength) return markers;
  size_t pos = 0;
  while (pos + kIdentifierLength <= body.size()) {
    if (body[pos + 8] != '-' || body[pos + 13] != '-' || body[pos + 18] != '-' ||
        body[pos + 23] != '-') {
      ++pos;
      continue;
    }
    NoteAttachmentMarker marker;
    marker.identifier = std::string(body.substr(pos, kIdentifierLength));
    const size_t uti_length = sizeof(kTableUti) - 1;
    marker.table = body.size() - pos >= kTableUtiOffset + uti_length &&
                   body.compare(pos + kTableUtiOffset, uti_length, kTableUti) == 0;
    markers.push_back(std::move(marker));
    // Past the identifier: a run of dashes must not yield one identifier
    // per byte (that would be 36 bytes of output for each byte of input).
    pos += kIdentifierLength;
  }
  return markers;
}

bool FindNoteText(std::string_view body, std::string_view* text) {
  size_t pos = 0;
  int entered = 0;
  while (pos < body.size()) {
    uint64_t key = 0;
    if (!ReadVarint(body, &pos, &key)) return false;
    uint64_t value = 0;
    switch (static_cast<int>(key & 7)) {
      case kWireVarint:
        if (!ReadVarint(body, &pos, &value)) return false;
        break;
      case kWireFixed64:
        if (!SkipBytes(body, &pos, 8)) return false;
        break;
      case kWireFixed32:
        if (!SkipBytes(body, &pos, 4)) return false;
        break;
      case kWireLengthDelimited:
        if (!ReadVarint(body, &pos, &value) || value > body.size() - pos) return false;
        if (++entered == kTextFieldOrdinal) {
          *text = body.substr(pos, static_cast<size_t>(value));
          return true;
        }
        break;  // entered: the walk goes on at the payload
      default:  // groups and unknown wire types have no size
        return false;
    }
  }
  return false;
}

std::string KeepWellFormedUtf8(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  // Runs of well-formed sequences are copied whole, each bad byte ends one.
  size_t run = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    if (static_cast<uint8_t>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const size_t length = SequenceLength(text, pos);
    if (length == 0) {
      kept.append(text.data() + run, pos - run);
      run = ++pos;
      continue;
    }
    pos += length;
  }
  kept.append(text.data() + run, pos - run);
  return kept;
}

std::vector<NoteContentItem> DecodeNoteBody(std::string_view compressed) {
  std::string body;
  return DecodeNoteBody(compressed, &body);
}

std::vector<NoteContentItem> DecodeNoteBody(std::string_view compressed, std::string* body) {
  std::vector<NoteContentItem> items;
  if (!InflateNoteBody(compressed, body)) return items;
  std::string_view text;
  if (!FindNoteText(*body, &text)) return items;
  const size_t marker_length = sizeof(kObjectReplacement) - 1;
  size_t found = text.find(kObjectReplacement);
  // The identifiers are looked for only in a body whose text refers to one.
  const std::vector<NoteAttachmentMarker> markers = found == std::string_view::npos
                                                        ? std::vector<NoteAttachmentMarker>()
                                                        : FindAttachmentMarkers(*body);
  size_t next_marker = 0;
  size_t start = 0;
  for (; found != std::string_view::npos; found = text.find(kObjectReplacement, start)) {
    AddText(text.substr(start, found - start), &items);
    // A marker without an identifier left stands for nothing we can name.
    if (next_marker < markers.size()) {
      const NoteAttachmentMarker& marker = markers[next_marker++];
      items.push_back({marker.table ? "3" : "2", marker.identifier});
    }
    start = found + marker_length;
  }
  AddText(text.substr(start), &items);
  return items;
}

}  // namespace kx
