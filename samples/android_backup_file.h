// Files as `adb backup` writes them: the "ANDROID BACKUP" header, then a
// tar stream of apps/<package>/<domain>/<file>, deflated and AES-256
// encrypted as asked. Made from a sample folder of pulled databases, with
// the telephony provider's messages as its backup agent writes them (a
// zlib-compressed JSON array of SMS, another of MMS). The ciphers here are
// written from OpenSSL's primitives apart from the host's.
#ifndef KX_SAMPLES_ANDROID_BACKUP_FILE_H_
#define KX_SAMPLES_ANDROID_BACKUP_FILE_H_

#include <string>

namespace kx::samples {

struct AndroidBackupFileOptions {
  int version = 5;
  bool compressed = true;
  std::string password;  // "" for no encryption
  int rounds = 10000;
};

// Writes into `path` the backup of the folder `pulled` (as
// WriteAndroidSampleSet writes kSampleAndroidFolder). False with `error`
// set when something cannot be read or written.
bool WriteAndroidBackupFile(const std::string& pulled, const std::string& path,
                            const AndroidBackupFileOptions& options, std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_BACKUP_FILE_H_
