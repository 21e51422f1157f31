// iOS reminders (data type 8): the reminders of either store the phone has
// kept them in: the calendar database (calendar items of entity type 3) or
// the reminders store of newer systems (Core Data, ZREMCDREMINDER or
// ZREMCDOBJECT), whose reminders may carry attachments, a location and a
// URL.
#ifndef KX_IOS_REMINDERS_H_
#define KX_IOS_REMINDERS_H_

#include <string>
#include <vector>

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "reminder_files_path" into the staged
// primary "reminder_file_path". Returns 0, 1100 when either input is
// missing, or the merge's status.
int IosReminderDataFilter(DataTypeRecord* record, SqliteConfig* config,
                          const PackageContext& context);

// Hands a JSON array of reminders (null when there is none) to the
// callback. Returns 0 (also after a stop, then without a callback), 1100
// without "reminder_file_path" or backup folder, 1105/1106 when the file
// holds neither store.
int IosReminderDataPackage(DataTypeRecord* record, const PackageContext& context);

// The list-name expression over the list columns of ZREMCDOBJECT (in table
// order): "REMINDER_LIST.<name>" for one, nested ifnull(...) so that the
// first non-null name wins for several, "NULL" for none.
std::string ListNameExpression(const std::vector<std::string>& name_columns);

// The relative path on the phone of a reminder attachment.
std::string ReminderAttachmentPath(const std::string& account, const std::string& identifier,
                                   const std::string& file_name);

}  // namespace kx

#endif  // KX_IOS_REMINDERS_H_
