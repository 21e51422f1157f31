#include "ios/contacts.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/text.h"
#include "kit/batch_writer.h"
#include "kit/date_sql.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "contact_file_path";
constexpr char kImageFileKey[] = "contact_image_file_path";
constexpr char kSecondFilesKey[] = "contact_files_path";
constexpr char kMissingInput[] = "No primary file or second files.";

constexpr size_t kContactsPerFile = 1000;
constexpr char kContactFilePrefix[] = "KxDataPackage_Contact_";

// Properties of ABMultiValue.
constexpr int kPhone = 3;
constexpr int kEmail = 4;
constexpr int kAddress = 5;
constexpr int kDate = 12;
constexpr int kInstantMessaging = 13;
constexpr int kUrl = 22;
constexpr int kRelatedName = 23;
constexpr int kSocialProfile = 46;
// Social profiles rebuilt from the search index.
constexpr int kRebuiltSocialProfile = 44;

// ABPerson as the newest address books have it; what an older one lacks
// (PreviousFamilyName, AlternateBirthday...) and is_deleted of a book that
// never went through the merge read as NULL.
const std::vector<SelectedColumn> kPersonColumns = {
    {"ROWID", nullptr},
    {"First", nullptr},
    {"Last", nullptr},
    {"Middle", nullptr},
    {"Organization", nullptr},
    {"Note", nullptr},
    {KX_APPLE_LOCAL_DATE_SQL("Birthday"), "Birthday", "Birthday"},
    {"guid", nullptr},
    {"FirstPhonetic", nullptr},
    {"MiddlePhonetic", nullptr},
    {"LastPhonetic", nullptr},
    {"Department", nullptr},
    {"JobTitle", nullptr},
    {"Nickname", nullptr},
    {"Prefix", nullptr},
    {"Suffix", nullptr},
    {"AlternateBirthday", nullptr},
    {"PreviousFamilyName", nullptr},
    {"is_deleted", nullptr},
};
constexpr int kPersonRowId = 0;
constexpr int kPersonAlternateBirthday = 16;
constexpr int kPersonDeleted = 18;
// First, Last, Middle, Organization and Note: the name key of a person.
constexpr int kNameKeyColumns[] = {1, 2, 3, 4, 5};
// The columns of a multi-value as its record carries them; each query of
// every person's values ends in record_id, which the record leaves out.
const std::vector<SelectedColumn> kValueColumns = {{"property", nullptr},
                                                   {"label", nullptr},
                                                   {"value", nullptr},
                                                   {"is_deleted", nullptr},
                                                   {"record_id", nullptr}};
const std::vector<int> kValueRecordColumns = {0, 1, 2, 3};
const std::vector<SelectedColumn> kDateColumns = {
    {"property", nullptr},
    {"label", nullptr},
    {KX_APPLE_LOCAL_DATE_SQL("value"), "date", "value"},
    {"is_deleted", nullptr},
    {"record_id", nullptr}};
// Related names (a value) and the values with entries (a UID) in one query.
const std::vector<SelectedColumn> kLinkedColumns = {
    {"property", nullptr}, {"label", nullptr},      {"value", nullptr},
    {"UID", nullptr},      {"is_deleted", nullptr}, {"record_id", nullptr}};
const std::vector<int> kRelatedRecordColumns = {0, 1, 2, 4};
const std::vector<int> kEntryParentRecordColumns = {0, 1, 3, 4};
constexpr int kLinkedUid = 3;
// The places of the columns every record query starts with.
constexpr int kRecordProperty = 0;
constexpr int kRecordLabel = 1;
const std::vector<SelectedColumn> kSearchColumns = {
    {"First", nullptr}, {"Last", nullptr},         {"Middle", nullptr}, {"Organization", nullptr},
    {"Note", nullptr},  {"Phone", nullptr},        {"Email", nullptr},  {"Address", nullptr},
    {"URL", nullptr},   {"RelatedNames", nullptr}, {"IM", nullptr},     {"SocialProfile", nullptr}};

constexpr char kEntriesSql[] =
    "SELECT ABMultiValueEntry.value AS entry, ABMultiValueEntryKey.value AS entry_key FROM "
    "ABMultiValueEntry LEFT JOIN ABMultiValueEntryKey ON ABMultiValueEntry.key = "
    "ABMultiValueEntryKey.rowid WHERE parent_id = ? ORDER BY key ASC";
constexpr int kEntryValueColumn = 0;
constexpr char kLabelSql[] = "SELECT value AS label_name FROM ABMultiValueLabel WHERE rowid = ?";
// Every picture, person by person: the first of a person's is the one taken.
constexpr char kPicturesSql[] = "SELECT record_id, data FROM ABFullSizeImage ORDER BY record_id";
constexpr char kThumbnailsSql[] = "SELECT record_id, data FROM ABThumbnailImage ORDER BY record_id";
constexpr char kOrphansSql[] =
    "SELECT record_id, property, identifier, label, value FROM ABMultiValue WHERE record_id NOT "
    "IN (SELECT ROWID FROM ABPerson) ORDER BY record_id";

