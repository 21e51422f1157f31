// The steps every old-style package function begins and ends with, so that
// each packager writes only what it reads.
#ifndef KX_PACKAGER_PACKAGE_STEPS_H_
#define KX_PACKAGER_PACKAGE_STEPS_H_

#include <string>
#include <string_view>

#include "common/json_text_writer.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "kxdatapackage.h"
#include "packager/contract.h"

namespace kx {

// Logs "type %d KxDataPackage start": the first line of every package step.
void LogPackageStart(const PackageContext& context);

// LogPackageStart, then the staged primary file
// under `primary_key`; null, with `missing_message` logged under the
// context's stem, when the filter staged none.
const std::string* BeginPackage(const DataTypeRecord& record, const PackageContext& context,
                                const char* primary_key,
                                const char* missing_message = "No primary file.");

// How a package step takes a source database it cannot read.
enum class SourceFailure {
  kError,     // the step ends: "sqlite error message" logged as an error
  kProblem,   // the step goes on without its rows: logged as a problem
  kUnlogged,  // the caller says it in its own words (words())
};

// A package step's source database, opened and checked when it is made: its
// failure is logged under the context's stem with the line of the caller.
class PackageSource : public SQLite3Wrapper {
 public:
  // The staged copy at `path`.
  PackageSource(std::string path, const PackageContext& context,
                SourceFailure failure = SourceFailure::kError, int line = __builtin_LINE());
  // BeginPackage first: the staged primary file under `primary_key`, none
  // (kStatusMissingInput) when the filter staged none.
  PackageSource(const DataTypeRecord& record, const PackageContext& context,
                const char* primary_key, const char* missing_message = "No primary file.",
                SourceFailure failure = SourceFailure::kError, int line = __builtin_LINE());

  // 0 when the database can be read, else the step's status.
  int status() const { return status_; }
  // SQLite's words for a database that cannot be read.
  const std::string& words() const { return words_; }

 private:
  void Check(const char* stem, SourceFailure failure, int line);

  int status_ = kStatusMissingInput;
  std::string words_;
};

// A package document written as its rows come, in the layout of the
// library's JSON writer, instead of built as a tree first: a store can hold
// a million rows. The document's object is open from the start.
class StreamedDocument {
 public:
  StreamedDocument() { writer_.BeginObject(); }

  JsonBufferWriter& writer() { return writer_; }
  std::string_view text() const { return text_.view(); }
  // Closes the document's object; false, logged under `stem`, when the
  // text is incomplete or could not be held.
  bool Close(const char* stem);
  // Close, then FinishPackage with the text; kStatusStepFailed when Close
  // fails.
  int Finish(const SQLite3Wrapper& db, const PackageContext& context);

 private:
  TextBuffer text_;
  JsonBufferWriter writer_{&text_};
};

// Empties a queue of copies whose database has no primary to merge into,
// each logged as skipped under `stem`, so the dispatcher's filter loop,
// which runs until every queue is empty, ends.
void DiscardCopies(FileQueue* copies, const char* stem);

// Logs "%s stoped!" with the name of the step that saw a stop request. The
// misspelling is kept: hosts watch the log for this exact line.
void LogStopped(const char* step_name);

// A package step that saw the stop flag: logs "%s stoped!" with the
// packager's name and returns 0, without a callback.
int PackageStopped(const PackageContext& context);

// Calls `callback` (when there is one) with `result_kind` and `text`. A text
// longer than the callback's int length can say is not handed over: it is
// logged under `stem` and the status is kStatusStepFailed.
int HandOverDocument(int result_kind, std::string_view text, ResultCallback callback,
                     const char* stem);

// The end of a package step that read `db`: damage met while reading is
// logged (ReportReadDamage), `text` is handed over with the context's result
// kind, and "type %d KxDataPackage end" is logged. Returns the hand-over's
// failure, else the damage status: rows read before a damaged page are
// still delivered.
int FinishPackage(const SQLite3Wrapper& db, const PackageContext& context, std::string_view text);

// The end of a package step that read no database: `text` is handed over
// with the context's result kind and "type %d KxDataPackage end" logged.
// Returns the hand-over's failure, else `status`.
int EndPackage(const PackageContext& context, std::string_view text, int status = kStatusOk);

}  // namespace kx

#endif  // KX_PACKAGER_PACKAGE_STEPS_H_
