#include "tools/kxpackage/discovery.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tools/kxpackage/inside_folder.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a NUL
constexpr int kMaxDepth = 8;
constexpr size_t kMaxFiles = 100000;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// "file:" URI of a path, with the characters URIs reserve escaped.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?immutable=1";
}

// True when the database holds every table of one of the sets.
bool HasTables(const std::string& path, const std::vector<std::vector<std::string>>& sets) {
  if (sets.empty()) return true;
  const std::set<std::string> tables = ListTables(path);
  for (const std::vector<std::string>& set : sets) {
    bool complete = true;
    for (const std::string& table : set) complete = complete && tables.count(table) > 0;
    if (complete) return true;
  }
  return false;
}

}  // namespace

FileCheck CheckDatabaseFile(const std::string& path) {
  std::error_code error;
  const fs::path file = fs::u8path(path);
  if (!fs::exists(file, error)) return FileCheck::kMissing;
  if (fs::is_directory(file, error)) return FileCheck::kFolder;
  std::ifstream in(file, std::ios::binary);
  if (!in) return FileCheck::kUnreadable;
  char header[sizeof kSqliteMagic] = {};
  in.read(header, sizeof header);
  if (in.gcount() != static_cast<std::streamsize>(sizeof header) ||
      std::memcmp(header, kSqliteMagic, sizeof header) != 0) {
    return FileCheck::kNotDatabase;
  }
  return FileCheck::kDatabase;
}

std::string DescribeFileCheck(FileCheck check) {
  switch (check) {
    case FileCheck::kDatabase:
      return "an SQLite database";
    case FileCheck::kMissing:
      return "no such file";
    case FileCheck::kUnreadable:
      return "cannot be read (permission denied?)";
    case FileCheck::kNotDatabase:
      return "not an SQLite database";
    case FileCheck::kFolder:
      return "is a folder, not a file";
  }
  return "unknown";
}

namespace {

using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

// Opens `path` read-only and unchanged; "" or SQLite's words for why not.
std::string OpenUnchanged(const std::string& path, DbHandle* db) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(ImmutableUri(path).c_str(), &raw,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  db->reset(raw);
  if (rc != SQLITE_OK) return raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
  return "";
}

// Steps `sql` to its end, handing each row to `on_row`; "" or SQLite's
// words. A statement that does not prepare fails only with
// `fail_on_prepare`.
template <typename OnRow>
std::string StepThrough(sqlite3* db, const std::string& sql, bool fail_on_prepare, OnRow on_row) {
  sqlite3_stmt* raw_statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw_statement, nullptr) != SQLITE_OK) {
    return fail_on_prepare ? sqlite3_errmsg(db) : "";
  }
  std::unique_ptr<sqlite3_stmt, StmtCloser> statement(raw_statement);
  int step;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) on_row(statement.get());
  return step == SQLITE_DONE ? "" : sqlite3_errmsg(db);
}

std::string ReadTableNames(sqlite3* db, std::set<std::string>* tables) {
  const std::string damage = StepThrough(db, "select name from sqlite_master where type = 'table'",
                                         true, [tables](sqlite3_stmt* row) {
                                           const unsigned char* name = sqlite3_column_text(row, 0);
                                           if (name != nullptr)
                                             tables->insert(reinterpret_cast<const char*>(name));
                                         });
  if (!damage.empty()) return damage;
  return tables->empty() ? "file holds no table" : "";
}

}  // namespace

std::string ProbeDatabase(const std::string& path, std::set<std::string>* tables) {
  DbHandle db;
  const std::string failure = OpenUnchanged(path, &db);
  return failure.empty() ? ReadTableNames(db.get(), tables) : failure;
}

std::string FindDamagedRows(const std::string& path) {
  DbHandle db;
  std::set<std::string> tables;
  std::string damage = OpenUnchanged(path, &db);
  if (damage.empty()) damage = ReadTableNames(db.get(), &tables);
  for (auto table = tables.begin(); damage.empty() && table != tables.end(); ++table) {
    std::string quoted = "\"";
    for (char c : *table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    quoted += '"';
    // A table SQLite will not read as such (a virtual table of a module this
    // build lacks) is no damage of the file.
    damage = StepThrough(db.get(), "select * from " + quoted, false, [](sqlite3_stmt*) {});
  }
  return damage;
}

std::string ForEachRow(const std::string& path, const std::string& sql,
                       const std::vector<std::string>& params,
                       const std::function<bool(sqlite3_stmt*)>& on_row) {
  DbHandle db;
  const std::string failure = OpenUnchanged(path, &db);
  if (!failure.empty()) return failure;
  sqlite3_stmt* raw_statement = nullptr;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw_statement, nullptr) != SQLITE_OK) {
    return sqlite3_errmsg(db.get());
  }
  std::unique_ptr<sqlite3_stmt, StmtCloser> statement(raw_statement);
  for (size_t i = 0; i < params.size(); ++i) {
    sqlite3_bind_text(statement.get(), static_cast<int>(i + 1), params[i].c_str(),
                      static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
  }
  int step;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    if (!on_row(statement.get())) return "";
  }
  return step == SQLITE_DONE ? "" : sqlite3_errmsg(db.get());
}

