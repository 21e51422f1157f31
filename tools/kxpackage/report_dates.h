// Dates as the report and the timeline show them: ISO 8601 in the local
// time the packagers wrote them in, so that they sort as text.
#ifndef KXPACKAGE_REPORT_DATES_H_
#define KXPACKAGE_REPORT_DATES_H_

#include <json/json.h>

#include <string>

namespace kxpackage {

// "2023-03-14T09:27:53" from what a document holds: the packagers' texts
// ("03 - 14 - 2023 09:27 : 53", "03-14-2023 09:27:53", "2023-03-14
// 09:27:53", "03-14-2023"), or a number of seconds or milliseconds since
// 1970 (or, below 10^9 seconds, since 2001 as Apple counts), taken in local
// time. "" for anything else.
std::string IsoDate(const Json::Value& value);

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_DATES_H_
