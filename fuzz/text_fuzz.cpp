// Text helpers on arbitrary bytes; file names made from data never become
// paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::u16string wide = kx::Utf8ToUtf16(text);
  const std::string narrow = kx::Utf16ToUtf8(wide);
  // Whatever came in, what comes out converts back to itself.
  if (kx::Utf8ToUtf16(narrow) != wide) std::abort();
  kx::StripHtmlTags(text);
  kx::SplitByText(text, ";");
  kx::ReplaceAll(text, "a", "");
  const std::string name = kx::SafeFileName(text, "fallback");
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
    std::abort();
  }
  return 0;
}
