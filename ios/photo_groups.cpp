#include "ios/photo_groups.h"

#include <cstdio>

namespace kx {

namespace {

// Indexes into FixedGroups(), in its order.
enum GroupIndex {
  kCameraRoll,
  kQuenvault,
  kPhotoLibrary,
  kBursts,
  kRecentlyDeleted,
  kVideos,
  kSelfies,
  kPanoramas,
  kScreenshots,
  kLivePhoto,
  kSloMo,
  kPeople,
  kPlaces,
  kPortrait,
  kTimeLapse,
  kFavorites,
  kPhotoStream,
  kAnimated,
  kHidden,
  kCinematic,
};

constexpr int64_t kKindPhoto = 0;
constexpr int64_t kKindVideo = 1;
constexpr int64_t kSavedTypeOutOfLibrary = 4;
constexpr int64_t kBurstKeyPick = 52;
constexpr int64_t kNoLocation = -180;

std::vector<FixedGroup> MakeFixedGroups() {
  // The type flags of the smart albums; 16 names none.
  const struct {
    const char* title;
    int64_t type;
  } kGroups[] = {
      {"CameraRoll", 1},    {"Quenvault 1", 2},      {"Photo Library", 262144},
      {"Bursts", 4},        {"Recently Deleted", 8}, {"Videos", 32},
      {"Selfies", 64},      {"Panoramas", 128},      {"Screenshots", 256},
      {"Live Photo", 512},  {"Slo-Mo", 1024},        {"People", 2048},
      {"Places", 4096},     {"Portrait", 8192},      {"Time Lapse", 16384},
      {"Favorites", 32768}, {"Photo stream", 65536}, {"Animated", 131072},
      {"Hidden", 524288},   {"Cinematic", 1048576},
  };
  std::vector<FixedGroup> groups;
  for (const auto& group : kGroups) {
    const int64_t id = group.type * 100;
    groups.push_back({group.title, id, group.type, GroupKey(id)});
  }
  return groups;
}

void AddSubtypeGroup(int64_t kind_subtype, PhotoClassification* out) {
  const std::vector<FixedGroup>& groups = FixedGroups();
  switch (kind_subtype) {
    case 1:
      out->keys.push_back(&groups[kPanoramas].key);
      break;
    case 2:
      out->keys.push_back(&groups[kLivePhoto].key);
      break;
    case 10:
      out->keys.push_back(&groups[kScreenshots].key);
      break;
    case 101:
      out->keys.push_back(&groups[kSloMo].key);
      break;
    case 102:
      out->keys.push_back(&groups[kTimeLapse].key);
      break;
    default:
      break;
  }
}

}  // namespace

const std::vector<FixedGroup>& FixedGroups() {
  static const std::vector<FixedGroup> groups = MakeFixedGroups();
  return groups;
}

std::string GroupKey(int64_t id) {
  char text[48];
  std::snprintf(text, sizeof text, "00000000-0000-0000-0000-0000%08x",
                static_cast<unsigned>(static_cast<uint32_t>(id)));
  return text;
}

void ClassifyPhoto(const PhotoAttributes& a, PhotoClassification* out) {
  out->keys.clear();
  out->is_video = -1;
  if (a.saved_type == kSavedTypeOutOfLibrary) return;
  const std::vector<FixedGroup>& groups = FixedGroups();
  auto add = [&](GroupIndex index) { out->keys.push_back(&groups[index].key); };
  if (a.kind == kKindVideo) {
    add(kVideos);
    out->is_video = 1;
  } else if (a.kind == kKindPhoto && a.hidden == 0 && a.trashed == 0) {
    add(kCameraRoll);
    out->is_video = 0;
  }
  AddSubtypeGroup(a.kind_subtype, out);
  if (a.hidden == 1) add(kHidden);
  if (a.favorite == 1) add(kFavorites);
  if (a.trashed == 1) add(kRecentlyDeleted);
  if (a.playback_style == 2) add(kAnimated);
  if (a.camera_device == 1) add(kSelfies);
  if (a.burst_pick == kBurstKeyPick) add(kBursts);
  if (a.depth_type == 1) add(kPortrait);
  if (a.depth_type == 2) add(kCinematic);
  // A photo without a location carries -180 in both; a missing value reads
  // as 0, which counts as a place.
  if (a.latitude != kNoLocation && a.longitude != kNoLocation) add(kPlaces);
}

}  // namespace kx
