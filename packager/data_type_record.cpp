#include "packager/data_type_record.h"

namespace kx {

const std::string* DataTypeRecord::PrimaryFile(const std::string& key) const {
  auto it = primary_files.find(key);
  return it == primary_files.end() ? nullptr : &it->second;
}

FileQueue* DataTypeRecord::SecondFiles(const std::string& key) {
  auto it = second_files.find(key);
  return it == second_files.end() ? nullptr : &it->second;
}

}  // namespace kx
