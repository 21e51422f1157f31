#include "samples/ios_messages.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/ios_address_book.h"
#include "samples/ios_sample_text.h"
#include "samples/sample_random.h"

namespace kx::samples {

namespace {

// ---------------------------------------------------------------------------
// The typedstream writer. The archiver keeps two tables: strings (class
// names and type encodings) and objects (objects and classes); the first
// use of an entry writes it after the tag 0x84, later uses write its index
// plus 0x92.

constexpr char kNewTag = '\x84';
constexpr char kNilTag = '\x85';
constexpr char kEndTag = '\x86';
constexpr int kFirstReference = 0x92;

struct ArchivedClass {
  const char* name;
  int version;
};

class TypedStreamWriter {
 public:
  TypedStreamWriter() { out_ = std::string("\x04\x0bstreamtyped\x81\xe8\x03", 16); }

  // An integer: one byte from -0x80 to 0x7f outside the tags, else 0x81
  // and 16 bits or 0x82 and 32 bits, little-endian.
  void Integer(int64_t value) {
    if (value >= -0x6e && value < 0x80) {
      out_ += static_cast<char>(value);
      return;
    }
    const bool narrow = value >= -0x8000 && value <= 0x7fff;
    out_ += narrow ? '\x81' : '\x82';
    for (int i = 0; i < (narrow ? 2 : 4); ++i) out_ += static_cast<char>(value >> (8 * i));
  }

  void SharedString(const std::string& text) {
    for (size_t i = 0; i < strings_.size(); ++i) {
      if (strings_[i] == text) {
        out_ += static_cast<char>(kFirstReference + i);
        return;
      }
    }
    strings_.push_back(text);
    out_ += kNewTag;
    Integer(static_cast<int64_t>(text.size()));
    out_ += text;
  }

  // A new object of the class chain (most derived first); returns its
  // index for later references.
  int BeginObject(const std::vector<ArchivedClass>& chain) {
    out_ += kNewTag;
    const int index = objects_++;
    for (const ArchivedClass& archived : chain) {
      const auto known = classes_.find(archived.name);
      if (known != classes_.end()) {
        out_ += static_cast<char>(kFirstReference + known->second);
        return index;
      }
      out_ += kNewTag;
      SharedString(archived.name);
      Integer(archived.version);
      classes_[archived.name] = objects_++;
    }
    out_ += kNilTag;
    return index;
  }

  void EndObject() { out_ += kEndTag; }
  void ObjectReference(int index) { out_ += static_cast<char>(kFirstReference + index); }

  // An NSString (or NSMutableString) object: the type "+" and the counted
  // UTF-8 bytes.
  int String(const std::string& text, bool mutable_string) {
    SharedString("@");
    const int index = mutable_string
                          ? BeginObject({{"NSMutableString", 1}, {"NSString", 1}, {"NSObject", 0}})
                          : BeginObject({{"NSString", 1}, {"NSObject", 0}});
    SharedString("+");
    Integer(static_cast<int64_t>(text.size()));
    out_ += text;
    EndObject();
    return index;
  }

