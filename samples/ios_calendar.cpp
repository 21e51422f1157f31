#include "samples/ios_calendar.h"

#include <string>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// The tables every release shares in the same form.
constexpr char kCalendarTable[] =
    "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, store_id INTEGER, title TEXT, "
    "flags INTEGER, color TEXT, color_is_display INTEGER, type TEXT, supported_entity_types "
    "INTEGER, external_id TEXT, external_mod_tag TEXT, external_id_tag TEXT, external_rep BLOB, "
    "display_order INTEGER, UUID TEXT, shared_owner_name TEXT, shared_owner_email TEXT, "
    "sharing_status INTEGER, sharing_invitation_response INTEGER, published_URL TEXT, "
    "is_published INTEGER, invitation_status INTEGER, sync_token TEXT, self_identity_id INTEGER, "
    "self_identity_email TEXT, owner_identity_id INTEGER, owner_identity_email TEXT);";
constexpr char kIdentityTable[] =
    "CREATE TABLE Identity (display_name TEXT, address TEXT, first_name TEXT, last_name TEXT, "
    "UNIQUE (display_name, address, first_name, last_name));";
constexpr char kRecurrenceTable[] =
    "CREATE TABLE Recurrence (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, frequency INTEGER, "
    "interval INTEGER, week_start INTEGER, count INTEGER, cached_end_date REAL, "
    "cached_end_date_tz TEXT, end_date REAL, specifier TEXT, by_month_months INTEGER, owner_id "
    "INTEGER, external_id TEXT, external_mod_tag TEXT, external_id_tag TEXT, external_rep BLOB, "
    "UUID TEXT);";
constexpr char kCommonItemColumns[] =
    "ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT, location_id INTEGER, description "
    "TEXT, start_date REAL, start_tz TEXT, end_date REAL, all_day INTEGER, calendar_id INTEGER, "
    "orig_item_id INTEGER, orig_date REAL, organizer_id INTEGER, self_attendee_id INTEGER, status "
    "INTEGER, invitation_status INTEGER, availability INTEGER, privacy_level INTEGER, url TEXT, "
    "last_modified REAL, sequence_num INTEGER, birthday_id INTEGER, modified_properties INTEGER, "
    "external_tracking_status INTEGER, external_id TEXT, external_mod_tag TEXT, "
    "unique_identifier TEXT, external_schedule_id TEXT, external_rep BLOB, response_comment TEXT, "
    "hidden INTEGER, has_recurrences INTEGER, has_attendees INTEGER, UUID TEXT, entity_type "
    "INTEGER, priority INTEGER, due_date REAL, due_tz TEXT, due_all_day INTEGER, completion_date "
    "REAL, creation_date REAL, conference TEXT, display_order INTEGER, created_by_id INTEGER, "
    "modified_by_id INTEGER, shared_item_created_date REAL, shared_item_created_tz TEXT, "
    "shared_item_modified_date REAL, shared_item_modified_tz TEXT, invitation_changed_properties "
    "INTEGER, default_alarm_removed INTEGER, phantom_master INTEGER";
constexpr char kParticipantColumns[] =
    "ROWID INTEGER PRIMARY KEY AUTOINCREMENT, entity_type INTEGER, type INTEGER, status INTEGER, "
    "pending_status INTEGER, role INTEGER, identity_id INTEGER, owner_id INTEGER, external_rep "
    "BLOB, UUID TEXT, email TEXT";
constexpr char kIndexes[] =
    "CREATE INDEX ParticipantOwnerId on Participant(owner_id);"
    "CREATE INDEX AttachmentEventId on Attachment(owner_id);"
    "CREATE INDEX LocationOwnerItemId on Location(item_owner_id);";

// iOS 9-10.
std::string SchemaV1() {
  return std::string(kCalendarTable) + kIdentityTable + kRecurrenceTable +
         "CREATE TABLE CalendarItem (" + kCommonItemColumns + ");" + "CREATE TABLE Participant (" +
         kParticipantColumns + ", is_self INTEGER);" +
         "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, latitude "
         "INTEGER, longitude INTEGER, address_book_id TEXT, radius INTEGER, item_owner_id INTEGER, "
         "alarm_owner_id INTEGER);"
         "CREATE TABLE Attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, owner_id INTEGER, "
         "external_id TEXT, external_mod_tag TEXT, external_rep BLOB, url TEXT, UUID TEXT, data "
         "BLOB, format TEXT, is_binary INTEGER, filename TEXT, local_url TEXT, file_size "
         "INTEGER);" +
         kIndexes;
}

