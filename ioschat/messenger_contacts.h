// Messenger contacts (data type 23): the people of Messenger's local store,
// from its contact collection indexes and from its contacts table.
#ifndef KX_IOSCHAT_MESSENGER_CONTACTS_H_
#define KX_IOSCHAT_MESSENGER_CONTACTS_H_

#include "packager/contract.h"

namespace kx {

// Hands {"contacts": [...]} to the callback. Returns 0; 1100 without
// "fbomnistore_file_path" (no callback); 1106/1107 when a collection index
// could not be read, after handing over what was read. A store that cannot
// be opened gives an empty list. A stop returns 0 without a callback.
int IosMessengerDataPackage(DataTypeRecord* record, const PackageContext& context);

}  // namespace kx

#endif  // KX_IOSCHAT_MESSENGER_CONTACTS_H_
