// Options shared by the generators of iOS phone stores.
#ifndef KX_SAMPLES_IOS_SAMPLE_OPTIONS_H_
#define KX_SAMPLES_IOS_SAMPLE_OPTIONS_H_

#include <cstdint>

namespace kx::samples {

struct IosSampleOptions {
  int scale = 1;      // record count multiplier
  uint32_t seed = 1;  // same seed, same file
  // Each store numbers its own versions from 1 (oldest); 0 picks the newest.
  int schema_version = 0;
  // The older copy keeps records that the newer one lost (deleted on the
  // phone since) and lacks the newest ones.
  bool older_copy = false;
};

// Seconds from 1970-01-01 to 2001-01-01, the epoch of the phone's dates.
constexpr int64_t kAppleEpochUnixSeconds = 978307200;

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_SAMPLE_OPTIONS_H_
