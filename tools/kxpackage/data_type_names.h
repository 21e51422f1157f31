// The library's data types as kxpackage names them, read from the library's
// descriptor table (sdk/data_types.inc): the host keeps no list of its own.
#ifndef KXPACKAGE_DATA_TYPE_NAMES_H_
#define KXPACKAGE_DATA_TYPE_NAMES_H_

#include <string>

#include "sdk/data_type_descriptor.h"

namespace kxpackage {

// Every data type of the library, in number order, without its functions.
kx::DataTypeDescriptors DataTypeDescriptors();
// Output folder name of any data type of the library ("type_<n>" for a
// number it does not have).
std::string DataTypeName(int data_type);
// True when the data type runs through KxDataPackageNew alone.
bool StagedOnly(int data_type);

}  // namespace kxpackage

#endif  // KXPACKAGE_DATA_TYPE_NAMES_H_
