#include "samples/ios_safari.h"

#include <string>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// Table definitions as forensic write-ups of Bookmarks.db and History.db
// list them (column names, types and defaults as `.schema` prints them on
// the phone); the columns of each version are those the write-ups of that
// generation show.
constexpr char kBookmarkColumnsV1[] =
    "CREATE TABLE bookmarks (id INTEGER PRIMARY KEY AUTOINCREMENT, special_id INTEGER DEFAULT 0, "
    "parent INTEGER, type INTEGER, title TEXT, url TEXT, num_children INTEGER DEFAULT 0, "
    "editable INTEGER DEFAULT 1, deletable INTEGER DEFAULT 1, hidden INTEGER DEFAULT 0, "
    "hidden_ancestor_count INTEGER DEFAULT 0, order_index INTEGER NOT NULL, external_uuid TEXT, "
    "read INTEGER DEFAULT NULL, last_modified REAL DEFAULT NULL, server_id TEXT, sync_key TEXT, "
    "sync_data BLOB, added INTEGER DEFAULT 1, deleted INTEGER DEFAULT 0, extra_attributes BLOB "
    "DEFAULT NULL, local_attributes BLOB DEFAULT NULL, fetched_icon BOOL DEFAULT 0, icon BLOB "
    "DEFAULT NULL";
constexpr char kBookmarkColumnsV2[] =
    ", dav_generation INTEGER DEFAULT 0, locally_added BOOL DEFAULT 0, archive_status INTEGER "
    "DEFAULT 0, syncable BOOL DEFAULT 1, web_filter_status INTEGER DEFAULT 0, "
    "modified_attributes UNSIGNED BIG INT DEFAULT 0";
constexpr char kBookmarkColumnsV3[] =
    ", date_closed REAL DEFAULT NULL, last_selected_child INTEGER DEFAULT NULL, subtype INTEGER "
    "DEFAULT 0";
constexpr char kBookmarkTables[] =
    "CREATE TABLE bookmark_title_words (id INTEGER PRIMARY KEY, bookmark_id INTEGER NOT NULL "
    "REFERENCES bookmarks(id) ON DELETE CASCADE, word TEXT, word_index INTEGER);"
    "CREATE TABLE folder_ancestors (id INTEGER PRIMARY KEY, folder_id INTEGER NOT NULL "
    "REFERENCES bookmarks(id) ON DELETE CASCADE, ancestor_id INTEGER NOT NULL REFERENCES "
    "bookmarks(id) ON DELETE CASCADE);"
    "CREATE TABLE generations (generation INTEGER);"
    "CREATE TABLE sync_properties (key TEXT PRIMARY KEY, value TEXT);"
    "CREATE INDEX parent_index ON bookmarks (parent, order_index);"
    "CREATE INDEX special_id_index ON bookmarks (special_id);"
    "CREATE INDEX external_uuid_index ON bookmarks (external_uuid);";
constexpr char kBookmarkTablesV3[] =
    "CREATE TABLE database_properties (key TEXT PRIMARY KEY, value TEXT);"
    "CREATE TABLE sync_record_ids (record_type TEXT, record_name TEXT, record_id_data BLOB);";

constexpr char kHistoryItemsV1[] =
    "CREATE TABLE history_items (id INTEGER PRIMARY KEY AUTOINCREMENT, url TEXT NOT NULL UNIQUE, "
    "domain_expansion TEXT NULL, visit_count INTEGER NOT NULL, daily_visit_counts BLOB NOT NULL, "
    "weekly_visit_counts BLOB NULL, autocomplete_triggers BLOB NULL, "
    "should_recompute_derived_visit_counts INTEGER NOT NULL, visit_count_score INTEGER NOT NULL";
constexpr char kHistoryVisitsV1[] =
    "CREATE TABLE history_visits (id INTEGER PRIMARY KEY AUTOINCREMENT, history_item INTEGER NOT "
    "NULL REFERENCES history_items(id) ON DELETE CASCADE, visit_time REAL NOT NULL, title TEXT "
    "NULL, load_successful BOOLEAN NOT NULL DEFAULT 1, http_non_get BOOLEAN NOT NULL DEFAULT 0, "
    "synthesized BOOLEAN NOT NULL DEFAULT 0, redirect_source INTEGER NULL UNIQUE REFERENCES "
    "history_visits(id) ON DELETE CASCADE, redirect_destination INTEGER NULL UNIQUE REFERENCES "
    "history_visits(id) ON DELETE CASCADE";
