// A stop requested from another thread while the LINE packager is inside
// AnalyseDatabase. Every SQLite connection of the process gets a row hook:
// the first row read once the first chat's detail file exists (the second
// chat's first message) waits there until the other thread has requested
// the stop. The second chat's messages then meet the stop, on every run,
// without timing.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "common/json_util.h"
#include "package_capture.h"
#include "samples/android_line.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

int g_callbacks = 0;

std::mutex g_mutex;
std::condition_variable g_changed;
std::string g_first_details;  // the path whose existence opens the gate
bool g_row_waiting = false;
bool g_stop_requested = false;
constexpr auto kPatience = std::chrono::seconds(60);

int WaitAtFirstRowAfterDetails(unsigned kind, void*, void*, void*) {
  if (kind != SQLITE_TRACE_ROW) return 0;
  std::unique_lock<std::mutex> lock(g_mutex);
  std::error_code error;
  if (g_row_waiting || g_first_details.empty() ||
      !std::filesystem::exists(g_first_details, error)) {
    return 0;
  }
  g_row_waiting = true;
  g_changed.notify_all();
  g_changed.wait_for(lock, kPatience, [] { return g_stop_requested; });
  return 0;
}

int InstallRowHook(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_ROW, WaitAtFirstRowAfterDetails, nullptr);
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
  // Chats are analysed newest first: the first chat's details go to file 0.
  g_first_details = out.File("DataAnalysis_Line_0.json");
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

  // The first chat's detail file went through whole.
  ASSERT_TRUE(g_stop_requested);
  const Json::Value first_details = test::ParsedFile(g_first_details);
  ASSERT_EQ(1u, first_details.size());
  EXPECT_EQ(long_text, first_details[0]["content"].asString());

  EXPECT_EQ(1111, status);
  EXPECT_EQ(0, g_callbacks);
  const std::string log = test::ReadFileBytes(logs.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("AndroidLineDataPackage::_GetMessage stoped!"));
  EXPECT_NE(std::string::npos, log.find("AnalyseDatabase ERROR"));
  InitializeLibrary(logs.path().c_str(), test::ConfigFolder().c_str());
}

}  // namespace
}  // namespace kx
