#include "ios/photo_albums.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "common/log.h"
#include "common/result_row.h"

namespace kx {

namespace {

constexpr char kJoinTableSql[] =
    "SELECT tbl_name FROM sqlite_master WHERE type = 'table' AND name like 'Z_%ASSETS' AND "
    "length(name) <= 10;";
// The name is bound rather than spliced in.
constexpr char kColumnNamesSql[] = "select name from pragma_table_info(?)";
constexpr char kAlbumListSql[] =
    "select Z_PK,ZTITLE,ZUUID from ZGENERICALBUM where ZTITLE is not null and ZKIND = 2;";
constexpr int kUserAlbumType = 2;

// A name from the schema as an SQL identifier: quoted, so that whatever a
// crafted schema names its table stays one name.
std::string Identifier(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::string FirstText(const SQLite3Wrapper& db, const char* sql, const char* stem) {
  SqliteStatement query = PrepareStatement(db, sql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(stem, db.handle());
    return std::string();
  }
  return query.Step() == SQLITE_ROW ? query.ColumnText(0) : std::string();
}

std::vector<std::string> ColumnNames(const SQLite3Wrapper& db, const std::string& table) {
  std::vector<std::string> names;
  SqliteStatement query = PrepareStatement(db, kColumnNamesSql);
  if (!query.prepared() || query.BindText(1, table) != SQLITE_OK) return names;
  while (query.Step() == SQLITE_ROW) names.push_back(query.ColumnText(0));
  return names;
}

// The membership query over the join table, "" when the library has none
// that can be read.
std::string MembershipQuery(const SQLite3Wrapper& db, const char* stem) {
  const std::string table = FirstText(db, kJoinTableSql, stem);
  if (table.empty()) {
    KX_LOG_AT(kLogProblem, stem, "No table of album members: albums are left empty.");
    return std::string();
  }
  const std::vector<std::string> columns = ColumnNames(db, table);
  if (columns.size() < 2) {
    KX_LOG_AT(kLogProblem, stem, "Table %s has no album and asset columns: albums are left empty.",
              table.c_str());
    return std::string();
  }
  const std::string album = Identifier(columns[0]);
  const std::string asset = Identifier(columns[1]);
  return "SELECT ASSETITEM." + asset +
         ",ALBUMITEMS.ZTITLE,ALBUMITEMS.ZUUID from ZGENERICALBUM as ALBUMITEMS join " +
         Identifier(table) + " as ASSETITEM ON ALBUMITEMS.Z_PK = ASSETITEM." + album +
         " where  ALBUMITEMS.ZTITLE is not null and ALBUMITEMS.ZKIND = 2;";
}

void ReadMemberships(const SQLite3Wrapper& db, const char* stem, UserAlbums* albums) {
  const std::string sql = MembershipQuery(db, stem);
  if (sql.empty()) return;
  SqliteStatement query = PrepareStatement(db, sql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(stem, db.handle());
    return;
  }
  std::unordered_map<std::string, uint32_t> key_index;
  while (query.Step() == SQLITE_ROW) {
    // An album without a key names no group a photo could point to.
    const ColumnValue key = ReadColumnValue(query.handle(), 2);
    if (key.kind != ColumnValue::Kind::kText) continue;
    const auto [found, added] =
        key_index.emplace(std::string(key.text), static_cast<uint32_t>(albums->keys.size()));
    if (added) albums->keys.push_back(found->first);
    albums->members.emplace_back(query.ColumnInt64(0), found->second);
  }
  std::stable_sort(albums->members.begin(), albums->members.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

void ReadAlbumList(const SQLite3Wrapper& db, const char* stem, UserAlbums* albums) {
  SqliteStatement query = PrepareStatement(db, kAlbumListSql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(stem, db.handle());
    return;
  }
  while (query.Step() == SQLITE_ROW) {
    Json::Value entry(Json::objectValue);
    entry["ID"] = Json::Int64(query.ColumnInt64(0));
    SetColumnMember(ReadColumnValue(query.handle(), 1), "Title", &entry);
    entry["Type"] = kUserAlbumType;
    SetColumnMember(ReadColumnValue(query.handle(), 2), "ZUUID", &entry);
    albums->manifest.append(std::move(entry));
  }
}

}  // namespace

void UserAlbums::AddKeys(int64_t asset, std::vector<std::string>* out) const {
  auto member = std::lower_bound(
      members.begin(), members.end(), asset,
      [](const std::pair<int64_t, uint32_t>& entry, int64_t id) { return entry.first < id; });
  for (; member != members.end() && member->first == asset; ++member) {
    out->push_back(keys[member->second]);
  }
}

UserAlbums ReadUserAlbums(const SQLite3Wrapper& db, const char* stem) {
  UserAlbums albums;
  ReadMemberships(db, stem, &albums);
  ReadAlbumList(db, stem, &albums);
  return albums;
}

}  // namespace kx
