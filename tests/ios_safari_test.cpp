// Safari bookmarks (data type 5) and history (data type 6) through the
// library's entry points: whole documents on every store version, the merge
// of an older copy, run-together addresses of cleared history, damaged and
// foreign stores.
#include "samples/ios_safari.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/status.h"
#include "ios/safari_bookmarks.h"
#include "ios/safari_history.h"
#include "package_capture.h"
#include "samples/ios_reminders.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kBookmarksType = 5;
constexpr int kHistoryType = 6;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

std::string Bookmark(int id, int parent, int type, const std::string& title, const char* url,
                     const std::string& uuid) {
  return "INSERT INTO bookmarks (id, parent, type, title, url, order_index, external_uuid) "
         "VALUES (" +
         std::to_string(id) + ", " + std::to_string(parent) + ", " + std::to_string(type) + ", '" +
         title + "', " + (url == nullptr ? "NULL" : "'" + std::string(url) + "'") + ", 0, '" +
         uuid + "');";
}

// Visits of an item; visit_time counts seconds from 2001.
std::string Item(int id, const std::string& url, const char* domain, const char* title) {
  return "INSERT INTO history_items (id, url, domain_expansion, visit_count, daily_visit_counts, "
         "should_recompute_derived_visit_counts, visit_count_score) VALUES (" +
         std::to_string(id) + ", '" + url + "', " +
         (domain == nullptr ? "NULL" : "'" + std::string(domain) + "'") +
         ", 1, x'00', 0, 100);"
         "INSERT INTO history_visits (history_item, visit_time, title) VALUES (" +
         std::to_string(id) + ", " + std::to_string(700000000 + id) + ", " +
         (title == nullptr ? "NULL" : "'" + std::string(title) + "'") + ");";
}

class IosSafariTest : public test::LibraryTest {
 protected:
  std::string Store(const std::string& name, const std::string& sql) {
    const std::string path = phone_.File(name);
    test::RunSql(path, sql);
    return path;
  }

  int Run(int type, const std::string& primary, const std::vector<std::string>& copies = {}) {
    return test::PackageWithCopies(
        type, temp_.path(), type == kBookmarksType ? "safari" : "safariHis", primary, copies);
  }

  test::TempDir phone_;
  test::TempDir temp_;
};

// The bar (a built-in folder) holds Travel, Travel holds Lisbon; one
// bookmark in each, one at the top level, one without URL.
const std::string kTree = Bookmark(1, 0, 1, "BookmarksBar", nullptr, "BookmarksBar") +
                          Bookmark(4, 1, 1, "Travel", nullptr, "U4") +
                          Bookmark(5, 4, 1, "Lisbon", nullptr, "U5") +
                          Bookmark(6, 0, 0, "Apple", "https://www.apple.com/", "U6") +
                          Bookmark(7, 4, 0, "Rail", "https://www.cp.pt/", "U7") +
                          Bookmark(8, 5, 0, "Tram", "https://www.carris.pt/", "U8");

TEST_F(IosSafariTest, BookmarksWithTheirFoldersOnEveryStoreVersion) {
  for (int version = samples::kIosBookmarksOldestSchema;
       version <= samples::kIosBookmarksNewestSchema; ++version) {
    SCOPED_TRACE(version);
    Reset();
    const std::string path = Store("Bookmarks" + std::to_string(version) + ".db",
                                   samples::IosBookmarksSql(version) + kTree);
    ASSERT_TRUE(test::HandedOver(Run(kBookmarksType, path), 4));
    EXPECT_EQ(Formatted(test::DataFile("ios_safari/bookmarks.json")), g_results.text);
  }
}

