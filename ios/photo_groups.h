// The smart albums of the photo library and which of them a photo is shown
// in. The phone keeps no table of these: it derives them from each asset's
// kind, flags and location, so the packager derives them the same way.
#ifndef KX_IOS_PHOTO_GROUPS_H_
#define KX_IOS_PHOTO_GROUPS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// One smart album. Its ID is always its type flag times 100.
struct FixedGroup {
  const char* title;
  int64_t id;
  int64_t type;
  std::string key;  // GroupKey(id)
};

// The twenty smart albums in the order the group list names them.
const std::vector<FixedGroup>& FixedGroups();

// "00000000-0000-0000-0000-0000" and the ID as eight lower-case hex digits:
// the album key of a smart album, in the form of a user album's UUID.
std::string GroupKey(int64_t id);

// The columns of an asset that decide its smart albums, each read as an
// integer (absent: 0).
struct PhotoAttributes {
  int64_t kind = 0;
  int64_t kind_subtype = 0;
  int64_t hidden = 0;
  int64_t playback_style = 0;
  int64_t trashed = 0;
  int64_t favorite = 0;
  int64_t camera_device = 0;
  int64_t burst_pick = 0;
  int64_t saved_type = 0;
  int64_t latitude = 0;
  int64_t longitude = 0;
  int64_t depth_type = 0;
};

// Where a photo is shown: the keys of its smart albums in the order the
// list is made, and whether it is a video (-1: the member is left out).
struct PhotoClassification {
  std::vector<const std::string*> keys;
  int is_video = -1;
};

// Saved-asset type 4 (assets the phone keeps out of the library views)
// belongs nowhere.
void ClassifyPhoto(const PhotoAttributes& attributes, PhotoClassification* out);

}  // namespace kx

#endif  // KX_IOS_PHOTO_GROUPS_H_
