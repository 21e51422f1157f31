#include "samples/ios_whatsapp.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_pictures.h"

namespace kx::samples {

namespace {

// Core Data's tables: Z_PK, Z_ENT and Z_OPT first, then the attributes by
// kind (integers, relationships, dates, texts, blobs), as the store's own
// CREATE statements list them.
std::string ChatSessionTable(int version) {
  std::string sql =
      "CREATE TABLE ZWACHATSESSION ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
      "ZARCHIVED INTEGER, ZCONTACTABID INTEGER, ZFLAGS INTEGER, ZHIDDEN INTEGER, "
      "ZIDENTITYVERIFICATIONEPOCH INTEGER, ZIDENTITYVERIFICATIONSTATE INTEGER, ZMESSAGECOUNTER "
      "INTEGER, ZREMOVED INTEGER, ZSESSIONTYPE INTEGER, ZSPOTLIGHTSTATUS INTEGER, ZUNREADCOUNT "
      "INTEGER, ZGROUPINFO INTEGER, ZLASTMESSAGE INTEGER, ZPROPERTIES INTEGER, ZLASTMESSAGEDATE "
      "TIMESTAMP, ";
  if (version >= 2) sql += "ZLOCATIONSHARINGENDDATE TIMESTAMP, ZCONTACTIDENTIFIER VARCHAR, ";
  return sql +
         "ZCONTACTJID VARCHAR, ZETAG VARCHAR, ZLASTMESSAGETEXT VARCHAR, ZPARTNERNAME VARCHAR, "
         "ZSAVEDINPUT VARCHAR );"
         "CREATE INDEX ZWACHATSESSION_ZGROUPINFO_INDEX ON ZWACHATSESSION (ZGROUPINFO);"
         "CREATE INDEX ZWACHATSESSION_ZLASTMESSAGE_INDEX ON ZWACHATSESSION (ZLASTMESSAGE);";
}

std::string MessageTable(int version) {
  std::string sql =
      "CREATE TABLE ZWAMESSAGE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
      "ZCHILDMESSAGESDELIVEREDCOUNT INTEGER, ZCHILDMESSAGESPLAYEDCOUNT INTEGER, "
      "ZCHILDMESSAGESREADCOUNT INTEGER, ZDATAITEMVERSION INTEGER, ZDOCID INTEGER, "
      "ZENCRETRYCOUNT INTEGER, ZFILTEREDRECIPIENTCOUNT INTEGER, ZFLAGS INTEGER, ZGROUPEVENTTYPE "
      "INTEGER, ZISFROMME INTEGER, ZMESSAGEERRORSTATUS INTEGER, ZMESSAGESTATUS INTEGER, "
      "ZMESSAGETYPE INTEGER, ZSORT INTEGER, ZSPOTLIGHTSTATUS INTEGER, ZSTARRED INTEGER, "
      "ZCHATSESSION INTEGER, ZGROUPMEMBER INTEGER, ZLASTSESSION INTEGER, ZMEDIAITEM INTEGER, ";
  if (version >= 2) sql += "ZMESSAGEINFO INTEGER, ";
  sql +=
      "ZPARENTMESSAGE INTEGER, ZMESSAGEDATE TIMESTAMP, ZSENTDATE TIMESTAMP, ZFROMJID VARCHAR, "
      "ZMEDIASECTIONID VARCHAR, ZPHASH VARCHAR, ZPUSHNAME VARCHAR, ZSTANZAID VARCHAR, ZTEXT "
      "VARCHAR, ZTOJID VARCHAR );"
      "CREATE INDEX ZWAMESSAGE_ZCHATSESSION_INDEX ON ZWAMESSAGE (ZCHATSESSION);"
      "CREATE INDEX ZWAMESSAGE_ZGROUPMEMBER_INDEX ON ZWAMESSAGE (ZGROUPMEMBER);"
      "CREATE INDEX ZWAMESSAGE_ZMEDIAITEM_INDEX ON ZWAMESSAGE (ZMEDIAITEM);"
      "CREATE INDEX ZWAMESSAGE_ZPARENTMESSAGE_INDEX ON ZWAMESSAGE (ZPARENTMESSAGE);";
  if (version >= 3) sql += "CREATE INDEX Z_WAMessage_sort ON ZWAMESSAGE (ZCHATSESSION, ZSORT);";
  return sql;
}

std::string MediaItemTable(int version) {
  return std::string(
             "CREATE TABLE ZWAMEDIAITEM ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
             "ZCLOUDSTATUS INTEGER, ZFILESIZE INTEGER, ZMEDIAORIGIN INTEGER, ZMOVIEDURATION "
             "INTEGER, ZMESSAGE INTEGER, ZASPECTRATIO FLOAT, ZHACCURACY FLOAT, ZLATITUDE FLOAT, "
             "ZLONGITUDE FLOAT, ZMEDIAURLDATE TIMESTAMP, ZAUTHORNAME VARCHAR, ZCOLLECTIONNAME "
             "VARCHAR, ZMEDIALOCALPATH VARCHAR, ZMEDIAURL VARCHAR, ZTHUMBNAILLOCALPATH VARCHAR, "
             "ZTITLE VARCHAR, ZVCARDNAME VARCHAR, ZVCARDSTRING VARCHAR, ZXMPPTHUMBPATH VARCHAR, "
             "ZMEDIAKEY BLOB") +
         (version >= 2 ? ", ZMETADATA BLOB" : "") +
         " );CREATE INDEX ZWAMEDIAITEM_ZMESSAGE_INDEX ON ZWAMEDIAITEM (ZMESSAGE);";
}

std::string GroupMemberTable(int version) {
  if (version >= 3) {
    return "CREATE TABLE ZWAGROUPMEMBER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT "
           "INTEGER, ZISACTIVE INTEGER, ZISADMIN INTEGER, ZCHATSESSION INTEGER, ZRECENTGROUPCHAT "
           "INTEGER, ZCONTACTIDENTIFIER VARCHAR, ZCONTACTNAME VARCHAR, ZFIRSTNAME VARCHAR, "
           "ZMEMBERJID VARCHAR, ZMEMBERLID VARCHAR );"
           "CREATE INDEX ZWAGROUPMEMBER_ZCHATSESSION_INDEX ON ZWAGROUPMEMBER (ZCHATSESSION);";
  }
  return std::string(
             "CREATE TABLE ZWAGROUPMEMBER ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT "
             "INTEGER, ZCONTACTABID INTEGER, ZISACTIVE INTEGER, ZISADMIN INTEGER, ZSENDERKEYSENT "
             "INTEGER, ZCHATSESSION INTEGER, ZRECENTGROUPCHAT INTEGER, ") +
         "ZCONTACTIDENTIFIER VARCHAR, ZCONTACTNAME VARCHAR, ZFIRSTNAME VARCHAR, ZMEMBERJID "
         "VARCHAR );"
         "CREATE INDEX ZWAGROUPMEMBER_ZCHATSESSION_INDEX ON ZWAGROUPMEMBER (ZCHATSESSION);";
}

constexpr char kSatelliteTables[] =
    "CREATE TABLE ZWAGROUPINFO ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZSTATE "
    "INTEGER, ZCHATSESSION INTEGER, ZLASTMESSAGEOWNER INTEGER, ZCREATIONDATE TIMESTAMP, "
    "ZSUBJECTTIMESTAMP TIMESTAMP, ZCREATORJID VARCHAR, ZOWNERJID VARCHAR, ZPICTUREID VARCHAR, "
    "ZPICTUREPATH VARCHAR, ZSOURCEJID VARCHAR, ZSUBJECTOWNERJID VARCHAR );"
    "CREATE INDEX ZWAGROUPINFO_ZCHATSESSION_INDEX ON ZWAGROUPINFO (ZCHATSESSION);"
    "CREATE TABLE ZWAPROFILEPICTUREITEM ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT "
    "INTEGER, ZREQUESTDATE TIMESTAMP, ZJID VARCHAR, ZPATH VARCHAR, ZPICTUREID VARCHAR );"
    "CREATE TABLE ZWAPROFILEPUSHNAME ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZJID VARCHAR, ZPUSHNAME VARCHAR );"
    "CREATE TABLE ZWAMESSAGEDATAITEM ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZINDEX INTEGER, ZMESSAGE INTEGER, ZDATE TIMESTAMP, ZCONTENT1 VARCHAR, ZCONTENT2 VARCHAR, "
    "ZMATCHEDTEXT VARCHAR, ZSENDERJID VARCHAR, ZSUMMARY VARCHAR, ZTITLE VARCHAR );"
    "CREATE INDEX ZWAMESSAGEDATAITEM_ZMESSAGE_INDEX ON ZWAMESSAGEDATAITEM (ZMESSAGE);"
    "CREATE TABLE ZWAVCARDMENTION ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZISFROMME INTEGER, ZTRUSTEDWHENINDEXED INTEGER, ZMEDIAITEM INTEGER, ZDATE TIMESTAMP, "
    "ZSENDERJID VARCHAR, ZWHATSAPPID VARCHAR );"
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
    "Z_MAX INTEGER);"
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);";

constexpr char kMessageInfoTable[] =
    "CREATE TABLE ZWAMESSAGEINFO ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZMESSAGE INTEGER, ZRECEIPTINFO BLOB );"
    "CREATE INDEX ZWAMESSAGEINFO_ZMESSAGE_INDEX ON ZWAMESSAGEINFO (ZMESSAGE);";

constexpr char kTrimmedTables[] =
    "CREATE TABLE ZWACHATSESSION ( Z_PK INTEGER PRIMARY KEY, ZSESSIONTYPE INTEGER, "
    "ZLASTMESSAGEDATE TIMESTAMP, ZCONTACTJID VARCHAR, ZPARTNERNAME VARCHAR );"
    "CREATE TABLE ZWAMESSAGE ( Z_PK INTEGER PRIMARY KEY, ZCHATSESSION INTEGER, ZFROMJID VARCHAR, "
    "ZTOJID VARCHAR, ZTEXT VARCHAR, ZMESSAGEDATE TIMESTAMP, ZMESSAGETYPE INTEGER, ZISFROMME "
    "INTEGER );";

constexpr char kContactsTable[] =
    "CREATE TABLE ZWAADDRESSBOOKCONTACT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZABUSERID INTEGER, ZBUSINESSNAME VARCHAR, ZFULLNAME VARCHAR, ZGIVENNAME VARCHAR, ZIDENTIFIER "
    "VARCHAR, ZLASTNAME VARCHAR, ZPHONENUMBER VARCHAR, ZPHONENUMBERLABEL VARCHAR, ZWHATSAPPID "
    "VARCHAR );"
    "CREATE INDEX ZWAADDRESSBOOKCONTACT_ZIDENTIFIER_INDEX ON ZWAADDRESSBOOKCONTACT (ZIDENTIFIER);";

// A value of a sample row: SQL text of a literal.
std::string Q(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}
std::string N(int64_t value) { return std::to_string(value); }
constexpr char kNull[] = "NULL";

using Row = std::vector<std::pair<const char*, std::string>>;

// Inserts the columns of `row` that the table has: the same sample data
// fills every version.
class RowWriter {
 public:
  explicit RowWriter(SampleDatabase* db) : db_(db) {}

