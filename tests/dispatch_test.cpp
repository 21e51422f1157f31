// The filter step, the registry's state machine and the package dispatch,
// driven through the library's entry points with test doubles for the
// packagers of one row of the data-type table; and the staged runner.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "sdk/staged_request.h"
#include "sdk/staged_runner.h"
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

TEST_F(DispatchTest, EmptyTempFolderGives1100AndStagesNothing) {
  // A copy staged into "" would land in the working folder.
  const std::filesystem::path working = std::filesystem::current_path();
  std::filesystem::current_path(temp_.path());
  const int status = Filter(WriteJson(RequestInto("")));
  const bool staged = std::filesystem::exists("primary.db");
  std::filesystem::current_path(working);
  EXPECT_EQ(1100, status);
  EXPECT_FALSE(staged);
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

TEST_F(DispatchTest, LogFileRecordsVersionAndStop) {
  RequestStop();
  const std::string log = test::ReadFileBytes(logs_.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("data package sdk: 1, 1, 0, 224-D-a768edc7"));
  EXPECT_NE(std::string::npos, log.find("KxDataPackageStop start"));
  EXPECT_NE(std::string::npos, log.find("KxDataPackageStop end"));
}

// The staged runner: the order and logging of the five stages,
// and the request document of KxDataPackageNew.

constexpr const char* kStageNames[] = {"CheckParam", "Init", "MergeDel", "AnalyseDatabase",
                                       "OutPut"};

// A status that makes the failing stage throw instead.
constexpr int kThrowsBadAlloc = -99;

// Answers `status` at stage `failing_stage` (-1: never) and records the calls.
class FakeStages : public AbstractKxDataPackage {
 public:
  FakeStages(int failing_stage, int status, std::vector<std::string>* calls)
      : failing_stage_(failing_stage), status_(status), calls_(calls) {}

  int CheckParam() override { return Call(0); }
  int Init() override { return Call(1); }
  int MergeDel() override { return Call(2); }
  int AnalyseDatabase() override { return Call(3); }
  int OutPut() override { return Call(4); }

 private:
  int Call(int stage) {
    calls_->push_back(kStageNames[stage]);
    if (stage == failing_stage_ && status_ == kThrowsBadAlloc) throw std::bad_alloc();
    return stage == failing_stage_ ? status_ : 0;
  }

  int failing_stage_;
  int status_;
  std::vector<std::string>* calls_;
};

int IgnoreResult(int, const char*, int) { return 0; }

class StagedRunnerTest : public test::LibraryTest {
 protected:
  bool Logged(int level, const std::string& message) const {
    return Log().find("[" + std::to_string(level) + "] [KxPackageDataSDK] " + message + "\n") !=
           std::string::npos;
  }
};

TEST_F(StagedRunnerTest, RunsTheFiveStagesInOrderAndAnnouncesEach) {
  std::vector<std::string> calls;
  FakeStages package(-1, 0, &calls);
  EXPECT_EQ(0, RunStagedStages(package, 30));
  EXPECT_EQ(std::vector<std::string>(std::begin(kStageNames), std::end(kStageNames)), calls);
  const std::string log = Log();
  size_t position = 0;
  for (const char* line : {"Check Param begin: type[30]", "Init begin", "Merge Del begin",
                           "AnalyseDatabase begin", "OutPut begin"}) {
    const size_t found = log.find(std::string("[1] [KxPackageDataSDK] ") + line, position);
    ASSERT_NE(std::string::npos, found) << line;
    position = found;
  }
  EXPECT_EQ(std::string::npos, log.find("ERROR"));
}

TEST_F(StagedRunnerTest, LineRequestIgnoresTheAdditionalParameter) {
  Json::Value request = test::RequestDocument(30, "out", "line_file_path", "naver_line");
  request["addtional_param"] = "extra";
  const StagedParameters parameters =
      StagedParametersFromRequest(request, kStagedAndroidLine, IgnoreResult);
  EXPECT_EQ(30, parameters.data_type);
  EXPECT_EQ("out", parameters.temp_folder);
  EXPECT_EQ("naver_line", parameters.primary_file_path);
  EXPECT_EQ("", parameters.additional_param);
  EXPECT_EQ(&IgnoreResult, parameters.callback);
}

TEST_F(StagedRunnerTest, UnknownPackageTypeAnswersZeroWithoutRunning) {
  g_callback_texts.clear();
  for (const char* request : {R"({"package_type": 0})", R"({"package_type": 5})",
                              R"({"package_type": 31, "temp_folder": "x"})"}) {
    EXPECT_EQ(0, PackageStaged(request, 1, CaptureResult)) << request;
  }
  EXPECT_TRUE(g_callback_texts.empty());
  EXPECT_TRUE(Logged(1, "KxDataPackageNew start"));
  EXPECT_EQ(std::string::npos, Log().find("Check Param begin"));
}

// --- Error paths ---

TEST_F(StagedRunnerTest, FailingStageEndsTheRunWithItsStatusAndLogLine) {
  struct Case {
    int stage;
    int status;
    const char* error_line;
    int level;
    int result = -1;  // the status, unless the stage throws
  };
  const Case cases[] = {
      {0, kThrowsBadAlloc, "Check Param ERROR", 3, 1112},
      {3, kThrowsBadAlloc, "AnalyseDatabase ERROR", 1, 1112},
      {0, 1100, "Check Param ERROR", 3},
      {1, 1105, "Init ERROR", 1},
      {2, 1102, "Merge Del ERROR", 1},
      {3, 1111, "AnalyseDatabase ERROR", 1},
      {4, 4242, "OutPut ERROR", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error_line);
    std::vector<std::string> calls;
    FakeStages package(c.stage, c.status, &calls);
    EXPECT_EQ(c.result >= 0 ? c.result : c.status, RunStagedStages(package, 28));
    EXPECT_EQ(static_cast<size_t>(c.stage + 1), calls.size());
    EXPECT_EQ(kStageNames[c.stage], calls.back());
    EXPECT_TRUE(Logged(c.level, c.error_line));
    if (c.status == kThrowsBadAlloc) {
      EXPECT_TRUE(Logged(3, std::string(kStageNames[c.stage]) + ": out of memory"));
    }
  }
}

TEST_F(StagedRunnerTest, MissingOrUnreadableRequestOrSourceFile) {
  struct Case {
    const char* text;
    int length;
    int status;
  };
  // Every staged type needs its source file, whichever packager serves it.
  const Case cases[] = {
      {nullptr, 1, 1100},
      {"{}", 0, 1100},
      {R"({"package_type": 7, "temp_folder": "."})", 1, 1100},
      {R"({"package_type": 28, "temp_folder": "."})", 1, 1100},
      {R"({"package_type": 29, "temp_folder": "."})", 1, 1100},
      {R"({"package_type": 30, "temp_folder": "."})", 1, 1100},
      {"{", 1, 1104},
      {"not json", 1, 1104},
      {"{\"package_type\": }", 1, 1104},
  };
  g_callback_texts.clear();
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, PackageStaged(c.text, c.length, CaptureResult))
        << (c.text != nullptr ? c.text : "null");
  }
  EXPECT_TRUE(g_callback_texts.empty());
  EXPECT_NE(std::string::npos, Log().find("[KxDataPackageNew](" /* line */));
  EXPECT_NE(std::string::npos, Log().find("): Fail to parse json string, error message : "));
}

}  // namespace
}  // namespace kx
