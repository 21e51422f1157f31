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

std::string U16(uint32_t value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string U32(uint32_t value) { return U16(value >> 16) + U16(value & 0xFFFF); }

std::string Zeros(size_t count) { return std::string(count, '\0'); }

std::string Box(const std::string& type, const std::string& body) {
  std::string box;
  const uint32_t size = static_cast<uint32_t>(body.size() + 8);
  for (int shift = 24; shift >= 0; shift -= 8) box.push_back(static_cast<char>(size >> shift));
  return box + type + body;
}

// A box with a version and flags before its body.
std::string FullBox(const std::string& type, uint32_t flags, const std::string& body) {
  return Box(type, U32(flags) + body);
}

// The identity matrix of the movie and track headers.
std::string UnityMatrix() {
  return U32(0x00010000) + Zeros(12) + U32(0x00010000) + Zeros(12) + U32(0x40000000);
}

// A descriptor of the elementary-stream box: tag, one length byte, body.
std::string Descriptor(uint8_t tag, const std::string& body) {
  return std::string{static_cast<char>(tag), static_cast<char>(body.size())} + body;
}

// A silent frame of a mono AAC-LC stream, 1,024 samples at 44.1 kHz.
constexpr char kSilentAacFrame[] = "\x21\x10\x04\x60\x8C\x1C";
constexpr uint32_t kAacFrameBytes = 6;
constexpr uint32_t kAacFrames = 8;
constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kSamplesPerFrame = 1024;

// The sample table of the one audio track; its one chunk starts at
// `chunk_offset` in the file.
std::string SampleTable(uint32_t chunk_offset) {
  const std::string esds = FullBox(
      "esds", 0,
      Descriptor(0x03, U16(1) + std::string(1, '\0') +
                           Descriptor(0x04, std::string{0x40, 0x15} + Zeros(3) + U32(64000) +
                                                U32(64000) + Descriptor(0x05, "\x12\x08")) +
                           Descriptor(0x06, "\x02")));
  const std::string mp4a = Box("mp4a", Zeros(6) + U16(1) + Zeros(8) + U16(1) + U16(16) + Zeros(4) +
                                           U32(kSampleRate << 16) + esds);
  return Box("stbl", FullBox("stsd", 0, U32(1) + mp4a) +
                         FullBox("stts", 0, U32(1) + U32(kAacFrames) + U32(kSamplesPerFrame)) +
                         FullBox("stsc", 0, U32(1) + U32(1) + U32(kAacFrames) + U32(1)) +
                         FullBox("stsz", 0, U32(kAacFrameBytes) + U32(kAacFrames)) +
                         FullBox("stco", 0, U32(1) + U32(chunk_offset)));
}

std::string Movie(uint32_t chunk_offset) {
  const uint32_t duration = kAacFrames * kSamplesPerFrame;
  const std::string mvhd =
      FullBox("mvhd", 0,
              Zeros(8) + U32(kSampleRate) + U32(duration) + U32(0x00010000) + U16(0x0100) +
                  Zeros(10) + UnityMatrix() + Zeros(24) + U32(2));
  const std::string tkhd =
      FullBox("tkhd", 3,
              Zeros(8) + U32(1) + Zeros(4) + U32(duration) + Zeros(8) + Zeros(4) + U16(0x0100) +
                  Zeros(2) + UnityMatrix() + Zeros(8));
  const std::string mdhd =
      FullBox("mdhd", 0, Zeros(8) + U32(kSampleRate) + U32(duration) + U16(0x55C4) + Zeros(2));
  const std::string hdlr =
      FullBox("hdlr", 0, Zeros(4) + "soun" + Zeros(12) + std::string("SoundHandler", 13));
  const std::string minf =
      Box("minf", FullBox("smhd", 0, Zeros(4)) +
                      Box("dinf", FullBox("dref", 0, U32(1) + FullBox("url ", 1, ""))) +
                      SampleTable(chunk_offset));
  return Box("moov", mvhd + Box("trak", tkhd + Box("mdia", mdhd + hdlr + minf)));
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
  const std::string file_type = Box("ftyp", std::string("M4A ") + Zeros(4) + "M4A mp42isom");
  std::string frames;
  for (uint32_t frame = 0; frame < kAacFrames; ++frame) {
    frames.append(kSilentAacFrame, kAacFrameBytes);
  }
  // The movie box does not change size with the offset it holds.
  const size_t movie_size = Movie(0).size();
  const uint32_t chunk_offset = static_cast<uint32_t>(file_type.size() + movie_size + 8);
  return file_type + Movie(chunk_offset) + Box("mdat", frames);
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
