// Owners of the SQLite handles the generators write with. The
// generators use SQLite alone (not the library), so that any host can link
// them beside the shared library.
#ifndef KX_SAMPLES_ANDROID_SAMPLE_SQLITE_H_
#define KX_SAMPLES_ANDROID_SAMPLE_SQLITE_H_

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace kx::samples {

// A prepared statement, finalized when the object dies.
class SampleStatement {
 public:
  SampleStatement(sqlite3* db, const char* sql) {
    sqlite3_stmt* handle = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &handle, nullptr) == SQLITE_OK) handle_.reset(handle);
  }
  bool prepared() const { return handle_ != nullptr; }
  void BindInt(int index, int value) { sqlite3_bind_int(handle_.get(), index, value); }
  void BindInt64(int index, int64_t value) { sqlite3_bind_int64(handle_.get(), index, value); }
  void BindText(int index, const std::string& value) {
    sqlite3_bind_text(handle_.get(), index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
  }
  void BindNull(int index) { sqlite3_bind_null(handle_.get(), index); }
  void BindDouble(int index, double value) { sqlite3_bind_double(handle_.get(), index, value); }
  void BindBlob(int index, const std::string& bytes) {
    sqlite3_bind_blob(handle_.get(), index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
  }
  int Step() { return sqlite3_step(handle_.get()); }
  void Reset() { sqlite3_reset(handle_.get()); }
  sqlite3_stmt* handle() const { return handle_.get(); }

 private:
  struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
  };
  std::unique_ptr<sqlite3_stmt, Finalizer> handle_;
};

// A database file created afresh (an existing file at the path is removed
// first), closed when the object dies.
class SampleDatabase {
 public:
  explicit SampleDatabase(const std::string& utf8_path) {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(utf8_path), ignored);
    sqlite3* handle = nullptr;
    const int opened = sqlite3_open_v2(utf8_path.c_str(), &handle,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    handle_.reset(handle);
    if (opened != SQLITE_OK) handle_.reset();
  }
  bool is_open() const { return handle_ != nullptr; }
  sqlite3* handle() const { return handle_.get(); }
  // Several statements allowed; true on success.
  bool Exec(const char* sql) {
    return sqlite3_exec(handle_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  // Closes now; false when SQLite could not finish the file.
  bool Close() { return sqlite3_close(handle_.release()) == SQLITE_OK; }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
  };
  std::unique_ptr<sqlite3, Closer> handle_;
};

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_SAMPLE_SQLITE_H_
