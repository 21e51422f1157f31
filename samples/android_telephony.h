// A generator of Android telephony databases (mmssms.db): SMS, MMS with
// their parts, threads and canonical addresses.
#ifndef KX_SAMPLES_ANDROID_TELEPHONY_H_
#define KX_SAMPLES_ANDROID_TELEPHONY_H_

#include <string>

#include "samples/android_sample_options.h"

namespace kx::samples {

// The CREATE TABLE texts of mmssms.db as the telephony provider writes them:
// schema version 1 is Android 4.4, 2 a current release (sub_id, creator,
// archived threads). Several statements, for sqlite3_exec.
const char* AndroidTelephonySchemaSql(int schema_version);

// Messages one scale unit adds.
constexpr int kSmsPerScale = 100;
constexpr int kMmsPerScale = 5;

// Writes a fresh telephony database at `path` (an existing file is
// replaced): about kSmsPerScale * scale SMS and kMmsPerScale * scale MMS
// between the owner and up to 4000 parties (numbers in several national
// formats, short codes, alphanumeric senders), group threads of two or three
// recipients, MMS with SMIL, text, picture, video, audio and vCard parts.
// The newer copy has lost about one message in ten and one whole
// conversation (its thread and canonical address too), and has reused the
// sms _id of the newest lost message, as the provider does; the older copy
// lacks the newest fifth of the messages. Threads, MMS and parts keep their
// _id in every copy. False when the file cannot be written.
bool WriteAndroidTelephony(const std::string& path, const AndroidSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_TELEPHONY_H_
