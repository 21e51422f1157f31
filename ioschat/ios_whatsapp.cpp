#include "ioschat/ios_whatsapp.h"

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "common/property_list.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/status.h"
#include "ioschat/ios_whatsapp_messages.h"
#include "ioschat/ios_whatsapp_rules.h"
#include "kit/backup_inputs.h"
#include "kit/chat_batches.h"
#include "kit/contact_names.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kStoreKey[] = "msg_file_path";
constexpr char kContactsKey[] = "name_file_path";
constexpr char kOwnerKey[] = "owner_plist_file_path";
constexpr char kOwnerJidKey[] = "LastOwnJabberID";
constexpr char kStatusJid[] = "0@status";

struct Application {
  const char* document_member;
  const char* domain;
};
constexpr Application kWhatsApp = {"whatsapp_chatsessions",
                                   "AppDomainGroup-group.net.whatsapp.WhatsApp.shared"};
constexpr Application kWhatsAppBusiness = {"whatsappBusiness_chatsessions",
                                           "AppDomainGroup-group.net.whatsapp.WhatsAppSMB.shared"};

constexpr char kChatQuery[] =
    "select ZWACHATSESSION.Z_PK, ZHIDDEN, ZREMOVED, ZSESSIONTYPE as session_type, ZUNREADCOUNT,  "
    "ZGROUPINFO, ZLASTMESSAGE, ZWAPROFILEPICTUREITEM.Z_ENT AS profile_ent,  "
    "ZWAPROFILEPICTUREITEM.Z_OPT AS profile_opt, ZREQUESTDATE, ZLASTMESSAGEDATE, "
    "ZLOCATIONSHARINGENDDATE,  ZPATH, ZCONTACTJID AS jid, ZPARTNERNAME AS name, "
    "ZCONTACTIDENTIFIER AS contact_identifier  from ZWACHATSESSION LEFT JOIN ZWAPROFILEPICTUREITEM "
    "ON jid = ZJID where (jid is not null and ZSESSIONTYPE != 4) order by ZLASTMESSAGEDATE DESC";
constexpr char kGroupInfoQuery[] =
    "SELECT Z_ENT AS group_info_ent, Z_OPT AS group_info_opt, ZSTATE, ZLASTMESSAGEOWNER, "
    "ZCREATIONDATE, ZSUBJECTTIMESTAMP, ZCREATORJID, ZOWNERJID, ZPICTUREID AS group_picture_id, "
    "ZPICTUREPATH, ZSOURCEJID, ZSUBJECTOWNERJID FROM ZWAGROUPINFO WHERE ZCHATSESSION = ?";
constexpr char kMemberQuery[] =
    "SELECT ZMEMBERJID AS member_jid, ZPUSHNAME AS member_name, ZCONTACTIDENTIFIER, ZCONTACTNAME, "
    "ZFIRSTNAME, ZPATH, ZPICTUREID, ZREQUESTDATE, ZWAGROUPMEMBER.Z_ENT, ZWAGROUPMEMBER.Z_OPT, "
    "ZCONTACTABID, ZISACTIVE, ZISADMIN, ZSENDERKEYSENT, ZRECENTGROUPCHAT, "
    "ZWAPROFILEPICTUREITEM.Z_ENT "
    "AS profile_ent, ZWAPROFILEPICTUREITEM.Z_OPT AS profile_opt,ZWAGROUPMEMBER.Z_PK FROM "
    "ZWAGROUPMEMBER LEFT JOIN ZWAPROFILEPICTUREITEM ON member_jid = ZWAPROFILEPICTUREITEM.ZJID "
    "LEFT "
    "JOIN ZWAPROFILEPUSHNAME ON member_jid = ZWAPROFILEPUSHNAME.ZJID  WHERE ZCHATSESSION = ?";
// Identifier -> full name; the first row of an identifier names it, even
// when its name is empty.
constexpr char kAddressBookQuery[] = "SELECT ZIDENTIFIER, ZFULLNAME FROM ZWAADDRESSBOOKCONTACT";

