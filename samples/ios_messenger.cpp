#include "samples/ios_messenger.h"

#include <string>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// Omnistore names its tables after the collection and the account, so the
// names carry '#' and ':' and are always written in double quotes. The
// column lists are those the open readers of this store query (their
// queries name primary_key, field_name and field_value of the index, and
// id, name, the two picture addresses, phone_number and email_address of
// contacts); the further columns are the ones the lightspeed store adds.
constexpr char kOmnistoreSql[] =
    "CREATE TABLE \"collection#messenger_contacts_ios:100004211234567\" (primary_key TEXT "
    "PRIMARY KEY NOT NULL, sort_key TEXT NOT NULL, blob BLOB NOT NULL, global_version_id "
    "INTEGER);"
    "CREATE TABLE \"collection_index#messenger_contacts_ios:100004211234567\" (primary_key TEXT "
    "NOT NULL, field_name TEXT NOT NULL, field_value TEXT NOT NULL, sort_key TEXT);"
    "CREATE INDEX \"collection_index#messenger_contacts_ios:100004211234567#fv\" ON "
    "\"collection_index#messenger_contacts_ios:100004211234567\" (field_name, field_value);"
    "CREATE TABLE _omnistore_collections (collection_name TEXT PRIMARY KEY, queue_name TEXT, "
    "global_version_id INTEGER);";

constexpr char kContactsV2[] =
    "CREATE TABLE contacts (id INTEGER PRIMARY KEY, profile_picture_url TEXT, name TEXT, "
    "phone_number TEXT, first_name TEXT, contact_type INTEGER);";

constexpr char kContactsV3[] =
    "CREATE TABLE contacts (id INTEGER PRIMARY KEY, profile_picture_url TEXT, name TEXT, "
    "normalized_name_for_search TEXT, profile_picture_fallback_url TEXT, "
    "profile_picture_large_url TEXT, phone_number TEXT, email_address TEXT, username TEXT, "
    "is_messenger_user INTEGER, friendship_status INTEGER, birthday_timestamp INTEGER, "
    "contact_type INTEGER, first_name TEXT);";

// Keys are the people's ids; the index holds one row per token.
constexpr char kIndexRows[] =
    "INSERT INTO \"collection_index#messenger_contacts_ios:100004211234567\" "
    "(primary_key, field_name, field_value, sort_key) VALUES "
    "('100002345678901', 'username', 'zoe.lindqvist', '1'),"
    "('100002345678901', 'name_search_tokens', 'zoe', '1'),"
    "('100002345678901', 'name_search_tokens', 'lindqvist', '1'),"
    "('100002345678901', 'phone_number_tokens', '46701234567', '1'),"
    "('100002345678901', 'phone_number_tokens', '701234567', '1'),"
    "('100003456789012', 'username', 'm.okafor', '2'),"
    "('100003456789012', 'name_search_tokens', 'mark', '2'),"
    "('100003456789012', 'name_search_tokens', 'okafor', '2'),"
    "('100003456789012', 'is_messenger_user', '1', '2'),"
    "('100004567890123', 'name_search_tokens', 'chen', '3'),"
    "('100005678901234', 'phone_number_tokens', '15550104477', '4');";

constexpr char kContactsRowsV2[] =
    "INSERT INTO contacts (id, profile_picture_url, name, phone_number, first_name, "
    "contact_type) VALUES "
    "(100002345678901, 'https://scontent.xx.fbcdn.net/v/t1.0-1/p100x100/1.jpg', "
    "'Zoë Lindqvist', '+46701234567', 'Zoë', 1),"
    "(100003456789012, 'https://scontent.xx.fbcdn.net/v/t1.0-1/p100x100/2.jpg', 'Mark Okafor', "
    "'', 'Mark', 1),"
    "(100004567890123, NULL, 'Chen Wei', NULL, 'Wei', 1);";

constexpr char kContactsRowsV3[] =
    "INSERT INTO contacts (id, profile_picture_url, name, normalized_name_for_search, "
    "profile_picture_large_url, phone_number, email_address, username, is_messenger_user, "
    "friendship_status, contact_type, first_name) VALUES "
    "(100002345678901, 'https://scontent.xx.fbcdn.net/v/t1.0-1/p100x100/1.jpg', "
    "'Zoë Lindqvist', 'zoe lindqvist', 'https://scontent.xx.fbcdn.net/v/t1.0-1/p480x480/1.jpg', "
    "'+46701234567', 'zoe@example.com', 'zoe.lindqvist', 1, 1, 1, 'Zoë'),"
    "(100003456789012, 'https://scontent.xx.fbcdn.net/v/t1.0-1/p100x100/2.jpg', 'Mark Okafor', "
    "'mark okafor', NULL, '', 'mark.okafor@example.org', 'm.okafor', 1, 1, 1, 'Mark'),"
    "(100004567890123, NULL, 'Chen Wei', 'chen wei', NULL, NULL, NULL, NULL, 0, 2, 1, 'Wei');";

}  // namespace

std::string IosMessengerSql(int schema_version) {
  std::string sql = kOmnistoreSql;
  if (schema_version == 2) return sql + kContactsV2;
  if (schema_version == 1) return sql;
  return sql + kContactsV3;
}

bool WriteIosMessenger(const std::string& path, const IosSampleOptions& options) {
  const int version =
      options.schema_version == 0 ? kIosMessengerNewestSchema : options.schema_version;
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosMessengerSql(version).c_str()) || !db.Exec(kIndexRows)) {
    return false;
  }
  if (version == 2 && !db.Exec(kContactsRowsV2)) return false;
  if (version >= 3 && !db.Exec(kContactsRowsV3)) return false;
  return db.Close();
}

}  // namespace kx::samples
