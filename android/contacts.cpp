#include "android/contacts.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/field_config.h"
#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "common/log.h"
#include "common/merge.h"
#include "common/platform.h"
#include "common/result_row.h"
#include "common/side_files.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "common/table_schema.h"
#include "common/text.h"
#include "packager/merge_filter.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kPrimaryFileKey[] = "contact_file_path";
constexpr char kSecondFilesKey[] = "contact_files_path";

constexpr char kMimetypeQuery[] = "select _id,mimetype from mimetypes";
constexpr char kRawContactQuery[] = "select distinct(raw_contact_id) from data";
constexpr char kDataRowQuery[] = "select rowid,mimetype_id from data where raw_contact_id=?";
// Used on a database that went through a merge.
constexpr char kDataRowWithDeletedQuery[] =
    "select rowid,mimetype_id,is_deleted from data where raw_contact_id=?";
constexpr char kPictureQuery[] = "select data15 from data where rowid=?";
constexpr char kItemQueryTail[] = " from data where rowid=?";
constexpr char kDataTable[] = "data";
constexpr char kDeletedColumn[] = "is_deleted";

constexpr char kListMember[] = "raw_contacts";
constexpr char kTypeMember[] = "type";
constexpr char kCustomTypeMember[] = "custom_type";
constexpr char kTagMember[] = "tag";
constexpr char kDeletedTag[] = "deleted";

constexpr char kPhotoMimetype[] = "vnd.android.cursor.item/photo";
constexpr char kPhotoPathMember[] = "photo_thumb_path";
// Smaller blobs are placeholders rather than pictures.
constexpr size_t kMinPictureBytes = 256;
constexpr char kThumbnailSuffix[] = ".thumb";

struct FieldColumn {
  const char* column;  // column of `data`
  const char* member;  // member name in the item
};

// One kind of contact data: the `data` columns it is read from and, when
// the kind has one, its table of `type` codes (decimal text) to labels.
struct ContactKind {
  std::vector<FieldColumn> fields;
  std::map<std::string, std::string> type_labels;  // empty: no type table
};

const std::map<std::string, std::string> kHomeWorkOtherLabels = {
    {"1", "home"}, {"2", "work"}, {"3", "other"}};

// The field table and the type tables, keyed by mimetype. The labels are
// the ones the hosts know, spelling included.
const std::map<std::string, ContactKind> kContactKinds = {
    {"vnd.android.cursor.item/name",
     {{{"data1", "display_name"},
       {"data2", "given_name"},
       {"data3", "family_name"},
       {"data4", "prefix"},
       {"data5", "middle_name"},
       {"data6", "suffix"},
       {"data10", "full_name_style"}},
      {}}},
    {"vnd.android.cursor.item/email_v2",
     {{{"data1", "address"},
       {"data2", "type"},
       {"data3", "custom_type"},
       {"data4", "display_name"}},
      {{"1", "home"}, {"2", "work"}, {"3", "other"}, {"4", "mobile"}}}},
    {"vnd.android.cursor.item/im",
     {{{"data1", "data"},
       {"data2", "type"},
       {"data3", "custom_type"},
       {"data5", "protocol"},
       {"data6", "custom_protocol"}},
      kHomeWorkOtherLabels}},
    {"vnd.android.cursor.item/nickname",
     {{{"data1", "name"}, {"data2", "type"}, {"data3", "custom_type"}},
      {{"1", "default"},
       {"2", "other_name"},
       {"3", "maiden_name"},
       {"4", "short_name"},
       {"5", "initials"}}}},
    {"vnd.android.cursor.item/phone_v2",
     {{{"data1", "number"},
       {"data2", "type"},
       {"data3", "custom_type"},
       {"data4", "normalized_number"}},
      {{"1", "home"},         {"2", "mobile"},        {"3", "work"},       {"4", "fax_work"},
       {"5", "fax_home"},     {"6", "pager"},         {"7", "other"},      {"8", "callback"},
       {"9", "car"},          {"10", "company_main"}, {"11", "isdn"},      {"12", "main"},
       {"13", "other_fax"},   {"14", "radio"},        {"15", "telex"},     {"16", "tty_tdd"},
       {"17", "work_mobile"}, {"18", "work_pager"},   {"19", "assistant"}, {"20", "mms"}}}},
    {"vnd.android.cursor.item/postal-address_v2",
     {{{"data1", "formatted_address"},
       {"data2", "type"},
       {"data3", "custom_type"},
       {"data4", "street"},
       {"data5", "pobox"},
       {"data6", "neighborhood"},
       {"data7", "city"},
       {"data8", "region"},
       {"data9", "postcode"},
       {"data10", "country"}},
      kHomeWorkOtherLabels}},
    {"vnd.android.cursor.item/organization",
     {{{"data1", "company"},
       {"data2", "type"},
       {"data3", "custom_type"},
       {"data4", "title"},
       {"data5", "department"},
       {"data6", "job_description"},
       {"data7", "symbol"},
       {"data9", "office_location"}},
      {{"1", "work"}, {"2", "other"}}}},
    {"vnd.android.cursor.item/relation",
     {{{"data1", "name"}, {"data2", "type"}, {"data3", "custom_type"}},
      {{"1", "assistant"},
       {"2", "brother"},
       {"3", "child"},
       {"4", "ddmestic_partner"},
       {"5", "father"},
       {"6", "friend"},
       {"7", "manager"},
       {"8", "mother"},
       {"9", "parent"},
       {"10", "partner"},
       {"11", "referred_by"},
       {"12", "relative"},
       {"13", "sister"},
       {"14", "spouse"}}}},
    {"vnd.android.cursor.item/contact_event",
     {{{"data1", "start_date"}, {"data2", "type"}, {"data3", "custom_type"}},
      {{"1", "aniversary"}, {"2", "other"}, {"3", "birthday"}}}},
    {kPhotoMimetype, {{{"data14", "photo_file_id"}, {"data15", "photo"}}, {}}},
    {"vnd.android.cursor.item/note", {{{"data1", "note"}}, {}}},
    {"vnd.android.cursor.item/group_membership", {{{"data1", "group_row_id"}}, {}}},
    {"vnd.android.cursor.item/website",
     {{{"data1", "url"}, {"data2", "type"}, {"data3", "custom_type"}},
      {{"1", "homepage"},
       {"2", "blog"},
       {"3", "profile"},
       {"4", "home"},
       {"5", "work"},
       {"6", "ftp"},
       {"7", "other"}}}},
    {"vnd.android.cursor.item/sip_address",
     {{{"data1", "sip_address"}, {"data2", "type"}, {"data3", "custom_type"}},
      kHomeWorkOtherLabels}},
    {"vnd.android.cursor.item/identity", {{{"data1", "identity"}, {"data2", "namespace"}}, {}}},
};

