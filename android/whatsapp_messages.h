// The messages of every WhatsApp chat, read from either layout of the
// message store and written as batch files into the temp folder.
//
// Both writers produce message objects with the same members:
//   row_id, is_from_me, send_date, type, send_status, content, key_id, size,
//   sender_id, universal_type                         (every message)
//   tag ("deleted")                 a row that only an older copy held
//   media_path, media_relative_path, media_name, media_duration,
//   media_caption                   media messages with a media row
//   thumbnail_file                  a thumbnail written to the temp folder
//   vCard_file                      contact cards (types 4 and 14)
//   quote_content                   a reply: the quoted message as an object
//   url_links                       links in the text
//   system_info, sys_info, setting_duration, subgroup_subject,
//   parent_group_name               system messages
// The tables keyed by message id (thumbnails, media, quotes) are read by
// cursors that walk them forward as the messages come, which links have a
// row is read once for the store, a bit per message id, and the rarer
// satellites (cards, system particulars) are read per message through
// prepared statements. The dates are formatted in C++ where that gives
// SQLite's text. Memory holds the text of one batch of one chat and those
// bits, whatever the size of the store.
#ifndef KX_ANDROID_WHATSAPP_MESSAGES_H_
#define KX_ANDROID_WHATSAPP_MESSAGES_H_

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/sqlite_wrapper.h"
#include "common/status.h"
#include "kit/chat_batches.h"
#include "kit/whatsapp_message_writer.h"
#include "kit/whatsapp_rules.h"

namespace kx {

// jid -> chat object, in byte-wise jid order.
using WhatsAppChatMap = std::map<std::string, Json::Value>;

struct MessageWriterSettings {
  std::string temp_folder;
  // Media folders of the older layout (the newer one always uses WhatsApp's).
  const MediaFolders* older_layout_folders = &WhatsAppMediaFolders();
  const std::atomic<int>* stop = nullptr;
};

// Newer layout (message, jid, chat and satellites). Fills "msg_file_list" of
// every chat. False when the stop flag was seen.
bool WriteNewerLayoutMessages(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                              WhatsAppChatMap* chats);

// Older layout (messages, messages_quotes, message_thumbnails). False when
// the stop flag was seen.
bool WriteOlderLayoutMessages(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                              WhatsAppChatMap* chats);

// ---------------------------------------------------------------------------
// Pieces both writers use.

// The chats in the order of their "chat_row_id", those without one after
// the others in jid order. A chat's messages mostly lie after those of the
// chats created before it: in this order the chats' queries, and the
// look-ups by message id that follow them, move forward through the store
// instead of sweeping it again for every run of jids out of that order.
std::vector<WhatsAppChatMap::value_type*> ChatsInRowOrder(WhatsAppChatMap* chats);

// Writes the messages of every chat with a layout's chat writer
// (constructed from the store, the settings and the file writer), in the
// order of ChatsInRowOrder. Which chat is written first changes no file.
// False on a stop or when a chat cannot be written.
template <typename ChatWriter>
bool WriteEveryChat(const SQLite3Wrapper& db, const MessageWriterSettings& settings,
                    WhatsAppChatMap* chats) {
  PackageFileWriter files(settings.temp_folder);
  ChatWriter writer(db, settings, &files);
  for (WhatsAppChatMap::value_type* entry : ChatsInRowOrder(chats)) {
    if (StopRequested(settings.stop)) return false;
    if (!writer.WriteChat(entry->first, &entry->second)) return false;
  }
  return true;
}

// "url_links" from the links in "content", when `has_link_row` says the
// store noted a link for the message.
void SetUrlLinks(bool has_link_row, Json::Value* message);

// "system_info" for a system message.
void SetSystemInfo(Json::Value* message);

// "media_path" (the storage root followed by the path below it) for the
// message's type; returns the path below the root ("" when there is none).
std::string SetMediaPath(const std::string& stored_path, const MediaFolders& folders,
                         Json::Value* message);

}  // namespace kx

#endif  // KX_ANDROID_WHATSAPP_MESSAGES_H_
