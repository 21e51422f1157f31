#include "ioschat/wechat_message_body.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>

namespace kx {

namespace {

// pugixml's parser walks nesting with a loop of its own, so a deep body
// costs memory in proportion to its length (bounded above), not stack. No
// DOCTYPE is kept and no entity but the five of XML is expanded.
constexpr unsigned kParseOptions = pugi::parse_default & ~pugi::parse_doctype;

constexpr size_t kMaxExtension = 16;
// A call or recording longer than a week is no length the application wrote.
constexpr int64_t kMaxDuration = 7 * 24 * 3600;

std::string Text(const pugi::xml_node& node) { return node.child_value(); }

bool Coordinate(const pugi::xml_attribute& attribute, double limit, double* value) {
  if (attribute.empty()) return false;
  char* end = nullptr;
  const char* text = attribute.value();
  const double parsed = std::strtod(text, &end);
  if (end == text || !std::isfinite(parsed) || std::fabs(parsed) > limit) return false;
  *value = parsed;
  return true;
}

bool Duration(const pugi::xml_attribute& attribute, int64_t unit, WechatBody* body) {
  if (attribute.empty()) return false;
  const long long value = attribute.as_llong(-1);
  if (value < 0 || value / unit > kMaxDuration) return false;
  body->has_duration = true;
  body->duration = (value + unit / 2) / unit;
  return true;
}

std::string Extension(const std::string& text) {
  if (text.empty() || text.size() > kMaxExtension) return std::string();
  for (const char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return std::string();
  }
  return text;
}

bool ReadAppMessage(const pugi::xml_node& app, WechatBody* body) {
  body->app_type = pugi::xml_node(app.child("type")).text().as_int(0);
  body->title = Text(app.child("title"));
  body->url = Text(app.child("url"));
  if (body->title.empty()) body->title = Text(app.child("des"));
  body->file_ext = Extension(Text(app.child("appattach").child("fileext")));
  return true;
}

bool ReadLocation(const pugi::xml_node& location, WechatBody* body) {
  double latitude = 0.0;
  double longitude = 0.0;
  if (Coordinate(location.attribute("x"), 90.0, &latitude) &&
      Coordinate(location.attribute("y"), 180.0, &longitude)) {
    body->has_location = true;
    body->latitude = latitude;
    body->longitude = longitude;
  }
  const std::string poi = location.attribute("poiname").value();
  const std::string label = location.attribute("label").value();
  body->label = poi.empty() || poi == label ? label : label.empty() ? poi : poi + "\n" + label;
  return true;
}

bool ReadMsg(const pugi::xml_node& msg, WechatBody* body) {
  if (const pugi::xml_node app = msg.child("appmsg")) return ReadAppMessage(app, body);
  if (const pugi::xml_node location = msg.child("location")) return ReadLocation(location, body);
  if (const pugi::xml_node emoji = msg.child("emoji")) {
    body->url = emoji.attribute("cdnurl").value();
    return true;
  }
  if (const pugi::xml_node voice = msg.child("voicemsg")) {
    Duration(voice.attribute("voicelength"), 1000, body);
    return true;
  }
  if (const pugi::xml_node video = msg.child("videomsg")) {
    Duration(video.attribute("playlength"), 1, body);
    return true;
  }
  if (msg.child("img")) return true;
  const pugi::xml_attribute user = msg.attribute("username");
  if (user.empty()) return false;
  body->card_id = user.value();
  body->card_name = msg.attribute("nickname").value();
  return true;
}

bool ReadSystemMessage(const pugi::xml_node& sysmsg, WechatBody* body) {
  if (const pugi::xml_node revoke = sysmsg.child("revokemsg")) {
    body->revoked = true;
    body->notice = Text(revoke.child("replacemsg"));
    return true;
  }
  const pugi::xml_node pat = sysmsg.child("pat");
  if (pat) {
    body->notice = Text(pat.child("template"));
    return true;
  }
  body->notice = Text(sysmsg.child("sysmsgtemplate").child("content_template").child("template"));
  return !body->notice.empty();
}

bool ReadCall(const pugi::xml_node& voip, WechatBody* body) {
  body->notice = Text(voip.child("VoIPBubbleMsg").child("msg"));
  return true;
}

}  // namespace

bool ParseWechatBody(std::string_view xml, WechatBody* body) {
  if (xml.size() > kWechatBodyLimit) return false;
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(xml.data(), xml.size(), kParseOptions, pugi::encoding_utf8);
  if (!parsed) return false;
  WechatBody read;
  bool known = false;
  if (const pugi::xml_node msg = document.child("msg")) {
    known = ReadMsg(msg, &read);
  } else if (const pugi::xml_node sysmsg = document.child("sysmsg")) {
    known = ReadSystemMessage(sysmsg, &read);
  } else if (const pugi::xml_node voip = document.child("voipmsg")) {
    known = ReadCall(voip, &read);
  }
  if (known) *body = std::move(read);
  return known;
}

}  // namespace kx