  // An NSNumber holding a C int, as the phone archives part numbers.
  int Number(int value) {
    SharedString("@");
    const int index = BeginObject({{"NSNumber", 0}, {"NSValue", 0}, {"NSObject", 0}});
    SharedString("*");
    out_ += kNewTag;
    SharedString("i");
    SharedString("i");
    Integer(value);
    EndObject();
    return index;
  }

  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
  std::vector<std::string> strings_;
  std::map<std::string, int> classes_;
  int objects_ = 0;
};

// UTF-16 code units of UTF-8 bytes: the unit of NSString lengths.
int64_t Utf16Length(const std::string& text, size_t begin, size_t end) {
  int64_t units = 0;
  for (size_t i = begin; i < end && i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

// One run of equal attributes: its end byte, part number and the
// attributes that cover it.
struct Run {
  size_t end;
  int part;
  std::vector<const IosTextAttribute*> attributes;
};

std::vector<Run> SplitRuns(const std::string& text,
                           const std::vector<IosTextAttribute>& attributes) {
  std::vector<size_t> cuts = {text.size()};
  for (const IosTextAttribute& attribute : attributes) {
    cuts.push_back(attribute.begin);
    cuts.push_back(attribute.end);
  }
  std::vector<Run> runs;
  size_t begin = 0;
  int part = 0;
  while (begin < text.size()) {
    size_t end = text.size();
    for (const size_t cut : cuts) {
      if (cut > begin && cut < end) end = cut;
    }
    Run run{end, part, {}};
    for (const IosTextAttribute& attribute : attributes) {
      if (attribute.begin <= begin && attribute.end >= end) run.attributes.push_back(&attribute);
    }
    // The text after an attachment's mark is the message's next part.
    for (const IosTextAttribute* attribute : run.attributes) {
      if (attribute->key == kIosFileTransferAttribute) ++part;
    }
    runs.push_back(std::move(run));
    begin = end;
  }
  return runs;
}

// ---------------------------------------------------------------------------
// The sample conversations.

constexpr char kOwnerPhone[] = "+15550100001";
constexpr char kOwnerEmail[] = "zoe.owner@icloud.com";
constexpr char kIMessage[] = "iMessage";
constexpr char kSms[] = "SMS";

struct Handle {
  std::string id;
  const char* service;
  const char* country;
};

struct Chat {
  int64_t rowid;
  std::string identifier;
  const char* service;
  std::string room_name;     // "" for one-to-one chats
  std::string display_name;  // groups only
  std::vector<int64_t> handles;
  bool older_only = false;  // the phone has deleted it since
};

struct Cast {
  std::vector<Handle> handles;  // ROWID = index + 1
  std::vector<Chat> chats;
};

// Handles the samples share with the sample address book (José, Mia, Big
// Mike), so that the packagers find names for them.
Cast SampleCast() {
  Cast cast;
  cast.handles = {
      {"+15550104477", kIMessage, "us"},         // 1 José
      {"+15550104477", kSms, "us"},              // 2 José, by SMS
      {"mia.chen@icloud.com", kIMessage, "us"},  // 3
      {"+15550132299", kIMessage, "us"},         // 4 Mia's phone
      {"+442079460958", kSms, "gb"},             // 5
      {"+8613800138000", kIMessage, "cn"},       // 6
      {"+972541234567", kIMessage, "il"},        // 7
      {"jose.nunez@me.com", kIMessage, "us"},    // 8
      {"72975", kSms, "us"},                     // 9 a short code
      {"+4915123456789", kSms, "de"},            // 10
      {"+15550132200", kSms, "us"},              // 11 Big Mike: in no chat
      {"+33612345678", kSms, "fr"},              // 12 his chat was deleted
  };
  cast.chats = {
      {1, "+15550104477", kIMessage, "", "", {1}},
      {2, "+15550104477", kSms, "", "", {2}},
      {3, "mia.chen@icloud.com", kIMessage, "", "", {3}},
      {4,
       "chat874512036985214703",
       kIMessage,
       "chat874512036985214703",
       "Family \xf0\x9f\x8f\xa1",
       {1, 3, 7}},
      {5, "chat360214785901236547", kIMessage, "chat360214785901236547", "", {4, 6, 8}},
      {6, "+442079460958", kSms, "", "", {5}},
      {7, "+8613800138000", kIMessage, "", "", {6}},
      {8, "72975", kSms, "", "", {9}},
      {9, "+4915123456789", kSms, "", "", {10}},
      {10, "+33612345678", kSms, "", "", {12}, true},
  };
  return cast;
}

// `chats` conversations of generated people: one handle per one-to-one
// chat; every tenth chat a group of the three people before it.
Cast GeneratedCast(int chats) {
  Cast cast;
  for (int i = 0; i < chats; ++i) {
    const auto rowid = static_cast<int64_t>(i + 1);
    if (i % 10 == 9) {
      const std::string room = "chat" + std::to_string(100000000000000000LL + i);
      cast.chats.push_back({rowid,
                            room,
                            kIMessage,
                            room,
                            i % 20 == 9 ? "Group " + std::to_string(i) : std::string(),
                            {static_cast<int64_t>(cast.handles.size()) - 2,
                             static_cast<int64_t>(cast.handles.size()) - 1,
                             static_cast<int64_t>(cast.handles.size())}});
      continue;
    }
    const bool email = i % 7 == 3;
    const std::string id = email ? "person" + std::to_string(i) + "@example.org"
                                 : "+1555" + std::to_string(2000000 + i);
    const char* service = email || i % 3 != 0 ? kIMessage : kSms;
    cast.handles.push_back({id, service, "us"});
    cast.chats.push_back({rowid, id, service, "", "", {static_cast<int64_t>(cast.handles.size())}});
  }
  if (cast.handles.empty()) cast.handles.push_back({"+15552000000", kSms, "us"});
  return cast;
}

const std::vector<const char*>& SampleTexts() {
  static const std::vector<const char*> texts = {
      "On my way 🚗",
      "Ça va ? On se voit à 18h devant le café.",
      "¿Dónde estás? Te espero en la estación.",
      "שלום, מה שלומך?",
      "مرحبا، كيف حالك؟",
      "Don't forget the \"keys\" — they're under the mat",
      "Grüße aus München 🍺",
      "明日の会議は10時からです。",
      "Привет! Как дела?",
      "你好，晚上见！",
      "नमस्ते 🙏",
      "Line one\nLine two\n\tindented line three",
      "ok",
      "👍",
      "👨‍👩‍👧 see you all at dinner",
      "Your code is 482913. Do not share it.",
      "Back-slash \\ and a tab\tinside",
  };
  return texts;
}

// The kinds of attachment the phone stores, with the bytes of a small
// real file of each.
struct AttachmentKind {
  const char* transfer_name;
  const char* mime_type;  // null: the column is NULL (voice messages)
  const char* uti;
};

constexpr AttachmentKind kJpeg = {"IMG_0001.jpeg", "image/jpeg", "public.jpeg"};
constexpr AttachmentKind kHeic = {"IMG_0002.HEIC", "image/heic", "public.heic"};
constexpr AttachmentKind kMovie = {"IMG_0003.MOV", "video/quicktime", "com.apple.quicktime-movie"};
constexpr AttachmentKind kVoice = {"Audio Message.caf", nullptr, "com.apple.coreaudio-format"};
constexpr AttachmentKind kVcard = {
    "Ana Garc\xc3\xad"
    "a.vcf",
    "text/vcard", "public.vcard"};
constexpr AttachmentKind kLocation = {"CL.loc.vcf", "text/x-vlocation", "public.vlocation"};
constexpr AttachmentKind kPdf = {"Boarding pass.pdf", "application/pdf", "com.adobe.pdf"};
constexpr const AttachmentKind* kAttachmentKinds[] = {&kJpeg,  &kHeic,     &kMovie, &kVoice,
                                                      &kVcard, &kLocation, &kPdf};

std::string AttachmentBytes(const AttachmentKind& kind) {
  if (&kind == &kJpeg) return TinyJpeg();
  if (&kind == &kHeic)
    return std::string(
        "\0\0\0\x18"
        "ftypheic\0\0\0\0mif1heic",
        24);
  if (&kind == &kMovie)
    return std::string(
        "\0\0\0\x14"
        "ftypqt  \0\0\0\0qt  \0\0\0\x08"
        "free",
        28);
  if (&kind == &kVoice) {
    // The CAF file header and its audio description chunk: AMR at 8 kHz,
    // 160 frames a packet, one channel.
    static const unsigned char kCaf[] = {
        'c', 'a', 'f',  'f',  0,    1, 0, 0,   'd', 'e', 's', 'c', 0,   0,   0, 0, 0, 0,
        0,   32,  0x40, 0xbf, 0x40, 0, 0, 0,   0,   0,   's', 'a', 'm', 'r', 0, 0, 0, 0,
        0,   0,   0,    0,    0,    0, 0, 160, 0,   0,   0,   1,   0,   0,   0, 0};
    return std::string(reinterpret_cast<const char*>(kCaf), sizeof(kCaf));
  }
  if (&kind == &kVcard) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Garc\xc3\xad"
           "a;Ana;;;\r\nFN:Ana Garc\xc3\xad"
           "a\r\n"
           "TEL;type=CELL:+34 612 345 678\r\nEND:VCARD\r\n";
  }
  if (&kind == &kLocation) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.3.1//EN\r\n"
           "N:;Current Location;;;\r\nFN:Current Location\r\n"
           "item1.URL;type=pref:http://maps.apple.com/?ll=48.858370\\,2.294481&q=48.858370"
           "\\,2.294481\r\nitem1.X-ABLabel:map url\r\nEND:VCARD\r\n";
  }
  return "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[]"
         "/Count 0>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n";
}

// What one message is; drawn from the message's own seed, so that every
// copy and every version gives it the same values.
struct Message {
  int64_t rowid = 0;
  std::string guid;
  const Chat* chat = nullptr;  // null: in no chat
  std::string cache_roomnames;
  int64_t handle = 0;
  bool from_me = false;
  std::string text;  // empty: NULL
  std::vector<IosTextAttribute> attributes;
  bool mutable_string = true;
  int64_t seconds = 0;  // since 2001
  int64_t nanoseconds = 0;
  const AttachmentKind* attachment = nullptr;
  int64_t attachment_rowid = 0;
  std::string attachment_guid;
  std::string attachment_folder;    // "c9/12"
  bool attachment_pending = false;  // not downloaded: a bare file name
  int item_type = 0;
  int64_t other_handle = 0;
  std::string group_title;
  bool audio = false;
  bool edited = false;
  bool retracted = false;
  bool has_dd_results = false;
  std::string subject;
};

// Where an attachment shows in a message's text: U+FFFC.
const std::string kAttachmentMark = "\xef\xbf\xbc";

// Names the attachment of `message` and marks it in the attributed text.
void AddAttachment(Message* message, int64_t rowid, SampleRandom& random) {
  message->attachment_rowid = rowid;
  message->attachment_guid = UpperUuid(random);
  // The phone spreads attachments over folders named by two hex digits
  // and two decimal ones.
  message->attachment_folder = random.Hex(2) + "/" + std::to_string(10 + random.Below(6));
  if (message->text.rfind(kAttachmentMark, 0) == 0) {
    message->attributes.push_back(
        {0, kAttachmentMark.size(), kIosFileTransferAttribute, message->attachment_guid});
  }
}

// 2022-06-01 00:00:00 UTC in seconds since 2001.
constexpr int64_t kFirstMessageDate = 675734400;
constexpr int kDeletedEvery = 11;
constexpr int kDeletedRemainder = 5;

const Chat* FindChat(const Cast& cast, int64_t rowid) {
  for (const Chat& chat : cast.chats) {
    if (chat.rowid == rowid) return &chat;
  }
  return nullptr;
}

void SetText(Message* message, const std::string& text) {
  message->text = text;
  message->attributes.clear();
}

// The hand-made messages the sample conversations begin with: every case
// the packager tells apart.
std::vector<Message> SpecialMessages(const Cast& cast) {
  std::vector<Message> specials;
  specials.reserve(32);  // the pointers add() hands out stay valid
  auto add = [&](int64_t chat, int64_t handle, bool from_me, const std::string& text) {
    Message message;
    message.chat = FindChat(cast, chat);
    message.handle = handle;
    message.from_me = from_me;
    SetText(&message, text);
    specials.push_back(message);
    return &specials.back();
  };
  const std::string mark = kAttachmentMark;
  Message* picture = add(1, 1, false, mark + "\nLook at this \xf0\x9f\x93\xb7");
  picture->attachment = &kJpeg;
  add(2, 2, true, "On my way \xf0\x9f\x9a\x97 (SMS, no data here)");
  Message* voice = add(1, 1, false, mark);
  voice->attachment = &kVoice;
  voice->audio = true;
  Message* renamed = add(4, 1, false, "");
  renamed->item_type = 2;
  renamed->group_title = "Family \xf0\x9f\x8f\xa1";
  Message* joined = add(4, 1, false, "");
  joined->item_type = 1;
  joined->other_handle = 7;
  Message* mention = add(4, 0, true, "Mia are you coming on Sunday?");
  mention->attributes.push_back({0, 3, kIosMentionAttribute, "mia.chen@icloud.com"});
  Message* link = add(5, 4, false, "Tickets: https://example.com/t?id=42&seat=7 \xf0\x9f\x8e\x9f");
  link->attributes.push_back({9, 43, kIosLinkAttribute, "https://example.com/t?id=42&seat=7"});
  link->has_dd_results = true;
  add(5, 6, false, "\xe5\xa5\xbd\xe7\x9a\x84\xef\xbc\x8c\xe5\x91\xa8\xe6\x97\xa5\xe8\xa7\x81");
  add(3, 3, false, mark)->attachment = &kVcard;
  add(7, 6, true, mark)->attachment = &kLocation;
  add(6, 5, false, mark + "\nHoliday video")->attachment = &kMovie;
  add(9, 10, false, mark)->attachment = &kPdf;
  Message* pending = add(3, 3, false, mark);
  pending->attachment = &kHeic;
  pending->attachment_pending = true;
  add(8, 9, false, "Your verification code is 482913. Do not share it with anyone.");
  // Messages in no chat: of a group whose chat row is gone (the phone's
  // cache of the room names still names it), of a number in no chat, and
  // of a number whose chat exists.
  Message* orphan = add(0, 4, false, "Who is bringing the cake? \xf0\x9f\x8e\x82");
  orphan->cache_roomnames = "chat555666777888999000";
  add(0, 8, false, "Me!")->cache_roomnames = "chat555666777888999000";
  add(0, 11, false, "Your car is ready for pick-up. \xe2\x80\x94 Mike's Garage");
  add(0, 5, false, "Sorry, wrong number");
  return specials;
}

// The chats the phone still has: the ones it has deleted since close the
// list, and got their messages before the drawn ones.
int64_t LiveChats(const Cast& cast) {
  int64_t live = 0;
  for (const Chat& chat : cast.chats) live += chat.older_only ? 0 : 1;
  return live;
}

Message DrawMessage(const Cast& cast, int64_t live_chats, int64_t index, SampleRandom& random) {
  Message message;
  const Chat& chat = cast.chats[random.Below(live_chats)];
  message.chat = &chat;
  message.from_me = random.Below(100) < 45;
  if (!message.from_me) message.handle = chat.handles[random.Below(chat.handles.size())];
  if (!chat.room_name.empty()) message.cache_roomnames = chat.room_name;
  const std::vector<const char*>& texts = SampleTexts();
  SetText(&message, texts[random.Below(static_cast<int64_t>(texts.size()))]);
  message.mutable_string = random.Below(3) != 0;
  message.has_dd_results = random.Below(20) == 0;
  message.edited = index % 37 == 11;
  message.retracted = index % 53 == 17;
  if (message.retracted) SetText(&message, "");
  return message;
}

// ---------------------------------------------------------------------------
// Writing.

std::string MessageColumns(int version) {
  std::string columns =
      "ROWID,guid,text,handle_id,subject,attributedBody,service,account,account_guid,error,date,"
      "date_read,date_delivered,is_delivered,is_finished,is_from_me,is_read,is_sent,"
      "has_dd_results,cache_has_attachments,cache_roomnames,is_audio_message,item_type,"
      "other_handle,group_title,group_action_type,country";
  if (version >= 2) columns += ",destination_caller_id";
  if (version >= 3) columns += ",date_edited,date_retracted,part_count";
  return columns;
}

std::string InsertSql(const std::string& table, const std::string& columns) {
  std::string sql = "INSERT INTO " + table + " (" + columns + ") VALUES (?";
  for (const char c : columns) {
    if (c == ',') sql += ",?";
  }
  return sql + ")";
}

std::string AttachmentColumns(int version) {
  std::string columns =
      "ROWID,guid,created_date,start_date,filename,uti,mime_type,transfer_state,is_outgoing,"
      "transfer_name,total_bytes";
  if (version >= 2) columns += ",is_sticker,hide_attachment,original_guid";
  return columns;
}

void BindTextOrNull(SampleStatement& insert, int index, const std::string& text) {
  if (text.empty()) {
    insert.BindNull(index);
  } else {
    insert.BindText(index, text);
  }
}

class StoreWriter {
 public:
  StoreWriter(SampleDatabase& db, const Cast& cast, int version, const IosMessagesShape& shape,
              std::vector<IosAttachmentFile>* files)
      : cast_(cast),
        version_(version),
        shape_(shape),
        files_(files),
        message_(db.handle(), InsertSql("message", MessageColumns(version)).c_str()),
        attachment_(db.handle(), InsertSql("attachment", AttachmentColumns(version)).c_str()),
        message_attachment_(db.handle(), "INSERT INTO message_attachment_join VALUES (?,?)"),
        chat_message_(db.handle(), version >= 2 ? "INSERT INTO chat_message_join VALUES (?,?,?)"
                                                : "INSERT INTO chat_message_join VALUES (?,?)"),
        recoverable_(db.handle(), version >= 3 ? "INSERT INTO chat_recoverable_message_join "
                                                 "(chat_id,message_id,delete_date) VALUES (?,?,?)"
                                               : "SELECT 1") {}

