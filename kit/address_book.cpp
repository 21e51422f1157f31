#include "kit/address_book.h"

#include <string>
#include <string_view>

#include "common/log.h"
#include "common/platform.h"
#include "common/side_files.h"
#include "common/status.h"
#include "kit/contact_names.h"

namespace kx {

namespace {

constexpr char kContactValuesSql[] =
    "SELECT First, Last, Middle, value, record_id FROM ABMultiValue LEFT JOIN ABPerson ON "
    "ABPerson.ROWID = ABMultiValue.record_id WHERE ABMultiValue.property = 3 or "
    "ABMultiValue.property =4";
constexpr char kFullSizeImageSql[] = "SELECT data FROM ABFullSizeImage WHERE record_id = ?";
constexpr char kThumbnailImageSql[] = "SELECT data FROM ABThumbnailImage WHERE record_id = ?";
constexpr char kFullSizeSuffix[] = ".jpg";
constexpr char kThumbnailSuffix[] = ".thumb";
constexpr char kContactFileKey[] = "contact_file_path";
constexpr char kContactImageFileKey[] = "contact_image_file_path";

bool WriteWholeFile(const std::string& utf8_path, const void* bytes, int length) {
  return WriteNewFile(utf8_path, std::string_view(static_cast<const char*>(bytes),
                                                  static_cast<size_t>(length)))
      .ok();
}

}  // namespace

int SaveBlobToFile(const SQLite3Wrapper& images_db, const std::string& select_sql,
                   const std::string& suffix, const std::string& folder, int64_t record_id,
                   ContactRecord* record) {
  SqliteStatement query = PrepareStatement(images_db, select_sql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(kSqliteCommonStem, images_db.handle());
    return kStatusPrepareFailed;
  }
  if (query.BindInt64(1, record_id) != SQLITE_OK) {
    KX_LOG_SQLITE_ERROR(kSqliteCommonStem, images_db.handle());
    return kStatusStepFailed;
  }
  if (query.Step() != SQLITE_ROW) return kStatusOk;

  // Written straight from SQLite's buffer: a picture can be large.
  const void* bytes = sqlite3_column_blob(query.handle(), 0);
  const int length = sqlite3_column_bytes(query.handle(), 0);
  if (bytes == nullptr || length <= 0) return kStatusOk;

  const std::string path = SideFilePath(folder, std::to_string(record_id) + suffix);
  // A picture that could not be written is not announced.
  if (!WriteWholeFile(path, bytes, length)) return kStatusOk;
  if (suffix == kFullSizeSuffix) {
    record->picture_path = path;
  } else if (suffix == kThumbnailSuffix) {
    record->thumbnail_path = path;
  }
  return kStatusOk;
}

int BuildContactIndex(const SQLite3Wrapper& address_book, const SQLite3Wrapper& images_db,
                      const std::string& picture_folder, ContactIndex* index) {
  SqliteStatement query = PrepareStatement(address_book, kContactValuesSql);
  if (!query.prepared()) {
    KX_LOG_SQLITE_ERROR(kSqliteCommonStem, address_book.handle());
    return kStatusPrepareFailed;
  }
  const auto read_record = [&](const SqliteStatement& row, ContactRecord* record) {
    record->first_name = row.ColumnText(0);
    record->last_name = row.ColumnText(1);
    record->middle_name = row.ColumnText(2);
    const int64_t record_id = row.ColumnInt64(4);
    SaveBlobToFile(images_db, kFullSizeImageSql, kFullSizeSuffix, picture_folder, record_id,
                   record);
    SaveBlobToFile(images_db, kThumbnailImageSql, kThumbnailSuffix, picture_folder, record_id,
                   record);
    return true;
  };
  // Keyed by the number or address (column 3); the first record of a key
  // stays.
  LoadKeyedMap(query, 3, read_record, index);
  return kStatusOk;
}

ContactIndex LoadAddressBookNames(const DataTypeRecord& record) {
  ContactIndex contacts;
  const std::string* book_path = record.PrimaryFile(kContactFileKey);
  const std::string* images_path = record.PrimaryFile(kContactImageFileKey);
  if (book_path == nullptr || images_path == nullptr) return contacts;
  SQLite3Wrapper book(*book_path);
  SQLite3Wrapper images(*images_path);
  if (book.Open() == SQLITE_OK && images.Open() == SQLITE_OK) {
    BuildContactIndex(book, images, record.temp_folder, &contacts);
  }
  return contacts;
}

std::vector<std::pair<const char*, std::string>> AddressBookMembers(const ContactIndex& contacts,
                                                                    const std::string& key) {
  std::vector<std::pair<const char*, std::string>> members;
  const ContactRecord* person = FindKeyed(contacts, key);
  if (person == nullptr) return members;
  const std::pair<const char*, const std::string*> candidates[] = {
      {"first", &person->first_name},          {"last", &person->last_name},
      {"middle", &person->middle_name},        {"image_path", &person->picture_path},
      {"thumb_path", &person->thumbnail_path},
  };
  for (const auto& [name, value] : candidates) {
    if (!value->empty()) members.emplace_back(name, *value);
  }
  return members;
}

}  // namespace kx
