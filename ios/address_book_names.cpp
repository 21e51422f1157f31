#include "ios/address_book_names.h"

#include "common/sqlite_wrapper.h"

namespace kx {

namespace {

constexpr char kContactFileKey[] = "contact_file_path";
constexpr char kContactImageFileKey[] = "contact_image_file_path";

}  // namespace

ContactIndex LoadAddressBookNames(const DataTypeRecord& record) {
  ContactIndex contacts;
  const std::string* book_path = record.PrimaryFile(kContactFileKey);
  const std::string* images_path = record.PrimaryFile(kContactImageFileKey);
  if (book_path == nullptr || images_path == nullptr) return contacts;
  SQLite3Wrapper book(*book_path);
  SQLite3Wrapper images(*images_path);
  if (book.Open() == SQLITE_OK && images.Open() == SQLITE_OK) {
    BuildContactIndex(book, images, record.temp_folder, &contacts);
  }
  return contacts;
}

std::vector<std::pair<const char*, std::string>> AddressBookMembers(const ContactIndex& contacts,
                                                                    const std::string& key) {
  std::vector<std::pair<const char*, std::string>> members;
  const auto found = contacts.find(key);
  if (found == contacts.end()) return members;
  const ContactRecord& person = found->second;
  const std::pair<const char*, const std::string*> candidates[] = {
      {"first", &person.first_name},          {"last", &person.last_name},
      {"middle", &person.middle_name},        {"image_path", &person.picture_path},
      {"thumb_path", &person.thumbnail_path},
  };
  for (const auto& [name, value] : candidates) {
    if (!value->empty()) members.emplace_back(name, *value);
  }
  return members;
}

}  // namespace kx
