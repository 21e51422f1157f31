// Request documents as a host writes them, any bytes: each input goes to
// KxDataFilter (then every filtered data type is packaged) and to
// KxDataPackageNew, over the sample phone data written once into the
// sandbox.
// libFuzzer options: -max_len=16384
//
// Paths stay in the sandbox. The text "@ROOT@" stands for the sandbox
// folder, so the seeds name the sample files and the fuzzer can splice
// paths between documents. Any other non-empty text (an absolute path
// elsewhere, a ".." step, a relative path, which would resolve against the
// fuzzer's working folder) is moved under elsewhere/ in the sandbox before
// the library sees it, and the temp folder under out/: the library trusts
// the host's paths, so a request naming /etc as its temp folder would be
// obeyed, and that is no fault. Only documents that needed such a change are
// written anew; every other input reaches the library byte for byte.
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "samples/sample_set.h"
#include "sdk/library.h"

namespace {

namespace fs = std::filesystem;

constexpr char kRootPlaceholder[] = "@ROOT@";

bool Inside(const std::string& path, const std::string& folder) {
  if (path.compare(0, folder.size(), folder) != 0 || path.size() == folder.size()) return false;
  if (path[folder.size()] != kx::kPathSeparator) return false;
  for (const fs::path& step : fs::path(path)) {
    if (step == "..") return false;
  }
  return true;
}

bool Confined(const std::string& path, const std::string& root) {
  return path.empty() || (fs::path(path).is_absolute() && Inside(path, root));
}

std::string Moved(const std::string& path, const std::string& folder) {
  return kx::JoinPath(folder, kx::SafeFileName(path, "moved"));
}

// True when something had to move.
bool Confine(Json::Value* value, const std::string& root, const std::string& elsewhere) {
  if (value->isString()) {
    if (Confined(value->asString(), root)) return false;
    *value = Moved(value->asString(), elsewhere);
    return true;
  }
  bool moved = false;
  if (value->isObject()) {
    for (const std::string& name : value->getMemberNames()) {
      moved |= Confine(&(*value)[name], root, elsewhere);
    }
  } else if (value->isArray()) {
    for (Json::Value& element : *value) moved |= Confine(&element, root, elsewhere);
  }
  return moved;
}

std::string SandboxedRequest(std::string text, const kx::fuzz::Sandbox& sandbox) {
  for (size_t at = text.find(kRootPlaceholder); at != std::string::npos;
       at = text.find(kRootPlaceholder, at + sandbox.root().size())) {
    text.replace(at, sizeof(kRootPlaceholder) - 1, sandbox.root());
  }
  Json::Value request;
  std::string error;
  if (!kx::ParseJson(text.c_str(), &request, &error)) return text;
  bool moved = Confine(&request, sandbox.root(), sandbox.Path("elsewhere"));
  if (request.isObject() && request.isMember("temp_folder") && request["temp_folder"].isString()) {
    const std::string temp_folder = request["temp_folder"].asString();
    if (!temp_folder.empty() && temp_folder != sandbox.out() &&
        !Inside(temp_folder, sandbox.out())) {
      request["temp_folder"] = Moved(temp_folder, sandbox.out());
      moved = true;
    }
  }
  return moved ? kx::WriteJson(request) : text;
}

void WriteSampleData(const kx::fuzz::Sandbox& sandbox) {
  std::string error;
  if (!kx::samples::WriteAndroidSampleSet(sandbox.src(), 1, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kx::fuzz::Sandbox sandbox("request");
  static const bool written = (WriteSampleData(sandbox), true);
  (void)written;
  const std::string request =
      SandboxedRequest(std::string(reinterpret_cast<const char*>(data), size), sandbox);
  const int length = static_cast<int>(request.size());

  const auto before = sandbox.Listing();
  sandbox.StartRun();
  kx::FilterDataType(request.c_str(), length);
  kx::PackageAllDataTypes(kx::fuzz::CheckedResult);
  kx::PackageStaged(request.c_str(), length, kx::fuzz::CheckedResult);
  sandbox.CheckRun(before);
  return 0;
}
