#include "bench/bench_util.h"

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kx::bench {

double NowSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double PeakResidentMb() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return -1.0;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports kilobytes
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
  std::printf("BENCHROW\t%s\t%s\t%lld\t%.3f\t%.3f\t%.3f\t%.1f\t%.1f\n", row.data_type.c_str(),
              row.scale.c_str(), row.records, row.package_seconds, row.sqlite_seconds,
              row.side_seconds, row.peak_mb, row.document_mb);
  std::fflush(stdout);
}

}  // namespace kx::bench
