#include "samples/android_contacts.h"

#include <sqlite3.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace kx::samples {

namespace {

// ---------------------------------------------------------------------------
// Table definitions, as the contacts provider writes them.

// Android 4.0: account columns on raw_contacts, accounts without ids.
constexpr char kOlderSchema[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "CREATE TABLE accounts (account_name TEXT, account_type TEXT, data_set TEXT);"
    "CREATE TABLE contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,name_raw_contact_id INTEGER "
    "REFERENCES raw_contacts(_id),photo_id INTEGER REFERENCES data(_id),photo_file_id INTEGER "
    "REFERENCES photo_files(_id),custom_ringtone TEXT,send_to_voicemail INTEGER NOT NULL DEFAULT "
    "0,times_contacted INTEGER NOT NULL DEFAULT 0,last_time_contacted INTEGER,starred INTEGER NOT "
    "NULL DEFAULT 0,has_phone_number INTEGER NOT NULL DEFAULT 0,lookup TEXT,status_update_id "
    "INTEGER REFERENCES data(_id));"
    "CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,account_name STRING DEFAULT "
    "NULL, account_type STRING DEFAULT NULL, data_set STRING DEFAULT NULL, sourceid "
    "TEXT,raw_contact_is_read_only INTEGER NOT NULL DEFAULT 0,version INTEGER NOT NULL DEFAULT "
    "1,dirty INTEGER NOT NULL DEFAULT 0,deleted INTEGER NOT NULL DEFAULT 0,contact_id INTEGER "
    "REFERENCES contacts(_id),aggregation_mode INTEGER NOT NULL DEFAULT 0,aggregation_needed "
    "INTEGER NOT NULL DEFAULT 1,custom_ringtone TEXT,send_to_voicemail INTEGER NOT NULL DEFAULT "
    "0,times_contacted INTEGER NOT NULL DEFAULT 0,last_time_contacted INTEGER,starred INTEGER NOT "
    "NULL DEFAULT 0,display_name TEXT,display_name_alt TEXT,display_name_source INTEGER NOT NULL "
    "DEFAULT 0,phonetic_name TEXT,phonetic_name_style TEXT,sort_key TEXT COLLATE "
    "PHONEBOOK,sort_key_alt TEXT COLLATE PHONEBOOK,name_verified INTEGER NOT NULL DEFAULT 0,sync1 "
    "TEXT, sync2 TEXT, sync3 TEXT, sync4 TEXT );"
    "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY AUTOINCREMENT,mimetype TEXT NOT NULL);"
    "CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT,package_id INTEGER REFERENCES "
    "package(_id),mimetype_id INTEGER REFERENCES mimetype(_id) NOT NULL,raw_contact_id INTEGER "
    "REFERENCES raw_contacts(_id) NOT NULL,is_read_only INTEGER NOT NULL DEFAULT 0,is_primary "
    "INTEGER NOT NULL DEFAULT 0,is_super_primary INTEGER NOT NULL DEFAULT 0,data_version INTEGER "
    "NOT NULL DEFAULT 0,data1 TEXT,data2 TEXT,data3 TEXT,data4 TEXT,data5 TEXT,data6 TEXT,data7 "
    "TEXT,data8 TEXT,data9 TEXT,data10 TEXT,data11 TEXT,data12 TEXT,data13 TEXT,data14 "
    "TEXT,data15 TEXT,data_sync1 TEXT, data_sync2 TEXT, data_sync3 TEXT, data_sync4 TEXT );";

// Android 7: the accounts table with ids, hash_id and carrier_presence.
constexpr char kNewerSchema[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "CREATE TABLE accounts (_id INTEGER PRIMARY KEY AUTOINCREMENT,account_name TEXT, account_type "
    "TEXT, data_set TEXT);"
    "CREATE TABLE contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,name_raw_contact_id INTEGER "
    "REFERENCES raw_contacts(_id),photo_id INTEGER REFERENCES data(_id),photo_file_id INTEGER "
    "REFERENCES photo_files(_id),custom_ringtone TEXT,send_to_voicemail INTEGER NOT NULL DEFAULT "
    "0,times_contacted INTEGER NOT NULL DEFAULT 0,last_time_contacted INTEGER,starred INTEGER NOT "
    "NULL DEFAULT 0,pinned INTEGER NOT NULL DEFAULT 0,has_phone_number INTEGER NOT NULL DEFAULT "
    "0,lookup TEXT,status_update_id INTEGER REFERENCES data(_id),contact_last_updated_timestamp "
    "INTEGER);"
    "CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,account_id INTEGER "
    "REFERENCES accounts(_id),sourceid TEXT,backup_id TEXT,raw_contact_is_read_only INTEGER NOT "
    "NULL DEFAULT 0,version INTEGER NOT NULL DEFAULT 1,dirty INTEGER NOT NULL DEFAULT 0,deleted "
    "INTEGER NOT NULL DEFAULT 0,metadata_dirty INTEGER NOT NULL DEFAULT 0,contact_id INTEGER "
    "REFERENCES contacts(_id),aggregation_mode INTEGER NOT NULL DEFAULT 0,aggregation_needed "
    "INTEGER NOT NULL DEFAULT 1,custom_ringtone TEXT,send_to_voicemail INTEGER NOT NULL DEFAULT "
    "0,times_contacted INTEGER NOT NULL DEFAULT 0,last_time_contacted INTEGER,starred INTEGER NOT "
    "NULL DEFAULT 0,pinned INTEGER NOT NULL DEFAULT 0,display_name TEXT,display_name_alt "
    "TEXT,display_name_source INTEGER NOT NULL DEFAULT 0,phonetic_name TEXT,phonetic_name_style "
    "TEXT,sort_key TEXT COLLATE PHONEBOOK,phonebook_label TEXT,phonebook_bucket "
    "INTEGER,sort_key_alt TEXT COLLATE PHONEBOOK,phonebook_label_alt TEXT,phonebook_bucket_alt "
    "INTEGER,name_verified INTEGER NOT NULL DEFAULT 0,sync1 TEXT, sync2 TEXT, sync3 TEXT, sync4 "
    "TEXT );"
    "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY AUTOINCREMENT,mimetype TEXT NOT NULL);"
    "CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT,package_id INTEGER REFERENCES "
    "package(_id),mimetype_id INTEGER REFERENCES mimetype(_id) NOT NULL,raw_contact_id INTEGER "
    "REFERENCES raw_contacts(_id) NOT NULL,hash_id TEXT,is_read_only INTEGER NOT NULL DEFAULT "
    "0,is_primary INTEGER NOT NULL DEFAULT 0,is_super_primary INTEGER NOT NULL DEFAULT "
    "0,data_version INTEGER NOT NULL DEFAULT 0,data1 TEXT,data2 TEXT,data3 TEXT,data4 TEXT,data5 "
    "TEXT,data6 TEXT,data7 TEXT,data8 TEXT,data9 TEXT,data10 TEXT,data11 TEXT,data12 TEXT,data13 "
    "TEXT,data14 TEXT,data15 TEXT,data_sync1 TEXT, data_sync2 TEXT, data_sync3 TEXT, data_sync4 "
    "TEXT, carrier_presence INTEGER NOT NULL DEFAULT 0 );";

// Indexes of both versions; the sort-key indexes need the PHONEBOOK collation.
constexpr char kCommonIndexes[] =
    "CREATE INDEX contacts_has_phone_index ON contacts (has_phone_number);"
    "CREATE INDEX contacts_name_raw_contact_id_index ON contacts (name_raw_contact_id);"
    "CREATE INDEX raw_contacts_contact_id_index ON raw_contacts (contact_id);"
    "CREATE INDEX raw_contact_sort_key1_index ON raw_contacts (sort_key);"
    "CREATE INDEX raw_contact_sort_key2_index ON raw_contacts (sort_key_alt);"
    "CREATE UNIQUE INDEX mime_type ON mimetypes (mimetype);"
    "CREATE INDEX data_raw_contact_id ON data (raw_contact_id);"
    "CREATE INDEX data_mimetype_data1_index ON data (mimetype_id,data1);";
constexpr char kNewerIndexes[] =
    "CREATE UNIQUE INDEX raw_contacts_backup_id_account_id_index ON raw_contacts (backup_id, "
    "account_id);"
    "CREATE INDEX data_hash_id_index ON data (hash_id);";

constexpr char kPhonebookCollation[] = "PHONEBOOK";

constexpr char kOlderRawContactInsert[] =
    "INSERT INTO raw_contacts (_id,account_name,account_type,data_set,sourceid,version,dirty,"
    "deleted,contact_id,times_contacted,last_time_contacted,starred,display_name,"
    "display_name_alt,display_name_source,sort_key,sort_key_alt) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr char kNewerRawContactInsert[] =
    "INSERT INTO raw_contacts (_id,account_id,sourceid,version,dirty,deleted,contact_id,"
    "times_contacted,last_time_contacted,starred,display_name,display_name_alt,"
    "display_name_source,sort_key,sort_key_alt,phonebook_label,phonebook_bucket) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr char kDataInsert[] =
    "INSERT INTO data (_id,mimetype_id,raw_contact_id,is_primary,is_super_primary,data_version,"
    "data1,data2,data3,data4,data5,data6,data7,data8,data9,data10,data11,data12,data13,data14,"
    "data15) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr char kOlderContactInsert[] =
    "INSERT INTO contacts (_id,name_raw_contact_id,photo_id,times_contacted,last_time_contacted,"
    "starred,has_phone_number,lookup) VALUES (?,?,?,?,?,?,?,?)";
constexpr char kNewerContactInsert[] =
    "INSERT INTO contacts (_id,name_raw_contact_id,photo_id,times_contacted,last_time_contacted,"
    "starred,has_phone_number,lookup,contact_last_updated_timestamp) "
    "VALUES (?,?,?,?,?,?,?,?,?)";
constexpr char kOlderAccountInsert[] =
    "INSERT INTO accounts (account_name,account_type,data_set) VALUES (?,?,NULL)";
constexpr char kNewerAccountInsert[] =
    "INSERT INTO accounts (_id,account_name,account_type,data_set) VALUES (?,?,?,NULL)";
constexpr char kMimetypeInsert[] = "INSERT INTO mimetypes (_id,mimetype) VALUES (?,?)";

// Mimetype ids in the order a phone first used them; copies of one phone
// agree on them.
enum Mime {
  kEmail = 1,
  kIm,
  kNickname,
  kOrganization,
  kPhone,
  kSip,
  kName,
  kPostal,
  kIdentity,
  kPhoto,
  kGroup,
  kNote,
  kWebsite,
  kRelation,
  kEvent,
  kWhatsAppProfile,
  kWhatsAppCall,
};
constexpr const char* kMimetypes[] = {
    "vnd.android.cursor.item/email_v2",
    "vnd.android.cursor.item/im",
    "vnd.android.cursor.item/nickname",
    "vnd.android.cursor.item/organization",
    "vnd.android.cursor.item/phone_v2",
    "vnd.android.cursor.item/sip_address",
    "vnd.android.cursor.item/name",
    "vnd.android.cursor.item/postal-address_v2",
    "vnd.android.cursor.item/identity",
    "vnd.android.cursor.item/photo",
    "vnd.android.cursor.item/group_membership",
    "vnd.android.cursor.item/note",
    "vnd.android.cursor.item/website",
    "vnd.android.cursor.item/relation",
    "vnd.android.cursor.item/contact_event",
    "vnd.android.cursor.item/vnd.com.whatsapp.profile",
    "vnd.android.cursor.item/vnd.com.whatsapp.voip.call",
};

struct Account {
  const char* name;  // null: the phone's local account
  const char* type;
};
constexpr Account kAccounts[] = {
    {nullptr, nullptr},
    {"alex.morgan@gmail.com", "com.google"},
    {"WhatsApp", "com.whatsapp"},
};
constexpr int kLocalAccount = 0;
constexpr int kGoogleAccount = 1;
constexpr int kWhatsAppAccount = 2;

// Display-name sources of the provider.
constexpr int kNameSourceUndefined = 0;
constexpr int kNameSourceStructuredName = 40;

constexpr int64_t kFirstContactTime = 1615713993123;  // 03-14-2021 09:26:33 UTC, in ms

// ---------------------------------------------------------------------------
// The address book as the phone held it over time.

using Cell = std::optional<std::string>;

struct DataRowModel {
  int64_t id = 0;
  int mimetype_id = 0;
  std::array<Cell, 14> text;     // data1..data14
  std::vector<uint8_t> picture;  // data15; empty: NULL
  bool is_primary = false;
  bool only_in_older = false;  // deleted on the phone since the older copy
  Cell older_data1;            // data1 as the older copy had it, when edited since
};

struct RawContactModel {
  int64_t id = 0;
  int64_t contact_id = 0;
  int account = kLocalAccount;
  Cell display_name;
  Cell display_name_alt;
  int display_name_source = kNameSourceUndefined;
  bool starred = false;
  int times_contacted = 0;
  int64_t last_time_contacted = 0;
  std::string lookup;
  bool person = true;  // false: a messenger's raw contact
  bool only_in_older = false;
  bool only_in_newer = false;
  std::vector<DataRowModel> rows;
};

struct PersonTemplate {
  const char* display_name;
  const char* display_name_alt;
  const char* given_name;
  const char* family_name;
  const char* prefix;
  const char* middle_name;
  const char* suffix;
  const char* full_name_style;  // FullNameStyle as the provider stores it
  const char* dial_prefix;      // as the number is shown
  const char* e164_prefix;      // as the provider normalises it
};

// Ten people of a unit, then the one the newer copy lost and the one it
// gained.
constexpr PersonTemplate kPeople[] = {
    {"José Álvarez", "Álvarez, José", "José", "Álvarez", nullptr, nullptr, nullptr, "1", "+34 6",
     "+346"},
    {"Zoë O'Brien", "O'Brien, Zoë", "Zoë", "O'Brien", nullptr, nullptr, nullptr, "1", "07700 9",
     "+4477009"},
    {"محمد الأحمد", "الأحمد, محمد", "محمد", "الأحمد", nullptr, nullptr, nullptr, "0", "+966 5",
     "+9665"},
    {"דנה כהן", "כהן, דנה", "דנה", "כהן", nullptr, nullptr, nullptr, "0", "052-", "+97252"},
    {"Mia 🌸 Chen", "Chen, Mia 🌸", "Mia 🌸", "Chen", nullptr, nullptr, nullptr, "1", "0912 ",
     "+886912"},
    {"\"Big\" Tony Russo", "Russo, \"Big\" Tony", "Tony", "Russo", nullptr, nullptr, nullptr, "1",
     "(555) ", "+1555"},
    {"Dr. Renée d'Arc-Lefèvre, PhD", "d'Arc-Lefèvre, Dr. Renée, PhD", "Renée", "d'Arc-Lefèvre",
     "Dr.", nullptr, "PhD", "1", "06 ", "+336"},
    {"山田 太郎", "山田 太郎", "太郎", "山田", nullptr, nullptr, nullptr, "4", "090-", "+8190"},
    {"Ólafur Þórsson", "Þórsson, Ólafur", "Ólafur", "Þórsson", nullptr, nullptr, nullptr, "1",
     "+354 8", "+3548"},
    {"Nguyễn Văn An", "An, Nguyễn Văn", "An", "Nguyễn", nullptr, "Văn", nullptr, "0", "0912 ",
     "+84912"},
    {"Ingrid Lövgren-Ødegaard", "Lövgren-Ødegaard, Ingrid", "Ingrid", "Lövgren-Ødegaard", nullptr,
     nullptr, nullptr, "1", "070-", "+4670"},
    {"Ama Mensah", "Mensah, Ama", "Ama", "Mensah", nullptr, nullptr, nullptr, "1", "024 ",
     "+23324"},
};
constexpr int kPeoplePerUnit = 10;
constexpr int kLostPerson = 10;
constexpr int kNewPerson = 11;
constexpr int kMessengerJoinsSlot = 1;

std::string Digits(std::mt19937& rng, int count) {
  std::string digits;
  for (int i = 0; i < count; ++i) digits.push_back(static_cast<char>('0' + rng() % 10));
  return digits;
}

void AppendBigEndian32(uint32_t value, std::vector<uint8_t>* bytes) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes->push_back((value >> shift) & 0xFF);
}

void AppendPngChunk(const char* type, const std::vector<uint8_t>& payload,
                    std::vector<uint8_t>* png) {
  AppendBigEndian32(static_cast<uint32_t>(payload.size()), png);
  const size_t type_at = png->size();
  png->insert(png->end(), type, type + 4);
  png->insert(png->end(), payload.begin(), payload.end());
  const uLong crc = crc32(0L, png->data() + type_at, static_cast<uInt>(png->size() - type_at));
  AppendBigEndian32(static_cast<uint32_t>(crc), png);
}

// A valid 1x1 RGBA PNG: the placeholder a messenger stores, under 256 bytes.
std::vector<uint8_t> MakeTinyPng(std::mt19937& rng) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  AppendPngChunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 6, 0, 0, 0}, &png);
  const uint8_t scanline[] = {0, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                              static_cast<uint8_t>(rng()), 0xFF};
  std::vector<uint8_t> deflated(compressBound(sizeof(scanline)));
  uLongf deflated_size = static_cast<uLongf>(deflated.size());
  compress(deflated.data(), &deflated_size, scanline, sizeof(scanline));
  deflated.resize(deflated_size);
  AppendPngChunk("IDAT", deflated, &png);
  AppendPngChunk("IEND", {}, &png);
  return png;
}

