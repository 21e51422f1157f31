#include "android/whatsapp.h"

#include <json/json.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "android/whatsapp_merge.h"
#include "android/whatsapp_messages.h"
#include "android/whatsapp_own_number.h"
#include "common/field_config.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "kit/contact_names.h"
#include "kit/whatsapp_rules.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kMessageStoreKey[] = "msg_file_path";
constexpr char kContactsKey[] = "wa_file_path";
constexpr char kMessageCopiesKey[] = "msg_files_path";
constexpr char kContactCopiesKey[] = "wa_files_path";

// What tells the two applications apart besides their rows of the table.
struct Application {
  bool reads_private_files;  // contacts database, avatars and own number
  const MediaFolders& older_layout_folders;
};

const Application& WhatsApp() {
  static const Application application = {true, WhatsAppMediaFolders()};
  return application;
}

const Application& WhatsAppBusiness() {
  static const Application application = {false, WhatsAppBusinessMediaFolders()};
  return application;
}

constexpr char kContactNamesQuery[] = "select jid,display_name from wa_contacts";

// Pieces of the private-files folder (the additional parameter).
constexpr const char* kPrivateFilesPath[] = {"apps", "com.whatsapp", "f"};
constexpr char kOwnNumberFile[] = "me";
constexpr char kAvatarFolder[] = "Avatars";
constexpr char kAvatarExtension[] = ".j";

// The chat list, tried in order until one prepares: the older layout's
// chat_list (with and, for the oldest stores, without sort_timestamp); the
// chat table beside an older `messages` table; the chat table of the newer
// layout (with and, before communities, without group_type). The last
// column is is_deleted, read and not packaged.
constexpr const char* kChatListQueries[] = {
    "select key_remote_jid as jid,subject,is_deleted from chat_list order by sort_timestamp",
    "select key_remote_jid as jid,subject,is_deleted from chat_list",
};
constexpr const char* kChatQueriesBesideMessages[] = {
    "select jid.raw_string as jid, subject, chat.is_deleted from chat left join jid on "
    "jid_row_id = jid._id where sort_timestamp is not null order by sort_timestamp",
};
constexpr const char* kChatQueriesNewer[] = {
    "select jid.raw_string as jid, subject, chat._id as chat_row_id, chat.is_deleted from chat "
    "left join jid on jid_row_id = jid._id where (sort_timestamp is not null and group_type != "
    "1) order by sort_timestamp",
    "select jid.raw_string as jid, subject, chat._id as chat_row_id, chat.is_deleted from chat "
    "left join jid on jid_row_id = jid._id where (sort_timestamp is not null) order by "
    "sort_timestamp",
};

constexpr const char* kMemberQueries[] = {
    "select gjid as group_jid, jid as member_jid from group_participants where jid != ''",
    "select distinct j.raw_string as group_jid, j2.raw_string as member_jid from "
    "group_participant_user as g left join jid as j on g.group_jid_row_id = j._id join jid as "
    "j2 on g.user_jid_row_id = j2._id where member_jid != 'status_me' ",
};

using AvatarPaths = std::unordered_map<std::string, std::string>;
using GroupMembers = std::map<std::string, std::set<std::string>>;

std::string PrivateFilesFolder(const std::string& root) {
  std::string folder = root;
  for (const char* piece : kPrivateFilesPath) folder = JoinPath(folder, piece);
  return folder;
}

// jid -> display name; the first non-empty name of a jid wins.
// A contacts database that cannot be read leaves numbers where names would be.
void ReadContactsDatabase(const std::string& contacts_path, const PackageContext& context,
                          ContactNames* names) {
  const PackageSource db(contacts_path, context, SourceFailure::kProblem);
  if (db.status() != kStatusOk) return;
  *names = ReadContactNames(db, kContactNamesQuery, EmptyNames::kSkip);
}

// User part of a jid -> its avatar file: the files "<jid>.j" of the
// Avatars folder.
void LoadAvatarPaths(const std::string& root, const char* stem, AvatarPaths* avatars) {
  const std::string folder = JoinPath(PrivateFilesFolder(root), kAvatarFolder);
  std::error_code error;
  std::filesystem::directory_iterator entries(PathFromUtf8(folder), error);
  if (error) {
    KX_LOG(kLogProblem, "Filename : %s, line : %d, profile file search fail", stem, __LINE__);
    return;
  }
  const std::string extension = kAvatarExtension;
  for (const auto& entry : entries) {
    const std::string name = PathToUtf8(entry.path().filename());
    const size_t at = name.find('@');
    if (at == std::string::npos || name.size() < extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
      continue;
    }
    avatars->emplace(name.substr(0, at), JoinPath(folder, name));
  }
}

