#include "sdk/library.h"

#include <mutex>

#include "common/log.h"
#include "common/platform.h"
#include "common/status.h"
#include "sdk/registry.h"

namespace kx {

namespace {

constexpr const char kLogFileName[] = "KxDataPackage.log";
constexpr const char kVersionText[] = "1, 1, 0, 224-D-a768edc7";

struct LibraryState {
  std::mutex config_mutex;  // guards `config_folder`
  std::string config_folder;
  Registry registry;
  std::atomic<int> stop{0};
  std::atomic<int> staged_stop{0};
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

}  // namespace

std::string ConfigFolder() {
  std::lock_guard<std::mutex> lock(State().config_mutex);
  return State().config_folder;
}

std::atomic<int>& StopFlag() { return State().stop; }
std::atomic<int>& StagedStopFlag() { return State().staged_stop; }

void InitializeLibrary(const char* log_folder, const char* config_folder) {
  if (log_folder == nullptr || config_folder == nullptr) return;
  const std::string log_path = JoinPath(log_folder, kLogFileName);
  InitLogEx(config_folder, kLogModule, log_path.c_str());
  {
    std::lock_guard<std::mutex> lock(State().config_mutex);
    State().config_folder = config_folder;
  }
  State().registry.Reset();
  State().stop = 0;
  // Cleared here too: otherwise one stop request would keep every staged
  // data type from ever running again in this process.
  State().staged_stop = 0;
  KX_LOG(kLogProgress, "data package sdk: %s", kVersionText);
}

int FilterDataType(const char* request_json, int length) {
  return State().registry.FilterText(request_json, length, ConfigFolder(), &State().stop);
}

int PackageAllDataTypes(ResultCallback callback) {
  if (callback == nullptr) {
    KX_LOG(kLogError, "KxDataPackage: no result callback");
    return kStatusMissingInput;
  }
  return State().registry.PackageAll(callback, &State().stop);
}

int PackageDataType(ResultCallback callback, int data_type) {
  if (callback == nullptr) {
    KX_LOG(kLogError, "KxDataPackageEx: no result callback");
    return kStatusMissingInput;
  }
  return State().registry.PackageOne(callback, data_type, &State().stop);
}

void RequestStop() {
  State().staged_stop = kStagedStopRequested;
  KX_LOG(kLogProgress, "KxDataPackageStop start");
  State().stop = kStopRequested;
  KX_LOG(kLogProgress, "KxDataPackageStop end");
}

int RecordState(int data_type) { return State().registry.StateOf(data_type); }

}  // namespace kx
