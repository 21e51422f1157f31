// Filter calls of one data type on several threads, and a stop from another
// thread while a package function runs, in the dispatcher and inside the
// LINE packager's analysis. Also built under ThreadSanitizer.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <json/json.h>
#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/json_util.h"
#include "package_capture.h"
#include "samples/android_line.h"
#include "sdk/library.h"
#include "test_dispatcher.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kFakeType = 6;
constexpr int kThreads = 4;
constexpr int kFilesPerThread = 8;

test::TestDispatcher g_dispatch;
std::mutex g_popped_mutex;
std::multiset<std::string> g_popped;
std::atomic<int> g_callbacks{0};
std::atomic<bool> g_package_running{false};

// Pops one file per call, slowly, so other callers queue while it runs.
int SlowFilter(DataTypeRecord* record, SqliteConfig*, const PackageContext&) {
  std::string path;
  if (record->SecondFiles("safariHis_files_path")->Pop(&path)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> lock(g_popped_mutex);
    g_popped.insert(path);
  }
  return 0;
}

// Works row by row until it sees the stop flag, as a real packager does.
int EndlessPackage(DataTypeRecord*, const PackageContext& context) {
  g_package_running = true;
  while (!context.StopRequested()) std::this_thread::sleep_for(std::chrono::microseconds(200));
  return 0;  // stopped: no callback
}

int CountCallback(int, const char*, int) {
  ++g_callbacks;
  return 0;
}

const DataTypeEntry kEntry = {5,
                              "FakeDataPackage",
                              "FakeDataFilter",
                              "fakedatapackage",
                              SlowFilter,
                              EndlessPackage,
                              {"safariHis_files_path", nullptr},
                              5};

// Reads the record's own queue and members as a real filter does.
int OwnKeyFilter(DataTypeRecord* record, SqliteConfig*, const PackageContext&) {
  FileQueue* queue = record->SecondFiles("safariHis_files_path");
  if (queue == nullptr || record->temp_folder.empty() || record->other_info.count("own") == 0) {
    return 1100;
  }
  std::string path;
  if (queue->Pop(&path)) std::this_thread::sleep_for(std::chrono::microseconds(300));
  return 0;
}

// The first call waits until a second one has handed over its document.
std::atomic<int> g_package_entries{0};
std::atomic<bool> g_second_package_done{false};
int FirstWaitsForSecondPackage(DataTypeRecord*, const PackageContext& context) {
  if (g_package_entries++ == 0) {
    while (!g_second_package_done) std::this_thread::sleep_for(std::chrono::microseconds(100));
  } else {
    g_second_package_done = true;
  }
  context.callback(context.result_kind, "{}", 2);
  return 0;
}

DataTypeEntry WithFunctions(FilterFunction filter, PackageFunction package) {
  DataTypeEntry entry = kEntry;
  entry.filter = filter;
  entry.package = package;
  return entry;
}

#if defined(__linux__)
// A write lease on a file: whoever opens the file waits inside open() until
// the lease is let go, so a filter can be held in the middle of copying it
// without any timing. The kernel ends a lease nobody lets go after
// /proc/sys/fs/lease-break-time, so a failing test cannot hang.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
    previous_ = signal(SIGIO, SIG_IGN);  // how the kernel tells the holder
    held_ = fd_ >= 0 && fcntl(fd_, F_SETLEASE, F_WRLCK) == 0;
    if (!held_) error_ = std::strerror(errno);
  }
  ~HeldOpen() {
    Release();
    if (fd_ >= 0) close(fd_);
    signal(SIGIO, previous_);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;

  bool held() const { return held_; }
  const std::string& error() const { return error_; }
  // True once another open of the file is waiting for the lease.
  bool OpenWaiting() const { return fcntl(fd_, F_GETLEASE) != F_WRLCK; }
  void Release() {
    if (held_) fcntl(fd_, F_SETLEASE, F_UNLCK);
    held_ = false;
  }

 private:
  int fd_;
  bool held_ = false;
  std::string error_;
  void (*previous_)(int) = SIG_DFL;
};
#endif

// Filters each request on a thread of its own; how many did not answer 0.
int FilterOnThreads(const std::vector<std::string>& requests) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (const std::string& text : requests) {
    threads.emplace_back([&failures, text] {
      if (g_dispatch.Filter(text) != 0) ++failures;
    });
  }
  for (std::thread& thread : threads) thread.join();
  return failures.load();
}

class DispatchConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    g_dispatch.Reset();
    g_dispatch.SetRow(kFakeType, kEntry);
    g_popped.clear();
    g_callbacks = 0;
    g_package_running = false;
  }
  void TearDown() override { g_dispatch.RestoreRow(kFakeType); }

  test::TempDir logs_, temp_, sources_;
};

TEST_F(DispatchConcurrencyTest, EveryQueuedFileIsFilteredExactlyOnce) {
  std::vector<std::string> requests;
  for (int t = 0; t < kThreads; ++t) {
    Json::Value request = test::RequestDocument(kFakeType, temp_.path());
    Json::Value& files = request["second_file_objects"]["safariHis_files_path"];
    for (int f = 0; f < kFilesPerThread; ++f) {
      const std::string name = "t" + std::to_string(t) + "_" + std::to_string(f) + ".db";
      test::WriteFileBytes(sources_.File(name), name);
      files.append(sources_.File(name));
    }
    requests.push_back(WriteJson(request));
  }
  EXPECT_EQ(0, FilterOnThreads(requests));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
  std::lock_guard<std::mutex> lock(g_popped_mutex);
  EXPECT_EQ(static_cast<size_t>(kThreads * kFilesPerThread), g_popped.size());
  for (const std::string& path : g_popped) EXPECT_EQ(1u, g_popped.count(path)) << path;
}

TEST_F(DispatchConcurrencyTest, StopFromAnotherThreadEndsPackageWith1111) {
  ASSERT_EQ(0, g_dispatch.Filter(WriteJson(test::RequestDocument(kFakeType, temp_.path()))));

  std::thread stopper([] {
    while (!g_package_running) std::this_thread::sleep_for(std::chrono::microseconds(100));
    g_dispatch.Stop();
  });
  EXPECT_EQ(1111, g_dispatch.PackageOne(CountCallback, kFakeType));
  stopper.join();
  EXPECT_EQ(0, g_callbacks.load());
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
}

// One caller's filter drains its queue while another caller of the same
// data type keeps adding queues and members under new keys: the filter
// always finds its own key and members.
TEST_F(DispatchConcurrencyTest, FilterReadsItsInputsWhileAnotherCallAddsKeys) {
  const DataTypeEntry entry = WithFunctions(OwnKeyFilter, EndlessPackage);
  g_dispatch.SetRow(kFakeType, entry);
  constexpr int kRounds = 6;
  constexpr int kOtherCalls = 40;
  for (int round = 0; round < kRounds; ++round) {
    g_dispatch.Reset();
    Json::Value own = test::RequestDocument(kFakeType, temp_.path());
    own["other_info"]["own"] = "yes";
    for (int f = 0; f < 6; ++f) {
      const std::string name = "own" + std::to_string(f) + ".db";
      test::WriteFileBytes(sources_.File(name), name);
      own["second_file_objects"]["safariHis_files_path"].append(sources_.File(name));
    }
    const std::string own_text = WriteJson(own);
    std::atomic<int> own_status{-2};
    std::thread owner([&] { own_status = g_dispatch.Filter(own_text); });
    int failures = 0;
    for (int call = 0; call < kOtherCalls; ++call) {
      Json::Value other = test::RequestDocument(kFakeType, temp_.path());
      const std::string key = "other_" + std::to_string(call);
      other["second_file_objects"][key] = Json::Value(Json::arrayValue);
      other["other_info"][key] = key;
      if (g_dispatch.Filter(WriteJson(other)) != 0) ++failures;
    }
    owner.join();
    EXPECT_EQ(0, own_status.load()) << "round " << round;
    EXPECT_EQ(0, failures) << "round " << round;
    EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType)) << "round " << round;
  }
}