// The same selects for stores of other versions, table by table: a column
// a table lacks is read as NULL, a join whose table is missing left out.
struct TablePart {
  const char* table;
  std::vector<SelectedColumn> columns;
  const char* join;  // null for the table selected from
};

const std::vector<TablePart>& ChatParts() {
  static const std::vector<TablePart> parts = {
      {"ZWACHATSESSION",
       {{"ZWACHATSESSION.Z_PK", "Z_PK", "Z_PK"},
        {"ZWACHATSESSION.ZHIDDEN", "ZHIDDEN", "ZHIDDEN"},
        {"ZWACHATSESSION.ZREMOVED", "ZREMOVED", "ZREMOVED"},
        {"ZWACHATSESSION.ZSESSIONTYPE", "session_type", "ZSESSIONTYPE"},
        {"ZWACHATSESSION.ZUNREADCOUNT", "ZUNREADCOUNT", "ZUNREADCOUNT"},
        {"ZWACHATSESSION.ZGROUPINFO", "ZGROUPINFO", "ZGROUPINFO"},
        {"ZWACHATSESSION.ZLASTMESSAGE", "ZLASTMESSAGE", "ZLASTMESSAGE"},
        {"ZWACHATSESSION.ZLASTMESSAGEDATE", "ZLASTMESSAGEDATE", "ZLASTMESSAGEDATE"},
        {"ZWACHATSESSION.ZLOCATIONSHARINGENDDATE", "ZLOCATIONSHARINGENDDATE",
         "ZLOCATIONSHARINGENDDATE"},
        {"ZWACHATSESSION.ZCONTACTJID", "jid", "ZCONTACTJID"},
        {"ZWACHATSESSION.ZPARTNERNAME", "name", "ZPARTNERNAME"},
        {"ZWACHATSESSION.ZCONTACTIDENTIFIER", "contact_identifier", "ZCONTACTIDENTIFIER"}},
       nullptr},
      {"ZWAPROFILEPICTUREITEM",
       {{"ZWAPROFILEPICTUREITEM.Z_ENT", "profile_ent", "Z_ENT"},
        {"ZWAPROFILEPICTUREITEM.Z_OPT", "profile_opt", "Z_OPT"},
        {"ZWAPROFILEPICTUREITEM.ZREQUESTDATE", "ZREQUESTDATE", "ZREQUESTDATE"},
        {"ZWAPROFILEPICTUREITEM.ZPATH", "ZPATH", "ZPATH"}},
       " LEFT JOIN ZWAPROFILEPICTUREITEM ON ZWACHATSESSION.ZCONTACTJID = "
       "ZWAPROFILEPICTUREITEM.ZJID"},
  };
  return parts;
}
constexpr char kChatFilter[] =
    " where (jid is not null and ifnull(session_type, 0) != 4) order by ZLASTMESSAGEDATE DESC";

