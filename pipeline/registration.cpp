#include "pipeline/registration.h"

#include <iterator>

#include "pipeline/android_line.h"
#include "pipeline/ios_calendar.h"
#include "pipeline/ios_calendar_old_style.h"

namespace kx {

namespace {

// The Kx photo (28) and music-and-video (29) packagers join this table as
// they are built.
const StagedPackagerEntry kStagedPackagers[] = {
    {7, "calendar_file_path", 6, &MakeStagedPackage<IosCalendarKxDataPackage>},
    {30, "line_file_path", 22, &MakeStagedPackage<AndroidLineDataPackage>},
};

// Old-style rows of the iOS calendar (7), which reads the staged calendar's
// tables, and of iOS music (26), video (27) and the Kx photo database (28),
// whose functions are not built yet.
// clang-format off
// data type, packager name, filter name, log stem, filter, package, queues, result kind
const DataTypeEntry kDataTypes[] = {
    {7, "IOSCalendarDataPackage", "IOSCalendarDataFilter", "ioscalendardatapackage", IosCalendarDataFilter, IosCalendarDataPackage, {"calendar_files_path", nullptr}, 6},
    {26, "IOSMusicDataPackage", "", "iosmusicdatapackage", nullptr, nullptr, {nullptr, nullptr}, 23},
    {27, "IOSVideoDataPackage", "", "iosvideodatapackage", nullptr, nullptr, {nullptr, nullptr}, 24},
    {28, "IOSKxPhotoDataPackage", "", "ioskxphotodatapackage", nullptr, nullptr, {nullptr, nullptr}, 25},
};
// clang-format on

}  // namespace

StagedPackagerRows StagedPackagers() { return {kStagedPackagers, std::size(kStagedPackagers)}; }

DataTypeRows PipelineDataTypes() { return RowsOf(kDataTypes); }

}  // namespace kx
