// iOS voice memos (data type 21): the recordings of the local recordings
// database (Recordings.db) and of the cloud one (CloudRecordings.db), each
// with where its audio lies, in a backup or in a plain folder of
// recordings. A cloud recording whose audio was evicted from the phone is
// tagged "deleted".
#ifndef KX_IOS_VOICE_MEMOS_H_
#define KX_IOS_VOICE_MEMOS_H_

#include <string>

#include "packager/contract.h"

namespace kx {

// Hands {"size": n, "voice_memos_items": [...]} to the callback, the local
// recordings first. Returns 0 (also after a stop, then without a callback);
// 1100 without either database, without "has_sub_dir" or
// "is_voice_memos_folder", or without the backup folder; 1105/1106 when a
// database is no recordings store, whose recordings are then missing from
// the document the other one still gives.
int IosVoiceMemosDataPackage(DataTypeRecord* record, const PackageContext& context);

// Where the audio of a recording whose stored path is `media_path` lies:
// in `backup_root` as a backup keeps it (MediaDomain, two-digit sub-folders
// when `two_level`), or with `plain_folder` in the folder itself, by the
// part of the path after "Recordings". "" when the path names nothing
// there.
std::string VoiceMemoLocation(const std::string& media_path, const std::string& backup_root,
                              bool two_level, bool plain_folder);

}  // namespace kx

#endif  // KX_IOS_VOICE_MEMOS_H_
