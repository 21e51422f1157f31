// What a note body refers to: attachments, tables and scanned-document
// galleries of the current notes store, and their files in the backup.
#ifndef KX_IOS_NOTE_ATTACHMENTS_H_
#define KX_IOS_NOTE_ATTACHMENTS_H_

#include <json/json.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/json_text_writer.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "ios/note_body.h"

namespace kx {

// The backup domain of the current notes store's files.
constexpr char kNotesDomain[] = "AppDomainGroup-group.com.apple.notes";

// `sql` with every "alias.COLUMN" that the alias's table lacks read as NULL
// ("0" for is_deleted: a store that never went through the merge has no
// deleted rows). The names replaced are added to *missing.
std::string ReadableQuery(const std::string& sql,
                          const std::vector<std::pair<std::string, const TableColumns*>>& aliases,
                          std::set<std::string>* missing);

// Whether a name from the data may become one component of a path: no
// separator, no "..", no NUL, not empty.
bool IsSafePathPart(const std::string& part);

// The kind of an attachment's type identifier: 4 video, 5 audio,
// 2 image, 6 anything else.
int AttachmentKind(const std::string& uti);

// ".jpg" of "a/b.JPG"; "" without an extension.
std::string LowerExtension(const std::string& path);

// The backup's catalogue and folder, read only. A backup without either
// locates nothing; every value from the data is bound.
class NoteFiles {
 public:
  NoteFiles(const std::string& manifest_path, std::string backup_root, const char* stem);
  NoteFiles(const NoteFiles&) = delete;
  NoteFiles& operator=(const NoteFiles&) = delete;

  // Relative paths of the ordinary files of `domain` that begin with
  // `prefix` and end with `suffix` (both taken literally), in path order.
  std::vector<std::string> Find(const std::string& domain, const std::string& prefix,
                                const std::string& suffix = std::string());
  // Where the file of `domain` and `relative_path` lies in the backup
  // folder; "" without a backup folder.
  std::string Locate(const std::string& domain, const std::string& relative_path) const;

 private:
  SQLite3Wrapper manifest_;
  std::string backup_root_;
  bool open_ = false;
};

// Resolves the content items of one note against the store.
class NoteAttachments {
 public:
  NoteAttachments(const SQLite3Wrapper& store, NoteFiles* files, const char* stem);

  // The note's "contents" from its decoded body, as the value `writer`
  // expects next; `account_id` names the folder of the account whose files
  // the attachments are.
  void WriteContents(const std::vector<NoteContentItem>& items, const std::string& account_id,
                     JsonBufferWriter* writer);

 private:
  // Appends the item(s) of attachment `identifier`; false when the store
  // has no such attachment.
  bool AddAttachment(const std::string& identifier, const std::string& account_id,
                     const Json::Value* row_id, Json::Value* contents);
  void AddGallery(const std::string& identifier, const std::string& account_id,
                  Json::Value* contents);
  void AddMediaFiles(const std::string& identifier, const std::string& account_id, bool video,
                     const std::string& datetime, Json::Value* item);
  std::string TableSummary(const std::string& identifier);
  // Paths under the account's folder (or the old top-level folder).
  std::vector<std::string> FindUnder(const std::string& account_id, const std::string& folder,
                                     const std::string& name, const std::string& suffix);

  const SQLite3Wrapper& store_;
  NoteFiles* files_;
  TableColumns columns_;
  std::set<std::string> missing_;
  bool missing_logged_ = false;
  const char* stem_;
};

}  // namespace kx

#endif  // KX_IOS_NOTE_ATTACHMENTS_H_
