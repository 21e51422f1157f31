// Encrypted iOS backups made from plain ones, as a computer encrypts them:
// a keybag whose class keys are wrapped with the password's key, every
// file encrypted under a key of its own (wrapped with its class key, kept
// in its Manifest.db row), and Manifest.db itself under the ManifestKey.
// Low round counts keep the tests fast; the format is the same.
#ifndef KX_SAMPLES_IOS_ENCRYPTED_BACKUP_H_
#define KX_SAMPLES_IOS_ENCRYPTED_BACKUP_H_

#include <string>

namespace kx::samples {

struct BackupEncryptionOptions {
  int iterations = 10;         // ITER (SHA-1 rounds)
  int double_iterations = 10;  // DPIC (SHA-256 rounds); 0: an older backup without DPSL
  std::string keyless_path;    // a relative path whose row gets no key
  std::string cut_path;        // a relative path whose stored file is cut short
};

// Writes into `target` the encrypted form of the plain backup at
// `plain_root`. False with `error` set when something cannot be written.
bool EncryptIosBackup(const std::string& plain_root, const std::string& target,
                      const std::string& password, const BackupEncryptionOptions& options,
                      std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_ENCRYPTED_BACKUP_H_
