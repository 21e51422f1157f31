// Archives of NSKeyedArchiver: every object sits in "$objects", objects
// refer to each other by UID (an index into "$objects"), and "$top" names
// the roots. Walks follow UIDs with a depth limit, and an object met again
// on its own path (a loop) reads as null.
#ifndef KX_COMMON_KEYED_ARCHIVE_H_
#define KX_COMMON_KEYED_ARCHIVE_H_

#include <json/json.h>

#include <string>
#include <vector>

#include "common/property_list.h"

namespace kx {

class KeyedArchive {
 public:
  // Borrows the archive's root dictionary, which must outlive this object.
  explicit KeyedArchive(const CPListDictionary& archive);

  // Whether the dictionary has the archive's "$objects" array.
  bool valid() const { return objects_ != nullptr; }

  // The object `node` stands for: a UID is looked up in "$objects" (null
  // when out of range); any other node is itself.
  plist_t Resolve(plist_t node) const;
  // The root object named `key` in "$top", or null.
  plist_t Top(const std::string& key) const;
  // The class name of an archived object ("$class" -> "$classname"), or "".
  std::string ClassName(plist_t object) const;

  // The object graph below `node` as JSON: texts, numbers, booleans, dates
  // (seconds since 2001-01-01) and data (Base64) as themselves; NSString
  // and NSMutableString as text; NSArray, NSSet and their mutable forms as
  // arrays; NSDictionary as an object with text keys; any other object as
  // an object of its members with "$class" holding its class name. A loop,
  // or nesting deeper than `max_depth`, gives null at that place.
  Json::Value ToJson(plist_t node, int max_depth = 64) const;

 private:
  Json::Value Walk(plist_t node, int depth_left, std::vector<plist_t>* path) const;
  Json::Value WalkObject(plist_t object, int depth_left, std::vector<plist_t>* path) const;

  plist_t objects_ = nullptr;
  plist_t top_ = nullptr;
};

}  // namespace kx

#endif  // KX_COMMON_KEYED_ARCHIVE_H_
