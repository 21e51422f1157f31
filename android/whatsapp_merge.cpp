#include "android/whatsapp_merge.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "common/log.h"
#include "common/merge.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"

namespace kx {

namespace {

// How the rows of one table are recognised across copies. The copy query
// gives the row's id first, then its key values, in id order (so the new
// numbers follow the old order); the primary query finds the id of the
// primary's row with those key values.
struct IdentityPlan {
  const char* map;    // name of the id map (temp.kx_id_map_<map>)
  const char* table;  // whose ids the map renumbers
  const char* id_column;
  const char* copy_rows_sql;
  const char* primary_find_sql;
  int translated_key;          // key value (index in the copy query) holding ids of...
  const char* translated_map;  // ...this map, translated before the look-up
};

constexpr IdentityPlan kNewerLayoutPlans[] = {
    {"jid", "jid", "_id", "select _id, raw_string from jid order by _id",
     "select _id from jid where raw_string = ?", -1, nullptr},
    {"chat", "chat", "_id", "select _id, jid_row_id from chat order by _id",
     "select _id from chat where jid_row_id = ?", 1, "jid"},
    {"message", "message", "_id",
     "select _id, chat_row_id, from_me, key_id from message order by _id",
     "select _id from message where chat_row_id = ? and from_me = ? and key_id = ?", 1, "chat"},
};

constexpr IdentityPlan kOlderLayoutPlans[] = {
    {"messages", "messages", "_id",
     "select _id, key_remote_jid, key_from_me, key_id from messages order by _id",
     "select _id from messages where key_remote_jid = ? and key_from_me = ? and key_id = ?", -1,
     nullptr},
    // A quote row belongs to the message that quotes it.
    {"messages_quotes", "messages_quotes", "_id",
     "select q._id, m.key_remote_jid, m.key_from_me, m.key_id from messages_quotes q left join "
     "messages m on m.quoted_row_id = q._id order by q._id, m._id",
     "select quoted_row_id from messages where key_remote_jid = ? and key_from_me = ? and "
     "key_id = ?",
     -1, nullptr},
};

// Columns that hold ids of an aligned table (its own id column among them).
struct IdReference {
  const char* table;
  const char* column;
  const char* map;
};

constexpr IdReference kNewerLayoutReferences[] = {
    {"jid", "_id", "jid"},
    {"chat", "_id", "chat"},
    {"chat", "jid_row_id", "jid"},
    {"message", "_id", "message"},
    {"message", "chat_row_id", "chat"},
    {"message", "sender_jid_row_id", "jid"},
    {"message_media", "message_row_id", "message"},
    {"message_media", "chat_row_id", "chat"},
    {"message_thumbnail", "message_row_id", "message"},
    {"message_quoted", "message_row_id", "message"},
    {"message_quoted", "chat_row_id", "chat"},
    {"message_quoted", "parent_message_chat_row_id", "chat"},
    {"message_quoted", "sender_jid_row_id", "jid"},
    {"message_quoted_media", "message_row_id", "message"},
    {"message_quoted_vcard", "message_row_id", "message"},
    {"message_quoted_text", "message_row_id", "message"},
    {"message_quoted_location", "message_row_id", "message"},
    {"message_system", "message_row_id", "message"},
    {"message_system_chat_participant", "message_row_id", "message"},
    {"message_system_chat_participant", "user_jid_row_id", "jid"},
    {"message_system_value_change", "message_row_id", "message"},
    {"message_system_number_change", "message_row_id", "message"},
    {"message_system_number_change", "old_jid_row_id", "jid"},
    {"message_system_number_change", "new_jid_row_id", "jid"},
    {"message_system_group_with_parent", "message_row_id", "message"},
    {"message_system_sibling_group_link_change", "message_row_id", "message"},
    {"message_view_once_media", "message_row_id", "message"},
    {"message_ephemeral_setting", "message_row_id", "message"},
    {"message_link", "message_row_id", "message"},
    {"message_link", "chat_row_id", "chat"},
    {"message_vcard", "message_row_id", "message"},
    {"group_participant_user", "group_jid_row_id", "jid"},
    {"group_participant_user", "user_jid_row_id", "jid"},
};

constexpr IdReference kOlderLayoutReferences[] = {
    {"messages", "_id", "messages"},
    {"messages", "quoted_row_id", "messages_quotes"},
    {"messages_quotes", "_id", "messages_quotes"},
    {"messages_links", "message_row_id", "messages"},
    {"messages_vcards", "message_row_id", "messages"},
    // Stores of the changeover keep these beside `messages`, by its ids.
    {"message_view_once_media", "message_row_id", "messages"},
    {"message_ephemeral_setting", "message_row_id", "messages"},
};

constexpr int64_t kLargestSafeId = std::numeric_limits<int64_t>::max() / 4;

std::string MapTable(const char* map) { return std::string("temp.kx_id_map_") + map; }

int64_t QueryInteger(const SQLite3Wrapper& db, const std::string& sql, int64_t fallback) {
  SqliteStatement query = PrepareStatement(db, sql);
  if (!query.prepared() || query.Step() != SQLITE_ROW || query.ColumnType(0) != SQLITE_INTEGER) {
    return fallback;
  }
  return query.ColumnInt64(0);
}

int64_t LargestId(const SQLite3Wrapper& db, const char* table, const char* column) {
  return QueryInteger(db,
                      std::string("select max(") + column + ") from " + table + " where typeof(" +
                          column + ") = 'integer'",
                      0);
}

// Builds the id map of one plan in the copy. False on a stop or an SQL
// failure.
class IdMapBuilder {
 public:
  IdMapBuilder(SQLite3Wrapper& primary, SQLite3Wrapper& copy, const IdentityPlan& plan)
      : primary_(primary), copy_(copy), plan_(plan) {}

