// An iOS backup folder as a computer writes it: which folder is the backup,
// what its property lists say of the phone, and where a file of the phone
// is stored. A backup is only ever read.
#ifndef KXPACKAGE_IOS_BACKUP_READER_H_
#define KXPACKAGE_IOS_BACKUP_READER_H_

#include <plist/plist.h>

#include <memory>
#include <string>

namespace kxpackage {

enum class BackupCheck {
  kFound,
  kNoSuchFolder,    // usage error
  kNotFolder,       // usage error
  kSeveralBackups,  // usage error: the user has to name one
  kNoBackup,
};

struct FoundBackup {
  BackupCheck check = BackupCheck::kNoBackup;
  std::string root;     // the folder that holds Manifest.db (Manifest.mbdb up to iOS 9)
  std::string message;  // why not, for people
};

// `folder` itself when it holds Manifest.db or Manifest.mbdb, else the one
// folder right below it that does.
FoundBackup FindBackup(const std::string& folder);

std::string ManifestPath(const std::string& root);

struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistHandle = std::unique_ptr<void, PlistFree>;

// The dictionary a property list (binary or XML) holds, or nothing. Its
// size and nesting are checked first: the parser recurses per level and
// would overflow the stack on a list nested deeply enough.
PlistHandle ParsePlistDict(const std::string& bytes);
PlistHandle ReadPlistDict(const std::string& path);

// Whether Manifest.plist says the backup is encrypted. A backup without a
// readable Manifest.plist is taken as plain: an encrypted Manifest.db
// would not read as a database anyway.
bool IsEncryptedBackup(const std::string& root);
// Whether the backup has a Manifest.plist that is no property list.
bool HasUnreadableManifestPlist(const std::string& root);

// What Info.plist says of the phone (else what Manifest.plist's Lockdown
// says, in backups of older iOS); empty members when neither says.
struct BackupDevice {
  std::string name;
  std::string model;  // product type, "iPhone14,5"
  std::string ios_version;
  std::string backup_date;  // local time, "2024-02-18 08:12:55"
  std::string unique_id;
};
BackupDevice ReadBackupDevice(const std::string& root);

// The file id under which Manifest.db lists `domain` and `relative_path`
// ("" when it lists no such file). The path may hold GLOB wildcards, for
// stores named after something of their own; `matched_path`, when given,
// receives the path the catalogue lists. Returns "" or SQLite's words.
std::string LookUpFileId(const std::string& root, const std::string& domain,
                         const std::string& relative_path, std::string* file_id,
                         std::string* matched_path = nullptr);

// Where the file of `file_id` is stored: in the sub-folder named by its
// first two digits when the backup has that sub-folder, else right in the
// root. "" for an id that is not 40 hexadecimal digits.
std::string StoredFilePath(const std::string& root, const std::string& file_id);

}  // namespace kxpackage

#endif  // KXPACKAGE_IOS_BACKUP_READER_H_
