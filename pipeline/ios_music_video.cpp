#include "pipeline/ios_music_video.h"

#include <utility>

#include "common/json_util.h"
#include "common/log.h"
#include "common/select_list.h"
#include "common/status.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kCheckParamOperation[] = "IosMusicVideoDataPackage::CheckParam";
constexpr char kInitOperation[] = "IosMusicVideoDataPackage::Init";
constexpr char kAnalyseOperation[] = "IosMusicVideoDataPackage::AnalyseDatabase";
constexpr char kOutPutOperation[] = "IosMusicVideoDataPackage::OutPut";
constexpr char kMediaOperation[] = "IosMusicVideoDataPackage::HandleMediaMeg";
constexpr char kAssetOperation[] = "IosMusicVideoDataPackage::HandleMusicPlayListAsset";
constexpr char kPlayListOperation[] = "IosMusicVideoDataPackage::HandleMusicPlayListInfo";

// A media or playlist handler that fails ends the analysis with this.
constexpr int kStatusHandlerFailed = kStatusAlreadyPackaged;

constexpr int kMusicVideoMediaType = 33;
constexpr char kMusicVideoTag[] = "music-video";

enum MediaColumn {
  kMediaId,
  kMediaFileName,
  kMediaTitle,
  kMediaSize,
  kMediaDuration,
  kMediaType,
  kMediaSavePath,
  kMediaAlbum,
  kMediaArtist,
};

