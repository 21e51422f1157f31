// Android contacts (data type 2): the address book of contacts2.db.
//
// Input, from the record: primary file "contact_file_path" (staged
// contacts2.db), second files "contact_files_path" (staged older copies to
// merge into it), and the temp folder, which receives the contact pictures.
#ifndef KX_ANDROID_CONTACTS_H_
#define KX_ANDROID_CONTACTS_H_

#include "packager/contract.h"

namespace kx {

// Folds every queued copy into the staged primary database (rows only a copy
// holds arrive with is_deleted = 1). 1100 when the primary file or the queue
// is missing or the queue is empty; otherwise the merge step's status.
int AndroidContactDataFilter(DataTypeRecord* record, SqliteConfig* config,
                             const PackageContext& context);

// Hands {"raw_contacts": [...]} to the callback once, and
// writes each contact picture of 256 bytes or more into the temp folder.
// 1100 when the primary file is missing; 0 otherwise, also after a stop (then
// without the callback). An unreadable database gives an empty list.
int AndroidContactDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_ANDROID_CONTACTS_H_
