#include "android/contacts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
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
#include "common/select_list.h"
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
// The rows of one raw contact, after "select rowid,mimetype_id,<the kinds'
// columns>[,is_deleted]".
constexpr char kDataRowTail[] = " from data where raw_contact_id=?";
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

// The text form of a value as the type step compares it: an integer becomes
// its decimal digits (a real too when it holds a whole number), a text stays
// as it is, anything else is "".
std::string ValueText(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isInt64()) return std::to_string(value.asInt64());
  if (value.isUInt64()) return std::to_string(value.asUInt64());
  if (value.isDouble()) return value.asString();
  return std::string();
}

std::string_view ValueText(const ColumnValue& value, std::string* scratch) {
  switch (value.kind) {
    case ColumnValue::Kind::kText:
      return value.text;
    case ColumnValue::Kind::kInteger:
      *scratch = std::to_string(value.integer);
      return *scratch;
    case ColumnValue::Kind::kReal:
      *scratch = ValueText(JsonDouble(value.real));
      return *scratch;
    case ColumnValue::Kind::kAbsent:
      break;
  }
  return std::string_view();
}

// temp folder + separator + "<row id>_<FNV-1a 64 of the bytes>.thumb". Only
// digits, so the name cannot leave the folder; it still goes through
// SafeFileName like every name made from data.
std::string ThumbnailPath(const std::string& temp_folder, int64_t row_id,
                          std::string_view picture) {
  const std::string name =
      std::to_string(row_id) + "_" + Fnv1a64Decimal(std::string(picture)) + kThumbnailSuffix;
  return SideFilePath(temp_folder, name, kThumbnailSuffix);
}

void WriteThumbnail(const std::string& path, std::string_view picture, const char* stem) {
  if (!WriteNewFile(path, picture).ok()) {
    KX_LOG_AT(kLogProblem, stem, "Fail to write thumbnail %s.", path.c_str());
  }
}

// Where a member of an item comes from.
enum class ItemSource { kField, kType, kTag, kPicturePath };

struct ItemMember {
  JsonName name;
  ItemSource source;
  size_t field;  // index into the kind's fields (kField)
};

// How the items of one kind are read from the data row and written: the
// query column of each field, and the item's members in the writer's order.
// The type step leaves "type" as a text and never keeps "custom_type".
struct KindLayout {
  const ContactKind* kind = nullptr;
  JsonName member{""};
  bool picture = false;
  bool readable = true;  // false: the table lacks a column the kind reads
  std::vector<int> field_columns;
  int type_field = -1;
  int custom_type_field = -1;
  std::map<std::string, std::string, std::less<>> type_labels;
  std::vector<ItemMember> members;
};

void SortMembers(std::vector<ItemMember>* members) {
  std::stable_sort(members->begin(), members->end(), [](const ItemMember& a, const ItemMember& b) {
    return a.name.name() < b.name.name();
  });
}

// One value of an item, copied out of the row.
struct StoredValue {
  ColumnValue::Kind kind = ColumnValue::Kind::kAbsent;
  int64_t integer = 0;
  double real = 0.0;
  std::string text;
};

// The item of one kind a raw contact holds so far.
struct StoredItem {
  bool present = false;
  bool recovered = false;  // from a row only a merged copy held
  std::vector<StoredValue> values;
  bool has_type = false;
  std::string type;
  std::string picture_path;
};

// The columns of the row query before the kinds' own: rowid, mimetype_id,
// and at the end is_deleted after a merge.
constexpr int kRowIdColumn = 0;
constexpr int kMimetypeIdColumn = 1;
constexpr int kFirstValueColumn = 2;
constexpr char kPictureColumn[] = "data15";

