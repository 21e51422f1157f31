// Everything that differs between Windows and POSIX hosts lives behind this
// header (and platform.cpp).
#ifndef KX_COMMON_PLATFORM_H_
#define KX_COMMON_PLATFORM_H_

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

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
std::filesystem::path PathFromUtf8(const std::string& utf8_path);
std::string PathToUtf8(const std::filesystem::path& path);

// 100-nanosecond ticks of the system clock.
int64_t NowTicks100ns();

// Broken-down local time of `seconds` since the Unix epoch; thread-safe.
// False when the host cannot convert it.
bool ToLocalTime(int64_t seconds, std::tm* local);

}  // namespace kx

#endif  // KX_COMMON_PLATFORM_H_
