// A generator of Android WhatsApp data: the message store msgstore.db in its
// older and newer layouts, the contacts database wa.db, and the private
// files folder (the owner's number file "me" and the Avatars folder).
//
// Uses the sqlite3 C API only, so it can be linked without the library.
#ifndef KX_SAMPLES_ANDROID_WHATSAPP_H_
#define KX_SAMPLES_ANDROID_WHATSAPP_H_

#include <cstdint>
#include <string>

#include "samples/android_sample_options.h"

namespace kx::samples {

// Message-store versions (AndroidSampleOptions::schema_version).
// 1: the older layout: messages, chat_list, messages_quotes,
//    message_thumbnails, group_participants (2019).
constexpr int kWhatsAppOlderLayout = 1;
// 2: the newer layout of 2023: message, jid, chat (with group_type) and every
//    satellite the packager reads.
constexpr int kWhatsAppNewerLayout = 2;
// 3: the first newer layout (2021): no message_view_once_media, no
//    message_ephemeral_setting, chat without group_type.
constexpr int kWhatsAppNewerLayoutEarly = 3;
// 4: a newer layout without message_link and message_quoted (and the quote
//    satellites).
constexpr int kWhatsAppNewerLayoutNoLinks = 4;

// Kinds of the generated messages.
enum class WhatsAppMessageMix {
  // Every kind in a fixed cycle, half of them text: each chat of 40
  // messages shows every case once. About one message in five has a
  // thumbnail or a card; the thumbnails are a handful of small pictures.
  kEveryKind,
  // Proportions of a typical phone: three messages in four are text, about
  // one in seven has a thumbnail (pictures, videos, link previews) and every
  // thumbnail is a picture of its own, of 1 to 3 kB.
  kTypical,
  // Text only, past the encryption notice that opens every chat.
  kText,
};

struct WhatsAppStoreShape {
  // 0: the sample cast (one-to-one chats, two groups, a broadcast list, a
  // chat without "@"), about 40 * scale messages each. Otherwise this many
  // generated chats (one in ten a group) of `messages_per_chat` each.
  int chats = 0;
  int64_t messages_per_chat = 0;
  bool business = false;  // media paths of WhatsApp Business
  WhatsAppMessageMix mix = WhatsAppMessageMix::kEveryKind;
};

// Writes a fresh message store at `path` (an existing file is replaced).
// Every chat opens with an encryption notice (the special set: type 0,
// action 19) and mixes text in many scripts, links, every media type (some
// not downloaded), contact cards, replies, view-once media, disappearing-
// message settings, revoked messages and group events.
//
// Copies: the newer copy has lost about one message in eleven, which the
// older copy (options.older_copy) still has; the older copy lacks the newest
// fifth of each chat and holds a whole chat the newer one lost. The newer
// copy numbers its rows afresh (as a restored store does), so a lost
// message's _id belongs to a different message there. False when the file
// cannot be written.
bool WriteWhatsAppMessageStore(const std::string& path, const AndroidSampleOptions& options);
bool WriteWhatsAppMessageStore(const std::string& path, const AndroidSampleOptions& options,
                               const WhatsAppStoreShape& shape);

// wa.db with one wa_contacts row per person of the cast (names in many
// scripts, some without a display name) and one for a group.
bool WriteWhatsAppContacts(const std::string& path, const AndroidSampleOptions& options);

// `root`/apps/com.whatsapp/f/me and `root`/apps/com.whatsapp/f/Avatars/*.j.
bool WriteWhatsAppPrivateFiles(const std::string& root, const AndroidSampleOptions& options);

// The bytes of an own-number file holding the two strings.
std::string WhatsAppOwnNumberFileBytes(const std::string& country_code, const std::string& number);

// The owner's number the sample private files hold.
constexpr char kWhatsAppSampleOwnNumber[] = "4915712345678";

// The message query of the packager over all chats (for comparisons with
// the sqlite3 shell).
const char* WhatsAppNewerLayoutMessageQuery();

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_WHATSAPP_H_
