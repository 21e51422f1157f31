#include "bench/bench_util.h"

#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "common/platform.h"
#include "sdk/library.h"

namespace kx::bench {

double NowSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void PrintPackageStepWindow(double start, double end) {
  std::printf("PACKAGESTEP\t%ld\t%.6f\t%.6f\n", static_cast<long>(getpid()), start, end);
  std::fflush(stdout);
}

double PeakResidentMb() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return -1.0;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports kilobytes
}

CpuSeconds CpuUsed(int who) {
  struct rusage usage {};
  if (getrusage(who, &usage) != 0) return {};
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

double TimeShellCommand(const std::string& command) {
  const double start = NowSeconds();
  const int status = std::system(command.c_str());
  const double elapsed = NowSeconds() - start;
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
  return elapsed;
}

int RunInChild(const std::function<int()>& work) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int result = work();
    std::fflush(nullptr);
    _exit(result);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void FlushFileSystems() { sync(); }

std::string MakeTempFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  return mkdtemp(buffer.data()) == nullptr ? std::string() : std::string(buffer.data());
}

void RemoveFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

double BestSqliteJsonSeconds(const std::string& path, const std::string& query, int runs) {
  double best = -1.0;
  for (int run = 0; run < runs; ++run) {
    const double seconds = TimeShellCommand("sqlite3 -json " + ShellQuote(path) + " " +
                                            ShellQuote(query) + " > /dev/null");
    if (seconds >= 0 && (best < 0 || seconds < best)) best = seconds;
  }
  return best;
}

int CountFiles(const std::string& folder, const std::string& prefix, long long* bytes) {
  int count = 0;
  *bytes = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().filename().string().rfind(prefix, 0) != 0) continue;
    *bytes += static_cast<long long>(entry.file_size(error));
    ++count;
  }
  return count;
}

namespace {

std::string SizeWord(int argc, char** argv) { return argc > 1 ? argv[1] : "all"; }

}  // namespace

bool ValidSizeWord(int argc, char** argv) {
  const std::string word = SizeWord(argc, argv);
  if (word == "all" || word == "small" || word == "large") return true;
  std::fprintf(stderr, "usage: %s [large|small|all]\n", argc > 0 ? argv[0] : "bench");
  return false;
}

bool SizeChosen(int argc, char** argv, const char* label) {
  const std::string word = SizeWord(argc, argv);
  return word == "all" || word == label;
}

void PrintBenchRow(const BenchRow& row) {
  std::printf(
      "BENCHROW\t%s\t%s\t%lld\t%.3f\t%.3f\t%.3f\t%.1f\t%.1f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\n",
      row.data_type.c_str(), row.scale.c_str(), row.records, row.package_seconds,
      row.sqlite_seconds, row.side_seconds, row.peak_mb, row.document_mb, row.package_cpu.user,
      row.package_cpu.system, row.sqlite_cpu.user, row.sqlite_cpu.system, row.side_cpu.user,
      row.side_cpu.system);
  std::fflush(stdout);
}

