// An exception that reaches the dispatcher (out of memory, an internal
// error a packager did not handle) becomes the failing step's own status
// with one log line that says what it was, never a missing-input answer.
#ifndef KX_SDK_GUARDED_CALL_H_
#define KX_SDK_GUARDED_CALL_H_

#include <exception>
#include <new>

#include "common/log.h"

namespace kx {

// Runs `body` and returns its status; when it throws, logs "`what`: out of
// memory" or "`what`: unexpected error: ..." and returns `failure`.
template <typename Body>
int CallGuarded(const char* what, int failure, Body&& body) noexcept {
  try {
    try {
      return body();
    } catch (const std::bad_alloc&) {
      KX_LOG(kLogError, "%s: out of memory", what);
    } catch (const std::exception& e) {
      KX_LOG(kLogError, "%s: unexpected error: %s", what, e.what());
    } catch (...) {
      KX_LOG(kLogError, "%s: unexpected error", what);
    }
  } catch (...) {
    // The log line itself could not be made (no memory left for it).
  }
  return failure;
}

}  // namespace kx

#endif  // KX_SDK_GUARDED_CALL_H_
