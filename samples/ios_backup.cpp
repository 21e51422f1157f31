#include "samples/ios_backup.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/sha1.h"
#include "samples/android_sample_sqlite.h"
#include "samples/ios_books.h"
#include "samples/ios_calendar.h"
#include "samples/ios_kik.h"
#include "samples/ios_line.h"
#include "samples/ios_messenger.h"
#include "samples/ios_reminders.h"
#include "samples/ios_safari.h"
#include "samples/ios_sample_text.h"
#include "samples/ios_viber.h"
#include "samples/ios_wechat.h"
#include "samples/ios_whatsapp.h"

namespace kx::samples {

namespace {

namespace fs = std::filesystem;

// Manifest.db as iOS 10 and later write it (the definition forensic
// write-ups and open backup readers print with `.schema`).
constexpr char kManifestSql[] =
    "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags "
    "INTEGER, file BLOB);"
    "CREATE INDEX FilesDomainIdx ON Files(domain);"
    "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
    "CREATE INDEX FilesFlagsIdx ON Files(flags);"
    "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);";

constexpr int kFlagFile = 1;
constexpr int kFlagFolder = 2;

// The phone the samples come from.
constexpr char kDeviceName[] = "Zoë's iPhone";
constexpr char kProductType[] = "iPhone14,5";
constexpr char kUniqueId[] = "00008110-001A2B3C4D5E801E";
constexpr char kSerial[] = "F2LZK0QHN72J";

struct Entry {
  std::string domain;
  std::string path;
  int flags;
};

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Where a file of the backup lives: root/<first two digits>/<file id>.
fs::path StoredPath(const fs::path& root, const Entry& entry) {
  const std::string id = IosBackupFileId(entry.domain, entry.path);
  return root / id.substr(0, 2) / id;
}

std::string PlistDocument(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n" +
         body + "</dict>\n</plist>\n";
}

std::string Key(const std::string& key, const std::string& type, const std::string& value) {
  return "\t<key>" + XmlEscape(key) + "</key>\n\t<" + type + ">" + XmlEscape(value) + "</" + type +
         ">\n";
}

std::string Bool(const std::string& key, bool value) {
  return "\t<key>" + key + "</key>\n\t<" + (value ? "true" : "false") + "/>\n";
}

std::string BackupDate(bool older) {
  return older ? "2023-11-02T19:41:07Z" : "2024-02-18T08:12:55Z";
}
std::string IosVersion(bool older) { return older ? "17.1" : "17.3.1"; }
std::string BuildVersion(bool older) { return older ? "21B74" : "21D61"; }

std::string InfoPlist(bool older) {
  return PlistDocument(
      Key("Build Version", "string", BuildVersion(older)) +
      Key("Device Name", "string", kDeviceName) + Key("Display Name", "string", kDeviceName) +
      Key("GUID", "string", "5E1A7C0D9B3F4A2E8C6D1F0B3A5E7C9D") +
      Key("ICCID", "string", "89014103211118510720") + Key("IMEI", "string", "356938035643809") +
      Key("Last Backup Date", "date", BackupDate(older)) +
      Key("Phone Number", "string", "+1 (555) 010-0001") +
      Key("Product Name", "string", "iPhone 13 mini") +
      Key("Product Type", "string", kProductType) +
      Key("Product Version", "string", IosVersion(older)) +
      Key("Serial Number", "string", kSerial) + Key("Target Identifier", "string", kUniqueId) +
      Key("Target Type", "string", "Device") + Key("Unique Identifier", "string", kUniqueId) +
      Key("iTunes Version", "string", "12.13.1.3"));
}

std::string ManifestPlist(bool older) {
  return PlistDocument(
      Key("Date", "date", BackupDate(older)) + Bool("IsEncrypted", false) +
      "\t<key>Lockdown</key>\n\t<dict>\n" + Key("BuildVersion", "string", BuildVersion(older)) +
      Key("DeviceName", "string", kDeviceName) + Key("ProductType", "string", kProductType) +
      Key("ProductVersion", "string", IosVersion(older)) + Key("SerialNumber", "string", kSerial) +
      Key("UniqueDeviceID", "string", kUniqueId) + "\t</dict>\n" +
      Key("SystemDomainsVersion", "string", "24.0") + Key("Version", "string", "10.0") +
      Bool("WasPasscodeSet", true));
}

std::string StatusPlist(bool older) {
  return PlistDocument(Key("BackupState", "string", "new") +
                       Key("Date", "date", BackupDate(older)) + Bool("IsFullBackup", false) +
                       Key("SnapshotState", "string", "finished") +
                       Key("UUID", "string", "9F2C4E6A-1B3D-4F5A-8C7E-0D2B4F6A8C1E") +
                       Key("Version", "string", "3.3"));
}

// Files of the backup that no packager of these stores reads, and folders.
std::vector<Entry> OtherEntries() {
  return {
      {kIosHomeDomain, "Library", kFlagFolder},
      {kIosHomeDomain, "Library/CallHistoryDB", kFlagFolder},
      {kIosHomeDomain, "Library/AddressBook", kFlagFolder},
      {kIosHomeDomain, "Library/SMS", kFlagFolder},
      {kIosMediaDomain, "Library/SMS/Attachments", kFlagFolder},
      {kIosHomeDomain, "Library/Preferences", kFlagFolder},
      {kIosHomeDomain, "Library/Preferences/com.apple.springboard.plist", kFlagFile},
      {"CameraRollDomain", "Media/DCIM/100APPLE", kFlagFolder},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", kFlagFile},
      {"AppDomain-net.whatsapp.WhatsApp", "Library/Preferences/net.whatsapp.WhatsApp.plist",
       kFlagFile},
  };
}

std::string OtherFileBytes(const Entry& entry) {
  if (entry.path.size() > 4 && entry.path.compare(entry.path.size() - 4, 4, ".JPG") == 0) {
    return TinyJpeg();
  }
  return PlistDocument(Key("SBShowBatteryPercentage", "string", "YES"));
}

bool WriteManifest(const fs::path& root, const std::vector<Entry>& entries) {
  SampleDatabase db((root / "Manifest.db").u8string());
  if (!db.is_open() || !db.Exec(kManifestSql)) return false;
  {
    SampleStatement insert(db.handle(), "INSERT INTO Files VALUES (?,?,?,?,NULL)");
    if (!insert.prepared()) return false;
    db.Exec("BEGIN");
    for (const Entry& entry : entries) {
      insert.BindText(1, IosBackupFileId(entry.domain, entry.path));
      insert.BindText(2, entry.domain);
      insert.BindText(3, entry.path);
      insert.BindInt(4, entry.flags);
      if (insert.Step() != SQLITE_DONE) return false;
      insert.Reset();
    }
    if (!db.Exec("INSERT INTO Properties VALUES ('salt', x'5d8a3c01')") || !db.Exec("COMMIT"))
      return false;
  }
  return db.Close();
}

bool MakeFolder(const fs::path& folder, std::string* error) {
  std::error_code code;
  fs::create_directories(folder, code);
  if (code)
    return Fail(error, folder.u8string() + ": cannot create folder (" + code.message() + ")");
  return true;
}

// sms.db, and its attachments in MediaDomain; `entries` receives the
// attachment files.
bool WriteMessageStore(const fs::path& root, const IosSampleOptions& store,
                       std::vector<Entry>* entries, std::string* error) {
  const fs::path messages = StoredPath(root, {kIosHomeDomain, kIosMessagesPath, kFlagFile});
  if (!MakeFolder(messages.parent_path(), error)) return false;
  std::vector<IosAttachmentFile> files;
  if (!WriteIosMessages(messages.u8string(), store, {}, &files)) {
    return Fail(error, messages.u8string() + ": cannot write the messages");
  }
  for (const IosAttachmentFile& file : files) {
    const Entry entry{kIosMediaDomain, file.relative_path, kFlagFile};
    const fs::path path = StoredPath(root, entry);
    if (!MakeFolder(path.parent_path(), error)) return false;
    if (!WriteBytes(path, file.bytes)) return Fail(error, path.u8string() + ": cannot write");
    entries->push_back(entry);
  }
  return true;
}

// Bookmarks.db, History.db, the reminders store and the picture of a
// reminder (listed in the catalogue with the other stores).
bool WriteSafariAndReminders(const fs::path& root, IosSampleOptions store, std::string* error) {
  store.schema_version = 0;
  const struct {
    const char* path;
    bool (*write)(const std::string&, const IosSampleOptions&);
  } stores[] = {{kIosBookmarksPath, WriteIosBookmarks},
                {kIosHistoryPath, WriteIosHistory},
                {kIosRemindersStorePath, WriteIosReminders}};
  for (const auto& one : stores) {
    const Entry entry{kIosHomeDomain, one.path, kFlagFile};
    const fs::path path = StoredPath(root, entry);
    if (!MakeFolder(path.parent_path(), error)) return false;
    if (!one.write(path.u8string(), store)) return Fail(error, path.u8string() + ": cannot write");
  }
  const Entry picture{kIosHomeDomain, kIosReminderPicturePath, kFlagFile};
  const fs::path path = StoredPath(root, picture);
  if (!MakeFolder(path.parent_path(), error)) return false;
  return WriteBytes(path, TinyJpeg()) || Fail(error, path.u8string() + ": cannot write");
}

// Calendar.sqlitedb and the files attached to its events (listed in the
// catalogue with the other stores).
bool WriteCalendar(const fs::path& root, IosSampleOptions store, std::string* error) {
  store.schema_version = 0;
  const Entry calendar{kIosHomeDomain, kIosCalendarPath, kFlagFile};
  const fs::path path = StoredPath(root, calendar);
  if (!MakeFolder(path.parent_path(), error)) return false;
  if (!WriteIosCalendar(path.u8string(), store)) {
    return Fail(error, path.u8string() + ": cannot write the calendar");
  }
  for (const std::string& relative_path : IosCalendarAttachmentPaths()) {
    const fs::path file = StoredPath(root, {kIosHomeDomain, relative_path, kFlagFile});
    if (!MakeFolder(file.parent_path(), error)) return false;
    if (!WriteBytes(file, TinyJpeg())) return Fail(error, file.u8string() + ": cannot write");
  }
  return true;
}

// NoteStore.sqlite and notes.sqlite, and the notes' attachment files;
// `entries` receives all of them.
bool WriteNoteStores(const fs::path& root, const IosSampleOptions& store,
                     std::vector<Entry>* entries, std::string* error) {
  const Entry current{kIosNotesDomain, kIosNoteStorePath, kFlagFile};
  const Entry old{kIosHomeDomain, kIosOldNotesPath, kFlagFile};
  const fs::path current_path = StoredPath(root, current);
  const fs::path old_path = StoredPath(root, old);
  for (const fs::path& path : {current_path, old_path}) {
    if (!MakeFolder(path.parent_path(), error)) return false;
  }
  std::vector<IosNoteFile> files;
  if (!WriteIosNotes(current_path.u8string(), old_path.u8string(), store, &files)) {
    return Fail(error, current_path.u8string() + ": cannot write the notes");
  }
  entries->push_back(current);
  entries->push_back(old);
  for (const IosNoteFile& file : files) {
    const Entry entry{file.domain, file.relative_path, kFlagFile};
    const fs::path path = StoredPath(root, entry);
    if (!MakeFolder(path.parent_path(), error)) return false;
    if (!WriteBytes(path, file.bytes)) return Fail(error, path.u8string() + ": cannot write");
    entries->push_back(entry);
  }
  return true;
}

bool WriteStores(const fs::path& root, const IosBackupOptions& options, std::vector<Entry>* entries,
                 std::string* error) {
  IosSampleOptions store;
  store.scale = options.scale;
  store.seed = options.seed;
  store.older_copy = options.older_copy;
  const fs::path calls = StoredPath(root, {kIosHomeDomain, kIosCallHistoryPath, kFlagFile});
  const fs::path book = StoredPath(root, {kIosHomeDomain, kIosAddressBookPath, kFlagFile});
  const fs::path images = StoredPath(root, {kIosHomeDomain, kIosAddressBookImagesPath, kFlagFile});
  for (const fs::path& path : {calls, book, images}) {
    if (!MakeFolder(path.parent_path(), error)) return false;
  }
  store.schema_version = options.call_history_schema;
  if (!WriteIosCallHistory(calls.u8string(), store)) {
    return Fail(error, calls.u8string() + ": cannot write the call history");
  }
  store.schema_version = options.address_book_schema;
  if (!WriteIosAddressBook(book.u8string(), images.u8string(), store)) {
    return Fail(error, book.u8string() + ": cannot write the address book");
  }
  if (!WriteSafariAndReminders(root, store, error)) return false;
  if (!WriteCalendar(root, store, error)) return false;
  store.schema_version = options.messages_schema;
  if (!WriteMessageStore(root, store, entries, error)) return false;
  store.schema_version = options.notes_schema;
  return WriteNoteStores(root, store, entries, error);
}

// A file of the backup written with its own bytes.
bool WriteEntry(const fs::path& root, const Entry& entry, const std::string& bytes,
                std::vector<Entry>* entries, std::string* error) {
  const fs::path path = StoredPath(root, entry);
  if (!MakeFolder(path.parent_path(), error)) return false;
  if (!WriteBytes(path, bytes)) return Fail(error, path.u8string() + ": cannot write");
  entries->push_back(entry);
  return true;
}

// voicemail.db with the audio of its messages (HomeDomain), and
// CloudRecordings.db with the audio of its recordings (MediaDomain).
bool WriteVoiceStores(const fs::path& root, const IosBackupOptions& options,
                      std::vector<Entry>* entries, std::string* error) {
  IosSampleOptions store;
  store.older_copy = options.older_copy;
  store.schema_version = options.voicemail_schema;
  const Entry voicemail{kIosHomeDomain, kIosVoicemailPath, kFlagFile};
  const fs::path voicemail_path = StoredPath(root, voicemail);
  std::vector<IosVoicemailAudio> messages;
  if (!MakeFolder(voicemail_path.parent_path(), error)) return false;
  if (!WriteIosVoicemail(voicemail_path.u8string(), store, &messages)) {
    return Fail(error, voicemail_path.u8string() + ": cannot write the voicemail");
  }
  entries->push_back(voicemail);
  entries->push_back({kIosHomeDomain, "Library/Voicemail", kFlagFolder});
  for (const IosVoicemailAudio& message : messages) {
    if (!WriteEntry(root, {kIosHomeDomain, message.relative_path, kFlagFile}, message.bytes,
                    entries, error)) {
      return false;
    }
  }
  store.schema_version = options.cloud_recordings_schema;
  const Entry recordings{kIosMediaDomain, kIosCloudRecordingsPath, kFlagFile};
  const fs::path recordings_path = StoredPath(root, recordings);
  std::vector<IosRecordingAudio> audio;
  if (!MakeFolder(recordings_path.parent_path(), error)) return false;
  if (!WriteIosCloudRecordings(recordings_path.u8string(), store, &audio)) {
    return Fail(error, recordings_path.u8string() + ": cannot write the voice memos");
  }
  entries->push_back(recordings);
  entries->push_back({kIosMediaDomain, "Media/Recordings", kFlagFolder});
  for (const IosRecordingAudio& recording : audio) {
    if (!WriteEntry(root, {kIosMediaDomain, recording.relative_path, kFlagFile}, recording.bytes,
                    entries, error)) {
      return false;
    }
  }
  return true;
}

// Photos.sqlite with the thumbnail configuration and the media files it
// names (CameraRollDomain).
bool WritePhotoStore(const fs::path& root, const IosBackupOptions& options,
                     std::vector<Entry>* entries, std::string* error) {
  IosSampleOptions store;
  store.schema_version = options.photos_schema;
  const Entry library{kIosCameraRollDomain, kIosPhotosPath, kFlagFile};
  const fs::path library_path = StoredPath(root, library);
  std::vector<IosPhotoFile> files;
  if (!MakeFolder(library_path.parent_path(), error)) return false;
  if (!WriteIosPhotos(library_path.u8string(), store, &files)) {
    return Fail(error, library_path.u8string() + ": cannot write the photo library");
  }
  entries->push_back(library);
  entries->push_back({kIosCameraRollDomain, "Media/PhotoData", kFlagFolder});
  for (const IosPhotoFile& file : files) {
    if (!WriteEntry(root, {kIosCameraRollDomain, file.relative_path, kFlagFile}, file.bytes,
                    entries, error)) {
      return false;
    }
  }
  return true;
}

// WeChat's stores of the account's folder with its media files. They are
// written into a scratch folder first (the generator names them itself),
// then stored under their file ids.
bool WriteWechatStores(const fs::path& root, std::vector<Entry>* entries, std::string* error) {
  const fs::path scratch = root / "wechat-scratch";
  if (!MakeFolder(scratch, error)) return false;
  IosWechatStores stores;
  std::vector<IosWechatFile> files;
  if (!WriteIosWechat(scratch.u8string(), IosSampleOptions(), &stores, &files)) {
    return Fail(error, scratch.u8string() + ": cannot write the WeChat stores");
  }
  const std::pair<std::string, std::string> named[] = {{stores.messages, IosWechatMessagePath()},
                                                       {stores.contacts, IosWechatContactPath()},
                                                       {stores.sessions, IosWechatSessionPath()},
                                                       {stores.settings, IosWechatSettingsPath()}};
  for (const auto& [path, relative] : named) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    files.push_back({relative, bytes});
  }
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  for (const IosWechatFile& file : files) {
    if (!WriteEntry(root, {kIosWechatDomain, file.relative_path, kFlagFile}, file.bytes, entries,
                    error)) {
      return false;
    }
  }
  return true;
}

// WhatsApp and WhatsApp Business, each in its group domain: the chat store,
// the address book, the owner's preferences and the files the chats name.
bool WriteWhatsApps(const fs::path& root, const IosSampleOptions& store,
                    std::vector<Entry>* entries, std::string* error) {
  const struct {
    const char* domain;
    bool business;
    const char* owner;
  } apps[] = {{kIosWhatsAppDomain, false, kIosWhatsAppOwnerJid},
              {kIosWhatsAppBusinessDomain, true, kIosWhatsAppBusinessOwnerJid}};
  for (const auto& app : apps) {
    const Entry chats{app.domain, kIosWhatsAppStorePath, kFlagFile};
    const Entry contacts{app.domain, kIosWhatsAppContactsPath, kFlagFile};
    const fs::path chats_path = StoredPath(root, chats);
    const fs::path contacts_path = StoredPath(root, contacts);
    std::vector<IosWhatsAppFile> files;
    if (!MakeFolder(chats_path.parent_path(), error) ||
        !MakeFolder(contacts_path.parent_path(), error)) {
      return false;
    }
    if (!WriteIosWhatsApp(chats_path.u8string(), store, &files) ||
        !WriteIosWhatsAppContacts(contacts_path.u8string())) {
      return Fail(error, chats_path.u8string() + ": cannot write the WhatsApp stores");
    }
    entries->push_back(chats);
    entries->push_back(contacts);
    files.push_back({IosWhatsAppOwnerPlistPath(app.business), IosWhatsAppOwnerPlist(app.owner)});
    for (const IosWhatsAppFile& file : files) {
      if (!WriteEntry(root, {app.domain, file.relative_path, kFlagFile}, file.bytes, entries,
                      error)) {
        return false;
      }
    }
  }
  return true;
}

// The book list, Messenger's store and Kik's store with the files Kik keeps
// beside it, each listed in the catalogue; WeChat's stores.
bool WriteAppStores(const fs::path& root, const IosBackupOptions& options,
                    std::vector<Entry>* entries, std::string* error) {
  if (!WriteEntry(root, {kIosBooksDomain, kIosBookListPath, kFlagFile}, IosBookListPlist(), entries,
                  error)) {
    return false;
  }
  IosSampleOptions store;
  store.older_copy = options.older_copy;
  const Entry messenger{kIosMessengerDomain, kIosMessengerStorePath, kFlagFile};
  const fs::path messenger_path = StoredPath(root, messenger);
  if (!MakeFolder(messenger_path.parent_path(), error)) return false;
  if (!WriteIosMessenger(messenger_path.u8string(), store)) {
    return Fail(error, messenger_path.u8string() + ": cannot write the Messenger store");
  }
  entries->push_back(messenger);
  const Entry kik{kIosKikDomain, IosKikStorePath(kIosKikAccount), kFlagFile};
  const fs::path kik_path = StoredPath(root, kik);
  std::vector<IosKikFile> files;
  if (!MakeFolder(kik_path.parent_path(), error)) return false;
  if (!WriteIosKik(kik_path.u8string(), store, &files)) {
    return Fail(error, kik_path.u8string() + ": cannot write the Kik store");
  }
  entries->push_back(kik);
  entries->push_back({kIosKikDomain, std::string("cores/private/") + kIosKikAccount, kFlagFolder});
  for (const IosKikFile& file : files) {
    if (!WriteEntry(root, {kIosKikDomain, file.relative_path, kFlagFile}, file.bytes, entries,
                    error)) {
      return false;
    }
  }
  if (!WriteWechatStores(root, entries, error)) return false;
  return WriteWhatsApps(root, store, entries, error);
}

// LINE's and Viber's stores with the message files each keeps beside it,
// each listed in the catalogue.
bool WriteLineAndViber(const fs::path& root, std::vector<Entry>* entries, std::string* error) {
  const IosSampleOptions store;
  const Entry line{kIosLineDomain, IosLineStorePath(kIosLineAccount), kFlagFile};
  const fs::path line_path = StoredPath(root, line);
  std::vector<IosLineFile> line_files;
  if (!MakeFolder(line_path.parent_path(), error)) return false;
  if (!WriteIosLine(line_path.u8string(), store, &line_files)) {
    return Fail(error, line_path.u8string() + ": cannot write the LINE store");
  }
  entries->push_back(line);
  for (const IosLineFile& file : line_files) {
    if (!WriteEntry(root, {kIosLineDomain, file.relative_path, kFlagFile}, file.bytes, entries,
                    error)) {
      return false;
    }
  }
  const Entry viber{kIosViberGroupDomain, kIosViberStorePath, kFlagFile};
  const fs::path viber_path = StoredPath(root, viber);
  std::vector<IosViberFile> viber_files;
  if (!MakeFolder(viber_path.parent_path(), error)) return false;
  if (!WriteIosViber(viber_path.u8string(), store, &viber_files)) {
    return Fail(error, viber_path.u8string() + ": cannot write the Viber store");
  }
  entries->push_back(viber);
  for (const IosViberFile& file : viber_files) {
    if (!WriteEntry(root, {file.domain, file.relative_path, kFlagFile}, file.bytes, entries,
                    error)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string IosBackupFileId(const std::string& domain, const std::string& relative_path) {
  return kx::Sha1Hex(domain + "-" + relative_path);
}

namespace {

// MediaLibrary.sqlitedb (MediaDomain): songs, a film, a music video and
// playlists. The media files themselves are not part of a backup.
bool WriteMediaLibrary(const fs::path& root, const IosBackupOptions& options,
                       std::vector<Entry>* entries, std::string* error) {
  IosSampleOptions store;
  store.scale = options.scale;
  store.schema_version = options.media_library_schema;
  const Entry library{kIosMediaDomain, kIosMediaLibraryPath, kFlagFile};
  const fs::path path = StoredPath(root, library);
  if (!MakeFolder(path.parent_path(), error)) return false;
  if (!WriteIosMediaLibrary(path.u8string(), store)) {
    return Fail(error, path.u8string() + ": cannot write the media library");
  }
  entries->push_back(library);
  entries->push_back({kIosMediaDomain, "iTunes_Control/iTunes", kFlagFolder});
  return true;
}

}  // namespace

bool WriteIosBackup(const std::string& folder, const IosBackupOptions& options,
                    std::string* error) {
  const fs::path root = fs::u8path(folder);
  std::vector<Entry> entries = OtherEntries();
  if (!MakeFolder(root, error) || !WriteStores(root, options, &entries, error)) return false;
  for (const Entry& entry : entries) {
    if (entry.flags != kFlagFile || entry.domain == kIosMediaDomain ||
        entry.domain == kIosNotesDomain || entry.path.rfind("Library/Notes/", 0) == 0) {
      continue;
    }
    const fs::path path = StoredPath(root, entry);
    if (!MakeFolder(path.parent_path(), error)) return false;
    if (!WriteBytes(path, OtherFileBytes(entry))) {
      return Fail(error, path.u8string() + ": cannot write");
    }
  }
  if (!WriteVoiceStores(root, options, &entries, error)) return false;
  if (!WritePhotoStore(root, options, &entries, error)) return false;
  if (!WriteMediaLibrary(root, options, &entries, error)) return false;
  if (!WriteAppStores(root, options, &entries, error)) return false;
  if (!WriteLineAndViber(root, &entries, error)) return false;
  for (const char* path :
       {kIosCallHistoryPath, kIosAddressBookPath, kIosAddressBookImagesPath, kIosMessagesPath,
        kIosBookmarksPath, kIosHistoryPath, kIosRemindersStorePath, kIosReminderPicturePath}) {
    entries.push_back({kIosHomeDomain, path, kFlagFile});
  }
  entries.push_back({kIosHomeDomain, kIosCalendarPath, kFlagFile});
  for (const std::string& path : IosCalendarAttachmentPaths()) {
    entries.push_back({kIosHomeDomain, path, kFlagFile});
  }
  const bool older = options.older_copy;
  if (!WriteManifest(root, entries)) return Fail(error, folder + ": cannot write Manifest.db");
  if (!WriteBytes(root / "Info.plist", InfoPlist(older)) ||
      !WriteBytes(root / "Manifest.plist", ManifestPlist(older)) ||
      !WriteBytes(root / "Status.plist", StatusPlist(older))) {
    return Fail(error, folder + ": cannot write the backup's property lists");
  }
  return true;
}

}  // namespace kx::samples
