#include "pipeline/registration.h"

#include <iterator>

#include "pipeline/android_line.h"
#include "pipeline/ios_kx_photo.h"
#include "pipeline/ios_music_video.h"
#include "pipeline/kx_photo_package.h"
#include "pipeline/music_video_package.h"

namespace kx {

namespace {

// The iOS calendar packager (7) joins this table as it is built.
const StagedPackagerEntry kStagedPackagers[] = {
    {28, "photo_file_path", 25, &MakeStagedPackage<IosKxPhotoKxDataPackage>},
    {29, "music_video_file_path", 26, &MakeStagedPackage<IosMusicVideoDataPackage>},
    {30, "line_file_path", 22, &MakeStagedPackage<AndroidLineDataPackage>},
};

// Old-style rows of iOS music (26), video (27) and the Kx photo database
// (28): package functions over intermediate databases, no filter step.
// clang-format off
// data type, packager name, filter name, log stem, filter, package, queues, result kind
const DataTypeEntry kDataTypes[] = {
    {26, "IOSMusicDataPackage", "", "iosmusicdatapackage", nullptr, IosMusicDataPackage, {nullptr, nullptr}, 23},
    {27, "IOSVideoDataPackage", "", "iosvideodatapackage", nullptr, IosVideoDataPackage, {nullptr, nullptr}, 24},
    {28, "IOSKxPhotoDataPackage", "", "ioskxphotodatapackage", nullptr, IosKxPhotoDataPackage, {nullptr, nullptr}, 25},
};
// clang-format on

}  // namespace

StagedPackagerRows StagedPackagers() { return {kStagedPackagers, std::size(kStagedPackagers)}; }

DataTypeRows PipelineDataTypes() { return RowsOf(kDataTypes); }

}  // namespace kx
