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
#include "sdk/data_type_table.h"

namespace kx {

// Locks, always taken in this order:
//  - a record's staging_mutex: held by a filter call while it copies its
//    files into the temp folder, so that copies of one data type never
//    delay a filter of another; guards the record's staging bookkeeping
//    (see DataTypeRecord);
//  - mutex_: guards the map of records and every record's inputs and
//    state transitions. Filter and package functions run without it, on a
//    copy of the record's inputs taken under it (DataTypeRecord::CopyInputs),
//    so another filter call of the same data type may add files, members and
//    queues meanwhile;
//  - each FileQueue's own mutex, for one push, pop or emptiness test.
// Records are shared: a call that found one keeps it alive after unlocking,
// even when PackageOne or Reset removes it from the map meanwhile.
class Registry {
 public:
  // Dispatches through `table`, which must outlive the registry and not
  // change while calls run.
  explicit Registry(const DataTypeTable* table = &DataTypeTable::BuiltIn()) : table_(table) {}

  // Destroys every record.
  void Reset();

  // The filter step of one request document of `length` (tested for 0
  // only), as KxDataFilter answers it. `config_folder` holds the field
  // configuration.
  int FilterText(const char* request_json, int length, const std::string& config_folder,
                 std::atomic<int>* stop);
  // The filter step of one parsed request.
  int Filter(const Json::Value& request, const std::string& config_folder, std::atomic<int>* stop);
  int PackageOne(ResultCallback callback, int data_type, std::atomic<int>* stop);
  int PackageAll(ResultCallback callback, std::atomic<int>* stop);

  // State of the record of `data_type`, or -1 when there is none.
  int StateOf(int data_type);

 private:
  using RecordPtr = std::shared_ptr<DataTypeRecord>;

  RecordPtr FindLocked(int data_type);
  // The record of `data_type`, created (without files) when there is none.
  // Called with mutex_ held.
  RecordPtr FindOrCreateLocked(int data_type, const std::string& temp_folder);
  int RunFilterLoop(const RecordPtr& record, const std::string& config_folder,
                    std::atomic<int>* stop);

  const DataTypeTable* const table_;
  // Guards `records_`, every record's inputs and the state changes that
  // must be seen with them (see above).
  std::mutex mutex_;
  std::unordered_map<int, RecordPtr> records_;
};

// Copies `source` into the record's temp folder. A different source already
// staged under the same file name keeps its copy: this one gets a numbered
// name. Returns the copy's path, "" on failure (logged). The caller holds the
// record's staging_mutex.
std::string StageForRecord(DataTypeRecord* record, const std::string& source);

}  // namespace kx

#endif  // KX_SDK_REGISTRY_H_
