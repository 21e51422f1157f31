// The registry of filtered data types, the filter step and the package
// dispatch.
#ifndef KX_SDK_REGISTRY_H_
#define KX_SDK_REGISTRY_H_

#include <json/json.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "packager/data_type_record.h"

namespace kx {

// Two locks: the registry mutex covers the map of records and, for each
// record, its queues, scalars and state; a record's staging_mutex is held
// while its files are copied, so that copies of one data type never delay
// a filter of another. The staging lock is always taken before the
// registry mutex, never the other way round.
class Registry {
 public:
  // Destroys every record.
  void Reset();

  // The filter step of one parsed request. `config_folder` holds the field
  // configuration.
  int Filter(const Json::Value& request, const std::string& config_folder, std::atomic<int>* stop);
  int PackageOne(ResultCallback callback, int data_type, std::atomic<int>* stop);
  int PackageAll(ResultCallback callback, std::atomic<int>* stop);

  // State of the record of `data_type`, or -1 when there is none.
  int StateOf(int data_type);

 private:
  DataTypeRecord* FindLocked(int data_type);
  // The record of `data_type`, created (without files) when there is none.
  // Called with mutex_ held.
  DataTypeRecord* FindOrCreateLocked(int data_type, const std::string& temp_folder);
  int RunFilterLoop(DataTypeRecord* record, const std::string& config_folder,
                    std::atomic<int>* stop);

  std::mutex mutex_;
  std::unordered_map<int, std::unique_ptr<DataTypeRecord>> records_;
};

// Copies `source` into the record's temp folder. A different source already
// staged under the same file name keeps its copy: this one gets a numbered
// name. Returns the copy's path, "" on failure (logged). The caller holds the
// record's staging_mutex.
std::string StageForRecord(DataTypeRecord* record, const std::string& source);

}  // namespace kx

#endif  // KX_SDK_REGISTRY_H_
