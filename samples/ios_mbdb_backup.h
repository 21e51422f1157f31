// Backups as iTunes wrote them for iOS 4 to 9: Manifest.mbdb lists every
// file (domain, path, mode, times, size, protection class and, when
// encrypted, its wrapped key), and each file is stored under its file id
// right in the backup folder. Made from a backup of the current layout, so
// that both package alike. The ciphers here are written afresh from
// OpenSSL's primitives, apart from the host's, so that a test of the host's
// decryption is no round trip through one implementation.
#ifndef KX_SAMPLES_IOS_MBDB_BACKUP_H_
#define KX_SAMPLES_IOS_MBDB_BACKUP_H_

#include <string>

namespace kx::samples {

struct MbdbBackupOptions {
  std::string password;  // "" for a plain backup
  int iterations = 10;   // ITER of the keybag; low keeps the tests fast
  std::string product_type = "iPhone5,2";
  std::string product_version = "6.1.3";
};

// Writes into `target` (replaced) the iOS 4-9 form of the backup at
// `plain_root` (Manifest.db layout). False with `error` set when something
// cannot be read or written.
bool WriteIosMbdbBackup(const std::string& plain_root, const std::string& target,
                        const MbdbBackupOptions& options, std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_MBDB_BACKUP_H_
