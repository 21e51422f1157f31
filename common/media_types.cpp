#include "common/media_types.h"

#include <unordered_map>

namespace kx {

namespace {

struct MediaTypePair {
  const char* extension;
  int media_type;
};

constexpr MediaTypePair kMediaTypePairs[] = {
    {".thumb", kMediaImage},   {".png", kMediaImage},        {".jpg", kMediaImage},
    {".bmp", kMediaImage},     {".gif", kMediaImage},        {".tif", kMediaImage},
    {".tiff", kMediaImage},    {".svg", kMediaImage},        {".jpeg", kMediaImage},
    {".pic", kMediaImage},     {".pic_thum", kMediaImage},   {".heic", kMediaImage},
    {".webp", kMediaImage},

    {".wav", kMediaAudio},     {".mp3", kMediaAudio},        {".wma", kMediaAudio},
    {".ogg", kMediaAudio},     {".ape", kMediaAudio},        {".mid", kMediaAudio},
    {".acc", kMediaAudio},     {".amr", kMediaAudio},        {".m4r", kMediaAudio},
    {".m4a", kMediaAudio},     {".flac", kMediaAudio},       {".aiff", kMediaAudio},
    {".opus", kMediaAudio},    {".m4b", kMediaAudio},

    {".mov", kMediaVideo},     {".mp4", kMediaVideo},        {".avi", kMediaVideo},
    {".flv", kMediaVideo},     {".m4v", kMediaVideo},        {".mkv", kMediaVideo},
    {".rmvb", kMediaVideo},    {".wmv", kMediaVideo},

    {".txt", kMediaDocument},  {".epub", kMediaDocument},    {".pdf", kMediaDocument},
    {".doc", kMediaDocument},  {".docx", kMediaDocument},    {".xls", kMediaDocument},
    {".xlsx", kMediaDocument}, {".ppt", kMediaDocument},     {".pptx", kMediaDocument},
    {".key", kMediaDocument},  {".numbers", kMediaDocument}, {".pages", kMediaDocument},
};

static_assert(sizeof(kMediaTypePairs) / sizeof(kMediaTypePairs[0]) == 47,
              "the extension table holds 47 pairs");

// Built once on first use (thread-safe static initialisation) and read-only
// afterwards, so look-ups need no lock.
const std::unordered_map<std::string, int>& MediaTypeTable() {
  static const std::unordered_map<std::string, int> table = [] {
    std::unordered_map<std::string, int> pairs;
    for (const MediaTypePair& pair : kMediaTypePairs)
      pairs.emplace(pair.extension, pair.media_type);
    return pairs;
  }();
  return table;
}

}  // namespace

int GetMediaType(const std::string& extension) {
  const auto& table = MediaTypeTable();
  const auto found = table.find(extension);
  return found == table.end() ? kMediaUnknown : found->second;
}

}  // namespace kx
