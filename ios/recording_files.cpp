#include "ios/recording_files.h"

#include <string_view>
#include <vector>

#include "common/platform.h"

namespace kx {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The steps of a relative path, empty steps left out; false when a step
// could leave the folder it is joined to.
bool SafeSteps(std::string_view path, std::vector<std::string>* steps) {
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = begin;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view step = path.substr(begin, end - begin);
    if (step == "." || step == ".." || step.find('\0') != std::string_view::npos ||
        step.find(':') != std::string_view::npos) {
      return false;
    }
    if (!step.empty()) steps->emplace_back(step);
    begin = end + 1;
  }
  return true;
}

}  // namespace

std::string RecordingInFolder(const std::string& folder, const std::string& relative_path) {
  std::vector<std::string> steps;
  if (!SafeSteps(relative_path, &steps) || steps.empty()) return std::string();
  std::string path = folder;
  for (const std::string& step : steps) path = JoinPath(path, step);
  return path;
}

}  // namespace kx
