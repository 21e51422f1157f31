// Viber on iOS (data type 18): the conversations of Viber's Core Data store
// in an iOS backup, in the chat document every such application shares.
// "photo_file_path" is the backup's Manifest.db (else "manifest_file_path"),
// which tells in which of Viber's containers a picture or other attachment
// lies; "thumb_config_path"
// a property list whose "ThumbnailsFolder" names the folder of previews.
// Both may be absent: files are then placed in Viber's own container and
// previews looked for in its default folder.
#ifndef KX_IOSCHAT_VIBER_H_
#define KX_IOSCHAT_VIBER_H_

#include <string>

#include "packager/contract.h"

namespace kx {

// Hands the account document to the callback. Returns 0; 1100 for missing
// inputs; 1105 when the store cannot be opened and 1108 when its
// conversations or messages cannot be queried (no callback). A stop returns
// 0 without a callback.
int IosViberDataPackage(DataTypeRecord* record, const PackageContext& context);

// The thumbnail folder a thumbnail settings list names ("" when it names
// none), with a trailing "/".
std::string ViberThumbnailFolder(const std::string& settings_path);

}  // namespace kx

#endif  // KX_IOSCHAT_VIBER_H_
