// An attributedBody whose bytes are anything: the decoder answers a string
// or nothing, reading nothing outside the bytes (the sanitizers watch a
// copy of exactly the input's size), and a string it answers lies inside
// the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/typed_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string text;
  if (kx::TypedStreamString(bytes, &text) && bytes.find(text) == std::string::npos) std::abort();
  return 0;
}
