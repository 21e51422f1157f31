#include "pipeline/media_files.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/json_util.h"
#include "common/log.h"
#include "common/platform.h"
#include "common/staging.h"
#include "common/status.h"

namespace kx {

bool SafeRelativePath(std::string_view text, std::string* relative) {
  relative->clear();
  if (text.empty() || text.front() == '/' || text.front() == '\\') return false;
  if (text.find(':') != std::string_view::npos || text.find('\0') != std::string_view::npos) {
    return false;
  }
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find_first_of("/\\", begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = text.substr(begin, end - begin);
    if (part == "..") {
      relative->clear();
      return false;
    }
    if (!part.empty() && part != ".") {
      if (!relative->empty()) relative->push_back(kPathSeparator);
      relative->append(part);
    }
    begin = end + 1;
  }
  return !relative->empty();
}

std::string PathUnder(const std::string& folder, const std::string& relative) {
  std::string path = folder;
  path.push_back(kPathSeparator);
  path += relative;
  return path;
}

std::string ExtensionOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

bool MediaStopRequested(const std::atomic<int>* staged_stop, const char* operation, int line) {
  if (staged_stop == nullptr ||
      staged_stop->load(std::memory_order_relaxed) != kStagedStopRequested) {
    return false;
  }
  LogEx(kLogModule, kLogProgress, "[%s](%d): %s stopped!", operation, line, operation);
  return true;
}

bool StoppableColumns::Go() {
  if (!stopped_ && MediaStopRequested(staged_stop_, operation_, __LINE__)) stopped_ = true;
  return !stopped_;
}

bool StoppableColumns::IsNull(int column) {
  return !Go() || statement_.ColumnType(column) == SQLITE_NULL;
}

std::string StoppableColumns::Text(int column) {
  return Go() ? statement_.ColumnText(column) : std::string();
}

int64_t StoppableColumns::Int64(int column) { return Go() ? statement_.ColumnInt64(column) : 0; }

double StoppableColumns::Double(int column) { return Go() ? statement_.ColumnDouble(column) : 0.0; }

int StageAndOpenMediaDatabase(const std::string& temp_folder, const std::string& source,
                              const char* operation, std::unique_ptr<SQLite3Wrapper>* db) {
  const std::string staged_path = StageSourceFile(temp_folder, source);
  if (staged_path.empty()) {
    KX_LOG_OP(kLogError, operation, "Database open failed, error code:{%d}, error message:{%s}",
              SQLITE_CANTOPEN, sqlite3_errstr(SQLITE_CANTOPEN));
    return kStatusOpenFailed;
  }
  *db = std::make_unique<SQLite3Wrapper>(staged_path);
  const SourceCheck check = CheckSourceDatabase(db->get());
  if (!check.ok()) {
    KX_LOG_OP(kLogError, operation, "Database open failed, error code:{%d}, error message:{%s}",
              check.sqlite_code, check.message.c_str());
    db->reset();
    // A schema that cannot be read is as unopenable to these packagers.
    return kStatusOpenFailed;
  }
  return kStatusOk;
}

ElementBatches::ElementBatches(std::string folder, const char* prefix, int64_t per_file,
                               const char* stem)
    : batches_(std::move(folder)),
      prefix_(prefix),
      per_file_(per_file),
      stem_(stem),
      files_(EmptyJsonArray()) {}

void ElementBatches::Add(const Json::Value& element) {
  batches_.Add(element);
  ++count_;
  if (batches_.size() >= per_file_) WriteFile();
}

Json::Value ElementBatches::Finish() {
  if (batches_.size() != 0) WriteFile();
  return std::move(files_);
}

void ElementBatches::WriteFile() {
  const BatchFile file =
      batches_.Write(std::string(prefix_) + "_" + std::to_string(counter_) + ".json");
  if (!file.opened()) {
    KX_LOG_AT(kLogProblem, stem_, "Open file {%s} failed, error message:{%s}", file.path.c_str(),
              std::strerror(file.result.error));
    return;
  }
  ++counter_;
  files_.append(file.path);
}

bool MediaPathExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(path), error);
}

int CheckMediaParams(const char* operation, const std::string& source,
                     const std::string& temp_folder) {
  for (const std::string* path : {&source, &temp_folder}) {
    if (!MediaPathExists(*path)) {
      KX_LOG_OP(kLogError, operation, "File {%s} not exists", path->c_str());
      return kStatusMissingInput;
    }
  }
  return kStatusOk;
}

}  // namespace kx
