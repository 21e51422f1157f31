#include "android/whatsapp_messages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "common/json_util.h"
#include "common/local_date.h"
#include "common/ordered_lookup.h"
#include "common/result_row.h"
#include "common/row_id_bits.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "common/text.h"
#include "kit/chat_batches.h"
#include "kit/whatsapp_message_record.h"

namespace kx {

namespace {

// The messages of one chat. In the stored text the separators after
// "select" and after each comma of the column list are tab runs. The date
// is formatted from the stored value where that gives SQLite's text, and
// by SQLite (the fallback column) where it might not.
constexpr char kDateValueColumn[] = "send_date_value";
constexpr char kDateFallbackColumn[] = "send_date_sql";
std::string MessageColumns() {
  return "select\t\t_id as row_id,\t\tfrom_me as is_from_me,\t\ttimestamp as " +
         std::string(kDateValueColumn) + ",\t\t" +
         LocalDateFormatter::SqlFallback("timestamp", true) + " as " + kDateFallbackColumn +
         ",\t\tmessage_type as type,\t\tstatus as send_status,\t\ttext_data as "
         "content,\t\tkey_id,\t\t";
}
constexpr char kActionColumn[] = "ifnull(ms.action_type, 0) as size,\t\tsender_jid_row_id";
constexpr char kNoActionColumn[] = "0 as size,\t\tsender_jid_row_id";
// Read after a merge, never packaged as such.
constexpr char kDeletedColumn[] = ",\t\tm.is_deleted as is_deleted";
constexpr char kFromWithSystem[] =
    " from message m left join message_system ms on m._id = ms.message_row_id where ";
constexpr char kFromWithoutSystem[] = " from message m where ";
constexpr char kChatCondition[] = "chat_row_id = ?";
constexpr char kMessageCondition[] = "m._id = ?";
// Action 19 rows of text type are read first and never close a batch.
constexpr char kSpecialSet[] = " and type = 0  and size=19";
constexpr char kOrdinarySet[] = " and (type != 0  or size !=19)";

constexpr char kSenderRowIdColumn[] = "sender_jid_row_id";

// The rows of the special set with their chats, found from the system table,
// which is small: the set's own query reads every text row of a chat to find
// them. The cross join and the unary plus keep SQLite from driving it from
// the message table's indexes. The conditions are the special set's.
constexpr char kSpecialRowsQuery[] =
    "select m.chat_row_id, m._id from message_system ms cross join message m on m._id = "
    "ms.message_row_id where +m.message_type = 0 and ifnull(ms.action_type, 0) = 19";

constexpr char kJidQuery[] = "select _id,raw_string from jid where raw_string != 'status_me';";
constexpr char kViewOnceQuery[] =
    "select state from message_view_once_media where message_row_id = ?";
constexpr char kEphemeralQuery[] =
    "select setting_duration from message_ephemeral_setting where message_row_id = ?";
constexpr char kLinkQuery[] = "select 1 from message_link where message_row_id = ?";
constexpr char kQuoteColumns[] =
    "message_type as q_type,\t\tkey_id as q_key_id,\t\tsender_jid_row_id as "
    "quote_sender_row_id,\t\tfrom_me as q_is_from_me,\t\ttext_data as quote_content";
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

// The columns of a media row, as the media query selects those present.
enum MediaColumn : int {
  kMediaFilePath,
  kMediaName,
  kMediaFileSize,
  kMediaDuration,
  kMediaCaption,
  kMediaFileHash,
  kMediaColumnCount
};
const std::vector<std::string>& MediaColumns() {
  static const std::vector<std::string> columns = {"file_path",      "media_name",    "file_size",
                                                   "media_duration", "media_caption", "file_hash"};
  return columns;
}
const std::vector<std::string>& QuotedMediaColumns() {
  static const std::vector<std::string> columns = {"media_duration", "media_name", "thumbnail"};
  return columns;
}

constexpr char kDeletedTag[] = "deleted";

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
using whatsapp::kTypeViewOnceImage;
using whatsapp::kTypeViewOnceVideo;
using whatsapp::kVcardSuffix;

// Quote types whose picture the store keeps with the quote.
bool QuoteHasMediaThumbnail(int64_t type) {
  return type == 1 || type == 3 || type == 9 || type == 13 || type == 20 ||
         type == kTypeViewOnceImage || type == kTypeViewOnceVideo;
}

// Where the message query keeps what is read but not packaged; -1 when the
// query does not select it.
struct MessageQueryLayout {
  std::vector<int> members;  // column -> MessageMember, -1 for none
  int sender_row_id = -1;
  int date_value = -1;
  int date_fallback = -1;
  int packaged_columns = 0;  // the columns before is_deleted
  int is_deleted = -1;
};

// The media row of one message, read once and used by several steps.
struct MediaRow {
  bool found = false;
  std::array<MemberValue, kMediaColumnCount> columns;
};

// Where a chat's special set lies: its only row, or the set's own query
// when it has several, whose order is SQLite's.
struct SpecialRows {
  int64_t count = 0;
  int64_t row_id = 0;
};
using SpecialRowsByChat = std::unordered_map<int64_t, SpecialRows>;

class NewerLayoutWriter {
 public:
  NewerLayoutWriter(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                    PackageFileWriter* files);

