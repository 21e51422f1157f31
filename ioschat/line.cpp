#include "ioschat/line.h"

#include <memory>
#include <string>

#include "common/backup_files.h"
#include "common/log.h"
#include "common/select_list.h"
#include "common/status.h"
#include "ioschat/core_data_store.h"
#include "ioschat/line_messages.h"
#include "ioschat/line_store.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kStoreKey[] = "line_file_path";
constexpr char kManifestKey[] = "manifest_file_path";
constexpr char kAccountKey[] = "line_account_id";
constexpr char kApp[] = "line";
// Messages of chats the store no longer has are gathered per former chat
// under this prefix and the chat's former key.
constexpr char kOrphanPrefix[] = "deleted:";

constexpr int64_t kRoomChat = 1;
constexpr int64_t kGroupChat = 2;
// The user type of an official (business) account.
constexpr int64_t kOfficialUser = 2;

struct LineInputs {
  std::string store;
  std::string manifest;
  std::string account_id;
  std::string backup_root;
  std::string temp_folder;
};

bool ReadInputs(const DataTypeRecord& record, const PackageContext& context, LineInputs* inputs) {
  const std::string* store = BeginPackage(record, context, kStoreKey);
  if (store == nullptr) return false;
  const std::string* manifest = record.PrimaryFile(kManifestKey);
  const auto account = record.other_info.find(kAccountKey);
  if (manifest == nullptr || manifest->empty() || account == record.other_info.end() ||
      record.additional_param.empty() || record.temp_folder.empty()) {
    KX_LOG_AT(kLogError, context.stem, "No primary file.");
    return false;
  }
  *inputs = {*store, *manifest, account->second, record.additional_param, record.temp_folder};
  return true;
}

struct Walk {
  const PackageContext* context;
  const LineInputs* inputs;
  BackupCatalogue* catalogue;  // null when Manifest.db cannot be read
  ChatPackage* package;
  SqliteStatement* members;  // not prepared: the store has no join table
  SqliteStatement* messages;
  SessionIds* ids;
};

std::vector<ChatMember> ReadMembers(const Walk& walk, const SqliteStatement& chat) {
  std::vector<ChatMember> members;
  if (!walk.members->prepared()) return members;
  SqliteStatement& query = *walk.members;
  query.Reset();
  sqlite3_bind_value(query.handle(), 1, sqlite3_column_value(chat.handle(), kLineChatKey));
  while (query.Step() == SQLITE_ROW) {
    members.push_back(
        {query.ColumnText(kLineMemberMid),
         LineShownName(query.ColumnText(kLineMemberCustom), query.ColumnText(kLineMemberName))});
  }
  return members;
}

ChatSession SessionOf(const Walk& walk, const SqliteStatement& chat) {
  ChatSession session;
  session.session_id = chat.ColumnText(kLineChatMid);
  if (session.session_id.empty()) session.session_id = chat.ColumnText(kLineChatKey);
  session.kind = LineSessionKind(chat.ColumnInt64(kLineChatType), chat.ColumnInt64(kLinePeerType));
  const std::string peer =
      LineShownName(chat.ColumnText(kLinePeerCustom), chat.ColumnText(kLinePeerName));
  session.name = session.kind == ChatSessionKind::kGroup ? chat.ColumnText(kLineGroupName) : peer;
  session.members = ReadMembers(walk, chat);
  // A one-to-one chat is with the user of its own mid.
  if (session.members.empty() && session.kind != ChatSessionKind::kGroup &&
      !chat.ColumnText(kLineChatMid).empty()) {
    session.members.push_back({chat.ColumnText(kLineChatMid), peer});
  }
  return session;
}

// False when a stop was seen.
bool AddMessages(const Walk& walk, SqliteStatement* query,
                 const LineMessageContext& message_context, ChatMessage* message) {
  while (query->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    ReadLineMessage(*query, message_context, message);
    walk.package->AddMessage(*message);
  }
  return true;
}

// False when a stop was seen.
bool ReadChats(const Walk& walk, SqliteStatement* chats) {
  ChatMessage message;
  while (chats->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    ChatSession session = SessionOf(walk, *chats);
    session.session_id = walk.ids->Unique(session.session_id, chats->ColumnText(kLineChatKey));
    walk.package->BeginSession(session);
    SqliteStatement& query = *walk.messages;
    query.Reset();
    sqlite3_bind_value(query.handle(), 1, sqlite3_column_value(chats->handle(), kLineChatKey));
    const LineMessageContext message_context{walk.inputs->account_id, walk.inputs->backup_root,
                                             chats->ColumnText(kLineChatMid), walk.catalogue,
                                             false};
    if (!AddMessages(walk, &query, message_context, &message)) return false;
  }
  return true;
}

