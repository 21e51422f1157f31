#include "samples/ios_media_library.h"

#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// Version 1: no base_location, container without is_hidden.
constexpr char kLibraryV1[] =
    "CREATE TABLE item (item_pid INTEGER PRIMARY KEY, media_type INTEGER NOT NULL DEFAULT 0, "
    "item_artist_pid INTEGER NOT NULL DEFAULT 0, album_pid INTEGER NOT NULL DEFAULT 0, "
    "album_artist_pid INTEGER NOT NULL DEFAULT 0, genre_id INTEGER NOT NULL DEFAULT 0, "
    "disc_number INTEGER NOT NULL DEFAULT 0, track_number INTEGER NOT NULL DEFAULT 0, "
    "base_location_id INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE item_extra (item_pid INTEGER PRIMARY KEY, title TEXT NOT NULL DEFAULT '', "
    "sort_title TEXT, disc_count INTEGER NOT NULL DEFAULT 0, track_count INTEGER NOT NULL "
    "DEFAULT 0, total_time_ms REAL NOT NULL DEFAULT 0, year INTEGER NOT NULL DEFAULT 0, location "
    "TEXT NOT NULL DEFAULT '', file_size INTEGER NOT NULL DEFAULT 0, integrity BLOB, "
    "date_modified INTEGER NOT NULL DEFAULT 0, media_kind INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE album (album_pid INTEGER PRIMARY KEY, album TEXT NOT NULL DEFAULT '', "
    "sort_album TEXT, album_artist_pid INTEGER NOT NULL DEFAULT 0, representative_item_pid "
    "INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE album_artist (album_artist_pid INTEGER PRIMARY KEY, album_artist TEXT NOT NULL "
    "DEFAULT '', sort_album_artist TEXT, representative_item_pid INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE container (container_pid INTEGER PRIMARY KEY, distinguished_kind INTEGER NOT "
    "NULL DEFAULT 0, date_created INTEGER NOT NULL DEFAULT 0, date_modified INTEGER NOT NULL "
    "DEFAULT 0, name TEXT NOT NULL DEFAULT '', name_order INTEGER NOT NULL DEFAULT 0, parent_pid "
    "INTEGER NOT NULL DEFAULT 0, media_types INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE container_item (container_item_pid INTEGER PRIMARY KEY, container_pid INTEGER "
    "NOT NULL DEFAULT 0, item_pid INTEGER NOT NULL DEFAULT 0, position INTEGER NOT NULL DEFAULT "
    "0);";

