// Side files of the WhatsApp packager (one file per thumbnail or card, the
// same bytes shared through hard links) and the writer that puts them and
// the batch files on disk.
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

const std::string kPicture("\xFF\xD8\xFF\xE0 picture \x00\x01", 16);
const std::string kCard = "BEGIN:VCARD\nFN:José\nEND:VCARD\n";

class SideFileWriterTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  SideFileWriter files_{dir_.path()};
};

TEST_F(SideFileWriterTest, EveryNameHoldsItsBytes) {
  std::vector<std::string> paths;
  for (int i = 0; i < 5; ++i) {
    paths.push_back(files_.Write("picture" + std::to_string(i) + ".thumb", kPicture));
    paths.push_back(files_.Write("card" + std::to_string(i) + ".vcf", kCard));
  }
  for (size_t i = 0; i < paths.size(); ++i) {
    ASSERT_FALSE(paths[i].empty());
    EXPECT_EQ(dir_.path(), PathToUtf8(PathFromUtf8(paths[i]).parent_path()));
    EXPECT_EQ(i % 2 == 0 ? kPicture : kCard, ReadFileBytes(paths[i])) << paths[i];
  }
  EXPECT_EQ(10, std::distance(std::filesystem::directory_iterator(dir_.path()),
                              std::filesystem::directory_iterator()));
}

// Equal bytes share one file; a name written again with other bytes gets a
// file of its own and leaves the names that shared its old file alone.
TEST_F(SideFileWriterTest, ReplacingASharedNameLeavesTheOthersAlone) {
  const std::string first = files_.Write("a.thumb", kPicture);
  const std::string second = files_.Write("b.thumb", kPicture);
  const std::string third = files_.Write("c.thumb", kPicture);
  ASSERT_EQ(first, files_.Write("a.thumb", "other bytes"));
  EXPECT_EQ("other bytes", ReadFileBytes(first));
  EXPECT_EQ(kPicture, ReadFileBytes(second));
  EXPECT_EQ(kPicture, ReadFileBytes(third));

  // The picture again, and the first name's new bytes again.
  const std::string fourth = files_.Write("d.thumb", kPicture);
  const std::string fifth = files_.Write("e.thumb", "other bytes");
  ASSERT_EQ(third, files_.Write("c.thumb", kCard));
  EXPECT_EQ(kPicture, ReadFileBytes(second));
  EXPECT_EQ(kPicture, ReadFileBytes(fourth));
  EXPECT_EQ("other bytes", ReadFileBytes(fifth));
  EXPECT_EQ(kCard, ReadFileBytes(third));
  // The same bytes under the same name again.
  ASSERT_EQ(second, files_.Write("b.thumb", kPicture));
  EXPECT_EQ(kPicture, ReadFileBytes(second));
  EXPECT_EQ(kPicture, ReadFileBytes(fourth));
}

// A file left by an earlier run that shares its bytes with others is
// replaced, not written through.
TEST_F(SideFileWriterTest, AnEarlierRunsLinkedFileIsReplaced) {
  const std::string kept = dir_.File("kept.thumb");
  test::WriteFileBytes(kept, kPicture);
  std::filesystem::create_hard_link(kept, dir_.File("old.thumb"));
  EXPECT_EQ(dir_.File("old.thumb"), files_.Write("old.thumb", kCard));
  EXPECT_EQ(kPicture, ReadFileBytes(kept));
  EXPECT_EQ(kCard, ReadFileBytes(dir_.File("old.thumb")));
}

// The package step's files: side files and batch files arrive whole, in
// order, and batch files reach their chat's list only once written.
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

TEST_F(SideFileWriterTest, NothingIsWrittenForNoBytesOrAnUnwritableFolder) {
  EXPECT_EQ("", files_.Write("empty.thumb", ""));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("empty.thumb")));

  SideFileWriter missing_folder(dir_.File("removed"));
  EXPECT_EQ("", missing_folder.Write("a.thumb", kPicture));
  EXPECT_EQ("", missing_folder.Write("b.thumb", kPicture));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("removed")));
}

TEST_F(SideFileWriterTest, HostileNamesStayInTheFolder) {
  for (const char* name : {"../../../evil.thumb", ".."}) {
    const std::string path = files_.Write(name, kPicture);
    ASSERT_FALSE(path.empty()) << name;
    EXPECT_EQ(dir_.path(), PathToUtf8(PathFromUtf8(path).parent_path())) << name;
    EXPECT_EQ(kPicture, ReadFileBytes(path)) << name;
  }
}

}  // namespace
}  // namespace kx
