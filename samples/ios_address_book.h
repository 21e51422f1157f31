// A generator of the iOS address book: AddressBook.sqlitedb (people,
// multi-values, labels, entries and the full-text index) and
// AddressBookImages.sqlitedb (pictures and thumbnails).
#ifndef KX_SAMPLES_IOS_ADDRESS_BOOK_H_
#define KX_SAMPLES_IOS_ADDRESS_BOOK_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first. The person query of the contacts packager
// names guid, AlternateBirthday and PreviousFamilyName:
//  1  the ABPerson of older stores, ending at IsPreferredName: lacks guid,
//     AlternateBirthday and PreviousFamilyName (the packager falls back);
//     ABMultiValue has no guid; the full-text index has no
//     OrganizationPhonetic;
//  2  iOS 11-13: guid, AlternateBirthday, the pronunciation columns and
//     PreviousFamilyName, up to PreferredChannel;
//  3  iOS 17: adds the poster, wallpaper and sensitive-content columns.
constexpr int kIosAddressBookOldestSchema = 1;
constexpr int kIosAddressBookNewestSchema = 3;

// CREATE statements of AddressBook.sqlitedb for a version (the newest for a
// number out of range), and of AddressBookImages.sqlitedb.
std::string IosAddressBookSql(int schema_version);
std::string IosAddressBookImagesSql();

// People one scale unit adds.
constexpr int kIosPeoplePerScale = 24;

// A 2x4 grey baseline JPEG (141 bytes) that decoders accept.
std::string TinyJpeg();

// Writes AddressBook.sqlitedb at `path` and AddressBookImages.sqlitedb at
// `images_path` (existing files are replaced): about kIosPeoplePerScale *
// scale people with phones, e-mail addresses, postal addresses and their
// entries, dates, IM accounts, URLs, related names and social profiles,
// labels as the phone writes them (_$!<Mobile>!$_ and custom ones, and ids
// of no label), a Chinese-calendar AlternateBirthday, pictures for some
// people (one of them with an empty full-size picture), and in the newer copy the
// traces of deleted people: multi-values whose record_id names no person
// and full-text rows of people no longer in ABPerson. A person keeps its
// ROWID, and a value its UID, in every copy; the older copy holds the
// deleted people whole and lacks the newest fifth. False when a file cannot
// be written.
bool WriteIosAddressBook(const std::string& path, const std::string& images_path,
                         const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_ADDRESS_BOOK_H_
