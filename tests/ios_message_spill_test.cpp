// The messages put aside while a large store is read: what goes in comes
// back whole, group by group and in order, whether it stayed in memory or
// went to files; the files are gone afterwards, and a damaged one is told.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ios/message_spill.h"
#include "tests/test_support.h"

namespace kx {
namespace {

size_t FilesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

// Messages of three groups, interleaved as a store's pages give them.
std::vector<std::pair<size_t, std::string>> Interleaved() {
  std::vector<std::pair<size_t, std::string>> added;
  for (int i = 0; i < 30; ++i) {
    added.emplace_back(static_cast<size_t>(i % 3),
                       "message " + std::to_string(i) + std::string(static_cast<size_t>(i), 'x'));
  }
  added.emplace_back(1, "");  // an empty text still comes back
  // Texts that fill the blocks a group is kept in, and one larger than a
  // block.
  for (int i = 0; i < 6; ++i) {
    added.emplace_back(static_cast<size_t>(i % 3), std::string(30000, static_cast<char>('a' + i)));
  }
  added.emplace_back(2, std::string(70000, 'z'));
  added.emplace_back(2, "after the large one");
  return added;
}

TEST(IosMessageSpillTest, GivesBackEachGroupInOrderFromMemoryOrFiles) {
  // 0: never leaves memory; 1: every message goes to a file at once;
  // 200: a few flushes, with records in the file and in memory.
  for (const size_t limit : {size_t{1} << 20, size_t{1}, size_t{200}}) {
    SCOPED_TRACE(limit);
    test::TempDir dir;
    const std::vector<std::pair<size_t, std::string>> added = Interleaved();
    {
      MessageSpill spill(dir.path(), "spill_", 3, limit);
      for (size_t i = 0; i < added.size(); ++i) {
        const SpilledMessage message = {static_cast<uint32_t>(i), 7, -static_cast<int64_t>(i),
                                        static_cast<int64_t>(i) * 1000000007, added[i].second};
        ASSERT_TRUE(spill.Add(added[i].first, message));
      }
      EXPECT_EQ(limit == 1 ? 3u : limit == 200 ? 3u : 0u, FilesIn(dir.path()));
      for (size_t group = 0; group < 3; ++group) {
        std::vector<std::string> blocks;
        std::vector<SpilledMessage> messages;
        ASSERT_TRUE(spill.Take(group, &blocks, &messages));
        std::vector<std::string> texts;
        for (const SpilledMessage& message : messages) {
          EXPECT_EQ(7u, message.chat_order);
          EXPECT_EQ(-static_cast<int64_t>(message.session), message.date);
          EXPECT_EQ(static_cast<int64_t>(message.session) * 1000000007, message.row_id);
          EXPECT_EQ(added[message.session].second, message.text);
          EXPECT_EQ(group, added[message.session].first);
          texts.emplace_back(message.text);
        }
        std::vector<std::string> expected;
        for (const auto& [in_group, text] : added) {
          if (in_group == group) expected.push_back(text);
        }
        EXPECT_EQ(expected, texts);
        // Taken once: nothing is left of it.
        ASSERT_TRUE(spill.Take(group, &blocks, &messages));
        EXPECT_TRUE(messages.empty());
      }
      EXPECT_EQ(0u, FilesIn(dir.path()));
      EXPECT_FALSE(spill.Add(3, {}));
    }
  }
}

TEST(IosMessageSpillTest, RemovesItsFilesAndTellsADamagedOne) {
  test::TempDir dir;
  {
    MessageSpill spill(dir.path(), "spill_", 2, 1);
    ASSERT_TRUE(spill.Add(0, {0, 0, 1, 2, "first"}));
    ASSERT_TRUE(spill.Add(1, {1, 0, 1, 2, "second"}));
    ASSERT_EQ(2u, FilesIn(dir.path()));
    // Cut short, as a full disk would leave it.
    const std::string file = dir.File("spill_1.part");
    const std::string bytes = test::ReadFileBytes(file);
    test::WriteFileBytes(file, bytes.substr(0, bytes.size() - 2));
    std::vector<std::string> taken;
    std::vector<SpilledMessage> messages;
    EXPECT_FALSE(spill.Take(0, &taken, &messages));
  }
  // Group 1 was never taken: its file goes with the spill.
  EXPECT_EQ(0u, FilesIn(dir.path()));
}

}  // namespace
}  // namespace kx
