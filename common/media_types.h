// Attachment classification by file extension.
#ifndef KX_COMMON_MEDIA_TYPES_H_
#define KX_COMMON_MEDIA_TYPES_H_

#include <string>

namespace kx {

constexpr int kMediaUnknown = 0;
constexpr int kMediaImage = 1;
constexpr int kMediaAudio = 2;
constexpr int kMediaVideo = 3;
constexpr int kMediaDocument = 4;

// Exact, case-sensitive look-up of an extension with its dot (".jpg");
// callers lower it with ToLowerAscii first. 0 when unknown.
int GetMediaType(const std::string& extension);

}  // namespace kx

#endif  // KX_COMMON_MEDIA_TYPES_H_
