#include "samples/ios_reminders.h"

#include <string>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// Table definitions: the calendar database as forensic write-ups of
// Calendar.sqlitedb list it; the reminders store as the Core Data model of
// each release lays it out (published by the readers that decode it): one
// Z table per entity family, a number appended to a column name where two
// entities sharing a table use the same attribute name.
constexpr char kCalendarV1[] =
    "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, store_id INTEGER, title "
    "TEXT, flags INTEGER, color TEXT, type TEXT, supported_entity_types INTEGER, external_id "
    "TEXT, external_mod_tag TEXT, external_id_tag TEXT, external_rep BLOB, display_order "
    "INTEGER, UUID TEXT, shared_owner_name TEXT, shared_owner_address TEXT, sharing_status "
    "INTEGER, sharing_invitation_response INTEGER, published_URL TEXT, is_published INTEGER, "
    "invitation_status INTEGER, sync_token TEXT, self_identity_id INTEGER, owner_identity_id "
    "INTEGER, notes TEXT, bits INTEGER, subcal_account_id TEXT, push_key TEXT, digest BLOB, "
    "refresh_date REAL, subscription_id TEXT, last_sync_start REAL, last_sync_end REAL, "
    "subcal_url TEXT, refresh_interval INTEGER, pubcal_account_id TEXT, last_sync_title TEXT);"
    "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT, "
    "location_id INTEGER, description TEXT, start_date REAL, start_tz TEXT, end_date REAL, "
    "all_day INTEGER, calendar_id INTEGER, orig_item_id INTEGER, orig_date REAL, organizer_id "
    "INTEGER, self_attendee_id INTEGER, status INTEGER, invitation_status INTEGER, "
    "availability INTEGER, privacy_level INTEGER, url TEXT, last_modified REAL, sequence_num "
    "INTEGER, birthday_id INTEGER, modified_properties INTEGER, external_tracking_status "
    "INTEGER, external_id TEXT, external_mod_tag TEXT, unique_identifier TEXT, "
    "external_schedule_id TEXT, external_rep BLOB, response_comment TEXT, hidden INTEGER, "
    "has_recurrences INTEGER, has_attendees INTEGER, UUID TEXT, entity_type INTEGER, priority "
    "INTEGER, due_date REAL, due_tz TEXT, due_all_day INTEGER, completion_date REAL, "
    "creation_date REAL, conference TEXT, display_order INTEGER, created_by_id INTEGER, "
    "modified_by_id INTEGER, shared_item_created_date REAL, shared_item_created_tz TEXT, "
    "shared_item_modified_date REAL, shared_item_modified_tz TEXT, "
    "invitation_changed_properties INTEGER, default_alarm_removed INTEGER, phantom_master "
    "INTEGER, participation_status_modified_date REAL, calendar_scale TEXT, travel_time REAL, "
    "travel_advisory_behavior INTEGER, start_location_id INTEGER);"
    "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address TEXT, "
    "latitude REAL, longitude REAL, reference_frame INTEGER, radius REAL, locality TEXT, "
    "country TEXT, map_kit_handle BLOB, route_type TEXT, owner_id INTEGER);"
    "CREATE TABLE Alarm (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, trigger_date INTEGER, "
    "trigger_interval INTEGER, type INTEGER, calendaritem_owner_id INTEGER, calendar_owner_id "
    "INTEGER, owner_id INTEGER, external_id TEXT, UUID TEXT, acknowledged_date REAL, "
    "location_id INTEGER, proximity INTEGER, disabled INTEGER, orig_alarm_id INTEGER, "
    "default_alarm INTEGER, snooze_count INTEGER);"
    "CREATE INDEX CalendarItem_calendar_id ON CalendarItem(calendar_id);"
    "CREATE INDEX Alarm_calendaritem_owner_id ON Alarm(calendaritem_owner_id);";

constexpr char kCoreDataTables[] =
    "CREATE TABLE ZREMCDREPLICAMANAGER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT "
    "INTEGER, ZACCOUNT INTEGER, ZIDENTIFIER BLOB, ZVECTORCLOCKDATA BLOB );"
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
    "Z_MAX INTEGER);"
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);"
    "CREATE TABLE Z_MODELCACHE (Z_CONTENT BLOB);";

