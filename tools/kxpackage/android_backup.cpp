#include "tools/kxpackage/android_backup.h"

#include <json/json.h>
#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tools/kxpackage/tar_reader.h"

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

constexpr char kMagicLine[] = "ANDROID BACKUP\n";
constexpr char kTelephony[] = "com.android.providers.telephony";
constexpr char kSmsSuffix[] = "_sms_backup";
constexpr char kMmsSuffix[] = "_mms_backup";
// One telephony backup file holds a thousand messages, some hundred
// kilobytes; these caps are far above and far below a compression bomb.
constexpr uint64_t kMaxTelephonyCompressed = uint64_t{64} << 20;
constexpr size_t kMaxTelephonyJson = size_t{256} << 20;
constexpr size_t kChunk = 64 * 1024;
// The largest app database staged; larger is a damaged or hostile member
// that would only fill the disk.
constexpr uint64_t kMaxStagedBytes = uint64_t{16} << 30;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StmtCloser>;

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t length = std::strlen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// "apps/<package>/<domain>/<rest>" split; false for other names.
bool SplitAppPath(const std::string& name, std::string* package, std::string* domain,
                  std::string* rest) {
  if (name.compare(0, 5, "apps/") != 0) return false;
  const size_t package_end = name.find('/', 5);
  *package = name.substr(5, package_end == std::string::npos ? std::string::npos : package_end - 5);
  if (package_end == std::string::npos) return !package->empty();
  const size_t domain_end = name.find('/', package_end + 1);
  *domain =
      name.substr(package_end + 1, domain_end == std::string::npos ? std::string::npos
                                                                   : domain_end - package_end - 1);
  *rest = domain_end == std::string::npos ? "" : name.substr(domain_end + 1);
  return !package->empty();
}

// Whether a packager reads the file: every app database, and the private
// files WhatsApp keeps its owner's number and pictures in.
bool NeededByPackagers(const std::string& package, const std::string& domain,
                       const std::string& rest) {
  if (rest.empty()) return false;
  if (domain == "db") return true;
  return (package == "com.whatsapp" || package == "com.whatsapp.w4b") &&
         (domain == "f" || domain == "sp");
}

bool Inflate(const std::string& compressed, size_t limit, std::string* plain) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  plain->clear();
  int result = Z_OK;
  std::vector<char> chunk(kChunk);
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
    stream.avail_out = static_cast<uInt>(chunk.size());
    result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) break;
    plain->append(chunk.data(), chunk.size() - stream.avail_out);
    if (plain->size() > limit) result = Z_MEM_ERROR;
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

std::string Text(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isIntegral()) return std::to_string(value.asInt64());
  return "";
}

int64_t Number(const Json::Value& value) {
  if (value.isIntegral()) return value.asInt64();
  if (!value.isString()) return 0;
  const std::string text = value.asString();
  char* end = nullptr;
  const long long number = std::strtoll(text.c_str(), &end, 10);
  return end != text.c_str() ? number : 0;
}