// A query over what `table` has (`columns`), logged once per table when it
// lacks a column.
std::string AdaptedQuery(const TableColumns& columns, const char* table,
                         const std::vector<SelectedColumn>& wanted, const std::string& tail,
                         const char* stem) {
  std::string missing;
  const std::string list = columns.SelectList(wanted, &missing);
  if (columns.exists() && !missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", table, missing.c_str());
  }
  return "SELECT " + list + " FROM " + table + tail;
}

std::string AdaptedQuery(const SQLite3Wrapper& db, const char* table,
                         const std::vector<SelectedColumn>& wanted, const std::string& tail,
                         const char* stem) {
  return AdaptedQuery(TableColumns(db, table), table, wanted, tail, stem);
}

// "hebrew" 0, "islamic-civil" 1, "chinese" 2, anything else 3.
int AlternateBirthdayType(const SqliteStatement& person) {
  if (person.ColumnType(kPersonAlternateBirthday) != SQLITE_TEXT) return 3;
  const std::string_view text = person.ColumnTextView(kPersonAlternateBirthday);
  const char* calendars[] = {"hebrew", "islamic-civil", "chinese"};
  for (int type = 0; type < 3; ++type) {
    if (text.find(calendars[type]) != std::string_view::npos) return type;
  }
  return 3;
}

ResultRow ReadRow(const SqliteStatement& query) {
  ResultRow row;
  for (int column = 0; column < query.ColumnCount(); ++column) {
    ReadColumnIntoRow(query, column, &row);
  }
  return row;
}

Json::Value ToJson(const ResultRow& row) {
  Json::Value object(Json::objectValue);
  RowToJson(row, &object);
  return object;
}

// One contact on its way to a contact file, with the two keys that tell
// whether a contact rebuilt from the search index is one already packaged.
struct Contact {
  Json::Value object{Json::objectValue};
  std::string name_key;
  std::string value_key;
};

std::string NameKey(const Json::Value& person) {
  std::string key;
  for (const char* member : {"First", "Last", "Middle", "Organization", "Note"}) {
    if (person.isMember(member) && person[member].isString()) key += person[member].asString();
  }
  return key;
}

// The values of the phone, e-mail, URL and related-name records, then the
// entries of the IM and social records, each followed by a blank.
std::string ValueKey(const Json::Value& contact) {
  std::string key;
  for (const char* list : {"phone_info", "email_info", "url_info", "relate_name_info"}) {
    for (const Json::Value& record : contact[list]) {
      if (record["value"].isString()) key += record["value"].asString() + " ";
    }
  }
  for (const char* list : {"im_info", "social_info"}) {
    for (const Json::Value& record : contact[list]) {
      for (const Json::Value& entry : record["entry_n_key"]) {
        if (entry["entry"].isString()) key += entry["entry"].asString() + " ";
      }
    }
  }
  return key;
}

// The lists of a contact, filled record by record.
struct ContactLists {
  Json::Value phones{Json::arrayValue}, emails{Json::arrayValue}, urls{Json::arrayValue};
  Json::Value related{Json::arrayValue}, dates{Json::arrayValue};
  Json::Value addresses{Json::arrayValue}, messaging{Json::arrayValue}, social{Json::arrayValue};

  void Add(int property, Json::Value record) {
    switch (property) {
      case kPhone:
        phones.append(std::move(record));
        break;
      case kEmail:
        emails.append(std::move(record));
        break;
      case kRelatedName:
        related.append(std::move(record));
        break;
      case kDate:
        dates.append(std::move(record));
        break;
      case kAddress:
        addresses.append(std::move(record));
        break;
      case kInstantMessaging:
        messaging.append(std::move(record));
        break;
      case kSocialProfile:
      case kRebuiltSocialProfile:
        social.append(std::move(record));
        break;
      default:
        urls.append(std::move(record));
        break;
    }
  }

  // Phones, e-mails and URLs are always there (null when empty); the other
  // lists only when they hold a record.
  void MoveInto(Json::Value* contact) {
    (*contact)["phone_info"] = phones.empty() ? Json::Value() : std::move(phones);
    (*contact)["email_info"] = emails.empty() ? Json::Value() : std::move(emails);
    (*contact)["url_info"] = urls.empty() ? Json::Value() : std::move(urls);
    const std::pair<const char*, Json::Value*> optional[] = {{"relate_name_info", &related},
                                                             {"date_info", &dates},
                                                             {"address_info", &addresses},
                                                             {"im_info", &messaging},
                                                             {"social_info", &social}};
    for (const auto& [name, list] : optional) {
      if (!list->empty()) (*contact)[name] = std::move(*list);
    }
  }
};

// `value` as WriteJson lays it out `depth` steps into a contact file: the
// text of an element written ahead (see JsonTextWriter::Element). The tree
// writer indents a nested value as it does a whole document, line by line.
std::string IndentedJson(const Json::Value& value, size_t depth) {
  return ReplaceAll(WriteJson(value), "\n", "\r\n" + std::string(depth * 3, ' '));
}

// Depths of a contact file: a contact, a record of one of its lists.
constexpr size_t kContactDepth = 2;
constexpr size_t kRecordDepth = 4;

// Writes contacts 1000 to a file, each as it comes, and remembers the keys
// of those taken.
class ContactFiles {
 public:
  // The line ends of a text-mode file on the hosts the files are read on,
  // so the bytes are the same wherever the library runs.
  ContactFiles(std::string folder, const char* stem)
      : batches_(std::move(folder), "contacts_info", "size", true), stem_(stem) {}

