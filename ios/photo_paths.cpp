#include "ios/photo_paths.h"

#include "common/backup_files.h"
#include "ios/recording_files.h"

namespace kx {

namespace {

constexpr char kCameraRollDomain[] = "CameraRollDomain";
constexpr char kMediaFolder[] = "Media/";
constexpr char kThumbnailFolder[] = "Media/PhotoData/Thumbnails/V2/";
constexpr char kFolderThumbnails[] = "Thumbnails/V2/";
constexpr char kMutationsFolder[] = "PhotoData/Mutations/";

std::string Joined(std::string_view directory, std::string_view name) {
  std::string path(directory);
  path += '/';
  path += name;
  return path;
}

std::string InBackup(const PhotoLayout& layout, const std::string& file_id) {
  return BackupFilePath(layout.root, file_id, layout.two_level);
}

}  // namespace

bool KeepsOriginalInMedia(int64_t saved_type) { return saved_type == 0 || saved_type == 3; }

PhotoPaths LocatePhoto(const PhotoLayout& layout, std::string_view directory, std::string_view name,
                       int64_t saved_type) {
  const std::string relative = Joined(directory, name);
  const std::string in_media = kMediaFolder + relative;
  const std::string in_thumbnails = kThumbnailFolder + relative;
  const bool original_in_media = KeepsOriginalInMedia(saved_type);
  const std::string& origin = original_in_media ? in_media : in_thumbnails;
  const std::string& other = original_in_media ? in_thumbnails : in_media;
  // Without a known format the thumbnail is taken to be the base file itself.
  const std::string thumb = layout.thumb_format != 0
                                ? in_thumbnails + "/" + std::to_string(layout.thumb_format) + ".JPG"
                                : origin;
  PhotoPaths paths;
  paths.other_file_path = InBackup(layout, BackupFileId(kCameraRollDomain, other));
  paths.origin_file_id = BackupFileId(kCameraRollDomain, origin);
  paths.thumb_file_id = BackupFileId(kCameraRollDomain, thumb);
  if (!layout.photo_folder) {
    paths.origin_file_path = InBackup(layout, paths.origin_file_id);
    paths.thumb_file_path = InBackup(layout, paths.thumb_file_id);
    return paths;
  }
  // A photo folder holds the files under their own names: only a relative
  // path with no step out of the folder is handed on.
  const bool absolute = relative.front() == '/' || relative.front() == '\\';
  if (!absolute && !RecordingInFolder(layout.root, relative).empty()) {
    paths.origin_file_path = relative;
  }
  paths.thumb_file_path =
      RecordingInFolder(layout.root, kFolderThumbnails + relative + "/" +
                                         std::to_string(layout.thumb_format) + ".JPG");
  return paths;
}

EditedPaths LocateEditedPhoto(const PhotoLayout& layout, std::string_view directory,
                              std::string_view name, int64_t saved_type,
                              std::string_view uniform_type) {
  const size_t dot = name.rfind('.');
  const std::string base(name.substr(0, dot));
  const std::string folder =
      kMutationsFolder + std::string(directory) + "/" + base + "/Adjustments/";
  EditedPaths paths;
  if (KeepsOriginalInMedia(saved_type)) {
    paths.device_path =
        folder + "FullSizeRender." + (uniform_type == "public.heic" ? "heic" : "jpg");
  } else {
    paths.device_path = folder + base + ".JPG";
  }
  paths.backup_path =
      InBackup(layout, BackupFileId(kCameraRollDomain, kMediaFolder + paths.device_path));
  return paths;
}

}  // namespace kx
