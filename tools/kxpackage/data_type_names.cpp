#include "tools/kxpackage/data_type_names.h"

#include <iterator>

namespace kxpackage {

namespace {

using kx::kFilterCalls;
using kx::kStagedCall;

// The library's rows with their function columns left out: the host links
// the public library only.
#define KX_CODE(x) nullptr
const kx::DataTypeDescriptor kDescriptors[] = {
#include "sdk/data_types.inc"
};
#undef KX_CODE

}  // namespace

kx::DataTypeDescriptors DataTypeDescriptors() { return {kDescriptors, std::size(kDescriptors)}; }

std::string DataTypeName(int data_type) {
  const kx::DataTypeDescriptor* descriptor = DataTypeDescriptors().Find(data_type);
  return descriptor != nullptr ? descriptor->name : "type_" + std::to_string(data_type);
}

bool StagedOnly(int data_type) {
  const kx::DataTypeDescriptor* descriptor = DataTypeDescriptors().Find(data_type);
  return descriptor != nullptr && descriptor->calls == kStagedCall;
}

}  // namespace kxpackage
