#include "pipeline/registration.h"

#include <iterator>

#include "pipeline/android_line.h"
#include "pipeline/ios_calendar.h"
#include "pipeline/ios_calendar_old_style.h"
#include "pipeline/ios_kx_photo.h"
#include "pipeline/ios_music_video.h"
#include "pipeline/kx_photo_package.h"
#include "pipeline/music_video_package.h"

namespace kx {

namespace {

const StagedPackagerEntry kStagedPackagers[] = {
    {7, "calendar_file_path", 6, &MakeStagedPackage<IosCalendarKxDataPackage>},
    {28, "photo_file_path", 25, &MakeStagedPackage<IosKxPhotoKxDataPackage>},
    {29, "music_video_file_path", 26, &MakeStagedPackage<IosMusicVideoDataPackage>},
    {30, "line_file_path", 22, &MakeStagedPackage<AndroidLineDataPackage>},
};

// Old-style rows of the iOS calendar (7), which reads the staged calendar's
// tables, and of iOS music (26), video (27) and the Kx photo database (28):
// package functions over intermediate databases, no filter step.
// clang-format off
// data type, packager name, filter name, log stem, filter, package, queues, result kind
const DataTypeEntry kDataTypes[] = {
    {7, "IOSCalendarDataPackage", "IOSCalendarDataFilter", "ioscalendardatapackage", IosCalendarDataFilter, IosCalendarDataPackage, {"calendar_files_path", nullptr}, 6},
    {26, "IOSMusicDataPackage", "", "iosmusicdatapackage", nullptr, IosMusicDataPackage, {nullptr, nullptr}, 23},
    {27, "IOSVideoDataPackage", "", "iosvideodatapackage", nullptr, IosVideoDataPackage, {nullptr, nullptr}, 24},
    {28, "IOSKxPhotoDataPackage", "", "ioskxphotodatapackage", nullptr, IosKxPhotoDataPackage, {nullptr, nullptr}, 25},
};
// clang-format on

}  // namespace

StagedPackagerRows StagedPackagers() { return {kStagedPackagers, std::size(kStagedPackagers)}; }

DataTypeRows PipelineDataTypes() { return RowsOf(kDataTypes); }

}  // namespace kx