constexpr char kLibraryV2[] =
    "CREATE TABLE item (item_pid INTEGER PRIMARY KEY, media_type INTEGER NOT NULL DEFAULT 0, "
    "title_order INTEGER NOT NULL DEFAULT 0, title_order_section INTEGER NOT NULL DEFAULT 0, "
    "item_artist_pid INTEGER NOT NULL DEFAULT 0, item_artist_order INTEGER NOT NULL DEFAULT 0, "
    "album_pid INTEGER NOT NULL DEFAULT 0, album_order INTEGER NOT NULL DEFAULT 0, "
    "album_artist_pid INTEGER NOT NULL DEFAULT 0, album_artist_order INTEGER NOT NULL DEFAULT 0, "
    "composer_pid INTEGER NOT NULL DEFAULT 0, genre_id INTEGER NOT NULL DEFAULT 0, disc_number "
    "INTEGER NOT NULL DEFAULT 0, track_number INTEGER NOT NULL DEFAULT 0, base_location_id "
    "INTEGER NOT NULL DEFAULT 0, remote_location_id INTEGER NOT NULL DEFAULT 0, keep_local "
    "INTEGER NOT NULL DEFAULT 0, in_my_library INTEGER NOT NULL DEFAULT 0, date_added INTEGER "
    "NOT NULL DEFAULT 0);"
    "CREATE TABLE item_extra (item_pid INTEGER PRIMARY KEY, title TEXT NOT NULL DEFAULT '', "
    "sort_title TEXT, disc_count INTEGER NOT NULL DEFAULT 0, track_count INTEGER NOT NULL "
    "DEFAULT 0, total_time_ms REAL NOT NULL DEFAULT 0, year INTEGER NOT NULL DEFAULT 0, location "
    "TEXT NOT NULL DEFAULT '', file_size INTEGER NOT NULL DEFAULT 0, integrity BLOB, "
    "is_audible_audio_book INTEGER NOT NULL DEFAULT 0, date_modified INTEGER NOT NULL DEFAULT 0, "
    "media_kind INTEGER NOT NULL DEFAULT 0, content_rating INTEGER NOT NULL DEFAULT 0, "
    "is_user_disabled INTEGER NOT NULL DEFAULT 0, bpm INTEGER NOT NULL DEFAULT 0, comment TEXT, "
    "grouping TEXT, description TEXT, description_long TEXT, copyright TEXT, category_id "
    "INTEGER NOT NULL DEFAULT 0, location_kind_id INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE base_location (base_location_id INTEGER PRIMARY KEY, path TEXT NOT NULL);"
    "CREATE TABLE album (album_pid INTEGER PRIMARY KEY, album TEXT NOT NULL DEFAULT '', "
    "sort_album TEXT, album_artist_pid INTEGER NOT NULL DEFAULT 0, representative_item_pid "
    "INTEGER NOT NULL DEFAULT 0, grouping_key BLOB, cloud_status INTEGER NOT NULL DEFAULT 0, "
    "user_rating INTEGER NOT NULL DEFAULT 0, all_compilations INTEGER NOT NULL DEFAULT 0, "
    "season_number INTEGER NOT NULL DEFAULT 0, album_year INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE album_artist (album_artist_pid INTEGER PRIMARY KEY, album_artist TEXT NOT NULL "
    "DEFAULT '', sort_album_artist TEXT, grouping_key BLOB, cloud_status INTEGER NOT NULL DEFAULT "
    "0, store_id INTEGER NOT NULL DEFAULT 0, representative_item_pid INTEGER NOT NULL DEFAULT "
    "0);"
    "CREATE TABLE container (container_pid INTEGER PRIMARY KEY, distinguished_kind INTEGER NOT "
    "NULL DEFAULT 0, date_created INTEGER NOT NULL DEFAULT 0, date_modified INTEGER NOT NULL "
    "DEFAULT 0, date_played INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL DEFAULT '', "
    "name_order INTEGER NOT NULL DEFAULT 0, is_owner INTEGER NOT NULL DEFAULT 1, is_editable "
    "INTEGER NOT NULL DEFAULT 0, parent_pid INTEGER NOT NULL DEFAULT 0, contained_media_type "
    "INTEGER NOT NULL DEFAULT 0, workout_template_id INTEGER NOT NULL DEFAULT 0, is_hidden "
    "INTEGER NOT NULL DEFAULT 0, is_ignorable_itunes_playlist INTEGER NOT NULL DEFAULT 0, "
    "description TEXT, play_count_user INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE container_item (container_item_pid INTEGER PRIMARY KEY, container_pid INTEGER "
    "NOT NULL DEFAULT 0, item_pid INTEGER NOT NULL DEFAULT 0, position INTEGER NOT NULL DEFAULT "
    "0, uuid TEXT NOT NULL DEFAULT '');";

// Version 3: version 2 with the further columns of current libraries.
std::string LibraryV3() {
  std::string sql = kLibraryV2;
  sql +=
      "ALTER TABLE item ADD COLUMN exclude_from_shuffle INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item ADD COLUMN is_compilation INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item ADD COLUMN show_composer INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item ADD COLUMN is_music_show INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item ADD COLUMN date_downloaded INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item ADD COLUMN download_source_container_pid INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item_extra ADD COLUMN content_rating_level INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item_extra ADD COLUMN genius_id INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE item_extra ADD COLUMN collection_description TEXT;"
      "ALTER TABLE item_extra ADD COLUMN version TEXT NOT NULL DEFAULT '';"
      "ALTER TABLE item_extra ADD COLUMN display_version TEXT NOT NULL DEFAULT '';"
      "ALTER TABLE album ADD COLUMN liked_state INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE album ADD COLUMN feed_url TEXT;"
      "ALTER TABLE album ADD COLUMN keep_local INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE album ADD COLUMN cloud_library_id TEXT NOT NULL DEFAULT '';"
      "ALTER TABLE album_artist ADD COLUMN keep_local INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE album_artist ADD COLUMN app_data BLOB;"
      "ALTER TABLE album_artist ADD COLUMN sync_id INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE container ADD COLUMN liked_state INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE container ADD COLUMN smart_criteria BLOB;"
      "ALTER TABLE container ADD COLUMN play_order INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE container ADD COLUMN filepath TEXT NOT NULL DEFAULT '';"
      "ALTER TABLE container ADD COLUMN cloud_global_id TEXT NOT NULL DEFAULT '';"
      "ALTER TABLE container ADD COLUMN is_collaborative INTEGER NOT NULL DEFAULT 0;"
      "ALTER TABLE container_item ADD COLUMN position_uuid TEXT NOT NULL DEFAULT '';"
      "ALTER TABLE container_item ADD COLUMN occurrence_id TEXT NOT NULL DEFAULT '';";
  return sql;
}

