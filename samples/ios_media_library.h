// Generators of the iOS media library (iTunes_Control/iTunes/
// MediaLibrary.sqlitedb in MediaDomain) and of the intermediate media
// database a host builds from it for the music and video package functions
// (tables mediaInfo, PlayListAsset, PlayListInfo).
#ifndef KX_SAMPLES_IOS_MEDIA_LIBRARY_H_
#define KX_SAMPLES_IOS_MEDIA_LIBRARY_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Library versions. Table and column names are those of current libraries
// as an open tool that writes the library defines them, cut to the tables
// the packagers read; the versions differ in how much of them they have:
//  1  no base_location table, and a container table without is_hidden;
//  2  every table read, with fewer columns (item, item_extra, base_location,
//     album, album_artist, container with is_hidden, container_item);
//  3  version 2 with more of the columns of current libraries (added by
//     ALTER TABLE, so they come last).
constexpr int kIosMediaLibraryOldestSchema = 1;
constexpr int kIosMediaLibraryNewestSchema = 3;

// The CREATE statements for a version; the newest for a number out of
// range.
std::string IosMediaLibrarySql(int schema_version);

// Writes the library at `path` (replaced): songs of two albums, an
// audiobook, a film, a music video, a song only in the cloud (no file), and
// playlists, one of them hidden. `options.scale` adds songs. False when
// the file cannot be written.
bool WriteIosMediaLibrary(const std::string& path, const IosSampleOptions& options);

// The intermediate media database: version 1 (the default) has every
// column the package functions read; version 2 lacks
// mediaInfo.FileExtendName and PlayListInfo.Total, for the readers of
// databases with fewer columns.
std::string IosMediaIndexSql(int schema_version);

// Writes the intermediate media database of music or video at `path`: the
// same songs (or the film and the music video) with their file names
// under the backup's "Music" (or "Videos") folder, and the playlists.
bool WriteIosMediaIndex(const std::string& path, bool videos, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_MEDIA_LIBRARY_H_
