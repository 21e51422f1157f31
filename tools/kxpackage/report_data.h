// The report's data files: JavaScript that hands one JSON value to the
// page's registration function, so that a page opened from file:, which may
// not fetch() its neighbours, can still load them one by one.
#ifndef KXPACKAGE_REPORT_DATA_H_
#define KXPACKAGE_REPORT_DATA_H_

#include <json/json.h>

#include <string>

namespace kxpackage {

// `KxReport.load("key", value);` as one line. The JSON text is pure ASCII
// with U+2028, U+2029 and "</" escaped, so no text from the data can end the
// script or the string early, whatever loads it.
std::string DataScript(const std::string& key, const Json::Value& value);

// The file name of `key`'s data file ("<key>.js"); keys are made of letters,
// digits and '-' only.
std::string DataFileName(const std::string& key);

// Writes DataScript(key, value) into `folder`; false with `error` set.
bool WriteDataFile(const std::string& folder, const std::string& key, const Json::Value& value,
                   std::string* error);

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_DATA_H_
