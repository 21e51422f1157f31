#include "ios/reminders.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <regex>
#include <unordered_map>

#include "common/backup_files.h"
#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/media_types.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/text.h"
#include "kit/date_sql.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "reminder_file_path";
constexpr char kSecondFilesKey[] = "reminder_files_path";
constexpr char kCalendarItemTable[] = "CalendarItem";
constexpr char kReminderTable[] = "ZREMCDREMINDER";
constexpr char kObjectTable[] = "ZREMCDOBJECT";
constexpr char kBaseListTable[] = "ZREMCDBASELIST";
constexpr char kAttachmentDomain[] = "HomeDomain";
constexpr char kAttachmentFolder[] = "Library/Reminders/Container_v1/Files/Account-";
constexpr char kUnnamedAttachment[] = "Image.png";

// ---- The calendar database ----

const std::vector<SelectedColumn> kCalendarColumns = {
    {"summary", "utf_Title"},
    {"description", "utf_Description"},
    {"priority", nullptr},
    {"url", nullptr},
    {"case when completion_date is null then 0 else 1 end", "status", "completion_date"},
    {KX_APPLE_LOCAL_DATE_SQL("start_date"), "start_date", "start_date"},
    {"calendar_id", nullptr},
    {"ROWID", nullptr},
    {"unique_identifier", nullptr},
    {"is_deleted", nullptr},
};

using TitleMap = std::unordered_map<int64_t, std::string>;

// id -> text of the query's later columns; a table the database lacks
// leaves the map empty.
TitleMap ReadTitles(const SQLite3Wrapper& db, const std::string& sql) {
  TitleMap titles;
  SqliteStatement query = PrepareStatement(db, sql);
  while (query.Step() == SQLITE_ROW) {
    std::string text = query.ColumnText(1);
    if (query.ColumnCount() > 2) {
      // A location reads "title, address", either alone when the other is
      // missing.
      const std::string address = query.ColumnText(2);
      if (!text.empty() && !address.empty()) text += ", ";
      text += address;
    }
    titles[query.ColumnInt64(0)] = std::move(text);
  }
  return titles;
}

// reminder -> its alarm's location.
std::unordered_map<int64_t, int64_t> ReadAlarmLocations(const SQLite3Wrapper& db) {
  std::unordered_map<int64_t, int64_t> locations;
  SqliteStatement query =
      PrepareStatement(db, "select calendaritem_owner_id, location_id from Alarm");
  while (query.Step() == SQLITE_ROW) {
    if (query.ColumnType(1) == SQLITE_NULL) continue;
    locations.emplace(query.ColumnInt64(0), query.ColumnInt64(1));
  }
  return locations;
}

// The reminders as one JSON array, each object written as its row comes;
// "null" when there is none.
class ReminderDocument {
 public:
  ReminderDocument() : writer_(&text_) { writer_.BeginArray(); }

  // Writes `reminder`, with `media` as its "media_info" when not empty.
  void Add(const JsonMembers& reminder, const Json::Value& media) {
    if (reminder.empty() && media.empty()) return;
    ++count_;
    if (media.empty()) {
      reminder.WriteObject(&writer_);
    } else {
      reminder.WriteObject(&writer_, "media_info",
                           [this, &media] { WriteJsonValue(media, &writer_); });
    }
  }

  // The writer of an object the caller writes whole, which must have
  // members.
  JsonBufferWriter* BeginOwnObject() {
    ++count_;
    return &writer_;
  }

  // The document's text; empty when it could not be written.
  std::string_view Finish() {
    if (count_ == 0) {
      empty_ = WriteJson(Json::Value());
      return empty_;
    }
    writer_.EndArray();
    if (!writer_.complete() || text_.failed()) return std::string_view();
    return text_.view();
  }

 private:
  TextBuffer text_;
  JsonBufferWriter writer_;
  std::string empty_;
  size_t count_ = 0;
};

// The index of the last column of `row` named `name` (the one a member of
// that name keeps), or -1.
int ColumnNamed(const SqliteStatement& row, const char* name) {
  int found = -1;
  for (int column = 0; column < row.ColumnCount(); ++column) {
    const char* column_name = sqlite3_column_name(row.handle(), column);
    if (column_name != nullptr && std::strcmp(column_name, name) == 0) found = column;
  }
  return found;
}

