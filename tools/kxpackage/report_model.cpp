#include "tools/kxpackage/report_model.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>

#include "tools/kxpackage/report_record.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr int kDepthLimit = 8;  // nesting followed into a document
// A batch or record file larger than this is left out rather than read
// whole: the packagers write none near it.
constexpr std::uintmax_t kDocumentLimit = 512u << 20;

// Where a record list is shown with its own view, by the words in its
// name or its data type's.
struct ViewRule {
  const char* word;
  const char* view;
  const char* what;  // what a search finds in it; "" when it is not searched
};
const ViewRule kViewRules[] = {
    {"contact", "contacts", "contacts"},
    {"note", "notes", "notes"},
    {"call", "calls", ""},
    {"photo", "photos", ""},
    {"voice", "calls", ""},
};

bool Contains(const std::string& text, const char* word) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find(word) != std::string::npos;
}

const ViewRule* ViewOf(const std::string& label, const std::string& type) {
  for (const ViewRule& rule : kViewRules) {
    if (Contains(label, rule.word)) return &rule;
  }
  for (const ViewRule& rule : kViewRules) {
    if (Contains(type, rule.word)) return &rule;
  }
  return nullptr;
}

bool IsObjectList(const Json::Value& value) {
  if (!value.isArray() || value.empty()) return false;
  return std::all_of(value.begin(), value.end(),
                     [](const Json::Value& item) { return item.isObject(); });
}

// A list of conversations: objects holding their messages or the batch
// files of them.
bool IsSessionList(const Json::Value& value) {
  if (!IsObjectList(value)) return false;
  return std::any_of(value.begin(), value.end(), [](const Json::Value& item) {
    return item["msg_file_list"].isArray() || IsObjectList(item["messages"]) ||
           (item["messages"].isArray() && item.size() > 1);
  });
}

bool HoldsSessionList(const Json::Value& value) {
  if (!value.isObject()) return false;
  for (const std::string& name : value.getMemberNames()) {
    if (IsSessionList(value[name])) return true;
  }
  return false;
}

bool IsFileList(const Json::Value& value) {
  if (!value.isArray() || value.empty()) return false;
  return std::all_of(value.begin(), value.end(), [](const Json::Value& item) {
    const std::string text = item.isString() ? item.asString() : "";
    return text.size() > 5 && text.compare(text.size() - 5, 5, ".json") == 0;
  });
}

// The messages of a batch file: the file's array, or the first list of
// records it holds.
const Json::Value* MessagesOf(const Json::Value& document) {
  if (document.isArray()) return &document;
  if (!document.isObject()) return nullptr;
  if (document["messages"].isArray()) return &document["messages"];
  for (const std::string& name : document.getMemberNames()) {
    if (document[name].isArray()) return &document[name];
  }
  return nullptr;
}

}  // namespace

// The messages of one conversation, written as data files of at most
// kMessagesPerDataFile as they come.
class TypeReport::ThreadWriter {
 public:
  ThreadWriter(TypeReport* report, const RecordReader* reader, int section, int thread,
               std::string section_label, std::string thread_title)
      : report_(report),
        reader_(reader),
        section_(section),
        thread_(thread),
        section_label_(std::move(section_label)),
        thread_title_(std::move(thread_title)) {}

  bool Add(const Json::Value& raw, const std::string& place) {
    messages_.append(reader_->Message(raw));
    report_->Observe(true, "", section_label_, thread_title_, place,
                     messages_[messages_.size() - 1]);
    ++count_;
    return messages_.size() < kMessagesPerDataFile || Flush();
  }

  bool Flush() {
    if (messages_.empty()) return true;
    const std::string key = report_->NextKey("c");
    keys_.append(key);
    Json::Value data;
    data["messages"] = std::move(messages_);
    messages_ = Json::Value(Json::arrayValue);
    Json::Value entry;
    entry["key"] = key;
    entry["type"] = report_->name_;
    entry["section"] = section_;
    entry["thread"] = thread_;
    entry["what"] = "messages";
    report_->searchable_.append(entry);
    return report_->sink_(key, data);
  }

  Json::Value keys() const { return keys_; }
  Json::UInt64 count() const { return count_; }

 private:
  TypeReport* report_;
  const RecordReader* reader_;
  int section_;
  int thread_;
  std::string section_label_;
  std::string thread_title_;
  Json::Value messages_{Json::arrayValue};
  Json::Value keys_{Json::arrayValue};
  Json::UInt64 count_ = 0;
};

