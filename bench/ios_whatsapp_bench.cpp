// Packages two generated ChatStorage.sqlite stores of WhatsApp on iOS
// through the library's entry points: 2,000 chats of 1,000 messages each,
// and one chat of 1,000,000 messages. Prints, for each, the wall time of the
// package step, its peak memory, and the ratio to the sqlite3 shell printing
// the message query over all chats as JSON from the same file; then the
// time of writing the same batch files alone and the package step without
// it. Each store is packaged in its own child process, so each peak is its
// own: side by side they show whether memory grows with a chat's length.
//
// Usage: ios_whatsapp_bench [chats|one|all] [messages per chat]
// With KX_BENCH_STORE set to a folder the generated stores are kept there
// and reused by the next run.
#include <json/json.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/ios_whatsapp.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kIosWhatsAppDataType = 14;

std::atomic<long long> g_package_bytes{0};

int CountBytes(int /*kind*/, const char* /*text*/, int length) {
  g_package_bytes += length;
  return 0;
}

struct StoreShape {
  const char* label;
  int chats;
  long long messages_per_chat;
};

std::set<std::string> FileNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Sizes of the files of `folder` not named in `earlier`.
std::vector<long long> NewFileSizes(const std::string& folder,
                                    const std::set<std::string>& earlier) {
  std::vector<long long> sizes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file(error) && earlier.count(entry.path().filename().string()) == 0) {
      sizes.push_back(static_cast<long long>(entry.file_size(error)));
    }
  }
  return sizes;
}

double TimeWritingFiles(const std::string& folder, const std::vector<long long>& sizes) {
  std::filesystem::create_directories(folder);
  std::string bytes;
  const double start = kx::bench::NowSeconds();
  for (size_t i = 0; i < sizes.size(); ++i) {
    bytes.assign(static_cast<size_t>(sizes[i]), static_cast<char>('a' + i % 26));
    if (!kx::WriteNewFile(kx::JoinPath(folder, std::to_string(i) + ".bin"), bytes).ok()) {
      return -1;
    }
  }
  return kx::bench::NowSeconds() - start;
}

// The store of `shape`: kept in KX_BENCH_STORE when set, else generated
// into `work`.
std::string Store(const StoreShape& shape, const std::string& work, double* generate_seconds) {
  const char* kept = std::getenv("KX_BENCH_STORE");
  const std::string folder = kept != nullptr ? kept : work;
  std::filesystem::create_directories(folder);
  const std::string path =
      kx::JoinPath(folder, "ChatStorage_" + std::to_string(shape.chats) + "x" +
                               std::to_string(shape.messages_per_chat) + ".sqlite");
  *generate_seconds = 0;
  if (kept != nullptr && std::filesystem::exists(path)) return path;
  const double start = kx::bench::NowSeconds();
  if (!kx::samples::WriteIosWhatsAppBulk(path, shape.chats, shape.messages_per_chat)) return "";
  *generate_seconds = kx::bench::NowSeconds() - start;
  return path;
}