// Column `column` as a whole number: an integer, or a real without a
// fraction; 0 for anything else.
int64_t WholeNumber(const SqliteStatement& row, int column) {
  if (column < 0) return 0;
  const int kind = row.ColumnType(column);
  if (kind == SQLITE_INTEGER) return row.ColumnInt64(column);
  if (kind != SQLITE_FLOAT) return 0;
  const double value = row.ColumnDouble(column);
  if (!std::isfinite(value) || value != std::floor(value) || value < -9.2e18 || value > 9.2e18) {
    return 0;
  }
  return static_cast<int64_t>(value);
}

// False on a stop.
bool ReadCalendarReminders(const SQLite3Wrapper& db, const PackageContext& context,
                           ReminderDocument* document) {
  const TableColumns columns(db, kCalendarItemTable);
  if (!columns.Has("entity_type")) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column entity_type: no reminders.",
              kCalendarItemTable);
    return true;
  }
  std::string missing;
  const std::string list = columns.SelectList(kCalendarColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column %s: read as NULL.", kCalendarItemTable,
              missing.c_str());
  }
  const TitleMap lists = ReadTitles(db, "select ROWID, title from Calendar");
  const TitleMap places = ReadTitles(db, "select ROWID, title,address from Location");
  const auto alarms = ReadAlarmLocations(db);
  SqliteStatement query =
      PrepareStatement(db, "select " + list + " from CalendarItem where entity_type=3");
  const int deleted_column = ColumnNamed(query, "is_deleted");
  const int list_column = ColumnNamed(query, "calendar_id");
  const int id_column = ColumnNamed(query, "ROWID");
  const Json::Value no_media;
  JsonMembers reminder;
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    reminder.Clear();
    ReadRowIntoMembers(query, &reminder);
    if (WholeNumber(query, deleted_column) != 0) reminder.SetString("tag", "deleted");
    const auto found_list = lists.find(WholeNumber(query, list_column));
    if (found_list != lists.end()) reminder.SetString("utf_List", found_list->second);
    const auto alarm = alarms.find(WholeNumber(query, id_column));
    if (alarm != alarms.end()) {
      const auto place = places.find(alarm->second);
      if (place != places.end() && !place->second.empty()) {
        reminder.SetString("utf_Address", place->second);
      }
    }
    document->Add(reminder, no_media);
  }
  return true;
}

// ---- The reminders store ----

std::vector<std::string> ColumnsMatching(const SQLite3Wrapper& db, const char* table,
                                         const std::regex& pattern) {
  std::vector<std::string> names;
  SqliteStatement query =
      PrepareStatement(db, "select name from pragma_table_info(?1) order by cid");
  query.BindText(1, table);
  while (query.Step() == SQLITE_ROW) {
    std::string name = query.ColumnText(0);
    if (std::regex_match(name, pattern)) names.push_back(std::move(name));
  }
  return names;
}

// `alias.column`, or NULL when the table lacks the column (added to
// *missing).
std::string Column(const TableColumns& columns, const char* alias, const char* column,
                   std::string* missing) {
  if (columns.Has(column)) return std::string(alias) + "." + column;
  if (!missing->empty()) *missing += ", ";
  *missing += column;
  return "NULL";
}

// Where the store keeps its lists: the newest stores in a table of their
// own, the older ones among the objects.
struct ListSource {
  std::string table;       // "" when the store has none
  std::string name_query;  // the list name of REMINDER_ITEM.ZLIST
};

ListSource FindReminderLists(const SQLite3Wrapper& db, const TableColumns& objects) {
  if (objects.Has("ZNAME2")) {
    return {kObjectTable,
            "(select ZREMCDOBJECT.ZNAME2 from ZREMCDOBJECT where ZREMCDOBJECT.Z_PK = "
            "REMINDER_ITEM.ZLIST)"};
  }
  const TableColumns base_lists(db, kBaseListTable);
  if (base_lists.Has("ZNAME")) {
    return {kBaseListTable,
            "(select ZREMCDBASELIST.ZNAME from ZREMCDBASELIST where ZREMCDBASELIST.Z_PK = "
            "REMINDER_ITEM.ZLIST)"};
  }
  return {};
}

