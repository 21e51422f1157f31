// Packages a generated LINE database (500 chats, 1,000,000 messages) through
// KxDataPackageNew and compares the wall time with the sqlite3 shell printing
// the packager's message query as JSON from the same file.
//
// Usage: android_line_bench [messages] [chats]
// The database is generated here, the package runs in a child process so
// that its peak memory is its own. The analysis goes chat by chat, so the
// peak should follow the largest chat's detail file, not the database: both
// are printed next to it.
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/android_line.h"
#include "sdk/library.h"

namespace {

namespace fs = std::filesystem;

constexpr long long kDefaultMessages = 1000000;
constexpr int kDefaultChats = 500;

// The packager's message query, as it runs over the whole table.
constexpr char kMessageQuery[] =
    "SELECT id, server_id, chat_id, strftime('%Y-%m-%d %H:%M:%S', created_time / 1000, "
    "'unixepoch', 'localtime') AS send_time, created_time AS original_time, location_latitude AS "
    "latitude, location_longitude AS longitude, attachement_image_height AS image_height, "
    "attachement_image_width AS image_width, content, location_name, location_address, type, "
    "attachement_type, from_mid, parameter FROM chat_history";

int g_status_chats = -1;

int KeepChatCount(int /*kind*/, const char* text, int /*length*/) {
  Json::Value document;
  std::string error;
  if (kx::ParseJson(text, &document, &error)) g_status_chats = document["chat_count"].asInt();
  return 0;
}

struct DetailSizes {
  uintmax_t total = 0;
  uintmax_t largest = 0;
  int files = 0;
  int cards = 0;
};

DetailSizes MeasureOutput(const std::string& folder) {
  DetailSizes sizes;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".vcf") ++sizes.cards;
    if (name.rfind("DataAnalysis_Line_", 0) != 0) continue;
    const uintmax_t size = entry.file_size(error);
    sizes.total += size;
    if (size > sizes.largest) sizes.largest = size;
    ++sizes.files;
  }
  return sizes;
}

// The child: one staged run; prints its own figures.
int PackageOnce(const std::string& work, const std::string& source, const std::string& temp) {
  kx::InitializeLibrary(work.c_str(), KX_BENCH_CONFIG_DIR);
  Json::Value request;
  request["package_type"] = 30;
  request["temp_folder"] = temp;
  request["primary_file_object"]["line_file_path"] = source;
  const std::string text = kx::WriteJson(request);
  const double start = kx::bench::NowSeconds();
  const int status = kx::PackageStaged(text.c_str(), static_cast<int>(text.size()), KeepChatCount);
  const double seconds = kx::bench::NowSeconds() - start;
  const double peak_mb = kx::bench::PeakResidentMb();
  const DetailSizes sizes = MeasureOutput(temp);
  std::printf(
      "package   %.2f s, status %d, %d chats | peak RSS %.0f MB | %d detail files, %.0f MB in "
      "all, largest %.1f MB | %d contact cards\n",
      seconds, status, g_status_chats, peak_mb, sizes.files, sizes.total / 1048576.0,
      sizes.largest / 1048576.0, sizes.cards);
  // The time goes to the parent through a file: the exit code only says ok.
  if (FILE* out = std::fopen(kx::JoinPath(work, "package_seconds").c_str(), "w")) {
    std::fprintf(out, "%f\n", seconds);
    std::fclose(out);
  }
  return status == 0 ? 0 : 1;
}

double ReadSeconds(const std::string& path) {
  double seconds = -1.0;
  if (FILE* in = std::fopen(path.c_str(), "r")) {
    if (std::fscanf(in, "%lf", &seconds) != 1) seconds = -1.0;
    std::fclose(in);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const long long messages = argc > 1 ? std::atoll(argv[1]) : kDefaultMessages;
  const int chats = argc > 2 ? std::atoi(argv[2]) : kDefaultChats;
  if (messages < 1 || chats < 5) {
    std::fprintf(stderr, "usage: %s [messages] [chats >= 5]\n", argv[0]);
    return 2;
  }
  const std::string work = kx::bench::MakeTempFolder("kxlinebench_");
  if (work.empty()) return 2;
  const std::string phone = kx::JoinPath(work, "phone");
  const std::string temp = kx::JoinPath(work, "temp");
  fs::create_directories(phone);
  fs::create_directories(temp);
  const std::string source = kx::JoinPath(phone, kx::samples::kAndroidLineDatabaseName);

  kx::samples::AndroidSampleOptions options;
  kx::samples::LineSampleShape shape;
  shape.chat_count = chats;
  shape.message_count = messages;
  double start = kx::bench::NowSeconds();
  if (!kx::samples::WriteAndroidLineDatabase(source, options, shape)) {
    std::fprintf(stderr, "cannot generate %s\n", source.c_str());
    return 3;
  }
  std::error_code error;
  std::printf("generate  %.2f s: %d chats, %lld messages, %.0f MB database\n",
              kx::bench::NowSeconds() - start, chats, messages,
              fs::file_size(source, error) / 1048576.0);
  if (FILE* largest = popen(("sqlite3 " + kx::bench::ShellQuote(source) +
                             " 'SELECT max(n) FROM (SELECT count(*) AS n FROM chat_history "
                             "GROUP BY chat_id)'")
                                .c_str(),
                            "r")) {
    long long largest_chat = 0;
    if (std::fscanf(largest, "%lld", &largest_chat) == 1) {
      std::printf("largest chat %lld messages\n", largest_chat);
    }
    pclose(largest);
  }
  std::fflush(stdout);

  const int packaged = kx::bench::RunInChild([&] { return PackageOnce(work, source, temp); });
  const double package_seconds = ReadSeconds(kx::JoinPath(work, "package_seconds"));

  const double sqlite_seconds =
      kx::bench::TimeShellCommand("sqlite3 -json " + kx::bench::ShellQuote(source) + " " +
                                  kx::bench::ShellQuote(kMessageQuery) + " > /dev/null");
  std::printf("sqlite3 -json of the message query %.2f s | ratio %.2f\n", sqlite_seconds,
              sqlite_seconds > 0 && package_seconds > 0 ? package_seconds / sqlite_seconds : -1.0);
  fs::remove_all(work, error);
  return packaged == 0 ? 0 : 1;
}
