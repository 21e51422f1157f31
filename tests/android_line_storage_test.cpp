// The LINE storage writer: detail-file numbering and layout, and the result
// document.
#include "pipeline/android_line_storage.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "sdk/library.h"
#include "test_support.h"

namespace kx {
namespace {

LineMessage MessageWithText(const std::string& text) {
  LineMessage message;
  message.content = text;
  message.sender = text;
  message.reply.reply_content = text;
  message.vCard_name = text;
  return message;
}

// The message as the JSON tree the streamed text must equal.
Json::Value LineMessageToJson(const LineMessage& message) {
  Json::Value object(Json::objectValue);
  object["is_fail_to_send"] = message.is_fail_to_send;
  object["type"] = message.type;
  object["is_from_me"] = message.is_from_me;
  object["latitude"] = JsonDouble(message.latitude);
  object["longtitude"] = JsonDouble(message.longitude);
  object["image_height"] = JsonDouble(message.image_height);
  object["image_width"] = JsonDouble(message.image_width);
  object["file_size"] = JsonDouble(message.file_size);
  object["duration"] = JsonDouble(message.duration);
  object["uri"] = message.uri;
  object["rely_server_id"] = message.rely_server_id;
  object["sender"] = message.sender;
  object["content"] = message.content;
  object["create_time"] = message.create_time;
  object["original_time"] = message.original_time;
  object["vCard_file"] = message.vCard_file;
  object["vCard_name"] = message.vCard_name;
  object["subtopic"] = message.subtopic;
  object["download_url"] = message.download_url;
  object["attachment_path"] = message.attachment_path;
  object["thumb_path"] = message.thumb_path;
  object["system_info"] = message.system_info;
  Json::Value reply(Json::objectValue);
  reply["reply_type"] = message.reply.reply_type;
  reply["reply_content"] = message.reply.reply_content;
  reply["reply_sender"] = message.reply.reply_sender;
  reply["reply_thumb"] = message.reply.reply_thumb;
  object["reply_msg"] = std::move(reply);
  return object;
}

std::string TreeWriterText(const LineMessages& messages) {
  Json::Value array(Json::arrayValue);
  for (const LineMessage& message : messages) array.append(LineMessageToJson(message));
  std::ostringstream out;
  WriteJsonToStream(array, &out);
  return out.str();
}

std::string StreamedText(LineMessages messages) {
  std::ostringstream out;
  WriteLineMessagesJson(TakeFrom(&messages), &out);
  EXPECT_TRUE(messages.empty());
  return out.str();
}

LineChat ChatWith(const std::string& mid, int message_count) {
  LineChat chat;
  chat.mid = mid;
  for (int i = 0; i < message_count; ++i) chat.messages.push_back(MessageWithText("m"));
  return chat;
}

TEST(LineDetailLayoutTest, StreamedElementsMatchTheJsonWriterByteForByte) {
  LineMessages messages;
  for (const std::string& text :
       {std::string(), std::string("plain text"), std::string("quote \" and back\\slash"),
        std::string("tab\tline\nfeed\r"), std::string("nul\0inside", 10), std::string("\x01\x1f"),
        std::string("del \x7f"), std::string("日本語 Müller"), std::string("emoji 😀"),
        std::string("broken \xff\xfe utf-8"), std::string("cut \xe3\x81"),
        std::string("</script> & <b>")}) {
    messages.push_back(MessageWithText(text));
  }
  LineMessage numbers;
  numbers.type = -1;
  numbers.reply.reply_type = 63;
  numbers.latitude = 35681236;
  numbers.longitude = -139.767125;
  numbers.duration = 0.1;
  numbers.file_size = 1e300;
  numbers.image_height = std::numeric_limits<double>::infinity();
  numbers.image_width = std::numeric_limits<double>::quiet_NaN();
  numbers.is_fail_to_send = true;
  numbers.is_from_me = true;
  messages.push_back(numbers);
  EXPECT_EQ(TreeWriterText(messages), StreamedText(messages));
  EXPECT_EQ(TreeWriterText({}), StreamedText({}));
  EXPECT_EQ(TreeWriterText({numbers}), StreamedText({numbers}));
}

class LineStorageTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeLibrary(logs_.path().c_str(), test::ConfigFolder().c_str()); }
  std::string Detail(int number) const {
    return JoinPath(out_.path(), "DataAnalysis_Line_" + std::to_string(number) + ".json");
  }

