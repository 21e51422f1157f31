#include "tools/kxpackage/report.h"

#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/kxpackage/report_assets.h"
#include "tools/kxpackage/report_data.h"
#include "tools/kxpackage/report_model.h"
#include "tools/kxpackage/report_paths.h"

namespace kxpackage {

const char kSummaryFileName[] = "summary.json";

namespace {

namespace fs = std::filesystem;

constexpr char kReportFolder[] = "report";
constexpr char kDataFolder[] = "data";
constexpr std::uintmax_t kSummaryLimit = 16u << 20;

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
    rows.append(row);
  }
  return rows;
}

}  // namespace

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
  Json::Value index;
  index["device"] = summary.isMember("device") ? summary["device"] : Json::Value();
  index["summary"] = SummaryRows(summary);
  index["types"] = Json::Value(Json::arrayValue);
  index["search"] = Json::Value(Json::arrayValue);
  int number = 0;
  for (const std::string& name : TypeFolders(output, summary)) {
    TypeReport type(output, name, number, sink);
    if (!type.Convert()) return false;
    const std::string key = "type-" + std::to_string(number++);
    if (!sink(key, type.page())) return false;
    Json::Value entry;
    entry["name"] = name;
    entry["key"] = key;
    entry["sections"] = type.page()["sections"].size();
    entry["problems"] = type.page()["problems"].size();
    index["types"].append(entry);
    for (const Json::Value& searchable : type.searchable()) index["search"].append(searchable);
  }
  return sink("index", index);
}

}  // namespace kxpackage
