// A generator of Kik's store on iOS (cores/private/<account>/kik.sqlite in
// the group container group.com.kik.chat) with the media property lists
// and profile thumbnails Kik keeps beside it.
#ifndef KX_SAMPLES_IOS_KIK_H_
#define KX_SAMPLES_IOS_KIK_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first. Core Data names its join tables after the
// entities' numbers, which moved when the application added entities:
//  1  Z_3MESSAGES (Z_3CHAT, Z_5MESSAGES), Z_6MEMBERS (Z_6MEMBERSINVERSE,
//     Z_6MEMBERS), as forensic readers print the store's schema;
//  2  Z_4MESSAGES (Z_4CHAT, Z_6MESSAGES), Z_9MEMBERS (Z_9MEMBERSINVERSE,
//     Z_9MEMBERS), the same entity tables.
constexpr int kIosKikOldestSchema = 1;
constexpr int kIosKikNewestSchema = 2;

constexpr char kIosKikDomain[] = "AppDomainGroup-group.com.kik.chat";
// The account folder of the sample store.
constexpr char kIosKikAccount[] = "7d1b3a2e0c9f4e8b";

// "cores/private/<account>/kik.sqlite".
std::string IosKikStorePath(const std::string& account);

// The CREATE statements for a version; the newest for a number out of range.
std::string IosKikSql(int schema_version);

// A file Kik keeps in its domain beside the store.
struct IosKikFile {
  std::string relative_path;
  std::string bytes;
};

// A media property list as Kik writes one per attachment: "app-id" and an
// "image" array whose "preview" entry holds the bytes of `preview_base64`.
std::string IosKikMediaPlist(const std::string& app_id, const std::string& preview_base64);

// Writes the store at `path` (replaced when it exists): a chat with a
// friend (a picture among its messages), a group of two members, and a
// message whose chat was deleted. `files` receives the attachment's media
// property list and the friends' thumbnails. False when it cannot be
// written.
bool WriteIosKik(const std::string& path, const IosSampleOptions& options,
                 std::vector<IosKikFile>* files);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_KIK_H_
