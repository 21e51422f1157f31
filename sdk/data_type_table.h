// The fixed table of data types 0..29: names, filter and package functions,
// second-file keys and result kinds. An empty slot is never called.
#ifndef KX_SDK_DATA_TYPE_TABLE_H_
#define KX_SDK_DATA_TYPE_TABLE_H_

#include "sdk/data_type_record.h"

namespace kx {

constexpr int kDataTypeCount = 30;

struct DataTypeEntry {
  const char* packager_name;  // as its log lines name it; "" when none
  const char* source_stem;    // log stem of its module; "" when none
  FilterFunction filter;      // null: nothing to filter
  PackageFunction package;    // null: not packaged (or not built yet)
  const char* second_keys[2]; // queues whose emptiness ends the filter loop
  int result_kind;            // first argument of the callback; -1 when none
};

// The entry of `data_type`, or null outside 0..29.
const DataTypeEntry* FindDataType(int data_type);

// Replaces the row of `data_type` by `entry` (null restores it), so the
// dispatcher can be tested with doubles. Not for use while calls run.
void OverrideDataTypeForTesting(int data_type, const DataTypeEntry* entry);

// True when every second-file queue of the record's type is empty (or absent).
bool SecondFilesEmpty(DataTypeRecord& record);

}  // namespace kx

#endif  // KX_SDK_DATA_TYPE_TABLE_H_
