#include "ioschat/viber.h"

#include <memory>
#include <string>
#include <vector>

#include "common/backup_files.h"
#include "common/log.h"
#include "common/property_list.h"
#include "common/select_list.h"
#include "common/status.h"
#include "ioschat/chat_document.h"
#include "ioschat/core_data_store.h"
#include "ioschat/viber_kinds.h"
#include "ioschat/viber_messages.h"
#include "ioschat/viber_store.h"
#include "kit/backup_inputs.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kStoreKey[] = "viber_file_path";
constexpr char kPhotoKey[] = "photo_file_path";
constexpr char kThumbKey[] = "thumb_config_path";
constexpr char kManifestKey[] = "manifest_file_path";
constexpr char kThumbFolderKey[] = "ThumbnailsFolder";
constexpr char kApp[] = "viber";
constexpr char kOrphanPrefix[] = "deleted:";
// The session of the calls only the recents list holds.
constexpr char kCallsSession[] = "calls";

struct ViberInputs {
  std::string store;
  std::string catalogue;  // "" when not handed in
  ViberMedia media;
  std::string temp_folder;
};

bool ReadInputs(const DataTypeRecord& record, const PackageContext& context, ViberInputs* inputs) {
  const std::string* store = BeginPackage(record, context, kStoreKey);
  if (store == nullptr) return false;
  if (!ReadOtherInfoFlag(record, kSubDirKey, &inputs->media.has_sub_dir) ||
      record.additional_param.empty() || record.temp_folder.empty()) {
    KX_LOG_AT(kLogError, context.stem, "No primary file.");
    return false;
  }
  inputs->store = *store;
  // A host that hands every iOS data type the backup's catalogue under its
  // usual key need not name it twice.
  const std::string* photo = record.PrimaryFile(kPhotoKey);
  if (photo == nullptr) photo = record.PrimaryFile(kManifestKey);
  if (photo != nullptr) inputs->catalogue = *photo;
  inputs->media.backup_root = record.additional_param;
  const std::string* thumb = record.PrimaryFile(kThumbKey);
  inputs->media.thumbnail_folder = thumb != nullptr ? ViberThumbnailFolder(*thumb) : std::string();
  if (inputs->media.thumbnail_folder.empty()) {
    inputs->media.thumbnail_folder = kViberThumbnailFolder;
  }
  inputs->temp_folder = record.temp_folder;
  return true;
}

struct Walk {
  const PackageContext* context;
  const ViberMedia* media;
  ChatPackage* package;
  SqliteStatement* members;
  SqliteStatement* messages;
  SessionIds* ids;
};

ChatSession SessionOf(const Walk& walk, const SqliteStatement& chat) {
  ChatSession session;
  const std::string group_id = chat.ColumnText(kViberGroupId);
  const bool group = !group_id.empty() && group_id != "0";
  session.kind = ViberSessionKind(group, chat.ColumnInt64(kViberSubtype));
  const std::string peer_id = chat.ColumnText(kViberPeerId);
  session.session_id = group ? group_id : peer_id;
  if (session.session_id.empty())
    session.session_id = "conversation:" + chat.ColumnText(kViberChatKey);
  session.name = chat.ColumnText(kViberChatName);
  if (session.name.empty() && !group) session.name = chat.ColumnText(kViberPeerName);
  if (walk.members->prepared()) {
    SqliteStatement& query = *walk.members;
    query.Reset();
    sqlite3_bind_value(query.handle(), 1, sqlite3_column_value(chat.handle(), kViberChatKey));
    while (query.Step() == SQLITE_ROW) {
      session.members.push_back(
          {query.ColumnText(kViberMemberId), query.ColumnText(kViberMemberName)});
    }
  }
  if (session.members.empty() && !group && !peer_id.empty()) {
    session.members.push_back({peer_id, chat.ColumnText(kViberPeerName)});
  }
  return session;
}

// False when a stop was seen.
bool AddMessages(const Walk& walk, SqliteStatement* query, bool deleted, ChatMessage* message) {
  while (query->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    ReadViberMessage(*query, *walk.media, deleted, message);
    walk.package->AddMessage(*message);
  }
  return true;
}

bool ReadConversations(const Walk& walk, SqliteStatement* chats) {
  ChatMessage message;
  while (chats->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    ChatSession session = SessionOf(walk, *chats);
    session.session_id = walk.ids->Unique(session.session_id, chats->ColumnText(kViberChatKey));
    walk.package->BeginSession(session);
    SqliteStatement& query = *walk.messages;
    query.Reset();
    sqlite3_bind_value(query.handle(), 1, sqlite3_column_value(chats->handle(), kViberChatKey));
    if (!AddMessages(walk, &query, false, &message)) return false;
  }
  return true;
}

