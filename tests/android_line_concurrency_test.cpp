// A stop requested from another thread while the LINE packager is inside
// AnalyseDatabase. Every SQLite connection of the process gets a row hook:
// the second row of the message query (the first chat's long message read)
// waits there until the other thread has requested the stop. The rest of
// the messages then meet the stop, on every run, without timing.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/json_util.h"
#include "samples/android_line.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

int g_callbacks = 0;

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

int CountCallback(int, const char*, int) {
  ++g_callbacks;
  return 0;
}

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

  Json::Value request;
  request["package_type"] = 30;
  request["temp_folder"] = out.path();
  request["primary_file_object"]["line_file_path"] = db;
  const std::string text = WriteJson(request);
  g_callbacks = 0;
  const int status = PackageStaged(text.c_str(), static_cast<int>(text.size()), CountCallback);
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
  EXPECT_EQ(0, g_callbacks);
  const std::string log = test::ReadFileBytes(logs.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("AndroidLineDataPackage::_GetMessage stoped!"));
  EXPECT_NE(std::string::npos, log.find("AnalyseDatabase ERROR"));
  InitializeLibrary(logs.path().c_str(), test::ConfigFolder().c_str());
}

}  // namespace
}  // namespace kx
