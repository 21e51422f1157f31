// The Kx photo database: the staged packager and the package function over
// photo index databases of both versions (documents whole), batches of
// 10000, bad input and a stop in each stage.
#include "samples/ios_kx_photo.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "package_capture.h"
#include "pipeline/kx_photo_index.h"
#include "staged_stop_gate.h"
#include "test_support.h"

namespace kx {
namespace {

using test::CaptureResult;
using test::Formatted;
using test::g_results;

std::string Albums() { return test::DataFile("ios_kx_photo/albums_members.json"); }

// tests/data/ios_kx_photo/records.json: the sample's photos as detail-file records ({U}: the
// uniform type the version gives; titles only in version 2).

class IosKxPhotoTest : public test::LibraryTest {
 protected:
  void TearDown() override { Reset(); }

  // The sample's database of `version` in the backup folder.
  std::string Database(int version) {
    EXPECT_TRUE(samples::WriteIosKxPhoto(backup_.path(), test::SampleVersion(version)));
    return backup_.File(samples::kIosKxPhotoDatabaseName);
  }
  // Named even when empty: an empty path is a case of its own.
  Json::Value Request(const std::string& database, const std::string& backup) const {
    Json::Value request = test::MakeRequest(28, temp_.path(), {});
    request["primary_file_object"]["photo_file_path"] = database;
    request["addtional_param"] = backup;
    return request;
  }
  int RunStaged(const std::string& database, const std::string& backup) {
    return test::PackageStagedRequest(Request(database, backup));
  }
  int RunPackage(const std::string& database, const std::string& backup) {
    return test::FilterAndPackage(Request(database, backup));
  }

