#include "ioschat/kik.h"

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/status.h"
#include "ioschat/kik_media.h"
#include "ioschat/kik_messages.h"
#include "ioschat/kik_queries.h"
#include "kit/backup_inputs.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kStoreKey[] = "kik_file_path";
constexpr char kManifestKey[] = "manifest_file_path";
constexpr char kAccountKey[] = "kik_account_id";
constexpr char kMissingInput[] = "No primary file or second files.";

// Kik gives every group chat a jid in this domain ("<id>_g@groups.kik.com");
// people have jids in "talk.kik.com".
constexpr char kGroupJidSuffix[] = "@groups.kik.com";

struct KikInputs {
  std::string store;
  std::string manifest;
  KikBackup backup;
};

bool ReadInputs(const DataTypeRecord& record, const PackageContext& context, KikInputs* inputs) {
  const std::string* store = BeginPackage(record, context, kStoreKey, kMissingInput);
  if (store == nullptr) return false;
  const std::string* manifest = record.PrimaryFile(kManifestKey);
  const auto account = record.other_info.find(kAccountKey);
  if (manifest == nullptr || account == record.other_info.end() ||
      !ReadOtherInfoFlag(record, kSubDirKey, &inputs->backup.two_level)) {
    KX_LOG_AT(kLogError, context.stem, "%s", kMissingInput);
    return false;
  }
  if (!HasBackupAndTempFolder(record, context.stem)) return false;
  inputs->store = *store;
  inputs->manifest = *manifest;
  inputs->backup.account_id = account->second;
  inputs->backup.backup_root = record.additional_param;
  inputs->backup.temp_folder = record.temp_folder;
  return true;
}

struct SessionWalk {
  const SQLite3Wrapper* db;
  const PackageContext* context;
  const KikInputs* inputs;
  const KikQueries* queries;
  PackageFileWriter* files;
  // Prepared on first use and reset for each further session: a store may
  // hold many thousands of chats.
  SqliteStatement* members;
  SqliteStatement* chat_messages;
};

// `statement` prepared with `sql` (the first time) or reset; null, logged,
// when it does not prepare.
SqliteStatement* Reused(const SessionWalk& walk, const std::string& sql,
                        SqliteStatement* statement) {
  if (statement->prepared()) {
    statement->Reset();
    return statement;
  }
  *statement = PrepareStatement(*walk.db, sql);
  if (statement->prepared()) return statement;
  KX_LOG_SQLITE_ERROR(walk.context->stem, walk.db->handle());
  return nullptr;
}

// Members of the group whose own user row is the session's ZUSER; false
// on a prepare failure.
bool ReadMembers(const SessionWalk& walk, const SqliteStatement& session, Json::Value* members) {
  SqliteStatement* const statement = Reused(walk, walk.queries->members, walk.members);
  if (statement == nullptr) return false;
  SqliteStatement& query = *statement;
  // ZUSER is bound as the store holds it, so the comparison is the one the
  // column's own type gives.
  sqlite3_bind_value(query.handle(), 1, sqlite3_column_value(session.handle(), 3));
  *members = Json::Value(Json::arrayValue);
  while (query.Step() == SQLITE_ROW) {
    Json::Value member(Json::objectValue);
    member["member_name"] = query.ColumnText(0);
    members->append(std::move(member));
  }
  return true;
}

// The messages of one chat into batch files; false on a prepare failure.
bool WriteChatMessages(const SessionWalk& walk, const SqliteStatement& session,
                       Json::Value* file_list) {
  SqliteStatement* const statement = Reused(walk, walk.queries->chat_messages, walk.chat_messages);
  if (statement == nullptr) return false;
  SqliteStatement& query = *statement;
  sqlite3_bind_value(query.handle(), 1, sqlite3_column_value(session.handle(), 0));
  KikChatBatches batches(walk.files, session.ColumnText(0), file_list);
  while (query.Step() == SQLITE_ROW) {
    batches.Add(query, walk.inputs->backup);
  }
  batches.Finish();
  return true;
}

enum class SessionResult { kAppended, kFailed, kStopped };