// The member name of a kind: the mimetype's text behind its first "/".
std::string KindMember(const std::string& mimetype) {
  const size_t slash = mimetype.find('/');
  return slash == std::string::npos ? mimetype : mimetype.substr(slash + 1);
}

// "select data1 as number,data2 as type,... from data where rowid=?"
std::string BuildItemQuery(const ContactKind& kind) {
  std::string sql = "select ";
  for (size_t i = 0; i < kind.fields.size(); ++i) {
    if (i > 0) sql += ",";
    sql += kind.fields[i].column;
    sql += " as ";
    sql += kind.fields[i].member;
  }
  return sql + kItemQueryTail;
}

// The text form of a column value as the type step compares it: an integer
// becomes its decimal digits, a text stays as it is.
std::string ValueText(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isInt64()) return std::to_string(value.asInt64());
  if (value.isUInt64()) return std::to_string(value.asUInt64());
  if (value.isDouble()) return value.asString();
  return std::string();
}

// Turns the type code into its label. A custom label alone becomes the type;
// a code without a label (0 is "custom" on the phone) drops the item.
// Returns whether the item is kept.
bool ApplyTypeStep(const ContactKind& kind, Json::Value* item) {
  if (!item->isMember(kTypeMember)) {
    if (item->isMember(kCustomTypeMember)) {
      (*item)[kTypeMember] = ValueText((*item)[kCustomTypeMember]);
      item->removeMember(kCustomTypeMember);
    }
    return true;
  }
  const auto label = kind.type_labels.find(ValueText((*item)[kTypeMember]));
  if (label == kind.type_labels.end()) return false;
  (*item)[kTypeMember] = label->second;
  item->removeMember(kCustomTypeMember);
  return true;
}

// temp folder + separator + "<row id>_<FNV-1a 64 of the bytes>.thumb". Only
// digits, so the name cannot leave the folder; it still goes through
// SafeFileName like every name made from data.
std::string ThumbnailPath(const std::string& temp_folder, int64_t row_id,
                          const std::string& picture) {
  const std::string name =
      std::to_string(row_id) + "_" + Fnv1a64Decimal(picture) + kThumbnailSuffix;
  return SideFilePath(temp_folder, name, kThumbnailSuffix);
}

void WriteThumbnail(const std::string& path, const std::string& picture, const char* stem) {
  if (!WriteNewFile(path, picture).ok()) {
    KX_LOG_AT(kLogProblem, stem, "Fail to write thumbnail %s.", path.c_str());
  }
}

