// Writes the description of every data type that the Python module builds
// its requests from: the rows of the descriptor table (and apart the staged
// ones), the primary files kxpackage hands each data type and the status
// codes of the public header, as one JSON document.
//
// usage: describe_data_types HEADER VERSION OUTPUT
#include <json/json.h>

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>

#include "sdk/data_type_table.h"
#include "tools/kxpackage/android_types.h"
#include "tools/kxpackage/ios_types.h"

namespace {

constexpr char kManifestKey[] = "manifest_file_path";  // every iOS data type gets it

// The members of "primary_file_object" that kxpackage fills for a data type,
// in its own order; empty for the types it does not package itself.
Json::Value PrimaryFileKeys(int data_type) {
  Json::Value keys(Json::arrayValue);
  for (const kxpackage::AndroidType& type : kxpackage::AndroidTypes()) {
    if (type.data_type != data_type) continue;
    keys.append(type.source.primary_key);
    for (const kxpackage::SourcePattern& companion : type.companions) {
      keys.append(companion.primary_key);
    }
  }
  for (const kxpackage::IosType& type : kxpackage::IosTypes()) {
    if (type.data_type != data_type || type.files.empty()) continue;
    for (const kxpackage::BackupFileSpec& file : type.files) keys.append(file.primary_key);
    keys.append(kManifestKey);
  }
  return keys;
}

Json::Value DataTypes() {
  Json::Value types(Json::arrayValue);
  for (const kx::DataTypeDescriptor& descriptor : kx::BuiltInDescriptors()) {
    if (!descriptor.Takes(kx::kFilterCalls)) continue;
    Json::Value type;
    type["data_type"] = descriptor.data_type;
    type["name"] = descriptor.name;
    type["packager_name"] = descriptor.packager_name;
    type["filter_name"] = descriptor.filter_name;
    type["has_filter"] = descriptor.filter != nullptr;
    type["has_package"] = descriptor.package != nullptr;
    type["result_kind"] = descriptor.result_kind;
    type["primary_file_keys"] = PrimaryFileKeys(descriptor.data_type);
    type["second_file_keys"] = Json::Value(Json::arrayValue);
    for (const char* key : descriptor.second_keys) {
      if (key != nullptr && *key != '\0') type["second_file_keys"].append(key);
    }
    types.append(type);
  }
  return types;
}

Json::Value StagedTypes() {
  Json::Value types(Json::arrayValue);
  for (const kx::DataTypeDescriptor& descriptor : kx::BuiltInDescriptors()) {
    if (!descriptor.Takes(kx::kStagedCall)) continue;
    Json::Value type;
    type["data_type"] = descriptor.data_type;
    type["name"] = descriptor.name;
    type["primary_file_key"] = descriptor.staged_key;
    type["result_kind"] = descriptor.result_kind;
    types.append(type);
  }
  return types;
}

// The enumerators of the header's status enum with their comments:
//   KX_STATUS_STOPPED = 1111, /* stopped on request */
Json::Value StatusCodes(const std::string& header_text) {
  static const std::regex kLine(
      R"(^\s*(KX_STATUS_[A-Z_]+)\s*=\s*(-?[0-9]+),?\s*(?:/\*\s*(.*?)\s*\*/)?\s*$)");
  Json::Value codes(Json::arrayValue);
  std::istringstream lines(header_text);
  std::string line;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (!std::regex_match(line, match, kLine)) continue;
    Json::Value code;
    code["name"] = match[1].str();
    code["code"] = std::stoi(match[2].str());
    code["meaning"] = match[3].matched ? match[3].str() : "success";
    codes.append(code);
  }
  return codes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: describe_data_types HEADER VERSION OUTPUT\n";
    return 2;
  }
  std::ifstream header(argv[1], std::ios::binary);
  std::stringstream header_text;
  header_text << header.rdbuf();
  Json::Value description;
  description["library_version"] = argv[2];
  description["status_codes"] = StatusCodes(header_text.str());
  description["data_types"] = DataTypes();
  description["staged_data_types"] = StagedTypes();
  if (!header || description["status_codes"].empty()) {
    std::cerr << argv[1] << ": no status codes found\n";
    return 1;
  }
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "  ";
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out << Json::writeString(builder, description) << "\n";
  return out ? 0 : 1;
}
