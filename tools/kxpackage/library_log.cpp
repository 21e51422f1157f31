#include "tools/kxpackage/library_log.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <vector>

namespace kxpackage {

namespace {

namespace fs = std::filesystem;

std::string& LogFile() {
  static std::string path;
  return path;
}

// At most this many problem lines make a reason.
constexpr size_t kProblemLines = 3;

struct LogLine {
  char level = 0;
  std::string message;
};

// "2024-02-18 08:12:55.123 [3] [KxPackageDataSDK] message"; false for a
// line of another form.
bool ParseLine(const std::string& line, LogLine* parsed) {
  static const std::regex kLine(R"(^\S+ \S+ \[([0-9])\] \[[^\]]*\] (.*)$)");
  std::smatch match;
  if (!std::regex_match(line, match, kLine)) return false;
  parsed->level = match[1].str()[0];
  parsed->message = match[2].str();
  return true;
}

// Without the origin the packagers put first, and an SQLite error as
// SQLite words it.
std::string Words(std::string message) {
  static const std::regex kOrigin(R"(^\[[^\]]*\](, at -?[0-9]+ line, |\(-?[0-9]+\): ))");
  message = std::regex_replace(message, kOrigin, "", std::regex_constants::format_first_only);
  const std::string sqlite = "sqlite error message : ";
  if (message.compare(0, sqlite.size(), sqlite) == 0) {
    message.erase(0, sqlite.size());
    if (!message.empty() && message.back() == '.') message.pop_back();
  }
  return message;
}

}  // namespace

void LibraryLog::Use(const std::string& log_file) { LogFile() = log_file; }

uintmax_t LibraryLog::Mark() {
  std::error_code error;
  const uintmax_t size = fs::file_size(fs::u8path(LogFile()), error);
  return error ? 0 : size;
}

std::string LibraryLog::ReasonSince(uintmax_t mark) {
  std::ifstream in(fs::u8path(LogFile()), std::ios::binary);
  if (!in) return "";
  in.seekg(static_cast<std::streamoff>(mark));
  std::vector<std::string> problems;
  std::string line;
  LogLine parsed;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ParseLine(line, &parsed)) continue;
    if (parsed.level == '3') return Words(parsed.message);
    const std::string words = Words(parsed.message);
    if (parsed.level == '2' && problems.size() < kProblemLines &&
        std::find(problems.begin(), problems.end(), words) == problems.end()) {
      problems.push_back(words);
    }
  }
  std::string reason;
  for (const std::string& problem : problems) reason += (reason.empty() ? "" : " ") + problem;
  return reason;
}

}  // namespace kxpackage
