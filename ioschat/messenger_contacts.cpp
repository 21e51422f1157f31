#include "ioschat/messenger_contacts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sql_identifier.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kStoreKey[] = "fbomnistore_file_path";
constexpr char kMissingInput[] = "No primary file.";
constexpr char kContactsTable[] = "contacts";

// Omnistore keeps one index table per collection and account; the
// account's id follows the collection name.
constexpr char kIndexTablesQuery[] =
    "select name from sqlite_master where type='table' and name like "
    "'%collection_index#messenger_contacts_ios%'";
constexpr char kKeyFields[] =
    " where (field_name ='phone_number_tokens' or field_name = "
    "'name_search_tokens' or field_name = 'username')";

// The lightspeed contacts table; older stores lack some of these columns.
const std::vector<SelectedColumn> kContactColumns = {
    {"name", "username"},
    {"profile_picture_url", nullptr},
    {"profile_picture_large_url", nullptr},
    {"phone_number", nullptr},
    {"email_address", nullptr},
};

std::vector<std::string> IndexTables(const SQLite3Wrapper& db) {
  std::vector<std::string> tables;
  SqliteStatement query = PrepareStatement(db, kIndexTablesQuery);
  while (query.Step() == SQLITE_ROW) tables.push_back(query.ColumnText(0));
  return tables;
}

// A contact of a collection index: its key, its last username, and the
// values of each token field in the order they were read.
struct IndexContact {
  std::string key;
  std::string username;
  bool has_username = false;
  std::vector<std::pair<std::string, std::vector<std::string>>> tokens;

  // One field row (columns from `first`: field name and value).
  void AddField(const SqliteStatement& row, int first) {
    const std::string_view field = row.ColumnTextView(first);
    if (field == "username") {
      username = row.ColumnText(first + 1);
      has_username = true;
      return;
    }
    auto list = tokens.begin();
    while (list != tokens.end() && list->first != field) ++list;
    if (list == tokens.end()) list = tokens.emplace(tokens.end(), std::string(field), 0);
    list->second.push_back(row.ColumnText(first + 1));
  }

  void Write(JsonBufferWriter* writer) {
    // Members in the writer's order: the token fields sort among the two
    // fixed names.
    std::vector<std::pair<std::string_view, const std::vector<std::string>*>> members;
    members.reserve(tokens.size() + 2);
    for (const auto& [name, values] : tokens) members.emplace_back(name, &values);
    members.emplace_back("primary_key", nullptr);
    if (has_username) members.emplace_back("username", nullptr);
    std::sort(members.begin(), members.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    writer->BeginObject();
    for (const auto& [name, values] : members) {
      writer->Name(name);
      if (values != nullptr) {
        writer->StringArray(*values);
      } else {
        writer->String(name == "username" ? username : key);
      }
    }
    writer->EndObject();
  }
};

// The contacts list, written as it is read: {"contacts": [...]}.
class ContactsDocument {
 public:
  ContactsDocument() : writer_(&text_) {
    writer_.BeginObject();
    writer_.Name("contacts");
    writer_.BeginArray();
  }

  JsonBufferWriter* writer() { return &writer_; }
  void Counted(bool empty) {
    ++count_;
    if (!empty) any_members_ = true;
  }
  // An object without members: only an array of nothing else is laid out on
  // one line, which Finish sees.
  void AddEmpty() {
    writer_.Element("{}", kElementDepth);
    Counted(true);
  }

  // The document's text; empty when it could not be written.
  std::string_view Finish() {
    if (count_ > 0 && !any_members_) {
      Json::Value document(Json::objectValue);
      Json::Value& contacts = document["contacts"] = Json::Value(Json::arrayValue);
      for (size_t i = 0; i < count_; ++i) contacts.append(Json::Value(Json::objectValue));
      text_.clear();
      text_.append(WriteJson(document));
      return text_.failed() ? std::string_view() : text_.view();
    }
    writer_.EndArray();
    writer_.EndObject();
    if (!writer_.complete() || text_.failed()) return std::string_view();
    return text_.view();
  }

 private:
  static constexpr size_t kElementDepth = 2;

  TextBuffer text_;
  JsonBufferWriter writer_;
  size_t count_ = 0;
  bool any_members_ = false;
};

// The people's keys are their numeric ids: a key written as a number
// without sign or leading zero is found as that number, in a sorted array,
// which costs far less than hashing its text; any other key by its text.
class ContactKeys {
 public:
  // Adds `key` as contact `index`; false when the key is known already.
  bool Add(const std::string& key, size_t index) {
    if (!by_text_.emplace(key, index).second) return false;
    int64_t number = 0;
    if (AsNumber(key, &number)) by_number_.emplace_back(number, index);
    return true;
  }

  // Call once every key is added.
  void Sort() { std::sort(by_number_.begin(), by_number_.end()); }

  // The contact of `key`, or -1.
  ptrdiff_t Find(std::string_view key) {
    int64_t number = 0;
    if (AsNumber(key, &number)) {
      const auto found =
          std::lower_bound(by_number_.begin(), by_number_.end(), std::make_pair(number, size_t{0}));
      return found != by_number_.end() && found->first == number
                 ? static_cast<ptrdiff_t>(found->second)
                 : -1;
    }
    text_.assign(key);
    const auto found = by_text_.find(text_);
    return found != by_text_.end() ? static_cast<ptrdiff_t>(found->second) : -1;
  }

