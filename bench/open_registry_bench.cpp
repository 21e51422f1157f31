// Opens a small source database, reads its schema and closes it, the way
// every package call checks a staged store, a million times (by default).
// Prints the peak resident memory after a warm-up and after the last cycle,
// the growth per cycle and the entries the open-database registry still
// holds; and the same cycles on plain SQLite (open, one prepared statement,
// close) as the reference. A host that runs for days must stay flat: the
// library's growth per cycle should be that of plain SQLite (about 0).
//
// Usage: open_registry_bench [cycles]
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_util.h"
#include "common/sqlite_wrapper.h"

namespace {

constexpr long long kWarmUpCycles = 10000;

struct Figures {
  double seconds = 0;
  double peak_before_mb = 0;
  double peak_after_mb = 0;
  double bytes_per_cycle = 0;
};

bool LibraryCycle(const std::string& path) {
  kx::SQLite3Wrapper db(path);
  const bool ok = kx::CheckSourceDatabase(&db, kx::OpenMode::kReadOnly).ok();
  return db.Close() == SQLITE_OK && ok;
}

bool PlainSqliteCycle(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  sqlite3_stmt* statement = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master", -1, &statement, nullptr) ==
                 SQLITE_OK;
  while (ok && sqlite3_step(statement) == SQLITE_ROW) {
  }
  sqlite3_finalize(statement);
  return sqlite3_close(db) == SQLITE_OK && ok;
}

// Runs `cycle` in a child process (its peak memory is its own) and prints
// one line of figures.
int Measure(const char* label, long long cycles, const std::function<bool()>& cycle) {
  return kx::bench::RunInChild([&] {
    Figures figures;
    const double start = kx::bench::NowSeconds();
    for (long long i = 0; i < kWarmUpCycles; ++i) {
      if (!cycle()) return 1;
    }
    figures.peak_before_mb = kx::bench::PeakResidentMb();
    for (long long i = kWarmUpCycles; i < cycles; ++i) {
      if (!cycle()) return 1;
    }
    figures.seconds = kx::bench::NowSeconds() - start;
    figures.peak_after_mb = kx::bench::PeakResidentMb();
    figures.bytes_per_cycle = (figures.peak_after_mb - figures.peak_before_mb) * 1024.0 * 1024.0 /
                              static_cast<double>(cycles - kWarmUpCycles);
    std::printf("%-14s %10lld %9.1f %14.1f %13.1f %12.1f %10zu\n", label, cycles, figures.seconds,
                figures.peak_before_mb, figures.peak_after_mb, figures.bytes_per_cycle,
                kx::RegisteredOpeningCount());
    return 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  const long long cycles =
      argc > 1 ? std::atoll(argv[1]) : kx::bench::Scaled(1000000, 2 * kWarmUpCycles);
  if (cycles <= kWarmUpCycles) {
    std::fprintf(stderr, "usage: %s [cycles > %lld]\n", argv[0], kWarmUpCycles);
    return 2;
  }
  const std::string folder = kx::bench::MakeTempFolder("open_registry_bench");
  if (folder.empty()) return 1;
  const std::string path = folder + "/calllog.db";
  sqlite3* db = nullptr;
  const bool made =
      sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
      sqlite3_exec(db, "CREATE TABLE calls (_id INTEGER PRIMARY KEY, number TEXT, date INTEGER)",
                   nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  if (!made) return 1;

  std::printf("%-14s %10s %9s %14s %13s %12s %10s\n", "", "cycles", "seconds", "peak before MB",
              "peak after MB", "bytes/cycle", "registry");
  int result = Measure("plain SQLite", cycles, [&] { return PlainSqliteCycle(path); });
  result |= Measure("library", cycles, [&] { return LibraryCycle(path); });
  std::filesystem::remove_all(folder);
  return result == 0 ? 0 : 1;
}