// The older copy holds a bookmark deleted since, under a number the phone
// has given to another bookmark: it comes back once, renumbered, tagged.
TEST_F(IosSafariTest, BookmarkOnlyTheOlderCopyHoldsComesBackOnceTagged) {
  const std::string primary =
      Store("Bookmarks.db", samples::IosBookmarksSql(samples::kIosBookmarksNewestSchema) + kTree);
  const std::string older =
      Store("old.db", samples::IosBookmarksSql(samples::kIosBookmarksOldestSchema) + kTree +
                          "DELETE FROM bookmarks WHERE id = 8;" +
                          Bookmark(8, 5, 0, "Hostel", "https://hostel.example/", "U9"));
  ASSERT_EQ(kStatusOk, Run(kBookmarksType, primary, {older, older}));
  const Json::Value document = test::Parsed(g_results.text);
  ASSERT_EQ(7u, document.size());
  EXPECT_EQ(Formatted(test::DataFile("ios_safari/older_copy_bookmark.json")),
            WriteJson(document[6]));
  EXPECT_EQ(std::vector<std::string>{"9"},
            test::QueryColumn(temp_.File("Bookmarks.db"),
                              "select id from bookmarks where external_uuid = 'U9'"));
}

TEST_F(IosSafariTest, HistoryWithVisitTitlesOnEveryStoreVersion) {
  for (int version = samples::kIosHistoryOldestSchema; version <= samples::kIosHistoryNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    Reset();
    const std::string path = Store("History" + std::to_string(version) + ".db",
                                   samples::IosHistorySql(version) +
                                       Item(1, "https://www.apple.com/", "apple", "Apple") +
                                       Item(2, "https://example.com/file.zip", "example", nullptr) +
                                       Item(3, "https://www.sqlite.org/", nullptr, "SQLite"));
    ASSERT_TRUE(test::HandedOver(Run(kHistoryType, path), 5));
    EXPECT_EQ(Formatted(test::DataFile("ios_safari/history.json")), g_results.text);
  }
}

// An item takes the title of its last visit that has one, however often
// the title changed before; visits of items the store no longer has count
// for nothing.
TEST_F(IosSafariTest, HistoryItemTakesItsLastVisitTitle) {
  const auto visit = [](int item, const char* title) {
    return "INSERT INTO history_visits (history_item, visit_time, title) VALUES (" +
           std::to_string(item) + ", 700000000, " + title + ");";
  };
  const std::string path = Store(
      "Titles.db", samples::IosHistorySql(samples::kIosHistoryNewestSchema) +
                       Item(1, "https://a.example/", "a", "First") + visit(2, "'Gone'") +
                       visit(1, "'Newer'") + visit(1, "'Old'") + visit(1, "NULL") + visit(1, "''") +
                       Item(3, "https://b.example/", "b", "B") + visit(3, "'B2'"));
  ASSERT_EQ(kStatusOk, Run(kHistoryType, path));
  EXPECT_EQ(Formatted(R"([{"Url": "https://a.example/", "domain": "a", "type": 2, "title": "Old"},
                          {"Url": "https://b.example/", "domain": "b", "type": 2, "title": "B2"}])"),
            g_results.text);
}

// The older copy holds items cleared since; one of them is a row whose URL
// text runs two addresses together, as the phone leaves them.
TEST_F(IosSafariTest, ClearedHistoryComesBackTaggedAndSplit) {
  const std::string primary =
      Store("History.db", samples::IosHistorySql(samples::kIosHistoryNewestSchema) +
                              Item(1, "https://www.apple.com/", "apple", "Apple"));
  const std::string older = Store(
      "old.db", samples::IosHistorySql(samples::kIosHistoryOldestSchema) +
                    Item(1, "https://www.apple.com/", "apple", "Apple") +
                    Item(2, "https://a.example/\xE8http://b.example/x", "a", "Two") +
                    Item(3, "https://cleared.example/", nullptr, nullptr) +
                    Item(4, "\xE8 \xE8", nullptr, "Blank") + Item(5, "\xE8\xE8", nullptr, nullptr));
  ASSERT_EQ(kStatusOk, Run(kHistoryType, primary, {older}));
  EXPECT_EQ(Formatted(test::DataFile("ios_safari/cleared_history.json")), g_results.text);
}