  // The writer to write the next contact into, as an element of the open
  // file's list; Taken() follows it.
  JsonBufferWriter* Next() { return batches_.Next(); }

  // The value keys the contacts rebuilt from the search index have: only
  // those are remembered of the contacts taken, so that the memory follows
  // what the index alone keeps rather than the size of the book.
  void WatchValueKeys(std::unordered_set<std::string> keys) { watched_keys_ = std::move(keys); }

  // The keys are recorded as the contact is taken, so that a rebuilt
  // contact is compared with every contact of the run, written or not.
  void Taken(const std::string& name_key, std::string value_key) {
    if (name_key.empty()) empty_name_taken_ = true;
    if (watched_keys_.count(value_key) != 0) value_keys_.insert(std::move(value_key));
    ++count_;
    if (static_cast<size_t>(batches_.size()) == kContactsPerFile) Flush();
  }

  // A contact made as a tree (people known only from their traces).
  void Add(const Contact& contact) {
    JsonBufferWriter* writer = Next();
    if (StreamableJsonValue(contact.object)) {
      WriteJsonValue(contact.object, writer);
    } else {
      writer->Element(IndentedJson(contact.object, kContactDepth), kContactDepth);
    }
    Taken(contact.name_key, contact.value_key);
  }

  void Flush() {
    if (batches_.size() == 0) return;
    // A file numbered by its batch.
    const BatchFile file = batches_.Write(
        kContactFilePrefix + std::to_string((count_ - 1) / kContactsPerFile + 1) + ".json");
    if (!file.written()) {
      KX_LOG_AT(kLogError, stem_, "Fail to write contact file %s.", file.path.c_str());
    }
    paths_.append(file.path);
  }

  // Whether a rebuilt contact is one of those already taken.
  bool Known(const Contact& contact) const {
    if (value_keys_.count(contact.value_key) != 0) return true;
    return contact.name_key.empty() && contact.value_key.empty() && empty_name_taken_;
  }

  size_t count() const { return count_; }
  Json::Value& paths() { return paths_; }

 private:
  BatchWriter batches_;
  const char* stem_;
  size_t count_ = 0;
  Json::Value paths_{Json::arrayValue};
  bool empty_name_taken_ = false;
  std::unordered_set<std::string> watched_keys_;
  std::unordered_set<std::string> value_keys_;
};

// An integer column, 0 when it holds anything else (as a result row reads it).
int64_t IntegerColumn(const SqliteStatement& row, int column) {
  return row.ColumnType(column) == SQLITE_INTEGER ? row.ColumnInt64(column) : 0;
}

// The rows of a query ordered by the person they belong to (the integer in
// their last column), read alongside the people in ROWID order: one pass
// over the table serves every person.
class PersonRows {
 public:
  PersonRows() = default;
  explicit PersonRows(SqliteStatement statement, int id_column)
      : statement_(std::move(statement)), id_column_(id_column) {}

  // Moves to the first row of `person`; false when it has none.
  bool First(int64_t person) {
    if (!started_) {
      started_ = true;
      Advance();
    }
    while (has_row_ && (statement_.ColumnType(id_column_) != SQLITE_INTEGER ||
                        statement_.ColumnInt64(id_column_) < person)) {
      Advance();
    }
    return Matches(person);
  }
  // Moves to the next row of `person`; false past the last.
  bool Next(int64_t person) {
    Advance();
    return Matches(person);
  }

  const SqliteStatement& row() const { return statement_; }

 private:
  void Advance() { has_row_ = statement_.prepared() && statement_.Step() == SQLITE_ROW; }
  bool Matches(int64_t person) const {
    return has_row_ && statement_.ColumnType(id_column_) == SQLITE_INTEGER &&
           statement_.ColumnInt64(id_column_) == person;
  }

  SqliteStatement statement_;
  int id_column_ = 0;
  bool started_ = false;
  bool has_row_ = false;
};

// The members of an object written from one row, in the writer's order:
// columns of the row and members the packager adds.
struct MemberPlan {
  struct Slot {
    JsonName name;
    int column;  // a column of the row, or one of the added members below
  };
  std::vector<Slot> slots;
};

// Added members of a record and of a contact.
constexpr int kLabelNameSlot = -1;
constexpr int kTagSlot = -2;
constexpr int kEntriesSlot = -3;
constexpr int kAltBirthdaySlot = -4;
constexpr int kImagePathSlot = -5;
constexpr int kThumbPathSlot = -6;
// A contact's lists, ContactLists' order.
constexpr int kListSlot = -100;
constexpr const char* kListNames[] = {"phone_info", "email_info",   "url_info", "relate_name_info",
                                      "date_info",  "address_info", "im_info",  "social_info"};
constexpr int kListCount = 8;
// Lists that are null when empty rather than left out.
constexpr int kAlwaysListed = 3;

int ListIndex(int property) {
  switch (property) {
    case kPhone:
      return 0;
    case kEmail:
      return 1;
    case kRelatedName:
      return 3;
    case kDate:
      return 4;
    case kAddress:
      return 5;
    case kInstantMessaging:
      return 6;
    case kSocialProfile:
    case kRebuiltSocialProfile:
      return 7;
    default:
      return 2;
  }
}

