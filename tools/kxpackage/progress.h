// Watches a long library call: draws a spinner on a terminal, echoes new
// log lines for -v, and turns Ctrl-C into KxDataPackageStop.
#ifndef KXPACKAGE_PROGRESS_H_
#define KXPACKAGE_PROGRESS_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace kxpackage {

class ProgressMonitor {
 public:
  // `log_file` is echoed to standard error when `echo_log` is set.
  ProgressMonitor(bool show_spinner, bool echo_log, std::string log_file);
  ~ProgressMonitor();
  ProgressMonitor(const ProgressMonitor&) = delete;
  ProgressMonitor& operator=(const ProgressMonitor&) = delete;

  // Shows `label` until the next Begin or Finish.
  void Begin(const std::string& label);
  void Finish();
  // True once a Ctrl-C was turned into a stop request.
  bool StopRequested() const { return stop_requested_; }

 private:
  void Watch();
  void EchoNewLogLines();
  void ClearLine();

  const bool show_spinner_;
  const bool echo_log_;
  const std::string log_file_;
  std::mutex mutex_;
  std::string label_;
  std::chrono::steady_clock::time_point started_;
  bool active_ = false;
  uintmax_t log_offset_ = 0;
  std::atomic<bool> quit_{false};
  std::atomic<bool> stop_requested_{false};
  std::thread watcher_;
};

}  // namespace kxpackage

#endif  // KXPACKAGE_PROGRESS_H_