// A baseline JPEG of `size` bytes: JFIF, quantisation and frame headers,
// then an entropy-coded body (no 0xFF inside) and the end marker.
std::vector<uint8_t> MakeJpeg(std::mt19937& rng, size_t size) {
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                               0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
  jpeg.insert(jpeg.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
  for (int i = 0; i < 64; ++i) jpeg.push_back(static_cast<uint8_t>(1 + rng() % 40));
  jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x60, 0x00, 0x60, 0x03, 0x01, 0x22,
                           0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01});
  jpeg.insert(jpeg.end(),
              {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00});
  while (jpeg.size() + 2 < size) jpeg.push_back(static_cast<uint8_t>(rng() % 0xFF));
  jpeg.insert(jpeg.end(), {0xFF, 0xD9});
  return jpeg;
}

// Builds the people of every unit with the ids the phone gave them.
class AddressBookBuilder {
 public:
  AddressBookBuilder(uint32_t seed, int scale) : rng_(seed), scale_(scale < 1 ? 1 : scale) {}

  std::vector<RawContactModel> Build() {
    for (int unit = 0; unit < scale_; ++unit) {
      int64_t joined_contact_id = 0;
      for (int slot = 0; slot < kPeoplePerUnit; ++slot) {
        const int64_t contact_id = AddPerson(slot, unit).contact_id;
        if (slot == kMessengerJoinsSlot) joined_contact_id = contact_id;
        if (slot == 4) AddPerson(kLostPerson, unit).only_in_older = true;
      }
      AddMessengerContact(unit, joined_contact_id);
    }
    // Added after the older copy was taken: the highest ids.
    for (int unit = 0; unit < scale_; ++unit) AddPerson(kNewPerson, unit).only_in_newer = true;
    return std::move(contacts_);
  }

