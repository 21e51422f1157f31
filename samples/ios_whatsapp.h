// A generator of WhatsApp's and WhatsApp Business's files in an iOS backup:
// ChatStorage.sqlite (Core Data tables ZWACHATSESSION, ZWAMESSAGE and their
// satellites), ContactsV2.sqlite (ZWAADDRESSBOOKCONTACT), the property list
// naming the owner, and the media, thumbnails and profile pictures the
// messages refer to, all in the application's shared group domain.
#ifndef KX_SAMPLES_IOS_WHATSAPP_H_
#define KX_SAMPLES_IOS_WHATSAPP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "samples/ios_sample_options.h"

namespace kx::samples {

// Store versions, oldest first, as forensic write-ups print their tables:
//  1  before message information and media metadata: no ZWAMESSAGEINFO
//     (nor ZWAMESSAGE.ZMESSAGEINFO), no ZWAMEDIAITEM.ZMETADATA, and
//     ZWACHATSESSION without ZCONTACTIDENTIFIER and
//     ZLOCATIONSHARINGENDDATE;
//  2  with ZWAMESSAGEINFO, ZWAMEDIAITEM.ZMETADATA and the contact
//     identifiers of chats and members;
//  3  newer member tables: ZWAGROUPMEMBER without the address-book id and
//     sender-key columns, with ZMEMBERLID; ZWAMESSAGE with ZSORT ordering;
//  4  a trimmed store as other tools write it: ZWAMESSAGE with Z_PK,
//     ZCHATSESSION, ZFROMJID, ZTOJID, ZTEXT, ZMESSAGEDATE, ZMESSAGETYPE and
//     ZISFROMME only, a bare ZWACHATSESSION and no satellites at all.
constexpr int kIosWhatsAppOldestSchema = 1;
constexpr int kIosWhatsAppMiddleSchema = 2;
constexpr int kIosWhatsAppNewestSchema = 3;
constexpr int kIosWhatsAppTrimmedSchema = 4;

constexpr char kIosWhatsAppDomain[] = "AppDomainGroup-group.net.whatsapp.WhatsApp.shared";
constexpr char kIosWhatsAppBusinessDomain[] =
    "AppDomainGroup-group.net.whatsapp.WhatsAppSMB.shared";
constexpr char kIosWhatsAppStorePath[] = "ChatStorage.sqlite";
constexpr char kIosWhatsAppContactsPath[] = "ContactsV2.sqlite";
// The owner's property list in each domain.
const char* IosWhatsAppOwnerPlistPath(bool business);
constexpr char kIosWhatsAppOwnerJid[] = "4915712345678@s.whatsapp.net";
constexpr char kIosWhatsAppBusinessOwnerJid[] = "4930555012345@s.whatsapp.net";

// The CREATE statements of a version (the newest for one out of range).
std::string IosWhatsAppChatSql(int schema_version);
std::string IosWhatsAppContactsSql();

// An XML property list with "LastOwnJabberID".
std::string IosWhatsAppOwnerPlist(const std::string& jid);

// A file of the application's domain beside the stores.
struct IosWhatsAppFile {
  std::string relative_path;
  std::string bytes;
};

// The sample chats (options.schema_version; 0 is the newest): a one-to-one
// chat with every media kind, a reply, links and text in several scripts; a
// group with three members (one with a push name and picture, one named by
// the address book, one who left) and group events; a broadcast list; the
// status chat "0@status"; a chat of type 4 and one without a jid. `scale`
// above 1 adds texts to the one-to-one chat. `files` receives the media,
// thumbnails and profile pictures the store names. False when it cannot be
// written.
bool WriteIosWhatsApp(const std::string& path, const IosSampleOptions& options,
                      std::vector<IosWhatsAppFile>* files);

// ContactsV2.sqlite with the address-book names of the sample members.
bool WriteIosWhatsAppContacts(const std::string& path);

// A large store of `chats` one-to-one chats of `messages_per_chat` messages
// each (texts, one in ten with a link, one in twenty a picture), written in
// one transaction, for benchmarks.
bool WriteIosWhatsAppBulk(const std::string& path, int chats, int64_t messages_per_chat);

// The message columns the packager reads, over the whole store (for
// comparisons with the sqlite3 shell).
const char* IosWhatsAppMessageQuery();

}  // namespace kx::samples

#endif  // KX_SAMPLES_IOS_WHATSAPP_H_
