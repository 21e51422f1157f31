// One data type as every part of the system knows it: its number, its names,
// the request keys it reads, its result kind and what runs it. The rows are
// in sdk/data_types.inc, the one list of data types: the registry, the
// staged runner and kxpackage all read it.
#ifndef KX_SDK_DATA_TYPE_DESCRIPTOR_H_
#define KX_SDK_DATA_TYPE_DESCRIPTOR_H_

#include <cstddef>
#include <memory>

#include "packager/contract.h"

namespace kx {

class AbstractKxDataPackage;
struct StagedParameters;

using StagedFactory =
    std::unique_ptr<AbstractKxDataPackage> (*)(const StagedParameters& parameters);

// The entry points that take a data type (a bit each).
constexpr int kFilterCalls = 1;  // KxDataFilter, then KxDataPackage or KxDataPackageAll
constexpr int kStagedCall = 2;   // KxDataPackageNew

struct DataTypeDescriptor {
  int data_type;
  const char* name;   // kxpackage's name and output folder: "call_history"
  const char* title;  // for people: "Calls (Android)"; "" when it travels with another type
  int calls;          // kFilterCalls, kStagedCall or both
  int result_kind;    // first argument of the callback; -1 when none
  // Filter calls: the queues of "second_file_objects" whose emptiness ends
  // the filter loop.
  const char* second_keys[2];
  // Staged call: the member of "primary_file_object" naming its source.
  const char* staged_key;
  const char* packager_name;  // as its log lines name it; "" when none
  const char* filter_name;    // "" when it has no filter step
  const char* source_stem;    // log stem of its module; "" when none
  // Null where the type has no such step, and in kxpackage, which compiles
  // the same rows without the packagers.
  FilterFunction filter;
  PackageFunction package;
  StagedFactory create;

  bool Takes(int call) const { return (calls & call) != 0; }
  // The row the registry dispatches the filter calls through.
  DataTypeEntry FilterRow() const {
    return {data_type,
            packager_name,
            filter_name,
            source_stem,
            filter,
            package,
            {second_keys[0], second_keys[1]},
            result_kind};
  }
};

// Every data type of the library, in number order.
struct DataTypeDescriptors {
  const DataTypeDescriptor* rows;
  size_t count;

  const DataTypeDescriptor* begin() const { return rows; }
  const DataTypeDescriptor* end() const { return rows + count; }
  // The row of `data_type`, or null.
  const DataTypeDescriptor* Find(int data_type) const {
    for (const DataTypeDescriptor& row : *this) {
      if (row.data_type == data_type) return &row;
    }
    return nullptr;
  }
};

}  // namespace kx

#endif  // KX_SDK_DATA_TYPE_DESCRIPTOR_H_