const std::vector<TablePart>& MemberParts() {
  static const std::vector<TablePart> parts = {
      {"ZWAGROUPMEMBER",
       {{"ZWAGROUPMEMBER.ZMEMBERJID", "member_jid", "ZMEMBERJID"},
        {"ZWAGROUPMEMBER.ZCONTACTIDENTIFIER", "ZCONTACTIDENTIFIER", "ZCONTACTIDENTIFIER"},
        {"ZWAGROUPMEMBER.ZCONTACTNAME", "ZCONTACTNAME", "ZCONTACTNAME"},
        {"ZWAGROUPMEMBER.ZFIRSTNAME", "ZFIRSTNAME", "ZFIRSTNAME"},
        {"ZWAGROUPMEMBER.Z_ENT", "Z_ENT", "Z_ENT"},
        {"ZWAGROUPMEMBER.Z_OPT", "Z_OPT", "Z_OPT"},
        {"ZWAGROUPMEMBER.ZCONTACTABID", "ZCONTACTABID", "ZCONTACTABID"},
        {"ZWAGROUPMEMBER.ZISACTIVE", "ZISACTIVE", "ZISACTIVE"},
        {"ZWAGROUPMEMBER.ZISADMIN", "ZISADMIN", "ZISADMIN"},
        {"ZWAGROUPMEMBER.ZSENDERKEYSENT", "ZSENDERKEYSENT", "ZSENDERKEYSENT"},
        {"ZWAGROUPMEMBER.ZRECENTGROUPCHAT", "ZRECENTGROUPCHAT", "ZRECENTGROUPCHAT"}},
       nullptr},
      {"ZWAPROFILEPUSHNAME",
       {{"ZWAPROFILEPUSHNAME.ZPUSHNAME", "member_name", "ZPUSHNAME"}},
       " LEFT JOIN ZWAPROFILEPUSHNAME ON ZWAGROUPMEMBER.ZMEMBERJID = ZWAPROFILEPUSHNAME.ZJID"},
      {"ZWAPROFILEPICTUREITEM",
       {{"ZWAPROFILEPICTUREITEM.ZPATH", "ZPATH", "ZPATH"},
        {"ZWAPROFILEPICTUREITEM.ZPICTUREID", "ZPICTUREID", "ZPICTUREID"},
        {"ZWAPROFILEPICTUREITEM.ZREQUESTDATE", "ZREQUESTDATE", "ZREQUESTDATE"},
        {"ZWAPROFILEPICTUREITEM.Z_ENT", "profile_ent", "Z_ENT"},
        {"ZWAPROFILEPICTUREITEM.Z_OPT", "profile_opt", "Z_OPT"}},
       " LEFT JOIN ZWAPROFILEPICTUREITEM ON ZWAGROUPMEMBER.ZMEMBERJID = "
       "ZWAPROFILEPICTUREITEM.ZJID"},
      // Read last and not packaged, as the member's key in the fixed query.
      {"ZWAGROUPMEMBER", {{"ZWAGROUPMEMBER.Z_PK", "Z_PK", "Z_PK"}}, nullptr},
  };
  return parts;
}
constexpr char kMemberFilter[] = " WHERE ZWAGROUPMEMBER.ZCHATSESSION = ?";

// "select ... from <first table> <joins>" over what the store has; "" when
// the first table is missing. What was missing is added to *missing.
std::string FittedSelect(const SQLite3Wrapper& db, const std::vector<TablePart>& parts,
                         std::string* missing) {
  std::string list;
  std::string joins;
  for (const TablePart& part : parts) {
    const TableColumns columns(db, part.table);
    if (!columns.exists() && part.join == nullptr) return std::string();
    const bool joined = columns.exists() && (part.join == nullptr || columns.Has("ZJID"));
    for (const SelectedColumn& column : part.columns) {
      if (!list.empty()) list += ",";
      if (joined) {
        list += columns.SelectList({column}, missing);
      } else {
        list += std::string("NULL as ") + column.as;
      }
    }
    if (!joined) {
      if (!missing->empty()) *missing += ", ";
      *missing += part.table;
    } else if (part.join != nullptr && joins.find(part.join) == std::string::npos) {
      joins += part.join;
    }
  }
  return "select " + list + " from " + parts.front().table + joins;
}

struct Inputs {
  std::string store;
  std::string contacts;
  std::string owner_plist;
  IosWhatsAppBackup backup;
};

