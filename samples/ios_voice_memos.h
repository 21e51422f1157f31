// A generator of the iOS voice memo stores: the local recordings database
// (Media/Recordings/Recordings.db, up to iOS 11) and the cloud one
// (Media/Recordings/CloudRecordings.db, from iOS 12), with the audio of
// their recordings.
#ifndef KX_SAMPLES_IOS_VOICE_MEMOS_H_
#define KX_SAMPLES_IOS_VOICE_MEMOS_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Versions of Recordings.db, oldest first:
//  1  iOS 6 to 8: ZRECORDING without ZUNIQUEID;
//  2  iOS 9 to 11: ZUNIQUEID added.
constexpr int kIosRecordingsOldestSchema = 1;
constexpr int kIosRecordingsNewestSchema = 2;

// Versions of CloudRecordings.db, oldest first:
//  1  iOS 12 and 13: ZCLOUDRECORDING with ZEVICTIONDATE, no folders;
//  2  iOS 14 to 16: folders (ZFOLDER), ZCUSTOMLABELFORSORTING and
//     ZENCRYPTEDTITLE;
//  3  iOS 17 on: playback, studio-mix and silence-removal columns.
constexpr int kIosCloudRecordingsOldestSchema = 1;
constexpr int kIosCloudRecordingsNewestSchema = 3;

// The CREATE statements for a version; the newest for a number out of
// range.
std::string IosRecordingsSql(int schema_version);
std::string IosCloudRecordingsSql(int schema_version);

// Where the stores lie in a backup (MediaDomain).
constexpr char kIosRecordingsPath[] = "Media/Recordings/Recordings.db";
constexpr char kIosCloudRecordingsPath[] = "Media/Recordings/CloudRecordings.db";

// The audio of one recording, by its path in MediaDomain.
struct IosRecordingAudio {
  std::string relative_path;
  std::string bytes;
};

// A playable .m4a as the phone writes it (ftyp "M4A ", one AAC-LC track,
// its sample table and the media data): 0.19 s of mono silence.
std::string TinyM4a();

// Write the store at `path` (an existing file is replaced). Their paths
// are the phone's own ("/var/mobile/Media/Recordings/<date>.m4a"); the
// cloud store holds a recording whose audio was evicted from the phone
// (no audio for it), and the older copy a recording deleted since.
// `audio` receives the audio of each recording the phone still holds.
bool WriteIosRecordings(const std::string& path, const IosSampleOptions& options,
                        std::vector<IosRecordingAudio>* audio);
bool WriteIosCloudRecordings(const std::string& path, const IosSampleOptions& options,
                             std::vector<IosRecordingAudio>* audio);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_VOICE_MEMOS_H_
