// The six C exports. Each is a thin wrapper: nothing thrown inside the
// library crosses this boundary.
#include <exception>

#include "common/log.h"
#include "common/status.h"
#include "kxdatapackage.h"
#include "sdk/library.h"

namespace {

template <typename Body>
int Guarded(const char* export_name, Body body) {
  try {
    return body();
  } catch (const std::exception& e) {
    KX_LOG(kx::kLogError, "%s: unexpected error: %s", export_name, e.what());
  } catch (...) {
    KX_LOG(kx::kLogError, "%s: unexpected error", export_name);
  }
  return kx::kStatusMissingInput;
}

}  // namespace

extern "C" {

KXDATAPACKAGE_EXPORT void KXDATAPACKAGE_CALL InitKxDataPackage(const char* log_folder,
                                                               const char* config_folder) {
  Guarded("InitKxDataPackage", [&] {
    kx::InitializeLibrary(log_folder, config_folder);
    return 0;
  });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataFilter(const char* request_json, int length) {
  return Guarded("KxDataFilter", [&] { return kx::FilterDataType(request_json, length); });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackage(ResultCallback callback) {
  return Guarded("KxDataPackage", [&] { return kx::PackageAllDataTypes(callback); });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackageEx(ResultCallback callback,
                                                            int data_type) {
  return Guarded("KxDataPackageEx", [&] { return kx::PackageDataType(callback, data_type); });
}

KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackageNew(const char* request_json, int length,
                                                             ResultCallback callback) {
  return Guarded("KxDataPackageNew",
                 [&] { return kx::PackageStaged(request_json, length, callback); });
}

KXDATAPACKAGE_EXPORT void KXDATAPACKAGE_CALL KxDataPackageStop(void) {
  Guarded("KxDataPackageStop", [] {
    kx::RequestStop();
    return 0;
  });
}

}  // extern "C"
