#include "pipeline/kx_photo_package.h"

#include <string>

#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "kit/backup_inputs.h"
#include "packager/package_steps.h"
#include "pipeline/kx_photo_index.h"
#include "pipeline/media_files.h"

namespace kx {

namespace {

constexpr char kPhotoFileKey[] = "photo_file_path";
constexpr char kFilePrefix[] = "DataAnalysis_Photo";
constexpr size_t kPhotosPerFile = 10000;

// The row's element with its file and thumbnail as full paths; false for a
// photo without a file name, or with one that could lead out of the Photos
// folder: such photos are left out. *unsafe counts the latter.
bool PhotoElement(const SqliteStatement& row, const std::string& backup, Json::Value* element,
                  int* unsafe) {
  ReadRowIntoJson(row, element);
  const Json::Value& name = (*element)["Filename"];
  const std::string file_name = name.isString() ? name.asString() : std::string();
  if (file_name.empty()) return false;
  std::string path;
  std::string thumb;
  if (!KxPhotoPath(backup, file_name, &path) || !KxPhotoThumbPath(backup, file_name, &thumb)) {
    ++*unsafe;
    return false;
  }
  (*element)["Filename"] = path;
  (*element)["ThumbFilename"] = thumb;
  return true;
}

}  // namespace

int IosKxPhotoDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* photo_path = BeginPackage(*record, context, kPhotoFileKey);
  if (photo_path == nullptr || !HasBackupAndTempFolder(*record, context.stem))
    return kStatusMissingInput;
  PackageSource db(*photo_path, context);
  if (db.status() != kStatusOk) return db.status();

  const ReadTransaction transaction(db);
  SqliteStatement photos = PrepareStatement(db, kKxPhotoQuery);
  if (!photos.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return kStatusPrepareFailed;
  }
  ElementBatches batches(record->temp_folder, kFilePrefix, kPhotosPerFile, context.stem);
  int unsafe = 0;
  while (photos.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return PackageStopped(context);
    Json::Value element(Json::objectValue);
    if (!PhotoElement(photos, record->additional_param, &element, &unsafe)) continue;
    batches.Add(std::move(element));
  }
  if (unsafe > 0) {
    KX_LOG_AT(kLogProblem, context.stem,
              "%d photos name a file outside the Photos folder: left out.", unsafe);
  }

  Json::Value document(Json::objectValue);
  document["photo_file_path"] = batches.Finish();
  document["photos_num"] = batches.count();
  std::string missing;
  if (!ReadKxPhotoAlbums(
          db, [&context] { return context.StopRequested(); }, &document["AlbumAsset"],
          &document["AlbumInfo"], &missing)) {
    return PackageStopped(context);
  }
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "photo database has no %s: read as empty.",
              missing.c_str());
  }
  return FinishPackage(db, context, WriteJson(document));
}

}  // namespace kx