 private:
  DataRowModel& AddRow(RawContactModel& contact, Mime mime,
                       std::initializer_list<std::pair<int, const char*>> values) {
    DataRowModel row;
    row.id = next_data_id_++;
    row.mimetype_id = mime;
    for (const auto& value : values) {
      const bool in_text = value.first >= 1 && value.first <= static_cast<int>(row.text.size());
      if (in_text && value.second != nullptr) row.text[value.first - 1] = value.second;
    }
    contact.rows.push_back(std::move(row));
    return contact.rows.back();
  }

  DataRowModel& AddPhone(RawContactModel& contact, const PersonTemplate& person, const char* type,
                         const char* custom_type) {
    const std::string digits = Digits(rng_, 8);
    const std::string shown = std::string(person.dial_prefix) + digits.substr(0, 3) + " " +
                              digits.substr(3, 2) + " " + digits.substr(5);
    DataRowModel& row = AddRow(contact, kPhone, {{2, type}, {3, custom_type}});
    row.text[0] = shown;
    // The provider leaves the normalised number NULL when it could not parse.
    if (rng_() % 4 != 0) row.text[3] = std::string(person.e164_prefix) + digits;
    return row;
  }

  DataRowModel& AddPicture(RawContactModel& contact, size_t size) {
    DataRowModel& row = AddRow(contact, kPhoto, {});
    row.picture = size == 0 ? MakeTinyPng(rng_) : MakeJpeg(rng_, size);
    return row;
  }