MemberPlan MakePlan(const SqliteStatement& row, const std::vector<int>& columns,
                    const std::vector<std::pair<const char*, int>>& added) {
  MemberPlan plan;
  for (const int column : row.prepared() ? columns : std::vector<int>()) {
    const char* name = sqlite3_column_name(row.handle(), column);
    if (name != nullptr) plan.slots.push_back({JsonName(name), column});
  }
  for (const auto& [name, slot] : added) plan.slots.push_back({JsonName(name), slot});
  std::sort(plan.slots.begin(), plan.slots.end(),
            [](const auto& a, const auto& b) { return a.name.name() < b.name.name(); });
  return plan;
}

std::vector<int> ColumnRange(const SqliteStatement& row) {
  std::vector<int> columns;
  if (row.prepared()) {
    for (int column = 0; column < row.ColumnCount(); ++column) columns.push_back(column);
  }
  return columns;
}

// The text of a text or blob column's string member onto a key; false for
// a column of no string member.
bool AppendKeyText(const SqliteStatement& row, int column, std::string* key) {
  const int type = row.ColumnType(column);
  if (type == SQLITE_TEXT) {
    key->append(row.ColumnTextView(column));
  } else if (type == SQLITE_BLOB) {
    const std::string_view bytes = row.ColumnBlobView(column);
    key->append(Base64Encode(bytes.data(), bytes.size()));
  } else {
    return false;
  }
  return true;
}

// The same followed by a blank, as the value key takes it.
void AppendKeyPart(const SqliteStatement& row, int column, std::string* key) {
  if (AppendKeyText(row, column, key)) key->push_back(' ');
}

// The records of one list of a contact, written ahead, and their part of
// the value key.
struct ListText {
  std::string text;
  std::vector<size_t> ends;
  std::string key;

  void Clear() {
    text.clear();
    ends.clear();
    key.clear();
  }
};

// The address book's statements, prepared once. The values and pictures of
// every person are read in passes ordered by person, met as the people go
// by; the entries of a value and the label names are looked up with
// statements reset between values. A statement a book of another version
// cannot prepare is logged once and reads as empty.
class AddressBook {
 public:
  AddressBook(const SQLite3Wrapper& book, const SQLite3Wrapper& images, std::string folder,
              const char* stem)
      : book_(book), images_(images), folder_(std::move(folder)), stem_(stem) {
    const char* multi_value = "ABMultiValue";
    const TableColumns multi_value_columns(book_, multi_value);
    // Grouped as a person's values always were: a value repeated under the
    // same property and label is one record.
    values_ =
        PersonRows(Prepare(book_, AdaptedQuery(multi_value_columns, multi_value, kValueColumns,
                                               " WHERE (property = 3 OR property = 4 OR "
                                               "property = 22) GROUP BY record_id, "
                                               "property, label, value ORDER BY "
                                               "record_id, property, label, value",
                                               stem)),
                   4);
    linked_ = PersonRows(
        Prepare(book_,
                AdaptedQuery(multi_value_columns, multi_value, kLinkedColumns,
                             " WHERE property IN (5, 13, 23, 46) ORDER BY record_id, ROWID", stem)),
        5);
    dates_ = PersonRows(Prepare(book_, AdaptedQuery(multi_value_columns, multi_value, kDateColumns,
                                                    " WHERE property = 12 GROUP BY record_id, "
                                                    "label, date ORDER BY record_id, label, date",
                                                    stem)),
                        4);
    entries_ = Prepare(book_, kEntriesSql);
    labels_ = Prepare(book_, kLabelSql);
    const std::vector<std::pair<const char*, int>> added = {{"label_name", kLabelNameSlot},
                                                            {"tag", kTagSlot}};
    values_kind_ = {MakePlan(values_.row(), kValueRecordColumns, added), kValueRecordColumns, 2};
    related_kind_ = {MakePlan(linked_.row(), kRelatedRecordColumns, added), kRelatedRecordColumns,
                     2};
    std::vector<std::pair<const char*, int>> with_entries = added;
    with_entries.emplace_back("entry_n_key", kEntriesSlot);
    parent_kind_ = {MakePlan(linked_.row(), kEntryParentRecordColumns, with_entries),
                    kEntryParentRecordColumns, -1};
    dates_kind_ = {MakePlan(dates_.row(), kValueRecordColumns, added), kValueRecordColumns, -1};
    entry_plan_ = MakePlan(entries_, ColumnRange(entries_), {});
    // Without a picture database (absent, or no database) the people come
    // without pictures; that was logged when it was opened.
    if (images_.handle() != nullptr) {
      pictures_ = PersonRows(Prepare(images_, kPicturesSql), 0);
      thumbnails_ = PersonRows(Prepare(images_, kThumbnailsSql), 0);
    }
  }

  // The label's text, "default" when the label id names none.
  const std::string& LabelName(int64_t label) {
    const auto cached = label_names_.find(label);
    if (cached != label_names_.end()) return cached->second;
    std::string name = "default";
    if (Rebind(&labels_, label) && labels_.Step() == SQLITE_ROW) name = labels_.ColumnText(0);
    return label_names_.emplace(label, std::move(name)).first->second;
  }

