#include "tools/kxpackage/report_paths.h"

#include <cstdio>

namespace kxpackage {

namespace fs = std::filesystem;

bool OutputFolder::Open(const std::string& root) {
  std::error_code error;
  spelled_ = fs::absolute(fs::u8path(root), error).lexically_normal();
  if (error) return false;
  root_ = fs::canonical(spelled_, error);
  return !error;
}

bool OutputFolder::Within(const fs::path& path, const fs::path& folder) const {
  auto part = path.begin();
  for (auto step = folder.begin(); step != folder.end(); ++step, ++part) {
    if (step->empty()) continue;  // the trailing separator of "out/"
    if (part == path.end() || *part != *step) return false;
  }
  return true;
}

bool OutputFolder::Resolve(const std::string& named, const fs::path& base, fs::path* inside) const {
  if (named.empty() || named.find('\0') != std::string::npos) return false;
  fs::path path = fs::u8path(named);
  if (path.is_relative()) path = base / path;
  path = path.lexically_normal();
  // Spelled outside both the given and the real folder: never looked at.
  if (!Within(path, spelled_) && !Within(path, root_)) return false;
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(path, error);
  if (error || !Within(resolved, root_)) return false;
  *inside = resolved;
  return true;
}

std::string OutputFolder::LinkFromReport(const fs::path& inside) const {
  const std::string relative = inside.lexically_relative(root_).generic_u8string();
  std::string link = "../";
  for (const unsigned char c : relative) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      link += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      link += escaped;
    }
  }
  return link;
}

}  // namespace kxpackage
