#include "common/platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>
#include <vector>

#include "common/text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kx {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  // A folder given with its trailing separator does not get a second one.
  if (folder.back() == kPathSeparator || folder.back() == '/') return folder + name;
  std::string joined = folder;
  joined.push_back(kPathSeparator);
  joined.append(name);
  return joined;
}

std::filesystem::path PathFromUtf8(const std::string& utf8_path) {
#if defined(_WIN32)
  // Paths are built from data too: bytes that are not UTF-8 become U+FFFD
  // here, where u8path would throw.
  const std::u16string wide = Utf8ToUtf16(WindowsExtendedPath(utf8_path));
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  // POSIX names are bytes: no conversion, nothing to fail.
  return std::filesystem::u8path(utf8_path);
#endif
}

namespace {

bool IsWindowsSlash(char c) { return c == '\\' || c == '/'; }

// UTF-16 units of UTF-8 text: one per sequence, two for a four-byte one.
size_t Utf16Length(const std::string& utf8) {
  size_t units = 0;
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;
  }
  return units;
}

// `root` followed by the segments of `rest`, "\"-joined, "." dropped and
// ".." taking off the segment before it (never the root).
std::string JoinResolved(std::string root, const std::string& rest) {
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsWindowsSlash(rest[end])) ++end;
    const std::string segment = rest.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) root.push_back('\\');
    root += segments[i];
  }
  return root;
}

}  // namespace

std::string WindowsExtendedPath(const std::string& path) {
  if (Utf16Length(path) < kMaxPlainWindowsPath) return path;
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && IsWindowsSlash(path[2]);
  if (drive) return JoinResolved("\\\\?\\" + path.substr(0, 2) + "\\", path.substr(3));
  // "\\server\share\...": not "\\?\" or "\\.\" (already a device path).
  const bool unc = path.size() > 2 && IsWindowsSlash(path[0]) && IsWindowsSlash(path[1]) &&
                   path[2] != '?' && path[2] != '.' && !IsWindowsSlash(path[2]);
  if (!unc) return path;
  size_t server_end = 2;
  while (server_end < path.size() && !IsWindowsSlash(path[server_end])) ++server_end;
  size_t share_end = server_end + 1;
  while (share_end < path.size() && !IsWindowsSlash(path[share_end])) ++share_end;
  if (server_end >= path.size() || share_end == server_end + 1) return path;
  std::string root = "\\\\?\\UNC\\" + path.substr(2, server_end - 2) + "\\" +
                     path.substr(server_end + 1, share_end - server_end - 1) + "\\";
  if (share_end >= path.size()) root.pop_back();
  return JoinResolved(root, share_end < path.size() ? path.substr(share_end + 1) : std::string());
}

std::string SqliteFileName(const std::string& utf8_path) {
#if defined(_WIN32)
  return WindowsExtendedPath(utf8_path);
#else
  return utf8_path;
#endif
}

const char* SqliteVfsName() {
#if defined(_WIN32)
  // The Windows VFS that takes paths longer than MAX_PATH.
  return "win32-longpath";
#else
  return nullptr;
#endif
}

std::string PathToUtf8(const std::filesystem::path& path) {
#if defined(_WIN32)
  // A Windows name may hold a lone surrogate, which u8string() would throw
  // on; it becomes U+FFFD.
  const std::wstring& wide = path.native();
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
#else
  // C++17: u8string() is a std::string holding UTF-8.
  return path.u8string();
#endif
}

#if defined(_WIN32)

namespace {

struct FindHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~FindHandle() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

}  // namespace

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries,
                std::error_code* error) {
  std::filesystem::path pattern = PathFromUtf8(JoinPath(folder, "*"));
  WIN32_FIND_DATAW found{};
  FindHandle find;
  find.handle = FindFirstFileW(pattern.c_str(), &found);
  if (find.handle == INVALID_HANDLE_VALUE) {
    *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return false;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = found.dwFileAttributes;
    const bool reparse_point = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries->push_back(FolderEntry{PathToUtf8(std::filesystem::path(name)),
                                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !reparse_point,
                                   reparse_point});
  } while (FindNextFileW(find.handle, &found));
  const DWORD last = GetLastError();
  if (last != ERROR_NO_MORE_FILES) {
    *error = std::error_code(static_cast<int>(last), std::system_category());
    return false;
  }
  return true;
}

