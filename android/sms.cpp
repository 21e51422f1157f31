#include "android/sms.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/local_date.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "kit/contact_names.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "sms_file_path";
constexpr char kSecondFilesKey[] = "sms_files_path";

constexpr char kDeletedColumn[] = "is_deleted";
constexpr char kSmsTable[] = "sms";
constexpr char kPduTable[] = "pdu";
constexpr char kDateColumnName[] = "date";

constexpr char kCanonicalQuery[] = "select cast(_id as text),address from canonical_addresses";
constexpr char kRecipientThreadQuery[] =
    "select distinct(_id),recipient_ids from threads where _id!=0 and recipient_ids !=''";
// One scan of sms gives both the addresses of each thread and the messages.
// Dates are read as stored and formatted like SQLite's
// strftime("%m - %d - %Y %H:%M : %S", substr(date, 1, 10), 'unixepoch',
// 'localtime'): the first ten digits are whole seconds of a millisecond
// value (sms) or the seconds themselves (pdu).
const std::vector<SelectedColumn> kSmsColumns = {
    {"thread_id", nullptr}, {"address", nullptr}, {"date", nullptr},
    {"type", nullptr},      {"body", nullptr},
};
constexpr int kSmsThreadColumn = 0;
constexpr int kSmsAddressColumn = 1;
constexpr int kSmsDateColumn = 2;
constexpr int kSmsTypeColumn = 3;
constexpr int kSmsBodyColumn = 4;
constexpr int kSmsSqlDateColumn = 5;  // SQLite's text where C++ leaves the date to it
constexpr int kSmsDeletedColumn = 6;  // after a merge
constexpr char kPartQuery[] =
    "select mid,ct,_data,text from part where ct not like \"application%\" and ct like \"%/%\"";
const std::vector<SelectedColumn> kPduColumns = {
    {"thread_id", nullptr}, {"date", nullptr}, {"msg_box", nullptr}, {"sub", nullptr}};
// The message id is bound, never spliced into the text.
constexpr char kPduQueryTail[] = " from pdu where _id=?";
constexpr int kPduDateColumn = 1;
constexpr int kPduSqlDateColumn = 4;
constexpr int kPduDeletedColumn = 5;  // after a merge

// Labels of the box codes; SMS use all seven, MMS the first five.
constexpr const char* kBoxLabels[] = {"all",    "inbox",  "sent",  "draft",
                                      "outbox", "failed", "queued"};
constexpr int kSmsBoxCount = 7;
constexpr int kMmsBoxCount = 5;
constexpr char kUnknownBox[] = "unknow";

constexpr char kSessionsMember[] = "sessions";
constexpr char kAddressMember[] = "address";
constexpr char kMessagesMember[] = "messages";
constexpr char kMessageTypeMember[] = "message_type";
constexpr char kDateMember[] = "date";
constexpr char kTypeMember[] = "type";
constexpr char kBodyMember[] = "body";
constexpr char kSubjectMember[] = "subject";
constexpr char kTextMember[] = "text";
constexpr char kVcardMember[] = "vcard";
constexpr char kTagMember[] = "tag";
constexpr char kDeletedTag[] = "deleted";
constexpr char kSmsKind[] = "sms";
constexpr char kMmsKind[] = "mms";

constexpr char kTextMajorType[] = "text";
constexpr char kPlainSubtype[] = "plain";
constexpr char kVcardSubtype[] = "x-vCard";

// Drops the characters people and phones put into numbers for reading.
void NormalizeAddress(std::string_view address, std::string* normalized) {
  normalized->clear();
  for (char c : address) {
    if (c != '(' && c != ')' && c != '-' && c != ' ') normalized->push_back(c);
  }
}

std::string NormalizeAddress(std::string_view address) {
  std::string normalized;
  NormalizeAddress(address, &normalized);
  return normalized;
}

// Index into kBoxLabels, or kSmsBoxCount for "unknow".
uint8_t BoxIndex(int64_t box, int label_count) {
  return static_cast<uint8_t>(box >= 0 && box < label_count ? box : kSmsBoxCount);
}

const char* BoxLabel(uint8_t index) {
  return index < kSmsBoxCount ? kBoxLabels[index] : kUnknownBox;
}

