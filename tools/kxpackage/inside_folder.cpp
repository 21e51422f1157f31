#include "tools/kxpackage/inside_folder.h"

#include <filesystem>

namespace kxpackage {

namespace fs = std::filesystem;

bool ResolvesInside(const std::string& folder, const std::string& path) {
  std::error_code error;
  const fs::path root = fs::weakly_canonical(fs::absolute(fs::u8path(folder), error), error);
  if (error) return false;
  const fs::path resolved = fs::weakly_canonical(fs::absolute(fs::u8path(path), error), error);
  if (error) return false;
  // Component by component, so that "/a/bc" is not taken as inside "/a/b".
  auto inner = resolved.begin();
  for (auto outer = root.begin(); outer != root.end(); ++outer, ++inner) {
    if (outer->empty() && std::next(outer) == root.end()) break;  // a trailing separator
    if (inner == resolved.end() || *inner != *outer) return false;
  }
  return true;
}

std::string OutsideFolderProblem(const std::string& folder, const std::string& path) {
  if (ResolvesInside(folder, path)) return "";
  std::error_code error;
  const bool link = fs::is_symlink(fs::symlink_status(fs::u8path(path), error));
  return path + (link ? ": a link to outside " : ": resolves to outside ") + folder + kNotFollowed;
}

bool IsOutsideFolderProblem(const std::string& line) {
  const size_t length = sizeof kNotFollowed - 1;
  return line.size() >= length && line.compare(line.size() - length, length, kNotFollowed) == 0;
}

}  // namespace kxpackage
