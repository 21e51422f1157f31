#include "ios/notes.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/media_types.h"
#include "common/merge.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "common/text.h"
#include "ios/note_attachments.h"
#include "ios/note_body.h"
#include "kit/date_sql.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kCurrentStoreKey[] = "icloud_note_file_path";
constexpr char kOldDatabaseKey[] = "other_note_file_path";
constexpr char kManifestKey[] = "manifest_file_path";
constexpr char kCurrentCopiesKey[] = "icloud_note_files_path";
constexpr char kOldCopiesKey[] = "other_note_files_path";

constexpr char kNoPrimaryFile[] = "[%s], at %d line, No primary file.";
// The lines the host's support staff know these messages by.
constexpr int kFilterNoStoreLine = 519;
constexpr int kFilterNoQueueLine = 526;
constexpr int kPackageNoStoreLine = 1069;
constexpr int kPackageNoManifestLine = 1076;

constexpr char kObjectTable[] = "ZICCLOUDSYNCINGOBJECT";
constexpr char kDataTable[] = "ZICNOTEDATA";
constexpr char kRecentlyDeleted[] = "Recently Deleted";
constexpr char kOldNotesDomain[] = "HomeDomain";
constexpr char kOldAttachmentFolder[] = "Library/Notes/attachments/x-coredata:";

// Stores with folders (ZFOLDER): the account is the first account column
// that the note's own row sets.
constexpr char kQueryA[] =
    "SELECT ZICNOTEDATA.ZNOTE AS id, " KX_APPLE_LOCAL_DATE_SQL("object1.ZMODIFICATIONDATE1") " as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object1.ZISPASSWORDPROTECTED AS "
    "is_lock, object2.ZTITLE2 AS folder, object3.ZNAME AS account, object1.ZIDENTIFIER, "
    "object3.ZIDENTIFIER as account_id, ZICNOTEDATA.ZDATA, object1.is_deleted FROM "
    "ZICNOTEDATA LEFT JOIN ZICCLOUDSYNCINGOBJECT AS object1 ON ZICNOTEDATA.ZNOTE = "
    "object1.Z_PK LEFT JOIN ZICCLOUDSYNCINGOBJECT AS object2 ON object1.ZFOLDER = "
    "object2.Z_PK LEFT JOIN ZICCLOUDSYNCINGOBJECT AS object3 ON (";
constexpr char kTailA[] =
    " object1.Z_PK) = object3.Z_PK WHERE (datetime IS NOT NULL AND ZICNOTEDATA.ZNOTE IS NOT NULL "
    "AND object1.ZIDENTIFIER IS NOT NULL) or (ZICNOTEDATA.ZDATA is not null)";
constexpr char kQueryB[] =
    "SELECT ZICNOTEDATA.ZNOTE AS id, " KX_APPLE_LOCAL_DATE_SQL("object1.ZMODIFICATIONDATE1") " as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object1.ZISPASSWORDPROTECTED AS "
    "is_lock, object2.ZTITLE2 AS folder, object3.ZNAME AS account, object1.ZIDENTIFIER, "
    "object3.ZIDENTIFIER as account_id, object1.is_deleted from ZICCLOUDSYNCINGOBJECT AS "
    "object1 left join ZICNOTEDATA on ZICNOTEDATA.ZNOTE = object1.Z_PK LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS object2 ON object1.ZFOLDER = object2.Z_PK LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS object3 ON (";
constexpr char kTailB[] =
    " object1.Z_PK) = object3.Z_PK WHERE id is null and (length(title)!=0 or length(snippet) !=0)";
