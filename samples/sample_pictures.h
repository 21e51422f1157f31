// Small real pictures for the sample data: a browser shows them, so the
// demo's report shows thumbnails where a phone's store holds them.
#ifndef KX_SAMPLES_SAMPLE_PICTURES_H_
#define KX_SAMPLES_SAMPLE_PICTURES_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace kx::samples {

// A baseline JPEG of `width` x `height` pixels (multiples of 8): a mosaic of
// 8x8 tiles in colours drawn from `seed`. Padded with a comment segment to
// `size` bytes when that is larger, as real thumbnails of that size are.
std::string SampleJpeg(uint64_t seed, int width = 64, int height = 48, size_t size = 0);

// An RGB PNG of `width` x `height` pixels: a gradient in colours drawn from
// `seed`.
std::string SamplePng(uint64_t seed, int width = 64, int height = 48);

}  // namespace kx::samples

#endif  // KX_SAMPLES_SAMPLE_PICTURES_H_
