#include "samples/ios_encrypted_backup.h"

#include <plist/plist.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_files.h"
#include "tools/kxpackage/backup_crypto.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;
using kxpackage::RandomBytes;

// Protection classes the files are spread over, and the one of Manifest.db.
constexpr uint32_t kFileClasses[] = {3, 4};
constexpr uint32_t kManifestClass = 4;
constexpr uint32_t kClassCount = 11;
constexpr uint32_t kWrapPasscode = 2;

std::string BigEndian(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 3; i >= 0; --i, value >>= 8) bytes[i] = static_cast<char>(value & 0xff);
  return bytes;
}

std::string LittleEndian(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i, value >>= 8) bytes[i] = static_cast<char>(value & 0xff);
  return bytes;
}

std::string Entry(const char* tag, const std::string& value) {
  return std::string(tag, 4) + BigEndian(static_cast<uint32_t>(value.size())) + value;
}

struct Keys {
  std::string password_key;
  std::vector<std::string> class_keys;  // index = class - 1
  std::string keybag;
};

bool MakeKeys(const std::string& password, const BackupEncryptionOptions& options, Keys* keys) {
  std::string salt, double_salt, bag_uuid, hmck;
  if (!RandomBytes(20, &salt) || !RandomBytes(20, &double_salt) || !RandomBytes(16, &bag_uuid) ||
      !RandomBytes(40, &hmck)) {
    return false;
  }
  std::string first = password;
  std::string bag = Entry("VERS", BigEndian(3)) + Entry("TYPE", BigEndian(1)) +
                    Entry("UUID", bag_uuid) + Entry("HMCK", hmck) + Entry("WRAP", BigEndian(0)) +
                    Entry("SALT", salt) + Entry("ITER", BigEndian(options.iterations));
  if (options.double_iterations > 0) {
    bag += Entry("DPWT", BigEndian(1)) + Entry("DPIC", BigEndian(options.double_iterations)) +
           Entry("DPSL", double_salt);
    if (!kxpackage::DeriveKey(password, double_salt, options.double_iterations,
                              kxpackage::Digest::kSha256, &first)) {
      return false;
    }
  }
  if (!kxpackage::DeriveKey(first, salt, options.iterations, kxpackage::Digest::kSha1,
                            &keys->password_key)) {
    return false;
  }
  for (uint32_t protection_class = 1; protection_class <= kClassCount; ++protection_class) {
    std::string key, uuid, wrapped;
    if (!RandomBytes(32, &key) || !RandomBytes(16, &uuid) ||
        !kxpackage::WrapKey(keys->password_key, key, &wrapped)) {
      return false;
    }
    bag += Entry("UUID", uuid) + Entry("CLAS", BigEndian(protection_class)) +
           Entry("WRAP", BigEndian(kWrapPasscode)) + Entry("KTYP", BigEndian(0)) +
           Entry("WPKY", wrapped);
    keys->class_keys.push_back(key);
  }
  keys->keybag = bag;
  return true;
}

// A fresh key for a file of `protection_class`, and that key as the backup
// stores it: the class, little-endian, then the wrapped key.
bool FileKey(const Keys& keys, uint32_t protection_class, std::string* key, std::string* stored) {
  std::string wrapped;
  if (!RandomBytes(32, key) ||
      !kxpackage::WrapKey(keys.class_keys[protection_class - 1], *key, &wrapped)) {
    return false;
  }
  *stored = LittleEndian(protection_class) + wrapped;
  return true;
}

plist_t Uid(uint64_t index) { return plist_new_uid(index); }

// The MBFile keyed archive of a Files row: its key, class and plain size.
std::string FileRecord(const std::string& relative_path, const std::string* stored_key,
                       uint32_t protection_class, uint64_t size) {
  Plist archive(plist_new_dict());
  plist_dict_set_item(archive.get(), "$version", plist_new_uint(100000));
  plist_dict_set_item(archive.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_t top = plist_new_dict();
  plist_dict_set_item(top, "root", Uid(1));
  plist_dict_set_item(archive.get(), "$top", top);
  plist_t objects = plist_new_array();
  plist_array_append_item(objects, plist_new_string("$null"));
  plist_t file = plist_new_dict();
  plist_dict_set_item(file, "$class", Uid(4));
  plist_dict_set_item(file, "RelativePath", Uid(2));
  if (stored_key != nullptr) plist_dict_set_item(file, "EncryptionKey", Uid(3));
  plist_dict_set_item(file, "ProtectionClass", plist_new_uint(protection_class));
  plist_dict_set_item(file, "Size", plist_new_uint(size));
  plist_dict_set_item(file, "Mode", plist_new_uint(0100644));
  plist_array_append_item(objects, file);
  plist_array_append_item(objects, plist_new_string(relative_path.c_str()));
  plist_t data = plist_new_dict();
  const std::string key = stored_key != nullptr ? *stored_key : std::string();
  plist_dict_set_item(data, "NS.data", plist_new_data(key.data(), key.size()));
  plist_dict_set_item(data, "$class", Uid(5));
  plist_array_append_item(objects, data);
  for (const char* name : {"MBFile", "NSMutableData"}) {
    plist_t klass = plist_new_dict();
    plist_dict_set_item(klass, "$classname", plist_new_string(name));
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(name));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(klass, "$classes", classes);
    plist_array_append_item(objects, klass);
  }
  plist_dict_set_item(archive.get(), "$objects", objects);
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(archive.get(), &bytes, &length);
  std::string record = bytes != nullptr ? std::string(bytes, length) : "";
  plist_to_bin_free(bytes);
  return record;
}