// Collects what a library lacks, for the one log line.
class Missing {
 public:
  void Add(const std::string& what) {
    if (!text_.empty()) text_ += ", ";
    text_ += what;
  }
  // True when `table` has every one of `columns`; else each absent one (or
  // the table) is noted.
  bool Has(const TableColumns& table, const char* table_name,
           std::initializer_list<const char*> columns) {
    if (!table.exists()) {
      Add(table_name);
      return false;
    }
    bool all = true;
    for (const char* column : columns) {
      if (table.Has(column)) continue;
      Add(std::string(table_name) + "." + column);
      all = false;
    }
    return all;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string Selected(bool present, const std::string& expression, const char* name) {
  if (!present) return std::string("NULL as ") + name;
  return expression;
}

}  // namespace

bool IsMusicMediaType(int64_t media_type) {
  return media_type == 1 || media_type == 4 || media_type == 8;
}

MediaLibraryQueries BuildMediaLibraryQueries(const SQLite3Wrapper& db) {
  MediaLibraryQueries queries;
  Missing missing;
  const TableColumns extra(db, "item_extra");
  const TableColumns item(db, "item");
  const TableColumns base(db, "base_location");
  const TableColumns album(db, "album");
  const TableColumns artist(db, "album_artist");
  const TableColumns container(db, "container");
  const TableColumns container_item(db, "container_item");

  // Without item_extra (or its key) there is nothing to read: the query is
  // left as it is, and preparing it says what is missing.
  const bool have_extra = extra.Has("item_pid");
  const auto extra_column = [&](const char* column) {
    return !have_extra || missing.Has(extra, "item_extra", {column});
  };
  const bool have_item = have_extra && item.Has("item_pid");
  if (have_extra && !have_item) missing.Add(item.exists() ? "item.item_pid" : "item");
  const auto joined = [&](const char* item_key, const TableColumns& table, const char* table_name,
                          const char* value, const char* key) {
    if (!have_extra) return true;
    if (!have_item) return false;
    const bool keyed = missing.Has(item, "item", {item_key});
    return missing.Has(table, table_name, {value, key}) && keyed;
  };

  queries.media =
      "select it_ex.item_pid as ID, " +
      Selected(extra_column("location"), "it_ex.location as file_name", "file_name") + ", " +
      Selected(extra_column("title"), "it_ex.title", "title") + ", " +
      Selected(extra_column("file_size"), "it_ex.file_size as size", "size") + ", " +
      Selected(extra_column("total_time_ms"), "it_ex.total_time_ms as Duration", "Duration") +
      ", " + Selected(extra_column("media_kind"), "it_ex.media_kind as media_type", "media_type") +
      ", " +
      Selected(joined("base_location_id", base, "base_location", "path", "base_location_id"),
               "(select path from base_location bal where it.base_location_id = "
               "bal.base_location_id) as save_path",
               "save_path") +
      ", " +
      Selected(joined("album_pid", album, "album", "album", "album_pid"),
               "(select album from album as al where it.album_pid = al.album_pid) as Album",
               "Album") +
      ", " +
      Selected(
          joined("album_artist_pid", artist, "album_artist", "album_artist", "album_artist_pid"),
          "(select album_artist from album_artist as al_ar where it.album_artist_pid = "
          "al_ar.album_artist_pid) as Artist",
          "Artist") +
      " from item_extra as it_ex" +
      (have_item || !have_extra ? " left join item as it on it_ex.item_pid = it.item_pid" : "") +
      ";";

  // Playlists: a library without is_hidden hides none.
  const bool have_container = missing.Has(container, "container", {"container_pid"});
  const bool have_hidden = have_container && missing.Has(container, "container", {"is_hidden"});
  if (have_container) {
    queries.playlists =
        std::string("select container_pid as ID, ") +
        Selected(missing.Has(container, "container", {"name"}), "name as Title", "Title") +
        " from container" + (have_hidden ? " where is_hidden = 0" : "");
  }
  if (missing.Has(container_item, "container_item", {"item_pid", "container_pid"})) {
    queries.membership =
        std::string("select item_pid as MediaID, container_pid as PlayListID from container_item") +
        (have_hidden
             ? " where PlayListID not in(select container_pid from container where is_hidden = 1); "
             : "");
  }
  queries.missing = missing.text();
  return queries;
}

IosMusicVideoDataPackage::IosMusicVideoDataPackage(const StagedParameters& parameters)
    : temp_folder_(parameters.temp_folder),
      callback_(parameters.callback),
      result_kind_(parameters.result_kind),
      staged_stop_(parameters.staged_stop),
      music_video_file_path_(parameters.primary_file_path),
      storage_(parameters.temp_folder) {}

IosMusicVideoDataPackage::~IosMusicVideoDataPackage() = default;

int IosMusicVideoDataPackage::CheckParam() {
  return CheckMediaParams(kCheckParamOperation, music_video_file_path_, temp_folder_);
}

int IosMusicVideoDataPackage::Init() {
  // A stop stays set until the library is initialised again: clearing it
  // here would swallow a stop meant for another staged run in flight.
  if (MediaStopRequested(staged_stop_, kInitOperation, __LINE__)) return kStatusStopped;
  const int opened =
      StageAndOpenMediaDatabase(temp_folder_, music_video_file_path_, kInitOperation, &db_);
  if (opened != kStatusOk) return opened;
  if (MediaStopRequested(staged_stop_, kInitOperation, __LINE__)) return kStatusStopped;
  return kStatusOk;
}

int IosMusicVideoDataPackage::Prepare(const std::string& sql, SqliteStatement* statement) {
  if (statement->Prepare(*db_, sql) == SQLITE_OK) return kStatusOk;
  KX_LOG_OP(kLogError, kAnalyseOperation, "Sql prepare failed, error code:{%d}, error message:{%s}",
            sqlite3_errcode(db_->handle()), sqlite3_errmsg(db_->handle()));
  return kStatusPrepareFailed;
}

int IosMusicVideoDataPackage::AnalyseDatabase() {
  if (db_ == nullptr) return kStatusOpenFailed;
  const MediaLibraryQueries queries = BuildMediaLibraryQueries(*db_);
  if (!queries.missing.empty()) {
    KX_LOG_OP(kLogProblem, kAnalyseOperation, "media library has no %s: read as NULL.",
              queries.missing.c_str());
  }
  const ReadTransaction transaction(*db_);
  SqliteStatement media;
  SqliteStatement playlists;
  int rc = Prepare(queries.media, &media);
  if (rc == kStatusOk && !queries.playlists.empty()) rc = Prepare(queries.playlists, &playlists);
  if (rc == kStatusOk && !queries.membership.empty()) {
    rc = HandleMusicPlayListAsset(queries.membership);
  }
  if (rc != kStatusOk) return rc;

  rc = HandleMediaMeg(&media);
  if (rc == kStatusStopped) return rc;
  if (rc != kStatusOk) {
    KX_LOG_OP(kLogError, kAnalyseOperation,
              "Data Package handle error, error code: {%d}, error function : HandleMediaMeg", rc);
    return kStatusHandlerFailed;
  }
  rc = playlists.prepared() ? HandleMusicPlayListInfo(&playlists) : kStatusOk;
  if (rc == kStatusStopped) return rc;
  if (rc != kStatusOk) {
    KX_LOG_OP(kLogError, kAnalyseOperation,
              "Data Package handle error, error code: {%d}, error function : "
              "HandleMediaPlayListAsset",
              rc);
    return kStatusHandlerFailed;
  }
  return kStatusOk;
}

int IosMusicVideoDataPackage::OutPut() {
  if (MediaStopRequested(staged_stop_, kOutPutOperation, __LINE__)) return kStatusStopped;
  Json::Value document;
  storage_.BuildResultDocument(document);
  // The last batches are written above: a stop meanwhile still gives no
  // document.
  if (MediaStopRequested(staged_stop_, kOutPutOperation, __LINE__)) return kStatusStopped;
  return HandOverDocument(result_kind_, WriteJson(document), callback_, kOutPutOperation);
}

int IosMusicVideoDataPackage::HandleMusicPlayListAsset(const std::string& query) {
  SqliteStatement statement;
  const int prepared = Prepare(query, &statement);
  if (prepared != kStatusOk) return prepared;
  int rc = SQLITE_OK;
  while ((rc = statement.Step()) == SQLITE_ROW) {
    StoppableColumns row(statement, staged_stop_, kAssetOperation);
    const auto item_id = static_cast<uint64_t>(row.Int64(0));
    const auto playlist_id = static_cast<uint64_t>(row.Int64(1));
    if (row.stopped()) return kStatusStopped;
    playlists_of_item_[item_id].push_back(playlist_id);
  }
  // A damaged membership table loses memberships, not the songs.
  if (rc != SQLITE_DONE) {
    KX_LOG_OP(kLogProblem, kAssetOperation, "sqlite error message : %s.",
              db_->ErrorMessage().c_str());
  }
  return kStatusOk;
}

void IosMusicVideoDataPackage::FillPath(const std::string& save_path, const std::string& file_name,
                                        bool present, Common* item) {
  if (!present || save_path.empty() || file_name.empty()) return;
  std::string folder;
  std::string name;
  // A path that could lead out of the media folder is not reported: the
  // item is still listed, without a path, as items without a file are.
  if (!SafeRelativePath(save_path, &folder) || !SafeRelativePath(file_name, &name)) {
    ++unsafe_paths_;
    return;
  }
  item->file_full_path = PathUnder(folder, name);
  item->file_extend_name = ExtensionOf(name);
}

void IosMusicVideoDataPackage::FillCommon(MediaRow* row, Common* item) {
  FillPath(row->save_path, row->file_name, row->has_name && row->has_folder, item);
  item->id = row->id;
  item->title = std::move(row->title);
  item->size = row->size;
  item->duration = row->duration;
  item->media_type = static_cast<int>(row->media_type);
}

int IosMusicVideoDataPackage::HandleMediaMeg(SqliteStatement* statement) {
  int rc = SQLITE_OK;
  MediaRow media;
  while ((rc = statement->Step()) == SQLITE_ROW) {
    StoppableColumns row(*statement, staged_stop_, kMediaOperation);
    media.id = static_cast<uint64_t>(row.Int64(kMediaId));
    media.has_name = !row.IsNull(kMediaFileName);
    media.file_name = row.Text(kMediaFileName);
    media.title = row.Text(kMediaTitle);
    media.size = static_cast<uint64_t>(row.Int64(kMediaSize));
    media.duration = row.Double(kMediaDuration);
    media.media_type = row.Int64(kMediaType);
    media.has_folder = !row.IsNull(kMediaSavePath);
    media.save_path = row.Text(kMediaSavePath);
    media.album = row.Text(kMediaAlbum);
    media.artist = row.Text(kMediaArtist);
    if (row.stopped()) return kStatusStopped;

    if (IsMusicMediaType(media.media_type)) {
      MusicInfo music;
      FillCommon(&media, &music);
      music.album = std::move(media.album);
      music.artist = std::move(media.artist);
      const auto found = playlists_of_item_.find(media.id);
      if (found != playlists_of_item_.end()) music.playlist_ids = found->second;
      storage_.AddMusic(std::move(music));
    } else {
      VideoInfo video;
      FillCommon(&media, &video);
      if (media.media_type == kMusicVideoMediaType) video.tag = kMusicVideoTag;
      storage_.AddVideo(std::move(video));
    }
  }
  if (unsafe_paths_ > 0) {
    KX_LOG_OP(kLogProblem, kMediaOperation,
              "%d media rows name a path outside the media folder: listed without a path",
              unsafe_paths_);
  }
  if (rc != SQLITE_DONE) {
    KX_LOG_OP(kLogError, kMediaOperation, "sqlite error message : %s.",
              db_->ErrorMessage().c_str());
    return kStatusStepFailed;
  }
  return kStatusOk;
}

int IosMusicVideoDataPackage::HandleMusicPlayListInfo(SqliteStatement* statement) {
  int rc = SQLITE_OK;
  while ((rc = statement->Step()) == SQLITE_ROW) {
    StoppableColumns row(*statement, staged_stop_, kPlayListOperation);
    PlayListEntry entry;
    entry.id = static_cast<uint64_t>(row.Int64(0));
    entry.title = row.Text(1);
    if (row.stopped()) return kStatusStopped;
    // A playlist's index is its place among the visible playlists, from 0.
    entry.index_value = static_cast<int>(storage_.playlist_count());
    storage_.AddPlayList(std::move(entry));
  }
  if (rc != SQLITE_DONE) {
    KX_LOG_OP(kLogError, kPlayListOperation, "sqlite error message : %s.",
              db_->ErrorMessage().c_str());
    return kStatusStepFailed;
  }
  return kStatusOk;
}

}  // namespace kx
