// A streaming JSON writer for documents too large to hold as a Json::Value
// tree, writing exactly the text that WriteJson writes for the same document
// (JsonCpp's styled stream writer: three-space indentation, " : " after a
// name, members in byte order of their names, non-ASCII as \u escapes, no
// comments, no final line feed).
//
// It covers objects whose members are strings, integers, floating-point
// numbers, booleans, nulls, objects or arrays, and arrays whose elements are
// non-empty objects (the tree writer lays those out one element per line).
// An array of strings or of integers is written whole (StringArray,
// IntegerArray): the tree writer puts a short one on one line, which it
// decides with every element in hand. Other arrays of scalars, and arrays
// of empty objects, are refused.
// Member names must come in rising byte order without repeats; JsonMembers
// sorts a flat object for callers whose names are not fixed.
#ifndef KX_COMMON_JSON_TEXT_WRITER_H_
#define KX_COMMON_JSON_TEXT_WRITER_H_

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// One contiguous text grown with realloc, for documents of hundreds of
// megabytes: glibc moves a large block by remapping its pages, so growing
// never holds an old and a new copy at once and pages are only resident once
// written. It refuses to grow past `limit` bytes (the longest text a
// callback length can carry) or when memory runs out; failed() then tells,
// and what was appended before stays. The text is always NUL-terminated.
class TextBuffer {
 public:
  static constexpr size_t kDefaultLimit = 0x7FFFFFFF;

