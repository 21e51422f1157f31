// The storage writer of the staged iOS calendar packager: events gathered
// into detail files ("DataAnalysis_Calendar_<n>.json") and the result
// document that lists the files and counts the events.
#ifndef KX_PIPELINE_IOS_CALENDAR_STORAGE_H_
#define KX_PIPELINE_IOS_CALENDAR_STORAGE_H_

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "kit/batch_writer.h"
#include "packager/staged_package.h"

namespace kx {

class IosCalendarKxDataPackageStorage : public AbstractDataPackageStorage {
 public:
  explicit IosCalendarKxDataPackageStorage(std::string output_folder);

  // How deep a detail file's elements stand: one step into its array.
  static constexpr size_t kDetailElementDepth = 1;

  // Adds one event under its ROWID, as the text of a detail-file element
  // kDetailElementDepth steps in (JsonTextWriter). Every 1000
  // pending events are written as one detail file, so a calendar of any
  // size is held 1000 events at a time and each file but the last is full.
  void AddEvent(int64_t row_id, std::string_view text);

  // Writes the pending events as the next detail file; "" when none is
  // pending or the file cannot be opened.
  std::string SaveCalendarInfosToLocal();

  // {"msg_file_list": [...], "size": n}, after writing what is pending.
  Json::Value& BuildResultDocument(Json::Value& document) override;

  int event_count() const { return event_count_; }

 private:
  int detail_file_counter_ = 0;
  // The pending events, in the order added: the next file.
  BatchWriter pending_;
  std::unordered_set<int64_t> pending_ids_;
  Json::Value detail_files_{Json::arrayValue};
  int event_count_ = 0;
};

}  // namespace kx

#endif  // KX_PIPELINE_IOS_CALENDAR_STORAGE_H_
