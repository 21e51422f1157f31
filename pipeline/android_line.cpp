#include "pipeline/android_line.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/json_util.h"
#include "common/local_date.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/select_list.h"
#include "common/side_files.h"
#include "common/staging.h"
#include "common/status.h"
#include "common/text.h"
#include "packager/package_steps.h"
#include "pipeline/android_line_details.h"
#include "pipeline/line_message_classifier.h"

namespace kx {

namespace {

constexpr char kCheckParamOperation[] = "AndroidLineDataPackage::CheckParam";
constexpr char kInitOperation[] = "AndroidLineDataPackage::Init";
constexpr char kAnalyseOperation[] = "AndroidLineDataPackage::AnalyseDatabase";
constexpr char kOutPutOperation[] = "AndroidLineDataPackage::OutPut";
constexpr char kSearchAccountOperation[] = "AndroidLineDataPackage::_SearchAccountID";
constexpr char kGetChatOperation[] = "AndroidLineDataPackage::_GetChat";
constexpr char kGetMessageOperation[] = "AndroidLineDataPackage::_GetMessage";
constexpr char kContactNameOperation[] = "AndroidLineDataPackage::_GetContactName";
constexpr char kGroupNameOperation[] = "AndroidLineDataPackage::_GetGroupName";
constexpr char kGroupMemberOperation[] = "AndroidLineDataPackage::_GetGroupMember";
constexpr char kDealReplyOperation[] = "AndroidLineDataPackage::_DealReplyMsg";

// Account id candidates, tried in order: the owner's own chat, the chat of
// the account's type-33 records, the owner of the one-to-one chats.
constexpr const char* kAccountQueries[] = {
    "SELECT chat_id FROM chat where chat_id = owner_mid",
    "SELECT DISTINCT chat_id FROM chat_history WHERE type = 33",
    "SELECT DISTINCT owner_mid AS chat_id FROM chat WHERE type = 1 AND owner_mid IS NOT NULL",
};

constexpr char kGroupQuery[] = "SELECT id,name FROM groups";
constexpr char kMemberQuery[] = "SELECT id,m_id FROM membership";
constexpr char kContactQuery[] = "SELECT m_id,name FROM contacts";

std::string ChatQuery() {
  return "SELECT chat_id, last_message, " + LocalMinuteOfMillisSql("last_created_time") +
         " AS chat_lase_update_time, (message_count - read_message_count) unread, type, "
         "is_notification, " +
         LocalMinuteOfMillisSql("last_message_display_time") +
         " AS last_msg_time, is_archived FROM chat order by last_created_time desc";
}
enum ChatColumn {
  kChatId,
  kChatLastMessage,
  kChatLastCreatedTime,
  kChatUnread,
  kChatType,
  kChatIsNotification,
  kChatLastMessageTime,
  kChatIsArchived,
  kChatColumnCount
};

// The message query, over the whole table in id order (the table's own
// order where id is its row id); the last column tells the rows that name
// the members of a room.
// "send_time" is SQLite's text only of the dates that the send-time
// formatter leaves to SQLite; it formats the others from original_time.
std::string MessageQuery() {
  return "SELECT id, server_id, chat_id, " +
         LocalDateFormatter::SqlFallback("created_time", true, LocalDateForm::kSecondOfMillis) +
         " AS send_time, created_time AS original_time, location_latitude AS latitude, "
         "location_longitude AS longitude, attachement_image_height AS image_height, "
         "attachement_image_width AS image_width, content, location_name, location_address, "
         "type, attachement_type, from_mid, parameter, type IN (3, 9) AS room_member_row FROM "
         "chat_history ORDER BY id";
}
enum MessageColumn {
  kMessageId,
  kMessageServerId,
  kMessageChatId,
  kMessageSendTime,
  kMessageOriginalTime,
  kMessageLatitude,
  kMessageLongitude,
  kMessageImageHeight,
  kMessageImageWidth,
  kMessageContent,
  kMessageLocationName,
  kMessageLocationAddress,
  kMessageType,
  kMessageAttachementType,
  kMessageFromMid,
  kMessageParameter,
  kMessageRoomMemberRow,
  kMessageColumnCount
};

// The rows that may hold contact cards: LINE type 1 with attachement type
// 13, read as the message query reads them (32-bit integers); rows of other
// storage classes are checked row by row.
constexpr char kCardQuery[] =
    "SELECT id, chat_id, type, attachement_type, parameter FROM chat_history WHERE NOT "
    "(typeof(type) IN ('integer', 'null') AND (ifnull(type, 0) & 4294967295) <> 1) AND NOT "
    "(typeof(attachement_type) IN ('integer', 'null') AND (ifnull(attachement_type, 0) & "
    "4294967295) <> 13) ORDER BY id";
enum CardColumn { kCardId, kCardChatId, kCardType, kCardAttachementType, kCardParameter };
constexpr int kLineCardType = 1;
constexpr int kLineCardAttachement = 13;

// The detail texts waiting in memory, all chats together.
constexpr size_t kDetailMemoryLimit = 4 << 20;

constexpr char kReplyQuery[] =
    "SELECT id,content,type,attachement_type,from_mid,parameter FROM chat_history WHERE "
    "server_id = ?";
enum ReplyColumn {
  kReplyId,
  kReplyContent,
  kReplyType,
  kReplyAttachementType,
  kReplyFromMid,
  kReplyParameter
};

constexpr char kReplyRelationKey[] = "message_relation_server_message_id";

// Reads one row column by column, testing the staged stop flag before each.
class StoppableRow {
 public:
  StoppableRow(const SqliteStatement& statement, const std::atomic<int>* staged_stop,
               const char* operation)
      : statement_(statement), staged_stop_(staged_stop), operation_(operation) {}

