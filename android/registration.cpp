#include "android/registration.h"

#include "android/call_history.h"
#include "android/contacts.h"
#include "android/ios_whatsapp.h"
#include "android/sms.h"
#include "android/whatsapp.h"

namespace kx {

namespace {

// Rows whose filter or package slot is null have no such function.
// clang-format off
// data type, packager name, filter name, log stem, filter, package, queues, result kind
const DataTypeEntry kDataTypes[] = {
    {0, "WhatsAppDataPackage", "WhatsAppDataFilter", "whatsappdatapackage", WhatsAppDataFilter, WhatsAppDataPackage, {"msg_files_path", "wa_files_path"}, 20},
    // The WhatsApp contacts database travels with data type 0.
    {1, "", "", "", nullptr, nullptr, {"wa_files_path", nullptr}, -1},
    {2, "AndroidContactDataPackage", "AndroidContactDataFilter", "androidcontactdatapackge", AndroidContactDataFilter, AndroidContactDataPackage, {"contact_files_path", nullptr}, 0},
    {3, "AndroidCallhistoryDataPackage", "AndroidCallhistoryDataFilter", "androidcallhistorydatapackage", AndroidCallhistoryDataFilter, AndroidCallhistoryDataPackage, {"callhistory_files_path", nullptr}, 0},
    {4, "AndroidSmsDataPackage", "AndroidSmsDataFilter", "androidsmsdatapackage", AndroidSmsDataFilter, AndroidSmsDataPackage, {"sms_files_path", nullptr}, 0},
    {14, "IOSWhatsAppDataPackage", "", "ioswhatsappdatapackage", nullptr, IosWhatsAppDataPackage, {nullptr, nullptr}, 12},
    {24, "IOSWhatsAppBusinessDataPackge", "", "ioswhatsappdatapackage", nullptr, IosWhatsAppBusinessDataPackage, {nullptr, nullptr}, 19},
    {25, "WhatsAppBusinessDataPackage", "", "whatsappdatapackage", nullptr, WhatsAppBusinessDataPackage, {nullptr, nullptr}, 21},
};
// clang-format on

}  // namespace

DataTypeRows AndroidDataTypes() { return RowsOf(kDataTypes); }

}  // namespace kx