// The inputs in the order they are checked; false (logged) at the first
// that is missing.
bool ReadInputs(const DataTypeRecord& record, const PackageContext& context,
                const Application& application, Inputs* inputs) {
  const std::string* store = BeginPackage(record, context, kStoreKey);
  if (store == nullptr) return false;
  const std::string* contacts = record.PrimaryFile(kContactsKey);
  if (contacts == nullptr) {
    KX_LOG_AT(kLogError, context.stem, "No primary file.");
    return false;
  }
  const std::string* owner = record.PrimaryFile(kOwnerKey);
  if (owner == nullptr || owner->empty()) {
    KX_LOG_AT(kLogError, context.stem, "No primary file.");
    return false;
  }
  if (record.additional_param.empty()) {
    KX_LOG_AT(kLogError, context.stem, "No backup folder.");
    return false;
  }
  bool two_level = false;
  if (!ReadOtherInfoFlag(record, kSubDirKey, &two_level)) {
    KX_LOG_AT(kLogError, context.stem, "No required param.");
    return false;
  }
  inputs->store = *store;
  inputs->contacts = *contacts;
  inputs->owner_plist = *owner;
  inputs->backup.root = record.additional_param;
  inputs->backup.domain = application.domain;
  inputs->backup.two_level = two_level;
  return true;
}

std::string OwnerJid(const std::string& plist_path) {
  const CPListDictionary owner(plist_path);
  std::string jid;
  owner.GetString(kOwnerJidKey, &jid);
  return jid;
}

// The four members of a profile picture kept at `path` (no members for a
// path that must not be looked up).
void AddProfileMembers(const IosWhatsAppBackup& backup, Json::Value* object) {
  const Json::Value& stored = MemberOrNull(*object, "ZPATH");
  if (!stored.isString()) return;
  const std::string path = stored.asString();
  if (!IsSafeStorePath(path)) return;
  (*object)["profile_path"] = path + ".jpg";
  (*object)["profile_backup_path"] = backup.FilePath(path + ".jpg");
  (*object)["profile_thumb_path"] = path + ".thumb";
  (*object)["profile_thumb_backup_path"] = backup.FilePath(path + ".thumb");
}

class ChatWalk {
 public:
  ChatWalk(SQLite3Wrapper* db, const ContactNames& address_book, const Inputs& inputs,
           const PackageContext& context, PackageFileWriter* files);

  // 0 when the chats can be read, else 1106 (logged).
  int Start();
  // One chat row into `chats`; false on a stop or a failed step.
  enum class Result { kAppended, kSkipped, kFailed, kStopped };
  Result ReadChat(Json::Value* chats);
  bool Next() { return chats_.Step() == SQLITE_ROW; }

 private:
  void AddGroupInformation(int64_t chat_pk, Json::Value* chat);
  bool AddMembers(int64_t chat_pk, Json::Value* chat);
  void AddAddressBookName(Json::Value* member);

  SQLite3Wrapper* db_;
  const Inputs& inputs_;
  const PackageContext& context_;
  IosWhatsAppMessages messages_;
  SqliteStatement chats_;
  SqliteStatement group_info_;
  SqliteStatement members_;
  const ContactNames& address_book_;
  int jid_column_ = 0;
};

ChatWalk::ChatWalk(SQLite3Wrapper* db, const ContactNames& address_book, const Inputs& inputs,
                   const PackageContext& context, PackageFileWriter* files)
    : db_(db),
      inputs_(inputs),
      context_(context),
      messages_(db, inputs.backup, files, context.stop, context.stem),
      address_book_(address_book) {}

