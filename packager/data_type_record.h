// What the filter calls of one data type delivered: the staged files, the
// queues of further copies and the request's other members.
#ifndef KX_PACKAGER_DATA_TYPE_RECORD_H_
#define KX_PACKAGER_DATA_TYPE_RECORD_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/file_queue.h"
#include "kxdatapackage.h"

namespace kx {

// Record states.
constexpr int kRecordCreated = 0;
constexpr int kRecordFiltering = 1;
constexpr int kRecordFiltered = 2;
constexpr int kRecordFilterFailed = 3;
constexpr int kRecordPackaged = 4;

// The registry's record of one data type. Its input members (temp folder to
// additional parameter) are written by filter calls under the registry
// mutex; a filter or package function never reads the registry's record
// itself but a copy of its inputs taken under that mutex (CopyInputs), so a
// second filter call of the same data type can add files and members while
// the first one's filter runs.
struct DataTypeRecord {
  std::string temp_folder;  // where every listed source file is staged
  int data_type = 0;
  std::atomic<int> state{kRecordCreated};
  // Key from "primary_file_object" -> path of the staged copy.
  std::unordered_map<std::string, std::string> primary_files;
  // Key from "second_file_objects" -> queue of staged copies. A copy of the
  // record shares the queues (FileQueue is a handle).
  std::unordered_map<std::string, FileQueue> second_files;
  // Members of "other_info", as strings, not staged.
  std::unordered_map<std::string, std::string> other_info;
  std::string additional_param;  // "addtional_param"
  // Staged copy name -> source path, so two sources sharing a file name are
  // staged side by side instead of overwriting each other.
  std::unordered_map<std::string, std::string> staged_sources;

  // Held by a filter call while it copies its files into the temp folder,
  // without the registry lock: filters of one data type copy one after
  // another, because they share `staged_sources` and the primary files.
  // Guards `staged_sources` and `primaries_staged`.
  std::mutex staging_mutex;
  // Set once the first filter call has staged the primary files.
  bool primaries_staged = false;

  // A new record with this one's inputs (temp folder, data type, state,
  // primary files, queues, other info, additional parameter) and none of
  // its staging bookkeeping.
  std::unique_ptr<DataTypeRecord> CopyInputs() const;

  // Path of the primary file staged under `key`, or null.
  const std::string* PrimaryFile(const std::string& key) const;
  // The queue under `key`, or null.
  FileQueue* SecondFiles(const std::string& key);
};

}  // namespace kx

#endif  // KX_PACKAGER_DATA_TYPE_RECORD_H_
