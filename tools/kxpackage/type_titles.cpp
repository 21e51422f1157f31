#include "tools/kxpackage/type_titles.h"

#include "tools/kxpackage/data_type_names.h"

namespace kxpackage {

namespace {

// The folder of an older backup found beside the newest one.
constexpr char kOlderBackupName[] = "older_backup";

// The descriptor table's title of the data type named `name`, or null.
const char* TitleOf(const std::string& name) {
  if (name == kOlderBackupName) return "Older backup";
  for (const kx::DataTypeDescriptor& descriptor : DataTypeDescriptors()) {
    if (name == descriptor.name && *descriptor.title != '\0') return descriptor.title;
  }
  return nullptr;
}

}  // namespace

std::string TypeTitle(const std::string& name) {
  const char* title = TitleOf(name);
  if (title != nullptr) return title;
  // A further store of a type that keeps one per account: "<type>-<store>".
  const size_t dash = name.find('-');
  if (dash == std::string::npos) return name;
  const char* type = TitleOf(name.substr(0, dash));
  if (type == nullptr) return name;
  return std::string(type) + " (" + name.substr(dash + 1) + ")";
}

}  // namespace kxpackage
