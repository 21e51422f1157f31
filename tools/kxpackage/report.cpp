#include "tools/kxpackage/report.h"

#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/kxpackage/csv_export.h"
#include "tools/kxpackage/report_assets.h"
#include "tools/kxpackage/report_data.h"
#include "tools/kxpackage/report_model.h"
#include "tools/kxpackage/report_paths.h"
#include "tools/kxpackage/timeline.h"
#include "tools/kxpackage/type_titles.h"

namespace kxpackage {

const char kSummaryFileName[] = "summary.json";
const char kTimelineCsv[] = "timeline.csv";
const char kTimelineJsonl[] = "timeline.jsonl";

namespace {

namespace fs = std::filesystem;

constexpr char kReportFolder[] = "report";
constexpr char kDataFolder[] = "data";
constexpr std::uintmax_t kSummaryLimit = 16u << 20;
constexpr char kTimelineScratch[] = ".timeline-runs";
constexpr char kCsvFolder[] = "csv";
constexpr char kSourcesCsv[] = "provenance-sources.csv";
constexpr char kExportFolder[] = "export";
constexpr char kSourcePicturesFolder[] = "pictures";  // copies of the backup's pictures
constexpr size_t kEventsPerDataFile = 2000;

// A fresh, real folder: an old report (or a link where it was) goes first,
// so nothing is written through a link leading elsewhere.
bool MakeFreshFolder(const fs::path& folder, std::string* error) {
  std::error_code code;
  fs::remove_all(folder, code);
  if (!code) fs::create_directory(folder, code);
  if (code || fs::is_symlink(fs::symlink_status(folder, code))) {
    *error = folder.u8string() + ": cannot be created (" + code.message() + ")";
    return false;
  }
  return true;
}

bool WriteAssets(const fs::path& folder, std::string* error) {
  for (const ReportAsset& asset : ReportAssets()) {
    std::ofstream out(folder / asset.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(asset.bytes), static_cast<std::streamsize>(asset.size));
    out.close();
    if (!out) {
      *error = (folder / asset.name).u8string() + ": cannot be written";
      return false;
    }
  }
  return true;
}

// The summary the packaging run left, when it is there and reads.
Json::Value ReadSummary(const OutputFolder& output) {
  fs::path inside;
  std::error_code error;
  if (!output.Resolve(kSummaryFileName, output.root(), &inside) ||
      !fs::is_regular_file(inside, error) || fs::file_size(inside, error) > kSummaryLimit) {
    return Json::Value();
  }
  std::ifstream in(inside, std::ios::binary);
  Json::CharReaderBuilder builder;
  Json::Value summary;
  std::string errors;
  if (!Json::parseFromStream(builder, in, &summary, &errors) || !summary.isObject()) {
    return Json::Value();
  }
  return summary;
}

// The data types' folders holding a result document: those the summary
// names first, in its order, then the others by name.
std::vector<std::string> TypeFolders(const OutputFolder& output, const Json::Value& summary) {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(output.root(), error)) {
    const std::string name = entry.path().filename().u8string();
    if (name == kReportFolder || !entry.is_directory(error)) continue;
    if (fs::exists(entry.path() / "result.json", error)) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> ordered;
  for (const Json::Value& entry : summary["data_types"]) {
    const std::string name = entry["name"].asString();
    const auto at = std::find(found.begin(), found.end(), name);
    if (at == found.end()) continue;
    ordered.push_back(name);
    found.erase(at);
  }
  ordered.insert(ordered.end(), found.begin(), found.end());
  return ordered;
}

Json::Value SummaryRows(const Json::Value& summary) {
  Json::Value rows(Json::arrayValue);
  for (const Json::Value& entry : summary["data_types"]) {
    Json::Value row;
    for (const char* member : {"name", "status", "status_text", "records", "files", "detail"}) {
      if (entry.isMember(member)) row[member] = entry[member];
    }
    row["title"] = TypeTitle(entry["name"].isString() ? entry["name"].asString() : "");
    rows.append(row);
  }
  return rows;
}

// What the run read and when, for the first page; the list of staged
// files stays in the summary (kxpackage verify checks it), only its count
// is shown. An output from before runs recorded it gets none.
Json::Value ProvenanceOf(const Json::Value& summary) {
  constexpr Json::ArrayIndex kSourcesShown = 5000;
  const Json::Value& recorded = summary["provenance"];
  if (!recorded.isObject()) return Json::Value();
  Json::Value provenance;
  for (const char* member :
       {"tool", "version", "library_version", "started", "finished", "time_zone"}) {
    if (recorded[member].isString()) provenance[member] = recorded[member];
  }
  provenance["command_line"] = Json::Value(Json::arrayValue);
  for (const Json::Value& arg : recorded["command_line"]) {
    if (arg.isString()) provenance["command_line"].append(arg);
  }
  provenance["sources"] = Json::Value(Json::arrayValue);
  for (const Json::Value& source : recorded["sources"]) {
    if (provenance["sources"].size() >= kSourcesShown || !source.isObject()) break;
    provenance["sources"].append(source);
  }
  provenance["source_count"] = recorded["sources"].size();
  provenance["staged_count"] = recorded["staged"].size();
  return provenance;
}

// The names the output's contact lists give numbers and addresses: read
// first, so that every conversation and call list is shown by name.
NameBook ReadContacts(const OutputFolder& output, const std::vector<std::string>& types) {
  NameBook book;
  const DataSink discard = [](const std::string&, const Json::Value&) { return true; };
  const RecordObserver learn = [&](const SeenRecord& seen) {
    if (!seen.message && seen.view == "contacts") book.AddContact(*seen.shown);
  };
  for (const std::string& name : types) {
    if (name.find("contact") == std::string::npos) continue;
    TypeReport(output, name, -1, discard, nullptr, learn).Convert();
  }
  return book;
}

// Feeds what the report reads into the timeline and the CSV files, each
// when given.
RecordObserver Observer(const std::string& type, TimelineWriter* timeline, CsvExport* csv) {
  return [type, timeline, csv](const SeenRecord& seen) {
    TimelineEvent event;
    if (timeline != nullptr && EventOf(type, seen, &event)) timeline->Add(std::move(event));
    if (csv != nullptr) csv->Add(type, seen);
  };
}

// The timeline's events in data files of kEventsPerDataFile, and what the
// page needs to find its way in them: each file's first and last time, the
// count of each data type and of deleted events.
class TimelinePieces {
 public:
  explicit TimelinePieces(const DataSink& sink) : sink_(sink) {
    index_["pieces"] = Json::Value(Json::arrayValue);
    index_["types"] = Json::Value(Json::objectValue);
    index_["deleted"] = 0;
  }
  bool Add(const TimelineEvent& event) {
    Json::Value row(Json::arrayValue);
    for (const std::string* cell : {&event.time, &event.type, &event.kind, &event.who, &event.text,
                                    &event.file, &event.place}) {
      row.append(*cell);
    }
    row.append(event.deleted);
    events_.append(row);
    index_["types"][event.type] = index_["types"][event.type].asUInt64() + 1;
    if (event.deleted) index_["deleted"] = index_["deleted"].asUInt64() + 1;
    return events_.size() < kEventsPerDataFile || Flush();
  }
  bool Flush() {
    if (events_.empty()) return true;
    Json::Value piece;
    piece["key"] = "t-" + std::to_string(index_["pieces"].size());
    piece["first"] = events_[0][0];
    piece["last"] = events_[events_.size() - 1][0];
    piece["count"] = events_.size();
    index_["pieces"].append(piece);
    Json::Value data;
    data["events"] = std::move(events_);
    events_ = Json::Value(Json::arrayValue);
    return sink_(piece["key"].asString(), data);
  }
  const Json::Value& index() const { return index_; }

