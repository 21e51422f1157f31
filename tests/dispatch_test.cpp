// The filter step, the registry's state machine and the package dispatch,
// driven through the library's entry points with test doubles for the
// packagers of one row of the data-type table.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "test_dispatcher.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr int kFakeType = 5;  // a row whose real packager is not needed here

test::TestDispatcher g_dispatch;
std::atomic<int> g_filter_calls{0};
std::atomic<int> g_popped{0};
std::atomic<int> g_package_calls{0};
std::atomic<int> g_filter_result{0};
std::vector<std::string> g_callback_texts;
int g_callback_kind = -1;

int FakeFilter(DataTypeRecord* record, SqliteConfig*, const PackageContext&) {
  ++g_filter_calls;
  if (g_filter_result != 0) return g_filter_result;
  FileQueue* queue = record->SecondFiles("safari_files_path");
  std::string path;
  if (queue != nullptr && queue->Pop(&path)) ++g_popped;
  return g_filter_result;
}

int FakePackage(DataTypeRecord* record, const PackageContext& context) {
  ++g_package_calls;
  const std::string text =
      "{\"primary\":\"" + std::string(record->PrimaryFile("p") ? "yes" : "no") + "\"}";
  context.callback(context.result_kind, text.c_str(), static_cast<int>(text.size()));
  return 0;
}

int FailingPackage(DataTypeRecord*, const PackageContext&) { return 1105; }

int CaptureResult(int kind, const char* text, int length) {
  g_callback_kind = kind;
  g_callback_texts.emplace_back(text, static_cast<size_t>(length));
  return 0;
}

const DataTypeEntry kFakeEntry = {4,
                                  "FakeDataPackage",
                                  "FakeDataFilter",
                                  "fakedatapackage",
                                  FakeFilter,
                                  FakePackage,
                                  {"safari_files_path", nullptr},
                                  4};
int OutOfMemoryFilter(DataTypeRecord*, SqliteConfig*, const PackageContext&) {
  throw std::bad_alloc();
}
int InternalErrorPackage(DataTypeRecord*, const PackageContext&) {
  throw std::logic_error("broken invariant");
}
const DataTypeEntry kThrowingEntry = [] {
  DataTypeEntry entry = kFakeEntry;
  entry.filter = OutOfMemoryFilter;
  entry.package = InternalErrorPackage;
  return entry;
}();

const DataTypeEntry kFailingPackageEntry = [] {
  DataTypeEntry entry = kFakeEntry;
  entry.package = FailingPackage;
  return entry;
}();

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
    g_dispatch.Reset();
    g_dispatch.SetRow(kFakeType, kFakeEntry);
    g_filter_calls = g_popped = g_package_calls = g_filter_result = 0;
    g_callback_texts.clear();
    g_callback_kind = -1;
    std::filesystem::create_directories(sources_.File("old"));
    test::WriteFileBytes(sources_.File("primary.db"), "primary bytes");
    test::WriteFileBytes(sources_.File("copy1.db"), "copy one");
    test::WriteFileBytes(sources_.File("old/primary.db"), "older primary");
  }
  void TearDown() override { g_dispatch.RestoreRow(kFakeType); }

  // A filter request for the fake type with its primary in `temp_folder`.
  Json::Value RequestInto(const std::string& temp_folder, int type = kFakeType) {
    return test::RequestDocument(type, temp_folder, "p", sources_.File("primary.db"));
  }
  // A filter request for `type` with the given further copies.
  std::string Request(const std::vector<std::string>& copies, int type = kFakeType) {
    Json::Value request = RequestInto(temp_.path(), type);
    request["second_file_objects"]["safari_files_path"] = test::JsonList(copies);
    return WriteJson(request);
  }
  int Filter(const std::string& text) {
    return g_dispatch.Filter(text.c_str(), static_cast<int>(text.size()));
  }

  test::TempDir logs_, temp_, sources_;
};

TEST_F(DispatchTest, FilterStagesPrimaryAndDrainsQueue) {
  EXPECT_EQ(0, Filter(Request({sources_.File("copy1.db"), sources_.File("old/primary.db")})));
  EXPECT_EQ(2, g_popped.load());
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
  EXPECT_EQ("primary bytes", test::ReadFileBytes(temp_.File("primary.db")));
  // A further copy with the primary's file name is staged beside it.
  EXPECT_EQ("older primary", test::ReadFileBytes(temp_.File("primary_2.db")));
}