  static std::string Numbered(const char* text, int unit) {
    return unit == 0 ? std::string(text) : std::string(text) + " " + std::to_string(unit + 1);
  }

  RawContactModel& AddPerson(int slot, int unit) {
    const PersonTemplate& person = kPeople[slot];
    RawContactModel contact;
    contact.id = next_raw_contact_id_++;
    contact.contact_id = contact.id;
    contact.account = slot % 3 == 0 ? kGoogleAccount : kLocalAccount;
    contact.display_name = Numbered(person.display_name, unit);
    contact.display_name_alt = Numbered(person.display_name_alt, unit);
    contact.display_name_source = kNameSourceStructuredName;
    contact.starred = slot == 0 || slot == 7;
    contact.times_contacted = static_cast<int>(rng_() % 40);
    contact.last_time_contacted =
        contact.times_contacted == 0 ? 0 : kFirstContactTime + (rng_() % 900000) * 1000;
    contact.lookup = "0r" + std::to_string(contact.id) + "-" + Digits(rng_, 6);
    DataRowModel& name = AddRow(contact, kName,
                                {{1, nullptr},
                                 {2, person.given_name},
                                 {3, person.family_name},
                                 {4, person.prefix},
                                 {5, person.middle_name},
                                 {6, person.suffix},
                                 {10, person.full_name_style}});
    name.text[0] = contact.display_name;
    AddDetails(slot, person, contact);
    contacts_.push_back(std::move(contact));
    return contacts_.back();
  }

