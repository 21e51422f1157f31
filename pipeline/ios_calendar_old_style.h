// The old-style functions of the iOS calendar (data type 7), run by
// KxDataFilter and KxDataPackage: the filter merges further copies into the
// staged Calendar.sqlitedb by their unique keys; the package function hands
// all events over as one JSON array (result kind 6). They read the same
// tables and query as the staged packager (pipeline/ios_calendar_events.h).
#ifndef KX_PIPELINE_IOS_CALENDAR_OLD_STYLE_H_
#define KX_PIPELINE_IOS_CALENDAR_OLD_STYLE_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "calendar_files_path" into the staged
// "calendar_file_path". 0, 1100 when either is missing, or the merge's
// status.
int IosCalendarDataFilter(DataTypeRecord* record, SqliteConfig* config,
                          const PackageContext& context);

// A JSON array of the events (null when there is none). 0, also after a
// stop (then without a callback); 1100 without the calendar or the
// catalogue; 1105 when either is no database; 1106 when the calendar has no
// events table.
int IosCalendarDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_PIPELINE_IOS_CALENDAR_OLD_STYLE_H_
