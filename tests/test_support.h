// Helpers shared by the unit tests: temp folders and small SQLite fixtures.
#ifndef KX_TESTS_TEST_SUPPORT_H_
#define KX_TESTS_TEST_SUPPORT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kx::test {

// A fresh folder under the system temp folder, removed with its contents
// when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + separator + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// The process's time zone (TZ) set to `zone` while the object lives; the
// zone before is restored when it dies.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::string saved_;
  bool was_set_;
};

// Creates (or opens) the database at `path` and runs `sql` (several
// statements allowed). Fails the current test on an SQL error.
void RunSql(const std::string& path, const std::string& sql);

// Runs `sql` and returns the first column of every row as text ("NULL" for
// NULL), rows in order.
std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql);

std::string ReadFileBytes(const std::string& path);
// An expected document written by hand, kept in tests/data/ (`name` is its
// path there). Fails the current test when the file is missing or empty.
std::string DataFile(const std::string& name);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// `text` as it stands between the quotes of a JSON string, so that a path
// (with "\" between names on Windows) can be spliced into an expected
// document.
std::string JsonEscaped(const std::string& text);
// A keyed archive, as NSKeyedArchiver writes it in XML, whose root is
// object 1: `objects` is the XML of the objects after "$null", where
// "{UID n}" stands for a reference to object n.
std::string KeyedArchiveXml(const std::string& objects);
// Upper-case hexadecimal, as SQLite's hex() gives it.
std::string HexBytes(const std::string& bytes);

// How often `part` stands in `text`.
inline size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The folder of the built KxDataConfiger.db.
std::string ConfigFolder();

// One kind of damage done to a sound database, and what SQLite says of it.
struct DamagedDatabase {
  std::string kind;   // "truncated", "zero-length", ...
  std::string path;   // the damaged file, under the sound file's own name
  int status;         // what a packager answers: 1105 unreadable, 1106 schema
  std::string words;  // SQLite's own words for it (or the library's, where
                      // SQLite has none: an empty file)
};

// Overwrites the root page of `table` in `path` with bytes no page holds;
// the schema still reads, the rows of the table do not.
void DamageTablePage(const std::string& path, const std::string& table);

// Damaged copies of `sound_path` under `folder`, one sub-folder per kind:
// cut short, zero-length, random bytes, encrypted (the bytes scrambled, as
// an encrypted store looks to SQLite), and a malformed CREATE statement.
std::vector<DamagedDatabase> DamageDatabase(const std::string& sound_path,
                                            const std::string& folder);

}  // namespace kx::test

#endif  // KX_TESTS_TEST_SUPPORT_H_