struct Song {
  int64_t pid;
  const char* title;
  int media_kind;        // 1 song, 8 audiobook, 2 film, 33 music video
  const char* location;  // "" for an item only in the cloud
  int64_t base_location_id;
  int64_t album_pid;
  int64_t album_artist_pid;
  int64_t file_size;
  double total_time_ms;
};

constexpr Song kSongs[] = {
    {1001, "Morning Light", 1, "ABCD.mp3", 3840, 501, 601, 4123456, 215000.0},
    {1002, "River Song", 1, "EFGH.m4a", 3840, 501, 601, 5234567, 187500.0},
    {1003, "Night Drive", 1, "IJKL.m4a", 3840, 502, 602, 6345678, 243250.0},
    {1004, "Chapter One", 8, "MNOP.m4b", 3840, 503, 603, 22345678, 1800000.0},
    {1005, "Streamed Only", 1, "", 0, 502, 602, 0, 199000.0},
    {2001, "Holiday Film", 2, "QRST.mp4", 3841, 0, 0, 734567890, 5400000.0},
    {2002, "Night Drive (Video)", 33, "UVWX.m4v", 3841, 502, 602, 45678901, 245000.0},
};

struct Playlist {
  int64_t pid;
  const char* name;
  int hidden;
  int64_t items[3];
};

constexpr Playlist kPlaylists[] = {
    {7001, "Favourites", 0, {1001, 1003, 0}},
    {7002, "Road Trip", 0, {1003, 1002, 2002}},
    {7003, "Purchased (hidden)", 1, {1001, 1004, 0}},
};

bool WriteLibraryRows(sqlite3* db, int version, const IosSampleOptions& options) {
  std::string sql;
  if (version >= 2) {
    sql +=
        "INSERT INTO base_location VALUES (3840, 'iTunes_Control/Music/F00'), "
        "(3841, 'iTunes_Control/Music/F01');";
  }
  sql +=
      "INSERT INTO album (album_pid, album, album_artist_pid) VALUES (501, 'Sunrise', 601), "
      "(502, 'After Hours', 602), (503, 'The Long Book', 603);"
      "INSERT INTO album_artist (album_artist_pid, album_artist) VALUES (601, 'The Early Birds'), "
      "(602, 'Neon Roads'), (603, 'A. Narrator');";
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  SampleStatement item(db,
                       "INSERT INTO item (item_pid, media_type, album_pid, album_artist_pid, "
                       "base_location_id) VALUES (?, ?, ?, ?, ?)");
  SampleStatement extra(db,
                        "INSERT INTO item_extra (item_pid, title, total_time_ms, location, "
                        "file_size, media_kind) VALUES (?, ?, ?, ?, ?, ?)");
  if (!item.prepared() || !extra.prepared()) return false;
  const auto add = [&](const Song& song) {
    item.BindInt64(1, song.pid);
    item.BindInt(2, song.media_kind);
    item.BindInt64(3, song.album_pid);
    item.BindInt64(4, song.album_artist_pid);
    item.BindInt64(5, song.base_location_id);
    extra.BindInt64(1, song.pid);
    extra.BindText(2, song.title);
    extra.BindDouble(3, song.total_time_ms);
    extra.BindText(4, song.location);
    extra.BindInt64(5, song.file_size);
    extra.BindInt(6, song.media_kind);
    const bool ok = item.Step() == SQLITE_DONE && extra.Step() == SQLITE_DONE;
    item.Reset();
    extra.Reset();
    return ok;
  };
  for (const Song& song : kSongs) {
    if (!add(song)) return false;
  }
  // More songs of the first album for larger samples.
  std::vector<std::string> names;
  for (int extra_song = 0; extra_song < (options.scale - 1) * 20; ++extra_song) {
    names.push_back("Track " + std::to_string(extra_song + 1));
    const std::string location = "S" + std::to_string(10000 + extra_song) + ".mp3";
    const Song song{3000 + extra_song,
                    names.back().c_str(),
                    1,
                    location.c_str(),
                    3840,
                    501,
                    601,
                    3000000 + extra_song,
                    180000.0};
    if (!add(song)) return false;
  }
  SampleStatement container(db, version >= 2
                                    ? "INSERT INTO container (container_pid, name, is_hidden) "
                                      "VALUES (?, ?, ?)"
                                    : "INSERT INTO container (container_pid, name) VALUES (?, ?)");
  SampleStatement member(db,
                         "INSERT INTO container_item (container_pid, item_pid, position) VALUES "
                         "(?, ?, ?)");
  if (!container.prepared() || !member.prepared()) return false;
  for (const Playlist& playlist : kPlaylists) {
    container.BindInt64(1, playlist.pid);
    container.BindText(2, playlist.name);
    if (version >= 2) container.BindInt(3, playlist.hidden);
    if (container.Step() != SQLITE_DONE) return false;
    container.Reset();
    int position = 0;
    for (const int64_t item_pid : playlist.items) {
      if (item_pid == 0) continue;
      member.BindInt64(1, playlist.pid);
      member.BindInt64(2, item_pid);
      member.BindInt(3, position++);
      if (member.Step() != SQLITE_DONE) return false;
      member.Reset();
    }
  }
  return true;
}

