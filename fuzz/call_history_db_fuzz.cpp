// A call log whose bytes are anything: opened, queried and packaged like a
// staged copy, never a crash.
// libFuzzer options: -max_len=1048576
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "android/call_history.h"
#include "fuzz/fuzz_support.h"
#include "packager/data_type_record.h"
#include "sdk/data_type_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = kx::fuzz::OwnTempFolder("kx_call_history_fuzz");
  const std::string path = folder + "/calllog.db";
  std::remove((path + "-wal").c_str());
  std::remove((path + "-shm").c_str());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  kx::DataTypeRecord record;
  record.data_type = 3;
  record.temp_folder = folder;
  record.primary_files["callhistory_file_path"] = path;
  std::atomic<int> stop{0};
  kx::AndroidCallhistoryDataPackage(&record,
                                    kx::FindDataType(3)->Context(kx::fuzz::CheckedResult, &stop));
  return 0;
}