  // The data rows beyond the name: every kind of the field table appears in
  // one unit, with the custom types and NULLs a phone produces.
  void AddDetails(int slot, const PersonTemplate& person, RawContactModel& contact) {
    switch (slot) {
      case 0:
        AddPhone(contact, person, "2", nullptr).is_primary = true;
        AddPhone(contact, person, "3", nullptr).only_in_older = true;  // number removed since
        AddRow(contact, kEmail, {{1, "jose.alvarez@example.es"}, {2, "1"}});
        AddRow(contact, kPostal,
               {{1, "Calle de Alcalá 42\n28014 Madrid\nEspaña"},
                {2, "1"},
                {4, "Calle de Alcalá 42"},
                {7, "Madrid"},
                {9, "28014"},
                {10, "España"}});
        AddRow(contact, kEvent, {{1, "1985-04-12"}, {2, "3"}});
        AddPicture(contact, 1500 + rng_() % 500);
        AddRow(contact, kGroup, {{1, "1"}});
        break;
      case 1:
        AddPhone(contact, person, "1", nullptr);
        AddPhone(contact, person, "2", nullptr);
        AddRow(contact, kEmail, {{1, "zoe.o'brien@example.co.uk"}, {2, "2"}, {4, "Zoë (work)"}});
        AddRow(contact, kRelation, {{1, "Sam O'Brien"}, {2, "4"}});
        break;
      case 2:
        AddPhone(contact, person, "2", nullptr);
        AddRow(contact, kIm, {{1, "mohammed.alahmad"}, {2, "3"}, {5, "-1"}, {6, "Matrix"}});
        AddPicture(contact, 0);
        break;
      case 3:
        AddPhone(contact, person, "0", "Boat");
        AddPhone(contact, person, "17", nullptr);
        AddRow(contact, kPostal,
               {{1, "רחוב הרצל 1, תל אביב"},
                {2, "2"},
                {4, "רחוב הרצל 1"},
                {7, "תל אביב"},
                {10, "ישראל"}});
        AddRow(contact, kNote, {{1, "Prefers \"WhatsApp\" over calls — שלום 👋\nAsk for Dana"}});
        break;
      case 4:
        AddPhone(contact, person, nullptr, "Satellite");
        AddRow(contact, kEmail, {{1, "mia.chen@example.tw"}, {2, "4"}});
        AddRow(contact, kEvent, {{1, "2012-06-30"}, {2, "1"}});
        AddPicture(contact, 300 + rng_() % 200);
        break;
      case 5:
        AddRow(contact, kNickname, {{1, "Big T"}, {2, "1"}});
        AddPhone(contact, person, "1", nullptr);
        AddPhone(contact, person, "4", nullptr);
        AddRow(contact, kPhoto, {{14, "42"}});  // full-size picture in a file, no thumbnail
        break;
      case 6:
        AddRow(contact, kEmail,
               {{1, "renee@conferences.example.fr"}, {2, "0"}, {3, "Conférences"}});
        AddRow(contact, kEmail, {{1, "renee@ateliers-darc.example.fr"}, {2, "2"}});
        AddRow(contact, kOrganization,
               {{1, "Ateliers d'Arc"}, {2, "1"}, {4, "Directrice"}, {5, "R&D"}, {9, "Bât. B"}});
        AddRow(contact, kWebsite, {{1, "https://renee.example.fr/"}, {2, "1"}});
        AddRow(contact, kNote, {{1, "Allergique aux noix; préfère l'après-midi."}});
        break;
      case 7:
        AddRow(contact, kOrganization, {{1, "株式会社サンプル"}, {2, "2"}, {4, "課長"}});
        AddRow(contact, kIdentity, {{1, "taro.yamada@example.jp"}, {2, "com.google"}});
        AddRow(contact, kNickname, {{1, "タロ"}, {2, "4"}});
        AddPicture(contact, 2400);
        break;
      case 8:
        AddRow(contact, kEmail, {{1, "olafur@example.is"}, {2, "3"}}).older_data1 =
            "olafur@old.example.is";
        AddRow(contact, kRelation, {{1, "Guðmóðir"}, {2, "0"}, {3, "Godmother"}});
        AddRow(contact, kRelation, {{1, "Guðrún Jónsdóttir"}, {2, "8"}});
        AddRow(contact, kWebsite, {{1, "ftp://files.example.is/"}, {2, "6"}});
        break;
      case 9:
        AddPhone(contact, person, "12", nullptr);
        AddRow(contact, kSip, {{1, "an.nguyen@sip.example.vn"}, {2, "1"}});
        AddRow(contact, kIm, {{1, "an.nguyen@gmail.com"}, {2, "1"}, {5, "5"}});
        AddRow(contact, kNickname, {{1, "NVA"}, {2, "5"}});
        AddRow(contact, kEvent, {{1, "--01-29"}, {2, "0"}, {3, "Tết"}});
        break;
      case kLostPerson:
        AddPhone(contact, person, "2", nullptr);
        AddRow(contact, kEmail, {{1, "ingrid@example.se"}, {2, "1"}});
        AddPicture(contact, 900);
        break;
      case kNewPerson:
        AddPhone(contact, person, "2", nullptr);
        AddRow(contact, kEmail, {{1, "ama.mensah@example.com.gh"}, {2, "2"}});
        break;
      default:
        break;
    }
  }

