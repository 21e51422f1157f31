#include "pipeline/line_message_classifier.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kx {
namespace {

const std::string kBob = "ubbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
const std::string kCarol = "ucccccccccccccccccccccccccccccccc";
const std::string kStranger = "u99999999999999999999999999999999";

const ContactNames& Names() {
  static const ContactNames names = {{kBob, "Bob"}, {kCarol, "Carol"}};
  return names;
}

struct ClassifyCase {
  int line_type;
  int attachement_type;
  const char* parameter;
  int expected;
};

// The rules around the classification table, not its rows (the package
// tests' documents hold those): types above 27, albums before the type,
// schedules by their text, an attachment the type does not fit, and values
// that do not count.
// clang-format off
const ClassifyCase kClassifyCases[] = {
    {28, 1, "", 0}, {33, 16, "LOC_KEY\tC_MI", 0},
    {0, 16, "text\tAlbum", 61}, {8, 16, "", 61}, {1, 0, "", 0}, {1, 19, "", 0},
    {1, 22, "INDEXABLE_TEXT\tMy Schedule for today", 59},
    {1, 22, "INDEXABLE_TEXT\tschedule in lower case", 58},
    {1, 22, "ALT_TEXT\tCoupon", -1},
    {1, 22, "INDEXABLE_TEXT\t", -1},  // an empty value does not count
    {4, 6, "TYPE\tG\tGC_MEDIA_TYPE\tAUDIO", 9}, {4, 6, "", 10}, {4, 0, "TYPE\tA", 0},
    {13, 18, "SKIP_BADGE_COUNT\ttrue", -1}, {13, 18, "LOC_KEY\tC_XX", 0}, {-5, 1, "", 0},
};
// clang-format on

TEST(LineMessageClassifierTest, FollowsTheClassificationTable) {
  for (const ClassifyCase& c : kClassifyCases) {
    EXPECT_EQ(c.expected, ClassifyLineMessage(c.line_type, c.attachement_type,
                                              LineParameters::Parse(c.parameter)))
        << "type " << c.line_type << ", attachement_type " << c.attachement_type << ", \""
        << c.parameter << "\"";
  }
}

TEST(LineMessageClassifierTest, LocKeysMatchExactly) {
  const std::pair<const char*, int> cases[] = {{"C_MI", 21}, {"C_MI ", 0}, {"c_mi", 0}};
  for (const auto& c : cases) {
    const LineParameters parameters = LineParameters::Parse(std::string("LOC_KEY\t") + c.first);
    EXPECT_EQ(c.second, ClassifyLineMessage(13, 18, parameters)) << c.first;
  }
}

TEST(LineMessageClassifierTest, ServerIdRuleOfTypes3And9) {
  EXPECT_EQ("_42", EffectiveServerId(3, "", 42));
  EXPECT_EQ("_7", EffectiveServerId(9, "", 7));
  EXPECT_EQ("1640253", EffectiveServerId(3, "1640253", 42));
  EXPECT_EQ("", EffectiveServerId(13, "", 42));
  EXPECT_EQ("", EffectiveServerId(1, "", 42));
}

TEST(LineParametersTest, ReadsPairsOddPiecesEmptyPartsAndRepeats) {
  struct Case {
    const char* text;
    size_t pairs;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"OID\tabc\tSID\temi\tFILE_SIZE\t20480", 3, "FILE_SIZE", "20480"},
      {"OID\tabc\tSID\temi", 2, "OID", "abc"},
      {"OID\tabc", 1, "oid", ""},  // keys are case-sensitive
      {"OID\tabc", 1, "missing", ""},
      {"a\t1\tdangling", 1, "a", "1"},  // odd count: the last piece is ignored
      {"\t1\tb\t2", 1, "b", "2"},       // empty key
      {"a\t\tb\t2", 1, "b", "2"},       // empty value
      {"a\t1\ta\t2", 1, "a", "1"},      // a repeated key keeps its first value
      {"a\t1\t", 1, "a", "1"},          // trailing tab
      {"", 0, "a", ""},
      {"\t\t\t", 0, "a", ""},
      {"only", 0, "only", ""},
  };
  for (const Case& c : cases) {
    const LineParameters parameters = LineParameters::Parse(c.text);
    EXPECT_EQ(c.pairs, parameters.size()) << c.text;
    EXPECT_EQ(c.value, parameters.Get(c.key)) << c.text << " " << c.key;
  }
  EXPECT_FALSE(LineParameters::Parse("OID\tabc").Has("oid"));
}

