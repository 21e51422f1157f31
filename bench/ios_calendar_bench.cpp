// Packages two generated calendars (Calendar.sqlitedb of the newest
// release) through KxDataPackageNew: 200,000 events with 1,000,000
// attendees, and 20,000 events with 100,000. Prints, for each, the wall time
// of the staged run, its peak memory, the number of detail files, and the
// ratio to the sqlite3 shell printing the event query as JSON from the same
// file (the best of three runs).
//
// Every detail file takes up to 1000 events (200 files for the large
// calendar). Attendees are looked up event by event; memory holds one
// batch, the calendars, places and people, and the list of detail files the
// result document names.
//
// Usage: ios_calendar_bench [large|small|all]
// KX_BENCH_SCALE=small (as `make bench` runs it) makes both a tenth.
#include <json/json.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "samples/ios_calendar.h"
#include "sdk/library.h"

namespace {

constexpr double kTargetRatio = 3.0;
constexpr int kCalendarDataType = 7;
constexpr int kRuns = 3;
constexpr int kIdentities = 5000;
constexpr int kAttendeesPerEvent = 5;

struct CalendarSize {
  const char* label;
  int events;
};

// The packager's event query over a store never merged (is_deleted NULL).
constexpr char kEventQuery[] =
    "select summary as utf_Title, description as utf_Description, CASE WHEN start_date IS NULL "
    "AND all_day = 1 then strftime('%m-%d-%Y %H:%M:%S', end_date + 978307200 - 24 * 3600 + 1, "
    "'unixepoch', 'localtime') WHEN all_day = 1 then strftime('%m-%d-%Y %H:%M:%S', start_date + "
    "978307200, 'unixepoch', 'localtime') else strftime('%m-%d-%Y %H:%M:%S', start_date + "
    "978307200, 'unixepoch', 'localtime') end as start_date, CASE WHEN all_day = 1 then "
    "strftime('%m-%d-%Y %H:%M:%S', end_date + 978307200 - 8 * 3600, 'unixepoch', 'localtime') "
    "else strftime('%m-%d-%Y %H:%M:%S', end_date + 978307200, 'unixepoch', 'localtime') end as "
    "end_date, url as utf_Url, all_day, CASE WHEN end_date is null then 0 else 1 end as status, "
    "calendar_id, ROWID, location_id, unique_identifier, NULL as is_deleted from CalendarItem "
    "where entity_type = 2";

int Generate(const std::string& path, int events) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return 3;
  const std::string n = std::to_string(events);
  const std::string sql =
      kx::samples::IosCalendarSql(kx::samples::kIosCalendarNewestSchema) +
      "BEGIN;INSERT INTO Calendar (ROWID, title, UUID) VALUES (1,'Home','C-1'),(2,'Work','C-2');"
      "INSERT INTO Location (ROWID, title, address) VALUES (1,'Office','1 Main Street');"
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
      std::to_string(kIdentities) +
      ") INSERT INTO Identity (rowid, display_name, address) SELECT i, 'Person ' || i, "
      "'mailto:p' || i || '@example.com' FROM k;"
      "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
      n +
      ") INSERT INTO CalendarItem (ROWID, summary, description, start_date, end_date, all_day, "
      "calendar_id, location_id, url, unique_identifier, UUID, entity_type) SELECT i, 'Event ' || "
      "i, 'Notes of event ' || i, 700000000 + i * 3600, 700000000 + i * 3600 + 1800, i % 7 = 0, "
      "1 + i % 2, CASE WHEN i % 3 = 0 THEN 1 END, 'https://meet.example/' || i, 'UID-' || i, "
      "'E-' || i, 2 FROM k;"
      "WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i < " +
      std::to_string(events * kAttendeesPerEvent - 1) +
      ") INSERT INTO Participant (entity_type, identity_id, owner_id, email, is_self) SELECT 7, "
      "1 + (i * 7) % " +
      std::to_string(kIdentities) + ", 1 + i / " + std::to_string(kAttendeesPerEvent) +
      ", 'p@example.com', i = 0 FROM k;COMMIT;";
  char* error = nullptr;
  const int status = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  if (status != SQLITE_OK) std::fprintf(stderr, "generate: %s\n", error ? error : "?");
  sqlite3_free(error);
  sqlite3_close(db);
  return status == SQLITE_OK ? 0 : 3;
}