  test::TempDir out_;
  test::TempDir logs_;
  AndroidLineDataPackageStorage storage_{out_.path()};
};

TEST_F(LineStorageTest, NumbersFilesAndSkipsEmptyAndRepeatedChats) {
  storage_.AddChat(ChatWith("u1", 2));
  storage_.AddChat(ChatWith("u2", 0));
  storage_.AddChat(ChatWith("u3", 1));
  storage_.AddChat(ChatWith("u1", 5));  // the same chat again
  EXPECT_EQ(2, storage_.detail_file_counter());
  EXPECT_EQ(3, storage_.chat_count());
  Json::Value document;
  storage_.BuildResultDocument(document);
  const Json::Value& chats = document["line_chat_sessions"];
  ASSERT_EQ(3u, chats.size());
  EXPECT_EQ(Detail(0), chats[0]["msg_file_list"][0].asString());
  EXPECT_EQ(0u, chats[1]["msg_file_list"].size());
  EXPECT_EQ(Detail(1), chats[2]["msg_file_list"][0].asString());
  Json::Value parsed;
  std::string error;
  ASSERT_TRUE(ParseJson(test::ReadFileBytes(Detail(0)).c_str(), &parsed, &error)) << error;
  EXPECT_EQ(2u, parsed.size());
}

TEST_F(LineStorageTest, ResultOfAPhoneWithoutChats) {
  storage_.SetAccount("uaa", "Haruka");
  Json::Value document;
  EXPECT_EQ(&document, &storage_.BuildResultDocument(document));
  EXPECT_EQ(
      "{\n   \"account_id\" : \"uaa\",\n   \"chat_count\" : 0,\n   \"line_chat_sessions\" : [],"
      "\n   \"my_name\" : \"Haruka\"\n}",
      WriteJson(document));
}

// --- Error paths ---

TEST_F(LineStorageTest, FileThatCannotBeOpenedLosesOnlyThatChatsDetails) {
  std::filesystem::create_directories(PathFromUtf8(Detail(1)));  // in the way
  storage_.AddChat(ChatWith("u1", 1));
  storage_.AddChat(ChatWith("u2", 1));
  EXPECT_EQ(1, storage_.detail_file_counter());
  Json::Value document;
  storage_.BuildResultDocument(document);
  ASSERT_EQ(2u, document["line_chat_sessions"].size());
  EXPECT_EQ(0u, document["line_chat_sessions"][1]["msg_file_list"].size());
  const std::string log = test::ReadFileBytes(logs_.File("KxDataPackage.log"));
  EXPECT_NE(std::string::npos, log.find("Open file {" + Detail(1) + "} failed, error message:{"));
}

#if !defined(_WIN32)
TEST_F(LineStorageTest, PlantedFifoAndLinkAreReplacedNotWrittenThrough) {
  // A reader keeps a writer's open from blocking, so a writer that used the
  // FIFO fails the checks below rather than hanging the test.
  ASSERT_EQ(0, mkfifo(Detail(0).c_str(), 0600));
  const int reader = open(Detail(0).c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const std::string target = logs_.File("not-to-be-written");
  test::WriteFileBytes(target, "the link's target");
  std::filesystem::create_symlink(PathFromUtf8(target), PathFromUtf8(Detail(1)));
  storage_.AddChat(ChatWith("u1", 1));
  storage_.AddChat(ChatWith("u2", 1));
  close(reader);

  EXPECT_EQ(2, storage_.detail_file_counter());
  for (int file = 0; file < 2; ++file) {
    const auto status = std::filesystem::symlink_status(PathFromUtf8(Detail(file)));
    EXPECT_TRUE(std::filesystem::is_regular_file(status)) << Detail(file);
    Json::Value details;
    std::string error;
    EXPECT_TRUE(ParseJson(test::ReadFileBytes(Detail(file)).c_str(), &details, &error)) << error;
    EXPECT_EQ(1u, details.size());
  }
  EXPECT_EQ("the link's target", test::ReadFileBytes(target));
}
#endif

}  // namespace
}  // namespace kx