  // A multi-value record with its tag and label name.
  Json::Value Record(const ResultRow& row) {
    Json::Value record = ToJson(row);
    if (row.GetInteger("is_deleted") != 0) record["tag"] = "deleted";
    record["label_name"] = LabelName(row.GetInteger("label"));
    return record;
  }

  // The same of the current row of one of the value passes, made of
  // `columns`, the last of them is_deleted.
  Json::Value Record(const SqliteStatement& row, const std::vector<int>& columns) {
    Json::Value record(Json::objectValue);
    for (const int column : columns) ReadRowColumnIntoJson(row, column, &record);
    if (IntegerColumn(row, columns.back()) != 0) record["tag"] = "deleted";
    record["label_name"] = LabelName(IntegerColumn(row, kRecordLabel));
    return record;
  }

  // The entries of the value `uid`, or null when it has none.
  Json::Value Entries(int64_t uid) {
    Json::Value entries(Json::arrayValue);
    if (!Rebind(&entries_, uid)) return Json::Value();
    while (entries_.Step() == SQLITE_ROW) {
      Json::Value entry(Json::objectValue);
      ReadRowIntoJson(entries_, &entry);
      entries.append(std::move(entry));
    }
    return entries.empty() ? Json::Value() : entries;
  }

  void AddRecordWithEntries(const ResultRow& row, int64_t uid, ContactLists* lists) {
    Json::Value record = Record(row);
    Json::Value entries = Entries(uid);
    if (!entries.isNull()) record["entry_n_key"] = std::move(entries);
    lists->Add(static_cast<int>(row.GetInteger("property")), std::move(record));
  }

  // Writes the person of the current row of `people` (planned by
  // `plan`) with its values and pictures as the next contact of `files`.
  void WriteLiveContact(const SqliteStatement& people, const MemberPlan& plan,
                        ContactFiles* files) {
    const int64_t person = IntegerColumn(people, kPersonRowId);
    for (ListText& list : lists_) list.Clear();
    for (bool at = values_.First(person); at; at = values_.Next(person)) {
      const SqliteStatement& row = values_.row();
      AddRecord(row, values_kind_, 0, &lists_[ListIndex(IntegerColumn(row, kRecordProperty))]);
    }
    for (bool at = linked_.First(person); at; at = linked_.Next(person)) {
      const SqliteStatement& row = linked_.row();
      const int property = static_cast<int>(IntegerColumn(row, kRecordProperty));
      const bool related = property == kRelatedName;
      AddRecord(row, related ? related_kind_ : parent_kind_, IntegerColumn(row, kLinkedUid),
                &lists_[ListIndex(property)]);
    }
    for (bool at = dates_.First(person); at; at = dates_.Next(person)) {
      AddRecord(dates_.row(), dates_kind_, 0, &lists_[ListIndex(kDate)]);
    }
    image_path_ = WritePicture(&pictures_, person, ".jpg");
    thumb_path_ = WritePicture(&thumbnails_, person, ".thumb");

    JsonBufferWriter* writer = files->Next();
    writer->BeginObject();
    for (const MemberPlan::Slot& slot : plan.slots) {
      if (slot.column >= 0) {
        WriteRowColumnMember(people, slot.column, slot.name, writer);
      } else if (slot.column == kTagSlot) {
        if (IntegerColumn(people, kPersonDeleted) != 0) WriteString(slot.name, "deleted", writer);
      } else if (slot.column == kAltBirthdaySlot) {
        writer->Name(slot.name);
        writer->Int(AlternateBirthdayType(people));
      } else if (slot.column == kImagePathSlot || slot.column == kThumbPathSlot) {
        const std::string& path = slot.column == kImagePathSlot ? image_path_ : thumb_path_;
        if (!path.empty()) WriteString(slot.name, path, writer);
      } else {
        WriteList(slot.name, kListSlot - slot.column, writer);
      }
    }
    writer->EndObject();

    std::string name_key;
    for (const int column : kNameKeyColumns) AppendKeyText(people, column, &name_key);
    std::string value_key;
    for (const int list : {0, 1, 2, 3, 6, 7}) value_key += lists_[list].key;
    files->Taken(name_key, std::move(value_key));
  }

  const SQLite3Wrapper& book() const { return book_; }

 private:
  // How the rows of one value pass become records: their members, the
  // columns they are made of (is_deleted last), and the column whose text
  // goes into the value key (-1: none).
  struct RecordKind {
    MemberPlan plan;
    std::vector<int> columns;
    int key_column = -1;
  };

  template <typename Writer>
  static void WriteString(const JsonName& name, std::string_view text, Writer* writer) {
    writer->Name(name);
    writer->String(text);
  }

  void WriteList(const JsonName& name, int index, JsonBufferWriter* writer) {
    const ListText& list = lists_[index];
    if (list.ends.empty()) {
      if (index < kAlwaysListed) {
        writer->Name(name);
        writer->Null();
      }
      return;
    }
    writer->Name(name);
    writer->BeginArray();
    size_t start = 0;
    for (const size_t end : list.ends) {
      writer->Element(std::string_view(list.text).substr(start, end - start), kRecordDepth);
      start = end;
    }
    writer->EndArray();
  }