#else

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries,
                std::error_code* error) {
  std::filesystem::directory_iterator next(PathFromUtf8(folder), *error);
  for (; !*error && next != std::filesystem::directory_iterator(); next.increment(*error)) {
    // The kind comes with the listing where the file system tells it, so
    // this costs no call of its own.
    std::error_code status_error;
    const std::filesystem::file_type type = next->symlink_status(status_error).type();
    const bool known = !status_error && type != std::filesystem::file_type::none &&
                       type != std::filesystem::file_type::unknown;
    entries->push_back(FolderEntry{PathToUtf8(next->path().filename()),
                                   known && type == std::filesystem::file_type::directory,
                                   !known || type == std::filesystem::file_type::symlink});
  }
  return !*error;
}

#endif

int64_t NowTicks100ns() {
  using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool ToLocalTime(int64_t seconds, std::tm* local) {
  const std::time_t time = static_cast<std::time_t>(seconds);
#if defined(_WIN32)
  return localtime_s(local, &time) == 0;
#else
  return localtime_r(&time, local) != nullptr;
#endif
}

void PrepareForWriting(void* memory, size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(memory) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + size) / page * page;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)memory;
  (void)size;
#endif
}

namespace {

FileWriteResult Failed(FileStep step, int error) { return {step, error != 0 ? error : EIO}; }

}  // namespace

#if defined(_WIN32)

namespace {

// Unlinks what stands under `native` so that a new file takes the name. A
// folder stays (std::filesystem::remove would take an empty one away): the
// open then fails, as it does on POSIX hosts.
void FreeName(const std::filesystem::path& native) {
  std::error_code ignored;
  if (std::filesystem::symlink_status(native, ignored).type() ==
      std::filesystem::file_type::directory) {
    return;
  }
  std::filesystem::remove(native, ignored);
}

// A new file through the C library; the name is freed first, and "x" makes
// the open fail rather than reuse whatever appeared there since.
class NewFile {
 public:
  int Open(const std::string& path) {
    const std::filesystem::path native = PathFromUtf8(path);
    FreeName(native);
    errno = 0;
    file_ = _wfopen(native.c_str(), L"wbx");
    return file_ != nullptr ? 0 : (errno != 0 ? errno : EIO);
  }
  bool is_open() const { return file_ != nullptr; }
  int Write(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) return 0;
    return errno != 0 ? errno : EIO;
  }
  int Close() {
    if (file_ == nullptr) return 0;
    errno = 0;
    const int result = std::fclose(file_);
    file_ = nullptr;
    return result == 0 ? 0 : (errno != 0 ? errno : EIO);
  }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace

FileWriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  const std::filesystem::path native = PathFromUtf8(path);
  FreeName(native);
  errno = 0;
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return Failed(FileStep::kOpen, errno);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) return Failed(FileStep::kWrite, errno);
  out.close();
  if (out.fail()) return Failed(FileStep::kClose, errno);
  return {};
}

AppendFile::~AppendFile() {
  if (file_ != nullptr) std::fclose(file_);
}

int AppendFile::Open(const std::string& path) {
  const std::filesystem::path native = PathFromUtf8(path);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(native, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return EINVAL;
  errno = 0;
  file_ = _wfopen(native.c_str(), L"ab");
  return file_ != nullptr ? 0 : (errno != 0 ? errno : EIO);
}

bool AppendFile::is_open() const { return file_ != nullptr; }

int AppendFile::Write(std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
      std::fflush(file_) == 0) {
    return 0;
  }
  return errno != 0 ? errno : EIO;
}

#else

