// The XML that WeChat keeps as the text of its richer messages: shared
// links and files ("appmsg"), locations, contact cards, stickers, voice and
// video lengths, calls and system notices. The text comes from the store,
// so it is distrusted: too long, not well formed or of no known shape, it
// gives nothing and the message keeps its raw text.
#ifndef KX_IOSCHAT_WECHAT_MESSAGE_BODY_H_
#define KX_IOSCHAT_WECHAT_MESSAGE_BODY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// Longer bodies are not parsed: no message WeChat writes comes near it, and
// the parser's memory grows with the text.
constexpr size_t kWechatBodyLimit = 1024 * 1024;

struct WechatBody {
  int app_type = 0;  // appmsg/type of a shared item (5 link, 6 file, ...)
  std::string title;
  std::string url;
  std::string file_ext;  // of a shared file, only letters and digits
  bool has_location = false;
  double latitude = 0.0;
  double longitude = 0.0;
  std::string label;      // a location's place name and address
  std::string card_id;    // a shared contact's user name
  std::string card_name;  // its nickname
  bool has_duration = false;
  int64_t duration = 0;  // seconds
  std::string notice;    // the text a system notice shows
  bool revoked = false;  // the notice says a message was recalled
};

// Reads `xml` into *body. False (body untouched beyond defaults) when it is
// longer than kWechatBodyLimit, not well formed, or none of the shapes above.
bool ParseWechatBody(std::string_view xml, WechatBody* body);

}  // namespace kx

#endif  // KX_IOSCHAT_WECHAT_MESSAGE_BODY_H_
