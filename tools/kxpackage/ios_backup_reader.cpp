#include "tools/kxpackage/ios_backup_reader.h"

#include <plist/plist.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "common/property_list_bounds.h"
#include "kit/date_sql.h"
#include "tools/kxpackage/discovery.h"
#include "tools/kxpackage/inside_folder.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr char kManifestDb[] = "Manifest.db";
constexpr char kManifestMbdb[] = "Manifest.mbdb";
constexpr char kManifestPlist[] = "Manifest.plist";
constexpr char kInfoPlist[] = "Info.plist";
// Info.plist may carry the application list with icons; a few megabytes.
constexpr uintmax_t kMaxPlistBytes = uintmax_t{64} << 20;
constexpr size_t kFileIdLength = 40;

bool HasFile(const fs::path& folder, const char* name) {
  std::error_code error;
  return fs::is_regular_file(folder / name, error);
}

// A catalogue of either generation.
bool HasCatalogue(const fs::path& folder) {
  return HasFile(folder, kManifestDb) || HasFile(folder, kManifestMbdb);
}

std::string StringValue(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return "";
  char* value = nullptr;
  plist_get_string_val(node, &value);
  const std::string text = value != nullptr ? value : "";
  free(value);  // libplist hands out malloc'ed text
  return text;
}

std::string DateValue(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATE) return "";
  int32_t seconds = 0, microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
  const time_t when = static_cast<time_t>(seconds + kx::kAppleEpochUnixSeconds);
  const std::tm* local = std::localtime(&when);  // the tool runs on one thread
  char text[32] = "";
  if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) {
    return "";
  }
  return text;
}

