// Stores of older phones that a backup of today's phone no longer holds:
// reminders in the calendar database (up to iOS 12), voice memos in
// Recordings.db (before iOS 12) and a NoteStore.sqlite of iOS 11-12, the
// generation that locks notes but keeps no folder on them.
#ifndef KX_SAMPLES_IOS_OLDER_STORES_H_
#define KX_SAMPLES_IOS_OLDER_STORES_H_

#include <string>

namespace kx::samples {

struct IosOlderStores {
  std::string calendar;    // Calendar.sqlitedb with its reminders
  std::string recordings;  // Recordings.db
  std::string note_store;  // NoteStore.sqlite
};

// Writes the three stores into `folder` (created when missing), record
// counts multiplied by `scale`. False with `error` set when one cannot be
// written.
bool WriteIosOlderStores(const std::string& folder, int scale, IosOlderStores* stores,
                         std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_OLDER_STORES_H_
