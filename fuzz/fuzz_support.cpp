#include "fuzz/fuzz_support.h"

#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include "common/platform.h"
#include "sdk/library.h"

namespace kx::fuzz {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "fuzz check failed: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Size and time of the last write: any write changes one of them, and
// reading every source file each run would cost more than the run.
std::string Stamp(const fs::directory_entry& entry) {
  std::error_code error;
  const auto size = entry.file_size(error);
  const auto written = entry.last_write_time(error).time_since_epoch().count();
  return std::to_string(size) + "@" + std::to_string(written);
}

bool OnlyFiniteNumbers(const Json::Value& value) {
  if (value.isDouble()) return std::isfinite(value.asDouble());
  for (const Json::Value& member : value) {
    if (!OnlyFiniteNumbers(member)) return false;
  }
  return true;
}

// Folders a run may write into, emptied before each run: the temp folder
// of the requests and the log.
constexpr const char* kScratchFolders[] = {"out", "log"};

bool IsScratch(const std::string& name) {
  for (const char* scratch : kScratchFolders) {
    if (name == scratch) return true;
  }
  return false;
}

// Empties `folder`, which stays.
void Empty(const fs::path& folder) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    fs::remove_all(entry.path(), ignored);
  }
}

std::string RandomSuffix() {
  std::random_device device;
  return std::to_string(device() % 1000000000u);
}

}  // namespace

uint8_t InputReader::Byte() {
  if (bytes_.empty()) return 0;
  const uint8_t byte = static_cast<uint8_t>(bytes_.front());
  bytes_.remove_prefix(1);
  return byte;
}

std::string_view InputReader::Take() {
  uint32_t length = 0;
  for (int shift = 0; shift < 32; shift += 8) length |= uint32_t{Byte()} << shift;
  const size_t taken = std::min<size_t>(length, bytes_.size());
  const std::string_view piece = bytes_.substr(0, taken);
  bytes_.remove_prefix(taken);
  return piece;
}

std::string OwnTempFolder(const std::string& name) {
  // One folder per process, so that a minimising run or a corpus replay
  // beside a fuzzing run of the same target does not share files with it.
  const fs::path root = fs::temp_directory_path() / (name + "_" + RandomSuffix());
  fs::create_directories(root);
  static std::vector<std::string> roots;
  roots.push_back(PathToUtf8(root));
  static const bool registered = [] {
    std::atexit([] {
      std::error_code ignored;
      for (const std::string& path : roots) fs::remove_all(PathFromUtf8(path), ignored);
    });
    return true;
  }();
  (void)registered;
  return roots.back();
}

Sandbox::Sandbox(const std::string& target) : root_(OwnTempFolder("kx_fuzz_" + target)) {
  const fs::path root = PathFromUtf8(root_);
  fs::create_directories(root / "src");
  for (const char* scratch : kScratchFolders) fs::create_directories(root / scratch);
}

std::string Sandbox::Path(const std::string& relative) const { return JoinPath(root_, relative); }

void Sandbox::StartRun() const {
  // The log starts afresh too: it is formatted (and so fuzzed) each run but
  // does not grow over a long campaign.
  for (const char* scratch : kScratchFolders) Empty(PathFromUtf8(Path(scratch)));
  const std::string log = Path("log");
  InitializeLibrary(log.c_str(), KX_FUZZ_CONFIG_DIR);
}

std::map<std::string, std::string> Sandbox::Listing() const {
  std::map<std::string, std::string> listing;
  const fs::path root = PathFromUtf8(root_);
  std::error_code error;
  for (auto entry = fs::recursive_directory_iterator(root, error);
       !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    const fs::path relative = entry->path().lexically_relative(root);
    const std::string top = PathToUtf8(*relative.begin());
    if (IsScratch(top)) {
      if (entry.depth() == 0) entry.disable_recursion_pending();
      continue;
    }
    const bool file = entry->is_regular_file(error);
    listing[PathToUtf8(relative)] = file ? Stamp(*entry) : "folder";
  }
  return listing;
}

void Sandbox::CheckRun(const std::map<std::string, std::string>& before) const {
  const auto after = Listing();
  if (after != before) {
    for (const auto& [name, stamp] : after) {
      const auto was = before.find(name);
      if (was == before.end() || was->second != stamp) {
        Fail("written outside the temp folder: " + name);
      }
    }
    Fail("a source file is gone");
  }
  std::error_code error;
  for (auto entry = fs::recursive_directory_iterator(PathFromUtf8(out()), error);
       !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    if (entry->path().extension() == ".json" && entry->is_regular_file(error)) {
      CheckJson(ReadAll(entry->path()), PathToUtf8(entry->path()));
    }
  }
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path);
}

void CheckJson(std::string_view text, const std::string& what) {
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string error;
  if (!reader->parse(text.data(), text.data() + text.size(), &value, &error)) {
    Fail(what + " is not JSON: " + error + "\n" + std::string(text.substr(0, 2000)));
  }
  if (!OnlyFiniteNumbers(value)) Fail(what + " holds a number JSON cannot hold");
}

int CheckedResult(int kind, const char* text, int length) {
  if (text == nullptr || length < 0) Fail("result callback without text");
  CheckJson(std::string_view(text, static_cast<size_t>(length)),
            "result document of kind " + std::to_string(kind));
  return 0;
}

}  // namespace kx::fuzz
