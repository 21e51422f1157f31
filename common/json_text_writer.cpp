#include "common/json_text_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/platform.h"

namespace kx {

namespace {

constexpr char kIndentation[] = "   ";
constexpr char kNameSeparator[] = " : ";
constexpr unsigned kReplacementCharacter = 0xFFFD;
// The tree writer's right margin: an array of scalars whose one-line form
// ("[ a, b ]") would reach it, or whose element count times three would, is
// laid out one element per line.
constexpr size_t kRightMargin = 74;

// The tree writer's UTF-8 decoding, kept as it is (it takes the bytes after
// a lead byte without checking them) so that broken text comes out alike.
// Advances *at to the last byte used.
unsigned DecodeCodepoint(const char*& at, const char* end) {
  const unsigned first = static_cast<unsigned char>(*at);
  if (first < 0x80) return first;
  if (first < 0xE0) {
    if (end - at < 2) return kReplacementCharacter;
    const unsigned value = ((first & 0x1F) << 6) | (static_cast<unsigned>(at[1]) & 0x3F);
    at += 1;
    return value < 0x80 ? kReplacementCharacter : value;
  }
  if (first < 0xF0) {
    if (end - at < 3) return kReplacementCharacter;
    const unsigned value = ((first & 0x0F) << 12) | ((static_cast<unsigned>(at[1]) & 0x3F) << 6) |
                           (static_cast<unsigned>(at[2]) & 0x3F);
    at += 2;
    if (value >= 0xD800 && value <= 0xDFFF) return kReplacementCharacter;
    return value < 0x800 ? kReplacementCharacter : value;
  }
  if (first < 0xF8) {
    if (end - at < 4) return kReplacementCharacter;
    const unsigned value = ((first & 0x07) << 18) | ((static_cast<unsigned>(at[1]) & 0x3F) << 12) |
                           ((static_cast<unsigned>(at[2]) & 0x3F) << 6) |
                           (static_cast<unsigned>(at[3]) & 0x3F);
    at += 3;
    return value < 0x10000 ? kReplacementCharacter : value;
  }
  return kReplacementCharacter;
}

template <typename Text>
void AppendUnicodeEscape(unsigned unit, Text* out) {
  static const char kHex[] = "0123456789abcdef";
  const char escape[6] = {'\\',
                          'u',
                          kHex[(unit >> 12) & 0xF],
                          kHex[(unit >> 8) & 0xF],
                          kHex[(unit >> 4) & 0xF],
                          kHex[unit & 0xF]};
  out->append(escape, sizeof(escape));
}

bool IsPlainAscii(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x80 && c != '"' && c != '\\';
}

// True when none of the eight bytes of `word` needs escaping. Word-wide
// byte tests: a byte below 0x20, a byte with its top bit set, a quote or a
// backslash each leave a top bit in the result.
bool EightPlainBytes(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kTops = 0x8080808080808080ULL;
  const uint64_t below_space = (word - kOnes * 0x20) & ~word;
  const uint64_t quote = word ^ (kOnes * '"');
  const uint64_t backslash = word ^ (kOnes * '\\');
  const uint64_t quote_zero = (quote - kOnes) & ~quote;
  const uint64_t backslash_zero = (backslash - kOnes) & ~backslash;
  return ((word | below_space | quote_zero | backslash_zero) & kTops) == 0;
}

// The end of the run of plain bytes that starts at `at`. Message texts are
// mostly plain: they are passed over eight bytes at a time.
const char* PlainRunEnd(const char* at, const char* end) {
  uint64_t word;
  while (end - at >= static_cast<ptrdiff_t>(sizeof(word))) {
    std::memcpy(&word, at, sizeof(word));
    if (!EightPlainBytes(word)) break;
    at += sizeof(word);
  }
  while (at != end && IsPlainAscii(*at)) ++at;
  return at;
}

// Line feed and indentation of the lines the writer starts; deeper lines
// append the spaces in several pieces.
constexpr char kLineStart[] =
    "\n                                                                "
    "                                ";
constexpr size_t kLineStartSpaces = sizeof(kLineStart) - 2;

template <typename Text>
void AppendEscaped(std::string_view value, Text* out) {
  out->push_back('"');
  const char* at = value.data();
  const char* const end = at + value.size();
  while (at != end) {
    const char* run = at;
    at = PlainRunEnd(at, end);
    out->append(run, static_cast<size_t>(at - run));
    if (at == end) break;
    switch (*at) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\b':
        out->append("\\b");
        break;
      case '\f':
        out->append("\\f");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default: {
        unsigned codepoint = DecodeCodepoint(at, end);
        if (codepoint >= 0x20 && codepoint <= 0x7F) {
          out->push_back(static_cast<char>(codepoint));
        } else if (codepoint < 0x10000) {
          AppendUnicodeEscape(codepoint, out);
        } else {
          // Twenty bits as a surrogate pair; larger values (broken input)
          // lose their top bits, as in the tree writer.
          codepoint -= 0x10000;
          AppendUnicodeEscape(0xD800 + ((codepoint >> 10) & 0x3FF), out);
          AppendUnicodeEscape(0xDC00 + (codepoint & 0x3FF), out);
        }
        break;
      }
    }
    ++at;
  }
  out->push_back('"');
}

}  // namespace

