#include "tools/kxpackage/timeline.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <queue>
#include <utility>

namespace kxpackage {

namespace fs = std::filesystem;

const char kUtf8Bom[] = "\xEF\xBB\xBF";

namespace {

constexpr size_t kTextLimit = 500;  // characters of a text kept in the timeline

std::string Cut(const std::string& text) {
  if (text.size() <= kTextLimit) return text;
  size_t end = kTextLimit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "…";
}

bool IsIsoTime(const std::string& text) {
  return text.size() >= 10 && std::isdigit(static_cast<unsigned char>(text[0])) && text[4] == '-' &&
         text[7] == '-';
}

// What a record is, by the view that shows it.
std::string RecordKind(const SeenRecord& seen) {
  if (seen.view == "calls") return "call";
  if (seen.view == "contacts") return "contact";
  if (seen.view == "notes") return "note";
  if (seen.view == "photos") return "photo";
  return seen.section;
}

Json::Value ToJson(const TimelineEvent& event) {
  Json::Value value;
  value["time"] = event.time;
  value["type"] = event.type;
  value["kind"] = event.kind;
  value["who"] = event.who;
  value["text"] = event.text;
  value["deleted"] = event.deleted;
  value["file"] = event.file;
  value["place"] = event.place;
  return value;
}

TimelineEvent FromJson(const Json::Value& value) {
  TimelineEvent event;
  event.time = value["time"].asString();
  event.type = value["type"].asString();
  event.kind = value["kind"].asString();
  event.who = value["who"].asString();
  event.text = value["text"].asString();
  event.deleted = value["deleted"].asBool();
  event.file = value["file"].asString();
  event.place = value["place"].asString();
  return event;
}

std::string JsonLine(const TimelineEvent& event) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, ToJson(event)) + "\n";
}

// One spilled run read back line by line.
class RunReader {
 public:
  explicit RunReader(const std::string& path) : in_(fs::u8path(path), std::ios::binary) {}
  bool Next(TimelineEvent* event) {
    std::string line;
    if (!std::getline(in_, line)) return false;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    if (!reader->parse(line.data(), line.data() + line.size(), &value, &errors)) return false;
    *event = FromJson(value);
    return true;
  }

 private:
  std::ifstream in_;
};

// What a spreadsheet would evaluate: "=...", "@...", "+A1" or "-2+3", but
// not a phone number ("+44 20 7946 0000") or a negative number.
bool LooksLikeFormula(const std::string& cell) {
  if (cell.empty()) return false;
  if (std::string("=@\t\r").find(cell[0]) != std::string::npos) return true;
  if (cell[0] != '+' && cell[0] != '-') return false;
  return cell.find_first_not_of("0123456789 ().", 1) != std::string::npos;
}

}  // namespace

bool EventOf(const std::string& type, const SeenRecord& seen, TimelineEvent* event) {
  const Json::Value& shown = *seen.shown;
  event->time = shown["date"].isString() ? shown["date"].asString() : "";
  if (!IsIsoTime(event->time)) return false;
  event->type = type;
  event->deleted = shown["deleted"].asBool();
  event->file = seen.file;
  event->place = seen.place;
  if (seen.message) {
    const std::string label = shown["label"].asString();
    event->kind = label.empty() ? "message" : label.substr(0, label.find(" · "));
    // A message in a conversation of two may name no sender: the other one.
    event->who = shown["from_me"].asBool() ? "me" : shown["sender"].asString();
    if (event->who.empty()) {
      event->who = seen.thread;
    } else if (!seen.thread.empty() && seen.thread != event->who) {
      event->who += " → " + seen.thread;
    }
    event->text = Cut(shown["text"].asString().empty() ? label : shown["text"].asString());
  } else {
    event->kind = RecordKind(seen);
    event->who = seen.view == "calls" || seen.view == "contacts" ? shown["title"].asString() : "";
    const std::string title = shown["title"].asString();
    const std::string text = shown["text"].asString();
    event->text =
        Cut(seen.view == "calls" ? shown["subtitle"].asString()
                                 : title + (text.empty() || title.empty() ? "" : ": ") + text);
  }
  return true;
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    std::string cell = cells[i];
    if (LooksLikeFormula(cell)) cell.insert(0, "'");
    const bool quote = cell.find_first_of(",\"\r\n") != std::string::npos;
    if (quote) {
      std::string quoted = "\"";
      for (const char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      cell = quoted + "\"";
    }
    line += (i == 0 ? "" : ",") + cell;
  }
  return line + "\r\n";
}

