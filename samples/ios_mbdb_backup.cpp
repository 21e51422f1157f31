#include "samples/ios_mbdb_backup.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <plist/plist.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_files.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

constexpr uint16_t kFileMode = 0100644;
constexpr uint16_t kFolderMode = 040755;
constexpr uint32_t kClassCount = 11;
constexpr uint32_t kFileClass = 3;  // until first unlock, as most files are
constexpr size_t kAesBlock = 16;

std::string Big(uint64_t value, int bytes) {
  std::string out(static_cast<size_t>(bytes), '\0');
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) out[i] = static_cast<char>(value & 0xff);
  return out;
}

std::string Little32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i, value >>= 8) out[i] = static_cast<char>(value & 0xff);
  return out;
}

std::string MbdbString(const std::string& text, bool present = true) {
  return present ? Big(text.size(), 2) + text : std::string("\xff\xff", 2);
}

std::string Random(size_t count) {
  std::string bytes(count, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count));
  return bytes;
}

// ---- the ciphers, from OpenSSL's primitives ----

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

bool RunCipher(const EVP_CIPHER* cipher, const std::string& key, const std::string* iv,
               const std::string& in, std::string* out) {
  std::unique_ptr<EVP_CIPHER_CTX, CipherFree> context(EVP_CIPHER_CTX_new());
  if (!context) return false;
  EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  const auto* key_bytes = reinterpret_cast<const unsigned char*>(key.data());
  const auto* iv_bytes =
      iv != nullptr ? reinterpret_cast<const unsigned char*>(iv->data()) : nullptr;
  std::vector<unsigned char> buffer(in.size() + 2 * kAesBlock);
  int length = 0, tail = 0;
  if (EVP_EncryptInit_ex(context.get(), cipher, nullptr, key_bytes, iv_bytes) != 1 ||
      EVP_EncryptUpdate(context.get(), buffer.data(), &length,
                        reinterpret_cast<const unsigned char*>(in.data()),
                        static_cast<int>(in.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), buffer.data() + length, &tail) != 1) {
    return false;
  }
  out->assign(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(length + tail));
  return true;
}

// RFC 3394 key wrap.
bool Wrap(const std::string& kek, const std::string& key, std::string* wrapped) {
  return RunCipher(EVP_aes_256_wrap(), kek, nullptr, key, wrapped);
}

// AES-256-CBC, zero IV, PKCS#7 padding.
bool Encrypt(const std::string& key, const std::string& plain, std::string* cipher) {
  const std::string iv(kAesBlock, '\0');
  return RunCipher(EVP_aes_256_cbc(), key, &iv, plain, cipher);
}

struct Keybag {
  std::vector<std::string> class_keys;  // index = class - 1
  std::string bytes;
};

std::string Tag(const char* tag, const std::string& value) {
  return std::string(tag, 4) + Big(value.size(), 4) + value;
}

// A keybag of iOS 4 to 9: one PBKDF2-HMAC-SHA1 derivation, no DPSL.
bool MakeKeybag(const MbdbBackupOptions& options, Keybag* keybag) {
  const std::string salt = Random(20);
  std::string password_key(32, '\0');
  if (PKCS5_PBKDF2_HMAC(options.password.data(), static_cast<int>(options.password.size()),
                        reinterpret_cast<const unsigned char*>(salt.data()),
                        static_cast<int>(salt.size()), options.iterations, EVP_sha1(), 32,
                        reinterpret_cast<unsigned char*>(password_key.data())) != 1) {
    return false;
  }
  keybag->bytes = Tag("VERS", Big(2, 4)) + Tag("TYPE", Big(1, 4)) + Tag("UUID", Random(16)) +
                  Tag("HMCK", Random(40)) + Tag("WRAP", Big(0, 4)) + Tag("SALT", salt) +
                  Tag("ITER", Big(static_cast<uint64_t>(options.iterations), 4));
  for (uint32_t protection_class = 1; protection_class <= kClassCount; ++protection_class) {
    std::string key = Random(32), wrapped;
    if (!Wrap(password_key, key, &wrapped)) return false;
    keybag->bytes += Tag("UUID", Random(16)) + Tag("CLAS", Big(protection_class, 4)) +
                     Tag("WRAP", Big(2, 4)) + Tag("KTYP", Big(0, 4)) + Tag("WPKY", wrapped);
    keybag->class_keys.push_back(key);
  }
  return true;
}

