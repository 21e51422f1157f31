#include "common/sqlite_wrapper.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "common/log.h"
#include "common/platform.h"
#include "common/sqlite_read_ahead.h"
#include "common/status.h"

namespace kx {

namespace {

// ---------------------------------------------------------------------------
// Open-database registry: (handle, open tick) -> closed flag.
//
// A statement remembers the opening it was prepared on. When that opening is
// closed first (a busy close finalizes every statement SQLite still holds),
// the statement's own finalize must not touch SQLite any more. The open tick
// keeps a handle value that SQLite reuses for a later opening apart from the
// earlier one. An entry lives while its opening is open or one of its
// statements is still prepared: closing an opening without statements
// removes it, and so does the first late finalize of a closed one, so a
// host that opens databases for days keeps no entry per opening. The mutex
// guards the map only: one database and its statements are used by one
// thread at a time.

using OpeningKey = std::pair<std::uintptr_t, int64_t>;

class OpenDatabaseRegistry {
 public:
  enum class FinalizeAction { kFinalize, kDrop };

  void Register(sqlite3* handle, int64_t tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    openings_.emplace(Key(handle, tick), Opening());
  }

  // A statement of the registered opening was prepared.
  void AddStatement(sqlite3* handle, int64_t tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = openings_.find(Key(handle, tick));
    if (found != openings_.end()) ++found->second.statements;
  }

  // Without statements left nothing can ask about the opening any more.
  void MarkClosed(sqlite3* handle, int64_t tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = openings_.find(Key(handle, tick));
    if (found == openings_.end()) return;
    if (found->second.statements == 0) {
      openings_.erase(found);
    } else {
      found->second.closed = true;
    }
  }

  // Keeps the first damage a read of this opening ran into.
  void NoteDamage(sqlite3* handle, int64_t tick, int code, const char* message) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = openings_.find(Key(handle, tick));
    if (found == openings_.end() || found->second.damage_code != 0) return;
    found->second.damage_code = code;
    found->second.damage_message = message != nullptr ? message : "";
  }

  // 0 when no read of the opening found damage.
  int DamageOf(sqlite3* handle, int64_t tick, std::string* message) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = openings_.find(Key(handle, tick));
    if (found == openings_.end()) return 0;
    *message = found->second.damage_message;
    return found->second.damage_code;
  }

  // Whether a statement of this opening may still be finalized through
  // SQLite. The first statement that finds its opening closed removes the
  // entry.
  FinalizeAction DecideFinalize(sqlite3* handle, int64_t tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = openings_.find(Key(handle, tick));
    if (found == openings_.end()) return FinalizeAction::kDrop;
    if (!found->second.closed) {
      --found->second.statements;
      return FinalizeAction::kFinalize;
    }
    openings_.erase(found);
    return FinalizeAction::kDrop;
  }

  bool Lookup(sqlite3* handle, int64_t tick, bool* closed) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = openings_.find(Key(handle, tick));
    if (found == openings_.end()) return false;
    if (closed != nullptr) *closed = found->second.closed;
    return true;
  }

  size_t Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return openings_.size();
  }

 private:
  static OpeningKey Key(sqlite3* handle, int64_t tick) {
    return {reinterpret_cast<std::uintptr_t>(handle), tick};
  }

  std::mutex mutex_;  // guards `openings_`
  struct Opening {
    bool closed = false;
    int statements = 0;   // prepared and not yet finalized
    int damage_code = 0;  // SQLite's result code of the first damaged read
    std::string damage_message;
  };

  std::map<OpeningKey, Opening> openings_;
};

// Result codes that mean the file itself cannot be read further: the rows
// read before stand, the rest is lost.
bool IsDamage(int result_code) {
  const int primary = result_code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR;
}

OpenDatabaseRegistry& Registry() {
  static OpenDatabaseRegistry registry;
  return registry;
}

