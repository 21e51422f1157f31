// LINE message parameters, post HTML and flex JSON, as the database holds
// them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pipeline/line_message_classifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const kx::LineParameters parameters = kx::LineParameters::Parse(text);
  for (int type = 0; type < 8; ++type) kx::ClassifyLineMessage(type, type, parameters);
  kx::ReduceHtmlContent(text);
  kx::ReduceFlexJson(text);
  return 0;
}