 private:
  // Up to 18 digits: the text of exactly one number, which never overflows.
  static bool AsNumber(std::string_view text, int64_t* number) {
    if (text.empty() || text.size() > 18 || (text[0] == '0' && text.size() > 1)) return false;
    int64_t value = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    *number = value;
    return true;
  }

  std::unordered_map<std::string, size_t> by_text_;
  std::vector<std::pair<int64_t, size_t>> by_number_;  // sorted by Sort
  std::string text_;                                   // reused for look-ups by text
};

// Writes the contacts of one index table, in the order their keys first
// appear. The field rows are read in one pass under the same condition a
// query per key would have, so each contact gets its rows in the same
// order. Returns 0 (also on a stop, which drops the contacts in hand),
// 1106 or 1107.
int WriteIndexTable(const SQLite3Wrapper& db, const std::string& table,
                    const PackageContext& context, ContactsDocument* document) {
  const std::string quoted = QuotedIdentifier(table);
  std::vector<IndexContact> found;
  ContactKeys keys;
  {
    SqliteStatement query = PrepareStatement(db, "select distinct(primary_key) from " + quoted);
    if (!query.prepared()) {
      KX_LOG_SQLITE_ERROR(context.stem, db.handle());
      return kStatusPrepareFailed;
    }
    while (query.Step() == SQLITE_ROW) {
      std::string key = query.ColumnText(0);
      if (!keys.Add(key, found.size())) continue;
      found.emplace_back().key = std::move(key);
    }
    keys.Sort();
  }
  SqliteStatement fields = PrepareStatement(
      db, "select primary_key, field_name, field_value from " + quoted + kKeyFields);
  if (!fields.prepared()) {
    KX_LOG_SQLITE_ERROR(context.stem, db.handle());
    return kStatusPrepareFailed;
  }
  while (true) {
    if (context.StopRequested()) return kStatusOk;
    if (fields.Step() != SQLITE_ROW) break;
    if (fields.ColumnType(0) == SQLITE_NULL) continue;
    const ptrdiff_t contact = keys.Find(fields.ColumnTextView(0));
    if (contact >= 0) found[static_cast<size_t>(contact)].AddField(fields, 1);
  }
  for (IndexContact& contact : found) {
    contact.Write(document->writer());
    document->Counted(false);
  }
  return kStatusOk;
}

// The rows of the contacts table, over the columns this store has. False
// on a stop.
bool WriteContactsTable(const SQLite3Wrapper& db, const PackageContext& context,
                        ContactsDocument* document) {
  const TableColumns columns(db, kContactsTable);
  if (!columns.exists()) {
    KX_LOG_AT(kLogProblem, context.stem, "no table %s: only the collection indexes are read.",
              kContactsTable);
    return true;
  }
  std::string missing;
  const std::string list = columns.SelectList(kContactColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, context.stem, "%s has no column %s: read as NULL.", kContactsTable,
              missing.c_str());
  }
  SqliteStatement query = PrepareStatement(db, "select " + list + " from contacts");
  if (!query.prepared()) KX_LOG_SQLITE_ERROR(context.stem, db.handle());
  // The columns in the writer's order of their names (the list's names
  // are distinct).
  std::vector<std::pair<JsonName, int>> layout;
  for (int column = 0; column < query.ColumnCount(); ++column) {
    layout.emplace_back(JsonName(query.ColumnName(column)), column);
  }
  std::stable_sort(layout.begin(), layout.end(),
                   [](const auto& a, const auto& b) { return a.first.name() < b.first.name(); });
  std::vector<ColumnValue> values(layout.size());
  while (true) {
    if (context.StopRequested()) return false;
    if (query.Step() != SQLITE_ROW) break;
    bool empty = true;
    for (size_t i = 0; i < layout.size(); ++i) {
      values[i] = ReadColumnValue(query.handle(), layout[i].second);
      if (values[i].present()) empty = false;
    }
    if (empty) {
      document->AddEmpty();
      continue;
    }
    JsonBufferWriter* writer = document->writer();
    writer->BeginObject();
    for (size_t i = 0; i < layout.size(); ++i) {
      WriteColumnMember(values[i], layout[i].first, writer);
    }
    writer->EndObject();
    document->Counted(false);
  }
  return true;
}

}  // namespace

int IosMessengerDataPackage(DataTypeRecord* record, const PackageContext& context) {
  // What cannot be read gives no contacts, and the list is still handed
  // over: the host shows an empty list rather than an error.
  PackageSource db(*record, context, kStoreKey, kMissingInput, SourceFailure::kProblem);
  if (db.status() == kStatusMissingInput) return kStatusMissingInput;
  int result = kStatusOk;
  // A store can hold tens of thousands of people: the text is written as
  // they are read instead of building the whole document as a tree first.
  ContactsDocument document;
  {
    const ReadTransaction transaction(db);
    for (const std::string& table : IndexTables(db)) {
      result = WriteIndexTable(db, table, context, &document);
      if (result != kStatusOk) break;
    }
    if (context.StopRequested()) return PackageStopped(context);
    if (!WriteContactsTable(db, context, &document)) return PackageStopped(context);
  }
  const std::string_view text = document.Finish();
  if (text.empty()) {
    KX_LOG_AT(kLogError, context.stem, "package text could not be written.");
    return kStatusStepFailed;
  }
  const int finished = FinishPackage(db, context, text);
  return result != kStatusOk ? result : finished;
}

}  // namespace kx
