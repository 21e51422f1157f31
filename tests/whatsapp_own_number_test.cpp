#include "android/whatsapp_own_number.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "test_support.h"

namespace kx {
namespace {

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
