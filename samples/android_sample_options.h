// Options shared by the generators of Android phone databases.
#ifndef KX_SAMPLES_ANDROID_SAMPLE_OPTIONS_H_
#define KX_SAMPLES_ANDROID_SAMPLE_OPTIONS_H_

#include <cstdint>

namespace kx::samples {

struct AndroidSampleOptions {
  int scale = 1;           // record count multiplier
  uint32_t seed = 1;       // same seed, same file
  int schema_version = 2;  // 1 older, 2 newer
  // The older copy keeps records that the newer one lost (deleted on the
  // phone since) and lacks the newest ones.
  bool older_copy = false;
};

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_SAMPLE_OPTIONS_H_
