// A generator of the iOS message store (sms.db: chat, handle, message,
// attachment and their join tables) and of the attributed text
// (attributedBody) the phone keeps beside or instead of a message's text.
#ifndef KX_SAMPLES_IOS_MESSAGES_H_
#define KX_SAMPLES_IOS_MESSAGES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first:
//  1  iOS 9: message without destination_caller_id and the columns after
//     it, chat_message_join without message_date, the oldest attachment
//     columns (no is_sticker, hide_attachment or ck_ columns); message.date
//     in seconds since 2001;
//  2  iOS 11: destination_caller_id, chat_message_join.message_date, an
//     attachment with is_sticker, hide_attachment, sticker_user_info,
//     attribution_info and ck_ columns but no sr_ck_ ones; message.date in
//     nanoseconds from here on;
//  3  iOS 16-17: sr_ck_ columns on message and attachment, date_edited,
//     date_retracted, part_count, chat_recoverable_message_join (recently
//     deleted messages), and text often only in attributedBody.
constexpr int kIosMessagesOldestSchema = 1;
constexpr int kIosMessagesNewestSchema = 3;

// The CREATE statements of sms.db (several, separated by ';') for a
// version; the newest for a number out of range.
std::string IosMessagesSql(int schema_version);

// The CREATE statements of sms.db as iOS 6 made it, the first store with
// handles and chats (before the columns of version 1).
std::string IosMessagesSqlOfIos6();

// Where sms.db and its attachments live in a backup.
constexpr char kIosMessagesPath[] = "Library/SMS/sms.db";
constexpr char kIosMediaDomain[] = "MediaDomain";

// Messages one scale unit adds to the sample conversations.
constexpr int kIosMessagesPerScale = 60;

// The size of a generated store. With `chats` 0 the store holds the sample
// conversations (one-to-one SMS and iMessage chats with one person, named
// and unnamed groups, a short code, messages in no chat, group renames,
// attachments of every kind) with kIosMessagesPerScale * scale messages;
// otherwise `chats` conversations of generated people (every tenth a group)
// sharing `messages` messages.
struct IosMessagesShape {
  int chats = 0;
  int64_t messages = 0;
  int attachment_per_mille = 150;  // messages with an attachment
  // Messages of version 3 whose text column is NULL, the words only in
  // attributedBody; earlier versions always fill the text column.
  int body_only_per_mille = 200;
};

// An attachment file the phone keeps for the store: its path in
// MediaDomain ("Library/SMS/Attachments/...") and its bytes.
struct IosAttachmentFile {
  std::string relative_path;
  std::string bytes;
};

// One attribute the phone lays over part of a message's text: bytes
// [begin, end) of the UTF-8 text carry `key` with the text `value` (a
// mention's handle, a link's URL, an attachment's transfer guid).
struct IosTextAttribute {
  size_t begin;
  size_t end;
  std::string key;
  std::string value;
};

constexpr char kIosMentionAttribute[] = "__kIMMentionConfirmedMention";
constexpr char kIosLinkAttribute[] = "__kIMLinkAttributeName";
constexpr char kIosFileTransferAttribute[] = "__kIMFileTransferGUIDAttributeName";

// `text` archived as the phone archives a message's attributed text: an
// NSMutableAttributedString (NSAttributedString with `mutable_string`
// false) in a typedstream, its characters in an NSString (or
// NSMutableString), then the attribute runs, each with its message part
// number (__kIMMessagePartAttributeName; the text after an attachment is the
// next part) and the attributes that cover it.
std::string IosAttributedBody(const std::string& text,
                              const std::vector<IosTextAttribute>& attributes = {},
                              bool mutable_string = true);

// Writes a fresh sms.db at `path` (an existing file is replaced). A message,
// chat, handle and attachment keeps its ROWID and guid in every copy; the
// newer copy has lost roughly one message in eleven (version 3 keeps half of
// those as recently deleted: in chat_recoverable_message_join, out of
// chat_message_join) and a whole chat; the older copy holds those and lacks
// the newest fifth. `files`, when given, receives the attachment files the
// store names. False when the file cannot be written.
bool WriteIosMessages(const std::string& path, const IosSampleOptions& options,
                      const IosMessagesShape& shape = {},
                      std::vector<IosAttachmentFile>* files = nullptr);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_MESSAGES_H_
