// The records and the storage writer of the iOS music-and-video packager:
// music and video items gathered in batches of 1000 per detail file
// ("DataAnalysis_Music_<n>.json", "DataAnalysis_Video_<n>.json"), and the
// result document that lists those files, the counts and the playlists.
#ifndef KX_PIPELINE_IOS_MUSIC_VIDEO_STORAGE_H_
#define KX_PIPELINE_IOS_MUSIC_VIDEO_STORAGE_H_

#include <json/json.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/json_text_writer.h"
#include "kit/batch_writer.h"
#include "packager/staged_package.h"

namespace kx {

// What music and video items have in common, and how an item writes itself
// as its detail-file object.
class Common {
 public:
  virtual ~Common() = default;
  virtual void Write(JsonBufferWriter* writer) const = 0;

  uint64_t id = 0;
  std::string title;
  uint64_t size = 0;
  double duration = 0.0;
  int media_type = 0;
  std::string file_full_path;  // "" when the row names no safe path
  std::string file_extend_name;

 protected:
  // The common members in the writer's order: those before "PlayListID",
  // then those after it, with a video's `tag` in its place.
  void WriteFirstMembers(JsonBufferWriter* writer) const;
  void WriteLastMembers(JsonBufferWriter* writer, const std::string* tag) const;
};

class MusicInfo : public Common {
 public:
  void Write(JsonBufferWriter* writer) const override;

  std::string album;
  std::string artist;
  std::vector<uint64_t> playlist_ids;  // visible playlists holding the song
};

class VideoInfo : public Common {
 public:
  void Write(JsonBufferWriter* writer) const override;

  std::string tag;  // "music-video" for media type 33
};

// One visible playlist of the result document.
struct PlayListEntry {
  uint64_t id = 0;
  std::string title;
  int index_value = 0;
};

class IosMusicVideoDataPackageStorage : public AbstractDataPackageStorage {
 public:
  static constexpr size_t kBatchSize = 1000;

  explicit IosMusicVideoDataPackageStorage(std::string output_folder);

  // A new id is counted and kept pending; a full batch is written at once.
  // An id met before (of the same kind) is left out.
  void AddMusic(MusicInfo music);
  void AddVideo(VideoInfo video);
  void AddPlayList(PlayListEntry entry);

  // Write the pending items as the next detail file and empty the pending
  // map; the path, or "" (logged) when nothing is pending or the file
  // cannot be opened.
  std::string SaveMusicInfosToLocal();
  std::string SaveVideoInfosToLocal();

  // {"musics": {"PlayListInfo", "music_file_path", "musics_num"},
  //  "videos": {"video_file_path", "video_num"}}, after writing what is
  // still pending.
  Json::Value& BuildResultDocument(Json::Value& document) override;

  int music_count() const { return music_count_; }
  int video_count() const { return video_count_; }
  size_t playlist_count() const { return playlists_.size(); }

 private:
  BatchWriter details_;
  int detail_file_counter_ = 0;
  std::map<uint64_t, MusicInfo> pending_music_;
  std::map<uint64_t, VideoInfo> pending_video_;
  std::unordered_set<uint64_t> music_ids_;
  std::unordered_set<uint64_t> video_ids_;
  Json::Value music_files_{Json::arrayValue};
  Json::Value video_files_{Json::arrayValue};
  std::vector<PlayListEntry> playlists_;
  int music_count_ = 0;
  int video_count_ = 0;
};

}  // namespace kx

#endif  // KX_PIPELINE_IOS_MUSIC_VIDEO_STORAGE_H_
