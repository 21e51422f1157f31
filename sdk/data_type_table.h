// The fixed table of data types 0..29, assembled from the rows each platform
// folder registers. An empty slot is never called.
#ifndef KX_SDK_DATA_TYPE_TABLE_H_
#define KX_SDK_DATA_TYPE_TABLE_H_

#include <array>

#include "packager/contract.h"

namespace kx {

constexpr int kDataTypeCount = 30;

// The rows of data types 0..29. The library dispatches through the
// built-in table, which never changes; a test builds a registry over a
// table of its own with rows replaced by test doubles.
class DataTypeTable {
 public:
  // The rows the platform folders register.
  static const DataTypeTable& BuiltIn();

  // The entry of `data_type`, or null outside 0..29. A type no folder
  // registers has an empty row.
  const DataTypeEntry* Find(int data_type) const;
  // Replaces the row of `data_type` (ignored outside 0..29).
  void SetRow(int data_type, const DataTypeEntry& entry);
  // True when every second-file queue of the record's type is empty (or
  // absent).
  bool SecondFilesEmpty(DataTypeRecord& record) const;

 private:
  std::array<DataTypeEntry, kDataTypeCount> rows_;
};

// The built-in entry of `data_type`.
const DataTypeEntry* FindDataType(int data_type);

}  // namespace kx

#endif  // KX_SDK_DATA_TYPE_TABLE_H_
