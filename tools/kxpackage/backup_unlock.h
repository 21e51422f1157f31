// What the host does with an encrypted iOS backup: takes the password from
// where the user put it, and decrypts what the data types read into a
// private plain backup under the output folder.
#ifndef KXPACKAGE_BACKUP_UNLOCK_H_
#define KXPACKAGE_BACKUP_UNLOCK_H_

#include <memory>
#include <string>
#include <vector>

namespace kxpackage {

class EncryptedBackup;
class ProgressMonitor;

// The environment variable a password may come from.
constexpr char kPasswordVariable[] = "KXPACKAGE_BACKUP_PASSWORD";

// The password: the first line of `password_file` when one is named, else
// the environment variable, else asked for on the terminal without echo.
// False, with why in *message, when none can be had.
bool ObtainBackupPassword(const std::string& password_file, std::string* password,
                          std::string* message);

// Every backup domain a data type of the host reads a store or a media
// file from.
std::vector<std::string> DomainsToDecrypt();

// Derives the password's key of a loaded backup and opens its class keys:
// the slow step, shown as progress on a terminal when `show_progress`.
// False, with the message for the user in *message, for a wrong password;
// nothing is written.
bool UnlockWithProgress(EncryptedBackup* backup, const std::string& password, bool show_progress,
                        std::string* message);

struct UnlockedBackup {
  std::string root;                   // the plain copy
  std::vector<std::string> problems;  // files that could not be decrypted, one line each
};

// Decrypts what the data types read (DomainsToDecrypt) into `target`.
// False, with *message, when the catalogue does not decrypt.
bool DecryptForPackaging(EncryptedBackup* backup, const std::string& target,
                         ProgressMonitor* progress, UnlockedBackup* unlocked, std::string* message);

}  // namespace kxpackage

#endif  // KXPACKAGE_BACKUP_UNLOCK_H_
