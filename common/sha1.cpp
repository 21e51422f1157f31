#include "common/sha1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define KX_SHA1_X86_EXTENSIONS 1
#endif

namespace kx {

namespace {

constexpr size_t kBlockBytes = 64;

uint32_t RotateLeft(uint32_t value, uint32_t count) {
  return (value << count) | (value >> (32 - count));
}

#ifdef KX_SHA1_X86_EXTENSIONS

// Whether the processor has the SHA extensions (and the SSE4.1 and SSSE3
// they are used with): a backup's file ids are one digest each, millions of
// them for a photo library, and the extensions take a block in a fraction
// of the portable steps' time.
bool HasShaExtensions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!ssse3 || !sse41 || __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ebx & (1u << 29)) != 0;
}

// Four steps of the round whose mixing function is `round` (0 to 3).
__attribute__((target("sha,sse4.1"))) __m128i FourSteps(__m128i abcd, __m128i e, int round) {
  switch (round) {
    case 0:
      return _mm_sha1rnds4_epu32(abcd, e, 0);
    case 1:
      return _mm_sha1rnds4_epu32(abcd, e, 1);
    case 2:
      return _mm_sha1rnds4_epu32(abcd, e, 2);
    default:
      return _mm_sha1rnds4_epu32(abcd, e, 3);
  }
}

// One block with the SHA extensions: twenty groups of four steps, the
// schedule kept as four vectors of four words.
__attribute__((target("sha,sse4.1"))) void ProcessBlockWithExtensions(uint32_t* state,
                                                                      const uint8_t* block) {
  // Big-endian words, the first in the highest lane.
  const __m128i byte_order = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  const __m128i start_abcd =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  const __m128i start_e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  __m128i words[4];
  for (int i = 0; i < 4; ++i) {
    words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                                byte_order);
  }
  __m128i abcd = start_abcd;
  __m128i before = abcd;  // abcd before the last group: its a is the next e
  abcd = FourSteps(abcd, _mm_add_epi32(start_e, words[0]), 0);
  for (int group = 1; group < 20; ++group) {
    __m128i& next = words[group % 4];
    if (group >= 4) {
      // next holds the words four groups back.
      next = _mm_sha1msg2_epu32(
          _mm_xor_si128(_mm_sha1msg1_epu32(next, words[(group + 1) % 4]), words[(group + 2) % 4]),
          words[(group + 3) % 4]);
    }
    const __m128i e = _mm_sha1nexte_epu32(before, next);
    before = abcd;
    abcd = FourSteps(abcd, e, group / 5);
  }
  const __m128i e = _mm_sha1nexte_epu32(before, start_e);
  abcd = _mm_shuffle_epi32(_mm_add_epi32(abcd, start_abcd), 0x1B);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), abcd);
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

const bool kUseShaExtensions = HasShaExtensions();

#endif  // KX_SHA1_X86_EXTENSIONS

bool UsesExtensions(Sha1Steps steps) {
#ifdef KX_SHA1_X86_EXTENSIONS
  return steps == Sha1Steps::kFastest && kUseShaExtensions;
#else
  (void)steps;
  return false;
#endif
}

}  // namespace

Sha1::Sha1(Sha1Steps steps)
    : state_{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0},
      extensions_(UsesExtensions(steps)) {}

void Sha1::ProcessBlock(const uint8_t* block) {
  if (extensions_) {
#ifdef KX_SHA1_X86_EXTENSIONS
    ProcessBlockWithExtensions(state_.data(), block);
    return;
#endif
  }
  uint32_t schedule[80];
  for (size_t i = 0; i < 16; ++i) {
    schedule[i] = (uint32_t{block[i * 4]} << 24) | (uint32_t{block[i * 4 + 1]} << 16) |
                  (uint32_t{block[i * 4 + 2]} << 8) | uint32_t{block[i * 4 + 3]};
  }
  for (size_t i = 16; i < 80; ++i) {
    schedule[i] =
        RotateLeft(schedule[i - 3] ^ schedule[i - 8] ^ schedule[i - 14] ^ schedule[i - 16], 1);
  }
  uint32_t a = state_[0];
  uint32_t b = state_[1];
  uint32_t c = state_[2];
  uint32_t d = state_[3];
  uint32_t e = state_[4];
  // Four rounds of twenty steps, each with its own mixing function: no test
  // of the step number inside the loops.
  const auto step = [&](uint32_t mixed, uint32_t constant, uint32_t word) {
    const uint32_t next = RotateLeft(a, 5) + mixed + e + constant + word;
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = next;
  };
  for (size_t i = 0; i < 20; ++i) step((b & c) | (~b & d), 0x5A827999, schedule[i]);
  for (size_t i = 20; i < 40; ++i) step(b ^ c ^ d, 0x6ED9EBA1, schedule[i]);
  for (size_t i = 40; i < 60; ++i) step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, schedule[i]);
  for (size_t i = 60; i < 80; ++i) step(b ^ c ^ d, 0xCA62C1D6, schedule[i]);
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void Sha1::Update(std::string_view bytes) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t size = bytes.size();
  total_bytes_ += size;
  if (pending_size_ > 0) {
    const size_t taken = std::min(size, kBlockBytes - pending_size_);
    std::memcpy(pending_ + pending_size_, data, taken);
    pending_size_ += taken;
    data += taken;
    size -= taken;
    if (pending_size_ < kBlockBytes) return;
    ProcessBlock(pending_);
    pending_size_ = 0;
  }
  for (; size >= kBlockBytes; data += kBlockBytes, size -= kBlockBytes) ProcessBlock(data);
  if (size > 0) std::memcpy(pending_, data, size);
  pending_size_ = size;
}

std::array<uint8_t, 20> Sha1::Finish() {
  // The 0x80 marker, zero padding and the bit length (big endian) fill one
  // or two final blocks.
  const uint64_t bit_length = total_bytes_ * 8;
  uint8_t tail[2 * kBlockBytes] = {};
  std::memcpy(tail, pending_, pending_size_);
  tail[pending_size_] = 0x80;
  const size_t tail_blocks = pending_size_ + 1 + 8 <= kBlockBytes ? 1 : 2;
  uint8_t* length_field = tail + tail_blocks * kBlockBytes - 8;
  for (size_t i = 0; i < 8; ++i) length_field[i] = static_cast<uint8_t>(bit_length >> (56 - 8 * i));
  for (size_t block = 0; block < tail_blocks; ++block) ProcessBlock(tail + block * kBlockBytes);

  std::array<uint8_t, 20> digest;
  for (size_t i = 0; i < 20; ++i) {
    digest[i] = static_cast<uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  }
  return digest;
}

std::string Sha1Hex(std::string_view bytes, Sha1Steps steps) {
  Sha1 sha1(steps);
  sha1.Update(bytes);
  std::string hex;
  hex.reserve(40);
  for (const uint8_t byte : sha1.Finish()) {
    char digits[3];
    std::snprintf(digits, sizeof(digits), "%.2x", static_cast<unsigned>(byte));
    hex.append(digits, 2);
  }
  return hex;
}

}  // namespace kx
