// Builds the field-configuration database from its SQL text files.
// Usage: kx_config_builder OUTPUT.db FILE.sql...
// The output is written to a temporary name and renamed, so an interrupted
// build never leaves a half-filled configuration behind.
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool ReadText(const char* path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

int Fail(sqlite3* db, const std::string& message) {
  std::fprintf(stderr, "kx_config_builder: %s\n", message.c_str());
  sqlite3_close(db);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kx_config_builder OUTPUT.db FILE.sql...\n");
    return 2;
  }
  const std::string output = argv[1];
  const std::string partial = output + ".partial";
  std::remove(partial.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(partial.c_str(), &db) != SQLITE_OK) return Fail(db, "cannot create " + partial);
  for (int i = 2; i < argc; ++i) {
    std::string sql;
    if (!ReadText(argv[i], &sql)) return Fail(db, std::string("cannot read ") + argv[i]);
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = std::string(argv[i]) + ": " + (error ? error : "SQL error");
      sqlite3_free(error);
      return Fail(db, message);
    }
  }
  sqlite3_close(db);
  if (std::rename(partial.c_str(), output.c_str()) != 0) {
    std::fprintf(stderr, "kx_config_builder: cannot rename %s\n", partial.c_str());
    return 1;
  }
  return 0;
}
