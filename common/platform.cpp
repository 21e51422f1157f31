#include "common/platform.h"

#include <chrono>
#include <ctime>

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

}  // namespace kx
