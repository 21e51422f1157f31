// A generator of iOS backup folders as a computer writes them: Manifest.db,
// Info.plist, Manifest.plist, Status.plist and every file stored under its
// file id in the sub-folder of the id's first two digits.
#ifndef KX_SAMPLES_IOS_BACKUP_H_
#define KX_SAMPLES_IOS_BACKUP_H_

#include <string>

#include "samples/ios_address_book.h"
#include "samples/ios_call_history.h"
#include "samples/ios_media_library.h"
#include "samples/ios_messages.h"
#include "samples/ios_notes.h"
#include "samples/ios_photos.h"
#include "samples/ios_voice_memos.h"
#include "samples/ios_voicemail.h"

namespace kx::samples {

struct IosBackupOptions {
  int scale = 1;
  uint32_t seed = 1;
  int call_history_schema = kIosCallHistoryNewestSchema;
  int address_book_schema = kIosAddressBookNewestSchema;
  int messages_schema = kIosMessagesNewestSchema;
  int voicemail_schema = kIosVoicemailNewestSchema;
  int cloud_recordings_schema = kIosCloudRecordingsNewestSchema;
  int notes_schema = kIosNotesNewestSchema;
  int photos_schema = kIosPhotosNewestSchema;
  int media_library_schema = kIosMediaLibraryNewestSchema;
  // An earlier backup of the same phone: its stores hold records the phone
  // has deleted since, and it was taken on an earlier date.
  bool older_copy = false;
};

// Domains and paths of the stores the backup holds.
constexpr char kIosHomeDomain[] = "HomeDomain";
constexpr char kIosCallHistoryPath[] = "Library/CallHistoryDB/CallHistory.storedata";
constexpr char kIosAddressBookPath[] = "Library/AddressBook/AddressBook.sqlitedb";
constexpr char kIosAddressBookImagesPath[] = "Library/AddressBook/AddressBookImages.sqlitedb";
constexpr char kIosVoicemailPath[] = "Library/Voicemail/voicemail.db";
constexpr char kIosMediaLibraryPath[] = "iTunes_Control/iTunes/MediaLibrary.sqlitedb";

// SHA-1 of domain + "-" + relative path, 40 lower-case hex digits.
std::string IosBackupFileId(const std::string& domain, const std::string& relative_path);

// Writes a backup into `folder` (created; it becomes the backup root).
// False with `error` set when something cannot be written.
bool WriteIosBackup(const std::string& folder, const IosBackupOptions& options, std::string* error);

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_BACKUP_H_
