// The contract between the dispatcher and the old-style packagers: the row
// the registry dispatches each data type through, the functions the row
// names and the context they are called with.
#ifndef KX_PACKAGER_CONTRACT_H_
#define KX_PACKAGER_CONTRACT_H_

#include <atomic>

#include "common/status.h"
#include "kxdatapackage.h"
#include "packager/data_type_record.h"

namespace kx {

class SqliteConfig;

// What a filter or package function is called with besides its record: who
// it is (from its row of the data-type table, the one place that names it),
// where its document goes and the stop flag it reads.
struct PackageContext {
  int data_type = -1;
  // "%s stoped!" is spelled as hosts that watch the log for it expect.
  const char* packager_name = "";     // as "%s stoped!" names a stopped package step
  const char* filter_name = "";       // as "%s stoped!" names a stopped filter step
  const char* stem = "";              // log stem of the packager's module
  int result_kind = -1;               // first argument of the callback
  ResultCallback callback = nullptr;  // null for a filter step
  std::atomic<int>* stop = nullptr;   // 1 = stop; checked before each copy, table and row

  bool StopRequested() const { return kx::StopRequested(stop); }
};

// Returns 0 on success. Pops the paths it handles.
using FilterFunction = int (*)(DataTypeRecord* record, SqliteConfig* config,
                               const PackageContext& context);

// Calls the context's callback exactly once on success; on a stop it skips
// the callback and returns 0.
using PackageFunction = int (*)(DataTypeRecord* record, const PackageContext& context);

// The row the registry dispatches a data type's filter calls through, as its
// descriptor gives it (sdk/data_types.inc).
struct DataTypeEntry {
  int data_type;
  const char* packager_name;   // as its log lines name it; "" when none
  const char* filter_name;     // "" when it has no filter step
  const char* source_stem;     // log stem of its module; "" when none
  FilterFunction filter;       // null: nothing to filter
  PackageFunction package;     // null: the type has no package step
  const char* second_keys[2];  // queues whose emptiness ends the filter loop
  int result_kind;             // first argument of the callback; -1 when none

  PackageContext Context(ResultCallback callback, std::atomic<int>* stop) const {
    return {data_type, packager_name, filter_name, source_stem, result_kind, callback, stop};
  }
};

}  // namespace kx

#endif  // KX_PACKAGER_CONTRACT_H_
