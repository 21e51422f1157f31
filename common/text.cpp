#include "common/text.h"

#include <cstring>
#include <string_view>

namespace kx {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr size_t kMaxFileNameBytes = 200;

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one character starting at `text[*pos]` and advances `*pos`. An
// ill-formed sequence yields U+FFFD and consumes its maximal valid prefix
// (at least one byte), the way the Unicode standard recommends, so that the
// byte after a broken sequence starts afresh.
char32_t DecodeUtf8(const std::string& text, size_t* pos) {
  const unsigned char lead = static_cast<unsigned char>(text[*pos]);
  ++*pos;
  if (lead < 0x80) return lead;

  size_t trail_count = 0;
  char32_t code_point = 0;
  // The allowed range of the first trailing byte rules out overlong forms,
  // surrogates and values above U+10FFFF.
  unsigned char first_min = 0x80;
  unsigned char first_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail_count = 1;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail_count = 2;
    code_point = lead & 0x0F;
    if (lead == 0xE0) first_min = 0xA0;
    if (lead == 0xED) first_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail_count = 3;
    code_point = lead & 0x07;
    if (lead == 0xF0) first_min = 0x90;
    if (lead == 0xF4) first_max = 0x8F;
  } else {
    return kReplacementCharacter;
  }

  for (size_t i = 0; i < trail_count; ++i) {
    if (*pos >= text.size()) return kReplacementCharacter;
    const unsigned char byte = static_cast<unsigned char>(text[*pos]);
    const unsigned char min = (i == 0) ? first_min : 0x80;
    const unsigned char max = (i == 0) ? first_max : 0xBF;
    if (byte < min || byte > max) return kReplacementCharacter;
    code_point = (code_point << 6) | (byte & 0x3F);
    ++*pos;
  }
  return code_point;
}

void AppendUtf8(char32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool IsForbiddenFileNameByte(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F || std::strchr("/\\:*?\"<>|", byte) != nullptr;
}

// Device names that Windows resolves to a device in any folder, with or
// without an extension and with spaces before the extension ("con .txt").
bool IsWindowsDeviceName(const std::string& name) {
  static const char* const kDeviceNames[] = {
      "con", "prn", "aux", "nul", "conin$", "conout$", "com0", "com1", "com2", "com3", "com4",
      "com5", "com6", "com7", "com8", "com9", "lpt0", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5",
      "lpt6", "lpt7", "lpt8", "lpt9",
      // COM and LPT with a superscript 1, 2 or 3 (UTF-8) are devices too.
      "com\xC2\xB9", "com\xC2\xB2", "com\xC2\xB3", "lpt\xC2\xB9", "lpt\xC2\xB2", "lpt\xC2\xB3"};
  std::string_view stem(name);
  stem = stem.substr(0, stem.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  // Most names are longer than any device's (seven bytes at most).
  if (stem.size() < 3 || stem.size() > 7) return false;
  const std::string lowered = ToLowerAscii(std::string(stem));
  for (const char* device : kDeviceNames) {
    if (lowered == device) return true;
  }
  return false;
}

// Each byte of a sequence that is not UTF-8 becomes '_', so that a name is
// the same on every host (Windows names are UTF-16, POSIX names bytes).
std::string WithInvalidUtf8Replaced(const std::string& text) {
  std::string replaced;
  size_t copied = 0;  // text before this is in `replaced`, once anything was
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    if (DecodeUtf8(text, &pos) != kReplacementCharacter ||
        text.compare(start, pos - start, "\xEF\xBF\xBD") == 0) {
      continue;
    }
    replaced.append(text, copied, start - copied);
    replaced.append(pos - start, '_');
    copied = pos;
  }
  if (copied == 0) return text;
  replaced.append(text, copied, std::string::npos);
  return replaced;
}

std::string SanitizeFileName(const std::string& text) {
  std::string name = WithInvalidUtf8Replaced(text);
  for (char& c : name) {
    if (IsForbiddenFileNameByte(static_cast<unsigned char>(c))) c = '_';
  }
  if (name.size() > kMaxFileNameBytes) {
    size_t cut = kMaxFileNameBytes;
    // Back off to the start of a UTF-8 sequence (at most three trailing bytes).
    for (int steps = 0; steps < 3 && cut > 0; ++steps) {
      if (!IsContinuationByte(static_cast<unsigned char>(name[cut]))) break;
      --cut;
    }
    name.resize(cut);
  }
  // Windows drops trailing dots and spaces, which would make "a." and "a"
  // the same file and turn ".." into a parent reference.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (!name.empty() && IsWindowsDeviceName(name)) name.insert(0, "_");
  return name;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string utf16;
  utf16.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code_point = DecodeUtf8(utf8, &pos);
    if (code_point >= 0x10000) {
      const char32_t offset = code_point - 0x10000;
      utf16.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      utf16.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    } else {
      utf16.push_back(static_cast<char16_t>(code_point));
    }
  }
  return utf16;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  std::string utf8;
  utf8.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    char32_t code_point = unit;
    if (IsHighSurrogate(unit)) {
      if (i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
        code_point = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
        ++i;
      } else {
        code_point = kReplacementCharacter;
      }
    } else if (IsLowSurrogate(unit)) {
      code_point = kReplacementCharacter;
    }
    AppendUtf8(code_point, &utf8);
  }
  return utf8;
}

