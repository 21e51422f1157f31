// The report of the sample data set opened in headless Chromium: what the
// pages show once their scripts ran, and that text from the data runs
// nothing. A screenshot of each page is kept under the build folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/cli_support.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using kx::test::ReadFileBytes;
using kx::test::TempDir;
using kx::test::WriteFileBytes;
using kxcli::RunTool;
using kxcli::ToolRun;

// Single-quoted for the shell.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string FindChromium() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    if (std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0) {
      return name;
    }
  }
  return "";
}

class ReportBrowserTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() {
    delete demo_;
    demo_ = nullptr;
  }

  // The packaged sample data set with its report, made once per process
  // and only for the tests that open it.
  static std::string Output() {
    if (demo_ == nullptr) {
      demo_ = new TempDir;
      const ToolRun run = RunTool({"demo", "-o", demo_->File("demo"), "--quiet", "--report",
                                   "--config", kx::test::ConfigFolder()});
      EXPECT_EQ(0, run.exit_code) << run.err;
    }
    return demo_->File("demo/output");
  }

  void SetUp() override {
    // make test installs Chromium: its absence is a failure, not a skip.
    chromium_ = FindChromium();
    ASSERT_FALSE(chromium_.empty()) << "chromium is not installed (make test installs it)";
  }

  // The page's DOM once its scripts ran, with a screenshot of it kept as
  // `shot`.png.
  std::string Open(const std::string& output, const std::string& hash, const std::string& shot) {
    const std::string url = "file://" + output + "/report/index.html#" + hash;
    const std::string common = chromium_ + " --headless=new --no-sandbox --disable-gpu" +
                               " --user-data-dir=" + Quoted(profile_.path()) +
                               " --virtual-time-budget=10000 --hide-scrollbars";
    fs::create_directories(KX_REPORT_SCREENSHOTS);
    const std::string png = std::string(KX_REPORT_SCREENSHOTS) + "/" + shot + ".png";
    std::system((common + " --window-size=1200,1600 --screenshot=" + Quoted(png) + " " +
                 Quoted(url) + " >/dev/null 2>&1")
                    .c_str());
    EXPECT_TRUE(fs::exists(png)) << png;
    const std::string dom = scratch_.File("dom.html");
    EXPECT_EQ(
        0,
        std::system(
            (common + " --dump-dom " + Quoted(url) + " >" + Quoted(dom) + " 2>/dev/null").c_str()));
    return ReadFileBytes(dom);
  }

  static TempDir* demo_;
  std::string chromium_;
  TempDir profile_;
  TempDir scratch_;
};
TempDir* ReportBrowserTest::demo_ = nullptr;

bool Has(const std::string& dom, const std::string& text) {
  return dom.find(text) != std::string::npos;
}

TEST_F(ReportBrowserTest, OverviewShowsTheDeviceAndEveryDataType) {
  const std::string dom = Open(Output(), "", "overview");
  EXPECT_TRUE(Has(dom, "data-state=\"ready\"")) << dom;
  EXPECT_TRUE(Has(dom, "Zoë's iPhone")) << dom;
  EXPECT_TRUE(Has(dom, "href=\"#type=ios_notes\"")) << dom;
  EXPECT_TRUE(Has(dom, "href=\"#type=whatsapp\"")) << dom;
}

TEST_F(ReportBrowserTest, ConversationShowsItsMessagesAndDeletedOnesMarked) {
  const std::string dom = Open(Output(), "type=sms&chat=0.0", "sms-conversation");
  EXPECT_TRUE(Has(dom, "¿Dónde estás? Te espero en la estación.")) << dom;
  EXPECT_TRUE(Has(dom, "class=\"message mine")) << dom;
  EXPECT_TRUE(Has(dom, "data-deleted=\"1\"")) << dom;
}

TEST_F(ReportBrowserTest, ContactsShowTheirNamesAndPicturesLoad) {
  const std::string dom = Open(Output(), "type=contacts", "contacts");
  EXPECT_TRUE(Has(dom, "José Álvarez")) << dom;
  EXPECT_TRUE(Has(dom, "src=\"../contacts/")) << dom;
  EXPECT_TRUE(Has(dom, "data-loaded=\"1\"")) << dom;
}

TEST_F(ReportBrowserTest, NotesShowTheirTitles) {
  const std::string dom = Open(Output(), "type=ios_notes", "notes");
  EXPECT_TRUE(Has(dom, "Trip to Lisbon")) << dom;
  EXPECT_TRUE(Has(dom, "Alarm codes")) << dom;
  EXPECT_TRUE(Has(dom, "data-deleted=\"1\"")) << dom;  // "Old draft"
}

TEST_F(ReportBrowserTest, SearchFindsAMessageAcrossConversations) {
  const std::string dom = Open(Output(), "search=estaci%C3%B3n", "search");
  EXPECT_TRUE(Has(dom, "data-search=\"done\"")) << dom;
  EXPECT_TRUE(Has(dom, "data-hit=\"messages\"")) << dom;
  EXPECT_TRUE(Has(dom, "Te espero en la estación.")) << dom;
  EXPECT_TRUE(Has(dom, "href=\"#type=sms&amp;chat=")) << dom;
}

TEST_F(ReportBrowserTest, OutputWithoutResultDocumentsSaysSo) {
  TempDir output;
  ASSERT_EQ(0, RunTool({"report", output.path()}).exit_code);
  const std::string dom = Open(fs::canonical(output.path()).string(), "", "empty");
  EXPECT_TRUE(Has(dom, "This output folder holds no result documents.")) << dom;
}

// A small output folder of its own whose message and conversation name
// are markup that would mark the page if it ever ran.
TEST_F(ReportBrowserTest, MarkupInTheDataShowsAsTextAndRunsNothing) {
  TempDir output;
  const std::string payload =
      "<img src=x onerror=\\\"document.body.setAttribute('data-pwned','1')\\\">";
  fs::create_directories(output.File("chat"));
  WriteFileBytes(output.File("chat/batch.json"),
                 "[{\"text\": \"" + payload + "\", \"is_from_me\": 0}]");
  WriteFileBytes(output.File("chat/result.json"),
                 "{\"chat_sessions\": [{\"name\": \"<script>document.body.setAttribute("
                 "'data-pwned','2')</script>\", \"msg_file_list\": [\"batch.json\"]}]}");
  const ToolRun run = RunTool({"report", output.path()});
  ASSERT_EQ(0, run.exit_code) << run.err;

  for (const auto& [hash, shot] :
       {std::pair<std::string, std::string>{"type=chat&chat=0.0", "markup-conversation"},
        {"search=onerror", "markup-search"}}) {
    const std::string dom = Open(fs::canonical(output.path()).string(), hash, shot);
    EXPECT_TRUE(Has(dom, "data-state=\"ready\"")) << dom;
    EXPECT_FALSE(Has(dom, "data-pwned=\"")) << dom;
    EXPECT_TRUE(Has(dom, "&lt;img src=x onerror=\"document.body.setAttribute('data-pwned'")) << dom;
  }
}

}  // namespace