  bool Insert(const char* table, const Row& row) {
    const std::vector<std::string>& columns = Columns(table);
    if (columns.empty()) return true;
    std::string names;
    std::string values;
    for (const auto& cell : row) {
      bool present = false;
      for (const std::string& column : columns) present = present || column == cell.first;
      if (!present) continue;
      names += (names.empty() ? "" : ",") + std::string(cell.first);
      values += (values.empty() ? "" : ",") + cell.second;
    }
    const std::string sql =
        std::string("INSERT INTO ") + table + " (" + names + ") VALUES (" + values + ")";
    return db_->Exec(sql.c_str());
  }

 private:
  const std::vector<std::string>& Columns(const char* table) {
    std::vector<std::string>& columns = columns_[table];
    if (!columns.empty()) return columns;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_->handle(), "select name from pragma_table_info(?)", -1, &raw,
                           nullptr) != SQLITE_OK) {
      return columns;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> query(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, table, -1, SQLITE_STATIC);
    while (sqlite3_step(raw) == SQLITE_ROW) {
      columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    }
    return columns;
  }

  SampleDatabase* db_;
  std::map<std::string, std::vector<std::string>> columns_;
};

constexpr char kAnna[] = "4915123456789@s.whatsapp.net";
constexpr char kJose[] = "34612345678@s.whatsapp.net";
constexpr char kLeft[] = "4917000000001@s.whatsapp.net";
constexpr char kGroup[] = "4915712345678-1600000000@g.us";
constexpr char kBroadcast[] = "1600000001@broadcast";
constexpr char kAnnaPicture[] = "Media/Profile/4915123456789-1617000000";
constexpr char kGroupPicture[] = "Media/Profile/4915712345678-1600000000-1617000100";

