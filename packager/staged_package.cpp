#include "packager/staged_package.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "common/json_util.h"
#include "common/log.h"
#include "common/platform.h"
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

std::string SaveDetailFile(const std::string& output_folder, const char* prefix, int* counter,
                           const DetailFileItem& item) {
  if (!item.has_details) {
    KX_LOG_OP(kLogProblem, item.operation, "%s", item.empty_message);
    return std::string();
  }
  const std::string path =
      JoinPath(output_folder, std::string(prefix) + std::to_string(*counter) + ".json");
  // A link or FIFO planted under the name is replaced, never written through.
  NewFileStream file;
  const int open_error = file.Open(path);
  if (open_error != 0) {
    KX_LOG_OP(kLogProblem, item.operation, "Open file {%s} failed, error message:{%s}",
              path.c_str(), std::strerror(open_error));
    return std::string();
  }
  if (item.write_details) {
    item.write_details(&file);
  } else {
    // The details live only while they are written.
    const Json::Value details =
        item.build_details ? item.build_details() : Json::Value(Json::arrayValue);
    WriteJsonToStream(details, &file);
  }
  // A failed write leaves the stream failed; the file still counts.
  file.Close();
  ++*counter;
  return path;
}

}  // namespace kx
