// WhatsApp's contacts database and private files from the fuzzer's bytes:
// wa.db, the names of the files in the Avatars folder and the own-number
// file "me", packaged beside a small valid message store of the older or
// the newer layout (data type 0).
// Input: layout byte, wa.db (4-byte length prefix), avatar file names (4-byte
// length prefix, one per line), "me" (the rest).
// libFuzzer options: -max_len=1048576
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "samples/android_sample_options.h"
#include "samples/android_whatsapp.h"
#include "sdk/library.h"

namespace {

namespace fs = std::filesystem;

// Enough avatars to cover every chat of the sample stores, few enough that
// a run stays quick.
constexpr int kMaxAvatars = 64;

struct Stores {
  std::string older;
  std::string newer;
};

// The message stores are the library's own samples, written once: the
// fuzzer's bytes go into what WhatsApp keeps beside them.
Stores WriteStores(const kx::fuzz::Sandbox& sandbox) {
  Stores stores{kx::JoinPath(sandbox.src(), "msgstore_older.db"),
                kx::JoinPath(sandbox.src(), "msgstore.db")};
  kx::samples::AndroidSampleOptions options;
  options.schema_version = kx::samples::kWhatsAppOlderLayout;
  const bool older = kx::samples::WriteWhatsAppMessageStore(stores.older, options);
  options.schema_version = kx::samples::kWhatsAppNewerLayout;
  if (!older || !kx::samples::WriteWhatsAppMessageStore(stores.newer, options)) std::abort();
  return stores;
}

void WriteAvatars(const std::string& folder, std::string_view names) {
  std::error_code ignored;
  fs::remove_all(kx::PathFromUtf8(folder), ignored);
  fs::create_directories(kx::PathFromUtf8(folder));
  int written = 0;
  while (!names.empty() && written < kMaxAvatars) {
    const size_t end = std::min(names.find('\n'), names.size());
    // Names come from the data: made safe, as the library makes its own.
    const std::string name = kx::SafeFileName(std::string(names.substr(0, end)), "avatar");
    names.remove_prefix(std::min(end + 1, names.size()));
    kx::fuzz::WriteBytes(kx::JoinPath(folder, name), "\xff\xd8\xff\xe0");
    ++written;
  }
}

std::string Request(const std::string& temp_folder, const std::string& store,
                    const std::string& contacts, const std::string& private_root) {
  Json::Value request(Json::objectValue);
  request["package_type"] = 0;
  request["temp_folder"] = temp_folder;
  request["primary_file_object"]["msg_file_path"] = store;
  request["primary_file_object"]["wa_file_path"] = contacts;
  request["addtional_param"] = private_root;
  return kx::WriteJson(request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kx::fuzz::Sandbox sandbox("whatsapp_private");
  static const Stores stores = WriteStores(sandbox);
  kx::fuzz::InputReader input(data, size);
  const std::string& store = input.Byte() % 2 == 0 ? stores.older : stores.newer;
  const std::string contacts = kx::JoinPath(sandbox.src(), "wa.db");
  const std::string private_root = kx::JoinPath(sandbox.src(), "phone");
  std::string files = private_root;
  for (const char* piece : {"apps", "com.whatsapp", "f"}) files = kx::JoinPath(files, piece);
  fs::create_directories(kx::PathFromUtf8(files));
  kx::fuzz::WriteBytes(contacts, input.Take());
  WriteAvatars(kx::JoinPath(files, "Avatars"), input.Take());
  kx::fuzz::WriteBytes(kx::JoinPath(files, "me"), input.Rest());

  const auto before = sandbox.Listing();
  sandbox.StartRun();
  const std::string request = Request(sandbox.out(), store, contacts, private_root);
  kx::FilterDataType(request.c_str(), static_cast<int>(request.size()));
  kx::PackageDataType(kx::fuzz::CheckedResult, 0);
  sandbox.CheckRun(before);
  return 0;
}