TypeReport::TypeReport(const OutputFolder& output, std::string name, int number, DataSink sink,
                       const NameBook* contacts, RecordObserver observer)
    : output_(output),
      name_(std::move(name)),
      number_(number),
      sink_(std::move(sink)),
      contacts_(contacts),
      observer_(std::move(observer)) {
  folder_ = output_.root() / fs::u8path(name_);
  page_["name"] = name_;
  page_["sections"] = Json::Value(Json::arrayValue);
  page_["problems"] = Json::Value(Json::arrayValue);
}

std::string TypeReport::NextKey(const char* prefix) {
  return std::string(prefix) + "-" + std::to_string(number_) + "-" + std::to_string(files_++);
}

// A screenful: an output whose every batch file is gone says so once.
void TypeReport::Problem(const std::string& text) {
  constexpr Json::ArrayIndex kProblemsShown = 50;
  Json::Value& problems = page_["problems"];
  if (problems.size() < kProblemsShown) {
    problems.append(text);
  } else if (problems.size() == kProblemsShown) {
    problems.append("and more files missing or refused");
  }
}

int TypeReport::Section(const std::string& kind, const std::string& label) {
  Json::Value& sections = page_["sections"];
  for (Json::ArrayIndex i = 0; i < sections.size(); ++i) {
    if (sections[i]["kind"] == kind && sections[i]["label"] == label) return static_cast<int>(i);
  }
  Json::Value section;
  section["kind"] = kind;
  section["label"] = label;
  section["count"] = 0;
  if (kind == "conversations") {
    section["threads"] = Json::Value(Json::arrayValue);
  } else {
    const ViewRule* rule = ViewOf(label, name_);
    section["view"] = rule == nullptr ? "table" : rule->view;
    section["keys"] = Json::Value(Json::arrayValue);
  }
  sections.append(section);
  return static_cast<int>(sections.size()) - 1;
}

bool TypeReport::ReadDocument(const std::string& named, Json::Value* document) {
  fs::path inside;
  std::error_code error;
  if (!output_.Resolve(named, folder_, &inside)) {
    Problem(named + ": lies outside the output folder (not read)");
    return false;
  }
  const std::uintmax_t size = fs::file_size(inside, error);
  if (error || !fs::is_regular_file(inside, error)) {
    Problem(named + ": missing");
    return false;
  }
  if (size > kDocumentLimit) {
    Problem(named + ": too large to show");
    return false;
  }
  std::ifstream in(inside, std::ios::binary);
  Json::CharReaderBuilder builder;
  std::string errors;
  if (!Json::parseFromStream(builder, in, document, &errors)) {
    Problem(named + ": not JSON");
    return false;
  }
  document_ = inside.lexically_relative(output_.root()).generic_u8string();
  return true;
}

void TypeReport::Observe(bool message, const std::string& view, const std::string& section,
                         const std::string& thread, const std::string& place,
                         const Json::Value& shown) {
  if (!observer_) return;
  SeenRecord seen;
  seen.message = message;
  seen.view = view;
  seen.section = section;
  seen.thread = thread;
  seen.file = document_;
  seen.place = place;
  seen.shown = &shown;
  observer_(seen);
}

// The members a conversation lists name its senders throughout the
// application's output, before any contact does.
void TypeReport::LearnMembers(const Json::Value& sessions) {
  for (const Json::Value& session : sessions) {
    for (const Json::Value& member : session["members"]) {
      if (!member.isObject()) continue;
      std::string name, id;
      for (const char* key : {"member_name", "name", "display_name", "nickname"}) {
        if (name.empty() && member[key].isString()) name = member[key].asString();
      }
      for (const char* key : {"member_jid", "jid", "member_id", "id", "user_id", "number"}) {
        if (id.empty() && member[key].isString()) id = member[key].asString();
      }
      app_names_.Add(id, name);
    }
  }
}

bool TypeReport::Convert() {
  Json::Value document;
  if (!ReadDocument((folder_ / "result.json").u8string(), &document)) return true;
  return Walk(document, name_, 0);
}

bool TypeReport::Walk(const Json::Value& value, const std::string& label, int depth) {
  if (depth > kDepthLimit) return true;
  if (value.isArray()) return WalkMember(label, value, depth);
  if (!value.isObject()) return true;
  for (const std::string& name : value.getMemberNames()) {
    if (!WalkMember(name, value[name], depth)) return false;
  }
  return true;
}

