#include "common/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
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
  // u8path decodes UTF-8 on every host; path(std::string) would use the
  // narrow code page on Windows.
  return std::filesystem::u8path(utf8_path);
}

std::string PathToUtf8(const std::filesystem::path& path) {
  // C++17: u8string() is a std::string holding UTF-8.
  return path.u8string();
}

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

FileWriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  const std::filesystem::path native = PathFromUtf8(path);
  std::error_code ignored;
  std::filesystem::remove(native, ignored);
  errno = 0;
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return Failed(FileStep::kOpen, errno);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) return Failed(FileStep::kWrite, errno);
  out.close();
  if (out.fail()) return Failed(FileStep::kClose, errno);
  return {};
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

}  // namespace

FileWriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  // Exclusive creation first: a fresh temp folder never holds the name, so
  // no look-up or unlink is spent on it.
  int fd = OpenNewFile(path.c_str());
  if (fd < 0 && errno == EEXIST) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Failed(FileStep::kOpen, errno);
    fd = OpenNewFile(path.c_str());
  }
  if (fd < 0) return Failed(FileStep::kOpen, errno);
  const int write_error = WriteAll(fd, bytes);
  const int close_result = ::close(fd);
  const int close_error = errno;
  if (write_error != 0) return Failed(FileStep::kWrite, write_error);
  // A close interrupted by a signal has still released the descriptor.
  if (close_result != 0 && close_error != EINTR) return Failed(FileStep::kClose, close_error);
  return {};
}

#endif

}  // namespace kx