// Stores before folders moved onto the note (their account is ZACCOUNT2).
constexpr char kQueryC[] =
    "SELECT ZICNOTEDATA.ZNOTE AS id, " KX_APPLE_LOCAL_DATE_SQL("object1.ZMODIFICATIONDATE1") " as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object1.ZISPASSWORDPROTECTED AS "
    "is_lock, object3.ZNAME AS account,object1.ZMARKEDFORDELETION AS marked_for_deletion, "
    "ZICNOTEDATA.ZDATA, object1.is_deleted FROM ZICNOTEDATA LEFT JOIN ZICCLOUDSYNCINGOBJECT "
    "AS object1 ON ZICNOTEDATA.ZNOTE = object1.Z_PK LEFT JOIN ZICCLOUDSYNCINGOBJECT AS "
    "object3 ON object1.ZACCOUNT2 = object3.Z_PK WHERE (datetime IS NOT NULL AND "
    "ZICNOTEDATA.ZNOTE IS NOT NULL) or (ZICNOTEDATA.ZDATA is not null)";
constexpr char kQueryD[] =
    "select  ZICNOTEDATA.ZNOTE AS id, " KX_APPLE_LOCAL_DATE_SQL("object1.ZMODIFICATIONDATE1") " as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object1.ZISPASSWORDPROTECTED AS "
    "is_lock, object3.ZNAME AS account,object1.ZMARKEDFORDELETION AS "
    "marked_for_deletion,object1.is_deleted from ZICCLOUDSYNCINGOBJECT AS object1 left join "
    "ZICNOTEDATA on ZICNOTEDATA.ZNOTE = object1.Z_PK LEFT JOIN ZICCLOUDSYNCINGOBJECT AS "
    "object3 ON object1.ZACCOUNT2 = object3.Z_PK where id is null and (length(title)!=0 or "
    "length(snippet) !=0)";
// The first stores, before notes could be locked.
constexpr char kQueryE[] =
    "SELECT ZICNOTEDATA.ZNOTE AS id, " KX_APPLE_LOCAL_DATE_SQL("object1.ZMODIFICATIONDATE1") " as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object3.ZNAME AS "
    "account,object1.ZMARKEDFORDELETION AS marked_for_deletion, ZICNOTEDATA.ZDATA, "
    "object1.is_deleted FROM ZICNOTEDATA LEFT JOIN ZICCLOUDSYNCINGOBJECT AS object1 ON "
    "ZICNOTEDATA.ZNOTE = object1.Z_PK LEFT JOIN ZICCLOUDSYNCINGOBJECT AS object3 ON "
    "object1.ZACCOUNT2 = object3.Z_PK WHERE (datetime IS NOT NULL AND ZICNOTEDATA.ZNOTE IS "
    "NOT NULL) or (ZICNOTEDATA.ZDATA is not null)";
constexpr char kQueryF[] =
    "SELECT ZICNOTEDATA.ZNOTE AS id, " KX_APPLE_LOCAL_DATE_SQL("object1.ZMODIFICATIONDATE1") " as datetime, "
    "object1.ZTITLE1 AS title, object1.ZSNIPPET AS snippet, object3.ZNAME AS "
    "account,object1.ZMARKEDFORDELETION AS marked_for_deletion, object1.is_deleted from "
    "ZICCLOUDSYNCINGOBJECT AS object1 left join ZICNOTEDATA ON ZICNOTEDATA.ZNOTE = "
    "object1.Z_PK LEFT JOIN ZICCLOUDSYNCINGOBJECT AS object3 ON object1.ZACCOUNT2 = "
    "object3.Z_PK where id is null and (length(title)!=0 or length(snippet) !=0)";
constexpr char kMediaQueryHead[] =
    "select " KX_APPLE_LOCAL_DATE_SQL("MEDIA_TYPE.ZCREATIONDATE") " as datetime, OBJECT.ZFILENAME, OBJECT.ZIDENTIFIER, "
    "ACCOUNT_OBJECT.ZIDENTIFIER from ZICCLOUDSYNCINGOBJECT AS OBJECT LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS MEDIA_TYPE ON OBJECT.ZATTACHMENT1 = MEDIA_TYPE.Z_PK LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS ZNOTE_OBJECT ON MEDIA_TYPE.ZNOTE = ZNOTE_OBJECT.Z_PK LEFT JOIN "
    "ZICCLOUDSYNCINGOBJECT AS ACCOUNT_OBJECT ON (";
constexpr char kMediaQueryTail[] =
    " ZNOTE_OBJECT.Z_PK) = ACCOUNT_OBJECT.Z_PK WHERE OBJECT.ZFILENAME IS NOT NULL";

