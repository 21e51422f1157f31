#include "ios/voicemail.h"

#include <string>
#include <vector>

#include "common/json_util.h"
#include "common/log.h"
#include "common/result_row.h"
#include "common/select_list.h"
#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "ios/recording_files.h"
#include "kit/address_book.h"
#include "kit/backup_inputs.h"
#include "kit/date_sql.h"
#include "packager/package_steps.h"

namespace kx {

namespace {

constexpr char kVoicemailFileKey[] = "voice_mail_file_path";
constexpr char kMissingInput[] = "No primary file.";

constexpr char kVoicemailTable[] = "voicemail";
constexpr char kHomeDomain[] = "HomeDomain";
constexpr char kAudioFolder[] = "Library/Voicemail/";
constexpr char kAudioExtension[] = ".amr";

// Every voicemail.db from iOS 6 on has these columns; a store that lacks
// one still gives its other columns. `date` counts from 1970 here, unlike
// the phone's other stores.
const std::vector<SelectedColumn> kVoicemailColumns = {
    {"ROWID", nullptr},
    {KX_LOCAL_DATE_OF_UNIX_SQL("date"), "datetime", "date"},
    {"duration", nullptr},
    {"sender", nullptr},
};

// What the package step needs besides the voicemail database itself.
struct VoicemailInputs {
  std::string backup_root;
  bool two_level = false;
};

bool ReadInputs(const DataTypeRecord& record, const char* stem, VoicemailInputs* inputs) {
  const bool present = record.PrimaryFile("contact_file_path") != nullptr &&
                       record.PrimaryFile("contact_image_file_path") != nullptr &&
                       ReadOtherInfoFlag(record, kSubDirKey, &inputs->two_level) &&
                       !record.additional_param.empty();
  if (!present) KX_LOG_AT(kLogError, stem, "%s", kMissingInput);
  inputs->backup_root = record.additional_param;
  return present;
}

// The query over what this store's voicemail table has; "" when it has
// no such table.
std::string VoicemailQuery(const SQLite3Wrapper& db, const char* stem) {
  const TableColumns columns(db, kVoicemailTable);
  if (!columns.exists()) return std::string();
  std::string missing;
  const std::string list = columns.SelectList(kVoicemailColumns, &missing);
  if (!missing.empty()) {
    KX_LOG_AT(kLogProblem, stem, "%s has no column %s: read as NULL.", kVoicemailTable,
              missing.c_str());
  }
  return std::string("SELECT ") + list + " FROM " + kVoicemailTable;
}

Json::Value VoicemailItem(const SqliteStatement& row, const ContactIndex& contacts,
                          const VoicemailInputs& inputs) {
  Json::Value item(Json::objectValue);
  ReadRowIntoJson(row, &item);
  const int64_t row_id = row.ColumnInt64(0);
  if (row_id != 0) {
    item["media_backup"] =
        FileInBackup(inputs.backup_root, kHomeDomain,
                     kAudioFolder + std::to_string(row_id) + kAudioExtension, inputs.two_level);
  }
  const Json::Value sender = item.get("sender", Json::Value());
  if (sender.isString()) {
    for (auto& [name, value] : AddressBookMembers(contacts, sender.asString())) {
      item[name] = std::move(value);
    }
  }
  return item;
}

}  // namespace

int IosVoiceMailDataPackage(DataTypeRecord* record, const PackageContext& context) {
  const std::string* voicemail_path =
      BeginPackage(*record, context, kVoicemailFileKey, kMissingInput);
  VoicemailInputs inputs;
  if (voicemail_path == nullptr || !ReadInputs(*record, context.stem, &inputs)) {
    return kStatusMissingInput;
  }
  const ContactIndex contacts = LoadAddressBookNames(*record);
  PackageSource db(*voicemail_path, context);
  if (db.status() != kStatusOk) return db.status();
  const std::string query_text = VoicemailQuery(db, context.stem);
  if (query_text.empty()) {
    KX_LOG_AT(kLogError, context.stem, "sqlite error message : no such table: %s.",
              kVoicemailTable);
    return kStatusPrepareFailed;
  }

  Json::Value items(Json::arrayValue);
  {
    const ReadTransaction transaction(db);
    SqliteStatement query = PrepareStatement(db, query_text);
    if (!query.prepared()) {
      KX_LOG_SQLITE_ERROR(context.stem, db.handle());
      return kStatusPrepareFailed;
    }
    while (query.Step() == SQLITE_ROW) {
      if (context.StopRequested()) return PackageStopped(context);
      items.append(VoicemailItem(query, contacts, inputs));
    }
  }
  Json::Value document(Json::objectValue);
  document["size"] = items.size();
  document["voice_mail_items"] = std::move(items);
  return FinishPackage(db, context, WriteJson(document));
}

}  // namespace kx