  // Writes the entries of the value `uid` ahead into entries_text_; false
  // when one of them has no member (an empty object, which only the tree
  // writer lays out).
  bool WriteEntries(int64_t uid, std::string* key) {
    entries_text_.clear();
    entry_ends_.clear();
    if (!Rebind(&entries_, uid)) return true;
    bool every_entry_has_members = true;
    while (entries_.Step() == SQLITE_ROW) {
      JsonTextWriter writer(&entries_text_, kRecordDepth + 2);
      writer.UseCrLf();
      writer.BeginObject();
      bool has_member = false;
      for (const MemberPlan::Slot& slot : entry_plan_.slots) {
        has_member = has_member || entries_.ColumnType(slot.column) != SQLITE_NULL;
        WriteRowColumnMember(entries_, slot.column, slot.name, &writer);
      }
      writer.EndObject();
      every_entry_has_members = every_entry_has_members && has_member;
      entry_ends_.push_back(entries_text_.size());
      if (key != nullptr) AppendKeyPart(entries_, kEntryValueColumn, key);
    }
    return every_entry_has_members;
  }

  // The current row of a value pass as the next record of `list`.
  void AddRecord(const SqliteStatement& row, const RecordKind& kind, int64_t uid, ListText* list) {
    const bool has_entries = &kind == &parent_kind_;
    const bool keyed_entries = list == &lists_[6] || list == &lists_[7];
    if (has_entries && !WriteEntries(uid, keyed_entries ? &list->key : nullptr)) {
      // The tree writer's layout of an entry without members.
      Json::Value record = Record(row, kind.columns);
      Json::Value entries = Entries(uid);
      if (!entries.isNull()) record["entry_n_key"] = std::move(entries);
      list->text += IndentedJson(record, kRecordDepth);
      list->ends.push_back(list->text.size());
      return;
    }
    if (kind.key_column >= 0) AppendKeyPart(row, kind.key_column, &list->key);
    const bool deleted = IntegerColumn(row, kind.columns.back()) != 0;
    JsonTextWriter writer(&list->text, kRecordDepth);
    writer.UseCrLf();
    writer.BeginObject();
    for (const MemberPlan::Slot& slot : kind.plan.slots) {
      if (slot.column >= 0) {
        WriteRowColumnMember(row, slot.column, slot.name, &writer);
      } else if (slot.column == kLabelNameSlot) {
        WriteString(slot.name, LabelName(IntegerColumn(row, kRecordLabel)), &writer);
      } else if (slot.column == kTagSlot) {
        if (deleted) WriteString(slot.name, "deleted", &writer);
      } else if (slot.column == kEntriesSlot && has_entries && !entry_ends_.empty()) {
        writer.Name(slot.name);
        writer.BeginArray();
        size_t start = 0;
        for (const size_t end : entry_ends_) {
          writer.Element(std::string_view(entries_text_).substr(start, end - start),
                         kRecordDepth + 2);
          start = end;
        }
        writer.EndArray();
      }
    }
    writer.EndObject();
    list->ends.push_back(list->text.size());
  }

  // Writes the person's first picture of a kind; its path, or "" when
  // there is none.
  std::string WritePicture(PersonRows* rows, int64_t person, const char* suffix) {
    if (!rows->First(person)) return std::string();
    const std::string_view bytes = rows->row().ColumnBlobView(1);
    if (bytes.empty()) return std::string();
    // The name is the person's number and a fixed suffix only.
    std::string path = JoinPath(folder_, std::to_string(person) + suffix);
    if (!WriteNewFile(path, bytes).ok()) {
      KX_LOG_AT(kLogProblem, stem_, "Fail to write picture %s.", path.c_str());
    }
    return path;
  }

  SqliteStatement Prepare(const SQLite3Wrapper& db, const std::string& sql) {
    SqliteStatement statement = PrepareStatement(db, sql);
    if (!statement.prepared()) KX_LOG_SQLITE_ERROR(stem_, db.handle());
    return statement;
  }

  static bool Rebind(SqliteStatement* query, int64_t value) {
    if (!query->prepared()) return false;
    query->Reset();
    return query->BindInt64(1, value) == SQLITE_OK;
  }

  const SQLite3Wrapper& book_;
  const SQLite3Wrapper& images_;
  const std::string folder_;
  const char* stem_;
  PersonRows values_, linked_, dates_, pictures_, thumbnails_;
  SqliteStatement entries_, labels_;
  RecordKind values_kind_, related_kind_, parent_kind_, dates_kind_;
  MemberPlan entry_plan_;
  // The person being written: its lists, entries and picture paths.
  ListText lists_[kListCount];
  std::string entries_text_;
  std::vector<size_t> entry_ends_;
  std::string image_path_, thumb_path_;
  std::unordered_map<int64_t, std::string> label_names_;
};

Contact Finished(Json::Value person, ContactLists* lists) {
  Contact contact;
  contact.name_key = NameKey(person);
  contact.object = std::move(person);
  lists->MoveInto(&contact.object);
  contact.value_key = ValueKey(contact.object);
  return contact;
}

