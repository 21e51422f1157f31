// The queries of Viber's iOS store (Contacts.data, Core Data:
// ZCONVERSATION, ZVIBERMESSAGE, ZMEMBER, ZPHONENUMBER, ZATTACHMENT,
// ZVIBERLOCATION and the conversation <-> participant join table), written
// over the tables and columns the store at hand has.
#ifndef KX_IOSCHAT_VIBER_STORE_H_
#define KX_IOSCHAT_VIBER_STORE_H_

#include <string>

#include "common/sqlite_wrapper.h"

namespace kx {

enum ViberSessionColumn {
  kViberChatKey,   // ZCONVERSATION.Z_PK
  kViberGroupId,   // ZGROUPID (groups only)
  kViberChatName,  // ZNAME
  kViberSubtype,   // ZSUBTYPE
  kViberPeerId,    // the interlocutor's number (else member id)
  kViberPeerName,
};

enum ViberMemberColumn { kViberMemberId, kViberMemberName };

enum ViberMessageColumn {
  kViberMessageKey,  // ZVIBERMESSAGE.Z_PK
  kViberToken,       // ZTOKEN, the message's id on every device
  kViberSender,      // ZPHONENUMINDEX (NULL: the owner's own)
  kViberSenderId,
  kViberSenderName,
  kViberDate,   // Core Data seconds
  kViberState,  // "received" for what others sent
  kViberText,
  kViberSystemType,
  kViberMetadata,  // JSON on newer versions
  kViberCallType,
  kViberAttachmentType,
  kViberAttachmentName,
  kViberAttachmentDuration,
  kViberLocationKey,
  kViberLatitude,
  kViberLongitude,
  kViberAddress,
  kViberBeingDeleted,
  kViberConversation,
};

// Column order of the call query.
enum ViberCallColumn {
  kViberCallKey,       // ZRECENT.Z_PK
  kViberCallDate,      // Core Data seconds
  kViberCallDuration,  // seconds
  kViberCallKind,      // ZCALLTYPE: "incoming", "outgoing", "missed", "..._with_video"
  kViberCallNumber,    // the other party's number, else member id
};

struct ViberQueries {
  std::string sessions;       // every conversation, oldest first
  std::string members;        // parameter 1: the conversation's Z_PK; "" when unknowable
  std::string chat_messages;  // parameter 1: the conversation's Z_PK
  std::string orphans;        // messages of no live conversation, by former one
  std::string calls;          // the recents list, oldest first; "" when the store has none
};

// `missing` receives what the store lacks, for one log line.
ViberQueries BuildViberQueries(const SQLite3Wrapper& db, std::string* missing);

}  // namespace kx

#endif  // KX_IOSCHAT_VIBER_STORE_H_
