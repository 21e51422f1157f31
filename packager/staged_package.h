// The staged packager framework: the parameter block a staged packager is
// made from, the five stages it runs, the storage writer that builds its
// result document, and the names of its numbered detail files.
#ifndef KX_PACKAGER_STAGED_PACKAGE_H_
#define KX_PACKAGER_STAGED_PACKAGE_H_

#include <json/json.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "common/json_util.h"
#include "kxdatapackage.h"

namespace kx {

// What a staged packager is made from: the request's members for its data
// type, the host's callback and the staged stop flag.
struct StagedParameters {
  int data_type = 0;
  std::string temp_folder;  // output folder of the run
  ResultCallback callback = nullptr;
  int result_kind = -1;  // first argument of the callback
  // 2 = stop; read only: only the library's initialisation clears it.
  const std::atomic<int>* staged_stop = nullptr;
  std::string primary_file_path;
  // Calendar (7) only.
  std::string manifest_file_path;
  std::string additional_param;
  std::string config_folder;  // "second_file_objects"."configer_file_path"
  Json::Value second_file_objects;
  std::unordered_map<std::string, std::string> extra;  // never filled by a request
};

// A staged packager. The runner calls the stages in declaration order and
// stops at the first that answers non-zero; each answers a status code.
class AbstractKxDataPackage {
 public:
  virtual ~AbstractKxDataPackage() = default;

  virtual int CheckParam() = 0;
  // Stages the source database into the temp folder and opens the copy.
  virtual int Init() = 0;
  // Folds deleted records in; only the calendar packager has any.
  virtual int MergeDel() { return 0; }
  virtual int AnalyseDatabase() = 0;
  // Hands the result document to the host's callback, once.
  virtual int OutPut() = 0;
};

// The storage writer of a staged packager: it collects the analysed items,
// writes their bulky details into detail files and builds the summary. Only
// ever a member of its packager, so it is never deleted through this base.
class AbstractDataPackageStorage {
 public:
  explicit AbstractDataPackageStorage(std::string output_folder)
      : output_folder_(std::move(output_folder)) {}
  AbstractDataPackageStorage(const AbstractDataPackageStorage&) = delete;
  AbstractDataPackageStorage& operator=(const AbstractDataPackageStorage&) = delete;

  // Fills the caller's `document` with the result document and returns it.
  virtual Json::Value& BuildResultDocument(Json::Value& document) = 0;

  const std::string& output_folder() const { return output_folder_; }

 protected:
  ~AbstractDataPackageStorage() = default;

 private:
  std::string output_folder_;
};

// Detail-file name prefixes, one per kind of item; the files are named
// prefix + counter + ".json".
extern const char kLineDetailPrefix[];
extern const char kCalendarDetailPrefix[];
extern const char kMusicDetailPrefix[];
extern const char kVideoDetailPrefix[];
extern const char kKxPhotoDetailPrefix[];

// True when `staged_stop` asks to stop, and then logs "%s stoped!" with
// `operation`: callers return 1111 at once, so a stop is logged once.
bool StagedStopRequested(const std::atomic<int>* staged_stop, const char* operation);

// The factory a data type's descriptor names for its staged packager.
template <typename Package>
std::unique_ptr<AbstractKxDataPackage> MakeStagedPackage(const StagedParameters& parameters) {
  return std::make_unique<Package>(parameters);
}

}  // namespace kx

#endif  // KX_PACKAGER_STAGED_PACKAGE_H_
