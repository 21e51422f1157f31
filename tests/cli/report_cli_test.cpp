// kxpackage report on output folders made by hand: hostile paths and
// names, missing side files, a folder without result documents. Nothing
// outside the folder is read or linked, and every data file stays one
// valid script call.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/cli_support.h"
#include "test_support.h"

namespace kxcli {
namespace {

const std::string kPicture = std::string("\x89PNG\r\n\x1a\n", 8) + "not decoded here";

// The value a data file hands over, after checking the file is exactly one
// call of the registration function in plain ASCII that no "</" can end.
Json::Value DataFile(const std::string& output, const std::string& key) {
  const std::string text = ReadFileBytes(output + "/report/data/" + key + ".js");
  const std::string head = "KxReport.load(\"" + key + "\",", tail = ");\n";
  EXPECT_EQ(0u, text.rfind(head, 0)) << text;
  EXPECT_EQ(text.size() - tail.size(), text.rfind(tail)) << text;
  EXPECT_EQ(std::string::npos, text.find("</")) << text;
  for (const unsigned char c : text) EXPECT_LT(c, 0x80) << text;
  return ParseJson(text.substr(head.size(), text.size() - head.size() - tail.size()));
}

class ReportCliTest : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return out_.File(name); }
  std::string Outside(const std::string& name) const {
    return fs::canonical(outside_.path()).string() + "/" + name;
  }

  TempDir out_;
  TempDir outside_;
};

TEST_F(ReportCliTest, HostilePathsAreNeitherReadNorLinkedAndTextsStayData) {
  WriteFileBytes(Outside("secret.json"), R"([{"text": "SECRET-OUTSIDE"}])");
  WriteFileBytes(Outside("pic.png"), kPicture);
  fs::create_directory(Outside("old-report"));
  fs::create_directory_symlink(Outside("old-report"), Out("report"));  // written through?
  fs::create_directory(Out("hostile"));
  fs::create_symlink(Outside("secret.json"), Out("hostile/link.json"));
  fs::create_symlink(Outside("pic.png"), Out("hostile/linkpic.png"));
  WriteFileBytes(Out("hostile/inside.png"), kPicture);
  WriteFileBytes(Out("hostile/batch.json"),
                 R"([{"text": "hello </script> \u2028", "is_from_me": 1, "tag": "deleted"}])");
  const std::string name = R"(A\u0000B \"q\" </script><script>x()</script>\u2029)";
  WriteFileBytes(
      Out("hostile/result.json"), R"({"chat_sessions": [{"name": ")" + name +
                                      R"(", "msg_file_list": ["../../../../../etc/passwd",
      "/etc/passwd", ")" + Outside("secret.json") +
                                      R"(", "link.json", "batch.json", "gone.json"]}],
    "contacts": [{"name": "Ann", "photo_path": "../../etc/passwd.jpg", "thumb_path": ")" +
                                      Outside("pic.png") + R"(",
      "image_path": "linkpic.png", "avatar_path": "inside.png", "picture_path": "gone.jpg"}]})");

  const ToolRun run = RunTool({"report", out_.path()});
  ASSERT_EQ(0, run.exit_code) << run.err;
  EXPECT_TRUE(fs::is_empty(Outside("old-report")));
  EXPECT_FALSE(fs::is_symlink(Out("report")));

  const std::string refused = ": lies outside the output folder (not read)";
  EXPECT_EQ(ParseJson(R"({"name": "hostile", "problems": [
      "../../../../../etc/passwd)" +
                      refused + R"(", "/etc/passwd)" + refused + R"(",
      ")" + Outside("secret.json") +
                      refused + R"(", "link.json)" + refused + R"(",
      "gone.json: missing"],
    "sections": [
      {"kind": "conversations", "label": "chat_sessions", "count": 1,
       "csv": "hostile-chat_sessions.csv",
       "threads": [{"title": ")" +
                      name + R"(", "count": 1, "keys": ["c-0-0"]}]},
      {"kind": "records", "label": "contacts", "count": 1, "view": "contacts",
       "csv": "hostile-contacts.csv", "keys": ["r-0-1"]}]})"),
            DataFile(out_.path(), "type-0"));
  EXPECT_EQ(ParseJson(R"({"messages": [{"text": "hello </script> \u2028", "from_me": true,
                                        "deleted": true}]})"),
            DataFile(out_.path(), "c-0-0"));
  EXPECT_EQ(ParseJson(R"({"records": [{"title": "Ann",
      "pictures": [{"src": "../hostile/inside.png"}, {"missing": "linkpic.png", "outside": true},
                   {"missing": "passwd.jpg", "outside": true}, {"missing": "gone.jpg"},
                   {"missing": "pic.png", "outside": true}],
      "fields": [["avatar_path", "inside.png"], ["image_path", "linkpic.png"], ["name", "Ann"],
                 ["photo_path", "../../etc/passwd.jpg"], ["picture_path", "gone.jpg"],
                 ["thumb_path", ")" +
                      Outside("pic.png") + R"("]]}]})"),
            DataFile(out_.path(), "r-0-1"));
  for (const auto& entry : fs::recursive_directory_iterator(Out("report"))) {
    if (!entry.is_regular_file()) continue;
    EXPECT_EQ(std::string::npos, ReadFileBytes(entry.path().string()).find("SECRET-OUTSIDE"))
        << entry.path();
  }
}

