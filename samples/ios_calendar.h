// A generator of the iOS calendar database (Calendar.sqlitedb, HomeDomain)
// of several releases, with recurring events, attendees and attachments.
#ifndef KX_SAMPLES_IOS_CALENDAR_H_
#define KX_SAMPLES_IOS_CALENDAR_H_

#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first (table definitions as published schema dumps
// of real stores show them):
//  1  iOS 9-10: Location without an address column; attachments keep their
//     file name in Attachment;
//  2  iOS 11-15: Location gains address (and routing columns), Participant
//     and CalendarItem grow;
//  3  iOS 16-17: Attachment points at AttachmentFile (file_id), which keeps
//     the file name; Participant gains phone_number.
constexpr int kIosCalendarOldestSchema = 1;
constexpr int kIosCalendarNewestSchema = 3;
std::string IosCalendarSql(int schema_version);

// Where the phone keeps the attachment files of the sample events
// (HomeDomain), in the order the sample's Attachment rows name them.
std::vector<std::string> IosCalendarAttachmentPaths();

// A fresh calendar of `options.schema_version` at `path`: a weekly meeting
// with attendees (the owner under two identities among them) and an agenda,
// an all-day holiday, an all-day appointment without end, a reminder (not an
// event) and a lunch with a photo; `options.scale` adds plain events. The
// older copy also holds an event deleted since. False when the file cannot be
// written.
bool WriteIosCalendar(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_CALENDAR_H_
