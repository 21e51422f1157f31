#include "pipeline/ios_calendar_storage.h"

#include <ostream>
#include <string>
#include <utility>

#include "common/json_text_writer.h"
#include "common/json_util.h"
#include "kit/batch_writer.h"

namespace kx {

namespace {

constexpr char kSaveOperation[] = "IosCalendarKxDataPackageStorage::_SaveCalendarInfosToLocal";
constexpr char kEmptyMessage[] = "calendar info is empty";
constexpr size_t kEventsPerFile = 1000;

}  // namespace

IosCalendarKxDataPackageStorage::IosCalendarKxDataPackageStorage(std::string output_folder)
    : AbstractDataPackageStorage(std::move(output_folder)) {}

void IosCalendarKxDataPackageStorage::AddEvent(int64_t row_id, std::string_view text) {
  if (!pending_ids_.insert(row_id).second) return;
  if (pending_count_ == 0) {
    pending_text_.clear();
    pending_writer_.emplace(&pending_text_);
    pending_writer_->BeginArray();
  }
  pending_writer_->Element(text, kDetailElementDepth);
  ++pending_count_;
  ++event_count_;
  if (pending_count_ >= kEventsPerFile) SaveCalendarInfosToLocal();
}

std::string IosCalendarKxDataPackageStorage::SaveCalendarInfosToLocal() {
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = kEmptyMessage;
  item.has_details = pending_count_ != 0;
  item.write_details = [this](std::ostream* out) {
    pending_writer_->EndArray();
    out->write(pending_text_.data(), static_cast<std::streamsize>(pending_text_.size()));
  };
  std::string path =
      SaveDetailFile(output_folder(), kCalendarDetailPrefix, &detail_file_counter_, item);
  // Written or not, the pending events are released: a file that cannot be
  // opened loses its events, not the run.
  pending_count_ = 0;
  pending_writer_.reset();
  pending_ids_.clear();
  if (!path.empty()) detail_files_.push_back(path);
  return path;
}

Json::Value& IosCalendarKxDataPackageStorage::BuildResultDocument(Json::Value& document) {
  if (pending_count_ != 0) SaveCalendarInfosToLocal();
  document = Json::Value(Json::objectValue);
  Json::Value files = EmptyJsonArray();
  for (const std::string& path : detail_files_) files.append(path);
  document["msg_file_list"] = std::move(files);
  document["size"] = event_count_;
  return document;
}

}  // namespace kx
