// The host-specific pieces: path joining and the writer of new files.
#include "common/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "common/staging.h"
#include "common/text.h"
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

std::string Repeat(const std::string& text, size_t times) {
  std::string repeated;
  for (size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}

// The forms of Windows path a host may hand in, and what the W functions
// are given for them.
TEST(WindowsExtendedPathTest, LongAbsolutePathsGetTheExtendedPrefix) {
  const std::string name(kMaxPlainWindowsPath, 'a');
  const std::string e_acute = "\xC3\xA9";         // 2 bytes, 1 UTF-16 unit
  const std::string bei = "\xE5\xA4\x87";         // 3 bytes, 1 unit
  const std::string camera = "\xF0\x9F\x93\xB7";  // 4 bytes, 2 units
  const struct {
    std::string path, expected;
  } cases[] = {
      {"C:\\Users\\Zo\xC3\xAB\\T\xC3\xA9l\xC3\xA9"
       "chargements\\" +
           bei + "\\sms.db",
       "C:\\Users\\Zo\xC3\xAB\\T\xC3\xA9l\xC3\xA9"
       "chargements\\" +
           bei + "\\sms.db"},
      {"C:\\" + name, "\\\\?\\C:\\" + name},
      {"d:/x/./y/../" + name + "/", "\\\\?\\d:\\x\\" + name},
      {"C:\\..\\..\\" + name, "\\\\?\\C:\\" + name},
      {"\\\\server\\share\\" + name, "\\\\?\\UNC\\server\\share\\" + name},
      {"//server/share/../" + name, "\\\\?\\UNC\\server\\share\\" + name},
      {"\\\\?\\C:\\" + name + "\\..", "\\\\?\\C:\\" + name + "\\.."},
      {"\\\\.\\pipe\\" + name, "\\\\.\\pipe\\" + name},
      {name + "\\relative", name + "\\relative"},
      {"\\" + name, "\\" + name},
      {"C:" + name, "C:" + name},
      // Counted in UTF-16 units, as the limit is, not in bytes.
      {"C:\\" + Repeat(bei, 200), "C:\\" + Repeat(bei, 200)},
      {"C:\\" + Repeat(e_acute, 250), "\\\\?\\C:\\" + Repeat(e_acute, 250)},
      {"C:\\" + Repeat(camera, 122), "C:\\" + Repeat(camera, 122)},
      {"C:\\" + Repeat(camera, 123), "\\\\?\\C:\\" + Repeat(camera, 123)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, WindowsExtendedPath(c.path)) << c.path;
}

// A temp folder with non-ASCII names and a path longer than MAX_PATH: the
// folder is made, SQLite opens a database in it, a source is staged into it,
// new files are written and everything is listed, each under its own name.
TEST(WindowsPathTest, NonAsciiAndLongFoldersWork) {
  test::TempDir dir;
  std::string folder = JoinPath(JoinPath(JoinPath(dir.path(), "Zo\xC3\xAB"),
                                         "T\xC3\xA9l\xC3\xA9"
                                         "chargements"),
                                "\xE5\xA4\x87\xE4\xBB\xBD");
  while (folder.size() < 300) folder = JoinPath(folder, std::string(40, 'd'));
  ASSERT_TRUE(EnsureFolder(folder));
  const std::string source = JoinPath(folder, "\xE7\x9F\xAD\xE4\xBF\xA1.db");
  {
    const std::unique_ptr<SQLite3Wrapper> db = OpenDatabase(source, OpenMode::kReadWriteCreate);
    ASSERT_NE(nullptr, db);
    ASSERT_EQ(0, db->Exec("CREATE TABLE t(x); INSERT INTO t VALUES (1);"));
  }
  ASSERT_TRUE(EnsureFolder(JoinPath(folder, "staged")));
  const std::string staged = StageSourceFile(JoinPath(folder, "staged"), source);
  ASSERT_EQ(JoinPath(JoinPath(folder, "staged"), "\xE7\x9F\xAD\xE4\xBF\xA1.db"), staged);
  {
    const std::unique_ptr<SQLite3Wrapper> copy = OpenDatabase(staged, OpenMode::kReadOnly);
    ASSERT_NE(nullptr, copy);
    SqliteStatement select;
    ASSERT_EQ(SQLITE_OK, select.Prepare(*copy, "SELECT x FROM t"));
    ASSERT_EQ(SQLITE_ROW, select.Step());
    EXPECT_EQ(1, select.ColumnInt(0));
  }
  ASSERT_TRUE(WriteNewFile(JoinPath(folder, "r\xC3\xA9sum\xC3\xA9.json"), "{}").ok());

  std::vector<std::string> files;
  ASSERT_TRUE(ListFilesRecursive(folder, &files));
  std::sort(files.begin(), files.end());
  const std::vector<std::string> expected = {JoinPath(folder, "r\xC3\xA9sum\xC3\xA9.json"), staged,
                                             source};
  EXPECT_EQ(expected, files);
  // The names on disk are the Unicode names, not their bytes read in some
  // code page.
  for (const std::string& file : expected) {
    const std::u16string wide = Utf8ToUtf16(WindowsExtendedPath(file));
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(wide))) << file;
  }
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
