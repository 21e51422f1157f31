// The user albums of the photo library and the assets each holds. The
// table that joins albums and assets is named after Core Data entity
// numbers (Z_23ASSETS with Z_23ALBUMS and Z_34ASSETS on one system,
// Z_26ASSETS with Z_26ALBUMS and Z_3ASSETS on a later one), so it is found
// by its name's pattern and its columns are read from the table itself.
#ifndef KX_IOS_PHOTO_ALBUMS_H_
#define KX_IOS_PHOTO_ALBUMS_H_

#include <json/json.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

// A library holds far more memberships than albums: each membership is kept
// as the asset and the index of its album's key, so that a library of
// hundreds of thousands of photos holds each key once.
struct UserAlbums {
  // Album keys (ZUUID), each once.
  std::vector<std::string> keys;
  // (asset Z_PK, index into `keys`), sorted by asset, then in the order the
  // join table gave them.
  std::vector<std::pair<int64_t, uint32_t>> members;
  // {"ID", "Title", "Type": 2, "ZUUID"} per album, in the order of the table.
  Json::Value manifest{Json::arrayValue};

  // Appends the keys of the albums that hold `asset` to `out`.
  void AddKeys(int64_t asset, std::vector<std::string>* out) const;
};

// Reads what the library has. A library without the join table (or with
// one that cannot be read) gives no memberships and one log line under
// `stem`; the albums themselves are still listed when their table is there.
UserAlbums ReadUserAlbums(const SQLite3Wrapper& db, const char* stem);

}  // namespace kx

#endif  // KX_IOS_PHOTO_ALBUMS_H_
