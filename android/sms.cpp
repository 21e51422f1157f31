#include "android/sms.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "android/merge_filter.h"
#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"

namespace kx {

namespace {

constexpr char kStem[] = "androidsmsdatapackage";
constexpr char kFilterName[] = "AndroidSmsDataFilter";
constexpr char kPackagerName[] = "AndroidSmsDataPackage";
constexpr int kDataType = 4;
constexpr int kResultKind = 0;

constexpr char kPrimaryFileKey[] = "sms_file_path";
constexpr char kSecondFilesKey[] = "sms_files_path";

constexpr char kDeletedColumn[] = "is_deleted";

constexpr char kCanonicalQuery[] = "select cast(_id as text),address from canonical_addresses";
constexpr char kSmsThreadQuery[] = "select distinct(thread_id),address from sms";
constexpr char kRecipientThreadQuery[] =
    "select distinct(_id),recipient_ids from threads where _id!=0 and recipient_ids !=''";
// Dates keep their first ten digits: whole seconds of a millisecond value
// (sms) or the seconds themselves (pdu).
constexpr char kSmsQuery[] =
    "select address,strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime'),type,body from sms";
constexpr char kSmsQueryWithDeleted[] =
    "select address,strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime'),type,body,is_deleted from sms";
constexpr char kPartQuery[] =
    "select mid,ct,_data,text from part where ct not like \"application%\" and ct like \"%/%\"";
// The message id is bound, never spliced into the text.
constexpr char kPduQuery[] =
    "select thread_id,strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime'),msg_box,sub from pdu where _id=?";
constexpr char kPduQueryWithDeleted[] =
    "select thread_id,strftime(\"%m - %d - %Y %H:%M : %S\",substr(date, 1, 10),'unixepoch',"
    "'localtime'),msg_box,sub,is_deleted from pdu where _id=?";
// Column of is_deleted in the ...WithDeleted queries.
constexpr int kSmsDeletedColumn = 4;
constexpr int kPduDeletedColumn = 4;

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

bool StopRequested(const std::atomic<int>* stop) {
  return stop != nullptr && stop->load() == kStopRequested;
}

// Drops the characters people and phones put into numbers for reading.
std::string NormalizeAddress(const std::string& address) {
  std::string normalized;
  normalized.reserve(address.size());
  for (char c : address) {
    if (c != '(' && c != ')' && c != '-' && c != ' ') normalized.push_back(c);
  }
  return normalized;
}

const char* BoxLabel(int64_t box, int label_count) {
  return box >= 0 && box < label_count ? kBoxLabels[box] : kUnknownBox;
}

// A part's major type names a member of its MMS object. An empty one, or one
// naming the object's own members ("tag", "date", ...), is not set: a part
// must not pass itself off as them.
bool IsMessageMember(const std::string& name) {
  static const std::set<std::string> kOwnMembers = {kMessageTypeMember, kDateMember,  kTypeMember,
                                                    kSubjectMember,     kVcardMember, kTagMember};
  return name.empty() || kOwnMembers.count(name) != 0;
}

struct SmsMessage {
  std::string date;
  std::string body;
  const char* box_label = kUnknownBox;
  bool deleted = false;
};

// One conversation: its SMS in table order, then its MMS.
struct Conversation {
  std::string address;
  std::vector<SmsMessage> sms;
  std::vector<const JsonMembers*> mms;  // owned by MessageMaps::mms_by_id
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

// Everything one package call collects before the document is written.
struct MessageMaps {
  std::unordered_map<std::string, std::string> canonical_addresses;  // _id text -> raw address
  std::unordered_map<int64_t, std::set<std::string>> thread_addresses;
  Conversations conversations;
  std::map<int64_t, JsonMembers> mms_by_id;  // ordered, so the output is stable
};

void LoadCanonicalAddresses(const SQLite3Wrapper& db, const std::atomic<int>* stop,
                            MessageMaps* maps) {
  SqliteStatement query = PrepareStatement(db, kCanonicalQuery);
  if (!query.prepared()) return;
  while (!StopRequested(stop) && query.Step() == SQLITE_ROW) {
    // emplace: the first address of an id wins.
    maps->canonical_addresses.emplace(query.ColumnText(0), query.ColumnText(1));
  }
}

void LoadSmsThreads(const SQLite3Wrapper& db, const std::atomic<int>* stop, MessageMaps* maps) {
  SqliteStatement query = PrepareStatement(db, kSmsThreadQuery);
  if (!query.prepared()) return;
  while (!StopRequested(stop) && query.Step() == SQLITE_ROW) {
    std::set<std::string>& addresses = maps->thread_addresses[query.ColumnInt64(0)];
    std::string address = NormalizeAddress(query.ColumnText(1));
    if (!address.empty()) addresses.insert(std::move(address));
  }
}

std::vector<std::string> SplitAtWhiteSpace(const std::string& text) {
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

void LoadRecipientThreads(const SQLite3Wrapper& db, const std::atomic<int>* stop,
                          MessageMaps* maps) {
  SqliteStatement query = PrepareStatement(db, kRecipientThreadQuery);
  if (!query.prepared()) return;
  while (!StopRequested(stop) && query.Step() == SQLITE_ROW) {
    std::set<std::string>& addresses = maps->thread_addresses[query.ColumnInt64(0)];
    for (const std::string& id : SplitAtWhiteSpace(query.ColumnText(1))) {
      const auto found = maps->canonical_addresses.find(id);
      if (found == maps->canonical_addresses.end()) continue;
      std::string address = NormalizeAddress(found->second);
      if (!address.empty()) addresses.insert(std::move(address));
    }
  }
}

// False on a stop.
bool ReadSmsMessages(const SQLite3Wrapper& db, const std::atomic<int>* stop, MessageMaps* maps) {
  const bool has_deleted = ColumnExists(db, "sms", kDeletedColumn);
  SqliteStatement query = PrepareStatement(db, has_deleted ? kSmsQueryWithDeleted : kSmsQuery);
  if (!query.prepared()) return true;
  std::string address;
  while (query.Step() == SQLITE_ROW) {
    if (StopRequested(stop)) return false;
    address = NormalizeAddress(query.ColumnText(0));
    if (address.empty()) continue;
    SmsMessage message;
    message.date = query.ColumnText(1);
    message.box_label = BoxLabel(query.ColumnInt64(2), kSmsBoxCount);
    message.body = query.ColumnText(3);
    message.deleted = has_deleted && query.ColumnInt64(kSmsDeletedColumn) != 0;
    maps->conversations.Of(address).sms.push_back(std::move(message));
  }
  return true;
}

// One part's contribution to its message; a later part overwrites what an
// earlier one set.
void AddPart(const std::string& content_type, const std::string& data, const std::string& text,
             JsonMembers* mms) {
  const size_t slash = content_type.find('/');
  const std::string major_type = content_type.substr(0, slash);
  const std::string subtype = slash == std::string::npos ? "" : content_type.substr(slash + 1);
  if (major_type != kTextMajorType && !data.empty()) {
    if (!IsMessageMember(major_type)) mms->SetString(major_type, data);
  } else if (subtype == kPlainSubtype && !text.empty()) {
    mms->SetString(kTextMember, text);
  } else if (subtype == kVcardSubtype && !data.empty()) {
    mms->SetString(kVcardMember, data);
  }
}

// False on a stop.
bool ReadMmsParts(const SQLite3Wrapper& db, const std::atomic<int>* stop, MessageMaps* maps) {
  SqliteStatement query = PrepareStatement(db, kPartQuery);
  if (!query.prepared()) return true;
  while (query.Step() == SQLITE_ROW) {
    if (StopRequested(stop)) return false;
    JsonMembers& mms = maps->mms_by_id[query.ColumnInt64(0)];
    if (mms.empty()) mms.SetString(kMessageTypeMember, kMmsKind);
    AddPart(query.ColumnText(1), query.ColumnText(2), query.ColumnText(3), &mms);
  }
  return true;
}

// Completes each MMS from its pdu row and files it under every address of
// its thread. An MMS without pdu row or with an unknown thread is left out.
// False on a stop.
bool FileMmsMessages(const SQLite3Wrapper& db, const std::atomic<int>* stop, MessageMaps* maps) {
  const bool has_deleted = ColumnExists(db, "pdu", kDeletedColumn);
  SqliteStatement query = PrepareStatement(db, has_deleted ? kPduQueryWithDeleted : kPduQuery);
  for (auto& entry : maps->mms_by_id) {
    if (StopRequested(stop)) return false;
    if (!query.prepared()) continue;
    query.BindInt64(1, entry.first);
    const bool found = query.Step() == SQLITE_ROW;
    const auto thread =
        found ? maps->thread_addresses.find(query.ColumnInt64(0)) : maps->thread_addresses.end();
    if (thread != maps->thread_addresses.end()) {
      JsonMembers& mms = entry.second;
      mms.SetString(kDateMember, query.ColumnText(1));
      mms.SetString(kTypeMember, BoxLabel(query.ColumnInt64(2), kMmsBoxCount));
      const std::string subject = query.ColumnText(3);
      if (!subject.empty()) mms.SetString(kSubjectMember, subject);
      if (has_deleted && query.ColumnInt64(kPduDeletedColumn) != 0) {
        mms.SetString(kTagMember, kDeletedTag);
      }
      for (const std::string& address : thread->second) {
        maps->conversations.Of(address).mms.push_back(&mms);
      }
    }
    query.Reset();
  }
  return true;
}

// False on a stop. Queries that cannot run (missing table, unreadable file)
// contribute nothing.
bool CollectMessages(const SQLite3Wrapper& db, const std::atomic<int>* stop, MessageMaps* maps) {
  LoadCanonicalAddresses(db, stop, maps);
  LoadSmsThreads(db, stop, maps);
  LoadRecipientThreads(db, stop, maps);
  return ReadSmsMessages(db, stop, maps) && ReadMmsParts(db, stop, maps) &&
         FileMmsMessages(db, stop, maps);
}

// Members in the writer's (name) order.
void WriteSms(const SmsMessage& message, JsonTextWriter* writer) {
  writer->BeginObject();
  writer->Name(kBodyMember);
  writer->String(message.body);
  writer->Name(kDateMember);
  writer->String(message.date);
  writer->Name(kMessageTypeMember);
  writer->String(kSmsKind);
  if (message.deleted) {
    writer->Name(kTagMember);
    writer->String(kDeletedTag);
  }
  writer->Name(kTypeMember);
  writer->String(message.box_label);
  writer->EndObject();
}

// {"sessions": [{"address", "messages"}...]}. A telephony database can hold
// a million messages: the text is written straight from the collected
// messages, in the layout of the library's JSON writer, instead of building
// the whole document as a tree first.
bool WriteSessions(const Conversations& conversations, std::string* text) {
  JsonTextWriter writer(text);
  writer.BeginObject();
  writer.Name(kSessionsMember);
  writer.BeginArray();
  for (const Conversation& conversation : conversations.all()) {
    writer.BeginObject();
    writer.Name(kAddressMember);
    writer.String(conversation.address);
    writer.Name(kMessagesMember);
    writer.BeginArray();
    for (const SmsMessage& message : conversation.sms) WriteSms(message, &writer);
    for (const JsonMembers* mms : conversation.mms) mms->WriteObject(&writer);
    writer.EndArray();
    writer.EndObject();
  }
  writer.EndArray();
  writer.EndObject();
  return writer.complete();
}

int HandOverDocument(const std::string& text, ResultCallback callback) {
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    KX_LOG_AT(kLogError, kStem, "package text of %zu bytes is too long to hand over.", text.size());
    return kStatusStepFailed;
  }
  if (callback != nullptr) callback(kResultKind, text.c_str(), static_cast<int>(text.size()));
  return kStatusOk;
}

}  // namespace

int AndroidSmsDataFilter(DataTypeRecord* record, SqliteConfig* config, std::atomic<int>* stop) {
  static const MergeFilterSpec kSpec = {
      kDataType,          kStem,      kFilterName, kPrimaryFileKey, kSecondFilesKey,
      "No second files.", kConfigSms, true};
  return RunMergeFilter(kSpec, record, config, stop);
}

int AndroidSmsDataPackage(DataTypeRecord* record, ResultCallback callback, std::atomic<int>* stop,
                          int /*data_type*/) {
  KX_LOG(kLogProgress, "type %d KxDataPackage start", kDataType);
  const std::string* primary_path = record->PrimaryFile(kPrimaryFileKey);
  if (primary_path == nullptr) {
    KX_LOG_AT(kLogError, kStem, "No primary file.");
    return kStatusMissingInput;
  }
  SQLite3Wrapper db(*primary_path);
  const int opened = OpenSourceDatabase(&db, kStem, __LINE__);
  if (opened != kStatusOk) return opened;

  MessageMaps maps;
  if (!CollectMessages(db, stop, &maps)) {
    KX_LOG(kLogProgress, "%s stoped!", kPackagerName);
    return kStatusOk;
  }
  std::string text;
  if (!WriteSessions(maps.conversations, &text)) {
    KX_LOG_AT(kLogError, kStem, "package text could not be written.");
    return kStatusStepFailed;
  }
  const int status = HandOverDocument(text, callback);
  if (status != kStatusOk) return status;
  KX_LOG(kLogProgress, "type %d KxDataPackage end", kDataType);
  return kStatusOk;
}

}  // namespace kx
