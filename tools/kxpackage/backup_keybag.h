// The keybag of an encrypted iOS backup (Manifest.plist's "BackupKeyBag"):
// a run of tag-length-value entries (a 4-letter tag, a 4-byte big-endian
// length, the value). The header gives the password's salts and rounds
// (SALT and ITER; DPSL and DPIC on newer backups); each class key that
// follows starts with its UUID and holds its class (CLAS), how it is
// wrapped (WRAP) and the wrapped key (WPKY).
#ifndef KXPACKAGE_BACKUP_KEYBAG_H_
#define KXPACKAGE_BACKUP_KEYBAG_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kxpackage {

struct WrappedClassKey {
  uint32_t protection_class = 0;
  uint32_t wrap = 0;
  std::string wrapped;
};

struct Keybag {
  std::string salt;
  int64_t iterations = 0;
  // The first derivation of newer backups; empty salt: none.
  std::string double_protection_salt;
  int64_t double_protection_iterations = 0;
  std::vector<WrappedClassKey> class_keys;
};

// False, with what is wrong in *message, for bytes that are no keybag: an
// entry running past the end, no salt or rounds, no class key.
bool ParseKeybag(const std::string& bytes, Keybag* keybag, std::string* message);

// The password's key: PBKDF2-HMAC-SHA256 over DPSL/DPIC first where the
// keybag has them, then PBKDF2-HMAC-SHA1 over SALT/ITER. This is the slow
// step (ten million rounds on newer backups). False when OpenSSL refuses
// the keybag's rounds.
bool DerivePasswordKey(const Keybag& keybag, const std::string& password, std::string* key);

// The class keys that `password_key` unwraps, by class. False when one
// does not unwrap: the password is wrong.
bool UnwrapClassKeys(const Keybag& keybag, const std::string& password_key,
                     std::map<uint32_t, std::string>* class_keys);

// Wrapped keys of the backup (ManifestKey, a file's EncryptionKey): a
// 4-byte little-endian protection class, then the wrapped key. False when
// the bytes are too short or the class has no key.
bool UnwrapStoredKey(const std::map<uint32_t, std::string>& class_keys, const std::string& stored,
                     std::string* key);

}  // namespace kxpackage

#endif  // KXPACKAGE_BACKUP_KEYBAG_H_