constexpr char kObjectV2[] =
    "CREATE TABLE ZREMCDOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCKDIRTYFLAGS INTEGER, ZMARKEDFORDELETION INTEGER, ZACCOUNT INTEGER, ZCKCLOUDSTATE INTEGER, "
    "ZALLDAY INTEGER, ZCOMPLETED INTEGER, ZFLAGGED INTEGER, ZPRIORITY INTEGER, ZLIST INTEGER, "
    "ZPARENTREMINDER INTEGER, ZREMINDER INTEGER, ZALARM INTEGER, ZREMINDER1 INTEGER, ZREMINDER2 "
    "INTEGER, ZFILESIZE INTEGER, ZCOMPLETIONDATE TIMESTAMP, ZCREATIONDATE TIMESTAMP, "
    "ZDISPLAYDATEDATE TIMESTAMP, ZDUEDATE TIMESTAMP, ZLASTMODIFIEDDATE TIMESTAMP, ZLATITUDE "
    "FLOAT, ZLONGITUDE FLOAT, ZCKIDENTIFIER VARCHAR, ZDACALENDARITEMUNIQUEIDENTIFIER VARCHAR, "
    "ZNAME VARCHAR, ZNAME1 VARCHAR, ZNOTES VARCHAR, ZTITLE VARCHAR, ZTITLE1 VARCHAR, ZADDRESS "
    "VARCHAR, ZFILENAME VARCHAR, ZUTI VARCHAR, ZURL VARCHAR, ZIDENTIFIER BLOB );";

constexpr char kReminderV3[] =
    "CREATE TABLE ZREMCDREMINDER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZALLDAY INTEGER, ZCKDIRTYFLAGS INTEGER, ZCOMPLETED INTEGER, ZFLAGGED INTEGER, "
    "ZMARKEDFORDELETION INTEGER, ZPRIORITY INTEGER, ZACCOUNT INTEGER, ZCKCLOUDSTATE INTEGER, "
    "ZLIST INTEGER, ZPARENTREMINDER INTEGER, ZCOMPLETIONDATE TIMESTAMP, ZCREATIONDATE "
    "TIMESTAMP, ZDISPLAYDATEDATE TIMESTAMP, ZDUEDATE TIMESTAMP, ZLASTMODIFIEDDATE TIMESTAMP, "
    "ZCKIDENTIFIER VARCHAR, ZDACALENDARITEMUNIQUEIDENTIFIER VARCHAR, ZNOTES VARCHAR, ZTITLE "
    "VARCHAR, ZIDENTIFIER BLOB );"
    "CREATE TABLE ZREMCDOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCKDIRTYFLAGS INTEGER, ZMARKEDFORDELETION INTEGER, ZACCOUNT INTEGER, ZCKCLOUDSTATE INTEGER, "
    "ZREMINDER INTEGER, ZALARM INTEGER, ZREMINDER1 INTEGER, ZREMINDER2 INTEGER, ZFILESIZE "
    "INTEGER, ZLATITUDE FLOAT, ZLONGITUDE FLOAT, ZCKIDENTIFIER VARCHAR, ZNAME1 VARCHAR, ZNAME2 "
    "VARCHAR, ZTITLE VARCHAR, ZADDRESS VARCHAR, ZFILENAME VARCHAR, ZUTI VARCHAR, ZURL VARCHAR, "
    "ZIDENTIFIER BLOB );";

