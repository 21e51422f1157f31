// iOS music and video: the staged packager over media libraries of several
// versions (result and detail documents whole), its batches, bad input and
// a stop in each stage; and the package functions of music and video over
// the intermediate media database.
#include "pipeline/ios_music_video.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "package_capture.h"
#include "samples/ios_media_library.h"
#include "staged_stop_gate.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

// {T}: the temp folder; {B}: the backup folder; {S}: the native separator;
// each as it stands in a JSON string.
std::string Expanded(std::string text, const std::string& temp, const std::string& backup = "") {
  text = ReplaceAll(text, "{T}", test::JsonEscaped(temp + kPathSeparator));
  text = ReplaceAll(text, "{B}", test::JsonEscaped(backup + kPathSeparator));
  return ReplaceAll(text, "{S}", test::JsonEscaped(std::string(1, kPathSeparator)));
}

Json::Value ReadJsonFile(const std::string& path) {
  return test::Parsed(test::ReadFileBytes(path));
}

// tests/data/ios_music_video/: the sample library as the packager gives it,
// from libraries with base locations and hidden playlists (versions 2 and 3).

class IosMusicVideoTest : public test::LibraryTest {
 protected:
  void TearDown() override { Reset(); }

  std::string Library(int version, const std::string& extra_sql = "") {
    const std::string path = phone_.File("MediaLibrary" + std::to_string(version) + ".sqlitedb");
    EXPECT_TRUE(samples::WriteIosMediaLibrary(path, test::SampleVersion(version)));
    if (!extra_sql.empty()) test::RunSql(path, extra_sql);
    return path;
  }

  int Run(const std::string& library) { return RunInto(library, temp_.path()); }
  // The library is named even when empty: an empty path is a case of its own.
  static int RunInto(const std::string& library, const std::string& temp) {
    Json::Value request = test::MakeRequest(29, temp, {});
    request["primary_file_object"]["music_video_file_path"] = library;
    return test::PackageStagedRequest(request);
  }

  std::string Expand(const std::string& text) const { return Expanded(text, temp_.path()); }

  test::TempDir phone_;
  test::TempDir temp_;
};

TEST_F(IosMusicVideoTest, LibrariesWithBaseLocationsAndHiddenPlaylists) {
  for (const int version : {2, 3}) {
    SCOPED_TRACE(version);
    g_results = test::CapturedResults();
    ASSERT_TRUE(test::HandedOver(Run(Library(version)), 26));
    EXPECT_EQ(Formatted(Expand(test::DataFile("ios_music_video/result.json"))), g_results.text);
    EXPECT_EQ(Formatted(Expand(test::DataFile("ios_music_video/music.json"))),
              test::ReadFileBytes(temp_.File("DataAnalysis_Music_0.json")));
    EXPECT_EQ(Formatted(Expand(test::DataFile("ios_music_video/video.json"))),
              test::ReadFileBytes(temp_.File("DataAnalysis_Video_1.json")));
  }
}

// The oldest layout has no base locations (no item has a path) and no
// hidden playlists (all three are listed, with their songs).
TEST_F(IosMusicVideoTest, LibraryWithoutBaseLocationsOrHiddenFlag) {
  ASSERT_EQ(0, Run(Library(1)));
  Json::Value result = test::Parsed(Expand(test::DataFile("ios_music_video/result.json")));
  Json::Value hidden;
  hidden["ID"] = 7003;
  hidden["IndexValue"] = 2;
  hidden["Title"] = "Purchased (hidden)";
  result["musics"]["PlayListInfo"].append(hidden);
  EXPECT_EQ(WriteJson(result), g_results.text);

  Json::Value music = test::Parsed(Expand(test::DataFile("ios_music_video/music.json")));
  Json::Value video = test::Parsed(Expand(test::DataFile("ios_music_video/video.json")));
  for (Json::Value* items : {&music, &video}) {
    for (Json::Value& item : *items) {
      item["FileFullPath"] = "";
      item["FileExtendName"] = "";
    }
  }
  music[0]["PlayListID"].append(7003);
  music[3]["PlayListID"].append(7003);
  EXPECT_EQ(WriteJson(music), test::ReadFileBytes(temp_.File("DataAnalysis_Music_0.json")));
  EXPECT_EQ(WriteJson(video), test::ReadFileBytes(temp_.File("DataAnalysis_Video_1.json")));
  EXPECT_TRUE(Logged("media library has no base_location, container.is_hidden: read as NULL."));
}

