// The host-specific pieces: path joining and the writer of new files; and
// the staging of source files and the listing of folders built on them.
#include "common/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "common/log.h"
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

// Paths are built from data as well: bytes that are not UTF-8, or a Windows
// name with a lone surrogate, convert without throwing and name one file.
TEST(WindowsPathTest, NamesThatAreNotUnicodeConvertWithoutThrowing) {
  test::TempDir dir;
  const std::string path = JoinPath(dir.path(), "bad\xFF\xC3(name");
  std::filesystem::path native;
  ASSERT_NO_THROW(native = PathFromUtf8(path));
  ASSERT_TRUE(WriteNewFile(path, "bytes").ok());
  std::ifstream written(native, std::ios::binary);
  std::string bytes;
  EXPECT_TRUE(std::getline(written, bytes));
  EXPECT_EQ("bytes", bytes);
  std::string back;
  ASSERT_NO_THROW(back = PathToUtf8(native));
  EXPECT_EQ(native, PathFromUtf8(back));
#if defined(_WIN32)
  const std::filesystem::path lone_surrogate(std::wstring(L"a") + wchar_t{0xD800});
  ASSERT_NO_THROW(back = PathToUtf8(lone_surrogate));
  EXPECT_EQ("a\xEF\xBF\xBD", back);
#endif
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

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitLogEx(nullptr, kLogModule, log_folder_.File("KxDataPackage.log").c_str());
  }
  void TearDown() override { InitLogEx(nullptr, kLogModule, nullptr); }

  std::string LogText() const { return ReadFileBytes(log_folder_.File("KxDataPackage.log")); }
  std::string Source(const std::string& name) const { return source_folder_.File(name); }
  std::string Dest(const std::string& name) const { return JoinPath(dest_folder_.path(), name); }
  std::string Stage(const std::string& source, const std::string& copy_name = std::string()) {
    return StageSourceFile(dest_folder_.path(), source, copy_name);
  }

  TempDir log_folder_;
  TempDir source_folder_;
  TempDir dest_folder_;
};

TEST_F(StagingTest, CopiesFileUnderItsOwnName) {
  for (const std::string name :
       {"calllog.db", "\xE9\x80\x9A\xE8\xAF\x9D\xE8\xAE\xB0\xE5\xBD\x95.db"}) {
    WriteFileBytes(Source(name), "main bytes");
    EXPECT_EQ(Dest(name), Stage(Source(name)));
    EXPECT_EQ("main bytes", ReadFileBytes(Dest(name)));
    EXPECT_FALSE(fs::exists(Dest(name + "-wal")));
  }
}

TEST_F(StagingTest, CopyNameReplacesSourceNameWithItsJournal) {
  WriteFileBytes(Source("contacts2.db"), "main");
  WriteFileBytes(Source("contacts2.db-wal"), "journal");
  WriteFileBytes(Source("contacts2.db-shm"), "shared memory");
  EXPECT_EQ(Dest("copy_1.db"), Stage(Source("contacts2.db"), "copy_1.db"));
  EXPECT_EQ("main", ReadFileBytes(Dest("copy_1.db")));
  EXPECT_EQ("journal", ReadFileBytes(Dest("copy_1.db-wal")));
  // The shared-memory index is rebuilt by SQLite; it is never copied.
  EXPECT_FALSE(fs::exists(Dest("copy_1.db-shm")));
  EXPECT_FALSE(fs::exists(Dest("contacts2.db")));
}

TEST_F(StagingTest, RestagingReplacesCopyAndRemovesStaleCompanions) {
  WriteFileBytes(Dest("notes.db"), "older copy");
  WriteFileBytes(Dest("notes.db-wal"), "stale journal");
  WriteFileBytes(Dest("notes.db-shm"), "stale index");
  WriteFileBytes(Source("notes.db"), "fresh");
  EXPECT_EQ(Dest("notes.db"), Stage(Source("notes.db")));
  EXPECT_EQ("fresh", ReadFileBytes(Dest("notes.db")));
  EXPECT_FALSE(fs::exists(Dest("notes.db-wal")));
  EXPECT_FALSE(fs::exists(Dest("notes.db-shm")));
}

TEST_F(StagingTest, SourceIsOnlyRead) {
  const std::string source = Source("photos.sqlite");
  WriteFileBytes(source, std::string("SQLite format 3\0payload", 23));
  WriteFileBytes(source + "-wal", "journal");
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(source, old_time);
  fs::permissions(source, fs::perms::owner_read | fs::perms::group_read);

  const std::string copy = Stage(source);
  ASSERT_EQ(Dest("photos.sqlite"), copy);
  EXPECT_EQ(std::string("SQLite format 3\0payload", 23), ReadFileBytes(source));
  EXPECT_EQ(ReadFileBytes(source), ReadFileBytes(copy));
  EXPECT_EQ(old_time, fs::last_write_time(source));
  EXPECT_EQ(fs::perms::owner_read | fs::perms::group_read,
            fs::status(source).permissions() & fs::perms::all);
  // Later steps write into the copy, so it must be writable even though the
  // source is not.
  EXPECT_NE(fs::perms::none, fs::status(copy).permissions() & fs::perms::owner_write);
  fs::permissions(source, fs::perms::owner_all);
}

