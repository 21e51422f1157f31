// Where the audio of a voicemail or a voice memo lies: the packagers hand
// over paths in the backup folder, never the audio itself.
#ifndef KX_IOS_RECORDING_FILES_H_
#define KX_IOS_RECORDING_FILES_H_

#include <string>

#include "packager/data_type_record.h"

namespace kx {

// The other-info member `key` read as the host writes it, a decimal number
// (non-zero is true). False when the host gave none.
bool ReadOtherInfoFlag(const DataTypeRecord& record, const char* key, bool* value);

// The stored file of `relative_path` in `domain` under `backup_root`, laid
// out in two-digit sub-folders when `two_level`. The path from the data is
// only hashed, so it cannot name a place outside the backup.
std::string RecordingInBackup(const std::string& backup_root, const std::string& domain,
                              const std::string& relative_path, bool two_level);

// `relative_path` under `folder`, for a plain folder of recordings; "" when
// the path could name a place outside the folder (a ".." or "." step, a
// drive or stream colon, a NUL) or names nothing.
std::string RecordingInFolder(const std::string& folder, const std::string& relative_path);

}  // namespace kx

#endif  // KX_IOS_RECORDING_FILES_H_
