// The closing summary: a table for people, or JSON.
#ifndef KXPACKAGE_SUMMARY_H_
#define KXPACKAGE_SUMMARY_H_

#include <cstdio>
#include <string>
#include <vector>

#include "tools/kxpackage/job_runner.h"

namespace kxpackage {

void PrintSummaryTable(const std::vector<JobResult>& results, const std::string& output_folder,
                       FILE* out);
void PrintSummaryJson(const std::vector<JobResult>& results, const std::string& output_folder,
                      FILE* out);

}  // namespace kxpackage

#endif  // KXPACKAGE_SUMMARY_H_
