// The fixed table of data types 0..29, assembled from the rows each platform
// folder registers. An empty slot is never called.
#ifndef KX_SDK_DATA_TYPE_TABLE_H_
#define KX_SDK_DATA_TYPE_TABLE_H_

#include "packager/contract.h"

namespace kx {

constexpr int kDataTypeCount = 30;

// The entry of `data_type`, or null outside 0..29. A type no folder
// registers has an empty row.
const DataTypeEntry* FindDataType(int data_type);

// Replaces the row of `data_type` by `entry` (null restores it), so the
// dispatcher can be tested with doubles. Not for use while calls run.
void OverrideDataTypeForTesting(int data_type, const DataTypeEntry* entry);

// True when every second-file queue of the record's type is empty (or absent).
bool SecondFilesEmpty(DataTypeRecord& record);

}  // namespace kx

#endif  // KX_SDK_DATA_TYPE_TABLE_H_
