#include "sdk/staged_runner.h"

#include "common/log.h"
#include "common/status.h"
#include "pipeline/registration.h"

namespace kx {

namespace {

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

const StagedPackagerEntry* FindStagedPackager(int data_type) {
  for (const StagedPackagerEntry& packager : StagedPackagers()) {
    if (packager.data_type == data_type) return &packager;
  }
  return nullptr;
}

std::unique_ptr<AbstractKxDataPackage> CreateStagedPackage(const StagedParameters& parameters) {
  const StagedPackagerEntry* packager = FindStagedPackager(parameters.data_type);
  return packager != nullptr ? packager->create(parameters) : nullptr;
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
