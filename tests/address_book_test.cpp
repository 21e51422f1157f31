#include "kit/address_book.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/platform.h"
#include "common/status.h"
#include "samples/ios_address_book.h"
#include "test_support.h"

namespace kx {
namespace {

// In an older AddressBook.sqlitedb (the sample generator's version 1):
// property 3 = phone number, 4 = e-mail, 5 = postal address. Record 2's
// first number is also record 1's: the first row keeps the key. Record 9
// has no person.
constexpr char kAddressBookRows[] =
    "INSERT INTO ABPerson (ROWID, First, Last, Middle) VALUES (1, 'John', 'Appleseed', 'Q'),"
    " (2, 'Jane', 'Doe', NULL);"
    "INSERT INTO ABMultiValue (UID, record_id, property, identifier, label, value) VALUES"
    " (1, 1, 3, 0, 1, '+1 555 0100'),"
    " (2, 1, 4, 0, 2, 'john@example.com'),"
    " (3, 2, 3, 0, 1, '+1 555 0100'),"
    " (4, 2, 5, 0, 3, 'Infinite Loop 1'),"
    " (5, 2, 3, 1, 1, '+1 555 0200'),"
    " (6, 9, 3, 0, 1, '+1 555 0900');";

constexpr char kImagesRows[] =
    "INSERT INTO ABFullSizeImage (record_id, data) VALUES (1, x'FFD8FFE000104A464946'),"
    " (2, x''), (3, NULL);"
    "INSERT INTO ABThumbnailImage (record_id, format, data) VALUES (1, 0, x'0102030405'),"
    " (2, 0, x'0A0B');";

constexpr char kFullSizeSql[] = "SELECT data FROM ABFullSizeImage WHERE record_id = ?";
constexpr char kThumbnailSql[] = "SELECT data FROM ABThumbnailImage WHERE record_id = ?";

class AddressBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures_ = dir_.File("pictures");
    std::filesystem::create_directories(pictures_);
  }

  std::unique_ptr<SQLite3Wrapper> Open(const std::string& name, const std::string& sql) {
    const std::string path = dir_.File(name);
    test::RunSql(path, sql);
    auto db = OpenDatabase(path);
    EXPECT_NE(nullptr, db);
    return db;
  }

  std::unique_ptr<SQLite3Wrapper> OpenImages() {
    return Open("AddressBookImages.sqlitedb", samples::IosAddressBookImagesSql() + kImagesRows);
  }

  std::string Picture(const std::string& name) const { return JoinPath(pictures_, name); }

  test::TempDir dir_;
  std::string pictures_;
};

TEST_F(AddressBookTest, SaveBlobToFileWritesPictureOrThumbnail) {
  auto images = OpenImages();
  ASSERT_NE(nullptr, images);
  ContactRecord record;
  EXPECT_EQ(kStatusOk, SaveBlobToFile(*images, kFullSizeSql, ".jpg", pictures_, 1, &record));
  EXPECT_EQ(Picture("1.jpg"), record.picture_path);
  EXPECT_EQ("", record.thumbnail_path);
  EXPECT_EQ(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10), test::ReadFileBytes(Picture("1.jpg")));
  ContactRecord thumbnail;
  EXPECT_EQ(kStatusOk, SaveBlobToFile(*images, kThumbnailSql, ".thumb", pictures_, 1, &thumbnail));
  EXPECT_EQ("", thumbnail.picture_path);
  EXPECT_EQ(Picture("1.thumb"), thumbnail.thumbnail_path);

  for (int64_t record_id : {2, 3, 4}) {  // empty blob, NULL, no row: nothing written
    ContactRecord empty;
    EXPECT_EQ(kStatusOk,
              SaveBlobToFile(*images, kFullSizeSql, ".jpg", pictures_, record_id, &empty));
    EXPECT_EQ("", empty.picture_path) << record_id;
    EXPECT_FALSE(std::filesystem::exists(Picture(std::to_string(record_id) + ".jpg")));
  }
}

