// iOS photos (data type 16): every asset of the photo library (Photos.sqlite,
// both the ZGENERICASSET and the ZASSET generation) with its files in the
// backup or in a photo folder, its edited version and the smart and user
// albums it is shown in, written to batch files in the temp folder.
#ifndef KX_IOS_PHOTOS_H_
#define KX_IOS_PHOTOS_H_

#include "packager/contract.h"

namespace kx {

// Hands {"GroupManifestList", "photo_file_path", "photos_num"} to the
// callback; the photos themselves go into KxDataPackage_Photo_<n>.json
// files of 10000 each (and KxDataPackage_Photo_DCIM.json for the loose
// files of a photo folder). Returns 0 (also after a stop, then without a
// callback); 1100 when an input is missing; 1106 without a callback when
// the library has no asset table that can be read.
int IosPhotoDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_PHOTOS_H_
