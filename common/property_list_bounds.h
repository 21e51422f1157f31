// What a property list may ask of its parser, checked before it is parsed:
// the parser recurses once per nesting level and copies an object once per
// reference to it, so a small hostile list could exhaust the stack (deep
// nesting) or memory (an object shared by reference at every level).
#ifndef KX_COMMON_PROPERTY_LIST_BOUNDS_H_
#define KX_COMMON_PROPERTY_LIST_BOUNDS_H_

#include <cstddef>
#include <string_view>

namespace kx {

struct PropertyListBounds {
  size_t max_bytes = size_t{64} << 20;  // of the list's text or file
  size_t max_depth = 256;               // nested arrays and dictionaries
  size_t max_nodes = 1000000;           // values once every reference is copied
};

// True when `bytes` (a binary or XML list) stays within `bounds`. A binary
// list whose trailer, offset table or references point outside the list,
// or whose references loop, is refused; so is a list with a NUL character in
// a dictionary key (libplist's walk over a dictionary asserts on one).
bool PropertyListWithinBounds(std::string_view bytes, const PropertyListBounds& bounds = {});

}  // namespace kx

#endif  // KX_COMMON_PROPERTY_LIST_BOUNDS_H_
