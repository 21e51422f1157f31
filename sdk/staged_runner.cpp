#include "sdk/staged_runner.h"

#include "common/log.h"
#include "common/status.h"
#include "pipeline/android_line.h"

namespace kx {

namespace {

using StagedFactory = std::unique_ptr<AbstractKxDataPackage> (*)(const StagedParameters&);

template <typename Package>
std::unique_ptr<AbstractKxDataPackage> Make(const StagedParameters& parameters) {
  return std::make_unique<Package>(parameters);
}

struct StagedPackager {
  int data_type;
  StagedFactory create;
};

// The iOS calendar (7), Kx photo (28) and music-and-video (29) packagers join
// this table as they are built.
constexpr StagedPackager kStagedPackagers[] = {
    {kStagedAndroidLine, &Make<AndroidLineDataPackage>},
};

// One stage: its announcement, and its error line at the stage's level.
struct Stage {
  int (AbstractKxDataPackage::*run)();
  const char* begin_message;
  const char* error_message;
  int error_level;
};

constexpr Stage kStages[] = {
    {&AbstractKxDataPackage::Init, "Init begin", "Init ERROR", kLogProgress},
    {&AbstractKxDataPackage::MergeDel, "Merge Del begin", "Merge Del ERROR", kLogProgress},
    {&AbstractKxDataPackage::AnalyseDatabase, "AnalyseDatabase begin", "AnalyseDatabase ERROR",
     kLogProgress},
    {&AbstractKxDataPackage::OutPut, "OutPut begin", "OutPut ERROR", kLogProgress},
};

}  // namespace

std::unique_ptr<AbstractKxDataPackage> CreateStagedPackage(const StagedParameters& parameters) {
  for (const StagedPackager& packager : kStagedPackagers) {
    if (packager.data_type == parameters.data_type) return packager.create(parameters);
  }
  return nullptr;
}

int RunStagedStages(AbstractKxDataPackage& package, int data_type) {
  KX_LOG(kLogProgress, "Check Param begin: type[%d]", data_type);
  int status = package.CheckParam();
  if (status != kStatusOk) {
    KX_LOG(kLogError, "Check Param ERROR");
    return status;
  }
  for (const Stage& stage : kStages) {
    KX_LOG(kLogProgress, "%s", stage.begin_message);
    status = (package.*stage.run)();
    if (status != kStatusOk) {
      KX_LOG(stage.error_level, "%s", stage.error_message);
      return status;
    }
  }
  return kStatusOk;
}

int RunStagedPackage(const StagedParameters& parameters) {
  std::unique_ptr<AbstractKxDataPackage> package = CreateStagedPackage(parameters);
  if (package == nullptr) {
    KX_LOG(kLogError, "no staged packager for type %d", parameters.data_type);
    return kStatusMissingInput;
  }
  return RunStagedStages(*package, parameters.data_type);
}

}  // namespace kx
