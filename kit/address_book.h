// The iOS address book as the packagers of calls, messages and voicemail
// name people by it: the person behind a number or e-mail address, with the
// pictures written into the temp folder.
#ifndef KX_KIT_ADDRESS_BOOK_H_
#define KX_KIT_ADDRESS_BOOK_H_

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "packager/data_type_record.h"

namespace kx {

struct ContactRecord {
  std::string first_name;
  std::string last_name;
  std::string middle_name;
  std::string picture_path;    // full-size picture, "" when none
  std::string thumbnail_path;  // thumbnail, "" when none
};

// Phone number or e-mail address, exactly as stored -> person.
using ContactIndex = std::unordered_map<std::string, ContactRecord>;

// Writes the blob that `select_sql` (one parameter: the record id) finds to
// folder/<record_id><suffix>; ".jpg" sets picture_path, ".thumb" the
// thumbnail path. Returns 0, 1106 or 1107.
int SaveBlobToFile(const SQLite3Wrapper& images_db, const std::string& select_sql,
                   const std::string& suffix, const std::string& folder, int64_t record_id,
                   ContactRecord* record);

// Builds the contact index from AddressBook.sqlitedb and writes pictures from
// AddressBookImages.sqlitedb into `picture_folder`. Returns 0 or 1106.
int BuildContactIndex(const SQLite3Wrapper& address_book, const SQLite3Wrapper& images_db,
                      const std::string& picture_folder, ContactIndex* index);

// The people of the staged "contact_file_path" and "contact_image_file_path"
// by number and address, their pictures written into the temp folder;
// empty unless both databases were given and open.
ContactIndex LoadAddressBookNames(const DataTypeRecord& record);

// Members "first", "last", "middle", "image_path" and "thumb_path" of the
// person `key` names, each only when non-empty; none for a stranger.
std::vector<std::pair<const char*, std::string>> AddressBookMembers(const ContactIndex& contacts,
                                                                    const std::string& key);

}  // namespace kx

#endif  // KX_KIT_ADDRESS_BOOK_H_