// The layouts conversations come in: sessions with batch files (arrays, or
// objects holding "messages"), inside accounts, and sessions inline in
// files a document lists. A conversation longer than one data file holds
// is split.
TEST_F(ReportCliTest, ConversationsOfEveryLayoutBecomeThreadsInDataFilesOfBoundedSize) {
  fs::create_directory(Out("chats"));
  Json::Value long_batch(Json::arrayValue);
  for (int i = 0; i <= 2000; ++i) {
    long_batch[i]["text"] = "m" + std::to_string(i);
    long_batch[i]["is_from_me"] = 0;
    long_batch[i]["send_date"] = 1700000000000;
  }
  WriteFileBytes(Out("chats/long.json"), long_batch.toStyledString());
  WriteFileBytes(Out("chats/kik.json"), R"({"messages": [{"text": "hi Bob", "is_from_me": 1}]})");
  WriteFileBytes(Out("chats/sms.json"), R"({"chat_sessions": [{"chat_identifier": "+1",
      "messages": [{"text": "sms one", "is_from_me": 0}]}]})");
  WriteFileBytes(Out("chats/result.json"), R"({"account_id": "a", "app": "line",
    "sessions": [{"kind": "single", "members": [{"id": "1", "name": "Ann"}, {"id": "2"}],
      "message_count": 2001, "msg_file_list": ["long.json"], "name": "Ann", "session_id": "s1",
      "tag": "deleted"}],
    "kik_accounts": [{"account_id": "k",
      "kik_chat_sessions": [{"session_name": "Bob", "msg_file_list": ["kik.json"]}]}],
    "sms_file_path": ["sms.json"]})");

  ASSERT_EQ(0, RunTool({"report", out_.path()}).exit_code);
  EXPECT_EQ(ParseJson(kx::test::DataFile("cli/report_chat_threads.json")),
            DataFile(out_.path(), "type-0"));
  EXPECT_EQ(2000u, DataFile(out_.path(), "c-0-1")["messages"].size());
  EXPECT_EQ(ParseJson(R"({"messages": [{"text": "m2000", "from_me": false,
                                        "date": "2023-11-14T22:13:20"}]})"),
            DataFile(out_.path(), "c-0-2"));
  EXPECT_EQ(4u, DataFile(out_.path(), "index")["search"].size());
}

TEST_F(ReportCliTest, FolderWithoutResultDocumentsGetsAReportSayingSo) {
  fs::create_directory(Out("logs"));
  const ToolRun run = RunTool({"report", out_.path()});
  ASSERT_EQ(0, run.exit_code) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("/report/index.html")) << run.out;
  EXPECT_EQ(ParseJson(R"({"device": null, "provenance": null, "search": [], "summary": [],
                           "timeline": {"deleted": 0, "pieces": [], "types": {}}, "types": []})"),
            DataFile(out_.path(), "index"));
  for (const char* asset : {"index.html", "app.js", "style.css"}) {
    EXPECT_TRUE(fs::is_regular_file(Out(std::string("report/") + asset))) << asset;
  }
}

