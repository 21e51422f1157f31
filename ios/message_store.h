// sms.db as the messages packager reads it. The statements are built from
// the tables and columns this store has: a column another iOS version lacks
// reads as NULL, a missing join leaves out what it would have joined, and
// each such gap is logged once.
#ifndef KX_IOS_MESSAGE_STORE_H_
#define KX_IOS_MESSAGE_STORE_H_

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/row_id_bits.h"
#include "common/sqlite_wrapper.h"
#include "kit/address_book.h"

namespace kx {

// The messages the phone keeps for recovery ("Recently Deleted"), by chat.
class RecoverableMessages {
 public:
  void Add(int64_t chat_id, int64_t message_id);
  // Once all are added: the message ids as bits, when their span allows,
  // answer the look-ups of the many messages that are not recoverable
  // without hashing.
  void IndexMessages();
  bool Has(int64_t chat_id, int64_t message_id) const;
  // In any chat.
  bool Has(int64_t message_id) const;

 private:
  // Looked up once per message read: hashed, not ordered.
  struct PairHash {
    size_t operator()(const std::pair<int64_t, int64_t>& key) const {
      return std::hash<int64_t>()(key.first * 1000003 ^ key.second);
    }
  };
  std::unordered_set<std::pair<int64_t, int64_t>, PairHash> by_chat_;
  std::unordered_set<int64_t> messages_;
  RowIdBits bits_;
};

// What the planning pass keeps of a message in no chat.
struct LooseMessage {
  int64_t row_id = 0;
  int64_t handle_id = 0;  // the sender, or the other party when that is 0
  int64_t date = 0;
  std::string room_names;  // cache_roomnames
};

// Where AllMessages() keeps what: the columns a message object is read
// from, as one in a chat and as one in no chat (each starting with the
// message's ROWID), and what placing a message in no chat reads.
struct MessageColumns {
  std::vector<int> chat_object;
  std::vector<int> loose_object;
  int row_id = 1;
  int handle_id = 2;
  int date = 3;
  int other_handle = -1;
  int room_names = -1;
};

// The newest date of a chat's messages, and whether it has any.
struct ChatSpan {
  int64_t last_date = 0;
  bool has_messages = false;
};

// What the planning pass learns of the messages: the span of every chat
// that has some, by chat id. The messages in no chat are handed over one by
// one as the pass finds them, so that none of them is kept.
struct MessagePlan {
  std::unordered_map<int64_t, ChatSpan> spans;
};

class MessageStore {
 public:
  MessageStore(const SQLite3Wrapper& db, const char* stem);
  MessageStore(const MessageStore&) = delete;
  MessageStore& operator=(const MessageStore&) = delete;

  // Prepares the chat query: 0, or 1106 (logged) when the store has no
  // chats to read. The other statements are prepared on first use.
  int PrepareChats();
  // The chat rows: chat_id, chat_identifier, room_name, display_name,
  // is_deleted.
  SqliteStatement& chats() { return chats_; }

  // The members of a chat, with their address-book names; the one-to-one
  // form leaves out members the phone removed.
  void ReadMembers(int64_t chat_id, bool group, const ContactIndex& contacts, Json::Value* members);
  // One handle as a member; false when the store has no such handle.
  bool ReadHandle(int64_t handle_id, const ContactIndex& contacts, Json::Value* member);

  RecoverableMessages ReadRecoverable();
  // One pass over the messages in the order of the store: the spans of
  // the chats (when `spans`), and each message in no chat to `loose`, which
  // answers false to end the pass early.
  MessagePlan ReadMessagePlan(bool spans, const std::function<bool(const LooseMessage&)>& loose);

  // Every message in the order of the store's ROWIDs: once for each chat
  // it is in, with the chat's id first, or once with a NULL id when it is
  // in none; the columns are those of message_columns(). Null when none can
  // be read.
  SqliteStatement* AllMessages();
  const MessageColumns& message_columns() const { return message_columns_; }

  // The attachments of a message, reset and bound; null when none can be
  // read.
  SqliteStatement* Attachments(int64_t message_id);

  // The attachments of every message, with the message's id first,
  // ordered by it; null when none can be read.
  SqliteStatement* OrderedAttachments();

  // 0, or 1106 when a table that messages or attachments are read through
  // was missing, or its query failed: what could be read is still packaged.
  int incomplete_status() const { return incomplete_status_; }

 private:
  // A statement prepared on first use; a failure is logged once.
  struct Statement {
    std::string sql;  // "" when the store cannot answer it
    SqliteStatement query;
    bool tried = false;
  };
  // The statement reset (and bound to `value`); null when it cannot be
  // prepared.
  SqliteStatement* Prepared(Statement* statement);
  SqliteStatement* Bound(Statement* statement, int64_t value);
  void ReadMember(const SqliteStatement& row, const ContactIndex& contacts, Json::Value* member);
  void LogMissingColumns(const char* table, const std::string& missing);

  const SQLite3Wrapper& db_;
  const char* stem_;
  bool has_recoverable_ = false;
  std::string chats_sql_;
  SqliteStatement chats_;
  Statement group_members_, direct_members_, handle_, plan_;
  Statement all_messages_, attachments_, ordered_attachments_;
  MessageColumns message_columns_;
  int incomplete_status_ = 0;
};

}  // namespace kx

#endif  // KX_IOS_MESSAGE_STORE_H_
