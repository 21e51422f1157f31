#include "common/media_types.h"

#include <gtest/gtest.h>

#include <string>

namespace kx {
namespace {

struct MediaCase {
  const char* extension;
  int media_type;
};

// Every pair of the extension table.
constexpr MediaCase kKnownExtensions[] = {
    {".thumb", 1}, {".png", 1},  {".jpg", 1},  {".bmp", 1},     {".gif", 1},      {".tif", 1},
    {".tiff", 1},  {".svg", 1},  {".jpeg", 1}, {".pic", 1},     {".pic_thum", 1}, {".heic", 1},
    {".webp", 1},  {".wav", 2},  {".mp3", 2},  {".wma", 2},     {".ogg", 2},      {".ape", 2},
    {".mid", 2},   {".acc", 2},  {".amr", 2},  {".m4r", 2},     {".m4a", 2},      {".flac", 2},
    {".aiff", 2},  {".opus", 2}, {".m4b", 2},  {".mov", 3},     {".mp4", 3},      {".avi", 3},
    {".flv", 3},   {".m4v", 3},  {".mkv", 3},  {".rmvb", 3},    {".wmv", 3},      {".txt", 4},
    {".epub", 4},  {".pdf", 4},  {".doc", 4},  {".docx", 4},    {".xls", 4},      {".xlsx", 4},
    {".ppt", 4},   {".pptx", 4}, {".key", 4},  {".numbers", 4}, {".pages", 4},
};

TEST(GetMediaTypeTest, EveryKnownExtension) {
  for (const auto& c : kKnownExtensions) {
    EXPECT_EQ(c.media_type, GetMediaType(c.extension)) << c.extension;
  }
}

// Look-ups that find nothing.
TEST(GetMediaTypeTest, UnknownExtensions) {
  const char* const unknown[] = {".JPG", ".Mp4",  ".aac",  "",        ".",
                                 "jpg",  ".jpg ", ".jpgx", ".tar.gz", ".pic_thumb"};
  for (const char* extension : unknown) {
    EXPECT_EQ(kMediaUnknown, GetMediaType(extension)) << '"' << extension << '"';
  }
}

}  // namespace
}  // namespace kx
