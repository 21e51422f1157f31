// Android packagers on sources nobody here made: a damaged LINE store gives
// a status and one log line in SQLite's own words, never a document; numbers
// that JSON cannot hold are written as null by every packager, so every
// document and detail file reads back.
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "package_capture.h"
#include "packager/data_type_record.h"
#include "samples/android_line.h"
#include "samples/sample_set.h"
#include "sdk/data_type_table.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using test::g_results;

constexpr int kLineType = 30;

struct Packager {
  int data_type;
  const char* primary_key;
  const char* file_name;  // in the sample phone folder
};

const Packager kPackagers[] = {
    {3, "callhistory_file_path", "calllog.db"},
    {4, "sms_file_path", "mmssms.db"},
    {2, "contact_file_path", "contacts2.db"},
    {0, "msg_file_path", "msgstore.db"},
    {kLineType, "line_file_path", samples::kAndroidLineDatabaseName},
};

class HostileSourcesTest : public test::LibraryTest {
 protected:
  static void SetUpTestSuite() {
    samples_ = std::make_unique<test::TempDir>();
    std::string error;
    ASSERT_TRUE(samples::WriteAndroidSampleSet(samples_->path(), 1, &error)) << error;
  }
  static void TearDownTestSuite() { samples_.reset(); }

  static std::string Sound(const Packager& packager) {
    return (fs::u8path(samples_->path()) / samples::kSampleAndroidFolder / packager.file_name)
        .u8string();
  }
  // The package function's own status: the dispatcher would turn it into
  // 1112. The staged LINE run answers with its stage's status.
  int Package(const Packager& packager, const std::string& path, const std::string& temp) {
    g_results = test::CapturedResults();
    if (packager.data_type == kLineType) {
      return test::PackageStagedRequest(
          test::RequestDocument(kLineType, temp, packager.primary_key, path));
    }
    DataTypeRecord record;
    record.data_type = packager.data_type;
    record.temp_folder = temp;
    record.primary_files[packager.primary_key] = path;
    return test::CallPackageFunction(&record);
  }

  static std::unique_ptr<test::TempDir> samples_;
  test::TempDir work_;
};
std::unique_ptr<test::TempDir> HostileSourcesTest::samples_;

// The old-style packagers keep these in the contract suite; LINE's staged
// run answers alike. Its CheckParam answers for a missing file.
TEST_F(HostileSourcesTest, DamagedLineStoreGivesAStatusAndSqlitesWords) {
  const Packager& line = kPackagers[std::size(kPackagers) - 1];
  for (const test::DamagedDatabase& source : test::DamageDatabase(Sound(line), work_.path())) {
    SCOPED_TRACE(source.kind);
    const size_t log_before = Log().size();
    EXPECT_EQ(source.status, Package(line, source.path, work_.path()));
    EXPECT_EQ(0, g_results.count);
    const std::string log = Log().substr(log_before);
    const size_t at = log.find("[AndroidLineDataPackage::Init](");
    ASSERT_NE(std::string::npos, at) << log;
    EXPECT_NE(std::string::npos, log.find(source.words, at)) << log;
  }
}

// A file whose schema reads but whose rows do not: what was read is still
// handed over, and the status and the log say why in SQLite's words.
TEST_F(HostileSourcesTest, DamagedLineRowsGiveWhatWasReadAndAStatus) {
  const Packager& line = kPackagers[std::size(kPackagers) - 1];
  const std::string path = work_.File(line.file_name);
  fs::copy_file(fs::u8path(Sound(line)), fs::u8path(path));
  test::DamageTablePage(path, "chat_history");
  EXPECT_EQ(kStatusStepFailed, Package(line, path, work_.path()));
  EXPECT_EQ(1, g_results.count);
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("database disk image is malformed",
                                        log.find("[AndroidLineDataPackage::AnalyseDatabase](")))
      << log;
}

// Numbers JSON cannot hold follow.

// Every JSON file the run left in `folder` (batch and detail files) reads
// back with JsonCpp, as a host reads it.
void ExpectSideFilesRead(const std::string& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(folder))) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().u8string());
    const std::string text = test::ReadFileBytes(entry.path().u8string());
    test::Parsed(text);
    EXPECT_EQ(std::string::npos, text.find("e+9999"));
  }
}

TEST_F(HostileSourcesTest, NumbersJsonCannotHoldAreWrittenAsNull) {
  // Infinity where each packager reads numbers; SQLite itself turns a NaN
  // (infinity minus infinity) into NULL.
  const std::string kInfinities[] = {
      "UPDATE calls SET duration = CASE _id WHEN 1 THEN 1e999 WHEN 2 THEN -1e999 "
      "ELSE 1e999 - 1e999 END WHERE _id <= 3;",
      "UPDATE sms SET type = 1e999, thread_id = -1e999, date = 1e999;",
      "UPDATE data SET data2 = 1e999, raw_contact_id = -1e999 WHERE _id % 2 = 0;",
      "UPDATE chat SET sort_timestamp = 1e999; UPDATE message SET timestamp = -1e999, "
      "message_type = 1e999 WHERE _id % 3 = 0;",
      "UPDATE chat_history SET location_latitude = 1e999, location_longitude = -1e999, "
      "attachement_image_height = 1e999 - 1e999;",
  };
  for (size_t i = 0; i < std::size(kPackagers); ++i) {
    const Packager& packager = kPackagers[i];
    SCOPED_TRACE(packager.file_name);
    const std::string folder = work_.File(packager.file_name);
    fs::create_directories(fs::u8path(folder));
    const std::string path = folder + "/" + packager.file_name;
    fs::copy_file(fs::u8path(Sound(packager)), fs::u8path(path));
    test::RunSql(path, kInfinities[i]);
    ASSERT_EQ(0, Package(packager, path, folder));
    ASSERT_EQ(1, g_results.count);
    EXPECT_EQ(std::string::npos, g_results.text.find("e+9999"));
    const Json::Value document = test::Parsed(g_results.text);
    ExpectSideFilesRead(folder);
    if (packager.data_type == 3) {
      const Json::Value& calls = document["callhistory"];
      for (Json::ArrayIndex call = 0; call < 2; ++call) {
        EXPECT_TRUE(calls[call].isMember("duration") && calls[call]["duration"].isNull()) << call;
      }
      EXPECT_FALSE(calls[2].isMember("duration"));  // NULL, as SQLite stored it
    }
  }
}

}  // namespace
}  // namespace kx
