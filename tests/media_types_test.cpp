#include "common/media_types.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

// The look-up, not the table: one extension of each kind, and the look-ups
// that find nothing (case, neighbours of known names, no dot).
TEST(GetMediaTypeTest, FindsExactExtensionsOnly) {
  EXPECT_EQ(kMediaImage, GetMediaType(".jpg"));
  EXPECT_EQ(kMediaAudio, GetMediaType(".opus"));
  EXPECT_EQ(kMediaVideo, GetMediaType(".mp4"));
  EXPECT_EQ(kMediaDocument, GetMediaType(".pdf"));
  for (const char* extension : {".JPG", ".aac", "", ".", "jpg", ".jpg ", ".jpgx", ".pic_thumb"}) {
    EXPECT_EQ(kMediaUnknown, GetMediaType(extension)) << '"' << extension << '"';
  }
}

}  // namespace
}  // namespace kx
