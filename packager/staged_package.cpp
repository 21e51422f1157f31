#include "packager/staged_package.h"

#include "common/status.h"
#include "packager/package_steps.h"

namespace kx {

const char kLineDetailPrefix[] = "DataAnalysis_Line_";
const char kCalendarDetailPrefix[] = "DataAnalysis_Calendar_";
const char kMusicDetailPrefix[] = "DataAnalysis_Music_";
const char kVideoDetailPrefix[] = "DataAnalysis_Video_";
const char kKxPhotoDetailPrefix[] = "DataAnalysis_KxPhoto_";

bool StagedStopRequested(const std::atomic<int>* staged_stop, const char* operation) {
  if (staged_stop == nullptr ||
      staged_stop->load(std::memory_order_relaxed) != kStagedStopRequested) {
    return false;
  }
  LogStopped(operation);
  return true;
}

}  // namespace kx
