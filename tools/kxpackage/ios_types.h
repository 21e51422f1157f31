// The iOS data types the host knows of, and the files of a backup each one
// reads.
#ifndef KXPACKAGE_IOS_TYPES_H_
#define KXPACKAGE_IOS_TYPES_H_

#include <string>
#include <utility>
#include <vector>

#include "tools/kxpackage/android_types.h"

namespace kxpackage {

// One file of the phone, as Manifest.db lists it.
struct BackupFileSpec {
  std::string primary_key;  // "call_file_path"
  std::string second_key;   // the queue of older copies; "" when none are merged
  std::string domain;       // "HomeDomain"
  std::string relative_path;
  bool required;  // without it the data type is not in the backup
  // Where phones of earlier generations kept the file instead (domain and
  // path), looked at in order when the backup does not list it.
  std::vector<std::pair<std::string, std::string>> older_locations = {};
};

struct IosType {
  std::string name;  // output subfolder and summary name
  int data_type;
  bool available;  // the library packages it already
  std::vector<BackupFileSpec> files;
  bool wants_sub_dir;  // the packager reads "has_sub_dir" from other info
  RecordCounter count_records;
  // Further members of "other_info", as the packager reads them.
  std::vector<std::pair<std::string, std::string>> other_info = {};
  // When not empty, the "other_info" member that receives what the '*' of
  // the required file's path matched (the account folder a store lies in).
  std::string matched_key = {};
  // Run through KxDataPackageNew rather than the filter and package calls.
  bool staged = false;
  // Packaged by the library from a database the host builds itself, not
  // from files of the backup: `kxpackage request` runs it.
  bool by_request = false;
  // Every store the required file's pattern matches is packaged, one
  // result each (reminders: one store per account), and so is each older
  // place below that holds what the data type reads.
  bool every_store = false;
  struct OlderStore {
    BackupFileSpec file;  // in place of the required file
    const char* holds;    // a query that answers a row when the store counts
  };
  std::vector<OlderStore> older_stores = {};
};

// Every iOS data type: the available ones first, then the others in the
// order of their numbers.
const std::vector<IosType>& IosTypes();

}  // namespace kxpackage

#endif  // KXPACKAGE_IOS_TYPES_H_
