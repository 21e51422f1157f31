#include "tools/kxpackage/summary.h"

#include <json/json.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace kxpackage {

namespace {

std::string StatusCell(const JobResult& result) {
  if (result.status <= kHostNotAvailable && result.status >= kHostByRequest) {
    return StatusText(result.status);
  }
  return std::to_string(result.status) + " " + StatusText(result.status);
}

// What the backup says of the phone, by label for the table and by member
// name for JSON; what it does not say is left out.
std::vector<std::array<std::string, 3>> DeviceLines(const BackupDevice& device) {
  std::vector<std::array<std::string, 3>> lines;
  for (const auto& [label, member, value] :
       std::vector<std::array<std::string, 3>>{{"iOS device:", "name", device.name},
                                               {"Model:", "model", device.model},
                                               {"iOS version:", "ios_version", device.ios_version},
                                               {"Backed up:", "backup_date", device.backup_date}}) {
    if (!value.empty()) lines.push_back({label, member, value});
  }
  return lines;
}

}  // namespace

void PrintSummaryTable(const std::vector<JobResult>& results, const std::string& output_folder,
                       FILE* out, const BackupDevice* device) {
  if (device != nullptr) {
    for (const auto& [label, member, value] : DeviceLines(*device)) {
      std::fprintf(out, "%-13s %s\n", label.c_str(), value.c_str());
    }
    std::fprintf(out, "\n");
  }
  const std::vector<std::string> headings = {"data type", "status", "records", "files", "seconds"};
  std::vector<std::vector<std::string>> rows;
  for (const JobResult& result : results) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
    rows.push_back({result.name, StatusCell(result), std::to_string(result.records),
                    std::to_string(result.files), seconds});
  }
  std::vector<size_t> widths;
  for (const std::string& heading : headings) widths.push_back(heading.size());
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  auto print_row = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      // Text columns to the left, numbers to the right.
      const int width = static_cast<int>(widths[i]);
      std::fprintf(out, i < 2 ? "%-*s" : "%*s", width, cells[i].c_str());
      std::fprintf(out, i + 1 < cells.size() ? "  " : "\n");
    }
  };
  print_row(headings);
  for (const auto& row : rows) print_row(row);
  for (const JobResult& result : results) {
    if (!result.detail.empty())
      std::fprintf(out, "%s: %s\n", result.name.c_str(), result.detail.c_str());
  }
  if (!output_folder.empty()) std::fprintf(out, "Output: %s\n", output_folder.c_str());
}

namespace {

std::string SummaryJson(const std::vector<JobResult>& results, const std::string& output_folder,
                        const BackupDevice* device, const Json::Value* provenance = nullptr) {
  Json::Value document;
  if (device != nullptr) {
    document["device"] = Json::Value(Json::objectValue);
    for (const auto& [label, member, value] : DeviceLines(*device)) {
      document["device"][member] = value;
    }
  }
  document["output"] = output_folder;
  document["data_types"] = Json::Value(Json::arrayValue);
  for (const JobResult& result : results) {
    Json::Value entry;
    entry["name"] = result.name;
    entry["data_type"] = result.data_type;
    entry["status"] = result.status;
    entry["status_text"] = StatusText(result.status);
    entry["records"] = static_cast<Json::Int64>(result.records);
    entry["files"] = static_cast<Json::Int64>(result.files);
    entry["seconds"] = result.seconds;
    entry["output_folder"] = result.output_folder;
    if (!result.detail.empty()) entry["detail"] = result.detail;
    document["data_types"].append(entry);
  }
  if (provenance != nullptr) document["provenance"] = *provenance;
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "  ";
  return Json::writeString(builder, document) + "\n";
}

}  // namespace

void PrintSummaryJson(const std::vector<JobResult>& results, const std::string& output_folder,
                      FILE* out, const BackupDevice* device) {
  std::fprintf(out, "%s", SummaryJson(results, output_folder, device).c_str());
}

bool WriteSummaryJson(const std::vector<JobResult>& results, const std::string& output_folder,
                      const std::string& path, const BackupDevice* device,
                      const Json::Value* provenance) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out << SummaryJson(results, output_folder, device, provenance);
  out.close();
  return static_cast<bool>(out);
}

}  // namespace kxpackage
