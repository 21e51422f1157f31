#include "ios/contacts.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/text.h"
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
const std::vector<SelectedColumn> kValueColumns = {
    {"property", nullptr}, {"label", nullptr}, {"value", nullptr}, {"is_deleted", nullptr}};
const std::vector<SelectedColumn> kEntryParentColumns = {
    {"property", nullptr}, {"label", nullptr}, {"UID", nullptr}, {"is_deleted", nullptr}};
const std::vector<SelectedColumn> kDateColumns = {
    {"property", nullptr},
    {"label", nullptr},
    {KX_APPLE_LOCAL_DATE_SQL("value"), "date", "value"},
    {"is_deleted", nullptr}};
const std::vector<SelectedColumn> kSearchColumns = {
    {"First", nullptr}, {"Last", nullptr},         {"Middle", nullptr}, {"Organization", nullptr},
    {"Note", nullptr},  {"Phone", nullptr},        {"Email", nullptr},  {"Address", nullptr},
    {"URL", nullptr},   {"RelatedNames", nullptr}, {"IM", nullptr},     {"SocialProfile", nullptr}};

constexpr char kEntriesSql[] =
    "SELECT ABMultiValueEntry.value AS entry, ABMultiValueEntryKey.value AS entry_key FROM "
    "ABMultiValueEntry LEFT JOIN ABMultiValueEntryKey ON ABMultiValueEntry.key = "
    "ABMultiValueEntryKey.rowid WHERE parent_id = ? ORDER BY key ASC";
constexpr char kLabelSql[] = "SELECT value AS label_name FROM ABMultiValueLabel WHERE rowid = ?";
constexpr char kPictureSql[] = "SELECT data FROM ABFullSizeImage WHERE record_id = ?";
constexpr char kThumbnailSql[] = "SELECT data FROM ABThumbnailImage WHERE record_id = ?";
constexpr char kOrphansSql[] =
    "SELECT record_id, property, identifier, label, value FROM ABMultiValue WHERE record_id NOT "
    "IN (SELECT ROWID FROM ABPerson) ORDER BY record_id";

// A query over what `table` has, logged once per table when it lacks a
// column.
std::string AdaptedQuery(const SQLite3Wrapper& db, const char* table,
                         const std::vector<SelectedColumn>& wanted, const std::string& tail,
                         const char* stem) {
  const TableColumns columns(db, table);
  std::string missing;
  const std::string list = columns.SelectList(wanted, &missing);
  if (columns.exists() && !missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", table, missing.c_str());
  }
  return "SELECT " + list + " FROM " + table + tail;
}

