#include "pipeline/ios_music_video_storage.h"

#include <utility>

#include "common/json_util.h"
#include "kit/batch_writer.h"

namespace kx {

namespace {

constexpr char kSaveMusicOperation[] = "IosMusicVideoDataPackageStorage::_SaveMusicInfosToLocal";
constexpr char kSaveVideoOperation[] = "IosMusicVideoDataPackageStorage::_SaveVideoInfosToLocal";

template <typename Item>
std::string SavePending(const std::string& output_folder, const char* prefix, const char* operation,
                        const char* empty_message, int* counter, std::map<uint64_t, Item>* pending,
                        Json::Value* files) {
  DetailFileItem item;
  item.operation = operation;
  item.empty_message = empty_message;
  item.has_details = !pending->empty();
  item.build_details = [pending] {
    Json::Value details = EmptyJsonArray();
    for (const auto& entry : *pending) {
      Json::Value object(Json::objectValue);
      entry.second.WriteJson(&object);
      details.append(std::move(object));
    }
    pending->clear();
    return details;
  };
  const std::string path = SaveDetailFile(output_folder, prefix, counter, item);
  // A file that could not be opened loses its batch, not the run.
  pending->clear();
  if (!path.empty()) files->append(path);
  return path;
}

}  // namespace

void Common::WriteCommon(Json::Value* object) const {
  (*object)["ID"] = Json::UInt64(id);
  (*object)["title"] = title;
  (*object)["size"] = Json::UInt64(size);
  (*object)["Duration"] = duration;
  (*object)["media_type"] = media_type;
  (*object)["FileFullPath"] = file_full_path;
  (*object)["FileExtendName"] = file_extend_name;
}

void MusicInfo::WriteJson(Json::Value* object) const {
  WriteCommon(object);
  (*object)["Album"] = album;
  (*object)["Artist"] = artist;
  Json::Value ids = EmptyJsonArray();
  for (const uint64_t playlist_id : playlist_ids) ids.append(Json::UInt64(playlist_id));
  (*object)["PlayListID"] = std::move(ids);
}

void VideoInfo::WriteJson(Json::Value* object) const {
  WriteCommon(object);
  (*object)["tag"] = tag;
}

IosMusicVideoDataPackageStorage::IosMusicVideoDataPackageStorage(std::string output_folder)
    : AbstractDataPackageStorage(std::move(output_folder)) {}

void IosMusicVideoDataPackageStorage::AddMusic(MusicInfo music) {
  if (!music_ids_.insert(music.id).second) return;
  ++music_count_;
  pending_music_.emplace(music.id, std::move(music));
  if (pending_music_.size() >= kBatchSize) SaveMusicInfosToLocal();
}

void IosMusicVideoDataPackageStorage::AddVideo(VideoInfo video) {
  if (!video_ids_.insert(video.id).second) return;
  ++video_count_;
  pending_video_.emplace(video.id, std::move(video));
  if (pending_video_.size() >= kBatchSize) SaveVideoInfosToLocal();
}

void IosMusicVideoDataPackageStorage::AddPlayList(PlayListEntry entry) {
  playlists_.push_back(std::move(entry));
}

std::string IosMusicVideoDataPackageStorage::SaveMusicInfosToLocal() {
  return SavePending(output_folder(), kMusicDetailPrefix, kSaveMusicOperation,
                     "music info is empty", &detail_file_counter_, &pending_music_, &music_files_);
}

std::string IosMusicVideoDataPackageStorage::SaveVideoInfosToLocal() {
  return SavePending(output_folder(), kVideoDetailPrefix, kSaveVideoOperation,
                     "video info is empty", &detail_file_counter_, &pending_video_, &video_files_);
}

Json::Value& IosMusicVideoDataPackageStorage::BuildResultDocument(Json::Value& document) {
  if (!pending_music_.empty()) SaveMusicInfosToLocal();
  if (!pending_video_.empty()) SaveVideoInfosToLocal();
  document = Json::Value(Json::objectValue);
  Json::Value playlists = EmptyJsonArray();
  for (const PlayListEntry& entry : playlists_) {
    Json::Value object(Json::objectValue);
    object["ID"] = Json::UInt64(entry.id);
    object["Title"] = entry.title;
    object["IndexValue"] = entry.index_value;
    playlists.append(std::move(object));
  }
  Json::Value& musics = document["musics"];
  musics["PlayListInfo"] = std::move(playlists);
  musics["music_file_path"] = music_files_;
  musics["musics_num"] = music_count_;
  Json::Value& videos = document["videos"];
  videos["video_file_path"] = video_files_;
  videos["video_num"] = video_count_;
  return document;
}

}  // namespace kx
