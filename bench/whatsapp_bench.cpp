// Packages two generated WhatsApp message stores of the newer layout through
// the library's entry points: 2,000 chats of 1,000 messages each, and one
// chat of 1,000,000 messages. Prints, for each, the wall time of the package
// step, its peak memory, and the ratio to the sqlite3 shell printing the
// packager's message query over all chats as JSON from the same file.
//
// Usage: whatsapp_bench [chats|one|all] [messages per chat] [mixed percent]
// The mixed percent is the share of messages that keep the sample's mix of
// kinds (pictures with thumbnails, contact cards, replies...); the rest are
// text. Every thumbnail and card is a file of its own in the temp folder.
// Each store is packaged in its own child process, so each peak memory is
// its own; the two peaks side by side show whether memory grows with the
// length of a chat.
#include <json/json.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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
  int mixed_percent;
};

long long FolderBytes(const std::string& folder, long long* files) {
  long long bytes = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    bytes += static_cast<long long>(entry.file_size(error));
    ++*files;
  }
  return bytes;
}

int RunBench(const StoreShape& shape) {
  const std::string work = kx::bench::MakeTempFolder("kxbench_whatsapp_");
  if (work.empty()) return 2;
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
  store_shape.mixed_percent = shape.mixed_percent;
  double start = kx::bench::NowSeconds();
  if (!kx::samples::WriteWhatsAppMessageStore(source, options, store_shape)) {
    std::fprintf(stderr, "%s: cannot generate %s\n", shape.label, source.c_str());
    return 3;
  }
  const double generate_seconds = kx::bench::NowSeconds() - start;

  // The package step runs in a child of its own: its peak is not the
  // generator's.
  const int packaged = kx::bench::RunInChild([&] {
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
    const double package_start = kx::bench::NowSeconds();
    if (kx::PackageDataType(CountBytes, kWhatsAppDataType) != 0) return 5;
    const double package_seconds = kx::bench::NowSeconds() - package_start;
    const double peak_mb = kx::bench::PeakResidentMb();

    const std::string staged = kx::JoinPath(temp, "msgstore.db");
    const double sqlite_seconds = kx::bench::TimeShellCommand(
        "sqlite3 -json " + kx::bench::ShellQuote(staged) + " " +
        kx::bench::ShellQuote(kx::samples::WhatsAppNewerLayoutMessageQuery()) + " > /dev/null");
    long long files = 0;
    const long long bytes = FolderBytes(temp, &files);
    std::printf(
        "%-6s %d chats x %lld messages | generate %.1f s | stage %.1f s | package %.2f s, "
        "document %lld bytes, %lld files of %lld MB in the temp folder | peak RSS %.0f MB "
        "(%.0f MB before the package step) | sqlite3 -json %.2f s | ratio %.2f (target <= "
        "%.1f)\n",
        shape.label, shape.chats, shape.messages_per_chat, generate_seconds, stage_seconds,
        package_seconds, static_cast<long long>(g_package_bytes), files, bytes / (1024 * 1024),
        peak_mb, before_mb, sqlite_seconds,
        sqlite_seconds > 0 ? package_seconds / sqlite_seconds : -1.0, kTargetRatio);
    return 0;
  });
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return packaged;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "all";
  const long long per_chat = argc > 2 ? std::atoll(argv[2]) : 1000;
  const int mixed_percent = argc > 3 ? std::atoi(argv[3]) : 100;
  if (per_chat < 1 || mixed_percent < 0 || mixed_percent > 100 ||
      (which != "all" && which != "chats" && which != "one")) {
    std::fprintf(stderr, "usage: %s [chats|one|all] [messages per chat] [mixed percent]\n",
                 argv[0]);
    return 2;
  }
  std::printf(
      "message mix: %d%% of the sample mix (media, cards, replies, notices), the rest "
      "text\n",
      mixed_percent);
  const StoreShape many_chats = {"chats", 2000, per_chat, mixed_percent};
  const StoreShape one_chat = {"one", 1, per_chat * 1000, mixed_percent};
  int result = 0;
  if (which != "one") result |= RunBench(many_chats);
  if (which != "chats") result |= RunBench(one_chat);
  return result == 0 ? 0 : 1;
}
