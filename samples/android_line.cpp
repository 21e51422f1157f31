#include "samples/android_line.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "samples/sample_random.h"

// Only the SQLite C interface: the samples stand apart from the library.
namespace kx::samples {

namespace {

// The rows the generator writes (the tables are in android_line_schema.cpp).
constexpr char kInsertMessage[] =
    "INSERT INTO chat_history (id, server_id, type, chat_id, from_mid, content, created_time, "
    "delivered_time, status, sent_count, read_count, location_name, location_address, "
    "location_phone, location_latitude, location_longitude, attachement_image, "
    "attachement_image_height, attachement_image_width, attachement_image_size, "
    "attachement_type, attachement_local_uri, parameter) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

constexpr char kInsertChat[] =
    "INSERT INTO chat (chat_id, chat_name, owner_mid, last_from_mid, last_message, "
    "last_created_time, message_count, read_message_count, latest_mentioned_position, type, "
    "is_notification, hide_member, p_timer, last_message_display_time, is_archived, read_up, "
    "is_groupcalling) VALUES (?,?,?,?,?,?,?,?,0,?,?,0,0,?,?,?,0)";

constexpr char kInsertContact[] =
    "INSERT INTO contacts (m_id, contact_id, name, server_name, addressbook_name, status_msg, "
    "is_unread_status_msg, picture_status, relation, status, is_first, capable_flags, "
    "contact_kind, contact_type, buddy_category, is_on_air, hidden, favorite, updated_time, "
    "created_time) VALUES (?,?,?,?,?,?,0,?,1,0,0,0,0,0,0,0,0,?,?,?)";

constexpr char kInsertGroupV1[] =
    "INSERT INTO groups (id, name, picture_status, creator, status, is_first, display_type, "
    "accepted_invitation_time, updated_time, created_time, prevented_joinby_ticket) "
    "VALUES (?,?,?,?,0,0,0,?,?,?,1)";
constexpr char kInsertGroupV2[] =
    "INSERT INTO groups (id, name, picture_status, creator, status, is_first, display_type, "
    "accepted_invitation_time, updated_time, created_time, prevented_joinby_ticket, "
    "invitation_enabled, can_add_member_as_friend, can_invite_by_ticket) "
    "VALUES (?,?,?,?,0,0,0,?,?,?,1,1,1,0)";

constexpr char kInsertMember[] =
    "INSERT INTO membership (id, m_id, is_accepted, updated_time, created_time) "
    "VALUES (?,?,?,?,?)";

// 2023-01-10 00:00:00 UTC; messages spread over the following 400 days.
constexpr int64_t kFirstMessageMs = 1673308800000;
constexpr int64_t kTimelineMs = 400LL * 24 * 3600 * 1000;
constexpr int64_t kFirstServerId = 16402537118325LL;

constexpr int kDefaultChatCount = 12;
// The newer copy lost the messages whose stream index leaves this remainder.
constexpr int kDeletedEvery = 17;
constexpr int kDeletedRemainder = 11;

// LINE's chat.type values.
constexpr int kChatTypeOneToOne = 1;
constexpr int kChatTypeRoom = 2;
constexpr int kChatTypeGroup = 3;

constexpr const char* kFirstNames[] = {
    "Haruka", "Yuki",    "Kenji", "Aiko",  "Takeshi", "Mika",  "Sora",   "Ren",  "Emma", "Daniel",
    "Sakura", "Hiroshi", "Naomi", "Kaito", "Lena",    "Tomás", "さくら", "健太", "美咲", "翔"};
constexpr const char* kLastNames[] = {
    "Sato",      "Suzuki", "Takahashi", "Tanaka", "Watanabe", "Ito", "Yamamoto", "Nakamura",
    "Kobayashi", "Kato",   "Müller",    "Garcia", "Chen",     "Kim", "佐藤",     "鈴木"};
constexpr const char* kGroupNames[] = {
    "Family",    "Tennis club", "Project Aoba", "大学の友達",     "Kyoto trip 2023",
    "Book club", "Neighbours",  "Office lunch", "Futsal Sundays", "PTA 3-2"};
constexpr const char* kPhrases[] = {"Good morning!",
                                    "Are you free tonight?",
                                    "I'll be 10 minutes late, sorry",
                                    "See you at the station",
                                    "Thanks a lot!",
                                    "Did you see the news?",
                                    "Happy birthday!! 🎉",
                                    "OK 👍",
                                    "Let's meet at 7 at the usual place",
                                    "Can you send me the photos from Saturday?",
                                    "I'm on the train now",
                                    "The meeting moved to Thursday",
                                    "おはよう！",
                                    "今日は雨だね",
                                    "了解です",
                                    "ありがとう😊",
                                    "明日何時に集合？",
                                    "お疲れさまでした",
                                    "Sounds good",
                                    "Haha that's great",
                                    "Where did you park?",
                                    "Dinner is ready",
                                    "Call me when you can",
                                    "Don't forget the tickets",
                                    "I just landed",
                                    "Let me check and get back to you",
                                    "Line 1\nLine 2 of a longer message",
                                    "Tabs\tinside\ttext are fine in content"};
constexpr const char* kCardNames[] = {"Yuki Tanaka", "Dr. Sato Clinic", "Mika / Office",
                                      "Yuki Tanaka", "鈴木 一郎",       "Pizza Roma"};

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

Statement PrepareSql(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return Statement(statement);
}

// Binds text, or NULL for an empty text (the app writes NULL, not '').
void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  if (text.empty()) {
    sqlite3_bind_null(statement, index);
  } else {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
  }
}

void BindInt(sqlite3_stmt* statement, int index, int64_t value) {
  sqlite3_bind_int64(statement, index, value);
}

bool StepAndReset(sqlite3_stmt* statement) {
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return rc == SQLITE_DONE;
}

// ---------------------------------------------------------------------------
// The world of the sample: the owner, contacts and chats

struct Contact {
  std::string mid;
  std::string name;
};

enum class ChatKind { kOwn, kOneToOne, kGroup, kRoom };

struct Chat {
  ChatKind kind = ChatKind::kOneToOne;
  std::string id;
  std::string name;          // groups
  std::vector<int> members;  // contact indexes (the owner is always in)
  std::string stranger_mid;  // a group member who is no contact
  double weight = 0;         // share of the messages
  bool archived = false;
  // Filled while messages are written.
  int64_t message_count = 0;
  int64_t unread = 0;
  int64_t created_ms = 0;
  int64_t last_ms = 0;
  std::string last_message;
  std::string last_from_mid;
  std::vector<std::string> recent_server_ids;  // a short ring, for replies
  size_t recent_next = 0;
};

struct MessageRow {
  int type = 1;
  int attachement_type = 0;
  bool system = false;   // no server id
  std::string from_mid;  // empty: the owner
  std::string content;
  std::string parameter;
  std::string location_name;
  std::string location_address;
  int64_t latitude = 0;  // micro-degrees
  int64_t longitude = 0;
  int64_t image_height = 0;
  int64_t image_width = 0;
  std::string preview;  // what the chat list shows
};

// What kind of message to write.
enum class Kind {
  kText,
  kImage,
  kVideo,
  kVoice,
  kPost,
  kContactCard,
  kFile,
  kLocation,
  kFlex,
  kSchedule,
  kFlexUnindexed,
  kAlbum,
  kSticker,
  kVoiceCall,
  kVideoCall,
  kGroupCall,
  kMemberEvent,
  kMemberEventWithoutKey,
  kRoomInvite,
  kRoomLeave,
  kLinkPreview,
  kOtherSystem,
  kOtherAttachment,
  kReply
};

constexpr const char* kLocKeys[] = {"C_MI", "A_MC", "A_MI", "C_GI", "C_PN", "C_MR",
                                    "A_MR", "C_BG", "C_SP", "C_SN", "C_ML", "A_ML",
                                    "A_IC", "C_IC", "A_MJ", "C_MJ", "C_XX"};

struct WeightedKind {
  Kind kind;
  int per_mille;
};

// Everyday traffic; kinds that do not fit a chat fall back to text.
constexpr WeightedKind kTraffic[] = {
    {Kind::kSticker, 90},
    {Kind::kImage, 60},
    {Kind::kReply, 40},
    {Kind::kVoice, 15},
    {Kind::kVideo, 12},
    {Kind::kVoiceCall, 8},
    {Kind::kVideoCall, 5},
    {Kind::kGroupCall, 6},
    {Kind::kFile, 8},
    {Kind::kLocation, 5},
    {Kind::kFlex, 8},
    {Kind::kSchedule, 2},
    {Kind::kPost, 3},
    {Kind::kAlbum, 5},
    {Kind::kLinkPreview, 10},
    {Kind::kContactCard, 2},
    {Kind::kMemberEvent, 12},
    {Kind::kOtherSystem, 2},
    {Kind::kOtherAttachment, 1},
    {Kind::kFlexUnindexed, 1},
};

// Every kind, once, at the start of the first chat of each kind.
constexpr Kind kOneToOneShowcase[] = {
    Kind::kText,        Kind::kImage,         Kind::kVideo,
    Kind::kVoice,       Kind::kFile,          Kind::kLocation,
    Kind::kSticker,     Kind::kContactCard,   Kind::kContactCard,
    Kind::kContactCard, Kind::kContactCard,   Kind::kFlex,
    Kind::kSchedule,    Kind::kFlexUnindexed, Kind::kPost,
    Kind::kAlbum,       Kind::kVoiceCall,     Kind::kVideoCall,
    Kind::kLinkPreview, Kind::kOtherSystem,   Kind::kOtherAttachment,
    Kind::kReply,       Kind::kText};
constexpr Kind kGroupShowcase[] = {Kind::kText,      Kind::kMemberEventWithoutKey,
                                   Kind::kGroupCall, Kind::kGroupCall,
                                   Kind::kAlbum,     Kind::kReply};
constexpr Kind kRoomShowcase[] = {Kind::kRoomInvite, Kind::kText, Kind::kRoomLeave, Kind::kReply};

class LineSampleWriter {
 public:
  LineSampleWriter(const AndroidSampleOptions& options, const LineSampleShape& shape)
      : options_(options), random_(options.seed * 0x2545F4914F6CDD1DULL + 17) {
    chat_count_ = shape.chat_count > 0 ? shape.chat_count : kDefaultChatCount;
    if (chat_count_ < 5) chat_count_ = 5;
    const int scale = options.scale > 0 ? options.scale : 1;
    message_count_ =
        shape.message_count > 0 ? shape.message_count : int64_t{kLineMessagesPerScale} * scale;
  }