  bool Build(const std::atomic<int>* stop) {
    const std::string map = MapTable(plan_.map);
    if (copy_.Exec("create table " + map +
                   "(old INTEGER PRIMARY KEY, new INTEGER NOT NULL UNIQUE)") != SQLITE_OK) {
      return false;
    }
    SqliteStatement rows = PrepareStatement(copy_, plan_.copy_rows_sql);
    SqliteStatement find = PrepareStatement(primary_, plan_.primary_find_sql);
    id_taken_ = PrepareStatement(primary_, std::string("select 1 from ") + plan_.table + " where " +
                                               plan_.id_column + " = ?");
    mapped_ = PrepareStatement(copy_, "select 1 from " + map + " where old = ?");
    insert_ = PrepareStatement(copy_, "insert into " + map + "(old, new) values(?, ?)");
    // Without the map (its table is missing on one side) the key value is
    // looked up as it is.
    if (plan_.translated_map != nullptr) {
      translate_ = PrepareStatement(
          copy_, "select new from " + MapTable(plan_.translated_map) + " where old = ?");
    }
    if (!rows.prepared() || !find.prepared() || !id_taken_.prepared() || !mapped_.prepared() ||
        !insert_.prepared()) {
      return false;
    }
    const int64_t largest = std::max(LargestId(primary_, plan_.table, plan_.id_column),
                                     LargestId(copy_, plan_.table, plan_.id_column));
    if (largest >= kLargestSafeId) return false;
    next_free_id_ = largest + 1;
    while (rows.Step() == SQLITE_ROW) {
      if (StopRequested(stop)) return false;
      if (rows.ColumnType(0) != SQLITE_INTEGER) continue;
      if (!MapRow(rows, find)) return false;
    }
    return true;
  }

 private:
  bool MapRow(SqliteStatement& rows, SqliteStatement& find) {
    const int64_t old_id = rows.ColumnInt64(0);
    if (Found(mapped_, old_id)) return true;  // several rows name one id: the first wins
    find.Reset();
    for (int column = 1; column < rows.ColumnCount(); ++column) {
      sqlite3_value* value = sqlite3_column_value(rows.handle(), column);
      if (column == plan_.translated_key && translate_.prepared() &&
          rows.ColumnType(column) == SQLITE_INTEGER) {
        translate_.Reset();
        translate_.BindInt64(1, rows.ColumnInt64(column));
        if (translate_.Step() == SQLITE_ROW) value = sqlite3_column_value(translate_.handle(), 0);
      }
      sqlite3_bind_value(find.handle(), column, value);
    }
    int64_t new_id = old_id;
    if (find.Step() == SQLITE_ROW && find.ColumnType(0) == SQLITE_INTEGER) {
      new_id = find.ColumnInt64(0);
    } else if (Found(id_taken_, old_id)) {
      new_id = next_free_id_++;
    }
    if (Insert(old_id, new_id)) return true;
    // The id is claimed by an earlier row of the copy with the same key.
    return Insert(old_id, next_free_id_++);
  }

  static bool Found(SqliteStatement& test, int64_t id) {
    test.Reset();
    test.BindInt64(1, id);
    return test.Step() == SQLITE_ROW;
  }

  bool Insert(int64_t old_id, int64_t new_id) {
    insert_.Reset();
    insert_.BindInt64(1, old_id);
    insert_.BindInt64(2, new_id);
    return insert_.Step() == SQLITE_DONE;
  }

