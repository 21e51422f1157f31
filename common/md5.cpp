#include "common/md5.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace kx {

namespace {

constexpr size_t kBlockBytes = 64;

// Per-step shift amounts, four per round.
constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// floor(abs(sin(i + 1)) * 2^32), the table T of RFC 1321.
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t value, uint32_t count) {
  return (value << count) | (value >> (32 - count));
}

// Folds one 64-byte block into the running state.
void ProcessBlock(const unsigned char* block, std::array<uint32_t, 4>* state) {
  uint32_t words[16];
  for (size_t i = 0; i < 16; ++i) {
    words[i] = uint32_t{block[i * 4]} | (uint32_t{block[i * 4 + 1]} << 8) |
               (uint32_t{block[i * 4 + 2]} << 16) | (uint32_t{block[i * 4 + 3]} << 24);
  }
  uint32_t a = (*state)[0];
  uint32_t b = (*state)[1];
  uint32_t c = (*state)[2];
  uint32_t d = (*state)[3];
  for (uint32_t step = 0; step < 64; ++step) {
    uint32_t mixed = 0;
    uint32_t word_index = 0;
    if (step < 16) {
      mixed = (b & c) | (~b & d);
      word_index = step;
    } else if (step < 32) {
      mixed = (d & b) | (~d & c);
      word_index = (5 * step + 1) % 16;
    } else if (step < 48) {
      mixed = b ^ c ^ d;
      word_index = (3 * step + 5) % 16;
    } else {
      mixed = c ^ (b | ~d);
      word_index = (7 * step) % 16;
    }
    const uint32_t rotated =
        RotateLeft(a + mixed + kSines[step] + words[word_index], kShifts[step]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  (*state)[0] += a;
  (*state)[1] += b;
  (*state)[2] += c;
  (*state)[3] += d;
}

}  // namespace

std::string Md5Hex(const std::string& text) {
  std::array<uint32_t, 4> state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t length = text.size();

  size_t offset = 0;
  for (; offset + kBlockBytes <= length; offset += kBlockBytes)
    ProcessBlock(bytes + offset, &state);

  // The tail, the 0x80 marker, zero padding and the bit length (little
  // endian) fill one or two final blocks.
  unsigned char tail[2 * kBlockBytes] = {};
  const size_t tail_length = length - offset;
  for (size_t i = 0; i < tail_length; ++i) tail[i] = bytes[offset + i];
  tail[tail_length] = 0x80;
  const size_t tail_blocks = (tail_length + 1 + 8 <= kBlockBytes) ? 1 : 2;
  const uint64_t bit_length = static_cast<uint64_t>(length) * 8;
  unsigned char* length_field = tail + tail_blocks * kBlockBytes - 8;
  for (size_t i = 0; i < 8; ++i)
    length_field[i] = static_cast<unsigned char>(bit_length >> (8 * i));
  for (size_t block = 0; block < tail_blocks; ++block) {
    ProcessBlock(tail + block * kBlockBytes, &state);
  }

  std::string hex;
  hex.reserve(32);
  for (const uint32_t word : state) {
    for (size_t i = 0; i < 4; ++i) {
      char digits[3];
      std::snprintf(digits, sizeof(digits), "%02x",
                    static_cast<unsigned>((word >> (8 * i)) & 0xFF));
      hex.append(digits, 2);
    }
  }
  return hex;
}

}  // namespace kx
