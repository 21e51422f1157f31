// Where the files of one photo lie: the original, its thumbnail and its
// edited version, as file ids of the camera roll's domain and as paths in a
// backup folder or in a photo folder copied off the phone. Directory and
// file name come from the photo library, so a path in a folder is only made
// when they cannot lead out of it; backup locations are hashes and always
// stay in the backup.
#ifndef KX_IOS_PHOTO_PATHS_H_
#define KX_IOS_PHOTO_PATHS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// How the host laid out what it handed over.
struct PhotoLayout {
  std::string root;           // backup folder, or the photo folder's root
  bool two_level = false;     // backup files in two-digit sub-folders
  bool photo_folder = false;  // a photo folder rather than a backup
  int64_t thumb_format = 0;   // the thumbnail configuration's format; 0: none
};

// "" stands for a member that is left out.
struct PhotoPaths {
  std::string other_file_path;
  std::string origin_file_id;
  std::string thumb_file_id;
  std::string origin_file_path;
  std::string thumb_file_path;
};

struct EditedPaths {
  std::string device_path;  // relative to the phone's Media folder
  std::string backup_path;
};

// Saved-asset types 0 and 3 keep their original under Media/<directory>;
// the others keep only what the thumbnail store holds.
bool KeepsOriginalInMedia(int64_t saved_type);

PhotoPaths LocatePhoto(const PhotoLayout& layout, std::string_view directory, std::string_view name,
                       int64_t saved_type);

// The full-size render of an edited photo; `uniform_type` picks HEIC or JPEG.
EditedPaths LocateEditedPhoto(const PhotoLayout& layout, std::string_view directory,
                              std::string_view name, int64_t saved_type,
                              std::string_view uniform_type);

}  // namespace kx

#endif  // KX_IOS_PHOTO_PATHS_H_