namespace {

namespace fs = std::filesystem;

constexpr double kMb = 1024.0 * 1024.0;

// What the result callback received in the measuring child; the texts are
// kept only when they are to be copied out.
std::mutex g_results_mutex;
long long g_result_bytes = 0;
bool g_keep_results = false;
std::string g_results;

int CountResult(int /*kind*/, const char* text, int length) {
  std::lock_guard<std::mutex> lock(g_results_mutex);
  g_result_bytes += length;
  if (g_keep_results && text != nullptr && length > 0) {
    g_results.append(text, static_cast<size_t>(length));
    g_results.push_back('\n');
  }
  return 0;
}

bool StartsWithAny(const std::string& name, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

std::set<std::string> FileNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Removes what a package step added to `folder`: every name not in `kept`.
// A few hundred names at a time: the list of tens of thousands of files
// would otherwise raise the peak that the next package step is measured
// by.
void RemoveOutputs(const std::string& folder, const std::set<std::string>& kept) {
  constexpr size_t kNamesAtOnce = 256;
  std::error_code error;
  std::vector<fs::path> added;
  do {
    added.clear();
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      if (kept.count(entry.path().filename().string()) == 0) added.push_back(entry.path());
      if (added.size() == kNamesAtOnce) break;
    }
    for (const fs::path& path : added) {
      if (fs::remove_all(path, error) == static_cast<std::uintmax_t>(-1)) return;
    }
  } while (added.size() == kNamesAtOnce);
}

// One timed package step; 0 when the library answered 0. `staged_names`,
// when given, receives the names in the output folder before the package
// step: the filter step's copies, which are no output of it.
int PackageOnce(const PackageBench& bench, double* seconds, CpuSeconds* cpu,
                std::set<std::string>* staged_names) {
  const int length = static_cast<int>(bench.request.size());
  if (!bench.staged && FilterDataType(bench.request.c_str(), length) != 0) {
    std::fprintf(stderr, "%s %s: the filter step failed\n", bench.data_type.c_str(),
                 bench.scale.c_str());
    return 4;
  }
  if (staged_names != nullptr) *staged_names = FileNames(bench.output_folder);
  FlushFileSystems();
  {
    std::lock_guard<std::mutex> lock(g_results_mutex);
    g_result_bytes = 0;
    g_results.clear();
  }
  const CpuSeconds cpu_before = CpuUsed(RUSAGE_SELF);
  const double start = NowSeconds();
  const int status = bench.staged ? PackageStaged(bench.request.c_str(), length, CountResult)
                                  : PackageDataType(CountResult, bench.package_type);
  const double end = NowSeconds();
  *seconds = end - start;
  const CpuSeconds cpu_after = CpuUsed(RUSAGE_SELF);
  PrintPackageStepWindow(start, end);
  *cpu = {cpu_after.user - cpu_before.user, cpu_after.system - cpu_before.system};
  if (status != 0) {
    std::fprintf(stderr, "%s %s: the package step answered %d\n", bench.data_type.c_str(),
                 bench.scale.c_str(), status);
    return 5;
  }
  return 0;
}

// Seconds to write files of `sizes` named `prefix` and a number into
// `folder` with the library's own writer: what the side files cost the file
// system; `cpu` gets the processor time they took.
double TimeWritingFiles(const std::string& folder, const std::string& prefix,
                        const std::vector<long long>& sizes, CpuSeconds* cpu) {
  std::error_code error;
  fs::create_directories(folder, error);
  std::string bytes;
  FlushFileSystems();
  const CpuSeconds cpu_before = CpuUsed(RUSAGE_SELF);
  const double start = NowSeconds();
  for (size_t i = 0; i < sizes.size(); ++i) {
    bytes.assign(static_cast<size_t>(sizes[i]), static_cast<char>('a' + i % 26));
    if (!WriteNewFile(JoinPath(folder, prefix + std::to_string(i) + ".bin"), bytes).ok()) {
      return -1;
    }
  }
  const double seconds = NowSeconds() - start;
  const CpuSeconds cpu_after = CpuUsed(RUSAGE_SELF);
  *cpu = {cpu_after.user - cpu_before.user, cpu_after.system - cpu_before.system};
  return seconds;
}

// Copies the last run's documents under KX_BENCH_DOCUMENTS, when it is set.
void KeepDocuments(const PackageBench& bench) {
  const char* root = std::getenv("KX_BENCH_DOCUMENTS");
  if (root == nullptr || *root == '\0') return;
  const fs::path folder = fs::path(root) / (bench.data_type + "-" + bench.scale);
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  const auto keep = [&](const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << ReplaceAll(text, bench.work, "WORK");
  };
  keep("results.json", g_results);
  for (const auto& entry : fs::directory_iterator(bench.output_folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!StartsWithAny(name, bench.document_prefixes)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    keep(name, text.str());
  }
}

// The first of `bench`'s stores for sqlite3 -json that exists; "" for none.
std::string SqliteStore(const PackageBench& bench) {
  for (const std::string& candidate : bench.sqlite_stores) {
    std::error_code error;
    if (fs::exists(candidate, error)) return candidate;
  }
  return "";
}

// Counts the document and the side files a package step left in the output
// folder; `side_sizes` gets the sizes to write alone (see
// time_document_files).
void CountOutputs(const PackageBench& bench, const std::set<std::string>& before_package,
                  PackageFigures* figures, std::vector<long long>* side_sizes) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(bench.output_folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(error)) continue;
    const auto size = static_cast<long long>(entry.file_size(error));
    if (StartsWithAny(name, bench.document_prefixes)) {
      figures->document_bytes += size;
      ++figures->document_files;
      if (bench.time_side_files && bench.time_document_files) {
        side_sizes->push_back(0);
        ++figures->timed_document_files;
      }
    } else if (bench.time_side_files && before_package.count(name) == 0) {
      side_sizes->push_back(size);
      figures->side_bytes += size;
    }
  }
  figures->document_bytes += figures->result_bytes;
  figures->side_files = static_cast<int>(side_sizes->size()) - figures->timed_document_files;
}

