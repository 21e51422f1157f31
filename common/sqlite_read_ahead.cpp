#include "common/sqlite_read_ahead.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "common/platform.h"

namespace kx {

namespace {

constexpr char kVfsName[] = "kx-read-ahead";
// A window's size, and how many a file keeps: a few sweeps read side by
// side (a table and its index) each keep a window of their own.
constexpr sqlite3_int64 kWindowBytes = 64 * 1024;
constexpr int kWindowCount = 4;
// A read this far past where a sweep's last read ended still carries the
// sweep on: look-ups in key order skip the rows of other keys (the
// messages of other chats) between the pages they read.
constexpr sqlite3_int64 kSkipBytes = 32 * 1024;

struct Window {
  sqlite3_int64 start = 0;
  sqlite3_int64 size = 0;  // less than kWindowBytes at the end of the file
  sqlite3_int64 next = 0;  // where the last read it served ended
  uint64_t used = 0;       // when it last served a read
  bool valid = false;
  std::unique_ptr<char[]> bytes;  // made when first filled
};

// What a main database file keeps beside the platform's file.
struct ReadAhead {
  Window windows[kWindowCount];
  sqlite3_int64 direct_end = -1;  // where the last read not served by a window ended
  uint64_t clock = 0;

  void Drop() {
    for (Window& window : windows) window.valid = false;
    direct_end = -1;
  }
};

// The file SQLite is handed: the platform's file follows it in the same
// allocation (the VFS's szOsFile covers both).
struct ReadAheadFile {
  sqlite3_file base;
  sqlite3_file* real;
  ReadAhead* ahead;  // null: reads go straight through (journals, WAL files, temp files)
};

sqlite3_file* Real(sqlite3_file* file) { return reinterpret_cast<ReadAheadFile*>(file)->real; }

void DropWindows(sqlite3_file* file) {
  ReadAhead* ahead = reinterpret_cast<ReadAheadFile*>(file)->ahead;
  if (ahead != nullptr) ahead->Drop();
}

// A window that serves the whole of [offset, offset + amount), or null.
Window* Covering(ReadAhead* ahead, sqlite3_int64 offset, int amount) {
  for (Window& window : ahead->windows) {
    if (window.valid && offset >= window.start && offset + amount <= window.start + window.size) {
      return &window;
    }
  }
  return nullptr;
}

// True when a read at `offset` carries on a sweep whose last read ended at
// `end`: it starts there, or a little further on.
bool CarriesOn(sqlite3_int64 end, sqlite3_int64 offset) {
  return end >= 0 && offset >= end && offset - end < kSkipBytes;
}

// The window a read that carries on at `offset` fills: the one whose
// sweep it continues, else the one unused longest; null when the read
// starts a sweep of its own nowhere near where one ended.
Window* WindowToFill(ReadAhead* ahead, sqlite3_int64 offset) {
  Window* oldest = &ahead->windows[0];
  for (Window& window : ahead->windows) {
    if (window.valid && CarriesOn(window.next, offset)) return &window;
    if (!window.valid || window.used < oldest->used) oldest = &window;
  }
  return CarriesOn(ahead->direct_end, offset) ? oldest : nullptr;
}

// Fills `window` from `offset`: the next kWindowBytes, or what is left of
// the file when that is less but still holds the `amount` bytes wanted.
// False when the window cannot be filled; the read then goes straight to
// the file, which tells SQLite what happened.
bool Fill(sqlite3_file* real, Window* window, sqlite3_int64 offset, int amount) {
  window->valid = false;
  if (window->bytes == nullptr) window->bytes.reset(new (std::nothrow) char[kWindowBytes]);
  if (window->bytes == nullptr) return false;
  sqlite3_int64 size = kWindowBytes;
  int rc = real->pMethods->xRead(real, window->bytes.get(), static_cast<int>(size), offset);
  if (rc == SQLITE_IOERR_SHORT_READ) {
    sqlite3_int64 file_size = 0;
    if (real->pMethods->xFileSize(real, &file_size) != SQLITE_OK || file_size < offset + amount) {
      return false;
    }
    size = file_size - offset;
    rc = real->pMethods->xRead(real, window->bytes.get(), static_cast<int>(size), offset);
  }
  if (rc != SQLITE_OK) return false;
  window->valid = true;
  window->start = offset;
  window->size = size;
  return true;
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  sqlite3_file* real = Real(file);
  ReadAhead* ahead = reinterpret_cast<ReadAheadFile*>(file)->ahead;
  if (ahead == nullptr || amount <= 0 || amount > kWindowBytes) {
    return real->pMethods->xRead(real, buffer, amount, offset);
  }
  Window* window = Covering(ahead, offset, amount);
  if (window == nullptr) {
    window = WindowToFill(ahead, offset);
    if (window != nullptr && !Fill(real, window, offset, amount)) window = nullptr;
  }
  if (window == nullptr) {
    ahead->direct_end = offset + amount;
    return real->pMethods->xRead(real, buffer, amount, offset);
  }
  std::memcpy(buffer, window->bytes.get() + (offset - window->start), static_cast<size_t>(amount));
  window->next = offset + amount;
  window->used = ++ahead->clock;
  return SQLITE_OK;
}

int Close(sqlite3_file* file) {
  auto* own = reinterpret_cast<ReadAheadFile*>(file);
  delete own->ahead;
  own->ahead = nullptr;
  return own->real->pMethods->xClose(own->real);
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  DropWindows(file);
  return Real(file)->pMethods->xWrite(Real(file), buffer, amount, offset);
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  DropWindows(file);
  return Real(file)->pMethods->xTruncate(Real(file), size);
}

int Sync(sqlite3_file* file, int flags) { return Real(file)->pMethods->xSync(Real(file), flags); }

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
  return Real(file)->pMethods->xFileSize(Real(file), size);
}

int Lock(sqlite3_file* file, int level) {
  DropWindows(file);
  return Real(file)->pMethods->xLock(Real(file), level);
}

int Unlock(sqlite3_file* file, int level) {
  DropWindows(file);
  return Real(file)->pMethods->xUnlock(Real(file), level);
}

int CheckReservedLock(sqlite3_file* file, int* out) {
  return Real(file)->pMethods->xCheckReservedLock(Real(file), out);
}

// Some controls change the file (a size hint, an overwrite): the windows go
// with any of them.
int FileControl(sqlite3_file* file, int op, void* argument) {
  DropWindows(file);
  return Real(file)->pMethods->xFileControl(Real(file), op, argument);
}

int SectorSize(sqlite3_file* file) { return Real(file)->pMethods->xSectorSize(Real(file)); }

int DeviceCharacteristics(sqlite3_file* file) {
  return Real(file)->pMethods->xDeviceCharacteristics(Real(file));
}

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory) {
  return Real(file)->pMethods->xShmMap(Real(file), region, size, extend, memory);
}

