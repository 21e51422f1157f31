// Streams of NSArchiver ("typedstream"), as iOS keeps a message's
// attributed text: the bytes 04 0B "streamtyped", the archiver's version,
// then objects whose classes, type encodings and strings are defined once
// and referred to afterwards.
#ifndef KX_COMMON_TYPED_STREAM_H_
#define KX_COMMON_TYPED_STREAM_H_

#include <string>
#include <string_view>

namespace kx {

// The characters of the first NSString (or NSMutableString) the stream
// archives, as the UTF-8 bytes it stores them in. False, with `text`
// empty, for a stream that is cut short, declares more bytes than it has,
// is no typedstream, or archives no string; nothing outside `stream` is
// read.
bool TypedStreamString(std::string_view stream, std::string* text);

}  // namespace kx

#endif  // KX_COMMON_TYPED_STREAM_H_
