// Measuring helpers shared by the benchmarks. POSIX only.
#ifndef KX_BENCH_BENCH_UTIL_H_
#define KX_BENCH_BENCH_UTIL_H_

#include <functional>
#include <initializer_list>
#include <string>

namespace kx::bench {

// One measured data type at one scale: what `make bench` collects into its
// table. Times are the best of the benchmark's runs, in seconds.
struct BenchRow {
  std::string data_type;       // e.g. "iOS contacts"
  std::string scale;           // the size label: "small", "large", ...
  long long records = 0;       // records packaged
  double package_seconds = 0;  // the library's own work, side files apart
  double sqlite_seconds = 0;   // sqlite3 -json of the packager's main query
  double side_seconds = 0;     // side files the data type must write (0: none)
  double peak_mb = 0;          // peak resident set of the packaging process
  double document_mb = 0;      // size of the documents and batch files written
};

// Prints `row` as one tab-separated line starting with "BENCHROW", which
// the bench runner turns into its table; the human-readable lines a
// benchmark prints around it are left alone.
void PrintBenchRow(const BenchRow& row);

// Seconds on a monotonic clock, from an arbitrary start.
double NowSeconds();

// Peak resident set of this process so far, in megabytes (ru_maxrss).
double PeakResidentMb();

// `text` as one single-quoted word for /bin/sh.
std::string ShellQuote(const std::string& text);

// Runs `command` through /bin/sh and returns its wall time in seconds, or a
// negative value when it could not run or exited non-zero.
double TimeShellCommand(const std::string& command);

// Runs `work` in a forked child, so that its peak memory is its own, and
// returns the child's exit code (work's result), or -1 when it did not end
// normally. Call before any thread is started.
int RunInChild(const std::function<int()>& work);

// The best wall time of `runs` runs of the sqlite3 shell printing `query`
// over the database at `path` as JSON; negative when no run succeeded.
double BestSqliteJsonSeconds(const std::string& path, const std::string& query, int runs);

// The number of files in `folder` whose names start with `prefix`, and
// their size in bytes.
int CountFiles(const std::string& folder, const std::string& prefix, long long* bytes);

// Writes every dirty page of every file system back to disk (sync).
void FlushFileSystems();

// A fresh folder under the system temp folder; "" on failure.
std::string MakeTempFolder(const std::string& prefix);

// Whether a benchmark of a small and a large store runs the one labelled
// `label` for the word on its command line: "small", "large" or "all"
// (the default). False for any other word, after printing the usage.
bool ValidSizeWord(int argc, char** argv);
bool SizeChosen(int argc, char** argv, const char* label);

// Runs `run` on each of `sizes` the command line chose (each has a
// `label`); 0 when every run answered 0, 1 when one did not, 2 for a bad
// command line.
template <typename Size, typename Run>
int RunChosenSizes(int argc, char** argv, std::initializer_list<const Size*> sizes, Run run) {
  if (!ValidSizeWord(argc, argv)) return 2;
  int result = 0;
  for (const Size* size : sizes) {
    if (SizeChosen(argc, argv, size->label)) result |= run(*size);
  }
  return result == 0 ? 0 : 1;
}

}  // namespace kx::bench

#endif  // KX_BENCH_BENCH_UTIL_H_