std::string QueryTexts(const std::string& path, const std::string& sql,
                       const std::vector<std::string>& params, std::vector<std::string>* values) {
  return ForEachRow(path, sql, params, [values](sqlite3_stmt* row) {
    const unsigned char* text = sqlite3_column_text(row, 0);
    values->push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
    return true;
  });
}

std::set<std::string> ListTables(const std::string& path) {
  std::set<std::string> tables;
  if (!ProbeDatabase(path, &tables).empty()) tables.clear();
  return tables;
}

std::vector<std::string> ListCandidateFiles(const std::string& folder,
                                            std::vector<std::string>* outside) {
  std::vector<std::string> files;
  std::error_code error;
  fs::recursive_directory_iterator it(fs::u8path(folder),
                                      fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it.depth() > kMaxDepth) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_symlink(error)) {
      if (it->is_directory(error)) {
        it.disable_recursion_pending();
        continue;
      }
      const std::string path = it->path().u8string();
      const std::string problem = OutsideFolderProblem(folder, path);
      if (problem.empty() && it->is_regular_file(error)) {
        files.push_back(path);
      } else if (!problem.empty() && outside != nullptr) {
        outside->push_back(problem);
      }
      continue;
    }
    if (it->is_regular_file(error)) files.push_back(it->path().u8string());
    if (files.size() >= kMaxFiles) break;
  }
  return files;
}

namespace {

bool PathAllowed(const SourcePattern& pattern, const std::string& path) {
  if (!pattern.required_path_part.empty() &&
      path.find(pattern.required_path_part) == std::string::npos) {
    return false;
  }
  return pattern.excluded_path_part.empty() ||
         path.find(pattern.excluded_path_part) == std::string::npos;
}

}  // namespace

bool MatchesSource(const SourcePattern& pattern, const std::string& path) {
  return PathAllowed(pattern, path) && CheckDatabaseFile(path) == FileCheck::kDatabase &&
         HasTables(path, pattern.table_sets);
}

FoundSource FindSource(const SourcePattern& pattern, const std::vector<std::string>& files) {
  FoundSource broken;  // the first usual name that cannot be read
  for (const std::string& name : pattern.file_names) {
    for (const std::string& file : files) {
      if (fs::u8path(file).filename().u8string() != name || !PathAllowed(pattern, file)) continue;
      // An empty file under the usual name (an application that never
      // wrote its store, a pull that copied nothing) holds nothing to
      // package: it is not there, rather than a damaged database.
      std::error_code error;
      if (fs::is_regular_file(fs::u8path(file), error) &&
          fs::file_size(fs::u8path(file), error) == 0) {
        continue;
      }
      const FileCheck check = CheckDatabaseFile(file);
      std::set<std::string> tables;
      std::string damage;
      if (check == FileCheck::kDatabase || check == FileCheck::kNotDatabase) {
        damage = ProbeDatabase(file, &tables);
      }
      if (check != FileCheck::kDatabase || !damage.empty()) {
        if (broken.path.empty()) broken = {file, true, check, damage};
        continue;
      }
      if (pattern.table_sets.empty()) return {file, true, check, ""};
      for (const std::vector<std::string>& set : pattern.table_sets) {
        bool complete = true;
        for (const std::string& table : set) complete = complete && tables.count(table) > 0;
        if (complete) return {file, true, check, ""};
      }
    }
  }
  if (broken.path.empty() && !pattern.table_sets.empty()) {
    for (const std::string& file : files) {
      if (MatchesSource(pattern, file)) return {file, false, FileCheck::kDatabase, ""};
    }
  }
  return broken;
}

std::string FindPrivateFilesRoot(const std::string& folder, const std::string& marker) {
  const fs::path relative = fs::u8path(marker);
  std::error_code error;
  fs::recursive_directory_iterator it(fs::u8path(folder),
                                      fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it.depth() > kMaxDepth) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_symlink(error) || !it->is_directory(error)) continue;
    // Does the folder's path end with the marker's pieces?
    fs::path root = it->path();
    bool matches = true;
    for (auto piece = relative.end(); piece != relative.begin();) {
      --piece;
      if (root.filename() != *piece) {
        matches = false;
        break;
      }
      root = root.parent_path();
    }
    if (matches) return root.u8string();
  }
  return folder;
}

}  // namespace kxpackage
