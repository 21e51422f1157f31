#include "samples/sample_set.h"

#include <filesystem>
#include <functional>
#include <vector>

#include "samples/android_call_log.h"
#include "samples/android_contacts.h"
#include "samples/android_line.h"
#include "samples/android_sample_options.h"
#include "samples/android_telephony.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

struct SampleDatabase {
  const char* file_name;
  std::function<bool(const std::string&, const AndroidSampleOptions&)> write;
};

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
      options.older_copy = older_copy;
      const fs::path path = (older_copy ? older : phone) / database.file_name;
      std::error_code ignored;
      fs::remove(path, ignored);
      if (!database.write(path.u8string(), options)) {
        *error = path.u8string() + ": cannot write sample database";
        return false;
      }
    }
  }
  return true;
}

}  // namespace kx::samples
