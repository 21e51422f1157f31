// Side files of the WhatsApp packager (one file per thumbnail or card, the
// same bytes shared through hard links) and the streaming of message trees
// into batch text.
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

TEST(WriteJsonValueTest, StreamsMessageTreesAsWriteJsonLaysThemOut) {
  Json::Value batch(Json::arrayValue);
  Json::Value message(Json::objectValue);
  message["row_id"] = Json::Int64(12);
  message["send_status"] = Json::UInt64(1);
  message["universal_type"] = Json::UInt64(4294967295u);
  message["content"] = "Schau mal: https://example.org/wiki/Z%C3%BCrich?lang=de 😊";
  message["url_links"].append("https://example.org/wiki/Z%C3%BCrich?lang=de");
  message["media_duration"] = 2.5;
  message["quote_content"]["q_is_deleted"] = 1;
  message["quote_content"]["quote_sender_id"] = "";
  batch.append(message);
  message["url_links"].append(std::string(80, 'w'));
  message["quote_content"] = Json::Value(Json::objectValue);
  message["flag"] = true;
  message["nothing"] = Json::Value();
  batch.append(message);

  std::string text;
  JsonTextWriter writer(&text);
  WriteJsonValue(batch, &writer);
  ASSERT_TRUE(writer.complete());
  EXPECT_EQ(WriteJson(batch), text);
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