constexpr char kOldNotesQuery[] =
    "SELECT  ZTITLE AS title, " KX_APPLE_LOCAL_DATE_SQL("ZMODIFICATIONDATE") " as datetime, ZCONTENT AS content, ZNOTE.Z_PK FROM ZNOTE "
    "LEFT JOIN ZNOTEBODY ON ZNOTE.ZBODY = ZNOTEBODY.Z_PK";
constexpr char kOldAttachmentQuery[] =
    "select ZFILENAME as filename,ZCONTENTID as content_id, Z_PK from ZNOTEATTACHMENT WHERE "
    "ZNOTE=?1";

// The pair of note queries a store's table text calls for.
struct NoteQueries {
  std::string main;
  std::string second;
};

// "select case when ZACCOUNT is not null then ZACCOUNT ... else -1 end from
// ZICCLOUDSYNCINGOBJECT where Z_PK = ", over the account columns in the
// order the table declares them.
std::string AccountExpression(const std::string& table_text) {
  std::string cases;
  for (const ColumnDef& column : ParseCreateTableSql(kObjectTable, table_text)) {
    if (column.name.rfind("ZACCOUNT", 0) != 0) continue;
    cases += "when " + column.name + " is not null then " + column.name + " ";
  }
  if (cases.empty()) return "select -1 from ZICCLOUDSYNCINGOBJECT where Z_PK = ";
  return "select case " + cases + "else -1 end from ZICCLOUDSYNCINGOBJECT where Z_PK = ";
}

NoteQueries ChooseQueries(const std::string& table_text, const std::string& account) {
  if (table_text.find("ZFOLDER ") != std::string::npos) {
    return {kQueryA + account + kTailA, kQueryB + account + kTailB};
  }
  if (table_text.find("ZISPASSWORDPROTECTED ") != std::string::npos) return {kQueryC, kQueryD};
  return {kQueryE, kQueryF};
}

void LogMissingColumns(const std::set<std::string>& missing, const char* stem) {
  if (missing.empty()) return;
  std::string names;
  for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
  KX_LOG_AT(kLogProblem, stem, "notes store has no column %s: read as NULL.", names.c_str());
}

// The columns of a note row that its tag, its body and its account come
// from, by their index (-1: not selected).
struct NoteColumns {
  explicit NoteColumns(const SqliteStatement& query) {
    for (int column = 0; column < query.ColumnCount(); ++column) {
      const std::string name = query.ColumnName(column);
      if (name == "ZDATA") body = column;
      if (name == "is_deleted") is_deleted = column;
      if (name == "folder") folder = column;
      if (name == "marked_for_deletion") marked = column;
      if (name == "is_lock") is_lock = column;
      if (name == "account_id") account_id = column;
      if (name == "title") title = column;
      if (name == "snippet") snippet = column;
    }
  }
  int body = -1;
  int is_deleted = -1;
  int folder = -1;
  int marked = -1;
  int is_lock = -1;
  int account_id = -1;
  int title = -1;
  int snippet = -1;
};

bool CountsAsDeleted(const SqliteStatement& row, const NoteColumns& columns) {
  return columns.is_deleted < 0 || row.ColumnType(columns.is_deleted) == SQLITE_NULL ||
         IntegerOrZero(row, columns.is_deleted) != 0 ||
         TextOrEmpty(row, columns.folder) == kRecentlyDeleted ||
         IntegerOrZero(row, columns.marked) != 0;
}

// What one package call reads the current store with.
struct CurrentStore {
  const SQLite3Wrapper& db;
  NoteAttachments* attachments;
  const PackageContext& context;
};