TEST(IosSafariRulesTest, RunTogetherAddressesAndFolderChains) {
  const struct {
    const char* url;
    std::vector<std::string> urls;
  } cases[] = {
      {"https://a.example/\xE8https://b.example/", {"https://a.example/", "https://b.example/"}},
      {"\xE8\xE8http://a.example/\xE8", {"http://a.example/"}},
      {"\xE8  \xE8", {""}},
      {"http\xE8http", {}},
      {"news.example\xE8", {"news.example"}},
      {"https\xE8https://a.example/", {"https://a.example/"}},
  };
  for (const auto& test_case : cases) {
    EXPECT_EQ(test_case.urls, SplitDeletedUrl(test_case.url)) << test_case.url;
  }
  // A chain that runs in a circle (a damaged store) ends where it meets
  // itself; an unknown parent gives no chain.
  const BookmarkFolders folders = {{1, {2, "A"}}, {2, {3, "B"}}, {3, {1, "C"}}, {4, {4, "Self"}}};
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), FolderChain(folders, 1));
  EXPECT_EQ(std::vector<std::string>{"Self"}, FolderChain(folders, 4));
  EXPECT_TRUE(FolderChain(folders, 9).empty());
}

// A store damaged in the ways a pull leaves it, or one of another
// application: a status and SQLite's words in the log, never a document.
TEST_F(IosSafariTest, DamagedAndForeignStoresGiveAStatus) {
  for (const int type : {kBookmarksType, kHistoryType}) {
    SCOPED_TRACE(type);
    const std::string sound =
        Store(type == kBookmarksType ? "sound-b.db" : "sound-h.db",
              type == kBookmarksType ? samples::IosBookmarksSql(1) + kTree
                                     : samples::IosHistorySql(1) + Item(1, "https://a/", "a", "A"));
    std::vector<test::DamagedDatabase> damaged =
        test::DamageDatabase(sound, phone_.File("damaged" + std::to_string(type)));
    damaged.push_back({"foreign",
                       Store("foreign" + std::to_string(type) + ".db", "CREATE TABLE t (x);"),
                       kStatusPrepareFailed, "no such table"});
    for (const test::DamagedDatabase& source : damaged) {
      SCOPED_TRACE(source.kind);
      Reset();
      DataTypeRecord record;
      record.data_type = type;
      record.primary_files[type == kBookmarksType ? "safari_file_path" : "safariHis_file_path"] =
          source.path;
      const size_t log_before = Log().size();
      EXPECT_TRUE(test::NothingHandedOver(test::CallPackageFunction(&record), source.status));
      EXPECT_TRUE(Logged(source.words, log_before));
    }
  }
}

// A stop request ends each package step without a document (reminders
// included: the three share the old-style contract).
TEST_F(IosSafariTest, StopRequestGivesNoDocument) {
  const std::string bookmarks = Store("stop-b.db", samples::IosBookmarksSql(1) + kTree);
  const std::string history =
      Store("stop-h.db", samples::IosHistorySql(1) + Item(1, "https://a/", "a", "A"));
  const std::string reminders = phone_.File("stop-r.sqlite");
  samples::IosSampleOptions options;
  ASSERT_TRUE(samples::WriteIosReminders(reminders, options));
  const struct {
    int type;
    const char* key;
    std::string path;
    const char* name;
  } cases[] = {{kBookmarksType, "safari_file_path", bookmarks, "IOSSafariDataPackage"},
               {kHistoryType, "safariHis_file_path", history, "IOSSafariHisDataPackage"},
               {8, "reminder_file_path", reminders, "IOSReminderDataPackage"}};
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.type);
    Reset();
    DataTypeRecord record;
    record.data_type = test_case.type;
    record.primary_files[test_case.key] = test_case.path;
    record.additional_param = phone_.path();
    std::atomic<int> stop{1};
    EXPECT_TRUE(test::NothingHandedOver(test::CallPackageFunction(&record, CaptureResult, &stop),
                                        kStatusOk));
    EXPECT_TRUE(Logged(std::string(test_case.name) + " stoped!"));
  }
}

}  // namespace
}  // namespace kx