// Reads the contacts of one open database, one row query per raw contact,
// and writes each contact as it is finished.
//
// Where the "deleted" tag goes: a raw contact whose every item comes from a
// row that only an older copy held (is_deleted set) was deleted on the phone,
// so the contact object carries "tag": "deleted". In a contact that still
// lives, an item recovered from an older copy (a number the contact lost)
// carries the tag itself. A later row of a kind replaces the earlier item,
// but a recovered item never replaces a live one of the same kind, or a
// lost number would hide the current one. A database that never went
// through a merge has no is_deleted column and no tag.
class ContactReader {
 public:
  ContactReader(const SQLite3Wrapper& db, std::string temp_folder, const PackageContext& context)
      : db_(db), temp_folder_(std::move(temp_folder)), context_(context) {}

  // Writes one object per raw contact that yields an item, as elements of
  // the open array. False when a stop was seen (logged).
  bool ReadAll(JsonBufferWriter* contacts) {
    // One read transaction for the thousands of look-ups below.
    const ReadTransaction transaction(db_);
    const std::vector<int64_t> raw_contact_ids = LoadRawContactIds();
    PrepareLayouts();
    LoadMimetypes();
    for (const int64_t raw_contact_id : raw_contact_ids) {
      if (!ReadContact(raw_contact_id)) return false;
      WriteContact(contacts);
    }
    return true;
  }

 private:
  std::vector<int64_t> LoadRawContactIds() {
    std::vector<int64_t> ids;
    SqliteStatement query = PrepareStatement(db_, kRawContactQuery);
    while (query.Step() == SQLITE_ROW) ids.push_back(query.ColumnInt64(0));
    return ids;
  }

  // The query column of a `data` column, added to the row query on first
  // use; -1 when the table lacks it.
  int ValueColumn(const TableColumns& table, const std::string& column) {
    if (!table.Has(column)) return -1;
    for (size_t i = 0; i < value_columns_.size(); ++i) {
      if (value_columns_[i] == column) return kFirstValueColumn + static_cast<int>(i);
    }
    value_columns_.push_back(column);
    return kFirstValueColumn + static_cast<int>(value_columns_.size()) - 1;
  }

  void PrepareLayouts() {
    const TableColumns table(db_, kDataTable);
    layouts_.reserve(kContactKinds.size());
    for (const auto& [mimetype, kind] : kContactKinds) {
      KindLayout layout;
      layout.kind = &kind;
      layout.member = JsonName(KindMember(mimetype));
      layout.picture = mimetype == kPhotoMimetype;
      if (layout.picture) {
        picture_column_ = ValueColumn(table, kPictureColumn);
        layout.readable = picture_column_ >= 0;
        layout.members.push_back({JsonName(kPhotoPathMember), ItemSource::kPicturePath, 0});
      } else {
        bool typed = false;
        for (size_t i = 0; i < kind.fields.size(); ++i) {
          const FieldColumn& field = kind.fields[i];
          const int column = ValueColumn(table, field.column);
          layout.readable = layout.readable && column >= 0;
          layout.field_columns.push_back(column);
          const std::string_view member = field.member;
          if (member == kTypeMember || member == kCustomTypeMember) {
            (member == kTypeMember ? layout.type_field : layout.custom_type_field) =
                static_cast<int>(i);
            typed = true;
          } else {
            layout.members.push_back({JsonName(member), ItemSource::kField, i});
          }
        }
        if (typed) layout.members.push_back({JsonName(kTypeMember), ItemSource::kType, 0});
        layout.type_labels.insert(kind.type_labels.begin(), kind.type_labels.end());
      }
      layout.members.push_back({JsonName(kTagMember), ItemSource::kTag, 0});
      SortMembers(&layout.members);
      layouts_.push_back(std::move(layout));
    }
    // The contact's members: the kinds and its own tag, in the writer's order.
    for (size_t i = 0; i < layouts_.size(); ++i) contact_order_.push_back(static_cast<int>(i));
    contact_order_.push_back(-1);  // the tag
    std::sort(contact_order_.begin(), contact_order_.end(),
              [this](int a, int b) { return ContactMemberName(a) < ContactMemberName(b); });
    items_.resize(layouts_.size());
    for (size_t i = 0; i < layouts_.size(); ++i) {
      items_[i].values.resize(layouts_[i].kind->fields.size());
    }

    merged_ = table.Has(kDeletedColumn);
    std::string sql = "select rowid,mimetype_id";
    for (const std::string& column : value_columns_) sql += "," + column;
    if (merged_) {
      deleted_column_ = kFirstValueColumn + static_cast<int>(value_columns_.size());
      sql += std::string(",") + kDeletedColumn;
    }
    data_rows_ = PrepareStatement(db_, sql + kDataRowTail);
  }

