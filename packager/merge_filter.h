// The filter step of the packagers whose copies merge through the field
// configuration: check the staged primary and the queue of further copies,
// then fold the copies into the primary.
#ifndef KX_PACKAGER_MERGE_FILTER_H_
#define KX_PACKAGER_MERGE_FILTER_H_

#include <string>

#include "packager/contract.h"

namespace kx {

struct MergeRule {
  const char* primary_key;  // "callhistory_file_path"
  const char* second_key;   // "callhistory_files_path"
  // The packagers word their missing-input messages differently ("No
  // primary file." / "No primary file or second files.", "No second file."
  // / "No second files.").
  const char* no_primary_message;
  const char* no_second_message;
  // Whether an empty queue counts as a missing one (else it merges nothing).
  bool empty_queue_is_missing;
  int system;       // kSystemAndroid, ...
  int config_type;  // kConfigCallHistory, ...
  // True: a failed merge returns at once, without the end line.
  bool return_merge_failure_at_once;
  // Run on the primary after the merge, whatever it returned (the indexes
  // some packagers read by); null when there is nothing to do.
  int (*after_merge)(SqliteConfig& config, const std::string& primary_path) = nullptr;
  // True: rows are matched by their unique key and colliding row numbers
  // renumbered (MergeDatabaseCopiesByKey), for stores whose rows refer to
  // each other by number within one table.
  bool by_key = false;
};

int RunMergeFilter(const MergeRule& rule, DataTypeRecord* record, SqliteConfig* config,
                   const PackageContext& context);

}  // namespace kx

#endif  // KX_PACKAGER_MERGE_FILTER_H_
