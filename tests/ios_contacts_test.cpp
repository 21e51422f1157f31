// The iOS contacts packager (data type 11) through the library's entry
// points: contact files compared whole, with a person's every kind of
// value, an orphaned value, a person only the search index remembers, the
// 1000-contact file boundary and the merge of an older book.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/status.h"
#include "common/text.h"
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

// The newest address book (its guid default calls a function of the
// phone's own, so every insert names its guid), with labels and entry keys.
std::string BookSql() {
  return samples::IosAddressBookSql(samples::kIosAddressBookNewestSchema) +
         ";INSERT INTO ABMultiValueLabel (rowid, value) VALUES (1, '_$!<Mobile>!$_'), "
         "(2, '_$!<Home>!$_');"
         "INSERT INTO ABMultiValueEntryKey (rowid, value) VALUES (1, 'Street'), (2, 'City'), "
         "(3, 'service'), (4, 'username');";
}

std::string Person(int id, const std::string& first, const std::string& extra_columns = "",
                   const std::string& extra_values = "") {
  return "INSERT INTO ABPerson (ROWID, First, guid" + extra_columns + ") VALUES (" +
         std::to_string(id) + ", '" + first + "', 'p" + std::to_string(id) + "'" + extra_values +
         ");";
}

std::string Value(int uid, int person, int property, int label, const std::string& value) {
  return "INSERT INTO ABMultiValue (UID, record_id, property, identifier, label, value, guid) "
         "VALUES (" +
         std::to_string(uid) + ", " + std::to_string(person) + ", " + std::to_string(property) +
         ", 0, " + std::to_string(label) + ", " + (value.empty() ? "NULL" : "'" + value + "'") +
         ", 'v" + std::to_string(uid) + "');";
}

class IosContactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    test::RunSql(images_, samples::IosAddressBookImagesSql());
  }

  int Run(const std::vector<std::string>& copies = {}) {
    Json::Value request;
    request["package_type"] = kIosContactType;
    request["temp_folder"] = temp_.path();
    request["primary_file_object"]["contact_file_path"] = book_;
    request["primary_file_object"]["contact_image_file_path"] = images_;
    Json::Value& list = request["second_file_objects"]["contact_files_path"];
    list = EmptyJsonArray();
    for (const std::string& copy : copies) list.append(copy);
    const std::string text = WriteJson(request);
    const int filtered = FilterDataType(text.c_str(), static_cast<int>(text.size()));
    if (filtered != kStatusOk) return filtered;
    return PackageDataType(CaptureResult, kIosContactType);
  }

  // Contact file `number`, as JSON text with the line ends the file has.
  std::string ContactFile(int number) const {
    return test::ReadFileBytes(
        temp_.File("KxDataPackage_Contact_" + std::to_string(number) + ".json"));
  }

  static std::string FileText(const std::string& expected_json) {
    return ReplaceAll(Formatted(expected_json), "\n", "\r\n");
  }

  test::TempDir logs_, phone_, temp_;
  const std::string book_ = phone_.File("AddressBook.sqlitedb");
  const std::string images_ = phone_.File("AddressBookImages.sqlitedb");
};

TEST_F(IosContactsTest, EveryKindOfValueOrphansAndTheSearchIndex) {
  test::RunSql(
      book_,
      BookSql() +
          Person(1, "Ana", ", Last, Birthday, AlternateBirthday",
                 ", 'Silva', 600000000, 'chinese:2020-01-06'") +
          Value(10, 1, 3, 1, "+351 912 345 678") + Value(11, 1, 4, 2, "ana@example.com") +
          Value(12, 1, 22, 9, "https://ana.example") + Value(13, 1, 23, 0, "Rui") +
          Value(14, 1, 12, 2, "") + "UPDATE ABMultiValue SET value = 600000000 WHERE UID = 14;" +
          Value(15, 1, 5, 2, "") +
          "INSERT INTO ABMultiValueEntry VALUES (15, 1, 'Rua A 1'), (15, 2, 'Lisboa');" +
          Value(16, 1, 13, 0, "") + "INSERT INTO ABMultiValueEntry VALUES (16, 4, 'ana.s');" +
          Value(20, 9, 3, 1, "+15550100") +
          "INSERT INTO ABPersonFullTextSearch (First, Last, Phone) VALUES "
          "('Old', 'Friend', '12 5550123 5550123'), ('Ana', 'Silva', '+351 912 345 678');");
  test::RunSql(images_, "INSERT INTO ABFullSizeImage (record_id, data) VALUES (1, x'FFD8FF');");

  ASSERT_EQ(kStatusOk, Run());
  ASSERT_EQ(1, g_results.count);
  EXPECT_EQ(1, g_results.kind);
  const std::string file = temp_.File("KxDataPackage_Contact_1.json");
  Json::Value result;
  result["contact_file_path"].append(file);
  result["contact_num"] = 4;
  EXPECT_EQ(WriteJson(result), g_results.text);
  const std::string picture = temp_.File("1.jpg");
  EXPECT_EQ("\xFF\xD8\xFF", test::ReadFileBytes(picture));
  // The search index remembers Ana too: contacts are compared with those
  // already written to a file only, so she comes back rebuilt.
  EXPECT_EQ(FileText(R"({"size": 4, "contacts_info": [
    {"ROWID": 1, "First": "Ana", "Last": "Silva", "Birthday": "01-06-2020 10:40:00",
     "guid": "p1", "AlternateBirthday": "chinese:2020-01-06", "alt_birthday_type": 2,
     "image_path": ")" +
                     picture + R"(",
     "phone_info": [{"property": 3, "label": 1, "value": "+351 912 345 678",
                     "label_name": "_$!<Mobile>!$_"}],
     "email_info": [{"property": 4, "label": 2, "value": "ana@example.com",
                     "label_name": "_$!<Home>!$_"}],
     "url_info": [{"property": 22, "label": 9, "value": "https://ana.example",
                   "label_name": "default"}],
     "relate_name_info": [{"property": 23, "label": 0, "value": "Rui", "label_name": "default"}],
     "date_info": [{"property": 12, "label": 2, "date": "01-06-2020 10:40:00",
                    "label_name": "_$!<Home>!$_"}],
     "address_info": [{"property": 5, "label": 2, "UID": 15, "label_name": "_$!<Home>!$_",
                       "entry_n_key": [{"entry": "Rua A 1", "entry_key": "Street"},
                                       {"entry": "Lisboa", "entry_key": "City"}]}],
     "im_info": [{"property": 13, "label": 0, "UID": 16, "label_name": "default",
                  "entry_n_key": [{"entry": "ana.s", "entry_key": "username"}]}]},
    {"tag": "deleted", "phone_info": [{"record_id": 9, "property": 3, "identifier": 0,
       "label": 1, "value": "+15550100", "tag": "deleted", "label_name": "_$!<Mobile>!$_"}],
     "email_info": null, "url_info": null},
    {"First": "Old", "Last": "Friend", "tag": "deleted",
     "phone_info": [{"label_name": "default", "value": "5550123", "property": 3,
                     "tag": "deleted"}],
     "email_info": null, "url_info": null},
    {"First": "Ana", "Last": "Silva", "tag": "deleted",
     "phone_info": [{"label_name": "default", "value": "+351", "property": 3,
                     "tag": "deleted"}],
     "email_info": null, "url_info": null}]})"),
            ContactFile(1));
}