  std::string_view ContactMemberName(int layout) const {
    return layout < 0 ? std::string_view(kTagMember) : layouts_[layout].member.name();
  }

  // Mimetype ids to kinds; a later row of the same id wins, as ids are
  // read the way the data rows read them.
  void LoadMimetypes() {
    std::unordered_map<std::string_view, int> kinds;
    int index = 0;
    for (const auto& entry : kContactKinds) kinds[entry.first] = index++;
    SqliteStatement query = PrepareStatement(db_, kMimetypeQuery);
    while (query.Step() == SQLITE_ROW) {
      const auto kind = kinds.find(query.ColumnTextView(1));
      mimetype_kinds_[query.ColumnInt64(0)] = kind == kinds.end() ? -1 : kind->second;
    }
  }

  int KindOf(int64_t mimetype_id) const {
    const auto found = mimetype_kinds_.find(mimetype_id);
    return found == mimetype_kinds_.end() ? -1 : found->second;
  }

  // Reads the items of one raw contact into items_. False when a stop was
  // seen.
  bool ReadContact(int64_t raw_contact_id) {
    for (StoredItem& item : items_) item.present = false;
    data_rows_.Reset();
    data_rows_.BindInt64(1, raw_contact_id);
    sqlite3_stmt* row = data_rows_.handle();
    while (data_rows_.Step() == SQLITE_ROW) {
      if (context_.StopRequested()) {
        PackageStopped(context_);
        return false;
      }
      const int kind = KindOf(sqlite3_column_int64(row, kMimetypeIdColumn));
      if (kind < 0 || !layouts_[kind].readable) continue;  // a kind the package does not carry
      const bool recovered = merged_ && sqlite3_column_int64(row, deleted_column_) != 0;
      StoredItem& item = items_[kind];
      // A recovered item never hides a live one; a picture is still written.
      const bool keep = !(recovered && item.present && !item.recovered);
      const bool read = layouts_[kind].picture ? ReadPicture(row, keep, &item)
                                               : ReadItem(layouts_[kind], row, keep, &item);
      if (read && keep) {
        item.present = true;
        item.recovered = recovered;
      }
    }
    data_rows_.Reset();
    return true;
  }

  // Applies the type step to the row's values and, when the item is kept
  // and `store` is set, copies them into *item. A code without a label (0
  // is "custom" on the phone) drops the item; a custom label alone becomes
  // the type.
  bool ReadItem(const KindLayout& layout, sqlite3_stmt* row, bool store, StoredItem* item) {
    // The most fields a kind has is ten (postal addresses).
    ColumnValue values[16];
    const size_t count = std::min(layout.field_columns.size(), std::size(values));
    for (size_t i = 0; i < count; ++i) {
      values[i] = ReadColumnValue(row, layout.field_columns[i]);
    }
    bool has_type = false;
    std::string_view type;
    const ColumnValue* type_value = layout.type_field >= 0 ? &values[layout.type_field] : nullptr;
    const ColumnValue* custom =
        layout.custom_type_field >= 0 ? &values[layout.custom_type_field] : nullptr;
    if (type_value != nullptr && type_value->present()) {
      const auto label = layout.type_labels.find(ValueText(*type_value, &scratch_));
      if (label == layout.type_labels.end()) return false;
      has_type = true;
      type = label->second;
    } else if (custom != nullptr && custom->present()) {
      has_type = true;
      type = ValueText(*custom, &scratch_);
    }
    if (!store) return true;
    for (size_t i = 0; i < count; ++i) {
      StoredValue& stored = item->values[i];
      stored.kind = values[i].kind;
      stored.integer = values[i].integer;
      stored.real = values[i].real;
      stored.text.assign(values[i].text);
    }
    item->has_type = has_type;
    item->type.assign(type);
    return true;
  }

