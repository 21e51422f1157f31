// kxpackage report: a static page set under OUT/report that shows what an
// output folder holds, opened from the file system without a server.
#ifndef KXPACKAGE_REPORT_H_
#define KXPACKAGE_REPORT_H_

#include <string>

namespace kxpackage {

// Writes OUT/report/index.html, its script and style sheet, and the data
// files under OUT/report/data (the folder OUT/report is rewritten whole).
// Reads nothing outside `output`. False with `error` set when the report
// cannot be written; a folder without result documents still gets a
// report that says so.
bool WriteReport(const std::string& output, std::string* error);

// Writes OUT/timeline.csv and OUT/timeline.jsonl: every dated message and
// record of the output, sorted by time (WriteReport writes them too).
// `events` receives their count. False with `error` set.
bool WriteTimeline(const std::string& output, size_t* events, std::string* error);

// Writes OUT/export/<data type>-<list>.csv: every record list and
// conversation list of OUT as a CSV file (UTF-8 with a byte order mark).
// `folder` and `files` receive where and how many. False with `error` set.
bool WriteCsvExport(const std::string& output, std::string* folder, size_t* files,
                    std::string* error);

// The name of the summary document a packaging run leaves in OUT.
extern const char kSummaryFileName[];

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_H_
