// Packages two generated iOS message stores (sms.db of the newest version)
// through the library's entry points: 1,000,000 messages in 2,000 chats,
// and 100,000 messages in 200 chats (chats of the same length). One message
// in ten has an attachment, one in five keeps its words only in
// attributedBody. Prints, for each, the wall time of the package step, its
// peak memory, and the ratio to the sqlite3 shell printing the message query
// over all chats as JSON from the same file (the best of three runs each).
//
// The session files hold ten chats each: when the package step holds one
// file's sessions at a time, both stores peak alike; when it holds every
// session, the larger peaks about ten times higher.
//
// Usage: ios_messages_bench [large|small|all]
// KX_BENCH_SCALE=small (as `make bench` runs it) makes both a tenth.
// Each store is generated in one child process and packaged in another, so
// each peak memory is the package step's own. With KX_BENCH_STORE set to a
// folder, the stores are kept there (one sub-folder per size) and reused by
// the next run, which is what profiling the package step wants.
#include <json/json.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/ios_messages.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kMessagesDataType = 12;
constexpr int kRuns = 3;
constexpr double kMb = 1024.0 * 1024.0;

struct StoreSize {
  const char* label;
  int chats;
  long long messages;
};

// Bytes a store takes per message on the disk: the store, its staged copy
// and the session files.
constexpr double kBytesPerMessage = 1500;

// The packager's message query, over every chat instead of one.
std::string MessageQuery(bool has_is_deleted) {
  return std::string(
             "SELECT M.ROWID, M.handle_id, M.date, M.service, M.text, "
             "strftime(\"%m-%d-%Y %H:%M:%S\",substr(M.date,1,9) + "
             "0978307200,'unixepoch','localtime') AS send_date, M.is_from_me, M.error AS "
             "send_status, M.guid, M.destination_caller_id AS belong_number, ") +
         (has_is_deleted ? "M.is_deleted, " : "") +
         "M.subject, M.attributedBody, M.has_dd_results as has_dd_results, M.date_read FROM "
         "chat_message_join AS CM LEFT JOIN message AS M ON CM.message_id = M.ROWID WHERE "
         "M.item_type=0";
}

bool HasColumn(const std::string& path, const char* table, const char* column) {
  sqlite3* db = nullptr;
  bool found = false;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    found = sqlite3_table_column_metadata(db, nullptr, table, column, nullptr, nullptr, nullptr,
                                          nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_close(db);
  return found;
}

std::string FilterRequest(const std::string& work, const std::string& source) {
  Json::Value request;
  request["package_type"] = kMessagesDataType;
  request["temp_folder"] = kx::JoinPath(work, "temp");
  request["primary_file_object"]["sms_file_path"] = source;
  request["second_file_objects"]["sms_files_path"] = Json::Value(Json::arrayValue);
  request["addtional_param"] = work;
  return kx::WriteJson(request);
}

// Filters and packages the generated store in a child process.
int MeasurePackage(const StoreSize& size, const std::string& work, double generate_seconds) {
  const std::string source = kx::JoinPath(work, "sms.db");
  const std::string temp = kx::JoinPath(work, "temp");
  const std::string staged = kx::JoinPath(temp, "sms.db");
  kx::bench::PackageBench bench;
  bench.data_type = "iOS messages";
  bench.scale = size.label;
  bench.records = size.messages;
  bench.work = work;
  bench.request = FilterRequest(work, source);
  bench.package_type = kMessagesDataType;
  bench.runs = kRuns;
  bench.sqlite_stores = {staged, source};
  // The same query the packager runs per chat, over all chats.
  bench.sqlite_query = MessageQuery(HasColumn(source, "message", "is_deleted"));
  bench.output_folder = temp;
  bench.document_prefixes = {"KxDataPackage_SMS_"};
  return kx::bench::MeasurePackage(bench, [&](const kx::bench::PackageFigures& figures) {
    std::printf(
        "%-5s %7lld messages in %4d chats | generate %.2f s | package %.2f s | sqlite3 -json "
        "%.2f s | ratio %.2f (target <= %.1f) | %d session files, %.1f MB (result %lld bytes) | "
        "peak RSS %.0f MB (%.0f MB before the package step)\n",
        size.label, size.messages, size.chats, generate_seconds, figures.package_seconds,
        figures.sqlite_seconds, figures.package_seconds / figures.sqlite_seconds, kTargetRatio,
        figures.document_files, static_cast<double>(figures.document_bytes) / kMb,
        figures.result_bytes, figures.peak_mb, figures.before_mb);
    kx::bench::PrintProcessorTime(figures);
  });
}

// The folder a store of this size is generated into: a kept one under
// KX_BENCH_STORE, else a fresh temporary one.
std::string WorkFolder(const StoreSize& size, bool* keep) {
  const char* kept = std::getenv("KX_BENCH_STORE");
  *keep = kept != nullptr && *kept != '\0';
  if (!*keep) return kx::bench::MakeTempFolder("kxbench_sms_");
  const std::string work = kx::JoinPath(kept, size.label);
  std::error_code ignored;
  std::filesystem::create_directories(work, ignored);
  return work;
}

int RunBench(const StoreSize& size) {
  if (!kx::bench::CheckCanRun("ios_messages_bench", size.messages * kBytesPerMessage)) return 1;
  bool keep = false;
  const std::string work = WorkFolder(size, &keep);
  if (work.empty()) return 2;
  std::error_code ignored;
  std::filesystem::remove_all(kx::JoinPath(work, "temp"), ignored);
  std::filesystem::create_directories(kx::JoinPath(work, "temp"));
  const std::string source = kx::JoinPath(work, "sms.db");
  const double start = kx::bench::NowSeconds();
  int generated = 0;
  if (!keep || !std::filesystem::exists(source)) {
    generated = kx::bench::RunInChild([&size, &source] {
      kx::samples::IosSampleOptions options;
      kx::samples::IosMessagesShape shape;
      shape.chats = size.chats;
      shape.messages = size.messages;
      shape.attachment_per_mille = 100;
      shape.body_only_per_mille = 200;
      return kx::samples::WriteIosMessages(source, options, shape) ? 0 : 3;
    });
  }
  const double generate_seconds = kx::bench::NowSeconds() - start;
  int result = generated;
  if (generated != 0) {
    std::fprintf(stderr, "%s: cannot generate %s\n", size.label, source.c_str());
  } else {
    result = MeasurePackage(size, work, generate_seconds);
  }
  std::filesystem::remove_all(keep ? kx::JoinPath(work, "temp") : work, ignored);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const StoreSize large = {"large", static_cast<int>(kx::bench::Scaled(2000)),
                           kx::bench::Scaled(1000000)};
  const StoreSize small = {"small", static_cast<int>(kx::bench::Scaled(200)),
                           kx::bench::Scaled(100000)};
  if (!kx::bench::CheckCanRun(argv[0], 0)) return 1;
  return kx::bench::RunChosenSizes<StoreSize>(argc, argv, {&small, &large}, RunBench);
}
