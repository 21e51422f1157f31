// The message store of older iPhones: sms.db of iOS 4 and 5 (message,
// msg_group, group_member, msg_pieces; iOS 5 adds iMessage in the madrid_
// columns and madrid_attachment) and of iOS 6 (the first store with handle,
// chat and their join tables, before the columns of later versions).
#ifndef KX_SAMPLES_IOS_OLD_MESSAGES_H_
#define KX_SAMPLES_IOS_OLD_MESSAGES_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// The CREATE statements of sms.db (several, separated by ';') as iOS
// `ios_version` (4, 5 or 6) made it; iOS 6's for any other number.
std::string IosOldMessagesSql(int ios_version);

// iOS 5 keeps SMS dates in seconds since 1970, iMessage dates in seconds
// since 2001; an SMS message's flags are 2 when received and 3 when sent,
// an iMessage's madrid_flags 12289 when received and 36869 when sent.
constexpr int kIosOldSmsReceived = 2;
constexpr int kIosOldSmsSent = 3;
constexpr int kIosOldIMessageReceived = 12289;
constexpr int kIosOldIMessageSent = 36869;

// Writes a fresh iOS 5 sms.db at `path` (an existing file is replaced): an
// SMS conversation with one person (longer with the scale), a group MMS
// whose words lie in its text parts, and an iMessage conversation with a
// photo. False when the file cannot be written.
bool WriteIosOldMessages(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_OLD_MESSAGES_H_
