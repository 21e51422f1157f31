#include "kit/backup_inputs.h"

#include <cstdlib>

#include "common/backup_files.h"

namespace kx {

bool ReadOtherInfoFlag(const DataTypeRecord& record, const char* key, bool* value) {
  const auto found = record.other_info.find(key);
  if (found == record.other_info.end()) return false;
  *value = std::strtol(found->second.c_str(), nullptr, 10) != 0;
  return true;
}

std::string FileInBackup(const std::string& backup_root, const std::string& domain,
                         const std::string& relative_path, bool two_level) {
  return BackupFilePath(backup_root, BackupFileId(domain, relative_path), two_level);
}

}  // namespace kx