constexpr char kReminderV4[] =
    "CREATE TABLE ZREMCDREMINDER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZALLDAY INTEGER, ZCKDIRTYFLAGS INTEGER, ZCOMPLETED INTEGER, ZDISPLAYDATEISALLDAY INTEGER, "
    "ZFLAGGED INTEGER, ZICSDISPLAYORDER INTEGER, ZISURGENTSTATEENABLEDFORCURRENTUSER INTEGER, "
    "ZMARKEDFORDELETION INTEGER, ZPRIORITY INTEGER, ZACCOUNT INTEGER, ZCKCLOUDSTATE INTEGER, "
    "ZLIST INTEGER, Z_FOK_LIST INTEGER, ZPARENTREMINDER INTEGER, ZCOMPLETIONDATE TIMESTAMP, "
    "ZCREATIONDATE TIMESTAMP, ZDISPLAYDATEDATE TIMESTAMP, ZDUEDATE TIMESTAMP, "
    "ZLASTMODIFIEDDATE TIMESTAMP, ZCKIDENTIFIER VARCHAR, ZDACALENDARITEMUNIQUEIDENTIFIER "
    "VARCHAR, ZDISPLAYDATETIMEZONE VARCHAR, ZNOTES VARCHAR, ZTIMEZONE VARCHAR, ZTITLE VARCHAR, "
    "ZIDENTIFIER BLOB, ZNOTESDOCUMENT BLOB, ZTITLEDOCUMENT BLOB );"
    "CREATE TABLE ZREMCDBASELIST ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZMARKEDFORDELETION INTEGER, ZISGROUP INTEGER, ZACCOUNT INTEGER, ZCKCLOUDSTATE INTEGER, "
    "ZPARENTLIST INTEGER, ZCKIDENTIFIER VARCHAR, ZCOLOR VARCHAR, ZBADGEEMBLEM VARCHAR, ZNAME "
    "VARCHAR, ZIDENTIFIER BLOB );"
    "CREATE TABLE ZREMCDOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCKDIRTYFLAGS INTEGER, ZMARKEDFORDELETION INTEGER, ZACCOUNT INTEGER, ZCKCLOUDSTATE INTEGER, "
    "ZREMINDER INTEGER, ZALARM INTEGER, ZREMINDER2 INTEGER, ZREMINDER3 INTEGER, "
    "Z_FOK_REMINDER1 INTEGER, ZFILESIZE INTEGER, ZHEIGHT INTEGER, ZWIDTH INTEGER, ZLATITUDE "
    "FLOAT, ZLONGITUDE FLOAT, ZCKIDENTIFIER VARCHAR, ZTITLE VARCHAR, ZADDRESS VARCHAR, "
    "ZFILENAME VARCHAR, ZSHA512SUM VARCHAR, ZUTI VARCHAR, ZURL VARCHAR, ZHOSTURL VARCHAR, "
    "ZIDENTIFIER BLOB );";

int Clamp(int version) {
  return version < kIosRemindersOldestSchema || version > kIosRemindersNewestSchema
             ? kIosRemindersNewestSchema
             : version;
}

// 2024-03-01 09:00:00 UTC in seconds since 2001.
constexpr double kFirstDate = 730976400.0;

// The sample reminders of the calendar database.
std::string CalendarRows(bool older_copy) {
  std::string sql =
      "INSERT INTO Calendar (ROWID, title, UUID) VALUES (1, 'Groceries', 'C-1'), (2, 'Work', "
      "'C-2');"
      "INSERT INTO Location (ROWID, title, address) VALUES (1, 'Home', '1 Infinite Loop');"
      "INSERT INTO CalendarItem (ROWID, summary, description, start_date, calendar_id, url, "
      "unique_identifier, entity_type, priority, completion_date) VALUES "
      "(1, 'Buy milk', 'Skimmed', " +
      std::to_string(kFirstDate) +
      ", 1, 'https://shop.example/milk', 'R-1', 3, 1, NULL), "
      "(2, 'Send report', NULL, NULL, 2, NULL, 'R-2', 3, 0, " +
      std::to_string(kFirstDate + 3600) + "), (3, 'Team lunch', NULL, " +
      std::to_string(kFirstDate) +
      ", 2, NULL, 'E-3', 2, 0, NULL);"
      "INSERT INTO Alarm (calendaritem_owner_id, location_id, proximity) VALUES (1, 1, 1);";
  if (older_copy) {
    sql +=
        "INSERT INTO CalendarItem (ROWID, summary, calendar_id, unique_identifier, "
        "entity_type, priority) VALUES (4, 'Renew passport', 2, 'R-4', 3, 5);";
  }
  return sql;
}