fs::path StoredFile(const fs::path& root, const std::string& file_id) {
  return root / file_id.substr(0, 2) / file_id;
}

struct FileRow {
  std::string file_id;
  std::string relative_path;
};

bool EncryptFiles(const fs::path& root, const Keys& keys, const BackupEncryptionOptions& options,
                  std::string* error) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2((root / "Manifest.db").u8string().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  std::vector<FileRow> rows;
  {
    SampleStatement select(db.get(), "SELECT fileID, relativePath FROM Files WHERE flags = 1");
    while (select.prepared() && select.Step() == SQLITE_ROW) {
      rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(select.handle(), 0)),
                      reinterpret_cast<const char*>(sqlite3_column_text(select.handle(), 1))});
    }
  }
  SampleStatement update(db.get(), "UPDATE Files SET file = ?1 WHERE fileID = ?2");
  if (rows.empty() || !update.prepared()) {
    *error = root.u8string() + ": no files to encrypt";
    return false;
  }
  sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr);
  for (size_t i = 0; i < rows.size(); ++i) {
    const uint32_t protection_class = kFileClasses[i % 2];
    const fs::path path = StoredFile(root, rows[i].file_id);
    const std::string plain = ReadAll(path);
    std::string key, stored, cipher;
    if (!FileKey(keys, protection_class, &key, &stored) ||
        !kxpackage::EncryptBytes(key, plain, &cipher)) {
      *error = path.u8string() + ": cannot encrypt";
      return false;
    }
    if (rows[i].relative_path == options.cut_path) cipher.resize(cipher.size() / 2 / 16 * 16);
    if (!WriteAll(path, cipher)) {
      *error = path.u8string() + ": cannot write";
      return false;
    }
    const bool keyless = rows[i].relative_path == options.keyless_path;
    update.BindBlob(1, FileRecord(rows[i].relative_path, keyless ? nullptr : &stored,
                                  protection_class, plain.size()));
    update.BindText(2, rows[i].file_id);
    update.Step();
    update.Reset();
  }
  sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr);
  return true;
}

bool WriteManifestPlist(const fs::path& root, const Keys& keys, const std::string& manifest_key,
                        std::string* error) {
  const std::string text = ReadAll(root / "Manifest.plist");
  plist_t parsed = nullptr;
  plist_from_memory(text.data(), static_cast<uint32_t>(text.size()), &parsed);
  Plist manifest(parsed);
  if (!manifest) {
    *error = (root / "Manifest.plist").u8string() + ": not a property list";
    return false;
  }
  plist_dict_set_item(manifest.get(), "IsEncrypted", plist_new_bool(1));
  plist_dict_set_item(manifest.get(), "BackupKeyBag",
                      plist_new_data(keys.keybag.data(), keys.keybag.size()));
  plist_dict_set_item(manifest.get(), "ManifestKey",
                      plist_new_data(manifest_key.data(), manifest_key.size()));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(manifest.get(), &xml, &length);
  const bool written =
      xml != nullptr && WriteAll(root / "Manifest.plist", std::string(xml, length));
  plist_to_xml_free(xml);
  if (!written) *error = (root / "Manifest.plist").u8string() + ": cannot write";
  return written;
}

}  // namespace

bool EncryptIosBackup(const std::string& plain_root, const std::string& target,
                      const std::string& password, const BackupEncryptionOptions& options,
                      std::string* error) {
  const fs::path root = fs::u8path(target);
  std::error_code failure;
  fs::remove_all(root, failure);
  fs::copy(fs::u8path(plain_root), root, fs::copy_options::recursive, failure);
  if (failure) {
    *error = target + ": cannot copy the plain backup: " + failure.message();
    return false;
  }
  Keys keys;
  if (!MakeKeys(password, options, &keys)) {
    *error = "cannot make the backup's keys";
    return false;
  }
  if (!EncryptFiles(root, keys, options, error)) return false;
  std::string manifest_key, stored_manifest_key, cipher;
  if (!FileKey(keys, kManifestClass, &manifest_key, &stored_manifest_key) ||
      !kxpackage::EncryptBytes(manifest_key, ReadAll(root / "Manifest.db"), &cipher) ||
      !WriteAll(root / "Manifest.db", cipher)) {
    *error = target + ": cannot encrypt Manifest.db";
    return false;
  }
  return WriteManifestPlist(root, keys, stored_manifest_key, error);
}

}  // namespace kx::samples
