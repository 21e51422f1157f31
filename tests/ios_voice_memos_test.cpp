// The iOS voice memo packager (data type 21) through the library's entry
// points: whole documents on every version of the local and the cloud
// recordings databases, evicted recordings, a plain folder of recordings,
// paths from the data that try to leave the folder, and refused inputs.
#include "samples/ios_voice_memos.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "common/status.h"
#include "ios/voice_memos.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kVoiceMemosType = 21;

using test::CapturedResults;
using test::CaptureResult;
using test::Formatted;
using test::g_results;

// MediaDomain files of the recordings below, hashed independently.
constexpr char kLocalAudio[] = "0ebf21dac2a76f4a2c70e1c627cfce360142f11e";
constexpr char kCloudAudio[] = "f62f846627e217666a0f32950eee68277df2022c";
constexpr char kEvictedAudio[] = "74a9c06812c38167025389ca66028fbdc2509696";

// ZDATE counts from 2001: 447000900 is 2015-03-01 15:55 UTC.
std::string LocalRows(int version) {
  return std::string(
             "INSERT INTO ZRECORDING (Z_PK, Z_ENT, Z_OPT, ZDATE, ZDURATION, ZCUSTOMLABEL, "
             "ZPATH") +
         (version >= 2 ? ", ZUNIQUEID" : "") +
         ") VALUES (1, 1, 1, 447000900, 12.5, 'Lecture', "
         "'/var/mobile/Media/Recordings/20150301 091500.m4a'" +
         (version >= 2 ? ", 'L-1'" : "") + ");";
}

// A recording the user named, one never named and one whose audio went to
// the cloud (evicted from the phone).
std::string CloudRows(int version) {
  std::string rows =
      "INSERT INTO ZCLOUDRECORDING (Z_PK, Z_ENT, Z_OPT, ZDATE, ZDURATION, ZCUSTOMLABEL, ZPATH, "
      "ZUNIQUEID, ZEVICTIONDATE) VALUES "
      "(1, 2, 1, 705838500.5, 42.0, 'Rehearsal', "
      "'/var/mobile/Media/Recordings/20230514 101500-7A2B.m4a', 'C-1', NULL),"
      "(2, 2, 1, 707349662, 8.5, NULL, '/var/mobile/', 'C-2', NULL),"
      "(3, 2, 1, 693597600, 95.0, 'Carols', "
      "'/var/mobile/Media/Recordings/20221224 180000-9E4F.m4a', 'C-3', 698781600);";
  if (version >= 2) rows += "UPDATE ZCLOUDRECORDING SET ZCUSTOMLABELFORSORTING = 'Recording 2';";
  return rows;
}

class IosVoiceMemosTest : public test::LibraryTest {
 protected:
  Json::Value Request(const std::string& local, const std::string& cloud,
                      const char* plain_folder = "0") {
    Json::Value request = test::MakeRequest(
        kVoiceMemosType, temp_.path(),
        {{"voice_memos_file_path", local}, {"voice_memos_cloud_file_path", cloud}},
        {{"has_sub_dir", "1"}}, backup_.path());
    if (plain_folder != nullptr) request["other_info"]["is_voice_memos_folder"] = plain_folder;
    return request;
  }

  int Run(const Json::Value& request) {
    Reset();
    return test::FilterAndPackage(request);
  }

  std::string Store(const std::string& name, const std::string& sql) {
    const std::string path = phone_.File(name);
    test::RunSql(path, sql);
    return path;
  }

  test::TempDir phone_;
  test::TempDir temp_;
  test::TempDir backup_;
};

TEST_F(IosVoiceMemosTest, WholeDocumentOnEveryStoreVersion) {
  for (int cloud = samples::kIosCloudRecordingsOldestSchema;
       cloud <= samples::kIosCloudRecordingsNewestSchema; ++cloud) {
    const int local = cloud == 1 ? 1 : 2;
    SCOPED_TRACE(cloud);
    const std::string version = std::to_string(cloud);
    const std::string local_path =
        Store("Recordings" + version + ".db", samples::IosRecordingsSql(local) + LocalRows(local));
    const std::string cloud_path = Store("CloudRecordings" + version + ".db",
                                         samples::IosCloudRecordingsSql(cloud) + CloudRows(cloud));
    ASSERT_TRUE(test::HandedOver(Run(Request(local_path, cloud_path)), 16));
    // The oldest stores have no ZUNIQUEID locally and no sorting label in
    // the cloud; {L}, {C} and {E} are the local, cloud and evicted audio in
    // the backup.
    std::string expected = ReplaceAll(test::DataFile("ios_voice_memos/recordings.json"),
                                      "{LOCAL_ID}", local >= 2 ? R"("unique_id": "L-1",)" : "");
    expected =
        ReplaceAll(expected, "{SORTING_LABEL}", cloud >= 2 ? R"("label": "Recording 2",)" : "");
    for (const auto& [mark, id] :
         {std::pair{"{L}", kLocalAudio}, {"{C}", kCloudAudio}, {"{E}", kEvictedAudio}}) {
      expected = ReplaceAll(expected, mark, test::JsonEscaped(test::TwoLevel(backup_.path(), id)));
    }
    EXPECT_EQ(Formatted(expected), g_results.text);
  }
}

