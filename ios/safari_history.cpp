#include "ios/safari_history.h"

#include <cstdint>
#include <unordered_map>

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

constexpr char kPrimaryFileKey[] = "safariHis_file_path";
constexpr char kSecondFilesKey[] = "safariHis_files_path";
constexpr char kItemTable[] = "history_items";
constexpr char kRunTogetherMark = '\xE8';
constexpr int kHistoryType = 2;

const std::vector<SelectedColumn> kItemColumns = {
    {"url", "Url"},
    {"domain_expansion", "domain"},
    {"id", nullptr},
    {"is_deleted", nullptr},
};

using Titles = std::unordered_map<int64_t, std::string>;

// False on a stop. A store without visits leaves every item untitled.
bool ReadTitles(const SQLite3Wrapper& db, const PackageContext& context, Titles* titles) {
  SqliteStatement query = PrepareStatement(
      db, "select history_item,title from history_visits where title is not null and title!=\"\"");
  if (!query.prepared()) {
    KX_LOG_AT(kLogProblem, context.stem, "No visit titles: %s.", db.ErrorMessage().c_str());
    return true;
  }
  while (query.Step() == SQLITE_ROW) {
    (*titles)[query.ColumnInt64(0)] = query.ColumnText(1);
    if (context.StopRequested()) return false;
  }
  return true;
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Appends the item, or the copies a deleted item's run-together URL stands
// for.
void AppendItem(Json::Value item, bool deleted, Json::Value* items) {
  static constexpr char kUrl[] = "Url";
  const Json::Value* url = item.find(kUrl, kUrl + sizeof(kUrl) - 1);
  if (!deleted || url == nullptr || !url->isString() ||
      url->asString().find(kRunTogetherMark) == std::string::npos) {
    if (item.isMember("Url") || item.isMember("title")) items->append(std::move(item));
    return;
  }
  const bool titled = item.isMember("title");
  for (const std::string& one : SplitDeletedUrl(url->asString())) {
    if (one.empty() && !titled) continue;
    Json::Value copy = item;
    copy["Url"] = one;
    items->append(std::move(copy));
  }
}

}  // namespace

std::vector<std::string> SplitDeletedUrl(const std::string& url) {
  std::string cleaned;
  for (const char c : url) {
    if (c != kRunTogetherMark) cleaned += c;
  }
  if (IsBlank(cleaned)) return {std::string()};
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t found = cleaned.find("http"); found != std::string::npos;
       found = cleaned.find("http", start)) {
    pieces.push_back(cleaned.substr(start, found - start));
    start = found + 4;
  }
  pieces.push_back(cleaned.substr(start));
  if (pieces.size() < 2) return {cleaned};
  std::vector<std::string> urls;
  for (const std::string& piece : pieces) {
    if (!piece.empty() && piece != "s") urls.push_back("http" + piece);
  }
  return urls;
}

int IosSafariHisDataFilter(DataTypeRecord* record, SqliteConfig* config,
                           const PackageContext& context) {
  static const MergeRule kMergeRule = {
      kPrimaryFileKey, kSecondFilesKey, "No primary file.", "No primary file.",
      false,           kSystemIos,      kConfigSafariHis,   true};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosSafariHisDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* primary_path = BeginPackage(*record, context, kPrimaryFileKey);
  if (primary_path == nullptr) return kStatusMissingInput;
  SQLite3Wrapper db(*primary_path);
  const int opened = OpenSourceDatabase(&db, context.stem, __LINE__);
  if (opened != kStatusOk) return opened;
  const TableColumns columns(db, kItemTable);
  if (!columns.exists()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.", kItemTable);
    return kStatusPrepareFailed;
  }
  std::string missing;
  const std::string list = columns.SelectList(kItemColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column %s: read as NULL.", kItemTable,
              missing.c_str());
  }
  Json::Value items(Json::arrayValue);
  {
    const ReadTransaction transaction(db);
    Titles titles;
    if (!ReadTitles(db, context, &titles)) return PackageStopped(context);
    SqliteStatement query = PrepareStatement(db, "select " + list + " from history_items");
    while (query.Step() == SQLITE_ROW) {
      Json::Value item(Json::objectValue);
      ReadColumnIntoJson(query, 0, &item);
      ReadColumnIntoJson(query, 1, &item);
      const bool deleted = query.ColumnInt64(3) != 0;
      if (deleted) item["tag"] = "deleted";
      item["type"] = kHistoryType;
      const auto title = titles.find(query.ColumnInt64(2));
      if (title != titles.end()) item["title"] = title->second;
      AppendItem(std::move(item), deleted, &items);
      if (context.StopRequested()) return PackageStopped(context);
    }
  }
  return FinishPackage(db, context, WriteJson(items));
}

}  // namespace kx
