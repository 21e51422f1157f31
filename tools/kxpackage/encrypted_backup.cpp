#include "tools/kxpackage/encrypted_backup.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "tools/kxpackage/backup_crypto.h"
#include "tools/kxpackage/discovery.h"
#include "tools/kxpackage/inside_folder.h"
#include "tools/kxpackage/ios_backup_reader.h"
#include "tools/kxpackage/mbdb_backup.h"

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

constexpr char kManifestPlist[] = "Manifest.plist";
constexpr char kManifestDb[] = "Manifest.db";
constexpr size_t kFileIdLength = 40;

std::string DataValue(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATA) return "";
  char* bytes = nullptr;
  uint64_t length = 0;
  plist_get_data_val(node, &bytes, &length);
  std::string value = bytes != nullptr ? std::string(bytes, length) : "";
  free(bytes);  // libplist hands out malloc'ed bytes
  return value;
}

// The object a UID of a keyed archive stands for; null when out of range.
plist_t ResolveUid(plist_t objects, plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_UID) return node;
  uint64_t index = 0;
  plist_get_uid_val(node, &index);
  if (index >= plist_array_get_size(objects)) return nullptr;
  return plist_array_get_item(objects, static_cast<uint32_t>(index));
}

bool IsFileId(const std::string& text) {
  if (text.size() != kFileIdLength) return false;
  for (const char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool CopyFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  // An absent list stays absent; so does one that is a link out of the backup.
  if (!fs::is_regular_file(from, error) ||
      !ResolvesInside(from.parent_path().u8string(), from.u8string())) {
    return true;
  }
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
}

}  // namespace

bool ReadEncryptedFileRecord(const std::string& blob, EncryptedFileRecord* record,
                             std::string* message) {
  const PlistHandle archive = ParsePlistDict(blob);
  plist_t objects = archive ? plist_dict_get_item(archive.get(), "$objects") : nullptr;
  plist_t top = archive ? plist_dict_get_item(archive.get(), "$top") : nullptr;
  if (objects == nullptr || plist_get_node_type(objects) != PLIST_ARRAY || top == nullptr ||
      plist_get_node_type(top) != PLIST_DICT) {
    *message = "its catalogue record is no keyed archive";
    return false;
  }
  plist_t file = ResolveUid(objects, plist_dict_get_item(top, "root"));
  if (file == nullptr || plist_get_node_type(file) != PLIST_DICT) {
    *message = "its catalogue record names no file";
    return false;
  }
  plist_t key = ResolveUid(objects, plist_dict_get_item(file, "EncryptionKey"));
  // NSData is archived either as data or as an object holding "NS.data".
  if (key != nullptr && plist_get_node_type(key) == PLIST_DICT) {
    key = plist_dict_get_item(key, "NS.data");
  }
  record->stored_key = DataValue(key);
  if (record->stored_key.empty()) {
    *message = "its catalogue record has no key";
    return false;
  }
  record->size = -1;
  plist_t size = plist_dict_get_item(file, "Size");
  if (size != nullptr && plist_get_node_type(size) == PLIST_UINT) {
    uint64_t value = 0;
    plist_get_uint_val(size, &value);
    record->size = static_cast<int64_t>(value & 0x7fffffffffffffffULL);
  }
  return true;
}

EncryptedBackup::EncryptedBackup(std::string root) : root_(std::move(root)) {}

bool EncryptedBackup::Load(std::string* message) {
  const std::string path = (fs::u8path(root_) / kManifestPlist).u8string();
  const PlistHandle manifest = ReadPlistDict(path);
  if (!manifest) {
    *message = path + ": missing, or not a property list";
    return false;
  }
  const std::string keybag = DataValue(plist_dict_get_item(manifest.get(), "BackupKeyBag"));
  manifest_key_ = DataValue(plist_dict_get_item(manifest.get(), "ManifestKey"));
  std::string why;
  if (keybag.empty()) {
    why = "no BackupKeyBag";
  } else if (!ParseKeybag(keybag, &keybag_, &why)) {
    // why is set
  } else if (!(mbdb_ = IsMbdbBackup(root_)) && manifest_key_.size() != 4 + kWrappedKeyBytes) {
    why = "no ManifestKey (backups of iOS 10.2 and later have one)";
  }
  if (!why.empty()) {
    *message = path + ": " + why;
    return false;
  }
  return true;
}

