#include "ios/photos.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/media_types.h"
#include "common/platform.h"
#include "common/property_list.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/staging.h"
#include "common/status.h"
#include "common/text.h"
#include "ios/photo_albums.h"
#include "ios/photo_groups.h"
#include "ios/photo_paths.h"
#include "ios/recording_files.h"
#include "kit/backup_inputs.h"
#include "kit/batch_writer.h"
#include "kit/date_sql.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPhotoFileKey[] = "photo_file_path";
constexpr char kThumbConfigKey[] = "thumb_config_path";
constexpr char kPhotoFolderKey[] = "is_photo_folder";
constexpr char kThumbFormatKey[] = "PLThumbnailManagerThumbnailFormatKey";
constexpr char kBatchPrefix[] = "KxDataPackage_Photo_";
constexpr char kLooseBatchName[] = "KxDataPackage_Photo_DCIM.json";
constexpr char kLooseFolder[] = "DCIM";
constexpr size_t kPhotosPerBatch = 10000;
// More than a photo's object takes in a batch file (about 1 KB with every
// path): a full batch fits the room set aside for it.
constexpr size_t kBatchBytesPerPhoto = 2048;

constexpr char kNewAssetTable[] = "ZASSET";
constexpr char kOldAssetTable[] = "ZGENERICASSET";
constexpr char kExtraTable[] = "ZADDITIONALASSETATTRIBUTES";
constexpr char kNewSchemaSql[] =
    "SELECT name FROM sqlite_master WHERE type='table' and tbl_name='ZASSET' limit 1";

// The ten columns of a photo object, in query order.
enum PhotoColumn {
  kId,
  kPath,
  kName,
  kOriginalName,
  kFileSize,
  kDuration,
  kUuid,
  kAdjusted,
  kUniformType,
  kDate,
  kPhotoColumns
};

// One column of the asset query: read from whichever of the asset table and
// the table of additional attributes has it, as NULL when neither does.
struct AssetColumn {
  const char* column;
  const char* as;
  int64_t PhotoAttributes::*attribute;  // null for the photo columns
};

const AssetColumn kPhotoColumnList[] = {
    {"ZDIRECTORY", "path", nullptr},
    {"ZFILENAME", "name", nullptr},
    {"ZORIGINALFILENAME", "original_file_name", nullptr},
    {"ZORIGINALFILESIZE", "filesize", nullptr},
    {"ZDURATION", "duration", nullptr},
    {"ZUUID", "ZUUID", nullptr},
    {"ZHASADJUSTMENTS", "has_adjustments", nullptr},
    {"ZUNIFORMTYPEIDENTIFIER", "adjusted_pic_type", nullptr},
};

// The ZASSET generation (iOS 14 on) has the newer flags; the older one
// decides its albums from fewer.
const AssetColumn kNewAttributes[] = {
    {"ZKIND", "kind", &PhotoAttributes::kind},
    {"ZKINDSUBTYPE", "kindsubtype", &PhotoAttributes::kind_subtype},
    {"ZHIDDEN", "is_hide", &PhotoAttributes::hidden},
    {"ZPLAYBACKSTYLE", "playbacktype", &PhotoAttributes::playback_style},
    {"ZTRASHEDSTATE", "is_deleted", &PhotoAttributes::trashed},
    {"ZFAVORITE", "favorite", &PhotoAttributes::favorite},
    {"ZDERIVEDCAMERACAPTUREDEVICE", "derivedcamera", &PhotoAttributes::camera_device},
    {"ZAVALANCHEPICKTYPE", "burststype", &PhotoAttributes::burst_pick},
    {"ZSAVEDASSETTYPE", "type", &PhotoAttributes::saved_type},
    {"ZLATITUDE", "latitude", &PhotoAttributes::latitude},
    {"ZLONGITUDE", "longitude", &PhotoAttributes::longitude},
    {"ZDEPTHTYPE", "depthtype", &PhotoAttributes::depth_type},
};
const AssetColumn kOldAttributes[] = {
    {"ZKIND", "kind", &PhotoAttributes::kind},
    {"ZKINDSUBTYPE", "kindsubtype", &PhotoAttributes::kind_subtype},
    {"ZHIDDEN", "is_hide", &PhotoAttributes::hidden},
    {"ZTRASHEDSTATE", "is_deleted", &PhotoAttributes::trashed},
    {"ZFAVORITE", "favorite", &PhotoAttributes::favorite},
    {"ZAVALANCHEPICKTYPE", "burststype", &PhotoAttributes::burst_pick},
    {"ZSAVEDASSETTYPE", "type", &PhotoAttributes::saved_type},
    {"ZLATITUDE", "latitude", &PhotoAttributes::latitude},
    {"ZLONGITUDE", "longitude", &PhotoAttributes::longitude},
};

