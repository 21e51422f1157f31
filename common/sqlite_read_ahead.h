// A SQLite VFS that reads a database file ahead while it is read in order.
//
// SQLite reads a database one page at a time, each read a system call. Most
// of what the packagers read is read in the order it lies in the file (a
// table's or an index's pages, one after the other, or one sweep after
// another), and where a system call costs much, as it does in virtual
// machines, those calls are most of the time a scan takes. This VFS wraps
// the platform's own: a read of a main database file that carries on where
// an earlier read ended (or a little past it, as look-ups in key order do)
// fills a window of the following 64 KB in one call, and the reads that
// follow are served from the window. Reads elsewhere go straight to the
// file, as before.
//
// The windows are dropped whenever the file may have changed under them:
// on every lock and unlock of the file and of its WAL index (a transaction
// begins or ends), and on every write and truncation through the file.
// Inside a transaction SQLite's own locks keep the pages it reads from
// changing, so a window never serves bytes that a read would not return.
#ifndef KX_COMMON_SQLITE_READ_AHEAD_H_
#define KX_COMMON_SQLITE_READ_AHEAD_H_

namespace kx {

// The name of the read-ahead VFS, registered (once, thread-safely) over the
// platform's VFS (SqliteVfsName); that VFS's name when it cannot be.
const char* ReadAheadVfsName();

}  // namespace kx

#endif  // KX_COMMON_SQLITE_READ_AHEAD_H_
