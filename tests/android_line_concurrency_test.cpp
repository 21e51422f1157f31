// A stop requested from another thread while the LINE packager is inside
// AnalyseDatabase. A FIFO stands where the first chat's detail file is
// written, and that chat holds more text than a pipe: the packager stays
// blocked writing it until the other thread, having requested the stop,
// drains the FIFO. The second chat's messages then meet the stop, on every
// run, without timing.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <json/json.h>

#include <string>
#include <thread>
#include <vector>

#include "common/json_util.h"
#include "samples/android_line.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

#if !defined(_WIN32)

int g_callbacks = 0;

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
  const std::string long_text(256 * 1024, 'v');  // several pipe buffers
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
  const std::string fifo = out.File("DataAnalysis_Line_0.json");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  // Opened before the package starts, without waiting for a writer, so that
  // this thread can give up on a packager that never writes to it.
  const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);

  std::string drained;
  std::thread stopper([fd, &drained] {
    pollfd waiting = {fd, POLLIN, 0};
    if (poll(&waiting, 1, 60 * 1000) != 1) return;  // the drain check fails
    RequestStop();
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::vector<char> buffer(64 * 1024);
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) {
      drained.append(buffer.data(), static_cast<size_t>(n));
    }
  });

  Json::Value request;
  request["package_type"] = 30;
  request["temp_folder"] = out.path();
  request["primary_file_object"]["line_file_path"] = db;
  const std::string text = WriteJson(request);
  g_callbacks = 0;
  const int status = PackageStaged(text.c_str(), static_cast<int>(text.size()), CountCallback);
  stopper.join();
  close(fd);

  // The first chat's detail file went through whole.
  Json::Value first_details;
  std::string error;
  ASSERT_TRUE(ParseJson(drained.c_str(), &first_details, &error)) << drained.size() << " bytes";
  ASSERT_EQ(1u, first_details.size());
  EXPECT_EQ(long_text, first_details[0]["content"].asString());

  EXPECT_EQ(1111, status);
  EXPECT_EQ(0, g_callbacks);
  const std::string log = test::ReadFileBytes(logs.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("AndroidLineDataPackage::_GetMessage stoped!"));
  EXPECT_NE(std::string::npos, log.find("AnalyseDatabase ERROR"));
  InitializeLibrary(logs.path().c_str(), test::ConfigFolder().c_str());
}

#endif  // !_WIN32

}  // namespace
}  // namespace kx
