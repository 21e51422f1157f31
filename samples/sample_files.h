// Whole-file reads and writes, and an owner of libplist nodes, for the
// sample generators that rewrite a backup's files.
#ifndef KX_SAMPLES_SAMPLE_FILES_H_
#define KX_SAMPLES_SAMPLE_FILES_H_

#include <plist/plist.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace kx::samples {

// The bytes of the file at `path`; "" when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// Replaces the file at `path` with `bytes`; false when it cannot be written.
inline bool WriteAll(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

}  // namespace kx::samples

#endif  // KX_SAMPLES_SAMPLE_FILES_H_
