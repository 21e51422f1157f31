#include "common/property_list.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

#include "common/platform.h"
#include "common/property_list_bounds.h"
#include "common/text.h"

namespace kx {

namespace {

// Frees what libplist allocated for an XML text.
struct XmlTextDeleter {
  void operator()(char* text) const { plist_to_xml_free(text); }
};

bool IsType(plist_t node, plist_type type) {
  return node != nullptr && plist_get_node_type(node) == type;
}

// An XML list spells a keyed-archive UID as a dictionary whose one key is
// "CF$UID"; the binary form has a type of its own. The UID of such a
// dictionary, so both forms read the same.
bool SpelledUid(plist_t node, uint64_t* uid) {
  if (!IsType(node, PLIST_DICT) || plist_dict_get_size(node) != 1) return false;
  plist_t value = plist_dict_get_item(node, "CF$UID");
  if (!IsType(value, PLIST_UINT)) return false;
  plist_get_uint_val(value, uid);
  return true;
}

// Replaces every spelled UID below `node` by a UID node. The nesting was
// bounded before parsing, so the recursion is too.
void ConvertSpelledUids(plist_t node) {
  uint64_t uid = 0;
  if (IsType(node, PLIST_ARRAY)) {
    const uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i) {
      plist_t item = plist_array_get_item(node, i);
      if (SpelledUid(item, &uid)) {
        plist_array_set_item(node, plist_new_uid(uid), i);
      } else {
        ConvertSpelledUids(item);
      }
    }
  } else if (IsType(node, PLIST_DICT)) {
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    std::vector<std::pair<std::string, uint64_t>> replaced;
    for (;;) {
      char* key = nullptr;
      plist_t item = nullptr;
      plist_dict_next_item(node, iterator, &key, &item);
      if (key == nullptr) break;
      if (SpelledUid(item, &uid)) {
        replaced.emplace_back(key, uid);
      } else {
        ConvertSpelledUids(item);
      }
      std::free(key);
    }
    std::free(iterator);
    // Set after the walk: setting an item while iterating would invalidate
    // the iterator.
    for (const auto& [key, value] : replaced) {
      plist_dict_set_item(node, key.c_str(), plist_new_uid(value));
    }
  }
}

}  // namespace

CFObjectHandleKeeper::~CFObjectHandleKeeper() {
  if (object_ != nullptr) plist_free(object_);
}

CFObjectHandleKeeper::CFObjectHandleKeeper(CFObjectHandleKeeper&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)) {}

CFObjectHandleKeeper& CFObjectHandleKeeper::operator=(CFObjectHandleKeeper&& other) noexcept {
  if (this != &other) {
    if (object_ != nullptr) plist_free(object_);
    object_ = std::exchange(other.object_, nullptr);
  }
  return *this;
}

CFObjectHandleKeeper ReadPropertyListBytes(std::string_view bytes) {
  if (!PropertyListWithinBounds(bytes)) return CFObjectHandleKeeper();
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  CFObjectHandleKeeper list(root);
  if (root == nullptr || plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
    return list;
  }
  uint64_t uid = 0;
  if (SpelledUid(root, &uid)) return CFObjectHandleKeeper(plist_new_uid(uid));
  ConvertSpelledUids(root);
  return list;
}

CFObjectHandleKeeper ReadPropertyListFile(const std::string& utf8_path) {
  if (utf8_path.empty()) return CFObjectHandleKeeper();
  const std::filesystem::path path = PathFromUtf8(utf8_path);
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  // The size is checked before anything is read: a list may not make us
  // hold more than the bound.
  if (error || size == 0 || size > PropertyListBounds().max_bytes) return CFObjectHandleKeeper();
  std::ifstream file(path, std::ios::binary);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    return CFObjectHandleKeeper();
  }
  return ReadPropertyListBytes(bytes);
}

CFObjectHandleKeeper ReadPropertyListFile(const std::u16string& utf16_path) {
  return ReadPropertyListFile(Utf16ToUtf8(utf16_path));
}

bool PlistString(plist_t node, std::string* text) {
  text->clear();
  if (!IsType(node, PLIST_STRING)) return false;
  uint64_t length = 0;
  const char* chars = plist_get_string_ptr(node, &length);
  if (chars != nullptr) text->assign(chars, static_cast<size_t>(length));
  // Trailing zero bytes are no part of the text.
  while (!text->empty() && text->back() == '\0') text->pop_back();
  return true;
}

bool PlistInteger(plist_t node, int64_t* value) {
  if (IsType(node, PLIST_UINT)) {
    uint64_t bits = 0;
    plist_get_uint_val(node, &bits);
    // Negative integers are kept as their two's-complement bits.
    *value = static_cast<int64_t>(bits);
    return true;
  }
  if (IsType(node, PLIST_REAL)) {
    double real = 0;
    plist_get_real_val(node, &real);
    if (!std::isfinite(real)) return false;
    constexpr double kLimit = 9.2e18;
    *value = static_cast<int64_t>(std::fmax(-kLimit, std::fmin(kLimit, real)));
    return true;
  }
  return false;
}