class TelephonyDatabase {
 public:
  bool Open(const std::string& path, std::string* message) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(raw);
    // The provider's tables, with the columns the SMS packager reads.
    if (!Exec("CREATE TABLE IF NOT EXISTS canonical_addresses (_id INTEGER PRIMARY KEY, "
              "address TEXT);"
              "CREATE TABLE IF NOT EXISTS threads (_id INTEGER PRIMARY KEY, date INTEGER, "
              "recipient_ids TEXT);"
              "CREATE TABLE IF NOT EXISTS sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, "
              "address TEXT, date INTEGER, date_sent INTEGER, read INTEGER, status INTEGER, "
              "type INTEGER, body TEXT);"
              "CREATE TABLE IF NOT EXISTS pdu (_id INTEGER PRIMARY KEY, thread_id INTEGER, "
              "date INTEGER, date_sent INTEGER, msg_box INTEGER, read INTEGER, sub TEXT, "
              "sub_cs INTEGER, m_type INTEGER, ct_t TEXT);"
              "CREATE TABLE IF NOT EXISTS part (_id INTEGER PRIMARY KEY, mid INTEGER, ct TEXT, "
              "chset INTEGER, _data TEXT, text TEXT);"
              "CREATE TABLE IF NOT EXISTS addr (_id INTEGER PRIMARY KEY, msg_id INTEGER, "
              "address TEXT, type INTEGER, charset INTEGER);"
              "BEGIN")) {
      *message = path + ": " + (db_ ? sqlite3_errmsg(db_.get()) : "cannot be created");
      return false;
    }
    return true;
  }
  bool Commit() { return Exec("COMMIT"); }

  // The thread of a set of addresses, made as the provider makes it.
  int64_t Thread(const std::vector<std::string>& addresses) {
    std::vector<int64_t> ids;
    for (const std::string& address : addresses) {
      if (!address.empty()) ids.push_back(Canonical(address));
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::string recipients;
    for (const int64_t id : ids) recipients += (recipients.empty() ? "" : " ") + std::to_string(id);
    return FindOrAdd("SELECT _id FROM threads WHERE recipient_ids = ?1",
                     "INSERT INTO threads (recipient_ids, date) VALUES (?1, 0)", recipients);
  }

  bool Insert(const char* sql, const std::vector<std::pair<bool, std::string>>& values,
              int64_t* row = nullptr) {
    Statement statement = Prepare(sql);
    for (size_t i = 0; statement && i < values.size(); ++i) {
      const int index = static_cast<int>(i + 1);
      if (values[i].first) {
        sqlite3_bind_int64(statement.get(), index,
                           std::strtoll(values[i].second.c_str(), nullptr, 10));
      } else {
        sqlite3_bind_text(statement.get(), index, values[i].second.data(),
                          static_cast<int>(values[i].second.size()), SQLITE_TRANSIENT);
      }
    }
    if (!statement || sqlite3_step(statement.get()) != SQLITE_DONE) return false;
    if (row != nullptr) *row = sqlite3_last_insert_rowid(db_.get());
    return true;
  }

  std::string error() const { return db_ ? sqlite3_errmsg(db_.get()) : "no database"; }

 private:
  bool Exec(const char* sql) {
    return db_ && sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  Statement Prepare(const char* sql) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db_.get(), sql, -1, &raw, nullptr);
    return Statement(raw);
  }
  int64_t Canonical(const std::string& address) {
    return FindOrAdd("SELECT _id FROM canonical_addresses WHERE address = ?1",
                     "INSERT INTO canonical_addresses (address) VALUES (?1)", address);
  }
  int64_t FindOrAdd(const char* find, const char* add, const std::string& key) {
    Statement select = Prepare(find);
    if (!select) return 0;
    sqlite3_bind_text(select.get(), 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(select.get()) == SQLITE_ROW) return sqlite3_column_int64(select.get(), 0);
    int64_t row = 0;
    Insert(add, {{false, key}}, &row);
    return row;
  }

  Db db_;
};

std::vector<std::string> Recipients(const Json::Value& message) {
  std::vector<std::string> addresses;
  for (const Json::Value& recipient : message["recipients"]) addresses.push_back(Text(recipient));
  if (addresses.empty() && !Text(message["address"]).empty()) {
    addresses.push_back(Text(message["address"]));
  }
  return addresses;
}

bool AddSms(TelephonyDatabase* db, const Json::Value& sms) {
  const int64_t thread = db->Thread(Recipients(sms));
  return db->Insert(
      "INSERT INTO sms (thread_id, address, date, date_sent, read, status, type, body) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
      {{true, std::to_string(thread)},
       {false, Text(sms["address"])},
       {true, std::to_string(Number(sms["date"]))},
       {true, std::to_string(Number(sms["date_sent"]))},
       {true, std::to_string(Number(sms["read"]))},
       {true, std::to_string(sms.isMember("status") ? Number(sms["status"]) : -1)},
       {true, std::to_string(Number(sms["type"]))},
       {false, Text(sms["body"])}});
}

bool AddMms(TelephonyDatabase* db, const Json::Value& mms) {
  std::vector<std::string> addresses = Recipients(mms);
  for (const Json::Value& address : mms["mms_addresses"]) {
    if (addresses.empty()) addresses.push_back(Text(address["address"]));
  }
  const int64_t thread = db->Thread(addresses);
  int64_t id = 0;
  if (!db->Insert("INSERT INTO pdu (thread_id, date, date_sent, msg_box, read, sub, sub_cs, "
                  "m_type, ct_t) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                  {{true, std::to_string(thread)},
                   {true, std::to_string(Number(mms["date"]))},
                   {true, std::to_string(Number(mms["date_sent"]))},
                   {true, std::to_string(Number(mms["msg_box"]))},
                   {true, std::to_string(Number(mms["read"]))},
                   {false, Text(mms["sub"])},
                   {true, std::to_string(Number(mms["sub_cs"]))},
                   {true, std::to_string(Number(mms["m_type"]))},
                   {false, Text(mms["ct_t"])}},
                  &id)) {
    return false;
  }
  for (const Json::Value& address : mms["mms_addresses"]) {
    if (!db->Insert("INSERT INTO addr (msg_id, address, type, charset) VALUES (?1, ?2, ?3, ?4)",
                    {{true, std::to_string(id)},
                     {false, Text(address["address"])},
                     {true, std::to_string(Number(address["type"]))},
                     {true, std::to_string(Number(address["charset"]))}})) {
      return false;
    }
  }
  // The backup keeps an MMS's text, not its attachments.
  if (mms.isMember("mms_body")) {
    return db->Insert("INSERT INTO part (mid, ct, chset, text) VALUES (?1, 'text/plain', ?2, ?3)",
                      {{true, std::to_string(id)},
                       {true, std::to_string(Number(mms["mms_charset"]))},
                       {false, Text(mms["mms_body"])}});
  }
  return true;
}

