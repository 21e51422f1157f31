#include "samples/ios_call_history.h"

#include <cstdint>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/ios_sample_text.h"
#include "samples/sample_random.h"

namespace kx::samples {

namespace {

// Table definitions. Versions 1 and 2 follow the ZCALLRECORD columns that
// open forensic readers of iOS backups (iLEAPP's call-history artifact and
// fixtures of readers written against iOS 9 to 13 stores, which carry
// ZDEVICE_ID, ZJUNKCONFIDENCE and ZADDRESS declared BLOB) select; version 4
// is the store `sqlite3 .schema` prints on current systems, as published with
// the fixtures of the open "tincan" reader; version 3 sits between them
// (ZLOCALPARTICIPANTUUID and the other participant UUIDs arrived with
// iOS 14, the emergency-media entity with iOS 17). The join table is always
// Z_2REMOTEPARTICIPANTHANDLES; its handle column carries the entity number
// of Handle, which iLEAPP reads as Z_3... or Z_4... by version.
constexpr char kCallRecordV1[] =
    "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZANSWERED INTEGER, ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA BLOB, "
    "ZNUMBER_AVAILABILITY INTEGER, ZORIGINATED INTEGER, ZREAD INTEGER, ZDATE TIMESTAMP, "
    "ZDURATION FLOAT, ZADDRESS BLOB, ZDEVICE_ID VARCHAR, ZISO_COUNTRY_CODE VARCHAR, ZNAME "
    "VARCHAR, ZUNIQUE_ID VARCHAR );";

constexpr char kCallRecordV2[] =
    "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZANSWERED INTEGER, ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA BLOB, "
    "ZNUMBER_AVAILABILITY INTEGER, ZORIGINATED INTEGER, ZREAD INTEGER, ZJUNKCONFIDENCE INTEGER, "
    "ZDATE TIMESTAMP, ZDURATION FLOAT, ZADDRESS BLOB, ZDEVICE_ID VARCHAR, ZISO_COUNTRY_CODE "
    "VARCHAR, ZLOCATION VARCHAR, ZNAME VARCHAR, ZSERVICE_PROVIDER VARCHAR, ZUNIQUE_ID VARCHAR );";

constexpr char kCallRecordV3[] =
    "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZANSWERED INTEGER, ZCALL_CATEGORY INTEGER, ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, "
    "ZFACE_TIME_DATA INTEGER, ZFILTERED_OUT_REASON INTEGER, ZHANDLE_TYPE INTEGER, "
    "ZJUNKCONFIDENCE INTEGER, ZNUMBER_AVAILABILITY INTEGER, ZORIGINATED INTEGER, ZREAD INTEGER, "
    "ZVERIFICATIONSTATUS INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, ZADDRESS VARCHAR, "
    "ZBLOCKEDBYEXTENSION VARCHAR, ZISO_COUNTRY_CODE VARCHAR, ZLOCATION VARCHAR, ZNAME VARCHAR, "
    "ZSERVICE_PROVIDER VARCHAR, ZUNIQUE_ID VARCHAR, ZLOCALPARTICIPANTUUID BLOB, "
    "ZOUTGOINGLOCALPARTICIPANTUUID BLOB, ZPARTICIPANTGROUPUUID BLOB );";

constexpr char kCallRecordV4[] =
    "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZANSWERED INTEGER, ZAUTOANSWEREDREASON INTEGER, ZCALLDIRECTORYIDENTITYTYPE INTEGER, "
    "ZCALL_CATEGORY INTEGER, ZCALLTYPE INTEGER, ZCOMMUNICATIONTRUSTSCORE INTEGER, "
    "ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA INTEGER, ZFILTERED_OUT_REASON INTEGER, "
    "ZHANDLE_TYPE INTEGER, ZHASMESSAGE INTEGER, ZJUNKCONFIDENCE INTEGER, ZNEEDEDSCANNOUNCEMENT "
    "INTEGER, ZNUMBER_AVAILABILITY INTEGER, ZORIGINATED INTEGER, ZORIGINATINGUITYPE INTEGER, "
    "ZREAD INTEGER, ZSCREENSHARINGTYPE INTEGER, ZUSEDEMERGENCYVIDEOSTREAMING INTEGER, "
    "ZVERIFICATIONSTATUS INTEGER, ZWASEMERGENCYCALL INTEGER, ZINITIATOR INTEGER, ZDATE "
    "TIMESTAMP, ZDURATION FLOAT, ZADDRESS VARCHAR, ZBLOCKEDBYEXTENSION VARCHAR, "
    "ZBLOCKEDBYEXTENSIONNAME VARCHAR, ZIDENTITYEXTENSION VARCHAR, ZISO_COUNTRY_CODE VARCHAR, "
    "ZJUNKIDENTIFICATIONCATEGORY VARCHAR, ZLOCATION VARCHAR, ZNAME VARCHAR, "
    "ZORIGINATINGDEVICENAME VARCHAR, ZSERVICE_PROVIDER VARCHAR, ZUNIQUE_ID VARCHAR, "
    "ZCONVERSATIONID BLOB, ZIMAGEURL VARCHAR, ZLOCALPARTICIPANTUUID BLOB, "
    "ZOUTGOINGLOCALPARTICIPANTUUID BLOB, ZPARTICIPANTGROUPUUID BLOB, ZREMINDERUUID BLOB );"
    "CREATE TABLE ZEMERGENCYMEDIAITEM ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZEMERGENCYMEDIATYPE INTEGER, ZUPLOADEDFORCALL INTEGER, ZASSETID VARCHAR );";

constexpr char kCoreDataTables[] =
    "CREATE TABLE ZCALLDBPROPERTIES ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZTIMER_ALL FLOAT, ZTIMER_INCOMING FLOAT, ZTIMER_LAST FLOAT, ZTIMER_LIFETIME FLOAT, "
    "ZTIMER_OUTGOING FLOAT );"
    "CREATE TABLE ZHANDLE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZTYPE "
    "INTEGER, ZNORMALIZEDVALUE VARCHAR, ZVALUE VARCHAR );"
    "CREATE INDEX Z_Handle_byValueIndex ON ZHANDLE (ZVALUE COLLATE BINARY ASC);"
    "CREATE INDEX Z_Handle_byNormalizedValueIndex ON ZHANDLE (ZNORMALIZEDVALUE COLLATE BINARY "
    "ASC);"
    "CREATE INDEX Z_CallRecord_byDateIndex ON ZCALLRECORD (ZDATE COLLATE BINARY ASC);"
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
    "Z_MAX INTEGER);"
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);"
    "CREATE TABLE Z_MODELCACHE (Z_CONTENT BLOB);";

constexpr char kNewerIndexes[] =
    "CREATE INDEX Z_CallRecord_byLocalParticipantUUIDIndex ON ZCALLRECORD "
    "(ZLOCALPARTICIPANTUUID COLLATE BINARY ASC);"
    "CREATE UNIQUE INDEX Z_CallRecord_UNIQUE_unique_id ON ZCALLRECORD (ZUNIQUE_ID COLLATE "
    "BINARY ASC);";

int ClampVersion(int schema_version) {
  if (schema_version < kIosCallHistoryOldestSchema || schema_version > kIosCallHistoryNewestSchema)
    return kIosCallHistoryNewestSchema;
  return schema_version;
}

int HandleEntity(int version) { return version >= 4 ? 4 : 3; }

std::string JoinTableSql(int version) {
  const std::string column = IosCallHistoryHandleJoinColumn(version);
  return "CREATE TABLE Z_2REMOTEPARTICIPANTHANDLES ( Z_2REMOTEPARTICIPANTCALLS INTEGER, " + column +
         " INTEGER, PRIMARY KEY (Z_2REMOTEPARTICIPANTCALLS, " + column +
         ") );CREATE INDEX Z_2REMOTEPARTICIPANTHANDLES_" + column +
         "_INDEX ON Z_2REMOTEPARTICIPANTHANDLES (" + column + ", Z_2REMOTEPARTICIPANTCALLS);";
}

// Where the phone met an address, how it wrote it, and what it stores as
// the handle's normalized value.
struct SampleAddress {
  const char* written;     // ZADDRESS / ZVALUE
  const char* normalized;  // ZNORMALIZEDVALUE
  const char* country;     // ZISO_COUNTRY_CODE; null: none
  const char* location;    // ZLOCATION; null: none
  bool email;
};

const std::vector<SampleAddress>& SampleAddresses() {
  static const std::vector<SampleAddress> addresses = {
      {"+1 (555) 010-4477", "+15550104477", "us", "California", false},
      {"+44 20 7946 0958", "+442079460958", "gb", "London", false},
      {"555-0100", "+15550100", "us", "United States", false},
      {"+46 70 123 45 67", "+46701234567", "se", "Sweden", false},
      {"(555) 013-2200", "+15550132200", "us", "New York", false},
      {"+86 138 0013 8000", "+8613800138000", "cn", "Beijing", false},
      {"+49 151 23456789", "+4915123456789", "de", "Germany", false},
      {"+972 54-123-4567", "+972541234567", "il", "Israel", false},
      {"+15550132299", "+15550132299", "us", "New York", false},
      {"72975", "72975", "us", nullptr, false},
      {"mia.chen@icloud.com", "mia.chen@icloud.com", nullptr, nullptr, true},
      {"jose.nunez@me.com", "jose.nunez@me.com", nullptr, nullptr, true},
      // The forgotten numbers: last, so that every copy numbers the handles
      // alike.
      {"+1 (555) 019-8877", "+15550198877", "us", "Texas", false},
      {"+33 6 12 34 56 78", "+33612345678", "fr", "France", false},
  };
  return addresses;
}

int FirstForgottenAddress() {
  return static_cast<int>(SampleAddresses().size()) - kIosForgottenNumbers;
}

// Calls of other applications reach the history through CallKit, named by
// the application's bundle identifier.
constexpr const char* kAppProviders[] = {"net.whatsapp.WhatsApp", "com.viber",
                                         "ph.telegra.Telegraph", "com.skype.skype"};
constexpr char kTelephony[] = "com.apple.Telephony";
constexpr char kFaceTime[] = "com.apple.FaceTime";

constexpr int kPhoneCall = 1;
constexpr int kFaceTimeVideo = 8;
constexpr int kFaceTimeAudio = 16;
// CHHandle types.
constexpr int kHandlePhoneNumber = 2;
constexpr int kHandleEmail = 3;

// 2021-03-01 00:00:00 UTC in seconds since 2001.
constexpr double kFirstCallDate = 636249600.0;
constexpr int kDeletedEvery = 11;
constexpr int kDeletedRemainder = 5;

struct Call {
  int64_t pk = 0;
  double date = 0;
  int type = kPhoneCall;
  const char* provider = kTelephony;
  bool app_call = false;
  bool originated = false;
  bool answered = true;
  double duration = 0;
  int address = 0;  // index into SampleAddresses()
  bool second_line = false;
  std::string unique_id;
};

int PickAddress(SampleRandom& random, bool email_allowed) {
  const int phones = FirstForgottenAddress() - 2;  // the two e-mail addresses close the list
  if (email_allowed && random.Below(5) < 2) return phones + static_cast<int>(random.Below(2));
  return static_cast<int>(random.Below(phones));
}

Call DrawCall(int64_t pk, double date, int version, SampleRandom& random) {
  Call call;
  call.pk = pk;
  call.date = date;
  const int roll = static_cast<int>(random.Below(100));
  if (roll < 60) {
    call.type = kPhoneCall;
  } else if (roll < 72) {
    call.type = kFaceTimeVideo;
    call.provider = kFaceTime;
  } else if (roll < 82) {
    call.type = kFaceTimeAudio;
    call.provider = kFaceTime;
  } else if (version >= 2) {
    call.app_call = true;
    call.provider = kAppProviders[random.Below(4)];
  }
  call.address = PickAddress(random, call.provider == kFaceTime);
  call.originated = random.Below(100) < 45;
  const bool connected = random.Below(100) < (call.originated ? 85 : 78);
  call.answered = connected;
  call.duration = connected ? 1 + random.Below(random.Below(8) == 0 ? 3600 : 400) +
                                  static_cast<double>(random.Below(1000)) / 1000.0
                            : 0.0;
  call.second_line = random.Below(10) == 0;
  call.unique_id = UpperUuid(random);
  return call;
}

std::string InsertCallSql(int version) {
  std::string columns =
      "Z_PK,Z_ENT,Z_OPT,ZANSWERED,ZCALLTYPE,ZDISCONNECTED_CAUSE,ZNUMBER_AVAILABILITY,"
      "ZORIGINATED,ZREAD,ZDATE,ZDURATION,ZADDRESS,ZISO_COUNTRY_CODE,ZNAME,ZUNIQUE_ID";
  int count = 15;
  if (version >= 2) {
    columns += ",ZLOCATION,ZSERVICE_PROVIDER";
    count += 2;
  }
  if (version >= 3) {
    columns += ",ZLOCALPARTICIPANTUUID,ZHANDLE_TYPE";
    count += 2;
  }
  std::string sql = "INSERT INTO ZCALLRECORD (" + columns + ") VALUES (?";
  for (int i = 1; i < count; ++i) sql += ",?";
  return sql + ")";
}

// The two lines of a dual-SIM phone, as Core Data stores UUIDs.
std::string LineUuid(bool second_line) {
  std::string bytes(16, '\0');
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<char>(0x3c + i * 7 + (second_line ? 1 : 0));
  return bytes;
}

void BindTextOrNull(SampleStatement& insert, int index, const char* text) {
  if (text == nullptr) {
    insert.BindNull(index);
  } else {
    insert.BindText(index, text);
  }
}

void BindCall(SampleStatement& insert, const Call& call, int version) {
  const SampleAddress& address = SampleAddresses()[call.address];
  insert.BindInt64(1, call.pk);
  insert.BindInt(2, 2);  // CallRecord
  insert.BindInt(3, 1);
  insert.BindInt(4, call.answered ? 1 : 0);
  insert.BindInt(5, call.type);
  insert.BindInt(6, call.answered || call.originated ? 0 : 6);
  insert.BindInt(7, 0);
  insert.BindInt(8, call.originated ? 1 : 0);
  insert.BindInt(9, call.answered || call.originated ? 1 : 0);
  insert.BindDouble(10, call.date);
  insert.BindDouble(11, call.duration);
  // The oldest stores keep the address as bytes in their BLOB column.
  if (version == 1) {
    insert.BindBlob(12, address.written);
  } else {
    insert.BindText(12, address.written);
  }
  BindTextOrNull(insert, 13, address.country);
  insert.BindNull(14);
  insert.BindText(15, call.unique_id);
  if (version >= 2) {
    BindTextOrNull(insert, 16, call.app_call ? nullptr : address.location);
    insert.BindText(17, call.provider);
  }
  if (version >= 3) {
    if (call.app_call) {
      insert.BindNull(18);
    } else {
      insert.BindBlob(18, LineUuid(call.second_line));
    }
    insert.BindInt(19, address.email ? kHandleEmail : kHandlePhoneNumber);
  }
}

bool CopyHoldsCall(int64_t index, int64_t call_count, bool older_copy) {
  if (older_copy) return index < call_count * 4 / 5;
  return index % kDeletedEvery != kDeletedRemainder;
}

class CallWriter {
 public:
  CallWriter(SampleDatabase& db, int version)
      : version_(version),
        insert_(db.handle(), InsertCallSql(version).c_str()),
        join_(db.handle(), ("INSERT INTO Z_2REMOTEPARTICIPANTHANDLES VALUES (?,?)")) {}

