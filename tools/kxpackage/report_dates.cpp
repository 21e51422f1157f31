#include "tools/kxpackage/report_dates.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "kit/date_sql.h"
#include "tools/kxpackage/host_platform.h"

namespace kxpackage {

namespace {

std::string Format(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
      hour < 0 || minute < 0 || minute > 59 || second < 0 || second > 60) {
    return "";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

std::string FromSeconds(double seconds) {
  if (!std::isfinite(seconds)) return "";
  if (seconds >= 1e11) seconds /= 1000;  // milliseconds
  if (seconds < 1e9) {
    if (seconds < 1e8) return "";  // before 2004 as Apple counts: no date of a phone's
    seconds += kx::kAppleEpochUnixSeconds;
  }
  if (seconds > 1e11) return "";
  std::tm parts{};
  if (!BreakDownTime(static_cast<std::time_t>(seconds), true, &parts)) return "";
  return Format(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                parts.tm_sec);
}

// The runs of digits of `text` with their lengths; false when it holds
// anything but digits, separators and blanks (a word, a zone, letters).
bool DigitGroups(const std::string& text, std::vector<std::string>* groups) {
  std::string current;
  for (const char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      current += c;
      continue;
    }
    if (c != '-' && c != ':' && c != ' ' && c != 'T' && c != '/' && c != '.') return false;
    if (!current.empty()) groups->push_back(current);
    current.clear();
  }
  if (!current.empty()) groups->push_back(current);
  return true;
}

std::string FromText(const std::string& text) {
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (!text.empty() && end != nullptr && *end == '\0') return FromSeconds(number);
  std::vector<std::string> groups;
  if (!DigitGroups(text, &groups) || (groups.size() != 3 && groups.size() < 5)) return "";
  if (groups.size() > 7) return "";
  std::vector<int> n;
  for (const std::string& group : groups) {
    if (group.size() > 4 && n.size() < 6) return "";
    n.push_back(std::atoi(group.substr(0, 4).c_str()));
  }
  n.resize(6, 0);
  std::string date;
  if (groups[0].size() == 4) date = Format(n[0], n[1], n[2], n[3], n[4], n[5]);
  if (groups[2].size() == 4) date = Format(n[2], n[0], n[1], n[3], n[4], n[5]);  // month first
  return groups.size() == 3 ? date.substr(0, 10) : date;  // a day without a time
}

}  // namespace

std::string IsoDate(const Json::Value& value) {
  if (value.isNumeric() && !value.isBool()) return FromSeconds(value.asDouble());
  if (value.isString()) return FromText(value.asString());
  return "";
}

}  // namespace kxpackage