bool EncryptedBackup::Unlock(const std::string& password, std::string* message) {
  std::string password_key;
  if (!DerivePasswordKey(keybag_, password, &password_key)) {
    *message = "the backup's keybag asks for a key derivation that cannot be done";
    return false;
  }
  if (!UnwrapClassKeys(keybag_, password_key, &class_keys_)) {
    *message = "wrong password for the encrypted backup " + root_;
    return false;
  }
  return true;
}

bool EncryptedBackup::DecryptCatalogue(const std::string& target, std::string* message) {
  std::string key;
  if (!UnwrapStoredKey(class_keys_, manifest_key_, &key)) {
    *message = root_ + ": the key of Manifest.db does not open";
    return false;
  }
  const std::string source = (fs::u8path(root_) / kManifestDb).u8string();
  if (const std::string outside = OutsideFolderProblem(root_, source); !outside.empty()) {
    *message = outside;
    return false;
  }
  return DecryptFile(key, source, (fs::u8path(target) / kManifestDb).u8string(), -1, message);
}

bool EncryptedBackup::WritePropertyLists(const std::string& target, std::string* message) {
  const fs::path from = fs::u8path(root_);
  const fs::path to = fs::u8path(target);
  if (!CopyFile(from / "Info.plist", to / "Info.plist") ||
      !CopyFile(from / "Status.plist", to / "Status.plist")) {
    *message = target + ": the backup's property lists cannot be written";
    return false;
  }
  // The copy is plain: it says so, and carries no keys.
  const PlistHandle manifest = ReadPlistDict((from / kManifestPlist).u8string());
  plist_dict_set_item(manifest.get(), "IsEncrypted", plist_new_bool(0));
  plist_dict_remove_item(manifest.get(), "BackupKeyBag");
  plist_dict_remove_item(manifest.get(), "ManifestKey");
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(manifest.get(), &xml, &length);
  std::ofstream out(to / kManifestPlist, std::ios::binary | std::ios::trunc);
  if (xml != nullptr) out.write(xml, length);
  plist_to_xml_free(xml);
  if (!out) {
    *message = target + ": Manifest.plist cannot be written";
    return false;
  }
  return true;
}

void EncryptedBackup::DecryptFileRow(const std::string& target, const std::string& file_id,
                                     const std::string& blob, std::vector<std::string>* problems) {
  const std::string source = StoredFilePath(root_, file_id);
  EncryptedFileRecord record;
  std::string why;
  std::string key;
  if (const std::string outside = OutsideFolderProblem(root_, source); !outside.empty()) {
    problems->push_back(outside);
    return;
  }
  if (!ReadEncryptedFileRecord(blob, &record, &why)) {
    problems->push_back(source + ": " + why);
    return;
  }
  if (!UnwrapStoredKey(class_keys_, record.stored_key, &key)) {
    problems->push_back(source + ": its key does not open");
    return;
  }
  const fs::path folder = fs::u8path(target) / file_id.substr(0, 2);
  std::error_code error;
  fs::create_directories(folder, error);
  if (DecryptFile(key, source, (folder / file_id).u8string(), record.size, &why)) {
    ++decrypted_files_;
  } else {
    problems->push_back(why);
  }
}

bool EncryptedBackup::DecryptInto(const std::string& target, const std::set<std::string>& domains,
                                  std::vector<std::string>* problems, std::string* message) {
  std::error_code error;
  fs::create_directories(fs::u8path(target), error);
  // Only the user may read what was encrypted.
  fs::permissions(fs::u8path(target), fs::perms::owner_all, fs::perm_options::replace, error);
  if (mbdb_) {
    return WritePropertyLists(target, message) &&
           ConvertMbdbBackup(root_, target, domains, &class_keys_, problems, message);
  }
  if (!DecryptCatalogue(target, message) || !WritePropertyLists(target, message)) return false;
  const std::string catalogue = (fs::u8path(target) / kManifestDb).u8string();
  const std::string failure = ForEachRow(
      catalogue, "SELECT fileID, domain, file FROM Files WHERE flags = 1 ORDER BY fileID", {},
      [&](sqlite3_stmt* row) {
        const auto* id = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
        const auto* domain = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
        if (id == nullptr || domain == nullptr || domains.count(domain) == 0) return true;
        if (!IsFileId(id)) {
          problems->push_back(catalogue + ": a file of " + domain + " has no file id");
          return true;
        }
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(row, 2));
        const int length = sqlite3_column_bytes(row, 2);
        DecryptFileRow(target, id, blob != nullptr ? std::string(blob, length) : "", problems);
        return true;
      });
  if (!failure.empty()) {
    *message = catalogue + ": " + failure + " (wrong key, or a damaged Manifest.db)";
    return false;
  }
  return true;
}

}  // namespace kxpackage