// iOS 11-15.
std::string SchemaV2() {
  return std::string(kCalendarTable) + kIdentityTable + kRecurrenceTable +
         "CREATE TABLE CalendarItem (" + kCommonItemColumns +
         ", participation_status_modified_date REAL, calendar_scale TEXT, travel_time INTEGER, "
         "travel_advisory_behavior INTEGER, start_location_id INTEGER, suggested_event_info_id "
         "INTEGER, first_alert_date REAL, proposed_start_date REAL, can_forward INTEGER, "
         "location_prediction_state INTEGER, fired_ttl INTEGER, disallow_propose_new_time "
         "INTEGER, junk_status INTEGER);" +
         "CREATE TABLE Participant (" + kParticipantColumns +
         ", is_self INTEGER, comment TEXT, schedule_agent INTEGER, flags INTEGER, last_modified "
         "REAL, proposed_start_date REAL, invited_by TEXT, proposed_start_date_status INTEGER, "
         "comment_last_modified REAL);"
         "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address "
         "TEXT, latitude INTEGER, longitude INTEGER, reference_frame INTEGER, address_book_id "
         "TEXT, mapkit_handle BLOB, radius INTEGER, routing TEXT, derived_from TEXT, item_owner_id "
         "INTEGER, alarm_owner_id INTEGER);"
         "CREATE TABLE Attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, owner_id INTEGER, "
         "external_id TEXT, external_mod_tag TEXT, external_rep BLOB, url TEXT, UUID TEXT, data "
         "BLOB, format TEXT, is_binary INTEGER, filename TEXT, local_url TEXT, file_size "
         "INTEGER);" +
         kIndexes;
}

// iOS 16-17.
std::string SchemaV3() {
  return std::string(kCalendarTable) + kIdentityTable + kRecurrenceTable +
         "CREATE TABLE CalendarItem (" + kCommonItemColumns +
         ", participation_status_modified_date REAL, calendar_scale TEXT, travel_time INTEGER, "
         "travel_advisory_behavior INTEGER, start_location_id INTEGER, end_location_id INTEGER, "
         "suggested_event_info_id INTEGER, first_alert_date REAL, proposed_start_date REAL, "
         "can_forward INTEGER, location_prediction_state INTEGER, fired_ttl INTEGER, "
         "disallow_propose_new_time INTEGER, structured_data BLOB, local_structured_data BLOB, "
         "junk_status INTEGER, conference_url TEXT, contact_identifier TEXT, recurrence_set TEXT, "
         "flags INTEGER, contact_name TEXT, error_id INTEGER, image_id INTEGER, color_id INTEGER, "
         "conference_url_detected TEXT);" +
         "CREATE TABLE Participant (" + kParticipantColumns +
         ", phone_number TEXT, is_self INTEGER, comment TEXT, schedule_agent INTEGER, flags "
         "INTEGER, last_modified REAL, proposed_start_date REAL, invited_by TEXT, "
         "proposed_start_date_status INTEGER, schedule_status INTEGER, schedule_force_send "
         "INTEGER, comment_last_modified REAL);"
         "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address "
         "TEXT, latitude INTEGER, longitude INTEGER, reference_frame INTEGER, address_book_id "
         "TEXT, mapkit_handle BLOB, radius INTEGER, routing TEXT, derived_from TEXT, item_owner_id "
         "INTEGER, alarm_owner_id INTEGER, start_loc_owner_id INTEGER, end_loc_owner_id INTEGER, "
         "client_loc_owner_id INTEGER);"
         "CREATE TABLE Attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, owner_id INTEGER, "
         "external_rep BLOB, file_id INTEGER);"
         "CREATE TABLE AttachmentFile (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, external_id "
         "TEXT, external_mod_tag TEXT, url TEXT, UUID TEXT, format TEXT, flags INTEGER, filename "
         "TEXT, local_path TEXT, file_size INTEGER, store_id INTEGER, download_start REAL, "
         "download_tries INTEGER);"
         "CREATE INDEX AttachmentFileId on Attachment(file_id);" +
         kIndexes;
}

int Clamp(int version) {
  return version < kIosCalendarOldestSchema || version > kIosCalendarNewestSchema
             ? kIosCalendarNewestSchema
             : version;
}

// Seconds since 2001-01-01 of a UTC time "YYYY-MM-DD HH:MM:SS", in SQL.
std::string At(const char* utc) {
  return std::string("(strftime('%s','") + utc + "') - 978307200)";
}

std::string Event(int id, const char* title, const char* start, const char* end, int all_day,
                  int calendar, int location, const char* url, int entity_type,
                  int has_recurrences) {
  return "INSERT INTO CalendarItem (ROWID, summary, description, start_date, end_date, all_day, "
         "calendar_id, location_id, url, unique_identifier, UUID, entity_type, has_recurrences, "
         "hidden) VALUES (" +
         std::to_string(id) + ",'" + title + "','Notes of " + title + "'," +
         (start ? At(start) : "NULL") + "," + (end ? At(end) : "NULL") + "," +
         std::to_string(all_day) + "," + std::to_string(calendar) + "," +
         (location ? std::to_string(location) : "NULL") + "," +
         (url ? std::string("'") + url + "'" : "NULL") + ",'UID-" + std::to_string(id) + "','E-" +
         std::to_string(id) + "'," + std::to_string(entity_type) + "," +
         std::to_string(has_recurrences) + ",0);";
}