// A part's major type names a member of its MMS object. An empty one, or one
// naming the object's own members ("tag", "date", ...), is not set: a part
// must not pass itself off as them.
bool IsMessageMember(std::string_view name) {
  for (const char* own :
       {kMessageTypeMember, kDateMember, kTypeMember, kSubjectMember, kVcardMember, kTagMember}) {
    if (name == own) return true;
  }
  return name.empty();
}

std::string_view Read(const TextBuffer& block, uint64_t* at, size_t size) {
  const std::string_view bytes(block.data() + *at, size);
  *at += size;
  return bytes;
}

template <typename Number>
Number ReadNumber(const TextBuffer& block, uint64_t* at) {
  Number number;
  std::memcpy(&number, block.data() + *at, sizeof(number));
  *at += sizeof(number);
  return number;
}

template <typename Number>
void AppendNumber(Number number, TextBuffer* block) {
  block->append(reinterpret_cast<const char*>(&number), sizeof(number));
}

// One SMS as it is kept until the document is written.
struct SmsMessage {
  uint8_t box = 0;
  bool deleted = false;
  std::string_view date;
  std::string_view body;
};

// Every message of one package call, packed into one block in the order it
// was read, so that a million messages cost their bytes and not a million
// heap strings. An SMS record is its box, deleted flag, the sizes of date
// and body, then their bytes; an MMS record is its members (all strings) in
// the writer's order. A record is named by its offset: the block holds less
// than 2 GB (TextBuffer's limit), so offsets fit 32 bits.
class MessageStore {
 public:
  uint32_t AddSms(const SmsMessage& message) {
    const uint32_t at = static_cast<uint32_t>(block_.size());
    AppendNumber<uint8_t>(message.box, &block_);
    AppendNumber<uint8_t>(message.deleted ? 1 : 0, &block_);
    AppendNumber<uint32_t>(static_cast<uint32_t>(message.date.size()), &block_);
    AppendNumber<uint32_t>(static_cast<uint32_t>(message.body.size()), &block_);
    block_.append(message.date);
    block_.append(message.body);
    return at;
  }

  SmsMessage ReadSms(uint64_t at) const {
    SmsMessage sms;
    sms.box = ReadNumber<uint8_t>(block_, &at);
    sms.deleted = ReadNumber<uint8_t>(block_, &at) != 0;
    const uint32_t date_size = ReadNumber<uint32_t>(block_, &at);
    const uint32_t body_size = ReadNumber<uint32_t>(block_, &at);
    sms.date = Read(block_, &at, date_size);
    sms.body = Read(block_, &at, body_size);
    return sms;
  }

  // Asks the processor for a record that is read soon: the records of one
  // conversation lie scattered over the block.
  void Prefetch(uint32_t at) const {
#if defined(__GNUC__)
    __builtin_prefetch(block_.data() + at);
#else
    (void)at;
#endif
  }

  // `members` must be in the writer's order.
  uint32_t AddMms(const std::vector<std::pair<std::string, std::string>>& members) {
    const uint32_t at = static_cast<uint32_t>(block_.size());
    AppendNumber<uint32_t>(static_cast<uint32_t>(members.size()), &block_);
    for (const auto& member : members) {
      AppendNumber<uint32_t>(static_cast<uint32_t>(member.first.size()), &block_);
      block_.append(member.first);
      AppendNumber<uint32_t>(static_cast<uint32_t>(member.second.size()), &block_);
      block_.append(member.second);
    }
    return at;
  }

  template <typename Text>
  void WriteMms(uint64_t at, BasicJsonTextWriter<Text>* writer) const {
    writer->BeginObject();
    for (uint32_t count = ReadNumber<uint32_t>(block_, &at); count > 0; --count) {
      writer->Name(Read(block_, &at, ReadNumber<uint32_t>(block_, &at)));
      writer->String(Read(block_, &at, ReadNumber<uint32_t>(block_, &at)));
    }
    writer->EndObject();
  }

  // True when memory ran out: the records are then incomplete.
  bool failed() const { return block_.failed(); }

 private:
  TextBuffer block_;
};

