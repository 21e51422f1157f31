// The photo index database both Kx photo packagers read (the staged one of
// data type 28 and its package function): its tables PhotoInfo, AlbumAsset
// and AlbumInfo, the paths of its photos under the "Photos" folder, and the
// album lists of the result document, which both give alike.
#ifndef KX_PIPELINE_KX_PHOTO_INDEX_H_
#define KX_PIPELINE_KX_PHOTO_INDEX_H_

#include <json/json.h>

#include <functional>
#include <string>

#include "common/sqlite_wrapper.h"

namespace kx {

extern const char kKxPhotoQuery[];       // "SELECT * FROM PhotoInfo"
extern const char kKxAlbumAssetQuery[];  // "SELECT * FROM AlbumAsset"
extern const char kKxAlbumInfoQuery[];   // "SELECT * FROM AlbumInfo"

// The full path of a photo: folder + separator + "Photos" + separator + the
// file name with its separators made native; false (nothing set) when the
// name is empty or could lead out of the Photos folder.
bool KxPhotoPath(const std::string& folder, const std::string& file_name, std::string* path);
// folder + separator + "Photos" + separator + "thumb" + separator + the
// file name + ".jpg", under the same rule.
bool KxPhotoThumbPath(const std::string& folder, const std::string& file_name, std::string* path);

// Text read as a decimal integer or number; text that is not one whole
// number (empty, "12abc") reads as 0.
int ParseDecimalInt(const std::string& text);
double ParseDecimalNumber(const std::string& text);

// The index of the column named `name` in the statement's result, or -1.
int ColumnIndex(const SqliteStatement& statement, const char* name);

// Reads AlbumAsset into `assets` ({"AlbumUUID", "PhotoID"} per row) and
// AlbumInfo into `albums` ({"id", "title", "type", "uuid"}). `stopped` is
// asked before each column; a true answer ends the reading with false. A
// table the database lacks gives an empty list and a line in `missing`.
bool ReadKxPhotoAlbums(const SQLite3Wrapper& db, const std::function<bool()>& stopped,
                       Json::Value* assets, Json::Value* albums, std::string* missing);

}  // namespace kx

#endif  // KX_PIPELINE_KX_PHOTO_INDEX_H_