bool PlistUid(plist_t node, uint64_t* value) {
  if (!IsType(node, PLIST_UID)) return false;
  plist_get_uid_val(node, value);
  return true;
}

// ---------------------------------------------------------------------------
// CPListDictionary

CPListDictionary::CPListDictionary(const std::string& utf8_path) { Load(utf8_path); }

CPListDictionary::CPListDictionary(const std::u16string& utf16_path) {
  Load(Utf16ToUtf8(utf16_path));
}

CPListDictionary CPListDictionary::FromBytes(std::string_view bytes) {
  CPListDictionary dictionary;
  dictionary.Adopt(ReadPropertyListBytes(bytes));
  return dictionary;
}

CPListDictionary CPListDictionary::Borrow(plist_t dictionary) {
  CPListDictionary borrowed;
  borrowed.dictionary_ = IsType(dictionary, PLIST_DICT) ? dictionary : nullptr;
  return borrowed;
}

void CPListDictionary::Adopt(CFObjectHandleKeeper root) {
  if (!IsType(root.get(), PLIST_DICT)) root = CFObjectHandleKeeper(plist_new_dict());
  owned_ = std::move(root);
  dictionary_ = owned_.get();
}

bool CPListDictionary::Load(const std::string& utf8_path) {
  CFObjectHandleKeeper root = ReadPropertyListFile(utf8_path);
  const bool is_dictionary = IsType(root.get(), PLIST_DICT);
  Adopt(std::move(root));
  return is_dictionary;
}

bool CPListDictionary::GetString(const std::string& key, std::string* text) const {
  text->clear();
  return dictionary_ != nullptr && PlistString(plist_dict_get_item(dictionary_, key.c_str()), text);
}

bool CPListDictionary::GetInteger(const std::string& key, int32_t* value) const {
  int64_t wide = 0;
  if (dictionary_ == nullptr ||
      !PlistInteger(plist_dict_get_item(dictionary_, key.c_str()), &wide)) {
    return false;
  }
  // Read as a C int, as the lists' 32-bit readers do.
  *value = static_cast<int32_t>(static_cast<uint32_t>(wide));
  return true;
}

bool CPListDictionary::GetUid(const std::string& key, uint32_t* value) const {
  uint64_t wide = 0;
  if (dictionary_ == nullptr || !PlistUid(plist_dict_get_item(dictionary_, key.c_str()), &wide)) {
    return false;
  }
  *value = static_cast<uint32_t>(wide);
  return true;
}

std::unique_ptr<CPListArray> CPListDictionary::GetArray(const std::string& key) const {
  if (dictionary_ == nullptr) return nullptr;
  plist_t value = plist_dict_get_item(dictionary_, key.c_str());
  return IsType(value, PLIST_ARRAY) ? std::make_unique<CPListArray>(value) : nullptr;
}

std::unique_ptr<CPListDictionary> CPListDictionary::GetDictionary(const std::string& key) const {
  if (dictionary_ == nullptr) return nullptr;
  plist_t value = plist_dict_get_item(dictionary_, key.c_str());
  if (!IsType(value, PLIST_DICT)) return nullptr;
  return std::make_unique<CPListDictionary>(Borrow(value));
}

size_t CPListDictionary::ToXmlBytes(std::string* xml) const {
  xml->clear();
  if (dictionary_ == nullptr) return 0;
  char* text = nullptr;
  uint32_t length = 0;
  plist_to_xml(dictionary_, &text, &length);
  const std::unique_ptr<char, XmlTextDeleter> keeper(text);
  if (text == nullptr) return 0;
  xml->assign(text, length);
  return xml->size();
}

size_t CPListDictionary::Count() const {
  return dictionary_ != nullptr ? plist_dict_get_size(dictionary_) : 0;
}

// ---------------------------------------------------------------------------
// CPListArray

int64_t CPListArray::Count() const {
  return IsType(array_, PLIST_ARRAY) ? plist_array_get_size(array_) : 0;
}

plist_t CPListArray::At(int64_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return plist_array_get_item(array_, static_cast<uint32_t>(index));
}

std::unique_ptr<CPListDictionary> CPListArray::GetDictionaryAt(int64_t index) const {
  plist_t value = At(index);
  if (!IsType(value, PLIST_DICT)) return nullptr;
  return std::make_unique<CPListDictionary>(CPListDictionary::Borrow(value));
}

bool CPListArray::GetStringAt(int64_t index, std::string* text) const {
  return PlistString(At(index), text);
}

bool CPListArray::GetUidAt(int64_t index, uint32_t* value) const {
  uint64_t wide = 0;
  if (!PlistUid(At(index), &wide)) return false;
  *value = static_cast<uint32_t>(wide);
  return true;
}

}  // namespace kx
