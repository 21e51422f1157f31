// The request document of a staged run and its parameter block.
#ifndef KX_SDK_STAGED_REQUEST_H_
#define KX_SDK_STAGED_REQUEST_H_

#include <json/json.h>

#include "kxdatapackage.h"
#include "packager/staged_package.h"

namespace kx {

// Data types that run through the staged runner.
constexpr int kStagedIosCalendar = 7;
constexpr int kStagedIosKxPhoto = 28;
constexpr int kStagedIosMusicVideo = 29;
constexpr int kStagedAndroidLine = 30;

bool IsStagedDataType(int data_type);

// Fills the block for a staged data type from a parsed request, with the
// library's staged stop flag. Absent or non-text members read as empty text;
// the primary file is the member its packager registered ("" when it has
// none).
StagedParameters StagedParametersFromRequest(const Json::Value& request, int data_type,
                                             ResultCallback callback);

}  // namespace kx

#endif  // KX_SDK_STAGED_REQUEST_H_
