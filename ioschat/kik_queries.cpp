#include "ioschat/kik_queries.h"

#include <vector>

#include "common/select_list.h"
#include "ioschat/sql_identifier.h"

namespace kx {

namespace {

void AddMissing(const std::string& what, std::string* missing) {
  if ((", " + *missing + ", ").find(", " + what + ", ") != std::string::npos) return;
  if (!missing->empty()) *missing += ", ";
  *missing += what;
}

// One table of the store and the name the queries give it.
class Table {
 public:
  Table(const SQLite3Wrapper& db, const char* name, const char* alias)
      : columns_(db, name), name_(name), alias_(alias) {}

  bool exists() const { return columns_.exists(); }
  // alias.column, or NULL (noted once) when the table lacks it.
  std::string Column(const char* column, std::string* missing) const {
    if (columns_.Has(column)) return alias_ + "." + column;
    if (exists()) AddMissing(name_ + "." + column, missing);
    return "NULL";
  }
  bool Has(const char* column) const { return columns_.Has(column); }

 private:
  TableColumns columns_;
  std::string name_;
  std::string alias_;
};

// The one table whose name is Z_<n><name> with columns Z_<n><first> and
// Z_<n><second>; false when there is none.
bool FindJoin(const SQLite3Wrapper& db, const char* name, const char* first, const char* second,
              std::string* table, std::string* first_column, std::string* second_column) {
  SqliteStatement tables =
      PrepareStatement(db, "select name from sqlite_master where type='table' and name glob ?");
  tables.BindText(1, std::string("Z_[0-9]*") + name);
  while (tables.Step() == SQLITE_ROW) {
    const std::string candidate = tables.ColumnText(0);
    SqliteStatement columns = PrepareStatement(db, "select name from pragma_table_info(?)");
    columns.BindText(1, candidate);
    std::string found[2];
    const char* wanted[2] = {first, second};
    while (columns.Step() == SQLITE_ROW) {
      const std::string column = columns.ColumnText(0);
      // Z_, the entity number, then exactly the tail wanted: Z_9MEMBERS is
      // not Z_9MEMBERSINVERSE.
      const size_t tail = column.find_first_not_of("0123456789", 2);
      if (column.compare(0, 2, "Z_") != 0 || tail == 2 || tail == std::string::npos) continue;
      for (int which = 0; which < 2; ++which) {
        if (column.compare(tail, std::string::npos, wanted[which]) == 0) found[which] = column;
      }
    }
    if (!found[0].empty() && !found[1].empty()) {
      *table = candidate;
      *first_column = found[0];
      *second_column = found[1];
      return true;
    }
  }
  return false;
}

// "SELECT a AS x, b AS y, ..." with the columns taken in order, so that
// what is missing is noted in that order.
struct Selected {
  const Table* table;  // null: `column` is an expression of its own
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

std::string MessageQuery(const Table& messages, const Table& attachments, const Table& users,
                         bool with_sender, std::string* missing) {
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

KikJoins FindKikJoins(const SQLite3Wrapper& db) {
  KikJoins joins;
  if (!FindJoin(db, "MESSAGES", "CHAT", "MESSAGES", &joins.messages, &joins.messages_chat,
                &joins.messages_message)) {
    joins.messages.clear();
  }
  if (!FindJoin(db, "MEMBERS", "MEMBERSINVERSE", "MEMBERS", &joins.members, &joins.members_group,
                &joins.members_member)) {
    joins.members.clear();
  }
  return joins;
}

KikQueries BuildKikQueries(const SQLite3Wrapper& db, std::string* missing) {
  KikQueries queries;
  const Table chats(db, "ZKIKCHAT", "ZKIKCHAT");
  const Table session_users(db, "ZKIKUSER", "ZKIKUSER");
  const Table messages(db, "ZKIKMESSAGE", "MSG");
  const Table attachments(db, "ZKIKATTACHMENT", "ATCH");
  const Table users(db, "ZKIKUSER", "USER");
  if (!session_users.exists()) AddMissing("ZKIKUSER", missing);
  if (!attachments.exists()) AddMissing("ZKIKATTACHMENT", missing);
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

  const KikJoins joins = FindKikJoins(db);
  if (joins.members.empty()) {
    AddMissing("the group-member join table (Z_<n>MEMBERS)", missing);
  } else if (session_users.exists()) {
    const std::string table = QuotedIdentifier(joins.members);
    queries.members = "SELECT " + session_users.Column("ZDISPLAYNAME", missing) +
                      " AS member_name FROM " + table + " LEFT JOIN ZKIKUSER ON " + table + "." +
                      QuotedIdentifier(joins.members_member) + " = ZKIKUSER.Z_PK WHERE " + table +
                      "." + QuotedIdentifier(joins.members_group) + " = ?";
  }
  if (!messages.exists()) {
    AddMissing("ZKIKMESSAGE", missing);
    return queries;
  }
  if (joins.messages.empty()) {
    // Nothing tells which messages had a chat: none is placed anywhere.
    AddMissing("the chat-message join table (Z_<n>MESSAGES)", missing);
    return queries;
  }
  const std::string table = QuotedIdentifier(joins.messages);
  const std::string message_column = table + "." + QuotedIdentifier(joins.messages_message);
  const std::string join = " LEFT JOIN " + table + " ON " + message_column + " = MSG.Z_PK";
  std::string ignored;  // each column is noted once, by the first query
  queries.chat_messages = MessageQuery(messages, attachments, users, false, missing) + join +
                          " WHERE " + table + "." + QuotedIdentifier(joins.messages_chat) + " = ?";
  queries.deleted_messages = MessageQuery(messages, attachments, users, true, &ignored) + join +
                             " WHERE MSG.Z_PK NOT IN (SELECT " + message_column + " FROM " + table +
                             ")";
  return queries;
}

}  // namespace kx
