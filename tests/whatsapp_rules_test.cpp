#include "kit/whatsapp_rules.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "android/whatsapp_own_number.h"
#include "test_support.h"

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

// The rules around the type table, not its rows (the whole documents of
// the package tests hold those): pairs without a row, the disappearing-
// messages setting by its duration, and view-once media by their state.
// clang-format off
const UniversalCase kUniversalCases[] = {
    {0, 19, 40},  {1, 56, 1},
    {0, 2, kNone}, {7, 500, kNone}, {6, 0, kNone}, {-1, 0, kNone}, {99, 19, kNone},
    {0, 56, 47, true, 604800}, {7, 56, 48, true, 0}, {7, 56, kUnknownUniversalType, false, 0},
    {42, 0, 64, false, 0, 0}, {42, 0, 66, false, 0, 1}, {43, 0, 65, false, 0, 0},
    {43, 0, 66, false, 0, 1},
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

TEST(WhatsAppJidTest, UserPartEndsAtTheFirstAt) {
  EXPECT_EQ("4915123456789", JidUserPart("4915123456789@s.whatsapp.net"));
  EXPECT_EQ("a", JidUserPart("a@b@c"));
  EXPECT_EQ("plain", JidUserPart("plain"));
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

// 93 bytes of object header, then the strings as the layout puts them.
std::string OwnNumberFile(const std::string& first, const std::string& second) {
  std::string bytes(93, 'x');
  bytes += std::string("t\0", 2) + static_cast<char>(first.size()) + first;
  bytes += std::string("t\0", 2) + static_cast<char>(second.size()) + second;
  return bytes;
}

TEST(WhatsAppOwnNumberTest, ReadsTheSecondString) {
  std::string number;
  ASSERT_TRUE(ParseOwnNumber(OwnNumberFile("49", "4915712345678"), &number));
  EXPECT_EQ("4915712345678", number);
  // More strings after the number change nothing.
  ASSERT_TRUE(ParseOwnNumber(OwnNumberFile("1", "5550100") + std::string("t\0\x03"
                                                                         "abc",
                                                                         6),
                             &number));
  EXPECT_EQ("5550100", number);
  // An empty first string puts the second header right after the first.
  ASSERT_TRUE(ParseOwnNumber(OwnNumberFile("", "7"), &number));
  EXPECT_EQ("7", number);
}

// Tests of the malformed files follow.

TEST(WhatsAppOwnNumberTest, MissingFileGivesNoNumber) {
  test::TempDir dir;
  std::string number;
  EXPECT_FALSE(ReadOwnNumberFile(dir.File("me"), &number));
  EXPECT_FALSE(ReadOwnNumberFile(dir.path(), &number));  // a folder
}

TEST(WhatsAppOwnNumberTest, RejectsMarkersOutOfPlaceAndBadLengths) {
  const std::pair<size_t, char> edits[] = {
      {93, 's'},     {94, '\x01'},  // the first marker
      {98, 'u'},     {99, '\x02'},  // the second marker
      {95, '\x7F'},                 // the first string reaches past the end
      {95, '\xFD'},                 // -3 points back into the header
      {100, '\x90'},                // negative second length
  };
  for (const auto& edit : edits) {
    std::string bytes = OwnNumberFile("49", "4915712345678");
    bytes[edit.first] = edit.second;
    std::string number;
    EXPECT_FALSE(ParseOwnNumber(bytes, &number)) << edit.first << " " << int(edit.second);
  }
  std::string number;
  EXPECT_FALSE(ParseOwnNumber(OwnNumberFile("49", ""), &number));  // an empty number is no number
}

TEST(WhatsAppOwnNumberTest, SurvivesEveryLengthAndContent) {
  // Every length from 0 to 200 bytes, of three fillers and of a valid file cut short: no crash,
  // and a number only where the layout holds.
  for (size_t length = 0; length <= 200; ++length) {
    for (char filler : {'\0', 't', '\xFF'}) {
      std::string number;
      const bool parsed = ParseOwnNumber(std::string(length, filler), &number);
      if (filler != 't') {
        EXPECT_FALSE(parsed) << length;
      }
    }
    const std::string prefix = OwnNumberFile("49", "4915712345678").substr(0, length);
    std::string number = "untouched";
    const bool parsed = ParseOwnNumber(prefix, &number);
    EXPECT_EQ(length >= 114, parsed) << length;
    if (!parsed) {
      EXPECT_EQ("untouched", number) << length;
    }
  }
}

}  // namespace
}  // namespace kx