  explicit TextBuffer(size_t limit = kDefaultLimit) : limit_(limit) {}
  ~TextBuffer();
  TextBuffer(TextBuffer&& other) noexcept;
  TextBuffer& operator=(TextBuffer&& other) noexcept;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  void append(const char* text, size_t size) {
    if (size == 0 || (size > prepared_ - size_ && !Grow(size))) return;
    std::memcpy(data_ + size_, text, size);
    size_ += size;
    data_[size_] = '\0';
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  void push_back(char c) {
    if (prepared_ == size_ && !Grow(1)) return;
    data_[size_++] = c;
    data_[size_] = '\0';
  }
  // Replaces `size` bytes at `at`, which must lie within the text.
  void Overwrite(size_t at, const void* bytes, size_t size) {
    if (at <= size_ && size <= size_ - at) std::memcpy(data_ + at, bytes, size);
  }
  // Drops the text after `size` bytes (no-op when shorter).
  void Truncate(size_t size);
  // Drops the text and forgets a failure; the memory is kept for the next.
  void clear() {
    Truncate(0);
    failed_ = false;
  }
  // Room for `size` bytes of text without growing again.
  void reserve(size_t size) {
    if (size > capacity_ && size <= limit_) Reserve(size);
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* data() const { return data_ != nullptr ? data_ : ""; }
  const char* c_str() const { return data(); }
  std::string_view view() const { return std::string_view(data(), size_); }
  bool failed() const { return failed_; }

 private:
  // Room for `extra` more bytes and the NUL; false (failed_ set) when none.
  bool Grow(size_t extra);
  // Capacity and prepared_ for `needed` bytes of text.
  bool Reserve(size_t needed);

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;  // bytes usable for text; one more is kept for the NUL
  // The bytes of text made resident ahead of writing (large texts), at most
  // capacity_: pages are brought in a few megabytes at a time instead of one
  // page fault each, without making all of the capacity resident.
  size_t prepared_ = 0;
  size_t limit_;
  bool failed_ = false;
};

// A member name prepared once: quoted as the writer quotes it and followed by
// " : ", for objects written row after row. It must outlive every object it
// names.
class JsonName {
 public:
  explicit JsonName(std::string_view name);
  const std::string& name() const { return name_; }
  const std::string& prefix() const { return prefix_; }

 private:
  std::string name_;
  std::string prefix_;
};

// Writes into a std::string (JsonTextWriter) or a TextBuffer
// (JsonBufferWriter); both give the same bytes.
template <typename Text>
class BasicJsonTextWriter {
 public:
  // Appends to *out, which must outlive the writer.
  explicit BasicJsonTextWriter(Text* out) : out_(out) {}
  // Writes one object as it is laid out `depth` indentation steps in: an
  // element of an array of a larger document, written ahead for Element.
  BasicJsonTextWriter(Text* out, size_t depth) : out_(out), depth_(depth) {}

  // Lines end in "\r\n", as in a text-mode file of a Windows host, rather
  // than "\n"; before anything is written.
  void UseCrLf() { crlf_ = true; }

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the open object.
  void Name(std::string_view name);
  void Name(const JsonName& name);
  void String(std::string_view value);
  void Int(int64_t value);
  void UInt(uint64_t value);
  void Double(double value);
  void Bool(bool value);
  void Null();
  // A whole array of strings, one value where a scalar may stand (a member
  // or the root; not an element of an array).
  void StringArray(const std::vector<std::string>& values);
  // The same for integers (int64_t or uint64_t).
  template <typename Integer>
  void IntegerArray(const std::vector<Integer>& values);
  // An object written ahead by a writer made with `depth`, as the next
  // element of the open array; refused unless the array's elements stand
  // `depth` steps in.
  void Element(std::string_view object_text, size_t depth);

  // False after a call that breaks the rules above; the text is then not
  // what WriteJson would give and must not be used.
  bool ok() const { return ok_; }
  // True when one value was written and every container is closed.
  bool complete() const { return ok_ && root_written_ && levels_.empty(); }

 private:
  struct Level {
    bool is_array = false;
    bool opened = false;  // "{" or "[" written: the container is not empty
    size_t count = 0;
    // The last member's name: a JsonName's own text, or a copy.
    const std::string* last_name = nullptr;
    std::string last_name_copy;
  };

  // Where the next value goes; false (and ok_ cleared) when none may go.
  bool StartValue(bool is_object);
  void FinishValue();
  void Open(Level* level);
  // Checks the order, writes the separator and the line start of a member.
  // `stable` is the name's own text when it outlives the object, else null.
  bool StartName(std::string_view name, const std::string* stable);
  // The array of the elements rendered into quoted_, as one value.
  void WriteRenderedArray();
  void WriteIndent();
  void WriteWithIndent(std::string_view text);

  Text* out_;
  std::vector<Level> levels_;
  // The rendered elements of an array of scalars, while its layout is
  // decided.
  std::string quoted_;
  std::vector<size_t> quoted_ends_;
  size_t depth_ = 0;      // indentation steps of the current line
  bool indented_ = true;  // the tree writer's state: a line was just started
  bool name_pending_ = false;
  bool root_written_ = false;
  bool ok_ = true;
  bool crlf_ = false;
};

extern template class BasicJsonTextWriter<std::string>;
extern template class BasicJsonTextWriter<TextBuffer>;
using JsonTextWriter = BasicJsonTextWriter<std::string>;
using JsonBufferWriter = BasicJsonTextWriter<TextBuffer>;

// Appends `value` as a quoted JSON string the way the tree writer escapes it.
void AppendJsonString(std::string_view value, std::string* out);
void AppendJsonString(std::string_view value, TextBuffer* out);
// The tree writer's forms of numbers.
void AppendJsonInt(int64_t value, std::string* out);
void AppendJsonUInt(uint64_t value, std::string* out);
void AppendJsonDouble(double value, std::string* out);

// A flat object of string and number members, set in any order and written
// in the writer's order. Setting a name again replaces its value, as it does
// in a Json::Value.
class JsonMembers {
 public:
  // Forgets the members; keeps the names and buffers for the next use.
  void Clear();
  void SetString(std::string_view name, std::string_view value);
  // Sets a string member and hands back its text, emptied, to be filled in
  // place (its buffer serves object after object).
  std::string* SetStringInPlace(std::string_view name);
  void SetInt(std::string_view name, int64_t value);
  void SetDouble(std::string_view name, double value);
  void SetNull(std::string_view name);
  bool Has(std::string_view name) const;
  bool empty() const { return size_ == 0; }
  // A member as a number: an integer, or a real cut to one; 0 when absent or
  // not a number.
  int64_t IntegerOf(std::string_view name) const;
  // A string member's text; "" when absent or not a string.
  std::string_view StringOf(std::string_view name) const;

  // The object as one value of `writer`. With a `nested_name`, the object
  // has one more member of that name, not set here, whose value
  // `write_nested` writes into `writer` in its place among the others.
  template <typename Text>
  void WriteObject(BasicJsonTextWriter<Text>* writer, std::string_view nested_name = {},
                   const std::function<void()>& write_nested = nullptr) const;

 private:
  enum class Kind { kString, kInt, kDouble, kNull };
  struct Member {
    explicit Member(std::string_view member_name) : name(member_name) {}
    JsonName name;        // quoted once, for every object that sets it
    uint64_t object = 0;  // the object that last set it: present when current
    Kind kind = Kind::kString;
    std::string text;
    int64_t integer = 0;
    double real = 0.0;
  };

  Member* Slot(std::string_view name);
  const Member* Find(std::string_view name) const;
  bool Present(const Member& member) const { return member.object == object_; }

  // Every name set since the names were last dropped, present or not: rows
  // of one query set the same names, or nearly, so each keeps its place and
  // the order they are written in is sorted once per new name.
  std::vector<Member> members_;
  std::vector<uint32_t> sorted_;  // members_ in the writer's order
  uint64_t object_ = 1;           // the object being set
  size_t size_ = 0;               // members present
  size_t next_ = 0;               // where the next name is looked for first
};

// `value` streamed into `writer` as WriteJson lays it out. Arrays must hold
// non-empty objects, only strings or only integers.
template <typename Text>
void WriteJsonValue(const Json::Value& value, BasicJsonTextWriter<Text>* writer);

// Whether WriteJsonValue writes `value` whole: each of its arrays is empty
// or holds only strings, only integers or only non-empty objects. A tree
// that fails this is laid out by WriteJson instead.
bool StreamableJsonValue(const Json::Value& value);

}  // namespace kx

#endif  // KX_COMMON_JSON_TEXT_WRITER_H_
