#include "ioschat/wechat_contacts.h"

#include <cstdint>
#include <utility>

#include "common/keyed_archive.h"
#include "common/log.h"
#include "common/md5.h"
#include "common/property_list.h"
#include "common/select_list.h"
#include "kit/contact_names.h"
#include "kit/protobuf_wire.h"

namespace kx {

namespace {

// Older stores: the names in Friend, the remark and a group's members in
// Friend_Ext.
constexpr char kOldContactsQuery[] =
    "SELECT f.UsrName, f.NickName, x.ConRemark, x.ConChatRoomMem FROM Friend f "
    "LEFT JOIN Friend_Ext x ON x.UsrName = f.UsrName";
constexpr char kOldContactsWithoutExtQuery[] = "SELECT UsrName, NickName, NULL, NULL FROM Friend";
// Newer stores: protobuf blobs. dbContactRemark holds the nickname (field 1),
// the WeChat id (2) and the remark (3); dbContactChatRoom the members (1).
constexpr char kNewContactsQuery[] =
    "SELECT userName, dbContactRemark, dbContactChatRoom FROM Friend";

constexpr int kNicknameField = 1;
constexpr int kAliasField = 2;
constexpr int kRemarkField = 3;
constexpr int kMembersField = 1;

// Skips the value of a field of `wire` type; false when it runs past the end.
bool SkipValue(std::string_view blob, int wire, size_t* at) {
  uint64_t length = 0;
  switch (wire) {
    case kWireVarint:
      return ReadVarint(blob, at, &length);
    case kWireFixed64:
      length = 8;
      break;
    case kWireFixed32:
      length = 4;
      break;
    default:
      return false;
  }
  return SkipBytes(blob, at, length);
}

std::vector<std::string> SplitMembers(const std::string& list) {
  std::vector<std::string> members;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(";,", start);
    if (end == std::string::npos) end = list.size();
    if (end > start) members.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return members;
}

void ReadRows(const SQLite3Wrapper& db, const char* stem, const std::string& sql, bool blobs,
              WechatContacts* contacts) {
  SqliteStatement query = PrepareStatement(db, sql);
  if (!query.prepared()) {
    KX_LOG_AT(kLogProblem, stem, "contacts not read: %s.", sqlite3_errmsg(db.handle()));
    return;
  }
  while (query.Step() == SQLITE_ROW) {
    WechatContact contact;
    contact.user_name = query.ColumnText(0);
    if (contact.user_name.empty()) continue;
    if (blobs) {
      const std::string_view remark = query.ColumnBlobView(1);
      contact.nickname = ProtoTextField(remark, kNicknameField);
      contact.alias = ProtoTextField(remark, kAliasField);
      contact.remark = ProtoTextField(remark, kRemarkField);
      contact.members = SplitMembers(ProtoTextField(query.ColumnBlobView(2), kMembersField));
    } else {
      contact.nickname = query.ColumnText(1);
      contact.remark = query.ColumnText(2);
      contact.members = SplitMembers(query.ColumnText(3));
    }
    contacts->Add(std::move(contact));
  }
}

std::string Member(const Json::Value& object, const char* name) {
  const Json::Value& value = object.isObject() ? object[name] : Json::Value::nullSingleton();
  return value.isString() ? value.asString() : std::string();
}

}  // namespace

void WechatContacts::Add(WechatContact contact) {
  const std::string name = contact.user_name;
  if (!by_name_.emplace(name, std::move(contact)).second) return;
  by_hash_.emplace(Md5Hex(name), name);
}

const WechatContact* WechatContacts::Find(const std::string& user_name) const {
  return FindKeyed(by_name_, user_name);
}

const WechatContact* WechatContacts::FindByHash(const std::string& md5) const {
  const std::string* name = FindKeyed(by_hash_, md5);
  return name == nullptr ? nullptr : Find(*name);
}

std::string WechatContacts::NameOf(const std::string& user_name) const {
  const WechatContact* contact = Find(user_name);
  if (contact == nullptr) return std::string();
  return contact->remark.empty() ? contact->nickname : contact->remark;
}

bool ReadWechatContacts(const SQLite3Wrapper& db, const char* stem, WechatContacts* contacts) {
  const TableColumns friends(db, "Friend");
  if (!friends.exists()) return false;
  if (friends.Has("dbContactRemark")) {
    ReadRows(db, stem, kNewContactsQuery, true, contacts);
  } else {
    const bool ext = TableColumns(db, "Friend_Ext").exists();
    ReadRows(db, stem, ext ? kOldContactsQuery : kOldContactsWithoutExtQuery, false, contacts);
  }
  return true;
}

std::string ProtoTextField(std::string_view blob, int field) {
  size_t at = 0;
  while (at < blob.size()) {
    uint64_t key = 0;
    if (!ReadVarint(blob, &at, &key)) return std::string();
    const int wire = static_cast<int>(key & 7);
    if (wire != kWireLengthDelimited) {
      if (!SkipValue(blob, wire, &at)) return std::string();
      continue;
    }
    uint64_t length = 0;
    if (!ReadVarint(blob, &at, &length) || length > blob.size() - at) return std::string();
    if ((key >> 3) == static_cast<uint64_t>(field)) return std::string(blob.substr(at, length));
    at += length;
  }
  return std::string();
}

bool ReadWechatSessionList(const SQLite3Wrapper& db, std::unordered_set<std::string>* names) {
  if (!TableColumns(db, "SessionAbstract").exists()) return false;
  SqliteStatement query = PrepareStatement(db, "SELECT UsrName FROM SessionAbstract");
  while (query.Step() == SQLITE_ROW) names->insert(query.ColumnText(0));
  return query.prepared();
}

WechatAccount ReadWechatAccount(const std::string& path) {
  WechatAccount account;
  const CPListDictionary root(path);
  const KeyedArchive archive(root);
  if (archive.valid()) {
    const Json::Value settings = archive.ToJson(archive.Top("root"), 4);
    account.user_name = Member(settings, "UsrName");
    account.nickname = Member(settings, "NickName");
  } else {
    root.GetString("UsrName", &account.user_name);
    root.GetString("NickName", &account.nickname);
  }
  return account;
}

}  // namespace kx
