// Writes the seed inputs of the database fuzz targets from the sample
// generators: kx_fuzz_seeds <corpus folder>. The seeds are real layouts of
// several versions, so the fuzzer starts from databases the packagers read
// in full rather than from bytes SQLite refuses.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "samples/android_call_log.h"
#include "samples/android_contacts.h"
#include "samples/android_line.h"
#include "samples/android_sample_options.h"
#include "samples/android_telephony.h"
#include "samples/android_whatsapp.h"

namespace {

namespace fs = std::filesystem;
using kx::samples::AndroidSampleOptions;
using Writer = std::function<bool(const std::string&, const AndroidSampleOptions&)>;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The prefix InputReader::Take of the harnesses reads.
std::string Piece(const std::string& bytes) {
  std::string prefix;
  for (int shift = 0; shift < 32; shift += 8) {
    prefix += static_cast<char>((bytes.size() >> shift) & 0xff);
  }
  return prefix + bytes;
}

bool WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::printf("%s/%s: %zu bytes\n", folder.filename().c_str(), name.c_str(), bytes.size());
  return static_cast<bool>(out);
}

std::string Generated(const fs::path& scratch, const Writer& write, int schema_version,
                      bool older_copy) {
  const fs::path path = scratch / "generated.db";
  fs::remove(path);
  AndroidSampleOptions options;
  options.schema_version = schema_version;
  options.older_copy = older_copy;
  return write(path.string(), options) ? ReadAll(path) : std::string();
}

// A database whose last changes still sit in its write-ahead log: the file
// and its "-wal" as they are while the application has them open.
std::string WithWal(const fs::path& scratch, const Writer& write, const char* table) {
  const fs::path path = scratch / "wal.db";
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path.string() + suffix);
  if (!write(path.string(), AndroidSampleOptions())) return std::string();
  sqlite3* db = nullptr;
  std::string pair;
  if (sqlite3_open(path.string().c_str(), &db) == SQLITE_OK) {
    const std::string sql = "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; DELETE FROM " +
                            std::string(table) + " WHERE rowid % 3 = 0;";
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) {
      pair = Piece(ReadAll(path)) + ReadAll(path.string() + "-wal");
    }
  }
  sqlite3_close(db);
  return pair;
}

struct Database {
  const char* name;
  Writer write;
  std::vector<int> schema_versions;
  const char* wal_table;  // null: no WAL seed
  uint8_t merge_selector;
  uint8_t wal_selector;
};

bool ContactsWriter(const std::string& path, const AndroidSampleOptions& options) {
  return kx::samples::WriteAndroidContacts(path, options);
}
bool LineWriter(const std::string& path, const AndroidSampleOptions& options) {
  return kx::samples::WriteAndroidLineDatabase(path, options);
}
// A few short chats: every kind of message still occurs, and the seeds
// stay well under the inputs' size limit.
bool WhatsAppWriter(const std::string& path, const AndroidSampleOptions& options) {
  kx::samples::WhatsAppStoreShape shape;
  shape.chats = 3;
  shape.messages_per_chat = 20;
  return kx::samples::WriteWhatsAppMessageStore(path, options, shape);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kx_fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const fs::path corpus = argv[1];
  const fs::path scratch = fs::temp_directory_path() / "kx_fuzz_seeds";
  fs::create_directories(scratch);
  bool ok = true;

  // Selectors as the harnesses number their types.
  const std::vector<Database> databases = {
      {"calls", kx::samples::WriteAndroidCallLog, {1, 2}, "calls", 0, 0},
      {"sms", kx::samples::WriteAndroidTelephony, {1, 2}, "sms", 1, 1},
      {"contacts", ContactsWriter, {1, 2}, "data", 2, 2},
      {"whatsapp", WhatsAppWriter, {1, 2, 3}, nullptr, 3, 0},
      {"line", LineWriter, {}, "chat_history", 0, 3},
  };
  for (const Database& database : databases) {
    for (const int version : database.schema_versions) {
      const std::string newer = Generated(scratch, database.write, version, false);
      const std::string older = Generated(scratch, database.write, version, true);
      ok &= !newer.empty() && !older.empty() &&
            WriteSeed(
                corpus / "merge_copies_fuzz",
                std::string(database.name) + "_v" + std::to_string(version),
                std::string(1, static_cast<char>(database.merge_selector)) + Piece(newer) + older);
    }
    if (database.wal_table != nullptr) {
      const std::string pair = WithWal(scratch, database.write, database.wal_table);
      ok &= !pair.empty() &&
            WriteSeed(corpus / "wal_fuzz", database.name,
                      std::string(1, static_cast<char>(database.wal_selector)) + pair);
    }
  }

  // wa.db, the avatar names of the sample private files and their "me",
  // once beside each message-store layout.
  const fs::path phone = scratch / "phone";
  fs::remove_all(phone);
  AndroidSampleOptions options;
  ok &= kx::samples::WriteWhatsAppContacts((scratch / "wa.db").string(), options) &&
        kx::samples::WriteWhatsAppPrivateFiles(phone.string(), options);
  const fs::path files = phone / "apps" / "com.whatsapp" / "f";
  std::vector<std::string> avatars;
  for (const auto& entry : fs::directory_iterator(files / "Avatars")) {
    avatars.push_back(entry.path().filename().string());
  }
  std::sort(avatars.begin(), avatars.end());
  std::string names;
  for (const std::string& name : avatars) names += name + "\n";
  const std::string rest = Piece(ReadAll(scratch / "wa.db")) + Piece(names) + ReadAll(files / "me");
  ok &= WriteSeed(corpus / "whatsapp_private_fuzz", "older_layout", std::string(1, '\0') + rest);
  ok &= WriteSeed(corpus / "whatsapp_private_fuzz", "newer_layout", std::string(1, '\1') + rest);

  fs::remove_all(scratch);
  return ok ? 0 : 1;
}
