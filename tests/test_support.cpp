#include "test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kx::test {

namespace fs = std::filesystem;

namespace {

void SetTimeZone(const char* zone) {
#if defined(_WIN32)
  _putenv_s("TZ", zone != nullptr ? zone : "");
  _tzset();
#else
  if (zone != nullptr) {
    setenv("TZ", zone, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
#endif
}

}  // namespace

ScopedTimeZone::ScopedTimeZone(const std::string& zone) {
  const char* before = std::getenv("TZ");
  was_set_ = before != nullptr;
  if (was_set_) saved_ = before;
  SetTimeZone(zone.c_str());
}

ScopedTimeZone::~ScopedTimeZone() { SetTimeZone(was_set_ ? saved_.c_str() : nullptr); }

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path dir = fs::temp_directory_path() /
                 ("kxtest_" + std::to_string(stamp) + "_" + std::to_string(counter++));
  fs::create_directories(dir);
  path_ = dir.u8string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(fs::u8path(path_), ignored);
}

std::string TempDir::File(const std::string& name) const {
  return (fs::u8path(path_) / fs::u8path(name)).u8string();
}

std::string JsonEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::vector<DamagedDatabase> DamageDatabase(const std::string& sound_path,
                                            const std::string& folder) {
  const std::string bytes = ReadFileBytes(sound_path);
  const std::string name = std::filesystem::u8path(sound_path).filename().u8string();
  std::string scrambled = bytes, random(8192, '\0');
  uint32_t state = 2463534242u;  // xorshift: the same bytes on every run
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<char>(state);
  };
  for (char& byte : scrambled) byte = static_cast<char>(byte ^ next());
  for (char& byte : random) byte = next();
  const std::vector<DamagedDatabase> kinds = {
      {"truncated", bytes.substr(0, bytes.size() / 2), 1105, "database disk image is malformed"},
      {"zero-length", "", 1105, "file holds no table"},
      {"random", random, 1105, "file is not a database"},
      {"encrypted", scrambled, 1105, "file is not a database"},
      {"schema", bytes, 1106, "malformed database schema"},
  };
  std::vector<DamagedDatabase> damaged;
  for (const DamagedDatabase& kind : kinds) {
    const std::filesystem::path sub = std::filesystem::u8path(folder) / kind.kind;
    std::filesystem::create_directories(sub);
    const std::string path = (sub / name).u8string();
    WriteFileBytes(path, kind.path);  // the bytes, for now
    damaged.push_back({kind.kind, path, kind.status, kind.words});
  }
  // The last CREATE TABLE loses its closing parenthesis.
  RunSql(damaged.back().path,
         "PRAGMA writable_schema = ON;"
         "UPDATE sqlite_master SET sql = substr(sql, 1, length(sql) - 1) WHERE rowid = "
         "(SELECT max(rowid) FROM sqlite_master WHERE type = 'table' AND sql LIKE '%)');");
  return damaged;
}

void RunSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db)) << path;
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(SQLITE_OK, rc) << (error ? error : "") << "\n" << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql) {
  std::vector<std::string> values;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path;
    sqlite3_close(db);
    return values;
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db) << "\n" << sql;
  } else {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      values.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return values;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string DataFile(const std::string& name) {
  const std::string text = ReadFileBytes(std::string(KX_TEST_SOURCE_DIR) + "/tests/data/" + name);
  EXPECT_FALSE(text.empty()) << "tests/data/" << name << " is missing or empty";
  return text;
}

std::string KeyedArchiveXml(const std::string& objects) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
      "<key>$archiver</key><string>NSKeyedArchiver</string><key>$top</key><dict>"
      "<key>root</key>{UID 1}</dict><key>$objects</key><array><string>$null</string>" +
      objects + "</array></dict></plist>";
  for (size_t at = xml.find("{UID "); at != std::string::npos; at = xml.find("{UID ", at)) {
    const size_t end = xml.find('}', at);
    const std::string uid =
        "<dict><key>CF$UID</key><integer>" + xml.substr(at + 5, end - at - 5) + "</integer></dict>";
    xml.replace(at, end - at + 1, uid);
  }
  return xml;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

std::string ConfigFolder() { return KX_TEST_CONFIG_DIR; }

// Overwrites the first page of `table` (its root) with bytes no page holds,
// leaving the schema readable: the damage shows only once rows are read.
void DamageTablePage(const std::string& path, const std::string& table) {
  // Table names of the fixtures are plain words.
  const std::vector<std::string> found =
      QueryColumn(path,
                  "select rootpage || ' ' || (select page_size from pragma_page_size()) "
                  "from sqlite_master where type = 'table' and name = '" +
                      table + "'");
  ASSERT_EQ(1u, found.size()) << table;
  std::istringstream numbers(found[0]);
  size_t root_page = 0, page_size = 0;
  numbers >> root_page >> page_size;
  std::string bytes = ReadFileBytes(path);
  ASSERT_GT(root_page, 1u);
  ASSERT_LE(root_page * page_size, bytes.size());
  bytes.replace((root_page - 1) * page_size, page_size, page_size, '\xff');
  WriteFileBytes(path, bytes);
}

}  // namespace kx::test
