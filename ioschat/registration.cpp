#include "ioschat/registration.h"

#include "ioschat/kik.h"
#include "ioschat/line.h"
#include "ioschat/messenger_contacts.h"
#include "ioschat/viber.h"
#include "ioschat/wechat.h"

namespace kx {

namespace {

// Names and result kinds of the iOS chat data types; each row gets its
// package function as its packager is built.
// clang-format off
// data type, packager name, filter name, log stem, filter, package, queues, result kind
const DataTypeEntry kDataTypes[] = {
    {15, "IOSLineDataPackage", "", "ioslinedatapackage", nullptr, IosLineDataPackage, {nullptr, nullptr}, 10},
    {17, "IOSKikDataPackage", "", "ioskikdatapackage", nullptr, IosKikDataPackage, {nullptr, nullptr}, 9},
    {18, "IOSViberDataPackage", "", "iosviberdatapackage", nullptr, IosViberDataPackage, {nullptr, nullptr}, 13},
    {19, "IOSWechatDataPackage", "", "ioswechatdatapackage", nullptr, IosWechatDataPackage, {nullptr, nullptr}, 14},
    {23, "IOSMessengerDataPackage", "", "iosmessengerdatapackage", nullptr, IosMessengerDataPackage, {nullptr, nullptr}, 18},
};
// clang-format on

}  // namespace

DataTypeRows IosChatDataTypes() { return RowsOf(kDataTypes); }

}  // namespace kx
