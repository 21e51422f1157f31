// The iOS photos packager (data type 16) through the library's entry points:
// whole batch files and result documents on every library generation, in a
// backup and in a photo folder, edited versions, albums found through join
// tables of several versions or none, batch boundaries, the smart-album
// table and names from the library that try to leave their folder.
#include "samples/ios_photos.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "common/text.h"
#include "ios/photo_groups.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kPhotoType = 16;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

// The six sample assets as every generation packages them. {L:id} is the
// id's place in a backup of two-digit sub-folders; ids hashed
// independently.

std::string FixedGroupsJson() { return test::DataFile("ios_photos/fixed_groups.json"); }

constexpr char kSampleAlbums[] =
    R"({"ID": 11, "Title": "Holiday", "Type": 2, "ZUUID": "5A1E3C0D-93B2-4F5A-8C1B-0D8E2F7A6B21"},
       {"ID": 12, "Title": "Family", "Type": 2, "ZUUID": "C3D2E1F0-1A2B-4C3D-9E8F-7A6B5C4D3E2F"},)";

// Assets of the newest generation that the sample lacks: an edited HEIC of
// saved-asset type 0, an edited photo kept only as a thumbnail (type 1),
// an asset of type 4 and a video without a directory or extra attributes.
std::string NewestAssets() { return test::DataFile("ios_photos/newest_assets.sql"); }

// {R} is the photo folder's root, {F:id} the id's place in a flat backup.
std::string NewestBatch() { return test::DataFile("ios_photos/newest_batch.json"); }

class IosPhotosTest : public test::LibraryTest {
 protected:
  Json::Value Request(const std::string& library, const std::string& root,
                      const char* has_sub_dir = "1", const char* photo_folder = "0") {
    Json::Value request = test::MakeRequest(
        kPhotoType, temp_.path(),
        {{"photo_file_path", library}, {"thumb_config_path", thumb_config_}}, {}, root);
    if (has_sub_dir != nullptr) request["other_info"]["has_sub_dir"] = has_sub_dir;
    if (photo_folder != nullptr) request["other_info"]["is_photo_folder"] = photo_folder;
    return request;
  }

  int Run(const Json::Value& request) { return test::FilterAndPackage(request); }

  // What the package function gets for `library` in the backup.
  void FillRecord(const std::string& library, DataTypeRecord* record) const {
    record->data_type = kPhotoType;
    record->temp_folder = temp_.path();
    record->primary_files = {{"photo_file_path", library}, {"thumb_config_path", thumb_config_}};
    record->other_info = {{"has_sub_dir", "1"}, {"is_photo_folder", "0"}};
    record->additional_param = backup_.path();
  }

  void ThumbConfig(const std::string& text) {
    thumb_config_ = phone_.File("thumbnailConfiguration");
    test::WriteFileBytes(thumb_config_, text);
  }

  std::string Sample(int version) {
    const std::string path = phone_.File("Photos" + std::to_string(version) + ".sqlite");
    EXPECT_TRUE(samples::WriteIosPhotos(path, test::SampleVersion(version), nullptr));
    return path;
  }

  std::string Batch(int number) const {
    return JoinPath(temp_.path(), "KxDataPackage_Photo_" + std::to_string(number) + ".json");
  }

  std::string Log() const {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(logs_.path())) {
      text += test::ReadFileBytes(entry.path().u8string());
    }
    return text;
  }

  test::TempDir phone_;
  test::TempDir temp_;
  test::TempDir backup_;
  std::string thumb_config_;
};

// {L:id} and {F:id}: where a file id lies in a backup of two-digit
// sub-folders or a flat one; {R}: the photo folder.
std::string Placed(std::string text, const std::string& root) {
  for (const char* form : {"{L:", "{F:"}) {
    for (size_t at = text.find(form); at != std::string::npos; at = text.find(form)) {
      const std::string id = text.substr(at + 3, 40);
      const std::string place = form[1] == 'L' ? test::TwoLevel(root, id) : JoinPath(root, id);
      text.replace(at, 44, test::JsonEscaped(place));
    }
  }
  return text;
}

