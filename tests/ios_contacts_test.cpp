// The iOS contacts packager (data type 11) through the library's entry
// points, beyond what the packager contract suite asks of it (every kind of
// value, orphans, the search index, the merge of an older book): contact
// files compared as written, the 1000-contact file boundary, the books of
// every version and damaged pictures.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/status.h"
#include "common/text.h"
#include "ios_fixtures.h"
#include "package_capture.h"
#include "samples/ios_address_book.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kIosContactType = 11;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

using test::BookSql;
using test::Person;
using test::Value;

class IosContactsTest : public test::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    test::RunSql(images_, samples::IosAddressBookImagesSql());
  }

  int Run(const std::vector<std::string>& copies = {}) {
    Json::Value request =
        test::MakeRequest(kIosContactType, temp_.path(),
                          {{"contact_file_path", book_}, {"contact_image_file_path", images_}});
    request["second_file_objects"]["contact_files_path"] = test::JsonList(copies);
    return test::FilterAndPackage(request);
  }

  // Contact file `number`, as JSON text with the line ends the file has.
  std::string ContactFile(int number) const {
    return test::ReadFileBytes(
        temp_.File("KxDataPackage_Contact_" + std::to_string(number) + ".json"));
  }

  size_t AbsentLines() const { return test::Occurrences(Log(), "picture database was absent"); }

  static std::string FileText(const std::string& expected_json) {
    return ReplaceAll(Formatted(expected_json), "\n", "\r\n");
  }

  test::TempDir phone_, temp_;
  const std::string book_ = phone_.File("AddressBook.sqlitedb");
  const std::string images_ = phone_.File("AddressBookImages.sqlitedb");
};

// A contact file holds a thousand contacts at most.
TEST_F(IosContactsTest, FilesOfAThousand) {
  std::string people = BookSql();
  for (int id = 1; id <= 1001; ++id) people += Person(id, "P" + std::to_string(id));
  test::RunSql(book_, people);
  ASSERT_EQ(kStatusOk, Run());
  const Json::Value result = test::Parsed(g_results.text);
  EXPECT_EQ(1001, result["contact_num"].asInt());
  ASSERT_EQ(2u, result["contact_file_path"].size());
  EXPECT_EQ(1000u, test::Parsed(ContactFile(1))["contacts_info"].size());
  EXPECT_EQ(FileText(test::DataFile("ios_contacts/thousand_and_first.json")), ContactFile(2));
}

// The sample books of every version with their older copies: the oldest
// lacks columns the person query names and is read for what it has; people
// only the older copy holds come back tagged.
TEST_F(IosContactsTest, SampleBooksOfEveryVersion) {
  for (int version = samples::kIosAddressBookOldestSchema;
       version <= samples::kIosAddressBookNewestSchema; ++version) {
    SCOPED_TRACE(version);
    Reset();
    ASSERT_TRUE(samples::WriteIosAddressBook(book_, images_, test::SampleVersion(version)));
    test::TempDir older;
    const std::string copy = older.File("AddressBook.sqlitedb");
    ASSERT_TRUE(samples::WriteIosAddressBook(copy, older.File("images.sqlitedb"),
                                             test::SampleVersion(version, true)));
    ASSERT_EQ(kStatusOk, Run({copy}));
    const Json::Value file = test::Parsed(ContactFile(1));
    int merged = 0, pictures = 0;
    for (const Json::Value& contact : file["contacts_info"]) {
      merged += contact["is_deleted"].asInt();
      pictures += contact.isMember("image_path") ? 1 : 0;
    }
    EXPECT_GT(merged, 0);
    EXPECT_GT(pictures, 0);
    EXPECT_EQ(test::Parsed(g_results.text)["contact_num"].asUInt(), file["size"].asUInt());
  }
}

// The oldest book has no guid, AlternateBirthday or PreviousFamilyName
// (and values no guid): the person is read for what the book has.
TEST_F(IosContactsTest, OldestBookWholeDocument) {
  test::RunSql(book_, samples::IosAddressBookSql(samples::kIosAddressBookOldestSchema) +
                          ";INSERT INTO ABPerson (ROWID, First, Last) VALUES (4, 'Rui', 'Sá');"
                          "INSERT INTO ABMultiValue VALUES (1, 4, 3, 0, 7, '+351 21 000 0000');");
  ASSERT_EQ(kStatusOk, Run());
  EXPECT_EQ(FileText(test::DataFile("ios_contacts/oldest_book.json")), ContactFile(1));
}

