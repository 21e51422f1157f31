// The files of the WhatsApp package step: side files and batch files arrive
// whole, in order, and batch files reach their chat's list only once written.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/chat_batches.h"
#include "common/json_util.h"
#include "common/platform.h"
#include "test_support.h"

namespace kx {
namespace {

using test::ReadFileBytes;

std::string Batch(int number) { return "[ \"batch " + std::to_string(number) + "\" ]"; }

TEST(WhatsAppFileWriterTest, FilesArriveWholeAndListedInOrder) {
  test::TempDir dir;
  Json::Value first_list(Json::arrayValue);
  Json::Value second_list(Json::arrayValue);
  std::vector<std::string> side_paths;
  std::string text;
  {
    PackageFileWriter files(dir.path());
    for (int i = 0; i < 200; ++i) {
      side_paths.push_back(
          files.AddSideFile("side" + std::to_string(i), std::string(1 + i % 7, 'x')));
      if (i % 20 == 0) {
        text = Batch(i);
        files.AddBatch(dir.File("batch" + std::to_string(i)), &text,
                       i % 40 == 0 ? &first_list : &second_list);
        EXPECT_TRUE(text.empty());
      }
    }
  }
  ASSERT_EQ(5u, first_list.size());
  ASSERT_EQ(5u, second_list.size());
  for (Json::ArrayIndex i = 0; i < 5; ++i) {
    EXPECT_EQ(dir.File("batch" + std::to_string(i * 40)), first_list[i].asString());
    EXPECT_EQ(Batch(static_cast<int>(i) * 40), ReadFileBytes(first_list[i].asString()));
    EXPECT_EQ(dir.File("batch" + std::to_string(i * 40 + 20)), second_list[i].asString());
  }
  for (size_t i = 0; i < side_paths.size(); ++i) {
    EXPECT_EQ(std::string(1 + i % 7, 'x'), ReadFileBytes(side_paths[i])) << i;
  }
}

// Many large batches and repeated side files: nothing is lost.
TEST(WhatsAppFileWriterTest, ManyFilesAreAllWritten) {
  test::TempDir dir;
  Json::Value list(Json::arrayValue);
  const std::string large(3 * 1024 * 1024, 'b');
  {
    PackageFileWriter files(dir.path());
    for (int i = 0; i < 8; ++i) {
      std::string text = large;
      files.AddBatch(dir.File("large" + std::to_string(i)), &text, &list);
      for (int j = 0; j < 300; ++j) {
        files.AddSideFile(std::to_string(i) + "_" + std::to_string(j), "same bytes");
      }
    }
  }
  ASSERT_EQ(8u, list.size());
  for (const Json::Value& path : list) EXPECT_EQ(large, ReadFileBytes(path.asString()));
  EXPECT_EQ("same bytes", ReadFileBytes(dir.File("7_299")));
  EXPECT_EQ(8 + 8 * 300, std::distance(std::filesystem::directory_iterator(dir.path()),
                                       std::filesystem::directory_iterator()));
}

// Error paths follow.

TEST(WhatsAppFileWriterTest, UnwritableBatchesAreNotListed) {
  test::TempDir dir;
  const std::string removed = dir.File("removed");
  Json::Value list(Json::arrayValue);
  std::string side_path;
  {
    PackageFileWriter files(removed);
    std::string text = Batch(1);
    files.AddBatch(JoinPath(removed, "batch"), &text, &list);
    side_path = files.AddSideFile("side", "bytes");
  }
  EXPECT_EQ(0u, list.size());
  EXPECT_EQ("", side_path);  // not written, so not reported
  EXPECT_FALSE(std::filesystem::exists(removed));
}

}  // namespace
}  // namespace kx
