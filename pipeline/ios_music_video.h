// The staged packager of iOS music and video (data type 29): reads the
// media library of a backup (MediaLibrary.sqlitedb), sorts its items into
// music (media kinds 1, 4 and 8) and video (every other kind), gives each
// song the visible playlists that hold it, and hands over the result
// document (result kind 26) that lists the detail files and playlists.
//
// Libraries of other iOS versions lack some of the tables and columns the
// queries name: those are read as NULL (one log line says which), and a
// library without playlists has none.
#ifndef KX_PIPELINE_IOS_MUSIC_VIDEO_H_
#define KX_PIPELINE_IOS_MUSIC_VIDEO_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "packager/staged_package.h"
#include "pipeline/ios_music_video_storage.h"
#include "pipeline/media_files.h"

namespace kx {

// The queries over what a media library has. With every table and column
// present they are the packager's fixed queries; otherwise absent columns
// read as NULL, and what was absent is listed in `missing` (", "-separated;
// empty when nothing was).
struct MediaLibraryQueries {
  std::string media;
  std::string playlists;   // "" when the library has no container table
  std::string membership;  // "" when it has no container_item table
  std::string missing;
};
MediaLibraryQueries BuildMediaLibraryQueries(const SQLite3Wrapper& db);

// Media kinds sorted into music; every other kind is video.
bool IsMusicMediaType(int64_t media_type);

class IosMusicVideoDataPackage : public AbstractKxDataPackage {
 public:
  explicit IosMusicVideoDataPackage(const StagedParameters& parameters);
  ~IosMusicVideoDataPackage() override;

  int CheckParam() override;
  int Init() override;
  int AnalyseDatabase() override;
  int OutPut() override;

 private:
  int HandleMediaMeg(SqliteStatement* statement);
  // Reads the playlist membership of every song once, before the songs.
  int HandleMusicPlayListAsset(const std::string& query);
  int HandleMusicPlayListInfo(SqliteStatement* statement);
  int Prepare(const std::string& sql, SqliteStatement* statement);
  // The columns of one media row as read.
  struct MediaRow {
    uint64_t id = 0;
    bool has_name = false;
    std::string file_name;
    std::string title;
    uint64_t size = 0;
    double duration = 0.0;
    int64_t media_type = 0;
    bool has_folder = false;
    std::string save_path;
    std::string album;
    std::string artist;
  };
  // What music and videos share, from one row (its title is moved).
  void FillCommon(MediaRow* row, Common* item);
  // The file path and extension of one row, from its save_path and
  // file_name; a row whose path is absent or unsafe keeps both empty.
  void FillPath(const std::string& save_path, const std::string& file_name, bool present,
                Common* item);

  std::string temp_folder_;
  ResultCallback callback_;
  int result_kind_;
  const std::atomic<int>* staged_stop_;
  std::string music_video_file_path_;
  IosMusicVideoDataPackageStorage storage_;
  std::unique_ptr<SQLite3Wrapper> db_;
  std::unordered_map<uint64_t, std::vector<uint64_t>> playlists_of_item_;
  int unsafe_paths_ = 0;
};

}  // namespace kx

#endif  // KX_PIPELINE_IOS_MUSIC_VIDEO_H_
