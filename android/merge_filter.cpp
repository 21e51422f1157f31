#include "android/merge_filter.h"

#include "common/log.h"
#include "common/merge.h"
#include "common/status.h"

namespace kx {

int RunMergeFilter(const MergeFilterSpec& spec, DataTypeRecord* record, SqliteConfig* config,
                   std::atomic<int>* stop) {
  KX_LOG(kLogProgress, "type %d KxDataFilter start", spec.data_type);
  const std::string* primary_path = record->PrimaryFile(spec.primary_key);
  if (primary_path == nullptr) {
    KX_LOG_AT(kLogError, spec.stem, "No primary file.");
    return kStatusMissingInput;
  }
  FileQueue* copies = record->SecondFiles(spec.second_key);
  if (copies == nullptr || copies->Empty()) {
    KX_LOG_AT(kLogError, spec.stem, "%s", spec.no_second_message);
    return kStatusMissingInput;
  }
  if (config == nullptr) {
    KX_LOG_AT(kLogError, spec.stem, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  const int status =
      MergeDatabaseCopies(*config, *primary_path, *copies, kSystemAndroid, spec.config_type, stop);
  if (status != kStatusOk && spec.return_merge_failure_at_once) return status;
  if (StopRequested(stop)) {
    KX_LOG(kLogProgress, "%s stoped!", spec.filter_name);
  }
  KX_LOG(kLogProgress, "type %d KxDataFilter end", spec.data_type);
  return status;
}

}  // namespace kx
