// Two copies of one phone database from the fuzzer's bytes: a primary and an
// older copy, filtered like a host's request (staged, the copy merged into
// the staged primary through the field configuration, so the table parser
// reads both schemas whole), then packaged.
// Input: selector byte, primary (4-byte length prefix), copy (the rest).
// libFuzzer options: -max_len=1048576
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/json_util.h"
#include "common/platform.h"
#include "fuzz/fuzz_support.h"
#include "sdk/library.h"

namespace {

struct MergedType {
  int data_type;
  const char* primary_key;
  const char* copies_key;
  const char* file_name;
};

constexpr MergedType kTypes[] = {
    {3, "callhistory_file_path", "callhistory_files_path", "calllog.db"},
    {4, "sms_file_path", "sms_files_path", "mmssms.db"},
    {2, "contact_file_path", "contact_files_path", "contacts2.db"},
    {0, "msg_file_path", "msg_files_path", "msgstore.db"},
};
constexpr size_t kTypeCount = sizeof(kTypes) / sizeof(kTypes[0]);

std::string FilterRequest(const MergedType& type, const std::string& temp_folder,
                          const std::string& primary, const std::string& copy) {
  Json::Value request(Json::objectValue);
  request["package_type"] = type.data_type;
  request["temp_folder"] = temp_folder;
  request["primary_file_object"][type.primary_key] = primary;
  request["second_file_objects"][type.copies_key].append(copy);
  return kx::WriteJson(request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kx::fuzz::Sandbox sandbox("merge_copies");
  kx::fuzz::InputReader input(data, size);
  const MergedType& type = kTypes[input.Byte() % kTypeCount];
  const std::string primary = kx::JoinPath(sandbox.src(), type.file_name);
  const std::string copy = kx::JoinPath(sandbox.src(), std::string("older_") + type.file_name);
  kx::fuzz::WriteBytes(primary, input.Take());
  kx::fuzz::WriteBytes(copy, input.Rest());

  const auto before = sandbox.Listing();
  sandbox.StartRun();
  const std::string request = FilterRequest(type, sandbox.out(), primary, copy);
  kx::FilterDataType(request.c_str(), static_cast<int>(request.size()));
  kx::PackageDataType(kx::fuzz::CheckedResult, type.data_type);
  sandbox.CheckRun(before);
  return 0;
}
