#include "samples/sample_set.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <vector>

#include "samples/android_backup_file.h"
#include "samples/android_call_log.h"
#include "samples/android_contacts.h"
#include "samples/android_line.h"
#include "samples/android_sample_options.h"
#include "samples/android_telephony.h"
#include "samples/android_whatsapp.h"
#include "samples/ios_backup.h"
#include "samples/ios_encrypted_backup.h"
#include "samples/ios_kx_photo.h"
#include "samples/ios_mbdb_backup.h"
#include "samples/ios_media_library.h"
#include "samples/ios_old_call_history.h"
#include "samples/ios_old_messages.h"
#include "samples/ios_older_stores.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

struct SampleDatabase {
  const char* file_name;  // below the phone's folder; may name sub-folders
  std::function<bool(const std::string&, const AndroidSampleOptions&)> write;
  bool has_older_copy = true;
};

bool WriteWhatsAppBusinessStore(const std::string& path, const AndroidSampleOptions& options) {
  WhatsAppStoreShape shape;
  shape.business = true;
  return WriteWhatsAppMessageStore(path, options, shape);
}

const std::vector<SampleDatabase>& SampleDatabases() {
  static const std::vector<SampleDatabase> databases = {
      {"calllog.db", WriteAndroidCallLog},
      {"mmssms.db", WriteAndroidTelephony},
      {"contacts2.db",
       [](const std::string& path, const AndroidSampleOptions& options) {
         return WriteAndroidContacts(path, options);
       }},
      {kAndroidLineDatabaseName,
       [](const std::string& path, const AndroidSampleOptions& options) {
         return WriteAndroidLineDatabase(path, options);
       }},
      {"msgstore.db",
       [](const std::string& path, const AndroidSampleOptions& options) {
         return WriteWhatsAppMessageStore(path, options);
       }},
      {"wa.db", WriteWhatsAppContacts},
      // The Business application keeps a store of the same name in its own
      // folder.
      {"com.whatsapp.w4b/databases/msgstore.db", WriteWhatsAppBusinessStore, false},
  };
  return databases;
}

bool MakeFolder(const fs::path& folder, std::string* error) {
  std::error_code code;
  fs::create_directories(folder, code);
  if (code) *error = folder.u8string() + ": cannot create folder (" + code.message() + ")";
  return !code;
}

// A JSON string of `text` (paths: quotes, backslashes and control bytes
// escaped).
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      quoted += "\\u00";
      quoted += kHex[(c >> 4) & 0xF];
      quoted += kHex[c & 0xF];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// One host request: data type, its primary files, the folder the packager
// reads files under, members of "other_info", and a temp folder of its own.
bool WriteRequest(const fs::path& host, const std::string& name, int data_type,
                  const std::vector<std::pair<std::string, fs::path>>& primaries,
                  const fs::path& additional,
                  const std::vector<std::pair<std::string, std::string>>& other_info,
                  std::string* error) {
  const fs::path temp = host / "temp" / name;
  if (!MakeFolder(temp, error) || !MakeFolder(host / "requests", error)) return false;
  const fs::path path = host / "requests" / (name + ".json");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "{\n  \"package_type\": " << data_type
      << ",\n  \"temp_folder\": " << JsonString(fs::absolute(temp).u8string())
      << ",\n  \"primary_file_object\": {";
  for (size_t i = 0; i < primaries.size(); ++i) {
    out << (i == 0 ? "" : ", ") << JsonString(primaries[i].first) << ": "
        << JsonString(fs::absolute(primaries[i].second).u8string());
  }
  out << "},\n  \"addtional_param\": " << JsonString(fs::absolute(additional).u8string());
  if (!other_info.empty()) {
    out << ",\n  \"other_info\": {";
    for (size_t i = 0; i < other_info.size(); ++i) {
      out << (i == 0 ? "" : ", ") << JsonString(other_info[i].first) << ": "
          << JsonString(other_info[i].second);
    }
    out << "}";
  }
  out << "\n}\n";
  if (!out) *error = path.u8string() + ": cannot write the request";
  return static_cast<bool>(out);
}

