// The messages of the older layout of the message store: one table
// `messages` keyed by the chat's jid, quotes in `messages_quotes`, thumbnails
// in `message_thumbnails` or in the row's own `raw_data`.
//
// The rows become message objects with the members of the newer layout:
//   - a caption (media_caption) is also the message's "content", as the newer
//     layout keeps it in the text;
//   - text, location, system and contact-card rows lose the media columns
//     (media_name, media_duration, media_caption), which the newer layout
//     takes from a media row that such messages do not have;
//   - "sender_id" is "" in chats with one other party (the newer layout's
//     sender row 0), the sender's jid in groups;
//   - a contact card kept in `data` goes to "vCard_file" and leaves "content";
//   - media paths are built from `media_name`, the only path this layout
//     keeps, and "media_relative_path" is that path below the storage root;
//   - "sys_info" of a system message is its `data`, where this layout keeps
//     the particulars of the event;
//   - the quote object has the members of the newer one except
//     "quote_sender_row_id" (this layout has no jid table) and adds
//     "q_is_deleted" = 1 for a quote that only an older copy held.
// `thumb_image` (a serialised Java object naming the file) is not read.
#include <utility>

#include "android/whatsapp_messages.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/local_date.h"
#include "common/result_row.h"
#include "common/table_schema.h"
#include "kit/chat_batches.h"

namespace kx {

namespace {

struct LegacyColumn {
  const char* expression;  // as the query selects it; null for the send date
  const char* source;      // the column it needs; null when always present
  const char* alias;       // the name it takes when its column is missing
};

// In the stored text the separators after "select" and after each comma of
// the column list are tab runs. The last five are read, not packaged.
constexpr LegacyColumn kLegacyColumns[] = {
    {"_id as row_id", nullptr, nullptr},
    {"remote_resource as sender_id", "remote_resource", "sender_id"},
    {"key_from_me as is_from_me", nullptr, nullptr},
    {nullptr, nullptr, nullptr},  // send_date: LocalDateSql of timestamp
    {"media_wa_type as type", nullptr, nullptr},
    {"status as send_status", nullptr, nullptr},
    {"data as content", nullptr, nullptr},
    {"media_name", "media_name", "media_name"},
    {"media_size as size", "media_size", "size"},
    {"media_duration", "media_duration", "media_duration"},
    {"media_caption", "media_caption", "media_caption"},
    {"is_deleted", "is_deleted", "is_deleted"},
    {"raw_data", "raw_data", "raw_data"},
    {"thumb_image", "thumb_image", "thumb_image"},
    {"key_id", nullptr, nullptr},
    {"quoted_row_id", "quoted_row_id", "quoted_row_id"},
};
constexpr int kLegacyColumnCount = sizeof(kLegacyColumns) / sizeof(kLegacyColumns[0]);
constexpr int kReadOnlyColumns = 5;
constexpr int kIsDeletedIndex = kLegacyColumnCount - 5;
constexpr int kRawDataIndex = kLegacyColumnCount - 4;
constexpr int kKeyIdIndex = kLegacyColumnCount - 2;
constexpr int kQuotedRowIdIndex = kLegacyColumnCount - 1;

constexpr char kOrdinaryRows[] =
    " from messages where key_remote_jid = ? and (type !=0  or size !=19) order by "
    "timestamp,rowid";
constexpr char kSpecialRows[] =
    " from messages where key_remote_jid = ? and media_wa_type=0  and media_size=19 order by "
    "timestamp,rowid";

// One thumbnail per message, looked up by its key (the table's unique
// index) rather than loaded per chat, so a long chat costs no memory.
constexpr char kThumbnailQuery[] =
    "select thumbnail from message_thumbnails where key_remote_jid = ? and key_from_me = ? and "
    "key_id = ?";
constexpr char kQuoteQuery[] =
    "select\t\tmedia_wa_type as q_type,\t\tkey_id as q_key_id,\t\tkey_from_me as "
    "q_is_from_me,\t\tdata as quote_content,\t\tremote_resource as quote_sender_id,\t\t"
    "media_duration as q_media_duration,\t\tmedia_name as q_media_name,\t\traw_data";
constexpr char kQuoteDeleted[] = ",\t\tis_deleted";
constexpr char kQuoteFrom[] = " from messages_quotes where _id = ?";
constexpr char kLinkQuery[] = "select 1 from messages_links where message_row_id = ?";
constexpr char kVcardQuery[] = "select vcard from messages_vcards where message_row_id = ?";
constexpr char kViewOnceQuery[] =
    "select state from message_view_once_media where message_row_id = ?";
constexpr char kEphemeralQuery[] =
    "select setting_duration from message_ephemeral_setting where message_row_id = ?";

constexpr char kVcardMarker[] = "BEGIN:VCARD";
using whatsapp::HasMediaMembers;
using whatsapp::IsContactCard;
using whatsapp::kQuoteThumbnailSuffix;
using whatsapp::kQuoteVcardSuffix;
using whatsapp::kThumbnailSuffix;
using whatsapp::kTypeContact;
using whatsapp::kTypeContacts;
using whatsapp::kTypeLocation;
using whatsapp::kTypeSystem;
using whatsapp::kTypeText;
using whatsapp::kVcardSuffix;
bool HasPicture(int64_t type) {
  return type != kTypeText && type != kTypeSystem && !IsContactCard(type);
}

std::string LegacyColumnList(const SQLite3Wrapper& db) {
  std::string list = "select\t\t";
  for (int i = 0; i < kLegacyColumnCount; ++i) {
    const LegacyColumn& column = kLegacyColumns[i];
    if (i > 0) list += ",\t\t";
    if (column.expression == nullptr) {
      list += LocalDateSql("timestamp") + " as send_date";
    } else if (column.source == nullptr || ColumnExists(db, "messages", column.source)) {
      list += column.expression;
    } else {
      list += std::string("NULL as ") + column.alias;
    }
  }
  return list;
}

class OlderLayoutWriter {
 public:
  OlderLayoutWriter(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                    PackageFileWriter* files);
  bool WriteChat(const std::string& jid, Json::Value* chat);