// 2500 songs: two full files while reading, the last 500 when the result
// is built, then the videos.
TEST_F(IosMusicVideoTest, BatchesOfAThousand) {
  const std::string songs =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
      "INSERT INTO item_extra (item_pid, title, location, media_kind) "
      "SELECT 100000 + i, 'Song ' || i, 'S' || i || '.mp3', 1 FROM n;";
  const std::string library = phone_.File("big.sqlitedb");
  test::RunSql(library, samples::IosMediaLibrarySql(2) + songs +
                            "INSERT INTO item_extra (item_pid, media_kind) VALUES (9, 2);");
  ASSERT_EQ(0, Run(library));
  const Json::Value result = test::Parsed(g_results.text);
  EXPECT_EQ(2500, result["musics"]["musics_num"].asInt());
  EXPECT_EQ(1, result["videos"]["video_num"].asInt());
  const std::string expected_files = Expand(test::DataFile("ios_music_video/batch_files.json"));
  Json::Value files(Json::objectValue);
  files["music_file_path"] = result["musics"]["music_file_path"];
  files["video_file_path"] = result["videos"]["video_file_path"];
  EXPECT_EQ(Formatted(expected_files), WriteJson(files));
  const int sizes[] = {1000, 1000, 500};
  for (int file = 0; file < 3; ++file) {
    const Json::Value items =
        ReadJsonFile(temp_.File("DataAnalysis_Music_" + std::to_string(file) + ".json"));
    EXPECT_EQ(sizes[file], static_cast<int>(items.size()));
    EXPECT_EQ(100001 + file * 1000, items[0]["ID"].asInt());
  }
}

// Paths from the data never lead out of the media folder: such an item is
// listed without a path, like an item without a file.
TEST_F(IosMusicVideoTest, HostilePathsAreListedWithoutAPath) {
  const std::string library = Library(
      2,
      "INSERT INTO base_location VALUES (1, '../../..'), (2, '/etc'), (3, 'C:/Windows');"
      "INSERT INTO item (item_pid, base_location_id) VALUES (11, 3840), (12, 1), (13, 2), "
      "(14, 3), (15, 3840), (16, 3840);"
      "INSERT INTO item_extra (item_pid, title, location, media_kind) VALUES "
      "(11, 'a', '../../../../etc/passwd', 1), (12, 'b', 'x.mp3', 1), (13, 'c', 'y.mp3', 1), "
      "(14, 'd', 'z.mp3', 1), (15, 'e', 'F00\\..\\..\\up.mp3', 1), "
      "(16, 'f', 'nul' || char(0) || '.mp3', 1);");
  ASSERT_EQ(0, Run(library));
  const Json::Value music = ReadJsonFile(temp_.File("DataAnalysis_Music_0.json"));
  int hostile = 0;
  for (const Json::Value& item : music) {
    if (item["ID"].asInt() < 11 || item["ID"].asInt() > 16) continue;
    ++hostile;
    EXPECT_EQ("", item["FileFullPath"].asString()) << item["ID"];
    EXPECT_EQ("", item["FileExtendName"].asString()) << item["ID"];
  }
  EXPECT_EQ(6, hostile);
  EXPECT_TRUE(Logged("6 media rows name a path outside the media folder"));
}

