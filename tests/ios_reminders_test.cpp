// The iOS reminders packager (data type 8) through the library's entry
// points: whole documents on the calendar database and on each release of
// the reminders store, the merge of an older copy, damaged and foreign
// stores.
#include "samples/ios_reminders.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

#include "common/backup_files.h"
#include "common/json_util.h"
#include "common/status.h"
#include "ios/reminders.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kRemindersType = 8;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

class IosRemindersTest : public test::LibraryTest {
 protected:
  std::string Store(const std::string& name, int version, bool older_copy = false) {
    const std::string path = phone_.File(name);
    EXPECT_TRUE(samples::WriteIosReminders(path, test::SampleVersion(version, older_copy)));
    return path;
  }

  int Run(const std::string& primary, const std::vector<std::string>& copies = {}) {
    return test::PackageWithCopies(kRemindersType, temp_.path(), "reminder", primary, copies,
                                   backup_.path());
  }

  // Where the backup keeps an attachment of the sample store.
  std::string Attachment(const std::string& identifier, const std::string& name) const {
    return ResolveBackupFile(
        backup_.path(),
        BackupFileId("HomeDomain",
                     ReminderAttachmentPath(samples::kIosRemindersAccount, identifier, name)));
  }

  test::TempDir phone_;
  test::TempDir temp_;
  test::TempDir backup_;
};

// The dates in the host's time zone: UTC, and India's half-hour offset.
TEST_F(IosRemindersTest, CalendarDatabaseAndAnOlderCopy) {
  const std::string primary = Store("Calendar.sqlitedb", 1);
  const std::string older = Store("old.sqlitedb", 1, true);
  for (const auto& [zone, start] :
       {std::pair<const char*, const char*>{"UTC", "09:00:00"}, {"IST-5:30", "14:30:00"}}) {
    SCOPED_TRACE(zone);
    const test::ScopedTimeZone scoped_zone(zone);
    Reset();
    ASSERT_TRUE(test::HandedOver(Run(primary, {older}), 7));
    EXPECT_EQ(
        Formatted(ReplaceAll(test::DataFile("ios_reminders/calendar_database_and_older_copy.json"),
                             "09:00:00", start)),
        g_results.text);
  }
}

// Every release of the store gives the same document: the list names come
// from ZNAME1 (after an empty ZNAME), ZNAME2 or the list table; a reminder
// of a deleted list and one marked for deletion are tagged.
TEST_F(IosRemindersTest, EveryReleaseOfTheRemindersStore) {
  for (int version = samples::kIosRemindersFirstStoreSchema;
       version <= samples::kIosRemindersNewestSchema; ++version) {
    SCOPED_TRACE(version);
    Reset();
    ASSERT_TRUE(test::HandedOver(Run(Store("v" + std::to_string(version) + ".sqlite", version))));
    // {ATT-22} and {ATT-23}: the attachments in the backup.
    std::string expected = test::DataFile("ios_reminders/every_release.json");
    for (const auto& [id, name] : {std::pair{"ATT-22", "milk.jpg"}, {"ATT-23", "Image.png"}}) {
      expected = ReplaceAll(expected, std::string("{") + id + "}",
                            test::JsonEscaped(Attachment(id, name)));
    }
    EXPECT_EQ(Formatted(expected), g_results.text);
  }
}

// An older copy, given twice, of the first release of the store (into a
// primary of the same release) and of the previous release (into the
// newest): the reminder only it holds comes back once, tagged. Objects of
// the copy that the primary holds under their numbers are refused; the two
// lists of the previous release come along as bare rows.
TEST_F(IosRemindersTest, OlderCopyOfTheSameAndOfThePreviousRelease) {
  const struct {
    int primary, older;
    const char* objects;
  } cases[] = {
      {samples::kIosRemindersFirstStoreSchema, samples::kIosRemindersFirstStoreSchema, "11"},
      {samples::kIosRemindersNewestSchema, samples::kIosRemindersNewestSchema - 1, "7"}};
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.primary);
    Reset();
    const std::string name = "Data-" + std::to_string(test_case.primary) + ".sqlite";
    const std::string primary = Store(name, test_case.primary);
    const std::string older = Store("old.sqlite", test_case.older, true);
    ASSERT_EQ(kStatusOk, Run(primary, {older, older}));
    const Json::Value document = test::Parsed(g_results.text);
    ASSERT_EQ(4u, document.size());
    EXPECT_EQ(Formatted(test::DataFile("ios_reminders/one_reminder.json")), WriteJson(document[3]));
    EXPECT_EQ(std::vector<std::string>{test_case.objects},
              test::QueryColumn(temp_.File(name), "select count(*) from ZREMCDOBJECT"));
  }
}

TEST_F(IosRemindersTest, StoreWithoutRemindersIsANullDocument) {
  const std::string path = phone_.File("empty.sqlite");
  test::RunSql(path, samples::IosRemindersSql(samples::kIosRemindersNewestSchema));
  ASSERT_EQ(kStatusOk, Run(path));
  EXPECT_EQ("null", g_results.text.substr(0, 4));
}

// Attachment names and identifiers from the data only ever name a file id
// inside the backup folder.
TEST_F(IosRemindersTest, HostileAttachmentNamesStayInTheBackup) {
  const std::string path = Store("hostile.sqlite", samples::kIosRemindersNewestSchema);
  test::RunSql(path,
               "UPDATE ZREMCDOBJECT SET ZFILENAME = '../../../etc/passwd', ZCKIDENTIFIER = "
               "'../..' WHERE Z_PK = 22;"
               "UPDATE ZREMCDOBJECT SET ZFILENAME = '/abs/' || char(0) || 'x.png', "
               "ZCKIDENTIFIER = '/' WHERE Z_PK = 23;");
  ASSERT_EQ(kStatusOk, Run(path));
  const Json::Value media = test::Parsed(g_results.text)[0]["media_info"];
  ASSERT_EQ(2u, media.size());
  for (const Json::Value& attachment : media) {
    const std::string located = attachment["media_path"].asString();
    ASSERT_EQ(backup_.path().size() + 1 + 40, located.size()) << located;
    EXPECT_EQ(0u, located.find(backup_.path())) << located;
    EXPECT_TRUE(IsBackupFileId(located.substr(backup_.path().size() + 1))) << located;
  }
}

// Damaged and foreign stores, and a request without backup folder: a
// status and a log line, never a document.
TEST_F(IosRemindersTest, DamagedForeignAndIncompleteInputGiveAStatus) {
  const std::string sound = Store("sound.sqlite", samples::kIosRemindersNewestSchema);
  std::vector<test::DamagedDatabase> damaged = test::DamageDatabase(sound, phone_.File("damaged"));
  const std::string foreign = phone_.File("foreign.db");
  test::RunSql(foreign, "CREATE TABLE t (x);");
  damaged.push_back({"foreign", foreign, kStatusPrepareFailed, "no such table"});
  damaged.push_back({"no backup folder", sound, kStatusMissingInput, "No backup folder."});
  for (const test::DamagedDatabase& source : damaged) {
    SCOPED_TRACE(source.kind);
    Reset();
    DataTypeRecord record;
    record.data_type = kRemindersType;
    record.primary_files["reminder_file_path"] = source.path;
    if (source.kind != "no backup folder") record.additional_param = backup_.path();
    const size_t log_before = Log().size();
    EXPECT_TRUE(test::NothingHandedOver(test::CallPackageFunction(&record), source.status));
    EXPECT_TRUE(Logged(source.words, log_before));
  }
}

}  // namespace
}  // namespace kx