// Writes the notes of one query as elements of the open array. False on a
// stop.
bool ReadNotes(const CurrentStore& store, const std::string& sql, JsonBufferWriter* notes) {
  SqliteStatement query = PrepareStatement(store.db, sql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(store.context.stem, store.db.handle());
    return true;
  }
  const NoteColumns columns(query);
  JsonMembers note;
  std::string body_buffer;
  std::vector<NoteContentItem> items;
  while (query.Step() == SQLITE_ROW) {
    if (store.context.StopRequested()) return false;
    // The columns the note is judged by first: reading a value in another
    // form may convert it.
    const bool deleted = CountsAsDeleted(query, columns);
    const bool locked = IntegerOrZero(query, columns.is_lock) == 1;
    const bool untitled =
        TextOrEmpty(query, columns.title).empty() && TextOrEmpty(query, columns.snippet).empty();
    const std::string account_id(TextOrEmpty(query, columns.account_id));
    note.Clear();
    for (int column = 0; column < query.ColumnCount(); ++column) {
      if (column != columns.body) ReadColumnIntoMembers(query, column, &note);
    }
    if (deleted) note.SetString("tag", "deleted");
    // A locked note's body is ciphertext: whatever it inflated to would be
    // noise, so it keeps its title and dates only.
    items.clear();
    const std::string_view body =
        columns.body >= 0 ? query.ColumnBlobView(columns.body) : std::string_view();
    if (!body.empty() && !locked) items = DecodeNoteBody(body, &body_buffer);
    if (items.empty()) {
      if (!untitled) note.WriteObject(notes);
      continue;
    }
    note.WriteObject(notes, "contents", [&store, &items, &account_id, notes] {
      store.attachments->WriteContents(items, account_id, notes);
    });
  }
  return true;
}

Json::Value MediaEntry(const std::string& datetime, const std::string& path, const NoteFiles& files,
                       const std::string& file_name) {
  Json::Value entry(Json::objectValue);
  entry["date_time"] = datetime;
  entry["media_path"] = path;
  entry["backup_media"] = files.Locate(kNotesDomain, path);
  entry["media_type"] = GetMediaType(LowerExtension(file_name));
  return entry;
}

// Two entries per media file: where the first stores kept it, and under
// its account. False on a stop.
bool ReadNotesMedia(const CurrentStore& store, const std::string& sql, const NoteFiles& files,
                    JsonBufferWriter* media) {
  SqliteStatement query = PrepareStatement(store.db, sql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(store.context.stem, store.db.handle());
    return true;
  }
  while (query.Step() == SQLITE_ROW) {
    if (store.context.StopRequested()) return false;
    const std::string datetime = query.ColumnText(0);
    const std::string file_name = query.ColumnText(1);
    const std::string identifier = query.ColumnText(2);
    const std::string account_id = query.ColumnText(3);
    if (!IsSafePathPart(file_name) || !IsSafePathPart(identifier)) continue;
    const std::string tail = identifier + "/" + file_name;
    WriteJsonValue(MediaEntry(datetime, "Media/" + tail, files, file_name), media);
    const std::string account_folder = IsSafePathPart(account_id) ? account_id : "";
    WriteJsonValue(
        MediaEntry(datetime, "Accounts/" + account_folder + "/Media/" + tail, files, file_name),
        media);
  }
  return true;
}

// The current store into "notes" and "notes_media". Returns the status of
// the package call so far (kStatusStopped on a stop).
int PackageCurrentStore(const SQLite3Wrapper& db, NoteFiles* files, const PackageContext& context,
                        JsonBufferWriter* icloud) {
  const std::string table_text = GetCreateTableSql(db, kObjectTable);
  if (table_text.empty()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kObjectTable);
    return kStatusPrepareFailed;
  }
  const TableColumns objects(db, kObjectTable);
  const TableColumns data(db, kDataTable);
  if (!data.exists()) {
    KX_LOG_AT(kLogProblem, context.stem, "notes store has no table %s: no note bodies.",
              kDataTable);
  }
  const std::string account = AccountExpression(table_text);
  const NoteQueries chosen = ChooseQueries(table_text, account);
  std::set<std::string> missing;
  const std::vector<std::pair<std::string, const TableColumns*>> aliases = {
      {"object1", &objects},       {"object2", &objects},    {"object3", &objects},
      {"OBJECT", &objects},        {"MEDIA_TYPE", &objects}, {"ZNOTE_OBJECT", &objects},
      {"ACCOUNT_OBJECT", &objects}};
  const std::string main_query = ReadableQuery(chosen.main, aliases, &missing);
  const std::string second_query = ReadableQuery(chosen.second, aliases, &missing);
  const std::string media_query =
      ReadableQuery(kMediaQueryHead + account + kMediaQueryTail, aliases, &missing);
  LogMissingColumns(missing, context.stem);

  NoteAttachments attachments(db, files, context.stem);
  const CurrentStore store{db, &attachments, context};
  const ReadTransaction transaction(db);
  icloud->Name("notes");
  icloud->BeginArray();
  if (data.exists() && !ReadNotes(store, main_query, icloud)) return kStatusStopped;
  if (!ReadNotes(store, second_query, icloud)) return kStatusStopped;
  icloud->EndArray();
  icloud->Name("notes_media");
  icloud->BeginArray();
  if (!ReadNotesMedia(store, media_query, *files, icloud)) return kStatusStopped;
  icloud->EndArray();
  return kStatusOk;
}

