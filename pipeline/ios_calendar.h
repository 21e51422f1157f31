// The staged packager of the iOS calendar (data type 7): merges further
// copies of Calendar.sqlitedb into the staged one by their unique keys,
// reads every event with its calendar, place, participants and attachments
// (located through the backup's Manifest.db) and writes the events into
// detail files; the result document (result kind 6) lists the files.
#ifndef KX_PIPELINE_IOS_CALENDAR_H_
#define KX_PIPELINE_IOS_CALENDAR_H_

#include <json/json.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "common/file_queue.h"
#include "common/sqlite_wrapper.h"
#include "packager/staged_package.h"
#include "pipeline/ios_calendar_storage.h"

namespace kx {

class IosCalendarKxDataPackage : public AbstractKxDataPackage {
 public:
  explicit IosCalendarKxDataPackage(const StagedParameters& parameters);
  ~IosCalendarKxDataPackage() override;

  int CheckParam() override;
  int Init() override;
  int MergeDel() override;
  int AnalyseDatabase() override;
  int OutPut() override;

 private:
  // Stages `source` into the temp folder (as `copy_name` when given) and
  // opens the copy; 1105 (logged) when it is no database.
  int StageAndOpen(const std::string& source, const std::string& copy_name,
                   std::unique_ptr<SQLite3Wrapper>* db);
  int OpenStaged(const std::string& staged_path, std::unique_ptr<SQLite3Wrapper>* db);
  bool Stopped() const;

  std::string temp_folder_;
  ResultCallback callback_;
  int result_kind_;
  const std::atomic<int>* staged_stop_;
  std::string calendar_file_path_;
  std::string manifest_file_path_;
  std::string additional_param_;  // the backup folder
  std::string config_folder_;
  Json::Value second_file_objects_;
  std::map<std::string, FileQueue> queues_;  // by member of "second_file_objects"
  IosCalendarKxDataPackageStorage storage_;
  std::unique_ptr<SQLite3Wrapper> calendar_db_;
  std::unique_ptr<SQLite3Wrapper> manifest_db_;
};

}  // namespace kx

#endif  // KX_PIPELINE_IOS_CALENDAR_H_
