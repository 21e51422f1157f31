// A backup of iOS 4 to 9, catalogued by Manifest.mbdb, made into the plain
// layout every other backup is packaged from: a Manifest.db whose Files
// table lists what the records list, under the same file ids (SHA-1 of
// domain, "-" and path), and the files the data types read, in
// two-character sub-folders. The source backup is only ever read.
#ifndef KXPACKAGE_MBDB_BACKUP_H_
#define KXPACKAGE_MBDB_BACKUP_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/kxpackage/mbdb_records.h"

namespace kxpackage {

constexpr char kManifestMbdbName[] = "Manifest.mbdb";

// Whether `root` is catalogued by Manifest.mbdb (and holds no Manifest.db).
bool IsMbdbBackup(const std::string& root);

// SHA-1 of domain + "-" + path, 40 lower-case hex digits.
std::string MbdbFileId(const std::string& domain, const std::string& path);

// Reads the records of root/Manifest.mbdb. False, with the file and the
// offset of the fault in *message, when it cannot be read or is damaged.
bool ReadMbdbManifest(const std::string& root, std::vector<MbdbRecord>* records,
                      std::string* message);

// Copies Info.plist, Manifest.plist and Status.plist of `root`, those that
// are there, into `target`.
bool CopyBackupPropertyLists(const std::string& root, const std::string& target,
                             std::string* message);

// Writes into `target` (created) Manifest.db and every ordinary file of
// `domains`: copied, or decrypted with the key its record wraps when
// `class_keys` is given. A file that cannot be taken (absent, a link to
// outside the backup, a key that does not open) is named in *problems and
// left out. False, with *message, when the manifest or the catalogue cannot
// be read or written.
bool ConvertMbdbBackup(const std::string& root, const std::string& target,
                       const std::set<std::string>& domains,
                       const std::map<uint32_t, std::string>* class_keys,
                       std::vector<std::string>* problems, std::string* message);

}  // namespace kxpackage

#endif  // KXPACKAGE_MBDB_BACKUP_H_
