#include "tools/kxpackage/progress.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "kxdatapackage.h"
#include "tools/kxpackage/host_platform.h"

namespace kxpackage {

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);
constexpr const char* kSpinner[] = {"|", "/", "-", "\\"};

}  // namespace

ProgressMonitor::ProgressMonitor(bool show_spinner, bool echo_log, std::string log_file)
    : show_spinner_(show_spinner), echo_log_(echo_log), log_file_(std::move(log_file)) {
  std::error_code error;
  if (echo_log_)
    log_offset_ = std::filesystem::file_size(std::filesystem::u8path(log_file_), error);
  if (error) log_offset_ = 0;
  watcher_ = std::thread([this] { Watch(); });
}

ProgressMonitor::~ProgressMonitor() {
  quit_ = true;
  watcher_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  EchoNewLogLines();
}

void ProgressMonitor::Begin(const std::string& label) {
  std::lock_guard<std::mutex> lock(mutex_);
  label_ = label;
  started_ = std::chrono::steady_clock::now();
  active_ = true;
}

void ProgressMonitor::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  EchoNewLogLines();
  ClearLine();
  active_ = false;
}

void ProgressMonitor::ClearLine() {
  if (show_spinner_ && active_) std::fprintf(stderr, "\r\033[K");
}

void ProgressMonitor::EchoNewLogLines() {
  if (!echo_log_) return;
  std::ifstream in(std::filesystem::u8path(log_file_), std::ios::binary);
  if (!in) return;
  in.seekg(static_cast<std::streamoff>(log_offset_));
  std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Only whole lines; a line still being written waits for the next tick.
  const size_t end = chunk.rfind('\n');
  if (end == std::string::npos) return;
  ClearLine();
  std::fwrite(chunk.data(), 1, end + 1, stderr);
  log_offset_ += end + 1;
}

void ProgressMonitor::Watch() {
  unsigned frame = 0;
  while (!quit_) {
    std::this_thread::sleep_for(kTick);
    if (Interrupted() && !stop_requested_.exchange(true)) KxDataPackageStop();
    std::lock_guard<std::mutex> lock(mutex_);
    EchoNewLogLines();
    if (!show_spinner_ || !active_) continue;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::fprintf(stderr, "\r\033[K%s %s  %.1fs%s", kSpinner[frame++ % 4], label_.c_str(), seconds,
                 stop_requested_ ? "  (stopping)" : "");
    std::fflush(stderr);
  }
}

}  // namespace kxpackage
