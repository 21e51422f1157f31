// The typedstream decoder over streams built byte for byte as the phone
// writes a message's attributedBody, and over hostile ones.
#include "common/typed_stream.h"

#include <gtest/gtest.h>

#include <string>

namespace kx {
namespace {

// A counted length: one byte below 0x80, else 0x81 and 16 bits or 0x82 and
// 32 bits, little-endian.
std::string Length(size_t length) {
  if (length < 0x80) return std::string(1, static_cast<char>(length));
  std::string bytes(1, length <= 0x7FFF ? '\x81' : '\x82');
  for (size_t i = 0; i < (length <= 0x7FFF ? 2u : 4u); ++i) {
    bytes.push_back(static_cast<char>(length >> (8 * i)));
  }
  return bytes;
}

std::string NewString(const std::string& text) { return "\x84" + Length(text.size()) + text; }

constexpr char kHeader[] = "\x04\x0bstreamtyped\x81\xe8\x03";

// NSAttributedString holding `text` in a string of `string_class`, with an
// attribute dictionary after it (as mentions and links have).
std::string AttributedBody(const std::string& text, const std::string& string_class = "NSString") {
  std::string stream(kHeader, sizeof(kHeader) - 1);
  stream += NewString("@");
  stream += "\x84\x84" + NewString("NSAttributedString") + '\0';
  stream += "\x84" + NewString("NSObject") + '\0' + "\x85";
  stream += "\x92";  // the type "@" again
  stream += "\x84\x84" + NewString(string_class) + '\x01';
  if (string_class == "NSMutableString") stream += "\x84" + NewString("NSString") + '\x01';
  stream += "\x94";  // NSObject
  stream += NewString("+") + Length(text.size()) + text + "\x86";
  stream += "\x84" + NewString("iI") + "\x01" + Length(text.size());
  stream += "\x92\x84\x84\x84" + NewString("NSDictionary") + '\0' + "\x94\x84\x01\x69\x01\x86";
  return stream;
}

TEST(TypedStreamTest, TextOfStreamsThePhoneWrites) {
  const std::string long_text(300, 'x');
  const std::string huge_text(40000, 'y');
  const struct {
    const char* name;
    std::string stream;
    std::string text;
  } cases[] = {
      {"plain", AttributedBody("See you at 8"), "See you at 8"},
      {"emoji and attachment mark", AttributedBody("\xef\xbf\xbc Look \xf0\x9f\x98\x80"),
       "\xef\xbf\xbc Look \xf0\x9f\x98\x80"},
      {"mention", AttributedBody("@Ana are you coming?"), "@Ana are you coming?"},
      {"link", AttributedBody("https://example.com/a?b=c"), "https://example.com/a?b=c"},
      {"mutable string", AttributedBody("edited", "NSMutableString"), "edited"},
      {"16-bit length", AttributedBody(long_text), long_text},
      {"32-bit length", AttributedBody(huge_text), huge_text},
      {"empty text", AttributedBody(""), ""},
  };
  for (const auto& c : cases) {
    std::string text = "stale";
    EXPECT_TRUE(TypedStreamString(c.stream, &text)) << c.name;
    EXPECT_EQ(c.text, text) << c.name;
  }
}

TEST(TypedStreamTest, HostileStreamsGiveNothing) {
  const std::string sound = AttributedBody("hello there");
  std::string larger = sound;
  larger[larger.find("hello") - 1] = '\x7f';  // declares 127 bytes
  std::string deep(kHeader, sizeof(kHeader) - 1);
  for (int i = 0; i < 100000; ++i) deep += "\x84\x84" + NewString("C") + '\0';
  std::string looping(kHeader, sizeof(kHeader) - 1);
  looping += NewString("NSString");
  for (int i = 0; i < 1000; ++i) looping += "\x92\x92\x85";
  std::string no_string(kHeader, sizeof(kHeader) - 1);
  no_string += "\x84\x84" + NewString("NSNumber") + '\0' + NewString("+") + "\x03" + "abc";
  const struct {
    const char* name;
    std::string stream;
  } cases[] = {
      {"zero bytes", ""},
      {"no typedstream", "bplist00\x01\x02"},
      {"length beyond the blob", larger},
      {"class chain 100,000 deep", deep},
      {"references looping to the string class", looping},
      {"no NSString", no_string},
      {"negative length", std::string(kHeader, sizeof(kHeader) - 1) + NewString("NSString") +
                              NewString("+") + "\x82\xff\xff\xff\xff"},
  };
  for (const auto& c : cases) {
    std::string text = "stale";
    EXPECT_FALSE(TypedStreamString(c.stream, &text)) << c.name;
    EXPECT_EQ("", text) << c.name;
  }
  // Cut anywhere before the text ends: nothing, and never a read past the
  // cut (the sanitizers watch the copy made here).
  const size_t text_end = sound.find("hello there") + 11;
  for (size_t cut = 0; cut < text_end; ++cut) {
    const std::string prefix = sound.substr(0, cut);
    std::string text;
    EXPECT_FALSE(TypedStreamString(prefix, &text)) << cut;
  }
}

}  // namespace
}  // namespace kx
