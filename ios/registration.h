// The data types of the iOS system-application packagers, as the
// dispatcher's table lists them.
#ifndef KX_IOS_REGISTRATION_H_
#define KX_IOS_REGISTRATION_H_

#include "packager/contract.h"

namespace kx {

DataTypeRows IosDataTypes();

}  // namespace kx

#endif  // KX_IOS_REGISTRATION_H_
