// iOS notes (data type 9): the notes of the current notes store with their
// folders, accounts, attachments, tables and scanned documents, the notes
// of the old notes database, and the media files of the notes' accounts.
#ifndef KX_IOS_NOTES_H_
#define KX_IOS_NOTES_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "icloud_note_files_path" into the staged
// current store and those under "other_note_files_path" into the staged
// old database (rows only a copy holds get is_deleted = 1). Returns 0, 1100
// without the current store or without either queue, or the merge's status.
int IosNoteDataFilter(DataTypeRecord* record, SqliteConfig* config, const PackageContext& context);

// Hands {"iCloud_notes": {"notes": [...], "notes_media": [...]},
// "Other_note": [...]} to the callback with result kind 8. Returns 0 (also
// after a stop, then without a callback), 1100 when a store or the manifest
// is missing, or the current store's open or read failure.
int IosNoteDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_NOTES_H_
