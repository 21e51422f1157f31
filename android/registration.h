// The data types of the Android and WhatsApp packagers, as the dispatcher's
// table lists them.
#ifndef KX_ANDROID_REGISTRATION_H_
#define KX_ANDROID_REGISTRATION_H_

#include "packager/contract.h"

namespace kx {

DataTypeRows AndroidDataTypes();

}  // namespace kx

#endif  // KX_ANDROID_REGISTRATION_H_