constexpr const char* kAttachmentNames[] = {"agenda.pdf", "photo_1.JPG"};
constexpr int kAttachmentOwners[] = {1, 5};

std::string Attachments(int version) {
  std::string sql;
  for (int i = 0; i < 2; ++i) {
    const std::string id = std::to_string(i + 1);
    const std::string owner = std::to_string(kAttachmentOwners[i]);
    const std::string name = kAttachmentNames[i];
    if (version == 3) {
      sql += "INSERT INTO AttachmentFile (ROWID, UUID, filename, file_size) VALUES (" + id +
             ",'F-" + id + "','" + name +
             "',2048);INSERT INTO Attachment (owner_id, file_id) "
             "VALUES (" +
             owner + "," + id + ");";
    } else {
      sql += "INSERT INTO Attachment (owner_id, UUID, filename, file_size) VALUES (" + owner +
             ",'A-" + id + "','" + name + "',2048);";
    }
  }
  return sql;
}

std::string Rows(int version, const IosSampleOptions& options) {
  std::string sql =
      "INSERT INTO Calendar (ROWID, title, UUID) VALUES (1,'Home','C-1'),(2,'Work','C-2');"
      "INSERT INTO Identity (rowid, display_name, address) VALUES "
      "(1,'Me','mailto:me@example.com'),(2,NULL,'mailto:me@icloud.example'),"
      "(3,'Anna Rossi','mailto:anna@example.com'),(4,NULL,'mailto:anna@example.com'),"
      "(5,'Marco Bianchi','mailto:marco@example.com');"
      "INSERT INTO Participant (entity_type, identity_id, owner_id, email, is_self) VALUES "
      "(7,1,1,'me@example.com',1),(7,3,1,'anna@example.com',0),(7,5,1,'marco@example.com',0),"
      "(7,2,5,'me@icloud.example',1),(7,4,5,'anna@example.com',0);"
      "INSERT INTO Recurrence (frequency, interval, owner_id, UUID) VALUES (2,1,1,'R-1');";
  sql += version == 1 ? "INSERT INTO Location (ROWID, title, item_owner_id) VALUES (1,'Office',1);"
                      : "INSERT INTO Location (ROWID, title, address, item_owner_id) VALUES "
                        "(1,'Office','1 Main Street, Springfield',1);";
  sql += Event(1, "Team meeting", "2024-03-04 09:00:00", "2024-03-04 10:00:00", 0, 2, 1,
               "https://meet.example/team", 2, 1);
  sql += Event(2, "Holiday", "2024-03-08 00:00:00", "2024-03-09 00:00:00", 1, 1, 0, nullptr, 2, 0);
  sql += Event(3, "Dentist", "2024-03-10 10:30:00", nullptr, 1, 1, 0, nullptr, 2, 0);
  sql += Event(4, "Buy milk", "2024-03-11 08:00:00", nullptr, 0, 1, 0, nullptr, 3, 0);
  sql += Event(5, "Lunch with Anna", "2024-03-12 12:00:00", "2024-03-12 13:00:00", 0, 1, 0, nullptr,
               2, 0);
  if (options.older_copy) {
    sql +=
        Event(6, "Old call", "2023-12-01 15:00:00", "2023-12-01 15:30:00", 0, 2, 0, nullptr, 2, 0);
  }
  for (int i = 0; i < (options.scale - 1) * 20; ++i) {
    sql += Event(100 + i, "Planning", "2024-04-01 08:00:00", "2024-04-01 09:00:00", 0, 2, 0,
                 nullptr, 2, 0);
  }
  return sql + Attachments(version);
}

}  // namespace

std::string IosCalendarSql(int schema_version) {
  switch (Clamp(schema_version)) {
    case 1:
      return SchemaV1();
    case 2:
      return SchemaV2();
    default:
      return SchemaV3();
  }
}

std::vector<std::string> IosCalendarAttachmentPaths() {
  std::vector<std::string> paths;
  for (const char* name : kAttachmentNames) {
    paths.push_back(std::string("Library/Calendar/Attachments/") + name);
  }
  return paths;
}

bool WriteIosCalendar(const std::string& path, const IosSampleOptions& options) {
  const int version = Clamp(options.schema_version);
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  const std::string rows = Rows(version, options);
  return db.Exec(IosCalendarSql(version).c_str()) && db.Exec("BEGIN") && db.Exec(rows.c_str()) &&
         db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