// The people of ABPerson. False on a stop.
bool AddLiveContacts(AddressBook* book, SqliteStatement* people, const PackageContext& context,
                     ContactFiles* files) {
  std::vector<std::pair<const char*, int>> added = {{"tag", kTagSlot},
                                                    {"alt_birthday_type", kAltBirthdaySlot},
                                                    {"image_path", kImagePathSlot},
                                                    {"thumb_path", kThumbPathSlot}};
  for (int list = 0; list < kListCount; ++list)
    added.emplace_back(kListNames[list], kListSlot - list);
  const MemberPlan plan = MakePlan(*people, ColumnRange(*people), added);
  while (people->Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    book->WriteLiveContact(*people, plan, files);
  }
  return true;
}

// Values whose person is gone, one contact per former person.
void AddOrphanedContacts(AddressBook* book, ContactFiles* files) {
  SqliteStatement orphans = PrepareStatement(book->book(), kOrphansSql);
  bool open = false;
  int64_t current = 0;
  Json::Value person;
  ContactLists lists;
  auto finish = [&] {
    if (open) files->Add(Finished(std::move(person), &lists));
    lists = ContactLists();
  };
  while (orphans.Step() == SQLITE_ROW) {
    ResultRow row = ReadRow(orphans);
    const int64_t record_id = row.GetInteger("record_id");
    if (!open || record_id != current) {
      finish();
      open = true;
      current = record_id;
      person = Json::Value(Json::objectValue);
      person["tag"] = "deleted";
    }
    row.texts["tag"] = "deleted";
    const int property = static_cast<int>(row.GetInteger("property"));
    switch (property) {
      case kPhone:
      case kEmail:
      case kUrl:
      case kRelatedName:
      case kDate:
        lists.Add(property, book->Record(row));
        break;
      case kAddress:
      case kInstantMessaging:
      case kSocialProfile:
        // The query selects no UID: the entries are looked up under 0.
        book->AddRecordWithEntries(row, 0, &lists);
        break;
      default:
        break;
    }
  }
  finish();
}

Json::Value Rebuilt(int property, const std::string& value) {
  Json::Value record(Json::objectValue);
  record["label_name"] = "default";
  if (!value.empty()) record["value"] = value;
  record["property"] = property;
  record["tag"] = "deleted";
  return record;
}

Json::Value Entry(const char* key, const std::string& value) {
  Json::Value entry(Json::objectValue);
  entry["entry_key"] = key;
  entry["entry"] = value;
  return entry;
}

// The columns of the full-text search index a rebuilt contact takes its
// valued records from, and its account records (entries, no value), in the
// order of ContactLists and of ValueKey.
constexpr std::pair<const char*, int> kRebuiltValued[] = {
    {"Phone", kPhone}, {"Email", kEmail}, {"URL", kUrl}, {"RelatedNames", kRelatedName}};
constexpr std::pair<const char*, int> kRebuiltAccounts[] = {
    {"IM", kInstantMessaging}, {"SocialProfile", kRebuiltSocialProfile}};

// The distinct values of one of the index's value columns, each once, phone
// numbers of implausible length left out.
std::vector<std::string> RebuiltValues(const ResultRow& row, const char* column, int property) {
  std::vector<std::string> values;
  std::unordered_set<std::string> taken;
  for (std::string& piece : SplitString(row.GetText(column), ' ')) {
    if (property == kPhone && (piece.size() < 4 || piece.size() > 99)) continue;
    if (!taken.insert(piece).second) continue;
    values.push_back(std::move(piece));
  }
  return values;
}

// A contact made from one row of the full-text search index.
Contact RebuildContact(const ResultRow& row) {
  Json::Value person(Json::objectValue);
  for (const char* member : {"First", "Last", "Middle", "Organization", "Note"}) {
    if (row.GetValueKind(member) == kValueText) person[member] = row.GetText(member);
  }
  person["tag"] = "deleted";
  ContactLists lists;
  for (const auto& [column, property] : kRebuiltValued) {
    for (const std::string& value : RebuiltValues(row, column, property)) {
      lists.Add(property, Rebuilt(property, value));
    }
  }
  const std::string address = row.GetText("Address");
  if (!address.empty()) {
    Json::Value record = Rebuilt(kAddress, std::string());
    record["entry_n_key"].append(Entry("Street", address));
    lists.Add(kAddress, std::move(record));
  }
  for (const auto& [column, property] : kRebuiltAccounts) {
    for (const std::string& piece : SplitString(row.GetText(column), ' ')) {
      Json::Value record = Rebuilt(property, std::string());
      // The index keeps the user name alone: the service is not known.
      record["entry_n_key"].append(Entry("service", ""));
      record["entry_n_key"].append(Entry("username", piece));
      lists.Add(property, std::move(record));
    }
  }
  return Finished(std::move(person), &lists);
}

// The value key of the contact RebuildContact makes of `row`, without
// making it: its values (never empty) and its account entries, the
// service's empty one first, each followed by a blank.
std::string RebuiltValueKey(const ResultRow& row) {
  std::string key;
  for (const auto& [column, property] : kRebuiltValued) {
    for (const std::string& value : RebuiltValues(row, column, property)) {
      key += value;
      key += ' ';
    }
  }
  for (const auto& [column, property] : kRebuiltAccounts) {
    for (const std::string& piece : SplitString(row.GetText(column), ' ')) {
      key += ' ';
      key += piece;
      key += ' ';
    }
  }
  return key;
}

