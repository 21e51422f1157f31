// The data types of the iOS chat-application packagers, as the dispatcher's
// table lists them.
#ifndef KX_IOSCHAT_REGISTRATION_H_
#define KX_IOSCHAT_REGISTRATION_H_

#include "packager/contract.h"

namespace kx {

DataTypeRows IosChatDataTypes();

}  // namespace kx

#endif  // KX_IOSCHAT_REGISTRATION_H_
