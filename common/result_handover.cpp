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

int FinishPackage(const SQLite3Wrapper& db, int data_type, int result_kind, std::string_view text,
                  ResultCallback callback, const char* stem) {
  const int damaged = ReportReadDamage(db, stem, __LINE__);
  const int status = HandOverDocument(result_kind, text, callback, stem);
  if (status != kStatusOk) return status;
  KX_LOG(kLogProgress, "type %d KxDataPackage end", data_type);
  return damaged;
}

}  // namespace kx