bool WriteRequest(const fs::path& host, const std::string& name, int data_type,
                  const std::string& primary_key, const fs::path& primary,
                  const fs::path& additional, std::string* error) {
  return WriteRequest(host, name, data_type, {{primary_key, primary}}, additional, {}, error);
}

// The stores of older phones, each with its request document.
bool WriteOlderIosStoreRequests(const fs::path& host, const fs::path& backup, int scale,
                                std::string* error) {
  IosOlderStores stores;
  if (!WriteIosOlderStores((host / "older").u8string(), scale, &stores, error)) return false;
  return WriteRequest(host, "ios_reminders_calendar", 8, "reminder_file_path",
                      fs::u8path(stores.calendar), backup, error) &&
         WriteRequest(host, "ios_voice_memos_recordings", 21,
                      {{"voice_memos_file_path", fs::u8path(stores.recordings)}}, backup,
                      {{"has_sub_dir", "1"}, {"is_voice_memos_folder", "0"}}, error) &&
         WriteRequest(host, "ios_notes_locking_store", 9,
                      {{"icloud_note_file_path", fs::u8path(stores.note_store)},
                       {"manifest_file_path", backup / "Manifest.db"}},
                      backup, {}, error);
}

}  // namespace

bool WriteIosHostSampleSet(const std::string& folder, int scale, std::string* error) {
  const fs::path host = fs::u8path(folder) / kSampleIosHostFolder;
  const fs::path photos = host / "kxphoto";
  const fs::path media = host / "media";
  if (!MakeFolder(photos, error) || !MakeFolder(media, error)) return false;
  IosSampleOptions options;
  options.scale = scale;
  if (!WriteIosKxPhoto(photos.u8string(), options)) {
    *error = photos.u8string() + ": cannot write the Kx photo database";
    return false;
  }
  for (const bool videos : {false, true}) {
    const fs::path path = media / (videos ? "video.db" : "music.db");
    if (!WriteIosMediaIndex(path.u8string(), videos, options)) {
      *error = path.u8string() + ": cannot write the media database";
      return false;
    }
  }
  // Stores of older phones, which a host hands over as they are.
  const fs::path older = host / "older";
  if (!MakeFolder(older, error) || !WriteIosOldMessages((older / "sms.db").u8string(), options) ||
      !WriteIosOldCallHistory((older / "call_history.db").u8string(), options)) {
    if (error->empty()) *error = older.u8string() + ": cannot write the older stores";
    return false;
  }
  // The media folders the file names are read under: the backup beside.
  const fs::path backup = fs::u8path(folder) / kSampleIosFolder;
  return WriteRequest(host, "ios_messages_ios5", 12, "sms_file_path", older / "sms.db", backup,
                      error) &&
         WriteRequest(host, "ios_call_history_ios7", 13, "call_file_path",
                      older / "call_history.db", backup, error) &&
         WriteRequest(host, "ios_music", 26, "music_file_path", media / "music.db", backup,
                      error) &&
         WriteRequest(host, "ios_video", 27, "video_file_path", media / "video.db", backup,
                      error) &&
         WriteRequest(host, "ios_kx_photos", 28, "photo_file_path",
                      photos / kIosKxPhotoDatabaseName, photos, error) &&
         WriteOlderIosStoreRequests(host, backup, scale, error);
}

bool WriteAndroidSampleSet(const std::string& folder, int scale, std::string* error) {
  const fs::path phone = fs::u8path(folder) / kSampleAndroidFolder;
  const fs::path older = fs::u8path(folder) / kSampleOlderFolder;
  if (!MakeFolder(phone, error) || !MakeFolder(older, error)) return false;
  for (const SampleDatabase& database : SampleDatabases()) {
    AndroidSampleOptions options;
    options.scale = scale;
    for (const bool older_copy : {false, true}) {
      if (older_copy && !database.has_older_copy) continue;
      options.older_copy = older_copy;
      const fs::path path = (older_copy ? older : phone) / fs::u8path(database.file_name);
      if (!MakeFolder(path.parent_path(), error)) return false;
      std::error_code ignored;
      fs::remove(path, ignored);
      if (!database.write(path.u8string(), options)) {
        *error = path.u8string() + ": cannot write sample database";
        return false;
      }
    }
  }
  // The WhatsApp owner's number and avatars, where a phone keeps them.
  AndroidSampleOptions options;
  options.scale = scale;
  if (!WriteWhatsAppPrivateFiles(phone.u8string(), options)) {
    *error = phone.u8string() + ": cannot write the WhatsApp private files";
    return false;
  }
  return true;
}

