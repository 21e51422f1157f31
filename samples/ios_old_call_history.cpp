#include "samples/ios_old_call_history.h"

#include <cstdint>
#include <string>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// iOS 6 and 7 (store versions 11 and 12): iphonebackuptools'
// schemas/calls/calls2_6.1.6.sql, with its triggers that keep the call
// timers.
constexpr char kCallHistoryTables[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE call (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER, "
    "duration INTEGER, flags INTEGER, id INTEGER, name TEXT, country_code TEXT, network_code "
    "TEXT, read INTEGER, assisted INTEGER, face_time_data BLOB, originalAddress TEXT);"
    "CREATE TABLE data (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, pdp_ip INTEGER, bytes_rcvd "
    "REAL, bytes_sent REAL, bytes_last_rcvd REAL, bytes_last_sent REAL, bytes_lifetime_rcvd "
    "REAL, bytes_lifetime_sent REAL);"
    "CREATE INDEX date_index on call(date);"
    "CREATE TRIGGER timer_last_trigger INSERT ON call WHEN (NEW.duration != 0) BEGIN UPDATE "
    "_SqliteDatabaseProperties SET value = (((NEW.duration + 59)/60)*60) WHERE key = "
    "'timer_last'; END;"
    "CREATE TRIGGER timer_all_trigger INSERT ON call WHEN (NEW.duration != 0) BEGIN UPDATE "
    "_SqliteDatabaseProperties SET value = (((((SELECT NEW.duration) + 59)/60)*60) + (SELECT "
    "value FROM _SqliteDatabaseProperties WHERE key = 'timer_all')) WHERE key = 'timer_all'; "
    "END;";

// 2013-11-04 08:00:00 UTC.
constexpr int64_t kFirstCallDate = 1383552000;

}  // namespace

std::string IosOldCallHistorySql() { return kCallHistoryTables; }

bool WriteIosOldCallHistory(const std::string& path, const IosSampleOptions& options) {
  static const struct {
    const char* address;
    int flags;
    int duration;
  } kCalls[] = {
      {"+1 555-010-2000", kIosOldCallOutgoingFlags, 184},
      {"+1 555-010-2000", kIosOldCallIncomingFlags, 0},
      {"(555) 010-3000", kIosOldCallIncomingFlags, 42},
      {"ana@example.com", kIosOldCallFaceTime | kIosOldCallIncomingFlags, 610},
      {"+44 20 7946 0000", kIosOldCallOutgoingFlags, 0},
  };
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(kCallHistoryTables)) return false;
  db.Exec(
      "BEGIN;INSERT INTO _SqliteDatabaseProperties VALUES ('timer_last', '0'), "
      "('timer_all', '0'), ('_ClientVersion', '12');");
  {
    SampleStatement insert(db.handle(),
                           "INSERT INTO call (address, date, duration, flags, id, country_code, "
                           "network_code, read) VALUES (?, ?, ?, ?, -1, '310', '410', 1)");
    const int count = 10 * options.scale;
    for (int i = 0; i < count; ++i) {
      const auto& call = kCalls[i % 5];
      insert.Reset();
      insert.BindText(1, call.address);
      insert.BindInt64(2, kFirstCallDate + i * 3600);
      insert.BindInt(3, call.duration);
      insert.BindInt(4, call.flags);
      if (insert.Step() != SQLITE_DONE) {
        db.Exec("ROLLBACK");
        return false;
      }
    }
  }  // finalized before the file is closed
  return db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
