// The report of the sample data set opened in headless Chromium: what the
// pages show once their scripts ran, and that text from the data runs
// nothing. A screenshot of each page is kept under the build folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "samples/sample_pictures.h"
#include "test_support.h"

namespace kxcli {
namespace {

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

// A page of the sample set's report: what it shows once its scripts ran,
// and what it must not.
struct PageCase {
  const char* shot;  // the screenshot's name
  const char* hash;
  std::vector<std::string> shows;
  std::vector<std::string> hides;
};

class ReportPageTest : public ReportBrowserTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(ReportPageTest, ShowsWhatItsDataHolds) {
  const std::string dom = Open(Output(), GetParam().hash, GetParam().shot);
  for (const std::string& text : GetParam().shows) EXPECT_TRUE(Has(dom, text)) << text << dom;
  for (const std::string& text : GetParam().hides) EXPECT_FALSE(Has(dom, text)) << text << dom;
}

// The overview names the device, every data type and where it came from;
// a chat its senders and what each message is; calls are a table; photos
// name their albums and show the backup's thumbnails through copies of
// the report's own (they lie outside OUT); the sample set's thumbnails are
// real pictures; a conversation marks its deleted messages; search finds a
// message across conversations.
const PageCase kPages[] = {
    {"overview",
     "",
     {"data-state=\"ready\"", "Zoë's iPhone", "href=\"#type=ios_notes\">Notes</a>",
      "href=\"#type=whatsapp\">WhatsApp (Android)</a>",
      "href=\"#type=ios_reminders-Calendar\">Reminders (Calendar)</a>", "id=\"sources\"",
      "AppDomainGroup-group.net.whatsapp.WhatsApp.shared ChatStorage.sqlite", "Dates shown in"},
     {}},
    {"whatsapp-names",
     "type=ios_whatsapp&chat=0.2",
     {"<h1>Anna Schmidt",
      "class=\"who\">Anna 🌻</span><span class=\"id\">4915123456789@s.whatsapp.net",
      "data-label=\"contact card\"", "data-label=\"voice note\"", "data-label=\"location\"",
      "data-label=\"video\"", "data-label=\"sticker\"", "<time>2023-03-08T20:26:41</time>",
      "Dates are ISO 8601 in the packaging machine's local time, UTC+00:00"},
     {}},
    {"calls",
     "type=call_history",
     {"<h1>Calls (Android)</h1>", "<table class=\"sortable records\" data-view=\"calls\">",
      "<td>Mom ❤️</td><td>555-0100</td><td>2021-03-01T00:07:32</td><td>missed</td>"},
     {}},
    {"photos",
     "type=ios_photos",
     {"Albums (22)", "Albums: CameraRoll, Places, Holiday, Family"},
     {}},
    {"whatsapp-thumbnails", "type=whatsapp&chat=0.1", {"data-loaded=\"1\""}, {"data-broken=\"1\""}},
    {"photos-grid",
     "type=ios_photos",
     {"src=\"../report/pictures/source-", "data-loaded=\"1\""},
     {"data-broken=\"1\""}},
    {"sms-conversation",
     "type=sms&chat=0.0",
     {"¿Dónde estás? Te espero en la estación.", "class=\"message mine", "data-deleted=\"1\""},
     {}},
    {"contacts", "type=contacts", {"José Álvarez", "src=\"../contacts/", "data-loaded=\"1\""}, {}},
    {"notes",
     "type=ios_notes",
     {"Trip to Lisbon", "Alarm codes",
      "href=\"csv/ios_notes-notes.csv\" download=\"ios_notes-notes.csv\"",
      "data-deleted=\"1\""},  // "Old draft"
     {}},
    {"search",
     "search=estaci%C3%B3n",
     {"data-search=\"done\"", "data-hit=\"messages\"", "Te espero en la estación.",
      "href=\"#type=sms&amp;chat="},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Pages, ReportPageTest, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<PageCase>& page) {
                           std::string name = page.param.shot;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

// A record naming a picture inside the run's backup, one outside both the
// backup and OUT, one through a link leading out of the backup and one
// leaving it by "..": only the first is copied and shown.
TEST_F(ReportBrowserTest, OnlyPicturesInsideTheBackupAreCopied) {
  TempDir root;
  const std::string backup = fs::canonical(root.path()).string() + "/backup";
  const std::string elsewhere = fs::canonical(root.path()).string() + "/elsewhere";
  const std::string output = fs::canonical(root.path()).string() + "/out";
  fs::create_directories(backup + "/DCIM");
  fs::create_directories(elsewhere);
  fs::create_directories(output + "/photos");
  WriteFileBytes(backup + "/DCIM/inside.jpg", kx::samples::SampleJpeg(1));
  WriteFileBytes(elsewhere + "/outside.jpg", kx::samples::SampleJpeg(2));
  fs::create_symlink(elsewhere + "/outside.jpg", backup + "/DCIM/link.jpg");
  WriteFileBytes(output + "/summary.json",
                 "{\"provenance\": {\"inputs\": [\"" + backup + "\"], \"sources\": []}}");
  std::string records;
  for (const std::string& path :
       {backup + "/DCIM/inside.jpg", elsewhere + "/outside.jpg", backup + "/DCIM/link.jpg",
        backup + "/DCIM/../../elsewhere/outside.jpg"}) {
    records += std::string(records.empty() ? "" : ",") +
               "{\"name\": \"IMG\", \"thumb_file_path\": \"" + path + "\"}";
  }
  WriteFileBytes(output + "/photos/result.json", "{\"photo_data\": [" + records + "]}");
  const ToolRun run = RunTool({"report", output});
  ASSERT_EQ(0, run.exit_code) << run.err;

  const std::string dom = Open(output, "type=photos", "pictures-outside");
  EXPECT_EQ(1u, kx::test::Occurrences(dom, "data-loaded=\"1\"")) << dom;
  EXPECT_EQ(3u, kx::test::Occurrences(dom, "picture outside the output folder, not shown")) << dom;
  size_t copies = 0;
  for (const auto& entry : fs::directory_iterator(output + "/report/pictures")) {
    EXPECT_EQ(kx::samples::SampleJpeg(1), ReadFileBytes(entry.path().string()));
    ++copies;
  }
  EXPECT_EQ(1u, copies);
}

// Rows of the timeline view: data type, attributes, time.
std::vector<std::vector<std::string>> TimelineRows(const std::string& dom) {
  std::vector<std::vector<std::string>> rows;
  const std::regex row("<tr data-type=\"([^\"]+)\"([^>]*)><td>([^<]+)");
  for (std::sregex_iterator it(dom.begin(), dom.end(), row), end; it != end; ++it) {
    rows.push_back({(*it)[1], (*it)[2], (*it)[3]});
  }
  return rows;
}

TEST_F(ReportBrowserTest, TimelineIsInTimeOrderAndFilters) {
  const auto all = TimelineRows(Open(Output(), "timeline", "timeline"));
  ASSERT_GT(all.size(), 1000u);
  for (size_t i = 1; i < all.size(); ++i) EXPECT_LE(all[i - 1][2], all[i][2]) << i;

  const std::string dom =
      Open(Output(), "timeline&type=whatsapp&deleted=1&from=2023-03-14&to=2023-03-14",
           "timeline-filtered");
  EXPECT_TRUE(Has(dom, "data-timeline=\"done\"")) << dom;
  const auto rows = TimelineRows(dom);
  ASSERT_GT(rows.size(), 10u) << dom;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ("whatsapp", rows[i][0]);
    EXPECT_TRUE(Has(rows[i][1], "data-deleted=\"1\"")) << rows[i][1];
    EXPECT_EQ(0u, rows[i][2].rfind("2023-03-14T", 0)) << rows[i][2];
    if (i > 0) {
      EXPECT_LE(rows[i - 1][2], rows[i][2]) << i;
    }
  }
}

// The files beside the report, as a spreadsheet user and an examiner
// would check them: with Python's csv module and sha256sum.
TEST_F(ReportBrowserTest, TimelineAndExportFilesParseAndSourceHashesMatchSha256sum) {
  const ToolRun run = RunTool({"export", Output(), "--csv"});
  ASSERT_EQ(0, run.exit_code) << run.err;
  const std::string script = scratch_.File("check.py");
  WriteFileBytes(script, kx::test::DataFile("cli/check_export.py"));
  EXPECT_EQ(0, std::system(("python3 " + Quoted(script) + " " + Quoted(Output())).c_str()));
}

TEST_F(ReportBrowserTest, VerifyFindsAStagedCopyThatChanged) {
  ToolRun run = RunTool({"verify", Output()});
  EXPECT_EQ(0, run.exit_code) << run.out << run.err;
  EXPECT_TRUE(Has(run.out, "Unchanged since the run.")) << run.out;
  const std::string staged = Output() + "/sms/mmssms.db";
  const std::string before = ReadFileBytes(staged);
  WriteFileBytes(staged, before + "x");
  run = RunTool({"verify", Output()});
  WriteFileBytes(staged, before);
  EXPECT_EQ(1, run.exit_code) << run.out;
  EXPECT_TRUE(Has(run.out, "sms/mmssms.db: changed")) << run.out;
}

// An output of an older run, which recorded no provenance, in which a data
// type failed.
TEST_F(ReportBrowserTest, OutputWithoutResultDocumentsSaysSoAndWhatFailed) {
  TempDir output;
  WriteFileBytes(output.File("summary.json"), R"({"data_types": [{"name": "sms", "status": 1105,
      "status_text": "database cannot be opened", "detail": "mmssms.db: file is not a database",
      "records": 0, "files": 0}]})");
  ASSERT_EQ(0, RunTool({"report", output.path()}).exit_code);
  const std::string dom = Open(fs::canonical(output.path()).string(), "", "empty");
  EXPECT_TRUE(Has(dom, "This output folder holds no result documents.")) << dom;
  EXPECT_TRUE(Has(dom, "data-failed=\"sms\"")) << dom;
  EXPECT_TRUE(Has(dom, "mmssms.db: file is not a database")) << dom;
  EXPECT_TRUE(Has(dom, "does not record where it came from")) << dom;
}