 private:
  const DataSink& sink_;
  Json::Value events_{Json::arrayValue};
  Json::Value index_;
};

// The source files of the provenance as a CSV file beside the lists'.
bool WriteSourcesCsv(const Json::Value& summary, const fs::path& path, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << kUtf8Bom
      << CsvLine({"domain", "relative path", "read from", "size", "sha256", "decrypted",
                  "encrypted file", "encrypted sha256"});
  // The summary lies in OUT like any document: a member of the wrong type
  // reads as empty.
  const auto text = [](const Json::Value& value) {
    return value.isString() || value.isNumeric() ? value.asString() : std::string();
  };
  for (const Json::Value& source : summary["provenance"]["sources"]) {
    if (!source.isObject()) continue;
    out << CsvLine({text(source["domain"]), text(source["relative_path"]), text(source["path"]),
                    text(source["size"]), text(source["sha256"]),
                    source["decrypted"].isBool() && source["decrypted"].asBool() ? "yes" : "no",
                    text(source["encrypted_path"]), text(source["encrypted_sha256"])});
  }
  out.close();
  if (!out) *error = path.u8string() + ": cannot be written";
  return static_cast<bool>(out);
}

}  // namespace

bool WriteTimeline(const std::string& output_folder, size_t* events, std::string* error) {
  OutputFolder output;
  if (!output.Open(output_folder)) {
    *error = output_folder + ": no such folder";
    return false;
  }
  const std::vector<std::string> types = TypeFolders(output, ReadSummary(output));
  const NameBook contacts = ReadContacts(output, types);
  const DataSink discard = [](const std::string&, const Json::Value&) { return true; };
  TimelineWriter timeline((output.root() / kTimelineScratch).u8string());
  for (const std::string& name : types) {
    TypeReport(output, name, -1, discard, &contacts, Observer(name, &timeline, nullptr)).Convert();
  }
  *events = timeline.count();
  return timeline.Finish((output.root() / kTimelineCsv).u8string(),
                         (output.root() / kTimelineJsonl).u8string(), nullptr, error);
}

bool WriteCsvExport(const std::string& output_folder, std::string* folder, size_t* files,
                    std::string* error) {
  OutputFolder output;
  if (!output.Open(output_folder)) {
    *error = output_folder + ": no such folder";
    return false;
  }
  const std::vector<std::string> types = TypeFolders(output, ReadSummary(output));
  const NameBook contacts = ReadContacts(output, types);
  const DataSink discard = [](const std::string&, const Json::Value&) { return true; };
  *folder = (output.root() / kExportFolder).u8string();
  CsvExport csv(*folder);
  for (const std::string& name : types) {
    TypeReport(output, name, -1, discard, &contacts, Observer(name, nullptr, &csv)).Convert();
  }
  *files = csv.files();
  return csv.Finish(error);
}

bool WriteReport(const std::string& output_folder, std::string* error) {
  OutputFolder output;
  if (!output.Open(output_folder)) {
    *error = output_folder + ": no such folder";
    return false;
  }
  const fs::path report = output.root() / kReportFolder;
  const fs::path data = report / kDataFolder;
  if (!MakeFreshFolder(report, error) || !MakeFreshFolder(data, error) ||
      !WriteAssets(report, error)) {
    return false;
  }
  const DataSink sink = [&](const std::string& key, const Json::Value& value) {
    return WriteDataFile(data.u8string(), key, value, error);
  };

  const Json::Value summary = ReadSummary(output);
  // The summary lies in OUT like any document: members of the wrong type
  // name no folder.
  SourcePictures sources(output, report / kSourcePicturesFolder);
  const Json::Value& recorded = summary["provenance"];
  if (recorded.isObject() && recorded["inputs"].isArray()) {
    for (const Json::Value& root : recorded["inputs"]) {
      if (root.isString()) sources.AddRoot(root.asString());
    }
  }
  output.set_sources(&sources);
  Json::Value index;
  index["device"] = summary.isMember("device") ? summary["device"] : Json::Value();
  index["summary"] = SummaryRows(summary);
  index["provenance"] = ProvenanceOf(summary);
  index["types"] = Json::Value(Json::arrayValue);
  index["search"] = Json::Value(Json::arrayValue);
  int number = 0;
  const std::vector<std::string> types = TypeFolders(output, summary);
  const NameBook contacts = ReadContacts(output, types);
  TimelineWriter timeline((report / kTimelineScratch).u8string());
  CsvExport csv((report / kCsvFolder).u8string());
  for (const std::string& name : types) {
    TypeReport type(output, name, number, sink, &contacts, Observer(name, &timeline, &csv));
    if (!type.Convert()) return false;
    const std::string key = "type-" + std::to_string(number++);
    Json::Value page = type.page();
    for (Json::Value& section : page["sections"]) {
      section["csv"] = CsvExport::FileName(name, section["label"].asString());
    }
    if (!sink(key, page)) return false;
    Json::Value entry;
    entry["name"] = name;
    entry["title"] = TypeTitle(name);
    entry["key"] = key;
    entry["sections"] = type.page()["sections"].size();
    entry["problems"] = type.page()["problems"].size();
    index["types"].append(entry);
    for (const Json::Value& searchable : type.searchable()) index["search"].append(searchable);
  }
  if (!csv.Finish(error)) return false;
  if (summary["provenance"].isObject() &&
      !WriteSourcesCsv(summary, report / kCsvFolder / kSourcesCsv, error)) {
    return false;
  }
  // The timeline files beside the documents, and in pieces for the page.
  TimelinePieces pieces(sink);
  if (!timeline.Finish((output.root() / kTimelineCsv).u8string(),
                       (output.root() / kTimelineJsonl).u8string(),
                       [&](const TimelineEvent& event) { return pieces.Add(event); }, error) ||
      !pieces.Flush()) {
    return false;
  }
  index["timeline"] = pieces.index();
  return sink("index", index);
}

}  // namespace kxpackage
