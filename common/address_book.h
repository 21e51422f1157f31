// iOS address-book helpers shared by the call history, messages and
// voicemail packagers.
#ifndef KX_COMMON_ADDRESS_BOOK_H_
#define KX_COMMON_ADDRESS_BOOK_H_

#include <cstdint>
#include <string>
#include <unordered_map>

#include "common/sqlite_wrapper.h"

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

}  // namespace kx

#endif  // KX_COMMON_ADDRESS_BOOK_H_