std::string Document(const std::string& albums, const std::vector<std::string>& files, int count) {
  Json::Value document =
      test::Parsed("{\"GroupManifestList\": [" + albums + FixedGroupsJson() + "]}");
  document["photo_file_path"] = test::JsonList(files);
  document["photos_num"] = count;
  return WriteJson(document);
}

TEST_F(IosPhotosTest, WholeBatchOnEveryLibraryGeneration) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  for (int version = samples::kIosPhotosOldestSchema; version <= samples::kIosPhotosNewestSchema;
       ++version) {
    SCOPED_TRACE(version);
    Reset();
    ASSERT_TRUE(test::HandedOver(Run(Request(Sample(version), backup_.path())), 11));
    EXPECT_EQ(Document(kSampleAlbums, {Batch(1)}, 6), g_results.text);
    EXPECT_EQ(Formatted(Placed(test::DataFile("ios_photos/sample_batch.json"), backup_.path())),
              test::ReadFileBytes(Batch(1)));
  }
  // What the older ZASSET lacks, and what the newest dropped, is read as
  // NULL (the date from the creation date instead) and said once.
  const std::string log = Log();
  EXPECT_NE(
      std::string::npos,
      log.find("ZASSET and ZADDITIONALASSETATTRIBUTES have no column ZDERIVEDCAMERACAPTUREDEVICE, "
               "ZDEPTHTYPE: read as NULL."));
  EXPECT_NE(std::string::npos, log.find("have no column ZSORTTOKEN: read as NULL."));
}

// The newest generation's own flags, a photo folder with its loose DCIM
// files, and a thumbnail configuration without a format.
TEST_F(IosPhotosTest, PhotoFolderWithEditedVersionsAndLooseFiles) {
  ThumbConfig(samples::IosThumbnailConfiguration(0));
  test::TempDir device;
  const std::string root = JoinPath(device.path(), "PhotoData");
  const std::string loose = JoinPath(JoinPath(device.path(), "DCIM"), "100APPLE");
  std::filesystem::create_directories(PathFromUtf8(root));
  std::filesystem::create_directories(PathFromUtf8(loose));
  for (const char* name : {"IMG_9002.MOV", "IMG_9001.JPG", "notes.txt", "README"}) {
    test::WriteFileBytes(JoinPath(loose, name), "x");
  }
  const std::string library = phone_.File("Photos.sqlite");
  test::RunSql(library, samples::IosPhotosSql(samples::kIosPhotosNewestSchema) + NewestAssets());
  ASSERT_EQ(kStatusOk, Run(Request(library, root, "0", "1")));
  const std::string dcim = JoinPath(temp_.path(), "KxDataPackage_Photo_DCIM.json");
  EXPECT_EQ(Document("", {Batch(1), dcim}, 4), g_results.text);
  const std::string separator = test::JsonEscaped(std::string(1, kPathSeparator));
  std::string expected = ReplaceAll(Placed(NewestBatch(), root), "{R}", test::JsonEscaped(root));
  expected = ReplaceAll(expected, "/", separator);
  const std::string actual = ReplaceAll(test::ReadFileBytes(Batch(1)), "/", separator);
  EXPECT_EQ(Formatted(expected), actual);
  // {D}/: the loose files' folder.
  EXPECT_EQ(Formatted(ReplaceAll(test::DataFile("ios_photos/loose_dcim.json"), "{D}/",
                                 test::JsonEscaped(loose + kPathSeparator))),
            test::ReadFileBytes(dcim));
}

// The same library in a backup: the type-1 photo's original is its
// thumbnail-store file; without a format the thumbnail is the original.
TEST_F(IosPhotosTest, BackupModeWithoutThumbnailFormat) {
  ThumbConfig("not a property list");
  const std::string library = phone_.File("Photos.sqlite");
  test::RunSql(library, samples::IosPhotosSql(samples::kIosPhotosNewestSchema) + NewestAssets());
  ASSERT_EQ(kStatusOk, Run(Request(library, backup_.path(), "0")));
  const Json::Value photos = test::Parsed(test::ReadFileBytes(Batch(1)))["photo_data"];
  ASSERT_EQ(4u, photos.size());
  for (const char* member : {"origin_file_path", "thumb_file_path"}) {
    EXPECT_EQ(JoinPath(backup_.path(), "62ab4753315abaf9ed288188081ec094d8bc1f0b"),
              photos[1][member].asString());
  }
  EXPECT_FALSE(photos[3].isMember("origin_file_path"));
}

