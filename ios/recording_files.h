// Where the audio of a voicemail or a voice memo lies: the packagers hand
// over paths in the backup folder, never the audio itself.
#ifndef KX_IOS_RECORDING_FILES_H_
#define KX_IOS_RECORDING_FILES_H_

#include <string>

namespace kx {

// `relative_path` under `folder`, for a plain folder of recordings; "" when
// the path could name a place outside the folder (a ".." or "." step, a
// drive or stream colon, a NUL) or names nothing.
std::string RecordingInFolder(const std::string& folder, const std::string& relative_path);

}  // namespace kx

#endif  // KX_IOS_RECORDING_FILES_H_