int MeasureInChild(const PackageBench& bench,
                   const std::function<void(const PackageFigures&)>& report) {
  InitializeLibrary(bench.work.c_str(), KX_BENCH_CONFIG_DIR);
  PackageFigures figures;
  figures.before_mb = PeakResidentMb();
  std::set<std::string> before_package;
  std::vector<long long> side_sizes;
  std::string store;
  CpuSeconds sqlite_cpu;
  bool side_timed = false;
  // Each run times the package step, then sqlite3 -json, then the side
  // files alone, and the best of each side is kept. The load of a shared
  // machine changes within seconds; all the runs of one side after all
  // those of the other would put one side in a busier stretch than the
  // other, where runs in turn share it out.
  for (int run = 0; run < bench.runs; ++run) {
    // Every run finds the folder as the first one did. Files left by the run
    // before would each be replaced (an unlink and a second open), which
    // neither the first run nor the side files' timing pays.
    if (run > 0 && !bench.output_folder.empty()) RemoveOutputs(bench.output_folder, before_package);
    g_keep_results = run + 1 == bench.runs && std::getenv("KX_BENCH_DOCUMENTS") != nullptr;
    double seconds = 0;
    CpuSeconds cpu;
    const int failed = PackageOnce(bench, &seconds, &cpu, run == 0 ? &before_package : nullptr);
    if (failed != 0) return failed;
    if (figures.package_seconds < 0 || seconds < figures.package_seconds) {
      figures.package_seconds = seconds;
      figures.package_cpu = cpu;
    }
    if (run + 1 == bench.runs) {
      // Before the side files' timing, whose buffer holds one file.
      figures.peak_mb = PeakResidentMb();
      KeepDocuments(bench);
    }
    if (run == 0) {
      figures.result_bytes = g_result_bytes;
      store = SqliteStore(bench);
      CountOutputs(bench, before_package, &figures, &side_sizes);
    }

    FlushFileSystems();
    const CpuSeconds sqlite_before = CpuUsed(RUSAGE_CHILDREN);
    const double sqlite_seconds = BestSqliteJsonSeconds(store, bench.sqlite_query, 1);
    const CpuSeconds sqlite_after = CpuUsed(RUSAGE_CHILDREN);
    sqlite_cpu.user += sqlite_after.user - sqlite_before.user;
    sqlite_cpu.system += sqlite_after.system - sqlite_before.system;
    if (sqlite_seconds < 0) {
      std::fprintf(stderr, "%s %s: sqlite3 -json failed on %s\n", bench.data_type.c_str(),
                   bench.scale.c_str(), store.empty() ? "(no store)" : store.c_str());
      return 6;
    }
    if (figures.sqlite_seconds < 0 || sqlite_seconds < figures.sqlite_seconds) {
      figures.sqlite_seconds = sqlite_seconds;
    }

    if (side_sizes.empty()) continue;
    // A file system's price for many small files swings with the other
    // writers on the disk far more than the package step. Each run writes
    // files of its own into the package step's folder: ext4 makes files
    // slowly where many were freed just before, and a new folder may lie
    // where none were, so files written elsewhere would not pay the price
    // the package step paid.
    CpuSeconds side_cpu;
    const double side_seconds = TimeWritingFiles(
        bench.output_folder, "kxbench_side_" + std::to_string(run) + "_", side_sizes, &side_cpu);
    if (side_seconds >= 0 && (!side_timed || side_seconds < figures.side_seconds)) {
      figures.side_seconds = side_seconds;
      figures.side_cpu = side_cpu;
      side_timed = true;
    }
  }
  figures.sqlite_cpu = {sqlite_cpu.user / bench.runs, sqlite_cpu.system / bench.runs};

  BenchRow row;
  row.data_type = bench.data_type;
  row.scale = bench.scale;
  row.records = bench.records;
  // Negative when the side files alone took longer than the whole package
  // step: the disk was busier then, and the row says it cannot tell.
  row.package_seconds = figures.package_seconds - figures.side_seconds;
  if (row.package_seconds < 0) row.package_seconds = -1;
  row.sqlite_seconds = figures.sqlite_seconds;
  row.side_seconds = figures.side_seconds;
  row.peak_mb = figures.peak_mb;
  row.document_mb = static_cast<double>(figures.document_bytes) / kMb;
  row.package_cpu = figures.package_cpu;
  row.sqlite_cpu = figures.sqlite_cpu;
  row.side_cpu = figures.side_cpu;
  PrintBenchRow(row);
  if (report) report(figures);
  return 0;
}

