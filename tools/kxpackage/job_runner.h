// Runs data types through the library and collects what came out.
#ifndef KXPACKAGE_JOB_RUNNER_H_
#define KXPACKAGE_JOB_RUNNER_H_

#include <json/json.h>

#include <string>

#include "tools/kxpackage/android_types.h"
#include "tools/kxpackage/progress.h"

namespace kxpackage {

// Status values of the host itself, beside the library's codes.
constexpr int kHostNotAvailable = -100;  // the library cannot package it yet
constexpr int kHostBadSource = -101;     // the source file is missing or not a database
constexpr int kHostOutputFailed = -102;  // the output folder cannot be written
constexpr int kHostNotRun = -103;        // skipped after Ctrl-C
constexpr int kHostNoResult = -104;      // the call succeeded without a result
constexpr int kHostBadDocument = -105;   // the result document is not JSON
constexpr int kHostNotInBackup = -106;   // the backup holds none of its files
constexpr int kHostByRequest = -107;     // it reads a database the host builds, not the backup

struct JobResult {
  std::string name;
  int data_type = -1;
  int status = 0;
  std::string detail;  // why, for people; may be empty
  long records = 0;
  long files = 0;
  double seconds = 0;
  std::string output_folder;
};

std::string StatusText(int status);
bool Succeeded(const JobResult& result);

// One data type of the host's own: the filter request (or the staged request)
// is built by the caller; its "temp_folder" is `output_folder`.
JobResult RunFilterAndPackage(const std::string& name, int data_type, const std::string& request,
                              const std::string& output_folder, RecordCounter count_records,
                              ProgressMonitor* progress);
// `source_path` is the database the request names (staged into the output
// folder by the run itself).
JobResult RunStaged(const std::string& name, int data_type, const std::string& request,
                    const std::string& output_folder, const std::string& source_path,
                    RecordCounter count_records, ProgressMonitor* progress);

// The package call of an already filtered data type (host request files).
JobResult RunPackageOnly(const std::string& name, int data_type, const std::string& output_folder,
                         RecordCounter count_records, ProgressMonitor* progress);

// Writes `text` to `path`; false when it cannot.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace kxpackage

#endif  // KXPACKAGE_JOB_RUNNER_H_
