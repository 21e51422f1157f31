// A generator of the iOS photo library (Media/PhotoData/Photos.sqlite in
// CameraRollDomain), its thumbnail configuration and the media files the
// library names.
#ifndef KX_SAMPLES_IOS_PHOTOS_H_
#define KX_SAMPLES_IOS_PHOTOS_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Library versions, oldest first. The join table of albums and assets is
// named after Core Data entity numbers, which change between systems:
//  1  iOS 11 and 12: ZGENERICASSET, join table Z_23ASSETS (Z_23ALBUMS,
//     Z_34ASSETS);
//  2  iOS 13: ZGENERICASSET with the depth and HDR columns, Z_26ASSETS
//     (Z_26ALBUMS, Z_34ASSETS);
//  3  iOS 14 and 15: the asset table renamed ZASSET, Z_26ASSETS (Z_26ALBUMS,
//     Z_3ASSETS); no depth type or capture device yet;
//  4  iOS 16 on: ZASSET with ZDEPTHTYPE and ZDERIVEDCAMERACAPTUREDEVICE but
//     without ZSORTTOKEN, Z_28ASSETS (Z_28ALBUMS, Z_3ASSETS).
constexpr int kIosPhotosOldestSchema = 1;
constexpr int kIosPhotosNewestSchema = 4;

constexpr char kIosCameraRollDomain[] = "CameraRollDomain";
constexpr char kIosPhotosPath[] = "Media/PhotoData/Photos.sqlite";
constexpr char kIosThumbConfigPath[] = "Media/PhotoData/Thumbnails/thumbnailConfiguration";
// The thumbnail format of the sample phone.
constexpr int kIosSampleThumbFormat = 5005;

// The CREATE statements of the library for a version; the newest for a
// number out of range.
std::string IosPhotosSql(int schema_version);
// Whether a version's asset table is ZASSET, and its join table's name and
// its album and asset columns.
bool IosPhotosHasAssetTable(int schema_version);
struct IosPhotosJoin {
  const char* table;
  const char* album_column;
  const char* asset_column;
};
IosPhotosJoin IosPhotosJoinTable(int schema_version);

// The thumbnail configuration property list (XML) naming `format`.
std::string IosThumbnailConfiguration(int format);

// A file of CameraRollDomain: its relative path and bytes.
struct IosPhotoFile {
  std::string relative_path;
  std::string bytes;
};

// Writes Photos.sqlite at `path` (an existing file is replaced): photos of
// the camera roll (one edited, one hidden, one deleted, a screenshot), a
// video and two user albums. `files` receives the thumbnail configuration
// and the originals, thumbnails and edited render the library names.
bool WriteIosPhotos(const std::string& path, const IosSampleOptions& options,
                    std::vector<IosPhotoFile>* files);

// A large library for measurements: `assets` photos and videos spread over
// `albums` user albums, each asset in one album.
bool WriteIosPhotoLibrary(const std::string& path, int schema_version, int assets, int albums);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_PHOTOS_H_
