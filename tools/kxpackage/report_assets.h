// The report's page, script and style sheet, compiled into the tool from
// tools/kxpackage/report/.
#ifndef KXPACKAGE_REPORT_ASSETS_H_
#define KXPACKAGE_REPORT_ASSETS_H_

#include <cstddef>
#include <vector>

namespace kxpackage {

struct ReportAsset {
  const char* name;  // the file name it is written under, e.g. "index.html"
  const unsigned char* bytes;
  size_t size;
};

const std::vector<ReportAsset>& ReportAssets();

}  // namespace kxpackage

#endif  // KXPACKAGE_REPORT_ASSETS_H_