// A message of `type` (row `id`, text `content`) after the details of `parameters` are filled in.
LineMessage Filled(int type, const char* parameters, int64_t id = 0, const char* content = "") {
  LineMessage message;
  message.id = id;
  message.type = type;
  message.content = content;
  FillLineMessageDetails(LineParameters::Parse(parameters), kBob, Names(), &message);
  return message;
}

TEST(LineMessageDetailsTest, ImageVoiceVideoAndFile) {
  const std::string folder =
      "/sdcard/Android/data/jp.naver.line.android/files/chats/" + kBob + "/messages/";
  const LineMessage image =
      Filled(line_type::kImage, "AGENT_NAME\tLINE Camera\tDOWNLOAD_URL\thttps://obs.example/1", 12);
  EXPECT_EQ(folder + "12", image.attachment_path);
  EXPECT_EQ(folder + "12.thumb", image.thumb_path);
  EXPECT_EQ("LINE Camera", image.content);
  EXPECT_EQ("https://obs.example/1", image.download_url);

  const LineMessage voice = Filled(line_type::kVoice, "DURATION\t4520\tSID\tema", 13);
  EXPECT_EQ(folder + "voice_13.aac", voice.attachment_path);
  EXPECT_EQ(4520.0, voice.duration);

  const LineMessage video = Filled(line_type::kVideo, "DURATION\t15000ms", 14);
  EXPECT_EQ(folder + "14.thumb", video.thumb_path);
  EXPECT_EQ("", video.attachment_path);
  EXPECT_EQ(15000.0, video.duration);

  const LineMessage file =
      Filled(line_type::kFile, "FILE_NAME\tplan.pdf\tFILE_SIZE\t20480", 15, "row content");
  EXPECT_EQ("plan.pdf", file.content);
  EXPECT_EQ(20480.0, file.file_size);
}

TEST(LineMessageDetailsTest, CardsAlbumsAndSchedules) {
  const LineMessage card = Filled(line_type::kContactCard, "displayName\tYuki\tvCard\tBEGIN:VCARD");
  EXPECT_EQ("Yuki", card.vCard_name);
  EXPECT_EQ("", card.vCard_file);  // the packager writes the file

  EXPECT_EQ("Added 3 photos", Filled(line_type::kAlbum, "text\tAdded 3 photos").content);

  const LineMessage schedule = Filled(
      line_type::kSchedule, "ALT_TEXT\tDinner\tINDEXABLE_TEXT\tSchedule Dinner\turi\thttps://s/1");
  EXPECT_EQ("Dinner", schedule.content);
  EXPECT_EQ("https://s/1", schedule.uri);
}

TEST(LineMessageDetailsTest, CallSystemInformation) {
  EXPECT_EQ("Voice call started", CallSystemInfo(line_type::kVoiceCall, "S", "INFO"));
  EXPECT_EQ("Video call ended, no answer",
            CallSystemInfo(line_type::kVideoCall, "E", "NO_RESPONSE"));
  EXPECT_EQ("Voice call, declined", CallSystemInfo(line_type::kVoiceCall, "", "REJECTED"));
  EXPECT_EQ("Video call invitation, cancelled",
            CallSystemInfo(line_type::kVideoCall, "I", "CANCELED"));
  EXPECT_EQ("Voice call X, ODD", CallSystemInfo(line_type::kVoiceCall, "X", "ODD"));
  EXPECT_EQ("Voice call", CallSystemInfo(line_type::kVoiceCall, "", "NORMAL"));
}

TEST(LineMessageDetailsTest, MemberEventsAndGroupNameChangesNameTheMembers) {
  const std::string args = kBob + "\x1e" + kCarol + "\x1e" + kStranger + "\x1e" + kCarol;
  // The first mid (the one who acted) is not searched; unknown mids add no name.
  EXPECT_EQ("Member invited: Carol",
            MemberEventSystemInfo(line_type::kMemberInvited, args, Names()));
  EXPECT_EQ(
      "Member removed: Bob,Carol",
      MemberEventSystemInfo(line_type::kMemberRemoved, "x" + kBob + "\x1e" + kCarol, Names()));
  EXPECT_EQ("Group invitation", MemberEventSystemInfo(line_type::kGroupInvitation, "", Names()));
  EXPECT_EQ("Invitation cancelled",
            MemberEventSystemInfo(line_type::kInvitationCancelled, "u12u", Names()));

  // Group name changes.
  EXPECT_EQ("Group name changed by Bob: Kyoto trip",
            GroupNameSystemInfo(kBob + "\x1e" + "Kyoto trip", Names()));
  EXPECT_EQ("Group name changed: Kyoto trip",
            GroupNameSystemInfo(kStranger + "\x1e" + "Kyoto trip", Names()));
  EXPECT_EQ("Group name changed", GroupNameSystemInfo("", Names()));
}