// A live reminder whose list was deleted (or a titled one without list).
std::string OrphanQuery(const std::string& table, const char* title, const std::string& lists) {
  return "select Z_PK FROM " + table +
         " where ZMARKEDFORDELETION = 0 and Z_PK IN (select Z_PK FROM " + table +
         " where ZMARKEDFORDELETION = 0 and case WHEN ZLIST IS NULL THEN ZLIST IS NULL AND " +
         title + " IS NOT NULL WHEN ZLIST IS NOT NULL THEN ZLIST NOT IN(select Z_PK FROM " + lists +
         " WHERE " + lists + ".ZMARKEDFORDELETION = 0) END)";
}

struct StoreQueries {
  std::string reminders;
  std::string orphans;  // "" when the store cannot tell
};

StoreQueries ReminderTableQueries(const SQLite3Wrapper& db, const char* stem) {
  const TableColumns reminders(db, kReminderTable);
  const TableColumns objects(db, kObjectTable);
  const ListSource lists = FindReminderLists(db, objects);
  std::string missing;
  const auto column = [&](const char* name) {
    return Column(reminders, "REMINDER_ITEM", name, &missing);
  };
  StoreQueries queries;
  queries.reminders =
      "select " + column("ZTITLE") + " as utf_Title, " +
      (lists.table.empty() ? std::string("NULL") : lists.name_query) + " as utf_List, " +
      column("ZNOTES") + " as utf_Description, " + column("ZCOMPLETED") + " as status, " +
      AppleLocalDateSql(column("ZDISPLAYDATEDATE")) + " as start_date, " + column("ZPRIORITY") +
      " as priority, " + column("ZFLAGGED") + " as flagged, " +
      column("ZDACALENDARITEMUNIQUEIDENTIFIER") + " as unique_identifier, REMINDER_ITEM.Z_PK as " +
      "rowid, " + column("ZMARKEDFORDELETION") + " as deleted_mark, " + column("is_deleted") +
      " as is_deleted from ZREMCDREMINDER as REMINDER_ITEM where utf_Title IS NOT NULL";
  if (lists.table.empty()) {
    missing += missing.empty() ? "" : ", ";
    missing += "a list table";
  }
  if (!missing.empty())
    KX_LOG_AT(kLogProblem, stem, "The reminders store has no %s: read as NULL.", missing.c_str());
  if (!lists.table.empty() && reminders.Has("ZLIST") && reminders.Has("ZMARKEDFORDELETION")) {
    queries.orphans = OrphanQuery(kReminderTable, "ZTITLE", lists.table);
  }
  return queries;
}

StoreQueries ObjectTableQueries(const SQLite3Wrapper& db, const char* stem) {
  const TableColumns objects(db, kObjectTable);
  std::string missing;
  const auto column = [&](const char* name) {
    return Column(objects, "REMINDER_ITEM", name, &missing);
  };
  const std::string list =
      ListNameExpression(ColumnsMatching(db, kObjectTable, std::regex("ZNAME[0-9]?")));
  const std::string title = column("ZTITLE1");
  StoreQueries queries;
  queries.reminders =
      "select title as utf_Title, list as utf_List, description as utf_Description, status, "
      KX_APPLE_LOCAL_DATE_SQL("start_date_time") " as start_date, priority, flagged, unique_identifier, is_deleted, rowid, deleted_mark from "
      "( SELECT DISTINCT REMINDER_ITEM.Z_PK AS rowid, " +
      column("ZMARKEDFORDELETION") + " AS deleted_mark, " + title + " AS title, " + list +
      " AS list, " + column("ZNOTES") + " AS description, " + column("ZCOMPLETED") +
      " AS status, " + column("ZDISPLAYDATEDATE") + " AS start_date_time, " + column("ZPRIORITY") +
      " AS priority, " + column("ZFLAGGED") + " AS flagged, " +
      column("ZDACALENDARITEMUNIQUEIDENTIFIER") + " AS unique_identifier, " + column("is_deleted") +
      " AS is_deleted FROM ZREMCDOBJECT AS REMINDER_ITEM LEFT JOIN ZREMCDOBJECT AS "
      "REMINDER_LIST ON " +
      column("ZLIST") + " = REMINDER_LIST.Z_PK WHERE " + title + " IS NOT NULL )";
  if (!missing.empty())
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", kObjectTable,
              missing.c_str());
  if (objects.Has("ZLIST") && objects.Has("ZMARKEDFORDELETION") && objects.Has("ZTITLE1")) {
    queries.orphans = OrphanQuery(kObjectTable, "ZTITLE1", kObjectTable);
  }
  return queries;
}

