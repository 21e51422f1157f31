// The factory of the staged packagers and the runner of their five stages.
#ifndef KX_SDK_STAGED_RUNNER_H_
#define KX_SDK_STAGED_RUNNER_H_

#include <memory>

#include "packager/staged_package.h"
#include "sdk/data_type_descriptor.h"

namespace kx {

// The descriptor of `data_type` when it takes the staged call, else null.
const DataTypeDescriptor* FindStagedPackager(int data_type);

// The staged packager of the block's data type, or null when it has none.
std::unique_ptr<AbstractKxDataPackage> CreateStagedPackage(const StagedParameters& parameters);

// Runs CheckParam, Init, MergeDel, AnalyseDatabase and OutPut in order, each
// announced in the log; the first stage that fails ends the run with its log
// line. Returns the status of the last stage called (0 when all succeeded).
int RunStagedStages(AbstractKxDataPackage& package, int data_type);

// The whole staged run: 1100 when the factory has no packager for the data
// type, else the stages' status. The packager is destroyed before returning.
int RunStagedPackage(const StagedParameters& parameters);

}  // namespace kx

#endif  // KX_SDK_STAGED_RUNNER_H_