// The member names of a photo object, prepared once.
struct PhotoNames {
  JsonName group{"Group"}, uuid{"ZUUID"}, uniform_type{"adjusted_pic_type"}, date{"date"},
      duration{"duration"}, file_size{"filesize"}, adjusted{"has_adjustments"}, id{"id"},
      is_video{"is_video"}, mutation_backup{"mutation_backup_path"},
      mutation_device{"mutation_device_path"}, name{"name"}, origin_id{"origin_file_id"},
      origin_path{"origin_file_path"}, original_name{"original_file_name"},
      other_path{"other_file_path"}, path{"path"}, tag{"tag"}, thumb_id{"thumb_file_id"},
      thumb_path{"thumb_file_path"};
};

const PhotoNames& Names() {
  static const PhotoNames names;
  return names;
}

struct PhotoInputs {
  std::string photo_path;
  std::string thumb_config_path;
  PhotoLayout layout;
};

bool ReadInputs(const DataTypeRecord& record, const std::string& photo_path, const char* stem,
                PhotoInputs* inputs) {
  const std::string* thumb_config = record.PrimaryFile(kThumbConfigKey);
  if (thumb_config == nullptr || thumb_config->empty()) {
    KX_LOG_AT(kLogError, stem, "No primary file.");
    return false;
  }
  if (!HasBackupAndTempFolder(record, stem, "No backup folder.")) return false;
  if (!ReadOtherInfoFlag(record, kSubDirKey, &inputs->layout.two_level) ||
      !ReadOtherInfoFlag(record, kPhotoFolderKey, &inputs->layout.photo_folder)) {
    KX_LOG_AT(kLogError, stem, "No required param.");
    return false;
  }
  inputs->photo_path = photo_path;
  inputs->thumb_config_path = *thumb_config;
  inputs->layout.root = record.additional_param;
  return true;
}

// The thumbnail format the phone renders; 0 when the list or key is missing.
int64_t ReadThumbnailFormat(const std::string& path) {
  const CPListDictionary config(path);
  int32_t format = 0;
  return config.GetInteger(kThumbFormatKey, &format) ? format : 0;
}

// Builds the asset query over what this library's tables have.
class AssetQueryBuilder {
 public:
  AssetQueryBuilder(const SQLite3Wrapper& db, bool new_schema)
      : asset_table_(new_schema ? kNewAssetTable : kOldAssetTable),
        asset_(db, asset_table_),
        extra_(db, kExtraTable),
        joined_(extra_.Has("ZASSET")) {}

  std::string Build(const char* stem) {
    std::string sql = "SELECT " + std::string(asset_table_) + ".Z_PK as id";
    for (const AssetColumn& column : kPhotoColumnList) Add(column, &sql);
    sql += "," + DateColumn();
    const bool new_schema = asset_table_ == std::string(kNewAssetTable);
    if (new_schema) {
      for (const AssetColumn& column : kNewAttributes) Add(column, &sql);
    } else {
      for (const AssetColumn& column : kOldAttributes) Add(column, &sql);
    }
    sql += " FROM ";
    sql += asset_table_;
    // Without its table of additional attributes a library still has assets.
    if (joined_) {
      sql += std::string(" LEFT JOIN ") + kExtraTable + " ON " + asset_table_ +
             ".Z_PK = " + kExtraTable + ".ZASSET";
    }
    if (!missing_.empty() && asset_.exists()) {
      KX_LOG_AT(kLogProblem, stem, "%s and %s have no column %s: read as NULL.", asset_table_,
                kExtraTable, missing_.c_str());
    }
    return sql;
  }

 private:
  // The column qualified with the table that has it; "" when none has.
  std::string Qualified(const char* column) const {
    if (asset_.Has(column)) return std::string(asset_table_) + "." + column;
    if (joined_ && extra_.Has(column)) return std::string(kExtraTable) + "." + column;
    return std::string();
  }

