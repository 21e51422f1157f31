#include "ios/safari_bookmarks.h"

#include <unordered_set>

#include "common/field_config.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "safari_file_path";
constexpr char kSecondFilesKey[] = "safari_files_path";
constexpr char kBookmarkTable[] = "bookmarks";

// A store that never went through the merge has no is_deleted: it reads as
// NULL, so nothing is tagged.
const std::vector<SelectedColumn> kBookmarkColumns = {
    {"url", "Url"},      {"type", nullptr},       {"title", "utf_Title"},
    {"parent", nullptr}, {"is_deleted", nullptr},
};

// False on a stop.
bool ReadFolders(const SQLite3Wrapper& db, const PackageContext& context,
                 BookmarkFolders* folders) {
  SqliteStatement query =
      PrepareStatement(db, "select id,parent,title from bookmarks where type=1");
  while (query.Step() == SQLITE_ROW) {
    BookmarkFolder& folder = (*folders)[query.ColumnInt64(0)];
    folder.parent = query.ColumnType(1) == SQLITE_INTEGER ? query.ColumnInt64(1) : 0;
    folder.title = query.ColumnText(2);
    if (context.StopRequested()) return false;
  }
  return true;
}

Json::Value BookmarkObject(const SqliteStatement& row, const BookmarkFolders& folders) {
  Json::Value bookmark(Json::objectValue);
  for (int column = 0; column < 3; ++column) ReadColumnIntoJson(row, column, &bookmark);
  if (row.ColumnInt64(4) != 0) bookmark["tag"] = "deleted";
  if (row.ColumnType(3) != SQLITE_INTEGER) return bookmark;
  const std::vector<std::string> chain = FolderChain(folders, row.ColumnInt64(3));
  if (chain.empty()) return bookmark;
  Json::Value& titles = bookmark["folders"] = Json::Value(Json::arrayValue);
  for (const std::string& title : chain) titles.append(title);
  bookmark["folder"] = chain.front();
  return bookmark;
}

}  // namespace

std::vector<std::string> FolderChain(const BookmarkFolders& folders, int64_t parent) {
  std::vector<std::string> chain;
  std::unordered_set<int64_t> seen;
  for (auto found = folders.find(parent); found != folders.end() && seen.insert(parent).second;
       found = folders.find(parent)) {
    chain.push_back(found->second.title);
    parent = found->second.parent;
  }
  return chain;
}

int IosSafariDataFilter(DataTypeRecord* record, SqliteConfig* config,
                        const PackageContext& context) {
  MergeRule rule = {kPrimaryFileKey, kSecondFilesKey, "No primary file.", "No second files.",
                    false,           kSystemIos,      kConfigSafari,      true};
  rule.by_key = true;
  return RunMergeFilter(rule, record, config, context);
}

int IosSafariDataPackage(DataTypeRecord* record, const PackageContext& context) {
  PackageSource db(*record, context, kPrimaryFileKey);
  if (db.status() != kStatusOk) return db.status();
  const TableColumns columns(db, kBookmarkTable);
  if (!columns.exists()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kBookmarkTable);
    return kStatusPrepareFailed;
  }
  std::string missing;
  const std::string list = columns.SelectList(kBookmarkColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column %s: read as NULL.", kBookmarkTable,
              missing.c_str());
  }
  Json::Value bookmarks(Json::arrayValue);
  {
    const ReadTransaction transaction(db);
    BookmarkFolders folders;
    if (!ReadFolders(db, context, &folders)) return PackageStopped(context);
    SqliteStatement query = PrepareStatement(db, "select " + list + " from bookmarks ");
    while (query.Step() == SQLITE_ROW) {
      Json::Value bookmark = BookmarkObject(query, folders);
      if (!bookmark.empty()) bookmarks.append(std::move(bookmark));
      if (context.StopRequested()) return PackageStopped(context);
    }
  }
  return FinishPackage(db, context, WriteJson(bookmarks));
}

}  // namespace kx
