// The package function of the Kx photo database (data type 28): the same
// photo index database as the staged packager reads, each photo as its
// PhotoInfo row with the full paths of its file and thumbnail.
#ifndef KX_PIPELINE_KX_PHOTO_PACKAGE_H_
#define KX_PIPELINE_KX_PHOTO_PACKAGE_H_

#include "packager/contract.h"

namespace kx {

// Writes the photos in files of 10000 ("DataAnalysis_Photo_<n>.json") and
// hands {"photo_file_path", "photos_num", "AlbumAsset", "AlbumInfo"} to the
// callback (result kind 25). 1100 without the photo database, the backup
// path or the temp folder; 1105/1106 when it cannot be read; 0 after a
// stop, without a callback.
int IosKxPhotoDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_PIPELINE_KX_PHOTO_PACKAGE_H_