void AppendJsonString(std::string_view value, std::string* out) { AppendEscaped(value, out); }
void AppendJsonString(std::string_view value, TextBuffer* out) { AppendEscaped(value, out); }

TextBuffer::~TextBuffer() { std::free(data_); }

TextBuffer::TextBuffer(TextBuffer&& other) noexcept
    : data_(other.data_),
      size_(other.size_),
      capacity_(other.capacity_),
      prepared_(other.prepared_),
      limit_(other.limit_),
      failed_(other.failed_) {
  other.data_ = nullptr;
  other.size_ = 0;
  other.capacity_ = 0;
  other.prepared_ = 0;
}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    prepared_ = other.prepared_;
    limit_ = other.limit_;
    failed_ = other.failed_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.capacity_ = 0;
    other.prepared_ = 0;
  }
  return *this;
}

void TextBuffer::Truncate(size_t size) {
  if (size >= size_) return;
  size_ = size;
  data_[size_] = '\0';
}

bool TextBuffer::Grow(size_t extra) {
  if (failed_ || extra > limit_ - size_) {
    failed_ = true;
    return false;
  }
  const size_t needed = size_ + extra;
  if (needed > capacity_ && !Reserve(needed)) return false;
  // Below a few megabytes the pages come as they are written.
  constexpr size_t kPrepareFrom = 8 << 20;
  constexpr size_t kStep = 1 << 20;
  if (capacity_ < kPrepareFrom) {
    prepared_ = capacity_;
    return true;
  }
  size_t prepared = prepared_;
  while (prepared < needed) prepared = capacity_ - prepared > kStep ? prepared + kStep : capacity_;
  PrepareForWriting(data_ + prepared_, prepared - prepared_);
  prepared_ = prepared;
  return true;
}

bool TextBuffer::Reserve(size_t needed) {
  constexpr size_t kFirstCapacity = 4096;
  size_t capacity = capacity_ < kFirstCapacity ? kFirstCapacity : capacity_;
  while (capacity < needed) capacity = capacity > limit_ / 2 ? limit_ : capacity * 2;
  if (capacity > limit_) capacity = limit_;
  // The NUL after the text needs one more byte.
  char* grown = static_cast<char*>(std::realloc(data_, capacity + 1));
  if (grown == nullptr) {
    failed_ = true;
    return false;
  }
  data_ = grown;
  capacity_ = capacity;
  if (prepared_ > size_) prepared_ = size_;  // a moved block keeps only the written pages
  return true;
}

JsonName::JsonName(std::string_view name) : name_(name) {
  AppendJsonString(name, &prefix_);
  prefix_.append(kNameSeparator);
}

// Plain decimal, as "%lld" and "%llu" print it (std::to_chars is locale
// independent and several times faster than snprintf).
void AppendJsonInt(int64_t value, std::string* out) {
  char text[24];
  const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
  out->append(text, static_cast<size_t>(end.ptr - text));
}

void AppendJsonUInt(uint64_t value, std::string* out) {
  char text[24];
  const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
  out->append(text, static_cast<size_t>(end.ptr - text));
}

