#include "samples/ios_address_book.h"

#include <cstdint>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/ios_sample_text.h"
#include "samples/sample_random.h"

namespace kx::samples {

namespace {

// ABPerson of older stores: the definition published in the "Addressing the
// iOS6 Address Book" write-up (linuxsleuthing), which open readers of iOS
// backups still meet.
constexpr char kPersonV1[] =
    "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, "
    "Middle TEXT, FirstPhonetic TEXT, MiddlePhonetic TEXT, LastPhonetic TEXT, Organization TEXT, "
    "Department TEXT, Note TEXT, Kind INTEGER, Birthday TEXT, JobTitle TEXT, Nickname TEXT, "
    "Prefix TEXT, Suffix TEXT, FirstSort TEXT, LastSort TEXT, CreationDate INTEGER, "
    "ModificationDate INTEGER, CompositeNameFallback TEXT, ExternalIdentifier TEXT, "
    "ExternalModificationTag TEXT, ExternalUUID TEXT, StoreID INTEGER, DisplayName TEXT, "
    "ExternalRepresentation BLOB, FirstSortSection TEXT, LastSortSection TEXT, "
    "FirstSortLanguageIndex INTEGER DEFAULT 2147483647, LastSortLanguageIndex INTEGER DEFAULT "
    "2147483647, PersonLink INTEGER DEFAULT -1, ImageURI TEXT, IsPreferredName INTEGER DEFAULT "
    "1);";

// The columns both newer versions share, as open readers of iOS 11-13
// backups quote the phone's definition. The guid default calls a function
// only the phone registers, so every row here names its guid.
#define KX_PERSON_V2_COLUMNS                                                                     \
  "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, First TEXT, Last TEXT, "      \
  "Middle TEXT, FirstPhonetic TEXT, MiddlePhonetic TEXT, LastPhonetic TEXT, Organization TEXT, " \
  "Department TEXT, Note TEXT, Kind INTEGER, Birthday TEXT, JobTitle TEXT, Nickname TEXT, "      \
  "Prefix TEXT, Suffix TEXT, FirstSort TEXT, LastSort TEXT, CreationDate INTEGER, "              \
  "ModificationDate INTEGER, CompositeNameFallback TEXT, ExternalIdentifier TEXT, "              \
  "ExternalModificationTag TEXT, ExternalUUID TEXT, StoreID INTEGER, DisplayName TEXT, "         \
  "ExternalRepresentation BLOB, FirstSortSection TEXT, LastSortSection TEXT, "                   \
  "FirstSortLanguageIndex INTEGER DEFAULT 2147483647, LastSortLanguageIndex INTEGER DEFAULT "    \
  "2147483647, PersonLink INTEGER DEFAULT -1, ImageURI TEXT, IsPreferredName INTEGER DEFAULT "   \
  "1, guid TEXT NOT NULL DEFAULT (ab_generate_guid()), PhonemeData TEXT, AlternateBirthday "     \
  "TEXT, MapsData TEXT, FirstPronunciation TEXT, MiddlePronunciation TEXT, LastPronunciation "   \
  "TEXT, OrganizationPhonetic TEXT, OrganizationPronunciation TEXT, PreviousFamilyName TEXT, "   \
  "PreferredLikenessSource TEXT, PreferredPersonaIdentifier TEXT, PreferredChannel TEXT"

constexpr char kPersonV2[] = KX_PERSON_V2_COLUMNS ", UNIQUE(guid));";

// iOS 17, as open readers' fixtures copy it from the phone.
constexpr char kPersonV3[] = KX_PERSON_V2_COLUMNS
    ", DowntimeWhitelist TEXT, ImageType TEXT, ImageHash BLOB, MemojiMetadata BLOB, Wallpaper "
    "BLOB, DisplayFlags INTEGER, WatchWallpaperImageData BLOB, WallpaperMetadata BLOB, "
    "ImageBackgroundColorsData BLOB, SensitiveContentConfiguration BLOB, WallpaperURI TEXT, "
    "UNIQUE(guid));";

#undef KX_PERSON_V2_COLUMNS

constexpr char kMultiValueV1[] =
    "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, "
    "identifier INTEGER, label INTEGER, value TEXT);";
constexpr char kMultiValueV2[] =
    "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, property INTEGER, "
    "identifier INTEGER, label INTEGER, value TEXT, guid TEXT NOT NULL DEFAULT "
    "(ab_generate_guid()), UNIQUE(guid));";

constexpr char kSharedTables[] =
    "CREATE TABLE ABMultiValueLabel (value TEXT, UNIQUE(value));"
    "CREATE TABLE ABMultiValueEntry (parent_id INTEGER, key INTEGER, value TEXT, "
    "UNIQUE(parent_id, key));"
    "CREATE TABLE ABMultiValueEntryKey (value TEXT, UNIQUE(value));"
    "CREATE INDEX ABMultiValueRecord ON ABMultiValue(record_id);";

// The full-text index, with the column lists a public write-up of iOS
// backups gives for its _content table (c0First ... c22Date on iOS 9,
// c0First ... c23Date with OrganizationPhonetic from iOS 10). The phone
// declares it with a tokenizer of its own that SQLite lacks; these files use
// FTS4's default tokenizer, so that any SQLite can read them.
constexpr char kFullTextV1[] =
    "CREATE VIRTUAL TABLE ABPersonFullTextSearch USING fts4(First, Last, Middle, FirstPhonetic, "
    "MiddlePhonetic, LastPhonetic, Organization, Department, Note, Birthday, JobTitle, Nickname, "
    "Prefix, Suffix, DisplayName, Phone, Email, Address, SocialProfile, URL, RelatedNames, IM, "
    "Date, SupplementalCompositeNameTerms);";
constexpr char kFullTextV2[] =
    "CREATE VIRTUAL TABLE ABPersonFullTextSearch USING fts4(First, Last, Middle, FirstPhonetic, "
    "MiddlePhonetic, LastPhonetic, Organization, OrganizationPhonetic, Department, Note, "
    "Birthday, JobTitle, Nickname, Prefix, Suffix, DisplayName, Phone, Email, Address, "
    "SocialProfile, URL, RelatedNames, IM, Date, SupplementalCompositeNameTerms);";

// AddressBookImages.sqlitedb, as forensic write-ups list its two tables.
constexpr char kImagesSql[] =
    "CREATE TABLE ABFullSizeImage (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, record_id INTEGER, "
    "crop_x INTEGER, crop_y INTEGER, crop_width INTEGER, crop_height INTEGER, data BLOB, "
    "UNIQUE(record_id));"
    "CREATE TABLE ABThumbnailImage (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, record_id INTEGER, "
    "format INTEGER, derived_from_format INTEGER, data BLOB, UNIQUE(record_id, format));";

// Labels by ROWID; a multi-value may also name 0 or an id of no row.
constexpr const char* kLabels[] = {"_$!<Mobile>!$_",      "iPhone",         "_$!<Home>!$_",
                                   "_$!<Work>!$_",        "_$!<Other>!$_",  "_$!<HomePage>!$_",
                                   "_$!<Anniversary>!$_", "_$!<Mother>!$_", "_$!<Friend>!$_",
                                   "Lake house"};
enum Label {
  kMobile = 1,
  kIphone,
  kHome,
  kWork,
  kOther,
  kHomePage,
  kAnniversary,
  kMother,
  kFriend,
  kLakeHouse,
  kNoSuchLabel = 99
};
constexpr const char* kEntryKeys[] = {"Street",      "City",    "ZIP",      "Country",
                                      "CountryCode", "service", "username", "url"};
enum EntryKey { kStreet = 1, kCity, kZip, kCountry, kCountryCode, kService, kUsername, kUrl };

constexpr int kPhone = 3, kEmail = 4, kAddress = 5, kDate = 12, kIm = 13, kUrlProperty = 22,
              kRelated = 23, kSocial = 46;

struct SamplePerson {
  const char* first;
  const char* last;
  const char* middle;
  const char* organization;
  const char* note;
  const char* phone;         // as typed; several call-history numbers without blanks
  const char* second_phone;  // null: none
  const char* email;
  const char* street;  // null: no postal address
  const char* city;
  const char* related;  // related name; null: none
  const char* im;       // IM user name; null: none
  const char* social;   // social profile user; null: none
  double birthday;      // seconds since 2001; 0: none
  const char* alternate_birthday;
  const char* previous_family_name;
  bool picture;
};

// The written-out people; the others are drawn from name pools.
const std::vector<SamplePerson>& SamplePeople() {
  static const std::vector<SamplePerson> people = {
      {"Zoë", "Ångström", nullptr, "Nordic Ltd", "met at the fair", "+46701234567", nullptr,
       "zoe@example.se", "Drottninggatan 5", "Stockholm", nullptr, "zoe.a", nullptr, -315619200.0,
       nullptr, nullptr, true},
      {"José", "Núñez", "María", nullptr, nullptr, "+1 (555) 010-4477", "+15550104477",
       "jose.nunez@me.com", nullptr, nullptr, "Ana", nullptr, "@jnunez", 0, nullptr, nullptr,
       false},
      {"李", "雷", nullptr, "北京公司", nullptr, "+8613800138000", nullptr, nullptr, "长安街 1 号",
       "北京", nullptr, "lilei_qq", nullptr, 0,
       "calendar=chinese;era=78;year=37;month=8;day=15;isLeapMonth=0", nullptr, true},
      {"\"Big\" Mike", nullptr, nullptr, "Mike's Garage", "Tel. (555) 013-2200 \u2014 ask for Mike",
       "(555) 013-2200", nullptr, nullptr, "1 Main St", "Springfield", nullptr, nullptr, nullptr, 0,
       nullptr, nullptr, false},
      {"Mom ❤️", nullptr, nullptr, nullptr, nullptr, "555-0100", nullptr, "mom@example.com",
       nullptr, nullptr, nullptr, nullptr, nullptr, -946771200.0, nullptr, "Schmidt", true},
      {"אורי", "כהן", nullptr, nullptr, nullptr, "+972541234567", nullptr, nullptr, nullptr,
       nullptr, nullptr, nullptr, nullptr, 0, "calendar=hebrew;year=5741;month=7;day=3", nullptr,
       false},
      {"Mia", "Chen", nullptr, "Chen & Partners", nullptr, "+15550132299", nullptr,
       "mia.chen@icloud.com", nullptr, nullptr, "Wei", nullptr, "miachen", 0, nullptr, nullptr,
       true},
      {"Anna-Lena", "Müller", nullptr, nullptr, nullptr, "+49 151 23456789", nullptr, nullptr,
       "Hauptstraße 12", "Berlin", nullptr, nullptr, nullptr, 0, nullptr, "Weber", false},
      {nullptr, nullptr, nullptr, "Pizza Express", nullptr, "+442079460958", nullptr, nullptr,
       nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, false},
      {"Seán", "O'Connor", nullptr, nullptr, nullptr, "+353 87 123 4567", nullptr, nullptr, nullptr,
       nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, false},
  };
  return people;
}

constexpr const char* kFirstNames[] = {"Ava",  "Noah",  "Léa",   "Omar",   "Yuki",   "Priya",
                                       "Lars", "Chloé", "Mateo", "Aiyana", "Ingrid", "Kwame"};
constexpr const char* kLastNames[] = {"Smith",  "García", "Tanaka",   "Okafor", "Novak",
                                      "Dubois", "Rossi",  "Kowalski", "Haddad", "Nguyen"};

// Numbers and names the drawn people get; they outlive the draw.
struct DrawnPerson {
  SamplePerson person{};
  std::string phone;
  std::string email;
};

DrawnPerson DrawPerson(int index, SampleRandom& random) {
  DrawnPerson drawn;
  SamplePerson& person = drawn.person;
  person.first = random.Pick(kFirstNames);
  person.last = random.Pick(kLastNames);
  drawn.phone = "+1 555 01" + std::to_string(10 + index % 90) + " " +
                std::to_string(1000 + random.Below(9000));
  drawn.email = std::string("contact") + std::to_string(index) + "@example.org";
  person.email = random.Below(2) == 0 ? drawn.email.c_str() : nullptr;
  person.phone = drawn.phone.c_str();
  person.picture = random.Below(6) == 0;
  person.birthday = random.Below(4) == 0 ? -400000000.0 + random.Below(600000000) : 0;
  return drawn;
}

int ClampVersion(int version) {
  if (version < kIosAddressBookOldestSchema || version > kIosAddressBookNewestSchema)
    return kIosAddressBookNewestSchema;
  return version;
}

// The phone deleted every ninth person; of those, half left their values
// behind and the other half their full-text row.
bool DeletedOnPhone(int index) { return index % 9 == 4; }
bool LeftValues(int index) { return index % 18 == 4; }
bool LeftFullText(int index) { return index % 18 == 13; }

// A multi-value of one person, before it is written.
struct Value {
  int property;
  int label;
  std::string text;  // empty: NULL
  std::vector<std::pair<int, std::string>> entries;
};

std::string DateText(double seconds) { return std::to_string(static_cast<int64_t>(seconds)); }

std::vector<Value> ValuesOf(const SamplePerson& person, int index) {
  std::vector<Value> values;
  values.push_back({kPhone, index % 3 == 1 ? kIphone : kMobile, person.phone, {}});
  if (person.second_phone != nullptr) {
    // One label id names no row of ABMultiValueLabel.
    values.push_back({kPhone, index == 1 ? kNoSuchLabel : kWork, person.second_phone, {}});
  }
  if (person.email != nullptr) values.push_back({kEmail, kHome, person.email, {}});
  if (person.street != nullptr) {
    values.push_back({kAddress,
                      index % 2 == 0 ? kHome : kLakeHouse,
                      "",
                      {{kStreet, person.street}, {kCity, person.city}, {kCountryCode, "xx"}}});
  }
  if (person.related != nullptr) values.push_back({kRelated, kMother, person.related, {}});
  if (person.im != nullptr) {
    values.push_back({kIm, kOther, "", {{kService, "Skype"}, {kUsername, person.im}}});
  }
  if (person.social != nullptr) {
    values.push_back({kSocial,
                      0,
                      "",
                      {{kService, "twitter"},
                       {kUsername, person.social},
                       {kUrl, std::string("https://twitter.com/") + person.social}}});
  }
  if (index % 4 == 0) {
    values.push_back(
        {kUrlProperty, kHomePage, "https://example.com/~" + std::to_string(index), {}});
    values.push_back({kDate, kAnniversary, DateText(500000000.0 + index * 86400.0), {}});
  }
  return values;
}

// UIDs keep their number in every copy: each person owns a block of them.
constexpr int kValuesPerPerson = 16;
int64_t ValueUid(int index, int slot) {
  return static_cast<int64_t>(index) * kValuesPerPerson + slot + 1;
}

std::string Joined(const std::vector<Value>& values, int property) {
  std::string text;
  for (const Value& value : values) {
    if (value.property != property) continue;
    std::string piece = value.text;
    if (piece.empty()) {
      for (const auto& entry : value.entries) {
        if (entry.first == kUsername || entry.first == kStreet || entry.first == kCity) {
          piece += (piece.empty() ? "" : " ") + entry.second;
        }
      }
    }
    if (!piece.empty()) text += (text.empty() ? "" : " ") + piece;
  }
  return text;
}

class AddressBookWriter {
 public:
  AddressBookWriter(SampleDatabase& book, SampleDatabase& images, int version)
      : version_(version),
        person_(book.handle(), PersonSql(version).c_str()),
        value_(book.handle(), version >= 2 ? "INSERT INTO ABMultiValue VALUES (?,?,?,?,?,?,?)"
                                           : "INSERT INTO ABMultiValue VALUES (?,?,?,?,?,?)"),
        entry_(book.handle(), "INSERT INTO ABMultiValueEntry VALUES (?,?,?)"),
        full_text_(book.handle(),
                   "INSERT INTO ABPersonFullTextSearch (docid, First, Last, "
                   "Middle, Organization, Note, Birthday, Phone, Email, Address, "
                   "SocialProfile, URL, RelatedNames, IM, Date) VALUES "
                   "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        picture_(images.handle(),
                 "INSERT INTO ABFullSizeImage (record_id, crop_x, crop_y, "
                 "crop_width, crop_height, data) VALUES (?,0,0,4,2,?)"),
        thumbnail_(images.handle(),
                   "INSERT INTO ABThumbnailImage (record_id, format, "
                   "derived_from_format, data) VALUES (?,0,0,?)") {}

