// Small text routines shared by the whole library.
#ifndef KX_COMMON_TEXT_H_
#define KX_COMMON_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// Exact conversions; invalid sequences become U+FFFD. Empty in, empty out.
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// Cuts at every occurrence of `separator`. Pieces between separators are kept
// even when empty; the piece after the last separator only when non-empty.
// An empty text gives no piece; an empty separator gives the text alone.
std::vector<std::string> SplitByText(const std::string& text, const std::string& separator);

// Splits at every `delimiter` and drops empty pieces.
std::vector<std::string> SplitString(const std::string& text, char delimiter);

// Replaces every `from` with `to`, left to right, continuing after each `to`.
// Unchanged when text or `from` is empty or `from` equals `to`.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to);

// Removes every "<...>" tag; a "<" with no ">" after it stays.
std::string StripHtmlTags(const std::string& text);

// Standard Base64 with "=" padding and no line breaks.
std::string Base64Encode(const void* bytes, size_t length);
// The same text appended to `out`, which grows once.
void AppendBase64(const void* bytes, size_t length, std::string* out);

// Maps only A-Z to a-z; every other byte stays.
std::string ToLowerAscii(const std::string& text);

// `text` with "\", "%" and "_" escaped by "\", to stand for itself in
// LIKE ... ESCAPE '\'.
std::string EscapeLikePattern(const std::string& text);

// 64-bit FNV-1a of the text's bytes, and its decimal form (used in file names).
uint64_t Fnv1a64(const std::string& text);
std::string Fnv1a64Decimal(const std::string& text);

// A file name made from untrusted text: path separators, "..", control
// characters and characters Windows forbids are replaced, the length is
// bounded, and an empty result becomes `fallback`. Never a path.
std::string SafeFileName(const std::string& text, const std::string& fallback);

}  // namespace kx

#endif  // KX_COMMON_TEXT_H_
