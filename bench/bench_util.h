// Measuring helpers shared by the benchmarks. POSIX only.
//
// A benchmark of a packager generates its store, fills a PackageBench (the
// request, the store and query sqlite3 -json runs, where the documents are
// written) and calls MeasurePackage, which prints one BENCHROW line that
// `make bench` collects into its table. Its main starts with CheckCanRun
// (sqlite3 present, the store fits on the disk) and takes its default sizes
// through Scaled(), so that `make bench` (KX_BENCH_SCALE=small) runs it at a
// tenth of its full size without knowing its arguments.
#ifndef KX_BENCH_BENCH_UTIL_H_
#define KX_BENCH_BENCH_UTIL_H_

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kx::bench {

// Processor time in seconds, in user space and in the kernel.
struct CpuSeconds {
  double user = 0;
  double system = 0;
};

// One measured data type at one scale: what `make bench` collects into its
// table. Times are the best of the benchmark's runs, in seconds.
struct BenchRow {
  std::string data_type;       // e.g. "iOS contacts"
  std::string scale;           // the size label: "small", "large", ...
  long long records = 0;       // records packaged
  double package_seconds = 0;  // the library's own work, side files apart
                               // (-1: the side files alone took longer)
  double sqlite_seconds = 0;   // sqlite3 -json of the packager's main query
  double side_seconds = 0;     // side files the data type must write (0: none)
  double peak_mb = 0;          // peak resident set of the packaging process
  double document_mb = 0;      // size of the documents and batch files written
  // Processor time of the kept package run and of one sqlite3 -json run:
  // steadier than wall time on a loaded machine, the user time most.
  CpuSeconds package_cpu;
  CpuSeconds sqlite_cpu;
  // Processor time of writing the side files alone (see side_seconds): the
  // user-time ratio leaves it out as the wall-time ratio leaves out theirs.
  CpuSeconds side_cpu;
};

// Prints `row` as one tab-separated line starting with "BENCHROW", which
// the bench runner turns into its table; the human-readable lines a
// benchmark prints around it are left alone.
void PrintBenchRow(const BenchRow& row);

// The processor time used so far by the calling process (RUSAGE_SELF) or
// by its children that were waited for (RUSAGE_CHILDREN).
CpuSeconds CpuUsed(int who);

// How one data type is packaged and what it is compared with.
struct PackageBench {
  std::string data_type;  // the row's data type, e.g. "iOS messages"
  std::string scale;      // the size label, e.g. "small"
  long long records = 0;  // records in the store
  std::string work;       // the library's log folder (the bench's own folder)
  std::string request;    // the request document
  int package_type = 0;   // the data type number the request names
  // true: each run is one KxDataPackageNew call (staging included); false:
  // each run filters (untimed), then times KxDataPackage of package_type.
  bool staged = false;
  int runs = 3;  // the best of `runs` is kept, on both sides
  // sqlite3 -json runs `sqlite_query` over the first of `sqlite_stores` that
  // exists once the package step ran (the staged copy, then the source).
  std::vector<std::string> sqlite_stores;
  std::string sqlite_query;
  // The folder the package step writes: files whose names start with one of
  // `document_prefixes` are the document, with the result texts.
  std::string output_folder;
  std::vector<std::string> document_prefixes;
  // Other files the package step adds to output_folder are side files (one
  // per thumbnail, ...): when true (filter-then-package benchmarks), writing
  // the same sizes alone is timed and reported apart from the package time.
  bool time_side_files = false;
  // When true (with time_side_files), the creation of the document files is
  // timed with the side files too, as empty files: a packager that must
  // write a file per chat pays the file system's price of creating a file
  // per chat, which sqlite3 -json does not, and which swings with the other
  // writers on the disk (2 ms a file on a loaded ext4). Their bytes stay in
  // the package time.
  bool time_document_files = false;
};

// What MeasurePackage measured: the best run of each side.
struct PackageFigures {
  double package_seconds = -1;  // the whole package step, side files included
  double sqlite_seconds = -1;
  // Processor time of the kept package run, and of one sqlite3 run (the
  // mean of its runs): steadier than wall time on a loaded machine. The
  // package's kernel time includes creating its files.
  CpuSeconds package_cpu;
  CpuSeconds sqlite_cpu;
  double side_seconds = 0;       // writing the side files alone (see time_document_files)
  CpuSeconds side_cpu;           // processor time of that best run
  double peak_mb = 0;            // peak of the packaging process
  double before_mb = 0;          // its peak before the first package step
  long long result_bytes = 0;    // the texts the result callback received
  long long document_bytes = 0;  // result texts and document files
  int document_files = 0;
  int side_files = 0;
  long long side_bytes = 0;
  int timed_document_files = 0;  // document files created in side_seconds
};

// Runs `bench` in a forked child (so the peak is the package step's own):
// initialises the library, then `runs` times, in turn: flushes the file
// systems and times the package step, sqlite3 -json of the query, and the
// side files alone (their sizes and the documents counted after the first
// package step). Keeps the best of each; prints the BENCHROW line, then
// calls `report` (in the child) for the benchmark's own lines.
// Returns 0 when every step answered 0, else non-zero after saying why.
// When KX_BENCH_DOCUMENTS names a folder, the result texts and document
// files of the last run are copied into <folder>/<data type>-<scale>/ with
// the work folder's path replaced by "WORK", for comparing documents
// between builds and time zones (scripts/bench-documents.sh).
int MeasurePackage(const PackageBench& bench,
                   const std::function<void(const PackageFigures&)>& report = {});

// The package step's user time without that of its side files, over the
// user time of sqlite3 -json (0 where either is not measured).
double UserTimeRatio(const PackageFigures& f);

// The human-readable lines of a chat store measured with its batch files
// apart: times, sizes, peak, the ratio with and without the files, and the
// processor time of both sides.
void PrintChatShapeFigures(const char* label, int chats, long long messages_per_chat,
                           double generate_seconds, const PackageFigures& f, double target_ratio);

// One line of the processor time of both sides (user and kernel) and
// their ratio: steadier than the wall-time ratio on a loaded machine.
void PrintProcessorTime(const PackageFigures& f);

// The scale `make bench` asks for through KX_BENCH_SCALE: "full" (unset),
// "small" (a tenth) or "tiny" (a thousandth, for comparing documents).
// `full_size` scaled so, at least `minimum`.
long long Scaled(long long full_size, long long minimum = 1);

// Whether the benchmark can run: the sqlite3 shell is on the PATH (else it
// says how to install it) and `bytes_needed` fit in the free space of the
// temp folder (else it says how much is needed and free). A benchmark
// exits non-zero when this is false, before generating anything.
bool CheckCanRun(const char* program, double bytes_needed);

// `text` with every `from` replaced by `to` (the work folder's path by
// "WORK" in kept documents).
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// Seconds on a monotonic clock, from an arbitrary start.
double NowSeconds();

// Prints the package step's window ("PACKAGESTEP", the process id, its start
// and end on NowSeconds' clock, which is CLOCK_MONOTONIC): the profiler
// (scripts/bench-profile.py) keeps the samples of that window alone, and
// leaves out the store's generation, sqlite3 and the side files' timing.
void PrintPackageStepWindow(double start, double end);

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

// Removes `folder` and all in it, ignoring failures ("" is left alone).
void RemoveFolder(const std::string& folder);

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

// Runs `run(item, folder)` for each of `items`, each in a fresh temp folder
// named after `prefix`; the folders are removed only at the end: ext4 passes
// over inodes freed in the last minutes when it allocates new ones, so a run
// started right after removing the previous run's files would time that
// too. 0 when every run answered 0, 1 when one did not, 2 when no folder.
template <typename Item, typename Run>
int RunEachInFreshFolder(const std::vector<Item>& items, const std::string& prefix, Run run) {
  std::vector<std::string> folders;
  int result = 0;
  for (const Item& item : items) {
    folders.push_back(MakeTempFolder(prefix));
    if (folders.back().empty()) {
      result = 2;
      break;
    }
    if (run(item, folders.back()) != 0) result = 1;
  }
  for (const std::string& folder : folders) RemoveFolder(folder);
  return result;
}

}  // namespace kx::bench

#endif  // KX_BENCH_BENCH_UTIL_H_