// Objects of the store, by version: the account's replica manager, the
// lists (one deleted on the phone), an alarm with its location, a picture,
// an unnamed attachment and a URL of the first reminder.
std::string ObjectRows(int version) {
  const std::string names = version == 2 ? "ZNAME1" : "ZNAME2";
  const std::string owner = version == 4 ? "ZREMINDER3" : "ZREMINDER2";
  std::string sql =
      "INSERT INTO ZREMCDREPLICAMANAGER (Z_PK, Z_ENT, ZIDENTIFIER) VALUES (1, 1, "
      "x'5A1E7C3B2D4F4E6A9B8C0D1E2F3A4B5C');";
  if (version == 4) {
    sql +=
        "INSERT INTO ZREMCDBASELIST (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZNAME) "
        "VALUES (10, 5, 0, 'L-10', 'Groceries'), (11, 5, 1, 'L-11', 'Old projects');";
  } else {
    sql += "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, " + names +
           ") VALUES (10, 5, 0, 'L-10', 'Groceries'), (11, 5, 1, 'L-11', 'Old projects');";
  }
  sql +=
      "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZREMINDER) "
      "VALUES (20, 3, 0, 'AL-20', 1);"
      "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, ZALARM, "
      "ZTITLE, ZADDRESS) VALUES (21, 4, 0, 'LOC-21', 20, 'Home', '1 Infinite Loop');"
      "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, " +
      owner +
      ", ZFILENAME, ZUTI) VALUES (22, 7, 0, 'ATT-22', 1, 'milk.jpg', 'public.jpeg'), "
      "(23, 7, 0, 'ATT-23', 1, '', 'public.png');"
      "INSERT INTO ZREMCDOBJECT (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, " +
      owner + ", ZURL) VALUES (24, 8, 0, 'URL-24', 1, 'https://shop.example/milk');";
  return sql;
}

// Reminders: 1 live in Groceries, 2 live in the deleted list, 3 marked for
// deletion; the older copy also holds 4, deleted since.
std::string ReminderRows(int version, bool older_copy) {
  const std::string table = version == 2 ? "ZREMCDOBJECT" : "ZREMCDREMINDER";
  const std::string title = version == 2 ? "ZTITLE1" : "ZTITLE";
  const std::string date = std::to_string(kFirstDate);
  std::string sql = "INSERT INTO " + table + " (Z_PK, Z_ENT, ZMARKEDFORDELETION, ZCKIDENTIFIER, " +
                    title +
                    ", ZNOTES, ZCOMPLETED, ZDISPLAYDATEDATE, ZPRIORITY, ZFLAGGED, "
                    "ZDACALENDARITEMUNIQUEIDENTIFIER, ZLIST) VALUES "
                    "(1, 2, 0, 'R-1', 'Buy milk', 'Skimmed', 0, " +
                    date +
                    ", 1, 1, 'DA-1', 10), "
                    "(2, 2, 0, 'R-2', 'Send report', NULL, 1, NULL, 0, 0, 'DA-2', 11), "
                    "(3, 2, 1, 'R-3', 'Old idea', NULL, 0, NULL, 0, 0, 'DA-3', 10)";
  if (older_copy) sql += ", (4, 2, 0, 'R-4', 'Renew passport', NULL, 0, NULL, 5, 0, 'DA-4', 10)";
  return sql + ";";
}

}  // namespace

std::string IosRemindersSql(int schema_version) {
  switch (Clamp(schema_version)) {
    case 1:
      return kCalendarV1;
    case 2:
      return std::string(kObjectV2) + kCoreDataTables;
    case 3:
      return std::string(kReminderV3) + kCoreDataTables;
    default:
      return std::string(kReminderV4) + kCoreDataTables;
  }
}

bool WriteIosReminders(const std::string& path, const IosSampleOptions& options) {
  const int version = Clamp(options.schema_version);
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  const std::string rows = version == 1
                               ? CalendarRows(options.older_copy)
                               : ObjectRows(version) + ReminderRows(version, options.older_copy);
  return db.Exec(IosRemindersSql(version).c_str()) && db.Exec("BEGIN") && db.Exec(rows.c_str()) &&
         db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
