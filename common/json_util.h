// The one JSON writer and the one request reader of the library.
#ifndef KX_COMMON_JSON_UTIL_H_
#define KX_COMMON_JSON_UTIL_H_

#include <json/json.h>

#include <ostream>
#include <string>

namespace kx {

// Serialises with comments off and three-space indentation, the layout of
// every text that leaves the library.
std::string WriteJson(const Json::Value& value);

// The same text as WriteJson, streamed into `out` (large detail files).
void WriteJsonToStream(const Json::Value& value, std::ostream* out);

// Parses request text with the reader's defaults except a low nesting limit,
// so that hostile depth gives an error rather than a stack overflow. Never
// throws; on failure returns false and sets `error`.
bool ParseJson(const char* text, Json::Value* out, std::string* error);

// An empty JSON array (never null), the initial value of output lists.
const Json::Value& EmptyJsonArray();

// The member `key` of `object`, or a null value when it has none (or is no
// object). Reading a document never changes it: the non-const operator[]
// would add the member as null, and the host would receive it.
const Json::Value& MemberOrNull(const Json::Value& object, const char* key);

// A number read from the data as a JSON value: null when it is not finite.
// JSON has no infinity or NaN, and the writer's stand-in for infinity
// (1e+9999) is refused by JSON readers, JsonCpp's own among them.
Json::Value JsonDouble(double value);

}  // namespace kx

#endif  // KX_COMMON_JSON_UTIL_H_
