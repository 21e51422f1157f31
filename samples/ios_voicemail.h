// A generator of the iOS voicemail store (Library/Voicemail/voicemail.db)
// and the AMR audio of its messages.
#ifndef KX_SAMPLES_IOS_VOICEMAIL_H_
#define KX_SAMPLES_IOS_VOICEMAIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first:
//  1  iOS 6 to 10: voicemail (ROWID .. flags) and _SqliteDatabaseProperties;
//  2  iOS 11 on: voicemail adds receiver and label (the line a message came
//     in on), and the map table of accounts.
constexpr int kIosVoicemailOldestSchema = 1;
constexpr int kIosVoicemailNewestSchema = 2;

// The CREATE statements of the store for a version; the newest for a
// number out of range.
std::string IosVoicemailSql(int schema_version);

// The audio of one message: Library/Voicemail/<ROWID>.amr in HomeDomain.
struct IosVoicemailAudio {
  int64_t row_id;
  std::string relative_path;
  std::string bytes;
};

// A short AMR-NB recording ("#!AMR\n" and `frames` frames of 20 ms).
std::string TinyAmr(int frames);

// Writes voicemail.db at `path` (an existing file is replaced): a few
// messages from numbers of the sample address book and from strangers, one
// without a sender, one trashed; the older copy also holds a message
// deleted since. `audio` receives the audio of each message. False when
// the file cannot be written.
bool WriteIosVoicemail(const std::string& path, const IosSampleOptions& options,
                       std::vector<IosVoicemailAudio>* audio);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_VOICEMAIL_H_
