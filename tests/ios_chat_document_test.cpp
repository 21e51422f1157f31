// The document and batch files shared by the iOS chat packagers whose
// layout is ours: what a reader hands in comes out in one shape.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <string>

#include "common/json_util.h"
#include "common/platform.h"
#include "ioschat/chat_document.h"
#include "test_support.h"

namespace kx {
namespace {

Json::Value Parse(const std::string& text) {
  Json::Value value;
  std::string error;
  EXPECT_TRUE(ParseJson(text.c_str(), &value, &error)) << error;
  return value;
}

Json::Value ParseFile(const std::string& path) { return Parse(test::ReadFileBytes(path)); }

ChatSession OneToOne(const std::string& id) {
  ChatSession session;
  session.session_id = id;
  return session;
}

ChatMessage Picture() {
  ChatMessage message;
  message.message_id = "m2";
  message.sender_id = "u-bob";
  message.sender_name = "Bob";
  message.has_send_date = true;
  message.send_date = CoreDataSecondsToMillis(700000000.5);
  message.kind = ChatMessageKind::kPicture;
  message.raw_type = "1";
  message.media_path = "Library/Images/p.jpg";
  message.media_backup = "/b/ab/abcd";
  message.thumb_backup = "/b/cd/cdef";
  return message;
}

TEST(ChatDocumentTest, SessionsAndMessagesComeOutInOneShape) {
  test::TempDir dir;
  ChatPackage package("line", dir.path());
  package.SetAccount("u-owner", "Owner");
  ChatSession group;
  group.session_id = "g-1";
  group.kind = ChatSessionKind::kGroup;
  group.name = "Família 家族";
  group.members = {{"u-bob", "Bob"}, {"u-eve", ""}};
  package.BeginSession(group);
  ChatMessage text;
  text.message_id = "m1";
  text.is_from_me = true;
  text.text = "Olá, 世界";
  package.AddMessage(text);
  package.AddMessage(Picture());
  ChatMessage call;
  call.message_id = "m3";
  call.kind = ChatMessageKind::kCall;
  call.has_duration = true;
  call.duration = 61;
  call.has_location = true;
  call.latitude = 52.5;
  call.longitude = -0.25;
  call.url = "https://example.org/x";
  call.deleted = true;
  package.AddMessage(call);
  ChatSession empty;
  empty.session_id = "u-old";
  empty.kind = ChatSessionKind::kOfficial;
  empty.deleted = true;
  package.BeginSession(empty);

  const Json::Value document = Parse(package.Finish());
  const std::string batch = document["sessions"][0]["msg_file_list"][0].asString();
  EXPECT_EQ(Parse(R"({"account_id": "u-owner", "account_name": "Owner", "app": "line",
    "sessions": [
      {"kind": "group", "members": [{"id": "u-bob", "name": "Bob"}, {"id": "u-eve"}],
       "message_count": 3, "msg_file_list": [")" +
                  test::JsonEscaped(batch) + R"("],
       "name": "Família 家族", "session_id": "g-1"},
      {"kind": "official", "message_count": 0, "msg_file_list": [], "session_id": "u-old",
       "tag": "deleted"}],
    "size": 2})"),
            document);
  EXPECT_EQ(Parse(R"([
    {"is_from_me": 1, "kind": "text", "message_id": "m1", "text": "Olá, 世界"},
    {"is_from_me": 0, "kind": "picture", "media_backup": "/b/ab/abcd",
     "media_path": "Library/Images/p.jpg", "message_id": "m2", "raw_type": "1",
     "send_date": 1678307200500, "sender_id": "u-bob", "sender_name": "Bob",
     "thumb_backup": "/b/cd/cdef"},
    {"duration": 61, "is_from_me": 0, "kind": "call", "latitude": 52.5, "longitude": -0.25,
     "message_id": "m3", "tag": "deleted", "url": "https://example.org/x"}])"),
            ParseFile(batch));
}

TEST(ChatDocumentTest, ApplicationsNeverShareABatchFile) {
  test::TempDir dir;
  ChatPackage line("line", dir.path());
  ChatPackage viber("viber", dir.path());
  ChatMessage message;
  message.message_id = "1";
  for (ChatPackage* package : {&line, &viber}) {
    package->BeginSession(OneToOne("same-id"));
    package->AddMessage(message);
  }
  const Json::Value first = Parse(line.Finish());
  const Json::Value second = Parse(viber.Finish());
  EXPECT_NE(first["sessions"][0]["msg_file_list"], second["sessions"][0]["msg_file_list"]);
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
  const Json::Value session = Parse(package.Finish())["sessions"][0];
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
