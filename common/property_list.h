// Property lists (binary or XML) through typed wrappers: a dictionary, an
// array, and a keeper that frees a parsed list. libplist parses; what it is
// handed is first checked against PropertyListBounds, so a hostile list
// gives "nothing" (null, false, 0 or empty text), never a crash.
#ifndef KX_COMMON_PROPERTY_LIST_H_
#define KX_COMMON_PROPERTY_LIST_H_

#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kx {

// Owns one parsed list and frees it when it goes out of scope.
class CFObjectHandleKeeper {
 public:
  explicit CFObjectHandleKeeper(plist_t object = nullptr) : object_(object) {}
  ~CFObjectHandleKeeper();
  CFObjectHandleKeeper(CFObjectHandleKeeper&& other) noexcept;
  CFObjectHandleKeeper& operator=(CFObjectHandleKeeper&& other) noexcept;
  CFObjectHandleKeeper(const CFObjectHandleKeeper&) = delete;
  CFObjectHandleKeeper& operator=(const CFObjectHandleKeeper&) = delete;

  plist_t get() const { return object_; }

 private:
  plist_t object_;
};

// The list in `bytes`, or null when it is no valid list or exceeds the
// bounds.
CFObjectHandleKeeper ReadPropertyListBytes(std::string_view bytes);
// The list in the file, or null (also for a missing or oversized file).
CFObjectHandleKeeper ReadPropertyListFile(const std::string& utf8_path);
CFObjectHandleKeeper ReadPropertyListFile(const std::u16string& utf16_path);

class CPListArray;

// A dictionary: the root of a list it owns, or one found inside another
// (then borrowed: the dictionary it came from must outlive it).
class CPListDictionary {
 public:
  // Reads the file; a file that holds no dictionary leaves an empty one.
  explicit CPListDictionary(const std::string& utf8_path);
  explicit CPListDictionary(const std::u16string& utf16_path);
  // A dictionary of `bytes` (a list kept inside a database), empty when
  // they hold none.
  static CPListDictionary FromBytes(std::string_view bytes);
  // Borrows `dictionary`, which must be a dictionary node.
  static CPListDictionary Borrow(plist_t dictionary);

  CPListDictionary(CPListDictionary&&) noexcept = default;
  CPListDictionary& operator=(CPListDictionary&&) noexcept = default;

  // Replaces the dictionary by the root of the file; true when the file
  // held a dictionary (else the dictionary is left empty).
  bool Load(const std::string& utf8_path);

  // Each answers false (or null) when the key is absent or holds another
  // type; out texts are cleared first.
  bool GetString(const std::string& key, std::string* text) const;
  bool GetInteger(const std::string& key, int32_t* value) const;
  bool GetUid(const std::string& key, uint32_t* value) const;
  std::unique_ptr<CPListArray> GetArray(const std::string& key) const;
  std::unique_ptr<CPListDictionary> GetDictionary(const std::string& key) const;

  // The dictionary as an XML list; its length (0 when there is nothing).
  size_t ToXmlBytes(std::string* xml) const;

  size_t Count() const;
  plist_t node() const { return dictionary_; }

 private:
  CPListDictionary() = default;
  void Adopt(CFObjectHandleKeeper root);

  CFObjectHandleKeeper owned_;
  plist_t dictionary_ = nullptr;
};

// An array found inside a dictionary (borrowed). Every index is checked: a
// negative one, or one not below Count(), answers false or null.
class CPListArray {
 public:
  explicit CPListArray(plist_t array) : array_(array) {}

  int64_t Count() const;
  std::unique_ptr<CPListDictionary> GetDictionaryAt(int64_t index) const;
  bool GetStringAt(int64_t index, std::string* text) const;
  bool GetUidAt(int64_t index, uint32_t* value) const;

  plist_t node() const { return array_; }

 private:
  plist_t At(int64_t index) const;

  plist_t array_;
};

// Typed reads of single nodes, shared by the wrappers and the keyed-archive
// walker; each is false for a null node or one of another type.
bool PlistString(plist_t node, std::string* text);
bool PlistInteger(plist_t node, int64_t* value);
bool PlistUid(plist_t node, uint64_t* value);

}  // namespace kx

#endif  // KX_COMMON_PROPERTY_LIST_H_
