// The LINE detail texts of many chats written at once: whether they wait in
// memory or go to files of their own on the way, each chat's detail file
// holds the bytes of its messages written in one go, numbered in chat order.
#include "pipeline/android_line_details.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/platform.h"
#include "packager/staged_package.h"
#include "pipeline/android_line_storage.h"
#include "test_support.h"

namespace kx {
namespace {

LineMessage Numbered(int chat, int n) {
  LineMessage message;
  message.content = "chat " + std::to_string(chat) + " message " + std::to_string(n);
  message.id = n;
  return message;
}

std::string WrittenInOneGo(LineMessages messages) {
  std::ostringstream out;
  WriteLineMessagesJson(TakeFrom(&messages), &out);
  return out.str();
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Chat 1 has no messages; the others' interleave, chat 2's the most.
TEST(LineDetailTextsTest, InMemoryOrPutAsideGivesTheSameNumberedFiles) {
  for (const size_t memory_limit : {size_t{1} << 20, size_t{2000}, size_t{1}}) {
    SCOPED_TRACE(memory_limit);
    test::TempDir out;
    std::vector<LineMessages> expected(3);
    std::vector<std::string> paths;
    {
      LineDetailTexts texts(out.path(), 3, memory_limit);
      for (int n = 0; n < 40; ++n) {
        const int chat = n % 4 == 0 ? 0 : 2;
        expected[chat].push_back(Numbered(chat, n));
        texts.Add(chat, expected[chat].back());
      }
      int counter = 0;
      for (size_t chat = 0; chat < 3; ++chat) {
        paths.push_back(texts.Save(chat, kLineDetailPrefix, &counter, DetailFileItem()));
      }
      EXPECT_EQ(2, counter);
    }
    EXPECT_EQ((std::vector<std::string>{out.File("DataAnalysis_Line_0.json"), "",
                                        out.File("DataAnalysis_Line_1.json")}),
              paths);
    EXPECT_EQ(WrittenInOneGo(expected[0]), test::ReadFileBytes(paths[0]));
    EXPECT_EQ(WrittenInOneGo(expected[2]), test::ReadFileBytes(paths[2]));
    EXPECT_EQ((std::vector<std::string>{"DataAnalysis_Line_0.json", "DataAnalysis_Line_1.json"}),
              FolderNames(out.path()));
  }
}

// A folder planted under the first detail file's name: the chat whose file
// cannot take that name loses its details, its text put aside or not, and
// nothing of it is left behind.
TEST(LineDetailTextsTest, NameThatCannotBeTakenLosesOnlyThatChatsDetails) {
  for (const size_t memory_limit : {size_t{1} << 20, size_t{1}}) {
    SCOPED_TRACE(memory_limit);
    test::TempDir out;
    std::filesystem::create_directory(PathFromUtf8(out.File("DataAnalysis_Line_0.json")));
    LineDetailTexts texts(out.path(), 1, memory_limit);
    texts.Add(0, Numbered(0, 1));
    int counter = 0;
    EXPECT_EQ("", texts.Save(0, kLineDetailPrefix, &counter, DetailFileItem()));
    EXPECT_EQ(0, counter);
    EXPECT_EQ(std::vector<std::string>{"DataAnalysis_Line_0.json"}, FolderNames(out.path()));
  }
}

}  // namespace
}  // namespace kx
