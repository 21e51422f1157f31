// Packages two generated WhatsApp message stores of the newer layout through
// the library's entry points: 2,000 chats of 1,000 messages each, and one
// chat of 1,000,000 messages. Prints, for each, the wall time of the package
// step, its peak memory, and the ratio to the sqlite3 shell printing the
// message query over all chats as JSON from the same file.
//
// Usage: whatsapp_bench [chats|one|all] [messages per chat] [typical|every-kind|text]
// The typical mix (the default) has the proportions of a real phone: one
// message in seven has a thumbnail, each a picture of its own, and each
// becomes a file of its own in the temp folder. The every-kind mix is the
// test data's cycle, denser in media, cards and replies; text has no media.
//
// Every thumbnail costs the package step one file creation, whose price
// only the file system decides. So the bench also times writing the same
// number of files of the same sizes alone, and prints what is left of the
// package step without it. Dirty pages are flushed (untimed) before each
// timed step, so that none pays for the write-back of another.
//
// Each store is packaged in its own child process, so each peak memory is
// its own; the two peaks side by side show whether memory grows with the
// length of a chat.
#include <json/json.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/android_whatsapp.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kWhatsAppDataType = 0;

std::atomic<long long> g_package_bytes{0};

int CountBytes(int /*kind*/, const char* /*text*/, int length) {
  g_package_bytes += length;
  return 0;
}

struct StoreShape {
  const char* label;
  int chats;
  long long messages_per_chat;
  kx::samples::WhatsAppMessageMix mix;
};

struct FolderSizes {
  std::vector<long long> file_sizes;
  long long bytes = 0;
};

std::set<std::string> FileNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The files of `folder` not named in `earlier`: what the package step wrote.
FolderSizes MeasureNewFiles(const std::string& folder, const std::set<std::string>& earlier) {
  FolderSizes sizes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) || earlier.count(entry.path().filename().string()) != 0) {
      continue;
    }
    const auto size = static_cast<long long>(entry.file_size(error));
    sizes.file_sizes.push_back(size);
    sizes.bytes += size;
  }
  return sizes;
}

// Seconds to write files of these sizes into a fresh folder with the
// library's own file writer: the part of the package step that belongs to
// the file system.
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

// `work` is a fresh folder; the caller removes it.
int RunBench(const StoreShape& shape, const std::string& work) {
  const std::string phone = kx::JoinPath(work, "phone");
  const std::string temp = kx::JoinPath(work, "temp");
  std::filesystem::create_directories(phone);
  std::filesystem::create_directories(temp);
  const std::string source = kx::JoinPath(phone, "msgstore.db");

  kx::samples::AndroidSampleOptions options;
  options.schema_version = kx::samples::kWhatsAppNewerLayout;
  kx::samples::WhatsAppStoreShape store_shape;
  store_shape.chats = shape.chats;
  store_shape.messages_per_chat = shape.messages_per_chat;
  store_shape.mix = shape.mix;
  double start = kx::bench::NowSeconds();
  if (!kx::samples::WriteWhatsAppMessageStore(source, options, store_shape)) {
    std::fprintf(stderr, "%s: cannot generate %s\n", shape.label, source.c_str());
    return 3;
  }
  const double generate_seconds = kx::bench::NowSeconds() - start;

  // The package step runs in a child of its own: its peak is not the
  // generator's.
  return kx::bench::RunInChild([&] {
    kx::InitializeLibrary(work.c_str(), KX_BENCH_CONFIG_DIR);
    Json::Value request;
    request["package_type"] = kWhatsAppDataType;
    request["temp_folder"] = temp;
    request["primary_file_object"]["msg_file_path"] = source;
    const std::string text = kx::WriteJson(request);
    const double stage_start = kx::bench::NowSeconds();
    if (kx::FilterDataType(text.c_str(), static_cast<int>(text.size())) != 0) return 4;
    const double stage_seconds = kx::bench::NowSeconds() - stage_start;
    const double before_mb = kx::bench::PeakResidentMb();
    const std::set<std::string> staged_files = FileNames(temp);
    kx::bench::FlushFileSystems();
    const double package_start = kx::bench::NowSeconds();
    if (kx::PackageDataType(CountBytes, kWhatsAppDataType) != 0) return 5;
    const double package_seconds = kx::bench::NowSeconds() - package_start;
    const double peak_mb = kx::bench::PeakResidentMb();

    const std::string staged = kx::JoinPath(temp, "msgstore.db");
    kx::bench::FlushFileSystems();
    const double sqlite_seconds = kx::bench::TimeShellCommand(
        "sqlite3 -json " + kx::bench::ShellQuote(staged) + " " +
        kx::bench::ShellQuote(kx::samples::WhatsAppNewerLayoutMessageQuery()) + " > /dev/null");
    const FolderSizes sizes = MeasureNewFiles(temp, staged_files);
    kx::bench::FlushFileSystems();
    const double files_seconds =
        TimeWritingFiles(kx::JoinPath(work, "files_alone"), sizes.file_sizes);
    std::printf(
        "%-6s %d chats x %lld messages | generate %.1f s | stage %.1f s | package %.2f s, "
        "document %lld bytes, %zu files of %lld MB written | peak RSS %.0f MB "
        "(%.0f MB before the package step) | sqlite3 -json %.2f s | ratio %.2f (target <= "
        "%.1f)\n"
        "       writing the same files alone %.2f s; the package step without them %.2f s, "
        "ratio %.2f\n",
        shape.label, shape.chats, shape.messages_per_chat, generate_seconds, stage_seconds,
        package_seconds, static_cast<long long>(g_package_bytes), sizes.file_sizes.size(),
        sizes.bytes / (1024 * 1024), peak_mb, before_mb, sqlite_seconds,
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
  const std::string mix_name = argc > 3 ? argv[3] : "typical";
  const std::map<std::string, kx::samples::WhatsAppMessageMix> mixes = {
      {"typical", kx::samples::WhatsAppMessageMix::kTypical},
      {"every-kind", kx::samples::WhatsAppMessageMix::kEveryKind},
      {"text", kx::samples::WhatsAppMessageMix::kText}};
  if (per_chat < 1 || mixes.count(mix_name) == 0 ||
      (which != "all" && which != "chats" && which != "one")) {
    std::fprintf(stderr,
                 "usage: %s [chats|one|all] [messages per chat] [typical|every-kind|text]\n",
                 argv[0]);
    return 2;
  }
  const kx::samples::WhatsAppMessageMix mix = mixes.at(mix_name);
  std::printf("message mix: %s\n", mix_name.c_str());
  std::vector<StoreShape> shapes;
  if (which != "one") shapes.push_back({"chats", 2000, per_chat, mix});
  if (which != "chats") shapes.push_back({"one", 1, per_chat * 1000, mix});
  // The work folders are removed only at the end: ext4 passes over inodes
  // freed in the last minutes when it allocates new ones, so a run started
  // right after removing the previous run's files would time that instead.
  std::vector<std::string> work_folders;
  int result = 0;
  for (const StoreShape& shape : shapes) {
    const std::string work = kx::bench::MakeTempFolder("kxbench_whatsapp_");
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
