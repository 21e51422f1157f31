#include "tools/kxpackage/ab_stream.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <climits>
#include <filesystem>
#include <vector>

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

constexpr char kMagic[] = "ANDROID BACKUP";
constexpr int kNewestVersion = 5;
constexpr size_t kMaxLine = 1024;  // the longest line, the master key blob, is 290 hex digits
// Android uses 10000 rounds; far more would only stall on a hostile file.
constexpr int64_t kMaxRounds = 1000000;
constexpr size_t kKeyBytes = 32;
constexpr size_t kBlockBytes = 16;
constexpr size_t kChunk = 64 * 1024;
// What the whole stream may inflate to: a phone's worth of app data.
constexpr uint64_t kMaxInflated = uint64_t{64} << 30;

bool FromHex(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = hex[j];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    bytes->push_back(static_cast<char>(value));
  }
  return true;
}

// Reads the header's lines one by one, each with its offset.
class Lines {
 public:
  explicit Lines(const std::string& bytes) : bytes_(bytes) {}
  bool Next(std::string* line, size_t* at) {
    *at = offset_;
    const size_t end = bytes_.find('\n', offset_);
    if (end == std::string::npos || end - offset_ > kMaxLine) return false;
    line->assign(bytes_, offset_, end - offset_);
    offset_ = end + 1;
    return true;
  }
  size_t offset() const { return offset_; }

 private:
  const std::string& bytes_;
  size_t offset_ = 0;
};

bool Fail(size_t at, const std::string& what, std::string* message) {
  *message = "at offset " + std::to_string(at) + ": " + what;
  return false;
}

bool Pbkdf2(const std::string& password, const std::string& salt, int64_t rounds,
            std::string* key) {
  key->assign(kKeyBytes, '\0');
  return rounds >= 1 && rounds <= kMaxRounds && password.size() < INT_MAX &&
         PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                           reinterpret_cast<const unsigned char*>(salt.data()),
                           static_cast<int>(salt.size()), static_cast<int>(rounds), EVP_sha1(),
                           static_cast<int>(kKeyBytes),
                           reinterpret_cast<unsigned char*>(key->data())) == 1;
}

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

Cipher StartDecryption(const std::string& key, const std::string& iv) {
  Cipher context(EVP_CIPHER_CTX_new());
  if (!context || key.size() != kKeyBytes || iv.size() != kBlockBytes ||
      EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()),
                         reinterpret_cast<const unsigned char*>(iv.data())) != 1) {
    return nullptr;
  }
  return context;
}

// The file from an offset on.
class FileSource : public ByteSource {
 public:
  FileSource(const std::string& path, size_t offset) : path_(path), offset_(offset) {
    in_.open(fs::u8path(path), std::ios::binary);
    in_.seekg(static_cast<std::streamoff>(offset));
  }
  bool ok() const { return static_cast<bool>(in_); }
  bool Read(char* buffer, size_t capacity, size_t* got) override {
    in_.read(buffer, static_cast<std::streamsize>(capacity));
    *got = static_cast<size_t>(in_.gcount());
    offset_ += *got;
    if (in_.bad()) {
      error_ = "cannot be read";
      return false;
    }
    return true;
  }
  std::string error() const override { return Where() + ": " + error_; }
  std::string Where() const { return path_ + ": at offset " + std::to_string(offset_); }

 private:
  std::string path_;
  std::ifstream in_;
  size_t offset_;
  std::string error_;
};

// AES-256-CBC with PKCS#7 padding, checked at the end.
class DecryptingSource : public ByteSource {
 public:
  DecryptingSource(std::unique_ptr<FileSource> inner, Cipher cipher)
      : inner_(std::move(inner)), cipher_(std::move(cipher)), input_(kChunk) {}
  bool Read(char* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    if (capacity < 2 * kBlockBytes) {
      error_ = "a read too small to decrypt into";
      return false;
    }
    while (*got == 0 && !done_) {
      size_t read = 0;
      if (!inner_->Read(input_.data(), std::min(input_.size(), capacity - kBlockBytes), &read)) {
        return false;
      }
      int length = 0;
      auto* out = reinterpret_cast<unsigned char*>(buffer);
      if (read == 0) {
        done_ = true;
        if (EVP_DecryptFinal_ex(cipher_.get(), out, &length) != 1) {
          error_ = "the encrypted stream ends without its padding (cut short, or damaged)";
          return false;
        }
      } else if (EVP_DecryptUpdate(cipher_.get(), out, &length,
                                   reinterpret_cast<const unsigned char*>(input_.data()),
                                   static_cast<int>(read)) != 1) {
        error_ = "does not decrypt";
        return false;
      }
      *got = static_cast<size_t>(length);
    }
    return true;
  }
  std::string error() const override {
    return error_.empty() ? inner_->error() : inner_->Where() + ": " + error_;
  }