// Paths below the "Message" folder of the domain.
std::string MediaPath(const std::string& jid, const std::string& name) {
  return "Media/" + jid + "/a/1/" + name;
}

struct SampleMessage {
  int64_t pk;
  int64_t chat;
  int64_t type;
  int64_t from_me;
  int64_t status;
  double date;
  const char* text;
  const char* from_jid;
  int64_t group_member;  // 0: none
  int64_t group_event;
  int64_t parent;  // 0: none
  int64_t media;   // 0: none
};

struct SampleMedia {
  int64_t pk;
  const char* local_path;  // below "Message/", may be null
  const char* thumb_path;  // below "Message/", may be null
  int64_t file_size;
  int64_t duration;
  const char* title;
  const char* vcard;
};

std::vector<SampleMedia> Media() {
  static const std::string image = MediaPath(kAnna, "IMG-1.jpg");
  static const std::string image_thumb = image + ".thumb";
  static const std::string voice = MediaPath(kAnna, "PTT-1.opus");
  static const std::string video = MediaPath(kAnna, "VID-1.mp4");
  static const std::string document = MediaPath(kAnna, "Vertrag.pdf");
  static const std::string gif = MediaPath(kAnna, "GIF-1.mp4");
  static const std::string sticker = MediaPath(kAnna, "STK-1.webp");
  static const std::string group_image = MediaPath(kGroup, "IMG-3.jpg");
  static const std::string status_image = MediaPath("status", "IMG-4.jpg");
  return {
      {1, image.c_str(), image_thumb.c_str(), 48213, 0, "Blick 🌄", nullptr},
      {2, voice.c_str(), nullptr, 9120, 7, nullptr, nullptr},
      {3, video.c_str(), nullptr, 1048576, 12, nullptr, nullptr},
      {4, nullptr, nullptr, 0, 0, nullptr, "BEGIN:VCARD\nVERSION:3.0\nFN:José Álvarez\nEND:VCARD"},
      {5, nullptr, nullptr, 0, 0, "Brandenburger Tor", nullptr},
      {6, document.c_str(), nullptr, 20480, 0, "Vertrag.pdf", nullptr},
      {7, gif.c_str(), nullptr, 30000, 3, nullptr, nullptr},
      {8, sticker.c_str(), nullptr, 12000, 0, nullptr, nullptr},
      {9, group_image.c_str(), nullptr, 51000, 0, nullptr, nullptr},
      {10, status_image.c_str(), nullptr, 40000, 0, nullptr, nullptr},
  };
}

