#include "kit/whatsapp_message_writer.h"

#include "common/table_schema.h"
#include "common/text.h"
#include "kit/whatsapp_rules.h"

namespace kx {

PointLookup::PointLookup(const SQLite3Wrapper& db, const std::string& sql) {
  if (!sql.empty()) statement_ = PrepareStatement(db, sql);
}

SqliteStatement& PointLookup::Start() {
  if (statement_.prepared()) {
    statement_.Reset();
    sqlite3_clear_bindings(statement_.handle());
  }
  return statement_;
}

bool PointLookup::Next() { return statement_.prepared() && statement_.Step() == SQLITE_ROW; }

bool PointLookup::FindByInteger(int64_t key) {
  if (!statement_.prepared()) return false;
  Start().BindInt64(1, key);
  return Next();
}

std::string ExistingColumns(const SQLite3Wrapper& db, const std::string& table,
                            const std::vector<std::string>& columns) {
  if (!CheckIsTableExist(db, table)) return std::string();
  std::string list;
  for (const std::string& column : columns) {
    if (!ColumnExists(db, table, column)) continue;
    list += list.empty() ? column : ", " + column;
  }
  return list;
}

std::string ColumnBytes(const SqliteStatement& statement, int index) {
  std::string bytes;
  ColumnBytesInto(statement, index, &bytes);
  return bytes;
}

void ColumnBytesInto(const SqliteStatement& statement, int index, std::string* bytes) {
  bytes->clear();
  sqlite3_stmt* handle = statement.handle();
  if (handle == nullptr) return;
  const void* data = nullptr;
  switch (sqlite3_column_type(handle, index)) {
    case SQLITE_NULL:
      return;
    case SQLITE_BLOB:
      data = sqlite3_column_blob(handle, index);
      break;
    default:
      data = sqlite3_column_text(handle, index);
      break;
  }
  const int length = sqlite3_column_bytes(handle, index);
  if (data != nullptr && length > 0) {
    bytes->assign(static_cast<const char*>(data), static_cast<size_t>(length));
  }
}

std::string MessageFileStem(const std::string& jid, const std::string& key_id) {
  return Fnv1a64Decimal(jid + key_id);
}

std::string MessageFileStem(const std::string& jid, const Json::Value& message) {
  return MessageFileStem(jid, message.isMember("key_id") ? message["key_id"].asString() : "");
}

void AttachSideFile(PackageFileWriter* files, const std::string& stem, const char* suffix,
                    const std::string& bytes, const char* member, Json::Value* object) {
  if (bytes.empty()) return;
  const std::string path = files->AddSideFile(stem + suffix, bytes);
  if (!path.empty()) (*object)[member] = path;
}

void AttachSideFile(PackageFileWriter* files, const std::string& stem, const char* suffix,
                    const std::string& bytes, MemberValue* member) {
  if (bytes.empty()) return;
  const std::string path = files->AddSideFile(stem + suffix, bytes);
  if (!path.empty()) member->SetText(path);
}

void ClassifyMessageRecord(int64_t view_once_state, MessageRecord* message) {
  MessageRecord& m = *message;
  if (m[kMemberUniversalType].present()) return;
  UniversalTypeInput input;
  input.message_type = m[kMemberType].AsInteger();
  input.action_type = m[kMemberSize].AsInteger();
  input.has_setting_duration = m[kMemberSettingDuration].present();
  input.setting_duration = m[kMemberSettingDuration].AsInteger();
  input.view_once_state = view_once_state;
  const UniversalType type = ClassifyMessage(input);
  m[kMemberUniversalType].SetUnsigned(type.value);
  if (type.remove_content) m[kMemberContent].Clear();
}

void NormaliseMessageSendStatus(int session_type, MessageRecord* message) {
  MessageRecord& m = *message;
  uint64_t normalised = 0;
  if (NormalisedSendStatus(session_type, m[kMemberSendStatus].AsInteger(),
                           m[kMemberType].AsInteger(), m[kMemberIsFromMe].AsInteger(),
                           &normalised)) {
    m[kMemberSendStatus].SetUnsigned(normalised);
  }
}

}  // namespace kx
