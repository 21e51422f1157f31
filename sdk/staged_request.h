// The request document of a staged run and its parameter block.
#ifndef KX_SDK_STAGED_REQUEST_H_
#define KX_SDK_STAGED_REQUEST_H_

#include <json/json.h>

#include <string>
#include <unordered_map>

#include "kxdatapackage.h"

namespace kx {

// Data types that run through the staged runner.
constexpr int kStagedIosCalendar = 7;
constexpr int kStagedIosKxPhoto = 28;
constexpr int kStagedIosMusicVideo = 29;
constexpr int kStagedAndroidLine = 30;

bool IsStagedDataType(int data_type);

struct StagedParameters {
  int data_type = 0;
  std::string temp_folder;  // output folder of the run
  ResultCallback callback = nullptr;
  std::string primary_file_path;
  // Calendar (7) only.
  std::string manifest_file_path;
  std::string additional_param;
  std::string config_folder;  // "second_file_objects"."configer_file_path"
  Json::Value second_file_objects;
  std::unordered_map<std::string, std::string> extra;  // never filled by a request
};

// Fills the block for a staged data type from a parsed request. Absent or
// non-text members read as empty text.
StagedParameters StagedParametersFromRequest(const Json::Value& request, int data_type,
                                             ResultCallback callback);

}  // namespace kx

#endif  // KX_SDK_STAGED_REQUEST_H_
