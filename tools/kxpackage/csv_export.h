// The report's tables as CSV files a spreadsheet opens (UTF-8 with a byte
// order mark): one file per record list or conversation list of each data
// type. Written as the records are read; a record list's columns are its
// records' fields, gathered on the way, so its rows wait in a spill file
// until the header is known.
#ifndef KXPACKAGE_CSV_EXPORT_H_
#define KXPACKAGE_CSV_EXPORT_H_

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/kxpackage/report_model.h"

namespace kxpackage {

class CsvExport {
 public:
  // Files go into `folder`, made afresh.
  explicit CsvExport(std::string folder);
  ~CsvExport();

  // The file of `type`'s list `section`: letters, digits, '_' and '-' only.
  static std::string FileName(const std::string& type, const std::string& section);

  void Add(const std::string& type, const SeenRecord& seen);

  // Writes the record lists' files; false with `error` set when a file
  // cannot be written.
  bool Finish(std::string* error);

  size_t files() const { return tables_.size(); }

 private:
  struct Table;
  Table* Open(const std::string& type, const SeenRecord& seen);
  bool WriteRecords(Table* table, std::string* error);

  std::string folder_;
  std::map<std::string, std::unique_ptr<Table>> tables_;
  bool failed_ = false;
};

}  // namespace kxpackage

#endif  // KXPACKAGE_CSV_EXPORT_H_
