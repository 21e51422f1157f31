// The iOS books packager (data type 22): one table of book lists, each with
// the whole document it gives and its status, and the inputs it refuses.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "common/status.h"
#include "package_capture.h"
#include "test_support.h"

namespace kx {
namespace {

using test::CallPackageFunction;
using test::CapturedResults;
using test::Formatted;
using test::g_results;

constexpr int kBooksType = 22;

std::string PlistDocument(const std::string& root) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n" +
         root + "</plist>\n";
}

std::string BookList(const std::string& books) {
  return PlistDocument("<dict><key>Books</key><array>" + books + "</array></dict>");
}

// An entry as the Books application writes it, with the members the list
// carries besides the two that are read.
std::string Book(const std::string& name, const std::string& path) {
  return "<dict><key>Artist</key><string>Anon</string><key>Name</key><string>" + name +
         "</string><key>Path</key><string>" + path +
         "</string><key>Persistent ID</key><string>376FAA7E4CF81729</string>"
         "<key>Kind</key><string>epub</string></dict>";
}

class IosBooksTest : public ::testing::Test {
 protected:
  int Run(const std::string& list_bytes, const std::string& backup_root) {
    g_results = CapturedResults();
    test::WriteFileBytes(phone_.File("Books.plist"), list_bytes);
    DataTypeRecord record;
    record.data_type = kBooksType;
    record.temp_folder = temp_.path();
    record.primary_files["book_plist"] = phone_.File("Books.plist");
    record.additional_param = backup_root;
    return CallPackageFunction(&record);
  }

  test::TempDir phone_;
  test::TempDir temp_;
};

TEST_F(IosBooksTest, WholeDocumentOfEveryList) {
  struct Case {
    const char* name;
    std::string list;
    int status;
    std::string document;
  };
  const Case cases[] = {
      {"two books, one not a dictionary between them",
       BookList(Book("Walden", "Purchases/376FAA7E4CF81729.epub") + "<string>stray</string>" +
                Book("Émile", "/669FEE1FFBB29D81.epub")),
       kStatusOk, test::DataFile("ios_books/two_books.json")},
      {"entries missing every member",
       BookList("<dict/><dict><key>Name</key><integer>7</integer></dict>"), kStatusOk,
       R"({"book_items": [{"book_name": "", "book_file_path": "/backup"},
                          {"book_name": "", "book_file_path": "/backup"}], "size": 2})"},
      {"no book at all", BookList(""), kStatusOk, R"({"book_items": null, "size": 0})"},
      {"only elements that are no dictionaries", BookList("<string>a</string><integer>1</integer>"),
       kStatusOk, R"({"book_items": null, "size": 0})"},
      {"not a property list", std::string(300, '\x07'), kStatusBookListFailed,
       R"({"book_items": null, "size": 0})"},
      {"an empty file", "", kStatusBookListFailed, R"({"book_items": null, "size": 0})"},
      {"Books of the wrong type", PlistDocument("<dict><key>Books</key><string>x</string></dict>"),
       kStatusBookListFailed, R"({"book_items": null, "size": 0})"},
      {"no Books member", PlistDocument("<dict><key>Other</key><array/></dict>"),
       kStatusBookListFailed, R"({"book_items": null, "size": 0})"},
      {"an array at the root", PlistDocument("<array>" + Book("Walden", "w.epub") + "</array>"),
       kStatusBookListFailed, R"({"book_items": null, "size": 0})"},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(one.name);
    EXPECT_EQ(one.status, Run(one.list, "/backup"));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(17, g_results.kind);
    EXPECT_EQ(Formatted(one.document), g_results.text);
  }
}

TEST_F(IosBooksTest, RefusedInputsHandNothingOver) {
  EXPECT_TRUE(
      test::NothingHandedOver(Run(BookList(Book("Walden", "w.epub")), ""), kStatusMissingInput));
  DataTypeRecord record;
  record.data_type = kBooksType;
  record.additional_param = "/backup";
  g_results = CapturedResults();
  EXPECT_TRUE(test::NothingHandedOver(CallPackageFunction(&record), kStatusMissingInput));
}

}  // namespace
}  // namespace kx
