#include "ioschat/line_store.h"

#include <vector>

#include "ioschat/core_data_store.h"

namespace kx {

namespace {

// A user's column for the chat's mid: one row, should the store hold the
// same mid twice.
std::string PeerColumn(const StoreTable& users, const char* column, std::string* missing) {
  const std::string value = users.Column(column, missing);
  if (value == "NULL") return value;
  return "(SELECT " + value + " FROM " + users.From() + " WHERE " + users.Column("ZMID", missing) +
         " = C.ZMID ORDER BY P.Z_PK LIMIT 1)";
}

std::string GroupName(const StoreTable& groups, std::string* missing) {
  if (!groups.exists()) return "NULL";
  const std::string name = groups.Column("ZNAME", missing);
  const std::string id = groups.Column("ZID", missing);
  if (name == "NULL" || id == "NULL") return "NULL";
  return "(SELECT " + name + " FROM " + groups.From() + " WHERE " + id +
         " = C.ZMID ORDER BY G.Z_PK LIMIT 1)";
}

std::string Joined(const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) {
    if (!text.empty()) text += ", ";
    text += column;
  }
  return text;
}

std::string MessageSelect(const StoreTable& messages, const StoreTable& senders,
                          std::string* missing) {
  const bool joined = senders.exists() && messages.Has("ZSENDER");
  const auto sender = [&](const char* column) {
    return joined ? senders.Column(column, missing) : std::string("NULL");
  };
  std::string sql =
      "SELECT " +
      Joined({"M.Z_PK", messages.Column("ZID", missing), messages.Column("ZSENDER", missing),
              sender("ZMID"), sender("ZNAME"), sender("ZCUSTOMNAME"),
              messages.Column("ZTIMESTAMP", missing), messages.Column("ZTEXT", missing),
              messages.Column("ZCONTENTTYPE", missing),
              messages.Column("ZCONTENTMETADATA", missing), messages.Column("ZLATITUDE", missing),
              messages.Column("ZLONGITUDE", missing), messages.Column("ZMESSAGETYPE", missing),
              messages.Column("ZCHAT", missing)}) +
      " FROM " + messages.From();
  if (joined) sql += " LEFT JOIN " + senders.From() + " ON S.Z_PK = M.ZSENDER";
  return sql;
}

}  // namespace

LineQueries BuildLineQueries(const SQLite3Wrapper& db, std::string* missing) {
  LineQueries queries;
  const StoreTable chats(db, "ZCHAT", "C");
  const StoreTable peers(db, "ZUSER", "P");
  const StoreTable groups(db, "ZGROUP", "G");
  const StoreTable messages(db, "ZMESSAGE", "M");
  const StoreTable senders(db, "ZUSER", "S");
  const StoreTable members(db, "ZUSER", "U");
  if (!peers.exists()) NoteMissing("ZUSER", missing);
  if (!groups.exists()) NoteMissing("ZGROUP", missing);
  // Without ZCHAT the query does not prepare, as on a store of another
  // application.
  const bool has_mid = chats.Has("ZMID");
  const auto peer = [&](const char* column) {
    return has_mid ? PeerColumn(peers, column, missing) : std::string("NULL");
  };
  queries.sessions =
      "SELECT " +
      Joined({"C.Z_PK", chats.Column("ZMID", missing), chats.Column("ZTYPE", missing),
              peer("ZNAME"), peer("ZCUSTOMNAME"), peer("ZUSERTYPE"),
              has_mid ? GroupName(groups, missing) : std::string("NULL")}) +
      " FROM ZCHAT AS C ORDER BY C.Z_PK";

  const CoreDataJoin join = FindCoreDataJoin(db, "MEMBERS", "CHATS", "MEMBERS");
  if (!join.found()) {
    NoteMissing("the chat-member join table (Z_<n>MEMBERS)", missing);
  } else if (members.exists()) {
    queries.members = "SELECT " +
                      Joined({members.Column("ZMID", missing), members.Column("ZNAME", missing),
                              members.Column("ZCUSTOMNAME", missing)}) +
                      " FROM " + join.table + " AS J JOIN " + members.From() + " ON U.Z_PK = J." +
                      join.second + " WHERE J." + join.first + " = ? ORDER BY U.Z_PK";
  }
  if (peers.exists()) {
    // Separate statements: what is missing is noted in this order.
    const std::string names =
        Joined({peers.Column("ZNAME", missing), peers.Column("ZCUSTOMNAME", missing)});
    queries.owner_name = "SELECT " + names + " FROM " + peers.From() + " WHERE " +
                         peers.Column("ZMID", missing) + " = ? ORDER BY P.Z_PK LIMIT 1";
  }
  // Without ZMESSAGE (or its ZCHAT) the queries do not prepare: the store
  // is not LINE's.
  const std::string select = MessageSelect(messages, senders, missing);
  const std::string order = ", M.Z_PK";
  const std::string time = messages.Has("ZTIMESTAMP") ? "M.ZTIMESTAMP" : "NULL";
  queries.chat_messages = select + " WHERE M.ZCHAT = ? ORDER BY " + time + order;
  queries.orphans = select +
                    " WHERE M.ZCHAT IS NULL OR M.ZCHAT NOT IN (SELECT Z_PK FROM ZCHAT)"
                    " ORDER BY M.ZCHAT, " +
                    time + order;
  return queries;
}

}  // namespace kx
