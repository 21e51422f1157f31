#include "sdk/data_type_table.h"

#include "android/registration.h"
#include "ios/registration.h"
#include "ioschat/registration.h"
#include "pipeline/registration.h"

namespace kx {

namespace {

DataTypeTable AssembleTable() {
  DataTypeTable table;
  for (int data_type = 0; data_type < kDataTypeCount; ++data_type) {
    table.SetRow(data_type, {data_type, "", "", "", nullptr, nullptr, {nullptr, nullptr}, -1});
  }
  for (const DataTypeRows rows :
       {AndroidDataTypes(), IosDataTypes(), IosChatDataTypes(), PipelineDataTypes()}) {
    for (const DataTypeEntry& entry : rows) table.SetRow(entry.data_type, entry);
  }
  return table;
}

}  // namespace

const DataTypeTable& DataTypeTable::BuiltIn() {
  static const DataTypeTable table = AssembleTable();
  return table;
}

const DataTypeEntry* DataTypeTable::Find(int data_type) const {
  if (data_type < 0 || data_type >= kDataTypeCount) return nullptr;
  return &rows_[data_type];
}

void DataTypeTable::SetRow(int data_type, const DataTypeEntry& entry) {
  if (data_type >= 0 && data_type < kDataTypeCount) rows_[data_type] = entry;
}

bool DataTypeTable::SecondFilesEmpty(DataTypeRecord& record) const {
  const DataTypeEntry* entry = Find(record.data_type);
  if (entry == nullptr) return true;
  for (const char* key : entry->second_keys) {
    if (key == nullptr) continue;
    FileQueue* queue = record.SecondFiles(key);
    if (queue != nullptr && !queue->Empty()) return false;
  }
  return true;
}

const DataTypeEntry* FindDataType(int data_type) {
  return DataTypeTable::BuiltIn().Find(data_type);
}

}  // namespace kx
