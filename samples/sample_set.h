// The whole sample data set, as `kxpackage sample` writes it.
#ifndef KX_SAMPLES_SAMPLE_SET_H_
#define KX_SAMPLES_SAMPLE_SET_H_

#include <string>

namespace kx::samples {

// Sub-folders of a sample set: what a phone gives, and older copies of the
// same databases (holding records deleted since).
constexpr const char kSampleAndroidFolder[] = "android";
constexpr const char kSampleOlderFolder[] = "older";
// An iOS backup folder, and an earlier backup of the same phone.
constexpr const char kSampleIosFolder[] = "ios";
constexpr const char kSampleIosOlderFolder[] = "ios-older";
// The backup of kSampleIosFolder encrypted, and the file with its password.
constexpr const char kSampleIosEncryptedFolder[] = "ios-encrypted";
constexpr const char kSampleIosPasswordFile[] = "ios-encrypted-password.txt";
constexpr const char kSampleIosPassword[] = "Zoë's backup 2024";

// What a host builds itself from an iOS backup and hands over with request
// documents: the Kx photo database with its Photos folder, and the
// intermediate media databases of music and video, with one request
// document each under requests/ (for `kxpackage request`).
constexpr const char kSampleIosHostFolder[] = "ios-host";

// Writes folder/android and folder/older with every generator, record counts
// multiplied by `scale`. False with `error` set when a file cannot be written.
bool WriteAndroidSampleSet(const std::string& folder, int scale, std::string* error);

// Writes folder/ios and folder/ios-older: two backups of one phone, the
// older holding the calls and contacts deleted since.
bool WriteIosSampleSet(const std::string& folder, int scale, std::string* error);

// Writes folder/ios-host: kxphoto/ (the photo database and Photos/),
// media/music.db and media/video.db, older/ (stores of older phones:
// reminders in Calendar.sqlitedb, Recordings.db, a NoteStore.sqlite of
// iOS 11-12), temp/<name>/ for the packagers' files and
// requests/<name>.json naming them all by absolute path.
bool WriteIosHostSampleSet(const std::string& folder, int scale, std::string* error);

// The whole set: the Android folders, the iOS backups and the host's iOS
// files.
bool WriteSampleSet(const std::string& folder, int scale, std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_SAMPLE_SET_H_