TEST_F(AddressBookTest, BuildContactIndexMapsEveryNumberAndAddress) {
  auto address_book =
      Open("AddressBook.sqlitedb", samples::IosAddressBookSql(1) + kAddressBookRows);
  auto images = OpenImages();
  ASSERT_NE(nullptr, address_book);
  ASSERT_NE(nullptr, images);
  ContactIndex index;
  ASSERT_EQ(kStatusOk, BuildContactIndex(*address_book, *images, pictures_, &index));

  ASSERT_EQ(4u, index.size());                          // the postal address is not a key
  const ContactRecord& john = index.at("+1 555 0100");  // first record wins
  EXPECT_EQ("John", john.first_name);
  EXPECT_EQ("Appleseed", john.last_name);
  EXPECT_EQ("Q", john.middle_name);
  EXPECT_EQ(Picture("1.jpg"), john.picture_path);
  EXPECT_EQ(Picture("1.thumb"), john.thumbnail_path);
  EXPECT_EQ("John", index.at("john@example.com").first_name);

  const ContactRecord& jane = index.at("+1 555 0200");
  EXPECT_EQ("Jane", jane.first_name);
  EXPECT_EQ("", jane.middle_name);
  EXPECT_EQ("", jane.picture_path);  // her full-size picture is empty
  EXPECT_EQ(Picture("2.thumb"), jane.thumbnail_path);

  const ContactRecord& nobody = index.at("+1 555 0900");
  EXPECT_EQ("", nobody.first_name);
  EXPECT_EQ("", nobody.last_name);
  EXPECT_EQ("", nobody.thumbnail_path);
  EXPECT_EQ(std::string("\x0A\x0B"), test::ReadFileBytes(Picture("2.thumb")));
}

// Tests of the error paths follow.

TEST_F(AddressBookTest, SaveBlobToFileReportsPrepareAndBindFailures) {
  auto images = Open("empty_images.sqlitedb", "CREATE TABLE other (a TEXT);");
  ASSERT_NE(nullptr, images);
  ContactRecord record;
  EXPECT_EQ(kStatusPrepareFailed,
            SaveBlobToFile(*images, kFullSizeSql, ".jpg", pictures_, 1, &record));
  auto real_images = OpenImages();
  ASSERT_NE(nullptr, real_images);
  // A select without a parameter cannot take the record id.
  EXPECT_EQ(kStatusStepFailed, SaveBlobToFile(*real_images, "SELECT data FROM ABFullSizeImage",
                                              ".jpg", pictures_, 1, &record));
  EXPECT_EQ("", record.picture_path);
  // A picture that cannot be written is not announced.
  EXPECT_EQ(kStatusOk, SaveBlobToFile(*real_images, kFullSizeSql, ".jpg",
                                      dir_.File("no_such_folder"), 1, &record));
  EXPECT_EQ("", record.picture_path);
}

TEST_F(AddressBookTest, BuildContactIndexWithoutMultiValuesFails) {
  auto address_book = Open("AddressBook.sqlitedb", "CREATE TABLE ABPerson (First TEXT);");
  auto images = OpenImages();
  ASSERT_NE(nullptr, address_book);
  ContactIndex index;
  EXPECT_EQ(kStatusPrepareFailed, BuildContactIndex(*address_book, *images, pictures_, &index));
  EXPECT_TRUE(index.empty());
}

TEST_F(AddressBookTest, BuildContactIndexWithoutPicturesStillIndexes) {
  auto address_book =
      Open("AddressBook.sqlitedb", samples::IosAddressBookSql(1) + kAddressBookRows);
  auto images = Open("AddressBookImages.sqlitedb", "CREATE TABLE other (a TEXT);");
  ASSERT_NE(nullptr, address_book);
  ContactIndex index;
  EXPECT_EQ(kStatusOk, BuildContactIndex(*address_book, *images, pictures_, &index));
  ASSERT_EQ(4u, index.size());
  EXPECT_EQ("", index.at("+1 555 0100").picture_path);
  EXPECT_TRUE(std::filesystem::is_empty(pictures_));
}

}  // namespace
}  // namespace kx
