#include "ioschat/ios_whatsapp_messages.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "common/local_date.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/select_list.h"
#include "common/status.h"
#include "ioschat/ios_whatsapp_rules.h"
#include "kit/backup_inputs.h"
#include "kit/date_sql.h"
#include "kit/whatsapp_message_record.h"
#include "kit/whatsapp_message_writer.h"
#include "kit/whatsapp_rules.h"

namespace kx {

namespace {

// Media, thumbnails and profile pictures lie below this folder of the
// application's shared container; the store keeps paths below it.
constexpr char kMessageFolder[] = "Message/";

// The columns of the message query, in the order Column names them.
enum Column : int {
  kRowId,
  kIsFromMe,
  kSendDate,
  kType,
  kGroupEvent,
  kStatus,
  kText,
  kStanzaId,
  kFromJid,
  kGroupMember,
  kParentMessage,
  kMediaPk,
  kLocalPath,
  kDuration,
  kTitle,
  kFileSize,
  kXmppThumbPath,
  kThumbnailPath,
  kVcardString,
  kDataItem,
  kColumnCount
};

// Each table's columns as the message query reads them.
const std::vector<SelectedColumn>& MessageColumns() {
  // Core Data dates are seconds since 2001; Android's are since 1970.
  static const std::string send_date =
      LocalDateSql("cast(" KX_APPLE_UNIX_SECONDS_SQL("ZWAMESSAGE.ZMESSAGEDATE") " as integer)");
  static const std::vector<SelectedColumn> columns = {
      {"ZWAMESSAGE.Z_PK", "row_id", "Z_PK"},
      {"ZWAMESSAGE.ZISFROMME", "is_from_me", "ZISFROMME"},
      {send_date.c_str(), "send_date", "ZMESSAGEDATE"},
      {"ZWAMESSAGE.ZMESSAGETYPE", "kx_type", "ZMESSAGETYPE"},
      {"ZWAMESSAGE.ZGROUPEVENTTYPE", "kx_event", "ZGROUPEVENTTYPE"},
      {"ZWAMESSAGE.ZMESSAGESTATUS", "kx_status", "ZMESSAGESTATUS"},
      {"ZWAMESSAGE.ZTEXT", "kx_text", "ZTEXT"},
      {"ZWAMESSAGE.ZSTANZAID", "kx_stanza_id", "ZSTANZAID"},
      {"ZWAMESSAGE.ZFROMJID", "kx_from_jid", "ZFROMJID"},
      {"ZWAMESSAGE.ZGROUPMEMBER", "kx_group_member", "ZGROUPMEMBER"},
      {"ZWAMESSAGE.ZPARENTMESSAGE", "kx_parent", "ZPARENTMESSAGE"},
  };
  return columns;
}
const std::vector<SelectedColumn>& MediaColumns() {
  static const std::vector<SelectedColumn> columns = {
      {"ZWAMEDIAITEM.Z_PK", "kx_media_pk", "Z_PK"},
      {"ZWAMEDIAITEM.ZMEDIALOCALPATH", "kx_local_path", "ZMEDIALOCALPATH"},
      {"ZWAMEDIAITEM.ZMOVIEDURATION", "kx_duration", "ZMOVIEDURATION"},
      {"ZWAMEDIAITEM.ZTITLE", "kx_title", "ZTITLE"},
      {"ZWAMEDIAITEM.ZFILESIZE", "kx_file_size", "ZFILESIZE"},
      {"ZWAMEDIAITEM.ZXMPPTHUMBPATH", "kx_xmpp_thumb", "ZXMPPTHUMBPATH"},
      {"ZWAMEDIAITEM.ZTHUMBNAILLOCALPATH", "kx_thumb", "ZTHUMBNAILLOCALPATH"},
      {"ZWAMEDIAITEM.ZVCARDSTRING", "kx_vcard", "ZVCARDSTRING"},
  };
  return columns;
}
const std::vector<SelectedColumn>& DataItemColumns() {
  static const std::vector<SelectedColumn> columns = {{"data_item.Z_PK", "kx_data_item", "Z_PK"}};
  return columns;
}

constexpr char kMediaJoin[] =
    " LEFT JOIN ZWAMEDIAITEM ON ZWAMEDIAITEM.Z_PK = ZWAMESSAGE.ZMEDIAITEM";
constexpr char kDataItemJoin[] =
    " LEFT JOIN ZWAMESSAGEDATAITEM AS data_item ON (data_item.ZMESSAGE = ZWAMESSAGE.Z_PK and "
    "data_item.ZINDEX=0)";
constexpr char kChatCondition[] = " WHERE ZWAMESSAGE.ZCHATSESSION = ?";
constexpr char kOrder[] = " order by ZWAMESSAGE.ZMESSAGEDATE, ZWAMESSAGE.Z_PK";
constexpr char kOrderByKey[] = " order by ZWAMESSAGE.Z_PK";

std::string PlainList(const std::vector<SelectedColumn>& columns) {
  std::string list;
  for (const SelectedColumn& column : columns) {
    if (!list.empty()) list += ",";
    list += std::string(column.column) + " as " + column.as;
  }
  return list;
}

std::string NullList(const std::vector<SelectedColumn>& columns) {
  std::string list;
  for (const SelectedColumn& column : columns) {
    if (!list.empty()) list += ",";
    list += std::string("NULL as ") + column.as;
  }
  return list;
}

void NoteMissing(const std::string& what, std::string* missing) {
  if (!missing->empty()) *missing += ", ";
  *missing += what;
}

std::string FixedMessageQuery() {
  return "select " + PlainList(MessageColumns()) + "," + PlainList(MediaColumns()) + "," +
         PlainList(DataItemColumns()) + " from ZWAMESSAGE" + kMediaJoin + kDataItemJoin +
         kChatCondition + kOrder;
}

// The same select over what the store has; "" when it has no messages of
// chats to read.
std::string FittedMessageQuery(const SQLite3Wrapper& db, std::string* missing) {
  const TableColumns messages(db, "ZWAMESSAGE");
  if (!messages.exists() || !messages.Has("ZCHATSESSION")) {
    NoteMissing(messages.exists() ? "ZWAMESSAGE.ZCHATSESSION" : "ZWAMESSAGE", missing);
    return std::string();
  }
  std::string sql = "select " + messages.SelectList(MessageColumns(), missing);
  std::string joins;
  const TableColumns media(db, "ZWAMEDIAITEM");
  if (media.exists() && media.Has("Z_PK") && messages.Has("ZMEDIAITEM")) {
    sql += "," + media.SelectList(MediaColumns(), missing);
    joins += kMediaJoin;
  } else {
    NoteMissing(media.exists() ? "ZWAMESSAGE.ZMEDIAITEM" : "ZWAMEDIAITEM", missing);
    sql += "," + NullList(MediaColumns());
  }
  const TableColumns data_items(db, "ZWAMESSAGEDATAITEM");
  if (data_items.exists() && data_items.Has("ZMESSAGE") && data_items.Has("ZINDEX")) {
    sql += "," + data_items.SelectList(DataItemColumns(), missing);
    joins += kDataItemJoin;
  } else {
    NoteMissing("ZWAMESSAGEDATAITEM", missing);
    sql += "," + NullList(DataItemColumns());
  }
  const bool dated = messages.Has("ZMESSAGEDATE") && messages.Has("Z_PK");
  return sql + " from ZWAMESSAGE" + joins + kChatCondition + (dated ? kOrder : kOrderByKey);
}

// A look-up over the columns of `table` that it has (the others NULL);
// unprepared when the table is missing or lacks `key`.
PointLookup FittedLookup(const SQLite3Wrapper& db, const char* table,
                         const std::vector<SelectedColumn>& columns, const char* key) {
  const TableColumns present(db, table);
  if (!present.exists() || !present.Has(key)) return PointLookup();
  std::string ignored;
  return PointLookup(db, "select " + present.SelectList(columns, &ignored) + " from " + table +
                             " where " + key + " = ?");
}

enum QuotedColumn : int { kQType, kQStanzaId, kQIsFromMe, kQText, kQMember, kQFromJid, kQMedia };
const std::vector<SelectedColumn>& QuotedColumns() {
  static const std::vector<SelectedColumn> columns = {
      {"ZMESSAGETYPE", nullptr}, {"ZSTANZAID", nullptr},    {"ZISFROMME", nullptr},
      {"ZTEXT", nullptr},        {"ZGROUPMEMBER", nullptr}, {"ZFROMJID", nullptr},
      {"ZMEDIAITEM", nullptr},
  };
  return columns;
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(PathFromUtf8(path), error);
}

}  // namespace

std::string IosWhatsAppBackup::FilePath(const std::string& relative_path) const {
  return FileInBackup(root, domain, relative_path, two_level);
}

class IosWhatsAppMessages::Reader {
 public:
  Reader(SQLite3Wrapper* db, IosWhatsAppBackup backup, PackageFileWriter* files,
         const std::atomic<int>* stop, const char* stem);

