// Command-line options of kxpackage.
#ifndef KXPACKAGE_OPTIONS_H_
#define KXPACKAGE_OPTIONS_H_

#include <string>
#include <vector>

namespace kxpackage {

struct Options {
  std::string command;                  // android, ios, request, report, sample, demo
  std::vector<std::string> positional;  // DIR, FILE...
  std::string output;                   // -o
  std::string config_dir;               // --config
  std::string log_dir;                  // --log-dir
  std::vector<std::string> copies;      // --copy TYPE=PATH (android), BACKUP (ios), as given
  std::string password_file;            // --password-file (ios)
  int scale = 1;                        // --scale
  bool verbose = false;                 // -v
  bool quiet = false;                   // --quiet
  bool json = false;                    // --json
  bool staged = false;                  // --staged (request)
  bool report = false;                  // --report (android, ios, request, demo)
  bool csv = false;                     // --csv (export)
  bool help = false;                    // --help / -h
};

// False with `error` set for a usage error.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

// Help of one command, or the overview for an empty or unknown command.
std::string HelpText(const std::string& command);

}  // namespace kxpackage

#endif  // KXPACKAGE_OPTIONS_H_
