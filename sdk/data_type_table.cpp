#include "sdk/data_type_table.h"

#include "android/call_history.h"
#include "android/contacts.h"
#include "android/sms.h"
#include "android/whatsapp.h"

namespace kx {

namespace {

// Rows whose filter or package slot is null have no such function, or theirs
// is not built yet; the dispatcher never calls a null slot.
const DataTypeEntry kDataTypes[kDataTypeCount] = {
    /* 0 */ {"WhatsAppDataPackage",
             "whatsappdatapackage",
             WhatsAppDataFilter,
             WhatsAppDataPackage,
             {"msg_files_path", "wa_files_path"},
             20},
    /* 1 */ {"", "", nullptr, nullptr, {"wa_files_path", nullptr}, -1},
    /* 2 */
    {"AndroidContactDataPackage",
     "androidcontactdatapackge",
     AndroidContactDataFilter,
     AndroidContactDataPackage,
     {"contact_files_path", nullptr},
     0},
    /* 3 */
    {"AndroidCallhistoryDataPackage",
     "androidcallhistorydatapackage",
     AndroidCallhistoryDataFilter,
     AndroidCallhistoryDataPackage,
     {"callhistory_files_path", nullptr},
     0},
    /* 4 */
    {"AndroidSmsDataPackage",
     "androidsmsdatapackage",
     AndroidSmsDataFilter,
     AndroidSmsDataPackage,
     {"sms_files_path", nullptr},
     0},
    /* 5 */
    {"IOSSafariDataPackage",
     "iossafaridatapackage",
     nullptr,
     nullptr,
     {"safari_files_path", nullptr},
     4},
    /* 6 */
    {"IOSSafariHisDataPackage",
     "iossafarihisdatapackage",
     nullptr,
     nullptr,
     {"safariHis_files_path", nullptr},
     5},
    /* 7 */
    {"IOSCalendarDataPackage",
     "ioscalendardatapackage",
     nullptr,
     nullptr,
     {"calendar_files_path", nullptr},
     6},
    /* 8 */
    {"IOSReminderDataPackage",
     "iosreminderdatapackage",
     nullptr,
     nullptr,
     {"reminder_files_path", nullptr},
     7},
    /* 9 */
    {"IOSNoteDataPackage",
     "iosnotedatapackage",
     nullptr,
     nullptr,
     {"icloud_note_files_path", "other_note_files_path"},
     8},
    /* 10 */ {"", "", nullptr, nullptr, {"other_note_files_path", nullptr}, -1},
    /* 11 */
    {"IOSContactDataPackage",
     "ioscontactdatapackage",
     nullptr,
     nullptr,
     {"contact_files_path", nullptr},
     1},
    /* 12 */
    {"IOSSMSDataPackage", "iossmsdatapackage", nullptr, nullptr, {"sms_files_path", nullptr}, 2},
    /* 13 */
    {"IOSCallhistoryDataPackage",
     "ioscallhistorydatapackage",
     nullptr,
     nullptr,
     {"call_files_path", nullptr},
     3},
    /* 14 */
    {"IOSWhatsAppDataPackage", "ioswhatsappdatapackage", nullptr, nullptr, {nullptr, nullptr}, 12},
    /* 15 */ {"IOSLineDataPackage", "ioslinedatapackage", nullptr, nullptr, {nullptr, nullptr}, 10},
    /* 16 */
    {"IOSPhotoDataPackage", "iosphotodatapackage", nullptr, nullptr, {nullptr, nullptr}, 11},
    /* 17 */ {"IOSKikDataPackage", "ioskikdatapackage", nullptr, nullptr, {nullptr, nullptr}, 9},
    /* 18 */
    {"IOSViberDataPackage", "iosviberdatapackage", nullptr, nullptr, {nullptr, nullptr}, 13},
    /* 19 */
    {"IOSWechatDataPackage", "ioswechatdatapackage", nullptr, nullptr, {nullptr, nullptr}, 14},
    /* 20 */
    {"IOSVoiceMailDataPackage",
     "iosvoicemaildatapackage",
     nullptr,
     nullptr,
     {nullptr, nullptr},
     15},
    /* 21 */
    {"IOSVoiceMemosDataPackage",
     "iosvoicememosdatapackage",
     nullptr,
     nullptr,
     {nullptr, nullptr},
     16},
    /* 22 */
    {"IOSiBookDataPackage", "iosibookdatapackage", nullptr, nullptr, {nullptr, nullptr}, 17},
    /* 23 */
    {"IOSMessengerDataPackage",
     "iosmessengerdatapackage",
     nullptr,
     nullptr,
     {nullptr, nullptr},
     18},
    /* 24 */
    {"IOSWhatsAppBusinessDataPackge",
     "ioswhatsappdatapackage",
     nullptr,
     nullptr,
     {nullptr, nullptr},
     19},
    /* 25 */
    {"WhatsAppBusinessDataPackage",
     "whatsappdatapackage",
     nullptr,
     WhatsAppBusinessDataPackage,
     {nullptr, nullptr},
     21},
    /* 26 */
    {"IOSMusicDataPackage", "iosmusicdatapackage", nullptr, nullptr, {nullptr, nullptr}, 23},
    /* 27 */
    {"IOSVideoDataPackage", "iosvideodatapackage", nullptr, nullptr, {nullptr, nullptr}, 24},
    /* 28 */
    {"IOSKxPhotoDataPackage", "ioskxphotodatapackage", nullptr, nullptr, {nullptr, nullptr}, 25},
    /* 29 */ {"", "", nullptr, nullptr, {nullptr, nullptr}, -1},
};

// Test doubles of single rows; written only while no call runs.
const DataTypeEntry* g_overrides[kDataTypeCount] = {};

}  // namespace

const DataTypeEntry* FindDataType(int data_type) {
  if (data_type < 0 || data_type >= kDataTypeCount) return nullptr;
  if (g_overrides[data_type] != nullptr) return g_overrides[data_type];
  return &kDataTypes[data_type];
}

void OverrideDataTypeForTesting(int data_type, const DataTypeEntry* entry) {
  if (data_type >= 0 && data_type < kDataTypeCount) g_overrides[data_type] = entry;
}

bool SecondFilesEmpty(DataTypeRecord& record) {
  const DataTypeEntry* entry = FindDataType(record.data_type);
  if (entry == nullptr) return true;
  for (const char* key : entry->second_keys) {
    if (key == nullptr) continue;
    FileQueue* queue = record.SecondFiles(key);
    if (queue != nullptr && !queue->Empty()) return false;
  }
  return true;
}

}  // namespace kx
