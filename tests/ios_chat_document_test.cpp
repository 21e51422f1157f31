// The document and batch files shared by the iOS chat packagers whose
// layout is ours (the packagers' whole documents fix its members): batch
// files numbered, dates and backup paths from hostile values.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <string>

#include "common/json_util.h"
#include "common/platform.h"
#include "ioschat/chat_document.h"
#include "package_capture.h"
#include "test_support.h"

namespace kx {
namespace {

using test::Parsed;

Json::Value ParseFile(const std::string& path) { return Parsed(test::ReadFileBytes(path)); }

ChatSession OneToOne(const std::string& id) {
  ChatSession session;
  session.session_id = id;
  return session;
}

TEST(ChatDocumentTest, TenThousandAndOneMessagesMakeTwoNumberedBatches) {
  test::TempDir dir;
  ChatPackage package("wechat", dir.path());
  package.BeginSession(OneToOne("wxid_a"));
  ChatMessage message;
  for (int i = 0; i < kMessagesPerBatch + 1; ++i) {
    message.message_id = std::to_string(i);
    package.AddMessage(message);
  }
  const Json::Value session = Parsed(package.Finish())["sessions"][0];
  ASSERT_EQ(2u, session["msg_file_list"].size());
  EXPECT_EQ(static_cast<Json::ArrayIndex>(kMessagesPerBatch),
            ParseFile(session["msg_file_list"][0].asString()).size());
  const Json::Value last = ParseFile(session["msg_file_list"][1].asString());
  ASSERT_EQ(1u, last.size());
  EXPECT_EQ(std::to_string(kMessagesPerBatch), last[0]["message_id"].asString());
  EXPECT_NE(std::string::npos, session["msg_file_list"][1].asString().find("_2.json"));
}

TEST(ChatDocumentTest, CoreDataDatesAndHostileDates) {
  EXPECT_EQ(978307200000, CoreDataSecondsToMillis(0));
  EXPECT_EQ(0, CoreDataSecondsToMillis(-978307200));
  EXPECT_EQ(0, CoreDataSecondsToMillis(1e300));
  EXPECT_EQ(0, CoreDataSecondsToMillis(std::nan("")));
}

TEST(ChatDocumentTest, BackupFilesAreFileIdsUnderTheRoot) {
  const std::string hostile = ChatBackupFile("backup", true, "AppDomain-x", "../../etc/passwd");
  EXPECT_EQ(0u, hostile.rfind(std::string("backup") + kPathSeparator, 0)) << hostile;
  EXPECT_EQ(std::string::npos, hostile.find(".."));
  EXPECT_EQ("", ChatBackupFile("/backup", false, "AppDomain-x", ""));
}

}  // namespace
}  // namespace kx
