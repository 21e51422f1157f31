#include "samples/ios_voicemail.h"

#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// Table definitions as open readers of iOS backups print them with
// `.schema` (iOS 9.3 for version 1; the receiver and label columns and the
// map table of later systems as readers written against them create
// them). `date` counts seconds from 1970, `trashed_date` from 2001.
constexpr char kVoicemailV1[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE voicemail (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, remote_uid INTEGER, date "
    "INTEGER, token TEXT, sender TEXT, callback_num TEXT, duration INTEGER, expiration INTEGER, "
    "trashed_date INTEGER, flags INTEGER);"
    "CREATE INDEX date_index on voicemail(date);"
    "CREATE INDEX remote_uid_index on voicemail(remote_uid);";

constexpr char kVoicemailV2[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE voicemail (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, remote_uid INTEGER, date "
    "INTEGER, token TEXT, sender TEXT, callback_num TEXT, duration INTEGER, expiration INTEGER, "
    "trashed_date INTEGER, flags INTEGER, receiver TEXT, label TEXT);"
    "CREATE TABLE map (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, account TEXT, label TEXT);"
    "CREATE INDEX date_index on voicemail(date);"
    "CREATE INDEX remote_uid_index on voicemail(remote_uid);";

struct Message {
  int row_id;
  const char* sender;  // null: withheld
  int64_t date;        // seconds from 1970
  int duration;
  int64_t trashed_date;  // seconds from 2001; 0 when not trashed
  int flags;
  bool older_only;  // deleted on the phone since the older backup
};

// Senders are written as the phone stores them: as the network delivered
// the number, which is how the address book holds some people and not
// others.
constexpr Message kMessages[] = {
    {1, "+46701234567", 1704103200, 21, 0, 3, false},
    {2, "+15550104477", 1704189600, 7, 0, 1, false},
    {3, nullptr, 1704276000, 34, 0, 1, false},
    {4, "+442079460958", 1704362400, 12, 726000000, 11, false},
    {5, "+15550199999", 1704448800, 48, 0, 3, true},
    {6, "+8613800138000", 1704535200, 16, 0, 1, false},
};

constexpr int kAmrFrameBytes = 32;  // mode 7 (12.2 kbit/s): header and 31 bytes
constexpr int kAmrFramesPerMessage = 10;

bool WriteMessages(sqlite3* db, const IosSampleOptions& options,
                   std::vector<IosVoicemailAudio>* audio) {
  SampleStatement insert(db,
                         "INSERT INTO voicemail (ROWID, remote_uid, date, token, sender, "
                         "callback_num, duration, expiration, trashed_date, flags) VALUES "
                         "(?, ?, ?, 'Complete', ?, ?, ?, ?, ?, ?)");
  if (!insert.prepared()) return false;
  for (const Message& message : kMessages) {
    if (message.older_only && !options.older_copy) continue;
    insert.BindInt(1, message.row_id);
    insert.BindInt(2, 100 + message.row_id);
    insert.BindInt64(3, message.date);
    if (message.sender != nullptr) {
      insert.BindText(4, message.sender);
      insert.BindText(5, message.sender);
    } else {
      insert.BindNull(4);
      insert.BindNull(5);
    }
    insert.BindInt(6, message.duration);
    insert.BindInt64(7, message.date + 30 * 86400);
    insert.BindInt64(8, message.trashed_date);
    insert.BindInt(9, message.flags);
    if (insert.Step() != SQLITE_DONE) return false;
    insert.Reset();
    if (audio != nullptr) {
      audio->push_back({message.row_id,
                        "Library/Voicemail/" + std::to_string(message.row_id) + ".amr",
                        TinyAmr(kAmrFramesPerMessage)});
    }
  }
  return true;
}

}  // namespace

std::string IosVoicemailSql(int schema_version) {
  return schema_version == 1 ? kVoicemailV1 : kVoicemailV2;
}

std::string TinyAmr(int frames) {
  std::string bytes = "#!AMR\n";
  for (int frame = 0; frame < frames; ++frame) {
    std::string payload(kAmrFrameBytes, '\0');
    payload[0] = '\x3C';  // frame type 7, quality bit set
    bytes += payload;
  }
  return bytes;
}

bool WriteIosVoicemail(const std::string& path, const IosSampleOptions& options,
                       std::vector<IosVoicemailAudio>* audio) {
  SampleDatabase db(path);
  const int version =
      options.schema_version == 0 ? kIosVoicemailNewestSchema : options.schema_version;
  if (!db.is_open() || !db.Exec(IosVoicemailSql(version).c_str())) return false;
  if (!WriteMessages(db.handle(), options, audio)) return false;
  return db.Close();
}

}  // namespace kx::samples
