// The staged runner: the order and logging of the five stages,
// and the request document of KxDataPackageNew.
#include "sdk/staged_runner.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "common/log.h"
#include "package_capture.h"
#include "sdk/library.h"
#include "sdk/staged_request.h"
#include "test_support.h"

namespace kx {
namespace {

constexpr const char* kStageNames[] = {"CheckParam", "Init", "MergeDel", "AnalyseDatabase",
                                       "OutPut"};

// A status that makes the failing stage throw instead.
constexpr int kThrowsBadAlloc = -99;

// Answers `status` at stage `failing_stage` (-1: never) and records the calls.
class FakePackage : public AbstractKxDataPackage {
 public:
  FakePackage(int failing_stage, int status, std::vector<std::string>* calls)
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
  FakePackage package(-1, 0, &calls);
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
  for (const char* request : {R"({"package_type": 0})", R"({"package_type": 5})",
                              R"({"package_type": 31, "temp_folder": "x"})"}) {
    EXPECT_EQ(0, PackageStaged(request, 1, IgnoreResult)) << request;
  }
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
    FakePackage package(c.stage, c.status, &calls);
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
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, PackageStaged(c.text, c.length, IgnoreResult))
        << (c.text != nullptr ? c.text : "null");
  }
  EXPECT_NE(std::string::npos, Log().find("[KxDataPackageNew](" /* line */));
  EXPECT_NE(std::string::npos, Log().find("): Fail to parse json string, error message : "));
}

}  // namespace
}  // namespace kx
