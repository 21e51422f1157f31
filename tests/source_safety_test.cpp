// A filter with merges only ever reads the host's source files: the source
// folder holds the same files with the same bytes afterwards (no "-shm" or
// journal appears beside them), and rows that only a source's "-wal" file
// holds still reach the staged copy.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <string>

#include "common/json_util.h"
#include "common/merge.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_dispatcher.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

constexpr int kMergingType = 8;  // a row whose real packager is not needed here

constexpr char kCallsTable[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT, date INTEGER, "
    "duration INTEGER, type INTEGER, name TEXT, countryiso TEXT);";

constexpr char kConfigRows[] =
    "INSERT INTO scan_table_info (system_type, data_type, table_name) VALUES "
    " ('android','callhistory','calls');"
    "INSERT INTO result_field_info (system_type, data_type, table_name, field_name,"
    " field_type_text, is_unique_field, is_row_id_field) VALUES"
    " ('android','callhistory','calls','number','TEXT',1,0),"
    " ('android','callhistory','calls','date','INTEGER',1,0),"
    " ('android','callhistory','calls','name','TEXT',0,0);";

// Merges its queue the way the Android filters do.
int MergingFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context) {
  const std::string* primary = record->PrimaryFile("p");
  FileQueue* copies = record->SecondFiles("reminder_files_path");
  if (primary == nullptr || copies == nullptr) return 1100;
  return MergeDatabaseCopies(*config, *primary, *copies, kSystemAndroid, kConfigCallHistory,
                             context.stop);
}

test::TestDispatcher g_dispatch;

const DataTypeEntry kMergingEntry = {7,
                                     "MergingDataPackage",
                                     "MergingDataFilter",
                                     "mergingdatapackage",
                                     MergingFilter,
                                     nullptr,
                                     {"reminder_files_path", nullptr},
                                     7};

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files[entry.path().string()] = test::ReadFileBytes(entry.path().string());
  }
  return files;
}

class SourceSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RunSql(config_.File("KxDataConfiger.db"),
                 test::ReadFileBytes(std::string(KX_TEST_SOURCE_DIR) + "/config/00_schema.sql") +
                     kConfigRows);
    InitializeLibrary(logs_.path().c_str(), config_.path().c_str());
    g_dispatch.Reset(config_.path());
    g_dispatch.SetRow(kMergingType, kMergingEntry);
  }
  void TearDown() override { g_dispatch.RestoreRow(kMergingType); }

  test::TempDir logs_, config_, sources_, temp_;
};

// Leaves `path` in WAL mode with `wal_rows` committed only to its "-wal"
// file: the files are copied while the writer still holds them open.
void WriteDatabaseWithWalRows(const std::string& path, const std::string& base_rows,
                              const std::string& wal_rows, const std::string& out_folder) {
  test::TempDir scratch;
  const std::string work = scratch.File(fs::path(path).filename().string());
  test::RunSql(work, std::string("PRAGMA journal_mode=WAL;") + kCallsTable + base_rows);
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(work.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "PRAGMA wal_autocheckpoint=0;", nullptr, nullptr, nullptr));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, wal_rows.c_str(), nullptr, nullptr, nullptr));
  fs::copy_file(work, fs::path(out_folder) / fs::path(path).filename());
  fs::copy_file(work + "-wal",
                (fs::path(out_folder) / fs::path(path).filename()).string() + "-wal");
  sqlite3_close(db);
}

TEST_F(SourceSafetyTest, FilterWithMergesLeavesSourcesUntouched) {
  fs::create_directories(sources_.File("older"));
  WriteDatabaseWithWalRows(
      "calllog.db",
      "INSERT INTO calls (number, date, name) VALUES ('5550001', 1600000000000, 'Ann');",
      "INSERT INTO calls (number, date, name) VALUES ('5550002', 1600000100000, 'Wal only');",
      sources_.path());
  test::RunSql(sources_.File("older/calllog.db"),
               std::string(kCallsTable) +
                   "INSERT INTO calls (number, date, name) VALUES"
                   " ('5550001', 1600000000000, 'Ann'), ('5550009', 1500000000000, 'Gone');");
  ASSERT_TRUE(fs::exists(sources_.File("calllog.db-wal")));
  const auto before = Snapshot(sources_.path());

  Json::Value request =
      test::RequestDocument(kMergingType, temp_.path(), "p", sources_.File("calllog.db"));
  request["second_file_objects"]["reminder_files_path"].append(sources_.File("older/calllog.db"));
  ASSERT_EQ(0, g_dispatch.Filter(WriteJson(request)));

  EXPECT_EQ(before, Snapshot(sources_.path()));
  const std::string staged = temp_.File("calllog.db");
  EXPECT_EQ((std::vector<std::string>{"Ann|0", "Wal only|0", "Gone|1"}),
            test::QueryColumn(staged, "SELECT name || '|' || is_deleted FROM calls ORDER BY _id"));
}

// A store copied before its first checkpoint: the main file is empty and
// its schema and rows are all in the "-wal". The staged copy reads in full;
// the source and its "-wal" keep their bytes.
TEST_F(SourceSafetyTest, WalOnlyStoreIsReadInFullFromItsStagedCopy) {
  test::TempDir scratch;
  const std::string work = scratch.File("calllog.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(work.c_str(), &db));
  const std::string rows =
      std::string("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;") + kCallsTable +
      "INSERT INTO calls (number, date, name) VALUES ('5550001', 1600000000000, 'Ann');"
      "INSERT INTO calls (number, date, name) VALUES ('5550002', 1600000100000, 'Bo');";
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, rows.c_str(), nullptr, nullptr, nullptr));
  test::WriteFileBytes(sources_.File("calllog.db"), "");
  fs::copy_file(work + "-wal", sources_.File("calllog.db-wal"));
  sqlite3_close(db);
  const auto before = Snapshot(sources_.path());

  Json::Value request =
      test::RequestDocument(kMergingType, temp_.path(), "p", sources_.File("calllog.db"));
  request["second_file_objects"]["reminder_files_path"] = Json::Value(Json::arrayValue);
  ASSERT_EQ(0, test::FilterRequest(request));

  EXPECT_EQ(before, Snapshot(sources_.path()));
  EXPECT_EQ((std::vector<std::string>{"Ann", "Bo"}),
            test::QueryColumn(temp_.File("calllog.db"), "SELECT name FROM calls ORDER BY _id"));
}

}  // namespace
}  // namespace kx