  bool stopped() const { return stopped_; }
  std::string Text(int column) { return Go() ? statement_.ColumnText(column) : std::string(); }
  // The text into `out`, whose buffer serves row after row.
  void TextInto(int column, std::string* out) {
    if (Go()) {
      out->assign(statement_.ColumnTextView(column));
    } else {
      out->clear();
    }
  }
  // The date of `value_column` in `dates`' form into `out` ("" for none);
  // `fallback_column` holds SQLite's text where the formatter leaves it.
  void DateInto(LocalDateFormatter* dates, int value_column, int fallback_column,
                std::string* out) {
    std::string_view date;
    if (Go() && dates->Format(statement_.handle(), value_column, fallback_column, &date)) {
      out->assign(date);
    } else {
      out->clear();
    }
  }
  // A column the message does not show: only the stop flag is tested.
  void Skip(int) { Go(); }
  int Int(int column) { return Go() ? statement_.ColumnInt(column) : 0; }
  int64_t Int64(int column) { return Go() ? statement_.ColumnInt64(column) : 0; }
  double Double(int column) { return Go() ? statement_.ColumnDouble(column) : 0.0; }

 private:
  bool Go() {
    if (!stopped_ && StagedStopRequested(staged_stop_, operation_)) stopped_ = true;
    return !stopped_;
  }

  const SqliteStatement& statement_;
  const std::atomic<int>* staged_stop_;
  const char* operation_;
  bool stopped_ = false;
};

bool PathExists(const std::string& utf8_path) {
  if (utf8_path.empty()) return false;
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(utf8_path), error);
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += ',';
    joined += name;
  }
  return joined;
}

}  // namespace

AndroidLineDataPackage::AndroidLineDataPackage(const StagedParameters& parameters)
    : temp_folder_(parameters.temp_folder),
      callback_(parameters.callback),
      result_kind_(parameters.result_kind),
      staged_stop_(parameters.staged_stop),
      line_file_path_(parameters.primary_file_path),
      storage_(parameters.temp_folder) {}

AndroidLineDataPackage::~AndroidLineDataPackage() = default;

// ---------------------------------------------------------------------------
// Stages

int AndroidLineDataPackage::CheckParam() {
  for (const std::string* path : {&line_file_path_, &temp_folder_}) {
    if (!PathExists(*path)) {
      KX_LOG_OP(kLogError, kCheckParamOperation, "File {%s} not exists", path->c_str());
      return kStatusMissingInput;
    }
  }
  return kStatusOk;
}

