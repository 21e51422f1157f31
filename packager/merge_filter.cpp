#include "packager/merge_filter.h"

#include "common/log.h"
#include "common/merge.h"
#include "common/status.h"
#include "packager/package_steps.h"

namespace kx {

int RunMergeFilter(const MergeRule& rule, DataTypeRecord* record, SqliteConfig* config,
                   const PackageContext& context) {
  KX_LOG(kLogProgress, "type %d KxDataFilter start", context.data_type);
  const std::string* primary_path = record->PrimaryFile(rule.primary_key);
  if (primary_path == nullptr || primary_path->empty()) {
    KX_LOG_AT(kLogError, context.stem, "%s", rule.no_primary_message);
    return kStatusMissingInput;
  }
  FileQueue* copies = record->SecondFiles(rule.second_key);
  if (copies == nullptr || (rule.empty_queue_is_missing && copies->Empty())) {
    KX_LOG_AT(kLogError, context.stem, "%s", rule.no_second_message);
    return kStatusMissingInput;
  }
  if (config == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  const int status = rule.by_key
                         ? MergeDatabaseCopiesByKey(*config, *primary_path, *copies, rule.system,
                                                    rule.config_type, context.stop)
                         : MergeDatabaseCopies(*config, *primary_path, *copies, rule.system,
                                               rule.config_type, context.stop);
  if (rule.after_merge != nullptr) rule.after_merge(*config, *primary_path);
  if (status != kStatusOk && rule.return_merge_failure_at_once) return status;
  if (context.StopRequested()) LogStopped(context.filter_name);
  KX_LOG(kLogProgress, "type %d KxDataFilter end", context.data_type);
  return status;
}

}  // namespace kx
