// Finding the databases of each data type in a folder pulled off a phone.
// Sources are only ever read: databases are probed in SQLite's immutable
// mode, which writes nothing beside them.
#ifndef KXPACKAGE_DISCOVERY_H_
#define KXPACKAGE_DISCOVERY_H_

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tools/kxpackage/android_types.h"

struct sqlite3_stmt;

namespace kxpackage {

enum class FileCheck { kDatabase, kMissing, kUnreadable, kNotDatabase, kFolder };

// What a path is, by its first bytes.
FileCheck CheckDatabaseFile(const std::string& path);
std::string DescribeFileCheck(FileCheck check);

// The table names of a database, empty when it cannot be read.
std::set<std::string> ListTables(const std::string& path);

// Reads the schema of the database at `path` into `tables`. Returns "" when
// it reads, else SQLite's own words for why not ("file is not a database"),
// or "file holds no table" for a database without any (an empty file).
std::string ProbeDatabase(const std::string& path, std::set<std::string>* tables);

// SQLite's words for the first row of `path` that cannot be read, reading
// every table through; "" when every row reads. For a database whose schema
// reads but which a packager still could not read through.
std::string FindDamagedRows(const std::string& path);

struct FoundSource {
  std::string path;      // "" when nothing was found
  bool by_name = false;  // found by its usual file name (else by its tables)
  FileCheck check = FileCheck::kMissing;
  std::string damage;  // SQLite's words when the file under a usual name cannot be read
};

// Runs `sql` with `params` bound in order (never spliced) on the database at
// `path`, opened read-only and unchanged; the text of each row's first
// column goes to `values`. Returns "" or SQLite's words for why not.
std::string QueryTexts(const std::string& path, const std::string& sql,
                       const std::vector<std::string>& params, std::vector<std::string>* values);

// Runs `sql` with `params` bound in order on the database at `path`, opened
// read-only and unchanged, handing each row to `on_row` (which stops the
// walk by answering false). Returns "" or SQLite's words for why not.
std::string ForEachRow(const std::string& path, const std::string& sql,
                       const std::vector<std::string>& params,
                       const std::function<bool(sqlite3_stmt*)>& on_row);

// All regular files under `folder` (depth bounded). A link to a file that
// stays inside the folder is listed; one that leads outside it is not, and
// goes to `outside` when given, one line each. Links to folders are not
// followed.
std::vector<std::string> ListCandidateFiles(const std::string& folder,
                                            std::vector<std::string>* outside = nullptr);

// The best source of `pattern` among `files`: the first usual name that holds
// the tables, else the first usual name that is present but cannot be read
// (damaged, not a database), so that the caller can say so, else the first
// database holding one of its table sets. A usual name
// that reads well but lacks the tables (contacts2.db without calls) is not
// this type's database.
FoundSource FindSource(const SourcePattern& pattern, const std::vector<std::string>& files);

// Whether `path` is a database of `pattern` (by its tables and path).
bool MatchesSource(const SourcePattern& pattern, const std::string& path);

// The folder that holds `marker` (a relative folder path such as
// "apps/com.whatsapp/f") somewhere under `folder`, or `folder` itself.
std::string FindPrivateFilesRoot(const std::string& folder, const std::string& marker);

}  // namespace kxpackage

#endif  // KXPACKAGE_DISCOVERY_H_