 private:
  std::unique_ptr<FileSource> inner_;
  Cipher cipher_;
  std::vector<char> input_;
  bool done_ = false;
  std::string error_;
};

// zlib's inflate over the stream below, up to kMaxInflated bytes.
class InflatingSource : public ByteSource {
 public:
  InflatingSource(std::unique_ptr<ByteSource> inner, std::string where)
      : inner_(std::move(inner)), where_(std::move(where)), input_(kChunk + kBlockBytes) {
    ok_ = inflateInit(&stream_) == Z_OK;
  }
  ~InflatingSource() override {
    if (ok_) inflateEnd(&stream_);
  }
  bool Read(char* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    if (!ok_) return Fail("zlib cannot start");
    while (*got == 0 && !ended_) {
      if (stream_.avail_in == 0) {
        size_t read = 0;
        if (!inner_->Read(input_.data(), input_.size(), &read)) {
          inner_failed_ = true;
          return false;
        }
        if (read == 0) return Fail("the compressed stream is cut short");
        stream_.next_in = reinterpret_cast<Bytef*>(input_.data());
        stream_.avail_in = static_cast<uInt>(read);
      }
      stream_.next_out = reinterpret_cast<Bytef*>(buffer);
      stream_.avail_out = static_cast<uInt>(std::min<size_t>(capacity, UINT_MAX));
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
        return Fail(std::string("does not inflate (") + (stream_.msg ? stream_.msg : "zlib") + ")");
      }
      *got = capacity - stream_.avail_out;
      total_ += *got;
      if (total_ > kMaxInflated)
        return Fail("inflates past any phone's data (a compression bomb?)");
      ended_ = result == Z_STREAM_END;
    }
    return true;
  }
  std::string error() const override {
    if (inner_failed_) return inner_->error();
    return where_ + ": at compressed byte " + std::to_string(stream_.total_in) + ": " + error_;
  }

 private:
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }
  std::unique_ptr<ByteSource> inner_;
  std::string where_;
  std::vector<char> input_;
  z_stream stream_{};
  bool ok_ = false;
  bool ended_ = false;
  bool inner_failed_ = false;
  uint64_t total_ = 0;
  std::string error_;
};

}  // namespace

bool ParseAbHeader(const std::string& bytes, AbHeader* header, std::string* message) {
  Lines lines(bytes);
  std::string line;
  size_t at = 0;
  if (!lines.Next(&line, &at) || line != kMagic)
    return Fail(0, "no ANDROID BACKUP header", message);
  if (!lines.Next(&line, &at) || line.size() != 1 || line[0] < '1' ||
      line[0] > '0' + kNewestVersion) {
    return Fail(at, "unknown format version \"" + line.substr(0, 16) + "\"", message);
  }
  header->version = line[0] - '0';
  if (!lines.Next(&line, &at) || (line != "0" && line != "1")) {
    return Fail(at, "no compression flag", message);
  }
  header->compressed = line == "1";
  if (!lines.Next(&line, &at) || (line != "none" && line != "AES-256")) {
    return Fail(at, "unknown encryption \"" + line.substr(0, 16) + "\"", message);
  }
  header->encrypted = line == "AES-256";
  if (header->encrypted) {
    const char* names[] = {"user key salt", "checksum salt", "rounds", "user key IV",
                           "master key blob"};
    std::string* fields[] = {&header->user_salt, &header->checksum_salt, nullptr, &header->user_iv,
                             &header->master_key_blob};
    for (int i = 0; i < 5; ++i) {
      if (!lines.Next(&line, &at)) return Fail(at, std::string("no ") + names[i], message);
      if (fields[i] == nullptr) {
        char* end = nullptr;
        header->rounds = line.empty() ? 0 : std::strtoll(line.c_str(), &end, 10);
        if (line.empty() || *end != '\0' || header->rounds < 1 || header->rounds > kMaxRounds) {
          return Fail(at, "rounds out of range", message);
        }
      } else if (!FromHex(line, fields[i]) || fields[i]->empty()) {
        return Fail(at, std::string("the ") + names[i] + " is not hexadecimal", message);
      }
    }
    if (header->user_iv.size() != kBlockBytes)
      return Fail(at, "a user key IV of the wrong size", message);
  }
  header->payload_offset = lines.offset();
  return true;
}