// KxDataPackage and KxDataPackageEx of one data type at once: the call that
// finishes second never touches a record the first one removed.
TEST_F(DispatchConcurrencyTest, PackageAllOutlivesRecordRemovedByPackageOne) {
  const DataTypeEntry entry = WithFunctions(SlowFilter, FirstWaitsForSecondPackage);
  g_dispatch.SetRow(kFakeType, entry);
  g_package_entries = 0;
  g_second_package_done = false;
  ASSERT_EQ(0, g_dispatch.Filter(WriteJson(test::RequestDocument(kFakeType, temp_.path()))));

  std::atomic<int> all_status{-2};
  std::thread all([&] { all_status = g_dispatch.PackageAll(CountCallback); });
  while (g_package_entries == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
  EXPECT_EQ(0, g_dispatch.PackageOne(CountCallback, kFakeType));
  all.join();
  EXPECT_EQ(0, all_status.load());
  EXPECT_EQ(2, g_callbacks.load());
  EXPECT_EQ(-1, g_dispatch.State(kFakeType));
}

// The real call-history filter: copies queued from several threads are each
// merged exactly once into the one staged primary.
TEST_F(DispatchConcurrencyTest, ConcurrentCallHistoryFiltersMergeEveryCopyOnce) {
  constexpr char kCallsTable[] =
      "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT, "
      "presentation INTEGER NOT NULL DEFAULT 1, date INTEGER, duration INTEGER, type INTEGER, "
      "new INTEGER, name TEXT, numbertype INTEGER, numberlabel TEXT, countryiso TEXT);";
  test::RunSql(
      sources_.File("calllog.db"),
      std::string(kCallsTable) +
          "INSERT INTO calls (number, date, type, name) VALUES ('+1', 1600000000000, 1, 'a');");
  std::vector<std::string> requests;
  for (int t = 0; t < kThreads; ++t) {
    Json::Value request = test::RequestDocument(3, temp_.path(), "callhistory_file_path",
                                                sources_.File("calllog.db"));
    for (int f = 0; f < 3; ++f) {
      const std::string name = "old_" + std::to_string(t) + "_" + std::to_string(f) + ".db";
      // Each copy shares the primary's call and holds one of its own.
      test::RunSql(sources_.File(name), std::string(kCallsTable) +
                                            "INSERT INTO calls (number, date, type, name) VALUES"
                                            " ('+1', 1600000000000, 1, 'a'), ('" +
                                            name + "', 1500000000000, 3, 'x');");
      request["second_file_objects"]["callhistory_files_path"].append(sources_.File(name));
    }
    requests.push_back(WriteJson(request));
  }
  EXPECT_EQ(0, FilterOnThreads(requests));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(3));
  EXPECT_EQ(
      std::vector<std::string>{"1|0"},
      test::QueryColumn(temp_.File("calllog.db"),
                        "SELECT count(*) || '|' || is_deleted FROM calls WHERE number = '+1'"));
  EXPECT_EQ(std::vector<std::string>{std::to_string(kThreads * 3)},
            test::QueryColumn(temp_.File("calllog.db"),
                              "SELECT count(DISTINCT number) FROM calls WHERE is_deleted = 1"));
}

// A filter copying a large call log does not hold up a filter of SMS: the
// call log's copy is held inside its open until the SMS filter returned.
TEST_F(DispatchConcurrencyTest, CopyOfOneTypeDoesNotBlockFilterOfAnother) {
#if defined(__linux__)
  test::RunSql(sources_.File("calllog.db"), "CREATE TABLE calls (_id INTEGER PRIMARY KEY);");
  test::RunSql(sources_.File("mmssms.db"), "CREATE TABLE sms (_id INTEGER PRIMARY KEY);");
  const std::string calls_text = WriteJson(
      test::RequestDocument(3, temp_.path(), "callhistory_file_path", sources_.File("calllog.db")));
  const std::string sms_text = WriteJson(
      test::RequestDocument(4, temp_.path(), "sms_file_path", sources_.File("mmssms.db")));

  HeldOpen held(sources_.File("calllog.db"));
  if (!held.held()) GTEST_SKIP() << "no file lease here: " << held.error();
  std::atomic<bool> calls_done{false};
  int calls_status = -1;
  std::thread calls_thread([&] {
    calls_status = g_dispatch.Filter(calls_text);
    calls_done = true;
  });
  while (!calls_done && !held.OpenWaiting()) std::this_thread::yield();
  EXPECT_FALSE(calls_done.load());

  EXPECT_EQ(0, g_dispatch.Filter(sms_text));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(4));
  EXPECT_TRUE(std::filesystem::exists(temp_.File("mmssms.db")));
  // Still inside the copy of the call log.
  EXPECT_FALSE(calls_done.load());
  EXPECT_FALSE(std::filesystem::exists(temp_.File("calllog.db")));

  held.Release();
  calls_thread.join();
  EXPECT_EQ(0, calls_status);
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(3));
  EXPECT_TRUE(std::filesystem::exists(temp_.File("calllog.db")));
