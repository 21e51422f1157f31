// The staged packager of the Kx photo database (data type 28): a photo
// index database (PhotoInfo, AlbumAsset, AlbumInfo) whose photos lie in a
// "Photos" folder under the folder the request names. Photo records go in
// batches of 10000 into detail files "DataAnalysis_KxPhoto_<n>.json"; the
// result document (result kind 25) lists them with the albums.
#ifndef KX_PIPELINE_IOS_KX_PHOTO_H_
#define KX_PIPELINE_IOS_KX_PHOTO_H_

#include <json/json.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "kit/batch_writer.h"
#include "packager/staged_package.h"
#include "pipeline/media_files.h"

namespace kx {

struct KxPhotoRecord {
  int album_types = 0;
  int photo_type = 0;
  int uniform_type = 0;
  double id = 0.0;
  double size = 0.0;
  double datetime = 0.0;
  std::string file_name;  // the full path
  std::string title;
  std::vector<std::string> album_uuid_list;  // never filled by this packager
};

class IosKxPhotoDataStorage : public AbstractDataPackageStorage {
 public:
  static constexpr size_t kBatchSize = 10000;

  explicit IosKxPhotoDataStorage(std::string output_folder);

  // A new id is counted and kept pending; a full batch is written at once.
  // An id met before is left out.
  void AddPhoto(KxPhotoRecord photo);
  void SetAlbums(Json::Value assets, Json::Value albums);
  // Writes the pending records as the next detail file; its path or "".
  std::string SavePhotoInfosToLocal();

  // {"photo_file_path", "AlbumAsset", "AlbumInfo", "photos_num"}, after
  // writing what is still pending.
  Json::Value& BuildResultDocument(Json::Value& document) override;

  int photo_count() const { return photo_count_; }

 private:
  BatchWriter details_;
  int detail_file_counter_ = 0;
  std::map<double, KxPhotoRecord> pending_;
  std::set<double> seen_ids_;
  Json::Value photo_files_{Json::arrayValue};
  Json::Value album_assets_;
  Json::Value albums_;
  int photo_count_ = 0;
};

class IosKxPhotoKxDataPackage : public AbstractKxDataPackage {
 public:
  explicit IosKxPhotoKxDataPackage(const StagedParameters& parameters);
  ~IosKxPhotoKxDataPackage() override;

  int CheckParam() override;
  int Init() override;
  int AnalyseDatabase() override;
  int OutPut() override;

 private:
  int ReadPhotos(SqliteStatement* statement);

  std::string temp_folder_;
  ResultCallback callback_;
  int result_kind_;
  const std::atomic<int>* staged_stop_;
  std::string photo_file_path_;
  std::string additional_param_;  // the folder above "Photos"
  std::unique_ptr<SQLite3Wrapper> db_;
  IosKxPhotoDataStorage storage_;
};

}  // namespace kx

#endif  // KX_PIPELINE_IOS_KX_PHOTO_H_
