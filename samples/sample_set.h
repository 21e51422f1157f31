// The whole sample data set, as `kxpackage sample` writes it.
#ifndef KX_SAMPLES_SAMPLE_SET_H_
#define KX_SAMPLES_SAMPLE_SET_H_

#include <string>

namespace kx::samples {

// Sub-folders of a sample set: what a phone gives, and older copies of the
// same databases (holding records deleted since).
constexpr const char kSampleAndroidFolder[] = "android";
constexpr const char kSampleOlderFolder[] = "older";

// Writes folder/android and folder/older with every generator, record counts
// multiplied by `scale`. False with `error` set when a file cannot be written.
bool WriteAndroidSampleSet(const std::string& folder, int scale, std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_SAMPLE_SET_H_
