// One record of a document as the report shows it: a message, a contact, a
// call, a note, a photo or any other record, with its pictures resolved
// inside the output folder.
#ifndef KXPACKAGE_REPORT_RECORD_H_
#define KXPACKAGE_REPORT_RECORD_H_

#include <json/json.h>

#include <filesystem>
#include <string>

#include "tools/kxpackage/report_names.h"
#include "tools/kxpackage/report_paths.h"

namespace kxpackage {

class RecordReader {
 public:
  // Relative paths in the records are taken from `base`, the data type's
  // folder. Numbers and ids are named from `app` (the application's own
  // member lists), then `contacts` (the output's contacts); either may be
  // null.
  RecordReader(const OutputFolder& output, std::filesystem::path base,
               const NameBook* contacts = nullptr, const NameBook* app = nullptr)
      : output_(output), base_(std::move(base)), contacts_(contacts), app_(app) {}

  // {"text", "date"?, "from_me", "sender"?, "sender_id"?, "kind"?,
  //  "label"?, "deleted"?, "pictures"?}: "date" is ISO 8601 when the
  // document's date reads as one; "label" says what a message without
  // text is.
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
  std::string NameOf(const std::string& id) const;

  const OutputFolder& output_;
  std::filesystem::path base_;
  const NameBook* contacts_;
  const NameBook* app_;
};

// What a message that is not text is: "picture", "voice note", "location",
// "group event: added a participant", ... with what the document holds of
// it; "" for a text message.
std::string MessageLabel(const Json::Value& raw);

// The date of a message or record as shown: ISO 8601 when it reads as a
// date, else as the document has it; null when there is none.
Json::Value ShownDate(const Json::Value& raw);

// True when `record` carries "tag": "deleted" or a true "is_deleted".
bool IsDeleted(const Json::Value& record);

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_RECORD_H_
