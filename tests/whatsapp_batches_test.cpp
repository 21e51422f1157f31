// Side files of the WhatsApp packager (one file per thumbnail or card, the
// same bytes shared through hard links) and the batch files of the
// packagers.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "kit/chat_batches.h"
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

Json::Value Record(int id) {
  Json::Value record(Json::objectValue);
  record["id"] = id;
  record["text"] = "record " + std::to_string(id);
  return record;
}

// A batch file holds the text WriteJson gives for the same document, a bare
// array or one member's array, and is listed in the order written.
TEST(BatchWriterTest, BatchesAreTheirDocumentsAsWriteJsonLaysThemOut) {
  test::TempDir dir;
  for (const char* member : {static_cast<const char*>(nullptr), "messages"}) {
    BatchWriter batches(dir.path(), member);
    Json::Value list(Json::arrayValue);
    for (int file = 0; file < 3; ++file) {
      Json::Value records(Json::arrayValue);
      for (int id = 0; id <= file; ++id) {
        records.append(Record(id));
        batches.Add(Record(id));
      }
      EXPECT_EQ(file + 1, batches.size());
      const std::string name = (member != nullptr ? "member" : "bare") + std::to_string(file);
      ASSERT_TRUE(batches.WriteListed(name, &list));
      EXPECT_EQ(0, batches.size());
      Json::Value document = records;
      if (member != nullptr) {
        document = Json::Value(Json::objectValue);
        document[member] = records;
      }
      EXPECT_EQ(dir.File(name), list[file].asString());
      EXPECT_EQ(WriteJson(document), ReadFileBytes(dir.File(name)));
    }
  }
}

// Error paths follow.

TEST(BatchWriterTest, ABatchNotWrittenIsLeftOutOfTheList) {
  test::TempDir dir;
  Json::Value list(Json::arrayValue);
  BatchWriter missing_folder(dir.File("removed"));
  missing_folder.Add(Record(1));
  EXPECT_FALSE(missing_folder.WriteListed("a.json", &list));

  BatchWriter batches(dir.path());
  batches.Next()->String("not an object");
  EXPECT_FALSE(batches.WriteListed("b.json", &list));
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.json")));
  batches.Add(Record(2));
  EXPECT_TRUE(batches.WriteListed("c.json", &list));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ("[\n   {\n      \"id\" : 2,\n      \"text\" : \"record 2\"\n   }\n]",
            ReadFileBytes(list[0].asString()));
}

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
