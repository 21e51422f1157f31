// The filter step shared by the Android system packagers: check the staged
// primary and the queue of further copies, then merge the copies into the
// primary through the field configuration.
#ifndef KX_ANDROID_MERGE_FILTER_H_
#define KX_ANDROID_MERGE_FILTER_H_

#include <atomic>

#include "sdk/data_type_record.h"

namespace kx {

struct MergeFilterSpec {
  int data_type;
  const char* stem;         // log stem of the packager's module
  const char* filter_name;  // as a stop is logged
  const char* primary_key;  // "callhistory_file_path"
  const char* second_key;   // "callhistory_files_path"
  // The packagers word the empty-queue message differently ("No second
  // file." / "No second files.").
  const char* no_second_message;
  int config_type;  // kConfigCallHistory, ...
  // True: a failed merge returns at once, without the end line.
  bool return_merge_failure_at_once;
};

int RunMergeFilter(const MergeFilterSpec& spec, DataTypeRecord* record, SqliteConfig* config,
                   std::atomic<int>* stop);

}  // namespace kx

#endif  // KX_ANDROID_MERGE_FILTER_H_
