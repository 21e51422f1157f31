// What the WhatsApp readers of both platforms share once a message's row is
// read: the rules that complete a MessageRecord ("universal_type", the send
// status), its side files, and the prepared look-ups the readers use. The
// Android readers (msgstore.db, both layouts) and the iOS reader
// (ChatStorage.sqlite) differ only in how they fill the record; the record
// is written into batch files by ChatBatchWriter in every case, so a chat
// gives message objects with the same members on either platform.
#ifndef KX_KIT_WHATSAPP_MESSAGE_WRITER_H_
#define KX_KIT_WHATSAPP_MESSAGE_WRITER_H_

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "kit/chat_batches.h"
#include "kit/whatsapp_message_record.h"

namespace kx {

// One prepared query reused for every message. A query whose table or
// column is missing is not prepared, and every look-up then finds nothing.
class PointLookup {
 public:
  PointLookup() = default;
  PointLookup(const SQLite3Wrapper& db, const std::string& sql);

  // Resets the statement and clears its bindings; bind, then call Next().
  SqliteStatement& Start();
  // Steps to the next row; false when there is none (or no statement).
  bool Next();
  SqliteStatement& row() { return statement_; }
  bool prepared() const { return statement_.prepared(); }

  bool FindByInteger(int64_t key);

 private:
  SqliteStatement statement_;
};

// "c1, c2 ..." of those of `columns` that the table has; "" when it has
// none of them or is missing.
std::string ExistingColumns(const SQLite3Wrapper& db, const std::string& table,
                            const std::vector<std::string>& columns);

// Column `index` of the current row as raw bytes (text or blob), "" for NULL.
std::string ColumnBytes(const SqliteStatement& statement, int index);
void ColumnBytesInto(const SqliteStatement& statement, int index, std::string* bytes);

// Name text of the side files of a message: the chat's jid followed by the
// message's key id, hashed (FNV-1a, decimal).
std::string MessageFileStem(const std::string& jid, const std::string& key_id);
std::string MessageFileStem(const std::string& jid, const Json::Value& message);

// Writes `bytes` as "<stem><suffix>" for the temp folder and sets `member`
// to its path; nothing when the bytes are empty (see PackageFileWriter for a
// file that cannot be written).
void AttachSideFile(PackageFileWriter* files, const std::string& stem, const char* suffix,
                    const std::string& bytes, const char* member, Json::Value* object);
void AttachSideFile(PackageFileWriter* files, const std::string& stem, const char* suffix,
                    const std::string& bytes, MemberValue* member);

// "universal_type" from "type", "size" and "setting_duration" (unless the
// record has one already); removes "content" where the table says so.
void ClassifyMessageRecord(int64_t view_once_state, MessageRecord* message);

// "send_status" as the package reports it, for a chat of `session_type`.
void NormaliseMessageSendStatus(int session_type, MessageRecord* message);

}  // namespace kx

#endif  // KX_KIT_WHATSAPP_MESSAGE_WRITER_H_
