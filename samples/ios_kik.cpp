#include "samples/ios_kik.h"

#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/ios_sample_text.h"
#include "samples/sample_pictures.h"

namespace kx::samples {

namespace {

// The entity tables as forensic readers of Kik print them; both versions
// share them.
constexpr char kEntitiesSql[] =
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);"
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX "
    "INTEGER);"
    "CREATE TABLE ZKIKATTACHMENT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZFLAGS "
    "INTEGER, ZINTERNALID INTEGER, ZRETRYCOUNT INTEGER, ZSTATE INTEGER, ZTYPE INTEGER, ZEXTRA "
    "INTEGER, ZMESSAGE INTEGER, ZLASTACCESSTIMESTAMP TIMESTAMP, ZTIMESTAMP TIMESTAMP, ZCONTENT "
    "VARCHAR );"
    "CREATE TABLE ZKIKATTACHMENTEXTRA ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZATTACHMENT INTEGER, ZENCRYPTIONKEY BLOB );"
    "CREATE TABLE ZKIKCHAT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZFLAGS "
    "INTEGER, ZDRAFTMESSAGE INTEGER, ZEXTRA INTEGER, ZLASTMESSAGE INTEGER, ZUSER INTEGER, "
    "ZDATEUPDATED TIMESTAMP );"
    "CREATE TABLE ZKIKCHATEXTRA ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZCHAT "
    "INTEGER, ZLASTSEENMESSAGE INTEGER, ZMUTEDTIMESTAMP TIMESTAMP );"
    "CREATE TABLE ZKIKMESSAGE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZFLAGS "
    "INTEGER, ZINTERNALID INTEGER, ZSTATE INTEGER, ZSYSTEMSTATE INTEGER, ZTYPE INTEGER, "
    "ZCHATEXTRA INTEGER, ZDRAFTMESSAGECHAT INTEGER, ZLASTMESSAGECHAT INTEGER, ZLASTMESSAGEUSER "
    "INTEGER, ZUSER INTEGER, ZRECEIVEDTIMESTAMP TIMESTAMP, ZTIMESTAMP TIMESTAMP, ZBODY VARCHAR, "
    "ZSTANZAID VARCHAR, ZRENDERINSTRUCTIONSET BLOB );"
    "CREATE TABLE ZKIKUSER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZADDRESSBOOKID INTEGER, ZFLAGS INTEGER, ZINTERNALID INTEGER, ZPRESENCE INTEGER, ZTYPE "
    "INTEGER, ZCHATUSER INTEGER, ZEXTRA INTEGER, ZLASTMESSAGE INTEGER, ZDISPLAYNAME VARCHAR, "
    "ZDISPLAYNAMEASCII VARCHAR, ZEMAIL VARCHAR, ZFIRSTNAME VARCHAR, ZGROUPTAG VARCHAR, ZJID "
    "VARCHAR, ZLASTNAME VARCHAR, ZPPTIMESTAMP VARCHAR, ZPPURL VARCHAR, ZSTATUS VARCHAR, ZUSERNAME "
    "VARCHAR, ZCONTENTLINKSPROTODATA BLOB );"
    "CREATE TABLE ZKIKUSEREXTRA ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZLOCALFLAGS INTEGER, ZUSER INTEGER, ZPUBLICMESSAGINGKEY BLOB );";

constexpr char kJoinsV1[] =
    "CREATE TABLE Z_3MESSAGES ( Z_3CHAT INTEGER, Z_5MESSAGES INTEGER, PRIMARY KEY (Z_3CHAT, "
    "Z_5MESSAGES) );"
    "CREATE TABLE Z_6ADMINSINVERSE ( Z_6ADMINS INTEGER, Z_6ADMINSINVERSE INTEGER, PRIMARY KEY "
    "(Z_6ADMINS, Z_6ADMINSINVERSE) );"
    "CREATE TABLE Z_6BANSINVERSE ( Z_6BANS INTEGER, Z_6BANSINVERSE INTEGER, PRIMARY KEY "
    "(Z_6BANS, Z_6BANSINVERSE) );"
    "CREATE TABLE Z_6MEMBERS ( Z_6MEMBERSINVERSE INTEGER, Z_6MEMBERS INTEGER, PRIMARY KEY "
    "(Z_6MEMBERSINVERSE, Z_6MEMBERS) );";

constexpr char kJoinsV2[] =
    "CREATE TABLE Z_4MESSAGES ( Z_4CHAT INTEGER, Z_6MESSAGES INTEGER, PRIMARY KEY (Z_4CHAT, "
    "Z_6MESSAGES) );"
    "CREATE TABLE Z_9ADMINSINVERSE ( Z_9ADMINS INTEGER, Z_9ADMINSINVERSE INTEGER, PRIMARY KEY "
    "(Z_9ADMINS, Z_9ADMINSINVERSE) );"
    "CREATE TABLE Z_9BANSINVERSE ( Z_9BANS INTEGER, Z_9BANSINVERSE INTEGER, PRIMARY KEY "
    "(Z_9BANS, Z_9BANSINVERSE) );"
    "CREATE TABLE Z_9MEMBERS ( Z_9MEMBERSINVERSE INTEGER, Z_9MEMBERS INTEGER, PRIMARY KEY "
    "(Z_9MEMBERSINVERSE, Z_9MEMBERS) );";

// Users 1 and 2 are friends, 3 is the group (a group is a user row of its
// own, which its chat points at). Dates count seconds from 2001.
constexpr char kRowsSql[] =
    "INSERT INTO ZKIKUSER (Z_PK, Z_ENT, ZDISPLAYNAME, ZJID, ZUSERNAME) VALUES "
    "(1, 10, 'Zoë Lindqvist', 'zoe.l_4kq@talk.kik.com', 'zoe.l'),"
    "(2, 10, 'Mark Okafor', 'mokafor_9x2@talk.kik.com', 'mokafor'),"
    "(3, 9, 'Weekend hikers', '1100211223344_g@groups.kik.com', NULL);"
    "INSERT INTO ZKIKCHAT (Z_PK, Z_ENT, ZUSER, ZDATEUPDATED) VALUES "
    "(1, 4, 1, 726000300.5), (2, 4, 3, 726000900.25);"
    "INSERT INTO ZKIKMESSAGE (Z_PK, Z_ENT, ZSTATE, ZTYPE, ZUSER, ZTIMESTAMP, ZBODY) VALUES "
    "(1, 6, 0, 1, 1, 726000100.5, 'Are we still on for Saturday?'),"
    "(2, 6, 2, 2, 1, 726000200.5, 'Yes, 9 at the trailhead'),"
    "(3, 6, 0, 1, 1, 726000300.5, NULL),"
    "(4, 6, 0, 4, 2, 726000800.25, 'Bring water'),"
    "(5, 6, 0, 3, 2, 726000900.25, 'Mark added Zoë'),"
    "(6, 6, 0, 1, 2, 725999000, 'From a chat deleted since');"
    "INSERT INTO ZKIKATTACHMENT (Z_PK, Z_ENT, ZTYPE, ZMESSAGE, ZCONTENT) VALUES "
    "(1, 1, 6, 3, 'f3a1c2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b');";

std::string JoinRows(int version) {
  const std::string messages = version == 1 ? "Z_3MESSAGES" : "Z_4MESSAGES";
  const std::string members = version == 1 ? "Z_6MEMBERS" : "Z_9MEMBERS";
  return "INSERT INTO " + messages + " VALUES (1, 1), (1, 2), (1, 3), (2, 4), (2, 5);" +
         "INSERT INTO " + members + " VALUES (3, 1), (3, 2);";
}

// A few bytes of a JPEG's start, as the preview data of the sample.
constexpr char kPreviewBase64[] = "/9j/4AAQSkZJRgABAQAAAQABAAD/2w==";

}  // namespace