// The old database into "Other_note"; a database that cannot be read adds
// nothing. False on a stop.
bool PackageOldNotes(const std::string& path, NoteFiles* files, const PackageContext& context,
                     JsonBufferWriter* other) {
  const PackageSource db(path, context);
  if (db.status() != kStatusOk) return true;
  // Which notes only an older copy held; a database that never went
  // through the merge has none.
  const TableColumns columns(db, "ZNOTE");
  std::set<std::string> missing;
  const std::string query =
      ReadableQuery(ReplaceAll(kOldNotesQuery, " FROM ZNOTE ", ", ZNOTE.is_deleted FROM ZNOTE "),
                    {{"ZNOTE", &columns}}, &missing);
  SqliteStatement notes = PrepareStatement(db, query);
  if (!notes.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return true;
  }
  SqliteStatement attachments = PrepareStatement(db, kOldAttachmentQuery);
  while (notes.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    Json::Value note(Json::objectValue);
    ReadRowIntoJson(notes, &note);
    const Json::Value& is_deleted = MemberOrNull(note, "is_deleted");
    if (is_deleted.isIntegral() && is_deleted.asInt64() != 0) {
      note["tag"] = "deleted";
    }
    note.removeMember("is_deleted");
    Json::Value pictures(Json::arrayValue);
    attachments.Reset();
    const Json::Value& key = MemberOrNull(note, "Z_PK");
    attachments.BindInt64(1, key.isIntegral() ? key.asInt64() : 0);
    while (attachments.Step() == SQLITE_ROW) {
      Json::Value picture(Json::objectValue);
      picture["filename"] = attachments.ColumnText(0);
      const std::string content_id = attachments.ColumnText(1);
      std::string location;
      if (IsSafePathPart(content_id)) {
        const std::vector<std::string> found =
            files->Find(kOldNotesDomain, kOldAttachmentFolder, content_id);
        if (!found.empty()) location = files->Locate(kOldNotesDomain, found.front());
      }
      picture["path"] = location;
      pictures.append(std::move(picture));
    }
    note["attached_pictures"] = std::move(pictures);
    note["account"] = "Other";
    WriteJsonValue(note, other);
  }
  return true;
}

const std::string* RequiredPath(const DataTypeRecord& record, const char* key, int line,
                                const char* stem) {
  const std::string* path = record.PrimaryFile(key);
  if (path == nullptr || path->empty()) {
    LogEx(kLogModule, kLogError, kNoPrimaryFile, stem, line);
    return nullptr;
  }
  return path;
}

// The staged file under `key`, or null when the request has none.
const std::string* GivenPath(const DataTypeRecord& record, const char* key) {
  const std::string* path = record.PrimaryFile(key);
  return path == nullptr || path->empty() ? nullptr : path;
}