std::vector<std::string> SplitByText(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  size_t start = 0;
  for (size_t found = text.find(separator); found != std::string::npos;
       found = text.find(separator, start)) {
    pieces.push_back(text.substr(start, found - start));
    start = found + separator.size();
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

std::vector<std::string> SplitString(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(delimiter, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  if (text.empty() || from.empty() || from == to) return text;
  std::string result;
  result.reserve(text.size());
  size_t start = 0;
  for (size_t found = text.find(from); found != std::string::npos; found = text.find(from, start)) {
    result.append(text, start, found - start);
    result.append(to);
    start = found + from.size();
  }
  result.append(text, start, std::string::npos);
  return result;
}

// Gives the same result as replacing every match of the ECMAScript pattern
// "<[^>]*>" with nothing: each match runs from a "<" to the first ">" after
// it. A linear scan avoids std::regex, whose recursion can exhaust the stack
// on long texts.
std::string StripHtmlTags(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  size_t start = 0;
  while (start < text.size()) {
    const size_t open = text.find('<', start);
    if (open == std::string::npos) break;
    const size_t close = text.find('>', open + 1);
    // Without a ">" further on, no later "<" can start a tag either.
    if (close == std::string::npos) break;
    result.append(text, start, open - start);
    start = close + 1;
  }
  result.append(text, start, std::string::npos);
  return result;
}

std::string Base64Encode(const void* bytes, size_t length) {
  std::string encoded;
  AppendBase64(bytes, length, &encoded);
  return encoded;
}

void AppendBase64(const void* bytes, size_t length, std::string* out) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (bytes == nullptr || length == 0) return;
  const unsigned char* data = static_cast<const unsigned char*>(bytes);
  const size_t start = out->size();
  out->resize(start + (length + 2) / 3 * 4);
  char* at = out->data() + start;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t group = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
    at[0] = kAlphabet[(group >> 18) & 0x3F];
    at[1] = kAlphabet[(group >> 12) & 0x3F];
    at[2] = kAlphabet[(group >> 6) & 0x3F];
    at[3] = kAlphabet[group & 0x3F];
    at += 4;
  }
  const size_t remaining = length - i;
  if (remaining > 0) {
    uint32_t group = uint32_t{data[i]} << 16;
    if (remaining == 2) group |= uint32_t{data[i + 1]} << 8;
    at[0] = kAlphabet[(group >> 18) & 0x3F];
    at[1] = kAlphabet[(group >> 12) & 0x3F];
    at[2] = remaining == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    at[3] = '=';
  }
}

std::string ToLowerAscii(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

uint64_t Fnv1a64(const std::string& text) {
  constexpr uint64_t kOffsetBasis = 14695981039346656037ULL;
  constexpr uint64_t kPrime = 1099511628211ULL;
  uint64_t hash = kOffsetBasis;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kPrime;
  }
  return hash;
}

std::string Fnv1a64Decimal(const std::string& text) { return std::to_string(Fnv1a64(text)); }

std::string SafeFileName(const std::string& text, const std::string& fallback) {
  std::string name = SanitizeFileName(text);
  if (!name.empty()) return name;
  // The fallback passes the same checks, so the result is a plain name even
  // when a caller hands in something odd.
  name = SanitizeFileName(fallback);
  return name.empty() ? std::string("_") : name;
}

std::string EscapeLikePattern(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    if (c == '\\' || c == '%' || c == '_') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace kx