int ChatWalk::Start() {
  chats_ = PrepareStatement(*db_, kChatQuery);
  if (!chats_.prepared()) {
    const std::string error = db_->ErrorMessage();
    std::string missing;
    const std::string fitted = FittedSelect(*db_, ChatParts(), &missing);
    if (!fitted.empty()) chats_ = PrepareStatement(*db_, fitted + kChatFilter);
    if (!chats_.prepared()) {
      KX_LOG_AT(kLogError, context_.stem, "sqlite error message : %s.", error.c_str());
      return kStatusPrepareFailed;
    }
    KX_LOG_AT(kLogProblem, context_.stem, "the chat store has no %s: read as NULL or left out.",
              missing.c_str());
  }
  for (int column = 0; column < chats_.ColumnCount(); ++column) {
    if (chats_.ColumnName(column) == "jid") jid_column_ = column;
  }
  group_info_ = PrepareStatement(*db_, kGroupInfoQuery);
  if (!group_info_.prepared()) {
    std::string missing;
    const TableColumns info(*db_, "ZWAGROUPINFO");
    if (info.exists() && info.Has("ZCHATSESSION")) {
      const std::vector<SelectedColumn> columns = {{"Z_ENT", "group_info_ent"},
                                                   {"Z_OPT", "group_info_opt"},
                                                   {"ZSTATE", nullptr},
                                                   {"ZLASTMESSAGEOWNER", nullptr},
                                                   {"ZCREATIONDATE", nullptr},
                                                   {"ZSUBJECTTIMESTAMP", nullptr},
                                                   {"ZCREATORJID", nullptr},
                                                   {"ZOWNERJID", nullptr},
                                                   {"ZPICTUREID", "group_picture_id"},
                                                   {"ZPICTUREPATH", nullptr},
                                                   {"ZSOURCEJID", nullptr},
                                                   {"ZSUBJECTOWNERJID", nullptr}};
      group_info_ = PrepareStatement(*db_, "SELECT " + info.SelectList(columns, &missing) +
                                               " FROM ZWAGROUPINFO WHERE ZCHATSESSION = ?");
    }
    if (!group_info_.prepared()) {
      KX_LOG(kLogProgress,
             "Filename : %s, line : %d, sqlite3_stmt prepare fail, error message : %s",
             context_.stem, __LINE__, db_->ErrorMessage().c_str());
    }
  }
  members_ = PrepareStatement(*db_, kMemberQuery);
  if (!members_.prepared()) {
    std::string missing;
    const std::string fitted = FittedSelect(*db_, MemberParts(), &missing);
    if (!fitted.empty()) members_ = PrepareStatement(*db_, fitted + kMemberFilter);
    KX_LOG_AT(kLogProblem, context_.stem, "the member tables have no %s: read as NULL or left out.",
              fitted.empty() ? "ZWAGROUPMEMBER" : missing.c_str());
  }
  return kStatusOk;
}

void ChatWalk::AddGroupInformation(int64_t chat_pk, Json::Value* chat) {
  if (!group_info_.prepared()) return;
  group_info_.Reset();
  group_info_.BindInt64(1, chat_pk);
  const int step = group_info_.Step();
  if (step == SQLITE_ROW) {
    for (int column = 0; column < group_info_.ColumnCount(); ++column) {
      ReadColumnIntoJson(group_info_, column, chat);
    }
  } else if (step != SQLITE_DONE) {
    KX_LOG(kLogProgress, "Filename : %s, line : %d, sqlite3_stmt step fail, error message : %s",
           context_.stem, __LINE__, db_->ErrorMessage().c_str());
  }
}

void ChatWalk::AddAddressBookName(Json::Value* member) {
  if (member->isMember("member_name") || !member->isMember("ZCONTACTIDENTIFIER")) return;
  const std::string* name =
      FindKeyed(address_book_, MemberOrNull(*member, "ZCONTACTIDENTIFIER").asString());
  if (name != nullptr && !name->empty()) (*member)["member_name"] = *name;
}

bool ChatWalk::AddMembers(int64_t chat_pk, Json::Value* chat) {
  Json::Value& members = (*chat)["members"] = EmptyJsonArray();
  if (!members_.prepared()) return true;
  members_.Reset();
  members_.BindInt64(1, chat_pk);
  int step = SQLITE_ROW;
  while ((step = members_.Step()) == SQLITE_ROW) {
    Json::Value member(Json::objectValue);
    // The last column is the member's key, not one of its members.
    for (int column = 0; column + 1 < members_.ColumnCount(); ++column) {
      ReadColumnIntoJson(members_, column, &member);
    }
    if (member.isMember("ZISACTIVE") && member["ZISACTIVE"].isIntegral() &&
        member["ZISACTIVE"].asInt64() == 0) {
      continue;
    }
    AddProfileMembers(inputs_.backup, &member);
    AddAddressBookName(&member);
    members.append(std::move(member));
  }
  if (step != SQLITE_DONE) {
    KX_LOG_AT(kLogError, context_.stem, "sqlite error message : %s.", db_->ErrorMessage().c_str());
    return false;
  }
  return true;
}