  bool ready() const {
    return person_.prepared() && value_.prepared() && entry_.prepared() && full_text_.prepared() &&
           picture_.prepared() && thumbnail_.prepared();
  }

  bool WritePerson(int index, const SamplePerson& person, SampleRandom& random) {
    const int64_t rowid = index + 1;
    person_.BindInt64(1, rowid);
    BindOrNull(person_, 2, person.first);
    BindOrNull(person_, 3, person.last);
    BindOrNull(person_, 4, person.middle);
    BindOrNull(person_, 5, person.organization);
    BindOrNull(person_, 6, person.note);
    person_.BindInt(7, person.first == nullptr && person.last == nullptr ? 1 : 0);
    if (person.birthday != 0) {
      person_.BindText(8, DateText(person.birthday));
    } else {
      person_.BindNull(8);
    }
    person_.BindInt64(9, 600000000 + index * 3600);
    person_.BindInt64(10, 640000000 + index * 3600);
    if (version_ >= 2) {
      person_.BindText(11, UpperUuid(random) + ":ABPerson");
      BindOrNull(person_, 12, person.alternate_birthday);
      BindOrNull(person_, 13, person.previous_family_name);
    }
    return StepAndReset(person_);
  }

  bool WriteValues(int index, const std::vector<Value>& values, SampleRandom& random) {
    int slot = 0;
    int identifier_by_property[64] = {};
    for (const Value& value : values) {
      const int64_t uid = ValueUid(index, slot++);
      value_.BindInt64(1, uid);
      value_.BindInt64(2, index + 1);
      value_.BindInt(3, value.property);
      value_.BindInt(4, identifier_by_property[value.property % 64]++);
      value_.BindInt(5, value.label);
      if (value.text.empty()) {
        value_.BindNull(6);
      } else {
        value_.BindText(6, value.text);
      }
      if (version_ >= 2) value_.BindText(7, UpperUuid(random));
      if (!StepAndReset(value_)) return false;
      for (const auto& entry : value.entries) {
        entry_.BindInt64(1, uid);
        entry_.BindInt(2, entry.first);
        entry_.BindText(3, entry.second);
        if (!StepAndReset(entry_)) return false;
      }
    }
    return true;
  }

