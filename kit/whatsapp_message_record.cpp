#include "kit/whatsapp_message_record.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/result_row.h"

namespace kx {

namespace {

constexpr bool NamesInByteOrder(const std::string_view* names, int count) {
  for (int i = 1; i < count; ++i) {
    if (!(names[i - 1] < names[i])) return false;
  }
  return true;
}

static_assert(NamesInByteOrder(kQuoteMemberNames, kQuoteMemberCount));
static_assert(NamesInByteOrder(kMessageMemberNames, kMessageMemberCount));

// The bounds Json::Value uses to tell whether a double is an Int64 or a
// UInt64: -2^63, 2^63 and 2^64 as doubles.
constexpr double kMinInt64AsDouble = -9223372036854775808.0;
constexpr double kInt64EndAsDouble = 9223372036854775808.0;
constexpr double kUInt64EndAsDouble = 18446744073709551616.0;

bool HasNoFraction(double value) {
  double whole = 0.0;
  return std::modf(value, &whole) == 0.0;
}

// The member names quoted once, as the writer writes them, for the objects
// written message after message.
template <size_t N>
std::vector<JsonName> PreparedNames(const std::string_view (&names)[N]) {
  std::vector<JsonName> prepared;
  prepared.reserve(N);
  for (const std::string_view name : names) prepared.emplace_back(name);
  return prepared;
}

const std::vector<JsonName>& QuoteNames() {
  static const std::vector<JsonName> names = PreparedNames(kQuoteMemberNames);
  return names;
}

const std::vector<JsonName>& MessageNames() {
  static const std::vector<JsonName> names = PreparedNames(kMessageMemberNames);
  return names;
}

int IndexByName(const std::string_view* names, int count, std::string_view name) {
  for (int i = 0; i < count; ++i) {
    if (name == names[i]) return i;
  }
  return -1;
}

}  // namespace

int MessageMemberByName(std::string_view name) {
  return IndexByName(kMessageMemberNames, kMessageMemberCount, name);
}

int QuoteMemberByName(std::string_view name) {
  return IndexByName(kQuoteMemberNames, kQuoteMemberCount, name);
}

void MemberValue::SetInteger(int64_t value) {
  kind_ = Kind::kInteger;
  integer_ = value;
}

void MemberValue::SetUnsigned(uint64_t value) {
  kind_ = Kind::kUnsigned;
  unsigned_ = value;
}

void MemberValue::SetReal(double value) {
  kind_ = Kind::kReal;
  real_ = value;
}

void MemberValue::SetText(std::string_view value) {
  kind_ = Kind::kText;
  text_.assign(value.data(), value.size());
}

void MemberValue::ReadColumn(const SqliteStatement& statement, int index) {
  const ColumnValue value = ReadColumnValue(statement.handle(), index);
  switch (value.kind) {
    case ColumnValue::Kind::kInteger:
      SetInteger(value.integer);
      break;
    case ColumnValue::Kind::kReal:
      SetReal(value.real);
      break;
    case ColumnValue::Kind::kText:
      SetText(value.text);
      break;
    case ColumnValue::Kind::kAbsent:
      kind_ = Kind::kAbsent;
      break;
  }
}

int64_t MemberValue::AsInteger() const {
  switch (kind_) {
    case Kind::kInteger:
      return integer_;
    case Kind::kUnsigned:
      return static_cast<int64_t>(unsigned_);
    case Kind::kReal:
      // A whole double reads as the integer it is; any other as 0.
      if (real_ >= kMinInt64AsDouble && real_ < kInt64EndAsDouble && HasNoFraction(real_)) {
        return static_cast<int64_t>(real_);
      }
      if (real_ >= 0 && real_ < kUInt64EndAsDouble && HasNoFraction(real_)) {
        return static_cast<int64_t>(static_cast<uint64_t>(real_));
      }
      return 0;
    case Kind::kText:
      // strtoll: leading blanks and sign, decimal digits, saturating; no
      // digit reads 0. The text ends at its first NUL, as a C string does.
      return std::strtoll(text_.c_str(), nullptr, 10);
    default:
      return 0;
  }
}

std::string MemberValue::AsString() const {
  std::string text;
  switch (kind_) {
    case Kind::kInteger:
      AppendJsonInt(integer_, &text);
      break;
    case Kind::kUnsigned:
      AppendJsonUInt(unsigned_, &text);
      break;
    case Kind::kReal:
      // A number JSON cannot hold reads as a null member would: no text.
      if (std::isfinite(real_)) AppendJsonDouble(real_, &text);
      break;
    case Kind::kText:
      text = text_;
      break;
    default:
      break;
  }
  return text;
}

bool MemberValue::IsIntegral() const {
  switch (kind_) {
    case Kind::kInteger:
    case Kind::kUnsigned:
      return true;
    case Kind::kReal:
      return real_ >= kMinInt64AsDouble && real_ < kUInt64EndAsDouble && HasNoFraction(real_);
    default:
      return false;
  }
}

void MemberValue::Write(JsonBufferWriter* writer) const {
  switch (kind_) {
    case Kind::kInteger:
      writer->Int(integer_);
      break;
    case Kind::kUnsigned:
      writer->UInt(unsigned_);
      break;
    case Kind::kReal:
      writer->Double(real_);
      break;
    case Kind::kText:
      writer->String(text_);
      break;
    default:
      writer->Null();
      break;
  }
}

void QuoteRecord::Clear() {
  for (MemberValue& member : members_) member.Clear();
}

void QuoteRecord::Write(JsonBufferWriter* writer) const {
  const std::vector<JsonName>& names = QuoteNames();
  writer->BeginObject();
  for (int i = 0; i < kQuoteMemberCount; ++i) {
    if (!members_[i].present()) continue;
    writer->Name(names[static_cast<size_t>(i)]);
    members_[i].Write(writer);
  }
  writer->EndObject();
}

void MessageRecord::Clear() {
  for (MemberValue& member : members_) member.Clear();
  has_quote_ = false;
  url_links_.clear();
}

QuoteRecord* MessageRecord::StartQuote() {
  has_quote_ = true;
  quote_.Clear();
  return &quote_;
}

void MessageRecord::Write(JsonBufferWriter* writer) const {
  const std::vector<JsonName>& names = MessageNames();
  writer->BeginObject();
  for (int i = 0; i < kMessageMemberCount; ++i) {
    const JsonName& name = names[static_cast<size_t>(i)];
    if (i == kMemberQuoteContent) {
      if (!has_quote_) continue;
      writer->Name(name);
      quote_.Write(writer);
    } else if (i == kMemberUrlLinks) {
      if (url_links_.empty()) continue;
      writer->Name(name);
      writer->StringArray(url_links_);
    } else if (members_[i].present()) {
      writer->Name(name);
      members_[i].Write(writer);
    }
  }
  writer->EndObject();
}

}  // namespace kx