// The clock can answer the same tick twice (coarse resolution, or a clock
// set back); openings must still get distinct, increasing ticks.
int64_t NextOpenTick() {
  static std::atomic<int64_t> last_tick{0};
  int64_t tick = NowTicks100ns();
  int64_t previous = last_tick.load();
  for (;;) {
    if (tick <= previous) tick = previous + 1;
    if (last_tick.compare_exchange_weak(previous, tick)) return tick;
  }
}

// A connection belongs to the call that opened it and is never handed to
// another thread, so SQLite need not lock it on every call (a lock and an
// unlock per column read add up over millions of rows).
int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kReadWrite:
      return SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    case OpenMode::kReadWriteCreate:
      return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    case OpenMode::kReadOnly:
      return SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
  }
  return SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
}

int SetDbConfigFlag(sqlite3* db, int option, int value) {
  return sqlite3_db_config(db, option, value, static_cast<int*>(nullptr));
}

// Source files come from phones and backups and are not trusted: their
// schema must not run code of its own (triggers, views, functions in
// defaults or indexes) and a damaged file must fail cleanly.
int ApplyDefences(sqlite3* db) {
  const std::pair<int, int> flags[] = {
      {SQLITE_DBCONFIG_DEFENSIVE, 1},
      {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
      {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
      {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
  };
  for (const auto& flag : flags) {
    const int rc = SetDbConfigFlag(db, flag.first, flag.second);
    if (rc != SQLITE_OK) return rc;
  }
  for (const char* pragma : {"PRAGMA mmap_size=0", "PRAGMA cell_size_check=ON"}) {
    const int rc = sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace

// Phone databases declare collations of their own platform (Android's
// PHONEBOOK and LOCALIZED, for one). Without them SQLite refuses to change or
// fill the tables whose indexes name them, so an unknown collation is
// supplied as plain byte order. Indexes built with the real collation may
// then be ordered differently from what this connection expects; the
// packagers never look rows up through such indexes, only the merge inserts
// into them, and only into staged copies.
static int ByteOrderCompare(void*, int left_size, const void* left, int right_size,
                            const void* right) {
  const int common = std::min(left_size, right_size);
  const int order = common > 0 ? std::memcmp(left, right, static_cast<size_t>(common)) : 0;
  if (order != 0) return order;
  return left_size < right_size ? -1 : (left_size > right_size ? 1 : 0);
}

static void SupplyUnknownCollation(void*, sqlite3* db, int, const char* name) {
  sqlite3_create_collation(db, name, SQLITE_UTF8, nullptr, ByteOrderCompare);
}

// SQLite's memory statistics take a global mutex around every allocation,
// hundreds of thousands a package step, and the library reads none of them.
// Only possible before SQLite starts: refused, harmlessly, when a host that
// uses SQLite too started it first.
static void TurnOffMemoryStatistics() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

int OpenGuardedDatabase(const std::string& utf8_path, OpenMode mode, sqlite3** db) {
  *db = nullptr;
  TurnOffMemoryStatistics();
  const int rc =
      sqlite3_open_v2(SqliteFileName(utf8_path).c_str(), db, OpenFlags(mode), ReadAheadVfsName());
  if (rc != SQLITE_OK) return rc;
  sqlite3_collation_needed(*db, nullptr, SupplyUnknownCollation);
  return ApplyDefences(*db);
}

// ---------------------------------------------------------------------------
// SQLite3Wrapper

SQLite3Wrapper::SQLite3Wrapper(std::string utf8_path) : path_(std::move(utf8_path)) {}

SQLite3Wrapper::~SQLite3Wrapper() {
  if (Close() != SQLITE_OK && handle_ != nullptr) {
    // Something other than a statement (a backup) still holds the
    // connection; let SQLite release it once that is done.
    sqlite3_close_v2(handle_);
  }
}

int SQLite3Wrapper::Open(OpenMode mode) {
  if (handle_ != nullptr) {
    const int rc = Close();
    if (rc != SQLITE_OK) return rc;
  }
  const int rc = OpenGuardedDatabase(path_, mode, &handle_);
  open_tick_ = NextOpenTick();
  return rc;
}

int SQLite3Wrapper::Close() {
  if (handle_ == nullptr) return SQLITE_OK;
  int rc = SQLITE_OK;
  if (sqlite3_close(handle_) == SQLITE_BUSY) {
    // Statements the owner did not finalize: finalize them here; their
    // SqliteStatement objects see the closed flag and leave them alone.
    while (sqlite3_stmt* leftover = sqlite3_next_stmt(handle_, nullptr)) {
      sqlite3_finalize(leftover);
    }
    rc = sqlite3_close(handle_);
  }
  Registry().MarkClosed(handle_, open_tick_);
  if (rc == SQLITE_OK) handle_ = nullptr;
  return rc;
}

void SQLite3Wrapper::Begin() { Exec("BEGIN"); }

void SQLite3Wrapper::Commit() { Exec("COMMIT"); }

int SQLite3Wrapper::Exec(const std::string& sql) {
  if (handle_ == nullptr) return SQLITE_MISUSE;
  return sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr);
}

void SQLite3Wrapper::SQLiteErrorLog(int line) const {
  LogEx(kLogModule, kLogError, "[%s](%d): SQLite Error : %s\n", "SQLite3Wrapper::SQLiteErrorLog",
        line, ErrorMessage().c_str());
}

std::string SQLite3Wrapper::ErrorMessage() const {
  if (handle_ == nullptr) return std::string();
  const char* message = sqlite3_errmsg(handle_);
  return message != nullptr ? message : "";
}

std::unique_ptr<SQLite3Wrapper> OpenDatabase(const std::string& utf8_path, OpenMode mode) {
  auto db = std::make_unique<SQLite3Wrapper>(utf8_path);
  if (db->Open(mode) != SQLITE_OK) return nullptr;  // the destructor closes the handle
  db->Exec("PRAGMA encoding = \"UTF-8\"");
  return db;
}

// ---------------------------------------------------------------------------
// Source databases

namespace {

constexpr char kTableCountQuery[] = "SELECT count(*) FROM sqlite_master WHERE type = 'table'";
constexpr char kMalformedSchemaWords[] = "malformed database schema";
constexpr char kNoTableWords[] = "file holds no table";

// "[stem], at LINE line, sqlite error message : MSG.", the old-style
// packagers' line for a source SQLite cannot read.
void LogSqliteWords(const char* stem, int line, const std::string& message) {
  LogEx(kLogModule, kLogError, "[%s], at %d line, sqlite error message : %s.", stem, line,
        message.c_str());
}

SourceCheck Failure(int status, int sqlite_code, std::string message) {
  SourceCheck check;
  check.status = status;
  check.sqlite_code = sqlite_code;
  check.message = std::move(message);
  return check;
}

}  // namespace

SourceCheck CheckSourceDatabase(SQLite3Wrapper* db, OpenMode mode) {
  int rc = db->Open(mode);
  if (rc != SQLITE_OK) {
    std::string message = db->ErrorMessage();
    return Failure(kStatusOpenFailed, rc, message.empty() ? sqlite3_errstr(rc) : message);
  }
  SqliteStatement count;
  rc = count.Prepare(*db, kTableCountQuery);
  if (rc == SQLITE_OK) rc = count.Step();
  if (rc != SQLITE_ROW) {
    std::string message = db->ErrorMessage();
    // SQLite parses every CREATE statement before the first query runs; one
    // it cannot parse fails them all, though the pages read well.
    const bool malformed_schema =
        message.compare(0, sizeof(kMalformedSchemaWords) - 1, kMalformedSchemaWords) == 0;
    return Failure(malformed_schema ? kStatusPrepareFailed : kStatusOpenFailed, rc,
                   std::move(message));
  }
  if (count.ColumnInt64(0) == 0) return Failure(kStatusOpenFailed, SQLITE_NOTADB, kNoTableWords);
  return SourceCheck();
}

int SQLite3Wrapper::ReadDamage(std::string* message) const {
  std::string words;
  const int code = handle_ != nullptr ? Registry().DamageOf(handle_, open_tick_, &words) : 0;
  if (message != nullptr) *message = words;
  return code;
}

int ReportReadDamage(const SQLite3Wrapper& db, const char* stem, int line) {
  std::string message;
  if (db.ReadDamage(&message) == 0) return kStatusOk;
  LogSqliteWords(stem, line, message);
  return kStatusStepFailed;
}

// ---------------------------------------------------------------------------
// SqliteStatement

SqliteStatement::~SqliteStatement() {
  if (handle_ != nullptr) Finalize();
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : result_code_(other.result_code_),
      handle_(std::exchange(other.handle_, nullptr)),
      owner_handle_(other.owner_handle_),
      owner_open_tick_(other.owner_open_tick_),
      sql_(std::move(other.sql_)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    Finalize();
    result_code_ = other.result_code_;
    handle_ = std::exchange(other.handle_, nullptr);
    owner_handle_ = other.owner_handle_;
    owner_open_tick_ = other.owner_open_tick_;
    sql_ = std::move(other.sql_);
  }
  return *this;
}

int SqliteStatement::Prepare(const SQLite3Wrapper& db, const std::string& sql) {
  Finalize();
  sql_ = sql;
  owner_handle_ = db.handle();
  owner_open_tick_ = db.open_tick();
  if (owner_handle_ == nullptr) {
    result_code_ = SQLITE_MISUSE;
    return result_code_;
  }
  if (sql_.size() > static_cast<size_t>(INT_MAX)) {
    result_code_ = SQLITE_TOOBIG;
    return result_code_;
  }
  Registry().Register(owner_handle_, owner_open_tick_);
  result_code_ = sqlite3_prepare_v2(owner_handle_, sql_.c_str(), static_cast<int>(sql_.size()),
                                    &handle_, nullptr);
  if (result_code_ != SQLITE_OK && handle_ != nullptr) {
    sqlite3_finalize(handle_);
    handle_ = nullptr;
  }
  if (handle_ != nullptr) Registry().AddStatement(owner_handle_, owner_open_tick_);
  return result_code_;
}

int SqliteStatement::Step() {
  result_code_ = handle_ != nullptr ? sqlite3_step(handle_) : SQLITE_MISUSE;
  if (result_code_ != SQLITE_ROW && result_code_ != SQLITE_DONE && IsDamage(result_code_)) {
    Registry().NoteDamage(owner_handle_, owner_open_tick_, result_code_,
                          sqlite3_errmsg(owner_handle_));
  }
  return result_code_;
}

int SqliteStatement::Reset() {
  result_code_ = handle_ != nullptr ? sqlite3_reset(handle_) : SQLITE_MISUSE;
  return result_code_;
}

int SqliteStatement::Finalize() {
  if (handle_ == nullptr) {
    result_code_ = SQLITE_OK;
    return result_code_;
  }
  sqlite3_stmt* statement = std::exchange(handle_, nullptr);
  if (Registry().DecideFinalize(owner_handle_, owner_open_tick_) ==
      OpenDatabaseRegistry::FinalizeAction::kFinalize) {
    result_code_ = sqlite3_finalize(statement);
  } else {
    result_code_ = SQLITE_OK;  // already finalized by the database's close
  }
  return result_code_;
}

int SqliteStatement::ColumnCount() const {
  return handle_ != nullptr ? sqlite3_column_count(handle_) : 0;
}

int SqliteStatement::BindText(int index, const std::string& value) {
  result_code_ = handle_ != nullptr
                     ? sqlite3_bind_text64(handle_, index, value.data(), value.size(),
                                           SQLITE_TRANSIENT, SQLITE_UTF8)
                     : SQLITE_MISUSE;
  return result_code_;
}

int SqliteStatement::BindInt(int index, int value) {
  result_code_ = handle_ != nullptr ? sqlite3_bind_int(handle_, index, value) : SQLITE_MISUSE;
  return result_code_;
}

int SqliteStatement::BindInt64(int index, int64_t value) {
  result_code_ = handle_ != nullptr ? sqlite3_bind_int64(handle_, index, value) : SQLITE_MISUSE;
  return result_code_;
}

int SqliteStatement::BindDouble(int index, double value) {
  result_code_ = handle_ != nullptr ? sqlite3_bind_double(handle_, index, value) : SQLITE_MISUSE;
  return result_code_;
}

int SqliteStatement::BindBlob(int index, const void* data, int size) {
  if (handle_ == nullptr || size < 0) {
    result_code_ = SQLITE_MISUSE;
  } else if (size == 0) {
    // An empty vector may hand over a null pointer, which SQLite would bind
    // as NULL; an empty blob stays an empty blob.
    result_code_ = sqlite3_bind_zeroblob(handle_, index, 0);
  } else {
    result_code_ = sqlite3_bind_blob(handle_, index, data, size, SQLITE_TRANSIENT);
  }
  return result_code_;
}

int SqliteStatement::BindNull(int index) {
  result_code_ = handle_ != nullptr ? sqlite3_bind_null(handle_, index) : SQLITE_MISUSE;
  return result_code_;
}

int SqliteStatement::ColumnType(int index) const {
  return handle_ != nullptr ? sqlite3_column_type(handle_, index) : SQLITE_NULL;
}

std::string SqliteStatement::ColumnName(int index) const {
  if (handle_ == nullptr) return std::string();
  const char* name = sqlite3_column_name(handle_, index);
  return name != nullptr ? name : "";
}

std::string SqliteStatement::ColumnText(int index) const {
  return std::string(ColumnTextView(index));
}

std::string_view SqliteStatement::ColumnTextView(int index) const {
  if (handle_ == nullptr) return std::string_view();
  const unsigned char* text = sqlite3_column_text(handle_, index);
  if (text == nullptr) return std::string_view();
  const int length = sqlite3_column_bytes(handle_, index);
  return std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
}

int SqliteStatement::ColumnInt(int index) const {
  return handle_ != nullptr ? sqlite3_column_int(handle_, index) : 0;
}

int64_t SqliteStatement::ColumnInt64(int index) const {
  return handle_ != nullptr ? sqlite3_column_int64(handle_, index) : 0;
}

double SqliteStatement::ColumnDouble(int index) const {
  return handle_ != nullptr ? sqlite3_column_double(handle_, index) : 0.0;
}

std::string_view SqliteStatement::ColumnBlobView(int index) const {
  if (handle_ == nullptr) return std::string_view();
  const void* bytes = sqlite3_column_blob(handle_, index);
  const int size = sqlite3_column_bytes(handle_, index);
  if (bytes == nullptr || size <= 0) return std::string_view();
  return std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(size));
}

std::vector<uint8_t> SqliteStatement::ColumnBlob(int index) const {
  if (handle_ == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(handle_, index));
  const int length = sqlite3_column_bytes(handle_, index);
  if (bytes == nullptr || length <= 0) return {};
  return std::vector<uint8_t>(bytes, bytes + length);
}

ReadTransaction::ReadTransaction(const SQLite3Wrapper& db) : handle_(db.handle()) {
  begun_ =
      handle_ != nullptr && sqlite3_exec(handle_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
}

ReadTransaction::~ReadTransaction() {
  if (begun_) sqlite3_exec(handle_, "COMMIT", nullptr, nullptr, nullptr);
}

SqliteStatement PrepareStatement(const SQLite3Wrapper& db, const std::string& sql) {
  SqliteStatement statement;
  statement.Prepare(db, sql);
  return statement;
}

int SqliteBusyWait(void* /*unused*/, int /*attempts*/) {
  // 1000 ticks of 100 ns; answering 1 makes SQLite try again, without limit.
  std::this_thread::sleep_for(std::chrono::microseconds(100));
  return 1;
}

size_t RegisteredOpeningCount() { return Registry().Size(); }

bool IsRegisteredOpening(sqlite3* handle, int64_t open_tick, bool* closed) {
  return Registry().Lookup(handle, open_tick, closed);
}

}  // namespace kx
