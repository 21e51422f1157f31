// One timeline across data types: every dated message and record of an
// output folder, sorted by time, written as OUT/timeline.csv and
// OUT/timeline.jsonl. Sorted in runs that spill to disk and are merged, so a
// million events take the memory of one run.
#ifndef KXPACKAGE_TIMELINE_H_
#define KXPACKAGE_TIMELINE_H_

#include <json/json.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/kxpackage/report_model.h"

namespace kxpackage {

struct TimelineEvent {
  std::string time;  // ISO 8601, local time
  std::string type;  // the data type's folder name
  std::string kind;  // message, picture, call, contact, note, ...
  std::string who;
  std::string text;
  bool deleted = false;
  std::string file;  // the document, relative to the output folder
  std::string place;
};

// The event a message or record of `type` makes; false when it has no date
// that reads as one.
bool EventOf(const std::string& type, const SeenRecord& seen, TimelineEvent* event);

class TimelineWriter {
 public:
  // Sorted runs spill into `scratch` (made, and removed by Finish).
  explicit TimelineWriter(std::string scratch, size_t run_size = 100000);
  ~TimelineWriter();

  // False once writing a run failed.
  bool Add(TimelineEvent event);

  // Merges everything added into `csv` (UTF-8 with a byte order mark, for
  // spreadsheets) and `jsonl`, handing each event in order to `each` when
  // given. False with `error` set.
  bool Finish(const std::string& csv, const std::string& jsonl,
              const std::function<bool(const TimelineEvent&)>& each, std::string* error);

  size_t count() const { return count_; }

 private:
  bool Spill();

  std::string scratch_;
  size_t run_size_;
  std::vector<TimelineEvent> buffer_;
  std::vector<std::string> runs_;
  size_t count_ = 0;
  bool failed_ = false;
};

// One CSV line (CRLF-ended) of `cells`: quoted where needed, and a cell
// that a spreadsheet would take for a formula starts with a quote mark.
std::string CsvLine(const std::vector<std::string>& cells);
// The byte order mark spreadsheets want before UTF-8 CSV.
extern const char kUtf8Bom[];

}  // namespace kxpackage

#endif  // KXPACKAGE_TIMELINE_H_
