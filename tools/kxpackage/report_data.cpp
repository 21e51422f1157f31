#include "tools/kxpackage/report_data.h"

#include <filesystem>
#include <fstream>

namespace kxpackage {

namespace {

// The writer escapes every byte above 0x7F already (emitUTF8 off), which
// covers U+2028 and U+2029; they are replaced again in case that changes.
std::string EscapedForScript(const std::string& json) {
  std::string text;
  text.reserve(json.size());
  for (size_t i = 0; i < json.size(); ++i) {
    if (json[i] == '<' && i + 1 < json.size() && json[i + 1] == '/') {
      text += "<\\/";
      ++i;
    } else if (json.compare(i, 3, "\xE2\x80\xA8") == 0) {
      text += "\\u2028";
      i += 2;
    } else if (json.compare(i, 3, "\xE2\x80\xA9") == 0) {
      text += "\\u2029";
      i += 2;
    } else {
      text += json[i];
    }
  }
  return text;
}

std::string SafeKey(const std::string& key) {
  std::string safe;
  for (const char c : key) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    safe += plain ? c : '-';
  }
  return safe;
}

}  // namespace

std::string DataFileName(const std::string& key) { return SafeKey(key) + ".js"; }

std::string DataScript(const std::string& key, const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = false;
  const std::string json = Json::writeString(builder, value);
  return "KxReport.load(\"" + SafeKey(key) + "\"," + EscapedForScript(json) + ");\n";
}

bool WriteDataFile(const std::string& folder, const std::string& key, const Json::Value& value,
                   std::string* error) {
  const std::filesystem::path path = std::filesystem::u8path(folder) / DataFileName(key);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string script = DataScript(key, value);
  out.write(script.data(), static_cast<std::streamsize>(script.size()));
  out.close();
  if (!out) {
    *error = path.u8string() + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace kxpackage