std::vector<int64_t> ReadOrphans(const SQLite3Wrapper& db, const std::string& sql) {
  std::vector<int64_t> ids;
  if (sql.empty()) return ids;
  SqliteStatement query = PrepareStatement(db, sql);
  while (query.Step() == SQLITE_ROW) ids.push_back(query.ColumnInt64(0));
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::string IdentifierText(const SqliteStatement& row, int column) {
  if (row.ColumnType(column) != SQLITE_BLOB) return row.ColumnText(column);
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string_view bytes = row.ColumnBlobView(column);
  if (bytes.size() != 16) return std::string();
  std::string uuid;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) uuid += '-';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    uuid += kHex[byte >> 4];
    uuid += kHex[byte & 0xF];
  }
  return uuid;
}

// The account of the attachment folders: the store's first replica
// manager (a store knows one per account it syncs; the attachments of a
// phone's backup lie under the local one, which comes first).
std::string ReadAccount(const SQLite3Wrapper& db) {
  SqliteStatement query = PrepareStatement(db, "SELECT ZIDENTIFIER FROM ZREMCDREPLICAMANAGER");
  return query.Step() == SQLITE_ROW ? IdentifierText(query, 0) : std::string();
}

// The attachments, location and URL of one reminder, each from the objects
// that point at it. Statements a store cannot answer stay unprepared.
class ReminderDetails {
 public:
  ReminderDetails(const SQLite3Wrapper& db, std::string backup_root, const char* stem)
      : backup_root_(std::move(backup_root)), account_(ReadAccount(db)) {
    const std::vector<std::string> owners =
        ColumnsMatching(db, kObjectTable, std::regex("ZREMINDER[0-9]+"));
    std::string owned;
    for (const std::string& owner : owners) {
      owned += (owned.empty() ? "(ZREMCDOBJECT." : " OR ZREMCDOBJECT.") + owner + " = ?1";
    }
    if (!owned.empty()) {
      owned += ")";
      attachments_ =
          PrepareStatement(db,
                           "SELECT ZCKIDENTIFIER AS media_identifier, ZFILENAME AS media_name FROM "
                           "ZREMCDOBJECT WHERE " +
                               owned + " AND media_name IS NOT NULL");
      urls_ = PrepareStatement(db, "select ZREMCDOBJECT.ZURL AS url from ZREMCDOBJECT WHERE " +
                                       owned + " AND url IS NOT NULL");
    }
    location_ = PrepareStatement(
        db,
        "select REMINDER_ADDRESS.ZTITLE from ZREMCDOBJECT AS REMINDER_ALARM LEFT JOIN "
        "ZREMCDOBJECT AS REMINDER_ADDRESS ON REMINDER_ALARM.Z_PK = REMINDER_ADDRESS.ZALARM "
        "WHERE REMINDER_ADDRESS.ZTITLE IS NOT NULL AND REMINDER_ALARM.ZREMINDER=?1");
    if (!attachments_.prepared() || !urls_.prepared() || !location_.prepared()) {
      KX_LOG_AT(kLogProblem, stem, "%s cannot tell %s%s%s of reminders.", kObjectTable,
                attachments_.prepared() ? "" : "attachments ", urls_.prepared() ? "" : "URLs ",
                location_.prepared() ? "" : "locations");
    }
    ReadOwners(db, owners);
    if (account_.empty() && attachments_.prepared()) {
      KX_LOG_AT(kLogProblem, stem,
                "The reminders store names no account: attachments are not located.");
    }
  }

  // The attachments of reminder `id` into `media`, its place and URL into
  // `address` and `url` ("" when none).
  void Add(int64_t id, Json::Value* media, std::string* address, std::string* url) {
    if (!MayBeOwned(id)) return;
    *media = Attachments(id);
    *address = FirstText(&location_, id);
    *url = FirstText(&urls_, id);
  }