// A plain folder of recordings: the audio lies under the folder by the
// part of the path after "Recordings"; a path that would leave it, or has
// no "Recordings", is located nowhere.
TEST_F(IosVoiceMemosTest, PlainFolderOfRecordings) {
  const std::string cloud =
      Store("CloudRecordings.db",
            samples::IosCloudRecordingsSql(samples::kIosCloudRecordingsNewestSchema) +
                "INSERT INTO ZCLOUDRECORDING (Z_PK, ZDATE, ZPATH) VALUES "
                "(1, 0, '/var/mobile/Media/Recordings/20230514 101500-7A2B.m4a'),"
                "(2, 0, '/var/mobile/Media/Recordings/../../../etc/passwd'),"
                "(3, 0, '/var/mobile/Media/Other/x.m4a');");
  ASSERT_EQ(kStatusOk, Run(Request("", cloud, "1")));
  // {P}: the first recording in the folder.
  EXPECT_EQ(Formatted(ReplaceAll(
                test::DataFile("ios_voice_memos/plain_folder.json"), "{P}",
                test::JsonEscaped(JoinPath(backup_.path(), "20230514 101500-7A2B.m4a")))),
            g_results.text);
}

TEST(VoiceMemoLocationTest, PathsFromTheData) {
  const std::string root = "backup";
  struct Case {
    const char* media_path;
    bool two_level;
    bool plain_folder;
    std::string expected;
  };
  const Case cases[] = {
      {"/var/mobile/Media/Recordings/20150301 091500.m4a", true, false,
       JoinPath(JoinPath(root, "0e"), kLocalAudio)},
      {"/var/mobile/Media/Recordings/20150301 091500.m4a", false, false,
       JoinPath(root, kLocalAudio)},
      // A ".." from the data is only hashed: it names a file of the backup.
      {"/var/mobile/Media/Recordings/../../../etc/passwd", false, false,
       JoinPath(root, "0175e49a16058077f12d9ea95c425157b193d986")},
      {"/var/mobile/", false, false, ""},
      {"", true, false, ""},
      {"/var/mobile/Media/Recordings/a/b.m4a", false, true, JoinPath(JoinPath(root, "a"), "b.m4a")},
      {"/var/mobile/Media/Recordings\\b.m4a", false, true, JoinPath(root, "b.m4a")},
      {"/var/mobile/Media/Recordings/../b.m4a", false, true, ""},
      {"/var/mobile/Media/Recordings/a/../../b.m4a", false, true, ""},
      {"/var/mobile/Media/Recordings/./b.m4a", false, true, ""},
      {"/var/mobile/Media/Recordings/C:/b.m4a", false, true, ""},
      {"/var/mobile/Media/Recordings/", false, true, ""},
      {"/var/mobile/Media/Other/b.m4a", false, true, ""},
      // "Recordings" inside the first twelve characters is cut off first.
      {"/Recordings/var/b.m4a", false, true, ""},
  };
  for (const Case& location : cases) {
    SCOPED_TRACE(location.media_path);
    EXPECT_EQ(location.expected, VoiceMemoLocation(location.media_path, root, location.two_level,
                                                   location.plain_folder));
  }
  const std::string with_nul("/var/mobile/Media/Recordings/a\0/../b.m4a", 40);
  EXPECT_EQ("", VoiceMemoLocation(with_nul, root, false, true));
}

// Refused inputs give the dispatcher's status and no document; a store
// that cannot be read leaves the other one's recordings in the document.
TEST_F(IosVoiceMemosTest, RefusedAndDamagedInputs) {
  const std::string local = Store("Recordings.db", samples::IosRecordingsSql(2) + LocalRows(2));
  Json::Value no_backup = Request(local, "");
  no_backup["addtional_param"] = "";
  const std::pair<const char*, Json::Value> refused[] = {
      {"no database", Request("", "")},
      {"no is_voice_memos_folder", Request(local, "", nullptr)},
      {"no backup folder", no_backup},
  };
  for (const auto& [name, request] : refused) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(test::NothingHandedOver(Run(request), KX_STATUS_NOT_PACKAGED));
  }

  const std::string not_database = phone_.File("CloudRecordings.db");
  test::WriteFileBytes(not_database, std::string(4096, 'x'));
  const std::string other = Store("Other.db", "CREATE TABLE ZFOLDER (Z_PK INTEGER PRIMARY KEY);");
  for (const std::string& cloud : {not_database, other}) {
    SCOPED_TRACE(cloud);
    EXPECT_EQ(KX_STATUS_NOT_PACKAGED, Run(Request(local, cloud)));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(1u, test::Parsed(g_results.text)["size"].asUInt());
  }
}

// A stop asked for before the rows are read ends the step without a
// document; the same step without it hands one over.
TEST_F(IosVoiceMemosTest, StopBeforeTheRows) {
  DataTypeRecord record;
  record.data_type = kVoiceMemosType;
  record.primary_files["voice_memos_file_path"] =
      Store("Recordings.db", samples::IosRecordingsSql(2) + LocalRows(2));
  record.other_info = {{"has_sub_dir", "0"}, {"is_voice_memos_folder", "0"}};
  record.additional_param = backup_.path();
  for (const int flag : {1, 0}) {
    SCOPED_TRACE(flag);
    g_results = CapturedResults();
    std::atomic<int> stop{flag};
    PackageContext context;
    context.data_type = kVoiceMemosType;
    context.packager_name = "IOSVoiceMemosDataPackage";
    context.stem = "iosvoicememosdatapackage";
    context.result_kind = 16;
    context.callback = CaptureResult;
    context.stop = &stop;
    EXPECT_EQ(kStatusOk, IosVoiceMemosDataPackage(&record, context));
    EXPECT_EQ(flag == 0 ? 1 : 0, g_results.count);
  }
}

}  // namespace
}  // namespace kx