namespace {

constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0644;

int OpenNewFile(const char* path) {
  int fd;
  do {
    fd = ::open(path, kNewFileFlags, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// 0 or the errno of the failed write.
int WriteAll(int fd, std::string_view bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (result < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (result == 0) return EIO;
    written += static_cast<size_t>(result);
  }
  return 0;
}

// -1 (errno set) when the name cannot be made a new file. Exclusive creation
// first: a fresh temp folder never holds the name, so no look-up or unlink
// is spent on it. Exclusive creation never follows a link, and an unlinked
// FIFO is never opened.
int OpenReplacing(const std::string& path) {
  int fd = OpenNewFile(path.c_str());
  if (fd < 0 && errno == EEXIST) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    fd = OpenNewFile(path.c_str());
  }
  return fd;
}

class NewFile {
 public:
  int Open(const std::string& path) {
    fd_ = OpenReplacing(path);
    return fd_ >= 0 ? 0 : errno;
  }
  bool is_open() const { return fd_ >= 0; }
  int Write(std::string_view bytes) { return WriteAll(fd_, bytes); }
  int Close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    // A close interrupted by a signal has still released the descriptor.
    return result != 0 && errno != EINTR ? errno : 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace

FileWriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  const int fd = OpenReplacing(path);
  if (fd < 0) return Failed(FileStep::kOpen, errno);
  const int write_error = WriteAll(fd, bytes);
  const int close_result = ::close(fd);
  const int close_error = errno;
  if (write_error != 0) return Failed(FileStep::kWrite, write_error);
  // A close interrupted by a signal has still released the descriptor.
  if (close_result != 0 && close_error != EINTR) return Failed(FileStep::kClose, close_error);
  return {};
}

AppendFile::~AppendFile() {
  if (fd_ >= 0) ::close(fd_);
}

int AppendFile::Open(const std::string& path) {
  // O_NOFOLLOW refuses a link; O_NONBLOCK keeps a FIFO without a reader from
  // holding the open (a regular file ignores it).
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return EINVAL;
  }
  fd_ = fd;
  return 0;
}

bool AppendFile::is_open() const { return fd_ >= 0; }

int AppendFile::Write(std::string_view bytes) { return WriteAll(fd_, bytes); }

#endif

// The stream's buffer: whole blocks go to the file, so a detail file of
// many small pieces costs few system calls.
class NewFileStream::Buffer : public std::streambuf {
 public:
  Buffer() : space_(kBlockBytes) { Reset(); }

  int Open(const std::string& path) {
    Close();
    Reset();
    error_ = file_.Open(path);
    return error_;
  }
  bool is_open() const { return file_.is_open(); }
  int Close() {
    if (!file_.is_open()) return error_;
    FlushSpace();
    const int close_error = file_.Close();
    if (error_ == 0) error_ = close_error;
    return error_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (!FlushSpace()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    if (count < epptr() - pptr()) return Append(bytes, count);
    if (!FlushSpace()) return 0;
    if (count < epptr() - pptr()) return Append(bytes, count);
    if (!Store(std::string_view(bytes, static_cast<size_t>(count)))) return 0;
    return count;
  }
  int sync() override { return FlushSpace() ? 0 : -1; }

 private:
  static constexpr size_t kBlockBytes = 1 << 16;

  void Reset() { setp(space_.data(), space_.data() + space_.size()); }
  std::streamsize Append(const char* bytes, std::streamsize count) {
    std::copy(bytes, bytes + count, pptr());
    pbump(static_cast<int>(count));
    return count;
  }
  bool Store(std::string_view bytes) {
    if (error_ == 0 && !file_.is_open()) error_ = EBADF;
    if (error_ == 0 && !bytes.empty()) error_ = file_.Write(bytes);
    return error_ == 0;
  }
  bool FlushSpace() {
    const bool stored = Store(std::string_view(pbase(), static_cast<size_t>(pptr() - pbase())));
    Reset();
    return stored;
  }

  std::vector<char> space_;
  NewFile file_;
  int error_ = 0;
};

NewFileStream::NewFileStream() : std::ostream(nullptr), buffer_(std::make_unique<Buffer>()) {
  rdbuf(buffer_.get());
}

NewFileStream::~NewFileStream() { buffer_->Close(); }

int NewFileStream::Open(const std::string& path) {
  clear();
  const int error = buffer_->Open(path);
  if (error != 0) setstate(std::ios::failbit);
  return error;
}

bool NewFileStream::is_open() const { return buffer_->is_open(); }

int NewFileStream::Close() {
  const int error = buffer_->Close();
  if (error != 0) setstate(std::ios::badbit);
  return error;
}

}  // namespace kx