// One conversation: its SMS in table order, then its MMS, as records of the
// store.
struct Conversation {
  std::string address;
  bool has_thread = false;  // last_thread holds the thread of its last SMS
  int64_t last_thread = 0;
  std::vector<uint32_t> sms;  // records of the MessageStore
  std::vector<uint32_t> mms;  // records of the MessageStore
};

// The conversations by normalised address, kept in the order in which each
// address first turned up.
class Conversations {
 public:
  Conversation& Of(const std::string& address) {
    const auto found = index_.find(address);
    if (found != index_.end()) return entries_[found->second];
    index_.emplace(address, entries_.size());
    entries_.emplace_back();
    entries_.back().address = address;
    return entries_.back();
  }
  const std::vector<Conversation>& all() const { return entries_; }

 private:
  std::unordered_map<std::string, size_t> index_;
  std::vector<Conversation> entries_;
};

// An MMS while its parts are read: its string members, a later value of a
// name replacing the earlier one.
struct MmsMembers {
  std::vector<std::pair<std::string, std::string>> members;

  void Set(std::string_view name, std::string_view value) {
    for (auto& member : members) {
      if (member.first == name) {
        member.second.assign(value.data(), value.size());
        return;
      }
    }
    members.emplace_back(std::string(name), std::string(value));
  }
};

// Everything one package call collects before the document is written.
struct MessageMaps {
  ContactNames canonical_addresses;  // _id text -> raw address
  std::unordered_map<int64_t, std::set<std::string>> thread_addresses;
  Conversations conversations;
  MessageStore store;
  std::map<int64_t, MmsMembers> mms_by_id;  // ordered, so the output is stable
};

// A query over what this store's table has; a column it lacks reads as NULL
// (logged once). SQLite's text of the dates C++ leaves to it follows the
// wanted columns, then is_deleted after a merge (*has_deleted).
std::string AdaptedQuery(const SQLite3Wrapper& db, const char* stem, const char* table,
                         const std::vector<SelectedColumn>& wanted, const char* tail,
                         bool* has_deleted) {
  const TableColumns columns(db, table);
  std::string missing;
  std::string query = "select " + columns.SelectList(wanted, &missing);
  if (columns.exists() && !missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", table, missing.c_str());
  }
  query += "," + LocalDateFormatter::SqlFallback(kDateColumnName, columns.Has(kDateColumnName));
  *has_deleted = columns.Has(kDeletedColumn);
  if (*has_deleted) query += std::string(",") + kDeletedColumn;
  return query + tail;
}

void LoadCanonicalAddresses(const SQLite3Wrapper& db, const PackageContext& context,
                            MessageMaps* maps) {
  // The first address of an id wins.
  SqliteStatement query = PrepareStatement(db, kCanonicalQuery);
  if (!query.prepared()) return;
  LoadContactNames(
      query, EmptyNames::kKeep, [&context] { return context.StopRequested(); },
      &maps->canonical_addresses);
}

