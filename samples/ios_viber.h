// A generator of Viber's store on iOS (com.viber/database/Contacts.data in
// the group container group.viber.share.container) with attachments as
// Viber keeps them in its containers.
#ifndef KX_SAMPLES_IOS_VIBER_H_
#define KX_SAMPLES_IOS_VIBER_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first, with the tables forensic readers print:
//  1  ZVIBERMESSAGE without ZMETADATA, ZCONVERSATION without ZSUBTYPE;
//     participants in Z_4PHONENUMINDEXES (Z_4CONVERSATIONS,
//     Z_9PHONENUMINDEXES);
//  2  ZMETADATA (JSON) on messages and conversations, ZSUBTYPE, the
//     read marks; participants in Z_5PHONENUMINDEXES (Z_5CONVERSATIONS,
//     Z_10PHONENUMINDEXES).
constexpr int kIosViberOldestSchema = 1;
constexpr int kIosViberNewestSchema = 2;

constexpr char kIosViberGroupDomain[] = "AppDomainGroup-group.viber.share.container";
constexpr char kIosViberAppDomain[] = "AppDomain-com.viber";
// The store's path in the group container.
constexpr char kIosViberStorePath[] = "com.viber/database/Contacts.data";

// The CREATE statements for a version; the newest for a number out of range.
std::string IosViberSql(int schema_version);

struct IosViberFile {
  std::string domain;
  std::string relative_path;
  std::string bytes;
};

// Writes the store at `path` (replaced when it exists): a one-to-one
// conversation (text, picture, location, call), a group (link, voice, a
// notice, file, sticker, a message being deleted), a message of a
// conversation deleted since and three calls of the recents list. `files` receives the picture with
// its preview and the voice message.
bool WriteIosViber(const std::string& path, const IosSampleOptions& options,
                   std::vector<IosViberFile>* files);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_VIBER_H_
