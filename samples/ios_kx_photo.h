// A generator of the Kx photo database: the photo index a host writes
// beside the photos it copied off a phone (tables PhotoInfo, AlbumAsset and
// AlbumInfo), with the photos in a "Photos" folder and their thumbnails in
// "Photos/thumb".
#ifndef KX_SAMPLES_IOS_KX_PHOTO_H_
#define KX_SAMPLES_IOS_KX_PHOTO_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Versions, oldest first: 1 without PhotoInfo.Title and UniformType; 2 with
// them. Numbers are kept as text, as the packagers read them.
constexpr int kIosKxPhotoOldestSchema = 1;
constexpr int kIosKxPhotoNewestSchema = 2;

// The file name of the database inside the folder WriteIosKxPhoto fills.
constexpr char kIosKxPhotoDatabaseName[] = "KxPhotoIndex.db";

std::string IosKxPhotoSql(int schema_version);

// Writes `folder`/KxPhotoIndex.db and the photos under `folder`/Photos:
// five photos (one in a sub-folder, one without a file name), two albums.
// `options.scale` adds photos. False when something cannot be written.
bool WriteIosKxPhoto(const std::string& folder, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_KX_PHOTO_H_