TEST_F(DispatchTest, PackageExRunsOnceAndForgetsTheRecord) {
  ASSERT_EQ(0, Filter(Request({sources_.File("copy1.db")})));
  EXPECT_EQ(0, g_dispatch.PackageOne(CaptureResult, kFakeType));
  ASSERT_EQ(1u, g_callback_texts.size());
  EXPECT_EQ("{\"primary\":\"yes\"}", g_callback_texts[0]);
  EXPECT_EQ(4, g_callback_kind);
  EXPECT_EQ(-1, g_dispatch.State(kFakeType));
  // A later filter starts a fresh record.
  EXPECT_EQ(0, Filter(Request({})));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
}

TEST_F(DispatchTest, PackageAllKeepsRecordAndRefusesLaterFilter) {
  ASSERT_EQ(0, Filter(Request({sources_.File("copy1.db")})));
  EXPECT_EQ(0, g_dispatch.PackageAll(CaptureResult));
  EXPECT_EQ(1, g_package_calls.load());
  EXPECT_EQ(kRecordPackaged, g_dispatch.State(kFakeType));
  EXPECT_EQ(1101, Filter(Request({})));
  // A packaged record is not packaged again.
  EXPECT_EQ(0, g_dispatch.PackageAll(CaptureResult));
  EXPECT_EQ(1, g_package_calls.load());
}

TEST_F(DispatchTest, EmptyRegistryPackagesNothing) {
  EXPECT_EQ(0, g_dispatch.PackageAll(CaptureResult));
  EXPECT_EQ(1112, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_TRUE(g_callback_texts.empty());
}

TEST_F(DispatchTest, RequestWithoutFurtherCopiesSkipsFilterFunction) {
  EXPECT_EQ(0, Filter(Request({})));
  EXPECT_EQ(0, g_filter_calls.load());
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
}

TEST_F(DispatchTest, TypeWithoutFilterFunctionEndsFiltered) {
  EXPECT_EQ(0, Filter(Request({sources_.File("copy1.db")}, 14)));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(14));
}

TEST_F(DispatchTest, SecondRequestKeepsFirstPrimaryAndAddsCopies) {
  g_filter_result = 1;  // keep the copies queued: the record stays in state 3
  ASSERT_EQ(1110, Filter(Request({sources_.File("copy1.db")})));
  test::WriteFileBytes(sources_.File("other.db"), "other");
  Json::Value second =
      test::RequestDocument(kFakeType, temp_.path(), "q", sources_.File("other.db"));
  second["other_info"]["k"] = "first";
  g_filter_result = 0;
  ASSERT_EQ(0, Filter(WriteJson(second)));
  second["other_info"]["k"] = "second";
  second["addtional_param"] = "param";
  ASSERT_EQ(0, Filter(WriteJson(second)));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
  EXPECT_EQ(1, g_popped.load());  // the copy queued by the first request
  EXPECT_FALSE(std::filesystem::exists(temp_.File("other.db")));
}

