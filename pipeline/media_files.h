// What the media packagers (music and video, the Kx photo database) share:
// paths of media files named by the data, the stop test they read columns
// under, and the handling of the staged stop flag when they start.
#ifndef KX_PIPELINE_MEDIA_FILES_H_
#define KX_PIPELINE_MEDIA_FILES_H_

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/sqlite_wrapper.h"
#include "kit/batch_writer.h"
#include "packager/data_type_record.h"

namespace kx {

// A relative path from the data ("iTunes_Control/Music/F00", "IMG_1.JPG")
// with its separators ("/" and "\") turned into the native one. False when
// the text is empty or could name anything outside the folder it is put
// under: an absolute path, a ".." part, a colon (a drive or a stream) or a
// NUL. "." parts and doubled separators are dropped.
bool SafeRelativePath(std::string_view text, std::string* relative);

// `folder`, the native separator and `relative`, as text: also an empty
// folder gives a path that begins with the separator, as hosts expect of
// these packagers.
std::string PathUnder(const std::string& folder, const std::string& relative);

// The text after the last "." of `path` ("" without one).
std::string ExtensionOf(const std::string& path);

// True when `staged_stop` asks to stop; logs "[op](line): op stopped!"
// then (the media packagers' own spelling).
bool MediaStopRequested(const std::atomic<int>* staged_stop, const char* operation, int line);

// Reads the columns of one row, testing the staged stop flag before each;
// after a stop every read gives an empty value and stopped() is true.
class StoppableColumns {
 public:
  StoppableColumns(const SqliteStatement& statement, const std::atomic<int>* staged_stop,
                   const char* operation)
      : statement_(statement), staged_stop_(staged_stop), operation_(operation) {}

  bool stopped() const { return stopped_; }
  bool IsNull(int column);
  std::string Text(int column);
  int64_t Int64(int column);
  double Double(int column);

 private:
  bool Go();

  const SqliteStatement& statement_;
  const std::atomic<int>* staged_stop_;
  const char* operation_;
  bool stopped_ = false;
};

// Stages `source` into `temp_folder` and opens the copy into *db; 0, or
// 1105 with "Database open failed, ..." logged under `operation`.
int StageAndOpenMediaDatabase(const std::string& temp_folder, const std::string& source,
                              const char* operation, std::unique_ptr<SQLite3Wrapper>* db);

// The package functions' batch files: the elements, gathered as they come
// and written as folder/<prefix>_<n>.json whenever `per_file` are held. A
// file that cannot be made is logged under `stem` and its elements are
// dropped, not the run.
class ElementBatches {
 public:
  ElementBatches(std::string folder, const char* prefix, int64_t per_file, const char* stem);

  void Add(const Json::Value& element);
  // Writes what is left; the paths of the files written, in order.
  Json::Value Finish();
  // The elements added.
  int count() const { return count_; }

 private:
  void WriteFile();

  BatchWriter batches_;
  const char* prefix_;
  int64_t per_file_;
  const char* stem_;
  Json::Value files_;
  int counter_ = 0;
  int count_ = 0;
};

// Whether `path` names an existing file or folder.
bool MediaPathExists(const std::string& path);

// CheckParam of the media packagers: the source database, then the temp
// folder, must exist; 1100 with "File {%s} not exists" logged for the one
// missing.
int CheckMediaParams(const char* operation, const std::string& source,
                     const std::string& temp_folder);

}  // namespace kx

#endif  // KX_PIPELINE_MEDIA_FILES_H_
