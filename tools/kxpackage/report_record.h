// One record of a document as the report shows it: a message, a contact, a
// call, a note, a photo or any other record, with its pictures resolved
// inside the output folder.
#ifndef KXPACKAGE_REPORT_RECORD_H_
#define KXPACKAGE_REPORT_RECORD_H_

#include <json/json.h>

#include <filesystem>
#include <string>

#include "tools/kxpackage/report_paths.h"

namespace kxpackage {

class RecordReader {
 public:
  // Relative paths in the records are taken from `base`, the data type's
  // folder.
  RecordReader(const OutputFolder& output, std::filesystem::path base)
      : output_(output), base_(std::move(base)) {}

  // {"text", "date"?, "from_me", "sender"?, "kind"?, "deleted"?, "pictures"?}
  Json::Value Message(const Json::Value& raw) const;
  // {"title", "subtitle"?, "date"?, "text"?, "deleted"?, "pictures"?,
  //  "fields": [[name, value], ...]}
  Json::Value Record(const Json::Value& raw) const;
  // {"title", "subtitle"?, "deleted"?}: a conversation's heading.
  Json::Value Thread(const Json::Value& session) const;

  // [{"src": link} or {"missing": name}] for the picture paths in `raw`.
  Json::Value Pictures(const Json::Value& raw) const;

 private:
  void CollectPictures(const std::string& key, const Json::Value& value, int depth,
                       Json::Value* pictures) const;
  Json::Value Picture(const std::string& key, const std::string& path) const;

  const OutputFolder& output_;
  std::filesystem::path base_;
};

// True when `record` carries "tag": "deleted" or a true "is_deleted".
bool IsDeleted(const Json::Value& record);

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_RECORD_H_
