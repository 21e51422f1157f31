// Small text helpers of the iOS generators.
#ifndef KX_SAMPLES_IOS_SAMPLE_TEXT_H_
#define KX_SAMPLES_IOS_SAMPLE_TEXT_H_

#include <string>

#include "samples/sample_random.h"

namespace kx::samples {

// A random UUID in the upper-case form the phone writes
// (8-4-4-4-12 hexadecimal digits).
inline std::string UpperUuid(SampleRandom& random) {
  std::string uuid = random.Hex(8) + "-" + random.Hex(4) + "-4" + random.Hex(3) + "-a" +
                     random.Hex(3) + "-" + random.Hex(12);
  for (char& c : uuid) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return uuid;
}

// `text` with the five characters XML reserves escaped.
inline std::string XmlEscape(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_SAMPLE_TEXT_H_
