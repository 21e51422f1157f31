// Packages two generated Safari histories (History.db of the newest
// release: history_items and their history_visits, one item in ten
// untitled) through the library: 1,000,000 visits of 100,000 pages, and
// 100,000 visits of 10,000.
//
// The reference is the sqlite3 shell printing the packager's two queries:
// the titles of the visits and the items.
//
// Usage: ios_safari_history_bench [large|small|all]
#include "bench/store_bench.h"
#include "samples/ios_safari.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 1000000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 100000, 3};
constexpr int kVisitsPerItem = 10;

constexpr char kHistoryQuery[] =
    "select history_item,title from history_visits where title is not null and title!=\"\";"
    "select url as Url, domain_expansion as domain, id from history_items";

bool Generate(const std::string& work, long long visits) {
  const long long items = visits / kVisitsPerItem;
  return kx::bench::ExecSql(
      kx::JoinPath(work, "History.db"),
      kx::samples::IosHistorySql(0) + ";BEGIN;" + kx::bench::Numbers(items) +
          "INSERT INTO history_items (id, url, domain_expansion, visit_count, daily_visit_counts, "
          "should_recompute_derived_visit_counts, visit_count_score) SELECT i, "
          "'https://www.site' || (i % 997) || '.example/path/' || i || '?q=' || (i * 7919 % "
          "100003), "
          "'site' || (i % 997), " +
          std::to_string(kVisitsPerItem) + ", X'00', 0, 100 FROM k;" + kx::bench::Numbers(visits) +
          "INSERT INTO history_visits (id, history_item, visit_time, title) SELECT i, 1 + (i - 1) "
          "/ " +
          std::to_string(kVisitsPerItem) + ", 704592000.0 + i * 61.5, CASE WHEN (i - 1) / " +
          std::to_string(kVisitsPerItem) + " % 10 = 3 THEN NULL ELSE 'Page ' || ((i - 1) / " +
          std::to_string(kVisitsPerItem) + ") || ' — a title of some length' END FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["safariHis_file_path"] = kx::JoinPath(work, "History.db");
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "Safari history", 6, "visits", Generate, Request, "History.db", kHistoryQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