TEST_F(IosMusicVideoTest, BadInput) {
  const std::string damaged = phone_.File("damaged.sqlitedb");
  test::WriteFileBytes(damaged, "SQLite format 3\0 this is no database at all, only words");
  const std::string no_items = phone_.File("no_items.sqlitedb");
  test::RunSql(no_items, "CREATE TABLE container (container_pid INTEGER PRIMARY KEY);");
  struct Case {
    const char* name;
    std::string library;
    std::string temp;
    int status;
    const char* log;
  };
  const Case cases[] = {
      {"missing library", phone_.File("absent.sqlitedb"), temp_.path(), 1100, "not exists"},
      {"empty path", "", temp_.path(), 1100, "File {} not exists"},
      {"missing temp folder", Library(2), temp_.File("absent"), 1100, "not exists"},
      {"damaged library", damaged, temp_.path(), 1105, "Database open failed"},
      {"no item_extra", no_items, temp_.path(), 1106, "no such table: item_extra"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_results = test::CapturedResults();
    EXPECT_TRUE(test::NothingHandedOver(RunInto(c.library, c.temp), c.status));
    EXPECT_TRUE(Logged(c.log));
  }
  // Nothing but staged copies went into the temp folder.
  for (const auto& entry : fs::directory_iterator(temp_.path())) {
    EXPECT_NE(std::string::npos, entry.path().filename().string().find(".sqlitedb"))
        << entry.path();
  }
}

// A stop requested from another thread while a stage runs: the run ends
// with 1111, no document, and the stage names itself; after initialising
// the library the same request runs through.
TEST_F(IosMusicVideoTest, StopFromAnotherThreadInEachStage) {
  const std::string library = Library(3);
  test::TempDir temp;
  test::ExpectEachStageStops(
      {{"Init", "", false, "IosMusicVideoDataPackage::Init stopped!"},
       {"playlist membership", "select item_pid as MediaID", true,
        "IosMusicVideoDataPackage::HandleMusicPlayListAsset stopped!"},
       {"media rows", "select it_ex.item_pid", true,
        "IosMusicVideoDataPackage::HandleMediaMeg stopped!"},
       {"playlists", "select container_pid as ID", true,
        "IosMusicVideoDataPackage::HandleMusicPlayListInfo stopped!"},
       {"OutPut", "COMMIT", false, "IosMusicVideoDataPackage::OutPut stopped!"}},
      [&] { return RunInto(library, temp.path()); }, [this] { Reset(); }, [this] { return Log(); });
}

// A stop stays set until the library is initialised again. A second run
// that starts after it stops at once and does not clear it, so the run
// that was in flight when the stop came still ends with 1111 and hands
// nothing over.
TEST_F(IosMusicVideoTest, StopOfOneRunSurvivesTheStartOfAnother) {
  const std::string library = Library(2);
  test::TempDir first_temp;
  StagedParameters parameters;
  parameters.data_type = 29;
  parameters.temp_folder = first_temp.path();
  parameters.callback = CaptureResult;
  parameters.primary_file_path = library;
  parameters.staged_stop = &StagedStopFlag();
  IosMusicVideoDataPackage in_flight(parameters);
  ASSERT_EQ(0, in_flight.CheckParam());
  ASSERT_EQ(0, in_flight.Init());

  std::thread([] { RequestStop(); }).join();
  EXPECT_EQ(1111, Run(library));
  EXPECT_EQ(2, StagedStopFlag().load());
  EXPECT_TRUE(test::NothingHandedOver(in_flight.AnalyseDatabase(), 1111));

  Reset();
  EXPECT_TRUE(test::HandedOver(Run(library)));
}

// ---------------------------------------------------------------------------
// The package functions of music (26) and video (27).

class IosMusicVideoPackageTest : public IosMusicVideoTest {
 protected:
  int Package(int data_type, const std::string& database, const std::string& backup) {
    return test::FilterAndPackage(test::MakeRequest(
        data_type, temp_.path(),
        {{data_type == 26 ? "music_file_path" : "video_file_path", database}}, {}, backup));
  }
  std::string Index(bool videos, int version, const std::string& extra_sql = "") {
    const std::string path =
        phone_.File(std::string(videos ? "video" : "music") + std::to_string(version) + ".db");
    EXPECT_TRUE(samples::WriteIosMediaIndex(path, videos, test::SampleVersion(version)));
    if (!extra_sql.empty()) test::RunSql(path, extra_sql);
    return path;
  }
  test::TempDir backup_;
};

std::string PlayLists() { return test::DataFile("ios_music_video/play_lists_members.json"); }

TEST_F(IosMusicVideoPackageTest, MusicAndVideoDocuments) {
  ASSERT_TRUE(test::HandedOver(Package(26, Index(false, 1), backup_.path()), 23));
  EXPECT_EQ(Formatted(Expanded(std::string(R"({"music_file_path": ["{T}DataAnalysis_Music_0.json"],
      "musics_num": 4,)") + PlayLists() +
                                   "}",
                               temp_.path())),
            g_results.text);
  EXPECT_EQ(Formatted(Expanded(test::DataFile("ios_music_video/package_music_detail.json"),
                               temp_.path(), backup_.path())),
            test::ReadFileBytes(temp_.File("DataAnalysis_Music_0.json")));

  g_results = test::CapturedResults();
  ASSERT_TRUE(test::HandedOver(Package(27, Index(true, 2), backup_.path()), 24));
  // An intermediate database without FileExtendName and Total: those
  // members are absent, the rest is read.
  EXPECT_EQ(Formatted(Expanded(test::DataFile("ios_music_video/package_video_result.json"),
                               temp_.path())),
            g_results.text);
  EXPECT_EQ(Formatted(Expanded(test::DataFile("ios_music_video/package_video_detail.json"),
                               temp_.path(), backup_.path())),
            test::ReadFileBytes(temp_.File("DataAnalysis_Video_0.json")));
}

TEST_F(IosMusicVideoPackageTest, FilesOfTenThousandAndHostileNames) {
  const std::string index = Index(
      false, 1,
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 19996) "
      "INSERT INTO mediaInfo (ID, Filename) SELECT 100000 + i, 'S' || i || '.mp3' FROM n;"
      "INSERT INTO mediaInfo (ID, Filename) VALUES (1, '../../secret.mp3'), (2, '/etc/x.mp3');");
  ASSERT_EQ(0, Package(26, index, backup_.path()));
  const Json::Value result = test::Parsed(g_results.text);
  EXPECT_EQ(20002, result["musics_num"].asInt());
  ASSERT_EQ(3u, result["music_file_path"].size());
  const Json::Value first = ReadJsonFile(temp_.File("DataAnalysis_Music_0.json"));
  ASSERT_EQ(10000u, first.size());
  EXPECT_EQ("", first[0]["Filename"].asString());  // ID 1
  EXPECT_EQ("", first[1]["Filename"].asString());  // ID 2
  EXPECT_EQ(2u, ReadJsonFile(temp_.File("DataAnalysis_Music_2.json")).size());
}

TEST_F(IosMusicVideoPackageTest, StopFromAnotherThreadGivesNoDocument) {
  const std::string index = Index(false, 1);
  bool reached = false;
  test::StagedStopGate gate("SELECT ID,Filename", true);
  EXPECT_EQ(1111, gate.RunStopping([&] { return Package(26, index, backup_.path()); }, &reached));
  EXPECT_TRUE(reached);
  EXPECT_EQ(0, g_results.count);
  EXPECT_TRUE(Logged("IOSMusicDataPackage stoped!"));
}

}  // namespace
}  // namespace kx