bool TypeReport::WalkMember(const std::string& key, const Json::Value& value, int depth) {
  if (IsSessionList(value)) return AddThreads(key, value);
  if (value.isObject()) return Walk(value, key, depth + 1);
  if (IsFileList(value)) return WalkFileList(key, value, depth);
  if (!IsObjectList(value)) return true;
  // Accounts that hold conversations are looked into, not listed.
  if (std::any_of(value.begin(), value.end(), HoldsSessionList)) {
    for (const Json::Value& item : value) {
      if (!Walk(item, key, depth + 1)) return false;
    }
    return true;
  }
  return AddRecords(key, value);
}

// Documents that list further documents (conversations or records in
// files of N): each file is read on its own and walked in turn.
bool TypeReport::WalkFileList(const std::string& label, const Json::Value& paths, int depth) {
  for (const Json::Value& path : paths) {
    Json::Value document;
    if (!ReadDocument(path.asString(), &document)) continue;
    if (!Walk(document, label, depth + 1)) return false;
  }
  return true;
}

bool TypeReport::AddThreads(const std::string& label, const Json::Value& sessions) {
  const int section_number = Section("conversations", label);
  Json::Value& section = page_["sections"][section_number];
  LearnMembers(sessions);
  const RecordReader reader(output_, folder_, contacts_, &app_names_);
  const std::string listing = document_;
  for (Json::ArrayIndex s = 0; s < sessions.size(); ++s) {
    const Json::Value& session = sessions[s];
    Json::Value thread = reader.Thread(session);
    ThreadWriter writer(this, &reader, section_number, static_cast<int>(section["threads"].size()),
                        label, thread["title"].asString());
    document_ = listing;
    const std::string here = label + "[" + std::to_string(s) + "].messages[";
    Json::ArrayIndex at = 0;
    for (const Json::Value& raw : session["messages"]) {
      if (!writer.Add(raw, here + std::to_string(at++) + "]")) return false;
    }
    for (const Json::Value& path : session["msg_file_list"]) {
      Json::Value batch;
      if (!path.isString() || !ReadDocument(path.asString(), &batch)) continue;
      const Json::Value* messages = MessagesOf(batch);
      if (messages == nullptr) continue;
      at = 0;
      for (const Json::Value& raw : *messages) {
        if (!writer.Add(raw, "[" + std::to_string(at++) + "]")) return false;
      }
    }
    if (!writer.Flush()) return false;
    thread["count"] = writer.count();
    thread["keys"] = writer.keys();
    section["count"] = section["count"].asUInt64() + 1;
    section["threads"].append(thread);
  }
  return true;
}

// The photo library lists its albums (uuid and title) before the photos,
// which name the albums they are in by uuid.
void TypeReport::NameAlbums(const Json::Value& raw, Json::Value* record) {
  if (!raw.isObject()) return;
  if (raw["ZUUID"].isString() && raw["Title"].isString() && !raw.isMember("Group")) {
    album_titles_[raw["ZUUID"].asString()] = raw["Title"].asString();
  }
  if (!raw["Group"].isArray()) return;
  Json::Value albums(Json::arrayValue);
  for (const Json::Value& uuid : raw["Group"]) {
    const auto found = album_titles_.find(uuid.asString());
    if (found != album_titles_.end()) albums.append(found->second);
  }
  if (!albums.empty()) (*record)["albums"] = albums;
}

bool TypeReport::AddRecords(const std::string& label, const Json::Value& records) {
  const int section_number = Section("records", label);
  Json::Value& section = page_["sections"][section_number];
  const ViewRule* rule = ViewOf(label, name_);
  const std::string view = rule == nullptr ? "table" : rule->view;
  const RecordReader reader(output_, folder_, contacts_, &app_names_);
  Json::Value chunk(Json::arrayValue);
  const auto flush = [&]() {
    if (chunk.empty()) return true;
    const std::string key = NextKey("r");
    section["keys"].append(key);
    if (rule != nullptr && *rule->what != '\0') {
      Json::Value entry;
      entry["key"] = key;
      entry["type"] = name_;
      entry["section"] = section_number;
      entry["what"] = rule->what;
      searchable_.append(entry);
    }
    Json::Value data;
    data["records"] = std::move(chunk);
    chunk = Json::Value(Json::arrayValue);
    return sink_(key, data);
  };
  Json::ArrayIndex at = 0;
  for (const Json::Value& raw : records) {
    chunk.append(reader.Record(raw));
    NameAlbums(raw, &chunk[chunk.size() - 1]);
    Observe(false, view, label, "", label + "[" + std::to_string(at++) + "]",
            chunk[chunk.size() - 1]);
    section["count"] = section["count"].asUInt64() + 1;
    if (chunk.size() >= kRecordsPerDataFile && !flush()) return false;
  }
  return flush();
}

}  // namespace kxpackage
