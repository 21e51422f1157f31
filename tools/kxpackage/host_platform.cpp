#include "tools/kxpackage/host_platform.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "kxdatapackage.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kxpackage {

namespace {

std::atomic<int> g_interrupted{0};

extern "C" void OnInterrupt(int) {
  if (g_interrupted.exchange(1) != 0) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}

}  // namespace

bool StderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }
bool Interrupted() { return g_interrupted.load() != 0; }
void RaiseInterrupt() { g_interrupted = 1; }

bool ReadSecretFromTerminal(const std::string& prompt, std::string* secret) {
#if defined(_WIN32)
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!_isatty(_fileno(stdin)) || !GetConsoleMode(input, &mode)) return false;
  SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
#else
  termios saved{};
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
#endif
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  const bool read = static_cast<bool>(std::getline(std::cin, *secret));
  std::fputs("\n", stderr);
#if defined(_WIN32)
  SetConsoleMode(input, mode);
#else
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
#endif
  return read;
}

bool BreakDownTime(std::time_t time, bool local, std::tm* parts) {
#if defined(_WIN32)
  return (local ? localtime_s(parts, &time) : gmtime_s(parts, &time)) == 0;
#else
  return (local ? localtime_r(&time, parts) : gmtime_r(&time, parts)) != nullptr;
#endif
}

std::string LibraryFolder() {
#if defined(_WIN32)
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&KxDataFilter), &module)) {
    return std::string();
  }
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return std::string();
  return std::filesystem::path(path).parent_path().u8string();
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&KxDataFilter), &info) == 0 || info.dli_fname == nullptr) {
    return std::string();
  }
  std::error_code error;
  const auto library = std::filesystem::canonical(info.dli_fname, error);
  return error ? std::string() : library.parent_path().string();
#endif
}

}  // namespace kxpackage