  // WhatsApp's own raw contact, joined to a person's contact.
  void AddMessengerContact(int unit, int64_t joined_contact_id) {
    RawContactModel contact;
    contact.id = next_raw_contact_id_++;
    contact.contact_id = joined_contact_id;
    contact.account = kWhatsAppAccount;
    contact.person = false;
    contact.lookup = "0r" + std::to_string(contact.id) + "-" + Digits(rng_, 6);
    const std::string jid = "4477009" + Digits(rng_, 5) + "@s.whatsapp.net";
    const std::string label = "Message +44 7700 9" + std::to_string(unit);
    DataRowModel& profile = AddRow(contact, kWhatsAppProfile, {{2, "WhatsApp"}});
    profile.text[0] = jid;
    profile.text[2] = label;
    AddRow(contact, kWhatsAppCall, {{2, "WhatsApp"}, {3, "Voice call"}}).text[0] = jid;
    contacts_.push_back(std::move(contact));
  }

  std::mt19937 rng_;
  int scale_;
  int64_t next_raw_contact_id_ = 1;
  int64_t next_data_id_ = 1;
  std::vector<RawContactModel> contacts_;
};

// ---------------------------------------------------------------------------
// Writing one copy, with SQLite alone.

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// One prepared insert; a statement that failed to prepare binds nothing and
// never steps to done.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    statement_.reset(statement);
  }

  void BindInt(int index, int value) { sqlite3_bind_int(statement_.get(), index, value); }
  void BindInt64(int index, int64_t value) { sqlite3_bind_int64(statement_.get(), index, value); }
  void BindNull(int index) { sqlite3_bind_null(statement_.get(), index); }
  void BindText(int index, const std::string& value) {
    sqlite3_bind_text(statement_.get(), index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
  }
  void BindBlob(int index, const void* data, int size) {
    sqlite3_bind_blob(statement_.get(), index, data, size, SQLITE_TRANSIENT);
  }
  // Steps once; true when the row went in. Ready for the next row after.
  bool StepAndReset() {
    if (!statement_) return false;
    const bool done = sqlite3_step(statement_.get()) == SQLITE_DONE;
    sqlite3_reset(statement_.get());
    sqlite3_clear_bindings(statement_.get());
    return done;
  }

 private:
  std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement_;
};