int AndroidLineDataPackage::Init() {
  const std::string staged_path = StageSourceFile(temp_folder_, line_file_path_);
  if (staged_path.empty()) {
    KX_LOG_OP(kLogError, kInitOperation,
              "Database open failed, error code:{%d}, error message:{%s}", SQLITE_CANTOPEN,
              sqlite3_errstr(SQLITE_CANTOPEN));
    return kStatusOpenFailed;
  }
  db_ = std::make_unique<SQLite3Wrapper>(staged_path);
  const SourceCheck check = CheckSourceDatabase(db_.get());
  if (!check.ok()) {
    KX_LOG_OP(kLogError, kInitOperation,
              "Database open failed, error code:{%d}, error message:{%s}", check.sqlite_code,
              check.message.c_str());
    db_.reset();
    return check.status;
  }
  return kStatusOk;
}

int AndroidLineDataPackage::AnalyseDatabase() {
  if (db_ == nullptr) {
    KX_LOG_OP(kLogError, kAnalyseOperation, "database is not open");
    return kStatusOpenFailed;
  }
  SearchAccountID();
  int rc = GetChat();
  if (rc == kStatusOk) rc = GetMessage();
  if (rc != kStatusOk) {
    KX_LOG(kLogError, "Parse Chat ERROR");
    return rc;
  }
  return kStatusOk;
}

int AndroidLineDataPackage::OutPut() {
  Json::Value document;
  storage_.BuildResultDocument(document);
  const int handed_over =
      HandOverDocument(result_kind_, WriteJson(document), callback_, kOutPutOperation);
  if (handed_over != kStatusOk) return handed_over;
  // A damaged page ends a read loop early: what was read is handed over
  // above, and the run still fails in SQLite's words.
  std::string damage;
  if (db_ != nullptr && db_->ReadDamage(&damage) != 0) {
    KX_LOG_OP(kLogError, kAnalyseOperation, "sqlite error message : %s.", damage.c_str());
    return kStatusStepFailed;
  }
  return kStatusOk;
}

// ---------------------------------------------------------------------------
// Look-ups

int AndroidLineDataPackage::Prepare(const char* operation, const std::string& sql,
                                    SqliteStatement* statement) {
  if (statement->Prepare(*db_, sql) == SQLITE_OK) return kStatusOk;
  KX_LOG_OP(kLogError, operation, "Sql prepare failed, error code:{%d}, error message:{%s}",
            sqlite3_errcode(db_->handle()), sqlite3_errmsg(db_->handle()));
  return kStatusPrepareFailed;
}

void AndroidLineDataPackage::SearchAccountID() {
  for (const char* sql : kAccountQueries) {
    SqliteStatement statement;
    if (Prepare(kSearchAccountOperation, sql, &statement) != kStatusOk) continue;
    if (statement.Step() != SQLITE_ROW) continue;
    std::string account_id = statement.ColumnText(0);
    if (!account_id.empty()) {
      account_id_ = std::move(account_id);
      return;
    }
  }
}

int AndroidLineDataPackage::GetContactName() {
  SqliteStatement statement;
  const int rc = Prepare(kContactNameOperation, kContactQuery, &statement);
  if (rc != kStatusOk) return rc;
  const auto stopped = [this] { return StagedStopRequested(staged_stop_, kContactNameOperation); };
  if (!LoadContactNames(statement, EmptyNames::kKeep, stopped, &contact_names_)) {
    return kStatusStopped;
  }
  const auto owner = contact_names_.find(account_id_);
  if (owner != contact_names_.end()) my_name_ = owner->second;
  return kStatusOk;
}

int AndroidLineDataPackage::GetGroupName() {
  SqliteStatement statement;
  const int rc = Prepare(kGroupNameOperation, kGroupQuery, &statement);
  if (rc != kStatusOk) return rc;
  const auto stopped = [this] { return StagedStopRequested(staged_stop_, kGroupNameOperation); };
  return LoadContactNames(statement, EmptyNames::kKeep, stopped, &group_names_) ? kStatusOk
                                                                                : kStatusStopped;
}

int AndroidLineDataPackage::GetGroupMember() {
  SqliteStatement statement;
  const int rc = Prepare(kGroupMemberOperation, kMemberQuery, &statement);
  if (rc != kStatusOk) return rc;
  while (statement.Step() == SQLITE_ROW) {
    StoppableRow row(statement, staged_stop_, kGroupMemberOperation);
    std::string id = row.Text(0);
    std::string member_id = row.Text(1);
    if (row.stopped()) return kStatusStopped;
    group_members_[std::move(id)].push_back(std::move(member_id));
  }
  return kStatusOk;
}