std::vector<fs::path> FoldersWithCatalogue(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error) && HasCatalogue(it->path())) {
      found.push_back(it->path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

FoundBackup FindBackup(const std::string& folder) {
  FoundBackup found;
  const fs::path path = fs::u8path(folder);
  std::error_code error;
  if (!fs::exists(path, error)) {
    found.check = BackupCheck::kNoSuchFolder;
    found.message = folder + ": no such folder";
    return found;
  }
  if (!fs::is_directory(path, error)) {
    found.check = BackupCheck::kNotFolder;
    found.message = folder + ": not a folder";
    return found;
  }
  if (HasCatalogue(path)) {
    found.check = BackupCheck::kFound;
    found.root = folder;
    return found;
  }
  const std::vector<fs::path> below = FoldersWithCatalogue(path);
  if (below.size() == 1) {
    found.check = BackupCheck::kFound;
    found.root = below[0].u8string();
    return found;
  }
  if (below.size() > 1) {
    found.check = BackupCheck::kSeveralBackups;
    found.message =
        folder + ": holds " + std::to_string(below.size()) + " backups; name the one to package:";
    for (const fs::path& backup : below) found.message += "\n  " + backup.u8string();
    return found;
  }
  found.check = BackupCheck::kNoBackup;
  found.message =
      folder +
      ": not an iOS backup (no Manifest.db or Manifest.mbdb in it or in a folder right below it)";
  return found;
}

PlistHandle ParsePlistDict(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > kMaxPlistBytes || !kx::PropertyListWithinBounds(bytes)) {
    return nullptr;
  }
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  PlistHandle handle(root);
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return nullptr;
  return handle;
}

PlistHandle ReadPlistDict(const std::string& path) {
  // A list of the backup is read only when it lies inside the backup.
  if (!ResolvesInside(fs::u8path(path).parent_path().u8string(), path)) return nullptr;
  std::error_code error;
  const uintmax_t size = fs::file_size(fs::u8path(path), error);
  if (error || size == 0 || size > kMaxPlistBytes) return nullptr;
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (!in) return nullptr;
  return ParsePlistDict(buffer.str());
}

std::string ManifestPath(const std::string& root) {
  return (fs::u8path(root) / kManifestDb).u8string();
}

bool IsEncryptedBackup(const std::string& root) {
  const PlistHandle manifest = ReadPlistDict((fs::u8path(root) / kManifestPlist).u8string());
  if (!manifest) return false;
  plist_t node = plist_dict_get_item(manifest.get(), "IsEncrypted");
  if (node == nullptr || plist_get_node_type(node) != PLIST_BOOLEAN) return false;
  uint8_t encrypted = 0;
  plist_get_bool_val(node, &encrypted);
  return encrypted != 0;
}

bool HasUnreadableManifestPlist(const std::string& root) {
  const std::string path = (fs::u8path(root) / kManifestPlist).u8string();
  return HasFile(fs::u8path(root), kManifestPlist) && !ReadPlistDict(path);
}

namespace {

// Manifest.plist of iOS 9 and earlier: the phone under "Lockdown", the
// backup's date under "Date".
BackupDevice ReadLockdownDevice(const std::string& root) {
  BackupDevice device;
  const PlistHandle manifest = ReadPlistDict((fs::u8path(root) / kManifestPlist).u8string());
  plist_t lockdown = manifest ? plist_dict_get_item(manifest.get(), "Lockdown") : nullptr;
  if (lockdown == nullptr || plist_get_node_type(lockdown) != PLIST_DICT) return device;
  device.name = StringValue(lockdown, "DeviceName");
  device.model = StringValue(lockdown, "ProductType");
  device.ios_version = StringValue(lockdown, "ProductVersion");
  device.unique_id = StringValue(lockdown, "UniqueDeviceID");
  device.backup_date = DateValue(manifest.get(), "Date");
  return device;
}

}  // namespace

BackupDevice ReadBackupDevice(const std::string& root) {
  BackupDevice device;
  const PlistHandle info = ReadPlistDict((fs::u8path(root) / kInfoPlist).u8string());
  if (!info) return ReadLockdownDevice(root);
  device.name = StringValue(info.get(), "Device Name");
  device.model = StringValue(info.get(), "Product Type");
  device.ios_version = StringValue(info.get(), "Product Version");
  device.backup_date = DateValue(info.get(), "Last Backup Date");
  device.unique_id = StringValue(info.get(), "Unique Identifier");
  if (device.unique_id.empty()) device.unique_id = StringValue(info.get(), "Target Identifier");
  return device;
}

std::string LookUpFileId(const std::string& root, const std::string& domain,
                         const std::string& relative_path, std::string* file_id,
                         std::string* matched_path) {
  std::vector<std::string> ids;
  // An ordinary file (flags 1) before any other entry of the same name; of
  // several names a pattern matches, the first in byte order.
  const std::string failure =
      QueryTexts(ManifestPath(root),
                 "SELECT fileID FROM Files WHERE domain = ?1 AND relativePath GLOB ?2 "
                 "ORDER BY flags = 1 DESC, relativePath LIMIT 1",
                 {domain, relative_path}, &ids);
  file_id->clear();
  if (failure.empty() && !ids.empty()) *file_id = ids[0];
  if (matched_path == nullptr || file_id->empty()) return failure;
  std::vector<std::string> paths;
  const std::string path_failure =
      QueryTexts(ManifestPath(root),
                 "SELECT relativePath FROM Files WHERE domain = ?1 AND relativePath GLOB ?2 "
                 "ORDER BY flags = 1 DESC, relativePath LIMIT 1",
                 {domain, relative_path}, &paths);
  *matched_path = paths.empty() ? std::string() : paths[0];
  return path_failure;
}

std::string StoredFilePath(const std::string& root, const std::string& file_id) {
  // An id from the catalogue names a file inside the backup, nothing else.
  if (file_id.size() != kFileIdLength) return "";
  for (const char c : file_id) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
  }
  const fs::path sub_folder = fs::u8path(root) / file_id.substr(0, 2);
  std::error_code error;
  const bool two_level = fs::is_directory(sub_folder, error);
  return ((two_level ? sub_folder : fs::u8path(root)) / file_id).u8string();
}

}  // namespace kxpackage
