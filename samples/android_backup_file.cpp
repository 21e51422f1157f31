#include "samples/android_backup_file.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_files.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

constexpr char kTelephony[] = "apps/com.android.providers.telephony/d_f/";
constexpr size_t kBlock = 512;

// ---- tar ----

void Octal(char* field, size_t length, uint64_t value) {
  std::snprintf(field, length, "%0*llo", static_cast<int>(length - 1),
                static_cast<unsigned long long>(value));
}

std::string TarHeader(const std::string& name, uint64_t size, char type) {
  char header[kBlock] = {};
  std::snprintf(header, 100, "%s", name.c_str());
  Octal(header + 100, 8, type == '5' ? 0771 : 0600);
  Octal(header + 108, 8, 10123);
  Octal(header + 116, 8, 10123);
  Octal(header + 124, 12, size);
  Octal(header + 136, 12, 1700000000);
  header[156] = type;
  std::memcpy(header + 257, "ustar", 6);
  std::memcpy(header + 263, "00", 2);
  std::memset(header + 148, ' ', 8);
  unsigned sum = 0;
  for (const char c : header) sum += static_cast<unsigned char>(c);
  std::snprintf(header + 148, 8, "%06o", sum);
  return std::string(header, kBlock);
}

void AddMember(std::string* tar, const std::string& name, const std::string& content) {
  *tar += TarHeader(name, content.size(), '0') + content;
  tar->append((kBlock - content.size() % kBlock) % kBlock, '\0');
}

// ---- telephony backup ----

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Column(sqlite3_stmt* row, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
  return text != nullptr ? text : "";
}

std::string Deflate(const std::string& plain) {
  uLongf length = compressBound(static_cast<uLong>(plain.size()));
  std::string out(length, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &length,
            reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()),
            Z_DEFAULT_COMPRESSION);
  out.resize(length);
  return out;
}

// The addresses of each thread, as a JSON array.
std::map<std::string, std::string> ThreadRecipients(sqlite3* db) {
  std::map<std::string, std::string> canonical, threads;
  SampleStatement addresses(db, "SELECT _id, address FROM canonical_addresses");
  while (addresses.prepared() && addresses.Step() == SQLITE_ROW) {
    canonical[Column(addresses.handle(), 0)] = Column(addresses.handle(), 1);
  }
  SampleStatement rows(db, "SELECT _id, recipient_ids FROM threads");
  while (rows.prepared() && rows.Step() == SQLITE_ROW) {
    std::istringstream ids(Column(rows.handle(), 1));
    std::string array, id;
    while (ids >> id) {
      if (canonical.count(id)) array += (array.empty() ? "" : ",") + Json(canonical[id]);
    }
    threads[Column(rows.handle(), 0)] = "[" + array + "]";
  }
  return threads;
}

// The SMS and MMS JSON arrays the provider's backup agent writes.
void TelephonyBackups(const fs::path& mmssms, std::string* sms, std::string* mms) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(mmssms.u8string().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
  const std::map<std::string, std::string> threads = ThreadRecipients(db.get());
  auto recipients = [&](const std::string& thread) {
    const auto found = threads.find(thread);
    return found != threads.end() ? found->second : std::string("[]");
  };
  SampleStatement messages(db.get(),
                           "SELECT address, body, date, date_sent, status, type, read, thread_id "
                           "FROM sms ORDER BY _id");
  *sms = "[";
  while (messages.prepared() && messages.Step() == SQLITE_ROW) {
    sqlite3_stmt* row = messages.handle();
    *sms += std::string(sms->size() > 1 ? "," : "") +
            "{\"self_phone\":\"\",\"address\":" + Json(Column(row, 0)) +
            ",\"body\":" + Json(Column(row, 1)) + ",\"date\":" + Json(Column(row, 2)) +
            ",\"date_sent\":" + Json(Column(row, 3)) + ",\"status\":" + Json(Column(row, 4)) +
            ",\"type\":" + Json(Column(row, 5)) + ",\"read\":" + Json(Column(row, 6)) +
            ",\"recipients\":" + recipients(Column(row, 7)) + ",\"archived\":false}";
  }
  *sms += "]";
  SampleStatement pdus(db.get(),
                       "SELECT pdu._id, date, date_sent, msg_box, read, sub, m_type, ct_t, "
                       "thread_id, (SELECT text FROM part WHERE mid = pdu._id AND ct = "
                       "'text/plain' LIMIT 1) FROM pdu ORDER BY pdu._id");
  *mms = "[";
  while (pdus.prepared() && pdus.Step() == SQLITE_ROW) {
    sqlite3_stmt* row = pdus.handle();
    *mms += std::string(mms->size() > 1 ? "," : "") +
            "{\"self_phone\":\"\",\"date\":" + Json(Column(row, 1)) +
            ",\"date_sent\":" + Json(Column(row, 2)) + ",\"msg_box\":" + Json(Column(row, 3)) +
            ",\"read\":" + Json(Column(row, 4)) + ",\"sub\":" + Json(Column(row, 5)) +
            ",\"m_type\":" + Json(Column(row, 6)) + ",\"ct_t\":" + Json(Column(row, 7)) +
            ",\"recipients\":" + recipients(Column(row, 8)) + ",\"mms_addresses\":[]" +
            (sqlite3_column_type(row, 9) != SQLITE_NULL
                 ? ",\"mms_body\":" + Json(Column(row, 9)) + ",\"mms_charset\":106"
                 : std::string()) +
            ",\"archived\":false}";
  }
  *mms += "]";
}

