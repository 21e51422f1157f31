// The owner's phone number, from the file "me" that WhatsApp keeps among its
// private files (a serialised object of three strings: country code, number
// and a third one the package does not use).
#ifndef KX_ANDROID_WHATSAPP_OWN_NUMBER_H_
#define KX_ANDROID_WHATSAPP_OWN_NUMBER_H_

#include <string>

namespace kx {

// The number held by the bytes of an own-number file: the second string of
// the object. False (and `number` untouched) when the bytes are shorter than
// 96, when a string marker or length is not where the layout puts it, when
// the number would run past the end, or when it is empty.
bool ParseOwnNumber(const std::string& bytes, std::string* number);

// Reads the file at `path` (at most a few kilobytes: the real file is about
// 150 bytes) and parses it. False when it cannot be read or parsed.
bool ReadOwnNumberFile(const std::string& path, std::string* number);

}  // namespace kx

#endif  // KX_ANDROID_WHATSAPP_OWN_NUMBER_H_
