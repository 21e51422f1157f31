// A phone database with a write-ahead log beside it, both from the fuzzer's
// bytes: staged with its companion and packaged, so SQLite replays the log
// of the staged copy while the packager reads it.
// Input: selector byte, database (4-byte length prefix), "-wal" (the rest).
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

struct WalType {
  int data_type;
  const char* primary_key;
  const char* file_name;
  bool staged;  // KxDataPackageNew rather than filter and package
};

constexpr WalType kTypes[] = {
    {3, "callhistory_file_path", "calllog.db", false},
    {4, "sms_file_path", "mmssms.db", false},
    {2, "contact_file_path", "contacts2.db", false},
    {30, "line_file_path", "naver_line", true},
};
constexpr size_t kTypeCount = sizeof(kTypes) / sizeof(kTypes[0]);

std::string Request(const WalType& type, const std::string& temp_folder,
                    const std::string& database) {
  Json::Value request(Json::objectValue);
  request["package_type"] = type.data_type;
  request["temp_folder"] = temp_folder;
  request["primary_file_object"][type.primary_key] = database;
  return kx::WriteJson(request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kx::fuzz::Sandbox sandbox("wal");
  kx::fuzz::InputReader input(data, size);
  const WalType& type = kTypes[input.Byte() % kTypeCount];
  const std::string database = kx::JoinPath(sandbox.src(), type.file_name);
  kx::fuzz::WriteBytes(database, input.Take());
  kx::fuzz::WriteBytes(database + "-wal", input.Rest());

  const auto before = sandbox.Listing();
  sandbox.StartRun();
  const std::string request = Request(type, sandbox.out(), database);
  const int length = static_cast<int>(request.size());
  if (type.staged) {
    kx::PackageStaged(request.c_str(), length, kx::fuzz::CheckedResult);
  } else {
    kx::FilterDataType(request.c_str(), length);
    kx::PackageDataType(kx::fuzz::CheckedResult, type.data_type);
  }
  sandbox.CheckRun(before);
  return 0;
}