// ---- the manifest ----

struct Listed {
  std::string file_id, domain, path;
  int flags = 1;
};

std::vector<Listed> ReadCatalogue(const fs::path& plain_root) {
  std::vector<Listed> rows;
  sqlite3* raw = nullptr;
  sqlite3_open_v2((plain_root / "Manifest.db").u8string().c_str(), &raw, SQLITE_OPEN_READONLY,
                  nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  SampleStatement select(db.get(),
                         "SELECT fileID, domain, relativePath, flags FROM Files ORDER BY domain, "
                         "relativePath");
  while (select.prepared() && select.Step() == SQLITE_ROW) {
    Listed row;
    row.file_id = reinterpret_cast<const char*>(sqlite3_column_text(select.handle(), 0));
    row.domain = reinterpret_cast<const char*>(sqlite3_column_text(select.handle(), 1));
    row.path = reinterpret_cast<const char*>(sqlite3_column_text(select.handle(), 2));
    row.flags = sqlite3_column_int(select.handle(), 3);
    rows.push_back(row);
  }
  return rows;
}

std::string Record(const std::string& domain, const std::string& path, uint16_t mode, uint64_t size,
                   const std::string* key, uint8_t protection_class) {
  const uint32_t when = 1364000000;  // March 2013
  std::string record = MbdbString(domain) + MbdbString(path) + MbdbString("", false) +
                       MbdbString("", false) +
                       MbdbString(key != nullptr ? *key : "", key != nullptr);
  record += Big(mode, 2) + Big(0x1000 + size, 8) + Big(501, 4) + Big(501, 4) + Big(when, 4) +
            Big(when, 4) + Big(when, 4) + Big(size, 8) + Big(protection_class, 1);
  if (mode == kFileMode && path.size() > 3 && path.compare(path.size() - 3, 3, ".db") == 0) {
    record += Big(1, 1) + MbdbString("com.apple.assetsd.dbRebuildUuid") + MbdbString("0");
  } else {
    record += Big(0, 1);
  }
  return record;
}

bool WriteManifestPlist(const fs::path& plain_root, const fs::path& target,
                        const MbdbBackupOptions& options, const Keybag* keybag,
                        std::string* error) {
  const std::string info = ReadAll(plain_root / "Info.plist");
  plist_t parsed = nullptr;
  plist_from_memory(info.data(), static_cast<uint32_t>(info.size()), &parsed);
  Plist info_plist(parsed);
  auto text = [&](const char* key) -> std::string {
    plist_t node = info_plist ? plist_dict_get_item(info_plist.get(), key) : nullptr;
    char* value = nullptr;
    if (node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
      plist_get_string_val(node, &value);
    }
    std::string copy = value != nullptr ? value : "";
    free(value);
    return copy;
  };
  Plist manifest(plist_new_dict());
  plist_t lockdown = plist_new_dict();
  plist_dict_set_item(lockdown, "DeviceName", plist_new_string(text("Device Name").c_str()));
  plist_dict_set_item(lockdown, "ProductType", plist_new_string(options.product_type.c_str()));
  plist_dict_set_item(lockdown, "ProductVersion",
                      plist_new_string(options.product_version.c_str()));
  plist_dict_set_item(lockdown, "UniqueDeviceID",
                      plist_new_string(text("Unique Identifier").c_str()));
  plist_dict_set_item(manifest.get(), "Lockdown", lockdown);
  plist_dict_set_item(manifest.get(), "Version", plist_new_string("9.1"));
  plist_dict_set_item(manifest.get(), "IsEncrypted", plist_new_bool(keybag != nullptr));
  plist_dict_set_item(manifest.get(), "Date", plist_new_date(384000000, 0));
  if (keybag != nullptr) {
    plist_dict_set_item(manifest.get(), "BackupKeyBag",
                        plist_new_data(keybag->bytes.data(), keybag->bytes.size()));
  }
  // Info.plist tells of the same older phone.
  if (info_plist) {
    plist_dict_set_item(info_plist.get(), "Product Type",
                        plist_new_string(options.product_type.c_str()));
    plist_dict_set_item(info_plist.get(), "Product Version",
                        plist_new_string(options.product_version.c_str()));
    char* xml = nullptr;
    uint32_t xml_length = 0;
    plist_to_xml(info_plist.get(), &xml, &xml_length);
    const bool info_written =
        xml != nullptr && WriteAll(target / "Info.plist", std::string(xml, xml_length));
    plist_to_xml_free(xml);
    if (!info_written) {
      *error = (target / "Info.plist").u8string() + ": cannot write";
      return false;
    }
  }
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(manifest.get(), &bytes, &length);
  const bool written =
      bytes != nullptr && WriteAll(target / "Manifest.plist", std::string(bytes, length));
  plist_to_bin_free(bytes);
  if (!written) *error = (target / "Manifest.plist").u8string() + ": cannot write";
  return written;
}

}  // namespace

