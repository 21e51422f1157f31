// The address book as the iOS packagers of calls and messages use it: the
// person behind a number or e-mail address, with the pictures written into
// the temp folder.
#ifndef KX_IOS_ADDRESS_BOOK_NAMES_H_
#define KX_IOS_ADDRESS_BOOK_NAMES_H_

#include <string>
#include <utility>
#include <vector>

#include "common/address_book.h"
#include "packager/data_type_record.h"

namespace kx {

// The people of the staged "contact_file_path" and "contact_image_file_path"
// by number and address, their pictures written into the temp folder;
// empty unless both databases were given and open.
ContactIndex LoadAddressBookNames(const DataTypeRecord& record);

// Members "first", "last", "middle", "image_path" and "thumb_path" of the
// person `key` names, each only when non-empty; none for a stranger.
std::vector<std::pair<const char*, std::string>> AddressBookMembers(const ContactIndex& contacts,
                                                                    const std::string& key);

}  // namespace kx

#endif  // KX_IOS_ADDRESS_BOOK_NAMES_H_