// Dates in seconds since 2001 (Core Data).
constexpr double kStart = 700000000.0;

std::vector<SampleMessage> Messages() {
  return {
      {1, 1, 0, 0, 0, kStart + 1, "Hallo 😊 https://example.org/x", kAnna, 0, 0, 0, 0},
      {2, 1, 1, 1, 8, kStart + 2, nullptr, kAnna, 0, 0, 0, 1},
      {3, 1, 0, 1, 8, kStart + 3, "Ja!", kAnna, 0, 0, 1, 0},
      {4, 1, 3, 0, 0, kStart + 4, nullptr, kAnna, 0, 0, 0, 2},
      {5, 1, 2, 0, 0, kStart + 5, nullptr, kAnna, 0, 0, 0, 3},
      {6, 1, 4, 0, 0, kStart + 6, nullptr, kAnna, 0, 0, 0, 4},
      {7, 1, 5, 1, 8, kStart + 7, nullptr, kAnna, 0, 0, 0, 5},
      {8, 1, 8, 0, 0, kStart + 8, nullptr, kAnna, 0, 0, 0, 6},
      {9, 1, 11, 0, 0, kStart + 9, nullptr, kAnna, 0, 0, 0, 7},
      {10, 1, 15, 0, 0, kStart + 10, nullptr, kAnna, 0, 0, 0, 8},
      {11, 1, 7, 1, 8, kStart + 11, "Schau: https://kx.example/a", kAnna, 0, 0, 0, 0},
      {12, 1, 0, 0, 0, kStart + 12, "مرحبا 你好 नमस्ते Привет", kAnna, 0, 0, 0, 0},
      {13, 2, 6, 1, 0, kStart + 20, nullptr, kGroup, 0, 11, 0, 0},
      {14, 2, 0, 0, 0, kStart + 21, "Morgen 8 Uhr? 🥾", kGroup, 1, 0, 0, 0},
      {15, 2, 1, 1, 0, kStart + 22, nullptr, kGroup, 0, 0, 0, 9},
      {16, 2, 6, 0, 0, kStart + 23, nullptr, kGroup, 2, 2, 0, 0},
      {17, 2, 0, 0, 0, kStart + 24, "¡Vale! Nos vemos.", kGroup, 2, 0, 0, 0},
      {18, 3, 0, 1, 8, kStart + 30, "Frohe Ostern an alle 🐣", kBroadcast, 0, 0, 0, 0},
      {19, 4, 1, 0, 0, kStart + 40, nullptr, kAnna, 0, 0, 0, 10},
  };
}

