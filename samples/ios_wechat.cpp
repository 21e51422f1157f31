#include "samples/ios_wechat.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_pictures.h"

namespace kx::samples {

namespace {

// Conversation tables: the older form, and the newer one with the version
// and reserved columns.
constexpr char kChatColumnsV1[] =
    " (MesLocalID INTEGER PRIMARY KEY AUTOINCREMENT, MesSvrID INTEGER DEFAULT 0, "
    "CreateTime INTEGER DEFAULT 0, Message TEXT, Status INTEGER DEFAULT 0, "
    "ImgStatus INTEGER DEFAULT 0, Type INTEGER, Des INTEGER);";
constexpr char kChatColumnsV2[] =
    " (TableVer INTEGER DEFAULT 1, MesLocalID INTEGER PRIMARY KEY AUTOINCREMENT, "
    "MesSvrID INTEGER DEFAULT 0, CreateTime INTEGER DEFAULT 0, Message TEXT, "
    "Status INTEGER DEFAULT 0, ImgStatus INTEGER DEFAULT 0, Type INTEGER, Des INTEGER, "
    "IntRes1 INTEGER DEFAULT 0, IntRes2 INTEGER DEFAULT 0, StrRes1 TEXT, StrRes2 TEXT, "
    "ConIntRes1 INTEGER DEFAULT 0, ConIntRes2 INTEGER DEFAULT 0, ConStrRes1 TEXT, "
    "ConStrRes2 TEXT);";

constexpr char kContactsV1[] =
    "CREATE TABLE Friend (UsrName TEXT, NickName TEXT, Uin INTEGER, Email TEXT, Mobile TEXT, "
    "Sex INTEGER, FullPY TEXT, ShortPY TEXT, Img TEXT, Type INTEGER, LastChatTime INTEGER, "
    "Draft TEXT);"
    "CREATE TABLE Friend_Ext (UsrName TEXT, ConRemark TEXT, ConChatRoomMem TEXT, "
    "ConQQMBlog TEXT, ConSMBlog TEXT, ConCustomInfo TEXT, ConStrRes1 TEXT, ConStrRes2 TEXT, "
    "ConIntRes1 INTEGER, ConIntRes2 INTEGER);";
constexpr char kContactsV2[] =
    "CREATE TABLE Friend (userName TEXT, type INTEGER, certificationFlag INTEGER, "
    "imgStatus INTEGER, encodeUserName TEXT, dbContactLocal BLOB, dbContactOther BLOB, "
    "dbContactRemark BLOB, dbContactHeadImage BLOB, dbContactProfile BLOB, "
    "dbContactSocial BLOB, dbContactChatRoom BLOB, dbContactBrand BLOB);"
    "CREATE UNIQUE INDEX Friend_userName_Index ON Friend(userName);";
constexpr char kSessionsV1[] =
    "CREATE TABLE SessionAbstract (UsrName TEXT, CreateTime INTEGER, ConStrRes1 TEXT, "
    "ConStrRes2 TEXT, ConIntRes1 INTEGER, ConIntRes2 INTEGER);";
constexpr char kSessionsV2[] =
    "CREATE TABLE SessionAbstract (UsrName TEXT UNIQUE, CreateTime INTEGER, UnreadCount "
    "INTEGER, ConStrRes1 TEXT, ConStrRes2 TEXT, ConIntRes1 INTEGER, ConIntRes2 INTEGER, "
    "ConIntRes3 INTEGER);";

struct Person {
  const char* user_name;
  const char* nickname;
  const char* alias;
  const char* remark;
  const char* members;
};

constexpr Person kPeople[] = {
    {"wxid_friend01", "Tomás Ruiz", "tomas_r", "Tom (climbing)", ""},
    {"wxid_member02", "Ines Park", "ines_p", "", ""},
    {"20811234567@chatroom", "Climbing crew", "", "", "wxid_owner01;wxid_friend01;wxid_member02"},
    {"gh_3c8f1e2d9a7b", "City Library", "", "", ""},
};

constexpr const char* kLiveSessions[] = {"wxid_friend01", "20811234567@chatroom",
                                         "gh_3c8f1e2d9a7b"};

struct Row {
  int create_time;
  int type;
  int des;  // 0 sent by the owner, 1 received
  const char* message;
};

constexpr Row kFriendRows[] = {
    {1700000000, 1, 1, "Are you coming to the gym tonight?"},
    {1700000060, 1, 0, "Yes, at 7"},
    {1700000120, 3, 1, "<msg><img length=\"20480\" hdlength=\"0\" /></msg>"},
    {1700000180, 34, 0,
     "<msg><voicemsg endflag=\"1\" length=\"7040\" voicelength=\"4500\" /></msg>"},
    {1700000240, 49, 1,
     "<msg><appmsg appid=\"\" sdkver=\"0\"><title>Bouldering grades explained</title>"
     "<des>A guide</des><type>5</type><url>https://example.org/grades</url></appmsg></msg>"},
    {1700000300, 49, 0,
     "<msg><appmsg appid=\"\" sdkver=\"0\"><title>route-map.pdf</title><type>6</type>"
     "<appattach><totallen>1234</totallen><fileext>pdf</fileext></appattach></appmsg></msg>"},
    {1700000360, 48, 1,
     "<msg><location x=\"52.520008\" y=\"13.404954\" scale=\"16\" "
     "label=\"Alexanderplatz, 10178 Berlin\" poiname=\"Boulderhalle Mitte\" /></msg>"},
    {1700000420, 42, 1,
     "<msg username=\"wxid_member02\" nickname=\"Ines Park\" alias=\"ines_p\" />"},
    {1700000480, 47, 0,
     "<msg><emoji fromusername=\"wxid_owner01\" md5=\"0f1e2d3c\" "
     "cdnurl=\"http://emoji.example.org/e1\" len=\"1024\" /></msg>"},
    {1700000540, 50, 0,
     "<voipmsg type=\"VoIPBubbleMsg\"><VoIPBubbleMsg><msg><![CDATA[Duration 00:42]]></msg>"
     "<room_type>1</room_type></VoIPBubbleMsg></voipmsg>"},
    {1700000600, 10002, 1,
     "<sysmsg type=\"revokemsg\"><revokemsg><session>wxid_friend01</session><msgid>1</msgid>"
     "<newmsgid>123</newmsgid><replacemsg><![CDATA[\"Tom (climbing)\" recalled a message]]>"
     "</replacemsg></revokemsg></sysmsg>"},
};

constexpr Row kGroupRows[] = {
    {1700001000, 10000, 1, "You joined the group chat"},
    {1700001060, 1, 1, "wxid_member02:\nWho brings the rope?"},
    {1700001120, 1, 0, "I do"},
    {1700001180, 43, 1,
     "wxid_friend01:\n<msg><videomsg length=\"102400\" playlength=\"12\" /></msg>"},
};

constexpr Row kOfficialRows[] = {
    {1700002000, 49, 1,
     "<msg><appmsg appid=\"\" sdkver=\"0\"><title>Opening hours over the holidays</title>"
     "<type>5</type><url>https://library.example.org/hours</url></appmsg></msg>"},
};

constexpr Row kGoneRows[] = {
    {1699990000, 1, 1, "See you around"},
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += c;
  }
  return quoted + "'";
}

template <size_t N>
std::string ChatTable(int version, const std::string& hash, const Row (&rows)[N]) {
  const std::string table = "Chat_" + hash;
  std::string sql = IosWechatChatTableSql(version, table);
  for (const Row& row : rows) {
    sql += "INSERT INTO " + table + " (CreateTime, Message, Type, Des) VALUES (" +
           std::to_string(row.create_time) + ", " + Quoted(row.message) + ", " +
           std::to_string(row.type) + ", " + std::to_string(row.des) + ");";
  }
  return sql;
}

std::string MessageSql(int version) {
  return ChatTable(version, kIosWechatFriendHash, kFriendRows) +
         ChatTable(version, kIosWechatGroupHash, kGroupRows) +
         ChatTable(version, kIosWechatOfficialHash, kOfficialRows) +
         ChatTable(version, kIosWechatGoneHash, kGoneRows);
}

std::string ContactRows(int version) {
  std::string sql = IosWechatContactSql(version);
  for (const Person& person : kPeople) {
    if (version == 1) {
      sql += std::string("INSERT INTO Friend (UsrName, NickName, Type) VALUES (") +
             Quoted(person.user_name) + ", " + Quoted(person.nickname) + ", 3);" +
             "INSERT INTO Friend_Ext (UsrName, ConRemark, ConChatRoomMem) VALUES (" +
             Quoted(person.user_name) + ", " + Quoted(person.remark) + ", " +
             Quoted(person.members) + ");";
    } else {
      sql += std::string(
                 "INSERT INTO Friend (userName, type, dbContactRemark, "
                 "dbContactChatRoom) VALUES (") +
             Quoted(person.user_name) + ", 3, " +
             IosWechatProtoLiteral({person.nickname, person.alias, person.remark}) + ", " +
             IosWechatProtoLiteral({person.members}) + ");";
    }
  }
  return sql;
}

std::string SessionRows(int version) {
  std::string sql = IosWechatSessionSql(version);
  int time = 1700003000;
  for (const char* name : kLiveSessions) {
    sql += "INSERT INTO SessionAbstract (UsrName, CreateTime) VALUES (" + Quoted(name) + ", " +
           std::to_string(time++) + ");";
  }
  return sql;
}

bool WriteStore(const std::string& path, const std::string& sql) {
  SampleDatabase db(path);
  return db.is_open() && db.Exec(sql.c_str()) && db.Close();
}

bool WriteText(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

std::string Documents() { return std::string("Documents/") + kIosWechatUserHash + "/"; }

std::string Uid(int value) {
  return "<dict><key>CF$UID</key><integer>" + std::to_string(value) + "</integer></dict>";
}

}  // namespace

std::string IosWechatMessagePath() { return Documents() + "DB/MM.sqlite"; }
std::string IosWechatContactPath() { return Documents() + "DB/WCDB_Contact.sqlite"; }
std::string IosWechatSessionPath() { return Documents() + "session/session.db"; }
std::string IosWechatSettingsPath() { return Documents() + "mmsetting.archive"; }

std::string IosWechatChatTableSql(int version, const std::string& table) {
  return "CREATE TABLE " + table + (version == 1 ? kChatColumnsV1 : kChatColumnsV2);
}

std::string IosWechatContactSql(int version) { return version == 1 ? kContactsV1 : kContactsV2; }

std::string IosWechatSessionSql(int version) { return version == 1 ? kSessionsV1 : kSessionsV2; }

std::string IosWechatSettingsArchive(const std::string& user_name, const std::string& nickname) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<plist version=\"1.0\"><dict>"
         "<key>$archiver</key><string>NSKeyedArchiver</string>"
         "<key>$version</key><integer>100000</integer>"
         "<key>$top</key><dict><key>root</key>" +
         Uid(1) +
         "</dict><key>$objects</key><array><string>$null</string>"
         "<dict><key>$class</key>" +
         Uid(4) + "<key>UsrName</key>" + Uid(2) + "<key>NickName</key>" + Uid(3) +
         "</dict><string>" + user_name + "</string><string>" + nickname +
         "</string><dict><key>$classname</key><string>CSetting</string>"
         "<key>$classes</key><array><string>CSetting</string><string>NSObject</string></array>"
         "</dict></array></dict></plist>\n";
}

