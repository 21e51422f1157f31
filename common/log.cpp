#include "common/log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/platform.h"

namespace {

// The one log file of the process. `stream` is null until InitLogEx opened
// a file; messages written before, or after a failed open, are dropped.
struct LogState {
  std::mutex mutex;  // guards `stream` and every write through it
  std::unique_ptr<kx::AppendFile> stream;
};

LogState& State() {
  static LogState state;
  return state;
}

std::string FormatMessage(const char* format, va_list args) {
  char small[512];
  va_list probe;
  va_copy(probe, args);
  const int needed = std::vsnprintf(small, sizeof(small), format, probe);
  va_end(probe);
  if (needed < 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof(small)) return std::string(small, needed);

  std::vector<char> large(static_cast<size_t>(needed) + 1);
  va_list again;
  va_copy(again, args);
  std::vsnprintf(large.data(), large.size(), format, again);
  va_end(again);
  return std::string(large.data(), static_cast<size_t>(needed));
}

// "YYYY-MM-DD HH:MM:SS.mmm" in local time.
std::string TimeStamp() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t millis = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  std::tm local = {};
  if (!kx::ToLocalTime(millis / 1000, &local)) return "0000-00-00 00:00:00.000";
  char text[64];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis % 1000));
  return text;
}

}  // namespace

void InitLogEx(const char* /*config_folder*/, const char* /*module_name*/,
               const char* log_file_path) {
  LogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.stream.reset();
  if (log_file_path == nullptr || *log_file_path == '\0') return;
  auto stream = std::make_unique<kx::AppendFile>();
  if (stream->Open(log_file_path) == 0) state.stream = std::move(stream);
}

void LogEx(const char* module_name, int level, const char* format, ...) {
  if (format == nullptr) return;
  LogState& state = State();
  {
    // Skip the formatting work when nothing would be written.
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.stream) return;
  }

  va_list args;
  va_start(args, format);
  std::string message = FormatMessage(format, args);
  va_end(args);
  // Some messages carry their own line break; the log adds exactly one.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }

  std::string line = TimeStamp();
  line += " [" + std::to_string(level) + "] [";
  line += module_name != nullptr ? module_name : "";
  line += "] ";
  line += message;
  line += '\n';

  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.stream) return;
  // A line that cannot be written is dropped: the log has nowhere to say so.
  state.stream->Write(line);
}
