// The six C exports. Each is a thin wrapper: nothing thrown inside the
// library crosses this boundary.
#include "common/status.h"
#include "kxdatapackage.h"
#include "sdk/guarded_call.h"
#include "sdk/library.h"

namespace {

// Init and Stop answer nothing. The others answer their own step's failure
// status when something threw past the dispatcher.
constexpr int kNoStatus = 0;

}  // namespace

extern "C" {

KXDATAPACKAGE_EXPORT void KXDATAPACKAGE_CALL InitKxDataPackage(const char* log_folder,
                                                               const char* config_folder) {
  kx::CallGuarded("InitKxDataPackage", kNoStatus, [&] {
    kx::InitializeLibrary(log_folder, config_folder);
    return 0;
  });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataFilter(const char* request_json, int length) {
  return kx::CallGuarded("KxDataFilter", kx::kStatusFilterFailed,
                         [&] { return kx::FilterDataType(request_json, length); });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackage(ResultCallback callback) {
  return kx::CallGuarded("KxDataPackage", kx::kStatusNotPackaged,
                         [&] { return kx::PackageAllDataTypes(callback); });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackageEx(ResultCallback callback,
                                                            int data_type) {
  return kx::CallGuarded("KxDataPackageEx", kx::kStatusNotPackaged,
                         [&] { return kx::PackageDataType(callback, data_type); });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackageNew(const char* request_json, int length,
                                                             ResultCallback callback) {
  return kx::CallGuarded("KxDataPackageNew", kx::kStatusNotPackaged,
                         [&] { return kx::PackageStaged(request_json, length, callback); });
}

KXDATAPACKAGE_EXPORT void KXDATAPACKAGE_CALL KxDataPackageStop(void) {
  kx::CallGuarded("KxDataPackageStop", kNoStatus, [] {
    kx::RequestStop();
    return 0;
  });
}

}  // extern "C"
