#include "common/result_handover.h"

#include <climits>

#include "common/log.h"
#include "common/status.h"

namespace kx {

int HandOverDocument(int result_kind, std::string_view text, ResultCallback callback,
                     const char* stem) {
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    KX_LOG_AT(kLogError, stem, "package text of %zu bytes is too long to hand over.", text.size());
    return kStatusStepFailed;
  }
  if (callback != nullptr) callback(result_kind, text.data(), static_cast<int>(text.size()));
  return kStatusOk;
}

}  // namespace kx
