#include "ioschat/kik_queries.h"

#include <vector>

#include "common/select_list.h"
#include "ioschat/core_data_store.h"

namespace kx {

namespace {

// "SELECT a AS x, b AS y, ..." with the columns taken in order, so that
// what is missing is noted in that order.
struct Selected {
  const StoreTable* table;  // null: `column` is an expression of its own
  const char* column;
  const char* as;
};
std::string SelectList(const std::vector<Selected>& columns, std::string* missing) {
  std::string sql = "SELECT ";
  for (const Selected& selected : columns) {
    if (sql.size() > 7) sql += ", ";
    sql += selected.table == nullptr ? selected.column
                                     : selected.table->Column(selected.column, missing);
    if (selected.as != nullptr) sql += std::string(" AS ") + selected.as;
  }
  return sql;
}

std::string MessageQuery(const StoreTable& messages, const StoreTable& attachments,
                         const StoreTable& users, bool with_sender, std::string* missing) {
  std::vector<Selected> columns = {
      {nullptr, "MSG.Z_PK", nullptr},         {&messages, "ZTYPE", "is_from_me"},
      {&messages, "ZTIMESTAMP", "send_date"}, {&messages, "ZBODY", "text"},
      {&messages, "ZBODY", "display"},        {&attachments, "ZCONTENT", "ZCONTENT"},
      {&users, "ZDISPLAYNAME", "from_id"},    {&messages, "ZSTATE", "send_state"},
      {&attachments, "ZTYPE", "type"},
  };
  if (with_sender) columns.push_back({&messages, "ZUSER", "ZUSER"});
  std::string sql = SelectList(columns, missing) + " FROM ZKIKMESSAGE AS MSG";
  if (attachments.Has("ZMESSAGE")) {
    sql += " LEFT JOIN ZKIKATTACHMENT AS ATCH ON MSG.Z_PK = ATCH.ZMESSAGE";
  }
  if (users.exists()) {
    sql += " LEFT JOIN ZKIKUSER AS USER ON " + messages.Column("ZUSER", missing) + " = USER.Z_PK";
  }
  return sql;
}

}  // namespace

KikQueries BuildKikQueries(const SQLite3Wrapper& db, std::string* missing) {
  KikQueries queries;
  const StoreTable chats(db, "ZKIKCHAT", "ZKIKCHAT");
  const StoreTable session_users(db, "ZKIKUSER", "ZKIKUSER");
  const StoreTable messages(db, "ZKIKMESSAGE", "MSG");
  const StoreTable attachments(db, "ZKIKATTACHMENT", "ATCH");
  const StoreTable users(db, "ZKIKUSER", "USER");
  if (!session_users.exists()) NoteMissing("ZKIKUSER", missing);
  if (!attachments.exists()) NoteMissing("ZKIKATTACHMENT", missing);
  // Without ZKIKCHAT the query fails to prepare, as on a store of another
  // application.
  queries.sessions = SelectList({{nullptr, "ZKIKCHAT.Z_PK", "chat_pk"},
                                 {&session_users, "ZDISPLAYNAME", "session_name"},
                                 {&session_users, "ZJID", "session_id"},
                                 {&chats, "ZUSER", "ZUSER"},
                                 {&chats, "ZDATEUPDATED", "last_date"}},
                                missing) +
                     " FROM ZKIKCHAT";
  if (session_users.exists()) {
    queries.sessions +=
        " LEFT JOIN ZKIKUSER ON " + chats.Column("ZUSER", missing) + " = ZKIKUSER.Z_PK";
  }
  queries.sessions += " ORDER BY last_date DESC";

  // The join tables are named after entity numbers that move between
  // versions (Z_4MESSAGES / Z_9MEMBERS, Z_3MESSAGES / Z_6MEMBERS, ...).
  const CoreDataJoin members = FindCoreDataJoin(db, "MEMBERS", "MEMBERSINVERSE", "MEMBERS");
  const CoreDataJoin chat_messages = FindCoreDataJoin(db, "MESSAGES", "CHAT", "MESSAGES");
  if (!members.found()) {
    NoteMissing("the group-member join table (Z_<n>MEMBERS)", missing);
  } else if (session_users.exists()) {
    queries.members = "SELECT " + session_users.Column("ZDISPLAYNAME", missing) +
                      " AS member_name FROM " + members.table + " LEFT JOIN ZKIKUSER ON " +
                      members.table + "." + members.second + " = ZKIKUSER.Z_PK WHERE " +
                      members.table + "." + members.first + " = ?";
  }
  if (!messages.exists()) {
    NoteMissing("ZKIKMESSAGE", missing);
    return queries;
  }
  if (!chat_messages.found()) {
    // Nothing tells which messages had a chat: none is placed anywhere.
    NoteMissing("the chat-message join table (Z_<n>MESSAGES)", missing);
    return queries;
  }
  const std::string& table = chat_messages.table;
  const std::string message_column = table + "." + chat_messages.second;
  const std::string join = " LEFT JOIN " + table + " ON " + message_column + " = MSG.Z_PK";
  std::string ignored;  // each column is noted once, by the first query
  queries.chat_messages = MessageQuery(messages, attachments, users, false, missing) + join +
                          " WHERE " + table + "." + chat_messages.first + " = ?";
  queries.deleted_messages = MessageQuery(messages, attachments, users, true, &ignored) + join +
                             " WHERE MSG.Z_PK NOT IN (SELECT " + message_column + " FROM " + table +
                             ")";
  return queries;
}

}  // namespace kx