#else
  GTEST_SKIP() << "file leases are a Linux facility";
#endif
}

// A stop requested from another thread while the LINE packager is inside
// AnalyseDatabase. Every SQLite connection of the process gets a row hook:
// the second row of the message query (the first chat's long message read)
// waits there until the other thread has requested the stop. The rest of
// the messages then meet the stop, on every run, without timing.

std::mutex g_mutex;
std::condition_variable g_changed;
int g_message_rows = 0;
bool g_row_waiting = false;
bool g_stop_requested = false;
constexpr auto kPatience = std::chrono::seconds(60);

int WaitAtSecondMessageRow(unsigned kind, void*, void* statement, void*) {
  if (kind != SQLITE_TRACE_ROW) return 0;
  const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
  if (sql == nullptr || std::string(sql).rfind("SELECT id, server_id, chat_id", 0) != 0) return 0;
  std::unique_lock<std::mutex> lock(g_mutex);
  if (g_row_waiting || ++g_message_rows < 2) return 0;
  g_row_waiting = true;
  g_changed.notify_all();
  g_changed.wait_for(lock, kPatience, [] { return g_stop_requested; });
  return 0;
}

int InstallRowHook(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_ROW, WaitAtSecondMessageRow, nullptr);
  return SQLITE_OK;
}

using AutoExtension = void (*)();
AutoExtension RowHookExtension() { return reinterpret_cast<AutoExtension>(&InstallRowHook); }

std::string Messages(int first_id, int count, const std::string& chat) {
  std::string sql;
  for (int id = first_id; id < first_id + count; ++id) {
    sql +=
        "INSERT INTO chat_history (id, server_id, type, chat_id, from_mid, content, "
        "created_time, attachement_type) VALUES (" +
        std::to_string(id) + ",'" + std::to_string(id) + "',1,'" + chat +
        "',NULL,'text','1673308800000',0);";
  }
  return sql;
}

TEST(AndroidLineConcurrencyTest, StopFromAnotherThreadDuringAnalysis) {
  test::TempDir source;
  test::TempDir out;
  test::TempDir logs;
  InitializeLibrary(logs.path().c_str(), test::ConfigFolder().c_str());
  const std::string first_chat = "ubbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
  const std::string second_chat = "ucccccccccccccccccccccccccccccccc";
  const std::string long_text(64 * 1024, 'v');
  const std::string db = source.File("naver_line");
  test::RunSql(db, samples::AndroidLineSchemaSql(2) +
                       "INSERT INTO chat (chat_id, owner_mid, type, last_created_time) VALUES ('" +
                       first_chat + "','uaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa',1,'2'), ('" +
                       second_chat + "','uaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa',1,'1');" +
                       "INSERT INTO chat_history (id, server_id, type, chat_id, content, "
                       "created_time, attachement_type) VALUES (1,'1',1,'" +
                       first_chat + "','" + long_text + "','1673308800000',0);" +
                       Messages(2, 20, second_chat));
  ASSERT_EQ(SQLITE_OK, sqlite3_auto_extension(RowHookExtension()));
  std::thread stopper([] {
    std::unique_lock<std::mutex> lock(g_mutex);
    if (!g_changed.wait_for(lock, kPatience, [] { return g_row_waiting; })) return;
    RequestStop();
    g_stop_requested = true;
    g_changed.notify_all();
  });

  g_callbacks = 0;
  const int status = test::PackageStagedRequest(
      test::RequestDocument(30, out.path(), "line_file_path", db), CountCallback);
  stopper.join();
  sqlite3_cancel_auto_extension(RowHookExtension());

  ASSERT_TRUE(g_stop_requested);
  // Detail files are written once every message is read: the stopped run
  // leaves only the staged copy, none of the chats' texts put aside.
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(std::vector<std::string>{"naver_line"}, left);

  EXPECT_EQ(1111, status);
  EXPECT_EQ(0, g_callbacks.load());
  const std::string log = test::ReadFileBytes(logs.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("AndroidLineDataPackage::_GetMessage stoped!"));
  EXPECT_NE(std::string::npos, log.find("AnalyseDatabase ERROR"));
  InitializeLibrary(logs.path().c_str(), test::ConfigFolder().c_str());
}

}  // namespace
}  // namespace kx
