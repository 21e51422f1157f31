// The owner's number file of the WhatsApp private files, any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "android/whatsapp_own_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string number;
  kx::ParseOwnNumber(std::string(reinterpret_cast<const char*>(data), size), &number);
  return 0;
}
