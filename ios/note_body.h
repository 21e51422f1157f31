// Note bodies of the current notes store: a zlib or gzip stream holding a
// protocol-buffer document whose third length-delimited field is the note's
// text, with U+FFFC standing in for each attachment. Every length in the
// body comes from the phone's data, so nothing here trusts one.
#ifndef KX_IOS_NOTE_BODY_H_
#define KX_IOS_NOTE_BODY_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// One piece of a note body, in body order. `type` is "1" text, "2" an
// attachment, "3" a table; `data` the text or the attachment identifier.
struct NoteContentItem {
  std::string type;
  std::string data;
  bool operator==(const NoteContentItem& other) const {
    return type == other.type && data == other.data;
  }
};

// An attachment identifier found in an inflated body.
struct NoteAttachmentMarker {
  std::string identifier;
  bool table = false;
};

// The most an inflated body may grow to: a small stream that claims far
// more (a zlib bomb) is given up rather than held in memory.
size_t NoteBodyOutputCap(size_t compressed_size);

// Inflates a body starting 78 9C (zlib) or 1F 8B (gzip). False, with *out
// cleared, for any other start, a damaged or cut stream, or one whose
// output would pass NoteBodyOutputCap. The buffer of *out is reused.
bool InflateNoteBody(std::string_view compressed, std::string* out);

// The 36-byte identifiers of the attribute runs, in body order.
std::vector<NoteAttachmentMarker> FindAttachmentMarkers(std::string_view body);

// The note text: the payload of the third length-delimited field entered
// from the start. False when the walk leaves the buffer first.
bool FindNoteText(std::string_view body, std::string_view* text);

// `text` without the sequences that are not well-formed UTF-8.
std::string KeepWellFormedUtf8(std::string_view text);

// The whole decoding; empty when the body cannot be read.
std::vector<NoteContentItem> DecodeNoteBody(std::string_view compressed);
// The same, inflating into `body`, whose buffer serves note after note.
std::vector<NoteContentItem> DecodeNoteBody(std::string_view compressed, std::string* body);

}  // namespace kx

#endif  // KX_IOS_NOTE_BODY_H_
