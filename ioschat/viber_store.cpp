#include "ioschat/viber_store.h"

#include <vector>

#include "ioschat/core_data_store.h"

namespace kx {

namespace {

std::string Joined(const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) {
    if (!text.empty()) text += ", ";
    text += column;
  }
  return text;
}

// A person's id: the number as Viber canonised it, the number as stored,
// else the member's Viber id.
std::string PersonId(const StoreTable& numbers, const StoreTable& members, std::string* missing) {
  // Each column in a statement of its own, so that what is missing is noted
  // in this order whatever order the compiler evaluates operands in.
  const std::string canonical = numbers.Column("ZCANONIZEDPHONENUM", missing);
  const std::string phone = numbers.Column("ZPHONE", missing);
  const std::string member = members.Column("ZMEMBERID", missing);
  return "COALESCE(NULLIF(" + canonical + ", ''), NULLIF(" + phone + ", ''), " + member + ")";
}

std::string PersonName(const StoreTable& members, std::string* missing) {
  const std::string full = members.Column("ZDISPLAYFULLNAME", missing);
  const std::string short_name = members.Column("ZDISPLAYSHORTNAME", missing);
  const std::string name = members.Column("ZNAME", missing);
  return "COALESCE(NULLIF(" + full + ", ''), NULLIF(" + short_name + ", ''), " + name + ")";
}

// "LEFT JOIN ZMEMBER AS B ON B.Z_PK = <number>.ZMEMBER" when both exist.
std::string MemberOfNumber(const StoreTable& numbers, const StoreTable& members,
                           const char* alias) {
  if (!numbers.Has("ZMEMBER") || !members.exists()) return std::string();
  return " LEFT JOIN " + members.From() + " ON B.Z_PK = " + alias + ".ZMEMBER";
}

// The interlocutor of a one-to-one conversation (ZINTERLOCUTOR -> ZMEMBER),
// with the first number the store has for them.
std::string Interlocutor(const SQLite3Wrapper& db, bool id, std::string* missing) {
  const StoreTable members(db, "ZMEMBER", "I");
  const StoreTable numbers(db, "ZPHONENUMBER", "IP");
  if (!members.exists()) return "NULL";
  std::string sql = "(SELECT " +
                    (id ? PersonId(numbers, members, missing) : PersonName(members, missing)) +
                    " FROM " + members.From();
  if (id && numbers.Has("ZMEMBER")) {
    sql += " LEFT JOIN " + numbers.From() + " ON IP.ZMEMBER = I.Z_PK";
  }
  sql += " WHERE I.Z_PK = C.ZINTERLOCUTOR";
  if (id && numbers.Has("ZMEMBER")) sql += " ORDER BY IP.Z_PK";
  return sql + " LIMIT 1)";
}

std::string MembersQuery(const SQLite3Wrapper& db, std::string* missing) {
  const StoreTable numbers(db, "ZPHONENUMBER", "N");
  const StoreTable members(db, "ZMEMBER", "B");
  const std::string id = PersonId(numbers, members, missing);
  const std::string select = "SELECT " + id + ", " + PersonName(members, missing);
  const CoreDataJoin by_number =
      FindCoreDataJoin(db, "PHONENUMINDEXES", "CONVERSATIONS", "PHONENUMINDEXES");
  if (by_number.found() && numbers.exists()) {
    return select + " FROM " + by_number.table + " AS J JOIN " + numbers.From() +
           " ON N.Z_PK = J." + by_number.second + MemberOfNumber(numbers, members, "N") +
           " WHERE J." + by_number.first + " = ? ORDER BY N.Z_PK";
  }
  const CoreDataJoin by_member = FindCoreDataJoin(db, "MEMBERS", "CONVERSATIONS", "MEMBERS");
  if (by_member.found() && members.exists()) {
    std::string sql = select + " FROM " + by_member.table + " AS J JOIN " + members.From() +
                      " ON B.Z_PK = J." + by_member.second;
    if (numbers.Has("ZMEMBER")) {
      sql += " LEFT JOIN " + numbers.From() +
             " ON N.Z_PK = (SELECT MIN(Z_PK) FROM ZPHONENUMBER WHERE ZMEMBER = B.Z_PK)";
    }
    return sql + " WHERE J." + by_member.first + " = ? ORDER BY B.Z_PK";
  }
  NoteMissing("the conversation-participant join table (Z_<n>PHONENUMINDEXES)", missing);
  return std::string();
}

std::string MessageSelect(const SQLite3Wrapper& db, std::string* missing) {
  const StoreTable messages(db, "ZVIBERMESSAGE", "V");
  const StoreTable attachments(db, "ZATTACHMENT", "A");
  const StoreTable locations(db, "ZVIBERLOCATION", "L");
  const StoreTable numbers(db, "ZPHONENUMBER", "N");
  const StoreTable members(db, "ZMEMBER", "B");
  for (const StoreTable* table : {&attachments, &locations, &numbers, &members}) {
    if (!table->exists()) NoteMissing(table->name(), missing);
  }
  const bool attached = attachments.exists() && messages.Has("ZATTACHMENT");
  const bool located = locations.exists() && messages.Has("ZLOCATION");
  const bool numbered = numbers.exists() && messages.Has("ZPHONENUMINDEX");
  const auto from = [](bool joined, const StoreTable& table, const char* column,
                       std::string* notes) {
    return joined ? table.Column(column, notes) : std::string("NULL");
  };
  const std::string sender_id = numbered ? PersonId(numbers, members, missing) : "NULL";
  const std::string sender_name = numbered ? PersonName(members, missing) : "NULL";
  std::string sql = "SELECT " +
                    Joined({"V.Z_PK",
                            messages.Column("ZTOKEN", missing),
                            messages.Column("ZPHONENUMINDEX", missing),
                            sender_id,
                            sender_name,
                            messages.Column("ZDATE", missing),
                            messages.Column("ZSTATE", missing),
                            messages.Column("ZTEXT", missing),
                            messages.Column("ZSYSTEMTYPE", missing),
                            messages.Column("ZMETADATA", missing),
                            messages.Column("ZCALLTYPE", missing),
                            from(attached, attachments, "ZTYPE", missing),
                            from(attached, attachments, "ZNAME", missing),
                            from(attached, attachments, "ZDURATION", missing),
                            located ? "L.Z_PK" : "NULL",
                            from(located, locations, "ZLATITUDE", missing),
                            from(located, locations, "ZLONGITUDE", missing),
                            from(located, locations, "ZADDRESS", missing),
                            messages.Column("ZBEINGDELETED", missing),
                            messages.Column("ZCONVERSATION", missing)}) +
                    " FROM " + messages.From();
  if (attached) sql += " LEFT JOIN " + attachments.From() + " ON A.Z_PK = V.ZATTACHMENT";
  if (located) sql += " LEFT JOIN " + locations.From() + " ON L.Z_PK = V.ZLOCATION";
  if (numbered) {
    sql += " LEFT JOIN " + numbers.From() + " ON N.Z_PK = V.ZPHONENUMINDEX" +
           MemberOfNumber(numbers, members, "N");
  }
  return sql;
}

// The calls of the recents list (ZRECENT, its line in ZRECENTSLINE).
std::string CallsQuery(const SQLite3Wrapper& db, std::string* missing) {
  const StoreTable calls(db, "ZRECENT", "R");
  const StoreTable lines(db, "ZRECENTSLINE", "S");
  if (!calls.exists()) {
    NoteMissing("ZRECENT", missing);
    return std::string();
  }
  const bool joined = lines.exists() && calls.Has("ZRECENTSLINE");
  const std::string number = joined ? lines.Column("ZPHONENUMBER", missing) : "NULL";
  const std::string member = joined ? lines.Column("ZMEMBERID", missing) : "NULL";
  const std::string date = calls.Column("ZDATE", missing);
  std::string sql = "SELECT " +
                    Joined({"R.Z_PK", date, calls.Column("ZDURATION", missing),
                            calls.Column("ZCALLTYPE", missing),
                            "COALESCE(NULLIF(" + number + ", ''), " + member + ")"}) +
                    " FROM " + calls.From();
  if (joined) sql += " LEFT JOIN " + lines.From() + " ON S.Z_PK = R.ZRECENTSLINE";
  return sql + " ORDER BY " + date + ", R.Z_PK";
}

}  // namespace

