#include "samples/sample_pictures.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

namespace kx::samples {

namespace {

uint64_t Mix(uint64_t state) {
  state += 0x9E3779B97F4A7C15ull;
  state = (state ^ (state >> 30)) * 0xBF58476D1CE4E5B9ull;
  state = (state ^ (state >> 27)) * 0x94D049BB133111EBull;
  return state ^ (state >> 31);
}

void Append16(int value, std::string* out) {
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
  out->push_back(static_cast<char>(value & 0xFF));
}

// Entropy-coded bits, with a 0 byte stuffed after every 0xFF.
class BitWriter {
 public:
  void Put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      byte_ = static_cast<uint8_t>((byte_ << 1) | ((bits >> i) & 1));
      if (++filled_ == 8) Flush();
    }
  }
  std::string Finish() {
    while (filled_ != 0) Put(1, 1);  // padded with ones
    return out_;
  }

 private:
  void Flush() {
    out_.push_back(static_cast<char>(byte_));
    if (byte_ == 0xFF) out_.push_back('\0');
    byte_ = 0;
    filled_ = 0;
  }
  std::string out_;
  uint8_t byte_ = 0;
  int filled_ = 0;
};

// The tiles carry only their DC coefficient: one Huffman table of twelve
// four-bit codes for the DC size categories, one of a single one-bit code
// for end-of-block.
void PutDc(int difference, BitWriter* bits) {
  int magnitude = difference < 0 ? -difference : difference;
  int category = 0;
  while (magnitude > 0) {
    ++category;
    magnitude >>= 1;
  }
  bits->Put(static_cast<uint32_t>(category), 4);
  if (category > 0) {
    const int value = difference < 0 ? difference + (1 << category) - 1 : difference;
    bits->Put(static_cast<uint32_t>(value), category);
  }
  bits->Put(0, 1);  // end of block
}

int Clamp(double value) { return std::max(0, std::min(255, static_cast<int>(value + 0.5))); }

}  // namespace

std::string SampleJpeg(uint64_t seed, int width, int height, size_t size) {
  std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
  jpeg.append("\xFF\xDB\x00\x43\x00", 5);
  jpeg.append(64, '\x01');  // quantisation all ones
  jpeg.append("\xFF\xC0\x00\x11\x08", 5);
  Append16(height, &jpeg);
  Append16(width, &jpeg);
  jpeg.append("\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00", 10);
  jpeg.append("\xFF\xC4\x00\x1F\x00", 5);  // DC: twelve codes of four bits
  jpeg.append("\x00\x00\x00\x0C", 4);
  jpeg.append(12, '\x00');
  for (char symbol = 0; symbol < 12; ++symbol) jpeg += symbol;
  jpeg.append("\xFF\xC4\x00\x14\x10\x01", 6);  // AC: end-of-block alone, one bit
  jpeg.append(15, '\x00');
  jpeg += '\x00';
  if (size > jpeg.size() + 200) {
    const size_t padding = std::min<size_t>(size - jpeg.size() - 200, 60000);
    jpeg.append("\xFF\xFE", 2);
    Append16(static_cast<int>(padding + 2), &jpeg);
    uint64_t state = seed;
    for (size_t i = 0; i < padding; ++i) {
      state = Mix(state);
      jpeg += static_cast<char>('a' + state % 26);
    }
  }
  jpeg.append("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00", 14);
  BitWriter bits;
  std::array<int, 3> previous{0, 0, 0};
  const uint64_t palette = Mix(seed);
  for (int row = 0; row < height / 8; ++row) {
    for (int column = 0; column < width / 8; ++column) {
      const uint64_t tile = Mix(palette + static_cast<uint64_t>(row * 131 + column));
      // A diagonal sweep between two colours of the seed, with some grain.
      const double t = (row + column) / static_cast<double>(height / 8 + width / 8);
      const double r = (palette & 0xFF) * (1 - t) + ((palette >> 24) & 0xFF) * t + tile % 24;
      const double g = ((palette >> 8) & 0xFF) * (1 - t) + ((palette >> 32) & 0xFF) * t;
      const double b = ((palette >> 16) & 0xFF) * (1 - t) + ((palette >> 40) & 0xFF) * t;
      const std::array<int, 3> level = {Clamp(0.299 * r + 0.587 * g + 0.114 * b),
                                        Clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
                                        Clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)};
      for (int component = 0; component < 3; ++component) {
        const int dc = 8 * (level[component] - 128);
        PutDc(dc - previous[component], &bits);
        previous[component] = dc;
      }
    }
  }
  jpeg += bits.Finish();
  jpeg.append("\xFF\xD9", 2);
  return jpeg;
}

namespace {

void AppendChunk(const char* type, const std::string& data, std::string* png) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) png->push_back(static_cast<char>(length >> shift));
  const std::string body = std::string(type, 4) + data;
  png->append(body);
  const uLong crc =
      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  for (int shift = 24; shift >= 0; shift -= 8) png->push_back(static_cast<char>(crc >> shift));
}

}  // namespace

std::string SamplePng(uint64_t seed, int width, int height) {
  std::string header;
  for (const int value : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      header.push_back(static_cast<char>(value >> shift));
  }
  header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  const uint64_t palette = Mix(seed);
  std::string pixels;
  for (int y = 0; y < height; ++y) {
    pixels.push_back('\0');  // no filter
    for (int x = 0; x < width; ++x) {
      pixels.push_back(static_cast<char>(((palette & 0xFF) + x * 3) & 0xFF));
      pixels.push_back(static_cast<char>((((palette >> 8) & 0xFF) + y * 4) & 0xFF));
      pixels.push_back(static_cast<char>((((palette >> 16) & 0xFF) + (x + y) * 2) & 0xFF));
    }
  }
  std::string deflated(compressBound(static_cast<uLong>(pixels.size())), '\0');
  uLongf deflated_size = static_cast<uLongf>(deflated.size());
  compress(reinterpret_cast<Bytef*>(&deflated[0]), &deflated_size,
           reinterpret_cast<const Bytef*>(pixels.data()), static_cast<uLong>(pixels.size()));
  deflated.resize(deflated_size);
  std::string png("\x89PNG\r\n\x1A\n", 8);
  AppendChunk("IHDR", header, &png);
  AppendChunk("IDAT", deflated, &png);
  AppendChunk("IEND", "", &png);
  return png;
}

}  // namespace kx::samples