std::string Request(const std::string& work) {
  Json::Value request;
  request["package_type"] = kCalendarDataType;
  request["temp_folder"] = kx::JoinPath(work, "temp");
  request["addtional_param"] = work;
  request["primary_file_object"]["calendar_file_path"] = kx::JoinPath(work, "Calendar.sqlitedb");
  request["primary_file_object"]["manifest_file_path"] = kx::JoinPath(work, "Manifest.db");
  request["second_file_objects"]["configer_file_path"] = KX_BENCH_CONFIG_DIR;
  return kx::WriteJson(request);
}

// Bytes a calendar takes per event on the disk: the store, its staged copy
// and the detail files.
constexpr double kBytesPerEvent = 2000;

int RunBench(const CalendarSize& size) {
  if (!kx::bench::CheckCanRun("ios_calendar_bench", size.events * kBytesPerEvent)) return 1;
  const std::string work = kx::bench::MakeTempFolder("kxbench_calendar_");
  if (work.empty()) return 2;
  std::filesystem::create_directories(kx::JoinPath(work, "temp"));
  const double start = kx::bench::NowSeconds();
  int result = kx::bench::RunInChild([&] {
    sqlite3* manifest = nullptr;
    if (sqlite3_open(kx::JoinPath(work, "Manifest.db").c_str(), &manifest) != SQLITE_OK) return 3;
    const int made = sqlite3_exec(manifest,
                                  "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, "
                                  "relativePath TEXT, flags INTEGER, file BLOB);",
                                  nullptr, nullptr, nullptr);
    sqlite3_close(manifest);
    if (made != SQLITE_OK) return 3;
    return Generate(kx::JoinPath(work, "Calendar.sqlitedb"), size.events);
  });
  const double generate_seconds = kx::bench::NowSeconds() - start;
  if (result == 0) {
    kx::bench::PackageBench bench;
    bench.data_type = "iOS calendar";
    bench.scale = size.label;
    bench.records = size.events;
    bench.work = work;
    bench.request = Request(work);
    bench.package_type = kCalendarDataType;
    bench.staged = true;
    bench.runs = kRuns;
    const std::string temp = kx::JoinPath(work, "temp");
    bench.sqlite_stores = {kx::JoinPath(temp, "Calendar.sqlitedb")};
    bench.sqlite_query = kEventQuery;
    bench.output_folder = temp;
    bench.document_prefixes = {"DataAnalysis_Calendar_"};
    result = kx::bench::MeasurePackage(bench, [&](const kx::bench::PackageFigures& figures) {
      std::printf(
          "%-5s %6d events, %7d attendees | generate %.2f s | KxDataPackageNew %.2f s | sqlite3 "
          "-json %.2f s | ratio %.2f (target <= %.1f) | %d detail files, %.1f MB | peak RSS "
          "%.0f MB (%.0f MB before the run)\n",
          size.label, size.events, size.events * kAttendeesPerEvent, generate_seconds,
          figures.package_seconds, figures.sqlite_seconds,
          figures.package_seconds / figures.sqlite_seconds, kTargetRatio, figures.document_files,
          static_cast<double>(figures.document_bytes) / (1024.0 * 1024.0), figures.peak_mb,
          figures.before_mb);
    });
  } else {
    std::fprintf(stderr, "%s: cannot generate the calendar\n", size.label);
  }
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const CalendarSize large = {"large", static_cast<int>(kx::bench::Scaled(200000))};
  const CalendarSize small = {"small", static_cast<int>(kx::bench::Scaled(20000))};
  if (!kx::bench::CheckCanRun(argv[0], 0)) return 1;
  return kx::bench::RunChosenSizes<CalendarSize>(argc, argv, {&small, &large}, RunBench);
}
