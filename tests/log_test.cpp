#include "common/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/platform.h"
#include "test_support.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using kx::test::ReadFileBytes;
using kx::test::TempDir;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { InitLogEx("config", kx::kLogModule, log_path_.c_str()); }
  void TearDown() override { InitLogEx(nullptr, kx::kLogModule, nullptr); }

  TempDir folder_;
  std::string log_path_ = folder_.File("KxDataPackage.log");
};

TEST_F(LogTest, WritesTimeLevelModuleAndMessage) {
  LogEx(kx::kLogModule, 1, "data package sdk: %s", "1, 1, 0, 224-D-a768edc7");
  KX_LOG_AT(kx::kLogError, "sqlitecommon", "sqlite error message : %s.", "no such table");
  const std::vector<std::string> lines = Lines(ReadFileBytes(log_path_));
  ASSERT_EQ(2u, lines.size());
  const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} )");
  EXPECT_TRUE(std::regex_search(lines[0], stamp, std::regex_constants::match_continuous))
      << lines[0];
  EXPECT_EQ("[1] [KxPackageDataSDK] data package sdk: 1, 1, 0, 224-D-a768edc7",
            lines[0].substr(24));
  EXPECT_EQ(0u, lines[1].substr(24).find("[3] [KxPackageDataSDK] [sqlitecommon], at ")) << lines[1];
  EXPECT_NE(std::string::npos, lines[1].find(" line, sqlite error message : no such table."));
}

TEST_F(LogTest, AppendsWholeLinesToExistingFileWithOneLineBreak) {
  InitLogEx(nullptr, kx::kLogModule, nullptr);
  kx::test::WriteFileBytes(log_path_, "earlier line\n");
  InitLogEx(nullptr, kx::kLogModule, log_path_.c_str());
  KX_LOG_OP(kx::kLogError, "SQLiteErrorLog", "SQLite Error : %s\n", "disk I/O error");
  const std::string long_text(100000, 'q');
  KX_LOG(kx::kLogDetail, "sql:{%s}", long_text.c_str());
  const std::vector<std::string> lines = Lines(ReadFileBytes(log_path_));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("earlier line", lines[0]);
  EXPECT_NE(std::string::npos, lines[2].find("sql:{" + long_text + "}"));  // written whole
  EXPECT_NE(std::string::npos, lines[1].find("] [SQLiteErrorLog]("));
  EXPECT_EQ(
      ": SQLite Error : disk I/O error",
      lines[1].substr(lines[1].size() - std::string(": SQLite Error : disk I/O error").size()));
}

TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      const std::string padding(300 + t * 50, static_cast<char>('a' + t));
      for (int i = 0; i < kLinesEach; ++i) {
        KX_LOG(kx::kLogProgress, "thread %d line %d %s end", t, i, padding.c_str());
      }
    });
  }
  for (auto& writer : writers) writer.join();

  const std::vector<std::string> lines = Lines(ReadFileBytes(log_path_));
  ASSERT_EQ(static_cast<size_t>(kThreads * kLinesEach), lines.size());
  const std::regex whole(R"(\S+ \S+ \[1\] \[KxPackageDataSDK\] thread (\d) line \d+ [a-h]+ end)");
  std::vector<int> per_thread(kThreads, 0);
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, whole)) << line.substr(0, 120);
    const int thread = std::stoi(match[1]);
    EXPECT_EQ(std::string(300 + thread * 50, static_cast<char>('a' + thread)),
              line.substr(line.size() - 4 - (300 + thread * 50), 300 + thread * 50));
    ++per_thread[thread];
  }
  EXPECT_EQ(std::vector<int>(kThreads, kLinesEach), per_thread);
}

TEST_F(LogTest, SwitchingFilesSendsLinesToTheNewOne) {
  const std::string second = folder_.File("second.log");
  KX_LOG(kx::kLogProgress, "first");
  InitLogEx(nullptr, kx::kLogModule, second.c_str());
  KX_LOG(kx::kLogProgress, "second");
  EXPECT_EQ(1u, Lines(ReadFileBytes(log_path_)).size());
  const std::vector<std::string> lines = Lines(ReadFileBytes(second));
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("] second"));
}

// --- Error paths -------------------------------------------------------------

TEST_F(LogTest, UnopenableLogFileDropsMessages) {
  const std::string unopenable = kx::JoinPath(folder_.File("no_such_folder"), "x.log");
  InitLogEx(nullptr, kx::kLogModule, unopenable.c_str());
  KX_LOG(kx::kLogError, "dropped %d", 1);
  LogEx(nullptr, 1, nullptr);
  EXPECT_FALSE(std::filesystem::exists(unopenable));
  // A later working path logs again.
  InitLogEx(nullptr, kx::kLogModule, log_path_.c_str());
  KX_LOG(kx::kLogError, "kept");
  const std::vector<std::string> lines = Lines(ReadFileBytes(log_path_));
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("] kept"));
}

#if !defined(_WIN32)
// Neither a FIFO (whose open would wait for a reader) nor a link planted
// under the log's name is opened; their messages are dropped.
TEST_F(LogTest, PlantedFifoOrLinkIsNotOpened) {
  const std::string target = folder_.File("elsewhere.txt");
  kx::test::WriteFileBytes(target, "kept\n");
  const std::string fifo = folder_.File("fifo.log");
  const std::string link = folder_.File("link.log");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  std::filesystem::create_symlink(target, link);
  for (const std::string& planted : {fifo, link}) {
    InitLogEx(nullptr, kx::kLogModule, planted.c_str());
    KX_LOG(kx::kLogError, "dropped");
  }
  EXPECT_EQ("kept\n", ReadFileBytes(target));
}
#endif

}  // namespace
