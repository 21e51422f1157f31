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

// Creates (or opens) the database at `path` and runs `sql` (several
// statements allowed). Fails the current test on an SQL error.
void RunSql(const std::string& path, const std::string& sql);

// Runs `sql` and returns the first column of every row as text ("NULL" for
// NULL), rows in order.
std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Upper-case hexadecimal, as SQLite's hex() gives it.
std::string HexBytes(const std::string& bytes);

// The folder of the built KxDataConfiger.db.
std::string ConfigFolder();

}  // namespace kx::test

#endif  // KX_TESTS_TEST_SUPPORT_H_
