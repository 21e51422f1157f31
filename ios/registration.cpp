#include "ios/registration.h"

#include "ios/books.h"
#include "ios/call_history.h"
#include "ios/contacts.h"
#include "ios/messages.h"
#include "ios/notes.h"
#include "ios/photos.h"
#include "ios/reminders.h"
#include "ios/safari_bookmarks.h"
#include "ios/safari_history.h"
#include "ios/voice_memos.h"
#include "ios/voicemail.h"

namespace kx {

namespace {

// Names, queues and result kinds of the iOS system data types; each row gets
// its filter and package functions as its packager is built.
// clang-format off
// data type, packager name, filter name, log stem, filter, package, queues, result kind
const DataTypeEntry kDataTypes[] = {
    {5, "IOSSafariDataPackage", "IOSSafariDataFilter", "iossafaridatapackage", IosSafariDataFilter, IosSafariDataPackage, {"safari_files_path", nullptr}, 4},
    {6, "IOSSafariHisDataPackage", "IOSSafariHisDataFilter", "iossafarihisdatapackage", IosSafariHisDataFilter, IosSafariHisDataPackage, {"safariHis_files_path", nullptr}, 5},
    // The calendar (7) is registered with the pipeline packagers that share
    // its reading.
    {8, "IOSReminderDataPackage", "IOSReminderDataFilter", "iosreminderdatapackage", IosReminderDataFilter, IosReminderDataPackage, {"reminder_files_path", nullptr}, 7},
    {9, "IOSNoteDataPackage", "IOSNoteDataFilter", "iosnotedatapackage", IosNoteDataFilter, IosNoteDataPackage, {"icloud_note_files_path", "other_note_files_path"}, 8},
    // The notes of other accounts travel with data type 9.
    {10, "", "", "", nullptr, nullptr, {"other_note_files_path", nullptr}, -1},
    {11, "IOSContactDataPackage", "IOSContactDataFilter", "ioscontactdatapackage", IosContactDataFilter, IosContactDataPackage, {"contact_files_path", nullptr}, 1},
    {12, "IOSSMSDataPackage", "IOSSMSDataFilter", "iossmsdatapackage", IosSmsDataFilter, IosSmsDataPackage, {"sms_files_path", nullptr}, 2},
    {13, "IOSCallhistoryDataPackage", "IOSCallhistoryDataFilter", "ioscallhistorydatapackage", IosCallhistoryDataFilter, IosCallhistoryDataPackage, {"call_files_path", nullptr}, 3},
    {16, "IOSPhotoDataPackage", "", "iosphotodatapackage", nullptr, IosPhotoDataPackage, {nullptr, nullptr}, 11},
    {20, "IOSVoiceMailDataPackage", "", "iosvoicemaildatapackage", nullptr, IosVoiceMailDataPackage, {nullptr, nullptr}, 15},
    {21, "IOSVoiceMemosDataPackage", "", "iosvoicememosdatapackage", nullptr, IosVoiceMemosDataPackage, {nullptr, nullptr}, 16},
    {22, "IOSiBookDataPackage", "", "iosibookdatapackage", nullptr, IosBookDataPackage, {nullptr, nullptr}, 17},
};
// clang-format on

}  // namespace

DataTypeRows IosDataTypes() { return RowsOf(kDataTypes); }

}  // namespace kx
