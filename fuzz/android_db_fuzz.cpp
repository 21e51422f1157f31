// A phone database whose bytes are anything, packaged as each Android data
// type would package it (SMS, contacts, WhatsApp, WhatsApp Business, LINE):
// a status and maybe a document, never a crash or a file outside the folder.
// libFuzzer options: -max_len=1048576
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "android/contacts.h"
#include "android/sms.h"
#include "android/whatsapp.h"
#include "fuzz/fuzz_support.h"
#include "packager/data_type_record.h"
#include "sdk/data_type_table.h"
#include "sdk/staged_request.h"
#include "sdk/staged_runner.h"

namespace {

namespace fs = std::filesystem;

void WriteDatabase(const std::string& path, const uint8_t* data, size_t size) {
  for (const char* companion : {"-wal", "-shm", "-journal"})
    std::remove((path + companion).c_str());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Package(kx::PackageFunction package, const char* key, const std::string& path,
             const std::string& folder, int data_type) {
  kx::DataTypeRecord record;
  record.data_type = data_type;
  record.temp_folder = folder;
  record.primary_files[key] = path;
  std::atomic<int> stop{0};
  package(&record, kx::FindDataType(data_type)->Context(kx::fuzz::CheckedResult, &stop));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = [] {
    const std::string path = kx::fuzz::OwnTempFolder("kx_android_db_fuzz");
    fs::create_directories(fs::u8path(path) / "out");
    return path;
  }();
  const std::string folder = root + "/out";
  const std::string path = root + "/source.db";
  WriteDatabase(path, data, size);
  Package(kx::AndroidSmsDataPackage, "sms_file_path", path, folder, 4);
  Package(kx::AndroidContactDataPackage, "contact_file_path", path, folder, 2);
  Package(kx::WhatsAppDataPackage, "msg_file_path", path, folder, 0);
  Package(kx::WhatsAppBusinessDataPackage, "msg_file_path", path, folder, 25);

  kx::StagedParameters line;
  line.data_type = kx::kStagedAndroidLine;
  line.temp_folder = folder;
  line.callback = kx::fuzz::CheckedResult;
  line.primary_file_path = path;
  kx::RunStagedPackage(line);

  // Whatever the data held, nothing was written beside the output folder.
  for (const auto& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (name != "out" && name.rfind("source.db", 0) != 0) __builtin_trap();
  }
  fs::remove_all(folder);
  fs::create_directories(folder);
  return 0;
}
