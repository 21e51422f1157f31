// The iOS generators write what the packagers rely on: each store version
// has or lacks the columns the packagers' queries name, the traces of
// deleted records are there, and a backup's files sit where their ids say.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "samples/ios_address_book.h"
#include "samples/ios_backup.h"
#include "samples/ios_call_history.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using samples::IosSampleOptions;
using test::QueryColumn;
using test::TempDir;

// "name:type" of every column of `table`, in order.
std::vector<std::string> Columns(const std::string& path, const std::string& table) {
  return QueryColumn(path, "SELECT name || ':' || type FROM pragma_table_info('" + table + "')");
}

bool Has(const std::vector<std::string>& columns, const std::string& column) {
  for (const std::string& entry : columns) {
    if (entry == column) return true;
  }
  return false;
}

std::string DeletedNumbers(const std::string& path, const std::string& join_column) {
  const std::vector<std::string> rows = QueryColumn(
      path,
      "select cast(ZVALUE as text) from ZHANDLE left join Z_2REMOTEPARTICIPANTHANDLES ON "
      "ZHANDLE.Z_PK=Z_2REMOTEPARTICIPANTHANDLES." +
          join_column +
          " left join ZCALLRECORD ON ZCALLRECORD.Z_PK=Z_2REMOTEPARTICIPANTHANDLES."
          "Z_2REMOTEPARTICIPANTCALLS WHERE ZCALLRECORD.Z_PK is null");
  std::string joined;
  for (const std::string& row : rows) joined += row + ";";
  return joined;
}

TEST(IosCallHistorySampleTest, VersionsHaveTheirColumnsAndForgottenNumbers) {
  const struct {
    int version;
    bool location;     // ZLOCATION and ZSERVICE_PROVIDER
    bool participant;  // ZLOCALPARTICIPANTUUID, a BLOB
    const char* join_column;
  } cases[] = {{1, false, false, "Z_3REMOTEPARTICIPANTHANDLES"},
               {2, true, false, "Z_3REMOTEPARTICIPANTHANDLES"},
               {3, true, true, "Z_3REMOTEPARTICIPANTHANDLES"},
               {4, true, true, "Z_4REMOTEPARTICIPANTHANDLES"}};
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    IosSampleOptions options;
    options.schema_version = c.version;
    const std::string newer = dir.File("newer" + std::to_string(c.version));
    const std::string older = dir.File("older" + std::to_string(c.version));
    ASSERT_TRUE(samples::WriteIosCallHistory(newer, options));
    options.older_copy = true;
    ASSERT_TRUE(samples::WriteIosCallHistory(older, options));

    const std::vector<std::string> columns = Columns(newer, "ZCALLRECORD");
    EXPECT_EQ(c.location, Has(columns, "ZLOCATION:VARCHAR"));
    EXPECT_EQ(c.location, Has(columns, "ZSERVICE_PROVIDER:VARCHAR"));
    EXPECT_EQ(c.participant, Has(columns, "ZLOCALPARTICIPANTUUID:BLOB"));
    EXPECT_TRUE(Has(Columns(newer, "Z_2REMOTEPARTICIPANTHANDLES"),
                    std::string(c.join_column) + ":INTEGER"));
    if (c.participant) {
      EXPECT_EQ(std::vector<std::string>{"16"},
                QueryColumn(newer,
                            "SELECT DISTINCT length(ZLOCALPARTICIPANTUUID) FROM "
                            "ZCALLRECORD WHERE ZLOCALPARTICIPANTUUID IS NOT NULL"));
    }
    // Phone calls and both kinds of FaceTime call in every version.
    EXPECT_EQ((std::vector<std::string>{"1", "8", "16"}),
              QueryColumn(newer, "SELECT DISTINCT ZCALLTYPE FROM ZCALLRECORD ORDER BY 1"));
    EXPECT_EQ("+1 (555) 019-8877;+33 6 12 34 56 78;", DeletedNumbers(newer, c.join_column));
    EXPECT_EQ("", DeletedNumbers(older, c.join_column));
  }
}

TEST(IosAddressBookSampleTest, VersionsHaveTheirColumnsAndTracesOfDeletedPeople) {
  TempDir dir;
  for (int version = samples::kIosAddressBookOldestSchema;
       version <= samples::kIosAddressBookNewestSchema; ++version) {
    SCOPED_TRACE(version);
    IosSampleOptions options;
    options.schema_version = version;
    const std::string book = dir.File("book" + std::to_string(version));
    const std::string images = dir.File("images" + std::to_string(version));
    ASSERT_TRUE(samples::WriteIosAddressBook(book, images, options));

    const std::vector<std::string> person = Columns(book, "ABPerson");
    for (const char* column : {"guid:TEXT", "AlternateBirthday:TEXT", "PreviousFamilyName:TEXT"})
      EXPECT_EQ(version >= 2, Has(person, column)) << column;
    if (version >= 2) {
      EXPECT_EQ(std::vector<std::string>{"李"},
                QueryColumn(book,
                            "SELECT First FROM ABPerson WHERE AlternateBirthday LIKE "
                            "'%chinese%'"));
    }
    // Orphaned values and full-text rows of deleted people, and the
    // search-index query of the packager.
    EXPECT_NE("0", QueryColumn(book,
                               "SELECT COUNT(*) FROM ABMultiValue WHERE record_id NOT IN "
                               "(SELECT ROWID FROM ABPerson)")[0]);
    EXPECT_NE("0", QueryColumn(book,
                               "SELECT COUNT(*) FROM ABPersonFullTextSearch WHERE docid "
                               "NOT IN (SELECT ROWID FROM ABPerson)")[0]);
    EXPECT_NE("0", QueryColumn(book,
                               "SELECT COUNT(*) FROM ABPersonFullTextSearch where "
                               "Birthday is null and Date is null")[0]);
    EXPECT_EQ((std::vector<std::string>{"3", "4", "5", "12", "13", "22", "23", "46"}),
              QueryColumn(book, "SELECT DISTINCT property FROM ABMultiValue ORDER BY 1"));
    EXPECT_EQ(std::vector<std::string>{"1"},
              QueryColumn(book,
                          "SELECT COUNT(*) FROM ABMultiValueLabel WHERE value = "
                          "'_$!<Mobile>!$_'"));
    // Pictures are the tiny JPEG, one full-size picture empty.
    EXPECT_EQ((std::vector<std::string>{"0", "141"}),
              QueryColumn(images, "SELECT DISTINCT length(data) FROM ABFullSizeImage ORDER BY 1"));
    EXPECT_EQ(std::vector<std::string>{"FFD8FFDB"},
              QueryColumn(images,
                          "SELECT DISTINCT hex(substr(data, 1, 4)) FROM "
                          "ABThumbnailImage"));
  }
}

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
