#include "pipeline/ios_kx_photo.h"

#include <utility>

#include "common/json_util.h"
#include "common/log.h"
#include "common/status.h"
#include "kit/batch_writer.h"
#include "packager/package_steps.h"
#include "pipeline/kx_photo_index.h"

namespace kx {

namespace {

constexpr char kCheckParamOperation[] = "IosKxPhotoKxDataPackage::CheckParam";
constexpr char kInitOperation[] = "IosKxPhotoKxDataPackage::Init";
constexpr char kAnalyseOperation[] = "IosKxPhotoKxDataPackage::AnalyseDatabase";
constexpr char kOutPutOperation[] = "IosKxPhotoKxDataPackage::OutPut";
constexpr char kSaveOperation[] = "IosKxPhotoDataStorage::_SavePhotoInfosToLocal";

// A photo's detail-file object, its members in the writer's order.
void WritePhoto(const KxPhotoRecord& photo, JsonBufferWriter* writer) {
  writer->BeginObject();
  writer->Name("album_types");
  writer->Int(photo.album_types);
  writer->Name("album_uuid_list");
  writer->StringArray(photo.album_uuid_list);
  writer->Name("datetime");
  writer->Double(photo.datetime);
  writer->Name("file_name");
  writer->String(photo.file_name);
  writer->Name("id");
  writer->Double(photo.id);
  writer->Name("photo_type");
  writer->Int(photo.photo_type);
  writer->Name("size");
  writer->Double(photo.size);
  writer->Name("title");
  writer->String(photo.title);
  writer->Name("unifom_type");
  writer->Int(photo.uniform_type);
  writer->EndObject();
}

// Columns of PhotoInfo read by name; a column the table lacks reads empty.
struct PhotoColumns {
  int filename, album_types, photo_type, uniform_type, id, size, datetime, title;