std::vector<std::string> SplitAtWhiteSpace(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

void LoadRecipientThreads(const SQLite3Wrapper& db, const PackageContext& context,
                          MessageMaps* maps) {
  SqliteStatement query = PrepareStatement(db, kRecipientThreadQuery);
  if (!query.prepared()) return;
  while (!context.StopRequested() && query.Step() == SQLITE_ROW) {
    std::set<std::string>& addresses = maps->thread_addresses[query.ColumnInt64(0)];
    for (const std::string& id : SplitAtWhiteSpace(query.ColumnTextView(1))) {
      const auto found = maps->canonical_addresses.find(id);
      if (found == maps->canonical_addresses.end()) continue;
      std::string address = NormalizeAddress(found->second);
      if (!address.empty()) addresses.insert(std::move(address));
    }
  }
}

// The one scan of sms: every thread's addresses, and each SMS with an
// address filed under it. False on a stop.
bool ReadSmsMessages(const SQLite3Wrapper& db, const PackageContext& context, MessageMaps* maps) {
  bool has_deleted = false;
  SqliteStatement query = PrepareStatement(
      db, AdaptedQuery(db, context.stem, kSmsTable, kSmsColumns, " from sms", &has_deleted));
  if (!query.prepared()) return true;
  LocalDateFormatter dates(db);
  sqlite3_stmt* row = query.handle();
  std::string address;
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    NormalizeAddress(query.ColumnTextView(kSmsAddressColumn), &address);
    const int64_t thread = query.ColumnInt64(kSmsThreadColumn);
    if (address.empty()) {
      maps->thread_addresses[thread];  // the thread is known, without an address
      continue;
    }
    Conversation& conversation = maps->conversations.Of(address);
    // Most messages of a conversation share its thread: the set is only
    // consulted when the thread changes.
    if (!conversation.has_thread || conversation.last_thread != thread) {
      maps->thread_addresses[thread].insert(address);
      conversation.has_thread = true;
      conversation.last_thread = thread;
    }
    std::string_view date;
    if (!dates.Format(row, kSmsDateColumn, kSmsSqlDateColumn, &date)) date = std::string_view();
    SmsMessage message;
    message.box = BoxIndex(query.ColumnInt64(kSmsTypeColumn), kSmsBoxCount);
    message.deleted = has_deleted && query.ColumnInt64(kSmsDeletedColumn) != 0;
    message.date = date;
    message.body = query.ColumnTextView(kSmsBodyColumn);
    conversation.sms.push_back(maps->store.AddSms(message));
  }
  return true;
}

// One part's contribution to its message; a later part overwrites what an
// earlier one set.
void AddPart(std::string_view content_type, std::string_view data, std::string_view text,
             MmsMembers* mms) {
  const size_t slash = content_type.find('/');
  const std::string_view major_type = content_type.substr(0, slash);
  const std::string_view subtype =
      slash == std::string_view::npos ? std::string_view() : content_type.substr(slash + 1);
  if (major_type != kTextMajorType && !data.empty()) {
    if (!IsMessageMember(major_type)) mms->Set(major_type, data);
  } else if (subtype == kPlainSubtype && !text.empty()) {
    mms->Set(kTextMember, text);
  } else if (subtype == kVcardSubtype && !data.empty()) {
    mms->Set(kVcardMember, data);
  }
}

// False on a stop.
bool ReadMmsParts(const SQLite3Wrapper& db, const PackageContext& context, MessageMaps* maps) {
  SqliteStatement query = PrepareStatement(db, kPartQuery);
  if (!query.prepared()) return true;
  while (query.Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    MmsMembers& mms = maps->mms_by_id[query.ColumnInt64(0)];
    if (mms.members.empty()) mms.Set(kMessageTypeMember, kMmsKind);
    AddPart(query.ColumnTextView(1), query.ColumnTextView(2), query.ColumnTextView(3), &mms);
  }
  return true;
}

// Completes each MMS from its pdu row, stores it and files it under every
// address of its thread. An MMS without pdu row or with an unknown thread is
// left out. False on a stop.
bool FileMmsMessages(const SQLite3Wrapper& db, const PackageContext& context, MessageMaps* maps) {
  bool has_deleted = false;
  SqliteStatement query = PrepareStatement(
      db, AdaptedQuery(db, context.stem, kPduTable, kPduColumns, kPduQueryTail, &has_deleted));
  LocalDateFormatter dates(db);
  for (auto entry = maps->mms_by_id.begin(); entry != maps->mms_by_id.end();
       entry = maps->mms_by_id.erase(entry)) {
    if (context.StopRequested()) return false;
    if (!query.prepared()) continue;
    query.BindInt64(1, entry->first);
    const bool found = query.Step() == SQLITE_ROW;
    const auto thread =
        found ? maps->thread_addresses.find(query.ColumnInt64(0)) : maps->thread_addresses.end();
    if (thread != maps->thread_addresses.end()) {
      MmsMembers& mms = entry->second;
      std::string_view date;
      if (!dates.Format(query.handle(), kPduDateColumn, kPduSqlDateColumn, &date)) {
        date = std::string_view();
      }
      mms.Set(kDateMember, date);
      mms.Set(kTypeMember, BoxLabel(BoxIndex(query.ColumnInt64(2), kMmsBoxCount)));
      const std::string_view subject = query.ColumnTextView(3);
      if (!subject.empty()) mms.Set(kSubjectMember, subject);
      if (has_deleted && query.ColumnInt64(kPduDeletedColumn) != 0) {
        mms.Set(kTagMember, kDeletedTag);
      }
      std::sort(mms.members.begin(), mms.members.end());
      const uint32_t at = maps->store.AddMms(mms.members);
      for (const std::string& address : thread->second) {
        maps->conversations.Of(address).mms.push_back(at);
      }
    }
    query.Reset();
  }
  return true;
}

