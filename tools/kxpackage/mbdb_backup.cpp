#include "tools/kxpackage/mbdb_backup.h"

#include <openssl/sha.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "tools/kxpackage/backup_crypto.h"
#include "tools/kxpackage/backup_keybag.h"
#include "tools/kxpackage/inside_folder.h"
#include "tools/kxpackage/ios_backup_reader.h"

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

constexpr char kManifestDbName[] = "Manifest.db";
// Real manifests hold some ten thousand records, a few megabytes.
constexpr uintmax_t kMaxManifestBytes = uintmax_t{256} << 20;
// Manifest.db's flags: an ordinary file, a folder, a link.
constexpr int kFlagFile = 1;
constexpr int kFlagFolder = 2;
constexpr int kFlagLink = 4;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

int FlagsOf(const MbdbRecord& record) {
  if (record.IsFolder()) return kFlagFolder;
  if (record.IsLink()) return kFlagLink;
  return kFlagFile;
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The catalogue's Files table, as the library reads it (fileID, domain,
// relativePath, flags); `file` stays empty, no packager reads it.
bool WriteCatalogue(const std::string& path, const std::vector<MbdbRecord>& records,
                    std::string* message) {
  std::error_code error;
  fs::remove(fs::u8path(path), error);
  sqlite3* raw = nullptr;
  const int opened =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, DbCloser> db(raw);
  const auto fail = [&]() {
    *message = path + ": " + (db ? sqlite3_errmsg(db.get()) : "cannot be created");
    return false;
  };
  if (opened != SQLITE_OK ||
      sqlite3_exec(db.get(),
                   "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
                   "flags INTEGER, file BLOB);"
                   "CREATE INDEX FilesDomainIdx ON Files(domain);"
                   "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
                   "BEGIN",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail();
  }
  sqlite3_stmt* raw_statement = nullptr;
  if (sqlite3_prepare_v2(db.get(),
                         "INSERT OR REPLACE INTO Files (fileID, domain, relativePath, flags) "
                         "VALUES (?1, ?2, ?3, ?4)",
                         -1, &raw_statement, nullptr) != SQLITE_OK) {
    return fail();
  }
  std::unique_ptr<sqlite3_stmt, StmtCloser> insert(raw_statement);
  for (const MbdbRecord& record : records) {
    BindText(insert.get(), 1, MbdbFileId(record.domain, record.path));
    BindText(insert.get(), 2, record.domain);
    BindText(insert.get(), 3, record.path);
    sqlite3_bind_int(insert.get(), 4, FlagsOf(record));
    if (sqlite3_step(insert.get()) != SQLITE_DONE) return fail();
    sqlite3_reset(insert.get());
  }
  insert.reset();
  if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail();
  return true;
}

// Copies or decrypts the stored file of one record into `target`.
void TakeFile(const std::string& root, const std::string& target, const MbdbRecord& record,
              const std::map<uint32_t, std::string>* class_keys,
              std::vector<std::string>* problems) {
  const std::string id = MbdbFileId(record.domain, record.path);
  const std::string source = StoredFilePath(root, id);
  const std::string listed = " (" + record.domain + " " + record.path + ")";
  std::error_code error;
  if (!fs::exists(fs::symlink_status(fs::u8path(source), error))) {
    problems->push_back(source + ": no such file" + listed);
    return;
  }
  if (const std::string outside = OutsideFolderProblem(root, source); !outside.empty()) {
    problems->push_back(outside);
    return;
  }
  if (!fs::is_regular_file(fs::u8path(source), error)) {
    problems->push_back(source + ": not a file" + listed);
    return;
  }
  const fs::path folder = fs::u8path(target) / id.substr(0, 2);
  fs::create_directories(folder, error);
  const std::string destination = (folder / id).u8string();
  if (class_keys == nullptr) {
    if (!fs::copy_file(fs::u8path(source), fs::u8path(destination),
                       fs::copy_options::overwrite_existing, error)) {
      problems->push_back(source + ": cannot be copied (" + error.message() + ")");
    }
    return;
  }
  std::string key;
  std::string why;
  if (record.encryption_key.empty()) {
    problems->push_back(source + ": its record has no key" + listed);
  } else if (!UnwrapStoredKey(*class_keys, record.encryption_key, &key)) {
    problems->push_back(source + ": its key does not open" + listed);
  } else if (!DecryptFile(key, source, destination, -1, &why)) {
    // The recorded size is not trusted: the content and its padding are.
    problems->push_back(why + listed);
  }
}

}  // namespace

bool IsMbdbBackup(const std::string& root) {
  std::error_code error;
  const fs::path folder = fs::u8path(root);
  return !fs::exists(fs::symlink_status(folder / kManifestDbName, error)) &&
         fs::is_regular_file(folder / kManifestMbdbName, error);
}

std::string MbdbFileId(const std::string& domain, const std::string& path) {
  const std::string joined = domain + "-" + path;
  unsigned char digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const unsigned char*>(joined.data()), joined.size(), digest);
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (const unsigned char byte : digest) {
    id += kHex[byte >> 4];
    id += kHex[byte & 15];
  }
  return id;
}

bool ReadMbdbManifest(const std::string& root, std::vector<MbdbRecord>* records,
                      std::string* message) {
  const fs::path path = fs::u8path(root) / kManifestMbdbName;
  const std::string name = path.u8string();
  if (const std::string outside = OutsideFolderProblem(root, name); !outside.empty()) {
    *message = outside;
    return false;
  }
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  if (error || size > kMaxManifestBytes) {
    *message = name + (error ? ": cannot be read" : ": larger than any manifest");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) {
    *message = name + ": cannot be read";
    return false;
  }
  MbdbError fault;
  if (!ParseMbdb(bytes.str(), records, &fault)) {
    *message = name + ": at offset " + std::to_string(fault.offset) + ": " + fault.what;
    return false;
  }
  return true;
}

bool CopyBackupPropertyLists(const std::string& root, const std::string& target,
                             std::string* message) {
  for (const char* name : {"Info.plist", "Manifest.plist", "Status.plist"}) {
    const fs::path from = fs::u8path(root) / name;
    std::error_code error;
    if (!fs::is_regular_file(from, error) || !ResolvesInside(root, from.u8string())) continue;
    if (!fs::copy_file(from, fs::u8path(target) / name, fs::copy_options::overwrite_existing,
                       error)) {
      *message = target + ": " + name + " cannot be written";
      return false;
    }
  }
  return true;
}

bool ConvertMbdbBackup(const std::string& root, const std::string& target,
                       const std::set<std::string>& domains,
                       const std::map<uint32_t, std::string>* class_keys,
                       std::vector<std::string>* problems, std::string* message) {
  std::vector<MbdbRecord> records;
  if (!ReadMbdbManifest(root, &records, message)) return false;
  std::error_code error;
  fs::create_directories(fs::u8path(target), error);
  if (class_keys != nullptr) {
    // Only the user may read what was encrypted.
    fs::permissions(fs::u8path(target), fs::perms::owner_all, fs::perm_options::replace, error);
  }
  if (!WriteCatalogue((fs::u8path(target) / kManifestDbName).u8string(), records, message)) {
    return false;
  }
  for (const MbdbRecord& record : records) {
    if (record.IsFile() && domains.count(record.domain) > 0) {
      TakeFile(root, target, record, class_keys, problems);
    }
  }
  return true;
}

}  // namespace kxpackage
