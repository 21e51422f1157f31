// The package functions of iOS music (data type 26) and video (27). They
// read an intermediate media database the host builds from the backup
// (tables mediaInfo, PlayListAsset and PlayListInfo), not the device's own
// media library: the songs under the backup's "Music" folder, the videos
// under its "Videos" folder.
#ifndef KX_PIPELINE_MUSIC_VIDEO_PACKAGE_H_
#define KX_PIPELINE_MUSIC_VIDEO_PACKAGE_H_

#include "packager/contract.h"

namespace kx {

// Write the media rows in files of 10000 ("DataAnalysis_Music_<n>.json",
// "DataAnalysis_Video_<n>.json") and hand {"music_file_path" /
// "video_file_path", "musics_num" / "videos_num", "PlayListAsset",
// "PlayListInfo"} to the callback. 1100 without the primary file, the
// backup path or the temp folder; 1105/1106 when the database cannot be
// read; 0 after a stop, without a callback.
int IosMusicDataPackage(DataTypeRecord* record, const PackageContext& context);
int IosVideoDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_PIPELINE_MUSIC_VIDEO_PACKAGE_H_
