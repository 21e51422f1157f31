// The one way a package function hands its document to the host.
#ifndef KX_COMMON_RESULT_HANDOVER_H_
#define KX_COMMON_RESULT_HANDOVER_H_

#include <string_view>

#include "common/sqlite_wrapper.h"
#include "kxdatapackage.h"

namespace kx {

// Calls `callback` (when there is one) with `result_kind` and `text`. A text
// longer than the callback's int length can say is not handed over: it is
// logged under `stem` and the status is kStatusStepFailed.
int HandOverDocument(int result_kind, std::string_view text, ResultCallback callback,
                     const char* stem);

// The end of a package step that read `db`: damage met while reading is
// logged (ReportReadDamage), `text` is handed over, and "type %d
// KxDataPackage end" is logged. Returns the hand-over's failure, else the
// damage status: rows read before a damaged page are still delivered.
int FinishPackage(const SQLite3Wrapper& db, int data_type, int result_kind, std::string_view text,
                  ResultCallback callback, const char* stem);

}  // namespace kx

#endif  // KX_COMMON_RESULT_HANDOVER_H_
