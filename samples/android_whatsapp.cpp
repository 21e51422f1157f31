#include "samples/android_whatsapp.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "samples/android_whatsapp_schema.h"
#include "samples/sample_pictures.h"
#include "samples/sample_random.h"

namespace kx::samples {

namespace {

// The packager's message query without the chat condition.
constexpr char kAllMessagesQuery[] =
    "select\t\t_id as row_id,\t\tfrom_me as is_from_me,\t\tstrftime('%m - %d - %Y %H:%M : %S', "
    "substr(timestamp, 1, 10), 'unixepoch', 'localtime') as send_date,\t\tmessage_type as "
    "type,\t\tstatus as send_status,\t\ttext_data as content,\t\tkey_id,\t\tifnull(ms.action_type, "
    "0) as size,\t\tsender_jid_row_id from message m left join message_system ms on m._id = "
    "ms.message_row_id";

// ---------------------------------------------------------------------------
// The cast.

struct Person {
  const char* name;    // display name in the phone book; null: not saved
  const char* number;  // international, without "+"
  const char* status;
};

const std::vector<Person>& People() {
  static const std::vector<Person> people = {
      {"Zoë Ångström", "46701234567", "Hej! 🌲"},
      {"José Núñez", "34612345678", "Disponible"},
      {"Seán O'Connor", "353871234567", "at the \"pub\""},
      {"אורי כהן", "972541234567", "זמין"},
      {"دانا الحسيني", "201012345678", "متاح"},
      {"李雷", "8613800138000", "忙碌"},
      {"Anna-Lena Müller", "4915123456789", "Urlaub ☀️"},
      {"Дмитрий Иванов", "79161234567", "На работе"},
      {"田中 花子", "819012345678", "こんにちは"},
      {"Mom ❤️", "15550100", nullptr},
      {nullptr, "447700900123", "Hey there! I am using WhatsApp."},
      {"Ngũgĩ wa Thiong'o", "254712345678", nullptr},
  };
  return people;
}

constexpr char kUserServer[] = "s.whatsapp.net";
constexpr char kGroupServer[] = "g.us";
constexpr char kBroadcastServer[] = "broadcast";

struct ChatSpec {
  std::string user;          // part before "@"
  std::string server;        // "s.whatsapp.net", "g.us", "broadcast"; "" for a jid without "@"
  std::string subject;       // groups and broadcast lists
  std::vector<int> members;  // indexes into People()
  int person = -1;           // one-to-one chats
  bool older_copy_only = false;
  std::string Jid() const { return server.empty() ? user : user + "@" + server; }
  bool IsGroup() const { return server == kGroupServer; }
  bool IsBroadcast() const { return server == kBroadcastServer; }
};

std::vector<ChatSpec> SampleChats(const WhatsAppStoreShape& shape) {
  std::vector<ChatSpec> chats;
  const int person_count = static_cast<int>(People().size());
  if (shape.chats > 0) {
    for (int i = 0; i < shape.chats; ++i) {
      ChatSpec chat;
      if (i % 10 == 9) {
        chat.user = "1203630" + std::to_string(10000000 + i);
        chat.server = kGroupServer;
        chat.subject = "Gruppe " + std::to_string(i) + " 🎉";
        chat.members = {i % person_count, (i + 3) % person_count, (i + 7) % person_count};
      } else {
        chat.user = std::to_string(4917000000000LL + i);
        chat.server = kUserServer;
        chat.person = i % person_count;
      }
      chats.push_back(chat);
    }
    return chats;
  }
  for (int i = 0; i < 8; ++i) {
    ChatSpec chat;
    chat.user = People()[i].number;
    chat.server = kUserServer;
    chat.person = i;
    chats.push_back(chat);
  }
  chats.push_back(
      {"491701234567-1602590000", kGroupServer, "Familie 👨‍👩‍👧", {6, 9, 10}});
  // No subject of its own: the contacts database names it.
  chats.push_back({"120363025246125123", kGroupServer, "", {0, 1, 2, 3, 4}});
  chats.push_back({"1612345678", kBroadcastServer, "Neujahrsgrüße", {5, 7, 8}});
  chats.push_back({"-1", "", "", {}});
  ChatSpec lost;
  lost.user = People()[11].number;
  lost.server = kUserServer;
  lost.person = 11;
  lost.older_copy_only = true;
  chats.push_back(lost);
  return chats;
}

// ---------------------------------------------------------------------------
// Message kinds, in the order they recur in every chat.

enum class Kind {
  kText,
  kLink,
  kImage,
  kVoice,
  kVideo,
  kDocument,
  kGif,
  kSticker,
  kLocation,
  kContact,
  kContacts,
  kReply,
  kReplyToImage,
  kViewOnceImage,
  kViewOnceVideo,
  kRevoked,
  kDisappearing,
  kGroupEvent,
  kSubjectChange,
  kNotDownloaded,
};

constexpr Kind kKindCycle[] = {
    Kind::kText,          Kind::kText, Kind::kLink,          Kind::kText,
    Kind::kImage,         Kind::kText, Kind::kVoice,         Kind::kText,
    Kind::kReply,         Kind::kText, Kind::kVideo,         Kind::kText,
    Kind::kDocument,      Kind::kText, Kind::kGif,           Kind::kText,
    Kind::kSticker,       Kind::kText, Kind::kLocation,      Kind::kText,
    Kind::kContact,       Kind::kText, Kind::kReplyToImage,  Kind::kText,
    Kind::kViewOnceImage, Kind::kText, Kind::kViewOnceVideo, Kind::kText,
    Kind::kRevoked,       Kind::kText, Kind::kContacts,      Kind::kText,
    Kind::kDisappearing,  Kind::kText, Kind::kGroupEvent,    Kind::kText,
    Kind::kSubjectChange, Kind::kText, Kind::kNotDownloaded, Kind::kText,
};
constexpr int kKindCycleLength = sizeof(kKindCycle) / sizeof(kKindCycle[0]);

// Shares per thousand messages of the typical mix. The service's own public
// figures (55 billion messages, 4.5 billion photos and 1 billion videos a
// day, in 2017) put pictures near 8% and videos near 2% of the messages; the
// other shares are estimates for an ordinary chat.
struct KindShare {
  Kind kind;
  int per_thousand;
};
constexpr KindShare kTypicalShares[] = {
    {Kind::kText, 742},        {Kind::kLink, 20},          {Kind::kImage, 80},
    {Kind::kVoice, 30},        {Kind::kVideo, 18},         {Kind::kDocument, 5},
    {Kind::kGif, 5},           {Kind::kSticker, 20},       {Kind::kLocation, 2},
    {Kind::kContact, 2},       {Kind::kContacts, 1},       {Kind::kReply, 40},
    {Kind::kReplyToImage, 10}, {Kind::kViewOnceImage, 2},  {Kind::kViewOnceVideo, 1},
    {Kind::kRevoked, 5},       {Kind::kDisappearing, 1},   {Kind::kGroupEvent, 3},
    {Kind::kSubjectChange, 1}, {Kind::kNotDownloaded, 12},
};

Kind TypicalKind(uint64_t draw) {
  int slot = static_cast<int>(draw % 1000);
  for (const KindShare& share : kTypicalShares) {
    if (slot < share.per_thousand) return share.kind;
    slot -= share.per_thousand;
  }
  return Kind::kText;
}

const std::vector<const char*>& Phrases() {
  static const std::vector<const char*> phrases = {
      "Hallo! Wie geht's? 😊",
      "¿Quedamos mañana a las 9?",
      "Ça marche, à tout à l'heure !",
      "שלום, מה שלומך?",
      "مرحبا، كيف حالك؟",
      "Привет! Как дела?",
      "你好，周末一起吃饭吗？",
      "こんにちは、元気ですか？",
      "안녕하세요! 잘 지내요?",
      "नमस्ते, आप कैसे हैं?",
      "Γειά σου! Τι κάνεις;",
      "สวัสดีครับ",
      "She said \"don't\" — it's O'Brien's 'thing'",
      "👍🏽🎉🔥 👩‍💻 🏳️‍🌈",
      "Zeile 1\nZeile 2\n\tEingerückt",
      "ÅÄÖ åäö ß Ł ł ğ ş ñ",
      "Back\\slash and {\"json\": [1, 2]} <b>not html</b>",
  };
  return phrases;
}

constexpr char kVcard[] =
    "BEGIN:VCARD\nVERSION:3.0\nN:Núñez;José;;;\nFN:José Núñez\n"
    "TEL;type=CELL;waid=34612345678:+34 612 34 56 78\nEND:VCARD";
constexpr char kSecondVcard[] =
    "BEGIN:VCARD\nVERSION:3.0\nN:;李雷;;;\nFN:李雷\nTEL;type=CELL:+86 138 0013 8000\nEND:VCARD";

// A small real JPEG (the thumbnails of the store are JPEG bytes).
std::string Picture(int variant) { return SampleJpeg(static_cast<uint64_t>(variant)); }

// A picture of its own for every message, 1 to 3 kB, as real thumbnails are.
std::string UniquePicture(uint64_t seed) {
  return SampleJpeg(seed, 64, 48, 1024 + SplitMix64(seed) % 2048);
}

// 2023-03-14 09:26:33 UTC in milliseconds.
constexpr int64_t kFirstMessageMs = 1678785993000;

std::string KeyId(uint32_t seed, size_t chat, int64_t index) {
  char text[40];
  std::snprintf(text, sizeof(text), "3EB0%016llX",
                static_cast<unsigned long long>(SplitMix64(
                    seed ^ (static_cast<uint64_t>(chat) << 40) ^ static_cast<uint64_t>(index))));
  return text;
}

// ---------------------------------------------------------------------------
// SQLite helpers (plain C API).

class Db {
 public:
  ~Db() { Close(); }
  bool Open(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::remove(path + "-wal", ignored);
    std::filesystem::remove(path + "-shm", ignored);
    std::filesystem::remove(path + "-journal", ignored);
    return sqlite3_open(path.c_str(), &db_) == SQLITE_OK;
  }
  bool Exec(const char* sql) {
    return db_ != nullptr && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3* handle() const { return db_; }
  void Close() {
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

// One prepared insert; values bound by position, stepped and reset.
class Insert {
 public:
  Insert() = default;
  Insert(const Db& db, const char* sql) {
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Insert() { sqlite3_finalize(stmt_); }
  Insert(const Insert&) = delete;
  Insert& operator=(const Insert&) = delete;
  Insert(Insert&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
  Insert& operator=(Insert&& other) noexcept {
    std::swap(stmt_, other.stmt_);
    return *this;
  }

  bool ok() const { return stmt_ != nullptr; }
  Insert& Int(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Insert& Real(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
  }
  Insert& Text(int index, const std::string& value) {
    sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Insert& TextOrNull(int index, const char* value) {
    if (value == nullptr) return Null(index);
    return Text(index, value);
  }
  Insert& Blob(int index, const std::string& value) {
    sqlite3_bind_blob(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Insert& Null(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
  }
  bool Run() {
    if (stmt_ == nullptr) return false;
    const int rc = sqlite3_step(stmt_);
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return rc == SQLITE_DONE;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// ---------------------------------------------------------------------------
// One message, as both layouts need it.

struct Message {
  std::string key_id;
  bool from_me = false;
  int64_t timestamp = 0;
  int type = 0;        // message type of the newer layout
  int64_t action = 0;  // system action, 0 for none
  int status = 0;
  std::string text;  // "" = NULL
  int sender = -1;   // person index of a group message's sender
  // Media.
  bool has_media = false;
  std::string file_path;  // below the storage folder, "" = NULL (not downloaded)
  std::string media_name;
  std::string mime_type;
  int64_t file_size = 0;
  int64_t duration = 0;
  std::string caption;
  std::string thumbnail;  // "" = none
  std::vector<std::string> vcards;
  int64_t view_once_state = -1;   // -1: not view once
  int64_t setting_duration = -1;  // -1: no disappearing setting
  std::vector<int> participants;  // person indexes of a group event
  std::string old_value;          // subject change
  bool has_link = false;
  double latitude = 0;
  double longitude = 0;
  // Reply.
  bool is_reply = false;
  std::string quoted_key_id;
  bool quoted_from_me = false;
  int quoted_type = 0;
  std::string quoted_text;
  std::string quoted_media_name;
  std::string quoted_thumbnail;
};

struct QuotableMessage {
  std::string key_id;
  bool from_me = false;
  int type = 0;
  std::string text;
  std::string media_name;
  std::string thumbnail;
  bool valid = false;
};

// The lost-on-phone and held-by-copy rules.
constexpr int kLostEvery = 11;
constexpr int kLostRemainder = 4;

bool CopyHolds(const ChatSpec& chat, int64_t index, int64_t count, bool older_copy) {
  if (chat.older_copy_only) return older_copy;
  if (older_copy) return index < count * 4 / 5;
  return index % kLostEvery != kLostRemainder;
}

std::string MediaFolder(bool business, const char* kind) {
  return std::string(business ? "Media/WhatsApp Business " : "Media/WhatsApp ") + kind + "/";
}

class MessageFactory {
 public:
  MessageFactory(uint32_t seed, const WhatsAppStoreShape& shape)
      : seed_(seed), business_(shape.business), mix_(shape.mix) {}

  Message Make(const ChatSpec& chat, size_t chat_index, int64_t index) {
    Message message;
    const uint64_t roll = SplitMix64(seed_ + chat_index * 1000003u + static_cast<uint64_t>(index));
    message.key_id = KeyId(seed_, chat_index, index);
    message.timestamp = kFirstMessageMs + static_cast<int64_t>(chat_index) * 7919 + index * 97000 +
                        static_cast<int64_t>(roll % 1000);
    message.from_me = chat.IsBroadcast() || roll % 3 == 0;
    message.status = message.from_me ? (roll % 5 == 0 ? 4 : 13) : 0;
    if (chat.IsGroup() && !message.from_me && !chat.members.empty()) {
      message.sender = chat.members[roll % chat.members.size()];
    }
    if (index == 0) {  // the encryption notice opens every chat
      message.action = 19;
      message.from_me = false;
      message.sender = -1;
      message.status = 6;
      return message;
    }
    const Kind kind = KindOf(index, roll);
    // Thumbnails of the typical mix differ from message to message.
    const auto picture = [&](int variant) {
      return mix_ == WhatsAppMessageMix::kTypical ? UniquePicture(roll) : Picture(variant);
    };
    const char* phrase = Phrases()[roll % Phrases().size()];
    const std::string stamp =
        std::to_string(20230314 + index % 17) + "-WA" + std::to_string(1000 + index % 9000);
    const char* sent = message.from_me ? "Sent/" : "";
    switch (kind) {
      case Kind::kText:
        message.text = phrase;
        break;
      case Kind::kLink:
        message.text = std::string("Schau mal: https://example.org/wiki/Z%C3%BCrich?lang=de ") +
                       phrase + " http://example.com/a";
        message.has_link = true;
        message.thumbnail = picture(1);
        break;
      case Kind::kImage:
        SetMedia(&message, 1, MediaFolder(business_, "Images") + sent + "IMG-" + stamp + ".jpg",
                 "image/jpeg", 48213 + index, 0);
        message.caption = phrase;
        message.text = phrase;
        message.thumbnail = picture(2);
        last_image_ = Quotable(message);
        break;
      case Kind::kVoice:
        SetMedia(&message, 2,
                 MediaFolder(business_, "Voice Notes") + "202311/PTT-" + stamp + ".opus",
                 "audio/ogg; codecs=opus", 9120, 7 + index % 50);
        break;
      case Kind::kVideo:
        SetMedia(&message, 3, MediaFolder(business_, "Video") + sent + "VID-" + stamp + ".mp4",
                 "video/mp4", 1048576 + index, 12);
        message.thumbnail = picture(3);
        break;
      case Kind::kDocument:
        SetMedia(&message, 9, MediaFolder(business_, "Documents") + sent + "Rechnung März.pdf",
                 "application/pdf", 20480, 0);
        message.media_name = "Rechnung März.pdf";
        break;
      case Kind::kGif:
        SetMedia(&message, 13,
                 MediaFolder(business_, "Animated Gifs") + sent + "VID-" + stamp + ".mp4",
                 "video/mp4", 30211, 2);
        message.thumbnail = picture(4);
        break;
      case Kind::kSticker:
        SetMedia(&message, 20, MediaFolder(business_, "Stickers") + "STK-" + stamp + ".webp",
                 "image/webp", 14080, 0);
        break;
      case Kind::kLocation:
        message.type = 5;
        message.latitude = 52.520008;
        message.longitude = 13.404954;
        message.thumbnail = picture(5);
        break;
      case Kind::kContact:
        message.type = 4;
        message.vcards = {kVcard};
        message.media_name = "José Núñez";
        break;
      case Kind::kContacts:
        message.type = 14;
        message.vcards = {kVcard, kSecondVcard};
        message.media_name = "2 contacts";
        break;
      case Kind::kReply:
      case Kind::kReplyToImage: {
        const QuotableMessage& quoted = kind == Kind::kReply ? last_text_ : last_image_;
        message.text = phrase;
        if (quoted.valid) {
          message.is_reply = true;
          message.quoted_key_id = quoted.key_id;
          message.quoted_from_me = quoted.from_me;
          message.quoted_type = quoted.type;
          message.quoted_text = quoted.text;
          message.quoted_media_name = quoted.media_name;
          message.quoted_thumbnail = quoted.thumbnail;
        }
        break;
      }
      case Kind::kViewOnceImage:
      case Kind::kViewOnceVideo: {
        const bool image = kind == Kind::kViewOnceImage;
        SetMedia(&message, image ? 42 : 43,
                 MediaFolder(business_, image ? "Images" : "Video") + sent + "Private/" +
                     (image ? "IMG-" : "VID-") + stamp + (image ? ".jpg" : ".mp4"),
                 image ? "image/jpeg" : "video/mp4", 65536, image ? 0 : 5);
        message.view_once_state = static_cast<int64_t>(roll % 2);
        break;
      }
      case Kind::kRevoked:
        message.type = 15;
        break;
      case Kind::kDisappearing:
        message.type = 7;
        message.action = 56;
        message.setting_duration = roll % 2 == 0 ? 604800 : 0;
        break;
      case Kind::kGroupEvent:
        if (!chat.IsGroup()) {
          message.text = phrase;
          break;
        }
        message.type = 7;
        message.action = 12;
        message.participants = {chat.members.front()};
        break;
      case Kind::kSubjectChange:
        if (!chat.IsGroup()) {
          message.text = phrase;
          break;
        }
        message.type = 7;
        message.action = 1;
        message.text = chat.subject;
        message.old_value = "Alter Name 🙂";
        break;
      case Kind::kNotDownloaded:
        SetMedia(&message, 1, "", "image/jpeg", 70211, 0);
        message.media_name = "";
        break;
    }
    if (message.type == 0 && message.action == 0 && !message.text.empty()) {
      last_text_ = Quotable(message);
    }
    return message;
  }

  void StartChat() {
    last_text_ = QuotableMessage();
    last_image_ = QuotableMessage();
  }

 private:
  Kind KindOf(int64_t index, uint64_t roll) const {
    switch (mix_) {
      case WhatsAppMessageMix::kEveryKind:
        return kKindCycle[index % kKindCycleLength];
      case WhatsAppMessageMix::kTypical:
        return TypicalKind(SplitMix64(roll));
      case WhatsAppMessageMix::kText:
        break;
    }
    return Kind::kText;
  }

  static void SetMedia(Message* message, int type, const std::string& path, const char* mime,
                       int64_t size, int64_t duration) {
    message->type = type;
    message->has_media = true;
    message->file_path = path;
    message->media_name = path.substr(path.find_last_of('/') + 1);
    message->mime_type = mime;
    message->file_size = size;
    message->duration = duration;
  }

  static QuotableMessage Quotable(const Message& message) {
    QuotableMessage quotable;
    quotable.key_id = message.key_id;
    quotable.from_me = message.from_me;
    quotable.type = message.type;
    quotable.text = message.text;
    quotable.media_name = message.media_name;
    quotable.thumbnail = message.thumbnail;
    quotable.valid = true;
    return quotable;
  }

  uint32_t seed_;
  bool business_;
  WhatsAppMessageMix mix_;
  QuotableMessage last_text_;
  QuotableMessage last_image_;
};

// ---------------------------------------------------------------------------
// Writers of the two layouts.

std::string PersonJid(int person) {
  return std::string(People()[person].number) + "@" + kUserServer;
}

class NewerLayoutStore {
 public:
  NewerLayoutStore(Db& db, int version) : db_(db), version_(version) {}

  bool CreateTables() {
    const bool is_2021 = version_ == kWhatsAppNewerLayoutEarly;
    const bool has_quotes = version_ != kWhatsAppNewerLayoutNoLinks;
    if (!db_.Exec(kWhatsAppPropsTable) || !db_.Exec(kWhatsAppNewerJidTable) ||
        !db_.Exec(is_2021 ? kWhatsAppChatTable2021 : kWhatsAppChatTable2023) ||
        !db_.Exec(is_2021 ? kWhatsAppMessageTable2021 : kWhatsAppMessageTable2023) ||
        !db_.Exec(kWhatsAppMessageIndexes) ||
        !db_.Exec(is_2021 ? kWhatsAppMediaTable2021 : kWhatsAppMediaTable2023) ||
        !db_.Exec(kWhatsAppNewerCommonSatellites)) {
      return false;
    }
    if (has_quotes && (!db_.Exec(is_2021 ? kWhatsAppQuotedTables2021 : kWhatsAppQuotedTables2023) ||
                       !db_.Exec(kWhatsAppQuotedSatellites) || !db_.Exec(kWhatsAppLinkTable))) {
      return false;
    }
    if (!is_2021 && !db_.Exec(kWhatsAppTables2023Only)) return false;
    // The dummy row WhatsApp keeps at _id 1 of a fresh store.
    return db_.Exec(
        "INSERT INTO message(_id, chat_row_id, from_me, key_id) VALUES (1, -1, 0, "
        "'-1')");
  }

  bool Prepare() {
    jid_ = Insert(db_,
                  "INSERT INTO jid (user, server, agent, device, type, raw_string) VALUES "
                  "(?,?,0,0,?,?)");
    chat_ = Insert(db_, version_ == kWhatsAppNewerLayoutEarly
                            ? "INSERT INTO chat (jid_row_id, hidden, subject, created_timestamp, "
                              "archived, sort_timestamp) VALUES (?,0,?,?,0,?)"
                            : "INSERT INTO chat (jid_row_id, hidden, subject, created_timestamp, "
                              "archived, sort_timestamp, group_type) VALUES (?,0,?,?,0,?,0)");
    message_ = Insert(db_,
                      "INSERT INTO message (_id, chat_row_id, from_me, key_id, "
                      "sender_jid_row_id, status, broadcast, recipient_count, origin, timestamp, "
                      "received_timestamp, receipt_server_timestamp, message_type, text_data, "
                      "starred, lookup_tables, sort_id) VALUES (?,?,?,?,?,?,0,0,0,?,?,-1,?,?,0,"
                      "0,?)");
    media_ = Insert(db_,
                    "INSERT INTO message_media (message_row_id, chat_row_id, transferred, "
                    "file_path, file_size, mime_type, file_length, media_name, file_hash, "
                    "media_duration, width, height) VALUES (?,?,?,?,?,?,?,?,?,?,640,480)");
    if (version_ == kWhatsAppNewerLayout || version_ == kWhatsAppNewerLayoutNoLinks) {
      caption_ = Insert(db_, "UPDATE message_media SET media_caption = ? WHERE message_row_id = ?");
    }
    thumbnail_ = Insert(db_, "INSERT INTO message_thumbnail VALUES (?,?)");
    location_ = Insert(db_,
                       "INSERT INTO message_location (message_row_id, chat_row_id, "
                       "latitude, longitude, place_name) VALUES (?,?,?,?,?)");
    system_ = Insert(db_, "INSERT INTO message_system VALUES (?,?)");
    participant_ = Insert(db_, "INSERT INTO message_system_chat_participant VALUES (?,?)");
    value_change_ = Insert(db_, "INSERT INTO message_system_value_change VALUES (?,?)");
    vcard_ = Insert(db_, "INSERT INTO message_vcard (message_row_id, vcard) VALUES (?,?)");
    revoked_ = Insert(db_, "INSERT INTO message_revoked VALUES (?,?)");
    member_ = Insert(db_,
                     "INSERT INTO group_participant_user (group_jid_row_id, "
                     "user_jid_row_id, rank, pending) VALUES (?,?,0,0)");
    if (version_ != kWhatsAppNewerLayoutNoLinks) {
      quoted_ = Insert(db_,
                       "INSERT INTO message_quoted (message_row_id, chat_row_id, "
                       "parent_message_chat_row_id, from_me, sender_jid_row_id, key_id, "
                       "timestamp, message_type, origin, text_data) VALUES "
                       "(?,?,?,?,?,?,?,?,0,?)");
      quoted_media_ = Insert(db_,
                             "INSERT INTO message_quoted_media (message_row_id, "
                             "media_name, media_duration, thumbnail) VALUES (?,?,?,?)");
      link_ = Insert(db_,
                     "INSERT INTO message_link (chat_row_id, message_row_id, link_index) "
                     "VALUES (?,?,?)");
    }
    if (version_ != kWhatsAppNewerLayoutEarly) {
      view_once_ = Insert(db_, "INSERT INTO message_view_once_media VALUES (?,?)");
      ephemeral_ = Insert(db_,
                          "INSERT INTO message_ephemeral_setting (message_row_id, "
                          "setting_duration, setting_reason) VALUES (?,?,0)");
    }
    return jid_.ok() && chat_.ok() && message_.ok() && media_.ok() && thumbnail_.ok();
  }

  int64_t AddJid(const std::string& user, const std::string& server) {
    const int type = server == kGroupServer ? 1 : (server == kBroadcastServer ? 3 : 0);
    jid_.Text(1, user).Text(2, server).Int(3, type).Text(
        4, server.empty() ? user : user + "@" + server);
    if (!jid_.Run()) return -1;
    return sqlite3_last_insert_rowid(db_.handle());
  }

  int64_t AddChat(int64_t jid_row_id, const ChatSpec& chat, int64_t sort_timestamp) {
    chat_.Int(1, jid_row_id);
    if (chat.subject.empty() || chat.server == kUserServer) {
      chat_.Null(2);
    } else {
      chat_.Text(2, chat.subject);
    }
    chat_.Int(3, kFirstMessageMs).Int(4, sort_timestamp);
    if (!chat_.Run()) return -1;
    return sqlite3_last_insert_rowid(db_.handle());
  }

  bool AddMember(int64_t group_jid, int64_t user_jid) {
    return member_.Int(1, group_jid).Int(2, user_jid).Run();
  }

  bool AddMessage(int64_t id, int64_t chat_row_id, const Message& m, int64_t sender_jid,
                  int64_t quoted_sender_jid, const std::vector<int64_t>& participant_jids) {
    message_.Int(1, id).Int(2, chat_row_id).Int(3, m.from_me ? 1 : 0).Text(4, m.key_id);
    message_.Int(5, sender_jid).Int(6, m.status).Int(7, m.timestamp).Int(8, m.timestamp + 1500);
    message_.Int(9, m.type);
    if (m.text.empty()) {
      message_.Null(10);
    } else {
      message_.Text(10, m.text);
    }
    message_.Int(11, id);
    if (!message_.Run()) return false;
    if (m.action != 0 && !system_.Int(1, id).Int(2, m.action).Run()) return false;
    if (m.has_media) {
      media_.Int(1, id).Int(2, chat_row_id).Int(3, m.file_path.empty() ? 0 : 1);
      if (m.file_path.empty()) {
        media_.Null(4);
      } else {
        media_.Text(4, m.file_path);
      }
      media_.Int(5, m.file_size).Text(6, m.mime_type).Int(7, m.file_size);
      if (m.media_name.empty()) {
        media_.Null(8);
      } else {
        media_.Text(8, m.media_name);
      }
      media_.Text(9, "hash-" + m.key_id).Int(10, m.duration);
      if (!media_.Run()) return false;
      if (caption_.ok() && !m.caption.empty()) caption_.Text(1, m.caption).Int(2, id).Run();
    }
    if (!m.thumbnail.empty()) thumbnail_.Int(1, id).Blob(2, m.thumbnail).Run();
    if (m.type == 5) {
      location_.Int(1, id).Int(2, chat_row_id).Real(3, m.latitude).Real(4, m.longitude);
      location_.Text(5, "Brandenburger Tor").Run();
    }
    for (const std::string& card : m.vcards) vcard_.Int(1, id).Text(2, card).Run();
    if (m.type == 15) revoked_.Int(1, id).Text(2, m.key_id).Run();
    for (int64_t participant : participant_jids) participant_.Int(1, id).Int(2, participant).Run();
    if (!m.old_value.empty()) value_change_.Int(1, id).Text(2, m.old_value).Run();
    if (m.view_once_state >= 0 && view_once_.ok()) {
      view_once_.Int(1, id).Int(2, m.view_once_state).Run();
    }
    if (m.setting_duration >= 0 && ephemeral_.ok()) {
      ephemeral_.Int(1, id).Int(2, m.setting_duration).Run();
    }
    if (m.has_link && link_.ok()) {
      link_.Int(1, chat_row_id).Int(2, id).Int(3, 0).Run();
      link_.Int(1, chat_row_id).Int(2, id).Int(3, 1).Run();
    }
    if (m.is_reply && quoted_.ok()) {
      quoted_.Int(1, id).Int(2, chat_row_id).Int(3, chat_row_id).Int(4, m.quoted_from_me ? 1 : 0);
      quoted_.Int(5, quoted_sender_jid).Text(6, m.quoted_key_id).Int(7, m.timestamp - 60000);
      quoted_.Int(8, m.quoted_type);
      if (m.quoted_text.empty()) {
        quoted_.Null(9);
      } else {
        quoted_.Text(9, m.quoted_text);
      }
      quoted_.Run();
      if (!m.quoted_media_name.empty()) {
        quoted_media_.Int(1, id).Text(2, m.quoted_media_name).Int(3, 0);
        if (m.quoted_thumbnail.empty()) {
          quoted_media_.Null(4);
        } else {
          quoted_media_.Blob(4, m.quoted_thumbnail);
        }
        quoted_media_.Run();
      }
    }
    return true;
  }

 private:
  Db& db_;
  int version_;
  Insert jid_, chat_, message_, media_, caption_, thumbnail_, location_, system_, participant_,
      value_change_, vcard_, revoked_, member_, quoted_, quoted_media_, link_, view_once_,
      ephemeral_;
};

class OlderLayoutStore {
 public:
  explicit OlderLayoutStore(Db& db) : db_(db) {}

  bool CreateTables() {
    return db_.Exec(kWhatsAppPropsTable) && db_.Exec(kWhatsAppOlderLayoutTables) &&
           db_.Exec(
               "INSERT INTO messages (_id, key_remote_jid, key_from_me, key_id, status, "
               "timestamp, media_wa_type, media_size) VALUES (1, '-1', 0, '-1', -1, 0, "
               "-1, -1)");
  }

  bool Prepare() {
    chat_ = Insert(db_,
                   "INSERT INTO chat_list (key_remote_jid, message_table_id, subject, "
                   "creation, archived, sort_timestamp) VALUES (?,?,?,?,0,?)");
    message_ = Insert(db_,
                      "INSERT INTO messages (_id, key_remote_jid, key_from_me, key_id, status, "
                      "needs_push, data, timestamp, media_mime_type, media_wa_type, media_size, "
                      "media_name, media_caption, media_hash, media_duration, origin, latitude, "
                      "longitude, remote_resource, received_timestamp, raw_data, quoted_row_id, "
                      "starred) VALUES (?,?,?,?,?,0,?,?,?,?,?,?,?,?,?,0,?,?,?,?,?,?,0)");
    quote_ =
        Insert(db_,
               "INSERT INTO messages_quotes (_id, key_remote_jid, key_from_me, key_id, "
               "status, data, timestamp, media_wa_type, media_size, media_name, "
               "media_duration, remote_resource, raw_data) VALUES (?,?,?,?,0,?,?,?,0,?,?,?,?)");
    thumbnail_ = Insert(db_,
                        "INSERT INTO message_thumbnails (thumbnail, timestamp, "
                        "key_remote_jid, key_from_me, key_id) VALUES (?,?,?,?,?)");
    member_ = Insert(db_,
                     "INSERT INTO group_participants (gjid, jid, admin, pending, "
                     "sent_sender_key) VALUES (?,?,0,0,0)");
    link_ = Insert(db_,
                   "INSERT INTO messages_links (key_remote_jid, message_row_id, link_index) "
                   "VALUES (?,?,?)");
    vcard_ = Insert(db_,
                    "INSERT INTO messages_vcards (message_row_id, sender_jid, chat_jid, "
                    "vcard) VALUES (?,?,?,?)");
    return chat_.ok() && message_.ok() && quote_.ok() && thumbnail_.ok() && member_.ok();
  }

  bool AddChat(const ChatSpec& chat, int64_t sort_timestamp) {
    chat_.Text(1, chat.Jid()).Int(2, 0);
    if (chat.subject.empty()) {
      chat_.Null(3);
    } else {
      chat_.Text(3, chat.subject);
    }
    return chat_.Int(4, kFirstMessageMs).Int(5, sort_timestamp).Run();
  }

  bool AddMember(const std::string& group, const std::string& member) {
    return member_.Text(1, group).Text(2, member).Run();
  }

  bool AddMessage(int64_t id, int64_t quote_id, const std::string& jid, const Message& m) {
    // The older layout keeps the system action in media_size and marks
    // system rows with status 6 and type 0.
    const bool system = m.type == 7 || m.action != 0;
    message_.Int(1, id).Text(2, jid).Int(3, m.from_me ? 1 : 0).Text(4, m.key_id);
    message_.Int(5, system ? 6 : m.status);
    std::string data = m.text;
    if (m.type == 4 && !m.vcards.empty()) data = m.vcards.front();
    if (m.has_media) data.clear();  // captions live in media_caption
    if (m.action == 12 && !m.participants.empty()) data = PersonJid(m.participants.front());
    if (data.empty()) {
      message_.Null(6);
    } else {
      message_.Text(6, data);
    }
    message_.Int(7, m.timestamp).Text(8, m.mime_type);
    message_.Text(9, std::to_string(system ? 0 : m.type));
    message_.Int(10, system ? m.action : m.file_size);
    if (m.media_name.empty()) {
      message_.Null(11);
    } else {
      message_.Text(11, m.media_name);
    }
    if (m.caption.empty()) {
      message_.Null(12);
    } else {
      message_.Text(12, m.caption);
    }
    message_.Text(13, "hash-" + m.key_id).Int(14, m.duration);
    message_.Real(15, m.latitude).Real(16, m.longitude);
    if (m.sender >= 0) {
      message_.Text(17, PersonJid(m.sender));
    } else {
      message_.Null(17);
    }
    message_.Int(18, m.timestamp + 1500);
    if (m.type == 5 && !m.thumbnail.empty()) {
      message_.Blob(19, m.thumbnail);
    } else {
      message_.Null(19);
    }
    if (quote_id > 0) {
      message_.Int(20, quote_id);
    } else {
      message_.Null(20);
    }
    if (!message_.Run()) return false;
    if (quote_id > 0) {
      quote_.Int(1, quote_id)
          .Text(2, jid)
          .Int(3, m.quoted_from_me ? 1 : 0)
          .Text(4, m.quoted_key_id);
      if (m.quoted_text.empty() || !m.quoted_media_name.empty()) {
        quote_.Null(5);
      } else {
        quote_.Text(5, m.quoted_text);
      }
      quote_.Int(6, m.timestamp - 60000).Text(7, std::to_string(m.quoted_type));
      if (m.quoted_media_name.empty()) {
        quote_.Null(8);
      } else {
        quote_.Text(8, m.quoted_media_name);
      }
      quote_.Int(9, 0).Null(10);
      if (m.quoted_thumbnail.empty()) {
        quote_.Null(11);
      } else {
        quote_.Blob(11, m.quoted_thumbnail);
      }
      if (!quote_.Run()) return false;
    }
    if (!m.thumbnail.empty() && m.type != 5) {
      thumbnail_.Blob(1, m.thumbnail).Int(2, m.timestamp).Text(3, jid);
      thumbnail_.Int(4, m.from_me ? 1 : 0).Text(5, m.key_id).Run();
    }
    if (m.has_link) {
      link_.Text(1, jid).Int(2, id).Int(3, 0).Run();
      link_.Text(1, jid).Int(2, id).Int(3, 1).Run();
    }
    if (m.type == 14) {
      for (const std::string& card : m.vcards) {
        vcard_.Int(1, id).Text(2, m.sender >= 0 ? PersonJid(m.sender) : "").Text(3, jid);
        vcard_.Text(4, card).Run();
      }
    }
    return true;
  }

 private:
  Db& db_;
  Insert chat_, message_, quote_, thumbnail_, member_, link_, vcard_;
};

int64_t MessagesPerChat(const AndroidSampleOptions& options, const WhatsAppStoreShape& shape) {
  if (shape.chats > 0) return shape.messages_per_chat < 1 ? 1 : shape.messages_per_chat;
  return static_cast<int64_t>(kKindCycleLength) * (options.scale < 1 ? 1 : options.scale) + 3;
}

bool WriteNewerLayout(Db& db, const AndroidSampleOptions& options,
                      const WhatsAppStoreShape& shape) {
  NewerLayoutStore store(db, options.schema_version);
  if (!store.CreateTables() || !store.Prepare()) return false;
  const std::vector<ChatSpec> chats = SampleChats(shape);
  const int64_t per_chat = MessagesPerChat(options, shape);
  // The newer copy learnt of the status feed first, so every jid it shares
  // with the older copy has a different row id there.
  if (!options.older_copy && store.AddJid("status", kBroadcastServer) < 0) return false;
  const int64_t owner_jid = store.AddJid("status_me", "");
  if (owner_jid < 0) return false;
  std::vector<int64_t> person_jids;
  for (const Person& person : People())
    person_jids.push_back(store.AddJid(person.number, kUserServer));

  MessageFactory factory(options.seed, shape);
  int64_t next_message_id = 2;  // _id 1 is the dummy row
  for (size_t c = 0; c < chats.size(); ++c) {
    const ChatSpec& chat = chats[c];
    if (chat.older_copy_only && !options.older_copy) continue;
    const bool known_person = chat.person >= 0 && chat.user == People()[chat.person].number;
    const int64_t chat_jid =
        known_person ? person_jids[chat.person] : store.AddJid(chat.user, chat.server);
    const int64_t chat_row_id = store.AddChat(chat_jid, chat, kFirstMessageMs + per_chat * 97000);
    if (chat_row_id < 0) return false;
    if (chat.server.empty()) continue;  // a chat row without "@": no messages
    for (int member : chat.members) store.AddMember(chat_jid, person_jids[member]);
    if (chat.IsGroup()) store.AddMember(chat_jid, owner_jid);
    factory.StartChat();
    for (int64_t index = 0; index < per_chat; ++index) {
      const Message message = factory.Make(chat, c, index);
      // Every copy numbers only the messages it holds, one after the other.
      if (!CopyHolds(chat, index, per_chat, options.older_copy)) continue;
      std::vector<int64_t> participants;
      for (int p : message.participants) participants.push_back(person_jids[p]);
      const int64_t sender =
          chat.IsGroup() && message.sender >= 0 ? person_jids[message.sender] : 0;
      const int64_t quoted_sender =
          message.quoted_from_me || !chat.IsGroup() ? 0 : person_jids[chat.members.front()];
      if (!store.AddMessage(next_message_id++, chat_row_id, message, sender, quoted_sender,
                            participants)) {
        return false;
      }
    }
  }
  return true;
}

bool WriteOlderLayout(Db& db, const AndroidSampleOptions& options,
                      const WhatsAppStoreShape& shape) {
  OlderLayoutStore store(db);
  if (!store.CreateTables() || !store.Prepare()) return false;
  const std::vector<ChatSpec> chats = SampleChats(shape);
  const int64_t per_chat = MessagesPerChat(options, shape);
  MessageFactory factory(options.seed, shape);
  int64_t next_message_id = 2;
  int64_t next_quote_id = 1;
  for (size_t c = 0; c < chats.size(); ++c) {
    const ChatSpec& chat = chats[c];
    if (chat.older_copy_only && !options.older_copy) continue;
    if (!store.AddChat(chat, kFirstMessageMs + per_chat * 97000)) return false;
    for (int member : chat.members) store.AddMember(chat.Jid(), PersonJid(member));
    if (chat.IsGroup()) store.AddMember(chat.Jid(), "");  // the owner
    factory.StartChat();
    for (int64_t index = 0; index < per_chat; ++index) {
      const Message message = factory.Make(chat, c, index);
      if (!CopyHolds(chat, index, per_chat, options.older_copy)) continue;
      const int64_t quote_id = message.is_reply ? next_quote_id++ : 0;
      if (!store.AddMessage(next_message_id++, quote_id, chat.Jid(), message)) return false;
    }
  }
  return true;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool WriteWhatsAppMessageStore(const std::string& path, const AndroidSampleOptions& options) {
  return WriteWhatsAppMessageStore(path, options, WhatsAppStoreShape());
}

bool WriteWhatsAppMessageStore(const std::string& path, const AndroidSampleOptions& options,
                               const WhatsAppStoreShape& shape) {
  Db db;
  if (!db.Open(path)) return false;
  db.Exec("PRAGMA journal_mode=DELETE");
  db.Exec("PRAGMA synchronous=OFF");
  if (!db.Exec("BEGIN")) return false;
  const bool written = options.schema_version == kWhatsAppOlderLayout
                           ? WriteOlderLayout(db, options, shape)
                           : WriteNewerLayout(db, options, shape);
  if (!written) {
    db.Exec("ROLLBACK");
    return false;
  }
  return db.Exec("COMMIT");
}

bool WriteWhatsAppContacts(const std::string& path, const AndroidSampleOptions& options) {
  Db db;
  if (!db.Open(path) || !db.Exec(kWhatsAppContactsTable) || !db.Exec("BEGIN")) return false;
  Insert contact(db,
                 "INSERT INTO wa_contacts (jid, is_whatsapp_user, status, status_timestamp, "
                 "number, raw_contact_id, display_name, given_name, family_name, wa_name) "
                 "VALUES (?,?,?,?,?,?,?,?,?,?)");
  if (!contact.ok()) return false;
  const std::vector<Person>& people = People();
  for (size_t i = 0; i < people.size(); ++i) {
    // The newer copy lost the last contact of the cast.
    if (!options.older_copy && i + 1 == people.size()) continue;
    const Person& person = people[i];
    contact.Text(1, PersonJid(static_cast<int>(i))).Int(2, 1).TextOrNull(3, person.status);
    contact.Int(4, kFirstMessageMs).Text(5, std::string("+") + person.number);
    contact.Int(6, static_cast<int64_t>(100 + i)).TextOrNull(7, person.name);
    contact.TextOrNull(8, person.name).Null(9).TextOrNull(10, person.name);
    if (!contact.Run()) return false;
  }
  // WhatsApp lists groups too; this one has no subject in the store.
  contact.Text(1, "120363025246125123@g.us").Int(2, 0).Null(3).Null(4).Null(5).Null(6);
  contact.Text(7, "Wanderfreunde ⛰️").Null(8).Null(9).Null(10);
  if (!contact.Run()) return false;
  return db.Exec("COMMIT");
}

std::string WhatsAppOwnNumberFileBytes(const std::string& country_code, const std::string& number) {
  // A serialised object header of 93 bytes, then the strings: each a
  // marker 't', a zero byte and a one-byte length.
  static const char kObjectHeader[] =
      "\xAC\xED\x00\x05sr\x00\x0F"
      "com.whatsapp.Me\x00\x00\x00\x00\x00\x00\x00\x01\x02\x00\x03L\x00\x02"
      "cct\x00\x12"
      "Ljava/lang/String;L\x00\x09jabber_idq\x00~\x00\x01L\x00\x06"
      "numberq\x00~\x00\x01xp";
  std::string bytes(kObjectHeader, sizeof(kObjectHeader) - 1);
  bytes.resize(93, '\0');
  for (const std::string* text : {&country_code, &number, &number}) {
    bytes += 't';
    bytes += '\0';
    bytes += static_cast<char>(text->size());
    bytes += *text;
  }
  return bytes;
}

bool WriteWhatsAppPrivateFiles(const std::string& root, const AndroidSampleOptions& options) {
  const std::filesystem::path folder =
      std::filesystem::u8path(root) / "apps" / "com.whatsapp" / "f";
  const std::filesystem::path avatars = folder / "Avatars";
  std::error_code error;
  std::filesystem::create_directories(avatars, error);
  if (error) return false;
  if (!WriteFile(folder / "me", WhatsAppOwnNumberFileBytes("49", kWhatsAppSampleOwnNumber))) {
    return false;
  }
  const std::vector<Person>& people = People();
  for (size_t i = 0; i < people.size(); i += 2) {
    const std::string name = PersonJid(static_cast<int>(i)) + ".j";
    if (!WriteFile(avatars / name, Picture(static_cast<int>(i + options.seed)))) return false;
  }
  return WriteFile(avatars / "491701234567-1602590000@g.us.j", Picture(99));
}

const char* WhatsAppNewerLayoutMessageQuery() { return kAllMessagesQuery; }

}  // namespace kx::samples