  bool ready() const {
    return message_.prepared() && attachment_.prepared() && message_attachment_.prepared() &&
           chat_message_.prepared() && recoverable_.prepared();
  }

  // `in_chat`: joined to its chat; `recoverable`: recently deleted.
  bool Write(const Message& message, bool in_chat, bool recoverable) {
    if (version_ >= 3 && !message.text.empty() && message.item_type == 0 &&
        static_cast<int>(SplitMix64(static_cast<uint64_t>(message.rowid)) % 1000) <
            shape_.body_only_per_mille) {
      body_only_ = true;
    } else {
      body_only_ = false;
    }
    if (!WriteMessage(message)) return false;
    if (message.chat != nullptr && in_chat && !Join(message)) return false;
    if (message.chat != nullptr && recoverable && !Recoverable(message)) return false;
    return message.attachment == nullptr || WriteAttachment(message);
  }

 private:
  std::string Account(const Message& message) const {
    return Service(message) == std::string(kSms) ? std::string("P:") + kOwnerPhone
                                                 : std::string("E:") + kOwnerEmail;
  }

  // A message in no chat goes by its sender's service.
  const char* Service(const Message& message) const {
    if (message.chat != nullptr) return message.chat->service;
    const auto handle = static_cast<size_t>(message.handle);
    return handle >= 1 && handle <= cast_.handles.size() ? cast_.handles[handle - 1].service
                                                         : kIMessage;
  }

