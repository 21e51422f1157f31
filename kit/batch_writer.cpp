#include "kit/batch_writer.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/log.h"
#include "common/side_files.h"

namespace kx {

namespace {

// Writes `path` as a new file that `fill` writes into, as WriteNewFile makes
// it; a failed write after the open leaves the result's step kWrite.
BatchFile WriteBatchFile(const std::string& path, const std::function<void(std::ostream*)>& fill) {
  BatchFile file;
  file.path = path;
  NewFileStream stream;
  const int open_error = stream.Open(path);
  if (open_error != 0) {
    file.result = {FileStep::kOpen, open_error};
    return file;
  }
  fill(&stream);
  const int write_error = stream.Close();
  if (write_error != 0) file.result = {FileStep::kWrite, write_error};
  return file;
}

void LogBatchFailure(const BatchFile& file) {
  if (file.laid_out) {
    LogFileWriteFailure(file.path, file.result);
  } else {
    KX_LOG(kLogError, "%s, messages not laid out", file.path.c_str());
  }
}

bool HasDetails(const DetailFileItem& item) {
  if (!item.has_details) KX_LOG_OP(kLogProblem, item.operation, "%s", item.empty_message);
  return item.has_details;
}

std::string DetailFileName(const char* prefix, int counter) {
  return std::string(prefix) + std::to_string(counter) + ".json";
}

// The path of a detail file that opened, the counter advanced; else "".
std::string CountDetailFile(const BatchFile& file, const DetailFileItem& item, int* counter) {
  if (!file.opened()) {
    KX_LOG_OP(kLogProblem, item.operation, "Open file {%s} failed, error message:{%s}",
              file.path.c_str(), std::strerror(file.result.error));
    return std::string();
  }
  ++*counter;
  return file.path;
}

}  // namespace

BatchWriter::BatchWriter(std::string folder, const char* array_member, const char* count_member,
                         bool crlf)
    : folder_(std::move(folder)),
      array_member_(array_member),
      count_member_(count_member),
      crlf_(crlf),
      writer_(&text_) {}

JsonBufferWriter* BatchWriter::Next() {
  if (size_++ == 0) {
    text_.clear();
    writer_ = JsonBufferWriter(&text_);
    if (crlf_) writer_.UseCrLf();
    if (array_member_ != nullptr) {
      writer_.BeginObject();
      writer_.Name(array_member_);
    }
    writer_.BeginArray();
  }
  return &writer_;
}

void BatchWriter::Add(const Json::Value& record) { WriteJsonValue(record, Next()); }

BatchFile BatchWriter::Write(const std::string& file_name) {
  BatchFile file;
  file.path = JoinPath(folder_, file_name);
  const int64_t records = size_;
  if (size_ == 0) Next();
  writer_.EndArray();
  if (count_member_ != nullptr) {
    writer_.Name(count_member_);
    writer_.Int(records);
  }
  if (array_member_ != nullptr) writer_.EndObject();
  file.laid_out = writer_.complete() && !text_.failed();
  if (file.laid_out) file.result = WriteNewFile(file.path, text_.view());
  text_.clear();
  size_ = 0;
  return file;
}

bool BatchWriter::WriteListed(const std::string& file_name, Json::Value* file_list) {
  const BatchFile file = Write(file_name);
  if (file.written()) {
    file_list->append(file.path);
  } else {
    LogBatchFailure(file);
  }
  return file.written();
}

std::string SaveDetailFile(const std::string& output_folder, const char* prefix, int* counter,
                           const DetailFileItem& item) {
  if (!HasDetails(item)) return std::string();
  const std::string path = JoinPath(output_folder, DetailFileName(prefix, *counter));
  const BatchFile file = WriteBatchFile(path, [&item](std::ostream* out) {
    if (item.write_details) item.write_details(out);
  });
  return CountDetailFile(file, item, counter);
}

std::string SaveDetailFile(BatchWriter* details, const char* prefix, int* counter,
                           const DetailFileItem& item) {
  if (!HasDetails(item)) return std::string();
  return CountDetailFile(details->Write(DetailFileName(prefix, *counter)), item, counter);
}

std::string SaveWrittenDetailFile(const std::string& output_folder, const char* prefix,
                                  int* counter, const DetailFileItem& item,
                                  const std::string& written, int open_error) {
  std::error_code error;
  if (!HasDetails(item)) {
    std::filesystem::remove(PathFromUtf8(written), error);
    return std::string();
  }
  BatchFile file;
  file.path = JoinPath(output_folder, DetailFileName(prefix, *counter));
  if (open_error == 0) {
    // A rename replaces whatever the name held (a planted link or FIFO
    // included) without writing through it.
    std::filesystem::rename(PathFromUtf8(written), PathFromUtf8(file.path), error);
    if (error) open_error = error.value();
  }
  if (open_error != 0) {
    file.result = {FileStep::kOpen, open_error};
    std::filesystem::remove(PathFromUtf8(written), error);
  }
  return CountDetailFile(file, item, counter);
}

}  // namespace kx