// Albums through the join table whatever it is called; none when the
// library has no readable one, and the assets are packaged all the same.
TEST_F(IosPhotosTest, AlbumsWithoutAReadableJoinTable) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  const struct {
    int version;
    const char* change;
    const char* log;
  } kCases[] = {
      {1, "DROP TABLE Z_23ASSETS;", "No table of album members"},
      {4, "DROP TABLE Z_28ASSETS; CREATE TABLE Z_30ASSETS (Z_30ALBUMS INTEGER);",
       "Table Z_30ASSETS has no album and asset columns"},
      {3, "ALTER TABLE Z_26ASSETS RENAME TO Z_26ITEMS;", "No table of album members"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.change);
    Reset();
    const std::string library = Sample(c.version);
    test::RunSql(library, c.change);
    ASSERT_EQ(kStatusOk, Run(Request(library, backup_.path())));
    EXPECT_EQ(Document(kSampleAlbums, {Batch(1)}, 6), g_results.text);
    std::string expected = Placed(test::DataFile("ios_photos/sample_batch.json"), backup_.path());
    expected = ReplaceAll(expected, ", \"5A1E3C0D-93B2-4F5A-8C1B-0D8E2F7A6B21\"", "");
    expected = ReplaceAll(expected, ", \"C3D2E1F0-1A2B-4C3D-9E8F-7A6B5C4D3E2F\"", "");
    EXPECT_EQ(Formatted(expected), test::ReadFileBytes(Batch(1)));
    EXPECT_NE(std::string::npos, Log().find(c.log));
  }
}

// A library without its table of extra attributes still gives its assets,
// without the original names and sizes that table holds.
TEST_F(IosPhotosTest, LibraryWithoutExtraAttributes) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  const std::string library = Sample(2);
  test::RunSql(library, "DROP TABLE ZADDITIONALASSETATTRIBUTES;");
  ASSERT_EQ(kStatusOk, Run(Request(library, backup_.path())));
  Json::Value expected =
      test::Parsed(Placed(test::DataFile("ios_photos/sample_batch.json"), backup_.path()));
  for (Json::Value& photo : expected["photo_data"]) {
    photo.removeMember("filesize");
    photo.removeMember("original_file_name");
  }
  EXPECT_EQ(WriteJson(expected), test::ReadFileBytes(Batch(1)));
  EXPECT_NE(std::string::npos,
            Log().find("ZGENERICASSET and ZADDITIONALASSETATTRIBUTES have no column "
                       "ZORIGINALFILENAME, ZORIGINALFILESIZE"));
}

TEST_F(IosPhotosTest, BatchBoundaries) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  for (const int assets : {10000, 10001}) {
    SCOPED_TRACE(assets);
    Reset();
    const std::string library = phone_.File("Photos" + std::to_string(assets) + ".sqlite");
    ASSERT_TRUE(samples::WriteIosPhotoLibrary(library, 3, assets, 5));
    ASSERT_EQ(kStatusOk, Run(Request(library, backup_.path())));
    const Json::Value document = test::Parsed(g_results.text);
    EXPECT_EQ(assets, document["photos_num"].asInt());
    std::vector<std::string> expected = {Batch(1)};
    if (assets > 10000) expected.push_back(Batch(2));
    EXPECT_EQ(test::JsonList(expected), document["photo_file_path"]);
    const Json::Value first = test::Parsed(test::ReadFileBytes(Batch(1)))["photo_data"];
    EXPECT_EQ(10000u, first.size());
    EXPECT_EQ(10000, first[9999]["id"].asInt());
    if (assets > 10000) {
      const Json::Value second = test::Parsed(test::ReadFileBytes(Batch(2)))["photo_data"];
      ASSERT_EQ(1u, second.size());
      EXPECT_EQ(10001, second[0]["id"].asInt());
    } else {
      EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(Batch(2))));
    }
  }
}