void AppendJsonDouble(double value, std::string* out) {
  // JSON has no infinity or NaN: such a value is written as null, as
  // JsonDouble gives it to the JsonCpp writer.
  if (!std::isfinite(value)) {
    out->append("null");
    return;
  }
  // A whole number of up to 15 digits, the common case (sizes, zeros), is
  // what "%.17g" gives for it, without printf's exact decimal conversion.
  constexpr double kPlainWholeLimit = 1e15;
  if (value == std::trunc(value) && std::fabs(value) < kPlainWholeLimit &&
      !(value == 0 && std::signbit(value))) {
    AppendJsonInt(static_cast<int64_t>(value), out);
    out->append(".0");
    return;
  }
  // The text of "%.17g" in the C locale, which std::to_chars gives without
  // printf's locale look-ups and arbitrary-precision arithmetic.
  char text[40];
  const std::to_chars_result end =
      std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 17);
  const std::string_view written(text, static_cast<size_t>(end.ptr - text));
  out->append(written.data(), written.size());
  const bool has_point_or_exponent = written.find_first_of(".e") != std::string_view::npos;
  // Keeps a whole number recognisable as floating point ("3.0").
  if (!has_point_or_exponent) out->append(".0");
}

template <typename Text>
void BasicJsonTextWriter<Text>::WriteIndent() {
  size_t spaces = depth_ * (sizeof(kIndentation) - 1);
  size_t piece = spaces < kLineStartSpaces ? spaces : kLineStartSpaces;
  if (crlf_) out_->append("\r", 1);
  out_->append(kLineStart, piece + 1);
  for (spaces -= piece; spaces > 0; spaces -= piece) {
    piece = spaces < kLineStartSpaces ? spaces : kLineStartSpaces;
    out_->append(kLineStart + 1, piece);
  }
}

template <typename Text>
void BasicJsonTextWriter<Text>::WriteWithIndent(std::string_view text) {
  if (!indented_) WriteIndent();
  out_->append(text);
  indented_ = false;
}

template <typename Text>
void BasicJsonTextWriter<Text>::Open(Level* level) {
  WriteWithIndent(level->is_array ? "[" : "{");
  ++depth_;
  level->opened = true;
}

template <typename Text>
bool BasicJsonTextWriter<Text>::StartValue(bool is_object) {
  if (!ok_) return false;
  if (levels_.empty()) {
    ok_ = !root_written_;
    return ok_;
  }
  Level& parent = levels_.back();
  if (!parent.is_array) {
    ok_ = name_pending_;
    return ok_;
  }
  if (!is_object) {
    ok_ = false;
    return false;
  }
  if (!parent.opened) {
    Open(&parent);
  } else {
    out_->push_back(',');
  }
  if (!indented_) WriteIndent();
  indented_ = true;
  return true;
}

template <typename Text>
void BasicJsonTextWriter<Text>::FinishValue() {
  if (levels_.empty()) {
    root_written_ = true;
    return;
  }
  Level& parent = levels_.back();
  ++parent.count;
  if (parent.is_array) {
    indented_ = false;
  } else {
    name_pending_ = false;
  }
}

template <typename Text>
void BasicJsonTextWriter<Text>::BeginObject() {
  if (!StartValue(true)) return;
  levels_.emplace_back();
  name_pending_ = false;
}