  SQLite3Wrapper& primary_;
  SQLite3Wrapper& copy_;
  const IdentityPlan& plan_;
  SqliteStatement id_taken_, mapped_, insert_, translate_;
  int64_t next_free_id_ = 1;
};

// Rewrites one column by its map in two passes: first every changed value
// moves above all values of the column, then down to its new id, so no two
// rows ever share a value that is unique.
bool ApplyIdMap(SQLite3Wrapper& copy, const IdReference& reference) {
  const std::string map = MapTable(reference.map);
  const std::string column = reference.column;
  const std::string table = reference.table;
  SqliteStatement changed = PrepareStatement(
      copy, "select count(*), min(new), max(new) from " + map + " where old != new");
  if (!changed.prepared() || changed.Step() != SQLITE_ROW) return false;
  if (changed.ColumnInt64(0) == 0) return true;
  const int64_t lowest_new = changed.ColumnInt64(1);
  const int64_t highest_new = changed.ColumnInt64(2);
  const int64_t highest_old = LargestId(copy, reference.table, reference.column);
  if (lowest_new < 0 || highest_new >= kLargestSafeId || highest_old >= kLargestSafeId) {
    return false;
  }
  const int64_t offset = std::max(highest_new, highest_old) + 1;
  SqliteStatement raise =
      PrepareStatement(copy, "update " + table + " set " + column + " = (select new from " + map +
                                 " where old = " + table + "." + column + ") + ? where " + column +
                                 " in (select old from " + map + " where old != new)");
  SqliteStatement lower = PrepareStatement(copy, "update " + table + " set " + column + " = " +
                                                     column + " - ? where " + column + " >= ?");
  if (!raise.prepared() || !lower.prepared()) return false;
  raise.BindInt64(1, offset);
  lower.BindInt64(1, offset);
  lower.BindInt64(2, offset);
  return raise.Step() == SQLITE_DONE && lower.Step() == SQLITE_DONE;
}

template <size_t P, size_t R>
bool AlignLayout(SQLite3Wrapper& primary, SQLite3Wrapper& copy, const IdentityPlan (&plans)[P],
                 const IdReference (&references)[R], const std::atomic<int>* stop) {
  for (const IdentityPlan& plan : plans) {
    if (!CheckIsTableExist(copy, plan.table) || !CheckIsTableExist(primary, plan.table)) {
      continue;
    }
    if (!IdMapBuilder(primary, copy, plan).Build(stop)) return false;
  }
  for (const IdReference& reference : references) {
    if (StopRequested(stop)) return false;
    if (!CheckIsTableExist(copy, reference.table) ||
        !ColumnExists(copy, reference.table, reference.column)) {
      continue;
    }
    // A plan skipped for a missing table left no map (temp tables are listed
    // in temp.sqlite_master).
    SqliteStatement map_exists =
        PrepareStatement(copy, "select 1 from temp.sqlite_master where name = 'kx_id_map_" +
                                   std::string(reference.map) + "'");
    if (!map_exists.prepared() || map_exists.Step() != SQLITE_ROW) continue;
    if (!ApplyIdMap(copy, reference)) return false;
  }
  return true;
}

}  // namespace

bool AlignCopyRowIds(const std::string& primary_path, const std::string& copy_path,
                     const PackageContext& context) {
  const std::atomic<int>* stop = context.stop;
  SQLite3Wrapper primary(primary_path);
  SQLite3Wrapper copy(copy_path);
  if (primary.Open(OpenMode::kReadWrite) != SQLITE_OK ||
      copy.Open(OpenMode::kReadWrite) != SQLITE_OK) {
    KX_LOG_AT(kLogProblem, context.stem, "row ids of %s not aligned: a database cannot be opened.",
              copy_path.c_str());
    return false;
  }
  const bool copy_is_older = CheckIsTableExist(copy, "messages");
  const bool primary_is_older = CheckIsTableExist(primary, "messages");
  if (copy_is_older != primary_is_older) {
    KX_LOG_AT(kLogProblem, context.stem,
              "row ids of %s not aligned: its layout differs from the primary.", copy_path.c_str());
    return false;
  }
  copy.Exec("PRAGMA temp_store=FILE");
  if (copy.Exec("BEGIN") != SQLITE_OK) return false;
  const bool aligned =
      copy_is_older ? AlignLayout(primary, copy, kOlderLayoutPlans, kOlderLayoutReferences, stop)
                    : AlignLayout(primary, copy, kNewerLayoutPlans, kNewerLayoutReferences, stop);
  if (!aligned) {
    const std::string reason = copy.ErrorMessage();
    copy.Exec("ROLLBACK");
    if (!StopRequested(stop)) {
      KX_LOG_AT(kLogProblem, context.stem, "row ids of %s not aligned: %s", copy_path.c_str(),
                reason.c_str());
    }
    return false;
  }
  return copy.Exec("COMMIT") == SQLITE_OK;
}

int MergeMessageStoreCopies(SqliteConfig& config, const std::string& primary_path,
                            FileQueue& copies, const PackageContext& context) {
  std::string copy_path;
  while (!context.StopRequested() && copies.Pop(&copy_path)) {
    if (copy_path.empty()) continue;
    AlignCopyRowIds(primary_path, copy_path, context);
    FileQueue single;
    single.Push(copy_path);
    const int status = MergeDatabaseCopiesByKey(config, primary_path, single, kSystemAndroid,
                                                kConfigWhatsApp, context.stop);
    if (status != kStatusOk) {
      std::string unmerged;
      if (single.Pop(&unmerged)) copies.PushFront(unmerged);
      return status;
    }
  }
  return kStatusOk;
}

}  // namespace kx