std::string IosWechatProtoLiteral(const std::vector<std::string>& fields) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string bytes;
  for (size_t at = 0; at < fields.size(); ++at) {
    if (fields[at].empty()) continue;
    bytes += static_cast<char>(((at + 1) << 3) | 2);
    for (size_t length = fields[at].size();; length >>= 7) {
      const bool more = length >= 0x80;
      bytes += static_cast<char>((length & 0x7f) | (more ? 0x80 : 0));
      if (!more) break;
    }
    bytes += fields[at];
  }
  std::string literal = "X'";
  for (const char c : bytes) {
    literal += kHex[static_cast<unsigned char>(c) >> 4];
    literal += kHex[static_cast<unsigned char>(c) & 15];
  }
  return literal + "'";
}

bool WriteIosWechat(const std::string& folder, const IosSampleOptions& options,
                    IosWechatStores* stores, std::vector<IosWechatFile>* files) {
  const int version = options.schema_version == 0 ? kIosWechatNewestSchema : options.schema_version;
  const auto path = [&folder](const char* name) {
    return (std::filesystem::u8path(folder) / name).u8string();
  };
  *stores = IosWechatStores();
  stores->messages = path("MM.sqlite");
  stores->settings = path("mmsetting.archive");
  std::string messages = MessageSql(version);
  if (version == 1) {
    messages += ContactRows(1) + SessionRows(1);
  } else {
    stores->contacts = path("WCDB_Contact.sqlite");
    stores->sessions = path("session.db");
    if (!WriteStore(stores->contacts, ContactRows(2)) ||
        !WriteStore(stores->sessions, SessionRows(2))) {
      return false;
    }
  }
  if (!WriteStore(stores->messages, messages) ||
      !WriteText(stores->settings, IosWechatSettingsArchive(kIosWechatUser, "Lena Brandt"))) {
    return false;
  }
  const std::string friend_folder = std::string(kIosWechatFriendHash) + "/";
  const std::string group_folder = std::string(kIosWechatGroupHash) + "/";
  *files = {
      {Documents() + "Img/" + friend_folder + "3.pic", SampleJpeg(61, 96, 72)},
      {Documents() + "Img/" + friend_folder + "3.pic_thum", SampleJpeg(61)},
      {Documents() + "Audio/" + friend_folder + "4.aud", "#!SILK_V3voice"},
      {Documents() + "OpenData/" + friend_folder + "6.pdf", "%PDF-1.4 route map"},
      {Documents() + "Video/" + group_folder + "4.mp4",
       "\x00\x00\x00\x18"
       "ftypmp42"},
      {Documents() + "Video/" + group_folder + "4.video_thum", SampleJpeg(62)},
  };
  return true;
}

}  // namespace kx::samples
