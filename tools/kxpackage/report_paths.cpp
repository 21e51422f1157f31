#include "tools/kxpackage/report_paths.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kCopyLimit = 8u << 20;       // bytes of one copied picture
constexpr std::uintmax_t kCopiesLimit = 1024u << 20;  // bytes of all copies of one report

// A copy's name from its source's path: the same file gets the same copy.
std::string CopyName(const fs::path& source) {
  std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  for (const unsigned char c : source.generic_u8string()) {
    hash = (hash ^ c) * 0x100000001b3ull;
  }
  char name[32];
  std::snprintf(name, sizeof name, "source-%016llx", static_cast<unsigned long long>(hash));
  return name;
}

}  // namespace

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

bool SourcePictures::AddRoot(const std::string& root) {
  OutputFolder folder;
  std::error_code error;
  if (root.empty() || !fs::u8path(root).is_absolute() || !folder.Open(root) ||
      !fs::is_directory(folder.root(), error) || folder.root() == folder.root().root_path()) {
    return false;
  }
  roots_.push_back(folder);
  return true;
}

bool SourcePictures::Resolve(const std::string& named, const fs::path& base,
                             fs::path* inside) const {
  for (const OutputFolder& root : roots_) {
    if (root.Resolve(named, base, inside)) return true;
  }
  return false;
}

std::string SourcePictures::Copy(const fs::path& inside) const {
  std::error_code error;
  // `inside` is resolved: a link here would have been followed already.
  if (!fs::is_regular_file(fs::symlink_status(inside, error))) return "";
  const fs::path copy = copies_ / CopyName(inside);
  if (!fs::exists(copy, error)) {
    const std::uintmax_t size = fs::file_size(inside, error);
    if (error || size > kCopyLimit) return "";
    // Read to one byte past the size seen: a file that grew is refused too.
    std::ifstream in(inside, std::ios::binary);
    std::string bytes(static_cast<size_t>(size) + 1, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.empty() || bytes.size() > size || copied_ + bytes.size() > kCopiesLimit) {
      return "";
    }
    fs::create_directories(copies_, error);
    std::ofstream out(copy, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(copy, error);
      return "";
    }
    copied_ += bytes.size();
  }
  return output_.LinkFromReport(copy);
}

}  // namespace kxpackage