TEST_F(IosContactsTest, FilesOfAThousandAndAnOlderBook) {
  std::string people = BookSql();
  for (int id = 1; id <= 1000; ++id) people += Person(id, "P" + std::to_string(id));
  test::RunSql(book_, people);
  // The older backup still holds a person deleted since, with a number.
  test::TempDir older;
  const std::string copy = older.File("AddressBook.sqlitedb");
  test::RunSql(copy, BookSql() + Person(1, "P1") + Person(1001, "Gone") +
                         Value(30, 1001, 3, 1, "+15550111"));

  ASSERT_EQ(kStatusOk, Run({copy}));
  ASSERT_EQ(1, g_results.count);
  const Json::Value result = test::Parsed(g_results.text);
  EXPECT_EQ(1001, result["contact_num"].asInt());
  ASSERT_EQ(2u, result["contact_file_path"].size());
  EXPECT_EQ(1000u, test::Parsed(ContactFile(1))["contacts_info"].size());
  EXPECT_EQ(FileText(R"({"size": 1, "contacts_info": [
    {"ROWID": 1001, "First": "Gone", "guid": "p1001", "is_deleted": 1, "tag": "deleted",
     "alt_birthday_type": 3,
     "phone_info": [{"property": 3, "label": 1, "value": "+15550111", "is_deleted": 1,
                     "tag": "deleted", "label_name": "_$!<Mobile>!$_"}],
     "email_info": null, "url_info": null}]})"),
            ContactFile(2));
}

// The sample books of every version with their older copies: the oldest
// lacks columns the person query names and is read for what it has; people
// only the older copy holds come back tagged.
TEST_F(IosContactsTest, SampleBooksOfEveryVersion) {
  for (int version = samples::kIosAddressBookOldestSchema;
       version <= samples::kIosAddressBookNewestSchema; ++version) {
    SCOPED_TRACE(version);
    g_results = CapturedResults();
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    samples::IosSampleOptions options;
    options.schema_version = version;
    ASSERT_TRUE(samples::WriteIosAddressBook(book_, images_, options));
    test::TempDir older;
    options.older_copy = true;
    const std::string copy = older.File("AddressBook.sqlitedb");
    ASSERT_TRUE(samples::WriteIosAddressBook(copy, older.File("images.sqlitedb"), options));
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
  EXPECT_EQ(FileText(R"({"size": 1, "contacts_info": [{"ROWID": 4, "First": "Rui",
      "Last": "Sá", "alt_birthday_type": 3, "email_info": null, "url_info": null,
      "phone_info": [{"property": 3, "label": 7, "value": "+351 21 000 0000",
                      "label_name": "default"}]}]})"),
            ContactFile(1));
}

TEST_F(IosContactsTest, DamagedPicturesAndAForeignBook) {
  // A picture database that is no database: the people come without pictures.
  test::RunSql(book_, BookSql() + Person(1, "Ana"));
  test::WriteFileBytes(images_, std::string(4096, 'x'));
  ASSERT_EQ(kStatusOk, Run());
  EXPECT_EQ(FileText(R"({"size": 1, "contacts_info": [{"ROWID": 1, "First": "Ana",
      "guid": "p1", "alt_birthday_type": 3, "phone_info": null, "email_info": null,
      "url_info": null}]})"),
            ContactFile(1));

  InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
  g_results = CapturedResults();
  test::RunSql(book_, "DROP TABLE ABPerson;");
  EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run());
  EXPECT_EQ(0, g_results.count);
}

}  // namespace
}  // namespace kx
