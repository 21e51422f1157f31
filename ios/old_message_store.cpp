#include "ios/old_message_store.h"

#include <string>
#include <vector>

#include "common/log.h"
#include "common/select_list.h"
#include "kit/date_sql.h"

namespace kx {

namespace {

// SMS dates of these stores count seconds from 1970, iMessage dates from
// 2001: an SMS date less the Apple epoch counts as an iMessage one.

// `alias`.`column` when the table has it, else NULL.
std::string Column(const TableColumns& columns, const char* alias, const char* column) {
  return columns.Has(column) ? std::string(alias) + "." + column : std::string("NULL");
}

// The statements that lay the current tables over the store, in order.
std::vector<std::string> CurrentLayout(const SQLite3Wrapper& db) {
  const TableColumns message(db, "message");
  const TableColumns groups(db, "msg_group");
  const TableColumns members(db, "group_member");
  const TableColumns pieces(db, "msg_pieces");
  const TableColumns attachments(db, "madrid_attachment");

  // iOS 4 and earlier had no iMessage: every message is an SMS.
  const bool has_imessage = message.Has("is_madrid");
  const std::string imessage = has_imessage ? "ifnull(M.is_madrid, 0) != 0" : "0";
  const std::string sender =
      has_imessage ? "CASE WHEN " + imessage + " THEN M.madrid_handle ELSE M.address END"
                   : "M.address";
  const std::string service = has_imessage ? "CASE WHEN " + imessage + " THEN ifnull(" +
                                                 Column(message, "M", "madrid_service") +
                                                 ", 'iMessage') ELSE 'SMS' END"
                                           : "'SMS'";
  std::vector<std::string> statements;

  // One handle per address, with the service it was first seen on; the
  // members of a conversation that never wrote come after the senders.
  statements.push_back(
      "CREATE TEMP TABLE handle (ROWID INTEGER PRIMARY KEY, id TEXT NOT NULL UNIQUE, service "
      "TEXT)");
  // The service is the one of the sender's first message (the row min()
  // picks).
  statements.push_back("INSERT INTO temp.handle (id, service) SELECT id, service FROM (SELECT " +
                       sender + " AS id, " + service +
                       " AS service, min(M.ROWID) AS first FROM main.message AS M WHERE " + sender +
                       " <> '' GROUP BY 1) ORDER BY first");
  if (members.Has("address") && members.Has("group_id")) {
    statements.push_back(
        "INSERT INTO temp.handle (id, service) SELECT address, 'SMS' FROM main.group_member "
        "WHERE address <> '' AND address NOT IN (SELECT id FROM temp.handle) GROUP BY address "
        "ORDER BY min(ROWID)");
  }

  // A conversation is a msg_group: named by its members' addresses, a group
  // when it has more than one.
  const bool has_groups = groups.exists() && members.Has("address") && members.Has("group_id");
  if (has_groups) {
    const std::string addresses =
        "(SELECT group_concat(address, ',') FROM (SELECT address FROM main.group_member WHERE "
        "group_id = G.ROWID ORDER BY ROWID))";
    statements.push_back(
        "CREATE TEMP VIEW chat AS SELECT G.ROWID AS ROWID, " + addresses +
        " AS chat_identifier, CASE WHEN (SELECT count(*) FROM main.group_member WHERE group_id = "
        "G.ROWID) > 1 THEN " +
        addresses + " END AS room_name, NULL AS display_name, " +
        Column(groups, "G", "is_deleted") + " AS is_deleted FROM main.msg_group AS G");
    statements.push_back(
        "CREATE TEMP VIEW chat_handle_join AS SELECT GM.group_id AS chat_id, H.ROWID AS "
        "handle_id FROM main.group_member AS GM JOIN temp.handle AS H ON H.id = GM.address");
  } else {
    statements.push_back(
        "CREATE TEMP VIEW chat AS SELECT NULL AS ROWID, NULL AS chat_identifier, NULL AS "
        "room_name, NULL AS display_name, NULL AS is_deleted WHERE 0");
    statements.push_back(
        "CREATE TEMP VIEW chat_handle_join AS SELECT NULL AS chat_id, NULL AS handle_id WHERE 0");
  }
  // Kept as a table, indexed both ways: it is joined row by row.
  statements.push_back(
      "CREATE TEMP TABLE chat_message_join (chat_id INTEGER, message_id INTEGER, PRIMARY KEY "
      "(chat_id, message_id))");
  statements.push_back(
      "CREATE INDEX temp.chat_message_join_message ON chat_message_join (message_id)");
  if (has_groups && message.Has("group_id")) {
    statements.push_back(
        "INSERT OR IGNORE INTO temp.chat_message_join SELECT M.group_id, M.ROWID FROM "
        "main.message AS M WHERE M.group_id IN (SELECT ROWID FROM main.msg_group)");
  }

  // An MMS keeps its words in its text parts.
  const std::string text =
      pieces.Has("message_id") && pieces.Has("data") && pieces.Has("content_type")
          ? "ifnull(M.text, (SELECT group_concat(words, '') FROM (SELECT CAST(P.data AS TEXT) AS "
            "words FROM main.msg_pieces AS P WHERE P.message_id = M.ROWID AND P.content_type = "
            "'text/plain' ORDER BY P.part_id, P.ROWID)))"
          : "M.text";
  const std::string from_me =
      has_imessage ? "CASE WHEN " + imessage + " THEN (ifnull(M.madrid_flags, 0) & 4) != 0 ELSE " +
                         "(ifnull(M.flags, 0) & 1) END"
                   : "ifnull(M.flags, 0) & 1";
  const std::string date =
      has_imessage
          ? "CASE WHEN " + imessage + " THEN M.date ELSE M.date - " KX_APPLE_EPOCH_SQL " END"
          : std::string("M.date - " KX_APPLE_EPOCH_SQL);
  const auto of_imessage = [&](const char* column) {
    return has_imessage && message.Has(column)
               ? "CASE WHEN " + imessage + " THEN M." + column + " END"
               : std::string("NULL");
  };
  statements.push_back(
      "CREATE TEMP VIEW message AS SELECT M.ROWID AS ROWID, " + of_imessage("madrid_guid") +
      " AS guid, " + text + " AS text, (SELECT H.ROWID FROM temp.handle AS H WHERE H.id = " +
      sender + ") AS handle_id, " + Column(message, "M", "subject") + " AS subject, " +
      of_imessage("madrid_attributedBody") + " AS attributedBody, " + service + " AS service, " +
      of_imessage("madrid_error") + " AS error, " + date + " AS date, " +
      of_imessage("madrid_date_read") + " AS date_read, (" + from_me +
      ") AS is_from_me, NULL AS has_dd_results, " + of_imessage("madrid_roomname") +
      " AS cache_roomnames, 0 AS item_type, 0 AS other_handle, NULL AS destination_caller_id, " +
      Column(message, "M", "is_deleted") + " AS is_deleted FROM main.message AS M");

  // iMessage attachments; the parts of an MMS other than its words are not
  // read.
  if (attachments.Has("message_id")) {
    statements.push_back(
        "CREATE TEMP VIEW attachment AS SELECT A.ROWID AS ROWID, " +
        Column(attachments, "A", "attachment_guid") + " AS guid, " +
        Column(attachments, "A", "created_date") + " AS created_date, " +
        Column(attachments, "A", "start_date") + " AS start_date, " +
        Column(attachments, "A", "filename") + " AS filename, " +
        Column(attachments, "A", "uti_type") + " AS uti, " + Column(attachments, "A", "mime_type") +
        " AS mime_type, " + Column(attachments, "A", "transfer_state") +
        " AS transfer_state, CASE " + Column(attachments, "A", "is_incoming") +
        " WHEN 0 THEN 1 WHEN 1 THEN 0 END AS is_outgoing FROM main.madrid_attachment AS A");
    statements.push_back(
        "CREATE TEMP VIEW message_attachment_join AS SELECT A.message_id AS message_id, A.ROWID "
        "AS attachment_id, " +
        Column(attachments, "A", "is_deleted") + " AS is_deleted FROM main.madrid_attachment AS A");
  } else {
    statements.push_back(
        "CREATE TEMP VIEW attachment AS SELECT NULL AS ROWID, NULL AS guid, NULL AS filename, "
        "NULL AS mime_type, NULL AS uti WHERE 0");
    statements.push_back(
        "CREATE TEMP VIEW message_attachment_join AS SELECT NULL AS message_id, NULL AS "
        "attachment_id WHERE 0");
  }
  return statements;
}

}  // namespace

bool IsOldMessageStore(const SQLite3Wrapper& db) {
  const TableColumns message(db, "message");
  return message.Has("address") && !message.Has("handle_id");
}

bool ReadAsCurrentMessageStore(const SQLite3Wrapper& db, const char* stem) {
  for (const std::string& statement : CurrentLayout(db)) {
    SqliteStatement query = PrepareStatement(db, statement);
    const int stepped = query.prepared() ? query.Step() : SQLITE_ERROR;
    if (stepped != SQLITE_DONE && stepped != SQLITE_ROW) {
      KX_LOG_SQLITE_ERROR(stem, db.handle());
      return false;
    }
  }
  return true;
}

}  // namespace kx