  bool WriteFullText(int index, const SamplePerson& person, const std::vector<Value>& values) {
    full_text_.BindInt64(1, index + 1);
    BindOrNull(full_text_, 2, person.first);
    BindOrNull(full_text_, 3, person.last);
    BindOrNull(full_text_, 4, person.middle);
    BindOrNull(full_text_, 5, person.organization);
    BindOrNull(full_text_, 6, person.note);
    if (person.birthday != 0) {
      full_text_.BindText(7, DateText(person.birthday));
    } else {
      full_text_.BindNull(7);
    }
    const int properties[] = {kPhone,       kEmail,   kAddress, kSocial,
                              kUrlProperty, kRelated, kIm,      kDate};
    for (int i = 0; i < 8; ++i) {
      const std::string text = Joined(values, properties[i]);
      if (text.empty()) {
        full_text_.BindNull(8 + i);
      } else {
        full_text_.BindText(8 + i, text);
      }
    }
    return StepAndReset(full_text_);
  }

  bool WritePictures(int index, bool empty_picture) {
    picture_.BindInt64(1, index + 1);
    picture_.BindBlob(2, empty_picture ? std::string() : TinyJpeg());
    thumbnail_.BindInt64(1, index + 1);
    thumbnail_.BindBlob(2, TinyJpeg());
    return StepAndReset(picture_) && StepAndReset(thumbnail_);
  }