ViberQueries BuildViberQueries(const SQLite3Wrapper& db, std::string* missing) {
  ViberQueries queries;
  const StoreTable chats(db, "ZCONVERSATION", "C");
  const bool has_peer = chats.Has("ZINTERLOCUTOR");
  // Without ZCONVERSATION the query does not prepare: the store is not
  // Viber's.
  queries.sessions =
      "SELECT " +
      Joined({"C.Z_PK", chats.Column("ZGROUPID", missing), chats.Column("ZNAME", missing),
              chats.Column("ZSUBTYPE", missing),
              has_peer ? Interlocutor(db, true, missing) : chats.Column("ZINTERLOCUTOR", missing),
              has_peer ? Interlocutor(db, false, missing) : "NULL"}) +
      " FROM ZCONVERSATION AS C ORDER BY C.Z_PK";
  queries.members = MembersQuery(db, missing);
  const std::string select = MessageSelect(db, missing);
  const StoreTable messages(db, "ZVIBERMESSAGE", "V");
  const std::string time = messages.Has("ZDATE") ? "V.ZDATE" : "NULL";
  queries.chat_messages = select + " WHERE V.ZCONVERSATION = ? ORDER BY " + time + ", V.Z_PK";
  queries.orphans = select +
                    " WHERE V.ZCONVERSATION IS NULL OR V.ZCONVERSATION NOT IN "
                    "(SELECT Z_PK FROM ZCONVERSATION) ORDER BY V.ZCONVERSATION, " +
                    time + ", V.Z_PK";
  queries.calls = CallsQuery(db, missing);
  return queries;
}

}  // namespace kx
