#include "samples/ios_voice_memos.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

// Table definitions as open readers of iOS backups and of the recordings
// folder print them with `.schema`. The Core Data bookkeeping tables are
// the same in every version.
constexpr char kCoreDataTables[] =
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
    "Z_MAX INTEGER);"
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);"
    "CREATE TABLE Z_MODELCACHE (Z_CONTENT BLOB);";

constexpr char kRecordingV1[] =
    "CREATE TABLE ZRECORDING ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZITUNESPERSISTENTID INTEGER, ZLABELPRESET INTEGER, ZPENDINGRESTORE INTEGER, ZRECORDINGID "
    "INTEGER, ZSYNCED INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, ZCUSTOMLABEL VARCHAR, ZPATH "
    "VARCHAR );";

constexpr char kRecordingV2[] =
    "CREATE TABLE ZRECORDING ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZITUNESPERSISTENTID INTEGER, ZLABELPRESET INTEGER, ZPENDINGRESTORE INTEGER, ZRECORDINGID "
    "INTEGER, ZSYNCED INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, ZCUSTOMLABEL VARCHAR, ZPATH "
    "VARCHAR, ZUNIQUEID VARCHAR );";

constexpr char kCloudRecordingV1[] =
    "CREATE TABLE ZCLOUDRECORDING ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZFLAGS INTEGER, ZSHAREDFLAGS INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, ZEVICTIONDATE "
    "TIMESTAMP, ZLOCALDURATION FLOAT, ZCUSTOMLABEL VARCHAR, ZPATH VARCHAR, ZUNIQUEID VARCHAR, "
    "ZAUDIODIGEST BLOB, ZAUDIOFUTURE BLOB, ZAUDIOFUTUREUUIDS BLOB );";

constexpr char kCloudRecordingV2[] =
    "CREATE TABLE ZCLOUDRECORDING ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZFLAGS INTEGER, ZSHAREDFLAGS INTEGER, ZFOLDER INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, "
    "ZEVICTIONDATE TIMESTAMP, ZLOCALDURATION FLOAT, ZCUSTOMLABEL VARCHAR, ZCUSTOMLABELFORSORTING "
    "VARCHAR, ZENCRYPTEDTITLE VARCHAR, ZPATH VARCHAR, ZUNIQUEID VARCHAR, ZAUDIODIGEST BLOB, "
    "ZAUDIOFUTURE BLOB , ZAUDIOFUTUREUUIDS BLOB );"
    "CREATE TABLE ZFOLDER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCOUNTOFRECORDINGS INTEGER, ZRANK INTEGER, ZENCRYPTEDNAME VARCHAR, ZUUID VARCHAR );";

constexpr char kCloudRecordingV3[] =
    "CREATE TABLE ZCLOUDRECORDING ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZAUDIOFUTUREFLAGS INTEGER, ZFLAGS INTEGER, ZSHAREDFLAGS INTEGER, ZSILENCEREMOVERENABLED "
    "INTEGER, ZSKIPSILENCEENABLED INTEGER, ZSTUDIOMIXENABLED INTEGER, ZFOLDER INTEGER, ZDATE "
    "TIMESTAMP, ZDURATION FLOAT, ZEVICTIONDATE TIMESTAMP, ZLOCALDURATION FLOAT, ZMTLAYERMIX "
    "FLOAT, ZPLAYBACKPOSITION FLOAT, ZPLAYBACKRATE FLOAT, ZPLAYBACKSPEED FLOAT, ZSTUDIOMIXLEVEL "
    "FLOAT, ZCUSTOMLABEL VARCHAR, ZCUSTOMLABELFORSORTING VARCHAR, ZENCRYPTEDTITLE VARCHAR, ZPATH "
    "VARCHAR, ZUNIQUEID VARCHAR, ZAUDIOFUTUREUUIDS BLOB, ZAUDIODIGEST BLOB, ZAUDIOFUTURE BLOB, "
    "ZMTAUDIOFUTURE BLOB, ZVERSIONEDAUDIOFUTURE BLOB );"
    "CREATE TABLE ZFOLDER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCOUNTOFRECORDINGS INTEGER, ZRANK INTEGER, ZENCRYPTEDNAME VARCHAR, ZUUID VARCHAR );";

constexpr char kPhoneFolder[] = "/var/mobile/";
constexpr char kRecordingsFolder[] = "Media/Recordings/";

struct Recording {
  int pk;
  const char* file;  // in the recordings folder
  double date;       // seconds from 2001
  double duration;
  const char* label;  // null: never named
  const char* unique_id;
  bool evicted;     // the audio left the phone for the cloud
  bool older_only;  // deleted on the phone since the older backup
};

constexpr Recording kLocal[] = {
    {1, "20150301 091500.m4a", 447000900.0, 12.5, "Lecture notes", "5C1F0B8E-local-1", false,
     false},
    {2, "20150302 184210.m4a", 447101930.0, 3.25, nullptr, "5C1F0B8E-local-2", false, false},
    {3, "20150228 070000.m4a", 446799600.0, 60.0, "Old idea", "5C1F0B8E-local-3", false, true},
};

constexpr Recording kCloud[] = {
    {1, "20230514 101500-7A2B.m4a", 705838500.0, 42.0, "Rehearsal", "7A2B90C1-cloud-1", false,
     false},
    {2, "20230601 220102-8C3D.m4a", 707349662.0, 8.5, nullptr, "8C3D12E4-cloud-2", false, false},
    {3, "20221224 180000-9E4F.m4a", 693597600.0, 95.0, "Carols", "9E4F5A6B-cloud-3", true, false},
    {4, "20221101 120000-1A2B.m4a", 689004000.0, 5.0, "Deleted draft", "1A2B3C4D-cloud-4", false,
     true},
};

