// A stop requested from another thread while the LINE packager is inside
// AnalyseDatabase. A FIFO stands where a contact card is written, and the
// card is larger than a pipe holds: the packager stays blocked writing it
// until the other thread, having requested the stop, drains the FIFO. So the
// stop lands inside the analysis on every run, without timing.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
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
  const std::string chat = "ubbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
  const std::string card(256 * 1024, 'v');  // several pipe buffers
  const std::string db = source.File("naver_line");
  test::RunSql(db, samples::AndroidLineSchemaSql(2) +
                       "INSERT INTO chat (chat_id, owner_mid, type, last_created_time) VALUES ('" +
                       chat + "','uaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa',1,'0');" +
                       Messages(1, 20, chat) +
                       "INSERT INTO chat_history (id, server_id, type, chat_id, content, "
                       "created_time, attachement_type, parameter) VALUES (21,'21',1,'" +
                       chat + "',NULL,'1673308800000',13,'displayName\tCard\tvCard\t" + card +
                       "');" + Messages(22, 20, chat));
  const std::string fifo = out.File("Card.vcf");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));

  std::thread stopper([&fifo, &card] {
    // Returns once the packager has opened the card for writing.
    const int fd = open(fifo.c_str(), O_RDONLY);
    if (fd < 0) return;
    RequestStop();
    std::vector<char> buffer(64 * 1024);
    size_t drained = 0;
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) {
      drained += static_cast<size_t>(n);
    }
    close(fd);
    EXPECT_EQ(card.size(), drained);
  });

  Json::Value request;
  request["package_type"] = 30;
  request["temp_folder"] = out.path();
  request["primary_file_object"]["line_file_path"] = db;
  const std::string text = WriteJson(request);
  g_callbacks = 0;
  const int status = PackageStaged(text.c_str(), static_cast<int>(text.size()), CountCallback);
  // Should the card never be opened, this releases the waiting thread (and
  // its drain check fails) instead of hanging.
  const int release = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (release >= 0) close(release);
  stopper.join();

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
