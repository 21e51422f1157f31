// The call history of iOS 7 and earlier: call_history.db, whose table
// `call` holds the phone's last hundred calls.
#ifndef KX_SAMPLES_IOS_OLD_CALL_HISTORY_H_
#define KX_SAMPLES_IOS_OLD_CALL_HISTORY_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// The CREATE statements of call_history.db (several, separated by ';').
std::string IosOldCallHistorySql();

// What the phone writes in call.flags for an incoming and an outgoing phone
// call (bit 0: it went out), and the bit of a FaceTime call.
constexpr int kIosOldCallIncomingFlags = 4;
constexpr int kIosOldCallOutgoingFlags = 5;
constexpr int kIosOldCallFaceTime = 16;

// Writes a fresh call_history.db at `path` (an existing file is replaced):
// ten calls per scale unit, dated in seconds since 1970, of every kind
// (incoming, outgoing, missed, FaceTime), numbers written with blanks and
// dashes. False when the file cannot be written.
bool WriteIosOldCallHistory(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_OLD_CALL_HISTORY_H_