  bool ready() const { return insert_.prepared() && join_.prepared(); }

  bool Write(const Call& call) {
    BindCall(insert_, call, version_);
    const bool inserted = insert_.Step() == SQLITE_DONE;
    insert_.Reset();
    join_.BindInt64(1, call.pk);
    join_.BindInt(2, call.address + 1);  // handles are numbered like the addresses
    const bool joined = join_.Step() == SQLITE_DONE;
    join_.Reset();
    if (call.pk > max_pk_) max_pk_ = call.pk;
    return inserted && joined;
  }

  int64_t max_pk() const { return max_pk_; }

 private:
  int version_;
  SampleStatement insert_;
  SampleStatement join_;
  int64_t max_pk_ = 0;
};

bool WriteHandles(SampleDatabase& db, int version) {
  SampleStatement insert(db.handle(), "INSERT INTO ZHANDLE VALUES (?,?,1,?,?,?)");
  if (!insert.prepared()) return false;
  const std::vector<SampleAddress>& addresses = SampleAddresses();
  for (size_t i = 0; i < addresses.size(); ++i) {
    insert.BindInt64(1, static_cast<int64_t>(i) + 1);
    insert.BindInt(2, HandleEntity(version));
    insert.BindInt(3, addresses[i].email ? kHandleEmail : kHandlePhoneNumber);
    insert.BindText(4, addresses[i].normalized);
    insert.BindText(5, addresses[i].written);
    if (insert.Step() != SQLITE_DONE) return false;
    insert.Reset();
  }
  return true;
}

bool WriteCalls(SampleDatabase& db, int version, const IosSampleOptions& options, int64_t* max_pk) {
  CallWriter writer(db, version);
  if (!writer.ready()) return false;
  const int64_t call_count =
      static_cast<int64_t>(kIosCallsPerScale) * (options.scale < 1 ? 1 : options.scale);
  // Every copy draws the same stream, so a call has the same values and the
  // same Z_PK in each.
  SampleRandom random(options.seed);
  double date = kFirstCallDate;
  for (int64_t index = 0; index < call_count; ++index) {
    date += 30 + random.Below(7200) + static_cast<double>(random.Below(1000)) / 1000.0;
    const uint64_t call_seed = random.Next();
    if (!CopyHoldsCall(index, call_count, options.older_copy)) continue;
    SampleRandom call_random(call_seed);
    if (!writer.Write(DrawCall(index + 1, date, version, call_random))) return false;
  }
  if (options.older_copy) {
    // The calls of the forgotten numbers, older than the rest.
    for (int i = 0; i < kIosForgottenNumbers; ++i) {
      SampleRandom call_random(options.seed + 7919u * static_cast<uint32_t>(i + 1));
      Call call =
          DrawCall(call_count + 1 + i, kFirstCallDate - 86400.0 * (i + 1), version, call_random);
      call.address = FirstForgottenAddress() + i;
      call.type = kPhoneCall;
      call.provider = kTelephony;
      call.app_call = false;
      if (!writer.Write(call)) return false;
    }
  }
  *max_pk = writer.max_pk();
  return true;
}

bool WriteBookkeeping(SampleDatabase& db, int version, int64_t max_call_pk) {
  const std::string handles = std::to_string(SampleAddresses().size());
  std::string sql =
      "INSERT INTO Z_PRIMARYKEY VALUES (1,'CallDBProperties',0,1);"
      "INSERT INTO Z_PRIMARYKEY VALUES (2,'CallRecord',0," +
      std::to_string(max_call_pk) + ");INSERT INTO Z_PRIMARYKEY VALUES (" +
      std::to_string(HandleEntity(version)) + ",'Handle',0," + handles + ");";
  if (version >= 4) sql += "INSERT INTO Z_PRIMARYKEY VALUES (3,'EmergencyMediaItem',0,0);";
  sql +=
      "INSERT INTO ZCALLDBPROPERTIES VALUES (1,1,1,51234.0,20411.0,312.0,51234.0,30823.0);"
      "INSERT INTO Z_METADATA VALUES (1,'8D3C1F0A-5B2E-4C7D-9A61-0E4F2B7C9D13',NULL);";
  return db.Exec(sql.c_str());
}

}  // namespace

std::string IosCallHistorySql(int schema_version) {
  const int version = ClampVersion(schema_version);
  const char* call_record = version == 1   ? kCallRecordV1
                            : version == 2 ? kCallRecordV2
                            : version == 3 ? kCallRecordV3
                                           : kCallRecordV4;
  std::string sql = std::string(call_record) + kCoreDataTables + JoinTableSql(version);
  if (version >= 3) sql += kNewerIndexes;
  return sql;
}

const char* IosCallHistoryHandleJoinColumn(int schema_version) {
  return ClampVersion(schema_version) >= 4 ? "Z_4REMOTEPARTICIPANTHANDLES"
                                           : "Z_3REMOTEPARTICIPANTHANDLES";
}

bool WriteIosCallHistory(const std::string& path, const IosSampleOptions& options) {
  const int version = ClampVersion(options.schema_version);
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  if (!db.Exec(IosCallHistorySql(version).c_str())) return false;
  db.Exec("BEGIN");
  int64_t max_pk = 0;
  if (!WriteHandles(db, version) || !WriteCalls(db, version, options, &max_pk) ||
      !WriteBookkeeping(db, version, max_pk)) {
    db.Exec("ROLLBACK");
    return false;
  }
  return db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
