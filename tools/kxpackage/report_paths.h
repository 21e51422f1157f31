// Which paths named in an output folder's documents the report may read or
// link: only those that, resolved, lie inside the output folder.
#ifndef KXPACKAGE_REPORT_PATHS_H_
#define KXPACKAGE_REPORT_PATHS_H_

#include <filesystem>
#include <string>

namespace kxpackage {

class OutputFolder {
 public:
  // `root` must exist; false when it cannot be resolved.
  bool Open(const std::string& root);

  const std::filesystem::path& root() const { return root_; }

  // `named` (absolute, or relative to `base`) resolved with every symbolic
  // link followed, into `inside`; false when it leads outside the folder,
  // holds a NUL, or is empty. Nothing outside the folder is touched: a path
  // that does not even spell a place inside it is refused unresolved.
  bool Resolve(const std::string& named, const std::filesystem::path& base,
               std::filesystem::path* inside) const;

  // `inside` (from Resolve) as a URL relative to the report's page in
  // root()/report, each byte outside the unreserved set percent-encoded.
  std::string LinkFromReport(const std::filesystem::path& inside) const;

 private:
  bool Within(const std::filesystem::path& path, const std::filesystem::path& folder) const;

  std::filesystem::path spelled_;  // absolute, as given
  std::filesystem::path root_;     // canonical
};

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_PATHS_H_
