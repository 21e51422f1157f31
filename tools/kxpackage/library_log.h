// The library's own words on a run: the lines its log gained meanwhile.
#ifndef KXPACKAGE_LIBRARY_LOG_H_
#define KXPACKAGE_LIBRARY_LOG_H_

#include <cstdint>
#include <string>

namespace kxpackage {

class LibraryLog {
 public:
  // The log file the library writes (its log folder's KxDataPackage.log).
  static void Use(const std::string& log_file);

  // Where the log ends now.
  static uintmax_t Mark();

  // Why the run since `mark` failed, as the library logged it: its first
  // error line, else its problem lines (each once, up to three); "" when it
  // logged neither. Each line without its time, level, module and origin
  // ("[stem], at 12 line, "), and an SQLite error in SQLite's words alone.
  static std::string ReasonSince(uintmax_t mark);
};

}  // namespace kxpackage

#endif  // KXPACKAGE_LIBRARY_LOG_H_
