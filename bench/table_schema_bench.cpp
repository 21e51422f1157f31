// Parses call-log definitions whose type column carries a CHECK list of
// 10,000, 100,000 and 1,000,000 values. Prints, for each, the time of the
// library's table parser, the time SQLite takes to create the same table in
// a fresh in-memory database (it parses the same text), their ratio, and the
// growth of the parse time from one size to the next (about 10 when the
// parse is linear).
//
// Usage: table_schema_bench [largest item count]
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "common/table_schema.h"

namespace {

constexpr int kRuns = 5;

std::string CallsWithCheckList(long long items) {
  std::string sql = "CREATE TABLE calls (_id INTEGER PRIMARY KEY, type INTEGER CHECK (type IN (";
  for (long long i = 1; i <= items; ++i) {
    if (i > 1) sql += ", ";
    sql += std::to_string(i);
  }
  return sql + ")), duration LONG, amount DECIMAL(10, 2), CHECK (duration >= 0))";
}

// The best of kRuns, in seconds; -1 when a run failed.
template <typename Work>
double BestTime(Work work) {
  double best = -1.0;
  for (int run = 0; run < kRuns; ++run) {
    const double start = kx::bench::NowSeconds();
    if (!work()) return -1.0;
    const double seconds = kx::bench::NowSeconds() - start;
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

bool CreateInSqlite(const std::string& sql) {
  sqlite3* db = nullptr;
  const bool created = sqlite3_open(":memory:", &db) == SQLITE_OK &&
                       sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return created;
}

}  // namespace

int main(int argc, char** argv) {
  const long long largest = argc > 1 ? std::atoll(argv[1]) : kx::bench::Scaled(1000000, 10000);
  double previous = -1.0;
  std::printf("%10s %10s %12s %12s %8s %8s %8s\n", "items", "bytes", "parse s", "sqlite s", "ratio",
              "growth", "columns");
  for (long long items = 10000; items <= largest; items *= 10) {
    const std::string sql = CallsWithCheckList(items);
    size_t columns = 0;
    const double parse = BestTime([&] {
      columns = kx::ParseCreateTableSql("calls", sql).size();
      return true;
    });
    const double sqlite = BestTime([&] { return CreateInSqlite(sql); });
    std::printf("%10lld %10zu %12.6f %12.6f %8.2f %8.2f %8zu\n", items, sql.size(), parse, sqlite,
                sqlite > 0 ? parse / sqlite : -1.0, previous > 0 ? parse / previous : 0.0, columns);
    if (columns != 4) {
      std::fprintf(stderr, "expected 4 columns, parsed %zu\n", columns);
      return 1;
    }
    previous = parse;
  }
  return 0;
}
