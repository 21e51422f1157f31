#include "samples/android_telephony.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_random.h"

namespace kx::samples {

namespace {

// Android 4.4 (database version 57).
constexpr char kSchemaV1[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "INSERT INTO android_metadata VALUES ('en_US');"
    "CREATE TABLE pdu (_id INTEGER PRIMARY KEY AUTOINCREMENT,thread_id INTEGER,date INTEGER,"
    "date_sent INTEGER DEFAULT 0,msg_box INTEGER,read INTEGER DEFAULT 0,m_id TEXT,sub TEXT,"
    "sub_cs INTEGER,ct_t TEXT,ct_l TEXT,exp INTEGER,m_cls TEXT,m_type INTEGER,v INTEGER,m_size "
    "INTEGER,pri INTEGER,rr INTEGER,rpt_a INTEGER,resp_st INTEGER,st INTEGER,tr_id TEXT,retr_st "
    "INTEGER,retr_txt TEXT,retr_txt_cs INTEGER,read_status INTEGER,ct_cls INTEGER,resp_txt "
    "TEXT,d_tm INTEGER,d_rpt INTEGER,locked INTEGER DEFAULT 0,seen INTEGER DEFAULT 0,text_only "
    "INTEGER DEFAULT 0);"
    "CREATE TABLE addr (_id INTEGER PRIMARY KEY,msg_id INTEGER,contact_id INTEGER,address "
    "TEXT,type INTEGER,charset INTEGER);"
    "CREATE TABLE part (_id INTEGER PRIMARY KEY AUTOINCREMENT,mid INTEGER,seq INTEGER DEFAULT "
    "0,ct TEXT,name TEXT,chset INTEGER,cd TEXT,fn TEXT,cid TEXT,cl TEXT,ctt_s INTEGER,ctt_t "
    "TEXT,_data TEXT,text TEXT);"
    "CREATE TABLE rate (sent_time INTEGER);"
    "CREATE TABLE drm (_id INTEGER PRIMARY KEY,_data TEXT);"
    "CREATE TABLE sms (_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,person INTEGER,"
    "date INTEGER,date_sent INTEGER DEFAULT 0,protocol INTEGER,read INTEGER DEFAULT 0,status "
    "INTEGER DEFAULT -1,type INTEGER,reply_path_present INTEGER,subject TEXT,body TEXT,"
    "service_center TEXT,locked INTEGER DEFAULT 0,error_code INTEGER DEFAULT 0,seen INTEGER "
    "DEFAULT 0);"
    "CREATE TABLE raw (_id INTEGER PRIMARY KEY,date INTEGER,reference_number INTEGER,count "
    "INTEGER,sequence INTEGER,destination_port INTEGER,address TEXT,pdu TEXT);"
    "CREATE TABLE attachments (sms_id INTEGER,content_url TEXT,offset INTEGER);"
    "CREATE TABLE sr_pending (reference_number INTEGER,action TEXT,data TEXT);"
    "CREATE TABLE canonical_addresses (_id INTEGER PRIMARY KEY AUTOINCREMENT,address TEXT);"
    "CREATE TABLE threads (_id INTEGER PRIMARY KEY AUTOINCREMENT,date INTEGER DEFAULT 0,"
    "message_count INTEGER DEFAULT 0,recipient_ids TEXT,snippet TEXT,snippet_cs INTEGER "
    "DEFAULT 0,read INTEGER DEFAULT 1,type INTEGER DEFAULT 0,error INTEGER DEFAULT 0,"
    "has_attachment INTEGER DEFAULT 0);"
    "CREATE TABLE pending_msgs (_id INTEGER PRIMARY KEY,proto_type INTEGER,msg_id INTEGER,"
    "msg_type INTEGER,err_type INTEGER,err_code INTEGER,retry_index INTEGER NOT NULL DEFAULT "
    "0,due_time INTEGER,last_try INTEGER);"
    "CREATE INDEX IF NOT EXISTS typeThreadIdIndex ON sms (type, thread_id);";

// A current release: sub_id and creator on messages, archived threads.
constexpr char kSchemaV2[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "INSERT INTO android_metadata VALUES ('en_US');"
    "CREATE TABLE pdu (_id INTEGER PRIMARY KEY AUTOINCREMENT,thread_id INTEGER,date INTEGER,"
    "date_sent INTEGER DEFAULT 0,msg_box INTEGER,read INTEGER DEFAULT 0,m_id TEXT,sub TEXT,"
    "sub_cs INTEGER,ct_t TEXT,ct_l TEXT,exp INTEGER,m_cls TEXT,m_type INTEGER,v INTEGER,m_size "
    "INTEGER,pri INTEGER,rr INTEGER,rpt_a INTEGER,resp_st INTEGER,st INTEGER,tr_id TEXT,retr_st "
    "INTEGER,retr_txt TEXT,retr_txt_cs INTEGER,read_status INTEGER,ct_cls INTEGER,resp_txt "
    "TEXT,d_tm INTEGER,d_rpt INTEGER,locked INTEGER DEFAULT 0,sub_id INTEGER DEFAULT -1,seen "
    "INTEGER DEFAULT 0,creator TEXT,text_only INTEGER DEFAULT 0);"
    "CREATE TABLE addr (_id INTEGER PRIMARY KEY,msg_id INTEGER,contact_id INTEGER,address "
    "TEXT,type INTEGER,charset INTEGER);"
    "CREATE TABLE part (_id INTEGER PRIMARY KEY AUTOINCREMENT,mid INTEGER,seq INTEGER DEFAULT "
    "0,ct TEXT,name TEXT,chset INTEGER,cd TEXT,fn TEXT,cid TEXT,cl TEXT,ctt_s INTEGER,ctt_t "
    "TEXT,_data TEXT,text TEXT);"
    "CREATE TABLE rate (sent_time INTEGER);"
    "CREATE TABLE drm (_id INTEGER PRIMARY KEY,_data TEXT);"
    "CREATE TABLE sms (_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,person INTEGER,"
    "date INTEGER,date_sent INTEGER DEFAULT 0,protocol INTEGER,read INTEGER DEFAULT 0,status "
    "INTEGER DEFAULT -1,type INTEGER,reply_path_present INTEGER,subject TEXT,body TEXT,"
    "service_center TEXT,locked INTEGER DEFAULT 0,sub_id INTEGER DEFAULT -1,error_code INTEGER "
    "DEFAULT -1,creator TEXT,seen INTEGER DEFAULT 0);"
    "CREATE TABLE raw (_id INTEGER PRIMARY KEY,date INTEGER,reference_number INTEGER,count "
    "INTEGER,sequence INTEGER,destination_port INTEGER,address TEXT,sub_id INTEGER DEFAULT -1,"
    "pdu TEXT,deleted INTEGER DEFAULT 0,message_body TEXT,display_originating_addr TEXT);"
    "CREATE TABLE attachments (sms_id INTEGER,content_url TEXT,offset INTEGER);"
    "CREATE TABLE sr_pending (reference_number INTEGER,action TEXT,data TEXT);"
    "CREATE TABLE canonical_addresses (_id INTEGER PRIMARY KEY AUTOINCREMENT,address TEXT);"
    "CREATE TABLE threads (_id INTEGER PRIMARY KEY AUTOINCREMENT,date INTEGER DEFAULT 0,"
    "message_count INTEGER DEFAULT 0,recipient_ids TEXT,snippet TEXT,snippet_cs INTEGER "
    "DEFAULT 0,read INTEGER DEFAULT 1,archived INTEGER DEFAULT 0,type INTEGER DEFAULT 0,error "
    "INTEGER DEFAULT 0,has_attachment INTEGER DEFAULT 0);"
    "CREATE TABLE pending_msgs (_id INTEGER PRIMARY KEY,proto_type INTEGER,msg_id INTEGER,"
    "msg_type INTEGER,err_type INTEGER,err_code INTEGER,retry_index INTEGER NOT NULL DEFAULT "
    "0,due_time INTEGER,last_try INTEGER,sub_id INTEGER DEFAULT -1);"
    "CREATE INDEX IF NOT EXISTS typeThreadIdIndex ON sms (type, thread_id);";

constexpr char kInsertCanonical[] = "INSERT INTO canonical_addresses (_id,address) VALUES (?,?)";
constexpr char kInsertThread[] =
    "INSERT INTO threads (_id,date,message_count,recipient_ids,snippet,snippet_cs,read,type,"
    "has_attachment) VALUES (?,?,?,?,?,?,?,?,?)";
constexpr char kInsertSms[] =
    "INSERT INTO sms (_id,thread_id,address,person,date,date_sent,protocol,read,status,type,"
    "reply_path_present,body,service_center,seen) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr char kInsertPdu[] =
    "INSERT INTO pdu (_id,thread_id,date,date_sent,msg_box,read,m_id,sub,sub_cs,ct_t,m_cls,"
    "m_type,v,m_size,pri,tr_id,seen,text_only) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr char kInsertPart[] =
    "INSERT INTO part (_id,mid,seq,ct,name,chset,cd,fn,cid,cl,_data,text) "
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?)";

// 2020-01-01 00:00:00 UTC in milliseconds.
constexpr int64_t kFirstSmsMs = 1577836800000;
constexpr int kMaxParties = 4000;
constexpr int kUtf8Charset = 106;
constexpr char kPartFolder[] = "/data/user_de/0/com.android.providers.telephony/app_parts/";

// The phone lost messages whose index leaves these remainders.
constexpr int kSmsDeletedEvery = 13;
constexpr int kSmsDeletedRemainder = 7;
constexpr int kMmsDeletedEvery = 9;
constexpr int kMmsDeletedRemainder = 4;

const std::vector<const char*>& SampleBodies() {
  static const std::vector<const char*> bodies = {
      "On my way 🚗",
      "Ça va ? On se voit à 18h devant le café.",
      "¿Dónde estás? Te espero en la estación.",
      "שלום, מה שלומך? נדבר מחר",
      "مرحبا، كيف حالك؟ أراك غدا",
      "Don't forget the \"keys\" — they're under the mat",
      "It's O'Brien's party tonight, bring crisps!",
      "Grüße aus München 🍺",
      "明日の会議は10時からです。",
      "Привет! Как дела?",
      "Your verification code is 482913. Do not share it with anyone.",
      "Line one\nLine two\n\tindented line three",
      "ok",
      "👍",
      "Your parcel 1Z999AA10123456784 is out for delivery today between 10:00 and 14:00. "
      "Track it or change the delivery at https://example.com/track?id=1Z999AA10123456784 — "
      "reply STOP to opt out of delivery notifications.",
      "Back-slash \\ and a tab\tinside",
  };
  return bodies;
}

const std::vector<const char*>& SampleSubjects() {
  static const std::vector<const char*> subjects = {
      "Photos 📷", "Fwd: Ärger im Büro", "Party 🎉", "קבלה", "",
  };
  return subjects;
}

const std::vector<const char*>& SampleSenderNames() {
  static const std::vector<const char*> names = {
      "AMAZON", "Bank-Info", "DHL Express", "VERIFY", "Vodafone", "La Poste",
  };
  return names;
}

// The canonical form of party `index`, and how an SMS may spell it.
std::string PartyAddress(int index) {
  char text[64];
  switch (index % 6) {
    case 0:
      std::snprintf(text, sizeof(text), "+1 (555) %03d-%04d", 200 + index % 800,
                    (index * 37) % 10000);
      break;
    case 1:
      std::snprintf(text, sizeof(text), "+44 7700 9%05d", index % 100000);
      break;
    case 2:
      std::snprintf(text, sizeof(text), "+33 6 %02d %02d %02d %02d", index % 100,
                    (index / 100) % 100, 12, 34);
      break;
    case 3:
      std::snprintf(text, sizeof(text), "7%04d", index % 10000);
      break;
    case 4: {
      const std::vector<const char*>& names = SampleSenderNames();
      const size_t round = static_cast<size_t>(index / 6) / names.size();
      std::string name = names[static_cast<size_t>(index / 6) % names.size()];
      if (round > 0) name += " " + std::to_string(round);
      return name;
    }
    default:
      std::snprintf(text, sizeof(text), "+972 54-%03d-%04d", index % 1000, (index * 7) % 10000);
      break;
  }
  return text;
}

// SMS often carry the number without the separators people read.
std::string SpellAddress(const std::string& canonical, SampleRandom& random) {
  if (random.Below(2) == 0) return canonical;
  std::string compact;
  for (char c : canonical) {
    if (c != ' ' && c != '-' && c != '(' && c != ')') compact.push_back(c);
  }
  return compact;
}

struct ThreadTally {
  std::string recipient_ids;
  int64_t last_date_ms = 0;
  int message_count = 0;
  std::string snippet;
  bool has_attachment = false;
};

// What one copy holds. Indexes are those of the whole history; threads and
// parties are numbered from 0 (stored _id = index + 1).
class TelephonyWriter {
 public:
  TelephonyWriter(SampleDatabase& db, const AndroidSampleOptions& options)
      : db_(db), options_(options) {
    const int scale = options.scale < 1 ? 1 : options.scale;
    sms_count_ = static_cast<int64_t>(kSmsPerScale) * scale;
    mms_count_ = static_cast<int64_t>(kMmsPerScale) * scale;
    party_count_ = std::min(8 + 2 * scale, kMaxParties);
    lost_party_ = party_count_ - 1;
    group_count_ = std::max(1, party_count_ / 8);
  }

  bool Write() {
    db_.Exec("BEGIN");
    const bool written = WriteParties() && WriteSms() && WriteMms() && WriteThreads();
    if (!written) {
      db_.Exec("ROLLBACK");
      return false;
    }
    return db_.Exec("COMMIT");
  }

 private:
  int ThreadCount() const { return party_count_ + group_count_; }
  // Party k talks in thread k; group thread g is thread party_count_ + g.
  bool ThreadLost(int thread) const { return thread == lost_party_; }

  bool WriteParties() {
    SampleStatement insert(db_.handle(), kInsertCanonical);
    if (!insert.prepared()) return false;
    tallies_.resize(ThreadCount());
    for (int party = 0; party < party_count_; ++party) {
      tallies_[party].recipient_ids = std::to_string(party + 1);
      if (!options_.older_copy && party == lost_party_) continue;
      insert.BindInt64(1, party + 1);
      insert.BindText(2, PartyAddress(party));
      if (insert.Step() != SQLITE_DONE) return false;
      insert.Reset();
    }
    SampleRandom random(options_.seed ^ 0x6772u);
    for (int group = 0; group < group_count_; ++group) {
      // Two or three recipients, never the lost party; ids in rising order.
      std::vector<int> members;
      const int size = 2 + random.Below(2);
      while (static_cast<int>(members.size()) < size && party_count_ > size + 1) {
        const int member = random.Below(lost_party_);
        if (std::find(members.begin(), members.end(), member) == members.end()) {
          members.push_back(member);
        }
      }
      std::sort(members.begin(), members.end());
      std::string ids;
      for (int member : members) ids += (ids.empty() ? "" : " ") + std::to_string(member + 1);
      tallies_[party_count_ + group].recipient_ids = ids;
    }
    return true;
  }

  // A few parties get most of the messages.
  int PickParty(SampleRandom& random) const {
    if (random.Below(2) == 0) return random.Below(std::min(party_count_, 10));
    return random.Below(party_count_);
  }

  int PickSmsBox(SampleRandom& random) const {
    const int roll = random.Below(100);
    if (roll < 55) return 1;
    if (roll < 93) return 2;
    if (roll < 95) return 3;
    if (roll < 96) return 4;
    if (roll < 98) return 5;
    if (roll < 99) return 6;
    return 0;
  }

  bool WriteSms() {
    SampleStatement insert(db_.handle(), kInsertSms);
    if (!insert.prepared()) return false;
    const std::vector<const char*>& bodies = SampleBodies();
    const int64_t cut = sms_count_ * 4 / 5;
    SampleRandom random(options_.seed);
    int64_t date = kFirstSmsMs;
    int64_t newest_id = 0;
    for (int64_t index = 0; index < sms_count_; ++index) {
      date += 1000 + random.Below(600000);
      SampleRandom message_random(random.Next());
      const int party = PickParty(message_random);
      // The newest message the older copy holds is lost, so its _id is
      // taken again by the next one.
      const bool lost =
          index % kSmsDeletedEvery == kSmsDeletedRemainder || ThreadLost(party) || index == cut - 1;
      if (options_.older_copy ? index >= cut : lost) continue;
      const int64_t id = index < cut ? index + 1 : newest_id + 1;
      newest_id = std::max(newest_id, id);

      const int box = PickSmsBox(message_random);
      const bool received = box == 1;
      const int body_roll = message_random.Below(100);
      const char* body = body_roll == 0 ? nullptr : bodies[body_roll % bodies.size()];
      insert.BindInt64(1, id);
      insert.BindInt64(2, party + 1);
      insert.BindText(3, SpellAddress(PartyAddress(party), message_random));
      insert.BindNull(4);
      insert.BindInt64(5, date);
      insert.BindInt64(6, received ? date - 1000 * (1 + message_random.Below(90)) : 0);
      if (received) {
        insert.BindInt(7, 0);
      } else {
        insert.BindNull(7);
      }
      insert.BindInt(8, 1);
      insert.BindInt(9, box == 2 ? 0 : -1);
      insert.BindInt(10, box);
      if (received) {
        insert.BindInt(11, 0);
      } else {
        insert.BindNull(11);
      }
      if (body == nullptr) {
        insert.BindNull(12);
      } else {
        insert.BindText(12, body);
      }
      if (received) {
        insert.BindText(13, "+12063130004");
      } else {
        insert.BindNull(13);
      }
      insert.BindInt(14, 1);
      if (insert.Step() != SQLITE_DONE) return false;
      insert.Reset();
      Tally(party, date, body == nullptr ? "" : body, false);
    }
    return true;
  }

  void Tally(int thread, int64_t date_ms, const std::string& snippet, bool attachment) {
    ThreadTally& tally = tallies_[thread];
    ++tally.message_count;
    if (date_ms >= tally.last_date_ms) {
      tally.last_date_ms = date_ms;
      tally.snippet = snippet;
    }
    tally.has_attachment = tally.has_attachment || attachment;
  }

  struct MmsPartKind {
    const char* content_type;
    const char* name;       // also the file name
    const char* extension;  // of the stored file, "" for inline text
  };

  bool WritePart(SampleStatement& insert, int64_t part_id, int64_t mms_id, int seq,
                 const MmsPartKind& kind, const char* text, int64_t stamp) {
    const std::string data = kind.extension[0] == '\0' ? std::string()
                                                       : kPartFolder + std::string("PART_") +
                                                             std::to_string(stamp) + kind.extension;
    insert.BindInt64(1, part_id);
    insert.BindInt64(2, mms_id);
    insert.BindInt(3, seq);
    insert.BindText(4, kind.content_type);
    insert.BindText(5, kind.name);
    if (data.empty()) {
      insert.BindInt(6, kUtf8Charset);
    } else {
      insert.BindNull(6);
    }
    insert.BindNull(7);
    insert.BindText(8, kind.name);
    insert.BindText(9, std::string("<") + kind.name + ">");
    insert.BindText(10, kind.name);
    if (data.empty()) {
      insert.BindNull(11);
    } else {
      insert.BindText(11, data);
    }
    if (text == nullptr) {
      insert.BindNull(12);
    } else {
      insert.BindText(12, text);
    }
    const bool done = insert.Step() == SQLITE_DONE;
    insert.Reset();
    return done;
  }

  int PickMmsBox(SampleRandom& random) const {
    const int roll = random.Below(100);
    if (roll < 55) return 1;
    if (roll < 95) return 2;
    if (roll < 97) return 3;
    if (roll < 99) return 4;
    return 5;
  }

  bool WriteMms() {
    SampleStatement pdu(db_.handle(), kInsertPdu);
    SampleStatement part(db_.handle(), kInsertPart);
    if (!pdu.prepared() || !part.prepared()) return false;
    static const MmsPartKind kSmil = {"application/smil", "smil.xml", ""};
    static const MmsPartKind kText = {"text/plain", "text_0.txt", ""};
    static const MmsPartKind kImage = {"image/jpeg", "IMG_20210314_092633.jpg", ".jpg"};
    static const MmsPartKind kVideo = {"video/mp4", "VID_20210314.mp4", ".mp4"};
    static const MmsPartKind kAudio = {"audio/amr", "voice.amr", ".amr"};
    static const MmsPartKind kVcard = {"text/x-vCard", "contact.vcf", ".vcf"};
    const std::vector<const char*>& bodies = SampleBodies();
    const std::vector<const char*>& subjects = SampleSubjects();
    const int64_t cut = mms_count_ * 4 / 5;
    const int64_t span_seconds = sms_count_ * 300;
    SampleRandom random(options_.seed ^ 0x6d6d73u);
    int64_t part_id = 0;
    for (int64_t index = 0; index < mms_count_; ++index) {
      SampleRandom message_random(random.Next());
      const int64_t date =
          kFirstSmsMs / 1000 + span_seconds * index / mms_count_ + message_random.Below(600);
      const int thread = message_random.Below(5) < 2
                             ? party_count_ + message_random.Below(group_count_)
                             : PickParty(message_random);
      const bool with_text = message_random.Below(5) != 0;
      const int media = message_random.Below(20);
      const int64_t first_part = part_id + 1;
      part_id += 1 + (with_text ? 1 : 0) + (media < 10 ? 1 : 0) + (media >= 17 ? 1 : 0);
      const bool lost = index % kMmsDeletedEvery == kMmsDeletedRemainder || ThreadLost(thread);
      if (options_.older_copy ? index >= cut : lost) continue;

      const int64_t id = index + 1;
      const int box = PickMmsBox(message_random);
      const int subject_roll = message_random.Below(10);
      const char* subject = subject_roll == 0 ? subjects[index % subjects.size()] : nullptr;
      pdu.BindInt64(1, id);
      pdu.BindInt64(2, thread + 1);
      pdu.BindInt64(3, date);
      pdu.BindInt64(4, box == 1 ? date - 5 : 0);
      pdu.BindInt(5, box);
      pdu.BindInt(6, 1);
      pdu.BindText(7, "mms" + std::to_string(id) + "@mmsc.example.net");
      if (subject == nullptr) {
        pdu.BindNull(8);
        pdu.BindNull(9);
      } else {
        pdu.BindText(8, subject);
        pdu.BindInt(9, kUtf8Charset);
      }
      pdu.BindText(10, "application/vnd.wap.multipart.related");
      pdu.BindText(11, "personal");
      pdu.BindInt(12, box == 1 ? 132 : 128);
      pdu.BindInt(13, 18);
      pdu.BindInt(14, 20000 + message_random.Below(280000));
      pdu.BindInt(15, 129);
      pdu.BindText(16, "T" + std::to_string(1000000 + id));
      pdu.BindInt(17, 1);
      pdu.BindInt(18, media < 10 || media >= 17 ? 0 : 1);
      if (pdu.Step() != SQLITE_DONE) return false;
      pdu.Reset();

      int64_t next_part = first_part;
      int seq = -1;
      bool ok =
          WritePart(part, next_part++, id, seq++, kSmil,
                    "<smil><head><layout/></head><body><par dur=\"5000ms\"/></body></smil>", date);
      if (ok && with_text) {
        ok = WritePart(part, next_part++, id, seq++, kText, bodies[index % bodies.size()], date);
      }
      if (ok && media < 10) {
        const MmsPartKind& kind = media < 7 ? kImage : (media < 9 ? kVideo : kAudio);
        ok = WritePart(part, next_part++, id, seq++, kind, nullptr, date * 1000 + 1);
      }
      if (ok && media >= 17)
        ok = WritePart(part, next_part++, id, seq++, kVcard, nullptr, date * 1000 + 2);
      if (!ok) return false;
      Tally(thread, date * 1000, subject == nullptr ? "" : subject, media < 10);
    }
    return true;
  }

  bool WriteThreads() {
    SampleStatement insert(db_.handle(), kInsertThread);
    if (!insert.prepared()) return false;
    for (int thread = 0; thread < ThreadCount(); ++thread) {
      if (!options_.older_copy && ThreadLost(thread)) continue;
      const ThreadTally& tally = tallies_[thread];
      insert.BindInt64(1, thread + 1);
      insert.BindInt64(2, tally.last_date_ms);
      insert.BindInt(3, tally.message_count);
      insert.BindText(4, tally.recipient_ids);
      if (tally.snippet.empty()) {
        insert.BindNull(5);
      } else {
        insert.BindText(5, tally.snippet);
      }
      insert.BindInt(6, 0);
      insert.BindInt(7, 1);
      insert.BindInt(8, 0);
      insert.BindInt(9, tally.has_attachment ? 1 : 0);
      if (insert.Step() != SQLITE_DONE) return false;
      insert.Reset();
    }
    return true;
  }

  SampleDatabase& db_;
  const AndroidSampleOptions& options_;
  int64_t sms_count_ = 0;
  int64_t mms_count_ = 0;
  int party_count_ = 0;
  int lost_party_ = 0;
  int group_count_ = 0;
  std::vector<ThreadTally> tallies_;
};

}  // namespace

const char* AndroidTelephonySchemaSql(int schema_version) {
  return schema_version == 1 ? kSchemaV1 : kSchemaV2;
}

bool WriteAndroidTelephony(const std::string& path, const AndroidSampleOptions& options) {
  SampleDatabase db(path);
  if (!db.is_open()) return false;
  if (!db.Exec(AndroidTelephonySchemaSql(options.schema_version))) return false;
  TelephonyWriter writer(db, options);
  return writer.Write() && db.Close();
}

}  // namespace kx::samples