bool WriteChats(RowWriter* rows) {
  struct Chat {
    int64_t pk;
    int64_t type;
    const char* jid;
    const char* name;
    const char* identifier;
    double last;
  };
  const Chat chats[] = {
      {1, 0, kAnna, "Anna Schmidt", "A1B2C3D4-ANNA:ABPerson", kStart + 12},
      {2, 1, kGroup, "Wandergruppe 🏔", nullptr, kStart + 24},
      {3, 2, kBroadcast, "Ostergrüße", nullptr, kStart + 30},
      {4, 3, "0@status", nullptr, nullptr, kStart + 40},
      {5, 4, "120363000000000001@newsletter", "Kanal", nullptr, kStart + 50},
      {6, 0, nullptr, "Ohne Jid", nullptr, kStart + 5},
  };
  for (const Chat& chat : chats) {
    const Row row = {
        {"Z_PK", N(chat.pk)},
        {"Z_ENT", "4"},
        {"Z_OPT", "3"},
        {"ZHIDDEN", "0"},
        {"ZREMOVED", "0"},
        {"ZSESSIONTYPE", N(chat.type)},
        {"ZUNREADCOUNT", chat.pk == 2 ? "2" : "0"},
        {"ZGROUPINFO", chat.pk == 2 ? "1" : kNull},
        {"ZLASTMESSAGEDATE", std::to_string(chat.last)},
        {"ZCONTACTJID", chat.jid != nullptr ? Q(chat.jid) : kNull},
        {"ZPARTNERNAME", chat.name != nullptr ? Q(chat.name) : kNull},
        {"ZCONTACTIDENTIFIER", chat.identifier != nullptr ? Q(chat.identifier) : kNull}};
    if (!rows->Insert("ZWACHATSESSION", row)) return false;
  }
  return rows->Insert("ZWAGROUPINFO", {{"Z_PK", "1"},
                                       {"Z_ENT", "6"},
                                       {"Z_OPT", "2"},
                                       {"ZSTATE", "0"},
                                       {"ZCHATSESSION", "2"},
                                       {"ZCREATIONDATE", std::to_string(kStart)},
                                       {"ZCREATORJID", Q(kIosWhatsAppOwnerJid)},
                                       {"ZOWNERJID", Q(kIosWhatsAppOwnerJid)},
                                       {"ZPICTUREID", Q("1617000100")},
                                       {"ZPICTUREPATH", Q(kGroupPicture)},
                                       {"ZSUBJECTOWNERJID", Q(kAnna)}});
}

bool WriteMembers(RowWriter* rows) {
  struct Member {
    int64_t pk;
    const char* jid;
    const char* identifier;
    int64_t active;
    int64_t admin;
  };
  const Member members[] = {
      {1, kAnna, nullptr, 1, 1},
      {2, kJose, "C3D4E5F6-JOSE:ABPerson", 1, 0},
      {3, kLeft, nullptr, 0, 0},
  };
  for (const Member& member : members) {
    if (!rows->Insert(
            "ZWAGROUPMEMBER",
            {{"Z_PK", N(member.pk)},
             {"Z_ENT", "7"},
             {"Z_OPT", "1"},
             {"ZISACTIVE", N(member.active)},
             {"ZISADMIN", N(member.admin)},
             {"ZCHATSESSION", "2"},
             {"ZCONTACTIDENTIFIER", member.identifier != nullptr ? Q(member.identifier) : kNull},
             {"ZMEMBERJID", Q(member.jid)}})) {
      return false;
    }
  }
  return rows->Insert("ZWAPROFILEPUSHNAME", {{"Z_PK", "1"},
                                             {"Z_ENT", "9"},
                                             {"Z_OPT", "1"},
                                             {"ZJID", Q(kAnna)},
                                             {"ZPUSHNAME", Q("Anna 🌻")}}) &&
         rows->Insert("ZWAPROFILEPICTUREITEM", {{"Z_PK", "1"},
                                                {"Z_ENT", "8"},
                                                {"Z_OPT", "1"},
                                                {"ZREQUESTDATE", std::to_string(kStart)},
                                                {"ZJID", Q(kAnna)},
                                                {"ZPATH", Q(kAnnaPicture)},
                                                {"ZPICTUREID", Q("1617000000")}});
}