TEST_F(StagingTest, SourceThatIsTheCopyIsLeftAlone) {
  WriteFileBytes(Dest("mmssms.db"), "already staged");
  WriteFileBytes(Dest("mmssms.db-wal"), "its journal");
  const auto before = fs::last_write_time(Dest("mmssms.db"));
  // Another spelling of the same file still counts as the copy.
  const std::string same_file = JoinPath(JoinPath(dest_folder_.path(), "."), "mmssms.db");
  EXPECT_EQ(Dest("mmssms.db"), Stage(same_file));
  EXPECT_EQ("already staged", ReadFileBytes(Dest("mmssms.db")));
  EXPECT_EQ("its journal", ReadFileBytes(Dest("mmssms.db-wal")));
  EXPECT_EQ(before, fs::last_write_time(Dest("mmssms.db")));
}

TEST_F(StagingTest, ListsFilesOfTreeSkippingHiddenFolders) {
  const std::string root = source_folder_.path();
  fs::create_directories(Source("DCIM/100APPLE"));
  fs::create_directories(Source(".thumbnails/deep"));
  fs::create_directories(Source("empty"));
  WriteFileBytes(Source("top.jpg"), "1");
  WriteFileBytes(Source("DCIM/a.png"), "2");
  WriteFileBytes(Source("DCIM/100APPLE/IMG_0001.HEIC"), "3");
  WriteFileBytes(Source(".thumbnails/deep/t.jpg"), "4");
  WriteFileBytes(Source(".nomedia"), "");

  std::vector<std::string> files = {"kept from before"};
  ASSERT_TRUE(ListFilesRecursive(root, &files));
  std::sort(files.begin(), files.end());
  std::vector<std::string> expected = {
      "kept from before",
      JoinPath(root, ".nomedia"),
      JoinPath(root, ".thumbnails"),
      JoinPath(root, "DCIM") + kPathSeparator + "100APPLE" + kPathSeparator + "IMG_0001.HEIC",
      JoinPath(JoinPath(root, "DCIM"), "a.png"),
      JoinPath(root, "top.jpg"),
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, files);
}

TEST_F(StagingTest, LinkedFoldersAreListedNotFollowed) {
  fs::create_directories(Source("real"));
  WriteFileBytes(Source("real/a.jpg"), "a");
  std::error_code error;
  fs::create_directory_symlink(Source("real"), Source("link"), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  // A link back to the root would make a followed walk endless.
  fs::create_directory_symlink(source_folder_.path(), Source("real/loop"), error);
  ASSERT_FALSE(error) << error.message();

  std::vector<std::string> files;
  ASSERT_TRUE(ListFilesRecursive(source_folder_.path(), &files));
  std::sort(files.begin(), files.end());
  const std::string real = Source("real");
  EXPECT_EQ(
      (std::vector<std::string>{Source("link"), JoinPath(real, "a.jpg"), JoinPath(real, "loop")}),
      files);
}

// --- Error paths -------------------------------------------------------------

TEST_F(StagingTest, MissingOrFolderSourceGivesEmptyPath) {
  fs::create_directories(Source("db_folder"));
  EXPECT_EQ("", Stage(Source("absent.db")));
  EXPECT_EQ("", Stage(""));
  EXPECT_EQ("", Stage(Source("db_folder")));
  EXPECT_TRUE(fs::is_empty(dest_folder_.path()));
  const std::string log = LogText();
  EXPECT_NE(std::string::npos, log.find("source file not found : " + Source("absent.db")));
  EXPECT_NE(std::string::npos, log.find("[3] [KxPackageDataSDK] [mediacommon], at "));
}

TEST_F(StagingTest, CopyFailureGivesEmptyPathAndLogsErrorText) {
  WriteFileBytes(Source("a.db"), "x");
  EXPECT_EQ("", StageSourceFile(JoinPath(dest_folder_.path(), "missing"), Source("a.db")));
  const std::string log = LogText();
  EXPECT_NE(std::string::npos, log.find("[3] [KxPackageDataSDK] filesystem error: ")) << log;
  EXPECT_NE(std::string::npos, log.find("cannot copy file")) << log;
}

TEST_F(StagingTest, MissingFolderOrFileIsNotListed) {
  WriteFileBytes(Source("plain.txt"), "x");
  std::vector<std::string> files;
  EXPECT_FALSE(ListFilesRecursive(Source("plain.txt"), &files));
  EXPECT_FALSE(ListFilesRecursive(Source("absent"), &files));
  EXPECT_TRUE(files.empty());
#if !defined(_WIN32)
  EXPECT_NE(std::string::npos, LogText().find("folder open fail : " + std::to_string(ENOENT) + "."))
      << LogText();
#endif
}

TEST_F(StagingTest, UnreadableSubFolderFailsAndKeepsOtherEntries) {
  fs::create_directories(Source("locked"));
  WriteFileBytes(Source("locked/inside.jpg"), "x");
  WriteFileBytes(Source("open.jpg"), "y");
  fs::permissions(Source("locked"), fs::perms::none);
  std::error_code error;
  fs::directory_iterator probe(Source("locked"), error);
  if (!error) {
    fs::permissions(Source("locked"), fs::perms::owner_all);
    GTEST_SKIP() << "permissions are not enforced for this user";
  }

  std::vector<std::string> files;
  EXPECT_FALSE(ListFilesRecursive(source_folder_.path(), &files));
  fs::permissions(Source("locked"), fs::perms::owner_all);
  EXPECT_EQ(std::vector<std::string>{Source("open.jpg")}, files);
  EXPECT_NE(std::string::npos, LogText().find("folder open fail"));
}

}  // namespace
}  // namespace kx
