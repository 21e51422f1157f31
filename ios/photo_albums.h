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
#include <unordered_map>
#include <vector>

#include "common/sqlite_wrapper.h"

namespace kx {

struct UserAlbums {
  // Album keys (ZUUID) of the albums that hold each asset, by asset Z_PK.
  std::unordered_map<int64_t, std::vector<std::string>> keys_by_asset;
  // {"ID", "Title", "Type": 2, "ZUUID"} per album, in the order of the table.
  Json::Value manifest{Json::arrayValue};
};

// Reads what the library has. A library without the join table (or with
// one that cannot be read) gives no memberships and one log line under
// `stem`; the albums themselves are still listed when their table is there.
UserAlbums ReadUserAlbums(const SQLite3Wrapper& db, const char* stem);

}  // namespace kx

#endif  // KX_IOS_PHOTO_ALBUMS_H_
