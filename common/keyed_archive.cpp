#include "common/keyed_archive.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "common/json_util.h"
#include "common/text.h"

namespace kx {

namespace {

bool IsType(plist_t node, plist_type type) {
  return node != nullptr && plist_get_node_type(node) == type;
}

bool ClassIs(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

}  // namespace

KeyedArchive::KeyedArchive(const CPListDictionary& archive) {
  plist_t root = archive.node();
  if (root == nullptr) return;
  plist_t objects = plist_dict_get_item(root, "$objects");
  if (IsType(objects, PLIST_ARRAY)) objects_ = objects;
  plist_t top = plist_dict_get_item(root, "$top");
  if (IsType(top, PLIST_DICT)) top_ = top;
}

plist_t KeyedArchive::Resolve(plist_t node) const {
  uint64_t uid = 0;
  if (!PlistUid(node, &uid)) return node;
  if (objects_ == nullptr || uid >= plist_array_get_size(objects_)) return nullptr;
  return plist_array_get_item(objects_, static_cast<uint32_t>(uid));
}

plist_t KeyedArchive::Top(const std::string& key) const {
  return top_ != nullptr ? Resolve(plist_dict_get_item(top_, key.c_str())) : nullptr;
}

std::string KeyedArchive::ClassName(plist_t object) const {
  if (!IsType(object, PLIST_DICT)) return std::string();
  plist_t class_object = Resolve(plist_dict_get_item(object, "$class"));
  std::string name;
  if (IsType(class_object, PLIST_DICT)) {
    PlistString(plist_dict_get_item(class_object, "$classname"), &name);
  }
  return name;
}

Json::Value KeyedArchive::ToJson(plist_t node, int max_depth) const {
  std::vector<plist_t> path;
  return Walk(node, max_depth, &path);
}

Json::Value KeyedArchive::Walk(plist_t node, int depth_left, std::vector<plist_t>* path) const {
  node = Resolve(node);
  if (node == nullptr || depth_left <= 0) return Json::Value();
  if (std::find(path->begin(), path->end(), node) != path->end()) return Json::Value();
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return Json::Value(value != 0);
    }
    case PLIST_UINT: {
      int64_t value = 0;
      PlistInteger(node, &value);
      return Json::Value(Json::Int64(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return JsonDouble(value);
    }
    case PLIST_STRING: {
      std::string text;
      PlistString(node, &text);
      return Json::Value(text);
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return JsonDouble(seconds + microseconds / 1e6);
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      return Json::Value(Base64Encode(bytes, static_cast<size_t>(length)));
    }
    case PLIST_ARRAY: {
      Json::Value array(Json::arrayValue);
      path->push_back(node);
      const uint32_t count = plist_array_get_size(node);
      for (uint32_t i = 0; i < count; ++i) {
        array.append(Walk(plist_array_get_item(node, i), depth_left - 1, path));
      }
      path->pop_back();
      return array;
    }
    case PLIST_DICT:
      return WalkObject(node, depth_left, path);
    default:
      return Json::Value();
  }
}

Json::Value KeyedArchive::WalkObject(plist_t object, int depth_left,
                                     std::vector<plist_t>* path) const {
  path->push_back(object);
  const std::string class_name = ClassName(object);
  Json::Value result;
  if (ClassIs(class_name, {"NSString", "NSMutableString"})) {
    result = Walk(plist_dict_get_item(object, "NS.string"), depth_left - 1, path);
  } else if (ClassIs(class_name, {"NSArray", "NSMutableArray", "NSSet", "NSMutableSet"})) {
    result = Walk(plist_dict_get_item(object, "NS.objects"), depth_left - 1, path);
    if (!result.isArray()) result = Json::Value(Json::arrayValue);
  } else if (ClassIs(class_name, {"NSDictionary", "NSMutableDictionary"})) {
    result = Json::Value(Json::objectValue);
    plist_t keys = plist_dict_get_item(object, "NS.keys");
    plist_t values = plist_dict_get_item(object, "NS.objects");
    if (IsType(keys, PLIST_ARRAY) && IsType(values, PLIST_ARRAY)) {
      const uint32_t count = std::min(plist_array_get_size(keys), plist_array_get_size(values));
      for (uint32_t i = 0; i < count; ++i) {
        const Json::Value key = Walk(plist_array_get_item(keys, i), depth_left - 1, path);
        if (!key.isString()) continue;
        result[key.asString()] = Walk(plist_array_get_item(values, i), depth_left - 1, path);
      }
    }
  } else {
    result = Json::Value(Json::objectValue);
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(object, &iterator);
    for (;;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(object, iterator, &key, &value);
      if (key == nullptr) break;
      const std::string name = key;
      free(key);
      if (name == "$class") continue;
      result[name] = Walk(value, depth_left - 1, path);
    }
    free(iterator);
    if (!class_name.empty()) result["$class"] = class_name;
  }
  path->pop_back();
  return result;
}

}  // namespace kx
