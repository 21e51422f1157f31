#include "pipeline/ios_calendar_storage.h"

#include <string>
#include <utility>

#include "common/json_util.h"
#include "kit/batch_writer.h"

namespace kx {

namespace {

constexpr char kSaveOperation[] = "IosCalendarKxDataPackageStorage::_SaveCalendarInfosToLocal";
constexpr char kEmptyMessage[] = "calendar info is empty";
constexpr int64_t kEventsPerFile = 1000;

}  // namespace

IosCalendarKxDataPackageStorage::IosCalendarKxDataPackageStorage(std::string output_folder)
    : AbstractDataPackageStorage(output_folder), pending_(std::move(output_folder)) {}

void IosCalendarKxDataPackageStorage::AddEvent(int64_t row_id, std::string_view text) {
  if (!pending_ids_.insert(row_id).second) return;
  pending_.Next()->Element(text, kDetailElementDepth);
  ++event_count_;
  if (pending_.size() >= kEventsPerFile) SaveCalendarInfosToLocal();
}

std::string IosCalendarKxDataPackageStorage::SaveCalendarInfosToLocal() {
  DetailFileItem item;
  item.operation = kSaveOperation;
  item.empty_message = kEmptyMessage;
  item.has_details = pending_.size() != 0;
  // Written or not, the pending events are released: a file that cannot be
  // opened loses its events, not the run.
  std::string path = SaveDetailFile(&pending_, kCalendarDetailPrefix, &detail_file_counter_, item);
  pending_ids_.clear();
  if (!path.empty()) detail_files_.append(path);
  return path;
}

Json::Value& IosCalendarKxDataPackageStorage::BuildResultDocument(Json::Value& document) {
  if (pending_.size() != 0) SaveCalendarInfosToLocal();
  document = Json::Value(Json::objectValue);
  document["msg_file_list"] = detail_files_;
  document["size"] = event_count_;
  return document;
}

}  // namespace kx