  // False when the stop flag was seen.
  bool WriteChat(const std::string& jid, Json::Value* chat);

 private:
  bool ReadMessage(const SqliteStatement& query, const MessageQueryLayout& layout);
  SqliteStatement* SpecialQuery(int64_t chat_row_id);
  void ConvertSpecial(int session_type);
  void ConvertOrdinary(const std::string& jid, int64_t chat_row_id, int session_type);
  void CompleteMessage(const std::string& jid, int64_t row_id, int64_t type);
  void SetSystemDetails(int64_t row_id);
  void SetUniversalType(int64_t view_once_state);
  void NormaliseSendStatus(int session_type);
  void WriteThumbnail(const std::string& jid, int64_t row_id, int64_t type);
  void AddQuote(const std::string& jid, int64_t chat_row_id, int64_t row_id);
  void SetMediaMembers(int64_t type);
  void SetSenderId(const MemberValue& row_id, MemberValue* id) const;
  void ReadMediaRow(int64_t row_id);
  int64_t ViewOnceState(int64_t row_id);
  const std::string& JidText(int64_t row_id) const;
  const std::string& FileStem(const std::string& jid);
  // Writes a side file of the message and sets `member` to its path.
  void AttachFile(const std::string& jid, const char* suffix, const std::string& bytes,
                  MemberValue* member);

  const MessageWriterSettings& settings_;
  PackageFileWriter* files_;
  LocalDateFormatter dates_;
  std::unordered_map<int64_t, std::string> jids_;
  SqliteStatement special_query_;
  SqliteStatement special_row_query_;  // the special set's query for one row
  SqliteStatement ordinary_query_;
  SpecialRowsByChat special_rows_;
  bool special_rows_known_ = false;  // else every chat runs the set's query
  MessageQueryLayout special_layout_;
  MessageQueryLayout ordinary_layout_;
  OrderedLookup thumbnail_, media_, quote_, quoted_media_;
  PointLookup view_once_, ephemeral_, link_, original_media_, quoted_vcard_, quoted_text_thumbnail_,
      quoted_location_thumbnail_, vcard_, participants_, number_change_, value_change_, subgroup_,
      parent_group_, hash_thumbnail_;
  std::vector<int> media_columns_;  // column of the media query -> MediaColumn
  bool has_link_table_ = false;
  // The messages with links, their ids read once: most messages have none,
  // and a look-up per message would cost more than reading the message
  // itself. (A message has a row per link: the table is not keyed by it.)
  RowIdBits with_link_;