 private:
  // The reminders any object points at, through its alarm column or one of
  // `owners`: most reminders have no object, and three look-ups each cost
  // more than the rest of their row. A value that is not an integer could
  // equal an id in ways only SQLite's comparison tells: then every reminder
  // is looked up.
  void ReadOwners(const SQLite3Wrapper& db, std::vector<std::string> owners) {
    owners.push_back("ZREMINDER");
    std::string union_query;
    for (const std::string& owner : owners) {
      if (!union_query.empty()) union_query += " union all ";
      union_query += "select " + owner + " from ZREMCDOBJECT where " + owner + " is not null";
    }
    SqliteStatement query = PrepareStatement(db, union_query);
    if (!query.prepared()) return;  // without an alarm column: every reminder is looked up
    while (query.Step() == SQLITE_ROW) {
      if (query.ColumnType(0) != SQLITE_INTEGER) return;
      owned_.push_back(query.ColumnInt64(0));
    }
    std::sort(owned_.begin(), owned_.end());
    owned_.erase(std::unique(owned_.begin(), owned_.end()), owned_.end());
    owners_known_ = true;
  }

  bool MayBeOwned(int64_t id) const {
    return !owners_known_ || std::binary_search(owned_.begin(), owned_.end(), id);
  }

  static std::string FirstText(SqliteStatement* query, int64_t id) {
    if (!query->prepared()) return std::string();
    query->BindInt64(1, id);
    std::string text = query->Step() == SQLITE_ROW ? query->ColumnText(0) : std::string();
    query->Reset();
    return text;
  }

  Json::Value Attachments(int64_t id) {
    Json::Value media(Json::arrayValue);
    if (!attachments_.prepared()) return media;
    attachments_.BindInt64(1, id);
    while (attachments_.Step() == SQLITE_ROW) {
      Json::Value attachment(Json::objectValue);
      const std::string identifier = attachments_.ColumnText(0);
      std::string name = attachments_.ColumnText(1);
      if (name.empty()) name = kUnnamedAttachment;
      attachment["media_identifier"] = identifier;
      attachment["media_name"] = name;
      const size_t dot = name.rfind('.');
      attachment["media_type"] =
          dot == std::string::npos ? kMediaUnknown : GetMediaType(ToLowerAscii(name.substr(dot)));
      if (!account_.empty()) {
        const std::string device_path = ReminderAttachmentPath(account_, identifier, name);
        attachment["media_device_path"] = device_path;
        // The id is a digest of the path, so no text of the data reaches
        // the file system.
        const std::string path =
            ResolveBackupFile(backup_root_, BackupFileId(kAttachmentDomain, device_path));
        if (!path.empty()) attachment["media_path"] = path;
      }
      media.append(std::move(attachment));
    }
    attachments_.Reset();
    return media;
  }

  std::string backup_root_;
  std::string account_;
  SqliteStatement attachments_;
  SqliteStatement location_;
  SqliteStatement urls_;
  std::vector<int64_t> owned_;  // sorted
  bool owners_known_ = false;
};

// Writes the rows of a store's reminder query: its columns as members of
// the same names (an empty text kept, a blob as Base64, a NULL left out)
// and the members the row's id brings, laid out once in the writer's order.
class StoreReminderWriter {
 public:
  explicit StoreReminderWriter(const SqliteStatement& query) {
    for (int column = 0; column < query.ColumnCount(); ++column) {
      layout_.push_back({JsonName(query.ColumnName(column)), Source::kColumn, column});
    }
    layout_.push_back({JsonName("tag"), Source::kTag, -1});
    layout_.push_back({JsonName("utf_Address"), Source::kAddress, -1});
    layout_.push_back({JsonName("url"), Source::kUrl, -1});
    layout_.push_back({JsonName("media_info"), Source::kMedia, -1});
    std::stable_sort(layout_.begin(), layout_.end(),
                     [](const Slot& a, const Slot& b) { return a.name.name() < b.name.name(); });
  }

  void Write(const SqliteStatement& row, bool deleted, const Json::Value& media,
             const std::string& address, const std::string& url, JsonBufferWriter* writer) {
    writer->BeginObject();
    for (const Slot& slot : layout_) {
      switch (slot.source) {
        case Source::kColumn:
          WriteColumn(row, slot, writer);
          break;
        case Source::kTag:
          if (deleted) WriteString(slot.name, "deleted", writer);
          break;
        case Source::kAddress:
          if (!address.empty()) WriteString(slot.name, address, writer);
          break;
        case Source::kUrl:
          if (!url.empty()) WriteString(slot.name, url, writer);
          break;
        case Source::kMedia:
          if (!media.empty()) {
            writer->Name(slot.name);
            WriteJsonValue(media, writer);
          }
          break;
      }
    }
    writer->EndObject();
  }

