// What the iOS packagers read about the backup their files came from: a
// host hands the backup folder as "addtional_param" and says in other_info
// whether its files lie in two-digit sub-folders ("has_sub_dir").
#ifndef KX_KIT_BACKUP_INPUTS_H_
#define KX_KIT_BACKUP_INPUTS_H_

#include <string>

#include "packager/data_type_record.h"

namespace kx {

constexpr char kSubDirKey[] = "has_sub_dir";

// The other-info member `key` read as the host writes it, a decimal number
// (non-zero is true). False, and *value untouched, when the host gave none.
bool ReadOtherInfoFlag(const DataTypeRecord& record, const char* key, bool* value);

// What a packager needs besides its files: the backup folder and the temp
// folder. False with `no_backup` or "No temp folder." logged under `stem`
// for the first that is missing.
bool HasBackupAndTempFolder(const DataTypeRecord& record, const char* stem,
                            const char* no_backup = "No backup path.");

// The stored file of `relative_path` in `domain` under `backup_root`, laid
// out in two-digit sub-folders when `two_level`. The path from the data is
// only hashed into a file id, so it cannot name a place outside the backup.
std::string FileInBackup(const std::string& backup_root, const std::string& domain,
                         const std::string& relative_path, bool two_level);

}  // namespace kx

#endif  // KX_KIT_BACKUP_INPUTS_H_
