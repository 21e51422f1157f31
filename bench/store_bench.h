// The measure of one packager over generated stores, shared by the
// benchmarks of the data types that package one store (or one store and its
// side databases) through FilterDataType and PackageDataType: each size is
// generated in one child process and packaged in another, so the peak memory
// is the package step's own. For each size it prints a human line and a
// BenchRow: the best package time of the runs, the best time of the sqlite3
// shell printing the packager's main query as JSON from the same file, the
// peak resident set, and the bytes of the documents (the result handed to
// the callback and the JSON files written into the temp folder).
//
// Header only: every *_bench.cpp is its own program.
#ifndef KX_BENCH_STORE_BENCH_H_
#define KX_BENCH_STORE_BENCH_H_

#include <json/json.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "sdk/library.h"

namespace kx::bench {

// One scale of a benchmark: its label on the command line and in the
// table, and the number of records its stores hold.
struct StoreSize {
  const char* label;
  long long records;
  int runs;  // package runs; the best counts
};

struct StoreBench {
  const char* data_type_name;  // the BenchRow's data type
  int data_type;               // the package_type of the request
  const char* record_word;     // "people", "calls", ... for the human line
  // Writes the stores of `records` records into `work`; false on failure.
  std::function<bool(const std::string& work, long long records)> generate;
  // The request naming the stores of `work`; temp_folder is set by the
  // measure.
  std::function<Json::Value(const std::string& work)> request;
  // The file (a name in `work`) that the main query reads: its staged copy in
  // the temp folder is read when the filter made one.
  std::string query_file;
  std::string query;
};

inline std::atomic<long long>& ResultBytes() {
  static std::atomic<long long> bytes{0};
  return bytes;
}

// The result texts of the last run, kept under KX_BENCH_DOCUMENTS for a
// comparison of documents between two builds.
inline std::string& KeptResults() {
  static std::string results;
  return results;
}
inline bool& KeepingResults() {
  static bool keeping = false;
  return keeping;
}
// Documents are kept for the smallest size only: the larger stores' run to
// gigabytes over the three zones and two builds of a comparison.
inline std::string& KeptSizeLabel() {
  static std::string label;
  return label;
}
inline bool KeepsDocuments(const StoreSize& size) {
  const char* root = std::getenv("KX_BENCH_DOCUMENTS");
  return root != nullptr && *root != '\0' && KeptSizeLabel() == size.label;
}

// The fewest records a store is scaled down to: the chat stores hold a
// thousand messages per chat.
constexpr long long kFewestStoreRecords = 2000;

inline int CountResultBytes(int /*kind*/, const char* text, int length) {
  ResultBytes() += length;
  if (KeepingResults() && text != nullptr && length > 0) {
    KeptResults().append(text, static_cast<size_t>(length)).push_back('\n');
  }
  return 0;
}

// The last run's result texts and the JSON files under `temp`, the work
// folder's path replaced by WORK, into KX_BENCH_DOCUMENTS/<type>-<size>.
inline void KeepStoreDocuments(const StoreBench& bench, const StoreSize& size,
                               const std::string& work, const std::string& temp) {
  if (!KeepsDocuments(size)) return;
  const char* root = std::getenv("KX_BENCH_DOCUMENTS");
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(root) / (std::string(bench.data_type_name) + "-" + size.label);
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  std::ofstream(folder / "results.json", std::ios::binary)
      << ReplaceAll(KeptResults(), work, "WORK");
  for (auto it = fs::recursive_directory_iterator(temp, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (error) break;
    if (!it->is_regular_file(error) || it->path().extension() != ".json") continue;
    std::string name = fs::relative(it->path(), temp, error).string();
    for (char& c : name) c = c == '/' ? '_' : c;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::ofstream(folder / name, std::ios::binary) << ReplaceAll(text.str(), work, "WORK");
  }
}

// The JSON files written under `folder`, in megabytes.
inline double JsonFilesMb(const std::string& folder) {
  long long bytes = 0;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (error) break;
    if (it->is_regular_file(error) && it->path().extension() == ".json") {
      bytes += static_cast<long long>(it->file_size(error));
    }
  }
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Runs `sql` (several statements) on the database at `path`, created when
// absent; false with SQLite's message on stderr when a statement fails.
inline bool ExecSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  char* error = nullptr;
  const int status = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  if (status != SQLITE_OK) std::fprintf(stderr, "generate: %s\n", error ? error : "?");
  sqlite3_free(error);
  sqlite3_close(db);
  return status == SQLITE_OK;
}

// "WITH RECURSIVE k(i) AS (... i from 1 to count)": the row numbers a
// generator's INSERT ... SELECT draws from.
inline std::string Numbers(long long count) {
  return "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
         std::to_string(count) + ") ";
}

// An empty Manifest.db of a backup, for packagers that look their side files
// up in it.
inline bool WriteEmptyManifest(const std::string& path) {
  return ExecSql(path,
                 "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
                 "flags INTEGER, file BLOB);CREATE TABLE Properties (key TEXT PRIMARY KEY, value "
                 "BLOB);");
}

inline int MeasureStorePackage(const StoreBench& bench, const StoreSize& size,
                               const std::string& work, double generate_seconds) {
  const std::string temp = JoinPath(work, "temp");
  InitializeLibrary(work.c_str(), KX_BENCH_CONFIG_DIR);
  Json::Value request_json = bench.request(work);
  request_json["package_type"] = bench.data_type;
  request_json["temp_folder"] = temp;
  const std::string request = WriteJson(request_json);
  const double before_mb = PeakResidentMb();
  double package_seconds = -1.0;
  double filter_seconds = -1.0;
  CpuSeconds package_cpu;  // of the run with the best wall time
  long long result_bytes = 0;
  for (int run = 0; run < size.runs; ++run) {
    const double filter_start = NowSeconds();
    const int filtered = FilterDataType(request.c_str(), static_cast<int>(request.size()));
    const double filtered_seconds = NowSeconds() - filter_start;
    if (filtered != 0) {
      std::fprintf(stderr, "%s %s: the filter answered %d\n", bench.data_type_name, size.label,
                   filtered);
      return 4;
    }
    FlushFileSystems();
    ResultBytes() = 0;
    KeptResults().clear();
    KeepingResults() = run + 1 == size.runs && KeepsDocuments(size);
    const CpuSeconds cpu_before = CpuUsed(RUSAGE_SELF);
    const double start = NowSeconds();
    const int packaged = PackageDataType(CountResultBytes, bench.data_type);
    const double end = NowSeconds();
    const double seconds = end - start;
    const CpuSeconds cpu_after = CpuUsed(RUSAGE_SELF);
    PrintPackageStepWindow(start, end);
    if (packaged != 0) {
      std::fprintf(stderr, "%s %s: package answered %d\n", bench.data_type_name, size.label,
                   packaged);
      return 4;
    }
    if (package_seconds < 0 || seconds < package_seconds) {
      package_seconds = seconds;
      package_cpu = {cpu_after.user - cpu_before.user, cpu_after.system - cpu_before.system};
    }
    if (filter_seconds < 0 || filtered_seconds < filter_seconds) filter_seconds = filtered_seconds;
    result_bytes = ResultBytes();
  }
  const double peak_mb = PeakResidentMb();
  KeepStoreDocuments(bench, size, work, temp);
  std::string queried = JoinPath(temp, bench.query_file);
  if (!std::filesystem::exists(queried)) queried = JoinPath(work, bench.query_file);
  const int sqlite_runs = size.runs < 3 ? 2 : 3;
  const CpuSeconds sqlite_before = CpuUsed(RUSAGE_CHILDREN);
  const double sqlite_seconds = BestSqliteJsonSeconds(queried, bench.query, sqlite_runs);
  const CpuSeconds sqlite_after = CpuUsed(RUSAGE_CHILDREN);
  // Steadier than wall time on a loaded machine: the mean over the runs.
  const CpuSeconds sqlite_cpu = {(sqlite_after.user - sqlite_before.user) / sqlite_runs,
                                 (sqlite_after.system - sqlite_before.system) / sqlite_runs};
  const double package_cpu_seconds = package_cpu.user + package_cpu.system;
  const double sqlite_cpu_seconds = sqlite_cpu.user + sqlite_cpu.system;
  const double document_mb =
      JsonFilesMb(temp) + static_cast<double>(result_bytes) / (1024.0 * 1024.0);
  std::printf(
      "%s %-5s %9lld %s | generate %.2f s | filter %.2f s | package %.2f s | sqlite3 -json %.2f "
      "s | ratio %.2f | documents %.1f MB | peak RSS %.0f MB (%.0f MB before the package step)\n",
      bench.data_type_name, size.label, size.records, bench.record_word, generate_seconds,
      filter_seconds, package_seconds, sqlite_seconds,
      sqlite_seconds > 0 ? package_seconds / sqlite_seconds : -1.0, document_mb, peak_mb,
      before_mb);
  std::printf(
      "%s %-5s processor time: package user %.2f s + kernel %.2f s, sqlite3 -json user %.2f s + "
      "kernel %.2f s, ratio %.2f\n",
      bench.data_type_name, size.label, package_cpu.user, package_cpu.system, sqlite_cpu.user,
      sqlite_cpu.system, sqlite_cpu_seconds > 0 ? package_cpu_seconds / sqlite_cpu_seconds : -1.0);
  BenchRow row;
  row.data_type = bench.data_type_name;
  row.scale = size.label;
  row.records = size.records;
  row.package_seconds = package_seconds;
  row.sqlite_seconds = sqlite_seconds;
  row.peak_mb = peak_mb;
  row.document_mb = document_mb;
  row.package_cpu = package_cpu;
  row.sqlite_cpu = sqlite_cpu;
  PrintBenchRow(row);
  return sqlite_seconds > 0 ? 0 : 5;
}

// The records of `full_size` at the scale KX_BENCH_SCALE asks for.
inline long long ScaledStoreRecords(const StoreSize& full_size) {
  return Scaled(full_size.records, std::min(full_size.records, kFewestStoreRecords));
}

// Runs `full_size` at the scale KX_BENCH_SCALE asks for.
inline int RunStoreBench(const StoreBench& bench, const StoreSize& full_size) {
  StoreSize size = full_size;
  size.records = ScaledStoreRecords(full_size);
  const std::string work = MakeTempFolder("kxbench_store_");
  if (work.empty()) return 2;
  std::filesystem::create_directories(JoinPath(work, "temp"));
  const double start = NowSeconds();
  int result =
      RunInChild([&bench, &size, &work] { return bench.generate(work, size.records) ? 0 : 3; });
  const double generate_seconds = NowSeconds() - start;
  if (result == 0) {
    result = RunInChild([&bench, &size, &work, generate_seconds] {
      return MeasureStorePackage(bench, size, work, generate_seconds);
    });
  } else {
    std::fprintf(stderr, "%s %s: cannot generate the stores\n", bench.data_type_name, size.label);
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return result;
}

// main() of a store benchmark: the sizes the command line chose.
inline int RunStoreBenchMain(int argc, char** argv, const StoreBench& bench,
                             std::initializer_list<const StoreSize*> sizes) {
  const StoreSize* smallest = nullptr;
  for (const StoreSize* size : sizes) {
    if (smallest == nullptr || size->records < smallest->records) smallest = size;
  }
  if (smallest != nullptr) KeptSizeLabel() = smallest->label;
  return RunChosenSizes<StoreSize>(
      argc, argv, sizes, [&bench](const StoreSize& size) { return RunStoreBench(bench, size); });
}

}  // namespace kx::bench

#endif  // KX_BENCH_STORE_BENCH_H_
