#include "sdk/staged_runner.h"

#include "common/log.h"
#include "common/status.h"
#include "sdk/data_type_table.h"
#include "sdk/guarded_call.h"

namespace kx {

namespace {

// One stage: its announcement, and its error line at the stage's level.
struct Stage {
  const char* name;
  int (AbstractKxDataPackage::*run)();
  const char* begin_message;
  const char* error_message;
  int error_level;
};

constexpr Stage kStages[] = {
    {"Init", &AbstractKxDataPackage::Init, "Init begin", "Init ERROR", kLogProgress},
    {"MergeDel", &AbstractKxDataPackage::MergeDel, "Merge Del begin", "Merge Del ERROR",
     kLogProgress},
    {"AnalyseDatabase", &AbstractKxDataPackage::AnalyseDatabase, "AnalyseDatabase begin",
     "AnalyseDatabase ERROR", kLogProgress},
    {"OutPut", &AbstractKxDataPackage::OutPut, "OutPut begin", "OutPut ERROR", kLogProgress},
};

}  // namespace

const DataTypeDescriptor* FindStagedPackager(int data_type) {
  const DataTypeDescriptor* descriptor = BuiltInDescriptors().Find(data_type);
  return descriptor != nullptr && descriptor->Takes(kStagedCall) ? descriptor : nullptr;
}

std::unique_ptr<AbstractKxDataPackage> CreateStagedPackage(const StagedParameters& parameters) {
  const DataTypeDescriptor* packager = FindStagedPackager(parameters.data_type);
  return packager != nullptr ? packager->create(parameters) : nullptr;
}

int RunStagedStages(AbstractKxDataPackage& package, int data_type) {
  KX_LOG(kLogProgress, "Check Param begin: type[%d]", data_type);
  // A stage that throws (out of memory) fails with the package failure.
  int status = CallGuarded("CheckParam", kStatusNotPackaged, [&] { return package.CheckParam(); });
  if (status != kStatusOk) {
    KX_LOG(kLogError, "Check Param ERROR");
    return status;
  }
  for (const Stage& stage : kStages) {
    KX_LOG(kLogProgress, "%s", stage.begin_message);
    status = CallGuarded(stage.name, kStatusNotPackaged, [&] { return (package.*stage.run)(); });
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