  void Add(const AssetColumn& column, std::string* sql) {
    std::string source = Qualified(column.column);
    if (source.empty()) {
      NoteMissing(column.column);
      source = "NULL";
    }
    *sql += "," + source + " as " + column.as;
  }

  // The sort token is the creation date the library orders by; stores that
  // dropped it keep the creation date itself.
  std::string DateColumn() {
    std::string date = Qualified("ZSORTTOKEN");
    if (date.empty()) {
      NoteMissing("ZSORTTOKEN");
      date = Qualified("ZDATECREATED");
    }
    if (date.empty()) return "NULL as date";
    return AppleLocalDateSql(date) + " as date";
  }

  void NoteMissing(const char* column) {
    if (!missing_.empty()) missing_ += ", ";
    missing_ += column;
  }

  const char* asset_table_;
  TableColumns asset_;
  TableColumns extra_;
  bool joined_;  // the extra attributes name their asset
  std::string missing_;
};

// A column's value as an integer: numbers as SQLite converts them, anything
// else 0.
int64_t IntegerOf(const ColumnValue& value) {
  switch (value.kind) {
    case ColumnValue::Kind::kInteger:
      return value.integer;
    case ColumnValue::Kind::kReal:
      return value.real >= -9.2e18 && value.real <= 9.2e18 ? static_cast<int64_t>(value.real) : 0;
    default:
      return 0;
  }
}

// The ten photo columns of the current row as the row-to-JSON conversion
// reads them: NULL and empty text absent, a blob as Base64.
struct PhotoRow {
  ColumnValue values[kPhotoColumns];
  std::string blob_text[kPhotoColumns];
  std::string path_text[2];  // path and name as text

  void Read(const SqliteStatement& row) {
    for (int i = 0; i < kPhotoColumns; ++i) {
      const int type = sqlite3_column_type(row.handle(), i);
      if (type == SQLITE_BLOB) {
        const std::string_view bytes = row.ColumnBlobView(i);
        blob_text[i] = Base64Encode(bytes.data(), bytes.size());
        values[i] = ColumnValue();
        if (!blob_text[i].empty()) {
          values[i].kind = ColumnValue::Kind::kText;
          values[i].text = blob_text[i];
        }
      } else {
        values[i] = ReadColumnValue(row.handle(), i, type);
      }
    }
    path_text[0] = Text(values[kPath]);
    path_text[1] = Text(values[kName]);
  }

  bool HasLocation() const { return values[kPath].present() && values[kName].present(); }
  std::string_view directory() const { return path_text[0]; }
  std::string_view name() const { return path_text[1]; }

 private:
  static std::string Text(const ColumnValue& value) {
    switch (value.kind) {
      case ColumnValue::Kind::kText:
        return std::string(value.text);
      case ColumnValue::Kind::kInteger:
        return std::to_string(value.integer);
      case ColumnValue::Kind::kReal: {
        std::string text;
        AppendJsonDouble(value.real, &text);
        return text;
      }
      default:
        return std::string();
    }
  }
};

// Everything of one photo besides its columns.
struct PhotoExtras {
  PhotoPaths paths;
  EditedPaths edited;
  bool deleted = false;
  PhotoClassification classification;
  std::vector<std::string> album_keys;
};

void WriteMember(const ColumnValue& value, const JsonName& name, JsonBufferWriter* writer) {
  WriteColumnMember(value, name, writer);
}

void WriteText(const std::string& text, const JsonName& name, JsonBufferWriter* writer) {
  if (text.empty()) return;
  writer->Name(name);
  writer->String(text);
}