// False on a stop. Queries that cannot run (missing table, unreadable file)
// contribute nothing.
bool CollectMessages(const SQLite3Wrapper& db, const PackageContext& context, MessageMaps* maps) {
  // One read transaction for every query and look-up below.
  const ReadTransaction transaction(db);
  LoadCanonicalAddresses(db, context, maps);
  LoadRecipientThreads(db, context, maps);
  return ReadSmsMessages(db, context, maps) && ReadMmsParts(db, context, maps) &&
         FileMmsMessages(db, context, maps);
}

const JsonName kBodyName(kBodyMember);
const JsonName kDateName(kDateMember);
const JsonName kMessageTypeName(kMessageTypeMember);
const JsonName kTagName(kTagMember);
const JsonName kTypeName(kTypeMember);

// Members in the writer's (name) order.
void WriteSms(const SmsMessage& message, JsonBufferWriter* writer) {
  writer->BeginObject();
  writer->Name(kBodyName);
  writer->String(message.body);
  writer->Name(kDateName);
  writer->String(message.date);
  writer->Name(kMessageTypeName);
  writer->String(kSmsKind);
  if (message.deleted) {
    writer->Name(kTagName);
    writer->String(kDeletedTag);
  }
  writer->Name(kTypeName);
  writer->String(BoxLabel(message.box));
  writer->EndObject();
}

// {"sessions": [{"address", "messages"}...]}. A telephony database can hold
// a million messages: the text is written straight from the stored
// messages, in the layout of the library's JSON writer, instead of building
// the whole document as a tree first.
bool WriteSessions(const MessageMaps& maps, TextBuffer* text) {
  JsonBufferWriter writer(text);
  writer.BeginObject();
  writer.Name(kSessionsMember);
  writer.BeginArray();
  for (const Conversation& conversation : maps.conversations.all()) {
    writer.BeginObject();
    writer.Name(kAddressMember);
    writer.String(conversation.address);
    writer.Name(kMessagesMember);
    writer.BeginArray();
    constexpr size_t kPrefetchDistance = 16;
    const std::vector<uint32_t>& sms = conversation.sms;
    for (size_t i = 0; i < sms.size(); ++i) {
      if (i + kPrefetchDistance < sms.size()) maps.store.Prefetch(sms[i + kPrefetchDistance]);
      WriteSms(maps.store.ReadSms(sms[i]), &writer);
    }
    for (const uint32_t mms : conversation.mms) maps.store.WriteMms(mms, &writer);
    writer.EndArray();
    writer.EndObject();
  }
  writer.EndArray();
  writer.EndObject();
  return writer.complete() && !text->failed();
}

}  // namespace

int AndroidSmsDataFilter(DataTypeRecord* record, SqliteConfig* config,
                         const PackageContext& context) {
  static const MergeRule kMergeRule = {kPrimaryFileKey,
                                       kSecondFilesKey,
                                       "No primary file.",
                                       "No second files.",
                                       true,
                                       kSystemAndroid,
                                       kConfigSms,
                                       true};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int AndroidSmsDataPackage(DataTypeRecord* record, const PackageContext& context) {
  PackageSource db(*record, context, kPrimaryFileKey);
  if (db.status() != kStatusOk) return db.status();
  MessageMaps maps;
  if (!CollectMessages(db, context, &maps)) return PackageStopped(context);
  TextBuffer text;
  if (maps.store.failed() || !WriteSessions(maps, &text)) {
    KX_LOG_AT(kLogError, context.stem, "package text could not be written.");
    return kStatusStepFailed;
  }
  return FinishPackage(db, context, text.view());
}

}  // namespace kx
