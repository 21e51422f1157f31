#include "sdk/staged_request.h"

#include "common/json_util.h"
#include "common/log.h"
#include "common/status.h"
#include "sdk/library.h"
#include "sdk/staged_runner.h"

namespace kx {

namespace {

constexpr const char kOperation[] = "KxDataPackageNew";

std::string TextMember(const Json::Value& object, const char* key) {
  if (!object.isObject()) return std::string();
  const Json::Value& value = object[key];
  return value.isString() ? value.asString() : std::string();
}

}  // namespace

bool IsStagedDataType(int data_type) { return FindStagedPackager(data_type) != nullptr; }

StagedParameters StagedParametersFromRequest(const Json::Value& request, int data_type,
                                             ResultCallback callback) {
  StagedParameters parameters;
  parameters.data_type = data_type;
  parameters.temp_folder = TextMember(request, "temp_folder");
  parameters.callback = callback;
  parameters.staged_stop = &StagedStopFlag();
  const Json::Value& primary = request["primary_file_object"];
  const DataTypeDescriptor* packager = FindStagedPackager(data_type);
  if (packager != nullptr) {
    parameters.primary_file_path = TextMember(primary, packager->staged_key);
    parameters.result_kind = packager->result_kind;
  }
  if (data_type != kStagedAndroidLine) {
    parameters.additional_param = TextMember(request, "addtional_param");
  }
  if (data_type == kStagedIosCalendar) {
    parameters.manifest_file_path = TextMember(primary, "manifest_file_path");
    parameters.second_file_objects = request["second_file_objects"];
    parameters.config_folder = TextMember(parameters.second_file_objects, "configer_file_path");
  }
  return parameters;
}

int PackageStaged(const char* request_json, int length, ResultCallback callback) {
  KX_LOG(kLogProgress, "KxDataPackageNew start");
  if (request_json == nullptr || length == 0) return kStatusMissingInput;
  Json::Value request;
  std::string error;
  if (!ParseJson(request_json, &request, &error)) {
    KX_LOG_OP(kLogError, kOperation, "Fail to parse json string, error message : %s",
              error.c_str());
    return kStatusInvalidJsonNew;
  }
  if (!request.isObject() || !request["package_type"].isInt()) {
    KX_LOG_OP(kLogError, kOperation, "package_type is missing or not an integer");
    return kStatusMissingInput;
  }
  const int data_type = request["package_type"].asInt();
  if (!IsStagedDataType(data_type)) return 0;
  return RunStagedPackage(StagedParametersFromRequest(request, data_type, callback));
}

}  // namespace kx
