// The iOS voicemail packager (data type 20) through the library's entry
// points: whole documents on both store versions with the callers' names
// and where each message's audio lies in the backup, and the inputs it
// refuses.
#include "samples/ios_voicemail.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "ios_fixtures.h"
#include "package_capture.h"
#include "samples/ios_address_book.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kVoicemailType = 20;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

// Library/Voicemail/<ROWID>.amr in HomeDomain, hashed independently.
constexpr char kAudio7[] = "b017c88626a0cc647cd395e3e33a9c3c30a4a5f8";
constexpr char kAudio8[] = "de88fcc30d55130bbf54f551e13aad76b2791920";
constexpr char kAudio9[] = "c9f84e19df4c03d9fa569260c9280412f51d3f70";

// Three messages: from a person of the address book, from a stranger, and
// one whose caller withheld the number. `date` counts from 1970.
constexpr char kMessages[] =
    "INSERT INTO voicemail (ROWID, remote_uid, date, token, sender, callback_num, duration, "
    "expiration, trashed_date, flags) VALUES "
    "(7, 107, 1704103200, 'Complete', '+351912345678', '+351912345678', 21, 0, 0, 3),"
    "(8, 108, 1704189645, 'Complete', '+15550100', '+15550100', 7, 0, 726000000, 11),"
    "(9, 109, 1704276000, 'Complete', NULL, NULL, 34, 0, 0, 1);";

class IosVoicemailTest : public test::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    // Ana of the address book, with her number and a thumbnail.
    test::RunSql(phone_.File("AddressBook.sqlitedb"),
                 test::BookSql() + test::Person(4, "Ana", ", Last, Middle", ", 'Silva', 'Maria'") +
                     test::Value(1, 4, 3, 1, "+351912345678"));
    test::RunSql(phone_.File("AddressBookImages.sqlitedb"),
                 samples::IosAddressBookImagesSql() +
                     ";INSERT INTO ABThumbnailImage (record_id, data) VALUES (4, x'FFD8FFDB');");
  }

  Json::Value Request(const std::string& voicemail, const char* has_sub_dir = "1") {
    Json::Value request =
        test::MakeRequest(kVoicemailType, temp_.path(),
                          {{"contact_file_path", phone_.File("AddressBook.sqlitedb")},
                           {"contact_image_file_path", phone_.File("AddressBookImages.sqlitedb")}},
                          {}, backup_.path());
    request["primary_file_object"]["voice_mail_file_path"] = voicemail;  // even when empty
    if (has_sub_dir != nullptr) request["other_info"]["has_sub_dir"] = has_sub_dir;
    return request;
  }

  int Run(const Json::Value& request) { return test::FilterAndPackage(request); }

  std::string Store(int version) {
    const std::string path = phone_.File("voicemail" + std::to_string(version) + ".db");
    test::RunSql(path, samples::IosVoicemailSql(version) + kMessages);
    return path;
  }

  test::TempDir phone_;
  test::TempDir temp_;
  test::TempDir backup_;
};

TEST_F(IosVoicemailTest, WholeDocumentOnEveryStoreVersion) {
  const std::string thumb = JoinPath(temp_.path(), "4.thumb");
  for (int version = samples::kIosVoicemailOldestSchema;
       version <= samples::kIosVoicemailNewestSchema; ++version) {
    SCOPED_TRACE(version);
    Reset();
    ASSERT_TRUE(test::HandedOver(Run(Request(Store(version))), 15));
    // {A7}, {A8} and {A9}: the audio of the messages in the backup.
    std::string expected =
        test::Expand(test::DataFile("ios_voicemail/voicemails.json"), temp_.path());
    for (const auto& [mark, id] :
         {std::pair{"{A7}", kAudio7}, {"{A8}", kAudio8}, {"{A9}", kAudio9}}) {
      expected = ReplaceAll(expected, mark, test::JsonEscaped(test::TwoLevel(backup_.path(), id)));
    }
    EXPECT_EQ(Formatted(expected), g_results.text);
  }
  EXPECT_EQ("\xFF\xD8\xFF\xDB", test::ReadFileBytes(thumb));
}

// A backup that keeps every file in its root, and a store without
// messages.
TEST_F(IosVoicemailTest, FlatBackupAndEmptyStore) {
  ASSERT_EQ(kStatusOk, Run(Request(Store(1), "0")));
  const Json::Value document = test::Parsed(g_results.text);
  EXPECT_EQ(JoinPath(backup_.path(), kAudio7),
            document["voice_mail_items"][0]["media_backup"].asString());

  Reset();
  const std::string empty = phone_.File("empty.db");
  test::RunSql(empty, samples::IosVoicemailSql(samples::kIosVoicemailNewestSchema));
  ASSERT_EQ(kStatusOk, Run(Request(empty)));
  EXPECT_EQ(Formatted(R"({"size": 0, "voice_mail_items": []})"), g_results.text);
}

// Inputs the packager refuses: no callback, and the dispatcher's status.
TEST_F(IosVoicemailTest, RefusedInputs) {
  const std::string store = Store(2);
  const std::string not_database = phone_.File("not_a_database.db");
  test::WriteFileBytes(not_database, std::string(4096, 'x'));
  const std::string other = phone_.File("other.db");
  test::RunSql(other, "CREATE TABLE calls (ROWID INTEGER PRIMARY KEY);");
  struct Case {
    const char* name;
    Json::Value request;
  };
  Json::Value no_address_book = Request(store);
  no_address_book["primary_file_object"].removeMember("contact_image_file_path");
  Json::Value no_backup = Request(store);
  no_backup["addtional_param"] = "";
  const Case cases[] = {
      {"no voicemail database", Request("")},      {"no address book images", no_address_book},
      {"no has_sub_dir", Request(store, nullptr)}, {"no backup folder", no_backup},
      {"not a database", Request(not_database)},   {"no voicemail table", Request(other)},
  };
  for (const Case& refused : cases) {
    SCOPED_TRACE(refused.name);
    Reset();
    EXPECT_TRUE(test::NothingHandedOver(Run(refused.request), KX_STATUS_NOT_PACKAGED));
  }
}

// A damaged store gives no document and says why in SQLite's words; one
// whose rows cannot be read hands over the document, then fails.
TEST_F(IosVoicemailTest, DamagedStores) {
  const std::string sound = Store(2);
  test::TempDir damaged;
  for (const test::DamagedDatabase& source : test::DamageDatabase(sound, damaged.path())) {
    SCOPED_TRACE(source.kind);
    const size_t before = Log().size();
    EXPECT_TRUE(test::NothingHandedOver(Run(Request(source.path)), KX_STATUS_NOT_PACKAGED));
    EXPECT_TRUE(Logged(source.words, before));
    Reset();
  }
  test::DamageTablePage(sound, "voicemail");
  EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run(Request(sound)));
  EXPECT_EQ(1, g_results.count);
}

}  // namespace
}  // namespace kx