 private:
  bool ReadMessage(SqliteStatement& query, int session_type, Json::Value* message);
  void CompleteMessage(const std::string& jid, Json::Value* message);
  void WriteThumbnail(const std::string& jid, SqliteStatement& query, Json::Value* message);
  void AddQuote(const std::string& jid, int64_t quoted_row_id, Json::Value* message);

  const MessageWriterSettings& settings_;
  PackageFileWriter* files_;
  SqliteStatement special_query_;
  SqliteStatement ordinary_query_;
  PointLookup thumbnail_, quote_, link_, vcard_, view_once_, ephemeral_;
  bool has_link_table_ = false;
};

OlderLayoutWriter::OlderLayoutWriter(const SQLite3Wrapper& db,
                                     const MessageWriterSettings& settings,
                                     PackageFileWriter* files)
    : settings_(settings), files_(files) {
  const std::string columns = LegacyColumnList(db);
  special_query_ = PrepareStatement(db, columns + kSpecialRows);
  ordinary_query_ = PrepareStatement(db, columns + kOrdinaryRows);
  thumbnail_ = PointLookup(db, kThumbnailQuery);
  const bool quotes_deleted = ColumnExists(db, "messages_quotes", "is_deleted");
  quote_ = PointLookup(
      db, std::string(kQuoteQuery) + (quotes_deleted ? kQuoteDeleted : "") + kQuoteFrom);
  has_link_table_ = CheckIsTableExist(db, "messages_links");
  link_ = PointLookup(db, kLinkQuery);
  vcard_ = PointLookup(db, kVcardQuery);
  view_once_ = PointLookup(db, kViewOnceQuery);
  ephemeral_ = PointLookup(db, kEphemeralQuery);
}

bool OlderLayoutWriter::ReadMessage(SqliteStatement& query, int session_type,
                                    Json::Value* message) {
  for (int column = 0; column < kLegacyColumnCount - kReadOnlyColumns; ++column) {
    if (StopRequested(settings_.stop)) return false;
    ReadColumnIntoJson(query, column, message);
  }
  NormaliseSendStatus(session_type, message);
  if (query.ColumnInt64(kIsDeletedIndex) != 0) (*message)["tag"] = "deleted";
  if (query.ColumnType(kKeyIdIndex) != SQLITE_NULL) {
    (*message)["key_id"] = query.ColumnText(kKeyIdIndex);
  }
  return true;
}

void OlderLayoutWriter::WriteThumbnail(const std::string& jid, SqliteStatement& query,
                                       Json::Value* message) {
  std::string bytes;
  if (thumbnail_.prepared()) {
    SqliteStatement& lookup = thumbnail_.Start();
    lookup.BindText(1, jid);
    lookup.BindInt64(2, MemberAsInteger(*message, "is_from_me"));
    lookup.BindText(3, query.ColumnText(kKeyIdIndex));
    if (thumbnail_.Next()) bytes = ColumnBytes(lookup, 0);
  }
  if (bytes.empty() && HasPicture(MemberAsInteger(*message, "type")) &&
      query.ColumnType(kRawDataIndex) == SQLITE_BLOB) {
    bytes = ColumnBytes(query, kRawDataIndex);
  }
  AttachSideFile(files_, MessageFileStem(jid, *message), kThumbnailSuffix, bytes, "thumbnail_file",
                 message);
}

void OlderLayoutWriter::CompleteMessage(const std::string& jid, Json::Value* message) {
  const int64_t row_id = MemberAsInteger(*message, "row_id");
  const int64_t type = MemberAsInteger(*message, "type");
  if (!message->isMember("sender_id")) (*message)["sender_id"] = "";
  if (!message->isMember("content") && message->isMember("media_caption")) {
    (*message)["content"] = (*message)["media_caption"];
  }
  if (!HasMediaMembers(type) || IsContactCard(type)) {
    for (const char* member : {"media_name", "media_duration", "media_caption"}) {
      message->removeMember(member);
    }
  }
  if (IsSystemMessage(type, MemberAsInteger(*message, "size"))) {
    if (ephemeral_.FindByInteger(row_id)) {
      (*message)["setting_duration"] = Json::Int64(ephemeral_.row().ColumnInt64(0));
    }
    SetSystemInfo(message);
    if (message->isMember("content")) (*message)["sys_info"] = (*message)["content"];
  }
  if (IsContactCard(type)) {
    std::string cards;
    if (vcard_.prepared()) {
      vcard_.Start().BindInt64(1, row_id);
      while (vcard_.Next()) cards += ColumnBytes(vcard_.row(), 0) + "\n";
    }
    const std::string content = message->get("content", "").asString();
    if (content.rfind(kVcardMarker, 0) == 0) {
      if (cards.empty()) cards = content + "\n";
      message->removeMember("content");
    }
    AttachSideFile(files_, MessageFileStem(jid, *message), kVcardSuffix, cards, "vCard_file",
                   message);
  }
}

void OlderLayoutWriter::AddQuote(const std::string& jid, int64_t quoted_row_id,
                                 Json::Value* message) {
  if (quoted_row_id == 0 || !quote_.FindByInteger(quoted_row_id)) return;
  SqliteStatement& row = quote_.row();
  Json::Value quote(Json::objectValue);
  std::string picture;
  for (int column = 0; column < row.ColumnCount(); ++column) {
    const std::string name = row.ColumnName(column);
    if (name == "raw_data") {
      if (row.ColumnType(column) == SQLITE_BLOB) picture = ColumnBytes(row, column);
    } else if (name == "is_deleted") {
      if (row.ColumnInt64(column) != 0) quote["q_is_deleted"] = 1;
    } else {
      ReadColumnIntoJson(row, column, &quote);
    }
  }
  if (!quote.isMember("quote_sender_id")) quote["quote_sender_id"] = "";
  const int64_t quote_type = MemberAsInteger(quote, "q_type");
  const std::string stem = MessageFileStem(jid, *message);
  if (IsContactCard(quote_type)) {
    const std::string card = quote.get("quote_content", "").asString();
    if (card.rfind(kVcardMarker, 0) == 0) {
      AttachSideFile(files_, stem, kQuoteVcardSuffix, card + "\n", "vCard_file", &quote);
      quote.removeMember("quote_content");
    }
  }
  if (quote_type != kTypeSystem && !IsContactCard(quote_type)) {
    AttachSideFile(files_, stem, kQuoteThumbnailSuffix, picture, "thumbnail_file", &quote);
  }
  (*message)["quote_content"] = std::move(quote);
}

bool OlderLayoutWriter::WriteChat(const std::string& jid, Json::Value* chat) {
  (*chat)["msg_file_list"] = EmptyJsonArray();
  if (!ordinary_query_.prepared()) return true;
  const int session_type = static_cast<int>(MemberAsInteger(*chat, "session_type"));
  ChatBatchWriter batches(files_, jid, &(*chat)["msg_file_list"]);

  if (special_query_.prepared()) {
    special_query_.Reset();
    special_query_.BindText(1, jid);
  }
  while (special_query_.prepared() && special_query_.Step() == SQLITE_ROW) {
    Json::Value message(Json::objectValue);
    if (!ReadMessage(special_query_, session_type, &message)) return false;
    if (!message.isMember("sender_id")) message["sender_id"] = "";
    SetUniversalType(0, &message);
    WriteJsonValue(message, batches.message_writer());
    batches.EndSpecial();
  }

  ordinary_query_.Reset();
  ordinary_query_.BindText(1, jid);
  while (ordinary_query_.Step() == SQLITE_ROW) {
    Json::Value message(Json::objectValue);
    if (!ReadMessage(ordinary_query_, session_type, &message)) return false;
    const int64_t row_id = MemberAsInteger(message, "row_id");
    const int64_t type = MemberAsInteger(message, "type");
    CompleteMessage(jid, &message);
    const bool view_once = type == 42 || type == 43;
    SetUniversalType(
        view_once && view_once_.FindByInteger(row_id) ? view_once_.row().ColumnInt64(0) : 0,
        &message);
    WriteThumbnail(jid, ordinary_query_, &message);
    AddQuote(jid, ordinary_query_.ColumnInt64(kQuotedRowIdIndex), &message);
    if (HasMediaMembers(type)) {
      const std::string relative = SetMediaPath(message.get("media_name", "").asString(),
                                                *settings_.older_layout_folders, &message);
      if (!relative.empty()) message["media_relative_path"] = relative;
    }
    if (message.isMember("content")) {
      SetUrlLinks(!has_link_table_ || link_.FindByInteger(row_id), &message);
    }
    WriteJsonValue(message, batches.message_writer());
    batches.EndOrdinary();
  }
  batches.Finish();
  return true;
}

}  // namespace

bool WriteOlderLayoutMessages(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                              WhatsAppChatMap* chats) {
  return WriteEveryChat<OlderLayoutWriter>(db, settings, chats);
}

}  // namespace kx