// The members in the writer's order (byte order of their names).
void WritePhoto(const PhotoRow& row, const PhotoExtras& extras, JsonBufferWriter* writer) {
  const PhotoNames& n = Names();
  const ColumnValue* v = row.values;
  writer->BeginObject();
  std::vector<std::string> groups;
  for (const std::string* key : extras.classification.keys) groups.push_back(*key);
  groups.insert(groups.end(), extras.album_keys.begin(), extras.album_keys.end());
  if (!groups.empty()) {
    writer->Name(n.group);
    writer->StringArray(groups);
  }
  WriteMember(v[kUuid], n.uuid, writer);
  WriteMember(v[kUniformType], n.uniform_type, writer);
  WriteMember(v[kDate], n.date, writer);
  WriteMember(v[kDuration], n.duration, writer);
  WriteMember(v[kFileSize], n.file_size, writer);
  WriteMember(v[kAdjusted], n.adjusted, writer);
  WriteMember(v[kId], n.id, writer);
  if (extras.classification.is_video >= 0) {
    writer->Name(n.is_video);
    writer->Int(extras.classification.is_video);
  }
  WriteText(extras.edited.backup_path, n.mutation_backup, writer);
  WriteText(extras.edited.device_path, n.mutation_device, writer);
  WriteMember(v[kName], n.name, writer);
  WriteText(extras.paths.origin_file_id, n.origin_id, writer);
  WriteText(extras.paths.origin_file_path, n.origin_path, writer);
  WriteMember(v[kOriginalName], n.original_name, writer);
  WriteText(extras.paths.other_file_path, n.other_path, writer);
  WriteMember(v[kPath], n.path, writer);
  if (extras.deleted) {
    writer->Name(n.tag);
    writer->String("deleted");
  }
  WriteText(extras.paths.thumb_file_id, n.thumb_id, writer);
  WriteText(extras.paths.thumb_file_path, n.thumb_path, writer);
  writer->EndObject();
}

// The photo batch files, {"photo_data": [...]}: a file that cannot be
// written fails the package step, not the run.
class PhotoBatches {
 public:
  PhotoBatches(std::string folder, const char* stem)
      : batches_(std::move(folder), "photo_data"), stem_(stem) {
    batches_.Reserve(kPhotosPerBatch * kBatchBytesPerPhoto);
  }

  JsonBufferWriter* Next() { return batches_.Next(); }

  // Writes the open batch as file `number`.
  void Flush(size_t number) { FlushAs(kBatchPrefix + std::to_string(number) + ".json"); }
  void FlushAs(const std::string& file_name) {
    if (batches_.size() == 0) return;
    const BatchFile file = batches_.Write(file_name);
    if (file.written()) {
      paths_.append(file.path);
      return;
    }
    KX_LOG_AT(kLogError, stem_, "Fail to write photo file %s.", file.path.c_str());
    failed_ = true;
  }

  bool failed() const { return failed_; }
  Json::Value& paths() { return paths_; }

 private:
  BatchWriter batches_;
  const char* stem_;
  Json::Value paths_{Json::arrayValue};
  bool failed_ = false;
};

class PhotoReader {
 public:
  PhotoReader(const PhotoInputs& inputs, const UserAlbums& albums, bool new_schema)
      : layout_(inputs.layout), albums_(albums), new_schema_(new_schema) {}

  void Write(const SqliteStatement& statement, PhotoBatches* batches) {
    row_.Read(statement);
    ReadAttributes(statement);
    PhotoExtras extras;
    if (row_.HasLocation()) {
      extras.paths = LocatePhoto(layout_, row_.directory(), row_.name(), attributes_.saved_type);
      // The edited render lies beside the original's directory and name.
      if (attributes_.kind == 0 && IntegerOf(row_.values[kAdjusted]) != 0) {
        extras.edited = LocateEditedPhoto(layout_, row_.directory(), row_.name(),
                                          attributes_.saved_type, row_.values[kUniformType].text);
      }
    }
    extras.deleted = attributes_.trashed == 1;
    ClassifyPhoto(attributes_, &extras.classification);
    albums_.AddKeys(IntegerOf(row_.values[kId]), &extras.album_keys);
    if (HasMembers(row_, extras)) WritePhoto(row_, extras, batches->Next());
  }

  // False for a row of a crafted table that gives a photo no member at all
  // (the layout has no form for an empty object in a list).
  static bool HasMembers(const PhotoRow& row, const PhotoExtras& extras) {
    for (const ColumnValue& value : row.values) {
      if (value.present()) return true;
    }
    return !extras.classification.keys.empty() || extras.classification.is_video >= 0 ||
           extras.deleted || !extras.album_keys.empty();
  }

 private:
  void ReadAttributes(const SqliteStatement& statement) {
    attributes_ = PhotoAttributes();
    int index = kPhotoColumns;
    auto read = [&](const AssetColumn& column) {
      attributes_.*column.attribute = IntegerOf(ReadColumnValue(statement.handle(), index++));
    };
    if (new_schema_) {
      for (const AssetColumn& column : kNewAttributes) read(column);
    } else {
      for (const AssetColumn& column : kOldAttributes) read(column);
    }
  }