// One data row of a raw contact.
struct DataRowRef {
  int64_t row_id = 0;
  int64_t mimetype_id = 0;
  bool recovered = false;  // is_deleted set: the row only a merged copy held
};

// The items of one raw contact while it is read.
//
// Where the "deleted" tag goes: a raw contact whose every item comes from a
// row that only an older copy held (is_deleted set) was deleted on the phone,
// so the contact object carries "tag": "deleted". In a contact that still
// lives, an item recovered from an older copy (a number the contact lost)
// carries the tag itself. A recovered item never replaces a live item of the
// same kind, or a lost number would hide the current one. A database that
// never went through a merge has no is_deleted column and no tag.
class ContactItems {
 public:
  void Store(const std::string& member, Json::Value item, bool recovered) {
    const auto previous = recovered_.find(member);
    if (recovered && previous != recovered_.end() && !previous->second) return;
    contact_[member] = std::move(item);
    recovered_[member] = recovered;
  }

  bool empty() const { return recovered_.empty(); }

  Json::Value Finish() {
    bool all_recovered = !recovered_.empty();
    for (const auto& entry : recovered_) all_recovered = all_recovered && entry.second;
    if (all_recovered) {
      contact_[kTagMember] = kDeletedTag;
    } else {
      for (const auto& entry : recovered_) {
        if (entry.second) contact_[entry.first][kTagMember] = kDeletedTag;
      }
    }
    return std::move(contact_);
  }

 private:
  Json::Value contact_{Json::objectValue};
  std::map<std::string, bool> recovered_;  // member -> item from a merged copy
};

// Reads the contacts of one open database. Statements are prepared once per
// query shape and reset between rows.
class ContactReader {
 public:
  ContactReader(const SQLite3Wrapper& db, std::string temp_folder, const PackageContext& context)
      : db_(db), temp_folder_(std::move(temp_folder)), context_(context) {}

  // Writes one object per raw contact that yields an item, as elements of
  // the open array. False when a stop was seen (logged).
  bool ReadAll(JsonBufferWriter* contacts) {
    // One read transaction for the thousands of look-ups below.
    const ReadTransaction transaction(db_);
    LoadMimetypes();
    const std::vector<int64_t> raw_contact_ids = LoadRawContactIds();
    const bool merged = ColumnExists(db_, kDataTable, kDeletedColumn);
    data_rows_ = PrepareStatement(db_, merged ? kDataRowWithDeletedQuery : kDataRowQuery);
    for (const int64_t raw_contact_id : raw_contact_ids) {
      ContactItems items;
      if (!ReadContact(raw_contact_id, merged, &items)) return false;
      if (!items.empty()) WriteJsonValue(items.Finish(), contacts);
    }
    return true;
  }

 private:
  enum class ItemResult { kStored, kDropped, kStopped };

  void LoadMimetypes() {
    SqliteStatement query = PrepareStatement(db_, kMimetypeQuery);
    while (query.Step() == SQLITE_ROW) {
      mimetypes_[query.ColumnInt64(0)] = query.ColumnText(1);
    }
  }

  std::vector<int64_t> LoadRawContactIds() {
    std::vector<int64_t> ids;
    SqliteStatement query = PrepareStatement(db_, kRawContactQuery);
    while (query.Step() == SQLITE_ROW) ids.push_back(query.ColumnInt64(0));
    return ids;
  }

  std::vector<DataRowRef> LoadDataRows(int64_t raw_contact_id, bool merged) {
    std::vector<DataRowRef> rows;
    data_rows_.Reset();
    data_rows_.BindInt64(1, raw_contact_id);
    while (data_rows_.Step() == SQLITE_ROW) {
      DataRowRef row;
      row.row_id = data_rows_.ColumnInt64(0);
      row.mimetype_id = data_rows_.ColumnInt64(1);
      row.recovered = merged && data_rows_.ColumnInt64(2) != 0;
      rows.push_back(row);
    }
    data_rows_.Reset();
    return rows;
  }

  const std::string& Mimetype(int64_t mimetype_id) const {
    static const std::string kUnknown;
    const auto found = mimetypes_.find(mimetype_id);
    return found == mimetypes_.end() ? kUnknown : found->second;
  }

