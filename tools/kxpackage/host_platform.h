// What the command-line host needs from the operating system: terminals,
// Ctrl-C, and where the shared library lives.
#ifndef KXPACKAGE_HOST_PLATFORM_H_
#define KXPACKAGE_HOST_PLATFORM_H_

#include <ctime>
#include <string>

namespace kxpackage {

bool StderrIsTerminal();

// Installs a Ctrl-C handler that only raises the flag read by Interrupted().
// A second Ctrl-C ends the process at once.
void InstallInterruptHandler();
bool Interrupted();
// Raises the flag as Ctrl-C would (tests, and the stop watcher).
void RaiseInterrupt();

// Asks for a secret on the terminal with echo turned off. False when
// standard input is no terminal (nothing is read then).
bool ReadSecretFromTerminal(const std::string& prompt, std::string* secret);

// `time` broken down in UTC or in local time; false when it cannot be.
bool BreakDownTime(std::time_t time, bool local, std::tm* parts);

// Folder of the loaded kxdatapackage library, "" when unknown.
std::string LibraryFolder();

}  // namespace kxpackage

#endif  // KXPACKAGE_HOST_PLATFORM_H_
