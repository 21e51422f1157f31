#include "samples/ios_line.h"

#include <string>
#include <utility>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/ios_sample_text.h"
#include "samples/sample_pictures.h"

namespace kx::samples {

namespace {

constexpr char kCoreDataSql[] =
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);"
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX "
    "INTEGER);";

constexpr char kTablesV1[] =
    "CREATE TABLE ZCHAT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZTYPE INTEGER, "
    "ZUNREAD INTEGER, ZLASTRECEIVEDMESSAGEID INTEGER, ZLASTUPDATED TIMESTAMP, ZMID VARCHAR, "
    "ZLASTMESSAGE VARCHAR, ZINPUTTEXT VARCHAR );"
    "CREATE TABLE ZGROUP ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZSTATUS "
    "INTEGER, ZCREATOR INTEGER, ZCREATEDTIME TIMESTAMP, ZID VARCHAR, ZNAME VARCHAR, "
    "ZPICTURESTATUS VARCHAR );"
    "CREATE TABLE ZMESSAGE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCONTENTTYPE INTEGER, ZREADCOUNT INTEGER, ZSENDSTATUS INTEGER, ZCHAT INTEGER, ZSENDER "
    "INTEGER, ZLATITUDE FLOAT, ZLONGITUDE FLOAT, ZTIMESTAMP TIMESTAMP, ZID VARCHAR, ZMESSAGETYPE "
    "VARCHAR, ZTEXT VARCHAR, ZCONTENTMETADATA BLOB, ZTHUMBNAIL BLOB );"
    "CREATE INDEX ZMESSAGE_ZCHAT_INDEX ON ZMESSAGE (ZCHAT);"
    "CREATE INDEX ZMESSAGE_ZSENDER_INDEX ON ZMESSAGE (ZSENDER);"
    "CREATE TABLE ZUSER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZUSERTYPE "
    "INTEGER, ZISFRIEND INTEGER, ZMID VARCHAR, ZNAME VARCHAR, ZCUSTOMNAME VARCHAR, "
    "ZSTATUSMESSAGE VARCHAR, ZPICTUREURL VARCHAR );"
    "CREATE TABLE Z_1MEMBERS ( Z_1CHATS INTEGER, Z_12MEMBERS INTEGER, PRIMARY KEY (Z_1CHATS, "
    "Z_12MEMBERS) );";

constexpr char kTablesV2[] =
    "CREATE TABLE ZCHAT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZISARCHIVED "
    "INTEGER, ZTYPE INTEGER, ZUNREAD INTEGER, ZEXPIREINTERVAL INTEGER, ZLASTRECEIVEDMESSAGEID "
    "INTEGER, ZLASTUPDATED TIMESTAMP, ZMID VARCHAR, ZSESSIONID INTEGER, ZLASTMESSAGE VARCHAR, "
    "ZINPUTTEXT VARCHAR, ZSKIN BLOB );"
    "CREATE TABLE ZGROUP ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZSTATUS "
    "INTEGER, ZMEMBERCOUNT INTEGER, ZCREATOR INTEGER, ZCREATEDTIME TIMESTAMP, ZID VARCHAR, ZNAME "
    "VARCHAR, ZPICTURESTATUS VARCHAR );"
    "CREATE TABLE ZMESSAGE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCONTENTTYPE INTEGER, ZREADCOUNT INTEGER, ZSTATUS INTEGER, ZCHAT INTEGER, ZSENDER INTEGER, "
    "ZLATITUDE FLOAT, ZLONGITUDE FLOAT, ZTIMESTAMP TIMESTAMP, ZID VARCHAR, ZREPLYTOMESSAGEID "
    "VARCHAR, ZTEXT VARCHAR, ZCONTENTMETADATA BLOB, ZTHUMBNAIL BLOB );"
    "CREATE INDEX ZMESSAGE_ZCHAT_INDEX ON ZMESSAGE (ZCHAT);"
    "CREATE TABLE ZUSER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZCONTACTTYPE "
    "INTEGER, ZUSERTYPE INTEGER, ZISFRIEND INTEGER, ZMID VARCHAR, ZNAME VARCHAR, ZCUSTOMNAME "
    "VARCHAR, ZADDRESSBOOKNAME VARCHAR, ZSORTABLENAME VARCHAR, ZSTATUSMESSAGE VARCHAR, "
    "ZPICTUREURL VARCHAR );"
    "CREATE TABLE Z_2MEMBERS ( Z_2CHATS INTEGER, Z_14MEMBERS INTEGER, PRIMARY KEY (Z_2CHATS, "
    "Z_14MEMBERS) );";

// Users: two friends, an official account (type 2) and the owner. Chats:
// 1 with Sakura, 2 the group, 3 the official account, 4 a room.
constexpr char kUsersAndChatsSql[] =
    "INSERT INTO ZUSER (Z_PK, Z_ENT, ZUSERTYPE, ZISFRIEND, ZMID, ZNAME, ZCUSTOMNAME) VALUES "
    "(1, 12, 0, 1, 'u5f3c0a1b2c3d4e5f60718293a4b5c6d7', '田中さくら', 'Sakura'),"
    "(2, 12, 0, 1, 'u9a8b7c6d5e4f30211203f4e5d6c7b8a9', 'Ken Sato', NULL),"
    "(3, 12, 2, 1, 'u7e6d5c4b3a29180f0e1d2c3b4a596877', 'LINE Weather', NULL),"
    "(4, 12, 0, 0, 'u0f1e2d3c4b5a69788796a5b4c3d2e1f0', 'Aiko Mori', NULL);"
    "INSERT INTO ZGROUP (Z_PK, Z_ENT, ZID, ZNAME) VALUES "
    "(1, 5, 'c1d2e3f405162738495a6b7c8d9e0f1a2', 'Book club 読書会');"
    "INSERT INTO ZCHAT (Z_PK, Z_ENT, ZTYPE, ZMID) VALUES "
    "(1, 1, 0, 'u5f3c0a1b2c3d4e5f60718293a4b5c6d7'),"
    "(2, 1, 2, 'c1d2e3f405162738495a6b7c8d9e0f1a2'),"
    "(3, 1, 0, 'u7e6d5c4b3a29180f0e1d2c3b4a596877'),"
    "(4, 1, 1, 'r0a1b2c3d4e5f60718293a4b5c6d7e8f9');";

std::string Metadata(const std::vector<std::pair<std::string, std::string>>& members) {
  return "CAST('" + IosLineMetadata(members) + "' AS BLOB)";
}

// Milliseconds since 1970. Version 1 also marks the direction in
// ZMESSAGETYPE.
std::string MessagesSql(int version) {
  const std::string direction = version == 1 ? "ZMESSAGETYPE, " : "";
  const auto row = [&](const std::string& values, const char* type) {
    return "(" + values + (version == 1 ? std::string(", '") + type + "'" : std::string()) + ")";
  };
  return "INSERT INTO ZMESSAGE (Z_PK, Z_ENT, ZCHAT, ZSENDER, ZTIMESTAMP, ZID, ZCONTENTTYPE, "
         "ZTEXT, ZLATITUDE, ZLONGITUDE, ZCONTENTMETADATA, " +
         direction + "ZREADCOUNT) VALUES " +
         row("1, 4, 1, 1, 1700000000000, '100001', 0, 'Lunch tomorrow?', 0.0, 0.0, NULL, 0", "R") +
         "," +
         row("2, 4, 1, NULL, 1700000060000, '100002', 0, 'Sure, noon', 0.0, 0.0, NULL, 1", "S") +
         "," + row("3, 4, 1, 1, 1700000120000, '100003', 1, NULL, 0.0, 0.0, NULL, 0", "R") + "," +
         row("4, 4, 1, NULL, 1700000180000, '100004', 7, NULL, 0.0, 0.0, " +
                 Metadata({{"STKID", "52002734"}, {"STKPKGID", "11537"}, {"STKVER", "1"}}) + ", 1",
             "S") +
         "," +
         row("5, 4, 1, 1, 1700000240000, '100005', 15, 'Shibuya Station', 35.658034, "
             "139.701636, NULL, 0",
             "R") +
         "," +
         row("6, 4, 2, 2, 1700001000000, '100006', 0, 'Chapter 3 by Friday', 0.0, 0.0, NULL, 0",
             "R") +
         "," +
         row("7, 4, 2, NULL, 1700001060000, '100007', 3, NULL, 0.0, 0.0, " +
                 Metadata({{"DURATION", "4500"}}) + ", 2",
             "S") +
         "," +
         row("8, 4, 2, 2, 1700001120000, '100008', 0, NULL, 0.0, 0.0, " +
                 Metadata(
                     {{"LOC_KEY", "C_MI"}, {"LOC_ARGS", "u9a8b7c6d5e4f30211203f4e5d6c7b8a9"}}) +
                 ", 0",
             "R") +
         "," +
         row("9, 4, 2, 1, 1700001180000, '100009', 14, NULL, 0.0, 0.0, " +
                 Metadata({{"FILE_NAME", "agenda.pdf"}, {"FILE_SIZE", "48213"}}) + ", 0",
             "R") +
         "," +
         row("10, 4, 3, 3, 1700002000000, '100010', 0, 'Rain expected this afternoon', 0.0, 0.0, "
             "NULL, 0",
             "R") +
         "," +
         row("11, 4, 9, 2, 1699990000000, '99990', 0, 'From a chat left since', 0.0, 0.0, NULL, 0",
             "R") +
         ";";
}

std::string MembersSql(int version) {
  const std::string table = version == 1 ? "Z_1MEMBERS" : "Z_2MEMBERS";
  return "INSERT INTO " + table + " VALUES (2, 1), (2, 2), (4, 1), (4, 2);";
}

}  // namespace

