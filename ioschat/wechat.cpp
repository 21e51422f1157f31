#include "ioschat/wechat.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/backup_files.h"
#include "common/log.h"
#include "common/md5.h"
#include "common/sql_identifier.h"
#include "common/status.h"
#include "ioschat/chat_document.h"
#include "ioschat/wechat_contacts.h"
#include "ioschat/wechat_messages.h"
#include "kit/backup_inputs.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kMessageKey[] = "msg_file_path";
constexpr char kManifestKey[] = "manifest_file_path";
constexpr char kContactKey[] = "contact_file_path";
constexpr char kSessionKey[] = "session_file_path";
constexpr char kUserKey[] = "user_file_path";
constexpr char kBrandKey[] = "brandmsg_file_path";
// The account folder's name (md5 of the user name), for a backup whose
// settings archive is missing: the folder the message database lies in.
constexpr char kAccountHashKey[] = "wechat_account_hash";
constexpr char kMissingInput[] = "No primary file.";

constexpr char kChatTablePrefix[] = "Chat_";
// The table names are read, never spliced in: LIKE's '_' is escaped.
constexpr char kChatTablesQuery[] =
    "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'Chat\\_%' ESCAPE '\\' "
    "ORDER BY name";
constexpr char kGroupSuffix[] = "@chatroom";
constexpr char kOfficialPrefix[] = "gh_";

struct WechatInputs {
  std::string messages;
  std::string manifest;
  std::string backup_root;
  std::string temp_folder;
  bool two_level = true;
  std::string account_hash;
};

const std::string* Optional(const DataTypeRecord& record, const char* key) {
  const std::string* path = record.PrimaryFile(key);
  return path == nullptr || path->empty() ? nullptr : path;
}

bool ReadInputs(const DataTypeRecord& record, const PackageContext& context, WechatInputs* inputs) {
  const std::string* messages = BeginPackage(record, context, kMessageKey, kMissingInput);
  if (messages == nullptr) return false;
  const std::string* manifest = Optional(record, kManifestKey);
  if (manifest == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "%s", kMissingInput);
    return false;
  }
  if (!HasBackupAndTempFolder(record, context.stem)) return false;
  inputs->messages = *messages;
  inputs->manifest = *manifest;
  inputs->backup_root = record.additional_param;
  inputs->temp_folder = record.temp_folder;
  ReadOtherInfoFlag(record, kSubDirKey, &inputs->two_level);
  const auto hash = record.other_info.find(kAccountHashKey);
  if (hash != record.other_info.end()) inputs->account_hash = hash->second;
  return true;
}

// An optional store, opened; null (logged) when it cannot be read.
std::unique_ptr<SQLite3Wrapper> OpenOptional(const DataTypeRecord& record, const char* key,
                                             const char* stem) {
  const std::string* path = Optional(record, key);
  if (path == nullptr) return nullptr;
  auto db = std::make_unique<SQLite3Wrapper>(*path);
  const SourceCheck opened = CheckSourceDatabase(db.get());
  if (opened.ok()) return db;
  KX_LOG_AT(kLogProblem, stem, "%s: sqlite error message : %s.", key, opened.message.c_str());
  return nullptr;
}

// What the conversations are named and judged by.
struct WechatPeople {
  WechatContacts contacts;
  bool has_session_list = false;
  std::unordered_set<std::string> live_hashes;  // md5 of each session's user name
  WechatAccount account;
};

