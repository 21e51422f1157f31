// A property list whose bytes are anything (binary or XML): read, looked up
// through the typed wrappers, walked and written back as XML, never a crash,
// a hang or unbounded memory. What is written back reads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/property_list.h"
#include "common/property_list_bounds.h"

namespace {

// Walks every array and dictionary member the wrappers can reach, to the
// depth the reader allows.
void Walk(const kx::CPListDictionary& dictionary, int depth) {
  if (depth == 0) return;
  std::string text;
  int32_t number = 0;
  uint32_t uid = 0;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(dictionary.node(), &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dictionary.node(), iterator, &key, &value);
    if (key == nullptr) break;
    const std::string name = key;
    std::free(key);
    dictionary.GetString(name, &text);
    dictionary.GetInteger(name, &number);
    dictionary.GetUid(name, &uid);
    if (const auto inner = dictionary.GetDictionary(name)) Walk(*inner, depth - 1);
    if (const auto array = dictionary.GetArray(name)) {
      for (int64_t i = -1; i <= array->Count(); ++i) {
        array->GetStringAt(i, &text);
        array->GetUidAt(i, &uid);
        if (const auto element = array->GetDictionaryAt(i)) Walk(*element, depth - 1);
      }
    }
  }
  std::free(iterator);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kx::CPListDictionary dictionary =
      kx::CPListDictionary::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  Walk(dictionary, 64);
  std::string xml;
  // What the reader accepted and wrote reads back as a dictionary with
  // members (fewer when the binary list repeated a key, which XML cannot),
  // unless the text it wrote spells what no list may (a NUL in a value
  // becomes one in the XML).
  if (dictionary.ToXmlBytes(&xml) > 0 && dictionary.Count() > 0 &&
      kx::PropertyListWithinBounds(xml) && kx::CPListDictionary::FromBytes(xml).Count() == 0) {
    std::abort();
  }
  return 0;
}