TEST(LineContentReductionTest, HtmlPostBody) {
  const HtmlPostSummary post = ReduceHtmlContent(
      "<div class=\"Md2Ttl\">Weekend <b>hike</b></div><div><p>Meet at 8:00.</p><p></p>"
      "<p>Bring water &amp; snacks.</p></div><a href=\"https://line.me/R/home/post/1\">See</a>");
  EXPECT_EQ("Weekend hike", post.title);
  EXPECT_EQ("Meet at 8:00.\nBring water & snacks.", post.text);
  EXPECT_EQ("https://line.me/R/home/post/1", post.link);
}

TEST(LineContentReductionTest, FlexBubbleAndCarousel) {
  const FlexSummary bubble = ReduceFlexJson(
      R"({"type":"bubble","body":{"type":"box","contents":[{"type":"text","text":"Shipped"},)"
      R"({"type":"box","contents":[{"type":"button","action":{"type":"uri","uri":"https://t/1"}}]},)"
      R"({"type":"button","action":{"uri":"https://t/2"}}]}})");
  EXPECT_EQ("Shipped", bubble.text);
  EXPECT_EQ("https://t/1", bubble.uri);
  const FlexSummary carousel = ReduceFlexJson(
      R"({"type":"carousel","contents":[{"body":{"contents":[{"type":"text","text":"A"}]}},)"
      R"({"body":{"contents":[{"type":"text","text":"B","action":{"uri":"https://c"}}]}}]})");
  EXPECT_EQ("A\nB", carousel.text);
  EXPECT_EQ("https://c", carousel.uri);
}

// --- Error paths: what the sender's text cannot be trusted to hold. ---

TEST(LineContentReductionTest, BrokenHtmlKeepsWhatCanBeRead) {
  const HtmlPostSummary unterminated = ReduceHtmlContent("<p>first</p><p>second <i>part");
  EXPECT_EQ("first\nsecond part", unterminated.text);
  EXPECT_EQ("", unterminated.title);
  const HtmlPostSummary odd = ReduceHtmlContent("<div class=Md2Ttl>Title<a href=\"http://x");
  EXPECT_EQ("Title", odd.title);
  EXPECT_EQ("http://x", odd.link);
  EXPECT_EQ("", ReduceHtmlContent("href=").link);
  EXPECT_EQ("", ReduceHtmlContent("").text);
}

TEST(LineContentReductionTest, BrokenFlexJsonGivesNothing) {
  for (const char* text : {"", "{", "[1,2]", "not json", R"({"type":5,"body":"x"})",
                           R"({"type":"carousel","contents":{"a":1}})",
                           R"({"body":{"contents":[{"text":1,"action":{"uri":2}}]}})"}) {
    const FlexSummary flex = ReduceFlexJson(text);
    EXPECT_EQ("", flex.text) << text;
    EXPECT_EQ("", flex.uri) << text;
  }
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  EXPECT_EQ("", ReduceFlexJson(deep).text);
}

TEST(LineMessageDetailsTest, ShortOrHostileLocArgs) {
  for (const std::string& args :
       {std::string("u"), std::string("xubbbb"), std::string(100000, 'u')}) {
    EXPECT_EQ("Member invited", MemberEventSystemInfo(line_type::kMemberInvited, args, Names()))
        << args.size();
  }
}

TEST(LineMessageDetailsTest, NonNumericSizesReadAsZero) {
  EXPECT_EQ(0.0, Filled(line_type::kFile, "FILE_SIZE\tlarge\tFILE_NAME\t").file_size);
  EXPECT_EQ(0.0, Filled(line_type::kVoice, "DURATION\t99999999999999999999999").duration);
}

}  // namespace
}  // namespace kx
