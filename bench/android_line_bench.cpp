// Packages a generated LINE database (500 chats, 1,000,000 messages) through
// KxDataPackageNew and compares the wall time with the sqlite3 shell printing
// the packager's message query as JSON from the same file.
//
// Usage: android_line_bench [messages] [chats]
// Without arguments and with KX_BENCH_SCALE=small (as `make bench` runs it)
// a tenth of the messages.
// The database is generated here, the package runs in a child process so
// that its peak memory is its own. The messages are read in one pass and
// the chats' detail texts held in memory are bounded, so the peak should
// follow neither the database nor the largest chat: both are printed next
// to it.
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

// Bytes a store takes per message on the disk: the database, its staged
// copy and the detail files.
constexpr double kBytesPerMessage = 1200;

std::string Request(const std::string& source, const std::string& temp) {
  Json::Value request;
  request["package_type"] = 30;
  request["temp_folder"] = temp;
  request["primary_file_object"]["line_file_path"] = source;
  return kx::WriteJson(request);
}

long long LargestChat(const std::string& source) {
  long long largest_chat = 0;
  if (FILE* largest = popen(("sqlite3 " + kx::bench::ShellQuote(source) +
                             " 'SELECT max(n) FROM (SELECT count(*) AS n FROM chat_history "
                             "GROUP BY chat_id)'")
                                .c_str(),
                            "r")) {
    if (std::fscanf(largest, "%lld", &largest_chat) != 1) largest_chat = 0;
    pclose(largest);
  }
  return largest_chat;
}

}  // namespace

int main(int argc, char** argv) {
  const long long messages = argc > 1 ? std::atoll(argv[1]) : kx::bench::Scaled(kDefaultMessages);
  const int chats = argc > 2 ? std::atoi(argv[2]) : kDefaultChats;
  if (messages < 1 || chats < 5) {
    std::fprintf(stderr, "usage: %s [messages] [chats >= 5]\n", argv[0]);
    return 2;
  }
  if (!kx::bench::CheckCanRun(argv[0], messages * kBytesPerMessage)) return 1;
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
  const double start = kx::bench::NowSeconds();
  if (!kx::samples::WriteAndroidLineDatabase(source, options, shape)) {
    std::fprintf(stderr, "cannot generate %s\n", source.c_str());
    return 3;
  }
  std::error_code error;
  std::printf("generate  %.2f s: %d chats, %lld messages (the largest chat %lld), %.0f MB\n",
              kx::bench::NowSeconds() - start, chats, messages, LargestChat(source),
              fs::file_size(source, error) / 1048576.0);

  kx::bench::PackageBench bench;
  bench.data_type = "Android LINE";
  bench.scale = std::to_string(chats) + " chats";
  bench.records = messages;
  bench.work = work;
  bench.request = Request(source, temp);
  bench.package_type = 30;
  bench.staged = true;
  bench.sqlite_stores = {kx::JoinPath(temp, kx::samples::kAndroidLineDatabaseName), source};
  bench.sqlite_query = kMessageQuery;
  bench.output_folder = temp;
  bench.document_prefixes = {"DataAnalysis_Line_"};
  const int packaged = kx::bench::MeasurePackage(bench, [&](const kx::bench::PackageFigures& f) {
    std::printf(
        "package   %.2f s | peak RSS %.0f MB | %d detail files, %.0f MB in all | sqlite3 -json of "
        "the message query %.2f s | ratio %.2f\n",
        f.package_seconds, f.peak_mb, f.document_files, f.document_bytes / 1048576.0,
        f.sqlite_seconds, f.package_seconds / f.sqlite_seconds);
    kx::bench::PrintProcessorTime(f);
  });
  fs::remove_all(work, error);
  return packaged == 0 ? 0 : 1;
}
