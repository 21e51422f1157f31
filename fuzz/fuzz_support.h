// What the fuzz targets that drive the library share: a private folder per
// process, inputs cut into files, and the checks every run ends with. A
// failed check aborts, so libFuzzer keeps the input that caused it.
#ifndef KX_FUZZ_FUZZ_SUPPORT_H_
#define KX_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kx::fuzz {

// The fuzzer's bytes, read front to back. Take() cuts a piece whose length
// is given by a 4-byte little-endian prefix (clamped to what is left);
// Rest() is everything after the pieces taken.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size) {}
  uint8_t Byte();
  std::string_view Take();
  std::string_view Rest() const { return bytes_; }

 private:
  std::string_view bytes_;
};

// A new folder "<name>_<random>" under the system temp folder, of this
// process alone, removed at exit; its path.
std::string OwnTempFolder(const std::string& name);

// A folder of its own under the system temp folder, removed at exit:
//   src/  the source files the harness writes (only ever read by the library)
//   out/  the temp folder the requests name
//   log/  the library's log
class Sandbox {
 public:
  explicit Sandbox(const std::string& target);
  const std::string& root() const { return root_; }
  std::string Path(const std::string& relative) const;
  std::string src() const { return Path("src"); }
  std::string out() const { return Path("out"); }

  // Forgets earlier runs: empties out/ and log/, resets the
  // library (registry and stop flags) with the built field configuration.
  void StartRun() const;
  // Everything under the root except out/ and log/, with the size and
  // write time of each file: taken before a run, compared after it.
  std::map<std::string, std::string> Listing() const;
  // Aborts when the listing changed since `before` (a file written beside
  // the temp folder, or a source file changed), or when a JSON file in out/
  // does not parse.
  void CheckRun(const std::map<std::string, std::string>& before) const;

 private:
  std::string root_;
};

void WriteBytes(const std::string& path, std::string_view bytes);

// Aborts unless `text` parses as JSON with JsonCpp and holds only finite
// numbers. `what` names it in the message.
void CheckJson(std::string_view text, const std::string& what);

// A result callback that checks every document it is handed.
//
// The harnesses call the library's C++ entry points (sdk/library.h) rather
// than the C exports: an exception the exports' guard would turn into a
// status ends the run here, so it is found.
int CheckedResult(int kind, const char* text, int length);

}  // namespace kx::fuzz

#endif  // KX_FUZZ_FUZZ_SUPPORT_H_