TEST_F(IosPhotosTest, StopDuringThePackageStepGivesNoDocument) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  const std::string library = phone_.File("Photos.sqlite");
  ASSERT_TRUE(samples::WriteIosPhotoLibrary(library, 4, 20000, 5));
  const std::string request = WriteJson(Request(library, backup_.path()));
  ASSERT_EQ(kStatusOk, FilterDataType(request.c_str(), static_cast<int>(request.size())));
  EXPECT_EQ(kStatusStopped, test::PackageWhileStopping(kPhotoType, [this] { return Log(); }));
  EXPECT_EQ(0, g_results.count);
}

// A library damaged as a pull from a phone leaves it gives a status and no
// document; one whose asset rows cannot be read hands over what was read,
// then says the step failed.
TEST_F(IosPhotosTest, DamagedLibraries) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  const std::string sound = Sample(samples::kIosPhotosNewestSchema);
  for (const test::DamagedDatabase& damaged : test::DamageDatabase(sound, phone_.File("damaged"))) {
    SCOPED_TRACE(damaged.kind);
    Reset();
    DataTypeRecord record;
    FillRecord(damaged.path, &record);
    EXPECT_TRUE(test::NothingHandedOver(test::CallPackageFunction(&record), damaged.status));
  }
  Reset();
  test::DamageTablePage(sound, "ZASSET");
  EXPECT_EQ(kStatusNotPackaged, Run(Request(sound, backup_.path())));
  EXPECT_EQ(1, g_results.count);
  EXPECT_NE(std::string::npos, Log().find("database disk image is malformed"));
}

TEST(PhotoGroupsTest, Classification) {
  const auto keys = [](std::initializer_list<const char*> titles) {
    std::vector<std::string> out;
    for (const char* title : titles) {
      for (const FixedGroup& group : FixedGroups()) {
        if (group.title == std::string(title)) out.push_back(group.key);
      }
    }
    return out;
  };
  // kind, subtype, hidden, playback, trashed, favorite, camera, burst, saved type,
  // latitude, longitude, depth
  const struct {
    PhotoAttributes attributes;
    std::vector<std::string> groups;
    int is_video;
  } kCases[] = {
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, keys({"CameraRoll", "Places"}), 0},
      {{0, 1, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0}, {}, -1},
      {{1, 101, 0, 0, 0, 0, 0, 0, 3, -180, 5, 0}, keys({"Videos", "Slo-Mo"}), 1},
      {{1, 102, 0, 0, 0, 0, 0, 0, 3, 5, -180, 2}, keys({"Videos", "Time Lapse", "Cinematic"}), 1},
      {{0, 2, 1, 0, 0, 1, 0, 0, 3, 1, 1, 0},
       keys({"Live Photo", "Hidden", "Favorites", "Places"}),
       -1},
      {{0, 10, 0, 0, 1, 0, 0, 0, 3, -180, -180, 0}, keys({"Screenshots", "Recently Deleted"}), -1},
      {{0, 1, 0, 2, 0, 0, 1, 52, 0, -180, -180, 1},
       keys({"CameraRoll", "Panoramas", "Animated", "Selfies", "Bursts", "Portrait"}),
       0},
      {{2, 0, 0, 0, 0, 0, 0, 0, 0, -180, -180, 0}, {}, -1},
  };
  for (const auto& c : kCases) {
    PhotoClassification out;
    ClassifyPhoto(c.attributes, &out);
    std::vector<std::string> groups;
    for (const std::string* key : out.keys) groups.push_back(*key);
    EXPECT_EQ(c.groups, groups);
    EXPECT_EQ(c.is_video, out.is_video);
  }
}

