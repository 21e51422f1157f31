#include "samples/sample_set.h"

#include <filesystem>
#include <functional>
#include <vector>

#include "samples/android_call_log.h"
#include "samples/android_contacts.h"
#include "samples/android_line.h"
#include "samples/android_sample_options.h"
#include "samples/android_telephony.h"
#include "samples/android_whatsapp.h"
#include "samples/ios_backup.h"

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

}  // namespace

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

bool WriteIosSampleSet(const std::string& folder, int scale, std::string* error) {
  IosBackupOptions options;
  options.scale = scale;
  for (const bool older_copy : {false, true}) {
    options.older_copy = older_copy;
    const fs::path root =
        fs::u8path(folder) / (older_copy ? kSampleIosOlderFolder : kSampleIosFolder);
    if (!WriteIosBackup(root.u8string(), options, error)) return false;
  }
  return true;
}

bool WriteSampleSet(const std::string& folder, int scale, std::string* error) {
  return WriteAndroidSampleSet(folder, scale, error) && WriteIosSampleSet(folder, scale, error);
}

}  // namespace kx::samples
