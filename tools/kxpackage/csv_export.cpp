#include "tools/kxpackage/csv_export.h"

#include <json/json.h>

#include <filesystem>

#include "tools/kxpackage/timeline.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr size_t kFieldColumns = 120;  // the rest of a record's fields share one column
const std::vector<std::string> kMessageColumns = {"conversation", "time", "from me", "sender",
                                                  "sender id",    "text", "kind",    "deleted",
                                                  "file",         "place"};
const std::vector<std::string> kRecordColumns = {"title",   "subtitle", "date", "text",
                                                 "deleted", "file",     "place"};

std::string Safe(const std::string& text) {
  std::string safe;
  for (const char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-';
    safe += plain ? c : '_';
  }
  return safe.substr(0, 80);
}

std::string Text(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isBool()) return value.asBool() ? "yes" : "no";
  if (value.isNumeric()) return value.asString();
  return "";
}

std::string OneLine(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value) + "\n";
}

}  // namespace

struct CsvExport::Table {
  bool messages = false;
  std::string path;
  std::string spill;
  std::ofstream out;
  std::vector<std::string> columns;  // the record fields', in order of appearance
  std::map<std::string, size_t> column_of;
};

CsvExport::CsvExport(std::string folder) : folder_(std::move(folder)) {
  std::error_code error;
  fs::remove_all(fs::u8path(folder_), error);
  fs::create_directories(fs::u8path(folder_), error);
  failed_ = static_cast<bool>(error);
}

CsvExport::~CsvExport() {
  for (auto& [name, table] : tables_) {
    if (table->spill.empty()) continue;
    std::error_code error;
    fs::remove(fs::u8path(table->spill), error);
  }
}

std::string CsvExport::FileName(const std::string& type, const std::string& section) {
  return Safe(type) + "-" + Safe(section) + ".csv";
}

CsvExport::Table* CsvExport::Open(const std::string& type, const SeenRecord& seen) {
  const std::string name = FileName(type, seen.section);
  auto found = tables_.find(name);
  if (found != tables_.end()) return found->second.get();
  auto table = std::make_unique<Table>();
  table->messages = seen.message;
  table->path = (fs::u8path(folder_) / name).u8string();
  if (seen.message) {
    table->out.open(fs::u8path(table->path), std::ios::binary | std::ios::trunc);
    table->out << kUtf8Bom << CsvLine(kMessageColumns);
  } else {
    table->spill = table->path + ".rows";
    table->out.open(fs::u8path(table->spill), std::ios::binary | std::ios::trunc);
  }
  return tables_.emplace(name, std::move(table)).first->second.get();
}

void CsvExport::Add(const std::string& type, const SeenRecord& seen) {
  if (failed_) return;
  Table* table = Open(type, seen);
  const Json::Value& shown = *seen.shown;
  if (table->messages) {
    const std::string label = shown["label"].asString();
    table->out << CsvLine({seen.thread, Text(shown["date"]),
                           shown["from_me"].asBool() ? "yes" : "no", Text(shown["sender"]),
                           Text(shown["sender_id"]), Text(shown["text"]),
                           label.empty() ? "text" : label, shown["deleted"].asBool() ? "yes" : "no",
                           seen.file, seen.place});
    return;
  }
  Json::Value row;
  row["shown"] = shown;
  row["file"] = seen.file;
  row["place"] = seen.place;
  for (const Json::Value& field : shown["fields"]) {
    const std::string column = field[0].asString();
    if (table->column_of.count(column) > 0 || table->columns.size() >= kFieldColumns) continue;
    table->column_of[column] = table->columns.size();
    table->columns.push_back(column);
  }
  table->out << OneLine(row);
}

bool CsvExport::WriteRecords(Table* table, std::string* error) {
  table->out.close();
  std::ifstream in(fs::u8path(table->spill), std::ios::binary);
  std::ofstream out(fs::u8path(table->path), std::ios::binary | std::ios::trunc);
  std::vector<std::string> header = kRecordColumns;
  header.insert(header.end(), table->columns.begin(), table->columns.end());
  header.push_back("other fields");
  out << kUtf8Bom << CsvLine(header);
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string line;
  while (std::getline(in, line)) {
    Json::Value row;
    std::string errors;
    if (!reader->parse(line.data(), line.data() + line.size(), &row, &errors)) continue;
    const Json::Value& shown = row["shown"];
    std::vector<std::string> cells = {Text(shown["title"]),
                                      Text(shown["subtitle"]),
                                      Text(shown["date"]),
                                      Text(shown["text"]),
                                      shown["deleted"].asBool() ? "yes" : "no",
                                      row["file"].asString(),
                                      row["place"].asString()};
    std::vector<std::string> fields(table->columns.size());
    std::string other;
    for (const Json::Value& field : shown["fields"]) {
      const auto at = table->column_of.find(field[0].asString());
      if (at != table->column_of.end()) {
        fields[at->second] = field[1].asString();
      } else {
        other += (other.empty() ? "" : "; ") + field[0].asString() + "=" + field[1].asString();
      }
    }
    cells.insert(cells.end(), fields.begin(), fields.end());
    cells.push_back(other);
    out << CsvLine(cells);
  }
  out.close();
  if (!out) {
    *error = table->path + ": cannot be written";
    return false;
  }
  return true;
}

bool CsvExport::Finish(std::string* error) {
  if (failed_) {
    *error = folder_ + ": cannot be created";
    return false;
  }
  for (auto& [name, table] : tables_) {
    if (!table->messages) {
      if (!WriteRecords(table.get(), error)) return false;
      continue;
    }
    table->out.close();
    if (!table->out) {
      *error = table->path + ": cannot be written";
      return false;
    }
  }
  return true;
}

}  // namespace kxpackage