namespace {

// The iOS 6 backups: the stores in their oldest schemas, catalogued by
// Manifest.mbdb. They show the format, so they stay small whatever the
// scale of the rest.
bool WriteIos6SampleSet(const std::string& folder, std::string* error) {
  IosBackupOptions options;
  options.seed = 6;
  options.call_history_schema = kIosCallHistoryOldestSchema;
  options.address_book_schema = kIosAddressBookOldestSchema;
  options.messages_schema = kIosMessagesOldestSchema;
  const fs::path scratch = fs::u8path(folder) / "ios6-current-layout";
  MbdbBackupOptions mbdb;
  const fs::path password = fs::u8path(folder) / kSampleIos6PasswordFile;
  bool written =
      WriteIosBackup(scratch.u8string(), options, error) &&
      WriteIosMbdbBackup(scratch.u8string(), (fs::u8path(folder) / kSampleIos6Folder).u8string(),
                         mbdb, error);
  mbdb.password = kSampleIos6Password;
  written =
      written &&
      WriteIosMbdbBackup(scratch.u8string(),
                         (fs::u8path(folder) / kSampleIos6EncryptedFolder).u8string(), mbdb, error);
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  if (!written) return false;
  std::ofstream out(password, std::ios::binary | std::ios::trunc);
  out << kSampleIos6Password << "\n";
  if (!out) *error = password.u8string() + ": cannot write";
  return static_cast<bool>(out);
}

}  // namespace

bool WriteIosSampleSet(const std::string& folder, int scale, std::string* error) {
  IosBackupOptions options;
  options.scale = scale;
  for (const bool older_copy : {false, true}) {
    options.older_copy = older_copy;
    const fs::path root =
        fs::u8path(folder) / (older_copy ? kSampleIosOlderFolder : kSampleIosFolder);
    if (!WriteIosBackup(root.u8string(), options, error)) return false;
  }
  // Most backups people have are encrypted: the same phone's, so that its
  // packages can be compared with the plain backup's.
  const fs::path plain = fs::u8path(folder) / kSampleIosFolder;
  const fs::path encrypted = fs::u8path(folder) / kSampleIosEncryptedFolder;
  const fs::path password = fs::u8path(folder) / kSampleIosPasswordFile;
  if (!EncryptIosBackup(plain.u8string(), encrypted.u8string(), kSampleIosPassword, {}, error)) {
    return false;
  }
  std::ofstream out(password, std::ios::binary | std::ios::trunc);
  out << kSampleIosPassword << "\n";
  if (!out) {
    *error = password.u8string() + ": cannot write";
    return false;
  }
  return WriteIos6SampleSet(folder, error);
}

bool WriteAndroidBackupFiles(const std::string& folder, std::string* error) {
  const fs::path phone = fs::u8path(folder) / kSampleAndroidFolder;
  AndroidBackupFileOptions options;
  if (!WriteAndroidBackupFile(phone.u8string(),
                              (fs::u8path(folder) / kSampleAndroidBackupFile).u8string(), options,
                              error)) {
    return false;
  }
  options.password = kSampleAndroidBackupPassword;
  if (!WriteAndroidBackupFile(phone.u8string(),
                              (fs::u8path(folder) / kSampleAndroidEncryptedBackupFile).u8string(),
                              options, error)) {
    return false;
  }
  const fs::path password = fs::u8path(folder) / kSampleAndroidBackupPasswordFile;
  std::ofstream out(password, std::ios::binary | std::ios::trunc);
  out << kSampleAndroidBackupPassword << "\n";
  if (!out) *error = password.u8string() + ": cannot write";
  return static_cast<bool>(out);
}

bool WriteSampleSet(const std::string& folder, int scale, std::string* error) {
  return WriteAndroidSampleSet(folder, scale, error) && WriteAndroidBackupFiles(folder, error) &&
         WriteIosSampleSet(folder, scale, error) && WriteIosHostSampleSet(folder, scale, error);
}

}  // namespace kx::samples