std::string IosLineStorePath(const std::string& account) {
  return "Library/Application Support/PrivateStore/P_" + account + "/Messages/Line.sqlite";
}

std::string IosLineSql(int schema_version) {
  return std::string(kCoreDataSql) + (schema_version == 1 ? kTablesV1 : kTablesV2);
}

std::string IosLineMetadata(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<plist version=\"1.0\">\n<dict>\n";
  for (const auto& [key, value] : members) {
    xml += "\t<key>" + XmlEscape(key) + "</key>\n\t<string>" + XmlEscape(value) + "</string>\n";
  }
  return xml + "</dict>\n</plist>\n";
}

bool WriteIosLine(const std::string& path, const IosSampleOptions& options,
                  std::vector<IosLineFile>* files) {
  const int version = options.schema_version == 1 ? 1 : kIosLineNewestSchema;
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosLineSql(version).c_str()) || !db.Exec(kUsersAndChatsSql) ||
      !db.Exec(MessagesSql(version).c_str()) || !db.Exec(MembersSql(version).c_str())) {
    return false;
  }
  const std::string folder = std::string("Library/Application Support/PrivateStore/P_") +
                             kIosLineAccount + "/Message Attachments/" +
                             "u5f3c0a1b2c3d4e5f60718293a4b5c6d7/";
  files->push_back({folder + "100003", SampleJpeg(41, 96, 72)});
  files->push_back({folder + "100003.thumb", SampleJpeg(41)});
  return db.Close();
}

}  // namespace kx::samples