  std::string Expand(std::string text, int version = 2) const {
    text = ReplaceAll(text, "{T}", test::JsonEscaped(temp_.path() + kPathSeparator));
    text = ReplaceAll(text, "{B}", test::JsonEscaped(backup_.path() + kPathSeparator));
    text = ReplaceAll(text, "{S}", test::JsonEscaped(std::string(1, kPathSeparator)));
    text = ReplaceAll(text, "{U}", version == 2 ? "1" : "0");
    for (const char* title : {"Beach", "Sunset", "Waves", "Screenshot"}) {
      text = ReplaceAll(text, std::string("{") + title + "}", version == 2 ? title : "");
    }
    return text;
  }
  test::TempDir backup_;
  test::TempDir temp_;
};

TEST_F(IosKxPhotoTest, StagedDocumentsOfBothVersions) {
  for (const int version : {1, 2}) {
    SCOPED_TRACE(version);
    g_results = test::CapturedResults();
    ASSERT_TRUE(test::HandedOver(RunStaged(Database(version), backup_.path()), 25));
    EXPECT_EQ(
        Formatted(Expand(std::string(R"({"photo_file_path": ["{T}DataAnalysis_KxPhoto_0.json"],
        "photos_num": 4,)") +
                         Albums() + "}")),
        g_results.text);
    EXPECT_EQ(Formatted(Expand(test::DataFile("ios_kx_photo/records.json"), version)),
              test::ReadFileBytes(temp_.File("DataAnalysis_KxPhoto_0.json")));
  }
}

TEST_F(IosKxPhotoTest, PackageFunctionDocument) {
  ASSERT_TRUE(test::HandedOver(RunPackage(Database(2), backup_.path()), 25));
  EXPECT_EQ(Formatted(Expand(std::string(R"({"photo_file_path": ["{T}DataAnalysis_Photo_0.json"],
      "photos_num": 4,)") + Albums() +
                             "}")),
            g_results.text);
  EXPECT_EQ(Formatted(Expand(test::DataFile("ios_kx_photo/package_function_detail.json"))),
            test::ReadFileBytes(temp_.File("DataAnalysis_Photo_0.json")));
}

// 25000 photos, and two whose names lead out of the Photos folder.
TEST_F(IosKxPhotoTest, BatchesOfTenThousand) {
  const std::string database = backup_.File("many.db");
  test::RunSql(database,
               samples::IosKxPhotoSql(2) +
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                   "25000) INSERT INTO PhotoInfo (ID, Filename) SELECT i, 'P' || i || '.JPG' "
                   "FROM n;"
                   "INSERT INTO PhotoInfo (ID, Filename) VALUES ('90001', '../../x.jpg'), "
                   "('90002', 'a/../../y.jpg');");
  ASSERT_EQ(0, RunStaged(database, backup_.path()));
  Json::Value result = test::Parsed(g_results.text);
  EXPECT_EQ(25000, result["photos_num"].asInt());
  EXPECT_EQ(Formatted(Expand(R"(["{T}DataAnalysis_KxPhoto_0.json", "{T}DataAnalysis_KxPhoto_1.json",
      "{T}DataAnalysis_KxPhoto_2.json"])")),
            WriteJson(result["photo_file_path"]));
  const size_t sizes[] = {10000, 10000, 5000};
  for (int file = 0; file < 3; ++file) {
    EXPECT_EQ(sizes[file],
              test::Parsed(test::ReadFileBytes(temp_.File("DataAnalysis_KxPhoto_" +
                                                          std::to_string(file) + ".json")))
                  .size());
  }
  EXPECT_TRUE(Logged("2 photos name a file outside the Photos folder"));

  g_results = test::CapturedResults();
  ASSERT_EQ(0, RunPackage(database, backup_.path()));
  result = test::Parsed(g_results.text);
  EXPECT_EQ(25000, result["photos_num"].asInt());
  EXPECT_EQ(Formatted(Expand(R"(["{T}DataAnalysis_Photo_0.json", "{T}DataAnalysis_Photo_1.json",
      "{T}DataAnalysis_Photo_2.json"])")),
            WriteJson(result["photo_file_path"]));
  EXPECT_EQ(5000u,
            test::Parsed(test::ReadFileBytes(temp_.File("DataAnalysis_Photo_2.json"))).size());
}

TEST_F(IosKxPhotoTest, EmptyFolderGivesPathsFromTheSeparator) {
  ASSERT_EQ(0, RunStaged(Database(2), ""));
  const Json::Value records =
      test::Parsed(test::ReadFileBytes(temp_.File("DataAnalysis_KxPhoto_0.json")));
  const std::string s(1, kPathSeparator);
  EXPECT_EQ(s + "Photos" + s + "IMG_0001.JPG", records[0]["file_name"].asString());
}

TEST_F(IosKxPhotoTest, NumbersFromText) {
  const std::pair<const char*, int> integers[] = {{"", 0},      {"12", 12}, {"-3", -3},
                                                  {"12abc", 0}, {"abc", 0}, {"99999999999", 0}};
  for (const auto& [text, value] : integers) EXPECT_EQ(value, ParseDecimalInt(text)) << text;
  const std::pair<const char*, double> numbers[] = {{"", 0.0},       {"1.5", 1.5}, {"7", 7.0},
                                                    {"1e3", 1000.0}, {"nan", 0.0}, {"inf", 0.0},
                                                    {"2x", 0.0}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(value, ParseDecimalNumber(text)) << text;
}

TEST_F(IosKxPhotoTest, BadInput) {
  const std::string damaged = backup_.File("damaged.db");
  test::WriteFileBytes(damaged, std::string(4096, 'x'));
  const std::string without_photos = backup_.File("albums_only.db");
  test::RunSql(without_photos, "CREATE TABLE AlbumInfo (ID INTEGER, Title TEXT);");
  struct Case {
    const char* name;
    std::string database;
    int staged;
    int package;
    const char* log;
  };
  const Case cases[] = {
      {"missing database", backup_.File("absent.db"), 1100, 1112, "not exists"},
      {"empty path", "", 1100, 1112, "File {} not exists"},
      {"damaged database", damaged, 1105, 1112, "Database open failed"},
      {"no PhotoInfo", without_photos, 1106, 1112, "no such table: PhotoInfo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_results = test::CapturedResults();
    EXPECT_EQ(c.staged, RunStaged(c.database, backup_.path()));
    EXPECT_TRUE(Logged(c.log));
    EXPECT_TRUE(test::NothingHandedOver(RunPackage(c.database, backup_.path()), c.package));
    Reset();
  }
  // The package function also needs the folder above "Photos".
  EXPECT_EQ(1112, RunPackage(Database(2), ""));
  EXPECT_TRUE(Logged("No backup path."));
}

TEST_F(IosKxPhotoTest, StopFromAnotherThreadInEachStage) {
  const std::string database = Database(2);
  test::ExpectEachStageStops(
      {{"Init", "", false, "IosKxPhotoKxDataPackage::Init stopped!"},
       {"photos", "SELECT * FROM PhotoInfo", true,
        "IosKxPhotoKxDataPackage::AnalyseDatabase stopped!"},
       {"albums", "SELECT * FROM AlbumInfo", true,
        "IosKxPhotoKxDataPackage::AnalyseDatabase stopped!"},
       {"OutPut", "COMMIT", false, "IosKxPhotoKxDataPackage::OutPut stopped!"}},
      [&] { return RunStaged(database, backup_.path()); }, [this] { Reset(); },
      [this] { return Log(); });
  // The package function stops at its row loop, without a callback.
  Reset();
  bool reached = false;
  test::StagedStopGate gate("SELECT * FROM PhotoInfo", true);
  EXPECT_EQ(1111, gate.RunStopping([&] { return RunPackage(database, backup_.path()); }, &reached));
  EXPECT_TRUE(reached);
  EXPECT_EQ(0, g_results.count);
  EXPECT_TRUE(Logged("IOSKxPhotoDataPackage stoped!"));
}

}  // namespace
}  // namespace kx