bool WriteIosMbdbBackup(const std::string& plain_root, const std::string& target,
                        const MbdbBackupOptions& options, std::string* error) {
  const fs::path from = fs::u8path(plain_root);
  const fs::path to = fs::u8path(target);
  std::error_code failure;
  fs::remove_all(to, failure);
  fs::create_directories(to, failure);
  const std::vector<Listed> rows = ReadCatalogue(from);
  if (rows.empty() || failure) {
    *error = plain_root + ": no catalogue to make an older backup from";
    return false;
  }
  Keybag keybag;
  const bool encrypted = !options.password.empty();
  if (encrypted && !MakeKeybag(options, &keybag)) {
    *error = "cannot make the backup's keys";
    return false;
  }
  std::string manifest = std::string("mbdb") + '\x05' + '\x00';
  std::set<std::string> domains;
  for (const Listed& row : rows) {
    if (domains.insert(row.domain).second) {
      manifest += Record(row.domain, "", kFolderMode, 0, nullptr, 0);
    }
    if (row.flags != 1) {
      manifest += Record(row.domain, row.path, kFolderMode, 0, nullptr, 0);
      continue;
    }
    const std::string plain = ReadAll(from / row.file_id.substr(0, 2) / row.file_id);
    std::string stored = plain, key, wrapped, stored_key;
    if (encrypted) {
      key = Random(32);
      if (!Wrap(keybag.class_keys[kFileClass - 1], key, &wrapped) ||
          !Encrypt(key, plain, &stored)) {
        *error = row.path + ": cannot encrypt";
        return false;
      }
      stored_key = Little32(kFileClass) + wrapped;
    }
    // Real manifests record sizes that differ from the content now and then
    // (by more than the padding); the reader must not trust them.
    const uint64_t recorded = plain.size() + (encrypted ? 37 : 0);
    manifest += Record(row.domain, row.path, kFileMode, recorded, encrypted ? &stored_key : nullptr,
                       kFileClass);
    if (!WriteAll(to / row.file_id, stored)) {
      *error = (to / row.file_id).u8string() + ": cannot write";
      return false;
    }
  }
  if (!WriteAll(to / "Manifest.mbdb", manifest)) {
    *error = target + "/Manifest.mbdb: cannot write";
    return false;
  }
  fs::copy_file(from / "Status.plist", to / "Status.plist", failure);
  return WriteManifestPlist(from, to, options, encrypted ? &keybag : nullptr, error);
}

}  // namespace kx::samples
