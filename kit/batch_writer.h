// The batch files of a package call: records written as JSON arrays, a
// bounded number to a file, so that memory holds one batch whatever the
// size of the store. Every packager that writes its records in batches
// writes them here; when a batch is full and what its file is called are
// each data type's own rules, kept by the caller.
#ifndef KX_KIT_BATCH_WRITER_H_
#define KX_KIT_BATCH_WRITER_H_

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "common/json_text_writer.h"
#include "common/platform.h"

namespace kx {

// How writing one batch file ended.
struct BatchFile {
  std::string path;
  // False when the records broke the JSON writer's rules: nothing was
  // written.
  bool laid_out = true;
  FileWriteResult result;

  bool written() const { return laid_out && result.ok(); }
  // Opened counts as written where a failed write still names the file.
  bool opened() const { return laid_out && result.failed_step != FileStep::kOpen; }
};

// The records of the open batch, held as the text WriteJson gives for the
// batch: a bare array, or an object whose one member holds the array.
class BatchWriter {
 public:
  // Files go into `folder`; `array_member` null for a bare array. With a
  // `count_member`, the object ends with the batch's record count under
  // that name; `crlf` ends the lines in "\r\n" (JsonTextWriter::UseCrLf).
  explicit BatchWriter(std::string folder, const char* array_member = nullptr,
                       const char* count_member = nullptr, bool crlf = false);
  BatchWriter(const BatchWriter&) = delete;
  BatchWriter& operator=(const BatchWriter&) = delete;

  const std::string& folder() const { return folder_; }

  // The writer of the next record, opening a batch when none is open: the
  // caller writes exactly one non-empty object with it.
  JsonBufferWriter* Next();
  // The same for a record held as a tree.
  void Add(const Json::Value& record);
  // Sets aside room for `bytes` of batch text before the first record, for
  // callers that know about how long a full batch is: it then grows without
  // copying itself into a block twice its size, and the room counts only
  // where it is written.
  void Reserve(size_t bytes) { text_.reserve(bytes); }
  // Records in the open batch; 0 when none is open.
  int64_t size() const { return size_; }

  // Closes the open batch (none open: an empty array) and writes it as a
  // new file folder/`file_name`; a link or FIFO planted under the name is
  // replaced, never written through. The text is dropped either way; the
  // buffer is kept for the next batch.
  BatchFile Write(const std::string& file_name);
  // Write, then: the path appended to *file_list when written, else the
  // reason logged as the side files log it. True when written.
  bool WriteListed(const std::string& file_name, Json::Value* file_list);

 private:
  std::string folder_;
  const char* array_member_;
  const char* count_member_;
  bool crlf_;
  TextBuffer text_;
  JsonBufferWriter writer_;
  int64_t size_ = 0;
};

// One item's details, to be written as one numbered detail file of a
// staged packager.
struct DetailFileItem {
  // Qualified name of the save operation, for log lines
  // ("AndroidLineDataPackageStorage::_SaveLineInfosToLocal").
  const char* operation = "";
  // The kind's message for an item without details ("line message info is
  // empty").
  const char* empty_message = "";
  bool has_details = false;
  // For kinds with many details, with the folder: writes the JSON array of
  // the details, in the layout of WriteJsonToStream, straight into the file
  // once it is open, and releases the collection.
  std::function<void(std::ostream*)> write_details;
};

// Writes one item's details as output_folder/prefix<counter>.json and
// returns the path, advancing *counter; an item without details, or a file
// that cannot be opened, gives "" (with one log line) and leaves the counter
// alone. A failed write after a successful open still counts as written.
std::string SaveDetailFile(const std::string& output_folder, const char* prefix, int* counter,
                           const DetailFileItem& item);
// The same for details gathered in `details`, whose open batch is written
// into its folder (write_details unused).
std::string SaveDetailFile(BatchWriter* details, const char* prefix, int* counter,
                           const DetailFileItem& item);
// The same for details already written whole into the file `written` of
// `output_folder` (write_details and build_details unused): it takes the
// numbered name by a rename. `open_error`, when not 0, is the system error
// that kept `written` from being created: the item then has no file, as
// when a detail file cannot be opened; so has it when the rename fails, and
// `written` is removed.
std::string SaveWrittenDetailFile(const std::string& output_folder, const char* prefix,
                                  int* counter, const DetailFileItem& item,
                                  const std::string& written, int open_error);

}  // namespace kx

#endif  // KX_KIT_BATCH_WRITER_H_