double FreeBytes(const std::string& folder) {
  struct statvfs stats {};
  if (statvfs(folder.c_str(), &stats) != 0) return -1;
  return static_cast<double>(stats.f_bavail) * static_cast<double>(stats.f_frsize);
}

}  // namespace

int MeasurePackage(const PackageBench& bench,
                   const std::function<void(const PackageFigures&)>& report) {
  const int result = RunInChild([&] { return MeasureInChild(bench, report); });
  if (result < 0) {
    std::fprintf(stderr, "%s %s: the measuring process ended abnormally\n", bench.data_type.c_str(),
                 bench.scale.c_str());
  }
  return result;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

long long Scaled(long long full_size, long long minimum) {
  const char* scale = std::getenv("KX_BENCH_SCALE");
  const std::string word = scale != nullptr ? scale : "full";
  long long size = full_size;
  if (word == "small") size = full_size / 10;
  if (word == "tiny") size = full_size / 1000;
  return size < minimum ? minimum : size;
}

bool CheckCanRun(const char* program, double bytes_needed) {
  if (std::system("command -v sqlite3 > /dev/null 2>&1") != 0) {
    std::fprintf(stderr,
                 "%s: the sqlite3 shell is not on the PATH; it is the baseline every package "
                 "step is compared with.\nInstall it: apt-get install sqlite3 (or `make bench`, "
                 "which installs it), then run again.\n",
                 program);
    return false;
  }
  const std::string folder = fs::temp_directory_path().string();
  const double free_bytes = FreeBytes(folder);
  if (free_bytes >= 0 && bytes_needed > free_bytes) {
    std::fprintf(stderr,
                 "%s: this size needs about %.1f GB in %s, but only %.1f GB are free; choose a "
                 "smaller size (or set TMPDIR to a larger disk).\n",
                 program, bytes_needed / (kMb * 1024), folder.c_str(), free_bytes / (kMb * 1024));
    return false;
  }
  return true;
}

double UserTimeRatio(const PackageFigures& f) {
  const double own = f.package_cpu.user - f.side_cpu.user;
  return own > 0 && f.sqlite_cpu.user > 0 ? own / f.sqlite_cpu.user : 0.0;
}

void PrintChatShapeFigures(const char* label, int chats, long long messages_per_chat,
                           double generate_seconds, const PackageFigures& f, double target_ratio) {
  std::printf(
      "%-6s %d chats x %lld messages | generate %.1f s | package %.2f s, document %.1f MB, "
      "%d side files of %lld MB | peak RSS %.0f MB (%.0f MB before the package step) | "
      "sqlite3 -json %.2f s | ratio %.2f (target <= %.1f)\n"
      "       creating the %d batch files (and writing any side files) alone %.2f s; the "
      "package step without them %.2f s, ratio %.2f\n"
      "       processor time: package user %.2f s + kernel %.2f s (writing the files alone: "
      "user %.2f s + kernel %.2f s), sqlite3 -json user %.2f s + kernel %.2f s, user-time "
      "ratio without the files %.2f\n",
      label, chats, messages_per_chat, generate_seconds, f.package_seconds,
      f.document_bytes / 1048576.0, f.side_files, f.side_bytes / (1024 * 1024), f.peak_mb,
      f.before_mb, f.sqlite_seconds, f.package_seconds / f.sqlite_seconds, target_ratio,
      f.timed_document_files, f.side_seconds, f.package_seconds - f.side_seconds,
      (f.package_seconds - f.side_seconds) / f.sqlite_seconds, f.package_cpu.user,
      f.package_cpu.system, f.side_cpu.user, f.side_cpu.system, f.sqlite_cpu.user,
      f.sqlite_cpu.system, UserTimeRatio(f));
}

void PrintProcessorTime(const PackageFigures& f) {
  const double package = f.package_cpu.user + f.package_cpu.system;
  const double sqlite = f.sqlite_cpu.user + f.sqlite_cpu.system;
  std::printf(
      "processor time: package user %.2f s + kernel %.2f s, sqlite3 -json user %.2f s + kernel "
      "%.2f s, ratio %.2f\n",
      f.package_cpu.user, f.package_cpu.system, f.sqlite_cpu.user, f.sqlite_cpu.system,
      sqlite > 0 ? package / sqlite : 0.0);
}

}  // namespace kx::bench
