// Turns one data type's output (result.json and the batch files it lists)
// into the report's data: conversations as threads of messages, every other
// record list as records, each in data files small enough to load on
// demand.
#ifndef KXPACKAGE_REPORT_MODEL_H_
#define KXPACKAGE_REPORT_MODEL_H_

#include <json/json.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "tools/kxpackage/report_names.h"
#include "tools/kxpackage/report_paths.h"

namespace kxpackage {

// Receives each data file as it is made: its key and value. False stops the
// conversion.
using DataSink = std::function<bool(const std::string& key, const Json::Value& value)>;

// A message or record as the report shows it, with where it lies: the
// document (relative to the output folder) and its place in it.
struct SeenRecord {
  bool message = false;
  std::string view;     // of a record: contacts, calls, notes, photos, table
  std::string section;  // the document's member it was listed under
  std::string thread;   // of a message: its conversation's title
  std::string file;
  std::string place;
  const Json::Value* shown = nullptr;
};
using RecordObserver = std::function<void(const SeenRecord&)>;

// The most messages or records one data file holds.
constexpr size_t kMessagesPerDataFile = 2000;
constexpr size_t kRecordsPerDataFile = 500;

class TypeReport {
 public:
  // `name` is the data type's folder under the output folder; `number`
  // tells its data files apart from the other types'.
  TypeReport(const OutputFolder& output, std::string name, int number, DataSink sink,
             const NameBook* contacts = nullptr, RecordObserver observer = nullptr);

  // Converts the folder's result.json. False only when the sink failed;
  // what the documents lack or hold wrongly is told in problems().
  bool Convert();

  // {"name", "sections": [...], "problems": [...]}: the type's page.
  const Json::Value& page() const { return page_; }
  // [{"key", "type", "section", "thread"?, "what"}]: the data files a
  // search walks, in order.
  const Json::Value& searchable() const { return searchable_; }

 private:
  class ThreadWriter;
  class RecordWriter;

  bool Walk(const Json::Value& value, const std::string& label, int depth);
  bool WalkMember(const std::string& key, const Json::Value& value, int depth);
  bool WalkFileList(const std::string& label, const Json::Value& paths, int depth);
  bool AddThreads(const std::string& label, const Json::Value& sessions);
  bool AddRecords(const std::string& label, const Json::Value& records);
  bool ReadDocument(const std::string& named, Json::Value* document);
  void LearnMembers(const Json::Value& sessions);
  void NameAlbums(const Json::Value& raw, Json::Value* record);
  void Observe(bool message, const std::string& view, const std::string& section,
               const std::string& thread, const std::string& place, const Json::Value& shown);
  // The index of the page's section of `kind` and `label`, made when new.
  int Section(const std::string& kind, const std::string& label);
  std::string NextKey(const char* prefix);
  void Problem(const std::string& text);

  const OutputFolder& output_;
  std::string name_;
  int number_;
  DataSink sink_;
  const NameBook* contacts_;
  RecordObserver observer_;
  NameBook app_names_;                               // from the conversations' member lists
  std::map<std::string, std::string> album_titles_;  // uuid -> title
  std::string document_;  // the document being read, relative to the output folder
  std::filesystem::path folder_;
  int files_ = 0;
  Json::Value page_;
  Json::Value searchable_{Json::arrayValue};
};

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_MODEL_H_
