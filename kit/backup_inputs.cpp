#include "kit/backup_inputs.h"

#include <cstdlib>

#include "common/backup_files.h"
#include "common/log.h"

namespace kx {

bool ReadOtherInfoFlag(const DataTypeRecord& record, const char* key, bool* value) {
  const auto found = record.other_info.find(key);
  if (found == record.other_info.end()) return false;
  *value = std::strtol(found->second.c_str(), nullptr, 10) != 0;
  return true;
}

bool HasBackupAndTempFolder(const DataTypeRecord& record, const char* stem, const char* no_backup) {
  if (record.additional_param.empty()) {
    KX_LOG_AT(kLogError, stem, "%s", no_backup);
    return false;
  }
  if (record.temp_folder.empty()) {
    KX_LOG_AT(kLogError, stem, "No temp folder.");
    return false;
  }
  return true;
}

std::string FileInBackup(const std::string& backup_root, const std::string& domain,
                         const std::string& relative_path, bool two_level) {
  return BackupFilePath(backup_root, BackupFileId(domain, relative_path), two_level);
}

}  // namespace kx
