#include "pipeline/ios_music_video_storage.h"

#include <utility>

#include "common/json_util.h"
#include "kit/batch_writer.h"

namespace kx {

namespace {

constexpr char kSaveMusicOperation[] = "IosMusicVideoDataPackageStorage::_SaveMusicInfosToLocal";
constexpr char kSaveVideoOperation[] = "IosMusicVideoDataPackageStorage::_SaveVideoInfosToLocal";

template <typename Item>
std::string SavePending(BatchWriter* details, const char* prefix, const char* operation,
                        const char* empty_message, int* counter, std::map<uint64_t, Item>* pending,
                        Json::Value* files) {
  DetailFileItem item;
  item.operation = operation;
  item.empty_message = empty_message;
  item.has_details = !pending->empty();
  for (const auto& entry : *pending) entry.second.Write(details->Next());
  // A file that could not be opened loses its batch, not the run.
  pending->clear();
  const std::string path = SaveDetailFile(details, prefix, counter, item);
  if (!path.empty()) files->append(path);
  return path;
}

}  // namespace

void Common::WriteFirstMembers(JsonBufferWriter* writer) const {
  writer->Name("Duration");
  writer->Double(duration);
  writer->Name("FileExtendName");
  writer->String(file_extend_name);
  writer->Name("FileFullPath");
  writer->String(file_full_path);
  writer->Name("ID");
  writer->UInt(id);
}

void Common::WriteLastMembers(JsonBufferWriter* writer, const std::string* tag) const {
  writer->Name("media_type");
  writer->Int(media_type);
  writer->Name("size");
  writer->UInt(size);
  if (tag != nullptr) {
    writer->Name("tag");
    writer->String(*tag);
  }
  writer->Name("title");
  writer->String(title);
}

void MusicInfo::Write(JsonBufferWriter* writer) const {
  writer->BeginObject();
  writer->Name("Album");
  writer->String(album);
  writer->Name("Artist");
  writer->String(artist);
  WriteFirstMembers(writer);
  writer->Name("PlayListID");
  writer->IntegerArray(playlist_ids);
  WriteLastMembers(writer, nullptr);
  writer->EndObject();
}

void VideoInfo::Write(JsonBufferWriter* writer) const {
  writer->BeginObject();
  WriteFirstMembers(writer);
  WriteLastMembers(writer, &tag);
  writer->EndObject();
}

IosMusicVideoDataPackageStorage::IosMusicVideoDataPackageStorage(std::string output_folder)
    : AbstractDataPackageStorage(output_folder), details_(std::move(output_folder)) {}

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
  return SavePending(&details_, kMusicDetailPrefix, kSaveMusicOperation, "music info is empty",
                     &detail_file_counter_, &pending_music_, &music_files_);
}

std::string IosMusicVideoDataPackageStorage::SaveVideoInfosToLocal() {
  return SavePending(&details_, kVideoDetailPrefix, kSaveVideoOperation, "video info is empty",
                     &detail_file_counter_, &pending_video_, &video_files_);
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
