#include "packager/package_steps.h"

#include <climits>
#include <utility>

#include "common/log.h"

namespace kx {

void LogPackageStart(const PackageContext& context) {
  KX_LOG(kLogProgress, "type %d KxDataPackage start", context.data_type);
}

const std::string* BeginPackage(const DataTypeRecord& record, const PackageContext& context,
                                const char* primary_key, const char* missing_message) {
  LogPackageStart(context);
  const std::string* primary = record.PrimaryFile(primary_key);
  if (primary != nullptr && !primary->empty()) return primary;
  KX_LOG_AT(kLogError, context.stem, "%s", missing_message);
  return nullptr;
}

void DiscardCopies(FileQueue* copies, const char* stem) {
  std::string path;
  while (copies != nullptr && copies->Pop(&path)) {
    KX_LOG_AT(kLogProblem, stem, "copy %s has no primary database, skipped.", path.c_str());
  }
}

void LogStopped(const char* step_name) { KX_LOG(kLogProgress, "%s stoped!", step_name); }

int PackageStopped(const PackageContext& context) {
  LogStopped(context.packager_name);
  return kStatusOk;
}

int HandOverDocument(int result_kind, std::string_view text, ResultCallback callback,
                     const char* stem) {
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    KX_LOG_AT(kLogError, stem, "package text of %zu bytes is too long to hand over.", text.size());
    return kStatusStepFailed;
  }
  if (callback != nullptr) callback(result_kind, text.data(), static_cast<int>(text.size()));
  return kStatusOk;
}

int FinishPackage(const SQLite3Wrapper& db, const PackageContext& context, std::string_view text) {
  const int damaged = ReportReadDamage(db, context.stem, __LINE__);
  return EndPackage(context, text, damaged);
}

int EndPackage(const PackageContext& context, std::string_view text, int status) {
  const int handed = HandOverDocument(context.result_kind, text, context.callback, context.stem);
  if (handed != kStatusOk) return handed;
  KX_LOG(kLogProgress, "type %d KxDataPackage end", context.data_type);
  return status;
}

PackageSource::PackageSource(std::string path, const PackageContext& context, SourceFailure failure,
                             int line)
    : SQLite3Wrapper(std::move(path)) {
  Check(context.stem, failure, line);
}

PackageSource::PackageSource(const DataTypeRecord& record, const PackageContext& context,
                             const char* primary_key, const char* missing_message,
                             SourceFailure failure, int line)
    : SQLite3Wrapper(record.PrimaryFile(primary_key) ? *record.PrimaryFile(primary_key) : "") {
  if (BeginPackage(record, context, primary_key, missing_message) == nullptr) return;
  Check(context.stem, failure, line);
}

void PackageSource::Check(const char* stem, SourceFailure failure, int line) {
  SourceCheck check = CheckSourceDatabase(this);
  status_ = check.status;
  words_ = std::move(check.message);
  if (check.ok() || failure == SourceFailure::kUnlogged) return;
  LogEx(kLogModule, failure == SourceFailure::kError ? kLogError : kLogProblem,
        "[%s], at %d line, sqlite error message : %s.", stem, line, words_.c_str());
}

bool StreamedDocument::Close(const char* stem) {
  writer_.EndObject();
  if (writer_.complete() && !text_.failed()) return true;
  KX_LOG_AT(kLogError, stem, "package text could not be written.");
  return false;
}

int StreamedDocument::Finish(const SQLite3Wrapper& db, const PackageContext& context) {
  if (!Close(context.stem)) return kStatusStepFailed;
  return FinishPackage(db, context, text());
}

}  // namespace kx
