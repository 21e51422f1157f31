// A generator of Messenger's local store on iOS (fbomnistore.db in the
// application's group container): the contact collection index of the
// signed-in account and, in later versions, the contacts table.
#ifndef KX_SAMPLES_IOS_MESSENGER_H_
#define KX_SAMPLES_IOS_MESSENGER_H_

#include <string>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first:
//  1  omnistore alone: the collection and its index table
//     "collection_index#messenger_contacts_ios:<account>" (primary_key,
//     field_name, field_value, ...), no contacts table;
//  2  a contacts table beside it, without the large picture and e-mail;
//  3  the contacts table of the lightspeed store, with every column.
constexpr int kIosMessengerOldestSchema = 1;
constexpr int kIosMessengerNewestSchema = 3;

// Where the store lies in the backup (the store folder is named after a
// UUID the application picks).
constexpr char kIosMessengerDomain[] = "AppDomainGroup-group.com.facebook.Messenger";
constexpr char kIosMessengerStorePath[] =
    "_store_DB454929-7BCD-42B5-B105-ED95063B0D98/messenger_contacts.v1/fbomnistore.db";

// The account whose collections the sample store holds.
constexpr char kIosMessengerAccount[] = "100004211234567";

// The CREATE statements for a version; the newest for a number out of range.
std::string IosMessengerSql(int schema_version);

// Writes the store at `path` (replaced when it exists): four friends in the
// collection index, one of them with two phone tokens, and the contacts
// table where the version has one. False when it cannot be written.
bool WriteIosMessenger(const std::string& path, const IosSampleOptions& options);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_MESSENGER_H_