int ShmLock(sqlite3_file* file, int offset, int count, int flags) {
  DropWindows(file);
  return Real(file)->pMethods->xShmLock(Real(file), offset, count, flags);
}

void ShmBarrier(sqlite3_file* file) { Real(file)->pMethods->xShmBarrier(Real(file)); }

int ShmUnmap(sqlite3_file* file, int remove) {
  DropWindows(file);
  return Real(file)->pMethods->xShmUnmap(Real(file), remove);
}

int Fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** pointer) {
  return Real(file)->pMethods->xFetch(Real(file), offset, amount, pointer);
}

int Unfetch(sqlite3_file* file, sqlite3_int64 offset, void* pointer) {
  return Real(file)->pMethods->xUnfetch(Real(file), offset, pointer);
}

// One table for each version of the platform file's methods: SQLite calls
// only the methods the version names.
sqlite3_io_methods MethodsOfVersion(int version) {
  sqlite3_io_methods methods = {};
  methods.iVersion = version;
  methods.xClose = Close;
  methods.xRead = Read;
  methods.xWrite = Write;
  methods.xTruncate = Truncate;
  methods.xSync = Sync;
  methods.xFileSize = FileSize;
  methods.xLock = Lock;
  methods.xUnlock = Unlock;
  methods.xCheckReservedLock = CheckReservedLock;
  methods.xFileControl = FileControl;
  methods.xSectorSize = SectorSize;
  methods.xDeviceCharacteristics = DeviceCharacteristics;
  if (version >= 2) {
    methods.xShmMap = ShmMap;
    methods.xShmLock = ShmLock;
    methods.xShmBarrier = ShmBarrier;
    methods.xShmUnmap = ShmUnmap;
  }
  if (version >= 3) {
    methods.xFetch = Fetch;
    methods.xUnfetch = Unfetch;
  }
  return methods;
}

