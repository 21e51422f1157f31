#include "packager/data_type_record.h"

namespace kx {

std::unique_ptr<DataTypeRecord> DataTypeRecord::CopyInputs() const {
  auto copy = std::make_unique<DataTypeRecord>();
  copy->temp_folder = temp_folder;
  copy->data_type = data_type;
  copy->state = state.load();
  copy->primary_files = primary_files;
  copy->second_files = second_files;
  copy->other_info = other_info;
  copy->additional_param = additional_param;
  return copy;
}

const std::string* DataTypeRecord::PrimaryFile(const std::string& key) const {
  auto it = primary_files.find(key);
  return it == primary_files.end() ? nullptr : &it->second;
}

FileQueue* DataTypeRecord::SecondFiles(const std::string& key) {
  auto it = second_files.find(key);
  return it == second_files.end() ? nullptr : &it->second;
}

}  // namespace kx
