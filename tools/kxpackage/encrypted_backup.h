// An encrypted iOS backup, opened with its password and decrypted into a
// plain backup folder that the packagers read like any other. The source
// backup is only ever read.
#ifndef KXPACKAGE_ENCRYPTED_BACKUP_H_
#define KXPACKAGE_ENCRYPTED_BACKUP_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/kxpackage/backup_keybag.h"

namespace kxpackage {

// What a row of Manifest.db's Files table says of an encrypted file (its
// `file` column, a keyed archive of the file's attributes).
struct EncryptedFileRecord {
  std::string stored_key;  // protection class and wrapped key
  int64_t size = -1;       // of the plain file; -1 when not given
};
// False, with why in *message, for a record without a key or that is no
// keyed archive.
bool ReadEncryptedFileRecord(const std::string& blob, EncryptedFileRecord* record,
                             std::string* message);

class EncryptedBackup {
 public:
  explicit EncryptedBackup(std::string root);

  // Reads the keybag and the catalogue's key from Manifest.plist (backups
  // catalogued by Manifest.mbdb have no such key: their catalogue is
  // plain). False, with why in *message, for a list that is missing, no
  // property list, or damaged.
  bool Load(std::string* message);

  // Derives the password's key (the slow step) and opens the class keys.
  // False for a wrong password; nothing has been decrypted then.
  bool Unlock(const std::string& password, std::string* message);

  // Writes into `target` a plain backup: Manifest.db (built from
  // Manifest.mbdb's records in older backups, whose records wrap the
  // files' keys), the property lists, and every ordinary file of
  // `domains`, laid out in two-character sub-folders. A file that cannot be decrypted is named in
  // *problems and left out, the others are still written; false, with *message, only when the
  // catalogue itself cannot be.
  bool DecryptInto(const std::string& target, const std::set<std::string>& domains,
                   std::vector<std::string>* problems, std::string* message);

  int decrypted_files() const { return decrypted_files_; }
  const std::string& root() const { return root_; }

 private:
  bool DecryptCatalogue(const std::string& target, std::string* message);
  bool WritePropertyLists(const std::string& target, std::string* message);
  void DecryptFileRow(const std::string& target, const std::string& file_id,
                      const std::string& blob, std::vector<std::string>* problems);

  std::string root_;
  bool mbdb_ = false;
  Keybag keybag_;
  std::string manifest_key_;
  std::map<uint32_t, std::string> class_keys_;
  int decrypted_files_ = 0;
};

}  // namespace kxpackage

#endif  // KXPACKAGE_ENCRYPTED_BACKUP_H_
