// SQLite access: the database wrapper, its open-database registry and the
// statement object.
//
// Every database is opened with SQLite's defences for untrusted files
// (defensive mode, no trusted schema, triggers and views disabled, no memory
// mapping), so that a hostile file can neither run code of its own nor make
// a view pass for a table.
#ifndef KX_COMMON_SQLITE_WRAPPER_H_
#define KX_COMMON_SQLITE_WRAPPER_H_

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx {

// Log stem of this layer's own messages.
constexpr const char kSqliteCommonStem[] = "sqlitecommon";

enum class OpenMode {
  kReadWrite,        // an existing file, read and written (staged copies)
  kReadWriteCreate,  // created when missing (output databases, fixtures)
  kReadOnly,         // never written (the field configuration)
};

// Opens `utf8_path` with the defences above. On failure *db may still hold a
// handle that the caller must close (as sqlite3_open_v2 does). Returns the
// SQLite result code.
int OpenGuardedDatabase(const std::string& utf8_path, OpenMode mode, sqlite3** db);

// One open database file. Closing (explicitly or in the destructor) marks the
// opening closed in the open-database registry, so statements that outlive
// it are dropped without touching SQLite.
class SQLite3Wrapper {
 public:
  explicit SQLite3Wrapper(std::string utf8_path);
  ~SQLite3Wrapper();
  SQLite3Wrapper(const SQLite3Wrapper&) = delete;
  SQLite3Wrapper& operator=(const SQLite3Wrapper&) = delete;

  // Opens the path; the handle is kept even when the open fails. Returns the
  // SQLite result code (0 = success).
  int Open(OpenMode mode = OpenMode::kReadWrite);
  // Returns the SQLite result code; the handle is cleared only on success.
  // A busy close finalizes every statement still open and closes again.
  int Close();
  void Begin();
  void Commit();
  // sqlite3_exec without callback; returns its result code.
  int Exec(const std::string& sql);
  // One level-3 line "[SQLite3Wrapper::SQLiteErrorLog](line): SQLite Error : msg".
  void SQLiteErrorLog(int line) const;
  // sqlite3_errmsg of the handle, or "" without one.
  std::string ErrorMessage() const;
  // SQLite's result code of the first step of a statement of this opening
  // that found the file damaged (corrupt, not a database, I/O error), with
  // SQLite's words in *message; 0 when none did. A loop that ends on such a
  // step has read the rows before it and lost the rest.
  int ReadDamage(std::string* message) const;

  sqlite3* handle() const { return handle_; }
  int64_t open_tick() const { return open_tick_; }
  const std::string& path() const { return path_; }

  // Free for the wrapper's owner; no behaviour here.
  std::unordered_map<std::string, std::string> owner_values;

 private:
  sqlite3* handle_ = nullptr;
  int64_t open_tick_ = 0;
  std::string path_;
};

// Opens the path and sets the UTF-8 encoding pragma; null on failure (the
// failed handle is closed).
std::unique_ptr<SQLite3Wrapper> OpenDatabase(const std::string& utf8_path,
                                             OpenMode mode = OpenMode::kReadWrite);

// What opening a source database and reading its schema showed. SQLite
// opens any file lazily: only the first read of the schema tells a database
// from something else.
struct SourceCheck {
  int status = 0;       // kStatusOk, kStatusOpenFailed or kStatusPrepareFailed
  int sqlite_code = 0;  // SQLite's result code of the failure
  std::string message;  // SQLite's own words ("file is not a database")
  bool ok() const { return status == 0; }
};

// Opens `db` (an existing staged copy, or with kReadOnly a file that is
// never to be written) and reads its schema. The status is
// kStatusOpenFailed when the file cannot be opened or read as a database,
// which includes a file holding no table at all (an empty file, as a failed
// pull leaves it); kStatusPrepareFailed when a CREATE statement of its schema
// cannot be parsed, since then no statement can be prepared on it.
SourceCheck CheckSourceDatabase(SQLite3Wrapper* db, OpenMode mode = OpenMode::kReadWrite);

// After the rows were read: when a read of `db` found the file damaged, logs
// it once, "[stem], at LINE line, sqlite error message : MSG.", and returns
// kStatusStepFailed; else kStatusOk. What was read is still packaged.
int ReportReadDamage(const SQLite3Wrapper& db, const char* stem, int line);

// One prepared statement. Finalizing is safe after its database was closed.
// Readers follow the library's convention: NULL text reads "", a missing
// statement reads 0 / 0.0 / "" / empty blob.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Registers the database's opening and prepares; returns the result code.
  int Prepare(const SQLite3Wrapper& db, const std::string& sql);
  int Step();
  int Reset();
  int Finalize();
  int ColumnCount() const;

  int BindText(int index, const std::string& value);
  int BindInt(int index, int value);
  int BindInt64(int index, int64_t value);
  int BindDouble(int index, double value);
  int BindBlob(int index, const void* data, int size);
  int BindNull(int index);

  int ColumnType(int index) const;
  std::string ColumnName(int index) const;
  std::string ColumnText(int index) const;
  // The same bytes without a copy: valid until the next step, reset or read
  // of the same column in another form.
  std::string_view ColumnTextView(int index) const;
  int ColumnInt(int index) const;
  int64_t ColumnInt64(int index) const;
  double ColumnDouble(int index) const;
  std::vector<uint8_t> ColumnBlob(int index) const;
  // The same bytes without a copy, valid until the next step or reset.
  std::string_view ColumnBlobView(int index) const;

  bool prepared() const { return handle_ != nullptr; }
  sqlite3_stmt* handle() const { return handle_; }
  int result_code() const { return result_code_; }
  const std::string& sql() const { return sql_; }

 private:
  int result_code_ = 0;
  sqlite3_stmt* handle_ = nullptr;
  sqlite3* owner_handle_ = nullptr;
  int64_t owner_open_tick_ = 0;
  std::string sql_;
};

