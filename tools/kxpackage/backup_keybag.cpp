#include "tools/kxpackage/backup_keybag.h"

#include "tools/kxpackage/backup_crypto.h"

namespace kxpackage {

namespace {

// Class keys wrapped with the password's key; those wrapped with the
// device's own key (bit 0) cannot be opened off the phone.
constexpr uint32_t kWrapPasscode = 2;
constexpr uint32_t kWrapDevice = 1;

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// A number entry: 4 bytes big-endian (8 are accepted as well).
bool ReadNumber(const std::string& value, int64_t* number) {
  if (value.size() != 4 && value.size() != 8) return false;
  uint64_t read = 0;
  for (const char byte : value) read = (read << 8) | static_cast<unsigned char>(byte);
  *number = static_cast<int64_t>(read & 0x7fffffffffffffffULL);
  return true;
}

void SetHeaderEntry(const std::string& tag, const std::string& value, Keybag* keybag) {
  if (tag == "SALT") keybag->salt = value;
  if (tag == "ITER") ReadNumber(value, &keybag->iterations);
  if (tag == "DPSL") keybag->double_protection_salt = value;
  if (tag == "DPIC") ReadNumber(value, &keybag->double_protection_iterations);
}

void SetClassKeyEntry(const std::string& tag, const std::string& value, WrappedClassKey* key) {
  int64_t number = 0;
  if (tag == "CLAS" && ReadNumber(value, &number))
    key->protection_class = static_cast<uint32_t>(number);
  if (tag == "WRAP" && ReadNumber(value, &number)) key->wrap = static_cast<uint32_t>(number);
  if (tag == "WPKY") key->wrapped = value;
}

}  // namespace

bool ParseKeybag(const std::string& bytes, Keybag* keybag, std::string* message) {
  *keybag = Keybag();
  bool seen_bag_uuid = false;
  WrappedClassKey* current = nullptr;
  size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 8) {
      *message = "the keybag ends inside an entry";
      return false;
    }
    const std::string tag = bytes.substr(at, 4);
    const uint32_t length = BigEndian32(bytes, at + 4);
    at += 8;
    if (length > bytes.size() - at) {
      *message = "the keybag's " + tag + " entry runs past its end";
      return false;
    }
    const std::string value = bytes.substr(at, length);
    at += length;
    // The first UUID names the keybag itself; each later one starts a
    // class key.
    if (tag == "UUID") {
      if (seen_bag_uuid) current = &keybag->class_keys.emplace_back();
      seen_bag_uuid = true;
    } else if (current != nullptr) {
      SetClassKeyEntry(tag, value, current);
    } else {
      SetHeaderEntry(tag, value, keybag);
    }
  }
  if (keybag->salt.empty() || keybag->iterations < 1) {
    *message = "the keybag has no salt or no rounds";
    return false;
  }
  if (keybag->class_keys.empty()) {
    *message = "the keybag holds no class key";
    return false;
  }
  return true;
}

bool DerivePasswordKey(const Keybag& keybag, const std::string& password, std::string* key) {
  std::string first = password;
  if (!keybag.double_protection_salt.empty() &&
      !DeriveKey(password, keybag.double_protection_salt, keybag.double_protection_iterations,
                 Digest::kSha256, &first)) {
    return false;
  }
  return DeriveKey(first, keybag.salt, keybag.iterations, Digest::kSha1, key);
}

bool UnwrapClassKeys(const Keybag& keybag, const std::string& password_key,
                     std::map<uint32_t, std::string>* class_keys) {
  class_keys->clear();
  for (const WrappedClassKey& wrapped : keybag.class_keys) {
    if ((wrapped.wrap & kWrapPasscode) == 0 || (wrapped.wrap & kWrapDevice) != 0) continue;
    std::string key;
    if (!UnwrapKey(password_key, wrapped.wrapped, &key)) return false;
    (*class_keys)[wrapped.protection_class] = std::move(key);
  }
  return !class_keys->empty();
}

bool UnwrapStoredKey(const std::map<uint32_t, std::string>& class_keys, const std::string& stored,
                     std::string* key) {
  if (stored.size() < 4) return false;
  uint32_t protection_class = 0;
  for (int i = 3; i >= 0; --i) {
    protection_class = (protection_class << 8) | static_cast<unsigned char>(stored[i]);
  }
  const auto found = class_keys.find(protection_class);
  return found != class_keys.end() && UnwrapKey(found->second, stored.substr(4), key);
}

}  // namespace kxpackage
