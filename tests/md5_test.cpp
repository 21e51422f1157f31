#include "common/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace kx {
namespace {

struct Md5Case {
  std::string input;
  const char* digest;
};

TEST(Md5HexTest, Rfc1321TestSuiteAndByteValues) {
  const Md5Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // Beyond the suite: high and NUL bytes, and a well-known sentence.
      {std::string("\xff\x00\x80\xfe", 4), "9fbe01ce18f44006eab926b7c4cda950"},
      {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.digest, Md5Hex(c.input)) << '"' << c.input << '"';
  }
}

// Lengths around the padding boundaries: 55 bytes still fit the length field
// into the last block, 56 need a second one, 64 fill a block exactly. The
// digests were produced with md5sum.
TEST(Md5HexTest, PaddingBoundaries) {
  const struct {
    size_t length;
    const char* digest;
  } cases[] = {
      {55, "04364420e25c512fd958a70738aa8f72"},   {56, "668a72d5ba17f08e62dabcafad6db14b"},
      {63, "7dc2ca208106a2f703567bdff99d8981"},   {64, "c1bb4f81d892b2d57947682aeb252456"},
      {65, "1bc932052302d074bdec39795fe00cf6"},   {119, "ab347a5f68c8a443cfcddc633f12c24f"},
      {120, "fb98667f98096de92620b64f46e1c5b5"},  {128, "d69cb61a6ee87200676eb0d4b90edbcb"},
      {1000, "398533d48111e9f664b1f64cb10c4b63"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.digest, Md5Hex(std::string(c.length, 'x'))) << c.length << " bytes";
  }
}

}  // namespace
}  // namespace kx