constexpr char kHistoryVisitsV2[] =
    ", origin INTEGER NOT NULL DEFAULT 0, generation INTEGER NOT NULL DEFAULT 0, attributes "
    "INTEGER NOT NULL DEFAULT 0";
constexpr char kHistoryTables[] =
    "CREATE INDEX history_visits__last_visit ON history_visits (history_item, visit_time DESC, "
    "synthesized ASC);"
    "CREATE TABLE metadata (key TEXT NOT NULL UNIQUE, value);";
constexpr char kHistoryTablesV2[] =
    "CREATE TABLE history_tombstones (id INTEGER PRIMARY KEY AUTOINCREMENT, start_time REAL NOT "
    "NULL, end_time REAL NOT NULL, url TEXT, generation INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE history_client_versions (client_version INTEGER PRIMARY KEY, last_seen REAL "
    "NOT NULL);"
    "CREATE TABLE history_event_listeners (listener_name TEXT PRIMARY KEY NOT NULL UNIQUE, "
    "last_seen REAL NOT NULL);";
constexpr char kHistoryTablesV3[] =
    "CREATE TABLE history_tags (id INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER NOT NULL, "
    "level INTEGER NOT NULL, identifier TEXT NOT NULL, title TEXT NOT NULL, "
    "modification_timestamp REAL NOT NULL, item_count INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE history_items_to_tags (history_item INTEGER NOT NULL REFERENCES "
    "history_items(id) ON DELETE CASCADE, tag_id INTEGER NOT NULL REFERENCES history_tags(id) ON "
    "DELETE CASCADE, timestamp REAL NOT NULL, UNIQUE(history_item, tag_id));";

int Clamp(int version, int oldest, int newest) {
  return version < oldest || version > newest ? newest : version;
}

// 2023-05-01 00:00:00 UTC in seconds since 2001.
constexpr double kFirstVisit = 704592000.0;

bool Run(SampleDatabase* db, const std::string& sql) { return db->Exec(sql.c_str()); }

struct SampleBookmark {
  int id;
  int parent;
  int type;  // 0 bookmark, 1 folder
  const char* title;
  const char* url;
  const char* uuid;
  int special_id;
};

// Root 0; the bar 1, the menu 2 and the reading list 3 are built in.
constexpr SampleBookmark kBookmarks[] = {
    {0, 0, 1, "", nullptr, "Root", 0},
    {1, 0, 1, "BookmarksBar", nullptr, "BookmarksBar", 1},
    {2, 0, 1, "BookmarksMenu", nullptr, "BookmarksMenu", 2},
    {3, 0, 1, "com.apple.ReadingList", nullptr, "com.apple.ReadingList", 3},
    {4, 1, 1, "Travel", nullptr, "6B1E3F0A-0C55-4F0E-9D2A-3C8E4F7B9A01", 0},
    {5, 4, 1, "Lisbon", nullptr, "9D2F4B1C-7A33-4C6D-8E5F-1A2B3C4D5E02", 0},
    {6, 1, 0, "Apple", "https://www.apple.com/", "A1B2C3D4-0001-4000-8000-000000000006", 0},
    {7, 4, 0, "Rail timetables", "https://www.cp.pt/passageiros/en",
     "A1B2C3D4-0001-4000-8000-000000000007", 0},
    {8, 5, 0, "Tram 28", "https://www.carris.pt/en/", "A1B2C3D4-0001-4000-8000-000000000008", 0},
    {9, 3, 0, "Reading: SQLite file format", "https://www.sqlite.org/fileformat.html",
     "A1B2C3D4-0001-4000-8000-000000000009", 0},
};
// Only the older copy still holds it.
constexpr SampleBookmark kDeletedBookmark = {
    10, 5, 0, "Old hostel", "https://hostel.example/", "A1B2C3D4-0001-4000-8000-000000000010", 0};

void InsertBookmark(SampleStatement* insert, const SampleBookmark& bookmark, int order) {
  insert->BindInt(1, bookmark.id);
  insert->BindInt(2, bookmark.special_id);
  insert->BindInt(3, bookmark.parent);
  insert->BindInt(4, bookmark.type);
  insert->BindText(5, bookmark.title);
  if (bookmark.url != nullptr) {
    insert->BindText(6, bookmark.url);
  } else {
    insert->BindNull(6);
  }
  insert->BindInt(7, order);
  insert->BindText(8, bookmark.uuid);
  insert->Step();
  insert->Reset();
}

