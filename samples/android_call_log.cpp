#include "samples/android_call_log.h"

#include <cstdint>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_random.h"

namespace kx::samples {

namespace {

// Android 4.4, contacts2.db.
constexpr char kCallsTableV1[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT,number TEXT,presentation INTEGER "
    "NOT NULL DEFAULT 1,date INTEGER,duration INTEGER,type INTEGER,new INTEGER,name TEXT,"
    "numbertype INTEGER,numberlabel TEXT,countryiso TEXT,voicemail_uri TEXT,is_read INTEGER,"
    "geocoded_location TEXT,lookup_uri TEXT,matched_number TEXT,normalized_number TEXT,photo_id "
    "INTEGER NOT NULL DEFAULT 0,formatted_number TEXT,_data TEXT,has_content INTEGER,mime_type "
    "TEXT,source_data TEXT,source_package TEXT,state INTEGER)";

// Current releases, calllog.db.
constexpr char kCallsTableV2[] =
    "CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT,number TEXT,presentation INTEGER "
    "NOT NULL DEFAULT 1,post_dial_digits TEXT NOT NULL DEFAULT '',via_number TEXT NOT NULL "
    "DEFAULT '',date INTEGER,duration INTEGER,data_usage INTEGER,type INTEGER,features INTEGER "
    "NOT NULL DEFAULT 0,subscription_component_name TEXT,subscription_id TEXT,"
    "phone_account_address TEXT,phone_account_hidden INTEGER NOT NULL DEFAULT 0,sub_id INTEGER "
    "DEFAULT -1,new INTEGER,name TEXT,numbertype INTEGER,numberlabel TEXT,countryiso TEXT,"
    "voicemail_uri TEXT,is_read INTEGER,geocoded_location TEXT,lookup_uri TEXT,matched_number "
    "TEXT,normalized_number TEXT,photo_id INTEGER NOT NULL DEFAULT 0,photo_uri TEXT,"
    "formatted_number TEXT,add_for_all_users INTEGER NOT NULL DEFAULT 1,last_modified INTEGER "
    "DEFAULT 0,call_screening_component_name TEXT,call_screening_app_name TEXT,block_reason "
    "INTEGER NOT NULL DEFAULT 0,missed_reason INTEGER NOT NULL DEFAULT 0,priority INTEGER NOT "
    "NULL DEFAULT 0,subject TEXT,location TEXT,composer_photo_uri TEXT,"
    "is_phone_account_migration_pending INTEGER NOT NULL DEFAULT 0,_data TEXT,has_content "
    "INTEGER,mime_type TEXT,source_data TEXT,source_package TEXT,transcription TEXT,"
    "transcription_state INTEGER NOT NULL DEFAULT 0,state INTEGER,dirty INTEGER NOT NULL DEFAULT "
    "0,deleted INTEGER NOT NULL DEFAULT 0,backed_up INTEGER NOT NULL DEFAULT 0,restored INTEGER "
    "NOT NULL DEFAULT 0,archived INTEGER NOT NULL DEFAULT 0,is_omtp_voicemail INTEGER NOT NULL "
    "DEFAULT 0)";

constexpr char kOtherTablesV2[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "INSERT INTO android_metadata VALUES ('en_US');"
    "CREATE TABLE properties (property_key TEXT PRIMARY KEY,property_value TEXT);"
    "CREATE TABLE voicemail_status (_id INTEGER PRIMARY KEY AUTOINCREMENT,source_package TEXT "
    "NOT NULL,phone_account_component_name TEXT,phone_account_id TEXT,settings_uri TEXT,"
    "voicemail_access_uri TEXT,configuration_state INTEGER,data_channel_state INTEGER,"
    "notification_channel_state INTEGER,quota_occupied INTEGER DEFAULT -1,quota_total INTEGER "
    "DEFAULT -1,source_type TEXT);";

constexpr char kOtherTablesV1[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "INSERT INTO android_metadata VALUES ('en_US');"
    "CREATE TABLE voicemail_status (_id INTEGER PRIMARY KEY AUTOINCREMENT,source_package TEXT "
    "UNIQUE NOT NULL,settings_uri TEXT,voicemail_access_uri TEXT,configuration_state INTEGER,"
    "data_channel_state INTEGER,notification_channel_state INTEGER);";

constexpr char kInsertCall[] =
    "INSERT INTO calls (_id,number,presentation,date,duration,type,new,name,numbertype,"
    "numberlabel,countryiso,is_read,geocoded_location,normalized_number,formatted_number) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

// 2021-03-01 00:00:00 UTC in milliseconds.
constexpr int64_t kFirstCallMs = 1614556800000;
// The phone lost calls whose index leaves this remainder.
constexpr int kDeletedEvery = 11;
constexpr int kDeletedRemainder = 5;

constexpr int kPresentationAllowed = 1;
constexpr int kPresentationRestricted = 2;

struct SampleContact {
  const char* name;         // cached name; null: not in the address book
  const char* number;       // as the dialler stored it
  const char* normalized;   // E.164
  const char* country_iso;  // null: not recorded
  const char* location;     // geocoded location
};

const std::vector<SampleContact>& SampleContacts() {
  static const std::vector<SampleContact> contacts = {
      {"Zoë Ångström", "+46 70 123 45 67", "+46701234567", "SE", "Sweden"},
      {"José Núñez", "+34 612 34 56 78", "+34612345678", "ES", "Spain"},
      {"Seán O'Connor", "+353 87 123 4567", "+353871234567", "IE", "Ireland"},
      {"\"Big\" Mike", "(555) 010-4477", "+15550104477", "US", "California"},
      {"אורי כהן", "+972 54-123-4567", "+972541234567", "IL", "Israel"},
      {"دانا الحسيني", "+20 10 1234 5678", "+201012345678", "EG", "Egypt"},
      {"Mia 🐱", "+1 555-013-2200", "+15550132200", "US", "New York"},
      {"李雷", "+86 138 0013 8000", "+8613800138000", "CN", "Beijing"},
      {"Anna-Lena Müller", "+49 151 23456789", "+4915123456789", "DE", "Germany"},
      {"Ngũgĩ wa Thiong'o", "+254 712 345678", "+254712345678", "KE", "Kenya"},
      {"Mom ❤️", "555-0100", "+15550100", "US", "United States"},
      {"", "+33 6 12 34 56 78", "+33612345678", "FR", "France"},
      {nullptr, "+1 800 555 0199", "+18005550199", "US", "United States"},
      {nullptr, "72975", nullptr, "US", nullptr},
      {nullptr, "+44 20 7946 0958", "+442079460958", nullptr, "London"},
  };
  return contacts;
}

// Weighted call types: mostly incoming and outgoing, a few of every other
// code, and one an OEM added (not one of the seven known codes).
int PickCallType(SampleRandom& random) {
  const int roll = random.Below(100);
  if (roll < 40) return 1;
  if (roll < 75) return 2;
  if (roll < 89) return 3;
  if (roll < 91) return 4;
  if (roll < 95) return 5;
  if (roll < 97) return 6;
  if (roll < 99) return 7;
  return 100;
}

int CallDuration(int type, SampleRandom& random) {
  if (type == 3 || type == 5 || type == 6) return 0;
  if (type == 4) return 5 + random.Below(60);
  return 1 + random.Below(random.Below(10) == 0 ? 3600 : 300);
}

void BindTextOrNull(SampleStatement& insert, int index, const char* text) {
  if (text == nullptr) {
    insert.BindNull(index);
  } else {
    insert.BindText(index, text);
  }
}

void BindCall(SampleStatement& insert, int64_t id, int64_t date, SampleRandom& random) {
  const std::vector<SampleContact>& contacts = SampleContacts();
  const bool is_private = random.Below(50) == 0;
  const SampleContact& contact = contacts[random.Below(static_cast<int>(contacts.size()))];
  const int type = PickCallType(random);
  insert.BindInt64(1, id);
  insert.BindText(2, is_private ? "" : contact.number);
  insert.BindInt(3, is_private ? kPresentationRestricted : kPresentationAllowed);
  insert.BindInt64(4, date);
  insert.BindInt(5, CallDuration(type, random));
  insert.BindInt(6, type);
  insert.BindInt(7, type == 3 ? 1 : 0);
  BindTextOrNull(insert, 8, is_private ? nullptr : contact.name);
  if (contact.name != nullptr && !is_private) {
    insert.BindInt(9, 2);  // Phone.TYPE_MOBILE
  } else {
    insert.BindNull(9);
  }
  insert.BindNull(10);
  BindTextOrNull(insert, 11, contact.country_iso);
  insert.BindInt(12, 1);
  BindTextOrNull(insert, 13, is_private ? nullptr : contact.location);
  BindTextOrNull(insert, 14, is_private ? nullptr : contact.normalized);
  BindTextOrNull(insert, 15, is_private ? nullptr : contact.number);
}

// The newer copy lacks the calls the phone lost; the older one lacks the
// newest fifth.
bool CopyHoldsCall(int64_t index, int64_t call_count, bool older_copy) {
  if (older_copy) return index < call_count * 4 / 5;
  return index % kDeletedEvery != kDeletedRemainder;
}

bool WriteCalls(SampleDatabase& db, const AndroidSampleOptions& options) {
  SampleStatement insert(db.handle(), kInsertCall);
  if (!insert.prepared()) return false;
  const int64_t call_count =
      static_cast<int64_t>(kCallsPerScale) * (options.scale < 1 ? 1 : options.scale);
  // Every copy draws the same stream, so a call has the same values and the
  // same _id in each.
  SampleRandom random(options.seed);
  int64_t date = kFirstCallMs;
  db.Exec("BEGIN");
  for (int64_t index = 0; index < call_count; ++index) {
    date += 30000 + random.Below(1800000) + random.Below(1000);
    const uint64_t call_seed = random.Next();
    if (!CopyHoldsCall(index, call_count, options.older_copy)) continue;
    SampleRandom call_random(call_seed);
    BindCall(insert, index + 1, date, call_random);
    if (insert.Step() != SQLITE_DONE) {
      db.Exec("ROLLBACK");
      return false;
    }
    insert.Reset();
  }
  return db.Exec("COMMIT");
}

}  // namespace

const char* AndroidCallsTableSql(int schema_version) {
  return schema_version == 1 ? kCallsTableV1 : kCallsTableV2;
}

bool WriteAndroidCallLog(const std::string& path, const AndroidSampleOptions& options) {
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  const bool older_schema = options.schema_version == 1;
  if (!db.Exec(AndroidCallsTableSql(options.schema_version))) return false;
  if (!db.Exec(older_schema ? kOtherTablesV1 : kOtherTablesV2)) return false;
  return WriteCalls(db, options) && db.Close();
}

}  // namespace kx::samples