  bool ReadPicture(sqlite3_stmt* row, bool store, StoredItem* item) {
    const void* bytes = sqlite3_column_blob(row, picture_column_);
    const int size = sqlite3_column_bytes(row, picture_column_);
    const std::string_view picture =
        bytes != nullptr && size > 0
            ? std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(size))
            : std::string_view();
    if (picture.size() < kMinPictureBytes) return false;
    const int64_t row_id = sqlite3_column_int64(row, kRowIdColumn);
    std::string path = ThumbnailPath(temp_folder_, row_id, picture);
    if (temp_folder_.empty()) {
      // Without a temp folder the picture would land in the working folder.
      KX_LOG_AT(kLogProblem, context_.stem, "No temp folder for thumbnail %s.", path.c_str());
    } else {
      WriteThumbnail(path, picture, context_.stem);
    }
    if (store) item->picture_path = std::move(path);
    return true;
  }

  void WriteContact(JsonBufferWriter* writer) const {
    bool any = false;
    bool all_recovered = true;
    for (const StoredItem& item : items_) {
      if (!item.present) continue;
      any = true;
      all_recovered = all_recovered && item.recovered;
    }
    if (!any) return;
    writer->BeginObject();
    for (const int layout : contact_order_) {
      if (layout < 0) {
        if (all_recovered) {
          writer->Name(kTagMember);
          writer->String(kDeletedTag);
        }
      } else if (items_[layout].present) {
        writer->Name(layouts_[layout].member);
        WriteItem(layouts_[layout], items_[layout], !all_recovered && items_[layout].recovered,
                  writer);
      }
    }
    writer->EndObject();
  }

  static void WriteItem(const KindLayout& layout, const StoredItem& item, bool tagged,
                        JsonBufferWriter* writer) {
    writer->BeginObject();
    for (const ItemMember& member : layout.members) {
      switch (member.source) {
        case ItemSource::kField:
          WriteValue(item.values[member.field], member.name, writer);
          break;
        case ItemSource::kType:
          if (item.has_type) {
            writer->Name(member.name);
            writer->String(item.type);
          }
          break;
        case ItemSource::kTag:
          if (tagged) {
            writer->Name(member.name);
            writer->String(kDeletedTag);
          }
          break;
        case ItemSource::kPicturePath:
          writer->Name(member.name);
          writer->String(item.picture_path);
          break;
      }
    }
    writer->EndObject();
  }

  static void WriteValue(const StoredValue& value, const JsonName& name, JsonBufferWriter* writer) {
    ColumnValue view;
    view.kind = value.kind;
    view.integer = value.integer;
    view.real = value.real;
    view.text = value.text;
    WriteColumnMember(view, name, writer);
  }

  const SQLite3Wrapper& db_;
  const std::string temp_folder_;
  const PackageContext& context_;
  std::vector<KindLayout> layouts_;  // in the order of kContactKinds
  std::vector<int> contact_order_;   // layouts_ indexes in member order; -1 the tag
  std::vector<std::string> value_columns_;
  int picture_column_ = -1;
  bool merged_ = false;
  int deleted_column_ = -1;
  std::unordered_map<int64_t, int> mimetype_kinds_;  // mimetype id -> layouts_ index, -1 none
  SqliteStatement data_rows_;
  std::vector<StoredItem> items_;  // per kind, of the contact being read
  std::string scratch_;
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
  PackageSource db(*record, context, kPrimaryFileKey);
  if (db.status() != kStatusOk) return db.status();
  StreamedDocument document;
  JsonBufferWriter& writer = document.writer();
  writer.Name(kListMember);
  writer.BeginArray();
  {
    ContactReader reader(db, record->temp_folder, context);
    if (!reader.ReadAll(&writer)) return kStatusOk;  // stopped
  }
  writer.EndArray();
  return document.Finish(db, context);
}

}  // namespace kx