std::vector<std::string> AndroidLineDataPackage::MemberNames(
    const std::vector<std::string>& mids) const {
  std::vector<std::string> names;
  for (const std::string& mid : mids) {
    const auto found = contact_names_.find(mid);
    if (found != contact_names_.end() && !found->second.empty()) names.push_back(found->second);
  }
  return names;
}

// ---------------------------------------------------------------------------
// Chats

int AndroidLineDataPackage::ReadChatRow(const SqliteStatement& statement, LineChat* chat) {
  StoppableRow row(statement, staged_stop_, kGetChatOperation);
  chat->mid = row.Text(kChatId);
  chat->last_message = row.Text(kChatLastMessage);
  chat->last_created_time = row.Text(kChatLastCreatedTime);
  chat->unread = row.Int(kChatUnread);
  chat->type = row.Int(kChatType);
  chat->is_notification = row.Int(kChatIsNotification);
  chat->last_message_time = row.Text(kChatLastMessageTime);
  chat->is_archived = row.Int(kChatIsArchived);
  return row.stopped() ? kStatusStopped : kStatusOk;
}

void AndroidLineDataPackage::NameChat(LineChat* chat) {
  switch (chat->mid.empty() ? '\0' : chat->mid[0]) {
    case 'u': {
      const auto found = contact_names_.find(chat->mid);
      if (found != contact_names_.end()) chat->session_name = found->second;
      break;
    }
    case 'c': {
      const auto name = group_names_.find(chat->mid);
      if (name != group_names_.end()) chat->session_name = name->second;
      const auto members = group_members_.find(chat->mid);
      if (members != group_members_.end()) chat->group_member = MemberNames(members->second);
      break;
    }
    // A room is named by its members, found among its messages.
    default:
      break;
  }
}

void AndroidLineDataPackage::AddRoomMembers(std::string_view content, RoomMembers* members) {
  for (std::string& mid : SplitString(std::string(content), '\n')) {
    if (!mid.empty() && mid.back() == '\r') mid.pop_back();
    if (!mid.empty() && members->seen.insert(mid).second) members->mids.push_back(std::move(mid));
  }
}

void AndroidLineDataPackage::NameRoom(const RoomMembers& members, LineChat* chat) const {
  std::vector<std::string> names = MemberNames(members.mids);
  chat->session_name = JoinNames(names);
  chat->group_member = std::move(names);
}

int AndroidLineDataPackage::GetChat() {
  // The look-ups only name things: a missing table leaves names empty.
  GetContactName();
  GetGroupName();
  GetGroupMember();
  storage_.SetAccount(account_id_, my_name_);

  SqliteStatement statement;
  int rc = Prepare(kGetChatOperation, ChatQuery(), &statement);
  if (rc != kStatusOk) return rc;
  std::unordered_set<std::string> seen;
  while (statement.Step() == SQLITE_ROW) {
    LineChat chat;
    rc = ReadChatRow(statement, &chat);
    if (rc != kStatusOk) return rc;
    // The owner's own chat is no conversation; a repeated id is one chat.
    if (chat.mid == account_id_ || !seen.insert(chat.mid).second) continue;
    NameChat(&chat);
    if (StagedStopRequested(staged_stop_, kGetChatOperation)) return kStatusStopped;
    chat.id = static_cast<int>(chats_.size()) + 1;
    chats_.push_back(std::move(chat));
  }
  return kStatusOk;
}

// ---------------------------------------------------------------------------
// Messages

void AndroidLineDataPackage::ResolveSender(const std::string& from_mid, bool* is_from_me,
                                           std::string* sender) const {
  *is_from_me = from_mid.empty() || from_mid == account_id_;
  sender->clear();
  if (*is_from_me) return;
  const auto found = contact_names_.find(from_mid);
  if (found != contact_names_.end()) *sender = found->second;
}

void AndroidLineDataPackage::EnsureChatHistoryIndex(const char* column) {
  std::string error;
  if (!EnsureLeadingIndex(db_.get(), "chat_history", column, &error)) {
    KX_LOG_OP(kLogProblem, kAnalyseOperation, "no index on chat_history(%s): %s", column,
              error.c_str());
  }
}

