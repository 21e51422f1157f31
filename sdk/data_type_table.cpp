#include "sdk/data_type_table.h"

#include <array>

#include "android/registration.h"
#include "ios/registration.h"
#include "ioschat/registration.h"
#include "pipeline/registration.h"

namespace kx {

namespace {

using DataTypeTable = std::array<DataTypeEntry, kDataTypeCount>;

DataTypeTable AssembleTable() {
  DataTypeTable table;
  for (int data_type = 0; data_type < kDataTypeCount; ++data_type) {
    table[data_type] = {data_type, "", "", "", nullptr, nullptr, {nullptr, nullptr}, -1};
  }
  for (const DataTypeRows rows :
       {AndroidDataTypes(), IosDataTypes(), IosChatDataTypes(), PipelineDataTypes()}) {
    for (const DataTypeEntry& entry : rows) {
      if (entry.data_type >= 0 && entry.data_type < kDataTypeCount) table[entry.data_type] = entry;
    }
  }
  return table;
}

const DataTypeTable& Table() {
  static const DataTypeTable table = AssembleTable();
  return table;
}

// Test doubles of single rows; written only while no call runs.
const DataTypeEntry* g_overrides[kDataTypeCount] = {};

}  // namespace

const DataTypeEntry* FindDataType(int data_type) {
  if (data_type < 0 || data_type >= kDataTypeCount) return nullptr;
  if (g_overrides[data_type] != nullptr) return g_overrides[data_type];
  return &Table()[data_type];
}

void OverrideDataTypeForTesting(int data_type, const DataTypeEntry* entry) {
  if (data_type >= 0 && data_type < kDataTypeCount) g_overrides[data_type] = entry;
}

bool SecondFilesEmpty(DataTypeRecord& record) {
  const DataTypeEntry* entry = FindDataType(record.data_type);
  if (entry == nullptr) return true;
  for (const char* key : entry->second_keys) {
    if (key == nullptr) continue;
    FileQueue* queue = record.SecondFiles(key);
    if (queue != nullptr && !queue->Empty()) return false;
  }
  return true;
}

}  // namespace kx
