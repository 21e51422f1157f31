#include "android/whatsapp_messages.h"

#include <unordered_map>
#include <utility>

#include "android/whatsapp_batches.h"
#include "common/json_util.h"
#include "common/result_row.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "common/text.h"

namespace kx {

namespace {

// The messages of one chat. In the stored text the separators after
// "select" and after each comma of the column list are tab runs.
constexpr char kMessageColumns[] =
    "select\t\t_id as row_id,\t\tfrom_me as is_from_me,\t\tstrftime('%m - %d - %Y %H:%M : %S', "
    "substr(timestamp, 1, 10), 'unixepoch', 'localtime') as send_date,\t\tmessage_type as "
    "type,\t\tstatus as send_status,\t\ttext_data as content,\t\tkey_id,\t\t";
constexpr char kActionColumn[] = "ifnull(ms.action_type, 0) as size,\t\tsender_jid_row_id";
constexpr char kNoActionColumn[] = "0 as size,\t\tsender_jid_row_id";
// Read after a merge, never packaged as such.
constexpr char kDeletedColumn[] = ",\t\tm.is_deleted as is_deleted";
constexpr char kFromWithSystem[] =
    " from message m left join message_system ms on m._id = ms.message_row_id where ";
constexpr char kFromWithoutSystem[] = " from message m where ";
constexpr char kChatCondition[] = "chat_row_id = ?";
// Action 19 rows of text type are read first and never close a batch.
constexpr char kSpecialSet[] = " and type = 0  and size=19";
constexpr char kOrdinarySet[] = " and (type != 0  or size !=19)";

constexpr char kJidQuery[] = "select _id,raw_string from jid where raw_string != 'status_me';";
constexpr char kThumbnailQuery[] =
    "select thumbnail from message_thumbnail where message_row_id = ?";
constexpr char kViewOnceQuery[] =
    "select state from message_view_once_media where message_row_id = ?";
constexpr char kEphemeralQuery[] =
    "select setting_duration from message_ephemeral_setting where message_row_id = ?";
constexpr char kLinkQuery[] = "select 1 from message_link where message_row_id = ?";
constexpr char kQuoteQuery[] =
    "select\t\tmessage_type as q_type,\t\tkey_id as q_key_id,\t\tsender_jid_row_id as "
    "quote_sender_row_id,\t\tfrom_me as q_is_from_me,\t\ttext_data as quote_content from "
    "message_quoted where message_row_id = ?";
constexpr char kOriginalMediaQuery[] =
    "select mm.media_duration, mm.media_name from message m join message_media mm on "
    "mm.message_row_id = m._id where m.chat_row_id = ? and m.from_me = ? and m.key_id = ?";
constexpr char kQuotedVcardQuery[] =
    "select vcard from message_quoted_vcard where message_row_id = ?";
constexpr char kQuotedTextThumbnailQuery[] =
    "select thumbnail from message_quoted_text where message_row_id = ?";
constexpr char kQuotedLocationThumbnailQuery[] =
    "select thumbnail from message_quoted_location where message_row_id = ?";
constexpr char kVcardQuery[] = "select vcard from message_vcard where message_row_id = ?";
constexpr char kParticipantsQuery[] =
    "select user_jid_row_id from message_system_chat_participant where message_row_id = ?";
constexpr char kNumberChangeQuery[] =
    "select old_jid_row_id, new_jid_row_id from message_system_number_change where "
    "message_row_id = ?";
constexpr char kValueChangeQuery[] =
    "select old_data from message_system_value_change where message_row_id = ?";
constexpr char kSubgroupQuery[] =
    "select subgroup_subject from message_system_sibling_group_link_change where "
    "message_row_id = ?";
constexpr char kParentGroupQuery[] =
    "select linked_parent_group_name from message_system_group_with_parent where "
    "message_row_id = ?";
constexpr char kHashThumbnailQuery[] =
    "select thumbnail from media_hash_thumbnail where media_hash = ?";

const std::vector<std::string>& MediaColumns() {
  static const std::vector<std::string> columns = {"file_path",      "media_name",    "file_size",
                                                   "media_duration", "media_caption", "file_hash"};
  return columns;
}
const std::vector<std::string>& QuotedMediaColumns() {
  static const std::vector<std::string> columns = {"media_duration", "media_name", "thumbnail"};
  return columns;
}
constexpr char kRowIdCondition[] = "message_row_id = ?";

constexpr char kThumbnailSuffix[] = ".thumb";
constexpr char kVcardSuffix[] = ".vcf";
constexpr char kQuoteThumbnailSuffix[] = "_quote.thumb";
constexpr char kQuoteVcardSuffix[] = "_quote.vcf";

// Message types by their code in the store.
constexpr int64_t kTypeText = 0;
constexpr int64_t kTypeLocation = 5;
constexpr int64_t kTypeSystem = 7;
constexpr int64_t kTypeContact = 4;
constexpr int64_t kTypeContacts = 14;
constexpr int64_t kTypeViewOnceImage = 42;
constexpr int64_t kTypeViewOnceVideo = 43;

bool IsContactCard(int64_t type) { return type == kTypeContact || type == kTypeContacts; }

bool HasMediaMembers(int64_t type) {
  return type != kTypeText && type != kTypeLocation && type != kTypeSystem;
}

// Quote types whose picture the store keeps with the quote.
bool QuoteHasMediaThumbnail(int64_t type) {
  return type == 1 || type == 3 || type == 9 || type == 13 || type == 20 ||
         type == kTypeViewOnceImage || type == kTypeViewOnceVideo;
}

// The media row of one message, read once and used by several steps.
struct MediaRow {
  bool found = false;
  Json::Value columns{Json::objectValue};
};

class NewerLayoutWriter {
 public:
  NewerLayoutWriter(const SQLite3Wrapper& db, const MessageWriterSettings& settings);

