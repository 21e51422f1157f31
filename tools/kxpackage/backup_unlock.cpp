#include "tools/kxpackage/backup_unlock.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "tools/kxpackage/encrypted_backup.h"
#include "tools/kxpackage/host_platform.h"
#include "tools/kxpackage/ios_types.h"
#include "tools/kxpackage/progress.h"

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

void DropLineEnd(std::string* line) {
  while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
}

}  // namespace

bool ObtainBackupPassword(const std::string& password_file, std::string* password,
                          std::string* message) {
  if (!password_file.empty()) {
    std::ifstream in(fs::u8path(password_file), std::ios::binary);
    if (!in || !std::getline(in, *password)) {
      *message = password_file + ": cannot read the password from it";
      return false;
    }
    DropLineEnd(password);
    return true;
  }
  if (const char* value = std::getenv(kPasswordVariable); value != nullptr) {
    *password = value;
    return true;
  }
  if (ReadSecretFromTerminal("Password of the encrypted backup: ", password)) {
    DropLineEnd(password);
    return true;
  }
  *message = std::string("the backup is encrypted: give its password with --password-file F, ") +
             "in " + kPasswordVariable + ", or on a terminal";
  return false;
}

std::vector<std::string> DomainsToDecrypt() {
  std::set<std::string> domains;
  for (const IosType& type : IosTypes()) {
    for (const BackupFileSpec& file : type.files) domains.insert(file.domain);
    for (const IosType::OlderStore& older : type.older_stores) domains.insert(older.file.domain);
  }
  return std::vector<std::string>(domains.begin(), domains.end());
}

bool UnlockWithProgress(EncryptedBackup* backup, const std::string& password, bool show_progress,
                        std::string* message) {
  ProgressMonitor progress(show_progress, false, "");
  progress.Begin("deriving the key of the encrypted backup " + backup->root());
  const bool opened = backup->Unlock(password, message);
  progress.Finish();
  return opened;
}

bool DecryptForPackaging(EncryptedBackup* backup, const std::string& target,
                         ProgressMonitor* progress, UnlockedBackup* unlocked,
                         std::string* message) {
  const std::vector<std::string> listed = DomainsToDecrypt();
  const std::set<std::string> domains(listed.begin(), listed.end());
  if (progress != nullptr) progress->Begin("decrypting the backup into " + target);
  const bool decrypted = backup->DecryptInto(target, domains, &unlocked->problems, message);
  if (progress != nullptr) progress->Finish();
  if (!decrypted) return false;
  unlocked->root = target;
  return true;
}

}  // namespace kxpackage
