// A keyed archive whose bytes are anything: every root of "$top" walked by
// UID to JSON, never a crash or a hang (UIDs that loop or point outside
// "$objects" read as null), and the JSON made writes and reads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/json_util.h"
#include "common/keyed_archive.h"
#include "common/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kx::CPListDictionary root =
      kx::CPListDictionary::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  const kx::KeyedArchive archive(root);
  if (!archive.valid()) return 0;
  plist_t top = plist_dict_get_item(root.node(), "$top");
  if (top == nullptr || plist_get_node_type(top) != PLIST_DICT) return 0;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(top, &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(top, iterator, &key, &value);
    if (key == nullptr) break;
    const std::string name = key;
    std::free(key);
    archive.ClassName(archive.Top(name));
    const std::string text = kx::WriteJson(archive.ToJson(archive.Top(name)));
    Json::Value again;
    std::string error;
    if (!kx::ParseJson(text.c_str(), &again, &error)) std::abort();
  }
  std::free(iterator);
  return 0;
}
