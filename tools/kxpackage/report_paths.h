// Which paths named in an output folder's documents the report may read or
// link: only those that, resolved, lie inside the output folder, or inside
// a source folder of the run, whose pictures the report copies.
#ifndef KXPACKAGE_REPORT_PATHS_H_
#define KXPACKAGE_REPORT_PATHS_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kxpackage {

class SourcePictures;

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

  // Where pictures of the run's source folders are copied from; null (as
  // for the timeline and the CSV export) when none are.
  const SourcePictures* sources() const { return sources_; }
  void set_sources(const SourcePictures* sources) { sources_ = sources; }

 private:
  bool Within(const std::filesystem::path& path, const std::filesystem::path& folder) const;

  std::filesystem::path spelled_;  // absolute, as given
  std::filesystem::path root_;     // canonical
  const SourcePictures* sources_ = nullptr;
};

// The folders a packaging run read (the backup, the folder of databases).
// The report's pages link only what lies inside the output folder, so a
// picture a record names inside one of these is copied beside the pages.
class SourcePictures {
 public:
  // `copies` is a folder inside `output` (made on the first copy).
  SourcePictures(const OutputFolder& output, std::filesystem::path copies)
      : output_(output), copies_(std::move(copies)) {}

  // Adds `root` when it is an existing folder other than a file system's
  // root; false otherwise.
  bool AddRoot(const std::string& root);

  // As OutputFolder::Resolve, inside one of the source folders.
  bool Resolve(const std::string& named, const std::filesystem::path& base,
               std::filesystem::path* inside) const;

  // Copies `inside` (from Resolve) into the copies' folder and returns the
  // copy's link from the report's page; "" when it is not a regular file,
  // is larger than a picture of a record ever is, the copies already hold
  // their limit, or it cannot be copied.
  std::string Copy(const std::filesystem::path& inside) const;

 private:
  const OutputFolder& output_;
  std::filesystem::path copies_;
  std::vector<OutputFolder> roots_;
  mutable std::uintmax_t copied_ = 0;  // bytes
};

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_PATHS_H_