// Messages whose chat the store no longer has, one deleted session per
// former chat. False when a stop was seen.
bool ReadOrphans(const Walk& walk, SqliteStatement* orphans) {
  ChatMessage message;
  const LineMessageContext message_context{walk.inputs->account_id, walk.inputs->backup_root, "",
                                           walk.catalogue, true};
  bool open = false;
  std::string chat;
  while (orphans->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    const std::string former = orphans->ColumnText(kLineMessageChat);
    if (!open || former != chat) {
      ChatSession session;
      session.session_id = walk.ids->Unique(kOrphanPrefix + former, former);
      session.deleted = true;
      walk.package->BeginSession(session);
      open = true;
      chat = former;
    }
    ReadLineMessage(*orphans, message_context, &message);
    walk.package->AddMessage(message);
  }
  return true;
}

std::string OwnerName(const SQLite3Wrapper& db, const std::string& sql,
                      const std::string& account_id) {
  if (sql.empty()) return std::string();
  SqliteStatement query = PrepareStatement(db, sql);
  query.BindText(1, account_id);
  if (query.Step() != SQLITE_ROW) return std::string();
  return LineShownName(query.ColumnText(1), query.ColumnText(0));
}

std::unique_ptr<BackupCatalogue> OpenCatalogue(const std::string& manifest, const char* stem) {
  auto catalogue = std::make_unique<BackupCatalogue>(manifest);
  if (catalogue->Open(stem) != kStatusOk) return nullptr;
  return catalogue;
}

SqliteStatement Prepared(const SQLite3Wrapper& db, const std::string& sql, const char* stem) {
  SqliteStatement statement = PrepareStatement(db, sql);
  if (!statement.prepared()) KX_LOG_SQLITE_ERROR(stem, db.handle());
  return statement;
}

}  // namespace

ChatSessionKind LineSessionKind(int64_t chat_type, int64_t peer_type) {
  if (chat_type == kRoomChat || chat_type == kGroupChat) return ChatSessionKind::kGroup;
  return peer_type == kOfficialUser ? ChatSessionKind::kOfficial : ChatSessionKind::kSingle;
}

int IosLineDataPackage(DataTypeRecord* record, const PackageContext& context) {
  LineInputs inputs;
  if (!ReadInputs(*record, context, &inputs)) return kStatusMissingInput;
  PackageSource db(inputs.store, context);
  if (db.status() != kStatusOk) return db.status();
  // Each chat's messages are looked up by chat; a store without the index
  // Core Data normally keeps gets one on its staged copy.
  std::string ignored;
  EnsureLeadingIndex(&db, "ZMESSAGE", "ZCHAT", &ignored);
  const ReadTransaction transaction(db);
  std::string missing;
  const LineQueries queries = BuildLineQueries(db, &missing);
  SqliteStatement chats = Prepared(db, queries.sessions, context.stem);
  if (!chats.prepared()) return kStatusPrepareFailed;
  SqliteStatement messages = Prepared(db, queries.chat_messages, context.stem);
  if (!messages.prepared()) return kStatusPrepareFailed;
  SqliteStatement orphans = Prepared(db, queries.orphans, context.stem);
  if (!orphans.prepared()) return kStatusPrepareFailed;
  SqliteStatement members;
  if (!queries.members.empty()) members = Prepared(db, queries.members, context.stem);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "the store has no %s: read as NULL or left out.",
              missing.c_str());
  }
  const std::unique_ptr<BackupCatalogue> catalogue = OpenCatalogue(inputs.manifest, context.stem);
  ChatPackage package(kApp, inputs.temp_folder);
  package.SetAccount(inputs.account_id, OwnerName(db, queries.owner_name, inputs.account_id));
  SessionIds ids;
  const Walk walk{&context, &inputs, catalogue.get(), &package, &members, &messages, &ids};
  if (!ReadChats(walk, &chats) || !ReadOrphans(walk, &orphans)) return PackageStopped(context);
  return FinishPackage(db, context, package.Finish());
}

}  // namespace kx
