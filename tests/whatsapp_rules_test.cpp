#include "android/whatsapp_rules.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/chat_batches.h"
#include "common/text.h"

namespace kx {
namespace {

constexpr uint32_t kNone = 4294967295u;

struct UniversalCase {
  int64_t type;
  int64_t action;
  uint32_t expected;
  bool has_duration = false;
  int64_t duration = 0;
  int64_t view_once_state = 0;
};

// Message type and action type to "universal_type"; action 56 depends on the setting duration and
// view-once types (42, 43) on their state.
// clang-format off
const UniversalCase kUniversalCases[] = {
    {0, 0, 0},    {7, 0, 0},    {0, 1, 20},   {7, 4, 26},   {0, 5, 23},   {7, 13, 23},
    {0, 9, 24},   {0, 10, 38},  {7, 11, 25},  {0, 12, 21},  {7, 14, 32},  {0, 15, 34},
    {0, 16, 35},  {0, 19, 40},  {7, 20, 36},  {0, 27, 28},  {7, 28, 37},  {0, 29, 43},
    {0, 30, 44},  {7, 31, 45},  {0, 32, 46},  {0, 46, 41},  {7, 47, 39},  {0, 76, 76},
    {7, 77, 67},  {0, 78, 75},  {0, 81, 68},  {7, 87, 69},  {0, 90, 70},  {7, 93, 71},
    {0, 95, 72},  {1, 0, 1},    {1, 56, 1},   {2, 3, 2},    {3, 0, 3},    {13, 0, 3},
    {4, 0, 8},    {14, 0, 8},   {5, 0, 7},    {9, 0, 4},    {11, 0, 42},  {15, 0, 31},
    {16, 0, 33},  {20, 0, 6},   {31, 0, 43},  {32, 0, 44},
    // Pairs without a row.
    {0, 2, kNone}, {7, 3, kNone}, {7, 500, kNone}, {6, 0, kNone}, {8, 0, kNone},
    {10, 0, kNone}, {-1, 0, kNone}, {99, 19, kNone},
    // Disappearing-messages setting.
    {0, 56, 47, true, 604800}, {7, 56, 47, true, 86400}, {7, 56, 48, true, 0},
    {0, 56, 48, true, 0}, {7, 56, kUnknownUniversalType, false, 0},
    // View once.
    {42, 0, 64, false, 0, 0}, {42, 0, 66, false, 0, 1}, {42, 0, 66, false, 0, 2},
    {43, 0, 65, false, 0, 0}, {43, 0, 66, false, 0, 1},
};
// clang-format on

TEST(WhatsAppUniversalTypeTest, FollowsTheTable) {
  for (const UniversalCase& c : kUniversalCases) {
    UniversalTypeInput input;
    input.message_type = c.type;
    input.action_type = c.action;
    input.has_setting_duration = c.has_duration;
    input.setting_duration = c.duration;
    input.view_once_state = c.view_once_state;
    EXPECT_EQ(c.expected, ClassifyMessage(input).value)
        << c.type << "/" << c.action << " " << c.duration << " " << c.view_once_state;
  }
}

TEST(WhatsAppUniversalTypeTest, SetsTheMemberFromTextOrIntegerMembers) {
  Json::Value message;
  message["type"] = "0";
  message["size"] = 6;
  message["content"] = "photo changed";
  SetUniversalType(0, &message);
  EXPECT_EQ(29u, message["universal_type"].asUInt());
  EXPECT_FALSE(message.isMember("content"));

  Json::Value settings;
  settings["type"] = 7;
  settings["size"] = 56;
  settings["setting_duration"] = 0;
  SetUniversalType(0, &settings);
  EXPECT_EQ(48u, settings["universal_type"].asUInt());

  Json::Value already;
  already["type"] = 1;
  already["universal_type"] = 5;
  SetUniversalType(0, &already);
  EXPECT_EQ(5, already["universal_type"].asInt());

  Json::Value view_once;
  view_once["type"] = "43";
  SetUniversalType(1, &view_once);
  EXPECT_EQ(66u, view_once["universal_type"].asUInt());
}

TEST(WhatsAppSendStatusTest, NormalisesByStatusChatAndSender) {
  struct Case {
    int64_t status, type;
    int session_type;
    int64_t from_me, expected;
  };
  const Case cases[] = {
      {1, 1, 0, 0, 1},  {1, 0, 1, 1, 1},                     // 1 stays
      {0, 1, 1, 1, 1},  {2, 3, 1, 1, 1},                     // own media in a group
      {0, 0, 1, 1, 0},  {2, 11, 1, 1, 0}, {0, 20, 1, 1, 0},  // text, 11, stickers
      {0, 1, 0, 1, 0},  {2, 1, 2, 1, 0},                     // not a group
      {0, 1, 1, 0, 0},                                       // not the owner's
      {13, 1, 1, 1, 0}, {5, 0, 0, 0, 0},  {-1, 1, 1, 1, 0},  // other statuses
  };
  for (const Case& c : cases) {
    Json::Value message;
    message["send_status"] = Json::Int64(c.status);
    message["type"] = Json::Int64(c.type);
    message["is_from_me"] = Json::Int64(c.from_me);
    NormaliseSendStatus(c.session_type, &message);
    EXPECT_EQ(c.expected, message["send_status"].asInt64())
        << c.status << " " << c.type << " " << c.session_type << " " << c.from_me;
  }
  Json::Value without_status;
  NormaliseSendStatus(kSessionGroup, &without_status);
  EXPECT_EQ(0, without_status["send_status"].asInt());
}

TEST(WhatsAppMediaPathTest, PlacesPathsByTypeAndSender) {
  struct Case {
    int64_t type;
    bool from_me;
    const char* stored;
    const char* expected;
  };
  const Case cases[] = {
      {1, false, "IMG-1.jpg", "Media/WhatsApp Images/IMG-1.jpg"},
      {1, true, "IMG-1.jpg", "Media/WhatsApp Images/Sent/IMG-1.jpg"},
      {2, false, "PTT-1.opus", "Media/WhatsApp Voice Notes/PTT-1.opus"},
      {3, true, "VID-1.mp4", "Media/WhatsApp Video/Sent/VID-1.mp4"},
      {9, false, "a.pdf", "Media/WhatsApp Documents/a.pdf"},
      {13, false, "g.mp4", "Media/WhatsApp Animated Gifs/g.mp4"},
      {20, false, "s.webp", ""},
      {20, false, "Media/WhatsApp Stickers/s.webp", "Media/WhatsApp Stickers/s.webp"},
      {1, true, "Media/WhatsApp Images/Sent/x.jpg", "Media/WhatsApp Images/Sent/x.jpg"},
      {42, false, "Media/WhatsApp Images/Private/x.jpg", ""},
      {4, false, "card", ""},
      {1, false, "", ""},
      // Reported, never opened: a hostile path stays text.
      {1, false, "../../x", "Media/WhatsApp Images/../../x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, MediaRelativePath(c.type, c.from_me, c.stored, WhatsAppMediaFolders()))
        << c.type << " " << c.stored;
  }
  EXPECT_EQ("Media/WhatsApp Business Images/Sent/IMG-1.jpg",
            MediaRelativePath(1, true, "IMG-1.jpg", WhatsAppBusinessMediaFolders()));
  EXPECT_EQ("Media/WhatsApp Business Video/v.mp4",
            MediaRelativePath(3, false, "Media/WhatsApp Business Video/v.mp4",
                              WhatsAppBusinessMediaFolders()));
}

TEST(WhatsAppJidTest, SessionTypesUserPartsAndBatchNames) {
  EXPECT_EQ(kSessionGroup, WhatsAppSessionType("491701234567-1602590000@g.us"));
  EXPECT_EQ(kSessionBroadcast, WhatsAppSessionType("1612345678@broadcast"));
  EXPECT_EQ(kSessionBroadcast, WhatsAppSessionType("status@broadcast"));
  EXPECT_EQ(kSessionSingle, WhatsAppSessionType("4915123456789@s.whatsapp.net"));
  EXPECT_EQ(kSessionSingle, WhatsAppSessionType("no-at-sign"));
  EXPECT_EQ("4915123456789", JidUserPart("4915123456789@s.whatsapp.net"));
  EXPECT_EQ("a", JidUserPart("a@b@c"));
  EXPECT_EQ("plain", JidUserPart("plain"));

  const std::string jid = "4915123456789@s.whatsapp.net";
  const std::string hash = Fnv1a64Decimal(jid);
  EXPECT_EQ("messages_" + hash + ".json", BatchFileName(jid, 1, false));
  EXPECT_EQ("messages_" + hash + "_3.json", BatchFileName(jid, 3, true));
}

TEST(WhatsAppTextTest, FindsLinksAndReadsIntegerMembers) {
  EXPECT_EQ((std::vector<std::string>{"https://a.example/x?y=1", "http://b.example"}),
            FindUrlLinks("see https://a.example/x?y=1\nand\thttp://b.example ."));
  EXPECT_TRUE(FindUrlLinks("ftp://x www.example.org xhttp://y").empty());
  EXPECT_TRUE(FindUrlLinks("").empty());

  Json::Value object;
  object["a"] = "42";
  object["b"] = Json::Int64(-7);
  object["c"] = "x";
  object["d"] = Json::UInt64(5);
  object["e"] = 1.5;
  const std::pair<const char*, int64_t> members[] = {{"a", 42}, {"b", -7}, {"c", 0},
                                                     {"d", 5},  {"e", 0},  {"missing", 0}};
  for (const auto& m : members) EXPECT_EQ(m.second, MemberAsInteger(object, m.first)) << m.first;
  EXPECT_EQ(0, MemberAsInteger(Json::Value("not an object"), "a"));
}

}  // namespace
}  // namespace kx
