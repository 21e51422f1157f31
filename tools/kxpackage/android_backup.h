// What the host takes out of an `adb backup` file: the apps' databases,
// written into a folder laid out as the pulled databases of a phone
// (apps/<package>/db/<name>), and the telephony provider's message backups
// made into the mmssms.db the SMS data type reads. Nothing else of the
// backup is written.
#ifndef KXPACKAGE_ANDROID_BACKUP_H_
#define KXPACKAGE_ANDROID_BACKUP_H_

#include <set>
#include <string>
#include <vector>

#include "tools/kxpackage/ab_stream.h"

namespace kxpackage {

// Whether the file at `path` starts as an Android backup does.
bool IsAndroidBackupFile(const std::string& path);

struct AndroidBackupContents {
  std::set<std::string> apps;       // every package the backup holds
  std::vector<std::string> staged;  // files written, under the target
  int messages = 0;                 // SMS and MMS taken from the telephony backups
};

// Reads the backup at `path` (its header read, its master key unlocked when
// encrypted) and writes what the packagers need into `target` (emptied
// first). False, with the file and the offset of the fault in *message, for
// a stream that is damaged or hostile; what was written stays in `target`,
// inside OUT.
bool ExtractAndroidBackup(const std::string& path, const AbHeader& header,
                          const AbMasterKey* master, const std::string& target,
                          AndroidBackupContents* contents, std::string* message);

// The telephony provider's backup of SMS (`mms` false) or MMS: a
// zlib-compressed JSON array, inflated up to a cap, added to the mmssms.db
// at `database` (created with the provider's tables when absent). False,
// with *message, for bytes that do not inflate or are no such array.
bool AddTelephonyBackup(const std::string& compressed, bool mms, const std::string& database,
                        int* added, std::string* message);

}  // namespace kxpackage

#endif  // KXPACKAGE_ANDROID_BACKUP_H_
