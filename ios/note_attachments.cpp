#include "ios/note_attachments.h"

#include <filesystem>
#include <system_error>

#include "common/backup_files.h"
#include "common/log.h"
#include "common/media_types.h"
#include "common/platform.h"
#include "common/text.h"
#include "kit/date_sql.h"

namespace kx {

namespace {

constexpr char kObjectTable[] = "ZICCLOUDSYNCINGOBJECT";

constexpr char kAttachmentQuery[] =
    "SELECT a.ZTYPEUTI, " KX_APPLE_LOCAL_DATE_SQL("a.ZCREATIONDATE") " as datetime FROM ZICCLOUDSYNCINGOBJECT AS a WHERE a.ZIDENTIFIER "
    "= ?1";
constexpr char kTableQuery[] =
    "select a.ZSUMMARY from ZICCLOUDSYNCINGOBJECT AS a where a.ZIDENTIFIER like '%' || ?1 || "
    "'%' escape '\\'";
constexpr char kGalleryTitleQuery[] =
    "select a.ZTITLE  from ZICCLOUDSYNCINGOBJECT AS a where a.ZIDENTIFIER=?1";
constexpr char kGalleryPagesQuery[] =
    "select attachs.ZIDENTIFIER from ZICCLOUDSYNCINGOBJECT as gallery left join "
    "ZICCLOUDSYNCINGOBJECT as attachs on attachs.ZPARENTATTACHMENT = gallery.Z_PK where "
    "gallery.ZIDENTIFIER=?1";
// The media object that holds an attachment's file.
constexpr char kMediaQuery[] =
    "select media.ZIDENTIFIER, media.ZFILENAME from ZICCLOUDSYNCINGOBJECT as a join "
    "ZICCLOUDSYNCINGOBJECT as media on a.ZMEDIA = media.Z_PK where a.ZIDENTIFIER = ?1";
// Preview images, smallest first (a video's thumbnails in that order).
constexpr char kPreviewQuery[] =
    "select preview.ZIDENTIFIER from ZICCLOUDSYNCINGOBJECT as a join ZICCLOUDSYNCINGOBJECT as "
    "preview on preview.ZATTACHMENT = a.Z_PK where a.ZIDENTIFIER = ?1 and preview.ZIDENTIFIER "
    "is not null order by preview.ZHEIGHT";

constexpr char kFilesQuery[] =
    "select relativePath from Files where domain = ?1 and relativePath like ?2 escape '\\' and "
    "flags = 1 order by relativePath";

constexpr int kKindImage = 2;
constexpr int kKindVideo = 4;
constexpr int kKindAudio = 5;
constexpr int kKindOther = 6;

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool EndsWithNoCase(const std::string& text, const char* word) {
  const std::string lower_word = word;
  if (text.size() < lower_word.size()) return false;
  return ToLowerAscii(text.substr(text.size() - lower_word.size())) == lower_word;
}

// Whether the text before a column reference (`before`) and the query after
// it (from `end`) make the reference one item of a select list.
bool IsSelectItem(std::string before, const std::string& sql, size_t end) {
  while (!before.empty() && before.back() == ' ') before.pop_back();
  const bool starts_item = EndsWithNoCase(before, ",") || EndsWithNoCase(before, "select");
  std::string after = ToLowerAscii(sql.substr(end, 6));
  const bool ends_item = after.rfind(",", 0) == 0 || after == " from ";
  return starts_item && ends_item;
}

bool Contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

// `text` as a LIKE pattern that matches only itself (escape '\').
std::string LikeLiteral(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '%' || c == '_' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return ToLowerAscii(path.substr(dot));
}

namespace {

int MediaTypeOfKind(int kind) {
  switch (kind) {
    case kKindImage:
      return 0;
    case kKindVideo:
      return 2;
    case kKindAudio:
      return 1;
    default:
      return 3;
  }
}

void SetFile(Json::Value* item, const char* path_key, const char* backup_key,
             const std::string& path, const std::string& location) {
  Json::Value entry(Json::objectValue);
  entry[path_key] = path;
  entry[backup_key] = location;
  if (!item->isMember(path_key)) {
    (*item)[path_key] = path;
    (*item)[backup_key] = location;
  }
  (*item)["media_items"].append(std::move(entry));
}

}  // namespace

std::string ReadableQuery(const std::string& sql,
                          const std::vector<std::pair<std::string, const TableColumns*>>& aliases,
                          std::set<std::string>* missing) {
  std::string out;
  size_t pos = 0;
  while (pos < sql.size()) {
    bool replaced = false;
    if (pos == 0 || !IsWordChar(sql[pos - 1])) {
      for (const auto& [alias, columns] : aliases) {
        if (sql.compare(pos, alias.size() + 1, alias + ".") != 0) continue;
        size_t end = pos + alias.size() + 1;
        while (end < sql.size() && IsWordChar(sql[end])) ++end;
        const std::string column = sql.substr(pos + alias.size() + 1, end - pos - alias.size() - 1);
        if (!columns->Has(column)) {
          out += column == "is_deleted" ? "0" : "NULL";
          // A whole select item keeps the name it is read under.
          if (IsSelectItem(out.substr(0, out.size() - (column == "is_deleted" ? 1 : 4)), sql,
                           end)) {
            out += " AS " + column;
          }
          missing->insert(column);
        } else {
          out.append(sql, pos, end - pos);
        }
        pos = end;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += sql[pos++];
  }
  return out;
}

bool IsSafePathPart(const std::string& part) {
  return !part.empty() && part != "." && part.find("..") == std::string::npos &&
         part.find('/') == std::string::npos && part.find('\\') == std::string::npos &&
         part.find('\0') == std::string::npos;
}

int AttachmentKind(const std::string& uti) {
  static const char* const kVideoWords[] = {"3gp",   "rm",    "rmvb",  "wmv", "m4v", "mpeg",
                                            "mpeg1", "mpeg2", "mpeg4", "mpg", "mov", "mkv"};
  static const char* const kImageWords[] = {"jpeg", "drawing", "png",  "gif",  "sketch",
                                            "heic", "svg",     "webp", "paper"};
  if (uti == "com.apple.quicktime-movie") return kKindVideo;
  for (const char* word : kVideoWords) {
    if (Contains(uti, word)) return kKindVideo;
  }
  if (uti == "com.apple.m4a-audio") return kKindAudio;
  for (const char* word : kImageWords) {
    if (Contains(uti, word)) return kKindImage;
  }
  return kKindOther;
}

NoteFiles::NoteFiles(const std::string& manifest_path, std::string backup_root, const char* stem)
    : manifest_(manifest_path), backup_root_(std::move(backup_root)) {
  const SourceCheck check = CheckSourceDatabase(&manifest_, OpenMode::kReadOnly);
  open_ = check.ok() && TableColumns(manifest_, "Files").Has("relativePath");
  if (!open_) {
    KX_LOG_AT(kLogProblem, stem, "manifest %s unreadable (%s): attachments not located.",
              manifest_path.c_str(), check.message.c_str());
  }
  std::error_code error;
  if (!backup_root_.empty() && !std::filesystem::is_directory(PathFromUtf8(backup_root_), error)) {
    KX_LOG_AT(kLogProblem, stem, "backup folder %s not found.", backup_root_.c_str());
    backup_root_.clear();
  }
}

std::vector<std::string> NoteFiles::Find(const std::string& domain, const std::string& prefix,
                                         const std::string& suffix) {
  std::vector<std::string> paths;
  if (!open_) return paths;
  SqliteStatement query = PrepareStatement(manifest_, kFilesQuery);
  query.BindText(1, domain);
  query.BindText(2, LikeLiteral(prefix) + "%" + LikeLiteral(suffix));
  while (query.Step() == SQLITE_ROW) paths.push_back(query.ColumnText(0));
  return paths;
}

std::string NoteFiles::Locate(const std::string& domain, const std::string& relative_path) const {
  if (backup_root_.empty()) return std::string();
  return ResolveBackupFile(backup_root_, BackupFileId(domain, relative_path));
}

NoteAttachments::NoteAttachments(const SQLite3Wrapper& store, NoteFiles* files, const char* stem)
    : store_(store), files_(files), columns_(store, kObjectTable), stem_(stem) {}

void NoteAttachments::WriteContents(const std::vector<NoteContentItem>& items,
                                    const std::string& account_id, JsonBufferWriter* writer) {
  writer->BeginArray();
  for (const NoteContentItem& item : items) {
    if (item.type == "2") {
      Json::Value attachment(Json::arrayValue);
      if (AddAttachment(item.data, account_id, nullptr, &attachment)) {
        for (const Json::Value& entry : attachment) WriteJsonValue(entry, writer);
        continue;
      }
    }
    // Text, tables and unknown attachments, members in name order.
    writer->BeginObject();
    writer->Name("content_data");
    writer->String(item.data);
    if (item.type == "3") {
      writer->Name("table_summary");
      writer->String(TableSummary(item.data));
    }
    writer->Name("type");
    writer->String(item.type == "2" ? "6" : item.type);
    writer->EndObject();
  }
  writer->EndArray();
  if (!missing_.empty() && !missing_logged_) {
    std::string names;
    for (const std::string& name : missing_) names += (names.empty() ? "" : ", ") + name;
    KX_LOG_AT(kLogProblem, stem_, "%s has no column %s: read as NULL.", kObjectTable,
              names.c_str());
    missing_logged_ = true;
  }
}

bool NoteAttachments::AddAttachment(const std::string& identifier, const std::string& account_id,
                                    const Json::Value* row_id, Json::Value* contents) {
  SqliteStatement query =
      PrepareStatement(store_, ReadableQuery(kAttachmentQuery, {{"a", &columns_}}, &missing_));
  query.BindText(1, identifier);
  if (query.Step() != SQLITE_ROW) return false;
  const std::string uti = query.ColumnText(0);
  const std::string datetime = query.ColumnText(1);
  query.Finalize();
  if (Contains(uti, "gallery")) {
    AddGallery(identifier, account_id, contents);
    return true;
  }
  const int kind = AttachmentKind(uti);
  Json::Value item(Json::objectValue);
  item["type"] = std::to_string(kind);
  item["content_data"] = identifier;
  item["media_type"] = MediaTypeOfKind(kind);
  if (row_id != nullptr) item["row_id"] = *row_id;
  if (kind == kKindImage || kind == kKindVideo) {
    item["media_items"] = Json::Value(Json::arrayValue);
    AddMediaFiles(identifier, account_id, kind == kKindVideo, datetime, &item);
  }
  contents->append(std::move(item));
  return true;
}

void NoteAttachments::AddGallery(const std::string& identifier, const std::string& account_id,
                                 Json::Value* contents) {
  SqliteStatement title =
      PrepareStatement(store_, ReadableQuery(kGalleryTitleQuery, {{"a", &columns_}}, &missing_));
  title.BindText(1, identifier);
  int row = 0;
  if (title.Step() == SQLITE_ROW && !title.ColumnText(0).empty()) {
    Json::Value item(Json::objectValue);
    item["type"] = "1";
    item["row_id"] = row;
    item["content_data"] = title.ColumnText(0);
    contents->append(std::move(item));
  }
  SqliteStatement pages = PrepareStatement(
      store_, ReadableQuery(kGalleryPagesQuery, {{"gallery", &columns_}, {"attachs", &columns_}},
                            &missing_));
  pages.BindText(1, identifier);
  std::vector<std::string> page_ids;
  while (pages.Step() == SQLITE_ROW) {
    if (pages.ColumnType(0) != SQLITE_NULL) page_ids.push_back(pages.ColumnText(0));
  }
  for (const std::string& page : page_ids) {
    // A gallery that names itself as a page must not recurse.
    if (page == identifier) continue;
    const Json::Value row_id(++row);
    AddAttachment(page, account_id, &row_id, contents);
  }
}

std::vector<std::string> NoteAttachments::FindUnder(const std::string& account_id,
                                                    const std::string& folder,
                                                    const std::string& name,
                                                    const std::string& suffix) {
  if (!IsSafePathPart(name)) return {};
  if (IsSafePathPart(account_id)) {
    std::vector<std::string> found =
        files_->Find(kNotesDomain, "Accounts/" + account_id + "/" + folder + "/" + name, suffix);
    if (!found.empty()) return found;
  }
  return files_->Find(kNotesDomain, folder + "/" + name, suffix);
}

void NoteAttachments::AddMediaFiles(const std::string& identifier, const std::string& account_id,
                                    bool video, const std::string& datetime, Json::Value* item) {
  SqliteStatement media = PrepareStatement(
      store_, ReadableQuery(kMediaQuery, {{"a", &columns_}, {"media", &columns_}}, &missing_));
  media.BindText(1, identifier);
  if (media.Step() == SQLITE_ROW) {
    const std::string media_id = media.ColumnText(0);
    const std::string file_name = media.ColumnText(1);
    if (IsSafePathPart(file_name)) {
      const std::vector<std::string> found = FindUnder(account_id, "Media", media_id, file_name);
      if (!found.empty()) {
        const std::string location = files_->Locate(kNotesDomain, found.front());
        if (video) {
          SetFile(item, "media_video_path", "backup_video_media", found.front(), location);
          (*item)["date_time"] = datetime;
        } else {
          SetFile(item, "media_path", "backup_media", found.front(), location);
        }
      }
    }
  }
  SqliteStatement previews = PrepareStatement(
      store_, ReadableQuery(kPreviewQuery, {{"a", &columns_}, {"preview", &columns_}}, &missing_));
  previews.BindText(1, identifier);
  while (previews.Step() == SQLITE_ROW) {
    for (const std::string& path : FindUnder(account_id, "Previews", previews.ColumnText(0), "")) {
      const std::string extension = LowerExtension(path);
      const std::string location = files_->Locate(kNotesDomain, path);
      if (video) {
        Json::Value thumb(Json::objectValue);
        thumb["media_path"] = path;
        thumb["backup_media"] = location;
        (*item)["video_thumbs"].append(std::move(thumb));
      } else if (extension == ".png") {
        SetFile(item, "media_add_path_png", "backup_add_media_png", path, location);
      } else if (extension == ".jpg" || extension == ".jpeg") {
        SetFile(item, "media_add_path_jpg", "backup_add_media_jpg", path, location);
      }
    }
  }
  for (const std::string& path : FindUnder(account_id, "FallbackImages", identifier, "")) {
    SetFile(item, "media_draw_path", "backup_draw_media", path, files_->Locate(kNotesDomain, path));
  }
}

std::string NoteAttachments::TableSummary(const std::string& identifier) {
  SqliteStatement query =
      PrepareStatement(store_, ReadableQuery(kTableQuery, {{"a", &columns_}}, &missing_));
  query.BindText(1, LikeLiteral(identifier));
  return query.Step() == SQLITE_ROW ? query.ColumnText(0) : std::string();
}

}  // namespace kx
