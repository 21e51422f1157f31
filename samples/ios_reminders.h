// Generators of the reminder stores of an iOS backup: the calendar database
// of older systems (reminders are CalendarItem rows of entity_type 3) and
// the Core Data reminders store of newer ones.
#ifndef KX_SAMPLES_IOS_REMINDERS_H_
#define KX_SAMPLES_IOS_REMINDERS_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first:
//  1  iOS 9-12: Calendar.sqlitedb (CalendarItem, Calendar, Location, Alarm);
//  2  iOS 13: the first reminders store, every entity in ZREMCDOBJECT
//     (reminder titles in ZTITLE1, list names in ZNAME1);
//  3  iOS 14-15: reminders in ZREMCDREMINDER, lists still among the objects
//     (names in ZNAME2);
//  4  iOS 16 on: lists in ZREMCDBASELIST, the objects without names; the
//     attachments point at reminders through ZREMINDER2 and ZREMINDER3.
constexpr int kIosRemindersOldestSchema = 1;
constexpr int kIosRemindersNewestSchema = 4;
constexpr int kIosRemindersFirstStoreSchema = 2;
std::string IosRemindersSql(int schema_version);

constexpr char kIosCalendarPath[] = "Library/Calendar/Calendar.sqlitedb";
// Named after the store's account, as an iCloud account's store is.
constexpr char kIosRemindersStorePath[] =
    "Library/Reminders/Container_v1/Stores/Data-8E3B5C1A-2F4D-4C6B-9A7E-1D2C3B4A5F60.sqlite";

// The account of the sample stores' replica manager, as the attachment
// folders name it.
constexpr char kIosRemindersAccount[] = "5A1E7C3B-2D4F-4E6A-9B8C-0D1E2F3A4B5C";

// The picture attached to the first sample reminder, as the phone keeps it
// (HomeDomain).
constexpr char kIosReminderPicturePath[] =
    "Library/Reminders/Container_v1/Files/Account-5A1E7C3B-2D4F-4E6A-9B8C-0D1E2F3A4B5C/"
    "Attachment-ATT-22/milk.jpg";

// A fresh store of `options.schema_version` at `path`: a list with a
// reminder that carries a picture, a URL and a location; a list deleted on
// the phone with a reminder still in it; a reminder marked for deletion.
// The older copy also holds a reminder deleted since. False when the file
// cannot be written.
bool WriteIosReminders(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_REMINDERS_H_
