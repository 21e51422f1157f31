// Generator of Android address books (contacts2.db of the contacts provider).
#ifndef KX_SAMPLES_ANDROID_CONTACTS_H_
#define KX_SAMPLES_ANDROID_CONTACTS_H_

#include <string>
#include <vector>

#include "samples/android_sample_options.h"

namespace kx::samples {

// What one generated file holds, for the checks of tests and benchmarks.
struct AndroidContactsSummary {
  int raw_contacts = 0;       // rows of raw_contacts
  int data_rows = 0;          // rows of data
  int person_contacts = 0;    // raw contacts with a name row (every one yields an item)
  int app_only_contacts = 0;  // raw contacts holding only messenger rows
  int pictures = 0;           // photo rows whose picture has 256 bytes or more
  // Display names of the people only the older copy holds (deleted on the
  // phone since) and of those only the newer one holds (added since).
  std::vector<std::string> lost_names;
  std::vector<std::string> new_names;
};

// Writes a contacts2.db at `path`, replacing any file there. Per unit of
// scale: ten people covering every kind of contact data (several rows of one
// kind, custom types, pictures below and above 256 bytes, NULLs where the
// provider leaves them, names with accents, emoji, right-to-left script and
// quotes), a messenger raw contact with only messenger rows, one person the
// newer copy lost and one it gained. Schema version 1 is the Android 4.0
// layout (account columns on raw_contacts), 2 the Android 7 layout
// (accounts table, hash_id, carrier_presence). Rows keep the same ids in
// both copies and both schema versions, as on one phone over time. Returns
// false when the file cannot be written; `summary` may be null.
bool WriteAndroidContacts(const std::string& path, const AndroidSampleOptions& options,
                          AndroidContactsSummary* summary = nullptr);

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_CONTACTS_H_