// ---- encryption, from OpenSSL's primitives ----

std::string Random(size_t count) {
  std::string bytes(count, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count));
  return bytes;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string Pbkdf2(const std::string& password, const std::string& salt, int rounds) {
  std::string key(32, '\0');
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                    reinterpret_cast<const unsigned char*>(salt.data()),
                    static_cast<int>(salt.size()), rounds, EVP_sha1(), 32,
                    reinterpret_cast<unsigned char*>(key.data()));
  return key;
}

// The master key as Java's PBEKeySpec sees it: each byte a char, sign
// extended, then UTF-8 (version 1: the low bytes as they are).
std::string JavaKeyChars(const std::string& key, int version) {
  if (version == 1) return key;
  std::string out;
  for (const char c : key) {
    const int16_t java_char = static_cast<int16_t>(static_cast<signed char>(c));
    const auto code = static_cast<uint16_t>(java_char);
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::string AesCbc(const std::string& key, const std::string& iv, const std::string& plain) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  std::string out(plain.size() + 32, '\0');
  int length = 0, tail = 0;
  EVP_EncryptInit_ex(context, EVP_aes_256_cbc(), nullptr,
                     reinterpret_cast<const unsigned char*>(key.data()),
                     reinterpret_cast<const unsigned char*>(iv.data()));
  EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &length,
                    reinterpret_cast<const unsigned char*>(plain.data()),
                    static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + length, &tail);
  EVP_CIPHER_CTX_free(context);
  out.resize(static_cast<size_t>(length + tail));
  return out;
}

// The header's encryption lines, and the payload encrypted.
std::string Encrypt(const AndroidBackupFileOptions& options, std::string* payload) {
  const std::string user_salt = Random(64), checksum_salt = Random(64), user_iv = Random(16);
  const std::string master_key = Random(32), master_iv = Random(16);
  const std::string user_key = Pbkdf2(options.password, user_salt, options.rounds);
  const std::string checksum =
      Pbkdf2(JavaKeyChars(master_key, options.version), checksum_salt, options.rounds);
  const std::string blob = std::string(1, 16) + master_iv + std::string(1, 32) + master_key +
                           std::string(1, 32) + checksum;
  *payload = AesCbc(master_key, master_iv, *payload);
  return "AES-256\n" + Hex(user_salt) + "\n" + Hex(checksum_salt) + "\n" +
         std::to_string(options.rounds) + "\n" + Hex(user_iv) + "\n" +
         Hex(AesCbc(user_key, user_iv, blob)) + "\n";
}

// Where a file of the sample folder lies in the backup.
std::string MemberName(const std::string& relative) {
  static const std::map<std::string, std::string> kPackages = {
      {"contacts2.db", "apps/com.android.providers.contacts/db/contacts2.db"},
      {"calllog.db", "apps/com.android.providers.contacts/db/calllog.db"},
      {"naver_line", "apps/jp.naver.line.android/db/naver_line"},
      {"wa.db", "apps/com.whatsapp/db/wa.db"},
      {"msgstore.db", "apps/com.whatsapp/db/msgstore.db"},
      {"com.whatsapp.w4b/databases/msgstore.db", "apps/com.whatsapp.w4b/db/msgstore.db"}};
  const auto found = kPackages.find(relative);
  if (found != kPackages.end()) return found->second;
  return relative.rfind("apps/", 0) == 0 ? relative : "";
}

}  // namespace

bool WriteAndroidBackupFile(const std::string& pulled, const std::string& path,
                            const AndroidBackupFileOptions& options, std::string* error) {
  const fs::path root = fs::u8path(pulled);
  std::vector<std::pair<std::string, fs::path>> members;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = MemberName(entry.path().lexically_relative(root).generic_u8string());
    if (!name.empty()) members.emplace_back(name, entry.path());
  }
  std::sort(members.begin(), members.end());
  std::string tar;
  // The manifest comes first, then each app; an app whose files are no
  // database of a known kind is listed too.
  AddMember(&tar, "apps/android/_manifest", "1\nandroid\n");
  AddMember(&tar, "apps/com.example.notes/f/notes.txt", "shopping list\n");
  for (const auto& [name, file] : members) AddMember(&tar, name, ReadAll(file));
  std::string sms, mms;
  TelephonyBackups(root / "mmssms.db", &sms, &mms);
  AddMember(&tar, std::string(kTelephony) + "000000_sms_backup", Deflate(sms));
  AddMember(&tar, std::string(kTelephony) + "000000_mms_backup", Deflate(mms));
  tar.append(2 * kBlock, '\0');
  std::string payload = options.compressed ? Deflate(tar) : tar;
  std::string header = "ANDROID BACKUP\n" + std::to_string(options.version) + "\n" +
                       (options.compressed ? "1\n" : "0\n");
  header += options.password.empty() ? "none\n" : Encrypt(options, &payload);
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out << header << payload;
  if (!out) *error = path + ": cannot write";
  return static_cast<bool>(out);
}

}  // namespace kx::samples