std::string IosKikStorePath(const std::string& account) {
  return "cores/private/" + account + "/kik.sqlite";
}

std::string IosKikSql(int schema_version) {
  return std::string(kEntitiesSql) + (schema_version == 1 ? kJoinsV1 : kJoinsV2);
}

std::string IosKikMediaPlist(const std::string& app_id, const std::string& preview_base64) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n\t<key>app-id</key>\n\t<string>" +
         XmlEscape(app_id) +
         "</string>\n\t<key>image</key>\n\t<array>\n\t\t<dict>\n\t\t\t<key>name</key>\n"
         "\t\t\t<string>icon</string>\n\t\t</dict>\n\t\t<dict>\n\t\t\t<key>name</key>\n"
         "\t\t\t<string>preview</string>\n\t\t\t<key>value</key>\n\t\t\t<data>" +
         preview_base64 + "</data>\n\t\t</dict>\n\t</array>\n</dict>\n</plist>\n";
}

bool WriteIosKik(const std::string& path, const IosSampleOptions& options,
                 std::vector<IosKikFile>* files) {
  const int version = options.schema_version == 0 ? kIosKikNewestSchema : options.schema_version;
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosKikSql(version).c_str()) || !db.Exec(kRowsSql) ||
      !db.Exec(JoinRows(version).c_str())) {
    return false;
  }
  const std::string folder = std::string("cores/private/") + kIosKikAccount + "/";
  files->push_back({folder + "attachments/f3a1c2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b",
                    IosKikMediaPlist("com.kik.ext.gallery", kPreviewBase64)});
  files->push_back({folder + "profpix/thumb_zoe.l_4kq@talk.kik.com", SampleJpeg(31)});
  return db.Close();
}

}  // namespace kx::samples
