// A generator of Android call-log databases (the calls table of calllog.db,
// or of contacts2.db on older phones).
#ifndef KX_SAMPLES_ANDROID_CALL_LOG_H_
#define KX_SAMPLES_ANDROID_CALL_LOG_H_

#include <string>

#include "samples/android_sample_options.h"

namespace kx::samples {

// The CREATE TABLE text of calls as the phone writes it: schema version 1 is
// the contacts2.db table of Android 4.4, 2 the calllog.db table of current
// releases.
const char* AndroidCallsTableSql(int schema_version);

// Calls one scale unit adds.
constexpr int kCallsPerScale = 100;

// Writes a fresh call log at `path` (an existing file is replaced): about
// kCallsPerScale * scale calls from a few dozen contacts, with every call
// type, unknown and private numbers and NULL cached names. A call keeps its
// _id in every copy; the newer copy has lost roughly one call in eleven and
// has the newest fifth that the older copy lacks. False when the file
// cannot be written.
bool WriteAndroidCallLog(const std::string& path, const AndroidSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_CALL_LOG_H_