// The display name is the sender's text: it only ever becomes a plain file
// name, unique within the run (also on case-insensitive disks).
std::string CardFileName(const LineMessage& message) {
  return SafeFileName(message.vCard_name, "vCard_" + std::to_string(message.id));
}

void AndroidLineDataPackage::WriteContactCard(size_t chat, const std::string& card_text,
                                              LineMessage* message) {
  // The name claimed ahead for this card; one the claims did not foresee
  // (the table changed its rows' order between the two reads) claims its
  // own.
  const std::string name = next_card_[chat] < card_names_[chat].size()
                               ? card_names_[chat][next_card_[chat]++]
                               : card_file_names_.Claim(CardFileName(*message));
  const std::string path = JoinPath(temp_folder_, name + ".vcf");
  // A card that could not be written whole still names its file; only one
  // that could not be created does not.
  const FileWriteResult written = WriteNewFile(path, card_text);
  if (written.failed_step == FileStep::kOpen) {
    KX_LOG_OP(kLogProblem, kGetMessageOperation, "Open file {%s} failed, error message:{%s}",
              path.c_str(), std::strerror(written.error));
    return;
  }
  message->vCard_file = path;
}

void AndroidLineDataPackage::DealReplyMsg(const std::string& server_id, const std::string& chat_id,
                                          LineMessage* message) {
  if (reply_statement_failed_) return;
  if (!reply_statement_.prepared()) {
    EnsureChatHistoryIndex("server_id");
    if (Prepare(kDealReplyOperation, kReplyQuery, &reply_statement_) != kStatusOk) {
      reply_statement_failed_ = true;  // logged once, not once per reply
      return;
    }
  }
  reply_statement_.Reset();
  reply_statement_.BindText(1, server_id);
  if (reply_statement_.Step() != SQLITE_ROW) return;
  const LineParameters parameters =
      LineParameters::Parse(reply_statement_.ColumnText(kReplyParameter));
  // The original as its own message would read; it is shown in the reply's
  // chat, whose folder holds its thumbnail.
  LineMessage original;
  original.id = reply_statement_.ColumnInt64(kReplyId);
  original.content = reply_statement_.ColumnText(kReplyContent);
  original.type =
      ClassifyLineMessage(reply_statement_.ColumnInt(kReplyType),
                          reply_statement_.ColumnInt(kReplyAttachementType), parameters);
  FillLineMessageDetails(parameters, chat_id, contact_names_, &original);
  bool from_me = false;
  ResolveSender(reply_statement_.ColumnText(kReplyFromMid), &from_me, &message->reply.reply_sender);
  message->reply.reply_type = original.type;
  message->reply.reply_content = std::move(original.content);
  message->reply.reply_thumb = std::move(original.thumb_path);
}

int AndroidLineDataPackage::ReadMessageRow(const SqliteStatement& statement, size_t chat,
                                           LocalDateFormatter* send_times, LineMessage* message) {
  const std::string& chat_id = chats_[chat].mid;
  StoppableRow row(statement, staged_stop_, kGetMessageOperation);
  message->id = row.Int64(kMessageId);
  row.TextInto(kMessageServerId, &server_id_);
  row.Skip(kMessageChatId);  // the caller found the chat
  row.DateInto(send_times, kMessageOriginalTime, kMessageSendTime, &message->create_time);
  row.TextInto(kMessageOriginalTime, &message->original_time);
  message->latitude = row.Double(kMessageLatitude);
  message->longitude = row.Double(kMessageLongitude);
  message->image_height = row.Double(kMessageImageHeight);
  message->image_width = row.Double(kMessageImageWidth);
  row.TextInto(kMessageContent, &message->content);
  row.Skip(kMessageLocationName);
  row.Skip(kMessageLocationAddress);
  const int line_type = row.Int(kMessageType);
  const int attachement_type = row.Int(kMessageAttachementType);
  row.TextInto(kMessageFromMid, &from_mid_);
  row.TextInto(kMessageParameter, &parameter_text_);
  if (row.stopped()) return kStatusStopped;

  ResolveSender(from_mid_, &message->is_from_me, &message->sender);
  const LineParameters parameters = LineParameters::Parse(parameter_text_);
  message->type = ClassifyLineMessage(line_type, attachement_type, parameters);
  message->server_id = EffectiveServerId(line_type, server_id_, message->id);
  FillLineMessageDetails(parameters, chat_id, contact_names_, message);
  // A card is written whenever there is one, also under an empty display
  // name (then under a name made from the message id).
  if (message->type == line_type::kContactCard &&
      (parameters.Has("displayName") || parameters.Has("vCard"))) {
    WriteContactCard(chat, parameters.Get("vCard"), message);
  }
  if (parameters.Has(kReplyRelationKey)) {
    message->rely_server_id = parameters.Get(kReplyRelationKey);
    DealReplyMsg(message->rely_server_id, chat_id, message);
  }
  return kStatusOk;
}