int CompareBytes(void* /*unused*/, int left_size, const void* left, int right_size,
                 const void* right) {
  const int common = left_size < right_size ? left_size : right_size;
  const int order = common == 0 ? 0 : std::memcmp(left, right, static_cast<size_t>(common));
  if (order != 0) return order;
  return left_size - right_size;
}

void BindCell(Statement& statement, int index, const Cell& cell) {
  if (cell) {
    statement.BindText(index, *cell);
  } else {
    statement.BindNull(index);
  }
}

void BindOptionalText(Statement& statement, int index, const char* text) {
  if (text != nullptr) {
    statement.BindText(index, text);
  } else {
    statement.BindNull(index);
  }
}

// The first character of a name, the provider's phone-book label.
std::string FirstCharacter(const Cell& name) {
  if (!name || name->empty()) return "#";
  size_t length = 1;
  while (length < name->size() && (static_cast<unsigned char>((*name)[length]) & 0xC0) == 0x80) {
    ++length;
  }
  return name->substr(0, length);
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool CreateTables(sqlite3* db, bool older_schema) {
  if (!Exec(db, older_schema ? kOlderSchema : kNewerSchema) || !Exec(db, kCommonIndexes)) {
    return false;
  }
  if (!older_schema && !Exec(db, kNewerIndexes)) return false;
  return Exec(db, "INSERT INTO android_metadata VALUES ('en_US')");
}

// Writes the rows of one copy; the tables must exist when it is made.
class ContactsWriter {
 public:
  ContactsWriter(sqlite3* db, const AndroidSampleOptions& options)
      : db_(db), older_schema_(options.schema_version == 1), older_copy_(options.older_copy) {}

  bool Write(const std::vector<RawContactModel>& contacts, AndroidContactsSummary* summary) {
    if (!Exec("BEGIN")) return false;
    bool written = WriteMimetypes() && WriteAccounts();
    for (const RawContactModel& contact : contacts) {
      if (!written) break;
      if (older_copy_ ? contact.only_in_newer : contact.only_in_older) continue;
      written = WriteRawContact(contact, summary);
    }
    return Exec("COMMIT") && written;
  }

 private:
  bool Exec(const char* sql) { return samples::Exec(db_, sql); }

  bool WriteMimetypes() {
    Statement insert(db_, kMimetypeInsert);
    bool written = true;
    for (size_t i = 0; i < std::size(kMimetypes); ++i) {
      insert.BindInt64(1, static_cast<int64_t>(i + 1));
      insert.BindText(2, kMimetypes[i]);
      written = insert.StepAndReset() && written;
    }
    return written;
  }

  bool WriteAccounts() {
    Statement insert(db_, older_schema_ ? kOlderAccountInsert : kNewerAccountInsert);
    bool written = true;
    for (size_t i = 0; i < std::size(kAccounts); ++i) {
      int index = 1;
      if (!older_schema_) insert.BindInt64(index++, static_cast<int64_t>(i + 1));
      BindOptionalText(insert, index++, kAccounts[i].name);
      BindOptionalText(insert, index, kAccounts[i].type);
      written = insert.StepAndReset() && written;
    }
    return written;
  }

  bool WriteRawContact(const RawContactModel& contact, AndroidContactsSummary* summary) {
    Statement& insert = raw_contact_insert_;
    const Account& account = kAccounts[contact.account];
    int index = 1;
    insert.BindInt64(index++, contact.id);
    if (older_schema_) {
      BindOptionalText(insert, index++, account.name);
      BindOptionalText(insert, index++, account.type);
      insert.BindNull(index++);
    } else {
      insert.BindInt64(index++, contact.account + 1);
    }
    BindOptionalText(insert, index++, nullptr);  // sourceid: set by a sync adapter only
    insert.BindInt(index++, 1 + static_cast<int>(contact.rows.size()));
    insert.BindInt(index++, contact.account == kLocalAccount ? 0 : 1);
    insert.BindInt(index++, 0);
    insert.BindInt64(index++, contact.contact_id);
    insert.BindInt(index++, contact.times_contacted);
    if (contact.last_time_contacted == 0) {
      insert.BindNull(index++);
    } else {
      insert.BindInt64(index++, contact.last_time_contacted);
    }
    insert.BindInt(index++, contact.starred ? 1 : 0);
    BindCell(insert, index++, contact.display_name);
    BindCell(insert, index++, contact.display_name_alt);
    insert.BindInt(index++, contact.display_name_source);
    BindCell(insert, index++, contact.display_name);
    BindCell(insert, index++, contact.display_name_alt);
    if (!older_schema_) {
      insert.BindText(index++, FirstCharacter(contact.display_name));
      insert.BindInt(index, 1);
    }
    if (!insert.StepAndReset()) return false;
    ++summary->raw_contacts;
    if (contact.person) {
      ++summary->person_contacts;
    } else {
      ++summary->app_only_contacts;
    }
    int64_t photo_id = 0;
    bool has_phone = false;
    for (const DataRowModel& row : contact.rows) {
      if (!older_copy_ && row.only_in_older) continue;
      if (!WriteDataRow(contact.id, row)) return false;
      ++summary->data_rows;
      if (row.picture.size() >= 256) {
        ++summary->pictures;
        photo_id = row.id;
      }
      has_phone = has_phone || row.mimetype_id == kPhone;
    }
    return contact.person ? WriteAggregate(contact, photo_id, has_phone) : true;
  }

  bool WriteDataRow(int64_t raw_contact_id, const DataRowModel& row) {
    Statement& insert = data_insert_;
    const bool edited = row.older_data1.has_value();
    insert.BindInt64(1, row.id);
    insert.BindInt(2, row.mimetype_id);
    insert.BindInt64(3, raw_contact_id);
    insert.BindInt(4, row.is_primary ? 1 : 0);
    insert.BindInt(5, row.is_primary ? 1 : 0);
    insert.BindInt(6, edited && !older_copy_ ? 1 : 0);
    for (size_t column = 0; column < row.text.size(); ++column) {
      const bool older_value = column == 0 && edited && older_copy_;
      BindCell(insert, static_cast<int>(7 + column),
               older_value ? row.older_data1 : row.text[column]);
    }
    if (row.picture.empty()) {
      insert.BindNull(21);
    } else {
      insert.BindBlob(21, row.picture.data(), static_cast<int>(row.picture.size()));
    }
    return insert.StepAndReset();
  }

  bool WriteAggregate(const RawContactModel& contact, int64_t photo_id, bool has_phone) {
    Statement& insert = contact_insert_;
    insert.BindInt64(1, contact.contact_id);
    insert.BindInt64(2, contact.id);
    if (photo_id == 0) {
      insert.BindNull(3);
    } else {
      insert.BindInt64(3, photo_id);
    }
    insert.BindInt(4, contact.times_contacted);
    if (contact.last_time_contacted == 0) {
      insert.BindNull(5);
    } else {
      insert.BindInt64(5, contact.last_time_contacted);
    }
    insert.BindInt(6, contact.starred ? 1 : 0);
    insert.BindInt(7, has_phone ? 1 : 0);
    insert.BindText(8, contact.lookup);
    if (!older_schema_) insert.BindInt64(9, kFirstContactTime + contact.id * 60000);
    return insert.StepAndReset();
  }

  sqlite3* db_;
  const bool older_schema_;
  const bool older_copy_;
  Statement raw_contact_insert_{db_,
                                older_schema_ ? kOlderRawContactInsert : kNewerRawContactInsert};
  Statement data_insert_{db_, kDataInsert};
  Statement contact_insert_{db_, older_schema_ ? kOlderContactInsert : kNewerContactInsert};
};

void RemoveDatabaseFiles(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::filesystem::remove(std::filesystem::u8path(path + suffix), ignored);
  }
}

}  // namespace

