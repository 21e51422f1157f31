// A generator of the iOS call history (CallHistory.storedata, a Core Data
// store: ZCALLRECORD, ZHANDLE and the join table of remote participants).
#ifndef KX_SAMPLES_IOS_CALL_HISTORY_H_
#define KX_SAMPLES_IOS_CALL_HISTORY_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first:
//  1  iOS 9: no ZLOCATION, no ZSERVICE_PROVIDER, no ZLOCALPARTICIPANTUUID;
//  2  iOS 11-13: ZLOCATION and ZSERVICE_PROVIDER, no ZLOCALPARTICIPANTUUID;
//  3  iOS 14-16: ZLOCALPARTICIPANTUUID as a 16-byte BLOB; the join column of
//     handles is Z_3REMOTEPARTICIPANTHANDLES;
//  4  iOS 17 on: the Handle entity moved to number 4 (an entity sorts
//     before it), so the join column is Z_4REMOTEPARTICIPANTHANDLES.
constexpr int kIosCallHistoryOldestSchema = 1;
constexpr int kIosCallHistoryNewestSchema = 4;

// The CREATE statements of the store (several, separated by ';') for a
// version; the newest for a number out of range.
std::string IosCallHistorySql(int schema_version);

// Name of the handle column of Z_2REMOTEPARTICIPANTHANDLES in a version.
const char* IosCallHistoryHandleJoinColumn(int schema_version);

// Calls one scale unit adds.
constexpr int kIosCallsPerScale = 80;

// Numbers the phone still holds as handles though no call refers to them
// any more (their calls were deleted): every copy holds these handles, only
// the older copy holds a call for each.
constexpr int kIosForgottenNumbers = 2;

// Writes a fresh CallHistory.storedata at `path` (an existing file is
// replaced): about kIosCallsPerScale * scale calls of every kind (phone,
// FaceTime video and audio, calls of other applications where the version
// knows service providers; incoming, outgoing, missed), addresses written
// with blanks, dashes and brackets, one handle per address and the
// forgotten numbers. A call keeps its Z_PK in every copy; the newer copy has
// lost roughly one call in eleven, the older one lacks the newest fifth.
// False when the file cannot be written.
bool WriteIosCallHistory(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_CALL_HISTORY_H_