struct SampleItem {
  int id;
  const char* url;
  const char* domain;
  const char* title;  // null: no visit saw a title
  int visits;
};

constexpr SampleItem kItems[] = {
    {1, "https://www.apple.com/", "apple", "Apple", 3},
    {2, "https://www.cp.pt/passageiros/en", "cp", "CP - Comboios de Portugal", 1},
    {3, "https://www.sqlite.org/fileformat.html", "sqlite", "Database File Format", 2},
    {4, "https://example.com/download?id=7", "example", nullptr, 1},
};
constexpr SampleItem kClearedItem = {5, "https://hostel.example/rooms", "hostel", "Rooms - Hostel",
                                     1};

void InsertItem(SampleStatement* item, SampleStatement* visit, const SampleItem& sample) {
  item->BindInt(1, sample.id);
  item->BindText(2, sample.url);
  item->BindText(3, sample.domain);
  item->BindInt(4, sample.visits);
  item->Step();
  item->Reset();
  for (int n = 0; n < sample.visits; ++n) {
    visit->BindInt(1, sample.id);
    visit->BindDouble(2, kFirstVisit + sample.id * 86400.0 + n * 600.5);
    if (sample.title != nullptr) {
      visit->BindText(3, sample.title);
    } else {
      visit->BindNull(3);
    }
    visit->Step();
    visit->Reset();
  }
}

}  // namespace

std::string IosBookmarksSql(int schema_version) {
  const int version = Clamp(schema_version, kIosBookmarksOldestSchema, kIosBookmarksNewestSchema);
  std::string sql = kBookmarkColumnsV1;
  if (version >= 2) sql += kBookmarkColumnsV2;
  if (version >= 3) sql += kBookmarkColumnsV3;
  sql += ");";
  sql += kBookmarkTables;
  if (version >= 3) sql += kBookmarkTablesV3;
  return sql;
}

std::string IosHistorySql(int schema_version) {
  const int version = Clamp(schema_version, kIosHistoryOldestSchema, kIosHistoryNewestSchema);
  std::string sql = kHistoryItemsV1;
  if (version >= 2) sql += ", status_code INTEGER NOT NULL DEFAULT 0";
  sql += ");";
  sql += kHistoryVisitsV1;
  if (version >= 2) sql += kHistoryVisitsV2;
  if (version >= 3) sql += ", score INTEGER NOT NULL DEFAULT 0";
  sql += ");";
  sql += kHistoryTables;
  if (version >= 2) sql += kHistoryTablesV2;
  if (version >= 3) sql += kHistoryTablesV3;
  return sql;
}

bool WriteIosBookmarks(const std::string& path, const IosSampleOptions& options) {
  SampleDatabase db(path);
  if (!db.is_open() || !Run(&db, IosBookmarksSql(options.schema_version))) return false;
  {
    SampleStatement insert(db.handle(),
                           "INSERT INTO bookmarks (id, special_id, parent, type, title, url, "
                           "order_index, external_uuid) VALUES (?,?,?,?,?,?,?,?)");
    if (!insert.prepared() || !db.Exec("BEGIN")) return false;
    int order = 0;
    for (const SampleBookmark& bookmark : kBookmarks) InsertBookmark(&insert, bookmark, order++);
    if (options.older_copy) InsertBookmark(&insert, kDeletedBookmark, order++);
  }
  // The statements are finalized: the file can be closed.
  return db.Exec("COMMIT") && db.Close();
}

bool WriteIosHistory(const std::string& path, const IosSampleOptions& options) {
  SampleDatabase db(path);
  if (!db.is_open() || !Run(&db, IosHistorySql(options.schema_version))) return false;
  {
    SampleStatement item(db.handle(),
                         "INSERT INTO history_items (id, url, domain_expansion, visit_count, "
                         "daily_visit_counts, should_recompute_derived_visit_counts, "
                         "visit_count_score) VALUES (?,?,?,?,x'00',0,100)");
    SampleStatement visit(db.handle(),
                          "INSERT INTO history_visits (history_item, visit_time, title) VALUES "
                          "(?,?,?)");
    if (!item.prepared() || !visit.prepared() || !db.Exec("BEGIN")) return false;
    for (const SampleItem& sample : kItems) InsertItem(&item, &visit, sample);
    if (options.older_copy) InsertItem(&item, &visit, kClearedItem);
  }
  return db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