// A person with a value of every list, a value kept twice, a picture and
// two thumbnails (the first is taken), and an address entry with neither
// key nor value, whole in zones on either side of UTC: the dates are the
// zone's, and the empty entry is laid out as a document of its own is.
TEST_F(IosContactsTest, EveryKindOfValueWholeInOtherZones) {
  test::RunSql(images_,
               "INSERT INTO ABFullSizeImage (record_id, data) VALUES (1, x'FFD8FF');"
               "INSERT INTO ABThumbnailImage (record_id, format, data) VALUES (1, 5, x'02'), "
               "(1, 0, x'01');");
  test::RunSql(book_, BookSql() + Person(1, "Ana", ", Birthday", ", 600000000") +
                          Value(10, 1, 3, 1, "+351 912 345 678") +
                          Value(11, 1, 3, 1, "+351 912 345 678") + Value(12, 1, 4, 2, "a@b.pt") +
                          Value(13, 1, 12, 2, "") + Value(14, 1, 46, 0, "") +
                          Value(15, 1, 5, 2, "") + Value(16, 1, 23, 0, "Rui") +
                          "UPDATE ABMultiValue SET value = 600000000 WHERE UID = 13;"
                          "INSERT INTO ABMultiValueEntry VALUES (14, 3, 'x'), (14, 4, 'ana'), "
                          "(15, 1, 'Rua A 1'), (15, 9, NULL);" +
                          Person(2, "Rui"));
  // St. John's and Kathmandu in January, written as POSIX zones so that
  // the C runtime of every platform reads them.
  const std::pair<const char*, const char*> zones[] = {{"NST3:30", "07:10:00"},
                                                       {"NPT-5:45", "16:25:00"}};
  for (const auto& [zone, time] : zones) {
    SCOPED_TRACE(zone);
    const test::ScopedTimeZone scoped_zone(zone);
    ASSERT_EQ(kStatusOk, Run());
    // {DATE}: the zone's time of the dates; {T}/ the temp folder.
    const std::string expected = ReplaceAll(test::DataFile("ios_contacts/every_kind_of_value.json"),
                                            "{DATE}", std::string("01-06-2020 ") + time);
    EXPECT_EQ(FileText(test::Expand(expected, temp_.path())), ContactFile(1));
    EXPECT_EQ(std::string(1, '\x01'), test::ReadFileBytes(temp_.File("1.thumb")));
  }
}

// People only the search index remembers come back once per set of values:
// a second index row with the same numbers, addresses and accounts is the
// same person; one whose messaging account differs is another.
TEST_F(IosContactsTest, RebuiltPeopleOncePerValues) {
  std::string sql = BookSql() + Person(1, "Ana");
  for (const char* row : {"9001, 'bob'", "9002, 'bob'", "9003, 'rob'"}) {
    sql += std::string(
               "INSERT INTO ABPersonFullTextSearch (docid, IM, First, Phone, Email, URL, "
               "RelatedNames, SocialProfile) VALUES (") +
           row +
           ", 'Bob', '0123 4567 0123 12', 'bob@example.com', 'http://bob.example', 'Alice', "
           "'bobby');";
  }
  test::RunSql(book_, sql);
  ASSERT_EQ(kStatusOk, Run());
  EXPECT_EQ(3, test::Parsed(g_results.text)["contact_num"].asInt());
  const std::string contacts = ContactFile(1);
  EXPECT_EQ(1u, test::Occurrences(contacts, "\"bob\""));
  EXPECT_EQ(1u, test::Occurrences(contacts, "\"rob\""));
  EXPECT_EQ(2u, test::Occurrences(contacts, "\"bobby\""));
}

// A picture database that is no database, names no file or is not named:
// the people come without pictures; an absent one is logged once.
TEST_F(IosContactsTest, ContactsWithoutTheirPictureDatabase) {
  const struct {
    const char* name;
    const char* images;  // null: the request has no picture database
    bool damaged;
    size_t absent_lines;
  } cases[] = {{"damaged", "", true, 0},
               {"names no file", "/no/such/AddressBookImages.sqlitedb", false, 1},
               {"not named", nullptr, false, 1}};
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name);
    test::TempDir phone, temp;
    const size_t logged = AbsentLines();
    const std::string book = phone.File("AddressBook.sqlitedb");
    test::RunSql(book, BookSql() + Person(1, "Ana"));
    if (each.damaged) test::WriteFileBytes(phone.File("images"), std::string(4096, 'x'));
    const std::string images =
        each.damaged ? phone.File("images") : (each.images != nullptr ? each.images : "");
    Json::Value request =
        test::MakeRequest(kIosContactType, temp.path(),
                          {{"contact_file_path", book}, {"contact_image_file_path", images}});
    request["second_file_objects"]["contact_files_path"] = test::JsonList({});
    ASSERT_EQ(kStatusOk, test::FilterAndPackage(request));
    EXPECT_EQ(FileText(test::DataFile("ios_contacts/without_pictures.json")),
              test::ReadFileBytes(temp.File("KxDataPackage_Contact_1.json")));
    EXPECT_EQ(logged + each.absent_lines, AbsentLines());
  }
}

}  // namespace
}  // namespace kx
