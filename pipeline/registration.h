// What the pipeline folder offers the dispatcher: its staged packagers, and
// the old-style rows of the data types that read the same sources.
#ifndef KX_PIPELINE_REGISTRATION_H_
#define KX_PIPELINE_REGISTRATION_H_

#include "packager/contract.h"
#include "packager/staged_package.h"

namespace kx {

StagedPackagerRows StagedPackagers();
DataTypeRows PipelineDataTypes();

}  // namespace kx

#endif  // KX_PIPELINE_REGISTRATION_H_
