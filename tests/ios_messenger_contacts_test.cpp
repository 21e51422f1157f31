// Messenger contacts (data type 23) through the library's entry points:
// whole documents on every store version, several collection indexes, and
// stores that lack what the queries name.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "common/json_util.h"
#include "common/status.h"
#include "package_capture.h"
#include "samples/ios_messenger.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

constexpr int kMessengerType = 23;
constexpr char kPicture[] = "https://scontent.xx.fbcdn.net/v/t1.0-1/";

// The four friends of the sample's collection index. Tokens come in the
// order of the store's (field_name, field_value) index, which the query uses.
std::string IndexContacts() { return test::DataFile("ios_messenger_contacts/index_contacts.json"); }

std::string TableRows(int version) {
  const std::string p = kPicture;
  if (version == 1) return "";
  if (version == 2) {
    return R"(,{"username": "Zoë Lindqvist", "profile_picture_url": ")" + p +
           R"(p100x100/1.jpg", "phone_number": "+46701234567"},
              {"username": "Mark Okafor", "profile_picture_url": ")" +
           p + R"(p100x100/2.jpg"}, {"username": "Chen Wei"})";
  }
  return R"(,{"username": "Zoë Lindqvist", "profile_picture_url": ")" + p +
         R"(p100x100/1.jpg", "profile_picture_large_url": ")" + p +
         R"(p480x480/1.jpg", "phone_number": "+46701234567", "email_address": "zoe@example.com"},
            {"username": "Mark Okafor", "profile_picture_url": ")" +
         p + R"(p100x100/2.jpg", "email_address": "mark.okafor@example.org"},
            {"username": "Chen Wei"})";
}

class IosMessengerContactsTest : public test::LibraryTest {
 protected:
  int Run(const std::string& store) {
    Reset();
    Json::Value request;
    request["package_type"] = kMessengerType;
    request["temp_folder"] = temp_.path();
    if (!store.empty()) request["primary_file_object"]["fbomnistore_file_path"] = store;
    return test::FilterAndPackage(request);
  }

  // A store of `version` with `sql` run after the sample's rows.
  std::string Store(int version, const std::string& sql = "") {
    const std::string path = phone_.File("fbomnistore" + std::to_string(version) + ".db");
    EXPECT_TRUE(samples::WriteIosMessenger(path, test::SampleVersion(version)));
    if (!sql.empty()) test::RunSql(path, sql);
    return path;
  }

  test::TempDir phone_;
  test::TempDir temp_;
};

TEST_F(IosMessengerContactsTest, WholeDocumentOnEveryStoreVersion) {
  for (int version = samples::kIosMessengerOldestSchema;
       version <= samples::kIosMessengerNewestSchema; ++version) {
    SCOPED_TRACE(version);
    ASSERT_TRUE(test::HandedOver(Run(Store(version)), 18));
    EXPECT_EQ(
        Formatted(std::string(R"({"contacts": [)") + IndexContacts() + TableRows(version) + "]}"),
        g_results.text);
  }
}

// A second account's index, whose name needs quoting, with a key of two
// usernames (the later wins), a key with no field the list reads, and a
// key that reads as the same number as another but is not the same text.
TEST_F(IosMessengerContactsTest, SecondIndexTable) {
  const std::string store =
      Store(1,
            "CREATE TABLE \"collection_index#messenger_contacts_ios:1\"\"x\" (primary_key TEXT, "
            "field_name TEXT, field_value TEXT, sort_key TEXT);"
            "INSERT INTO \"collection_index#messenger_contacts_ios:1\"\"x\" VALUES "
            "('7', 'username', 'first', ''), ('7', 'username', 'second', ''),"
            "('8', 'is_messenger_user', '1', ''), ('007', 'username', 'bond', '');");
  ASSERT_EQ(kStatusOk, Run(store));
  EXPECT_EQ(Formatted(std::string(R"({"contacts": [)") + IndexContacts() +
                      R"(, {"primary_key": "7", "username": "second"}, {"primary_key": "8"},
                         {"primary_key": "007", "username": "bond"}]})"),
            g_results.text);
}

// An index table without the columns the list reads stops the walk with
// 1106, and the contacts table is still read; a store that is no database
// gives an empty list.
TEST_F(IosMessengerContactsTest, StoresThatCannotBeRead) {
  std::string store = phone_.File("broken.db");
  test::RunSql(store, "CREATE TABLE \"collection_index#messenger_contacts_ios:9\" (key TEXT);" +
                          samples::IosMessengerSql(2) +
                          "INSERT INTO contacts (id, name, phone_number) VALUES (1, 'Ana', '');");
  EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run(store));
  EXPECT_EQ(Formatted(R"({"contacts": [{"username": "Ana"}]})"), g_results.text);

  store = phone_.File("not_a_database.db");
  test::WriteFileBytes(store, std::string(2048, 'x'));
  EXPECT_EQ(kStatusOk, Run(store));
  EXPECT_EQ(Formatted(R"({"contacts": []})"), g_results.text);

  EXPECT_TRUE(test::NothingHandedOver(Run(""), KX_STATUS_NOT_PACKAGED));
}

// Rows of the contacts table with nothing the list reads stay as empty
// objects wherever they stand: first, among others, or all there is.
TEST_F(IosMessengerContactsTest, ContactsWithoutAnyValue) {
  const struct {
    const char* rows;
    const char* document;
  } cases[] = {
      {"(1, NULL, ''), (2, 'Ana', NULL), (3, NULL, NULL)",
       R"({"contacts": [{}, {"username": "Ana"}, {}]})"},
      {"(1, NULL, NULL), (2, '', NULL)", R"({"contacts": [{}, {}]})"},
  };
  int index = 0;
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.rows);
    const std::string store = phone_.File("empty_rows" + std::to_string(index++) + ".db");
    test::RunSql(store, samples::IosMessengerSql(2) +
                            "INSERT INTO contacts (id, name, phone_number) VALUES " +
                            test_case.rows + ";");
    ASSERT_EQ(kStatusOk, Run(store));
    EXPECT_EQ(Formatted(test_case.document), g_results.text);
  }
}

}  // namespace
}  // namespace kx
