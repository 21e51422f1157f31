// The request document of a staged run and its parameter block.
#ifndef KX_SDK_STAGED_REQUEST_H_
#define KX_SDK_STAGED_REQUEST_H_

#include <json/json.h>

#include "kxdatapackage.h"
#include "packager/staged_package.h"

namespace kx {

// The staged data types whose requests carry more than the primary file:
// the calendar reads the manifest and the configuration, LINE no
// additional parameter.
constexpr int kStagedIosCalendar = 7;
constexpr int kStagedAndroidLine = 30;

// True when the descriptor of `data_type` takes the staged call.
bool IsStagedDataType(int data_type);

// Fills the block for a staged data type from a parsed request, with the
// library's staged stop flag. Absent or non-text members read as empty text;
// the primary file is the member its packager registered ("" when it has
// none).
StagedParameters StagedParametersFromRequest(const Json::Value& request, int data_type,
                                             ResultCallback callback);

}  // namespace kx

#endif  // KX_SDK_STAGED_REQUEST_H_