  // The phone names the other side of a one-to-one chat in handle_id of
  // the messages it sends there too; in groups its own messages name none.
  static int64_t HandleId(const Message& message) {
    if (!message.from_me) return message.handle;
    const Chat* chat = message.chat;
    return chat != nullptr && chat->room_name.empty() ? chat->handles.front() : 0;
  }

  int64_t Date(const Message& message, int64_t seconds) const {
    return version_ >= 2 ? seconds * 1000000000LL + message.nanoseconds : seconds;
  }

  bool WriteMessage(const Message& message) {
    SampleStatement& insert = message_;
    insert.BindInt64(1, message.rowid);
    insert.BindText(2, message.guid);
    BindTextOrNull(insert, 3, body_only_ ? std::string() : message.text);
    insert.BindInt64(4, HandleId(message));
    BindTextOrNull(insert, 5, message.subject);
    if (message.text.empty() || (version_ == 1 && Service(message) == std::string(kSms))) {
      insert.BindNull(6);
    } else {
      insert.BindBlob(6,
                      IosAttributedBody(message.text, message.attributes, message.mutable_string));
    }
    insert.BindText(7, Service(message));
    insert.BindText(8, Account(message));
    insert.BindText(9, "7A3F1C2E-5B4D-4E6F-8A9B-0C1D2E3F4A5B");
    insert.BindInt(10, 0);
    insert.BindInt64(11, Date(message, message.seconds));
    const int64_t read = message.from_me ? 0 : Date(message, message.seconds + 40);
    insert.BindInt64(12, read);
    insert.BindInt64(13, message.from_me ? Date(message, message.seconds + 2) : 0);
    insert.BindInt(14, message.from_me ? 1 : 0);
    insert.BindInt(15, 1);
    insert.BindInt(16, message.from_me ? 1 : 0);
    insert.BindInt(17, message.from_me ? 0 : 1);
    insert.BindInt(18, message.from_me ? 1 : 0);
    insert.BindInt(19, message.has_dd_results ? 1 : 0);
    insert.BindInt(20, message.attachment != nullptr ? 1 : 0);
    BindTextOrNull(insert, 21, message.cache_roomnames);
    insert.BindInt(22, message.audio ? 1 : 0);
    insert.BindInt(23, message.item_type);
    insert.BindInt64(24, message.other_handle);
    BindTextOrNull(insert, 25, message.group_title);
    insert.BindInt(26, 0);
    insert.BindText(27, "us");
    int next = 28;
    if (version_ >= 2) {
      insert.BindText(next++, Account(message).substr(2));
    }
    if (version_ >= 3) {
      insert.BindInt64(next++, message.edited ? Date(message, message.seconds + 90) : 0);
      insert.BindInt64(next++, message.retracted ? Date(message, message.seconds + 60) : 0);
      insert.BindInt(next++, message.attachment != nullptr && message.text.size() > 4 ? 2 : 1);
    }
    const bool done = insert.Step() == SQLITE_DONE;
    insert.Reset();
    return done;
  }