template <typename Text>
void BasicJsonTextWriter<Text>::EndObject() {
  if (!ok_ || levels_.empty() || levels_.back().is_array || name_pending_) {
    ok_ = false;
    return;
  }
  const bool opened = levels_.back().opened;
  levels_.pop_back();
  if (opened) {
    --depth_;
    WriteWithIndent("}");
  } else {
    // The tree writer puts an array of empty objects on one line.
    if (!levels_.empty() && levels_.back().is_array) {
      ok_ = false;
      return;
    }
    out_->append("{}");
  }
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::BeginArray() {
  if (!StartValue(false)) return;
  levels_.emplace_back();
  levels_.back().is_array = true;
}

template <typename Text>
void BasicJsonTextWriter<Text>::EndArray() {
  if (!ok_ || levels_.empty() || !levels_.back().is_array) {
    ok_ = false;
    return;
  }
  const bool opened = levels_.back().opened;
  levels_.pop_back();
  if (opened) {
    --depth_;
    WriteWithIndent("]");
  } else {
    out_->append("[]");
  }
  FinishValue();
}

template <typename Text>
bool BasicJsonTextWriter<Text>::StartName(std::string_view name, const std::string* stable) {
  if (!ok_ || levels_.empty() || levels_.back().is_array || name_pending_) {
    ok_ = false;
    return false;
  }
  Level& object = levels_.back();
  if (object.count > 0) {
    const std::string& last =
        object.last_name != nullptr ? *object.last_name : object.last_name_copy;
    if (!(std::string_view(last) < name)) {
      ok_ = false;
      return false;
    }
  }
  if (!object.opened) {
    Open(&object);
  } else {
    out_->push_back(',');
  }
  object.last_name = stable;
  if (stable == nullptr) object.last_name_copy.assign(name.data(), name.size());
  if (!indented_) WriteIndent();
  indented_ = false;
  name_pending_ = true;
  return true;
}

template <typename Text>
void BasicJsonTextWriter<Text>::Name(std::string_view name) {
  if (!StartName(name, nullptr)) return;
  AppendJsonString(name, out_);
  out_->append(kNameSeparator);
}

template <typename Text>
void BasicJsonTextWriter<Text>::Name(const JsonName& name) {
  if (StartName(name.name(), &name.name())) out_->append(name.prefix());
}

template <typename Text>
void BasicJsonTextWriter<Text>::String(std::string_view value) {
  if (!StartValue(false)) return;
  AppendJsonString(value, out_);
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::Int(int64_t value) {
  if (!StartValue(false)) return;
  char text[24];
  const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
  out_->append(text, static_cast<size_t>(end.ptr - text));
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::UInt(uint64_t value) {
  if (!StartValue(false)) return;
  char text[24];
  const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
  out_->append(text, static_cast<size_t>(end.ptr - text));
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::Double(double value) {
  if (!StartValue(false)) return;
  // The one form of numbers the tree writer gives, kept in one place.
  quoted_.clear();
  AppendJsonDouble(value, &quoted_);
  out_->append(quoted_);
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::Bool(bool value) {
  if (!StartValue(false)) return;
  out_->append(value ? "true" : "false");
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::Null() {
  if (!StartValue(false)) return;
  out_->append("null");
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::StringArray(const std::vector<std::string>& values) {
  quoted_.clear();
  quoted_ends_.clear();
  for (const std::string& value : values) {
    AppendJsonString(value, &quoted_);
    quoted_ends_.push_back(quoted_.size());
  }
  WriteRenderedArray();
}

template <typename Text>
template <typename Integer>
void BasicJsonTextWriter<Text>::IntegerArray(const std::vector<Integer>& values) {
  quoted_.clear();
  quoted_ends_.clear();
  for (const Integer value : values) {
    char text[24];
    const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
    quoted_.append(text, static_cast<size_t>(end.ptr - text));
    quoted_ends_.push_back(quoted_.size());
  }
  WriteRenderedArray();
}

template <typename Text>
void BasicJsonTextWriter<Text>::WriteRenderedArray() {
  if (!StartValue(false)) return;
  const size_t count = quoted_ends_.size();
  if (count == 0) {
    out_->append("[]");
    FinishValue();
    return;
  }
  // "[ " + ", " between elements + " ]", as the tree writer counts it.
  const size_t one_line_length = 4 + (count - 1) * 2 + quoted_.size();
  const bool one_line = count * 3 < kRightMargin && one_line_length < kRightMargin;
  size_t begin = 0;
  if (one_line) {
    out_->append("[ ");
    for (size_t i = 0; i < quoted_ends_.size(); ++i) {
      if (i > 0) out_->append(", ");
      out_->append(quoted_.data() + begin, quoted_ends_[i] - begin);
      begin = quoted_ends_[i];
    }
    out_->append(" ]");
  } else {
    WriteWithIndent("[");
    ++depth_;
    for (size_t i = 0; i < quoted_ends_.size(); ++i) {
      if (i > 0) out_->push_back(',');
      WriteWithIndent(std::string_view(quoted_).substr(begin, quoted_ends_[i] - begin));
      begin = quoted_ends_[i];
    }
    --depth_;
    WriteWithIndent("]");
  }
  FinishValue();
}

template <typename Text>
void BasicJsonTextWriter<Text>::Element(std::string_view object_text, size_t depth) {
  // The text's own indentation must be what this element's would be.
  const bool element_of_array = !levels_.empty() && levels_.back().is_array;
  const size_t element_depth = levels_.empty() ? 0 : depth_ + (levels_.back().opened ? 0 : 1);
  if (!element_of_array || element_depth != depth || object_text.empty()) {
    ok_ = false;
    return;
  }
  if (!StartValue(true)) return;
  out_->append(object_text);
  FinishValue();
}

template class BasicJsonTextWriter<std::string>;
template class BasicJsonTextWriter<TextBuffer>;
template void JsonTextWriter::IntegerArray(const std::vector<int64_t>& values);
template void JsonTextWriter::IntegerArray(const std::vector<uint64_t>& values);
template void JsonBufferWriter::IntegerArray(const std::vector<int64_t>& values);
template void JsonBufferWriter::IntegerArray(const std::vector<uint64_t>& values);

// Names kept beyond those present before they are all dropped: callers
// whose names come from the data must not grow the list without bound.
constexpr size_t kSpareMemberNames = 64;

void JsonMembers::Clear() {
  if (members_.size() > 2 * size_ + kSpareMemberNames) {
    members_.clear();
    sorted_.clear();
  }
  ++object_;
  size_ = 0;
  next_ = 0;
}

// The names come in the same order object after object: the next one is
// looked for after the last one first.
JsonMembers::Member* JsonMembers::Slot(std::string_view name) {
  size_t place = next_;
  if (place >= members_.size() || members_[place].name.name() != name) {
    place = 0;
    while (place < members_.size() && members_[place].name.name() != name) ++place;
  }
  if (place == members_.size()) {
    members_.emplace_back(name);
    const auto before = std::lower_bound(
        sorted_.begin(), sorted_.end(), name,
        [this](uint32_t at, std::string_view key) { return members_[at].name.name() < key; });
    sorted_.insert(before, static_cast<uint32_t>(place));
  }
  Member* member = &members_[place];
  if (!Present(*member)) {
    member->object = object_;
    ++size_;
  }
  next_ = place + 1;
  return member;
}

void JsonMembers::SetString(std::string_view name, std::string_view value) {
  Member* member = Slot(name);
  member->kind = Kind::kString;
  member->text.assign(value.data(), value.size());
}

std::string* JsonMembers::SetStringInPlace(std::string_view name) {
  Member* member = Slot(name);
  member->kind = Kind::kString;
  member->text.clear();
  return &member->text;
}

void JsonMembers::SetInt(std::string_view name, int64_t value) {
  Member* member = Slot(name);
  member->kind = Kind::kInt;
  member->integer = value;
}

void JsonMembers::SetDouble(std::string_view name, double value) {
  Member* member = Slot(name);
  member->kind = Kind::kDouble;
  member->real = value;
}

void JsonMembers::SetNull(std::string_view name) { Slot(name)->kind = Kind::kNull; }

const JsonMembers::Member* JsonMembers::Find(std::string_view name) const {
  for (const Member& member : members_) {
    if (Present(member) && member.name.name() == name) return &member;
  }
  return nullptr;
}

bool JsonMembers::Has(std::string_view name) const { return Find(name) != nullptr; }

int64_t JsonMembers::IntegerOf(std::string_view name) const {
  const Member* member = Find(name);
  if (member == nullptr) return 0;
  if (member->kind == Kind::kInt) return member->integer;
  if (member->kind == Kind::kDouble && member->real > -9.2e18 && member->real < 9.2e18) {
    return static_cast<int64_t>(member->real);
  }
  return 0;
}

std::string_view JsonMembers::StringOf(std::string_view name) const {
  const Member* member = Find(name);
  return member != nullptr && member->kind == Kind::kString ? std::string_view(member->text)
                                                            : std::string_view();
}

template <typename Text>
void JsonMembers::WriteObject(BasicJsonTextWriter<Text>* writer, std::string_view nested_name,
                              const std::function<void()>& write_nested) const {
  bool nested_pending = !nested_name.empty() && write_nested != nullptr;
  writer->BeginObject();
  for (const uint32_t place : sorted_) {
    const Member& member = members_[place];
    if (!Present(member)) continue;
    const std::string& name = member.name.name();
    if (nested_pending && nested_name <= name) {
      nested_pending = false;
      writer->Name(nested_name);
      write_nested();
      // A set member of the nested member's name gives way to it.
      if (nested_name == name) continue;
    }
    writer->Name(member.name);
    switch (member.kind) {
      case Kind::kString:
        writer->String(member.text);
        break;
      case Kind::kInt:
        writer->Int(member.integer);
        break;
      case Kind::kDouble:
        writer->Double(member.real);
        break;
      case Kind::kNull:
        writer->Null();
        break;
    }
  }
  if (nested_pending) {
    writer->Name(nested_name);
    write_nested();
  }
  writer->EndObject();
}

template void JsonMembers::WriteObject(JsonTextWriter* writer, std::string_view nested_name,
                                       const std::function<void()>& write_nested) const;
template void JsonMembers::WriteObject(JsonBufferWriter* writer, std::string_view nested_name,
                                       const std::function<void()>& write_nested) const;

namespace {

// Whether `value` is a non-empty array whose every element passes `test`.
template <typename Test>
bool IsArrayOf(const Json::Value& value, Test test) {
  if (!value.isArray() || value.empty()) return false;
  for (const Json::Value& element : value) {
    if (!test(element)) return false;
  }
  return true;
}

// An integer as the tree writer holds it; a whole real number is not one.
bool IsInteger(const Json::Value& value) {
  return value.type() == Json::intValue || value.type() == Json::uintValue;
}

// The arrays the writer lays out in a form of their own; the others are
// written element by element.
enum class ArrayKind { kStrings, kSignedIntegers, kUnsignedIntegers, kOther };

ArrayKind KindOfArray(const Json::Value& value) {
  if (IsArrayOf(value, [](const Json::Value& element) { return element.isString(); })) {
    return ArrayKind::kStrings;
  }
  if (IsArrayOf(value, [](const Json::Value& e) { return IsInteger(e) && e.isInt64(); })) {
    return ArrayKind::kSignedIntegers;
  }
  if (IsArrayOf(value, [](const Json::Value& e) { return IsInteger(e) && e.isUInt64(); })) {
    return ArrayKind::kUnsignedIntegers;
  }
  return ArrayKind::kOther;
}

template <typename Integer, typename Text>
void WriteIntegerArray(const Json::Value& value, BasicJsonTextWriter<Text>* writer) {
  std::vector<Integer> integers;
  integers.reserve(value.size());
  for (const Json::Value& element : value) integers.push_back(element.as<Integer>());
  writer->IntegerArray(integers);
}

}  // namespace

template <typename Text>
void WriteJsonValue(const Json::Value& value, BasicJsonTextWriter<Text>* writer) {
  switch (value.type()) {
    case Json::nullValue:
      writer->Null();
      break;
    case Json::intValue:
      writer->Int(value.asInt64());
      break;
    case Json::uintValue:
      writer->UInt(value.asUInt64());
      break;
    case Json::realValue:
      writer->Double(value.asDouble());
      break;
    case Json::booleanValue:
      writer->Bool(value.asBool());
      break;
    case Json::stringValue: {
      const char* begin = nullptr;
      const char* end = nullptr;
      value.getString(&begin, &end);
      writer->String(std::string_view(begin, static_cast<size_t>(end - begin)));
      break;
    }
    case Json::arrayValue:
      switch (KindOfArray(value)) {
        case ArrayKind::kStrings: {
          std::vector<std::string> strings;
          strings.reserve(value.size());
          for (const Json::Value& element : value) strings.push_back(element.asString());
          writer->StringArray(strings);
          break;
        }
        case ArrayKind::kSignedIntegers:
          WriteIntegerArray<int64_t>(value, writer);
          break;
        case ArrayKind::kUnsignedIntegers:
          WriteIntegerArray<uint64_t>(value, writer);
          break;
        case ArrayKind::kOther:
          writer->BeginArray();
          for (const Json::Value& element : value) WriteJsonValue(element, writer);
          writer->EndArray();
          break;
      }
      break;
    case Json::objectValue:
      // The tree keeps members in byte order of their names, the order the
      // writer wants.
      writer->BeginObject();
      for (auto member = value.begin(); member != value.end(); ++member) {
        const char* end = nullptr;
        const char* name = member.memberName(&end);
        writer->Name(std::string_view(name, static_cast<size_t>(end - name)));
        WriteJsonValue(*member, writer);
      }
      writer->EndObject();
      break;
  }
}

bool StreamableJsonValue(const Json::Value& value) {
  if (value.isObject()) {
    for (const Json::Value& member : value) {
      if (!StreamableJsonValue(member)) return false;
    }
    return true;
  }
  if (!value.isArray() || value.empty()) return true;
  return KindOfArray(value) != ArrayKind::kOther || IsArrayOf(value, [](const Json::Value& e) {
           return e.isObject() && !e.empty() && StreamableJsonValue(e);
         });
}

template void WriteJsonValue(const Json::Value& value, JsonTextWriter* writer);
template void WriteJsonValue(const Json::Value& value, JsonBufferWriter* writer);

}  // namespace kx