 private:
  static std::string PersonSql(int version) {
    std::string sql =
        "INSERT INTO ABPerson (ROWID, First, Last, Middle, Organization, Note, Kind, Birthday, "
        "CreationDate, ModificationDate";
    if (version >= 2)
      return sql +
             ", guid, AlternateBirthday, PreviousFamilyName) VALUES "
             "(?,?,?,?,?,?,?,?,?,?,?,?,?)";
    return sql + ") VALUES (?,?,?,?,?,?,?,?,?,?)";
  }
  static void BindOrNull(SampleStatement& statement, int index, const char* text) {
    if (text == nullptr) {
      statement.BindNull(index);
    } else {
      statement.BindText(index, text);
    }
  }
  static bool StepAndReset(SampleStatement& statement) {
    const bool done = statement.Step() == SQLITE_DONE;
    statement.Reset();
    return done;
  }

  int version_;
  SampleStatement person_;
  SampleStatement value_;
  SampleStatement entry_;
  SampleStatement full_text_;
  SampleStatement picture_;
  SampleStatement thumbnail_;
};

bool WriteLookups(SampleDatabase& book) {
  SampleStatement label(book.handle(), "INSERT INTO ABMultiValueLabel (rowid, value) VALUES (?,?)");
  SampleStatement key(book.handle(),
                      "INSERT INTO ABMultiValueEntryKey (rowid, value) VALUES (?,?)");
  if (!label.prepared() || !key.prepared()) return false;
  for (int i = 0; i < static_cast<int>(sizeof(kLabels) / sizeof(kLabels[0])); ++i) {
    label.BindInt(1, i + 1);
    label.BindText(2, kLabels[i]);
    if (label.Step() != SQLITE_DONE) return false;
    label.Reset();
  }
  for (int i = 0; i < static_cast<int>(sizeof(kEntryKeys) / sizeof(kEntryKeys[0])); ++i) {
    key.BindInt(1, i + 1);
    key.BindText(2, kEntryKeys[i]);
    if (key.Step() != SQLITE_DONE) return false;
    key.Reset();
  }
  return true;
}

bool WritePeople(AddressBookWriter& writer, const IosSampleOptions& options) {
  const std::vector<SamplePerson>& written = SamplePeople();
  const int count = kIosPeoplePerScale * (options.scale < 1 ? 1 : options.scale);
  SampleRandom random(options.seed);
  for (int index = 0; index < count; ++index) {
    SampleRandom person_random(random.Next());
    const DrawnPerson drawn = DrawPerson(index, person_random);
    const SamplePerson& person =
        index < static_cast<int>(written.size()) ? written[index] : drawn.person;
    if (options.older_copy && index >= count * 4 / 5) continue;
    const bool deleted = !options.older_copy && DeletedOnPhone(index);
    const std::vector<Value> values = ValuesOf(person, index);
    if (!deleted && !writer.WritePerson(index, person, person_random)) return false;
    if ((!deleted || LeftValues(index)) && !writer.WriteValues(index, values, person_random))
      return false;
    if ((!deleted || LeftFullText(index)) && !writer.WriteFullText(index, person, values))
      return false;
    if (!deleted && person.picture && !writer.WritePictures(index, index == 2)) return false;
  }
  return true;
}

}  // namespace

std::string IosAddressBookSql(int schema_version) {
  const int version = ClampVersion(schema_version);
  const char* person = version == 1 ? kPersonV1 : version == 2 ? kPersonV2 : kPersonV3;
  return std::string(person) + (version == 1 ? kMultiValueV1 : kMultiValueV2) + kSharedTables +
         (version == 1 ? kFullTextV1 : kFullTextV2);
}

std::string IosAddressBookImagesSql() { return kImagesSql; }

std::string TinyJpeg() {
  // Baseline, one grey component, quantisation all ones, and Huffman tables
  // of a single one-bit code each: the one block is DC difference 0 then
  // end-of-block, so every pixel decodes to 128.
  std::string jpeg("\xFF\xD8\xFF\xDB\x00\x43\x00", 7);
  jpeg.append(64, '\x01');
  jpeg.append("\xFF\xC0\x00\x0B\x08\x00\x02\x00\x04\x01\x01\x11\x00", 13);
  for (const char table_class : {'\x00', '\x10'}) {
    jpeg.append("\xFF\xC4\x00\x14", 4);
    jpeg += table_class;
    jpeg += '\x01';
    jpeg.append(15, '\x00');
    jpeg += '\x00';
  }
  jpeg.append("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00\x3F\xFF\xD9", 13);
  return jpeg;
}

bool WriteIosAddressBook(const std::string& path, const std::string& images_path,
                         const IosSampleOptions& options) {
  const int version = ClampVersion(options.schema_version);
  SampleDatabase book(path);
  SampleDatabase images(images_path);
  if (!book.is_open() || !images.is_open()) return false;
  if (!book.Exec(IosAddressBookSql(version).c_str()) || !images.Exec(kImagesSql)) return false;
  book.Exec("BEGIN");
  images.Exec("BEGIN");
  AddressBookWriter writer(book, images, version);
  const bool written = writer.ready() && WriteLookups(book) && WritePeople(writer, options);
  if (!written) return false;
  return book.Exec("COMMIT") && images.Exec("COMMIT");
}

}  // namespace kx::samples
