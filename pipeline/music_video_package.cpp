#include "pipeline/music_video_package.h"

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "kit/backup_inputs.h"
#include "packager/package_steps.h"
#include "pipeline/media_files.h"

namespace kx {

namespace {

// What tells the two data types apart.
struct MediaKind {
  const char* primary_key;
  const char* folder;  // of the backup, where the files lie
  const char* file_prefix;
  const char* files_member;
  const char* count_member;
};

constexpr MediaKind kMusic = {"music_file_path", "Music", "DataAnalysis_Music", "music_file_path",
                              "musics_num"};
constexpr MediaKind kVideo = {"video_file_path", "Videos", "DataAnalysis_Video", "video_file_path",
                              "videos_num"};

constexpr size_t kElementsPerFile = 10000;
constexpr char kFileNameMember[] = "Filename";

const std::vector<SelectedColumn> kMediaColumns = {
    {"ID", nullptr},     {"Filename", nullptr},  {"Title", nullptr},
    {"Size", nullptr},   {"Duration", nullptr},  {"Album", nullptr},
    {"Artist", nullptr}, {"MediaType", nullptr}, {"FileExtendName", nullptr},
};
const std::vector<SelectedColumn> kAssetColumns = {{"MediaID", nullptr}, {"PlayListID", nullptr}};
const std::vector<SelectedColumn> kPlayListColumns = {
    {"ID", nullptr}, {"Title", nullptr}, {"IndexValue", nullptr}, {"Total", nullptr}};

// "SELECT <columns> FROM <table>" over what the table has; "" when the
// database has no such table. What it lacks goes into `missing`.
std::string QueryOver(const SQLite3Wrapper& db, const char* table,
                      const std::vector<SelectedColumn>& columns, std::string* missing) {
  const TableColumns present(db, table);
  if (!present.exists()) {
    if (!missing->empty()) *missing += ", ";
    *missing += table;
    return std::string();
  }
  std::string absent;
  const std::string list = present.SelectList(columns, &absent);
  if (!absent.empty()) {
    if (!missing->empty()) *missing += ", ";
    *missing += std::string(table) + " (" + absent + ")";
  }
  return "SELECT " + list + " FROM " + table;
}

// Rows of a playlist table as read into *rows; an absent table gives none.
// False when the stop flag was seen.
bool ReadPlayListRows(const SQLite3Wrapper& db, const std::string& query,
                      const PackageContext& context, Json::Value* rows) {
  *rows = EmptyJsonArray();
  if (query.empty()) return true;
  SqliteStatement statement = PrepareStatement(db, query);
  while (statement.prepared() && statement.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    Json::Value row(Json::objectValue);
    ReadRowIntoJson(statement, &row);
    rows->append(std::move(row));
  }
  return true;
}

// The file name of an element as a path in the backup. A name that could
// lead out of the media folder is emptied: the element stays, without a
// file, and is counted in *unsafe.
void ResolveFileName(const std::string& backup, const MediaKind& kind, Json::Value* element,
                     int* unsafe) {
  Json::Value& name = (*element)[kFileNameMember];
  if (!name.isString()) {
    if (name.isNull()) element->removeMember(kFileNameMember);
    return;
  }
  std::string relative;
  if (!SafeRelativePath(name.asString(), &relative)) {
    ++*unsafe;
    name = "";
    return;
  }
  name = PathUnder(PathUnder(backup, kind.folder), relative);
}

int PackageMedia(DataTypeRecord* record, const PackageContext& context, const MediaKind& kind) {
  const std::string* media_path = BeginPackage(*record, context, kind.primary_key);
  if (media_path == nullptr || !HasBackupAndTempFolder(*record, context.stem))
    return kStatusMissingInput;
  PackageSource db(*media_path, context);
  if (db.status() != kStatusOk) return db.status();

  std::string missing;
  const ReadTransaction transaction(db);
  std::string media_query = QueryOver(db, "mediaInfo", kMediaColumns, &missing);
  // Without mediaInfo there is nothing to package: its query fails below.
  if (media_query.empty()) media_query = "SELECT ID, Filename FROM mediaInfo";
  const std::string asset_query = QueryOver(db, "PlayListAsset", kAssetColumns, &missing);
  const std::string playlist_query = QueryOver(db, "PlayListInfo", kPlayListColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "media database has no %s: read as NULL.",
              missing.c_str());
  }
  SqliteStatement media = PrepareStatement(db, media_query);
  if (!media.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return kStatusPrepareFailed;
  }

  ElementBatches batches(record->temp_folder, kind.file_prefix, kElementsPerFile, context.stem);
  int unsafe = 0;
  while (media.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return PackageStopped(context);
    Json::Value element(Json::objectValue);
    ReadRowIntoJson(media, &element);
    ResolveFileName(record->additional_param, kind, &element, &unsafe);
    batches.Add(std::move(element));
  }
  if (unsafe > 0) {
    KX_LOG_AT(kLogProblem, context.stem,
              "%d media rows name a file outside the media folder: listed without a file.", unsafe);
  }

  Json::Value document(Json::objectValue);
  document[kind.files_member] = batches.Finish();
  document[kind.count_member] = batches.count();
  if (!ReadPlayListRows(db, asset_query, context, &document["PlayListAsset"]) ||
      !ReadPlayListRows(db, playlist_query, context, &document["PlayListInfo"])) {
    return PackageStopped(context);
  }
  return FinishPackage(db, context, WriteJson(document));
}

}  // namespace

int IosMusicDataPackage(DataTypeRecord* record, const PackageContext& context) {
  return PackageMedia(record, context, kMusic);
}

int IosVideoDataPackage(DataTypeRecord* record, const PackageContext& context) {
  return PackageMedia(record, context, kVideo);
}

}  // namespace kx
