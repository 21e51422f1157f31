#include "pipeline/kx_photo_index.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/json_util.h"
#include "common/platform.h"
#include "pipeline/media_files.h"

namespace kx {

const char kKxPhotoQuery[] = "SELECT * FROM PhotoInfo";
const char kKxAlbumAssetQuery[] = "SELECT * FROM AlbumAsset";
const char kKxAlbumInfoQuery[] = "SELECT * FROM AlbumInfo";

namespace {

constexpr char kPhotosFolder[] = "Photos";
constexpr char kThumbFolder[] = "thumb";

std::string PhotosFolder(const std::string& folder) { return PathUnder(folder, kPhotosFolder); }

// Reads the named columns of every row of `query` into objects of `list`,
// under the member names given; false when `stopped` answered true.
struct NamedColumn {
  const char* column;
  const char* member;
  bool integer;
};

bool ReadRows(const SQLite3Wrapper& db, const char* query, const char* table,
              std::initializer_list<NamedColumn> columns, const std::function<bool()>& stopped,
              Json::Value* list, std::string* missing) {
  *list = EmptyJsonArray();
  SqliteStatement statement;
  if (statement.Prepare(db, query) != SQLITE_OK) {
    if (!missing->empty()) *missing += ", ";
    *missing += table;
    return true;
  }
  std::vector<int> indexes;
  for (const NamedColumn& column : columns)
    indexes.push_back(ColumnIndex(statement, column.column));
  while (statement.Step() == SQLITE_ROW) {
    Json::Value object(Json::objectValue);
    size_t at = 0;
    for (const NamedColumn& column : columns) {
      if (stopped()) return false;
      const int index = indexes[at++];
      if (column.integer) {
        object[column.member] = index < 0 ? 0 : statement.ColumnInt(index);
      } else {
        object[column.member] = index < 0 ? std::string() : statement.ColumnText(index);
      }
    }
    list->append(std::move(object));
  }
  return true;
}

}  // namespace

bool KxPhotoPath(const std::string& folder, const std::string& file_name, std::string* path) {
  std::string relative;
  if (!SafeRelativePath(file_name, &relative)) return false;
  *path = PathUnder(PhotosFolder(folder), relative);
  return true;
}

bool KxPhotoThumbPath(const std::string& folder, const std::string& file_name, std::string* path) {
  std::string relative;
  if (!SafeRelativePath(file_name, &relative)) return false;
  *path = PathUnder(PathUnder(PhotosFolder(folder), kThumbFolder), relative + ".jpg");
  return true;
}

int ParseDecimalInt(const std::string& text) {
  if (text.empty()) return 0;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return 0;
  if (value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int>(value);
}

double ParseDecimalNumber(const std::string& text) {
  if (text.empty()) return 0.0;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  // Infinities and NaN are no numbers a photo has (and NaN orders nothing).
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value)) return 0.0;
  return value;
}

int ColumnIndex(const SqliteStatement& statement, const char* name) {
  const int count = statement.ColumnCount();
  for (int index = 0; index < count; ++index) {
    if (statement.ColumnName(index) == name) return index;
  }
  return -1;
}

bool ReadKxPhotoAlbums(const SQLite3Wrapper& db, const std::function<bool()>& stopped,
                       Json::Value* assets, Json::Value* albums, std::string* missing) {
  return ReadRows(db, kKxAlbumAssetQuery, "AlbumAsset",
                  {{"AlbumUUID", "AlbumUUID", false}, {"PhotoID", "PhotoID", false}}, stopped,
                  assets, missing) &&
         ReadRows(db, kKxAlbumInfoQuery, "AlbumInfo",
                  {{"ID", "id", true},
                   {"Title", "title", false},
                   {"Type", "type", true},
                   {"UUID", "uuid", false}},
                  stopped, albums, missing);
}

}  // namespace kx