int RunBench(const StoreShape& shape, const std::string& work) {
  const std::string temp = kx::JoinPath(work, "temp");
  const std::string backup = kx::JoinPath(work, "backup");
  std::filesystem::create_directories(temp);
  std::filesystem::create_directories(backup);
  double generate_seconds = 0;
  const std::string source = Store(shape, work, &generate_seconds);
  if (source.empty()) {
    std::fprintf(stderr, "%s: cannot generate the store\n", shape.label);
    return 3;
  }
  const std::string contacts = kx::JoinPath(work, "ContactsV2.sqlite");
  const std::string owner = kx::JoinPath(work, "owner.plist");
  if (!kx::samples::WriteIosWhatsAppContacts(contacts) ||
      !kx::WriteNewFile(owner,
                        kx::samples::IosWhatsAppOwnerPlist(kx::samples::kIosWhatsAppOwnerJid))
           .ok()) {
    return 3;
  }
  return kx::bench::RunInChild([&] {
    kx::InitializeLibrary(work.c_str(), KX_BENCH_CONFIG_DIR);
    Json::Value request;
    request["package_type"] = kIosWhatsAppDataType;
    request["temp_folder"] = temp;
    request["primary_file_object"]["msg_file_path"] = source;
    request["primary_file_object"]["name_file_path"] = contacts;
    request["primary_file_object"]["owner_plist_file_path"] = owner;
    request["other_info"]["has_sub_dir"] = "1";
    request["addtional_param"] = backup;
    const std::string text = kx::WriteJson(request);
    const double stage_start = kx::bench::NowSeconds();
    if (kx::FilterDataType(text.c_str(), static_cast<int>(text.size())) != 0) return 4;
    const double stage_seconds = kx::bench::NowSeconds() - stage_start;
    const double before_mb = kx::bench::PeakResidentMb();
    const std::set<std::string> staged_files = FileNames(temp);
    kx::bench::FlushFileSystems();
    const double package_start = kx::bench::NowSeconds();
    if (kx::PackageDataType(CountBytes, kIosWhatsAppDataType) != 0) return 5;
    const double package_seconds = kx::bench::NowSeconds() - package_start;
    const double peak_mb = kx::bench::PeakResidentMb();

    const std::string staged =
        kx::JoinPath(temp, std::filesystem::path(source).filename().string());
    kx::bench::FlushFileSystems();
    const double sqlite_seconds = kx::bench::TimeShellCommand(
        "sqlite3 -json " + kx::bench::ShellQuote(staged) + " " +
        kx::bench::ShellQuote(kx::samples::IosWhatsAppMessageQuery()) + " > /dev/null");
    const std::vector<long long> sizes = NewFileSizes(temp, staged_files);
    long long bytes = 0;
    for (const long long size : sizes) bytes += size;
    kx::bench::FlushFileSystems();
    const double files_seconds = TimeWritingFiles(kx::JoinPath(work, "files_alone"), sizes);
    std::printf(
        "%-6s %d chats x %lld messages | generate %.1f s | stage %.1f s | package %.2f s, "
        "document %lld bytes, %zu files of %lld MB | peak RSS %.0f MB (%.0f MB before the "
        "package step) | sqlite3 -json %.2f s | ratio %.2f (target <= %.1f)\n"
        "       writing the same files alone %.2f s; the package step without them %.2f s, "
        "ratio %.2f\n",
        shape.label, shape.chats, shape.messages_per_chat, generate_seconds, stage_seconds,
        package_seconds, static_cast<long long>(g_package_bytes), sizes.size(),
        bytes / (1024 * 1024), peak_mb, before_mb, sqlite_seconds,
        sqlite_seconds > 0 ? package_seconds / sqlite_seconds : -1.0, kTargetRatio, files_seconds,
        package_seconds - files_seconds,
        sqlite_seconds > 0 ? (package_seconds - files_seconds) / sqlite_seconds : -1.0);
    return 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "all";
  const long long per_chat = argc > 2 ? std::atoll(argv[2]) : 1000;
  if (per_chat < 1 || (which != "all" && which != "chats" && which != "one")) {
    std::fprintf(stderr, "usage: %s [chats|one|all] [messages per chat]\n", argv[0]);
    return 2;
  }
  std::vector<StoreShape> shapes;
  if (which != "one") shapes.push_back({"chats", 2000, per_chat});
  if (which != "chats") shapes.push_back({"one", 1, per_chat * 1000});
  std::vector<std::string> work_folders;
  int result = 0;
  for (const StoreShape& shape : shapes) {
    const std::string work = kx::bench::MakeTempFolder("kxbench_ios_whatsapp_");
    if (work.empty()) return 2;
    work_folders.push_back(work);
    result |= RunBench(shape, work);
  }
  for (const std::string& work : work_folders) {
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);
  }
  return result == 0 ? 0 : 1;
}