const sqlite3_io_methods* Methods(int version) {
  static const sqlite3_io_methods kMethods[] = {MethodsOfVersion(1), MethodsOfVersion(2),
                                                MethodsOfVersion(3)};
  if (version < 1) version = 1;
  if (version > 3) version = 3;
  return &kMethods[version - 1];
}

sqlite3_vfs* BaseVfs(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  auto* own = reinterpret_cast<ReadAheadFile*>(file);
  own->base.pMethods = nullptr;
  own->real = reinterpret_cast<sqlite3_file*>(own + 1);
  own->ahead = nullptr;
  const int rc = BaseVfs(vfs)->xOpen(BaseVfs(vfs), name, own->real, flags, out_flags);
  if (own->real->pMethods == nullptr) return rc;  // nothing to close
  if ((flags & SQLITE_OPEN_MAIN_DB) != 0 && rc == SQLITE_OK) {
    own->ahead = new (std::nothrow) ReadAhead();
  }
  own->base.pMethods = Methods(own->real->pMethods->iVersion);
  return rc;
}

int Delete(sqlite3_vfs* vfs, const char* name, int sync_dir) {
  return BaseVfs(vfs)->xDelete(BaseVfs(vfs), name, sync_dir);
}

int Access(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
  return BaseVfs(vfs)->xAccess(BaseVfs(vfs), name, flags, out);
}

int FullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
  return BaseVfs(vfs)->xFullPathname(BaseVfs(vfs), name, size, out);
}

void* DlOpen(sqlite3_vfs* vfs, const char* name) {
  return BaseVfs(vfs)->xDlOpen(BaseVfs(vfs), name);
}

void DlError(sqlite3_vfs* vfs, int size, char* out) {
  BaseVfs(vfs)->xDlError(BaseVfs(vfs), size, out);
}

void (*DlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
  return BaseVfs(vfs)->xDlSym(BaseVfs(vfs), handle, symbol);
}

void DlClose(sqlite3_vfs* vfs, void* handle) { BaseVfs(vfs)->xDlClose(BaseVfs(vfs), handle); }

int Randomness(sqlite3_vfs* vfs, int size, char* out) {
  return BaseVfs(vfs)->xRandomness(BaseVfs(vfs), size, out);
}

int Sleep(sqlite3_vfs* vfs, int microseconds) {
  return BaseVfs(vfs)->xSleep(BaseVfs(vfs), microseconds);
}

int CurrentTime(sqlite3_vfs* vfs, double* out) {
  return BaseVfs(vfs)->xCurrentTime(BaseVfs(vfs), out);
}

int GetLastError(sqlite3_vfs* vfs, int size, char* out) {
  return BaseVfs(vfs)->xGetLastError(BaseVfs(vfs), size, out);
}

int CurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) {
  return BaseVfs(vfs)->xCurrentTimeInt64(BaseVfs(vfs), out);
}

// The VFS over `base`, of version 2 at most: the system-call overrides of
// version 3 are for SQLite's tests.
sqlite3_vfs MakeVfs(sqlite3_vfs* base) {
  sqlite3_vfs vfs = {};
  vfs.iVersion = base->iVersion < 2 ? base->iVersion : 2;
  vfs.szOsFile = static_cast<int>(sizeof(ReadAheadFile)) + base->szOsFile;
  vfs.mxPathname = base->mxPathname;
  vfs.zName = kVfsName;
  vfs.pAppData = base;
  vfs.xOpen = Open;
  vfs.xDelete = Delete;
  vfs.xAccess = Access;
  vfs.xFullPathname = FullPathname;
  vfs.xDlOpen = DlOpen;
  vfs.xDlError = DlError;
  vfs.xDlSym = DlSym;
  vfs.xDlClose = DlClose;
  vfs.xRandomness = Randomness;
  vfs.xSleep = Sleep;
  vfs.xCurrentTime = CurrentTime;
  vfs.xGetLastError = GetLastError;
  if (vfs.iVersion >= 2) vfs.xCurrentTimeInt64 = CurrentTimeInt64;
  return vfs;
}

}  // namespace

const char* ReadAheadVfsName() {
  static sqlite3_vfs vfs;
  static const char* name = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    name = SqliteVfsName();
    sqlite3_vfs* base = sqlite3_vfs_find(name);
    if (base == nullptr || sqlite3_initialize() != SQLITE_OK) return;
    vfs = MakeVfs(base);
    if (sqlite3_vfs_register(&vfs, 0) == SQLITE_OK) name = kVfsName;
  });
  return name;
}

}  // namespace kx
