// The queries of LINE's iOS chat store (Line.sqlite, Core Data: ZCHAT,
// ZUSER, ZGROUP, ZMESSAGE and a chat <-> member join table), written over
// the tables and columns the store at hand has.
#ifndef KX_IOSCHAT_LINE_STORE_H_
#define KX_IOSCHAT_LINE_STORE_H_

#include <string>

#include "common/sqlite_wrapper.h"

namespace kx {

// Column order of the session query.
enum LineSessionColumn {
  kLineChatKey,     // ZCHAT.Z_PK
  kLineChatMid,     // the chat's mid: the peer's, the group's or the room's
  kLineChatType,    // ZCHAT.ZTYPE
  kLinePeerName,    // the peer's ZNAME
  kLinePeerCustom,  // the name the owner gave the peer
  kLinePeerType,    // the peer's ZUSERTYPE
  kLineGroupName,   // ZGROUP.ZNAME of the group of that mid
};

// Column order of the member query.
enum LineMemberColumn { kLineMemberMid, kLineMemberName, kLineMemberCustom };

// Column order of the message queries.
enum LineMessageColumn {
  kLineMessageKey,       // ZMESSAGE.Z_PK
  kLineMessageServerId,  // ZID
  kLineMessageSender,    // ZSENDER (NULL: the owner's own)
  kLineSenderMid,
  kLineSenderName,
  kLineSenderCustom,
  kLineMessageTime,  // ZTIMESTAMP, milliseconds since 1970
  kLineMessageText,
  kLineContentType,
  kLineContentMetadata,
  kLineLatitude,
  kLineLongitude,
  kLineMessageType,  // ZMESSAGETYPE of older stores: "S" sent, "R" received
  kLineMessageChat,  // ZCHAT
};

struct LineQueries {
  std::string sessions;       // every chat, oldest first
  std::string members;        // parameter 1: the chat's Z_PK; "" when unknowable
  std::string chat_messages;  // parameter 1: the chat's Z_PK
  std::string orphans;        // messages of no live chat, by former chat
  std::string owner_name;     // parameter 1: the owner's mid
};

// `missing` receives what the store lacks (absent columns are read as
// NULL, an absent join is left out), for one log line.
LineQueries BuildLineQueries(const SQLite3Wrapper& db, std::string* missing);

}  // namespace kx

#endif  // KX_IOSCHAT_LINE_STORE_H_
