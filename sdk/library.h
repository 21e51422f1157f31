// The library's entry points as C++ functions. sdk/exports.cpp wraps each in
// its C export (catching every exception); tests call these directly.
#ifndef KX_SDK_LIBRARY_H_
#define KX_SDK_LIBRARY_H_

#include <atomic>
#include <string>

#include "kxdatapackage.h"

namespace kx {

void InitializeLibrary(const char* log_folder, const char* config_folder);
int FilterDataType(const char* request_json, int length);
int PackageAllDataTypes(ResultCallback callback);
int PackageDataType(ResultCallback callback, int data_type);
int PackageStaged(const char* request_json, int length, ResultCallback callback);
void RequestStop();

// Library state, for the dispatcher and the staged packagers.
std::string ConfigFolder();
std::atomic<int>& StopFlag();        // 1 = stop
std::atomic<int>& StagedStopFlag();  // 2 = stop

// State of the registry record of `data_type`, -1 when there is none.
int RecordState(int data_type);

}  // namespace kx

#endif  // KX_SDK_LIBRARY_H_