// Messages whose conversation the store no longer has, one deleted session
// per former conversation. False when a stop was seen.
bool ReadOrphans(const Walk& walk, SqliteStatement* orphans) {
  ChatMessage message;
  bool open = false;
  std::string conversation;
  while (orphans->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    const std::string former = orphans->ColumnText(kViberConversation);
    if (!open || former != conversation) {
      ChatSession session;
      session.session_id = walk.ids->Unique(kOrphanPrefix + former, former);
      session.deleted = true;
      walk.package->BeginSession(session);
      open = true;
      conversation = former;
    }
    ReadViberMessage(*orphans, *walk.media, true, &message);
    walk.package->AddMessage(message);
  }
  return true;
}

// The recents list as one session of calls. False when a stop was seen.
bool ReadCalls(const Walk& walk, SqliteStatement* calls) {
  if (!calls->prepared()) return true;
  ChatMessage message;
  bool open = false;
  while (calls->Step() == SQLITE_ROW) {
    if (walk.context->StopRequested()) return false;
    if (!open) {
      ChatSession session;
      session.session_id = walk.ids->Unique(kCallsSession, kCallsSession);
      walk.package->BeginSession(session);
      open = true;
    }
    ReadViberCall(*calls, &message);
    walk.package->AddMessage(message);
  }
  return true;
}

std::unique_ptr<BackupCatalogue> OpenCatalogue(const std::string& manifest, const char* stem) {
  if (manifest.empty()) return nullptr;
  auto catalogue = std::make_unique<BackupCatalogue>(manifest);
  if (catalogue->Open(stem) != kStatusOk) return nullptr;
  return catalogue;
}

bool Prepare(const SQLite3Wrapper& db, const std::string& sql, const char* stem,
             SqliteStatement* statement) {
  *statement = PrepareStatement(db, sql);
  if (statement->prepared()) return true;
  KX_LOG_SQLITE_ERROR(stem, db.handle());
  return false;
}

}  // namespace

std::string ViberThumbnailFolder(const std::string& settings_path) {
  const CPListDictionary settings(settings_path);
  std::string folder;
  if (!settings.GetString(kThumbFolderKey, &folder) || folder.empty()) return std::string();
  if (folder.back() != '/') folder += '/';
  return folder;
}

int IosViberDataPackage(DataTypeRecord* record, const PackageContext& context) {
  ViberInputs inputs;
  if (!ReadInputs(*record, context, &inputs)) return kStatusMissingInput;
  PackageSource db(inputs.store, context);
  if (db.status() != kStatusOk) return db.status();
  std::string ignored;
  EnsureLeadingIndex(&db, "ZVIBERMESSAGE", "ZCONVERSATION", &ignored);
  const ReadTransaction transaction(db);
  std::string missing;
  const ViberQueries queries = BuildViberQueries(db, &missing);
  SqliteStatement chats;
  SqliteStatement messages;
  SqliteStatement orphans;
  if (!Prepare(db, queries.sessions, context.stem, &chats) ||
      !Prepare(db, queries.chat_messages, context.stem, &messages) ||
      !Prepare(db, queries.orphans, context.stem, &orphans)) {
    return kStatusQueryFailed;
  }
  SqliteStatement members;
  if (!queries.members.empty() && !Prepare(db, queries.members, context.stem, &members)) {
    return kStatusQueryFailed;
  }
  SqliteStatement calls;
  if (!queries.calls.empty() && !Prepare(db, queries.calls, context.stem, &calls)) {
    return kStatusQueryFailed;
  }
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "the store has no %s: read as NULL or left out.",
              missing.c_str());
  }
  const std::unique_ptr<BackupCatalogue> catalogue = OpenCatalogue(inputs.catalogue, context.stem);
  inputs.media.catalogue = catalogue.get();
  ChatPackage package(kApp, inputs.temp_folder);
  SessionIds ids;
  const Walk walk{&context, &inputs.media, &package, &members, &messages, &ids};
  if (!ReadConversations(walk, &chats) || !ReadCalls(walk, &calls) ||
      !ReadOrphans(walk, &orphans)) {
    return PackageStopped(context);
  }
  return FinishPackage(db, context, package.Finish());
}

}  // namespace kx