  explicit PhotoColumns(const SqliteStatement& statement)
      : filename(ColumnIndex(statement, "Filename")),
        album_types(ColumnIndex(statement, "AlbumTypes")),
        photo_type(ColumnIndex(statement, "PhotoType")),
        uniform_type(ColumnIndex(statement, "UniformType")),
        id(ColumnIndex(statement, "ID")),
        size(ColumnIndex(statement, "Size")),
        datetime(ColumnIndex(statement, "Datetime")),
        title(ColumnIndex(statement, "Title")) {}
};

std::string TextAt(StoppableColumns* row, int index) {
  return index < 0 ? std::string() : row->Text(index);
}

}  // namespace

IosKxPhotoDataStorage::IosKxPhotoDataStorage(std::string output_folder)
    : AbstractDataPackageStorage(output_folder),
      details_(std::move(output_folder)),
      album_assets_(EmptyJsonArray()),
      albums_(EmptyJsonArray()) {}

void IosKxPhotoDataStorage::AddPhoto(KxPhotoRecord photo) {
  if (!seen_ids_.insert(photo.id).second) return;
  ++photo_count_;
  pending_.emplace(photo.id, std::move(photo));
  if (pending_.size() >= kBatchSize) SavePhotoInfosToLocal();
}

void IosKxPhotoDataStorage::SetAlbums(Json::Value assets, Json::Value albums) {
  album_assets_ = std::move(assets);
  albums_ = std::move(albums);
}

std::string IosKxPhotoDataStorage::SavePhotoInfosToLocal() {
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = "Photo info is empty";
  item.has_details = !pending_.empty();
  for (const auto& entry : pending_) WritePhoto(entry.second, details_.Next());
  pending_.clear();
  const std::string path =
      SaveDetailFile(&details_, kKxPhotoDetailPrefix, &detail_file_counter_, item);
  if (!path.empty()) photo_files_.append(path);
  return path;
}

Json::Value& IosKxPhotoDataStorage::BuildResultDocument(Json::Value& document) {
  if (!pending_.empty()) SavePhotoInfosToLocal();
  document = Json::Value(Json::objectValue);
  document["photo_file_path"] = photo_files_;
  document["AlbumAsset"] = album_assets_;
  document["AlbumInfo"] = albums_;
  document["photos_num"] = photo_count_;
  return document;
}

IosKxPhotoKxDataPackage::IosKxPhotoKxDataPackage(const StagedParameters& parameters)
    : temp_folder_(parameters.temp_folder),
      callback_(parameters.callback),
      result_kind_(parameters.result_kind),
      staged_stop_(parameters.staged_stop),
      photo_file_path_(parameters.primary_file_path),
      additional_param_(parameters.additional_param),
      storage_(parameters.temp_folder) {}

IosKxPhotoKxDataPackage::~IosKxPhotoKxDataPackage() = default;

int IosKxPhotoKxDataPackage::CheckParam() {
  return CheckMediaParams(kCheckParamOperation, photo_file_path_, temp_folder_);
}

int IosKxPhotoKxDataPackage::Init() {
  // A stop stays set until the library is initialised again: clearing it
  // here would swallow a stop meant for another staged run in flight.
  if (MediaStopRequested(staged_stop_, kInitOperation, __LINE__)) return kStatusStopped;
  const int opened =
      StageAndOpenMediaDatabase(temp_folder_, photo_file_path_, kInitOperation, &db_);
  if (opened != kStatusOk) return opened;
  if (MediaStopRequested(staged_stop_, kInitOperation, __LINE__)) return kStatusStopped;
  return kStatusOk;
}

int IosKxPhotoKxDataPackage::ReadPhotos(SqliteStatement* statement) {
  const PhotoColumns columns(*statement);
  int skipped = 0;
  int rc = SQLITE_OK;
  while ((rc = statement->Step()) == SQLITE_ROW) {
    StoppableColumns row(*statement, staged_stop_, kAnalyseOperation);
    const std::string file_name = TextAt(&row, columns.filename);
    KxPhotoRecord photo;
    photo.album_types = ParseDecimalInt(TextAt(&row, columns.album_types));
    photo.photo_type = ParseDecimalInt(TextAt(&row, columns.photo_type));
    photo.uniform_type = ParseDecimalInt(TextAt(&row, columns.uniform_type));
    photo.id = ParseDecimalNumber(TextAt(&row, columns.id));
    photo.size = ParseDecimalNumber(TextAt(&row, columns.size));
    photo.datetime = ParseDecimalNumber(TextAt(&row, columns.datetime));
    photo.title = TextAt(&row, columns.title);
    if (row.stopped()) return kStatusStopped;
    // A photo without a file name is left out; so is one whose name could
    // lead out of the Photos folder.
    if (file_name.empty()) continue;
    if (!KxPhotoPath(additional_param_, file_name, &photo.file_name)) {
      ++skipped;
      continue;
    }
    storage_.AddPhoto(std::move(photo));
  }
  if (skipped > 0) {
    KX_LOG_OP(kLogProblem, kAnalyseOperation,
              "%d photos name a file outside the Photos folder: left out", skipped);
  }
  if (rc != SQLITE_DONE) {
    KX_LOG_OP(kLogError, kAnalyseOperation, "sqlite error message : %s.",
              db_->ErrorMessage().c_str());
    return kStatusStepFailed;
  }
  return kStatusOk;
}

int IosKxPhotoKxDataPackage::AnalyseDatabase() {
  if (db_ == nullptr) return kStatusOpenFailed;
  const ReadTransaction transaction(*db_);
  SqliteStatement photos;
  if (photos.Prepare(*db_, kKxPhotoQuery) != SQLITE_OK) {
    KX_LOG_OP(kLogError, kAnalyseOperation,
              "Sql prepare failed, error code:{%d}, error message:{%s}",
              sqlite3_errcode(db_->handle()), sqlite3_errmsg(db_->handle()));
    return kStatusPrepareFailed;
  }
  const int rc = ReadPhotos(&photos);
  if (rc != kStatusOk) return rc;
  Json::Value assets;
  Json::Value albums;
  std::string missing;
  const auto stopped = [this] {
    return MediaStopRequested(staged_stop_, kAnalyseOperation, __LINE__);
  };
  if (!ReadKxPhotoAlbums(*db_, stopped, &assets, &albums, &missing)) return kStatusStopped;
  if (!missing.empty()) {
    KX_LOG_OP(kLogProblem, kAnalyseOperation, "photo database has no %s: read as empty.",
              missing.c_str());
  }
  storage_.SetAlbums(std::move(assets), std::move(albums));
  return kStatusOk;
}

int IosKxPhotoKxDataPackage::OutPut() {
  if (MediaStopRequested(staged_stop_, kOutPutOperation, __LINE__)) return kStatusStopped;
  Json::Value document;
  storage_.BuildResultDocument(document);
  if (MediaStopRequested(staged_stop_, kOutPutOperation, __LINE__)) return kStatusStopped;
  return HandOverDocument(result_kind_, WriteJson(document), callback_, kOutPutOperation);
}

}  // namespace kx
