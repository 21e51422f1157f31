// The table the filter calls dispatch through: the filter row of every data
// type whose descriptor takes them.
#ifndef KX_SDK_DATA_TYPE_TABLE_H_
#define KX_SDK_DATA_TYPE_TABLE_H_

#include <optional>
#include <vector>

#include "packager/contract.h"
#include "sdk/data_type_descriptor.h"

namespace kx {

// The library's descriptor table (sdk/data_types.inc).
DataTypeDescriptors BuiltInDescriptors();

// The rows of the data types that take the filter calls. The library
// dispatches through the built-in table, which never changes; a test builds
// a registry over a table of its own with rows replaced by test doubles.
class DataTypeTable {
 public:
  static const DataTypeTable& BuiltIn();

  // The row of `data_type`, or null when its descriptor does not take the
  // filter calls (or there is none).
  const DataTypeEntry* Find(int data_type) const;
  // Replaces the row of `data_type` (ignored where there is none).
  void SetRow(int data_type, const DataTypeEntry& entry);
  // True when every second-file queue of the record's type is empty (or
  // absent).
  bool SecondFilesEmpty(DataTypeRecord& record) const;

 private:
  // Indexed by data type; an empty slot has no row.
  std::vector<std::optional<DataTypeEntry>> rows_;
};

// The built-in row of `data_type`, or null.
const DataTypeEntry* FindDataType(int data_type);

}  // namespace kx

#endif  // KX_SDK_DATA_TYPE_TABLE_H_