// The package step reads is_deleted of the chat list and of the older
// message table whether or not a merge ran.
void AddIsDeletedColumns(SQLite3Wrapper& db) {
  const char* chat_table = CheckIsTableExist(db, "chat_list") ? "chat_list" : "chat";
  for (const char* table : {"messages", chat_table}) {
    if (CheckIsTableExist(db, table) && !ColumnExists(db, table, "is_deleted")) {
      AddIsDeletedColumn(db, table);
    }
  }
}

template <size_t N>
SqliteStatement PrepareFirst(const SQLite3Wrapper& db, const char* const (&queries)[N]) {
  SqliteStatement statement;
  for (const char* sql : queries) {
    statement = PrepareStatement(db, sql);
    if (statement.prepared()) return statement;
  }
  KX_LOG(kLogError, "[%s](%d): Sqlite error.\nmsg:{%s}\nsql:{%s}", "GetChatList", __LINE__,
         db.ErrorMessage().c_str(), queries[0]);
  return statement;
}

SqliteStatement PrepareChatList(const SQLite3Wrapper& db) {
  if (CheckIsTableExist(db, "chat_list")) return PrepareFirst(db, kChatListQueries);
  if (CheckIsTableExist(db, "messages")) return PrepareFirst(db, kChatQueriesBesideMessages);
  return PrepareFirst(db, kChatQueriesNewer);
}

// Fills the chat map. False when the stop flag was seen.
bool ReadChatList(const SQLite3Wrapper& db, const AvatarPaths& avatars,
                  const std::atomic<int>* stop, ContactNames* names, WhatsAppChatMap* chats) {
  SqliteStatement query = PrepareChatList(db);
  if (!query.prepared()) return true;
  const int deleted_column = query.ColumnCount() - 1;
  while (query.Step() == SQLITE_ROW) {
    const std::string jid = query.ColumnText(0);
    if (jid.find('@') == std::string::npos) continue;
    Json::Value chat(Json::objectValue);
    for (int column = 0; column < deleted_column; ++column) {
      if (StopRequested(stop)) return false;
      ReadColumnIntoJson(query, column, &chat);
    }
    if (chat.isMember("subject")) {
      names->emplace(jid, chat["subject"].asString());
    } else {
      const auto name = names->find(jid);
      if (name != names->end()) chat["subject"] = name->second;
    }
    if (query.ColumnInt64(deleted_column) != 0) chat["tag"] = "deleted";
    const auto avatar = avatars.find(JidUserPart(jid));
    if (avatar != avatars.end()) chat["profile_image_path"] = avatar->second;
    chats->emplace(jid, std::move(chat));
  }
  return true;
}

GroupMembers ReadGroupMembers(const SQLite3Wrapper& db) {
  GroupMembers members;
  for (const char* sql : kMemberQueries) {
    SqliteStatement query = PrepareStatement(db, sql);
    while (query.prepared() && query.Step() == SQLITE_ROW) {
      const std::string member = query.ColumnText(1);
      if (!member.empty()) members[query.ColumnText(0)].insert(member);
    }
  }
  return members;
}

void SetSessionTypes(const GroupMembers& members, const ContactNames& names,
                     WhatsAppChatMap* chats) {
  for (auto& entry : *chats) {
    const int session_type = WhatsAppSessionType(entry.first);
    entry.second["session_type"] = session_type;
    if (session_type == kSessionSingle) continue;
    const auto found = members.find(entry.first);
    if (found == members.end() || found->second.empty()) continue;
    Json::Value& list = entry.second["members"];
    for (const std::string& member_jid : found->second) {
      Json::Value member(Json::objectValue);
      member["member_jid"] = member_jid;
      const std::string* name = FindKeyed(names, member_jid);
      if (name != nullptr) member["member_name"] = *name;
      list.append(std::move(member));
    }
  }
}