  bool Write(const std::string& path);

 private:
  void BuildWorld();
  bool WriteSchema(sqlite3* db) const;
  bool WriteContacts(sqlite3* db) const;
  bool WriteGroups(sqlite3* db) const;
  bool WriteMessages(sqlite3* db);
  bool WriteChats(sqlite3* db) const;

  const std::string& MidOf(int contact) const { return contacts_[contact].mid; }
  int PickChat();
  std::string PickSender(const Chat& chat);
  std::string PickMemberMid(const Chat& chat);
  Kind PickKind(const Chat& chat);
  MessageRow MakeMessage(Kind kind, Chat* chat);
  void MakeMemberEvent(Chat* chat, MessageRow* row);
  bool InsertMessage(sqlite3_stmt* insert, int64_t id, const MessageRow& row, Chat* chat,
                     int64_t created_ms, bool keep);

  AndroidSampleOptions options_;
  SampleRandom random_;
  int chat_count_ = kDefaultChatCount;
  int64_t message_count_ = 0;
  Contact owner_;
  std::vector<Contact> contacts_;
  std::vector<Chat> chats_;
  std::vector<double> cumulative_weights_;
  int64_t next_server_id_ = kFirstServerId;
  size_t card_index_ = 0;
  size_t loc_key_index_ = 0;
};

// ---------------------------------------------------------------------------
// World

void LineSampleWriter::BuildWorld() {
  owner_ = {"u" + random_.Hex(32), "Haruka Sato"};
  const int contact_count = chat_count_ < 16 ? 16 : chat_count_;
  for (int i = 0; i < contact_count; ++i) {
    std::string name = std::string(random_.Pick(kFirstNames)) + " " + random_.Pick(kLastNames);
    contacts_.push_back({"u" + random_.Hex(32), std::move(name)});
  }
  if (options_.schema_version >= 2) {
    Chat own;
    own.kind = ChatKind::kOwn;
    own.id = owner_.mid;
    own.weight = 0.2;
    chats_.push_back(std::move(own));
  }
  for (int i = 0; i < chat_count_; ++i) {
    Chat chat;
    // Busy chats first: activity falls off with rank, as on a real phone.
    chat.weight = 1.0 / std::pow(i + 1.0, 0.8);
    const int slot = i % 10;
    if (slot == 2 || slot == 5 || slot == 8) {
      chat.kind = ChatKind::kGroup;
      chat.id = "c" + random_.Hex(32);
      chat.name = kGroupNames[(i / 3) % (sizeof(kGroupNames) / sizeof(kGroupNames[0]))];
      const int size = 3 + static_cast<int>(random_.Below(6));
      for (int m = 0; m < size; ++m)
        chat.members.push_back(static_cast<int>(random_.Below(contact_count)));
      if (slot == 5) chat.stranger_mid = "u" + random_.Hex(32);
    } else if (slot == 6) {
      chat.kind = ChatKind::kRoom;
      chat.id = "r" + random_.Hex(32);
      for (int m = 0; m < 3; ++m)
        chat.members.push_back(static_cast<int>(random_.Below(contact_count)));
    } else {
      chat.kind = ChatKind::kOneToOne;
      chat.id = contacts_[i % contact_count].mid;
      chat.members.push_back(i % contact_count);
    }
    // A chat that was opened but whose messages are gone.
    if (i == 4) chat.weight = 0;
    chat.archived = (i % 23 == 9);
    chats_.push_back(std::move(chat));
  }
  double total = 0;
  for (const Chat& chat : chats_) {
    total += chat.weight;
    cumulative_weights_.push_back(total);
  }
}

int LineSampleWriter::PickChat() {
  const double target =
      cumulative_weights_.back() * static_cast<double>(random_.Below(1000000)) / 1000000.0;
  size_t low = 0;
  size_t high = cumulative_weights_.size() - 1;
  while (low < high) {
    const size_t mid = (low + high) / 2;
    if (cumulative_weights_[mid] > target) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  while (chats_[low].weight == 0) low = (low + 1) % chats_.size();
  return static_cast<int>(low);
}

std::string LineSampleWriter::PickMemberMid(const Chat& chat) {
  if (!chat.stranger_mid.empty() && random_.PerMille(100)) return chat.stranger_mid;
  if (chat.members.empty()) return owner_.mid;
  return MidOf(chat.members[random_.Below(static_cast<int64_t>(chat.members.size()))]);
}

// The owner's messages carry no from_mid.
std::string LineSampleWriter::PickSender(const Chat& chat) {
  if (chat.kind == ChatKind::kOwn || random_.PerMille(450)) return std::string();
  return PickMemberMid(chat);
}

Kind LineSampleWriter::PickKind(const Chat& chat) {
  // The owner's own chat holds notes to self.
  if (chat.kind == ChatKind::kOwn) return random_.PerMille(800) ? Kind::kText : Kind::kImage;
  int roll = static_cast<int>(random_.Below(1000));
  for (const WeightedKind& entry : kTraffic) {
    if (roll < entry.per_mille) {
      const bool grouped = chat.kind == ChatKind::kGroup;
      if (entry.kind == Kind::kMemberEvent && !grouped) return Kind::kText;
      if (entry.kind == Kind::kGroupCall && !grouped) return Kind::kVoiceCall;
      if (entry.kind == Kind::kReply && chat.recent_server_ids.empty()) return Kind::kText;
      return entry.kind;
    }
    roll -= entry.per_mille;
  }
  return Kind::kText;
}

// ---------------------------------------------------------------------------
// Messages

std::string Params(std::initializer_list<std::string> pieces) {
  std::string text;
  for (const std::string& piece : pieces) {
    if (!text.empty()) text += '\t';
    text += piece;
  }
  return text;
}

void LineSampleWriter::MakeMemberEvent(Chat* chat, MessageRow* row) {
  const char* loc_key = kLocKeys[loc_key_index_++ % (sizeof(kLocKeys) / sizeof(kLocKeys[0]))];
  row->type = 13;
  row->attachement_type = 18;
  row->system = true;
  const std::string actor = PickMemberMid(*chat);
  row->from_mid = actor == owner_.mid ? std::string() : actor;
  std::string loc_args = actor;
  if (std::string(loc_key) == "C_PN") {
    chat->name = random_.Pick(kGroupNames);
    loc_args += '\x1e' + chat->name;
  } else if (loc_key[2] != 'B' && loc_key[2] != 'S') {
    loc_args += '\x1e' + PickMemberMid(*chat);
  }
  row->parameter = Params({"LOC_KEY", loc_key, "LOC_ARGS", loc_args, "SKIP_BADGE_COUNT", "true"});
  row->preview = "";
}

MessageRow LineSampleWriter::MakeMessage(Kind kind, Chat* chat) {
  MessageRow row;
  row.from_mid = PickSender(*chat);
  const std::string oid = random_.Hex(32);
  switch (kind) {
    case Kind::kText:
      row.content = random_.Pick(kPhrases);
      if (random_.PerMille(150)) row.parameter = Params({"e2eeVersion", "2", "contentType", "0"});
      break;
    case Kind::kImage:
      row.attachement_type = 1;
      row.image_width = 1080;
      row.image_height = random_.PerMille(500) ? 1440 : 810;
      row.parameter = Params(
          {"OID", oid, "SID", "emi", "FILE_SIZE", std::to_string(180000 + random_.Below(2000000))});
      if (random_.PerMille(400)) row.parameter += "\tAGENT_NAME\tLINE Camera";
      if (random_.PerMille(500)) {
        row.parameter += "\tDOWNLOAD_URL\thttps://obs.line-scdn.net/r/talk/m/" + oid;
      }
      row.preview = "Photo";
      break;
    case Kind::kVideo:
      row.attachement_type = 2;
      row.image_width = 720;
      row.image_height = 1280;
      row.parameter =
          Params({"OID", oid, "SID", "emv", "DURATION", std::to_string(3000 + random_.Below(90000)),
                  "FILE_SIZE", std::to_string(900000 + random_.Below(9000000))});
      row.preview = "Video";
      break;
    case Kind::kVoice:
      row.attachement_type = 3;
      row.parameter = Params(
          {"OID", oid, "SID", "ema", "DURATION", std::to_string(1500 + random_.Below(40000))});
      row.preview = "Voice message";
      break;
    case Kind::kPost:
      row.attachement_type = 4;
      row.parameter = Params(
          {"HTML_CONTENT",
           "<div class=\"Md2Ttl\">Weekend hike</div><div class=\"Md2Txt\"><p>Meet at 8:00 at "
           "the north exit.</p><p>Bring water &amp; snacks.</p></div><a "
           "href=\"https://line.me/R/home/post/" +
               oid + "\">See post</a>",
           "SERVICE_NAME", "Note"});
      row.preview = "Post";
      break;
    case Kind::kContactCard: {
      const std::string card_name =
          kCardNames[card_index_++ % (sizeof(kCardNames) / sizeof(kCardNames[0]))];
      row.attachement_type = 13;
      row.parameter =
          Params({"mid", "u" + random_.Hex(32), "displayName", card_name, "vCard",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + card_name + "\r\nTEL;TYPE=CELL:+81 90-" +
                      std::to_string(1000 + random_.Below(9000)) + "-" +
                      std::to_string(1000 + random_.Below(9000)) + "\r\nEND:VCARD\r\n"});
      row.preview = "Contact";
      break;
    }
    case Kind::kFile: {
      static const char* const kFiles[] = {"minutes_2023-02.pdf", "旅行プラン.xlsx", "photo.zip",
                                           "invoice 0042.pdf"};
      row.attachement_type = 14;
      row.parameter = Params({"FILE_NAME", random_.Pick(kFiles), "FILE_SIZE",
                              std::to_string(2048 + random_.Below(4000000)),
                              "FILE_EXPIRE_TIMESTAMP", "1712345678000", "OID", oid, "SID", "emf"});
      row.preview = "File";
      break;
    }
    case Kind::kLocation:
      row.attachement_type = 15;
      row.content = "Tokyo Station";
      row.location_name = "Tokyo Station";
      row.location_address = "1 Chome Marunouchi, Chiyoda City, Tokyo 100-0005";
      row.latitude = 35681236;
      row.longitude = 139767125;
      row.parameter = Params({"TITLE", "Tokyo Station"});
      row.preview = "Location";
      break;
    case Kind::kFlex:
      row.attachement_type = 22;
      row.parameter = Params(
          {"ALT_TEXT", "Your order has shipped", "INDEXABLE_TEXT",
           "Your order has shipped Order #" + std::to_string(1000 + random_.Below(9000)),
           "FLEX_JSON",
           "{\"type\":\"bubble\",\"body\":{\"type\":\"box\",\"layout\":\"vertical\",\"contents\":"
           "[{\"type\":\"text\",\"text\":\"Your order has shipped\",\"weight\":\"bold\"},{\"type\":"
           "\"text\",\"text\":\"Arrives tomorrow\"},{\"type\":\"button\",\"action\":{\"type\":"
           "\"uri\",\"label\":\"Track\",\"uri\":\"https://shop.example.jp/track/" +
               oid.substr(0, 12) + "\"}}]}}",
           "SPEC_REV", "1"});
      row.preview = "Your order has shipped";
      break;
    case Kind::kSchedule:
      row.attachement_type = 22;
      row.parameter = Params({"ALT_TEXT", "Team dinner on Fri 7:00 PM", "INDEXABLE_TEXT",
                              "Schedule Team dinner Fri 7:00 PM", "uri",
                              "https://line.me/R/group/schedule/" + oid.substr(0, 16)});
      row.preview = "Team dinner on Fri 7:00 PM";
      break;
    case Kind::kFlexUnindexed:
      row.attachement_type = 22;
      row.parameter = Params({"ALT_TEXT", "Coupon", "FLEX_JSON", "{\"type\":\"bubble\"}"});
      break;
    case Kind::kAlbum:
      row.type = random_.PerMille(500) ? 8 : 0;
      row.attachement_type = 16;
      row.parameter = Params({"text", "Added 3 photos to the album \"Kyoto\"", "SERVICE_TYPE",
                              "ALBUM", "albumId", std::to_string(random_.Below(90000000))});
      row.preview = "Album";
      break;
    case Kind::kSticker:
      row.type = 5;
      row.attachement_type = 7;
      row.parameter = Params({"STKID", std::to_string(52002734 + random_.Below(40)), "STKPKGID",
                              "11537", "STKVER", "1", "STKTXT", "[Sticker]"});
      row.preview = "Sticker";
      break;
    case Kind::kVoiceCall:
      row.type = 4;
      row.attachement_type = 6;
      row.parameter = random_.PerMille(700)
                          ? Params({"TYPE", "A", "RESULT", "NORMAL", "DURATION",
                                    std::to_string(random_.Below(900000)), "CAUSE", "16"})
                          : Params({"TYPE", "A", "RESULT", "NO_RESPONSE", "DURATION", "0"});
      row.preview = "Voice call";
      break;
    case Kind::kVideoCall:
      row.type = 4;
      row.attachement_type = 6;
      row.parameter = Params({"TYPE", "V", "RESULT", random_.PerMille(500) ? "CANCELED" : "NORMAL",
                              "DURATION", std::to_string(random_.Below(600000))});
      row.preview = "Video call";
      break;
    case Kind::kGroupCall: {
      const bool video = random_.PerMille(400);
      row.type = 4;
      row.attachement_type = 6;
      row.parameter = Params({"GC_EVT_TYPE", random_.PerMille(500) ? "S" : "E", "GC_CHAT_MID",
                              chat->id, "GC_MEDIA_TYPE", video ? "VIDEO" : "AUDIO", "RESULT",
                              "INFO", "TYPE", "G", "DURATION", "0"});
      row.preview = "Group call";
      break;
    }
    case Kind::kMemberEvent:
      MakeMemberEvent(chat, &row);
      break;
    case Kind::kMemberEventWithoutKey:
      row.type = 13;
      row.attachement_type = 18;
      row.system = true;
      row.parameter = Params({"SKIP_BADGE_COUNT", "true"});
      break;
    case Kind::kRoomInvite: {
      row.type = 9;
      row.system = true;
      for (const int member : chat->members) {
        if (!row.content.empty()) row.content += '\n';
        row.content += MidOf(member);
      }
      break;
    }
    case Kind::kRoomLeave:
      row.type = 3;
      row.system = true;
      row.content = MidOf(chat->members.back());
      break;
    case Kind::kLinkPreview:
      row.type = 27;
      row.content = "https://news.example.jp/articles/" + std::to_string(random_.Below(999999));
      row.parameter = Params({"WEB_PAGE_PREVIEW_TYPE", "1", "LINK_LINKURI", row.content});
      break;
    case Kind::kOtherSystem:
      // Types the app added later; 33 is left out, it marks the owner.
      row.type = random_.PerMille(500) ? 17 : 28 + static_cast<int>(random_.Below(5));
      row.system = true;
      row.content = "";
      break;
    case Kind::kOtherAttachment:
      row.attachement_type = 19;
      row.parameter = Params({"MSGTPL", "7"});
      break;
    case Kind::kReply: {
      const std::string& original = chat->recent_server_ids[random_.Below(
          static_cast<int64_t>(chat->recent_server_ids.size()))];
      row.content = random_.Pick(kPhrases);
      row.parameter =
          Params({"message_relation_server_message_id", original, "message_relation_service_code",
                  "1", "message_relation_type_code", "3"});
      break;
    }
  }
  if (row.preview.empty()) row.preview = row.content;
  return row;
}

bool LineSampleWriter::InsertMessage(sqlite3_stmt* insert, int64_t id, const MessageRow& row,
                                     Chat* chat, int64_t created_ms, bool keep) {
  std::string server_id;
  if (!row.system) server_id = std::to_string(next_server_id_++);
  if (!keep) return true;  // the id stays taken, as on the phone
  const bool mine = row.from_mid.empty();
  BindInt(insert, 1, id);
  BindText(insert, 2, server_id);
  BindInt(insert, 3, row.type);
  BindText(insert, 4, chat->id);
  BindText(insert, 5, row.from_mid);
  BindText(insert, 6, row.content);
  BindText(insert, 7, std::to_string(created_ms));
  BindText(insert, 8, std::to_string(created_ms + (mine ? 420 : 0)));
  BindInt(insert, 9, mine ? 3 : 1);
  if (mine && !row.system) BindInt(insert, 11, chat->kind == ChatKind::kOneToOne ? 1 : 2);
  BindText(insert, 12, row.location_name);
  BindText(insert, 13, row.location_address);
  if (row.latitude != 0) {
    BindInt(insert, 15, row.latitude);
    BindInt(insert, 16, row.longitude);
  }
  const bool picture = row.image_width != 0;
  BindInt(insert, 17, picture ? 1 : 0);
  if (picture) {
    BindInt(insert, 18, row.image_height);
    BindInt(insert, 19, row.image_width);
  }
  BindInt(insert, 21, row.attachement_type);
  BindText(insert, 23, row.parameter);
  if (!StepAndReset(insert)) return false;

  ++chat->message_count;
  chat->unread = mine ? 0 : (random_.PerMille(300) ? chat->unread + 1 : 0);
  if (chat->created_ms == 0) chat->created_ms = created_ms;
  chat->last_ms = created_ms;
  chat->last_message = row.preview;
  chat->last_from_mid = row.from_mid;
  if (!server_id.empty()) {
    constexpr size_t kRecent = 8;
    if (chat->recent_server_ids.size() < kRecent) {
      chat->recent_server_ids.push_back(server_id);
    } else {
      chat->recent_server_ids[chat->recent_next++ % kRecent] = server_id;
    }
  }
  return true;
}

bool LineSampleWriter::WriteMessages(sqlite3* db) {
  Statement insert = PrepareSql(db, kInsertMessage);
  if (insert == nullptr) return false;
  // The showcase runs first, then everyday traffic over the chats by weight.
  std::vector<std::pair<int, Kind>> plan;
  bool one_to_one = false, group = false, room = false;
  for (size_t c = 0; c < chats_.size(); ++c) {
    const Chat& chat = chats_[c];
    if (chat.weight == 0) continue;
    if (chat.kind == ChatKind::kOneToOne && !one_to_one) {
      one_to_one = true;
      for (Kind kind : kOneToOneShowcase) plan.emplace_back(static_cast<int>(c), kind);
    } else if (chat.kind == ChatKind::kGroup && !group) {
      group = true;
      for (Kind kind : kGroupShowcase) plan.emplace_back(static_cast<int>(c), kind);
      for (size_t i = 0; i < sizeof(kLocKeys) / sizeof(kLocKeys[0]); ++i) {
        plan.emplace_back(static_cast<int>(c), Kind::kMemberEvent);
      }
    } else if (chat.kind == ChatKind::kRoom && !room) {
      room = true;
      for (Kind kind : kRoomShowcase) plan.emplace_back(static_cast<int>(c), kind);
    }
  }
  const int64_t total = message_count_ > static_cast<int64_t>(plan.size())
                            ? message_count_
                            : static_cast<int64_t>(plan.size());
  const int64_t gap_ms = kTimelineMs / total;
  const int64_t older_cut = total - total / 10;
  int64_t created_ms = kFirstMessageMs;
  for (int64_t index = 0; index < total; ++index) {
    int chat_index;
    Kind kind;
    if (index < static_cast<int64_t>(plan.size())) {
      chat_index = plan[index].first;
      kind = plan[index].second;
    } else {
      chat_index = PickChat();
      kind = PickKind(chats_[chat_index]);
    }
    Chat* chat = &chats_[chat_index];
    if (kind == Kind::kReply && chat->recent_server_ids.empty()) kind = Kind::kText;
    created_ms += gap_ms / 5 + random_.Below(gap_ms * 8 / 5 + 1);
    const MessageRow row = MakeMessage(kind, chat);
    // The showcase is in every copy, so each copy holds every kind.
    const bool showcase = index < static_cast<int64_t>(plan.size());
    const bool keep = options_.older_copy ? index < older_cut
                                          : showcase || index % kDeletedEvery != kDeletedRemainder;
    if (!InsertMessage(insert.get(), index + 1, row, chat, created_ms, keep)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Tables

bool LineSampleWriter::WriteSchema(sqlite3* db) const {
  const std::string schema = AndroidLineSchemaSql(options_.schema_version);
  return sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool LineSampleWriter::WriteContacts(sqlite3* db) const {
  Statement insert = PrepareSql(db, kInsertContact);
  if (insert == nullptr) return false;
  std::vector<const Contact*> all = {&owner_};
  for (const Contact& contact : contacts_) all.push_back(&contact);
  int64_t time = kFirstMessageMs - 86400000LL * 300;
  for (size_t i = 0; i < all.size(); ++i) {
    sqlite3_stmt* s = insert.get();
    BindText(s, 1, all[i]->mid);
    BindText(s, 2, i % 3 == 0 ? std::to_string(100 + i) : std::string());
    BindText(s, 3, all[i]->name);
    BindText(s, 4, all[i]->name);
    BindText(s, 5, i % 3 == 0 ? all[i]->name : std::string());
    BindText(s, 6, i % 4 == 1 ? "いつもありがとう" : "");
    BindText(s, 7, "0h" + std::to_string(1000 + i));
    BindInt(s, 8, i % 7 == 3 ? 1 : 0);
    BindInt(s, 9, time + 1000);
    BindInt(s, 10, time);
    time += 86400000LL;
    if (!StepAndReset(s)) return false;
  }
  return true;
}

bool LineSampleWriter::WriteGroups(sqlite3* db) const {
  Statement group_insert =
      PrepareSql(db, options_.schema_version >= 2 ? kInsertGroupV2 : kInsertGroupV1);
  Statement member_insert = PrepareSql(db, kInsertMember);
  if (group_insert == nullptr || member_insert == nullptr) return false;
  for (const Chat& chat : chats_) {
    if (chat.kind != ChatKind::kGroup) continue;
    const int64_t created = kFirstMessageMs - 86400000LL * 30;
    sqlite3_stmt* g = group_insert.get();
    BindText(g, 1, chat.id);
    BindText(g, 2, chat.name);
    BindText(g, 3, "0h" + chat.id.substr(1, 12));
    BindText(g, 4, chat.members.empty() ? owner_.mid : MidOf(chat.members[0]));
    BindInt(g, 5, created + 60000);
    BindInt(g, 6, created + 120000);
    BindInt(g, 7, created);
    if (!StepAndReset(g)) return false;
    std::vector<std::string> mids = {owner_.mid};
    for (const int member : chat.members) mids.push_back(MidOf(member));
    if (!chat.stranger_mid.empty()) mids.push_back(chat.stranger_mid);
    for (size_t i = 0; i < mids.size(); ++i) {
      bool repeated = false;
      for (size_t j = 0; j < i; ++j) repeated = repeated || mids[j] == mids[i];
      if (repeated) continue;
      sqlite3_stmt* m = member_insert.get();
      BindText(m, 1, chat.id);
      BindText(m, 2, mids[i]);
      BindInt(m, 3, i + 1 == mids.size() && mids.size() > 4 ? 0 : 1);  // one still invited
      BindInt(m, 4, created + static_cast<int64_t>(i) * 1000);
      BindInt(m, 5, created + static_cast<int64_t>(i) * 1000);
      if (!StepAndReset(m)) return false;
    }
  }
  return true;
}

bool LineSampleWriter::WriteChats(sqlite3* db) const {
  Statement insert = PrepareSql(db, kInsertChat);
  if (insert == nullptr) return false;
  for (const Chat& chat : chats_) {
    const int64_t last_ms = chat.last_ms != 0 ? chat.last_ms : kFirstMessageMs - 86400000LL;
    sqlite3_stmt* s = insert.get();
    BindText(s, 1, chat.id);
    BindText(s, 2, std::string());
    BindText(s, 3, owner_.mid);
    BindText(s, 4, chat.last_from_mid);
    BindText(s, 5, chat.last_message);
    BindText(s, 6, std::to_string(last_ms));
    BindInt(s, 7, chat.message_count);
    BindInt(s, 8, chat.message_count - chat.unread);
    const int type = chat.kind == ChatKind::kGroup  ? kChatTypeGroup
                     : chat.kind == ChatKind::kRoom ? kChatTypeRoom
                                                    : kChatTypeOneToOne;
    BindInt(s, 9, type);
    BindInt(s, 10, chat.archived ? 0 : 1);
    BindText(s, 11, std::to_string(last_ms));
    BindInt(s, 12, chat.archived ? 1 : 0);
    BindText(s, 13, std::string());
    if (!StepAndReset(s)) return false;
  }
  return true;
}

bool LineSampleWriter::Write(const std::string& path) {
  std::remove(path.c_str());
  for (const char* suffix : {"-wal", "-shm", "-journal"}) std::remove((path + suffix).c_str());
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Database db(raw);
  if (rc != SQLITE_OK) return false;
  // A generated file needs no crash safety while it is written.
  sqlite3_exec(db.get(), "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY", nullptr, nullptr,
               nullptr);
  BuildWorld();
  if (!WriteSchema(db.get())) return false;
  if (sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  const bool written = WriteContacts(db.get()) && WriteGroups(db.get()) &&
                       WriteMessages(db.get()) && WriteChats(db.get());
  if (!written) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  return sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

bool WriteAndroidLineDatabase(const std::string& path, const AndroidSampleOptions& options) {
  return WriteAndroidLineDatabase(path, options, LineSampleShape());
}

bool WriteAndroidLineDatabase(const std::string& path, const AndroidSampleOptions& options,
                              const LineSampleShape& shape) {
  LineSampleWriter writer(options, shape);
  return writer.Write(path);
}

}  // namespace kx::samples
