#include "pipeline/ios_calendar_storage.h"

#include <ostream>
#include <string>
#include <utility>

#include "common/json_text_writer.h"
#include "common/json_util.h"

namespace kx {

namespace {

constexpr char kSaveOperation[] = "IosCalendarKxDataPackageStorage::_SaveCalendarInfosToLocal";
constexpr char kEmptyMessage[] = "calendar info is empty";
constexpr size_t kEventsPerFile = 1000;

}  // namespace

IosCalendarKxDataPackageStorage::IosCalendarKxDataPackageStorage(std::string output_folder)
    : AbstractDataPackageStorage(std::move(output_folder)) {}

void IosCalendarKxDataPackageStorage::AddEvent(int64_t row_id, std::string text) {
  if (!pending_ids_.insert(row_id).second) return;
  pending_.push_back(std::move(text));
  ++event_count_;
  if (pending_.size() >= kEventsPerFile) SaveCalendarInfosToLocal();
}

std::string IosCalendarKxDataPackageStorage::SaveCalendarInfosToLocal() {
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = kEmptyMessage;
  item.has_details = !pending_.empty();
  item.write_details = [this](std::ostream* out) {
    std::string text;
    JsonTextWriter writer(&text);
    writer.BeginArray();
    for (const std::string& event : pending_) writer.Element(event, kDetailElementDepth);
    writer.EndArray();
    out->write(text.data(), static_cast<std::streamsize>(text.size()));
  };
  std::string path =
      SaveDetailFile(output_folder(), kCalendarDetailPrefix, &detail_file_counter_, item);
  // Written or not, the pending events are released: a file that cannot be
  // opened loses its events, not the run.
  pending_.clear();
  pending_ids_.clear();
  if (!path.empty()) detail_files_.push_back(path);
  return path;
}

Json::Value& IosCalendarKxDataPackageStorage::BuildResultDocument(Json::Value& document) {
  if (!pending_.empty()) SaveCalendarInfosToLocal();
  document = Json::Value(Json::objectValue);
  Json::Value files = EmptyJsonArray();
  for (const std::string& path : detail_files_) files.append(path);
  document["msg_file_list"] = std::move(files);
  document["size"] = event_count_;
  return document;
}

}  // namespace kx
