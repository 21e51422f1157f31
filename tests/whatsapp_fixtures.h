// Fixtures of the WhatsApp tests: message stores built from the
// application's table definitions, and the package step run on them.
// Header only: every test file is its own executable.
#ifndef KX_TESTS_WHATSAPP_FIXTURES_H_
#define KX_TESTS_WHATSAPP_FIXTURES_H_

#include <json/json.h>

#include <atomic>
#include <string>
#include <vector>

#include "android/whatsapp.h"
#include "common/json_util.h"
#include "package_capture.h"
#include "packager/data_type_record.h"
#include "samples/android_whatsapp_schema.h"
#include "test_support.h"

namespace kx::test {

inline std::string NewerLayoutSchema() {
  using namespace kx::samples;
  return std::string(kWhatsAppPropsTable) + kWhatsAppNewerJidTable + kWhatsAppChatTable2023 +
         kWhatsAppMessageTable2023 + kWhatsAppMessageIndexes + kWhatsAppMediaTable2023 +
         kWhatsAppNewerCommonSatellites + kWhatsAppQuotedTables2023 + kWhatsAppQuotedSatellites +
         kWhatsAppLinkTable + kWhatsAppTables2023Only;
}

inline std::string OlderLayoutSchema() {
  return std::string(kx::samples::kWhatsAppPropsTable) + kx::samples::kWhatsAppOlderLayoutTables;
}

// A message store and its older copy. The phone now: restored from a
// backup, so its rows are numbered afresh.
inline std::string MergePhoneRows() { return DataFile("whatsapp/merge_phone_rows.sql"); }
// The older copy, before two messages and a whole chat were deleted; its
// message 3 is another message than the phone's.
inline std::string MergeOlderRows() { return DataFile("whatsapp/merge_older_rows.sql"); }

struct PackageRun {
  int status = -1;
  int calls = 0;
  int result_kind = -1;
  Json::Value document;  // parsed from the callback's text
};

// Runs the package function of `data_type` on `record`, what it handed
// over kept in the shared capture.
inline PackageRun RunWhatsAppPackage(DataTypeRecord* record, int data_type,
                                     std::atomic<int>* stop = nullptr) {
  g_results = CapturedResults();
  PackageRun run;
  record->data_type = data_type;
  run.status = CallPackageFunction(record, CaptureResult, stop);
  run.calls = g_results.count;
  run.result_kind = g_results.kind;
  if (run.calls > 0) run.document = Parsed(g_results.text);
  return run;
}

inline void SetUpRecord(const std::string& store, const std::string& temp, DataTypeRecord* record) {
  record->temp_folder = temp;
  record->primary_files["msg_file_path"] = store;
}

inline std::vector<Json::Value> ChatMessages(const Json::Value& chat) {
  std::vector<Json::Value> messages;
  for (const Json::Value& path : chat["msg_file_list"]) {
    const Json::Value batch = Parsed(ReadFileBytes(path.asString()));
    for (const Json::Value& message : batch) messages.push_back(message);
  }
  return messages;
}

inline Json::Value FindChat(const Json::Value& document, const std::string& jid) {
  for (const Json::Value& chat : document["chat_sessions"]) {
    if (chat["jid"].asString() == jid) return chat;
  }
  return Json::Value();
}

}  // namespace kx::test

#endif  // KX_TESTS_WHATSAPP_FIXTURES_H_
