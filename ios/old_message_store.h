// sms.db of iOS 5 and earlier: no handle, chat or join tables, the sender
// in message.address (SMS) or message.madrid_handle (iMessage), the
// direction in the flags, and the conversations in msg_group and
// group_member. Such a store is read through temporary tables and views
// of the current layout, made on the reading connection only (the file is
// never written), so that it is packaged by the same reader as every other
// store.
#ifndef KX_IOS_OLD_MESSAGE_STORE_H_
#define KX_IOS_OLD_MESSAGE_STORE_H_

#include "common/sqlite_wrapper.h"

namespace kx {

// True when the store is of that older layout: its message table has an
// address column and no handle_id.
bool IsOldMessageStore(const SQLite3Wrapper& db);

// Lays the current tables (handle, chat, chat_handle_join,
// chat_message_join, message, attachment, message_attachment_join) over an
// older store, in the connection's temporary schema, where they hide the
// store's own message table. Dates become seconds since 2001, as iOS 6 to 10
// keep them. False, logged, when they cannot be made.
bool ReadAsCurrentMessageStore(const SQLite3Wrapper& db, const char* stem);

}  // namespace kx

#endif  // KX_IOS_OLD_MESSAGE_STORE_H_