  bool Join(const Message& message) {
    chat_message_.BindInt64(1, message.chat->rowid);
    chat_message_.BindInt64(2, message.rowid);
    if (version_ >= 2) chat_message_.BindInt64(3, Date(message, message.seconds));
    const bool done = chat_message_.Step() == SQLITE_DONE;
    chat_message_.Reset();
    return done;
  }

  bool Recoverable(const Message& message) {
    if (version_ < 3) return true;
    recoverable_.BindInt64(1, message.chat->rowid);
    recoverable_.BindInt64(2, message.rowid);
    recoverable_.BindInt64(3, Date(message, message.seconds + 86400));
    const bool done = recoverable_.Step() == SQLITE_DONE;
    recoverable_.Reset();
    return done;
  }

  bool WriteAttachment(const Message& message) {
    const AttachmentKind& kind = *message.attachment;
    const std::string& guid = message.attachment_guid;
    const std::string& folder = message.attachment_folder;
    const std::string relative =
        "Library/SMS/Attachments/" + folder + "/" + guid + "/" + kind.transfer_name;
    const std::string bytes = AttachmentBytes(kind);
    SampleStatement& insert = attachment_;
    insert.BindInt64(1, message.attachment_rowid);
    insert.BindText(2, guid);
    insert.BindInt64(3, message.seconds);
    insert.BindInt64(4, message.seconds);
    insert.BindText(5, message.attachment_pending ? kind.transfer_name : "~/" + relative);
    insert.BindText(6, kind.uti);
    if (kind.mime_type == nullptr) {
      insert.BindNull(7);
    } else {
      insert.BindText(7, kind.mime_type);
    }
    insert.BindInt(8, message.attachment_pending ? 0 : 5);
    insert.BindInt(9, message.from_me ? 1 : 0);
    insert.BindText(10, kind.transfer_name);
    insert.BindInt64(11, static_cast<int64_t>(bytes.size()));
    if (version_ >= 2) {
      insert.BindInt(12, 0);
      insert.BindInt(13, 0);
      insert.BindText(14, guid);
    }
    const bool inserted = insert.Step() == SQLITE_DONE;
    insert.Reset();
    message_attachment_.BindInt64(1, message.rowid);
    message_attachment_.BindInt64(2, message.attachment_rowid);
    const bool joined = message_attachment_.Step() == SQLITE_DONE;
    message_attachment_.Reset();
    if (files_ != nullptr && !message.attachment_pending) files_->push_back({relative, bytes});
    return inserted && joined;
  }

