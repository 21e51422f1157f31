// SHA-1 (FIPS 180), our own routine: iOS backups store each file under the
// SHA-1 of its domain and path.
#ifndef KX_COMMON_SHA1_H_
#define KX_COMMON_SHA1_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// A digest fed in pieces.
class Sha1 {
 public:
  Sha1();
  void Update(std::string_view bytes);
  // The 20 digest bytes; the object is spent afterwards.
  std::array<uint8_t, 20> Finish();

 private:
  void ProcessBlock(const uint8_t* block);

  std::array<uint32_t, 5> state_;
  uint8_t pending_[64] = {};
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

// 40 lower-case hex digits of the SHA-1 digest of the bytes.
std::string Sha1Hex(std::string_view bytes);

}  // namespace kx

#endif  // KX_COMMON_SHA1_H_
