// The closing summary: a table for people, or JSON.
#ifndef KXPACKAGE_SUMMARY_H_
#define KXPACKAGE_SUMMARY_H_

#include <json/json.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/kxpackage/ios_backup_reader.h"
#include "tools/kxpackage/job_runner.h"

namespace kxpackage {

// `device`, when given, heads the summary: the phone an iOS backup is of.
void PrintSummaryTable(const std::vector<JobResult>& results, const std::string& output_folder,
                       FILE* out, const BackupDevice* device = nullptr);
void PrintSummaryJson(const std::vector<JobResult>& results, const std::string& output_folder,
                      FILE* out, const BackupDevice* device = nullptr);
// The same JSON summary written to `path` (the report reads it), with the
// run's `provenance` when given; false when it cannot be written.
bool WriteSummaryJson(const std::vector<JobResult>& results, const std::string& output_folder,
                      const std::string& path, const BackupDevice* device = nullptr,
                      const Json::Value* provenance = nullptr);

}  // namespace kxpackage

#endif  // KXPACKAGE_SUMMARY_H_