// A phone keeps its notes in NoteStore.sqlite, in the old notes database
// (iOS 8 and before) or in both: either alone is packaged, and the one
// that is absent is said once. False, with the line the host knows
// logged, when neither is there.
bool FindNoteDatabases(const DataTypeRecord& record, int line, const char* stem,
                       const std::string** store, const std::string** old_database) {
  *store = GivenPath(record, kCurrentStoreKey);
  *old_database = GivenPath(record, kOldDatabaseKey);
  if (*store == nullptr && *old_database == nullptr) {
    LogEx(kLogModule, kLogError, kNoPrimaryFile, stem, line);
    return false;
  }
  if (*store == nullptr) {
    KX_LOG_AT(kLogProblem, stem, "No NoteStore.sqlite: the old notes database alone is read.");
  } else if (*old_database == nullptr) {
    KX_LOG_AT(kLogProblem, stem, "No old notes database: NoteStore.sqlite alone is read.");
  }
  return true;
}

}  // namespace

int IosNoteDataFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context) {
  KX_LOG(kLogProgress, "type %d KxDataFilter start", context.data_type);
  const std::string* store = GivenPath(*record, kCurrentStoreKey);
  const std::string* old_database = GivenPath(*record, kOldDatabaseKey);
  if (store == nullptr && old_database == nullptr) {
    LogEx(kLogModule, kLogError, kNoPrimaryFile, context.stem, kFilterNoStoreLine);
    return kStatusMissingInput;
  }
  FileQueue* store_copies = record->SecondFiles(kCurrentCopiesKey);
  FileQueue* old_copies = record->SecondFiles(kOldCopiesKey);
  if (store_copies == nullptr && old_copies == nullptr) {
    LogEx(kLogModule, kLogError, kNoPrimaryFile, context.stem, kFilterNoQueueLine);
    return kStatusMissingInput;
  }
  if (config == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  // Notes are merged by key: a row of a copy whose identifier the primary
  // holds already is the same note, not a deleted one.
  if (store == nullptr) {
    DiscardCopies(store_copies, context.stem);
  } else if (store_copies != nullptr) {
    const int status = MergeDatabaseCopiesByKey(*config, *store, *store_copies, kSystemIos,
                                                kConfigNote, context.stop);
    if (status != kStatusOk) return status;
  }
  if (old_database == nullptr) {
    DiscardCopies(old_copies, context.stem);
  } else if (old_copies != nullptr) {
    const int status = MergeDatabaseCopiesByKey(*config, *old_database, *old_copies, kSystemIos,
                                                kConfigNote, context.stop);
    if (status != kStatusOk) return status;
  }
  if (context.StopRequested()) LogStopped(context.filter_name);
  KX_LOG(kLogProgress, "type %d KxDataFilter end", context.data_type);
  return kStatusOk;
}

int IosNoteDataPackage(DataTypeRecord* record, const PackageContext& context) {
  LogPackageStart(context);
  const std::string* store_path = nullptr;
  const std::string* old_database = nullptr;
  if (!FindNoteDatabases(*record, kPackageNoStoreLine, context.stem, &store_path, &old_database)) {
    return kStatusMissingInput;
  }
  const std::string* manifest =
      RequiredPath(*record, kManifestKey, kPackageNoManifestLine, context.stem);
  if (manifest == nullptr) return kStatusMissingInput;

  NoteFiles files(*manifest, record->additional_param, context.stem);
  StreamedDocument document;
  JsonBufferWriter& writer = document.writer();
  writer.Name("Other_note");
  writer.BeginArray();
  if (old_database != nullptr && !PackageOldNotes(*old_database, &files, context, &writer)) {
    return PackageStopped(context);
  }
  writer.EndArray();

  writer.Name("iCloud_notes");
  writer.BeginObject();
  if (store_path == nullptr) {
    for (const char* list : {"notes", "notes_media"}) {
      writer.Name(list);
      writer.BeginArray();
      writer.EndArray();
    }
    writer.EndObject();
    return document.Finish(SQLite3Wrapper(std::string()), context);
  }
  const PackageSource db(*store_path, context);
  if (db.status() != kStatusOk) return db.status();
  const int status = PackageCurrentStore(db, &files, context, &writer);
  if (status == kStatusStopped) return PackageStopped(context);
  if (status != kStatusOk) return status;
  writer.EndObject();
  return document.Finish(db, context);
}

}  // namespace kx
