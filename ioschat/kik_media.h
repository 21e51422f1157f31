// Kik's media property lists: one per attachment in the backup, telling
// what kind of file the attachment is and carrying a preview image.
#ifndef KX_IOSCHAT_KIK_MEDIA_H_
#define KX_IOSCHAT_KIK_MEDIA_H_

#include <json/json.h>

#include <string>

#include "common/sqlite_wrapper.h"
#include "ioschat/kik_messages.h"
#include "kit/chat_batches.h"

namespace kx {

// The backup domain of the Kik application's files.
inline constexpr char kKikDomain[] = "AppDomainGroup-group.com.kik.chat";

// The kind of an attachment from its "app-id" (any case): data type 3 for
// video, 1 for pictures, -1 when unknown, and the file suffix.
struct KikMediaKind {
  int data_type;
  const char* suffix;
};
KikMediaKind ClassifyKikAppId(const std::string& app_id);

// One media object per attachment file that `manifest` lists under the
// account's attachments folder: {"plist_id", "data_type", "data_suffix"},
// and "data_file_path" when a preview was written into the temp folder.
// Null when there is none.
Json::Value ReadKikMedia(const SQLite3Wrapper& manifest, const KikBackup& backup,
                         PackageFileWriter* files);

}  // namespace kx

#endif  // KX_IOSCHAT_KIK_MEDIA_H_