// Directories and names that try to leave the backup or the photo folder:
// backup locations are hashes inside the backup, and folder paths that
// would leave the folder are left out.
TEST_F(IosPhotosTest, HostileDirectoriesAndNames) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  const std::string library = phone_.File("Photos.sqlite");
  const std::string long_name(10000, 'n');
  test::RunSql(library,
               samples::IosPhotosSql(samples::kIosPhotosNewestSchema) +
                   "INSERT INTO ZASSET (Z_PK, ZKIND, ZSAVEDASSETTYPE, ZHASADJUSTMENTS, ZDIRECTORY, "
                   "ZFILENAME) VALUES "
                   "(1, 0, 3, 1, '../../..', '../../etc/passwd'),"
                   "(2, 0, 1, 1, '/etc', 'shadow'),"
                   "(3, 0, 3, 1, 'DCIM' || char(0) || '/..', 'a' || char(0) || '.jpg'),"
                   "(4, 0, 3, 1, 'DCIM/100APPLE', '" +
                   long_name + "'),(5, 0, 3, 0, 'C:', '..');");
  const std::string root = JoinPath(backup_.path(), "PhotoData");
  std::filesystem::create_directories(PathFromUtf8(root));
  for (const char* folder_mode : {"0", "1"}) {
    SCOPED_TRACE(folder_mode);
    Reset();
    ASSERT_EQ(kStatusOk, Run(Request(library, root, "1", folder_mode)));
    const Json::Value photos = test::Parsed(test::ReadFileBytes(Batch(1)))["photo_data"];
    ASSERT_EQ(5u, photos.size());
    for (const Json::Value& photo : photos) {
      for (const char* member : {"other_file_path", "mutation_backup_path"}) {
        if (!photo.isMember(member)) continue;
        const std::string path = photo[member].asString();
        EXPECT_EQ(0u, path.find(root + kPathSeparator)) << path;
        EXPECT_EQ(root.size() + 1 + 2 + 1 + 40, path.size()) << path;
      }
    }
    if (folder_mode[0] == '0') {
      EXPECT_EQ(root.size() + 44, photos[0]["origin_file_path"].asString().size());
    } else {
      // Only the photo whose steps stay inside the folder gets folder paths.
      for (int i : {0, 2, 4}) EXPECT_FALSE(photos[i].isMember("thumb_file_path")) << i;
      // An absolute directory would name a place of the host's own.
      for (int i : {0, 1, 2, 4}) EXPECT_FALSE(photos[i].isMember("origin_file_path")) << i;
      const std::string separator(1, kPathSeparator);
      EXPECT_EQ(JoinPath(root, ReplaceAll("Thumbnails/V2/etc/shadow/5005.JPG", "/", separator)),
                ReplaceAll(photos[1]["thumb_file_path"].asString(), "/", separator));
      EXPECT_EQ(0u, photos[3]["thumb_file_path"].asString().find(root));
    }
  }
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(temp_.path()))) {
    if (entry.path().extension() == ".json") written.push_back(entry.path().filename().u8string());
  }
  EXPECT_EQ(std::vector<std::string>{"KxDataPackage_Photo_1.json"}, written);
}

// The package function's own answers, in the order it checks its inputs.
TEST_F(IosPhotosTest, RefusedInputs) {
  ThumbConfig(samples::IosThumbnailConfiguration(samples::kIosSampleThumbFormat));
  const std::string library = Sample(samples::kIosPhotosNewestSchema);
  const std::string other = phone_.File("other.sqlite");
  test::RunSql(other, "CREATE TABLE ZGENERICALBUM (Z_PK INTEGER PRIMARY KEY, ZTITLE VARCHAR);");
  const struct {
    const char* what;
    void (*change)(DataTypeRecord*, const std::string& other);
    int status;
  } kCases[] = {
      {"No primary file.",
       [](DataTypeRecord* r, const std::string&) { r->primary_files.erase("photo_file_path"); },
       kStatusMissingInput},
      {"No primary file.",
       [](DataTypeRecord* r, const std::string&) { r->primary_files["thumb_config_path"] = ""; },
       kStatusMissingInput},
      {"No backup folder.",
       [](DataTypeRecord* r, const std::string&) { r->additional_param.clear(); },
       kStatusMissingInput},
      {"No temp folder.", [](DataTypeRecord* r, const std::string&) { r->temp_folder.clear(); },
       kStatusMissingInput},
      {"No required param.",
       [](DataTypeRecord* r, const std::string&) { r->other_info.erase("is_photo_folder"); },
       kStatusMissingInput},
      {"no such table: ZGENERICASSET",
       [](DataTypeRecord* r, const std::string& path) {
         r->primary_files["photo_file_path"] = path;
       },
       kStatusPrepareFailed},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Reset();
    DataTypeRecord record;
    FillRecord(library, &record);
    c.change(&record, other);
    EXPECT_TRUE(test::NothingHandedOver(test::CallPackageFunction(&record), c.status));
    EXPECT_NE(std::string::npos, Log().find(c.what));
  }
}

}  // namespace
}  // namespace kx
