// The generators' random numbers: SplitMix64, the same stream on every
// platform and standard library, so a seed always gives the same files.
#ifndef KX_SAMPLES_SAMPLE_RANDOM_H_
#define KX_SAMPLES_SAMPLE_RANDOM_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace kx::samples {

// One SplitMix64 step from `value`.
inline uint64_t SplitMix64(uint64_t value) {
  uint64_t z = value + 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

class SampleRandom {
 public:
  explicit SampleRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    const uint64_t value = SplitMix64(state_);
    state_ += 0x9E3779B97F4A7C15ULL;
    return value;
  }
  // Uniform in [0, bound); bound > 0.
  int64_t Below(int64_t bound) {
    return static_cast<int64_t>(Next() % static_cast<uint64_t>(bound));
  }
  bool PerMille(int chance) { return Below(1000) < chance; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
  std::string Hex(int digits) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < digits; ++i) hex += kDigits[Below(16)];
    return hex;
  }

 private:
  uint64_t state_;
};

}  // namespace kx::samples

#endif  // KX_SAMPLES_SAMPLE_RANDOM_H_
