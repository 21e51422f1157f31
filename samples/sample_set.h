// The whole sample data set, as `kxpackage sample` writes it.
#ifndef KX_SAMPLES_SAMPLE_SET_H_
#define KX_SAMPLES_SAMPLE_SET_H_

#include <string>

namespace kx::samples {

// Sub-folders of a sample set: what a phone gives, and older copies of the
// same databases (holding records deleted since).
constexpr const char kSampleAndroidFolder[] = "android";
constexpr const char kSampleOlderFolder[] = "older";
// The phone's apps as `adb backup` writes them (version 5, compressed),
// also AES-256 encrypted with the password of the file beside it.
constexpr const char kSampleAndroidBackupFile[] = "android.ab";
constexpr const char kSampleAndroidEncryptedBackupFile[] = "android-encrypted.ab";
constexpr const char kSampleAndroidBackupPasswordFile[] = "android-encrypted-password.txt";
constexpr const char kSampleAndroidBackupPassword[] = "adb backup 2024";
// An iOS backup folder, and an earlier backup of the same phone.
constexpr const char kSampleIosFolder[] = "ios";
constexpr const char kSampleIosOlderFolder[] = "ios-older";
// The backup of kSampleIosFolder encrypted, and the file with its password.
constexpr const char kSampleIosEncryptedFolder[] = "ios-encrypted";
constexpr const char kSampleIosPasswordFile[] = "ios-encrypted-password.txt";
constexpr const char kSampleIosPassword[] = "Zoë's backup 2024";
// A backup of an iOS 6 phone (Manifest.mbdb, files right in the folder),
// plain and encrypted with the password of the file beside it.
constexpr const char kSampleIos6Folder[] = "ios6";
constexpr const char kSampleIos6EncryptedFolder[] = "ios6-encrypted";
constexpr const char kSampleIos6PasswordFile[] = "ios6-encrypted-password.txt";
constexpr const char kSampleIos6Password[] = "iPhone 4S, 2013";

// What a host builds itself from an iOS backup and hands over with request
// documents: the Kx photo database with its Photos folder, and the
// intermediate media databases of music and video, and the message store
// and call history of older phones (iOS 5 sms.db, iOS 7 call_history.db),
// with one request document each under requests/ (for `kxpackage request`).
constexpr const char kSampleIosHostFolder[] = "ios-host";

// Writes folder/android and folder/older with every generator, record counts
// multiplied by `scale`. False with `error` set when a file cannot be written.
bool WriteAndroidSampleSet(const std::string& folder, int scale, std::string* error);

// Writes folder/ios and folder/ios-older: two backups of one phone, the
// older holding the calls and contacts deleted since; and folder/ios6 and
// folder/ios6-encrypted, an iOS 6 phone's backups (always at scale 1).
bool WriteIosSampleSet(const std::string& folder, int scale, std::string* error);

// Writes folder/ios-host: kxphoto/ (the photo database and Photos/),
// media/music.db and media/video.db, older/ (stores of older phones:
// sms.db of iOS 5, call_history.db, reminders in Calendar.sqlitedb,
// Recordings.db, a NoteStore.sqlite of iOS 11-12), temp/<name>/ for the
// packagers' files and requests/<name>.json naming them all by absolute path.
bool WriteIosHostSampleSet(const std::string& folder, int scale, std::string* error);

// Writes folder/android.ab and folder/android-encrypted.ab from
// folder/android, with the password file.
bool WriteAndroidBackupFiles(const std::string& folder, std::string* error);

// The whole set: the Android folders, the backup files, the iOS backups and the host's iOS
// files.
bool WriteSampleSet(const std::string& folder, int scale, std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_SAMPLE_SET_H_