// One read transaction around many queries: without it every statement
// takes and drops the file locks again (a stat and several fcntl calls per
// look-up). BEGIN on construction, COMMIT on destruction; failures leave the
// statements to run in their own transactions, as before.
class ReadTransaction {
 public:
  explicit ReadTransaction(const SQLite3Wrapper& db);
  ~ReadTransaction();
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  sqlite3* handle_;
  bool begun_ = false;
};

// Columns found by name, -1 where the store lacks them: an integer (0 for an
// absent column or a value of another type) and a text ("" likewise; the
// view is valid as ColumnTextView's).
inline int64_t IntegerOrZero(const SqliteStatement& row, int column) {
  return column >= 0 && row.ColumnType(column) == SQLITE_INTEGER ? row.ColumnInt64(column) : 0;
}
inline std::string_view TextOrEmpty(const SqliteStatement& row, int column) {
  return column >= 0 && row.ColumnType(column) == SQLITE_TEXT ? row.ColumnTextView(column)
                                                              : std::string_view();
}

// PrepareStatement of the access layer: the statement, prepared or not.
SqliteStatement PrepareStatement(const SQLite3Wrapper& db, const std::string& sql);

// Busy handler: sleeps 0.1 ms and asks SQLite to retry.
int SqliteBusyWait(void* unused, int attempts);

// Whether the registry knows the opening (handle, tick), and whether it is
// marked closed. For tests of the lifecycle rules.
bool IsRegisteredOpening(sqlite3* handle, int64_t open_tick, bool* closed);
// The number of openings the registry holds (tests and benchmarks).
size_t RegisteredOpeningCount();

}  // namespace kx

// The shared log formats for failed SQL.
// "[stem], at LINE line, sqlite error message : MSG."
#define KX_LOG_SQLITE_ERROR(stem, db_handle)                                                       \
  LogEx(::kx::kLogModule, ::kx::kLogError, "[%s], at %d line, sqlite error message : %s.", (stem), \
        __LINE__, sqlite3_errmsg(db_handle))
// "[function](LINE): Query failed! sql:{SQL}, Sqlite3 error message:{MSG}"
#define KX_LOG_QUERY_FAILED(level, function, sql_text, db_handle)                                  \
  LogEx(::kx::kLogModule, (level), "[%s](%d): Query failed! sql:{%s}, Sqlite3 error message:{%s}", \
        (function), __LINE__, (sql_text), sqlite3_errmsg(db_handle))

#endif  // KX_COMMON_SQLITE_WRAPPER_H_
