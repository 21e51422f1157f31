#include "tools/kxpackage/report_names.h"

#include <algorithm>
#include <cctype>

namespace kxpackage {

namespace {

// Numbers are told apart by their last digits, so that a country code or
// a trunk prefix written one way or the other does not part them.
constexpr size_t kNumberDigits = 9;
constexpr size_t kShortestNumber = 5;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The key `id` is known by: the last digits of a phone number (also the
// number a messenger's id is made of), else the id itself in lower case.
std::string Key(const std::string& id) {
  const size_t at = id.find('@');
  const std::string local = at == std::string::npos ? id : id.substr(0, at);
  std::string digits;
  bool number = !local.empty();
  for (const char c : local) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits += c;
    } else if (std::string(" +-().").find(c) == std::string::npos) {
      number = false;
    }
  }
  if (number && digits.size() >= kShortestNumber) {
    return "#" +
           (digits.size() > kNumberDigits ? digits.substr(digits.size() - kNumberDigits) : digits);
  }
  return id.size() > 2 ? Lower(id) : "";
}

bool NamesAnId(const std::string& field) {
  const std::string lower = Lower(field);
  for (const char* part : {"phone", "number", "email", "jid", "im_info", "username"}) {
    if (lower.find(part) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

void NameBook::Add(const std::string& id, const std::string& name) {
  const std::string key = Key(id);
  if (key.empty() || name.empty() || name == id) return;
  names_.emplace(key, name);
}

void NameBook::AddContact(const Json::Value& record) {
  const std::string name = record["title"].asString();
  if (name.empty()) return;
  for (const Json::Value& field : record["fields"]) {
    const std::string value = field[1].asString();
    // A number or an address, not the label beside it ("mobile").
    if (NamesAnId(field[0].asString()) &&
        (Key(value).rfind('#', 0) == 0 || value.find('@') != std::string::npos ||
         Lower(field[0].asString()).find("username") != std::string::npos)) {
      Add(value, name);
    }
  }
}

std::string NameBook::NameOf(const std::string& id) const {
  const auto found = names_.find(Key(id));
  return found == names_.end() ? "" : found->second;
}

}  // namespace kxpackage
