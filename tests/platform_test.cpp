// The host-specific pieces: path joining and the writer of new files.
#include "common/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "test_support.h"

namespace kx {
namespace {

using test::ReadFileBytes;

TEST(JoinPathTest, OneSeparatorBetweenFolderAndName) {
  const std::string separator(1, kPathSeparator);
  EXPECT_EQ("a" + separator + "b.db", JoinPath("a", "b.db"));
  EXPECT_EQ("a/b.db", JoinPath("a/", "b.db"));
  EXPECT_EQ("a" + separator + "b.db", JoinPath("a" + separator, "b.db"));
  EXPECT_EQ("b.db", JoinPath("", "b.db"));
}

class WriteNewFileTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
};

TEST_F(WriteNewFileTest, WritesEveryByteOfAnySize) {
  const std::string binary("\xFF\xD8\x00\x01\r\n\x1A", 7);
  for (const std::string& bytes : {std::string(), binary, std::string(3 << 20, 'x')}) {
    const std::string path = dir_.File("file_" + std::to_string(bytes.size()));
    const FileWriteResult result = WriteNewFile(path, bytes);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(bytes, ReadFileBytes(path));
  }
}

// A name that already exists gets a new file: a longer old file leaves no
// tail behind, and another name linked to the old file keeps its bytes.
TEST_F(WriteNewFileTest, ReplacesTheNameNotTheFileBehindIt) {
  const std::string path = dir_.File("thumb.thumb");
  const std::string other = dir_.File("other.thumb");
  test::WriteFileBytes(path, "old and longer bytes");
  std::filesystem::create_hard_link(PathFromUtf8(path), PathFromUtf8(other));

  ASSERT_TRUE(WriteNewFile(path, "new").ok());
  EXPECT_EQ("new", ReadFileBytes(path));
  EXPECT_EQ("old and longer bytes", ReadFileBytes(other));
}

// A link planted under the name is replaced, never followed: nothing is
// written outside the folder.
TEST_F(WriteNewFileTest, ASymbolicLinkUnderTheNameIsNotFollowed) {
  test::TempDir outside;
  const std::string target = outside.File("victim.txt");
  test::WriteFileBytes(target, "keep me");
  const std::string path = dir_.File("planted.thumb");
  std::error_code error;
  std::filesystem::create_symlink(PathFromUtf8(target), PathFromUtf8(path), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();

  ASSERT_TRUE(WriteNewFile(path, "thumbnail").ok());
  EXPECT_EQ("keep me", ReadFileBytes(target));
  EXPECT_FALSE(std::filesystem::is_symlink(PathFromUtf8(path)));
  EXPECT_EQ("thumbnail", ReadFileBytes(path));
}

TEST_F(WriteNewFileTest, AFolderThatIsGoneFailsAtOpen) {
  const FileWriteResult result = WriteNewFile(dir_.File("gone/file.json"), "[]");
  EXPECT_EQ(FileStep::kOpen, result.failed_step);
  EXPECT_EQ(ENOENT, result.error);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("gone")));
}

TEST_F(WriteNewFileTest, AFolderInTheWayIsNotReplaced) {
  const std::string path = dir_.File("taken");
  std::filesystem::create_directories(PathFromUtf8(path) / "inside");
  const FileWriteResult result = WriteNewFile(path, "bytes");
  EXPECT_EQ(FileStep::kOpen, result.failed_step);
  EXPECT_NE(0, result.error);
  EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(path) / "inside"));
}

}  // namespace
}  // namespace kx