bool WriteMessages(RowWriter* rows, const IosSampleOptions& options) {
  for (const SampleMedia& media : Media()) {
    const Row row = {{"Z_PK", N(media.pk)},
                     {"Z_ENT", "5"},
                     {"Z_OPT", "1"},
                     {"ZFILESIZE", N(media.file_size)},
                     {"ZMOVIEDURATION", N(media.duration)},
                     {"ZMEDIALOCALPATH", media.local_path != nullptr ? Q(media.local_path) : kNull},
                     {"ZXMPPTHUMBPATH", media.thumb_path != nullptr ? Q(media.thumb_path) : kNull},
                     {"ZTITLE", media.title != nullptr ? Q(media.title) : kNull},
                     {"ZVCARDSTRING", media.vcard != nullptr ? Q(media.vcard) : kNull},
                     {"ZLATITUDE", media.pk == 5 ? "52.5163" : kNull},
                     {"ZLONGITUDE", media.pk == 5 ? "13.3777" : kNull}};
    if (!rows->Insert("ZWAMEDIAITEM", row)) return false;
  }
  std::vector<SampleMessage> messages = Messages();
  for (int extra = 1; extra < options.scale * 40 && options.scale > 1; ++extra) {
    messages.push_back({100 + extra, 1, 0, extra % 2, extra % 2 ? 8 : 0, kStart + 100 + extra,
                        "Nachricht", kAnna, 0, 0, 0, 0});
  }
  for (const SampleMessage& m : messages) {
    const std::string key = "3A" + std::to_string(1000 + m.pk) + "F0C1";
    const Row row = {
        {"Z_PK", N(m.pk)},
        {"Z_ENT", "10"},
        {"Z_OPT", "2"},
        {"ZGROUPEVENTTYPE", N(m.group_event)},
        {"ZISFROMME", N(m.from_me)},
        {"ZMESSAGESTATUS", N(m.status)},
        {"ZMESSAGETYPE", N(m.type)},
        {"ZSORT", N(m.pk)},
        {"ZSTARRED", "0"},
        {"ZCHATSESSION", N(m.chat)},
        {"ZGROUPMEMBER", m.group_member != 0 ? N(m.group_member) : kNull},
        {"ZMEDIAITEM", m.media != 0 ? N(m.media) : kNull},
        {"ZPARENTMESSAGE", m.parent != 0 ? N(m.parent) : kNull},
        {"ZMESSAGEDATE", std::to_string(m.date)},
        {"ZSENTDATE", std::to_string(m.date)},
        {"ZFROMJID", m.from_me != 0 ? kNull : Q(m.from_jid)},
        {"ZTOJID", m.from_me != 0 ? Q(m.from_jid) : kNull},
        {"ZSTANZAID", Q(key)},
        {"ZTEXT", m.text != nullptr ? Q(m.text) : kNull},
    };
    if (!rows->Insert("ZWAMESSAGE", row)) return false;
  }
  // Link previews: the text matched in the message, first item ZINDEX 0.
  return rows->Insert("ZWAMESSAGEDATAITEM", {{"Z_PK", "1"},
                                             {"Z_ENT", "11"},
                                             {"Z_OPT", "1"},
                                             {"ZINDEX", "0"},
                                             {"ZMESSAGE", "1"},
                                             {"ZMATCHEDTEXT", Q("https://example.org/x")},
                                             {"ZSUMMARY", Q("Example")}}) &&
         rows->Insert("ZWAMESSAGEDATAITEM", {{"Z_PK", "2"},
                                             {"Z_ENT", "11"},
                                             {"Z_OPT", "1"},
                                             {"ZINDEX", "0"},
                                             {"ZMESSAGE", "11"},
                                             {"ZMATCHEDTEXT", Q("https://kx.example/a")},
                                             {"ZTITLE", Q("KX")}});
}

// A few bytes of a JPEG start, so that the files read as pictures.
// A small real picture, its colours drawn from `tag`.
std::string PictureBytes(const std::string& tag) {
  uint64_t seed = 0;
  for (const unsigned char c : tag) seed = seed * 131 + c;
  return SampleJpeg(seed);
}

}  // namespace