  // False when the stop flag was seen.
  bool WriteChat(const std::string& jid, Json::Value* chat);

 private:
  bool ReadMessage(SqliteStatement& query, Json::Value* message);
  void CompleteMessage(const std::string& jid, Json::Value* message);
  void SetSystemDetails(int64_t row_id, Json::Value* message);
  void WriteThumbnail(const std::string& jid, const MediaRow& media, Json::Value* message);
  void AddQuote(const std::string& jid, int64_t chat_row_id, Json::Value* message);
  void SetMediaMembers(const MediaRow& media, Json::Value* message);
  void SetSenderId(const char* row_member, const char* id_member, Json::Value* object) const;
  MediaRow ReadMediaRow(int64_t row_id);
  int64_t ViewOnceState(int64_t row_id);
  std::string JidText(int64_t row_id) const;

  const MessageWriterSettings& settings_;
  std::unordered_map<int64_t, std::string> jids_;
  SqliteStatement special_query_;
  SqliteStatement ordinary_query_;
  int packaged_columns_ = 0;  // columns before is_deleted
  bool has_deleted_column_ = false;
  PointLookup media_, thumbnail_, view_once_, ephemeral_, link_, quote_, quoted_media_,
      original_media_, quoted_vcard_, quoted_text_thumbnail_, quoted_location_thumbnail_, vcard_,
      participants_, number_change_, value_change_, subgroup_, parent_group_, hash_thumbnail_;
  bool has_link_table_ = false;
};

std::unordered_map<int64_t, std::string> LoadJids(const SQLite3Wrapper& db) {
  std::unordered_map<int64_t, std::string> jids;
  SqliteStatement query = PrepareStatement(db, kJidQuery);
  while (query.prepared() && query.Step() == SQLITE_ROW) {
    jids.emplace(query.ColumnInt64(0), query.ColumnText(1));
  }
  return jids;
}

std::string MessageQuery(bool has_system_table, bool has_deleted_column, const char* set) {
  std::string sql = kMessageColumns;
  sql += has_system_table ? kActionColumn : kNoActionColumn;
  if (has_deleted_column) sql += kDeletedColumn;
  sql += has_system_table ? kFromWithSystem : kFromWithoutSystem;
  return sql + kChatCondition + set;
}

NewerLayoutWriter::NewerLayoutWriter(const SQLite3Wrapper& db,
                                     const MessageWriterSettings& settings)
    : settings_(settings), jids_(LoadJids(db)) {
  const bool has_system_table = CheckIsTableExist(db, "message_system");
  has_deleted_column_ = ColumnExists(db, "message", "is_deleted");
  special_query_ =
      PrepareStatement(db, MessageQuery(has_system_table, has_deleted_column_, kSpecialSet));
  ordinary_query_ =
      PrepareStatement(db, MessageQuery(has_system_table, has_deleted_column_, kOrdinarySet));
  packaged_columns_ = ordinary_query_.ColumnCount() - (has_deleted_column_ ? 1 : 0);

  media_ =
      PointLookup(db, SelectExistingColumns(db, "message_media", MediaColumns(), kRowIdCondition));
  thumbnail_ = PointLookup(db, kThumbnailQuery);
  view_once_ = PointLookup(db, kViewOnceQuery);
  ephemeral_ = PointLookup(db, kEphemeralQuery);
  has_link_table_ = CheckIsTableExist(db, "message_link");
  link_ = PointLookup(db, kLinkQuery);
  quote_ = PointLookup(db, kQuoteQuery);
  quoted_media_ = PointLookup(
      db, SelectExistingColumns(db, "message_quoted_media", QuotedMediaColumns(), kRowIdCondition));
  original_media_ = PointLookup(db, kOriginalMediaQuery);
  quoted_vcard_ = PointLookup(db, kQuotedVcardQuery);
  quoted_text_thumbnail_ = PointLookup(db, kQuotedTextThumbnailQuery);
  quoted_location_thumbnail_ = PointLookup(db, kQuotedLocationThumbnailQuery);
  vcard_ = PointLookup(db, kVcardQuery);
  participants_ = PointLookup(db, kParticipantsQuery);
  number_change_ = PointLookup(db, kNumberChangeQuery);
  value_change_ = PointLookup(db, kValueChangeQuery);
  subgroup_ = PointLookup(db, kSubgroupQuery);
  parent_group_ = PointLookup(db, kParentGroupQuery);
  hash_thumbnail_ = PointLookup(db, kHashThumbnailQuery);
}

std::string NewerLayoutWriter::JidText(int64_t row_id) const {
  const auto found = jids_.find(row_id);
  return found == jids_.end() ? std::string() : found->second;
}

bool NewerLayoutWriter::ReadMessage(SqliteStatement& query, Json::Value* message) {
  for (int column = 0; column < packaged_columns_; ++column) {
    if (MessageStopRequested(settings_.stop)) return false;
    ReadColumnIntoJson(query, column, message);
  }
  if (has_deleted_column_ && query.ColumnInt64(packaged_columns_) != 0) {
    (*message)["tag"] = "deleted";
  }
  return true;
}

void NewerLayoutWriter::SetSenderId(const char* row_member, const char* id_member,
                                    Json::Value* object) const {
  if (!object->isMember(row_member)) return;
  (*object)[id_member] = JidText(MemberAsInteger(*object, row_member));
}

MediaRow NewerLayoutWriter::ReadMediaRow(int64_t row_id) {
  MediaRow media;
  if (!media_.FindByInteger(row_id)) return media;
  media.found = true;
  SqliteStatement& row = media_.row();
  for (int column = 0; column < row.ColumnCount(); ++column) {
    ReadColumnIntoJson(row, column, &media.columns);
  }
  return media;
}

int64_t NewerLayoutWriter::ViewOnceState(int64_t row_id) {
  return view_once_.FindByInteger(row_id) ? view_once_.row().ColumnInt64(0) : 0;
}

// The completion step: particulars of system messages (the disappearing
// setting among them) and the contact cards of a contact message. The
// thumbnail of media other than text, system messages and contact lists is
// completed in WriteThumbnail.
void NewerLayoutWriter::CompleteMessage(const std::string& jid, Json::Value* message) {
  const int64_t row_id = MemberAsInteger(*message, "row_id");
  const int64_t type = MemberAsInteger(*message, "type");
  if (IsSystemMessage(type, MemberAsInteger(*message, "size"))) {
    if (ephemeral_.FindByInteger(row_id)) {
      (*message)["setting_duration"] = Json::Int64(ephemeral_.row().ColumnInt64(0));
    }
    SetSystemInfo(message);
    SetSystemDetails(row_id, message);
  }
  if (IsContactCard(type) && vcard_.prepared()) {
    std::string cards;
    vcard_.Start().BindInt64(1, row_id);
    while (vcard_.Next()) cards += ColumnBytes(vcard_.row(), 0) + "\n";
    AttachSideFile(settings_.temp_folder, MessageFileStem(jid, *message), kVcardSuffix, cards,
                   "vCard_file", message);
  }
}

// "sys_info" holds the particulars the store keeps for the event: the
// participants it concerns, the old and new number, or the old value.
void NewerLayoutWriter::SetSystemDetails(int64_t row_id, Json::Value* message) {
  std::string participants;
  if (participants_.prepared()) {
    participants_.Start().BindInt64(1, row_id);
    while (participants_.Next()) {
      if (!participants.empty()) participants += ", ";
      participants += JidText(participants_.row().ColumnInt64(0));
    }
  }
  if (!participants.empty()) {
    (*message)["sys_info"] = participants;
  } else if (number_change_.FindByInteger(row_id)) {
    (*message)["sys_info"] = JidText(number_change_.row().ColumnInt64(0)) + " -> " +
                             JidText(number_change_.row().ColumnInt64(1));
  } else if (value_change_.FindByInteger(row_id)) {
    const std::string old_value = value_change_.row().ColumnText(0);
    if (!old_value.empty()) (*message)["sys_info"] = old_value;
  }
  if (subgroup_.FindByInteger(row_id)) {
    (*message)["subgroup_subject"] = subgroup_.row().ColumnText(0);
  }
  if (parent_group_.FindByInteger(row_id)) {
    (*message)["parent_group_name"] = parent_group_.row().ColumnText(0);
  }
}

// The thumbnail the store keeps for the message; for media other than text,
// system messages and contact lists, the one it keeps by the file's hash
// when there is none of its own.
void NewerLayoutWriter::WriteThumbnail(const std::string& jid, const MediaRow& media,
                                       Json::Value* message) {
  std::string bytes;
  if (thumbnail_.FindByInteger(MemberAsInteger(*message, "row_id"))) {
    bytes = ColumnBytes(thumbnail_.row(), 0);
  }
  const int64_t type = MemberAsInteger(*message, "type");
  if (bytes.empty() && media.found && type != kTypeText && type != kTypeSystem &&
      type != kTypeContacts && media.columns.isMember("file_hash") && hash_thumbnail_.prepared()) {
    hash_thumbnail_.Start().BindText(1, media.columns["file_hash"].asString());
    if (hash_thumbnail_.Next()) bytes = ColumnBytes(hash_thumbnail_.row(), 0);
  }
  AttachSideFile(settings_.temp_folder, MessageFileStem(jid, *message), kThumbnailSuffix, bytes,
                 "thumbnail_file", message);
}

void NewerLayoutWriter::AddQuote(const std::string& jid, int64_t chat_row_id,
                                 Json::Value* message) {
  const int64_t row_id = MemberAsInteger(*message, "row_id");
  if (!quote_.FindByInteger(row_id)) return;
  Json::Value quote(Json::objectValue);
  for (int column = 0; column < quote_.row().ColumnCount(); ++column) {
    ReadColumnIntoJson(quote_.row(), column, &quote);
  }
  const int64_t quote_type = MemberAsInteger(quote, "q_type");
  std::string thumbnail;
  // The quote's own copy of the media row first: it outlives the original.
  if (quoted_media_.FindByInteger(row_id)) {
    SqliteStatement& row = quoted_media_.row();
    for (int column = 0; column < row.ColumnCount(); ++column) {
      const std::string name = row.ColumnName(column);
      if (name == "media_duration" && row.ColumnType(column) == SQLITE_INTEGER) {
        quote["q_media_duration"] = Json::Int64(row.ColumnInt64(column));
      } else if (name == "media_name" && !row.ColumnText(column).empty()) {
        quote["q_media_name"] = row.ColumnText(column);
      } else if (name == "thumbnail" && QuoteHasMediaThumbnail(quote_type)) {
        thumbnail = ColumnBytes(row, column);
      }
    }
  } else if (original_media_.prepared() && quote.isMember("q_key_id")) {
    SqliteStatement& query = original_media_.Start();
    query.BindInt64(1, chat_row_id);
    query.BindInt64(2, MemberAsInteger(quote, "q_is_from_me"));
    query.BindText(3, quote["q_key_id"].asString());
    if (original_media_.Next()) {
      if (query.ColumnType(0) == SQLITE_INTEGER) {
        quote["q_media_duration"] = Json::Int64(query.ColumnInt64(0));
      }
      if (!query.ColumnText(1).empty()) quote["q_media_name"] = query.ColumnText(1);
    }
  }
  SetSenderId("quote_sender_row_id", "quote_sender_id", &quote);
  const std::string stem = MessageFileStem(jid, *message);
  if (IsContactCard(quote_type) && quoted_vcard_.prepared()) {
    std::string cards;
    quoted_vcard_.Start().BindInt64(1, row_id);
    while (quoted_vcard_.Next()) cards += ColumnBytes(quoted_vcard_.row(), 0) + "\n";
    AttachSideFile(settings_.temp_folder, stem, kQuoteVcardSuffix, cards, "vCard_file", &quote);
  }
  if (thumbnail.empty() && quote_type == kTypeText &&
      quoted_text_thumbnail_.FindByInteger(row_id)) {
    thumbnail = ColumnBytes(quoted_text_thumbnail_.row(), 0);
  }
  if (thumbnail.empty() && quote_type == kTypeLocation &&
      quoted_location_thumbnail_.FindByInteger(row_id)) {
    thumbnail = ColumnBytes(quoted_location_thumbnail_.row(), 0);
  }
  AttachSideFile(settings_.temp_folder, stem, kQuoteThumbnailSuffix, thumbnail, "thumbnail_file",
                 &quote);
  (*message)["quote_content"] = std::move(quote);
}

void NewerLayoutWriter::SetMediaMembers(const MediaRow& media, Json::Value* message) {
  if (!media.found) return;
  const Json::Value& columns = media.columns;
  std::string stored_path = columns.get("file_path", "").asString();
  if (stored_path.empty()) stored_path = columns.get("media_name", "").asString();
  SetMediaPath(stored_path, WhatsAppMediaFolders(), message);
  if (columns.isMember("file_path")) (*message)["media_relative_path"] = columns["file_path"];
  if (columns.isMember("file_size") && columns["file_size"].isIntegral()) {
    (*message)["size"] = Json::UInt64(columns["file_size"].asInt64());
  }
  if (columns.isMember("media_duration")) (*message)["media_duration"] = columns["media_duration"];
  if (columns.isMember("media_name")) (*message)["media_name"] = columns["media_name"];
  if (columns.isMember("media_caption")) (*message)["media_caption"] = columns["media_caption"];
}

bool NewerLayoutWriter::WriteChat(const std::string& jid, Json::Value* chat) {
  (*chat)["msg_file_list"] = EmptyJsonArray();
  if (!chat->isMember("chat_row_id") || !ordinary_query_.prepared()) return true;
  const int64_t chat_row_id = MemberAsInteger(*chat, "chat_row_id");
  const int session_type = static_cast<int>(MemberAsInteger(*chat, "session_type"));
  ChatBatchWriter batches(settings_.temp_folder, jid, &(*chat)["msg_file_list"]);

  if (special_query_.prepared()) {
    special_query_.Reset();
    special_query_.BindInt64(1, chat_row_id);
  }
  while (special_query_.prepared() && special_query_.Step() == SQLITE_ROW) {
    Json::Value message(Json::objectValue);
    if (!ReadMessage(special_query_, &message)) return false;
    SetUniversalType(0, &message);
    NormaliseSendStatus(session_type, &message);
    SetSenderId("sender_jid_row_id", "sender_id", &message);
    message.removeMember("sender_jid_row_id");
    batches.AddSpecial(std::move(message));
  }

  ordinary_query_.Reset();
  ordinary_query_.BindInt64(1, chat_row_id);
  while (ordinary_query_.Step() == SQLITE_ROW) {
    Json::Value message(Json::objectValue);
    if (!ReadMessage(ordinary_query_, &message)) return false;
    const int64_t row_id = MemberAsInteger(message, "row_id");
    const int64_t type = MemberAsInteger(message, "type");
    const MediaRow media = HasMediaMembers(type) ? ReadMediaRow(row_id) : MediaRow();
    CompleteMessage(jid, &message);
    const bool view_once = type == kTypeViewOnceImage || type == kTypeViewOnceVideo;
    SetUniversalType(view_once ? ViewOnceState(row_id) : 0, &message);
    NormaliseSendStatus(session_type, &message);
    WriteThumbnail(jid, media, &message);
    AddQuote(jid, chat_row_id, &message);
    SetMediaMembers(media, &message);
    if (message.isMember("content")) {
      SetUrlLinks(!has_link_table_ || link_.FindByInteger(row_id), &message);
    }
    SetSenderId("sender_jid_row_id", "sender_id", &message);
    message.removeMember("sender_jid_row_id");
    batches.AddOrdinary(std::move(message));
  }
  batches.Finish();
  return true;
}

}  // namespace

bool MessageStopRequested(const std::atomic<int>* stop) {
  return stop != nullptr && stop->load() == kStopRequested;
}

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

std::string SelectExistingColumns(const SQLite3Wrapper& db, const std::string& table,
                                  const std::vector<std::string>& columns,
                                  const std::string& where) {
  if (!CheckIsTableExist(db, table)) return std::string();
  std::string list;
  for (const std::string& column : columns) {
    if (!ColumnExists(db, table, column)) continue;
    list += list.empty() ? column : ", " + column;
  }
  if (list.empty()) return std::string();
  return "select " + list + " from " + table + " where " + where;
}

std::string ColumnBytes(SqliteStatement& statement, int index) {
  switch (statement.ColumnType(index)) {
    case SQLITE_BLOB: {
      const std::vector<uint8_t> blob = statement.ColumnBlob(index);
      return std::string(blob.begin(), blob.end());
    }
    case SQLITE_NULL:
      return std::string();
    default:
      return statement.ColumnText(index);
  }
}

std::string MessageFileStem(const std::string& jid, const Json::Value& message) {
  const std::string key_id = message.isMember("key_id") ? message["key_id"].asString() : "";
  return Fnv1a64Decimal(jid + key_id);
}

void AttachSideFile(const std::string& temp_folder, const std::string& stem, const char* suffix,
                    const std::string& bytes, const char* member, Json::Value* object) {
  const std::string path = WriteSideFile(temp_folder, stem + suffix, bytes);
  if (!path.empty()) (*object)[member] = path;
}

void SetUrlLinks(bool has_link_row, Json::Value* message) {
  if (!has_link_row || !(*message)["content"].isString()) return;
  const std::vector<std::string> links = FindUrlLinks((*message)["content"].asString());
  if (links.empty()) return;
  Json::Value list(Json::arrayValue);
  for (const std::string& link : links) list.append(link);
  (*message)["url_links"] = std::move(list);
}

void SetSystemInfo(Json::Value* message) {
  const char* text = SystemEventText(MemberAsInteger(*message, "size"));
  if (text != nullptr) (*message)["system_info"] = text;
}

std::string SetMediaPath(const std::string& stored_path, const MediaFolders& folders,
                         Json::Value* message) {
  const std::string relative =
      MediaRelativePath(MemberAsInteger(*message, "type"),
                        MemberAsInteger(*message, "is_from_me") == 1, stored_path, folders);
  if (!relative.empty()) (*message)["media_path"] = folders.storage_root + relative;
  return relative;
}

bool WriteNewerLayoutMessages(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                              WhatsAppChatMap* chats) {
  NewerLayoutWriter writer(db, settings);
  for (auto& entry : *chats) {
    if (MessageStopRequested(settings.stop)) return false;
    if (!writer.WriteChat(entry.first, &entry.second)) return false;
  }
  return true;
}

}  // namespace kx
