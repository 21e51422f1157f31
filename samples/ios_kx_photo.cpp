#include "samples/ios_kx_photo.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "samples/android_sample_sqlite.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

constexpr char kPhotoV1[] =
    "CREATE TABLE PhotoInfo (ID TEXT PRIMARY KEY, Filename TEXT, Size TEXT, Datetime TEXT, "
    "AlbumTypes TEXT, PhotoType TEXT);"
    "CREATE TABLE AlbumAsset (PhotoID TEXT, AlbumUUID TEXT);"
    "CREATE TABLE AlbumInfo (ID INTEGER PRIMARY KEY, Title TEXT, Type INTEGER, UUID TEXT);";
constexpr char kPhotoV2[] =
    "CREATE TABLE PhotoInfo (ID TEXT PRIMARY KEY, Filename TEXT, Title TEXT, Size TEXT, "
    "Datetime TEXT, AlbumTypes TEXT, PhotoType TEXT, UniformType TEXT);"
    "CREATE TABLE AlbumAsset (PhotoID TEXT, AlbumUUID TEXT);"
    "CREATE TABLE AlbumInfo (ID INTEGER PRIMARY KEY, Title TEXT, Type INTEGER, UUID TEXT);";

struct Photo {
  int id;
  const char* file_name;  // relative to Photos; "" for a photo without a file
  const char* title;
  const char* album_types;
  int photo_type;
};

constexpr Photo kPhotos[] = {
    {1, "IMG_0001.JPG", "Beach", "1", 1},
    {2, "IMG_0002.HEIC", "Sunset", "3", 1},
    {3, "2024/IMG_0003.MOV", "Waves", "", 2},
    {4, "IMG_0004.PNG", "Screenshot", "2", 1},
    {5, "", "Lost", "1", 1},
};

bool WriteFile(const fs::path& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

bool WriteRows(sqlite3* db, int version, const IosSampleOptions& options, const fs::path& photos) {
  SampleStatement insert(db, version >= 2
                                 ? "INSERT INTO PhotoInfo (ID, Filename, Size, Datetime, "
                                   "AlbumTypes, PhotoType, Title, UniformType) VALUES (?, ?, ?, "
                                   "?, ?, ?, ?, '1')"
                                 : "INSERT INTO PhotoInfo (ID, Filename, Size, Datetime, "
                                   "AlbumTypes, PhotoType) VALUES (?, ?, ?, ?, ?, ?)");
  if (!insert.prepared()) return false;
  const auto add = [&](int id, const std::string& file_name, const char* title,
                       const char* album_types, int photo_type) {
    const std::string bytes = "photo " + std::to_string(id);
    insert.BindText(1, std::to_string(id));
    insert.BindText(2, file_name);
    insert.BindText(3, std::to_string(bytes.size()));
    insert.BindText(4, std::to_string(1704103200 + id * 60));
    insert.BindText(5, album_types);
    insert.BindText(6, std::to_string(photo_type));
    if (version >= 2) insert.BindText(7, title);
    const bool ok = insert.Step() == SQLITE_DONE;
    insert.Reset();
    if (!ok) return false;
    if (file_name.empty()) return true;
    return WriteFile(photos / fs::u8path(file_name), bytes) &&
           WriteFile(photos / "thumb" / fs::u8path(file_name + ".jpg"), "thumb " + bytes);
  };
  for (const Photo& photo : kPhotos) {
    if (!add(photo.id, photo.file_name, photo.title, photo.album_types, photo.photo_type)) {
      return false;
    }
  }
  for (int more = 0; more < (options.scale - 1) * 20; ++more) {
    const int id = 100 + more;
    if (!add(id, "IMG_" + std::to_string(id) + ".JPG", "", "1", 1)) return false;
  }
  return true;
}

}  // namespace

std::string IosKxPhotoSql(int schema_version) { return schema_version == 1 ? kPhotoV1 : kPhotoV2; }

bool WriteIosKxPhoto(const std::string& folder, const IosSampleOptions& options) {
  const fs::path root = fs::u8path(folder);
  std::error_code error;
  fs::create_directories(root / "Photos", error);
  SampleDatabase db((root / kIosKxPhotoDatabaseName).u8string());
  const int version =
      options.schema_version == 0 ? kIosKxPhotoNewestSchema : options.schema_version;
  if (!db.is_open() || !db.Exec(IosKxPhotoSql(version).c_str())) return false;
  if (!WriteRows(db.handle(), version, options, root / "Photos")) return false;
  if (!db.Exec("INSERT INTO AlbumInfo VALUES (1, 'Holidays', 2, "
               "'6F1C2A4E-0000-4000-8000-000000000001'), (2, 'Screenshots', 5, "
               "'6F1C2A4E-0000-4000-8000-000000000002');"
               "INSERT INTO AlbumAsset VALUES ('1', '6F1C2A4E-0000-4000-8000-000000000001'), "
               "('3', '6F1C2A4E-0000-4000-8000-000000000001'), "
               "('4', '6F1C2A4E-0000-4000-8000-000000000002');")) {
    return false;
  }
  return db.Close();
}

}  // namespace kx::samples