// Streams the current member into `path`.
bool WriteMember(TarReader* tar, const std::string& path, std::string* message) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  std::vector<char> chunk(kChunk);
  size_t got = 0;
  do {
    if (!tar->ReadContent(chunk.data(), chunk.size(), &got)) {
      *message = tar->error();
      return false;
    }
    out.write(chunk.data(), static_cast<std::streamsize>(got));
  } while (got > 0);
  if (!out) *message = path + ": cannot be written";
  return static_cast<bool>(out);
}

}  // namespace

bool IsAndroidBackupFile(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  char start[sizeof kMagicLine - 1] = {};
  in.read(start, sizeof start);
  return in && std::memcmp(start, kMagicLine, sizeof start) == 0;
}

bool AddTelephonyBackup(const std::string& compressed, bool mms, const std::string& database,
                        int* added, std::string* message) {
  std::string json;
  if (!Inflate(compressed, kMaxTelephonyJson, &json)) {
    *message = "does not inflate, or inflates past " + std::to_string(kMaxTelephonyJson) + " bytes";
    return false;
  }
  Json::Value messages;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(json.data(), json.data() + json.size(), &messages, &errors) ||
      !messages.isArray()) {
    *message = "is no JSON array of messages";
    return false;
  }
  TelephonyDatabase db;
  if (!db.Open(database, message)) return false;
  for (const Json::Value& item : messages) {
    if (!item.isObject()) continue;
    if (!(mms ? AddMms(&db, item) : AddSms(&db, item))) {
      *message = database + ": " + db.error();
      return false;
    }
    ++*added;
  }
  if (!db.Commit()) {
    *message = database + ": " + db.error();
    return false;
  }
  return true;
}

bool ExtractAndroidBackup(const std::string& path, const AbHeader& header,
                          const AbMasterKey* master, const std::string& target,
                          AndroidBackupContents* contents, std::string* message) {
  std::unique_ptr<ByteSource> payload = OpenAbPayload(path, header, master, message);
  if (!payload) return false;
  TarReader tar(payload.get(), path);
  const fs::path root = fs::u8path(target);
  // The folder is this run's own: what an earlier run left there would be
  // packaged as this backup's.
  std::error_code cleared;
  fs::remove_all(root, cleared);
  const std::string telephony_db = (root / "apps" / kTelephony / "db" / "mmssms.db").u8string();
  TarMember member;
  for (TarReader::Step step; (step = tar.Next(&member)) != TarReader::Step::kEnd;) {
    if (step == TarReader::Step::kError) {
      *message = tar.error();
      return false;
    }
    std::string package, domain, rest;
    if (!SplitAppPath(member.name, &package, &domain, &rest)) continue;
    contents->apps.insert(package);
    if (member.is_folder) continue;
    const bool sms = EndsWith(rest, kSmsSuffix), mms = EndsWith(rest, kMmsSuffix);
    if (package == kTelephony && domain == "d_f" && (sms || mms)) {
      std::string compressed, why;
      std::error_code error;
      fs::create_directories(fs::u8path(telephony_db).parent_path(), error);
      if (!tar.ReadAll(&compressed, kMaxTelephonyCompressed)) {
        *message = tar.error();
        return false;
      }
      if (!AddTelephonyBackup(compressed, mms, telephony_db, &contents->messages, &why)) {
        *message = path + ": tar stream at offset " + std::to_string(member.offset) + ": " +
                   member.name + " " + why;
        return false;
      }
      continue;
    }
    if (!NeededByPackagers(package, domain, rest)) continue;
    if (member.size > kMaxStagedBytes) {
      *message = path + ": tar stream at offset " + std::to_string(member.offset) + ": " +
                 member.name + " claims " + std::to_string(member.size) + " bytes";
      return false;
    }
    // The name was checked to stay inside the archive; the folders made
    // from it stay inside the target.
    const fs::path file = root / fs::u8path(member.name);
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (!WriteMember(&tar, file.u8string(), message)) return false;
    contents->staged.push_back(file.u8string());
  }
  if (fs::exists(fs::u8path(telephony_db))) contents->staged.push_back(telephony_db);
  return true;
}

}  // namespace kxpackage