// The index keeps a person under the ROWID of ABPerson; a row whose person
// a table still holds (ABPerson, or the values orphaned contacts come
// from) is that person, whose index text seldom matches the values it was
// made from (numbers are indexed in pieces).
std::string IndexTail(const SQLite3Wrapper& book, const TableColumns& index) {
  std::vector<std::string> conditions;
  if (index.Has("Birthday") && index.Has("Date")) {
    conditions.push_back("Birthday is null and Date is null");
  }
  conditions.push_back("rowid NOT IN (SELECT ROWID FROM ABPerson)");
  if (TableColumns(book, "ABMultiValue").Has("record_id")) {
    conditions.push_back("rowid NOT IN (SELECT record_id FROM ABMultiValue)");
  }
  std::string tail;
  for (const std::string& condition : conditions) {
    tail += (tail.empty() ? " where " : " and ") + condition;
  }
  return tail;
}

// The query of the people only the search index remembers; "" when the
// book has no index.
std::string RebuildQuery(const SQLite3Wrapper& book, const char* stem) {
  const char* index_table = "ABPersonFullTextSearch";
  const TableColumns columns(book, index_table);
  if (!columns.exists()) return std::string();
  return AdaptedQuery(book, index_table, kSearchColumns, IndexTail(book, columns), stem);
}

// Calls `take` with each contact rebuilt by `query` (RebuildQuery).
template <typename Take>
void ForEachRebuiltContact(const SQLite3Wrapper& book, const std::string& query, Take take) {
  if (query.empty()) return;
  SqliteStatement rows = PrepareStatement(book, query);
  while (rows.Step() == SQLITE_ROW) {
    const ResultRow row = ReadRow(rows);
    Contact contact = RebuildContact(row);
    // RebuiltValueKeys keys the index's rows without building contacts;
    // the two keys must agree (checked where assertions are on: the tests).
    assert(RebuiltValueKey(row) == contact.value_key);
    take(std::move(contact));
  }
}

// The value keys of the contacts `query` rebuilds.
std::unordered_set<std::string> RebuiltValueKeys(const SQLite3Wrapper& book,
                                                 const std::string& query) {
  std::unordered_set<std::string> keys;
  if (query.empty()) return keys;
  SqliteStatement rows = PrepareStatement(book, query);
  while (rows.Step() == SQLITE_ROW) keys.insert(RebuiltValueKey(ReadRow(rows)));
  return keys;
}

// People only the search index remembers, each once, unless one of them
// was packaged.
void AddRebuiltContacts(const SQLite3Wrapper& book, const std::string& query, ContactFiles* files) {
  ForEachRebuiltContact(book, query, [files](Contact contact) {
    if (!files->Known(contact)) files->Add(contact);
  });
}

}  // namespace

int IosContactDataFilter(DataTypeRecord* record, SqliteConfig* config,
                         const PackageContext& context) {
  static const MergeRule kMergeRule = {
      kPrimaryFileKey, kSecondFilesKey, kMissingInput, kMissingInput,     false,
      kSystemIos,      kConfigContact,  true,          CreateFieldIndexes};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int IosContactDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* book_path = BeginPackage(*record, context, kPrimaryFileKey, "No primary file");
  const std::string* images_path = record->PrimaryFile(kImageFileKey);
  if (book_path == nullptr) return kStatusMissingInput;
  if (record->temp_folder.empty()) {
    KX_LOG_AT(kLogError, context.stem, "No primary file");
    return kStatusMissingInput;
  }
  PackageSource book(*book_path, context);
  if (book.status() != kStatusOk) return book.status();
  // Pictures are optional: a missing or damaged picture database leaves
  // the contacts without them.
  const bool has_images = images_path != nullptr && !images_path->empty();
  SQLite3Wrapper images(has_images ? *images_path : std::string());
  if (!has_images) {
    KX_LOG_AT(kLogProblem, context.stem,
              "The picture database was absent: the contacts come without pictures.");
  } else if (images.Open() != SQLITE_OK) {
    KX_LOG_AT(kLogProblem, context.stem, "sqlite error message : %s.",
              images.ErrorMessage().c_str());
    images.Close();
  }
  SqliteStatement people = PrepareStatement(
      book, AdaptedQuery(book, "ABPerson", kPersonColumns, " ORDER BY ROWID", context.stem));
  if (!people.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, book.handle());
    return kStatusPrepareFailed;
  }

  ContactFiles files(record->temp_folder, context.stem);
  {
    const ReadTransaction transaction(book);
    AddressBook address_book(book, images, record->temp_folder, context.stem);
    const std::string rebuild_query = RebuildQuery(book, context.stem);
    files.WatchValueKeys(RebuiltValueKeys(book, rebuild_query));
    if (!AddLiveContacts(&address_book, &people, context, &files)) return PackageStopped(context);
    AddOrphanedContacts(&address_book, &files);
    AddRebuiltContacts(book, rebuild_query, &files);
  }
  files.Flush();

  Json::Value document(Json::objectValue);
  document["contact_file_path"] = std::move(files.paths());
  document["contact_num"] = Json::UInt64(files.count());
  return FinishPackage(book, context, WriteJson(document));
}

}  // namespace kx