  const PhotoLayout& layout_;
  const UserAlbums& albums_;
  bool new_schema_;
  PhotoRow row_;
  PhotoAttributes attributes_;
};

Json::Value GroupManifest(Json::Value albums) {
  for (const FixedGroup& group : FixedGroups()) {
    Json::Value entry(Json::objectValue);
    entry["ID"] = Json::Int64(group.id);
    entry["Title"] = group.title;
    entry["Type"] = Json::Int64(group.type);
    entry["ZUUID"] = group.key;
    albums.append(std::move(entry));
  }
  return albums;
}

// A photo folder's DCIM folder beside its root: loose pictures and videos
// the library may no longer list. Files the library does list are not left
// out: telling them apart would mean holding every path of the library, and
// the host sees which of them it already has. False on a stop.
bool WriteLooseFiles(const PhotoInputs& inputs, const PackageContext& context,
                     PhotoBatches* batches) {
  const std::string& root = inputs.layout.root;
  size_t cut = root.find_last_of(kPathSeparator);
  if (kPathSeparator != '/') cut = root.find_last_of(std::string("/") + kPathSeparator);
  const std::string folder =
      JoinPath(cut == std::string::npos ? root : root.substr(0, cut), kLooseFolder);
  std::vector<std::string> files;
  if (!std::filesystem::is_directory(PathFromUtf8(folder))) return true;
  ListFilesRecursive(folder, &files);
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    if (context.StopRequested()) return false;
    const std::string name = PathToUtf8(PathFromUtf8(file).filename());
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size()) continue;
    const int media = GetMediaType(ToLowerAscii(name.substr(dot)));
    if (media != kMediaImage && media != kMediaVideo) continue;
    JsonBufferWriter* writer = batches->Next();
    writer->BeginObject();
    writer->Name("kind");
    writer->Int(media == kMediaVideo ? 1 : 0);
    writer->Name("other_file_path");
    writer->String(file);
    writer->Name("tag");
    writer->String("deleted");
    writer->EndObject();
  }
  batches->FlushAs(kLooseBatchName);
  return true;
}

bool HasNewSchema(const SQLite3Wrapper& db) {
  SqliteStatement query = PrepareStatement(db, kNewSchemaSql);
  return query.prepared() && query.Step() == SQLITE_ROW;
}

}  // namespace

int IosPhotoDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* photo_path = BeginPackage(*record, context, kPhotoFileKey);
  PhotoInputs inputs;
  if (photo_path == nullptr || photo_path->empty() ||
      !ReadInputs(*record, *photo_path, context.stem, &inputs)) {
    return kStatusMissingInput;
  }
  inputs.layout.thumb_format = ReadThumbnailFormat(inputs.thumb_config_path);
  PackageSource db(inputs.photo_path, context);
  if (db.status() != kStatusOk) return db.status();
  const ReadTransaction transaction(db);
  const bool new_schema = HasNewSchema(db);
  const UserAlbums albums = ReadUserAlbums(db, context.stem);

  SqliteStatement query =
      PrepareStatement(db, AssetQueryBuilder(db, new_schema).Build(context.stem));
  Json::Value document(Json::objectValue);
  document["GroupManifestList"] = GroupManifest(albums.manifest);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return kStatusPrepareFailed;
  }
  PhotoBatches batches(record->temp_folder, context.stem);
  PhotoReader reader(inputs, albums, new_schema);
  size_t count = 0;
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return PackageStopped(context);
    reader.Write(query, &batches);
    ++count;
    if (count % kPhotosPerBatch == 0) batches.Flush(count / kPhotosPerBatch);
  }
  batches.Flush(count / kPhotosPerBatch + 1);
  if (inputs.layout.photo_folder && !WriteLooseFiles(inputs, context, &batches)) {
    return PackageStopped(context);
  }
  document["photo_file_path"] = std::move(batches.paths());
  document["photos_num"] = Json::UInt64(count);
  const int finished = FinishPackage(db, context, WriteJson(document));
  if (finished != kStatusOk) return finished;
  return batches.failed() ? kStatusStepFailed : kStatusOk;
}

}  // namespace kx