// A fresh folder: whatever lay there (a link too) goes first.
TimelineWriter::TimelineWriter(std::string scratch, size_t run_size)
    : scratch_(std::move(scratch)), run_size_(run_size) {
  std::error_code error;
  fs::remove_all(fs::u8path(scratch_), error);
}

TimelineWriter::~TimelineWriter() {
  std::error_code error;
  fs::remove_all(fs::u8path(scratch_), error);
}

bool TimelineWriter::Add(TimelineEvent event) {
  if (failed_) return false;
  buffer_.push_back(std::move(event));
  ++count_;
  if (buffer_.size() >= run_size_ && !Spill()) failed_ = true;
  return !failed_;
}

bool TimelineWriter::Spill() {
  std::stable_sort(buffer_.begin(), buffer_.end(),
                   [](const TimelineEvent& a, const TimelineEvent& b) { return a.time < b.time; });
  std::error_code error;
  fs::create_directories(fs::u8path(scratch_), error);
  const std::string path =
      (fs::u8path(scratch_) / ("run-" + std::to_string(runs_.size()) + ".jsonl")).u8string();
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  for (const TimelineEvent& event : buffer_) out << JsonLine(event);
  out.close();
  buffer_.clear();
  runs_.push_back(path);
  return static_cast<bool>(out);
}

bool TimelineWriter::Finish(const std::string& csv, const std::string& jsonl,
                            const std::function<bool(const TimelineEvent&)>& each,
                            std::string* error) {
  if (failed_ || (!buffer_.empty() && !Spill())) {
    *error = scratch_ + ": the timeline's sorted runs cannot be written";
    return false;
  }
  std::error_code removed;  // a link in their place is replaced, not written through
  fs::remove(fs::u8path(csv), removed);
  fs::remove(fs::u8path(jsonl), removed);
  std::ofstream csv_out(fs::u8path(csv), std::ios::binary | std::ios::trunc);
  std::ofstream jsonl_out(fs::u8path(jsonl), std::ios::binary | std::ios::trunc);
  csv_out << kUtf8Bom
          << CsvLine({"time", "data type", "kind", "who", "text", "deleted", "file", "place"});
  // Merging: the earliest head of the runs next; equal times keep the
  // order of the runs, which is the order they were read in.
  std::vector<std::unique_ptr<RunReader>> readers;
  using Head = std::pair<TimelineEvent, size_t>;
  const auto later = [](const Head& a, const Head& b) {
    return a.first.time != b.first.time ? a.first.time > b.first.time : a.second > b.second;
  };
  std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
  for (const std::string& run : runs_) {
    readers.push_back(std::make_unique<RunReader>(run));
    TimelineEvent event;
    if (readers.back()->Next(&event)) heads.emplace(std::move(event), readers.size() - 1);
  }
  while (!heads.empty()) {
    Head head = heads.top();
    heads.pop();
    const TimelineEvent& event = head.first;
    csv_out << CsvLine({event.time, event.type, event.kind, event.who, event.text,
                        event.deleted ? "yes" : "no", event.file, event.place});
    jsonl_out << JsonLine(event);
    if (each && !each(event)) {
      *error = "the timeline's data files cannot be written";
      return false;
    }
    TimelineEvent next;
    if (readers[head.second]->Next(&next)) heads.emplace(std::move(next), head.second);
  }
  csv_out.close();
  jsonl_out.close();
  if (!csv_out || !jsonl_out) {
    *error = csv + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace kxpackage