  bool WriteChat(int64_t chat_pk, const std::string& jid, Json::Value* file_list);

 private:
  void ReadMessage(const std::string& jid, int session_type);
  void SetSender();
  void SetMedia(int64_t type);
  void SetThumbnail();
  void SetVcard(const std::string& jid, int64_t type);
  void SetLinks();
  void AddQuote();
  std::string MemberJid(const SqliteStatement& row, int column);

  IosWhatsAppBackup backup_;
  PackageFileWriter* files_;
  const std::atomic<int>* stop_;
  SqliteStatement query_;
  PointLookup member_jid_, links_, quoted_, quoted_media_;
  MessageRecord message_;
};

IosWhatsAppMessages::Reader::Reader(SQLite3Wrapper* db, IosWhatsAppBackup backup,
                                    PackageFileWriter* files, const std::atomic<int>* stop,
                                    const char* stem)
    : backup_(std::move(backup)), files_(files), stop_(stop) {
  // The look-ups go by these keys; a store without the index gets one on
  // its staged copy.
  const std::pair<const char*, const char*> keys[] = {{"ZWAMESSAGE", "ZCHATSESSION"},
                                                      {"ZWAMESSAGEDATAITEM", "ZMESSAGE"}};
  for (const auto& key : keys) {
    std::string error;
    if (TableColumns(*db, key.first).Has(key.second) &&
        !EnsureLeadingIndex(db, key.first, key.second, &error)) {
      KX_LOG_AT(kLogProblem, stem, "no index on %s.%s: %s", key.first, key.second, error.c_str());
    }
  }
  query_ = PrepareStatement(*db, FixedMessageQuery());
  if (!query_.prepared()) {
    std::string missing;
    const std::string fitted = FittedMessageQuery(*db, &missing);
    if (!fitted.empty()) query_ = PrepareStatement(*db, fitted);
    KX_LOG_AT(kLogProblem, stem, "the message store has no %s: read as NULL or left out.",
              missing.c_str());
    if (!fitted.empty() && !query_.prepared()) KX_LOG_SQLITE_ERROR(stem, db->handle());
  }
  member_jid_ = FittedLookup(*db, "ZWAGROUPMEMBER", {{"ZMEMBERJID", nullptr}}, "Z_PK");
  links_ = PointLookup(
      *db, "select ZMATCHEDTEXT from ZWAMESSAGEDATAITEM where ZMESSAGE = ? order by ZINDEX");
  quoted_ = FittedLookup(*db, "ZWAMESSAGE", QuotedColumns(), "Z_PK");
  quoted_media_ = FittedLookup(*db, "ZWAMEDIAITEM",
                               {{"ZMOVIEDURATION", nullptr}, {"ZMEDIALOCALPATH", nullptr}}, "Z_PK");
}

std::string IosWhatsAppMessages::Reader::MemberJid(const SqliteStatement& row, int column) {
  if (row.ColumnType(column) == SQLITE_NULL || !member_jid_.FindByInteger(row.ColumnInt64(column)))
    return std::string();
  return member_jid_.row().ColumnText(0);
}

void IosWhatsAppMessages::Reader::SetSender() {
  std::string sender;
  if (query_.ColumnInt64(kIsFromMe) == 0) {
    sender = MemberJid(query_, kGroupMember);
    if (sender.empty()) sender = query_.ColumnText(kFromJid);
  }
  // An empty text is a present member, as Android reports the owner's.
  message_[kMemberSenderId].SetText(sender);
}

void IosWhatsAppMessages::Reader::SetMedia(int64_t type) {
  // A contact card's item holds the card, not a file: Android has no media
  // row for it.
  if (!whatsapp::HasMediaMembers(type) || whatsapp::IsContactCard(type) ||
      query_.ColumnType(kMediaPk) == SQLITE_NULL) {
    return;
  }
  if (query_.ColumnType(kFileSize) == SQLITE_INTEGER) {
    message_[kMemberSize].SetUnsigned(static_cast<uint64_t>(query_.ColumnInt64(kFileSize)));
  }
  message_[kMemberMediaDuration].ReadColumn(query_, kDuration);
  message_[kMemberMediaCaption].ReadColumn(query_, kTitle);
  // Android keeps a picture's or a film's caption as the message's text too.
  if (!message_[kMemberContent].present() &&
      (type == whatsapp::kTypeImage || type == whatsapp::kTypeVideo ||
       type == whatsapp::kTypeAnimatedGif)) {
    message_[kMemberContent] = message_[kMemberMediaCaption];
  }
  const std::string local_path = query_.ColumnText(kLocalPath);
  if (!IsSafeStorePath(local_path)) return;
  const std::string relative = kMessageFolder + local_path;
  message_[kMemberMediaPath].SetText(backup_.FilePath(relative));
  message_[kMemberMediaRelativePath].SetText(relative);
  const std::string name = FileNameOfPath(local_path);
  if (!name.empty()) message_[kMemberMediaName].SetText(name);
}

void IosWhatsAppMessages::Reader::SetThumbnail() {
  std::string path = query_.ColumnText(kXmppThumbPath);
  if (path.empty()) path = query_.ColumnText(kThumbnailPath);
  if (!IsSafeStorePath(path)) return;
  const std::string file = backup_.FilePath(kMessageFolder + path);
  if (IsFile(file)) message_[kMemberThumbnailFile].SetText(file);
}

void IosWhatsAppMessages::Reader::SetVcard(const std::string& jid, int64_t type) {
  if (!whatsapp::IsContactCard(type)) return;
  std::string card = ColumnBytes(query_, kVcardString);
  if (card.empty()) return;
  card += "\n";
  AttachSideFile(files_, MessageFileStem(jid, message_[kMemberKeyId].AsString()),
                 whatsapp::kVcardSuffix, card, &message_[kMemberVcardFile]);
}

void IosWhatsAppMessages::Reader::SetLinks() {
  const MemberValue& content = message_[kMemberContent];
  if (!content.is_text()) return;
  std::vector<std::string>* links = message_.url_links();
  if (query_.ColumnType(kDataItem) != SQLITE_NULL && links_.prepared()) {
    links_.Start().BindInt64(1, query_.ColumnInt64(kRowId));
    while (links_.Next()) {
      const std::string text = links_.row().ColumnText(0);
      if (!text.empty()) links->push_back(text);
    }
  }
  if (links->empty()) AppendUrlLinks(content.text(), links);
}

void IosWhatsAppMessages::Reader::AddQuote() {
  if (query_.ColumnType(kParentMessage) == SQLITE_NULL ||
      !quoted_.FindByInteger(query_.ColumnInt64(kParentMessage))) {
    return;
  }
  const SqliteStatement& row = quoted_.row();
  QuoteRecord& quote = *message_.StartQuote();
  quote[kQuoteType].SetInteger(AndroidMessageType(row.ColumnInt64(kQType)));
  quote[kQuoteKeyId].ReadColumn(row, kQStanzaId);
  quote[kQuoteIsFromMe].SetInteger(row.ColumnInt64(kQIsFromMe));
  quote[kQuoteText].ReadColumn(row, kQText);
  std::string sender;
  if (row.ColumnInt64(kQIsFromMe) == 0) {
    sender = MemberJid(row, kQMember);
    if (sender.empty()) sender = row.ColumnText(kQFromJid);
  }
  quote[kQuoteSenderId].SetText(sender);
  if (row.ColumnType(kQMedia) != SQLITE_NULL &&
      quoted_media_.FindByInteger(row.ColumnInt64(kQMedia))) {
    const SqliteStatement& media = quoted_media_.row();
    if (media.ColumnType(0) == SQLITE_INTEGER)
      quote[kQuoteMediaDuration].SetInteger(media.ColumnInt64(0));
    const std::string path = media.ColumnText(1);
    if (IsSafeStorePath(path) && !FileNameOfPath(path).empty())
      quote[kQuoteMediaName].SetText(FileNameOfPath(path));
  }
}

void IosWhatsAppMessages::Reader::ReadMessage(const std::string& jid, int session_type) {
  message_.Clear();
  message_[kMemberRowId].ReadColumn(query_, kRowId);
  message_[kMemberIsFromMe].SetInteger(query_.ColumnInt64(kIsFromMe));
  message_[kMemberSendDate].ReadColumn(query_, kSendDate);
  const int64_t type = AndroidMessageType(query_.ColumnInt64(kType));
  message_[kMemberType].SetInteger(type);
  const bool system = type == whatsapp::kTypeSystem;
  message_[kMemberSize].SetInteger(system ? AndroidActionType(query_.ColumnInt64(kGroupEvent)) : 0);
  message_[kMemberSendStatus].SetInteger(query_.ColumnInt64(kStatus));
  message_[kMemberContent].ReadColumn(query_, kText);
  message_[kMemberKeyId].ReadColumn(query_, kStanzaId);
  if (system) {
    const char* text = SystemEventText(message_[kMemberSize].AsInteger());
    if (text != nullptr) message_[kMemberSystemInfo].SetText(text);
  }
  ClassifyMessageRecord(0, &message_);
  NormaliseMessageSendStatus(session_type, &message_);
  SetThumbnail();
  AddQuote();
  SetMedia(type);
  SetVcard(jid, type);
  SetLinks();
  SetSender();
}

bool IosWhatsAppMessages::Reader::WriteChat(int64_t chat_pk, const std::string& jid,
                                            Json::Value* file_list) {
  if (!query_.prepared()) return true;
  const int session_type = WhatsAppSessionType(jid);
  ChatBatchWriter batches(files_, jid, file_list);
  query_.Reset();
  query_.BindInt64(1, chat_pk);
  while (query_.Step() == SQLITE_ROW) {
    if (StopRequested(stop_)) return false;
    ReadMessage(jid, session_type);
    message_.Write(batches.message_writer());
    batches.EndOrdinary();
  }
  batches.Finish();
  return true;
}

IosWhatsAppMessages::IosWhatsAppMessages(SQLite3Wrapper* db, IosWhatsAppBackup backup,
                                         PackageFileWriter* files, const std::atomic<int>* stop,
                                         const char* stem)
    : reader_(std::make_unique<Reader>(db, std::move(backup), files, stop, stem)) {}

IosWhatsAppMessages::~IosWhatsAppMessages() = default;

bool IosWhatsAppMessages::WriteChat(int64_t chat_pk, const std::string& jid,
                                    Json::Value* file_list) {
  return reader_->WriteChat(chat_pk, jid, file_list);
}

}  // namespace kx