ChatWalk::Result ChatWalk::ReadChat(Json::Value* chats) {
  const std::string jid = chats_.ColumnText(jid_column_);
  if (jid == kStatusJid) return Result::kSkipped;
  Json::Value chat(Json::objectValue);
  for (int column = 1; column < chats_.ColumnCount(); ++column) {
    if (context_.StopRequested()) return Result::kStopped;
    ReadColumnIntoJson(chats_, column, &chat);
  }
  AddProfileMembers(inputs_.backup, &chat);
  const int64_t chat_pk = chats_.ColumnInt64(0);
  if (chat.isMember("session_type") && chat["session_type"].asString() != "0") {
    AddGroupInformation(chat_pk, &chat);
    if (!AddMembers(chat_pk, &chat)) return Result::kFailed;
  }
  Json::Value& files = chat["msg_file_list"] = EmptyJsonArray();
  if (!messages_.WriteChat(chat_pk, jid, &files)) return Result::kStopped;
  chats->append(std::move(chat));
  return Result::kAppended;
}

// The names of the contacts database, none when it cannot be read (logged):
// the chats are packaged all the same, without its names.
ContactNames ReadAddressBook(const std::string& path, const char* stem) {
  SQLite3Wrapper contacts(path);
  if (CheckSourceDatabase(&contacts, OpenMode::kReadOnly).ok()) {
    return ReadContactNames(contacts, kAddressBookQuery, EmptyNames::kKeep);
  }
  KX_LOG(kLogProblem, "[%s], at %d line, ContactsV2 database open fail", stem, __LINE__);
  return ContactNames();
}

int PackageChats(DataTypeRecord* record, const PackageContext& context,
                 const Application& application) {
  Inputs inputs;
  if (!ReadInputs(*record, context, application, &inputs)) return kStatusMissingInput;
  // 1105 for a file that is no database, 1106 for one whose schema cannot
  // be read.
  PackageSource db(inputs.store, context, SourceFailure::kUnlogged);
  if (db.status() != kStatusOk) {
    KX_LOG(kLogError, "[%s],at %d line, WhatsApp primary database open fail", context.stem,
           __LINE__);
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : %s.", db.words().c_str());
    return db.status();
  }
  const ContactNames address_book = ReadAddressBook(inputs.contacts, context.stem);
  Json::Value document(Json::objectValue);
  document["owner_jid"] = OwnerJid(inputs.owner_plist);
  PackageFileWriter files(record->temp_folder);
  ChatWalk walk(&db, address_book, inputs, context, &files);
  const ReadTransaction transaction(db);
  const int started = walk.Start();
  if (started != kStatusOk) return started;
  document["is_exist"] = true;
  Json::Value& chats = document[application.document_member] = EmptyJsonArray();
  while (walk.Next()) {
    const ChatWalk::Result read = walk.ReadChat(&chats);
    if (read == ChatWalk::Result::kStopped) return PackageStopped(context);
    if (read == ChatWalk::Result::kFailed) break;
  }
  if (context.StopRequested()) return PackageStopped(context);
  document["size"] = chats.size();
  return FinishPackage(db, context, WriteJson(document));
}

}  // namespace

int IosWhatsAppDataPackage(DataTypeRecord* record, const PackageContext& context) {
  return PackageChats(record, context, kWhatsApp);
}

int IosWhatsAppBusinessDataPackage(DataTypeRecord* record, const PackageContext& context) {
  return PackageChats(record, context, kWhatsAppBusiness);
}

}  // namespace kx
