// MD5 (RFC 1321), our own routine.
#ifndef KX_COMMON_MD5_H_
#define KX_COMMON_MD5_H_

#include <string>

namespace kx {

// 32 lower-case hex digits of the MD5 digest of the text's bytes.
std::string Md5Hex(const std::string& text);

}  // namespace kx

#endif  // KX_COMMON_MD5_H_
