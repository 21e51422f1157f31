// A message object of the newer layout held as fixed members rather than a
// Json::Value tree: the columns and rules fill it, JsonBufferWriter writes it
// with the text WriteJson would give the equivalent tree. One record is
// reused for every message, so a message costs no allocation once the
// buffers have grown.
#ifndef KX_KIT_WHATSAPP_MESSAGE_RECORD_H_
#define KX_KIT_WHATSAPP_MESSAGE_RECORD_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/json_text_writer.h"
#include "common/sqlite_wrapper.h"

namespace kx {

// One scalar member, of the kinds a Json::Value of the package holds.
class MemberValue {
 public:
  enum class Kind : uint8_t { kAbsent, kInteger, kUnsigned, kReal, kText };

  void Clear() { kind_ = Kind::kAbsent; }
  void SetInteger(int64_t value);
  void SetUnsigned(uint64_t value);
  void SetReal(double value);
  void SetText(std::string_view value);

  // The rule of ReadColumnValue: an integer, a real or a non-empty text;
  // NULL, a blob or an empty text leave the member absent.
  void ReadColumn(const SqliteStatement& statement, int index);

  Kind kind() const { return kind_; }
  bool present() const { return kind_ != Kind::kAbsent; }
  bool is_text() const { return kind_ == Kind::kText; }
  // The text of a kText member.
  const std::string& text() const { return text_; }

  // MemberAsInteger of the equivalent Json::Value (0 when absent).
  int64_t AsInteger() const;
  // Json::Value::asString of the equivalent value ("" when absent).
  std::string AsString() const;
  // Json::Value::isIntegral of the equivalent value.
  bool IsIntegral() const;

  // The value; the member must be present.
  void Write(JsonBufferWriter* writer) const;

 private:
  Kind kind_ = Kind::kAbsent;
  int64_t integer_ = 0;
  uint64_t unsigned_ = 0;
  double real_ = 0.0;
  std::string text_;
};

// Members of the quote object ("quote_content"), in byte order of their
// names: the order the object is written in.
enum QuoteMember : int {
  kQuoteIsFromMe,
  kQuoteKeyId,
  kQuoteMediaDuration,
  kQuoteMediaName,
  kQuoteType,
  kQuoteText,
  kQuoteSenderId,
  kQuoteSenderRowId,
  kQuoteThumbnailFile,
  kQuoteVcardFile,
  kQuoteMemberCount
};
inline constexpr std::string_view kQuoteMemberNames[kQuoteMemberCount] = {
    "q_is_from_me",  "q_key_id",        "q_media_duration",    "q_media_name",   "q_type",
    "quote_content", "quote_sender_id", "quote_sender_row_id", "thumbnail_file", "vCard_file",
};

// Members of a message object, in byte order of their names. "quote_content"
// and "url_links" are held apart (an object and an array of strings).
enum MessageMember : int {
  kMemberContent,
  kMemberIsFromMe,
  kMemberKeyId,
  kMemberMediaCaption,
  kMemberMediaDuration,
  kMemberMediaName,
  kMemberMediaPath,
  kMemberMediaRelativePath,
  kMemberParentGroupName,
  kMemberQuoteContent,
  kMemberRowId,
  kMemberSendDate,
  kMemberSendStatus,
  kMemberSenderId,
  kMemberSettingDuration,
  kMemberSize,
  kMemberSubgroupSubject,
  kMemberSysInfo,
  kMemberSystemInfo,
  kMemberTag,
  kMemberThumbnailFile,
  kMemberType,
  kMemberUniversalType,
  kMemberUrlLinks,
  kMemberVcardFile,
  kMessageMemberCount
};
inline constexpr std::string_view kMessageMemberNames[kMessageMemberCount] = {
    "content",           "is_from_me",    "key_id",           "media_caption",
    "media_duration",    "media_name",    "media_path",       "media_relative_path",
    "parent_group_name", "quote_content", "row_id",           "send_date",
    "send_status",       "sender_id",     "setting_duration", "size",
    "subgroup_subject",  "sys_info",      "system_info",      "tag",
    "thumbnail_file",    "type",          "universal_type",   "url_links",
    "vCard_file",
};

// The member a column of that name fills; -1 for a name that is none.
int MessageMemberByName(std::string_view name);
int QuoteMemberByName(std::string_view name);

class QuoteRecord {
 public:
  void Clear();
  MemberValue& operator[](QuoteMember member) { return members_[member]; }
  const MemberValue& operator[](QuoteMember member) const { return members_[member]; }
  void Write(JsonBufferWriter* writer) const;

 private:
  std::array<MemberValue, kQuoteMemberCount> members_;
};

class MessageRecord {
 public:
  // Forgets every member; keeps the buffers.
  void Clear();
  MemberValue& operator[](MessageMember member) { return members_[member]; }
  const MemberValue& operator[](MessageMember member) const { return members_[member]; }

  // "quote_content": present once StartQuote was called.
  QuoteRecord* StartQuote();
  bool has_quote() const { return has_quote_; }
  // "url_links": present when the list is not empty.
  std::vector<std::string>* url_links() { return &url_links_; }

  // The message as one object of `writer`.
  void Write(JsonBufferWriter* writer) const;

 private:
  std::array<MemberValue, kMessageMemberCount> members_;
  bool has_quote_ = false;
  QuoteRecord quote_;
  std::vector<std::string> url_links_;
};

}  // namespace kx

#endif  // KX_KIT_WHATSAPP_MESSAGE_RECORD_H_