void ReadPeople(const DataTypeRecord& record, const char* stem, const SQLite3Wrapper& messages,
                WechatPeople* people) {
  const auto contact_store = OpenOptional(record, kContactKey, stem);
  // Older versions keep Friend in the message database itself.
  if (contact_store == nullptr || !ReadWechatContacts(*contact_store, stem, &people->contacts)) {
    ReadWechatContacts(messages, stem, &people->contacts);
  }
  std::unordered_set<std::string> names;
  const auto session_store = OpenOptional(record, kSessionKey, stem);
  people->has_session_list =
      (session_store != nullptr && ReadWechatSessionList(*session_store, &names)) ||
      ReadWechatSessionList(messages, &names);
  for (const std::string& name : names) people->live_hashes.insert(Md5Hex(name));
  if (const std::string* user = Optional(record, kUserKey)) {
    people->account = ReadWechatAccount(*user);
  }
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::string tail(suffix);
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

ChatSession SessionOf(const std::string& hash, bool official_store, const WechatPeople& people) {
  ChatSession session;
  session.session_id = hash;
  const WechatContact* peer = people.contacts.FindByHash(hash);
  if (peer != nullptr) {
    session.session_id = peer->user_name;
    session.name = people.contacts.NameOf(peer->user_name);
  }
  // A conversation nobody knows is judged by nothing but its hash, which
  // tells neither a group nor an official account.
  if (peer != nullptr && EndsWith(peer->user_name, kGroupSuffix)) {
    session.kind = ChatSessionKind::kGroup;
    for (const std::string& member : peer->members) {
      session.members.push_back({member, people.contacts.NameOf(member)});
    }
  } else if (official_store ||
             (peer != nullptr && peer->user_name.rfind(kOfficialPrefix, 0) == 0)) {
    session.kind = ChatSessionKind::kOfficial;
  }
  // Official accounts are gathered under one entry of the session list, so
  // only the message database's conversations are judged by it.
  session.deleted =
      !official_store && people.has_session_list && people.live_hashes.count(hash) == 0;
  return session;
}

struct StoreWalk {
  const PackageContext* context;
  const WechatPeople* people;
  const WechatInputs* inputs;
  BackupCatalogue* catalogue;
  ChatPackage* package;
  std::string* missing;
};

enum class WalkResult { kDone, kStopped };

// The conversations of one store into the package.
WalkResult WalkStore(const SQLite3Wrapper& db, bool official_store, const StoreWalk& walk) {
  std::vector<std::string> tables;
  SqliteStatement list = PrepareStatement(db, kChatTablesQuery);
  while (list.Step() == SQLITE_ROW) tables.push_back(list.ColumnText(0));
  ChatMessage message;
  for (const std::string& table : tables) {
    if (walk.context->StopRequested()) return WalkResult::kStopped;
    std::string missing;
    const std::string sql = "SELECT " + WechatMessageColumns(db, table, &missing) + " FROM " +
                            QuotedIdentifier(table) + " ORDER BY CreateTime, MesLocalID";
    if (!missing.empty() && walk.missing->empty()) *walk.missing = missing;
    SqliteStatement rows = PrepareStatement(db, sql);
    if (!rows.prepared()) {
      KX_LOG_SQLITE_ERROR(walk.context->stem, db.handle());
      continue;
    }
    const std::string hash = table.substr(sizeof(kChatTablePrefix) - 1);
    const ChatSession session = SessionOf(hash, official_store, *walk.people);
    walk.package->BeginSession(session);
    WechatConversation conversation;
    conversation.peer_hash = hash;
    conversation.account_hash = walk.inputs->account_hash;
    conversation.group = session.kind == ChatSessionKind::kGroup;
    conversation.deleted = session.deleted;
    conversation.contacts = &walk.people->contacts;
    conversation.catalogue = walk.catalogue;
    conversation.backup_root = walk.inputs->backup_root;
    conversation.two_level = walk.inputs->two_level;
    while (rows.Step() == SQLITE_ROW) {
      if (walk.context->StopRequested()) return WalkResult::kStopped;
      ReadWechatMessage(rows, conversation, &message);
      walk.package->AddMessage(message);
    }
  }
  return WalkResult::kDone;
}

}  // namespace

int IosWechatDataPackage(DataTypeRecord* record, const PackageContext& context) {
  WechatInputs inputs;
  if (!ReadInputs(*record, context, &inputs)) return kStatusMissingInput;
  PackageSource db(inputs.messages, context);
  if (db.status() != kStatusOk) return db.status();
  const ReadTransaction transaction(db);
  WechatPeople people;
  ReadPeople(*record, context.stem, db, &people);
  if (!people.account.user_name.empty()) inputs.account_hash = Md5Hex(people.account.user_name);
  BackupCatalogue catalogue(inputs.manifest);
  const bool located = catalogue.Open(context.stem) == kStatusOk;
  if (inputs.account_hash.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "no account user name: media not located.");
  }
  ChatPackage package("wechat", inputs.temp_folder);
  package.SetAccount(
      people.account.user_name.empty() ? inputs.account_hash : people.account.user_name,
      people.account.nickname);
  std::string missing;
  const StoreWalk walk{&context, &people, &inputs, located ? &catalogue : nullptr,
                       &package, &missing};
  if (WalkStore(db, false, walk) == WalkResult::kStopped) return PackageStopped(context);
  if (const auto brand = OpenOptional(*record, kBrandKey, context.stem)) {
    if (WalkStore(*brand, true, walk) == WalkResult::kStopped) return PackageStopped(context);
  }
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "the conversation tables have no %s: read as NULL.",
              missing.c_str());
  }
  return FinishPackage(db, context, package.Finish());
}

}  // namespace kx
