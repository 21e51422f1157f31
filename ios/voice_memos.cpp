#include "ios/voice_memos.h"

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "ios/recording_files.h"
#include "kit/backup_inputs.h"
#include "kit/date_sql.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kLocalFileKey[] = "voice_memos_file_path";
constexpr char kCloudFileKey[] = "voice_memos_cloud_file_path";
constexpr char kPlainFolderKey[] = "is_voice_memos_folder";
constexpr char kMissingInput[] = "No primary file.";

constexpr char kMediaDomain[] = "MediaDomain";
constexpr char kRecordingsFolder[] = "Recordings";
// The stored paths begin with "/var/mobile/", which the backup's domain
// already stands for.
constexpr size_t kPhoneRootLength = 12;

// The date counts from 2001; the sum counts from 1970 and is handed over
// as a number, not formatted.
const SelectedColumn kDateColumn = {KX_APPLE_UNIX_SECONDS_SQL("ZDATE"), "datetime", "ZDATE"};

// Recordings.db of iOS 6 to 11. The stores before iOS 9 have no
// ZUNIQUEID: their recordings come without "unique_id".
const std::vector<SelectedColumn> kLocalColumns = {
    kDateColumn,
    {"ZDURATION", "duration"},
    {"ZCUSTOMLABEL", "label"},
    {"ZPATH", "media_path"},
    {"ZUNIQUEID", "unique_id"},
};

// CloudRecordings.db from iOS 12 on. ZCUSTOMLABELFORSORTING came with the
// folders of iOS 14 and stands in for a label the user never set.
std::vector<SelectedColumn> CloudColumns(const TableColumns& columns) {
  const bool sorting_label = columns.Has("ZCUSTOMLABELFORSORTING");
  return {
      kDateColumn,
      {"ZDURATION", "duration"},
      sorting_label ? SelectedColumn{"(CASE WHEN ZCUSTOMLABEL IS NOT NULL THEN ZCUSTOMLABEL ELSE "
                                     "ZCUSTOMLABELFORSORTING END)",
                                     "label", "ZCUSTOMLABEL"}
                    : SelectedColumn{"ZCUSTOMLABEL", "label"},
      {"ZPATH", "media_path"},
      {"ZUNIQUEID", "unique_id"},
      {"CASE WHEN ZEVICTIONDATE IS NOT NULL THEN 1 ELSE 0 END", "is_deleted", "ZEVICTIONDATE"},
  };
}

struct RecordingStore {
  const char* file_key;
  const char* table;
  bool cloud;
};

constexpr RecordingStore kStores[] = {
    {kLocalFileKey, "ZRECORDING", false},
    {kCloudFileKey, "ZCLOUDRECORDING", true},
};

struct MemoInputs {
  std::string backup_root;
  bool two_level = false;
  bool plain_folder = false;
};

bool ReadInputs(const DataTypeRecord& record, const char* stem, MemoInputs* inputs) {
  const auto named = [&record](const char* key) {
    const std::string* path = record.PrimaryFile(key);
    return path != nullptr && !path->empty();
  };
  const bool present = (named(kLocalFileKey) || named(kCloudFileKey)) &&
                       ReadOtherInfoFlag(record, kSubDirKey, &inputs->two_level) &&
                       ReadOtherInfoFlag(record, kPlainFolderKey, &inputs->plain_folder) &&
                       !record.additional_param.empty();
  if (!present) KX_LOG_AT(kLogError, stem, "%s", kMissingInput);
  inputs->backup_root = record.additional_param;
  return present;
}

// The query over what the store's table has; "" when it has no such table.
std::string RecordingQuery(const SQLite3Wrapper& db, const RecordingStore& store,
                           const char* stem) {
  const TableColumns columns(db, store.table);
  if (!columns.exists()) return std::string();
  std::string missing;
  const std::string list =
      columns.SelectList(store.cloud ? CloudColumns(columns) : kLocalColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", store.table,
              missing.c_str());
  }
  return std::string("SELECT ") + list + " FROM " + store.table;
}

Json::Value MemoItem(const SqliteStatement& row, const MemoInputs& inputs) {
  Json::Value item(Json::objectValue);
  ReadRowIntoJson(row, &item);
  const Json::Value deleted = item.get("is_deleted", 0);
  if (deleted.isIntegral() && deleted.asInt64() != 0) item["tag"] = "deleted";
  const Json::Value media_path = item.get("media_path", Json::Value());
  if (media_path.isString()) {
    const std::string location = VoiceMemoLocation(media_path.asString(), inputs.backup_root,
                                                   inputs.two_level, inputs.plain_folder);
    if (!location.empty()) item["media_backup"] = location;
  }
  return item;
}

// Appends the recordings of one store. Returns 0, the status of a store
// that cannot be read, or -1 on a stop.
int ReadStore(const std::string& path, const RecordingStore& store, const MemoInputs& inputs,
              const PackageContext& context, Json::Value* items) {
  PackageSource db(path, context);
  if (db.status() != kStatusOk) return db.status();
  const ReadTransaction transaction(db);
  const std::string query_text = RecordingQuery(db, store, context.stem);
  SqliteStatement query;
  if (!query_text.empty()) query = PrepareStatement(db, query_text);
  if (!query.prepared()) {
    const std::string words = query_text.empty() ? std::string("no such table: ") + store.table
                                                 : std::string(sqlite3_errmsg(db.handle()));
    KX_LOG(kLogError, "Filename : %s, line : %d, voice memos search fail, error message : %s",
           context.stem, __LINE__, words.c_str());
    return kStatusPrepareFailed;
  }
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return -1;
    items->append(MemoItem(query, inputs));
  }
  return ReportReadDamage(db, context.stem, __LINE__);
}

}  // namespace

std::string VoiceMemoLocation(const std::string& media_path, const std::string& backup_root,
                              bool two_level, bool plain_folder) {
  if (media_path.size() <= kPhoneRootLength) return std::string();
  const std::string relative_path = media_path.substr(kPhoneRootLength);
  if (!plain_folder) {
    return FileInBackup(backup_root, kMediaDomain, relative_path, two_level);
  }
  const size_t recordings = relative_path.find(kRecordingsFolder);
  if (recordings == std::string::npos) return std::string();
  return RecordingInFolder(backup_root,
                           relative_path.substr(recordings + sizeof(kRecordingsFolder) - 1));
}

int IosVoiceMemosDataPackage(DataTypeRecord* record, const PackageContext& context) {
  LogPackageStart(context);
  MemoInputs inputs;
  if (!ReadInputs(*record, context.stem, &inputs)) return kStatusMissingInput;

  int status = kStatusOk;
  Json::Value items(Json::arrayValue);
  for (const RecordingStore& store : kStores) {
    const std::string* path = record->PrimaryFile(store.file_key);
    if (path == nullptr || path->empty()) continue;
    const int read = ReadStore(*path, store, inputs, context, &items);
    if (read < 0) return PackageStopped(context);
    if (status == kStatusOk) status = read;
  }
  Json::Value document(Json::objectValue);
  document["size"] = items.size();
  document["voice_memos_items"] = std::move(items);
  return EndPackage(context, WriteJson(document), status);
}

}  // namespace kx
