#include "tools/kxpackage/backup_crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

constexpr size_t kBlock = 16;
constexpr size_t kChunk = 1 << 16;

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// One wrap or unwrap of a whole key; the cipher's integrity check is what
// tells a wrong key.
bool RunKeyWrap(bool wrap, const std::string& kek, const std::string& in, std::string* out) {
  if (kek.size() != kBackupKeyBytes || in.empty() || in.size() % 8 != 0) return false;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) return false;
  EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  if (EVP_CipherInit_ex(context.get(), EVP_aes_256_wrap(), nullptr, Bytes(kek), nullptr,
                        wrap ? 1 : 0) != 1) {
    return false;
  }
  std::vector<unsigned char> buffer(in.size() + 2 * kBlock);
  int length = 0;
  if (EVP_CipherUpdate(context.get(), buffer.data(), &length, Bytes(in),
                       static_cast<int>(in.size())) != 1) {
    return false;
  }
  int tail = 0;
  if (EVP_CipherFinal_ex(context.get(), buffer.data() + length, &tail) != 1) return false;
  out->assign(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(length + tail));
  return true;
}

// The length of `plain` without a PKCS#7 padding it ends with (its whole
// length when it has none).
size_t UnpaddedLength(const std::string& plain) {
  if (plain.empty()) return 0;
  const auto pad = static_cast<unsigned char>(plain.back());
  if (pad == 0 || pad > kBlock || pad > plain.size()) return plain.size();
  for (size_t i = plain.size() - pad; i < plain.size(); ++i) {
    if (static_cast<unsigned char>(plain[i]) != pad) return plain.size();
  }
  return plain.size() - pad;
}

class FileDecryption {
 public:
  FileDecryption(const std::string& in_path, const std::string& out_path, int64_t size)
      : in_path_(in_path), out_path_(out_path), size_(size) {}

  bool Run(const std::string& key, std::string* message) {
    if (!Decrypt(key, message)) {
      out_.close();
      std::error_code error;
      fs::remove(fs::u8path(out_path_), error);
      return false;
    }
    return true;
  }

 private:
  bool Decrypt(const std::string& key, std::string* message) {
    if (key.size() != kBackupKeyBytes) return Fail("a key of the wrong length", message);
    std::ifstream in(fs::u8path(in_path_), std::ios::binary);
    if (!in) return Fail("cannot be read", message);
    out_.open(fs::u8path(out_path_), std::ios::binary | std::ios::trunc);
    if (!out_) return Fail("cannot be written to " + out_path_, message);
    CipherContext context(EVP_CIPHER_CTX_new());
    const std::string iv(kBlock, '\0');
    if (!context ||
        EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, Bytes(key), Bytes(iv)) != 1) {
      return Fail("the cipher cannot be set up", message);
    }
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    std::vector<char> chunk(kChunk);
    std::vector<unsigned char> plain(kChunk + kBlock);
    while (in) {
      in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      const std::streamsize got = in.gcount();
      if (got <= 0) break;
      int length = 0;
      if (EVP_DecryptUpdate(context.get(), plain.data(), &length,
                            reinterpret_cast<const unsigned char*>(chunk.data()),
                            static_cast<int>(got)) != 1) {
        return Fail("does not decrypt", message);
      }
      Emit(plain.data(), static_cast<size_t>(length));
    }
    int tail = 0;
    // Without padding the final step only fails on a partial last block.
    if (EVP_DecryptFinal_ex(context.get(), plain.data(), &tail) != 1) {
      return Fail("is not whole cipher blocks (cut short?)", message);
    }
    if (size_ < 0) pending_.resize(UnpaddedLength(pending_));
    Write(pending_.data(), pending_.size());
    if (size_ >= 0 && written_ < size_) {
      return Fail("is shorter than its size (" + std::to_string(written_) + " of " +
                      std::to_string(size_) + " bytes)",
                  message);
    }
    out_.close();
    if (!out_) return Fail("cannot be written to " + out_path_, message);
    return true;
  }

  // Keeps the last block back until the end, where its padding can be seen.
  void Emit(const unsigned char* bytes, size_t count) {
    pending_.append(reinterpret_cast<const char*>(bytes), count);
    if (pending_.size() <= kBlock) return;
    const size_t ready = pending_.size() - kBlock;
    Write(pending_.data(), ready);
    pending_.erase(0, ready);
  }

  void Write(const char* bytes, size_t count) {
    if (size_ >= 0) count = std::min<int64_t>(static_cast<int64_t>(count), size_ - written_);
    if (count == 0) return;
    out_.write(bytes, static_cast<std::streamsize>(count));
    written_ += static_cast<int64_t>(count);
  }

  bool Fail(const std::string& why, std::string* message) {
    *message = in_path_ + ": " + why;
    return false;
  }

  const std::string in_path_;
  const std::string out_path_;
  const int64_t size_;
  std::ofstream out_;
  std::string pending_;
  int64_t written_ = 0;
};

}  // namespace

bool DeriveKey(const std::string& password, const std::string& salt, int64_t iterations,
               Digest digest, std::string* key) {
  if (iterations < 1 || iterations > INT_MAX || password.size() > INT_MAX ||
      salt.size() > INT_MAX) {
    return false;
  }
  std::string derived(kBackupKeyBytes, '\0');
  const EVP_MD* md = digest == Digest::kSha256 ? EVP_sha256() : EVP_sha1();
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), Bytes(salt),
                        static_cast<int>(salt.size()), static_cast<int>(iterations), md,
                        static_cast<int>(derived.size()),
                        reinterpret_cast<unsigned char*>(derived.data())) != 1) {
    return false;
  }
  *key = std::move(derived);
  return true;
}

bool UnwrapKey(const std::string& kek, const std::string& wrapped, std::string* key) {
  return wrapped.size() == kWrappedKeyBytes && RunKeyWrap(false, kek, wrapped, key) &&
         key->size() == kBackupKeyBytes;
}

bool WrapKey(const std::string& kek, const std::string& key, std::string* wrapped) {
  return key.size() == kBackupKeyBytes && RunKeyWrap(true, kek, key, wrapped);
}

bool DecryptFile(const std::string& key, const std::string& in_path, const std::string& out_path,
                 int64_t size, std::string* message) {
  return FileDecryption(in_path, out_path, size).Run(key, message);
}

bool EncryptBytes(const std::string& key, const std::string& plain, std::string* cipher) {
  if (key.size() != kBackupKeyBytes || plain.size() > INT_MAX - 2 * kBlock) return false;
  CipherContext context(EVP_CIPHER_CTX_new());
  const std::string iv(kBlock, '\0');
  if (!context ||
      EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, Bytes(key), Bytes(iv)) != 1) {
    return false;
  }
  std::vector<unsigned char> out(plain.size() + kBlock);
  int length = 0;
  int tail = 0;
  if (EVP_EncryptUpdate(context.get(), out.data(), &length, Bytes(plain),
                        static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), out.data() + length, &tail) != 1) {
    return false;
  }
  cipher->assign(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(length + tail));
  return true;
}

bool RandomBytes(size_t count, std::string* bytes) {
  bytes->assign(count, '\0');
  return count <= INT_MAX &&
         RAND_bytes(reinterpret_cast<unsigned char*>(bytes->data()), static_cast<int>(count)) == 1;
}

}  // namespace kxpackage