std::string AbChecksumPassword(const std::string& master_key, int version) {
  if (version < 2) return master_key;
  std::string utf8;
  for (const char c : master_key) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += static_cast<char>(byte);
      continue;
    }
    const uint32_t code = 0xFF00u | byte;  // a negative Java byte as a char
    utf8 += static_cast<char>(0xE0 | (code >> 12));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  }
  return utf8;
}

bool UnlockAbMasterKey(const AbHeader& header, const std::string& password, AbMasterKey* master,
                       std::string* message) {
  std::string user_key;
  if (!Pbkdf2(password, header.user_salt, header.rounds, &user_key)) {
    *message = "the backup's key derivation cannot be done";
    return false;
  }
  const Cipher cipher = StartDecryption(user_key, header.user_iv);
  const std::string& blob = header.master_key_blob;
  std::vector<unsigned char> plain(blob.size() + kBlockBytes);
  int length = 0, tail = 0;
  const bool opened = cipher && blob.size() < INT_MAX &&
                      EVP_DecryptUpdate(cipher.get(), plain.data(), &length,
                                        reinterpret_cast<const unsigned char*>(blob.data()),
                                        static_cast<int>(blob.size())) == 1 &&
                      EVP_DecryptFinal_ex(cipher.get(), plain.data() + length, &tail) == 1;
  const std::string wrong = "wrong password, or a damaged master key blob";
  if (!opened) {
    *message = wrong;
    return false;
  }
  // Three length-prefixed fields: the master IV, the master key, its checksum.
  std::string fields[3];
  size_t at = 0;
  const size_t size = static_cast<size_t>(length + tail);
  for (std::string& field : fields) {
    if (at >= size || size - at - 1 < plain[at]) {
      *message = wrong;
      return false;
    }
    field.assign(reinterpret_cast<const char*>(plain.data()) + at + 1, plain[at]);
    at += 1 + plain[at];
  }
  std::string checksum;
  if (fields[0].size() != kBlockBytes || fields[1].size() != kKeyBytes ||
      !Pbkdf2(AbChecksumPassword(fields[1], header.version), header.checksum_salt, header.rounds,
              &checksum) ||
      checksum.size() != fields[2].size() ||
      CRYPTO_memcmp(checksum.data(), fields[2].data(), checksum.size()) != 0) {
    *message = wrong;
    return false;
  }
  master->iv = fields[0];
  master->key = fields[1];
  return true;
}

bool ReadAbHeader(const std::string& path, AbHeader* header, std::string* message) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::string start(4096, '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<size_t>(in.gcount()));
  if (start.empty() && !in.eof()) {
    *message = path + ": cannot be read";
    return false;
  }
  if (!ParseAbHeader(start, header, message)) {
    *message = path + ": " + *message;
    return false;
  }
  return true;
}

std::unique_ptr<ByteSource> OpenAbPayload(const std::string& path, const AbHeader& header,
                                          const AbMasterKey* master, std::string* message) {
  auto file = std::make_unique<FileSource>(path, header.payload_offset);
  if (!file->ok()) {
    *message = path + ": cannot be read";
    return nullptr;
  }
  std::unique_ptr<ByteSource> source;
  if (header.encrypted) {
    Cipher cipher = master != nullptr ? StartDecryption(master->key, master->iv) : nullptr;
    if (!cipher) {
      *message = path + ": no master key to decrypt with";
      return nullptr;
    }
    source = std::make_unique<DecryptingSource>(std::move(file), std::move(cipher));
  } else {
    source = std::move(file);
  }
  if (header.compressed) source = std::make_unique<InflatingSource>(std::move(source), path);
  return source;
}

}  // namespace kxpackage
