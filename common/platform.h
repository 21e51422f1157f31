// Everything that differs between Windows and POSIX hosts lives behind this
// header (and platform.cpp).
#ifndef KX_COMMON_PLATFORM_H_
#define KX_COMMON_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kx {

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// folder + separator + name; `name` alone when `folder` is empty, and no
// second separator when `folder` already ends with one.
std::string JoinPath(const std::string& folder, const std::string& name);

// UTF-8 path text to a filesystem path and back, without locale surprises.
// On Windows the path is UTF-16 (the W functions), in its extended-length
// form where it is long (WindowsExtendedPath).
std::filesystem::path PathFromUtf8(const std::string& utf8_path);
std::string PathToUtf8(const std::filesystem::path& path);

// A Windows path as the W functions take it at any length: an absolute path
// (drive letter or UNC) of kMaxPlainWindowsPath UTF-16 units or more gets the
// extended-length prefix ("\\?\C:\..." or "\\?\UNC\server\share\..."),
// which takes "\" only and no "." or ".." segments, so those are resolved
// first. Anything else (shorter, relative, already prefixed) is returned as
// it is. Plain text: it behaves alike on every host.
constexpr size_t kMaxPlainWindowsPath = 248;  // CreateDirectoryW's limit
std::string WindowsExtendedPath(const std::string& utf8_path);

// The file name SQLite is given for `utf8_path` (UTF-8; SQLite's Windows
// layer converts it to UTF-16 itself), and the VFS it opens it with (null
// for the default).
std::string SqliteFileName(const std::string& utf8_path);
const char* SqliteVfsName();

// One entry of a folder: its name (UTF-8), whether it is a folder itself (a
// link to a folder is not), and whether it may lead elsewhere: a symbolic
// link, any reparse point on Windows, or an entry whose kind could not be
// told.
struct FolderEntry {
  std::string name;
  bool is_folder = false;
  bool is_link = false;
};

// The entries of `folder` other than "." and "..", in no set order. On
// Windows through FindFirstFileW and FindNextFileW, which take the
// extended-length form of a long path (MinGW's directory iterator turns a
// path of MAX_PATH or more into the current folder). False, with the system
// error in *error, when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries,
                std::error_code* error);

// 100-nanosecond ticks of the system clock.
int64_t NowTicks100ns();

// Broken-down local time of `seconds` since the Unix epoch; thread-safe.
// False when the host cannot convert it.
bool ToLocalTime(int64_t seconds, std::tm* local);

// Makes `size` bytes at `memory`, about to be written, resident in one call
// rather than one page fault per page. A hint: nothing happens where the
// host cannot do it.
void PrepareForWriting(void* memory, size_t size);

// The step of WriteNewFile that failed, and the system error code.
enum class FileStep { kNone, kOpen, kWrite, kClose };
struct FileWriteResult {
  FileStep failed_step = FileStep::kNone;
  int error = 0;
  bool ok() const { return failed_step == FileStep::kNone; }
};

// Makes `bytes` the whole content of a new file at `path`. Whatever the
// name held before is unlinked first rather than truncated, so that a hard
// link sharing it keeps its bytes. On POSIX hosts the common case is one
// open, one write and one close: packagers that write hundreds of thousands
// of small side files spend most of their time in these calls.
FileWriteResult WriteNewFile(const std::string& path, std::string_view bytes);

// A new file written piece by piece (a large detail file), made the way
// WriteNewFile makes it: whatever stands under the name (a file, a planted
// link or FIFO) is unlinked rather than opened, so nothing is written
// through a link and the open never blocks. A folder under the name fails
// the open. Writes are buffered; a failed write sets the stream's badbit.
class NewFileStream : public std::ostream {
 public:
  NewFileStream();
  ~NewFileStream() override;
  NewFileStream(const NewFileStream&) = delete;
  NewFileStream& operator=(const NewFileStream&) = delete;

  // 0, or the system error code of the failed open.
  int Open(const std::string& path);
  bool is_open() const;
  // Flushes and closes; 0 or the system error code of the failed write or
  // close. The destructor closes a file still open.
  int Close();

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer_;
};

// A file that lines are appended to (the log). It is created when missing;
// a name that holds anything but a regular file (a link, a FIFO, a device, a
// folder) is refused, so opening never blocks and nothing is written through
// a planted link.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // 0, or the system error code of the refused or failed open.
  int Open(const std::string& path);
  bool is_open() const;
  // Appends all of `bytes`; 0 or the system error code.
  int Write(std::string_view bytes);

 private:
#if defined(_WIN32)
  std::FILE* file_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace kx

#endif  // KX_COMMON_PLATFORM_H_