// Dates in the packagers' forms, a number named by the contacts of another
// data type, a message without text, a formula: one timeline across the
// types, each line whole.
TEST_F(ReportCliTest, TimelineSortsAcrossTypesWithNamesKindsAndIsoDates) {
  fs::create_directories(Out("contacts"));
  fs::create_directories(Out("chat"));
  fs::create_directories(Out("calls"));
  WriteFileBytes(
      Out("contacts/result.json"),
      R"({"contacts": [{"display_name": "Ann Lee", "phone_number": "+49 151 2345 6789"}]})");
  WriteFileBytes(Out("chat/result.json"), R"({"chat_sessions": [{"jid":
      "4915123456789@s.whatsapp.net", "messages": [
    {"text": "=cmd|' /C calc'!A0", "send_date": "03 - 14 - 2023 09:27 : 53",
     "sender_id": "4915123456789@s.whatsapp.net", "is_from_me": 0},
    {"send_date": "03-14-2023 09:27:50", "is_from_me": 1, "type": 5, "universal_type": 7,
     "latitude": 52.5, "longitude": 13.25},
    {"text": "later", "send_date": 1678786080, "is_from_me": 1, "tag": "deleted"}]}]})");
  WriteFileBytes(Out("calls/result.json"), R"({"call_records": [{"address": "0151 23456789",
      "datetime": "2023-03-14 09:27:51", "duration": 65, "type": "missed"}]})");

  const ToolRun run = RunTool({"timeline", out_.path()});
  ASSERT_EQ(0, run.exit_code) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Timeline: 4 events")) << run.out;
  const Json::Value expected = ParseJson(kx::test::DataFile("cli/report_timeline.json"));
  Json::Value lines(Json::arrayValue);
  std::istringstream jsonl(ReadFileBytes(Out("timeline.jsonl")));
  for (std::string line; std::getline(jsonl, line);) lines.append(ParseJson(line));
  EXPECT_EQ(expected, lines);
  const std::string csv = ReadFileBytes(Out("timeline.csv"));
  EXPECT_EQ(0u, csv.rfind("\xEF\xBB\xBFtime,data type,kind,who,text,deleted,file,place\r\n", 0))
      << csv;
  EXPECT_NE(std::string::npos, csv.find(",'=cmd|' /C calc'!A0,no,")) << csv;  // never a formula
}

// A summary edited by hand (members of the wrong types) is neither trusted
// nor a crash; one without provenance is said to be so.
TEST_F(ReportCliTest, VerifyAndReportReadAnEditedSummaryCalmly) {
  WriteFileBytes(Out("summary.json"), R"({"data_types": [], "provenance": {
      "staged": [{"path": {}}, 5, {"path": "../outside", "sha256": "00"}],
      "sources": [{"path": 1, "domain": [], "sha256": {}}]}})");
  ToolRun run = RunTool({"verify", out_.path()});
  EXPECT_EQ(0, run.exit_code) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("0 files checked")) << run.out;
  ASSERT_EQ(0, RunTool({"report", out_.path()}).exit_code);
  EXPECT_EQ(
      "\xEF\xBB\xBF"
      "domain,relative path,read from,size,sha256,decrypted,encrypted file,"
      "encrypted sha256\r\n,,1,,,no,,\r\n",
      ReadFileBytes(Out("report/csv/provenance-sources.csv")));
  WriteFileBytes(Out("summary.json"), R"({"data_types": []})");
  run = RunTool({"verify", out_.path()});
  EXPECT_EQ(2, run.exit_code) << run.out;
}

TEST_F(ReportCliTest, NoFolderIsAUsageError) {
  EXPECT_EQ(2, RunTool({"report"}).exit_code);
  EXPECT_EQ(2, RunTool({"report", Out("nowhere")}).exit_code);
}

}  // namespace
}  // namespace kxcli
