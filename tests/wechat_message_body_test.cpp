// WeChat's message kinds, the XML bodies of its richer messages, the
// protobuf names of its contacts and the settings archive, on what the
// application writes and on hostile input.
#include "ioschat/wechat_message_body.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "common/json_util.h"
#include "ioschat/wechat_contacts.h"
#include "ioschat/wechat_messages.h"
#include "package_capture.h"
#include "samples/ios_wechat.h"
#include "test_support.h"

namespace kx {
namespace {

TEST(WechatKinds, GroupSenderHeads) {
  const struct {
    const char* text;
    const char* sender;  // null: no head
    const char* rest;
  } cases[] = {
      {"wxid_a1:\nhello", "wxid_a1", "hello"},
      {"wxid_a1:\n<msg><img /></msg>", "wxid_a1", "<msg><img /></msg>"},
      {"wxid_a1:\n", "wxid_a1", ""},
      {"hello", nullptr, ""},
      {":\nno sender", nullptr, ""},
      {"Note: see\nbelow", nullptr, ""},
      {"<msg a=\"x:\n\"/>", nullptr, ""},
      {"../../u:\nhello", nullptr, ""},
      {"https://e.org/x:\nhello", nullptr, ""},
      {"12345@chatroom-x.y:\nhi", "12345@chatroom-x.y", "hi"},
  };
  for (const auto& one : cases) {
    SCOPED_TRACE(one.text);
    std::string_view sender;
    std::string_view rest;
    ASSERT_EQ(one.sender != nullptr, SplitGroupSender(one.text, &sender, &rest));
    if (one.sender == nullptr) continue;
    EXPECT_EQ(one.sender, sender);
    EXPECT_EQ(one.rest, rest);
  }
}

// What a body gives, as one text, so each case compares whole.
std::string Render(const WechatBody& body) {
  Json::Value value(Json::objectValue);
  value["app_type"] = body.app_type;
  value["title"] = body.title;
  value["url"] = body.url;
  value["file_ext"] = body.file_ext;
  if (body.has_location) {
    value["latitude"] = body.latitude;
    value["longitude"] = body.longitude;
  }
  value["label"] = body.label;
  value["card"] = body.card_id + "|" + body.card_name;
  if (body.has_duration) value["duration"] = Json::Int64(body.duration);
  value["notice"] = body.notice;
  value["revoked"] = body.revoked;
  return WriteJson(value);
}

std::string Expected(const std::string& members) {
  return test::Formatted(
      R"({"app_type": 0, "title": "", "url": "", "file_ext": "", "label": "", "card": "|",
          "notice": "", "revoked": false)" +
      (members.empty() ? std::string() : ", " + members) + "}");
}

TEST(WechatBodies, ShapesTheApplicationWrites) {
  const struct {
    const char* xml;
    const char* members;  // what differs from an empty body
  } cases[] = {
      {"<msg><appmsg><title>Page</title><type>5</type><url>https://e.org/a?b=1&amp;c=2</url>"
       "</appmsg></msg>",
       R"("app_type": 5, "title": "Page", "url": "https://e.org/a?b=1&c=2")"},
      {"<?xml version=\"1.0\"?>\n<msg><appmsg><des>Only a description</des><type>3</type>"
       "</appmsg></msg>",
       R"("app_type": 3, "title": "Only a description")"},
      {"<msg><appmsg><title>a.docx</title><type>6</type><appattach><fileext>docx</fileext>"
       "</appattach></appmsg></msg>",
       R"("app_type": 6, "title": "a.docx", "file_ext": "docx")"},
      {"<msg><appmsg><title>b</title><type>6</type><appattach><fileext>../x</fileext>"
       "</appattach></appmsg></msg>",
       R"("app_type": 6, "title": "b")"},
      {"<msg><location x=\"-33.8568\" y=\"151.2153\" label=\"Sydney\" poiname=\"\" /></msg>",
       R"("latitude": -33.8568, "longitude": 151.2153, "label": "Sydney")"},
      {"<msg><location x=\"91\" y=\"10\" label=\"Nowhere\" poiname=\"Cafe\" /></msg>",
       R"("label": "Cafe\nNowhere")"},
      {"<msg><location x=\"1\" y=\"nan\" label=\"L\" /></msg>", R"("label": "L")"},
      {"<msg username=\"wxid_c\" nickname=\"Cee\" />", R"("card": "wxid_c|Cee")"},
      {"<msg><emoji cdnurl=\"http://e/1\" /></msg>", R"("url": "http://e/1")"},
      {"<msg><voicemsg voicelength=\"1499\" /></msg>", R"("duration": 1)"},
      {"<msg><voicemsg voicelength=\"-5\" /></msg>", ""},
      {"<msg><videomsg playlength=\"99999999999999\" /></msg>", ""},
      {"<msg><videomsg playlength=\"30\" /></msg>", R"("duration": 30)"},
      {"<msg><img /></msg>", ""},
      {"<sysmsg type=\"revokemsg\"><revokemsg><replacemsg><![CDATA[You recalled a message]]>"
       "</replacemsg></revokemsg></sysmsg>",
       R"("notice": "You recalled a message", "revoked": true)"},
      {"<sysmsg type=\"pat\"><pat><template><![CDATA[\"${a}\" patted you]]></template></pat>"
       "</sysmsg>",
       R"("notice": "\"${a}\" patted you")"},
      {"<voipmsg type=\"VoIPBubbleMsg\"><VoIPBubbleMsg><msg><![CDATA[Canceled]]></msg>"
       "</VoIPBubbleMsg></voipmsg>",
       R"("notice": "Canceled")"},
  };
  for (const auto& one : cases) {
    SCOPED_TRACE(one.xml);
    WechatBody body;
    ASSERT_TRUE(ParseWechatBody(one.xml, &body));
    EXPECT_EQ(Expected(one.members), Render(body));
  }
}

std::string Repeated(const std::string& piece, size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Bodies no reader should trust: each gives nothing (the message keeps its
// raw text), or only what is literally there, without crash or blow-up.
TEST(WechatBodies, HostileXmlGivesNothing) {
  const std::string deep = Repeated("<msg>", 100000) + Repeated("</msg>", 100000);
  const std::string huge =
      "<msg><appmsg><title>" + std::string(100 * 1024 * 1024, 'a') + "</title></appmsg></msg>";
  const std::string just_over =
      "<msg><appmsg><title>" + std::string(kWechatBodyLimit, 'a') + "</title></appmsg></msg>";
  const std::string cases[] = {
      "",
      "plain text",
      "<msg><appmsg><title>x</title>",
      "<msg></sysmsg>",
      "<other><appmsg/></other>",
      "<sysmsg type=\"unknown\"/>",
      "<msg/>",
      std::string("<msg username=\"a\0b\"/>", 21).substr(0, 12),
      deep,
      huge,
      just_over,
  };
  for (const std::string& xml : cases) {
    SCOPED_TRACE(xml.substr(0, 40));
    WechatBody body;
    body.title = "untouched";
    EXPECT_FALSE(ParseWechatBody(xml, &body));
    EXPECT_TRUE(body.title == "untouched");
  }
}

// Entities are not expanded: a declared entity stays as written, so a
// billion-laughs body is as small parsed as it was stored.
TEST(WechatBodies, EntityDeclarationsAreNotExpanded) {
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE msg [<!ENTITY l0 \"ha\">";
  for (int level = 1; level < 10; ++level) {
    const std::string below = "&l" + std::to_string(level - 1) + ";";
    laughs += "<!ENTITY l" + std::to_string(level) + " \"" + Repeated(below, 10) + "\">";
  }
  laughs +=
      "<!ENTITY ext SYSTEM \"file:///etc/passwd\">]>"
      "<msg><appmsg><title>&l9;&ext;</title><type>5</type></appmsg></msg>";
  WechatBody body;
  ASSERT_TRUE(ParseWechatBody(laughs, &body));
  EXPECT_EQ("&l9;&ext;", body.title);
}

TEST(WechatContactBlobs, ProtobufFields) {
  const auto bytes = [](const std::string& literal) {
    std::string out;
    for (size_t at = 2; at + 1 < literal.size() - 1; at += 2) {
      out += static_cast<char>(std::stoi(literal.substr(at, 2), nullptr, 16));
    }
    return out;
  };
  const std::string blob = bytes(samples::IosWechatProtoLiteral({"Nick", "", "Remark"}));
  EXPECT_EQ("Nick", ProtoTextField(blob, 1));
  EXPECT_EQ("", ProtoTextField(blob, 2));
  EXPECT_EQ("Remark", ProtoTextField(blob, 3));
  // A varint and fixed fields before the text are stepped over.
  const std::string mixed = std::string("\x08\x96\x01\x11", 4) + std::string(8, 'z') +
                            std::string("\x1d", 1) + "wxyz" + std::string("\x1a\x02ok", 4);
  EXPECT_EQ("ok", ProtoTextField(mixed, 3));
  const std::string hostile[] = {
      std::string("\x1a\xff\xff\xff\xff\x0f", 6) + "short",  // length past the end
      std::string("\x1a", 1),                                // cut after the key
      std::string(12, '\xff'),                               // a varint without end
      std::string("\x1b\x01\x01", 3),                        // a group: not read
      std::string("\x19\x01", 2),                            // fixed64 cut short
  };
  for (const std::string& blob_text : hostile) EXPECT_EQ("", ProtoTextField(blob_text, 3));
}

TEST(WechatSettings, AccountFromArchivesGoodAndHostile) {
  test::TempDir dir;
  const struct {
    std::string bytes;
    const char* user_name;
    const char* nickname;
  } cases[] = {
      {samples::IosWechatSettingsArchive("wxid_me", "Me"), "wxid_me", "Me"},
      // A plain dictionary, as some versions keep it.
      {"<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>UsrName</key><string>wxid_p"
       "</string></dict></plist>",
       "wxid_p", ""},
      // The user name refers to the object itself, the nickname far out of range.
      {test::KeyedArchiveXml(
           "<dict><key>UsrName</key>{UID 1}<key>NickName</key>{UID 4000000000}</dict>"),
       "", ""},
      // Two objects referring to each other.
      {test::KeyedArchiveXml(
           "<dict><key>UsrName</key>{UID 2}</dict><dict><key>x</key>{UID 1}</dict>"),
       "", ""},
      {test::KeyedArchiveXml("<string>not an object</string>"), "", ""},
      {"<plist><dict><key>$objects</key>", "", ""},
      {"", "", ""},
  };
  int at = 0;
  for (const auto& one : cases) {
    SCOPED_TRACE(at);
    const std::string path = dir.File("settings" + std::to_string(at++) + ".archive");
    test::WriteFileBytes(path, one.bytes);
    const WechatAccount account = ReadWechatAccount(path);
    EXPECT_EQ(one.user_name, account.user_name);
    EXPECT_EQ(one.nickname, account.nickname);
  }
  EXPECT_EQ("", ReadWechatAccount(dir.File("absent.archive")).user_name);
}

}  // namespace
}  // namespace kx
