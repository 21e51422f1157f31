// Status codes as the C++ side names them; the values are the public ones.
#ifndef KX_COMMON_STATUS_H_
#define KX_COMMON_STATUS_H_

#include <atomic>

#include "kxdatapackage.h"

namespace kx {

constexpr int kStatusOk = KX_STATUS_OK;
constexpr int kStatusInvalidJson = KX_STATUS_INVALID_JSON;
constexpr int kStatusMissingInput = KX_STATUS_MISSING_INPUT;
constexpr int kStatusAlreadyPackaged = KX_STATUS_ALREADY_PACKAGED;
constexpr int kStatusConfigLoadFailed = KX_STATUS_CONFIG_LOAD_FAILED;
constexpr int kStatusInvalidJsonNew = KX_STATUS_INVALID_JSON_NEW;
constexpr int kStatusOpenFailed = KX_STATUS_OPEN_FAILED;
constexpr int kStatusPrepareFailed = KX_STATUS_PREPARE_FAILED;
constexpr int kStatusStepFailed = KX_STATUS_STEP_FAILED;
constexpr int kStatusQueryFailed = KX_STATUS_QUERY_FAILED;
constexpr int kStatusBookListFailed = KX_STATUS_BOOK_LIST_FAILED;
constexpr int kStatusFilterFailed = KX_STATUS_FILTER_FAILED;
constexpr int kStatusStopped = KX_STATUS_STOPPED;
constexpr int kStatusNotPackaged = KX_STATUS_NOT_PACKAGED;

// Values of the two stop flags.
constexpr int kStopRequested = 1;
constexpr int kStagedStopRequested = 2;

// Whether the host asked the filter or package step to stop; no flag never
// stops. Read at fixed points inside loops, without a lock.
inline bool StopRequested(const std::atomic<int>* stop) {
  return stop != nullptr && stop->load() == kStopRequested;
}

}  // namespace kx

#endif  // KX_COMMON_STATUS_H_
