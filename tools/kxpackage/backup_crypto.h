// The ciphers of an encrypted iOS backup, from OpenSSL: the password's key
// (PBKDF2), the wrapped keys (AES key wrap, RFC 3394) and the files
// (AES-256-CBC with a zero IV). Both directions are here: the host only
// decrypts, the sample generator encrypts to make encrypted backups to test
// with.
#ifndef KXPACKAGE_BACKUP_CRYPTO_H_
#define KXPACKAGE_BACKUP_CRYPTO_H_

#include <cstdint>
#include <string>

namespace kxpackage {

constexpr size_t kBackupKeyBytes = 32;
// A wrapped 32-byte key: the key and the 8-byte integrity block.
constexpr size_t kWrappedKeyBytes = 40;

enum class Digest { kSha1, kSha256 };

// PBKDF2 of `password` with `salt` over `iterations` rounds: 32 bytes in
// *key. False when OpenSSL refuses (rounds below 1, too many to count).
bool DeriveKey(const std::string& password, const std::string& salt, int64_t iterations,
               Digest digest, std::string* key);

// AES key unwrap of `wrapped` with the 32-byte `kek`. False when the
// integrity check fails: the key-encrypting key is not the one used to
// wrap (a wrong password), or the bytes are damaged.
bool UnwrapKey(const std::string& kek, const std::string& wrapped, std::string* key);
bool WrapKey(const std::string& kek, const std::string& key, std::string* wrapped);

// Decrypts AES-256-CBC (zero IV) from `in_path` into `out_path`, keeping
// the first `size` bytes of the plain text (size < 0: all of it, without
// its PKCS#7 padding where it has one). Streams, so any size costs the
// same memory. False with *message for a file that cannot be read or
// written, is not whole blocks, or is shorter than `size`; the output is
// removed then.
bool DecryptFile(const std::string& key, const std::string& in_path, const std::string& out_path,
                 int64_t size, std::string* message);

// AES-256-CBC (zero IV) with PKCS#7 padding, in memory.
bool EncryptBytes(const std::string& key, const std::string& plain, std::string* cipher);

// `count` random bytes from OpenSSL's generator.
bool RandomBytes(size_t count, std::string* bytes);

}  // namespace kxpackage

#endif  // KXPACKAGE_BACKUP_CRYPTO_H_
