// A WeChat message text whose bytes are anything: the group sender head is
// split off, the rest read as an XML body, and the bytes read as a contact
// blob. A body is never read past the size cap, and what it gives is only
// text taken from the body itself.
// libFuzzer options: -max_len=8192 -rss_limit_mb=512
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ioschat/wechat_contacts.h"
#include "ioschat/wechat_message_body.h"
#include "ioschat/wechat_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string_view sender;
  std::string_view rest = bytes;
  if (kx::SplitGroupSender(bytes, &sender, &rest) && sender.size() + rest.size() + 2 != size) {
    std::abort();
  }
  kx::WechatBody body;
  if (kx::ParseWechatBody(rest, &body)) {
    if (rest.size() > kx::kWechatBodyLimit) std::abort();
    if (body.has_location && (body.latitude < -90 || body.latitude > 90)) std::abort();
    if (body.has_duration && body.duration < 0) std::abort();
    for (const char c : body.file_ext) {
      if (c == '.' || c == '/' || c == '\\') std::abort();
    }
    kx::ClassifyWechatMessage(49, body.app_type);
  }
  for (int field = 1; field <= 3; ++field) {
    if (kx::ProtoTextField(bytes, field).size() > size) std::abort();
  }
  return 0;
}
