#include "common/json_util.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>

namespace kx {

namespace {

// Deep enough for every request the hosts send, shallow enough that the
// reader's recursion cannot exhaust the stack.
constexpr int kRequestNestingLimit = 64;

const Json::StreamWriterBuilder& OutputWriterBuilder() {
  static const Json::StreamWriterBuilder builder = [] {
    Json::StreamWriterBuilder b;
    b["commentStyle"] = "None";
    b["indentation"] = "   ";
    return b;
  }();
  return builder;
}

}  // namespace

std::string WriteJson(const Json::Value& value) {
  std::unique_ptr<Json::StreamWriter> writer(OutputWriterBuilder().newStreamWriter());
  std::ostringstream out;
  writer->write(value, &out);
  return out.str();
}

void WriteJsonToStream(const Json::Value& value, std::ostream* out) {
  std::unique_ptr<Json::StreamWriter> writer(OutputWriterBuilder().newStreamWriter());
  writer->write(value, out);
}

bool ParseJson(const char* text, Json::Value* out, std::string* error) {
  if (text == nullptr) {
    *error = "no text";
    return false;
  }
  try {
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = kRequestNestingLimit;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    const std::string document(text);
    return reader->parse(document.data(), document.data() + document.size(), out, error);
  } catch (const std::exception& e) {
    *error = e.what();
    return false;
  }
}

Json::Value JsonDouble(double value) {
  return std::isfinite(value) ? Json::Value(value) : Json::Value();
}

const Json::Value& EmptyJsonArray() {
  static const Json::Value empty(Json::arrayValue);
  return empty;
}

const Json::Value& MemberOrNull(const Json::Value& object, const char* key) {
  const Json::Value* found = object.isObject() ? object.find(key, key + std::strlen(key)) : nullptr;
  return found != nullptr ? *found : Json::Value::nullSingleton();
}

}  // namespace kx
