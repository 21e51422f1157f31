// The queries of Kik's store, written over what a store of the version at
// hand has: Core Data names its join tables after entity numbers that
// change between versions of the application, and columns come and go.
#ifndef KX_IOSCHAT_KIK_QUERIES_H_
#define KX_IOSCHAT_KIK_QUERIES_H_

#include <string>

#include "common/sqlite_wrapper.h"

namespace kx {

// The join tables of a store (Z_4MESSAGES/Z_4CHAT/Z_6MESSAGES in one
// version, Z_3MESSAGES/Z_3CHAT/Z_5MESSAGES in another). Empty names: the
// store has no such table.

struct KikQueries {
  std::string sessions;          // the chats with their users, newest first
  std::string chat_messages;     // parameter 1: the chat's Z_PK; "" when unknowable
  std::string deleted_messages;  // messages of no chat; "" when unknowable
  std::string members;           // parameter 1: the group's ZUSER; "" when unknowable
};

// The queries over the tables and columns `db` has: an absent column is
// read as NULL under its name, a join whose table is absent is left out,
// and a query that needs an absent join table is "". `missing` receives
// what the store lacks, for one log line.
KikQueries BuildKikQueries(const SQLite3Wrapper& db, std::string* missing);

}  // namespace kx

#endif  // KX_IOSCHAT_KIK_QUERIES_H_
