#include "ioschat/kik_media.h"

#include <plist/plist.h>

#include <memory>
#include <vector>

#include "common/backup_files.h"
#include "common/log.h"
#include "common/property_list.h"
#include "common/text.h"

namespace kx {

namespace {

// The account id comes from the host; it is bound, and its LIKE wildcards
// keep their meaning as the catalogue query has always given them.
constexpr char kAttachmentFilesQuery[] =
    "select fileID from Files where domain='AppDomainGroup-group.com.kik.chat' and relativePath "
    "like ?";

std::vector<std::string> AttachmentFileIds(const SQLite3Wrapper& manifest,
                                           const std::string& account_id) {
  std::vector<std::string> ids;
  SqliteStatement query = PrepareStatement(manifest, kAttachmentFilesQuery);
  if (!query.prepared()) return ids;
  query.BindText(1, KikRelativePath(account_id, "attachments/") + "%");
  while (query.Step() == SQLITE_ROW) ids.push_back(query.ColumnText(0));
  return ids;
}

// The bytes of the first "preview" or "png-preview" image; false when the
// list has no such data.
bool PreviewBytes(const CPListArray& images, std::string* bytes) {
  for (int64_t index = 0; index < images.Count(); ++index) {
    const std::unique_ptr<CPListDictionary> image = images.GetDictionaryAt(index);
    std::string name;
    if (image == nullptr || !image->GetString("name", &name)) continue;
    if (name != "preview" && name != "png-preview") continue;
    const plist_t value = plist_dict_get_item(image->node(), "value");
    if (value == nullptr || plist_get_node_type(value) != PLIST_DATA) return false;
    uint64_t length = 0;
    const char* data = plist_get_data_ptr(value, &length);
    if (data == nullptr) return false;
    bytes->assign(data, static_cast<size_t>(length));
    return true;
  }
  return false;
}

void ReadMediaList(const std::string& list_path, const std::string& file_id,
                   PackageFileWriter* files, Json::Value* media) {
  CPListDictionary list = CPListDictionary::FromBytes({});
  if (list_path.empty() || !list.Load(list_path)) {
    KX_LOG(kLogProblem, "fail to search kik media, at line : %d\n", __LINE__);
    return;
  }
  std::string app_id;
  list.GetString("app-id", &app_id);
  const KikMediaKind kind = ClassifyKikAppId(app_id);
  (*media)["data_type"] = kind.data_type;
  (*media)["data_suffix"] = kind.suffix;
  const std::unique_ptr<CPListArray> images = list.GetArray("image");
  if (images == nullptr) {
    KX_LOG(kLogProblem, "fail to search kik media, at line : %d\n", __LINE__);
    return;
  }
  std::string bytes;
  if (!PreviewBytes(*images, &bytes)) return;
  // The preview is named after the file id, which is made a plain file
  // name first: the catalogue is data like any other.
  const std::string path = files->AddSideFile(file_id, bytes);
  if (!path.empty()) (*media)["data_file_path"] = path;
}

}  // namespace

KikMediaKind ClassifyKikAppId(const std::string& app_id) {
  const std::string lowered = ToLowerAscii(app_id);
  const auto has = [&lowered](const char* part) { return lowered.find(part) != std::string::npos; };
  if (has("video")) return {3, ".mov"};
  if (has("gif")) return {1, ".gif"};
  if (has("gallery") || has("camera") || has("com.kik.bots.web")) return {1, ".jpg"};
  if (has("com.kik.ext.stickers")) return {1, ".png"};
  return {-1, ""};
}

Json::Value ReadKikMedia(const SQLite3Wrapper& manifest, const KikBackup& backup,
                         PackageFileWriter* files) {
  Json::Value objects;  // null until the first
  for (const std::string& file_id : AttachmentFileIds(manifest, backup.account_id)) {
    Json::Value media(Json::objectValue);
    media["plist_id"] = file_id;
    // Only a real file id is looked up: anything else could name a place
    // outside the backup.
    const std::string list_path =
        IsBackupFileId(file_id) ? BackupFilePath(backup.backup_root, file_id, backup.two_level)
                                : std::string();
    ReadMediaList(list_path, file_id, files, &media);
    objects.append(std::move(media));
  }
  return objects;
}

}  // namespace kx
