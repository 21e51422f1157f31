// SHA-1 (FIPS 180), our own routine: iOS backups store each file under the
// SHA-1 of its domain and path.
#ifndef KX_COMMON_SHA1_H_
#define KX_COMMON_SHA1_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// Which steps digest a block: the fastest the processor offers (its SHA
// extensions where it has them), or the portable ones alone (for tests, so
// that both give the same digests on any machine).
enum class Sha1Steps { kFastest, kPortable };

// A digest fed in pieces.
class Sha1 {
 public:
  explicit Sha1(Sha1Steps steps = Sha1Steps::kFastest);
  void Update(std::string_view bytes);
  // The 20 digest bytes; the object is spent afterwards.
  std::array<uint8_t, 20> Finish();

 private:
  void ProcessBlock(const uint8_t* block);

  std::array<uint32_t, 5> state_;
  bool extensions_;
  uint8_t pending_[64] = {};
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

// 40 lower-case hex digits of the SHA-1 digest of the bytes.
std::string Sha1Hex(std::string_view bytes, Sha1Steps steps = Sha1Steps::kFastest);

}  // namespace kx

#endif  // KX_COMMON_SHA1_H_
