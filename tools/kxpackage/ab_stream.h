// A file written by `adb backup` (.ab): a text header (ANDROID BACKUP,
// format version 1 to 5, compression flag, "none" or "AES-256" with the
// key material), then a tar stream of the apps' files, AES-256-CBC
// encrypted under the master key and deflated with zlib as the header says.
// Read as a stream: memory stays a few buffers whatever the size.
#ifndef KXPACKAGE_AB_STREAM_H_
#define KXPACKAGE_AB_STREAM_H_

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace kxpackage {

// Bytes pulled one buffer at a time. Read answers how many bytes it put in
// `buffer` (0 at the end); false with error() set when the stream is bad.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual bool Read(char* buffer, size_t capacity, size_t* got) = 0;
  // Where the fault lies, for people: the file and the offset in it.
  virtual std::string error() const = 0;
};

struct AbHeader {
  int version = 0;
  bool compressed = false;
  bool encrypted = false;
  std::string user_salt, checksum_salt, user_iv, master_key_blob;  // bytes, not hex
  int64_t rounds = 0;
  size_t payload_offset = 0;  // where the tar stream (or its cipher) starts
};

// Reads the header of `bytes` (the start of the file; a few kilobytes are
// enough). False, with *message naming the line's offset, for anything
// that is not a version 1-5 header with a known encryption.
bool ParseAbHeader(const std::string& bytes, AbHeader* header, std::string* message);

// The master key and IV of an encrypted backup: the user key (PBKDF2-
// HMAC-SHA1 of the password over the header's salt and rounds) opens the
// master key blob, whose checksum proves the password right. False, with
// *message, for a wrong password or a damaged blob.
struct AbMasterKey {
  std::string key, iv;
};
bool UnlockAbMasterKey(const AbHeader& header, const std::string& password, AbMasterKey* master,
                       std::string* message);

// The checksum's password bytes: the master key as Java turns bytes into
// characters; from version 2 on each byte is sign-extended to a character
// and encoded as UTF-8, version 1 kept the bytes.
std::string AbChecksumPassword(const std::string& master_key, int version);

// The tar stream of the file at `path`: its payload decrypted with `master`
// (when encrypted) and inflated (when compressed). Null, with *message,
// when the file cannot be opened.
std::unique_ptr<ByteSource> OpenAbPayload(const std::string& path, const AbHeader& header,
                                          const AbMasterKey* master, std::string* message);

// The header bytes of the file at `path`: its first kilobytes.
bool ReadAbHeader(const std::string& path, AbHeader* header, std::string* message);

}  // namespace kxpackage

#endif  // KXPACKAGE_AB_STREAM_H_