TEST_F(DispatchTest, FailingFilterLeavesStateFailedAndPackageExDoesNothing) {
  g_filter_result = 7;
  EXPECT_EQ(1110, Filter(Request({sources_.File("copy1.db")})));
  EXPECT_EQ(kRecordFilterFailed, g_dispatch.State(kFakeType));
  EXPECT_EQ(0, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_EQ(0, g_package_calls.load());
  // A later filter retries.
  g_filter_result = 0;
  EXPECT_EQ(0, Filter(Request({})));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
}

TEST_F(DispatchTest, FailingPackageFunctionGives1112AndKeepsRecord) {
  g_dispatch.SetRow(kFakeType, kFailingPackageEntry);
  ASSERT_EQ(0, Filter(Request({})));
  EXPECT_EQ(1112, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
  EXPECT_EQ(1112, g_dispatch.PackageAll(CaptureResult));
}

// What a filter or package function throws is its step's failure, logged
// as what it is, and the record is not left claimed.
TEST_F(DispatchTest, ThrowingFunctionsFailTheirStepNotTheInput) {
  g_dispatch.SetRow(kFakeType, kThrowingEntry);
  EXPECT_EQ(1110, Filter(Request({sources_.File("copy1.db")})));
  EXPECT_EQ(kRecordFilterFailed, g_dispatch.State(kFakeType));
  // Not left in the filtering state: the next call runs the filter again.
  EXPECT_EQ(1110, Filter(Request({sources_.File("old/primary.db")})));
  const std::string log = test::ReadFileBytes(logs_.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("FakeDataFilter: out of memory")) << log;

  g_dispatch.SetRow(kFakeType, kFakeEntry);
  ASSERT_EQ(0, Filter(Request({})));
  g_dispatch.SetRow(kFakeType, kThrowingEntry);
  EXPECT_EQ(1112, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_EQ(1112, g_dispatch.PackageAll(CaptureResult));
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
  EXPECT_NE(std::string::npos, test::ReadFileBytes(logs_.File("KxDataPackage.log"))
                                   .find("FakeDataPackage: unexpected error: broken invariant"));
}

TEST_F(DispatchTest, StopHoldsUntilNextInit) {
  ASSERT_EQ(0, Filter(Request({})));
  g_dispatch.Stop();
  EXPECT_EQ(1111, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_EQ(1111, g_dispatch.PackageAll(CaptureResult));
  EXPECT_TRUE(g_callback_texts.empty());
  // A filter with copies queued ends stopped after its first pass.
  EXPECT_EQ(1111, Filter(Request({sources_.File("copy1.db")})));

  g_dispatch.Reset();
  EXPECT_EQ(-1, g_dispatch.State(kFakeType));  // init forgot the record
  ASSERT_EQ(0, Filter(Request({})));
  EXPECT_EQ(0, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_EQ(1u, g_callback_texts.size());
}

// The library's own stop and init, on a type without a filter function.
TEST_F(DispatchTest, LibraryStopSetsBothFlagsUntilInit) {
  const std::string books = WriteJson(RequestInto(temp_.path(), 22));
  ASSERT_EQ(0, FilterDataType(books.c_str(), 1));
  RequestStop();
  EXPECT_EQ(1, StopFlag().load());
  EXPECT_EQ(2, StagedStopFlag().load());
  EXPECT_EQ(1111, PackageDataType(CaptureResult, 22));
  EXPECT_EQ(1111, PackageAllDataTypes(CaptureResult));

  InitializeLibrary(nullptr, "x");
  InitializeLibrary("x", nullptr);
  EXPECT_EQ(kRecordFiltered, RecordState(22));
  EXPECT_EQ(test::ConfigFolder(), ConfigFolder());
  InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str());
  EXPECT_EQ(0, StopFlag().load());
  EXPECT_EQ(0, StagedStopFlag().load());
  EXPECT_EQ(-1, RecordState(22));
}

// ---- Error paths ----

TEST_F(DispatchTest, MalformedRequestsGetStatusCodes) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"not json", -1},
      {"{\"package_type\": 3,", -1},
      {"[1, 2]", 1100},
      {"\"text\"", 1100},
      {"{}", 1100},
      {"{\"temp_folder\": \"/tmp\"}", 1100},
      {"{\"package_type\": 3}", 1100},
      {"{\"package_type\": \"3\", \"temp_folder\": \"/tmp\"}", 1100},
      {"{\"package_type\": 3.5, \"temp_folder\": \"/tmp\"}", 1100},
      {"{\"package_type\": 3, \"temp_folder\": 7}", 1100},
      {"{\"package_type\": 30, \"temp_folder\": \"/tmp\"}", 1100},
      {"{\"package_type\": -1, \"temp_folder\": \"/tmp\"}", 1100},
      {"{\"package_type\": 99999999999, \"temp_folder\": \"/tmp\"}", 1100},
      {"{\"package_type\": 3, \"temp_folder\": \"/tmp\", \"primary_file_object\": []}", 1100},
      {"{\"package_type\": 3, \"temp_folder\": \"/tmp\", \"second_file_objects\": 1}", 1100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, g_dispatch.Filter(c.text, 1)) << c.text;
  }
  EXPECT_EQ(1100, g_dispatch.Filter(nullptr, 10));
  EXPECT_EQ(1100, g_dispatch.Filter("{}", 0));
}

TEST_F(DispatchTest, HostileRequestSizesGetStatusCodes) {
  const std::string deep(100000, '[');
  EXPECT_EQ(-1, g_dispatch.Filter(deep.c_str(), 1));
  const std::string deep_object = std::string(100000, '{') + std::string(100000, '}');
  EXPECT_EQ(-1, g_dispatch.Filter(deep_object.c_str(), 1));
  const std::string long_text =
      "{\"package_type\": 14, \"temp_folder\": \"" + std::string(4 << 20, 'a') + "\"}";
  // Well-formed, but no folder can have that name.
  EXPECT_EQ(1100, g_dispatch.Filter(long_text.c_str(), 1));
}

TEST_F(DispatchTest, TempFolderThatDoesNotExistYetIsMadeWithItsParents) {
  const std::string folder = temp_.File("new/deeper");
  ASSERT_EQ(0, Filter(WriteJson(RequestInto(folder))));
  EXPECT_EQ("primary bytes", test::ReadFileBytes(folder + "/primary.db"));
  ASSERT_EQ(0, g_dispatch.PackageOne(CaptureResult, kFakeType));
  EXPECT_EQ("{\"primary\":\"yes\"}", g_callback_texts.at(0));
}

TEST_F(DispatchTest, TempFolderThatCannotBeMadeGives1100AndTheSystemsWords) {
  test::WriteFileBytes(temp_.File("plain-file"), "x");
  for (const std::string& folder : {temp_.File("plain-file"), temp_.File("plain-file/below")}) {
    EXPECT_EQ(1100, Filter(WriteJson(RequestInto(folder)))) << folder;
    EXPECT_EQ(-1, g_dispatch.State(kFakeType)) << folder;  // no record was touched
    const std::string log = test::ReadFileBytes(logs_.File("KxDataPackage.log"));
    EXPECT_NE(std::string::npos, log.find("temp_folder " + folder + " cannot be made")) << log;
    EXPECT_NE(std::string::npos, log.find("Not a directory")) << log;
  }
}

TEST_F(DispatchTest, EmptyTempFolderGives1100) {
  EXPECT_EQ(1100, Filter(WriteJson(RequestInto(""))));
}

TEST_F(DispatchTest, MissingSourceFilesAreNotQueued) {
  EXPECT_EQ(0, Filter(Request({sources_.File("missing.db"), sources_.path()})));
  EXPECT_EQ(0, g_filter_calls.load());
  EXPECT_EQ(kRecordFiltered, g_dispatch.State(kFakeType));
}

TEST_F(DispatchTest, MissingConfigurationGives1110) {
  test::TempDir empty_config;
  g_dispatch.Reset(empty_config.path());
  EXPECT_EQ(1110, Filter(Request({sources_.File("copy1.db")})));
  EXPECT_EQ(kRecordFilterFailed, g_dispatch.State(kFakeType));
}

TEST_F(DispatchTest, PackageCallsOutsideTheTableGive1100) {
  EXPECT_EQ(1100, g_dispatch.PackageOne(CaptureResult, 30));
  EXPECT_EQ(1100, g_dispatch.PackageOne(CaptureResult, -1));
  EXPECT_EQ(1100, PackageDataType(nullptr, 3));
  EXPECT_EQ(1100, PackageAllDataTypes(nullptr));
}

TEST_F(DispatchTest, TypeWithoutPackageFunctionIsNeverCalled) {
  ASSERT_EQ(0, Filter(Request({}, 1)));
  EXPECT_EQ(1100, g_dispatch.PackageOne(CaptureResult, 1));
  EXPECT_EQ(0, g_dispatch.PackageAll(CaptureResult));
  EXPECT_TRUE(g_callback_texts.empty());
}

TEST_F(DispatchTest, StagedRequestsAnswerByType) {
  const std::string not_json = "{oops";
  EXPECT_EQ(1104, PackageStaged(not_json.c_str(), 1, CaptureResult));
  EXPECT_EQ(1100, PackageStaged(nullptr, 1, CaptureResult));
  EXPECT_EQ(1100, PackageStaged("{}", 0, CaptureResult));
  EXPECT_EQ(0, PackageStaged("{\"package_type\": 5}", 1, CaptureResult));
  EXPECT_EQ(0, PackageStaged("{\"package_type\": 0}", 1, CaptureResult));
  EXPECT_TRUE(g_callback_texts.empty());
}

TEST_F(DispatchTest, LogFileRecordsVersionAndStop) {
  RequestStop();
  const std::string log = test::ReadFileBytes(logs_.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("data package sdk: 1, 1, 0, 224-D-a768edc7"));
  EXPECT_NE(std::string::npos, log.find("KxDataPackageStop start"));
  EXPECT_NE(std::string::npos, log.find("KxDataPackageStop end"));
}

}  // namespace
}  // namespace kx
