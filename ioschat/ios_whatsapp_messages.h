// The messages of WhatsApp chats from an iOS backup's ChatStorage.sqlite,
// written as the Android packager writes them.
//
// One message model for both platforms: a message is read into the same
// MessageRecord the Android readers fill, completed by the same rules
// ("universal_type" by its Android type and action, the send status) and
// written by the same ChatBatchWriter ("messages_<hash>[_n].json", 10,000
// messages a batch). Only the reading differs:
//   row_id        ZWAMESSAGE.Z_PK
//   is_from_me    ZISFROMME
//   send_date     ZMESSAGEDATE (seconds since 2001) in the Android format
//   type, size    ZMESSAGETYPE and ZGROUPEVENTTYPE as Android's type and
//                 action codes (ios_whatsapp_rules.h); size is the media
//                 item's ZFILESIZE for media
//   send_status   ZMESSAGESTATUS, normalised as on Android
//   content       ZTEXT;  key_id  ZSTANZAID
//   sender_id     the group member's ZMEMBERJID, else ZFROMJID for a
//                 received message, "" for the owner's
//   media_path    the media file inside the backup ("Message/" +
//                 ZMEDIALOCALPATH in the application's domain), a file this
//                 computer can open; media_relative_path the same path
//                 inside the application's shared folder; media_name its
//                 file name; media_duration ZMOVIEDURATION; media_caption
//                 ZWAMEDIAITEM.ZTITLE
//   thumbnail_file the backup file of ZXMPPTHUMBPATH or ZTHUMBNAILLOCALPATH
//                 when the backup holds it
//   vCard_file    ZVCARDSTRING as a side file, as on Android
//   url_links     ZWAMESSAGEDATAITEM.ZMATCHEDTEXT by ZINDEX, else the links
//                 in the text
//   quote_content the message ZPARENTMESSAGE names, as Android's quote
//   system_info   the Android text of the mapped action
// What the iOS store has beyond these (push names, star, media URLs and
// keys, coordinates, message information, vCard mentions) has no member on
// Android and is left out. A path from the store with "..", a leading
// separator, NUL or a colon is never resolved: its members are absent.
//
// Stores of other versions: when the message query does not prepare, the
// same select is built from the columns and tables the store has (an
// absent column NULL, an absent join left out) and what was missing is
// logged once. Per chat there is one message query on an index of
// ZCHATSESSION; everything else is a prepared look-up on an indexed key.
#ifndef KX_IOSCHAT_IOS_WHATSAPP_MESSAGES_H_
#define KX_IOSCHAT_IOS_WHATSAPP_MESSAGES_H_

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "common/sqlite_wrapper.h"
#include "kit/chat_batches.h"

namespace kx {

// Where an application's shared files lie in a backup.
struct IosWhatsAppBackup {
  std::string root;
  std::string domain;
  bool two_level = false;

  // The backup file of `relative_path` inside the application's domain.
  std::string FilePath(const std::string& relative_path) const;
};

class IosWhatsAppMessages {
 public:
  // `db` is the staged store: indexes the look-ups need are made on it
  // when it has none.
  IosWhatsAppMessages(SQLite3Wrapper* db, IosWhatsAppBackup backup, PackageFileWriter* files,
                      const std::atomic<int>* stop, const char* stem);
  ~IosWhatsAppMessages();
  IosWhatsAppMessages(const IosWhatsAppMessages&) = delete;
  IosWhatsAppMessages& operator=(const IosWhatsAppMessages&) = delete;

  // Writes the messages of the chat `chat_pk` (jid `jid`) and appends the
  // batch files to `file_list`. False when the stop flag was seen.
  bool WriteChat(int64_t chat_pk, const std::string& jid, Json::Value* file_list);

 private:
  class Reader;
  std::unique_ptr<Reader> reader_;
};

}  // namespace kx

#endif  // KX_IOSCHAT_IOS_WHATSAPP_MESSAGES_H_
