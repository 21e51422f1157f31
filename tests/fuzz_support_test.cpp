// The checks every fuzz run ends with: each must be able to fail, or the
// fuzzer would find nothing.
#include "fuzz/fuzz_support.h"

#include <gtest/gtest.h>

#include <string>

#include "common/platform.h"

namespace kx::fuzz {
namespace {

TEST(InputReaderTest, CutsLengthPrefixedPiecesAndClampsToWhatIsLeft) {
  const std::string bytes("\x07\x03\0\0\0abc\x09\0\0\0de", 14);
  InputReader input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(input.Byte(), 7);
  EXPECT_EQ(input.Take(), "abc");
  EXPECT_EQ(input.Take(), "de");  // claims nine bytes, two are left
  EXPECT_EQ(input.Take(), "");
  EXPECT_EQ(input.Byte(), 0);
}

TEST(CheckJsonTest, AcceptsJson) { CheckJson("{\"a\": [1, 2.5, null, \"x\"]}", "document"); }

TEST(CheckJsonDeathTest, AbortsOnTextThatIsNotJson) {
  for (const char* text : {"{\"a\": inf}", "{\"a\": nan}", "{\"a\": 1e+9999}", "[1,", ""}) {
    EXPECT_DEATH(CheckJson(text, "document"), "document (is not JSON|holds a number)") << text;
  }
}

class SandboxDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(source_, "SQLite format 3"); }
  Sandbox sandbox_{"test"};
  const std::string source_ = JoinPath(sandbox_.src(), "source.db");
};

TEST_F(SandboxDeathTest, WritesIntoTheTempFolderPass) {
  const auto before = sandbox_.Listing();
  WriteBytes(JoinPath(sandbox_.out(), "batch_1.json"), "[]");
  WriteBytes(JoinPath(sandbox_.out(), "staged.db"), "not JSON, not named so");
  sandbox_.CheckRun(before);
}

TEST_F(SandboxDeathTest, AbortsOnAFileBesideTheTempFolder) {
  const auto before = sandbox_.Listing();
  WriteBytes(JoinPath(sandbox_.root(), "escaped"), "x");
  EXPECT_DEATH(sandbox_.CheckRun(before), "written outside the temp folder: escaped");
}

TEST_F(SandboxDeathTest, AbortsOnAChangedSourceFile) {
  const auto before = sandbox_.Listing();
  WriteBytes(source_, "SQLite format 3 and more");
  EXPECT_DEATH(sandbox_.CheckRun(before), "written outside the temp folder: src.source.db");
}

TEST_F(SandboxDeathTest, AbortsOnABatchFileThatIsNotJson) {
  const auto before = sandbox_.Listing();
  WriteBytes(JoinPath(sandbox_.out(), "batch_1.json"), "{\"size\": inf}");
  EXPECT_DEATH(sandbox_.CheckRun(before), "batch_1.json is not JSON");
}

}  // namespace
}  // namespace kx::fuzz