bool WriteAndroidContacts(const std::string& path, const AndroidSampleOptions& options,
                          AndroidContactsSummary* summary) {
  AndroidContactsSummary local_summary;
  AndroidContactsSummary* counts = summary != nullptr ? summary : &local_summary;
  *counts = AndroidContactsSummary();
  const std::vector<RawContactModel> contacts =
      AddressBookBuilder(options.seed, options.scale).Build();
  for (const RawContactModel& contact : contacts) {
    if (contact.only_in_older) counts->lost_names.push_back(*contact.display_name);
    if (contact.only_in_newer) counts->new_names.push_back(*contact.display_name);
  }

  RemoveDatabaseFiles(path);
  sqlite3* handle = nullptr;
  const int opened =
      sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  const std::unique_ptr<sqlite3, DatabaseCloser> db(handle);
  if (opened != SQLITE_OK) return false;
  // The provider sorts names with its own collation; a stand-in with byte
  // order lets this connection maintain the sort-key indexes.
  sqlite3_create_collation(db.get(), kPhonebookCollation, SQLITE_UTF8, nullptr, CompareBytes);
  if (!CreateTables(db.get(), options.schema_version == 1)) return false;
  ContactsWriter writer(db.get(), options);  // declared after `db`: its statements end first
  return writer.Write(contacts, counts);
}

}  // namespace kx::samples