// A small output folder of its own whose message and conversation name
// are markup that would mark the page if it ever ran.
TEST_F(ReportBrowserTest, MarkupInTheDataShowsAsTextAndRunsNothing) {
  TempDir output;
  const std::string payload =
      "<img src=x onerror=\\\"document.body.setAttribute('data-pwned','1')\\\">";
  fs::create_directories(output.File("chat"));
  // With a date, so the timeline holds it too; and a line of a megabyte
  // that turns the text after it right to left.
  WriteFileBytes(output.File("chat/batch.json"),
                 "[{\"text\": \"" + payload + "\", \"is_from_me\": 0, \"date\": 1700000000}," +
                     "{\"text\": \"\u202e" + std::string(1 << 20, 'x') +
                     "\", \"date\": 1700000001}]");
  WriteFileBytes(output.File("chat/result.json"),
                 "{\"chat_sessions\": [{\"name\": \"<script>document.body.setAttribute("
                 "'data-pwned','2')</script>\", \"msg_file_list\": [\"batch.json\"]}]}");
  const ToolRun run = RunTool({"report", output.path()});
  ASSERT_EQ(0, run.exit_code) << run.err;

  for (const auto& [hash, shot] :
       {std::pair<std::string, std::string>{"type=chat&chat=0.0", "markup-conversation"},
        {"search=onerror", "markup-search"},
        {"timeline", "markup-timeline"}}) {
    const std::string dom = Open(fs::canonical(output.path()).string(), hash, shot);
    EXPECT_TRUE(Has(dom, "data-state=\"ready\"")) << dom;
    EXPECT_FALSE(Has(dom, "data-pwned=\"")) << dom;
    EXPECT_TRUE(Has(dom, "&lt;img src=x onerror=\"document.body.setAttribute('data-pwned'")) << dom;
  }
}

}  // namespace
}  // namespace kxcli
