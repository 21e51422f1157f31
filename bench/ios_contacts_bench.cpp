// Packages two generated iOS address books (AddressBook.sqlitedb of the
// newest release with AddressBookImages.sqlitedb: phones, e-mail and postal
// addresses with their entries, dates, accounts, pictures, and the traces of
// deleted people) through the library: 100,000 people, and 10,000.
//
// The reference is the sqlite3 shell printing every person with each of its
// multi-values (one row per value), the rows the contact files are made of.
// Pictures are side files; the package time includes them.
//
// Usage: ios_contacts_bench [large|small|all]
#include "bench/store_bench.h"
#include "samples/ios_address_book.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 100000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 10000, 3};

constexpr char kPersonQuery[] =
    "SELECT ABPerson.ROWID, First, Last, Middle, Organization, Note, strftime(\"%m-%d-%Y "
    "%H:%M:%S\",Birthday + 0978307200,'unixepoch','localtime') as Birthday, ABPerson.guid, "
    "FirstPhonetic, MiddlePhonetic, LastPhonetic, Department, JobTitle, Nickname, Prefix, Suffix, "
    "AlternateBirthday, PreviousFamilyName, ABMultiValue.property, ABMultiValue.label, "
    "ABMultiValue.value FROM ABPerson LEFT JOIN ABMultiValue ON ABMultiValue.record_id = "
    "ABPerson.ROWID";

bool Generate(const std::string& work, long long people) {
  kx::samples::IosSampleOptions options;
  options.scale = static_cast<int>(people / kx::samples::kIosPeoplePerScale);
  return kx::samples::WriteIosAddressBook(kx::JoinPath(work, "AddressBook.sqlitedb"),
                                          kx::JoinPath(work, "AddressBookImages.sqlitedb"),
                                          options);
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["contact_file_path"] = kx::JoinPath(work, "AddressBook.sqlitedb");
  request["primary_file_object"]["contact_image_file_path"] =
      kx::JoinPath(work, "AddressBookImages.sqlitedb");
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "iOS contacts", 11, "people", Generate, Request, "AddressBook.sqlitedb", kPersonQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