int AndroidLineDataPackage::ClaimCardNames(const ChatIndex& chat_index) {
  card_names_.assign(chats_.size(), {});
  next_card_.assign(chats_.size(), 0);
  SqliteStatement statement;
  const int rc = Prepare(kGetMessageOperation, kCardQuery, &statement);
  if (rc != kStatusOk) return rc;
  // The rows come in id order: each chat's cards are in the order its
  // messages are written.
  while (statement.Step() == SQLITE_ROW) {
    if (StagedStopRequested(staged_stop_, kGetMessageOperation)) return kStatusStopped;
    const auto chat = chat_index.find(statement.ColumnTextView(kCardChatId));
    if (chat == chat_index.end() || statement.ColumnInt(kCardType) != kLineCardType ||
        statement.ColumnInt(kCardAttachementType) != kLineCardAttachement) {
      continue;
    }
    const LineParameters parameters = LineParameters::Parse(statement.ColumnText(kCardParameter));
    if (!parameters.Has("displayName") && !parameters.Has("vCard")) continue;
    LineMessage card;
    card.id = statement.ColumnInt64(kCardId);
    card.type = ClassifyLineMessage(kLineCardType, kLineCardAttachement, parameters);
    FillLineMessageDetails(parameters, chats_[chat->second].mid, contact_names_, &card);
    card_names_[chat->second].push_back(CardFileName(card));
  }
  // Claimed chat after chat, as the detail files are numbered.
  for (std::vector<std::string>& names : card_names_) {
    for (std::string& name : names) name = card_file_names_.Claim(name);
  }
  return kStatusOk;
}

int AndroidLineDataPackage::GetMessage() {
  SqliteStatement statement;
  int rc = Prepare(kGetMessageOperation, MessageQuery(), &statement);
  if (rc != kStatusOk) return rc;
  ChatIndex chat_index;
  std::unordered_map<size_t, RoomMembers> rooms;
  for (size_t i = 0; i < chats_.size(); ++i) {
    chat_index.emplace(chats_[i].mid, i);
    if (!chats_[i].mid.empty() && chats_[i].mid[0] == 'r') rooms[i];
  }
  rc = ClaimCardNames(chat_index);
  if (rc != kStatusOk) return rc;

  // One pass in the table's order; messages of chats not listed are not
  // read. A chat whose file cannot be written still has its cards written.
  LineDetailTexts texts(temp_folder_, chats_.size(), kDetailMemoryLimit);
  LineMessage message;
  LocalDateFormatter send_times(*db_, LocalDateForm::kSecondOfMillis);
  while (statement.Step() == SQLITE_ROW) {
    const auto chat = chat_index.find(statement.ColumnTextView(kMessageChatId));
    if (chat == chat_index.end()) {
      if (StagedStopRequested(staged_stop_, kGetMessageOperation)) return kStatusStopped;
      continue;
    }
    message.Clear();
    rc = ReadMessageRow(statement, chat->second, &send_times, &message);
    if (rc != kStatusOk) return rc;
    const auto room = rooms.find(chat->second);
    if (room != rooms.end() && statement.ColumnInt(kMessageRoomMemberRow) != 0) {
      AddRoomMembers(statement.ColumnTextView(kMessageContent), &room->second);
    }
    texts.Add(chat->second, message);
  }
  for (auto& [index, members] : rooms) NameRoom(members, &chats_[index]);
  for (size_t i = 0; i < chats_.size(); ++i) storage_.AddChat(std::move(chats_[i]), &texts, i);
  chats_.clear();
  return kStatusOk;
}

}  // namespace kx
