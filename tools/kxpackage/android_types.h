// The Android data types the host knows how to find and package.
#ifndef KXPACKAGE_ANDROID_TYPES_H_
#define KXPACKAGE_ANDROID_TYPES_H_

#include <json/json.h>

#include <string>
#include <vector>

#include "tools/kxpackage/data_type_names.h"

namespace kxpackage {

// Counts the records of a result document; `output_folder` holds its side
// files (some documents only list batch files).
using RecordCounter = long (*)(const Json::Value& document, const std::string& output_folder);

// One database a data type reads, and how to recognise it.
struct SourcePattern {
  std::string primary_key;  // "callhistory_file_path"
  std::string second_key;   // its further copies; "" when none are merged
  // Usual file names, best first; then the table sets that identify the
  // database (any one set, all of its tables), also when a name matches.
  std::vector<std::string> file_names;
  std::vector<std::vector<std::string>> table_sets;
  // Path pieces that must (or must not) occur in the file's path, to tell
  // apart applications that name their databases alike.
  std::string required_path_part;
  std::string excluded_path_part;
};

struct AndroidType {
  std::string name;                       // output subfolder and --copy name
  std::string title;                      // for people
  int data_type;                          // the library's data type
  bool staged;                            // runs through KxDataPackageNew
  bool available;                         // the library packages it already
  SourcePattern source;                   // the database that must be there
  std::vector<SourcePattern> companions;  // optional further databases
  // The application's private files folder: "addtional_param" is the folder
  // that holds this path ("" when the type needs none).
  std::string private_files_marker;
  RecordCounter count_records;
};

const std::vector<AndroidType>& AndroidTypes();
// By name ("call_history") or data type number ("3"); null when unknown.
const AndroidType* FindAndroidType(const std::string& name_or_number);

}  // namespace kxpackage

#endif  // KXPACKAGE_ANDROID_TYPES_H_
