#include "common/text.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace kx {
namespace {

using Pieces = std::vector<std::string>;

// --- UTF-8 / UTF-16 ---------------------------------------------------------

TEST(Utf8ToUtf16Test, ConvertsEveryEncodedLength) {
  // "A", e-acute (2 bytes), the euro sign (3 bytes), U+1F600 (4 bytes).
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(u"A\u00E9\u20AC\U0001F600", Utf8ToUtf16(utf8));
  EXPECT_EQ(utf8, Utf16ToUtf8(Utf8ToUtf16(utf8)));
  // U+10FFFF becomes the last surrogate pair.
  EXPECT_EQ((std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)}), Utf8ToUtf16("\xF4\x8F\xBF\xBF"));
  EXPECT_EQ(std::u16string(u"a\0b", 3), Utf8ToUtf16(std::string("a\0b", 3)));
  EXPECT_TRUE(Utf8ToUtf16("").empty());
  EXPECT_TRUE(Utf16ToUtf8(u"").empty());
}

// Error paths: each ill-formed sequence becomes one U+FFFD and the next
// well-formed character is decoded normally.
struct InvalidUtf8Case {
  const char* label;
  std::string input;
  std::u16string expected;
};

TEST(Utf8ToUtf16Test, InvalidSequencesBecomeReplacementCharacters) {
  const InvalidUtf8Case cases[] = {
      {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
      {"truncated two-byte at end", "a\xC3", u"a\uFFFD"},
      {"truncated three-byte before ASCII", "\xE2\x82z", u"\uFFFDz"},
      {"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"invalid lead byte",
       "\xFF"
       "a",
       u"\uFFFDa"},
      {"truncated four-byte",
       "\xF0\x9F\x98"
       "b",
       u"\uFFFDb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Utf8ToUtf16(c.input)) << c.label;
  }
}

TEST(Utf16ToUtf8Test, LoneSurrogatesBecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ("a" + replacement + "b", Utf16ToUtf8(std::u16string{u'a', char16_t(0xD83D), u'b'}));
  EXPECT_EQ(replacement, Utf16ToUtf8(std::u16string{char16_t(0xD83D)}));
  EXPECT_EQ(replacement + "a", Utf16ToUtf8(std::u16string{char16_t(0xDE00), u'a'}));
}

// --- Splitting and replacing -------------------------------------------------

TEST(SplitByTextTest, Cases) {
  const struct {
    std::string text;
    std::string separator;
    Pieces expected;
  } cases[] = {
      {"a;;b;", ";", {"a", "", "b"}},
      {"abc", ";", {"abc"}},
      {"", ";", {}},
      {";a", ";", {"", "a"}},
      {"a<>b<><>c", "<>", {"a", "b", "", "c"}},
      {"aaa", "aa", {"", "a"}},
      {"abc", "", {"abc"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, SplitByText(c.text, c.separator)) << c.text << " at " << c.separator;
  }
}

TEST(SplitStringTest, DropsEmptyPieces) {
  EXPECT_EQ((Pieces{"id INTEGER", " name TEXT"}), SplitString("id INTEGER, name TEXT", ','));
  EXPECT_EQ((Pieces{"a", "b"}), SplitString(",,a,,b,", ','));
  EXPECT_EQ(Pieces{}, SplitString("", ','));
  EXPECT_EQ(Pieces{}, SplitString(",,,", ','));
  EXPECT_EQ(Pieces{"abc"}, SplitString("abc", ','));
}

TEST(ReplaceAllTest, Cases) {
  const struct {
    std::string text, from, to, expected;
  } cases[] = {
      {"a`b`c", "`", "", "abc"},    {"``x``", "`", "", "x"},  // adjacent occurrences deleted
      {"aaa", "a", "aa", "aaaaaa"},                           // continues after each inserted text
      {"abab", "ab", "b", "bb"},    {"", "a", "b", ""},       {"abc", "", "x", "abc"},
      {"abc", "b", "b", "abc"},     {"abc", "z", "y", "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, ReplaceAll(c.text, c.from, c.to)) << c.text;
  }
}

// --- Markup, Base64, case, hashes --------------------------------------------

// Every text of up to six characters over a small alphabet gives the same
// result as the regular expression the stripper stands in for.
TEST(StripHtmlTagsTest, AgreesWithRegexOnShortTexts) {
  const std::regex tag("<[^>]*>", std::regex::ECMAScript);
  const std::string alphabet = "<>a\n";
  std::vector<std::string> texts = {""};
  for (size_t length = 1; length <= 6; ++length) {
    std::vector<std::string> longer;
    for (const std::string& text : texts) {
      if (text.size() + 1 != length) continue;
      for (const char c : alphabet) longer.push_back(text + c);
    }
    for (const std::string& text : longer) {
      ASSERT_EQ(std::regex_replace(text, tag, ""), StripHtmlTags(text)) << text;
    }
    texts.insert(texts.end(), longer.begin(), longer.end());
  }
}

TEST(StripHtmlTagsTest, LongInputIsHandled) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "<i>x</i>";
  EXPECT_EQ(std::string(200000, 'x'), StripHtmlTags(text));
  const std::string unclosed = "<" + std::string(1000000, 'a');
  EXPECT_EQ(unclosed, StripHtmlTags(unclosed));
}

TEST(Base64EncodeTest, Rfc4648VectorsAndBinaryBytes) {
  const struct {
    std::string bytes, expected;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\x00\xFF\xFE\xFB\xEF\xBE", 6),
       "AP/+++++"},  // the last two letters of the alphabet
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Base64Encode(c.bytes.data(), c.bytes.size())) << c.bytes;
  }
  EXPECT_EQ("", Base64Encode(nullptr, 0));
}

TEST(ToLowerAsciiTest, OnlyCapitalLettersChange) {
  EXPECT_EQ("photo.jpg", ToLowerAscii("Photo.JPG"));
  EXPECT_EQ("az@[`{09", ToLowerAscii("AZ@[`{09"));
  // Bytes of multi-byte sequences (capital A-grave here) stay as they are.
  EXPECT_EQ("\xC3\x80x", ToLowerAscii("\xC3\x80X"));
}

TEST(Fnv1a64Test, PublishedVectors) {
  EXPECT_EQ(14695981039346656037ULL, Fnv1a64(""));
  EXPECT_EQ(0xaf63dc4c8601ec8cULL, Fnv1a64("a"));
  EXPECT_EQ(0x85944171f73967e8ULL, Fnv1a64("foobar"));
  EXPECT_EQ("9625390261332436968", Fnv1a64Decimal("foobar"));
  EXPECT_EQ("14695981039346656037", Fnv1a64Decimal(""));
}

// --- SafeFileName ------------------------------------------------------------

TEST(SafeFileNameTest, HostileNames) {
  const struct {
    std::string text, expected;
  } cases[] = {
      {"photo.jpg", "photo.jpg"},
      {"\xE5\x9B\xBE\xE7\x89\x87.png", "\xE5\x9B\xBE\xE7\x89\x87.png"},
      {"..hidden", "..hidden"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"..\\..\\boot.ini", ".._.._boot.ini"},
      {"C:\\x", "C__x"},
      {"a*b?c\"d<e>f|g", "a_b_c_d_e_f_g"},
      {std::string("a\0b\n\x1f\x7f", 6), "a_b___"},
      {"name. . ", "name"},
      {"CON", "_CON"},
      {"nul.txt", "_nul.txt"},
      {"console", "console"},
      // Every name Windows takes for a device, in any case, with an extension
      // or spaces before it; near misses stay.
      {"Com1.db", "_Com1.db"},
      {"LPT9", "_LPT9"},
      {"com0.txt", "_com0.txt"},
      {"aux .json", "_aux .json"},
      {"CONIN$", "_CONIN$"},
      {"conout$.log", "_conout$.log"},
      {"COM\xC2\xB2.png", "_COM\xC2\xB2.png"},
      {"com10", "com10"},
      {"prn_x", "prn_x"},
      {"nul..", "_nul"},
      // Drive letters, streams and wildcards of Windows paths.
      {"C:", "C_"},
      {"file.txt:stream", "file.txt_stream"},
      {"\\\\?\\C:\\x", "____C__x"},
      {"\\\\server\\share", "__server_share"},
      {"Zo\xC3\xAB *.db", "Zo\xC3\xAB _.db"},
      // Bytes that are not UTF-8, byte for byte; a real U+FFFD stays.
      {"a\xFF"
       "b",
       "a_b"},
      {"\xC3(x", "_(x"},
      {"\xED\xA0\x80.db", "___.db"},
      {"cut\xE2\x82", "cut__"},
      {"\xEF\xBF\xBD.png", "\xEF\xBF\xBD.png"},
      {"..", "fallback"},
      {".", "fallback"},
      {"....", "fallback"},
      {"   ", "fallback"},
      {"", "fallback"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, SafeFileName(c.text, "fallback")) << c.text;
  }
  // A hostile fallback is sanitised too.
  EXPECT_EQ("_", SafeFileName("..", ".."));
  EXPECT_EQ("a_b", SafeFileName("", "a/b"));
}

TEST(SafeFileNameTest, LengthBoundKeepsUtf8Whole) {
  EXPECT_EQ(std::string(200, 'a'), SafeFileName(std::string(500, 'a'), "x"));
  // 199 ASCII bytes then a 3-byte character straddling the 200-byte bound.
  const std::string text = std::string(199, 'a') + "\xE2\x82\xAC" + "tail";
  EXPECT_EQ(std::string(199, 'a'), SafeFileName(text, "x"));
  // A 2-byte character that ends exactly at the bound is kept.
  const std::string exact = std::string(198, 'a') + "\xC3\xA9";
  EXPECT_EQ(exact, SafeFileName(exact + "zz", "x"));
}

}  // namespace
}  // namespace kx
