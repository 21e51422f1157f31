#include "tools/kxpackage/ios_types.h"

#include <filesystem>
#include <fstream>

namespace kxpackage {

namespace {

constexpr char kHomeDomain[] = "HomeDomain";
constexpr char kCallHistoryPath[] = "Library/CallHistoryDB/CallHistory.storedata";
// Up to iOS 7 the calls lay in call_history.db, which backups list in
// WirelessDomain (some tools in HomeDomain).
constexpr char kWirelessDomain[] = "WirelessDomain";
constexpr char kOldCallHistoryPath[] = "Library/CallHistory/call_history.db";
constexpr char kAddressBookPath[] = "Library/AddressBook/AddressBook.sqlitedb";
constexpr char kAddressBookImagesPath[] = "Library/AddressBook/AddressBookImages.sqlitedb";
constexpr char kMessagesPath[] = "Library/SMS/sms.db";
constexpr char kMediaDomain[] = "MediaDomain";
constexpr char kVoicemailPath[] = "Library/Voicemail/voicemail.db";
constexpr char kRecordingsPath[] = "Media/Recordings/Recordings.db";
constexpr char kCloudRecordingsPath[] = "Media/Recordings/CloudRecordings.db";
constexpr char kCalendarPath[] = "Library/Calendar/Calendar.sqlitedb";
constexpr char kMediaLibraryPath[] = "iTunes_Control/iTunes/MediaLibrary.sqlitedb";
constexpr char kBookmarksPath[] = "Library/Safari/Bookmarks.db";
constexpr char kHistoryPath[] = "Library/Safari/History.db";
// The reminders store is named after its account: Data-<UUID>.sqlite, or
// Data-local.sqlite for the account kept on the phone alone.
constexpr char kRemindersPath[] = "Library/Reminders/Container_v1/Stores/Data-*.sqlite";
constexpr char kNotesDomain[] = "AppDomainGroup-group.com.apple.notes";
constexpr char kNoteStorePath[] = "NoteStore.sqlite";
constexpr char kOldNotesPath[] = "Library/Notes/notes.sqlite";
constexpr char kCameraRollDomain[] = "CameraRollDomain";
constexpr char kPhotosPath[] = "Media/PhotoData/Photos.sqlite";
constexpr char kThumbConfigPath[] = "Media/PhotoData/Thumbnails/thumbnailConfiguration";
// The Books application's folder (Media/Books on the phone) is a domain of
// its own; its book list names the books of the library.
constexpr char kBooksDomain[] = "BooksDomain";
constexpr char kBookListPath[] = "Books.plist";
// Messenger keeps its store in a folder named after a UUID of its own.
constexpr char kMessengerDomain[] = "AppDomainGroup-group.com.facebook.Messenger";
constexpr char kMessengerStorePath[] = "*fbomnistore.db";
// Kik keeps one store per account, in a folder named after the account.
constexpr char kKikDomain[] = "AppDomainGroup-group.com.kik.chat";
constexpr char kKikStorePath[] = "cores/private/*/kik.sqlite";
// LINE keeps its store in the account's private folder, P_<account>.
constexpr char kLineDomain[] = "AppDomainGroup-group.com.linecorp.line";
constexpr char kLineStorePath[] =
    "Library/Application Support/PrivateStore/P_*/Messages/Line.sqlite";
constexpr char kViberDomain[] = "AppDomainGroup-group.viber.share.container";
constexpr char kViberStorePath[] = "com.viber/database/Contacts.data";
// WeChat keeps each account's stores in a folder named after the md5 of its
// user name.
constexpr char kWechatDomain[] = "AppDomain-com.tencent.xin";
constexpr char kWechatMessagePath[] = "Documents/*/DB/MM.sqlite";
constexpr char kWechatContactPath[] = "Documents/*/DB/WCDB_Contact.sqlite";
constexpr char kWechatSessionPath[] = "Documents/*/session/session.db";
constexpr char kWechatSettingsPath[] = "Documents/*/mmsetting.archive";
// WhatsApp and WhatsApp Business share their files with their extensions
// in a group domain each; the owner's jid is in the group's preferences.
constexpr char kWhatsAppDomain[] = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared";
constexpr char kWhatsAppBusinessDomain[] = "AppDomainGroup-group.net.whatsapp.WhatsAppSMB.shared";
constexpr char kWhatsAppStorePath[] = "ChatStorage.sqlite";
constexpr char kWhatsAppContactsPath[] = "ContactsV2.sqlite";
constexpr char kWhatsAppOwnerPath[] =
    "Library/Preferences/group.net.whatsapp.WhatsApp.shared.plist";
constexpr char kWhatsAppBusinessOwnerPath[] =
    "Library/Preferences/group.net.whatsapp.WhatsAppSMB.shared.plist";

// The documents of calls, voicemail and voice memos count their records in
// "size".
long CountCalls(const Json::Value& document, const std::string&) {
  return document["size"].isIntegral() ? static_cast<long>(document["size"].asInt64()) : 0;
}

long CountContacts(const Json::Value& document, const std::string&) {
  const Json::Value& count = document["contact_num"];
  return count.isIntegral() ? static_cast<long>(count.asInt64()) : 0;
}

// The messages of every session file the document lists; each file is
// parsed on its own, so memory stays at ten sessions.
long CountMessages(const Json::Value& document, const std::string&) {
  long count = 0;
  for (const Json::Value& path : document["sms_file_path"]) {
    std::ifstream in(std::filesystem::u8path(path.asString()), std::ios::binary);
    Json::Value file;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!in || !Json::parseFromStream(builder, in, &file, &errors)) continue;
    for (const Json::Value& session : file["chat_sessions"]) {
      if (session["messages"].isArray()) count += static_cast<long>(session["messages"].size());
    }
  }
  return count;
}

// Bookmarks, history items, calendar events and reminders: one array
// (calendar events and reminders: null when there is none).
long CountArray(const Json::Value& document, const std::string&) {
  return document.isArray() ? static_cast<long>(document.size()) : 0;
}

long CountNotes(const Json::Value& document, const std::string&) {
  return static_cast<long>(document["iCloud_notes"]["notes"].size() +
                           document["Other_note"].size());
}

long CountOf(const Json::Value& count) {
  return count.isIntegral() ? static_cast<long>(count.asInt64()) : 0;
}

// Photos count the asset rows they read.
long CountPhotos(const Json::Value& document, const std::string&) {
  return CountOf(document["photos_num"]);
}

// Music and video count the items of both kinds.
long CountMusicVideo(const Json::Value& document, const std::string&) {
  return CountOf(document["musics"]["musics_num"]) + CountOf(document["videos"]["video_num"]);
}

// The host-built music, video and Kx photo databases, one kind each.
long CountMusic(const Json::Value& document, const std::string&) {
  return CountOf(document["musics_num"]);
}

long CountVideos(const Json::Value& document, const std::string&) {
  return CountOf(document["videos_num"]);
}

long CountMessengerContacts(const Json::Value& document, const std::string&) {
  return static_cast<long>(document["contacts"].size());
}

// The messages of every batch file of every session; one file is parsed at
// a time.
long CountKikMessages(const Json::Value& document, const std::string&) {
  long count = 0;
  for (const Json::Value& account : document["kik_accounts"]) {
    for (const Json::Value& session : account["kik_chat_sessions"]) {
      for (const Json::Value& path : session["msg_file_list"]) {
        std::ifstream in(std::filesystem::u8path(path.asString()), std::ios::binary);
        Json::Value file;
        Json::CharReaderBuilder builder;
        std::string errors;
        if (!in || !Json::parseFromStream(builder, in, &file, &errors)) continue;
        count += static_cast<long>(file["messages"].size());
      }
    }
  }
  return count;
}

// The shared chat document of LINE, Viber and WeChat counts each session's
// messages.
long CountChatSessionMessages(const Json::Value& document, const std::string&) {
  long count = 0;
  for (const Json::Value& session : document["sessions"]) {
    if (session["message_count"].isIntegral()) {
      count += static_cast<long>(session["message_count"].asInt64());
    }
  }
  return count;
}

// The messages of every batch file of every chat; one file is parsed at a
// time.
long CountWhatsAppMessages(const Json::Value& document, const std::string&) {
  long count = 0;
  for (const char* member : {"whatsapp_chatsessions", "whatsappBusiness_chatsessions"}) {
    for (const Json::Value& chat : document[member]) {
      for (const Json::Value& path : chat["msg_file_list"]) {
        std::ifstream in(std::filesystem::u8path(path.asString()), std::ios::binary);
        Json::Value file;
        Json::CharReaderBuilder builder;
        std::string errors;
        if (!in || !Json::parseFromStream(builder, in, &file, &errors)) continue;
        count += static_cast<long>(file.size());
      }
    }
  }
  return count;
}

IosType Available(int data_type, std::vector<BackupFileSpec> files, RecordCounter count_records) {
  IosType type{DataTypeName(data_type), data_type, true, std::move(files), false, count_records};
  type.staged = StagedOnly(data_type);
  return type;
}

std::vector<IosType> MakeIosTypes() {
  // The calls carry the names and pictures of the address book when the
  // backup has one; its copies belong to the contacts' merge, not here.
  std::vector<IosType> types = {
      Available(13,
                {{"call_file_path",
                  "call_files_path",
                  kHomeDomain,
                  kCallHistoryPath,
                  true,
                  {{kWirelessDomain, kOldCallHistoryPath}, {kHomeDomain, kOldCallHistoryPath}}},
                 {"contact_file_path", "", kHomeDomain, kAddressBookPath, false},
                 {"contact_image_file_path", "", kHomeDomain, kAddressBookImagesPath, false}},
                CountCalls),
      Available(11,
                {{"contact_file_path", "contact_files_path", kHomeDomain, kAddressBookPath, true},
                 {"contact_image_file_path", "", kHomeDomain, kAddressBookImagesPath, false}},
                CountContacts),
      // Attachments are found in the backup folder, which every iOS type
      // gets as its additional parameter.
      Available(12,
                {{"sms_file_path", "sms_files_path", kHomeDomain, kMessagesPath, true},
                 {"contact_file_path", "", kHomeDomain, kAddressBookPath, false},
                 {"contact_image_file_path", "", kHomeDomain, kAddressBookImagesPath, false}},
                CountMessages),
      Available(5, {{"safari_file_path", "safari_files_path", kHomeDomain, kBookmarksPath, true}},
                CountArray),
      Available(6,
                {{"safariHis_file_path", "safariHis_files_path", kHomeDomain, kHistoryPath, true}},
                CountArray),
      // Calendar attachments are located through Manifest.db, which every iOS
      // type gets, inside the backup folder.
      Available(7,
                {{"calendar_file_path", "calendar_files_path", kHomeDomain, kCalendarPath, true}},
                CountArray),

      // NoteStore.sqlite, the old notes database of iOS 8 and before, or
      // both: whichever the backup holds.
      Available(
          9,
          {{"icloud_note_file_path", "icloud_note_files_path", kNotesDomain, kNoteStorePath, false},
           {"other_note_file_path", "other_note_files_path", kHomeDomain, kOldNotesPath, false}},
          CountNotes),
  };
  // Every reminders store (one per account), and up to iOS 12 the calendar
  // database, whose reminders are calendar items of their own kind.
  IosType reminders = Available(
      8, {{"reminder_file_path", "reminder_files_path", kHomeDomain, kRemindersPath, true}},
      CountArray);
  reminders.every_store = true;
  reminders.older_stores = {
      {{"reminder_file_path", "reminder_files_path", kHomeDomain, kCalendarPath, true},
       "SELECT 1 FROM CalendarItem WHERE entity_type = 3 LIMIT 1"}};
  types.insert(types.begin() + 6, std::move(reminders));
  // Voicemail and voice memos hand over where their audio lies in the
  // backup, so they read its layout. Before iOS 12 the recordings are in
  // Recordings.db alone, from iOS 12 in CloudRecordings.db: either is read.
  IosType voicemail =
      Available(20,
                {{"voice_mail_file_path", "", kHomeDomain, kVoicemailPath, true},
                 {"contact_file_path", "", kHomeDomain, kAddressBookPath, false},
                 {"contact_image_file_path", "", kHomeDomain, kAddressBookImagesPath, false}},
                CountCalls);
  voicemail.wants_sub_dir = true;
  types.push_back(std::move(voicemail));
  IosType memos =
      Available(21,
                {{"voice_memos_cloud_file_path", "", kMediaDomain, kCloudRecordingsPath, false},
                 {"voice_memos_file_path", "", kMediaDomain, kRecordingsPath, false}},
                CountCalls);
  memos.wants_sub_dir = true;
  memos.other_info = {{"is_voice_memos_folder", "0"}};
  types.push_back(std::move(memos));
  // Photos hand over where each file lies in the backup.
  IosType photos = Available(16,
                             {{"photo_file_path", "", kCameraRollDomain, kPhotosPath, true},
                              {"thumb_config_path", "", kCameraRollDomain, kThumbConfigPath, true}},
                             CountPhotos);
  photos.wants_sub_dir = true;
  photos.other_info = {{"is_photo_folder", "0"}};
  types.push_back(std::move(photos));
  // The book list's paths are joined to the backup folder, the additional
  // parameter of every iOS type.
  types.push_back(
      Available(22, {{"book_plist", "", kBooksDomain, kBookListPath, true}}, CountCalls));
  types.push_back(
      Available(23, {{"fbomnistore_file_path", "", kMessengerDomain, kMessengerStorePath, true}},
                CountMessengerContacts));
  // Kik finds its attachments through Manifest.db, which every iOS type
  // gets, under the account folder its store was found in.
  IosType kik =
      Available(17, {{"kik_file_path", "", kKikDomain, kKikStorePath, true}}, CountKikMessages);
  kik.wants_sub_dir = true;
  kik.matched_key = "kik_account_id";
  types.push_back(std::move(kik));
  // LINE locates its message files through Manifest.db, under the account
  // its store's folder names.
  IosType line = Available(15, {{"line_file_path", "", kLineDomain, kLineStorePath, true}},
                           CountChatSessionMessages);
  line.matched_key = "line_account_id";
  types.push_back(std::move(line));
  // Viber places its attachments in the backup's layout, and finds them
  // through Manifest.db.
  IosType viber = Available(18, {{"viber_file_path", "", kViberDomain, kViberStorePath, true}},
                            CountChatSessionMessages);
  viber.wants_sub_dir = true;
  types.push_back(std::move(viber));
  // WeChat finds its media through Manifest.db under the account folder its
  // message database was found in.
  IosType wechat = Available(19,
                             {{"msg_file_path", "", kWechatDomain, kWechatMessagePath, true},
                              {"contact_file_path", "", kWechatDomain, kWechatContactPath, false},
                              {"session_file_path", "", kWechatDomain, kWechatSessionPath, false},
                              {"user_file_path", "", kWechatDomain, kWechatSettingsPath, false}},
                             CountChatSessionMessages);
  wechat.wants_sub_dir = true;
  wechat.matched_key = "wechat_account_hash";
  types.push_back(std::move(wechat));
  // Music and video run staged, on the media library alone. Music (26),
  // video (27) and the Kx photo database (28) read databases a host builds
  // itself, not files of the backup: `kxpackage request` runs those.
  IosType music_video = Available(
      29, {{"music_video_file_path", "", kMediaDomain, kMediaLibraryPath, true}}, CountMusicVideo);
  types.push_back(std::move(music_video));
  // WhatsApp resolves its media and pictures in its domain of the backup.
  const struct {
    int data_type;
    const char* domain;
    const char* owner;
  } whatsapps[] = {{14, kWhatsAppDomain, kWhatsAppOwnerPath},
                   {24, kWhatsAppBusinessDomain, kWhatsAppBusinessOwnerPath}};
  for (const auto& app : whatsapps) {
    IosType whatsapp = Available(app.data_type,
                                 {{"msg_file_path", "", app.domain, kWhatsAppStorePath, true},
                                  {"name_file_path", "", app.domain, kWhatsAppContactsPath, true},
                                  {"owner_plist_file_path", "", app.domain, app.owner, true}},
                                 CountWhatsAppMessages);
    whatsapp.wants_sub_dir = true;
    types.push_back(std::move(whatsapp));
  }
  const struct {
    int data_type;
    RecordCounter count_records;
  } host_built[] = {{26, CountMusic}, {27, CountVideos}, {28, CountPhotos}};
  for (const auto& host_type : host_built) {
    types.push_back({DataTypeName(host_type.data_type),
                     host_type.data_type,
                     false,
                     {},
                     false,
                     host_type.count_records});
    types.back().by_request = true;
  }
  return types;
}

}  // namespace

const std::vector<IosType>& IosTypes() {
  static const std::vector<IosType> types = MakeIosTypes();
  return types;
}

}  // namespace kxpackage