constexpr char kIndexV1[] =
    "CREATE TABLE mediaInfo (ID INTEGER PRIMARY KEY, Filename TEXT, Title TEXT, Size INTEGER, "
    "Duration REAL, Album TEXT, Artist TEXT, MediaType INTEGER, FileExtendName TEXT);"
    "CREATE TABLE PlayListAsset (MediaID INTEGER, PlayListID INTEGER);"
    "CREATE TABLE PlayListInfo (ID INTEGER PRIMARY KEY, Title TEXT, IndexValue INTEGER, Total "
    "INTEGER);";
constexpr char kIndexV2[] =
    "CREATE TABLE mediaInfo (ID INTEGER PRIMARY KEY, Filename TEXT, Title TEXT, Size INTEGER, "
    "Duration REAL, Album TEXT, Artist TEXT, MediaType INTEGER);"
    "CREATE TABLE PlayListAsset (MediaID INTEGER, PlayListID INTEGER);"
    "CREATE TABLE PlayListInfo (ID INTEGER PRIMARY KEY, Title TEXT, IndexValue INTEGER);";

}  // namespace

std::string IosMediaLibrarySql(int schema_version) {
  switch (schema_version) {
    case 1:
      return kLibraryV1;
    case 2:
      return kLibraryV2;
    default:
      return LibraryV3();
  }
}

bool WriteIosMediaLibrary(const std::string& path, const IosSampleOptions& options) {
  SampleDatabase db(path);
  const int version =
      options.schema_version == 0 ? kIosMediaLibraryNewestSchema : options.schema_version;
  if (!db.is_open() || !db.Exec(IosMediaLibrarySql(version).c_str())) return false;
  if (!WriteLibraryRows(db.handle(), version, options)) return false;
  return db.Close();
}

std::string IosMediaIndexSql(int schema_version) {
  return schema_version == 2 ? kIndexV2 : kIndexV1;
}

namespace {

bool WriteIndexRows(sqlite3* db, bool videos) {
  SampleStatement insert(db,
                         "INSERT INTO mediaInfo (ID, Filename, Title, Size, Duration, Album, "
                         "Artist, MediaType) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  if (!insert.prepared()) return false;
  for (const Song& song : kSongs) {
    const bool video = song.media_kind == 2 || song.media_kind == 33;
    if (video != videos || song.location[0] == '\0') continue;
    insert.BindInt64(1, song.pid);
    insert.BindText(2, song.location);
    insert.BindText(3, song.title);
    insert.BindInt64(4, song.file_size);
    insert.BindDouble(5, song.total_time_ms);
    insert.BindText(6, video ? "" : "Sunrise");
    insert.BindText(7, video ? "" : "The Early Birds");
    insert.BindInt(8, song.media_kind);
    if (insert.Step() != SQLITE_DONE) return false;
    insert.Reset();
  }
  return true;
}

}  // namespace

bool WriteIosMediaIndex(const std::string& path, bool videos, const IosSampleOptions& options) {
  SampleDatabase db(path);
  const int version = options.schema_version == 0 ? 1 : options.schema_version;
  if (!db.is_open() || !db.Exec(IosMediaIndexSql(version).c_str())) return false;
  if (!WriteIndexRows(db.handle(), videos)) return false;
  if (version == 1 &&
      !db.Exec(
          "UPDATE mediaInfo SET FileExtendName = substr(Filename, instr(Filename, '.') + 1)")) {
    return false;
  }
  if (!db.Exec(version == 1 ? "INSERT INTO PlayListInfo VALUES (7001, 'Favourites', 0, 2), "
                              "(7002, 'Road Trip', 1, 3);"
                            : "INSERT INTO PlayListInfo VALUES (7001, 'Favourites', 0), "
                              "(7002, 'Road Trip', 1);") ||
      !db.Exec("INSERT INTO PlayListAsset VALUES (1001, 7001), (1003, 7001), (1003, 7002), "
               "(1002, 7002), (2002, 7002);")) {
    return false;
  }
  return db.Close();
}

}  // namespace kx::samples