  // The message being converted, and buffers kept from one to the next.
  MessageRecord message_;
  MemberValue sender_row_id_;
  MediaRow media_row_;
  std::string stem_;
  bool stem_known_ = false;
  std::string bytes_;
  std::string quote_bytes_;
};

std::unordered_map<int64_t, std::string> LoadJids(const SQLite3Wrapper& db) {
  std::unordered_map<int64_t, std::string> jids;
  SqliteStatement query = PrepareStatement(db, kJidQuery);
  while (query.prepared() && query.Step() == SQLITE_ROW) {
    jids.emplace(query.ColumnInt64(0), query.ColumnText(1));
  }
  return jids;
}

// False when the chats cannot be told apart: the query failed, or a chat id
// is not an integer, which the chat query's binding might still match.
bool LoadSpecialRows(const SQLite3Wrapper& db, SpecialRowsByChat* chats) {
  SqliteStatement query = PrepareStatement(db, kSpecialRowsQuery);
  if (!query.prepared()) return false;
  int step = SQLITE_ROW;
  while ((step = query.Step()) == SQLITE_ROW) {
    if (query.ColumnType(0) != SQLITE_INTEGER) return false;
    SpecialRows& rows = (*chats)[query.ColumnInt64(0)];
    ++rows.count;
    rows.row_id = query.ColumnInt64(1);
  }
  return step == SQLITE_DONE;
}

struct MessageQueryParts {
  bool has_system_table = false;
  bool has_deleted_column = false;
};

std::string MessageQuery(const MessageQueryParts& parts, const char* condition, const char* set) {
  std::string sql = MessageColumns();
  sql += parts.has_system_table ? kActionColumn : kNoActionColumn;
  if (parts.has_deleted_column) sql += kDeletedColumn;
  sql += parts.has_system_table ? kFromWithSystem : kFromWithoutSystem;
  return sql + condition + set;
}

MessageQueryLayout LayOutMessageQuery(const SqliteStatement& query) {
  MessageQueryLayout layout;
  const int count = query.ColumnCount();
  layout.members.assign(static_cast<size_t>(count), -1);
  layout.packaged_columns = count;
  for (int column = 0; column < count; ++column) {
    const std::string name = query.ColumnName(column);
    if (name == "is_deleted") {
      layout.is_deleted = column;
      layout.packaged_columns = std::min(layout.packaged_columns, column);
    } else if (name == kSenderRowIdColumn) {
      layout.sender_row_id = column;
    } else if (name == kDateValueColumn) {
      layout.date_value = column;
    } else if (name == kDateFallbackColumn) {
      layout.date_fallback = column;
    } else {
      layout.members[static_cast<size_t>(column)] = MessageMemberByName(name);
    }
  }
  return layout;
}

NewerLayoutWriter::NewerLayoutWriter(const SQLite3Wrapper& db,
                                     const MessageWriterSettings& settings,
                                     PackageFileWriter* files)
    : settings_(settings), files_(files), dates_(db), jids_(LoadJids(db)) {
  media_ = OrderedLookup(db, "message_media", "message_row_id",
                         ExistingColumns(db, "message_media", MediaColumns()));
  // Column 0 is the row id the look-up is by.
  media_columns_.push_back(-1);
  for (int column = 1; column < media_.row().ColumnCount(); ++column) {
    const std::string name = media_.row().ColumnName(column);
    int index = -1;
    for (int i = 0; i < kMediaColumnCount; ++i) {
      if (MediaColumns()[static_cast<size_t>(i)] == name) index = i;
    }
    media_columns_.push_back(index);
  }
  thumbnail_ = OrderedLookup(db, "message_thumbnail", "message_row_id", "thumbnail");
  view_once_ = PointLookup(db, kViewOnceQuery);
  ephemeral_ = PointLookup(db, kEphemeralQuery);
  has_link_table_ = CheckIsTableExist(db, "message_link");
  link_ = PointLookup(db, kLinkQuery);
  quote_ = OrderedLookup(db, "message_quoted", "message_row_id", kQuoteColumns);
  quoted_media_ = OrderedLookup(db, "message_quoted_media", "message_row_id",
                                ExistingColumns(db, "message_quoted_media", QuotedMediaColumns()));
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
  // Where the ids cannot be held (a table that cannot be read, ids spread
  // too far), every message asks its own look-up.
  int64_t first = 0;
  int64_t last = 0;
  if (ReadIdRange(db, "message", "_id", &first, &last)) {
    with_link_.Load(db, "message_link", "message_row_id", first, last);
  }

  MessageQueryParts parts;
  parts.has_system_table = CheckIsTableExist(db, "message_system");
  parts.has_deleted_column = ColumnExists(db, "message", "is_deleted");
  special_query_ = PrepareStatement(db, MessageQuery(parts, kChatCondition, kSpecialSet));
  special_row_query_ = PrepareStatement(db, MessageQuery(parts, kMessageCondition, kSpecialSet));
  ordinary_query_ = PrepareStatement(db, MessageQuery(parts, kChatCondition, kOrdinarySet));
  special_layout_ = LayOutMessageQuery(special_query_);
  ordinary_layout_ = LayOutMessageQuery(ordinary_query_);
  if (!parts.has_system_table) {
    special_rows_known_ = true;  // without action types no row is special
  } else if (special_row_query_.prepared()) {
    special_rows_known_ = LoadSpecialRows(db, &special_rows_);
  }
}

const std::string& NewerLayoutWriter::JidText(int64_t row_id) const {
  static const std::string kUnknown;
  const auto found = jids_.find(row_id);
  return found == jids_.end() ? kUnknown : found->second;
}

// Side files of a message are named after the chat's jid and the message's
// key id.
const std::string& NewerLayoutWriter::FileStem(const std::string& jid) {
  if (!stem_known_) {
    stem_ = MessageFileStem(jid, message_[kMemberKeyId].AsString());
    stem_known_ = true;
  }
  return stem_;
}

void NewerLayoutWriter::AttachFile(const std::string& jid, const char* suffix,
                                   const std::string& bytes, MemberValue* member) {
  if (bytes.empty()) return;
  AttachSideFile(files_, FileStem(jid), suffix, bytes, member);
}

bool NewerLayoutWriter::ReadMessage(const SqliteStatement& query,
                                    const MessageQueryLayout& layout) {
  message_.Clear();
  sender_row_id_.Clear();
  stem_known_ = false;
  for (int column = 0; column < layout.packaged_columns; ++column) {
    if (StopRequested(settings_.stop)) return false;
    const int member = layout.members[static_cast<size_t>(column)];
    if (member >= 0) {
      message_[static_cast<MessageMember>(member)].ReadColumn(query, column);
    } else if (column == layout.sender_row_id) {
      sender_row_id_.ReadColumn(query, column);
    }
  }
  std::string_view date;
  if (layout.date_value >= 0 &&
      dates_.Format(query.handle(), layout.date_value, layout.date_fallback, &date) &&
      !date.empty()) {
    message_[kMemberSendDate].SetText(date);
  }
  if (layout.is_deleted >= 0 && query.ColumnInt64(layout.is_deleted) != 0) {
    message_[kMemberTag].SetText(kDeletedTag);
  }
  return true;
}

void NewerLayoutWriter::SetSenderId(const MemberValue& row_id, MemberValue* id) const {
  if (row_id.present()) id->SetText(JidText(row_id.AsInteger()));
}

void NewerLayoutWriter::ReadMediaRow(int64_t row_id) {
  media_row_.found = false;
  for (MemberValue& column : media_row_.columns) column.Clear();
  if (!media_.Find(row_id)) return;
  media_row_.found = true;
  const SqliteStatement& row = media_.row();
  for (size_t column = 0; column < media_columns_.size(); ++column) {
    const int index = media_columns_[column];
    if (index >= 0)
      media_row_.columns[static_cast<size_t>(index)].ReadColumn(row, static_cast<int>(column));
  }
}

int64_t NewerLayoutWriter::ViewOnceState(int64_t row_id) {
  return view_once_.FindByInteger(row_id) ? view_once_.row().ColumnInt64(0) : 0;
}

// The completion step: particulars of system messages (the disappearing
// setting among them) and the contact cards of a contact message. The
// thumbnail of media other than text, system messages and contact lists is
// completed in WriteThumbnail.
void NewerLayoutWriter::CompleteMessage(const std::string& jid, int64_t row_id, int64_t type) {
  const int64_t action = message_[kMemberSize].AsInteger();
  if (IsSystemMessage(type, action)) {
    if (ephemeral_.FindByInteger(row_id)) {
      message_[kMemberSettingDuration].SetInteger(ephemeral_.row().ColumnInt64(0));
    }
    const char* text = SystemEventText(action);
    if (text != nullptr) message_[kMemberSystemInfo].SetText(text);
    SetSystemDetails(row_id);
  }
  if (IsContactCard(type) && vcard_.prepared()) {
    bytes_.clear();
    vcard_.Start().BindInt64(1, row_id);
    while (vcard_.Next()) bytes_ += ColumnBytes(vcard_.row(), 0) + "\n";
    AttachFile(jid, kVcardSuffix, bytes_, &message_[kMemberVcardFile]);
  }
}

// "sys_info" holds the particulars the store keeps for the event: the
// participants it concerns, the old and new number, or the old value.
void NewerLayoutWriter::SetSystemDetails(int64_t row_id) {
  std::string participants;
  if (participants_.prepared()) {
    participants_.Start().BindInt64(1, row_id);
    while (participants_.Next()) {
      if (!participants.empty()) participants += ", ";
      participants += JidText(participants_.row().ColumnInt64(0));
    }
  }
  if (!participants.empty()) {
    message_[kMemberSysInfo].SetText(participants);
  } else if (number_change_.FindByInteger(row_id)) {
    message_[kMemberSysInfo].SetText(JidText(number_change_.row().ColumnInt64(0)) + " -> " +
                                     JidText(number_change_.row().ColumnInt64(1)));
  } else if (value_change_.FindByInteger(row_id)) {
    const std::string old_value = value_change_.row().ColumnText(0);
    if (!old_value.empty()) message_[kMemberSysInfo].SetText(old_value);
  }
  if (subgroup_.FindByInteger(row_id)) {
    message_[kMemberSubgroupSubject].SetText(subgroup_.row().ColumnText(0));
  }
  if (parent_group_.FindByInteger(row_id)) {
    message_[kMemberParentGroupName].SetText(parent_group_.row().ColumnText(0));
  }
}

void NewerLayoutWriter::SetUniversalType(int64_t view_once_state) {
  ClassifyMessageRecord(view_once_state, &message_);
}

void NewerLayoutWriter::NormaliseSendStatus(int session_type) {
  NormaliseMessageSendStatus(session_type, &message_);
}

// The thumbnail the store keeps for the message; for media other than text,
// system messages and contact lists, the one it keeps by the file's hash
// when there is none of its own.
void NewerLayoutWriter::WriteThumbnail(const std::string& jid, int64_t row_id, int64_t type) {
  bytes_.clear();
  if (thumbnail_.Find(row_id)) {
    ColumnBytesInto(thumbnail_.row(), 1, &bytes_);
  }
  const MemberValue& file_hash = media_row_.columns[kMediaFileHash];
  if (bytes_.empty() && media_row_.found && type != kTypeText && type != kTypeSystem &&
      type != kTypeContacts && file_hash.present() && hash_thumbnail_.prepared()) {
    hash_thumbnail_.Start().BindText(1, file_hash.AsString());
    if (hash_thumbnail_.Next()) ColumnBytesInto(hash_thumbnail_.row(), 0, &bytes_);
  }
  AttachFile(jid, kThumbnailSuffix, bytes_, &message_[kMemberThumbnailFile]);
}

void NewerLayoutWriter::AddQuote(const std::string& jid, int64_t chat_row_id, int64_t row_id) {
  if (!quote_.Find(row_id)) return;
  QuoteRecord& quote = *message_.StartQuote();
  const SqliteStatement& quote_row = quote_.row();
  for (int column = 0; column < quote_row.ColumnCount(); ++column) {
    const int member = QuoteMemberByName(quote_row.ColumnName(column));
    if (member >= 0) quote[static_cast<QuoteMember>(member)].ReadColumn(quote_row, column);
  }
  const int64_t quote_type = quote[kQuoteType].AsInteger();
  quote_bytes_.clear();
  // The quote's own copy of the media row first: it outlives the original.
  if (quoted_media_.Find(row_id)) {
    const SqliteStatement& row = quoted_media_.row();
    for (int column = 0; column < row.ColumnCount(); ++column) {
      const std::string name = row.ColumnName(column);
      if (name == "media_duration" && row.ColumnType(column) == SQLITE_INTEGER) {
        quote[kQuoteMediaDuration].SetInteger(row.ColumnInt64(column));
      } else if (name == "media_name" && !row.ColumnText(column).empty()) {
        quote[kQuoteMediaName].SetText(row.ColumnText(column));
      } else if (name == "thumbnail" && QuoteHasMediaThumbnail(quote_type)) {
        ColumnBytesInto(row, column, &quote_bytes_);
      }
    }
  } else if (original_media_.prepared() && quote[kQuoteKeyId].present()) {
    SqliteStatement& query = original_media_.Start();
    query.BindInt64(1, chat_row_id);
    query.BindInt64(2, quote[kQuoteIsFromMe].AsInteger());
    query.BindText(3, quote[kQuoteKeyId].AsString());
    if (original_media_.Next()) {
      if (query.ColumnType(0) == SQLITE_INTEGER) {
        quote[kQuoteMediaDuration].SetInteger(query.ColumnInt64(0));
      }
      if (!query.ColumnText(1).empty()) quote[kQuoteMediaName].SetText(query.ColumnText(1));
    }
  }
  SetSenderId(quote[kQuoteSenderRowId], &quote[kQuoteSenderId]);
  if (IsContactCard(quote_type) && quoted_vcard_.prepared()) {
    bytes_.clear();
    quoted_vcard_.Start().BindInt64(1, row_id);
    while (quoted_vcard_.Next()) bytes_ += ColumnBytes(quoted_vcard_.row(), 0) + "\n";
    AttachFile(jid, kQuoteVcardSuffix, bytes_, &quote[kQuoteVcardFile]);
  }
  if (quote_bytes_.empty() && quote_type == kTypeText &&
      quoted_text_thumbnail_.FindByInteger(row_id)) {
    ColumnBytesInto(quoted_text_thumbnail_.row(), 0, &quote_bytes_);
  }
  if (quote_bytes_.empty() && quote_type == kTypeLocation &&
      quoted_location_thumbnail_.FindByInteger(row_id)) {
    ColumnBytesInto(quoted_location_thumbnail_.row(), 0, &quote_bytes_);
  }
  AttachFile(jid, kQuoteThumbnailSuffix, quote_bytes_, &quote[kQuoteThumbnailFile]);
}

void NewerLayoutWriter::SetMediaMembers(int64_t type) {
  if (!media_row_.found) return;
  const auto& columns = media_row_.columns;
  std::string stored_path = columns[kMediaFilePath].AsString();
  if (stored_path.empty()) stored_path = columns[kMediaName].AsString();
  const std::string relative = MediaRelativePath(type, message_[kMemberIsFromMe].AsInteger() == 1,
                                                 stored_path, WhatsAppMediaFolders());
  if (!relative.empty()) {
    message_[kMemberMediaPath].SetText(WhatsAppMediaFolders().storage_root + relative);
  }
  if (columns[kMediaFilePath].present()) {
    message_[kMemberMediaRelativePath] = columns[kMediaFilePath];
  }
  if (columns[kMediaFileSize].present() && columns[kMediaFileSize].IsIntegral()) {
    message_[kMemberSize].SetUnsigned(static_cast<uint64_t>(columns[kMediaFileSize].AsInteger()));
  }
  if (columns[kMediaDuration].present()) message_[kMemberMediaDuration] = columns[kMediaDuration];
  if (columns[kMediaName].present()) message_[kMemberMediaName] = columns[kMediaName];
  if (columns[kMediaCaption].present()) message_[kMemberMediaCaption] = columns[kMediaCaption];
}

void NewerLayoutWriter::ConvertSpecial(int session_type) {
  SetUniversalType(0);
  NormaliseSendStatus(session_type);
  SetSenderId(sender_row_id_, &message_[kMemberSenderId]);
}

void NewerLayoutWriter::ConvertOrdinary(const std::string& jid, int64_t chat_row_id,
                                        int session_type) {
  const int64_t row_id = message_[kMemberRowId].AsInteger();
  const int64_t type = message_[kMemberType].AsInteger();
  media_row_.found = false;
  if (HasMediaMembers(type)) ReadMediaRow(row_id);
  CompleteMessage(jid, row_id, type);
  const bool view_once = type == kTypeViewOnceImage || type == kTypeViewOnceVideo;
  SetUniversalType(view_once ? ViewOnceState(row_id) : 0);
  NormaliseSendStatus(session_type);
  WriteThumbnail(jid, row_id, type);
  AddQuote(jid, chat_row_id, row_id);
  SetMediaMembers(type);
  const MemberValue& content = message_[kMemberContent];
  if (content.is_text()) {
    const bool has_link_row =
        !has_link_table_ || (with_link_.MayContain(row_id) && link_.FindByInteger(row_id));
    if (has_link_row) AppendUrlLinks(content.text(), message_.url_links());
  }
  SetSenderId(sender_row_id_, &message_[kMemberSenderId]);
}

// The special set's query, bound; null when the chat has no such row.
SqliteStatement* NewerLayoutWriter::SpecialQuery(int64_t chat_row_id) {
  SqliteStatement* query = &special_query_;
  int64_t key = chat_row_id;
  if (special_rows_known_) {
    const auto found = special_rows_.find(chat_row_id);
    if (found == special_rows_.end()) return nullptr;
    if (found->second.count == 1) {
      query = &special_row_query_;
      key = found->second.row_id;
    }
  }
  if (!query->prepared()) return nullptr;
  query->Reset();
  query->BindInt64(1, key);
  return query;
}

bool NewerLayoutWriter::WriteChat(const std::string& jid, Json::Value* chat) {
  (*chat)["msg_file_list"] = EmptyJsonArray();
  if (!chat->isMember("chat_row_id") || !ordinary_query_.prepared()) return true;
  const int64_t chat_row_id = MemberAsInteger(*chat, "chat_row_id");
  const int session_type = static_cast<int>(MemberAsInteger(*chat, "session_type"));
  ChatBatchWriter batches(files_, jid, &(*chat)["msg_file_list"]);

  SqliteStatement* special = SpecialQuery(chat_row_id);
  while (special != nullptr && special->Step() == SQLITE_ROW) {
    if (!ReadMessage(*special, special_layout_)) return false;
    ConvertSpecial(session_type);
    message_.Write(batches.message_writer());
    batches.EndSpecial();
  }

  ordinary_query_.Reset();
  ordinary_query_.BindInt64(1, chat_row_id);
  while (ordinary_query_.Step() == SQLITE_ROW) {
    if (!ReadMessage(ordinary_query_, ordinary_layout_)) return false;
    ConvertOrdinary(jid, chat_row_id, session_type);
    message_.Write(batches.message_writer());
    batches.EndOrdinary();
  }
  batches.Finish();
  return true;
}

}  // namespace

std::vector<WhatsAppChatMap::value_type*> ChatsInRowOrder(WhatsAppChatMap* chats) {
  std::vector<std::pair<int64_t, WhatsAppChatMap::value_type*>> keyed;
  keyed.reserve(chats->size());
  for (auto& entry : *chats) {
    const Json::Value& row_id = MemberOrNull(entry.second, "chat_row_id");
    keyed.emplace_back(row_id.isIntegral() ? row_id.asInt64() : INT64_MAX, &entry);
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<WhatsAppChatMap::value_type*> ordered;
  ordered.reserve(keyed.size());
  for (const auto& entry : keyed) ordered.push_back(entry.second);
  return ordered;
}

void SetUrlLinks(bool has_link_row, Json::Value* message) {
  const Json::Value& content = MemberOrNull(*message, "content");
  if (!has_link_row || !content.isString()) return;
  const std::vector<std::string> links = FindUrlLinks(content.asString());
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
  return WriteEveryChat<NewerLayoutWriter>(db, settings, chats);
}

}  // namespace kx