  // False when a stop was seen.
  bool ReadContact(int64_t raw_contact_id, bool merged, ContactItems* items) {
    for (const DataRowRef& row : LoadDataRows(raw_contact_id, merged)) {
      if (context_.StopRequested()) {
        PackageStopped(context_);
        return false;
      }
      const std::string& mimetype = Mimetype(row.mimetype_id);
      const auto kind = kContactKinds.find(mimetype);
      if (kind == kContactKinds.end()) continue;  // a kind the package does not carry
      Json::Value item(Json::objectValue);
      const ItemResult result = mimetype == kPhotoMimetype
                                    ? ReadPictureItem(row.row_id, &item)
                                    : ReadItem(mimetype, kind->second, row.row_id, &item);
      if (result == ItemResult::kStopped) return false;
      if (result == ItemResult::kStored) {
        items->Store(KindMember(mimetype), std::move(item), row.recovered);
      }
    }
    return true;
  }

  ItemResult ReadItem(const std::string& mimetype, const ContactKind& kind, int64_t row_id,
                      Json::Value* item) {
    SqliteStatement& query = ItemQuery(mimetype, kind);
    query.Reset();
    query.BindInt64(1, row_id);
    if (query.Step() != SQLITE_ROW) return ItemResult::kDropped;
    const int columns = query.ColumnCount();
    for (int column = 0; column < columns; ++column) {
      if (context_.StopRequested()) {
        PackageStopped(context_);
        return ItemResult::kStopped;
      }
      ReadColumnIntoJson(query, column, item);
    }
    query.Reset();
    return ApplyTypeStep(kind, item) ? ItemResult::kStored : ItemResult::kDropped;
  }

  SqliteStatement& ItemQuery(const std::string& mimetype, const ContactKind& kind) {
    auto found = item_queries_.find(mimetype);
    if (found == item_queries_.end()) {
      found = item_queries_.emplace(mimetype, PrepareStatement(db_, BuildItemQuery(kind))).first;
    }
    return found->second;
  }

  ItemResult ReadPictureItem(int64_t row_id, Json::Value* item) {
    if (!picture_query_.prepared()) picture_query_ = PrepareStatement(db_, kPictureQuery);
    picture_query_.Reset();
    picture_query_.BindInt64(1, row_id);
    if (picture_query_.Step() != SQLITE_ROW) return ItemResult::kDropped;
    sqlite3_stmt* row = picture_query_.handle();
    const void* bytes = sqlite3_column_blob(row, 0);
    const int size = sqlite3_column_bytes(row, 0);
    const std::string picture =
        bytes != nullptr && size > 0
            ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
            : std::string();
    picture_query_.Reset();
    if (picture.size() < kMinPictureBytes) return ItemResult::kDropped;
    const std::string path = ThumbnailPath(temp_folder_, row_id, picture);
    if (temp_folder_.empty()) {
      // Without a temp folder the picture would land in the working folder.
      KX_LOG_AT(kLogProblem, context_.stem, "No temp folder for thumbnail %s.", path.c_str());
    } else {
      WriteThumbnail(path, picture, context_.stem);
    }
    (*item)[kPhotoPathMember] = path;
    return ItemResult::kStored;
  }

  const SQLite3Wrapper& db_;
  const std::string temp_folder_;
  const PackageContext& context_;
  std::unordered_map<int64_t, std::string> mimetypes_;
  SqliteStatement data_rows_;
  SqliteStatement picture_query_;
  std::map<std::string, SqliteStatement> item_queries_;  // mimetype -> its item query
};

}  // namespace

int AndroidContactDataFilter(DataTypeRecord* record, SqliteConfig* config,
                             const PackageContext& context) {
  static const MergeRule kMergeRule = {kPrimaryFileKey,
                                       kSecondFilesKey,
                                       "No primary file.",
                                       "No second files.",
                                       true,
                                       kSystemAndroid,
                                       kConfigContact,
                                       true};
  return RunMergeFilter(kMergeRule, record, config, context);
}

int AndroidContactDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* primary = BeginPackage(*record, context, kPrimaryFileKey);
  if (primary == nullptr) return kStatusMissingInput;
  SQLite3Wrapper db(*primary);
  const int opened = OpenSourceDatabase(&db, context.stem, __LINE__);
  if (opened != kStatusOk) return opened;

  // Each contact is written as it is read, in the layout of the library's
  // JSON writer, instead of holding the whole document as a tree.
  TextBuffer text;
  JsonBufferWriter writer(&text);
  writer.BeginObject();
  writer.Name(kListMember);
  writer.BeginArray();
  {
    ContactReader reader(db, record->temp_folder, context);
    if (!reader.ReadAll(&writer)) return kStatusOk;  // stopped
  }
  writer.EndArray();
  writer.EndObject();
  if (!writer.complete() || text.failed()) {
    KX_LOG_AT(kLogError, context.stem, "package text could not be written.");
    return kStatusStepFailed;
  }
  return FinishPackage(db, context, text.view());
}

}  // namespace kx
