// A generator of LINE's chat store on iOS (Line.sqlite in the group
// container group.com.linecorp.line) with a message attachment and its
// preview as LINE keeps them beside the store.
#ifndef KX_SAMPLES_IOS_LINE_H_
#define KX_SAMPLES_IOS_LINE_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first, with the tables forensic readers print:
//  1  ZMESSAGE with ZSENDSTATUS and the direction in ZMESSAGETYPE ("S"/"R");
//     chats and members joined by Z_1MEMBERS (Z_1CHATS, Z_12MEMBERS);
//  2  ZMESSAGE with ZSTATUS and no ZMESSAGETYPE, ZCHAT with ZSESSIONID and
//     the archive flags; Z_2MEMBERS (Z_2CHATS, Z_14MEMBERS).
constexpr int kIosLineOldestSchema = 1;
constexpr int kIosLineNewestSchema = 2;

constexpr char kIosLineDomain[] = "AppDomainGroup-group.com.linecorp.line";
// The owner's mid, which also names the account's private store folder.
constexpr char kIosLineAccount[] = "u0f1e2d3c4b5a69788796a5b4c3d2e1f0";

// "Library/Application Support/PrivateStore/P_<account>/Messages/Line.sqlite".
std::string IosLineStorePath(const std::string& account);

// The CREATE statements for a version; the newest for a number out of range.
std::string IosLineSql(int schema_version);

// A message's content metadata as LINE keeps it: an XML property list of
// a dictionary of texts.
std::string IosLineMetadata(const std::vector<std::pair<std::string, std::string>>& members);

struct IosLineFile {
  std::string relative_path;
  std::string bytes;
};

// Writes the store at `path` (replaced when it exists): a friend's chat
// (text, picture, sticker, location), a group (voice, a member event, a
// file), an official account, a room without messages and a message whose
// chat was deleted. `files` receives the picture and its preview.
bool WriteIosLine(const std::string& path, const IosSampleOptions& options,
                  std::vector<IosLineFile>* files);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_LINE_H_