SessionResult ReadSession(const SessionWalk& walk, const SqliteStatement& row,
                          Json::Value* sessions) {
  Json::Value session(Json::objectValue);
  for (int column = 0; column < row.ColumnCount(); ++column) {
    if (walk.context->StopRequested()) return SessionResult::kStopped;
    session[row.ColumnName(column)] = row.ColumnText(column);
  }
  const KikBackup& backup = walk.inputs->backup;
  const std::string session_id = session["session_id"].asString();
  const std::string thumb = KikRelativePath(backup.account_id, "profpix/thumb_" + session_id);
  const bool group = IsKikGroupJid(session_id);
  session["is_group"] = group ? "1" : "0";
  if (group && !walk.queries->members.empty()) {
    if (!ReadMembers(walk, row, &session["members"])) return SessionResult::kFailed;
  }
  Json::Value files(Json::arrayValue);
  if (!walk.queries->chat_messages.empty()) {
    if (!WriteChatMessages(walk, row, &files)) return SessionResult::kFailed;
  }
  if (!files.empty()) session["msg_file_list"] = std::move(files);
  session["thumb_path"] = thumb;
  session["thumb_file"] = FileInBackup(backup.backup_root, kKikDomain, thumb, backup.two_level);
  sessions->append(std::move(session));
  return SessionResult::kAppended;
}

// The messages of no chat, one session per sender. Returns 0 or 1106.
int ReadDeletedMessages(const SessionWalk& walk, Json::Value* sessions) {
  if (walk.queries->deleted_messages.empty()) return kStatusOk;
  SqliteStatement query = PrepareStatement(*walk.db, walk.queries->deleted_messages);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(walk.context->stem, walk.db->handle());
    return kStatusPrepareFailed;
  }
  KikDeletedSessions senders(walk.files);
  while (query.Step() == SQLITE_ROW) {
    Json::Value message = KikMessageObject(query, walk.inputs->backup, true);
    const std::string sender = message["ZUSER"].asString();
    const std::string from_id = message["from_id"].asString();
    senders.Add(sender, from_id, std::move(message));
  }
  senders.Finish(sessions);
  return kStatusOk;
}

Json::Value ReadMedia(const KikInputs& inputs, const PackageContext& context,
                      PackageFileWriter* files) {
  PackageSource manifest(inputs.manifest, context, SourceFailure::kProblem);
  if (manifest.status() != kStatusOk) return Json::Value();
  return ReadKikMedia(manifest, inputs.backup, files);
}

}  // namespace

bool IsKikGroupJid(const std::string& jid) {
  return jid.find(kGroupJidSuffix) != std::string::npos;
}

int IosKikDataPackage(DataTypeRecord* record, const PackageContext& context) {
  KikInputs inputs;
  if (!ReadInputs(*record, context, &inputs)) return kStatusMissingInput;
  PackageSource db(inputs.store, context);
  if (db.status() != kStatusOk) return db.status();
  const ReadTransaction transaction(db);
  std::string missing;
  const KikQueries queries = BuildKikQueries(db, &missing);
  SqliteStatement sessions_query = PrepareStatement(db, queries.sessions);
  if (!sessions_query.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return kStatusPrepareFailed;
  }
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "the store has no %s: read as NULL or left out.",
              missing.c_str());
  }
  PackageFileWriter files(inputs.backup.temp_folder);
  SqliteStatement members;
  SqliteStatement chat_messages;
  const SessionWalk walk{&db, &context, &inputs, &queries, &files, &members, &chat_messages};
  Json::Value sessions;  // null until the first
  while (sessions_query.Step() == SQLITE_ROW) {
    const SessionResult read = ReadSession(walk, sessions_query, &sessions);
    if (read == SessionResult::kStopped) return PackageStopped(context);
    if (read == SessionResult::kFailed) break;
  }
  const int result = ReadDeletedMessages(walk, &sessions);
  Json::Value account(Json::objectValue);
  account["account_id"] = inputs.backup.account_id;
  account["kik_chat_sessions"] = std::move(sessions);
  account["media_file_info"] = ReadMedia(inputs, context, &files);
  Json::Value document(Json::objectValue);
  document["kik_accounts"].append(std::move(account));
  document["size"] = 1;
  const int finished = FinishPackage(db, context, WriteJson(document));
  return result != kStatusOk ? result : finished;
}

}  // namespace kx