void BindLabel(SampleStatement* insert, int index, const char* label) {
  if (label != nullptr) {
    insert->BindText(index, label);
  } else {
    insert->BindNull(index);
  }
}

// Fills ZRECORDING (`cloud` false) or ZCLOUDRECORDING.
bool WriteRecordings(sqlite3* db, bool cloud, bool sorting_label, bool unique_ids,
                     const IosSampleOptions& options, std::vector<IosRecordingAudio>* audio) {
  const std::string sql =
      cloud ? std::string(
                  "INSERT INTO ZCLOUDRECORDING (Z_PK, Z_ENT, Z_OPT, ZFLAGS, ZDATE, "
                  "ZDURATION, ZLOCALDURATION, ZCUSTOMLABEL, ZPATH, ZUNIQUEID, "
                  "ZEVICTIONDATE) VALUES (?1, 2, 3, 0, ?2, ?3, ?3, ?4, ?5, ?6, ?7)")
            : std::string(
                  "INSERT INTO ZRECORDING (Z_PK, Z_ENT, Z_OPT, ZSYNCED, ZDATE, ZDURATION, "
                  "ZCUSTOMLABEL, ZPATH") +
                  (unique_ids ? ", ZUNIQUEID) VALUES (?1, 1, 1, 1, ?2, ?3, ?4, ?5, ?6)"
                              : ") VALUES (?1, 1, 1, 1, ?2, ?3, ?4, ?5)");
  SampleStatement insert(db, sql.c_str());
  if (!insert.prepared()) return false;
  const std::vector<Recording> recordings =
      cloud ? std::vector<Recording>(std::begin(kCloud), std::end(kCloud))
            : std::vector<Recording>(std::begin(kLocal), std::end(kLocal));
  for (const Recording& recording : recordings) {
    if (recording.older_only && !options.older_copy) continue;
    const std::string relative_path = std::string(kRecordingsFolder) + recording.file;
    insert.BindInt(1, recording.pk);
    insert.BindDouble(2, recording.date);
    insert.BindDouble(3, recording.duration);
    BindLabel(&insert, 4, recording.label);
    insert.BindText(5, kPhoneFolder + relative_path);
    if (unique_ids) insert.BindText(6, recording.unique_id);
    if (cloud && recording.evicted) {
      insert.BindDouble(7, recording.date + 86400.0 * 60);
    } else if (cloud) {
      insert.BindNull(7);  // a reset statement keeps its bindings
    }
    if (insert.Step() != SQLITE_DONE) return false;
    insert.Reset();
    if (audio != nullptr && !recording.evicted) audio->push_back({relative_path, TinyM4a()});
  }
  // The newer stores keep a label for sorting that stands in for none.
  return !sorting_label ||
         sqlite3_exec(db,
                      "UPDATE ZCLOUDRECORDING SET ZCUSTOMLABELFORSORTING = coalesce(ZCUSTOMLABEL, "
                      "'New Recording ' || Z_PK), ZENCRYPTEDTITLE = ZCUSTOMLABEL",
                      nullptr, nullptr, nullptr) == SQLITE_OK;
}

int VersionOf(const IosSampleOptions& options, int newest) {
  return options.schema_version <= 0 || options.schema_version > newest ? newest
                                                                        : options.schema_version;
}

void AppendBox(const std::string& type, const std::string& body, std::string* bytes) {
  const uint32_t size = static_cast<uint32_t>(body.size() + 8);
  for (int shift = 24; shift >= 0; shift -= 8) bytes->push_back(static_cast<char>(size >> shift));
  *bytes += type + body;
}

}  // namespace

std::string IosRecordingsSql(int schema_version) {
  return std::string(schema_version == 1 ? kRecordingV1 : kRecordingV2) + kCoreDataTables;
}

std::string IosCloudRecordingsSql(int schema_version) {
  const char* table = schema_version == 1   ? kCloudRecordingV1
                      : schema_version == 2 ? kCloudRecordingV2
                                            : kCloudRecordingV3;
  return std::string(table) + kCoreDataTables;
}

std::string TinyM4a() {
  std::string bytes;
  AppendBox("ftyp", std::string("M4A \0\0\0\0M4A mp42isom\0\0\0\0", 24), &bytes);
  std::string frames;
  // A silent AAC-LC frame of one channel, several times over.
  for (int frame = 0; frame < 8; ++frame) frames += std::string("\x21\x10\x04\x60\x8C\x1C", 6);
  AppendBox("mdat", frames, &bytes);
  return bytes;
}

bool WriteIosRecordings(const std::string& path, const IosSampleOptions& options,
                        std::vector<IosRecordingAudio>* audio) {
  const int version = VersionOf(options, kIosRecordingsNewestSchema);
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosRecordingsSql(version).c_str())) return false;
  if (!WriteRecordings(db.handle(), false, false, version >= 2, options, audio)) return false;
  return db.Close();
}

bool WriteIosCloudRecordings(const std::string& path, const IosSampleOptions& options,
                             std::vector<IosRecordingAudio>* audio) {
  const int version = VersionOf(options, kIosCloudRecordingsNewestSchema);
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosCloudRecordingsSql(version).c_str())) return false;
  if (!WriteRecordings(db.handle(), true, version >= 2, true, options, audio)) return false;
  return db.Close();
}

}  // namespace kx::samples
