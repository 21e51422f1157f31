// The sample backup: its catalogue names every file under the id its domain
// and path give, and the file sits where the two-level layout puts it. (The
// stores inside are packaged whole by the packagers' own tests.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "samples/ios_backup.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using test::QueryColumn;
using test::TempDir;

TEST(IosBackupSampleTest, CatalogueNamesFilesStoredUnderTheirIds) {
  TempDir dir;
  std::string error;
  samples::IosBackupOptions options;
  ASSERT_TRUE(samples::WriteIosBackup(dir.path(), options, &error)) << error;
  const std::string manifest = dir.File("Manifest.db");
  // Ids of the two stores as public write-ups on iOS backups give them.
  EXPECT_EQ((std::vector<std::string>{"31bb7ba8914766d4ba40d6dfb6113c8b614be442",
                                      "5a4935c78a5255723f707230a451d79c540d2741"}),
            QueryColumn(manifest,
                        "SELECT fileID FROM Files WHERE relativePath IN "
                        "('Library/AddressBook/AddressBook.sqlitedb', "
                        "'Library/CallHistoryDB/CallHistory.storedata') ORDER BY 1"));
  const std::vector<std::string> rows =
      QueryColumn(manifest,
                  "SELECT fileID || '|' || domain || '|' || relativePath || '|' || "
                  "flags FROM Files");
  int folders = 0;
  for (const std::string& row : rows) {
    const size_t a = row.find('|'), b = row.find('|', a + 1), c = row.rfind('|');
    const std::string id = row.substr(0, a);
    EXPECT_EQ(BackupFileId(row.substr(a + 1, b - a - 1), row.substr(b + 1, c - b - 1)), id);
    const bool file = row.substr(c + 1) == "1";
    folders += file ? 0 : 1;
    EXPECT_EQ(file, fs::is_regular_file(fs::u8path(BackupFilePath(dir.path(), id, true)))) << row;
  }
  EXPECT_GT(folders, 0);
  const std::string info = test::ReadFileBytes(dir.File("Info.plist"));
  EXPECT_NE(std::string::npos, info.find("<key>Product Version</key>\n\t<string>17.3.1</string>"));
  EXPECT_NE(
      std::string::npos,
      test::ReadFileBytes(dir.File("Manifest.plist")).find("<key>IsEncrypted</key>\n\t<false/>"));
}

}  // namespace
}  // namespace kx
