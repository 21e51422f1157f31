// iOS contacts (data type 11): the address book (AddressBook.sqlitedb) and
// its pictures (AddressBookImages.sqlitedb), packaged as contact files of at
// most 1000 contacts in the temp folder. Besides the people of the address
// book it recovers those whose values outlived them (orphaned values) and
// those only the full-text search index remembers.
#ifndef KX_IOS_CONTACTS_H_
#define KX_IOS_CONTACTS_H_

#include "packager/contract.h"

namespace kx {

// Folds the copies queued under "contact_files_path" into the staged
// "contact_file_path", then builds the configured indexes on it. Returns 0,
// 1100 when an input is missing, or the merge's status.
int IosContactDataFilter(DataTypeRecord* record, SqliteConfig* config,
                         const PackageContext& context);

// Writes the contact files and pictures into the temp folder and hands
// {"contact_file_path": [...], "contact_num": n} to the callback. Returns 0
// (also after a stop, then without a callback), 1100 without both
// databases or a temp folder, 1105/1106 when the address book is none.
int IosContactDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOS_CONTACTS_H_