 private:
  enum class Source { kColumn, kTag, kAddress, kUrl, kMedia };
  struct Slot {
    JsonName name;
    Source source;
    int column;
  };

  static void WriteString(const JsonName& name, std::string_view text, JsonBufferWriter* writer) {
    writer->Name(name);
    writer->String(text);
  }

  static void WriteColumn(const SqliteStatement& row, const Slot& slot, JsonBufferWriter* writer) {
    WriteRowColumnMember(row, slot.column, slot.name, writer);
  }

  std::vector<Slot> layout_;
};

// False on a stop.
bool ReadStoreReminders(const SQLite3Wrapper& db, const std::string& backup_root,
                        const PackageContext& context, ReminderDocument* document) {
  const bool reminder_table = TableColumns(db, kReminderTable).exists();
  const StoreQueries queries = reminder_table ? ReminderTableQueries(db, context.stem)
                                              : ObjectTableQueries(db, context.stem);
  const std::vector<int64_t> orphans = ReadOrphans(db, queries.orphans);
  ReminderDetails details(db, backup_root, context.stem);
  SqliteStatement query = PrepareStatement(db, queries.reminders);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return true;
  }
  const int id_column = ColumnNamed(query, "rowid");
  const int deleted_column = ColumnNamed(query, "is_deleted");
  const int mark_column = ColumnNamed(query, "deleted_mark");
  // Every row has a title, so every object has members.
  StoreReminderWriter writer(query);
  Json::Value media;
  std::string address;
  std::string url;
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    const int64_t id = WholeNumber(query, id_column);
    const bool deleted = WholeNumber(query, deleted_column) != 0 ||
                         WholeNumber(query, mark_column) != 0 ||
                         std::binary_search(orphans.begin(), orphans.end(), id);
    media = Json::Value();
    address.clear();
    url.clear();
    if (id != 0) details.Add(id, &media, &address, &url);
    writer.Write(query, deleted, media, address, url, document->BeginOwnObject());
  }
  return true;
}

}  // namespace

std::string ListNameExpression(const std::vector<std::string>& name_columns) {
  if (name_columns.empty()) return "NULL";
  std::string expression = "REMINDER_LIST." + name_columns.back();
  for (auto column = name_columns.rbegin() + 1; column != name_columns.rend(); ++column) {
    expression = "ifnull(REMINDER_LIST." + *column + ", " + expression + ")";
  }
  return expression;
}

std::string ReminderAttachmentPath(const std::string& account, const std::string& identifier,
                                   const std::string& file_name) {
  return kAttachmentFolder + account + "/Attachment-" + identifier + "/" + file_name;
}

int IosReminderDataFilter(DataTypeRecord* record, SqliteConfig* config,
                          const PackageContext& context) {
  static const MergeRule kMergeRule = {
      kPrimaryFileKey, kSecondFilesKey, "No primary file.", "No second files.",
      false,           kSystemIos,      kConfigReminder,    true};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosReminderDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* primary_path = BeginPackage(*record, context, kPrimaryFileKey);
  if (primary_path == nullptr) return kStatusMissingInput;
  if (record->additional_param.empty()) {
    KX_LOG_AT(kLogError, context.stem, "No backup folder.");
    return kStatusMissingInput;
  }
  PackageSource db(*primary_path, context);
  if (db.status() != kStatusOk) return db.status();
  const bool calendar = TableColumns(db, kCalendarItemTable).exists();
  const bool store =
      TableColumns(db, kReminderTable).exists() || TableColumns(db, kObjectTable).exists();
  if (!calendar && !store) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kReminderTable);
    return kStatusPrepareFailed;
  }
  // A store can hold a hundred thousand reminders: the text is written as
  // the rows come instead of building the whole document as a tree first.
  ReminderDocument document;
  {
    const ReadTransaction transaction(db);
    // A database holding both generations (a store moved half-way) gives
    // the reminders of both.
    if (calendar && !ReadCalendarReminders(db, context, &document)) return PackageStopped(context);
    if (store && !ReadStoreReminders(db, record->additional_param, context, &document)) {
      return PackageStopped(context);
    }
  }
  const std::string_view text = document.Finish();
  if (text.empty()) {
    KX_LOG_AT(kLogError, context.stem, "package text could not be written.");
    return kStatusStepFailed;
  }
  return FinishPackage(db, context, text);
}

}  // namespace kx