const char* IosWhatsAppOwnerPlistPath(bool business) {
  return business ? "Library/Preferences/group.net.whatsapp.WhatsAppSMB.shared.plist"
                  : "Library/Preferences/group.net.whatsapp.WhatsApp.shared.plist";
}

std::string IosWhatsAppChatSql(int schema_version) {
  const int version =
      schema_version < kIosWhatsAppOldestSchema || schema_version > kIosWhatsAppTrimmedSchema
          ? kIosWhatsAppNewestSchema
          : schema_version;
  if (version == kIosWhatsAppTrimmedSchema) return kTrimmedTables;
  std::string sql = ChatSessionTable(version) + MessageTable(version) + MediaItemTable(version) +
                    GroupMemberTable(version) + kSatelliteTables;
  if (version >= 2) sql += kMessageInfoTable;
  return sql;
}

std::string IosWhatsAppContactsSql() { return kContactsTable; }

std::string IosWhatsAppOwnerPlist(const std::string& jid) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n\t<key>LastOwnJabberID</key>\n\t<string>" +
         jid + "</string>\n\t<key>OwnPushName</key>\n\t<string>Max</string>\n</dict>\n</plist>\n";
}

bool WriteIosWhatsApp(const std::string& path, const IosSampleOptions& options,
                      std::vector<IosWhatsAppFile>* files) {
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosWhatsAppChatSql(options.schema_version).c_str()) ||
      !db.Exec("BEGIN")) {
    return false;
  }
  RowWriter rows(&db);
  if (!WriteChats(&rows) || !WriteMembers(&rows) || !WriteMessages(&rows, options) ||
      !db.Exec("COMMIT")) {
    return false;
  }
  for (const SampleMedia& media : Media()) {
    if (media.local_path != nullptr) {
      files->push_back(
          {std::string("Message/") + media.local_path, PictureBytes(media.local_path)});
    }
    if (media.thumb_path != nullptr) {
      files->push_back({std::string("Message/") + media.thumb_path, PictureBytes("thumb")});
    }
  }
  for (const char* picture : {kAnnaPicture, kGroupPicture}) {
    files->push_back({std::string(picture) + ".jpg", PictureBytes(picture)});
    files->push_back({std::string(picture) + ".thumb", PictureBytes("thumb")});
  }
  return db.Close();
}

bool WriteIosWhatsAppContacts(const std::string& path) {
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(kContactsTable)) return false;
  RowWriter rows(&db);
  return rows.Insert("ZWAADDRESSBOOKCONTACT", {{"Z_PK", "1"},
                                               {"Z_ENT", "1"},
                                               {"Z_OPT", "1"},
                                               {"ZFULLNAME", Q("José Álvarez")},
                                               {"ZGIVENNAME", Q("José")},
                                               {"ZIDENTIFIER", Q("C3D4E5F6-JOSE:ABPerson")},
                                               {"ZPHONENUMBER", Q("+34 612 34 56 78")},
                                               {"ZWHATSAPPID", Q(kJose)}}) &&
         rows.Insert("ZWAADDRESSBOOKCONTACT", {{"Z_PK", "2"},
                                               {"Z_ENT", "1"},
                                               {"Z_OPT", "1"},
                                               {"ZFULLNAME", Q("Anna Schmidt")},
                                               {"ZIDENTIFIER", Q("A1B2C3D4-ANNA:ABPerson")},
                                               {"ZWHATSAPPID", Q(kAnna)}}) &&
         db.Close();
}

