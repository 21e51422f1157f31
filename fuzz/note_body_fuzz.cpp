// A note body whose bytes are anything: the decoder answers content items
// or nothing, reading nothing outside the bytes and never inflating past
// its cap; every text item is well-formed UTF-8 and every attachment item
// an identifier of 36 bytes. The bytes are also walked as an inflated
// document, so the walk is reached without a valid stream in front of it.
// libFuzzer options: -max_len=4096 -rss_limit_mb=512
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ios/note_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const kx::NoteContentItem& item : kx::DecodeNoteBody(bytes)) {
    if (item.type == "1" && kx::KeepWellFormedUtf8(item.data) != item.data) std::abort();
    if (item.type != "1" && item.data.size() != 36) std::abort();
  }
  std::string inflated;
  if (kx::InflateNoteBody(bytes, &inflated) &&
      inflated.size() > kx::NoteBodyOutputCap(bytes.size())) {
    std::abort();
  }
  std::string_view text;
  if (kx::FindNoteText(bytes, &text) &&
      (text.data() < bytes.data() || text.data() + text.size() > bytes.data() + bytes.size())) {
    std::abort();
  }
  for (const kx::NoteAttachmentMarker& marker : kx::FindAttachmentMarkers(bytes)) {
    if (bytes.find(marker.identifier) == std::string::npos) std::abort();
  }
  return 0;
}