void AddOwnNumber(const std::string& root, const char* stem, Json::Value* document) {
  std::string number;
  const std::string path = JoinPath(PrivateFilesFolder(root), kOwnNumberFile);
  if (root.empty() || !ReadOwnNumberFile(path, &number)) {
    KX_LOG(kLogProblem, "Filename : %s, line : %d, me file open fail", stem, __LINE__);
    return;
  }
  (*document)["my_phone_number"] = number;
  (*document)["my_jid"] = number + kWhatsAppUserJidSuffix;
}

int PackageChats(const Application& application, DataTypeRecord* record,
                 const PackageContext& context) {
  const std::string* store_path = BeginPackage(*record, context, kMessageStoreKey);
  if (store_path == nullptr) return kStatusMissingInput;
  ContactNames names;
  AvatarPaths avatars;
  if (application.reads_private_files) {
    const std::string* contacts_path = record->PrimaryFile(kContactsKey);
    if (contacts_path == nullptr) {
      KX_LOG_AT(kLogProblem, context.stem, "No wal_database file.");
    } else {
      ReadContactsDatabase(*contacts_path, context, &names);
    }
    LoadAvatarPaths(record->additional_param, context.stem, &avatars);
  }

  PackageSource db(*store_path, context);
  if (db.status() != kStatusOk) {
    KX_LOG(kLogError, "WhatsApp primary database open fail");
    return db.status();
  }
  AddIsDeletedColumns(db);
  // Thousands of per-chat and per-message queries follow: one read
  // transaction keeps SQLite from taking and dropping its locks for each.
  const ReadTransaction transaction(db);

  WhatsAppChatMap chats;
  if (!ReadChatList(db, avatars, context.stop, &names, &chats)) return PackageStopped(context);
  SetSessionTypes(ReadGroupMembers(db), names, &chats);

  MessageWriterSettings settings;
  settings.temp_folder = record->temp_folder;
  settings.older_layout_folders = &application.older_layout_folders;
  settings.stop = context.stop;
  const bool finished = CheckIsTableExist(db, "messages")
                            ? WriteOlderLayoutMessages(db, settings, &chats)
                            : WriteNewerLayoutMessages(db, settings, &chats);
  if (!finished || context.StopRequested()) return PackageStopped(context);

  Json::Value document(Json::objectValue);
  document["chat_sessions"] = EmptyJsonArray();
  for (auto& entry : chats) document["chat_sessions"].append(std::move(entry.second));
  document["size"] = Json::UInt64(chats.size());
  if (application.reads_private_files) {
    AddOwnNumber(record->additional_param, context.stem, &document);
  }
  return FinishPackage(db, context, WriteJson(document));
}

}  // namespace

int WhatsAppDataFilter(DataTypeRecord* record, SqliteConfig* config,
                       const PackageContext& context) {
  KX_LOG(kLogProgress, "type %d KxDataFilter start", context.data_type);
  const std::string* store_path = record->PrimaryFile(kMessageStoreKey);
  if (store_path == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "No primary file.");
    return kStatusMissingInput;
  }
  const std::string* contacts_path = record->PrimaryFile(kContactsKey);
  if (contacts_path == nullptr) KX_LOG_AT(kLogProblem, context.stem, "No primary file.");
  if (config == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "Fail to load config.");
    return kStatusConfigLoadFailed;
  }
  FileQueue* store_copies = record->SecondFiles(kMessageCopiesKey);
  if (store_copies != nullptr && !store_copies->Empty()) {
    const int status = MergeMessageStoreCopies(*config, *store_path, *store_copies, context);
    if (status != kStatusOk) return status;
  }
  FileQueue* contact_copies = record->SecondFiles(kContactCopiesKey);
  if (contacts_path == nullptr) {
    DiscardCopies(contact_copies, context.stem);
  } else if (contact_copies != nullptr && !contact_copies->Empty()) {
    const int status = MergeDatabaseCopiesByKey(*config, *contacts_path, *contact_copies,
                                                kSystemAndroid, kConfigWhatsApp, context.stop);
    if (status != kStatusOk) return status;
  }
  if (context.StopRequested()) LogStopped(context.filter_name);
  KX_LOG(kLogProgress, "type %d KxDataFilter end", context.data_type);
  return kStatusOk;
}

int WhatsAppDataPackage(DataTypeRecord* record, const PackageContext& context) {
  return PackageChats(WhatsApp(), record, context);
}

int WhatsAppBusinessDataPackage(DataTypeRecord* record, const PackageContext& context) {
  return PackageChats(WhatsAppBusiness(), record, context);
}

}  // namespace kx