  const Cast& cast_;
  int version_;
  IosMessagesShape shape_;
  std::vector<IosAttachmentFile>* files_;
  SampleStatement message_;
  SampleStatement attachment_;
  SampleStatement message_attachment_;
  SampleStatement chat_message_;
  SampleStatement recoverable_;
  bool body_only_ = false;
};

bool WriteHandles(SampleDatabase& db, const Cast& cast) {
  SampleStatement insert(db.handle(),
                         "INSERT INTO handle (ROWID,id,country,service,uncanonicalized_id) VALUES "
                         "(?,?,?,?,NULL)");
  if (!insert.prepared()) return false;
  for (size_t i = 0; i < cast.handles.size(); ++i) {
    insert.BindInt64(1, static_cast<int64_t>(i) + 1);
    insert.BindText(2, cast.handles[i].id);
    insert.BindText(3, cast.handles[i].country);
    insert.BindText(4, cast.handles[i].service);
    if (insert.Step() != SQLITE_DONE) return false;
    insert.Reset();
  }
  return true;
}

bool WriteChats(SampleDatabase& db, const Cast& cast, bool older_copy) {
  SampleStatement chat(db.handle(),
                       "INSERT INTO chat (ROWID,guid,style,state,account_id,chat_identifier,"
                       "service_name,room_name,account_login,display_name,group_id,is_archived) "
                       "VALUES (?,?,?,3,?,?,?,?,?,?,?,0)");
  SampleStatement member(db.handle(), "INSERT INTO chat_handle_join VALUES (?,?)");
  if (!chat.prepared() || !member.prepared()) return false;
  for (const Chat& entry : cast.chats) {
    if (entry.older_only && !older_copy) continue;
    const bool group = !entry.room_name.empty();
    const bool sms = entry.service == std::string(kSms);
    chat.BindInt64(1, entry.rowid);
    chat.BindText(2, std::string(entry.service) + (group ? ";+;" : ";-;") + entry.identifier);
    chat.BindInt(3, group ? 43 : 45);
    chat.BindText(
        4, sms ? "1D3C5B7A-9E8F-4A6B-8C2D-3E4F5A6B7C8D" : "7A3F1C2E-5B4D-4E6F-8A9B-0C1D2E3F4A5B");
    chat.BindText(5, entry.identifier);
    chat.BindText(6, entry.service);
    BindTextOrNull(chat, 7, entry.room_name);
    chat.BindText(8, sms ? std::string("P:") + kOwnerPhone : std::string("E:") + kOwnerEmail);
    if (group) {
      chat.BindText(9, entry.display_name);
    } else {
      chat.BindNull(9);
    }
    chat.BindText(10, "3B8E2F1A-" + std::to_string(1000 + entry.rowid) + "-4C6D-9E0F-1A2B3C4D5E6F");
    if (chat.Step() != SQLITE_DONE) return false;
    chat.Reset();
    for (const int64_t handle : entry.handles) {
      member.BindInt64(1, entry.rowid);
      member.BindInt64(2, handle);
      if (member.Step() != SQLITE_DONE) return false;
      member.Reset();
    }
  }
  return true;
}

bool WriteProperties(SampleDatabase& db, int version) {
  const char* sql = version == 1   ? "INSERT INTO _SqliteDatabaseProperties VALUES "
                                     "('_ClientVersion','10013');"
                    : version == 2 ? "INSERT INTO _SqliteDatabaseProperties VALUES "
                                     "('_ClientVersion','12004');"
                                   : "INSERT INTO _SqliteDatabaseProperties VALUES "
                                     "('_ClientVersion','17100');";
  return db.Exec(sql);
}

// Which copies hold regular message `index` of `count`, and how the newer
// one holds it.
enum class Held { kNo, kYes, kRecoverable };

Held CopyHolds(int64_t index, int64_t count, bool older_copy, int version) {
  if (older_copy) return index < count * 4 / 5 ? Held::kYes : Held::kNo;
  if (index % kDeletedEvery != kDeletedRemainder) return Held::kYes;
  // The newest stores keep a deleted message for a month, out of its chat.
  if (version >= 3 && index % (2 * kDeletedEvery) == kDeletedRemainder) return Held::kRecoverable;
  return Held::kNo;
}

bool WriteMessages(SampleDatabase& db, const Cast& cast, int version,
                   const IosSampleOptions& options, const IosMessagesShape& shape,
                   std::vector<IosAttachmentFile>* files) {
  StoreWriter writer(db, cast, version, shape, files);
  if (!writer.ready()) return false;
  const bool sample = shape.chats <= 0;
  const int scale = options.scale < 1 ? 1 : options.scale;
  const int64_t regular = sample ? static_cast<int64_t>(kIosMessagesPerScale) * scale
                                 : (shape.messages > 0 ? shape.messages : 1);
  std::vector<Message> specials = sample ? SpecialMessages(cast) : std::vector<Message>();
  const auto special_count = static_cast<int64_t>(specials.size());
  const int64_t live_chats = LiveChats(cast);
  SampleRandom random(options.seed);
  int64_t seconds = kFirstMessageDate;
  int64_t attachment_rowid = 0;
  // Every copy draws the same stream: a message has the same values and
  // ROWID in each.
  for (int64_t index = 0; index < special_count + regular; ++index) {
    seconds += sample ? 60 + random.Below(5 * 3600) : 5 + random.Below(60);
    const uint64_t message_seed = random.Next();
    SampleRandom draw(message_seed);
    Message message = index < special_count ? specials[static_cast<size_t>(index)]
                                            : DrawMessage(cast, live_chats, index, draw);
    if (index >= special_count && !message.retracted &&
        draw.Below(1000) < shape.attachment_per_mille) {
      message.attachment = kAttachmentKinds[draw.Below(7)];
      message.audio = message.attachment == &kVoice;
      // The attachment shows where the text has its mark; some carry a
      // caption after it.
      SetText(&message, draw.Below(10) < 3 ? kAttachmentMark + message.text : kAttachmentMark);
    }
    message.rowid = index + 1;
    message.guid = UpperUuid(draw);
    message.seconds = seconds;
    message.nanoseconds = draw.Below(1000000000);
    if (message.attachment != nullptr) AddAttachment(&message, ++attachment_rowid, draw);
    const Held held = index < special_count
                          ? Held::kYes
                          : CopyHolds(index - special_count, regular, options.older_copy, version);
    if (held == Held::kNo) continue;
    // The one recently deleted message still in its chat: the phone moves
    // it out of chat_message_join a moment later.
    const bool recoverable = held == Held::kRecoverable;
    const bool in_chat = !recoverable || index - special_count == kDeletedRemainder;
    if (!writer.Write(message, in_chat, recoverable)) return false;
  }
  if (!sample || !options.older_copy) return true;
  // The chat the phone deleted since, only in the older copy.
  const Chat* deleted = nullptr;
  for (const Chat& chat : cast.chats) {
    if (chat.older_only) deleted = &chat;
  }
  for (int i = 0; i < 3 && deleted != nullptr; ++i) {
    SampleRandom draw(options.seed + 104729u * static_cast<uint32_t>(i + 1));
    Message message;
    message.chat = deleted;
    message.from_me = i == 1;
    message.handle = deleted->handles.front();
    SetText(&message, i == 0   ? "Bonjour ! Tu es libre samedi ?"
                      : i == 1 ? "Oui \xf0\x9f\x98\x8a"
                               : "Parfait, \xc3\xa0 "
                                 "samedi");
    message.rowid = special_count + regular + 1 + i;
    message.guid = UpperUuid(draw);
    message.seconds = kFirstMessageDate - 86400 * (3 - i);
    message.nanoseconds = draw.Below(1000000000);
    if (!writer.Write(message, true, false)) return false;
  }
  return true;
}

}  // namespace

std::string IosAttributedBody(const std::string& text,
                              const std::vector<IosTextAttribute>& attributes,
                              bool mutable_string) {
  TypedStreamWriter writer;
  writer.SharedString("@");
  if (mutable_string) {
    writer.BeginObject(
        {{"NSMutableAttributedString", 0}, {"NSAttributedString", 0}, {"NSObject", 0}});
  } else {
    writer.BeginObject({{"NSAttributedString", 0}, {"NSObject", 0}});
  }
  writer.String(text, mutable_string);
  // Each run: its dictionary's number and its length in UTF-16 units, then
  // the dictionary, written once and referred to by later runs.
  std::map<std::string, std::pair<int, int>> dictionaries;  // contents: number, object
  std::map<int, int> numbers;                               // part: object
  size_t begin = 0;
  for (const Run& run : SplitRuns(text, attributes)) {
    std::string contents = std::to_string(run.part);
    for (const IosTextAttribute* attribute : run.attributes) {
      contents += '\x1f' + attribute->key + '\x1f' + attribute->value;
    }
    const auto known = dictionaries.find(contents);
    const int number = known != dictionaries.end() ? known->second.first
                                                   : static_cast<int>(dictionaries.size()) + 1;
    writer.SharedString("iI");
    writer.Integer(number);
    writer.Integer(Utf16Length(text, begin, run.end));
    begin = run.end;
    writer.SharedString("@");
    if (known != dictionaries.end()) {
      writer.ObjectReference(known->second.second);
      continue;
    }
    const int dictionary = writer.BeginObject({{"NSDictionary", 0}, {"NSObject", 0}});
    dictionaries[contents] = {number, dictionary};
    writer.SharedString("i");
    writer.Integer(static_cast<int64_t>(run.attributes.size()) + 1);
    writer.String("__kIMMessagePartAttributeName", false);
    const auto part = numbers.find(run.part);
    if (part != numbers.end()) {
      writer.SharedString("@");
      writer.ObjectReference(part->second);
    } else {
      numbers[run.part] = writer.Number(run.part);
    }
    for (const IosTextAttribute* attribute : run.attributes) {
      writer.String(attribute->key, false);
      if (attribute->key == kIosLinkAttribute) {
        writer.SharedString("@");
        writer.BeginObject({{"NSURL", 0}, {"NSObject", 0}});
        writer.SharedString("c");
        writer.Integer(0);  // not relative to a base
        writer.String(attribute->value, false);
        writer.EndObject();
      } else {
        writer.String(attribute->value, false);
      }
    }
    writer.EndObject();
  }
  writer.EndObject();
  return writer.bytes();
}

bool WriteIosMessages(const std::string& path, const IosSampleOptions& options,
                      const IosMessagesShape& shape, std::vector<IosAttachmentFile>* files) {
  int version = options.schema_version;
  if (version < kIosMessagesOldestSchema || version > kIosMessagesNewestSchema) {
    version = kIosMessagesNewestSchema;
  }
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  if (!db.Exec(IosMessagesSql(version).c_str())) return false;
  const Cast cast = shape.chats > 0 ? GeneratedCast(shape.chats) : SampleCast();
  db.Exec("PRAGMA synchronous=OFF");
  db.Exec("BEGIN");
  if (!WriteHandles(db, cast) || !WriteChats(db, cast, options.older_copy) ||
      !WriteMessages(db, cast, version, options, shape, files) || !WriteProperties(db, version)) {
    db.Exec("ROLLBACK");
    return false;
  }
  return db.Exec("COMMIT") && db.Close();
}

}  // namespace kx::samples
