#include "ios/message_store.h"

#include <algorithm>
#include <vector>

#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/status.h"
#include "kit/address_book.h"
#include "kit/date_sql.h"

namespace kx {

namespace {

// The message columns both message queries read, in their order. A message
// row is read through "M"; its ROWID is read first and separately, since
// every table has one whether its definition names it or not.
const std::vector<SelectedColumn> kMessageHead = {
    {"M.handle_id", "handle_id", "handle_id"},
    {"M.date", "date", "date"},
    {"M.service", "service", "service"},
    {"M.text", "text", "text"},
};
const std::vector<SelectedColumn> kMessageMiddle = {
    {"M.is_from_me", "is_from_me", "is_from_me"},
    {"M.error", "send_status", "error"},
    {"M.guid", "guid", "guid"},
    {"M.destination_caller_id", "belong_number", "destination_caller_id"},
    {"M.is_deleted", "is_deleted", "is_deleted"},
    {"M.subject", "subject", "subject"},
};
const std::vector<SelectedColumn> kChatMessageTail = {
    {"M.attributedBody", "attributedBody", "attributedBody"},
    {"M.has_dd_results", "has_dd_results", "has_dd_results"},
    {"M.date_read", "date_read", "date_read"},
};
const std::vector<SelectedColumn> kLoosePlanColumns = {
    {"M.handle_id", "handle_id", "handle_id"},
    {"M.other_handle", "other_handle", "other_handle"},
    {"M.cache_roomnames", "cache_roomnames", "cache_roomnames"},
    {"M.date", "date", "date"},
};

// "send_date": the first nine digits of the date are whole seconds since
// 2001 on every phone, whether it counts in seconds (iOS 9 and before) or
// in nanoseconds. The stores without destination_caller_id had their
// messages in no chat dated with blanks round the dashes.
constexpr char kSendDate[] = KX_APPLE_LOCAL_DATE_SQL("substr(M.date,1,9)");
constexpr char kOlderLooseSendDate[] =
    KX_SPACED_LOCAL_DATE_OF_UNIX_SQL(KX_APPLE_UNIX_SECONDS_SQL("substr(M.date,1,9)"));

const std::vector<SelectedColumn> kChatColumns = {
    {"C.chat_identifier", "chat_identifier", "chat_identifier"},
    {"C.room_name", "room_name", "room_name"},
    {"C.display_name", "display_name", "display_name"},
    {"C.is_deleted", "is_deleted", "is_deleted"},
};

// The attachment columns of the newest stores; older ones lack the sync
// and sticker columns, which then add no member, as the shorter queries of
// those stores would.
const std::vector<SelectedColumn> kAttachmentColumns = {
    {"attachment.filename", "filename", "filename"},
    {"attachment.mime_type", "mime_type", "mime_type"},
    {"attachment.created_date", "created_date", "created_date"},
    {"attachment.total_bytes", "total_bytes", "total_bytes"},
    {"attachment.uti", "uti", "uti"},
    {"attachment.transfer_name", "transfer_name", "transfer_name"},
    {"attachment.guid", "attach_guid", "guid"},
    {"attachment.start_date", "start_date", "start_date"},
    {"attachment.ck_sync_state", "ck_sync_state", "ck_sync_state"},
    {"attachment.hide_attachment", "hide_attachment", "hide_attachment"},
    {"attachment.is_outgoing", "is_outgoing", "is_outgoing"},
    {"attachment.transfer_state", "transfer_state", "transfer_state"},
    {"attachment.is_sticker", "is_sticker", "is_sticker"},
    {"attachment.sr_ck_sync_state", "sr_ck_sync_state", "sr_ck_sync_state"},
    {"attachment.ck_record_id", "ck_record_id", "ck_record_id"},
    {"attachment.sr_ck_record_id", "sr_ck_record_id", "sr_ck_record_id"},
    {"attachment.original_guid", "attach_original_guid", "original_guid"},
    {"attachment.user_info", "user_info", "user_info"},
    {"attachment.sticker_user_info", "sticker_user_info", "sticker_user_info"},
    {"attachment.attribution_info", "attribution_info", "attribution_info"},
    {"attachment.ck_server_change_token_blob", "ck_server_change_token_blob",
     "ck_server_change_token_blob"},
    {"attachment.sr_ck_server_change_token_blob", "sr_ck_server_change_token_blob",
     "sr_ck_server_change_token_blob"},
};
const std::vector<SelectedColumn> kAttachmentJoinColumns = {
    {"message_attachment_join.is_deleted", "is_deleted", "is_deleted"},
};

constexpr char kMemberColumns[] =
    "SELECT H.ROWID AS handle_id, H.id AS phone_number, H.service AS service FROM handle AS H ";
constexpr char kChatHandleJoin[] =
    "LEFT JOIN chat_handle_join AS CH ON H.ROWID = CH.handle_id WHERE CH.chat_id = ?";
constexpr char kRecoverableSql[] = "select chat_id, message_id from chat_recoverable_message_join";
constexpr char kAttachmentFrom[] =
    " FROM attachment LEFT JOIN message_attachment_join ON attachment.ROWID = "
    "message_attachment_join.attachment_id WHERE message_attachment_join.message_id = ?";

constexpr char kOrderedAttachmentFrom[] =
    " FROM message_attachment_join CROSS JOIN attachment ON attachment.ROWID = "
    "message_attachment_join.attachment_id ORDER BY message_attachment_join.message_id, "
    "message_attachment_join.attachment_id";

std::vector<SelectedColumn> Joined(
    std::initializer_list<const std::vector<SelectedColumn>*> parts) {
  std::vector<SelectedColumn> columns;
  for (const std::vector<SelectedColumn>* part : parts) {
    columns.insert(columns.end(), part->begin(), part->end());
  }
  return columns;
}

// " and "-joined conditions after " WHERE " (or after `lead` when it
// already holds a WHERE); "" when there is none.
std::string Conditions(const std::vector<std::string>& conditions, const char* lead) {
  std::string text;
  for (const std::string& condition : conditions) {
    text += text.empty() ? lead : " and ";
    text += condition;
  }
  return text;
}

}  // namespace

void RecoverableMessages::Add(int64_t chat_id, int64_t message_id) {
  by_chat_.emplace(chat_id, message_id);
  messages_.insert(message_id);
}

void RecoverableMessages::IndexMessages() { bits_.Assign(messages_); }

bool RecoverableMessages::Has(int64_t chat_id, int64_t message_id) const {
  return !by_chat_.empty() && bits_.MayContain(message_id) &&
         by_chat_.count({chat_id, message_id}) != 0;
}

bool RecoverableMessages::Has(int64_t message_id) const {
  return !messages_.empty() && bits_.MayContain(message_id) && messages_.count(message_id) != 0;
}

MessageStore::MessageStore(const SQLite3Wrapper& db, const char* stem) : db_(db), stem_(stem) {
  const TableColumns message(db, "message");
  const TableColumns chat(db, "chat");
  const TableColumns chat_handles(db, "chat_handle_join");
  const TableColumns attachment(db, "attachment");
  const TableColumns attachment_join(db, "message_attachment_join");
  const bool has_chat_join = TableColumns(db, "chat_message_join").exists();
  has_recoverable_ = TableColumns(db, "chat_recoverable_message_join").exists();

  std::string missing;
  // A store with neither chats nor messages is no message store: its chat
  // query fails and it is refused.
  const bool has_chats = chat.exists() || !message.exists();
  if (has_chats) {
    const std::string chat_list = chat.SelectList(kChatColumns, &missing);
    LogMissingColumns("chat", missing);
    chats_sql_ = "SELECT DISTINCT C.ROWID AS chat_id," + chat_list;
    chats_sql_ += has_chat_join && TableColumns(db, "chat_message_join").Has("message_date")
                      ? " FROM chat AS C LEFT JOIN chat_message_join as m on c.ROWID = m.chat_id "
                        "order by message_date desc"
                      : " FROM chat AS C";
  } else {
    // No chats to read: the columns of the chat rows, and none of them.
    chats_sql_ =
        "SELECT NULL AS chat_id, NULL AS chat_identifier, NULL AS room_name, NULL AS "
        "display_name, NULL AS is_deleted WHERE 0";
  }

  // Members the phone removed from a one-to-one chat are marked only in
  // merged stores; a store that never went through the merge has none.
  group_members_.sql = std::string(kMemberColumns) + kChatHandleJoin;
  direct_members_.sql = group_members_.sql;
  if (chat_handles.Has("is_deleted")) direct_members_.sql += " AND CH.is_deleted = 0";
  handle_.sql = std::string(kMemberColumns) + "WHERE H.ROWID = ?";

  std::vector<std::string> message_conditions;
  if (message.Has("item_type")) message_conditions.push_back("M.item_type=0");
  missing.clear();
  const bool older_store = !message.Has("destination_caller_id");
  const SelectedColumn send_date = {kSendDate, "send_date", "date"};
  const SelectedColumn older_send_date = {kOlderLooseSendDate, "send_date", "date"};
  const std::vector<SelectedColumn> date_part = {send_date};
  const std::vector<SelectedColumn> chat_columns =
      Joined({&kMessageHead, &date_part, &kMessageMiddle, &kChatMessageTail});
  const std::string chat_message_list = "M.ROWID," + message.SelectList(chat_columns, &missing);
  LogMissingColumns("message", missing);
  std::string ignored;
  // A message in no chat is read from the same row: its object has the
  // columns of one in a chat without has_dd_results and date_read, with
  // cache_roomnames, and on the older stores with a send_date of its own.
  // other_handle is read only to place it.
  const std::vector<SelectedColumn> loose_extra = {kLoosePlanColumns[1], kLoosePlanColumns[2],
                                                   older_send_date};
  const size_t loose_extra_count = older_store ? 3 : 2;
  const std::string loose_extra_list = message.SelectList(
      std::vector<SelectedColumn>(loose_extra.begin(), loose_extra.begin() + loose_extra_count),
      &ignored);
  const int first = 1;  // ROWID; the chat id stands before it
  const int head_end = first + 1 + static_cast<int>(kMessageHead.size());
  const int middle_end = head_end + 1 + static_cast<int>(kMessageMiddle.size());
  const int chat_end = first + 1 + static_cast<int>(chat_columns.size());
  MessageColumns& columns = message_columns_;
  for (int column = first; column < chat_end; ++column) columns.chat_object.push_back(column);
  for (int column = first; column < middle_end; ++column) {
    if (column == head_end && older_store) continue;  // the chats' send_date
    columns.loose_object.push_back(column);
  }
  columns.loose_object.push_back(middle_end);  // attributedBody
  columns.other_handle = chat_end;
  columns.room_names = chat_end + 1;
  columns.loose_object.push_back(columns.room_names);
  if (older_store) columns.loose_object.push_back(chat_end + 2);
  columns.row_id = first;
  columns.handle_id = first + 1;
  columns.date = first + 2;

  const std::string chat_id_column = has_chat_join ? "CM.chat_id" : "NULL";
  // One pass over the messages in the order they lie in the file, for all
  // chats at once: chat by chat, the same pages would be read as often as
  // the chats' messages interleave. A message comes once for each chat it
  // is in, and once with a NULL chat when it is in none.
  const std::string message_from =
      (has_chat_join ? " FROM message AS M LEFT JOIN chat_message_join AS CM ON "
                       "CM.message_id = M.ROWID"
                     : " FROM message AS M") +
      Conditions(message_conditions, " WHERE ") + " ORDER BY M.ROWID";
  if (message.exists()) {
    all_messages_.sql = "SELECT " + chat_id_column + " AS chat_id," + chat_message_list + "," +
                        loose_extra_list + message_from;
  }
  if (message.exists() && (!has_chat_join || !chat.exists())) {
    // Without the chats or their join every message is one in no chat:
    // grouped by its room or its handle, it still reaches a conversation.
    KX_LOG_AT(
        kLogProblem, stem_, "No table %s: every message is read as one in no chat.",
        chat.exists() ? "chat_message_join" : (has_chat_join ? "chat" : "chat, chat_message_join"));
    incomplete_status_ = kStatusPrepareFailed;
  }
  const std::string loose_plan_list = "M.ROWID," + message.SelectList(kLoosePlanColumns, &ignored);
  plan_.sql = "SELECT " + loose_plan_list + "," + chat_id_column + message_from;

  missing.clear();
  if (attachment.exists() && attachment_join.exists()) {
    const std::string attachment_list =
        attachment.SelectList(kAttachmentColumns, &missing) + "," +
        attachment_join.SelectList(kAttachmentJoinColumns, &ignored);
    attachments_.sql = "SELECT " + attachment_list + kAttachmentFrom;
    ordered_attachments_.sql =
        "SELECT message_attachment_join.message_id," + attachment_list + kOrderedAttachmentFrom;
    LogMissingColumns("attachment", missing);
  } else {
    KX_LOG_AT(kLogProblem, stem_,
              "No table attachment or message_attachment_join: messages are read without "
              "attachments.");
    incomplete_status_ = kStatusPrepareFailed;
  }
}

void MessageStore::LogMissingColumns(const char* table, const std::string& missing) {
  const std::string lacked = WithoutMergeColumn(missing);
  if (lacked.empty()) return;
  KX_LOG_AT(kLogProblem, stem_, "%s has no column %s: read as NULL.", table, lacked.c_str());
}

SqliteStatement* MessageStore::Prepared(Statement* statement) {
  if (!statement->tried) {
    statement->tried = true;
    if (!statement->sql.empty() && statement->query.Prepare(db_, statement->sql) != SQLITE_OK) {
      KX_LOG_SQLITE_ERROR(stem_, db_.handle());
      incomplete_status_ = kStatusPrepareFailed;
    }
  }
  if (!statement->query.prepared()) return nullptr;
  statement->query.Reset();
  return &statement->query;
}

SqliteStatement* MessageStore::Bound(Statement* statement, int64_t value) {
  SqliteStatement* query = Prepared(statement);
  if (query != nullptr) query->BindInt64(1, value);
  return query;
}

int MessageStore::PrepareChats() {
  if (chats_.Prepare(db_, chats_sql_) == SQLITE_OK) return kStatusOk;
  KX_LOG_SQLITE_ERROR(stem_, db_.handle());
  return kStatusPrepareFailed;
}

void MessageStore::ReadMembers(int64_t chat_id, bool group, const ContactIndex& contacts,
                               Json::Value* members) {
  SqliteStatement* query = Bound(group ? &group_members_ : &direct_members_, chat_id);
  while (query != nullptr && query->Step() == SQLITE_ROW) {
    Json::Value member(Json::objectValue);
    ReadMember(*query, contacts, &member);
    members->append(std::move(member));
  }
}

bool MessageStore::ReadHandle(int64_t handle_id, const ContactIndex& contacts,
                              Json::Value* member) {
  SqliteStatement* query = Bound(&handle_, handle_id);
  if (query == nullptr || query->Step() != SQLITE_ROW) return false;
  ReadMember(*query, contacts, member);
  return true;
}

void MessageStore::ReadMember(const SqliteStatement& row, const ContactIndex& contacts,
                              Json::Value* member) {
  ReadRowIntoJson(row, member);
  for (auto& [name, value] : AddressBookMembers(contacts, row.ColumnText(1))) {
    (*member)[name] = std::move(value);
  }
}

RecoverableMessages MessageStore::ReadRecoverable() {
  RecoverableMessages recoverable;
  if (!has_recoverable_) return recoverable;
  SqliteStatement query = PrepareStatement(db_, kRecoverableSql);
  while (query.Step() == SQLITE_ROW) recoverable.Add(query.ColumnInt64(0), query.ColumnInt64(1));
  recoverable.IndexMessages();
  return recoverable;
}

// The rows of a message follow each other. It is in a chat when one of its
// join rows names a chat that still exists; the spans are summed here
// rather than grouped by SQLite, whose sorter would hold a row per message.
MessagePlan MessageStore::ReadMessagePlan(bool spans,
                                          const std::function<bool(const LooseMessage&)>& loose) {
  MessagePlan plan;
  std::unordered_set<int64_t> chats;
  SqliteStatement chat_ids = PrepareStatement(db_, "SELECT ROWID FROM chat");
  while (chat_ids.Step() == SQLITE_ROW) chats.insert(chat_ids.ColumnInt64(0));
  SqliteStatement* rows = Prepared(&plan_);
  if (rows == nullptr) return plan;
  LooseMessage message;
  bool pending = false;
  bool in_chat = false;
  // False when `loose` ended the pass.
  const auto finish = [&] {
    const bool go_on = !pending || in_chat || loose(message);
    pending = false;
    return go_on;
  };
  while (rows->Step() == SQLITE_ROW) {
    const int64_t row_id = rows->ColumnInt64(0);
    if (!pending || row_id != message.row_id) {
      if (!finish()) return plan;
      message = LooseMessage();
      message.row_id = row_id;
      message.handle_id = rows->ColumnInt64(1);
      if (message.handle_id == 0) message.handle_id = rows->ColumnInt64(2);
      message.room_names = rows->ColumnText(3);
      message.date = rows->ColumnInt64(4);
      pending = true;
      in_chat = false;
    }
    if (rows->ColumnType(5) == SQLITE_NULL || chats.count(rows->ColumnInt64(5)) == 0) continue;
    in_chat = true;
    if (!spans) continue;
    ChatSpan& span = plan.spans[rows->ColumnInt64(5)];
    span.last_date = span.has_messages ? std::max(span.last_date, message.date) : message.date;
    span.has_messages = true;
  }
  finish();
  return plan;
}

SqliteStatement* MessageStore::AllMessages() { return Prepared(&all_messages_); }

SqliteStatement* MessageStore::OrderedAttachments() { return Prepared(&ordered_attachments_); }

SqliteStatement* MessageStore::Attachments(int64_t message_id) {
  return Bound(&attachments_, message_id);
}

}  // namespace kx