namespace {

// The rows of the bulk store; the statements are finalized before the
// database is closed.
bool InsertBulkRows(SampleDatabase& db, int chats, int64_t messages_per_chat) {
  SampleStatement chat(db.handle(),
                       "INSERT INTO ZWACHATSESSION (Z_PK, Z_ENT, Z_OPT, ZSESSIONTYPE, ZCONTACTJID, "
                       "ZPARTNERNAME, ZLASTMESSAGEDATE) VALUES (?, 4, 1, 0, ?, ?, ?)");
  SampleStatement message(
      db.handle(),
      "INSERT INTO ZWAMESSAGE (Z_PK, Z_ENT, Z_OPT, ZISFROMME, ZMESSAGESTATUS, ZMESSAGETYPE, "
      "ZGROUPEVENTTYPE, ZCHATSESSION, ZMEDIAITEM, ZMESSAGEDATE, ZFROMJID, ZSTANZAID, ZTEXT) "
      "VALUES (?, 10, 1, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?)");
  SampleStatement media(db.handle(),
                        "INSERT INTO ZWAMEDIAITEM (Z_PK, Z_ENT, Z_OPT, ZFILESIZE, ZMOVIEDURATION, "
                        "ZMEDIALOCALPATH, ZTITLE) VALUES (?, 5, 1, ?, 0, ?, NULL)");
  if (!chat.prepared() || !message.prepared() || !media.prepared()) return false;
  int64_t pk = 0;
  int64_t media_pk = 0;
  for (int c = 1; c <= chats; ++c) {
    const std::string jid = std::to_string(4915100000000LL + c) + "@s.whatsapp.net";
    chat.BindInt64(1, c);
    chat.BindText(2, jid);
    chat.BindText(3, "Kontakt " + std::to_string(c));
    chat.BindDouble(4, kStart + static_cast<double>(c));
    if (chat.Step() != SQLITE_DONE) return false;
    chat.Reset();
    for (int64_t i = 0; i < messages_per_chat; ++i) {
      ++pk;
      const bool picture = i % 20 == 19;
      const bool from_me = i % 3 == 0;
      if (picture) {
        ++media_pk;
        media.BindInt64(1, media_pk);
        media.BindInt64(2, 40000 + i % 1000);
        media.BindText(3, MediaPath(jid, "IMG-" + std::to_string(pk) + ".jpg"));
        if (media.Step() != SQLITE_DONE) return false;
        media.Reset();
      }
      message.BindInt64(1, pk);
      message.BindInt64(2, from_me ? 1 : 0);
      message.BindInt64(3, from_me ? 8 : 0);
      message.BindInt64(4, picture ? 1 : 0);
      message.BindInt64(5, c);
      if (picture) {
        message.BindInt64(6, media_pk);
      } else {
        message.BindNull(6);
      }
      message.BindDouble(7, kStart + static_cast<double>(i));
      message.BindText(8, jid);
      message.BindText(9, "3A" + std::to_string(pk));
      if (picture) {
        message.BindNull(10);
      } else if (i % 10 == 3) {
        message.BindText(10, "Siehe https://example.org/" + std::to_string(i) + " 👍");
      } else {
        message.BindText(10, "Nachricht Nummer " + std::to_string(i) + " – привет");
      }
      if (message.Step() != SQLITE_DONE) return false;
      message.Reset();
    }
  }
  return true;
}

}  // namespace

bool WriteIosWhatsAppBulk(const std::string& path, int chats, int64_t messages_per_chat) {
  SampleDatabase db(path);
  return db.is_open() && db.Exec(IosWhatsAppChatSql(kIosWhatsAppNewestSchema).c_str()) &&
         db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN") &&
         InsertBulkRows(db, chats, messages_per_chat) && db.Exec("COMMIT") && db.Close();
}

const char* IosWhatsAppMessageQuery() {
  return "select ZWAMESSAGE.Z_PK as row_id, ZWAMESSAGE.ZISFROMME as is_from_me, "
         "strftime('%m - %d - %Y %H:%M : %S', cast(ZWAMESSAGE.ZMESSAGEDATE + 978307200 as "
         "integer), 'unixepoch', 'localtime') as send_date, ZWAMESSAGE.ZMESSAGETYPE as type, "
         "ZWAMESSAGE.ZMESSAGESTATUS as send_status, ZWAMESSAGE.ZTEXT as content, "
         "ZWAMESSAGE.ZSTANZAID as key_id, ZWAMESSAGE.ZFROMJID as sender_id, "
         "ZWAMEDIAITEM.ZMEDIALOCALPATH as media_relative_path, ZWAMEDIAITEM.ZFILESIZE as size, "
         "ZWAMEDIAITEM.ZMOVIEDURATION as media_duration, ZWAMEDIAITEM.ZTITLE as media_caption "
         "from ZWAMESSAGE LEFT JOIN ZWAMEDIAITEM ON ZWAMEDIAITEM.Z_PK = ZWAMESSAGE.ZMEDIAITEM "
         "LEFT JOIN ZWAMESSAGEDATAITEM AS data_item ON (data_item.ZMESSAGE = ZWAMESSAGE.Z_PK and "
         "data_item.ZINDEX=0) order by ZWAMESSAGE.ZCHATSESSION, ZWAMESSAGE.ZMESSAGEDATE, "
         "ZWAMESSAGE.Z_PK";
}

}  // namespace kx::samples