// "hebrew" 0, "islamic-civil" 1, "chinese" 2, anything else 3.
int AlternateBirthdayType(const ResultRow& person) {
  if (person.GetValueKind("AlternateBirthday") != kValueText) return 3;
  const std::string text = person.GetText("AlternateBirthday");
  const char* calendars[] = {"hebrew", "islamic-civil", "chinese"};
  for (int type = 0; type < 3; ++type) {
    if (text.find(calendars[type]) != std::string::npos) return type;
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

// Writes contacts 1000 to a file and remembers the keys of those taken.
class ContactFiles {
 public:
  ContactFiles(std::string folder, const char* stem) : folder_(std::move(folder)), stem_(stem) {}

  // The keys are recorded as the contact is taken, so that a rebuilt
  // contact is compared with every contact of the run, written or not.
  void Add(Contact contact) {
    name_keys_.insert(contact.name_key);
    value_keys_.insert(contact.value_key);
    pending_.push_back(std::move(contact));
    ++count_;
    if (count_ % kContactsPerFile == 0) Flush();
  }

  void Flush() {
    if (pending_.empty()) return;
    Json::Value document(Json::objectValue);
    document["size"] = Json::UInt64(pending_.size());
    Json::Value& list = document["contacts_info"] = Json::Value(Json::arrayValue);
    for (Contact& contact : pending_) list.append(std::move(contact.object));
    pending_.clear();
    // A file numbered by its batch, in the line ends of a text-mode file on
    // the hosts the files are read on, so the bytes are the same wherever
    // the library runs.
    const std::string path =
        JoinPath(folder_, kContactFilePrefix + std::to_string((count_ - 1) / kContactsPerFile + 1) +
                              ".json");
    const std::string text = ReplaceAll(WriteJson(document), "\n", "\r\n");
    if (!WriteNewFile(path, text).ok()) {
      KX_LOG_AT(kLogError, stem_, "Fail to write contact file %s.", path.c_str());
    }
    paths_.append(path);
  }

  // Whether a rebuilt contact is one of those already taken.
  bool Known(const Contact& contact) const {
    if (value_keys_.count(contact.value_key) != 0) return true;
    return contact.name_key.empty() && contact.value_key.empty() &&
           name_keys_.count(contact.name_key) != 0;
  }

  size_t count() const { return count_; }
  Json::Value& paths() { return paths_; }

 private:
  std::string folder_;
  const char* stem_;
  std::vector<Contact> pending_;
  size_t count_ = 0;
  Json::Value paths_{Json::arrayValue};
  std::unordered_set<std::string> name_keys_;
  std::unordered_set<std::string> value_keys_;
};

// The address book's statements, prepared once and reset between people.
// A statement a book of another version cannot prepare is logged once and
// reads as empty.
class AddressBook {
 public:
  AddressBook(const SQLite3Wrapper& book, const SQLite3Wrapper& images, std::string folder,
              const char* stem)
      : book_(book), images_(images), folder_(std::move(folder)), stem_(stem) {
    const char* multi_value = "ABMultiValue";
    values_ = Prepare(book_, AdaptedQuery(book_, multi_value, kValueColumns,
                                          " WHERE record_id = ? AND (property = 3 OR property = 4 "
                                          "OR property = 22) group by property, label, value",
                                          stem));
    related_ = Prepare(book_, AdaptedQuery(book_, multi_value, kValueColumns,
                                           " WHERE record_id = ? AND property = 23", stem));
    entry_parents_ = Prepare(book_, AdaptedQuery(book_, multi_value, kEntryParentColumns,
                                                 " WHERE record_id = ? AND property = ?", stem));
    dates_ = Prepare(book_, AdaptedQuery(book_, multi_value, kDateColumns,
                                         " WHERE record_id = ? AND property = 12 group by label, "
                                         "date",
                                         stem));
    entries_ = Prepare(book_, kEntriesSql);
    labels_ = Prepare(book_, kLabelSql);
    // Without a picture database (absent, or no database) the people come
    // without pictures; that was logged when it was opened.
    if (images_.handle() != nullptr) {
      pictures_ = Prepare(images_, kPictureSql);
      thumbnails_ = Prepare(images_, kThumbnailSql);
    }
  }

  // The label's text, "default" when the label id names none.
  std::string LabelName(int64_t label) {
    const auto cached = label_names_.find(label);
    if (cached != label_names_.end()) return cached->second;
    std::string name = "default";
    if (Rebind(&labels_, label) && labels_.Step() == SQLITE_ROW) name = labels_.ColumnText(0);
    label_names_.emplace(label, name);
    return name;
  }

  // A multi-value record with its tag and label name.
  Json::Value Record(const ResultRow& row) {
    Json::Value record = ToJson(row);
    if (row.GetInteger("is_deleted") != 0) record["tag"] = "deleted";
    record["label_name"] = LabelName(row.GetInteger("label"));
    return record;
  }

  // The entries of the value `uid`, or null when it has none.
  Json::Value Entries(int64_t uid) {
    Json::Value entries(Json::arrayValue);
    if (!Rebind(&entries_, uid)) return Json::Value();
    while (entries_.Step() == SQLITE_ROW) entries.append(ToJson(ReadRow(entries_)));
    return entries.empty() ? Json::Value() : entries;
  }

  void AddRecordWithEntries(const ResultRow& row, int64_t uid, ContactLists* lists) {
    Json::Value record = Record(row);
    Json::Value entries = Entries(uid);
    if (!entries.isNull()) record["entry_n_key"] = std::move(entries);
    lists->Add(static_cast<int>(row.GetInteger("property")), std::move(record));
  }

  void ReadLists(int64_t person, ContactLists* lists) {
    for (SqliteStatement* query : {&values_, &related_}) {
      if (!Rebind(query, person)) continue;
      while (query->Step() == SQLITE_ROW) {
        const ResultRow row = ReadRow(*query);
        lists->Add(static_cast<int>(row.GetInteger("property")), Record(row));
      }
    }
    for (const int property : {kAddress, kInstantMessaging, kSocialProfile}) {
      if (!Rebind(&entry_parents_, person) || entry_parents_.BindInt(2, property) != SQLITE_OK) {
        continue;
      }
      while (entry_parents_.Step() == SQLITE_ROW) {
        const ResultRow row = ReadRow(entry_parents_);
        AddRecordWithEntries(row, row.GetInteger("UID"), lists);
      }
    }
    if (Rebind(&dates_, person)) {
      while (dates_.Step() == SQLITE_ROW) lists->Add(kDate, Record(ReadRow(dates_)));
    }
  }

  // Writes the person's picture and thumbnail and names their files.
  void AddPictures(int64_t person, Json::Value* contact) {
    const std::pair<SqliteStatement*, std::pair<const char*, const char*>> kinds[] = {
        {&pictures_, {".jpg", "image_path"}}, {&thumbnails_, {".thumb", "thumb_path"}}};
    for (const auto& [query, naming] : kinds) {
      if (!Rebind(query, person) || query->Step() != SQLITE_ROW) continue;
      const std::string_view bytes = query->ColumnBlobView(0);
      if (bytes.empty()) continue;
      // The name is the person's number and a fixed suffix only.
      const std::string path = JoinPath(folder_, std::to_string(person) + naming.first);
      if (!WriteNewFile(path, bytes).ok()) {
        KX_LOG_AT(kLogProblem, stem_, "Fail to write picture %s.", path.c_str());
      }
      (*contact)[naming.second] = path;
    }
  }

  const SQLite3Wrapper& book() const { return book_; }

 private:
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
  SqliteStatement values_, related_, entry_parents_, dates_, entries_, labels_;
  SqliteStatement pictures_, thumbnails_;
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
  while (people->Step() == SQLITE_ROW) {
    if (context.StopRequested()) return false;
    const ResultRow row = ReadRow(*people);
    const int64_t person_id = row.GetInteger("ROWID");
    Json::Value person = ToJson(row);
    if (row.GetInteger("is_deleted") != 0) person["tag"] = "deleted";
    person["alt_birthday_type"] = AlternateBirthdayType(row);
    ContactLists lists;
    book->ReadLists(person_id, &lists);
    book->AddPictures(person_id, &person);
    files->Add(Finished(std::move(person), &lists));
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

// A contact made from one row of the full-text search index.
Contact RebuildContact(const ResultRow& row) {
  Json::Value person(Json::objectValue);
  for (const char* member : {"First", "Last", "Middle", "Organization", "Note"}) {
    if (row.GetValueKind(member) == kValueText) person[member] = row.GetText(member);
  }
  person["tag"] = "deleted";
  ContactLists lists;
  const std::pair<const char*, int> valued[] = {
      {"Phone", kPhone}, {"Email", kEmail}, {"URL", kUrl}, {"RelatedNames", kRelatedName}};
  for (const auto& [column, property] : valued) {
    std::unordered_set<std::string> taken;
    for (const std::string& piece : SplitString(row.GetText(column), ' ')) {
      if (property == kPhone && (piece.size() < 4 || piece.size() > 99)) continue;
      if (!taken.insert(piece).second) continue;
      lists.Add(property, Rebuilt(property, piece));
    }
  }
  const std::string address = row.GetText("Address");
  if (!address.empty()) {
    Json::Value record = Rebuilt(kAddress, std::string());
    record["entry_n_key"].append(Entry("Street", address));
    lists.Add(kAddress, std::move(record));
  }
  const std::pair<const char*, int> accounts[] = {{"IM", kInstantMessaging},
                                                  {"SocialProfile", kRebuiltSocialProfile}};
  for (const auto& [column, property] : accounts) {
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

// People only the search index remembers, each once, unless one of them
// was packaged.
void AddRebuiltContacts(const SQLite3Wrapper& book, const char* stem, ContactFiles* files) {
  const char* index_table = "ABPersonFullTextSearch";
  const TableColumns columns(book, index_table);
  if (!columns.exists()) return;
  SqliteStatement rows = PrepareStatement(
      book, AdaptedQuery(book, index_table, kSearchColumns, IndexTail(book, columns), stem));
  while (rows.Step() == SQLITE_ROW) {
    Contact contact = RebuildContact(ReadRow(rows));
    if (!files->Known(contact)) files->Add(std::move(contact));
  }
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
  SQLite3Wrapper book(*book_path);
  const int opened = OpenSourceDatabase(&book, context.stem, __LINE__);
  if (opened != kStatusOk) return opened;
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
  SqliteStatement people =
      PrepareStatement(book, AdaptedQuery(book, "ABPerson", kPersonColumns, "", context.stem));
  if (!people.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, book.handle());
    return kStatusPrepareFailed;
  }

  ContactFiles files(record->temp_folder, context.stem);
  {
    const ReadTransaction transaction(book);
    AddressBook address_book(book, images, record->temp_folder, context.stem);
    if (!AddLiveContacts(&address_book, &people, context, &files)) return PackageStopped(context);
    AddOrphanedContacts(&address_book, &files);
    AddRebuiltContacts(book, context.stem, &files);
  }
  files.Flush();

  Json::Value document(Json::objectValue);
  document["contact_file_path"] = std::move(files.paths());
  document["contact_num"] = Json::UInt64(files.count());
  return FinishPackage(book, context, WriteJson(document));
}

}  // namespace kx
