#include "tools/kxpackage/mbdb_records.h"

#include <cstring>

namespace kxpackage {

namespace {

constexpr uint16_t kNoString = 0xFFFF;
constexpr size_t kHeaderBytes = 6;  // "mbdb", major, minor

// A cursor over the manifest's bytes that never reads past the end: every
// read answers false instead, and the first fault keeps its offset.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}

  size_t offset() const { return offset_; }
  bool AtEnd() const { return offset_ == bytes_.size(); }
  const MbdbError& error() const { return error_; }

  bool Fail(size_t at, const std::string& what) {
    if (error_.what.empty()) error_ = {at, what};
    return false;
  }

  template <typename T>
  bool Number(T* value, const char* what) {
    if (bytes_.size() - offset_ < sizeof(T)) {
      return Fail(offset_, std::string("the ") + what + " runs past the end");
    }
    T read = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
      read = static_cast<T>((read << 8) | static_cast<unsigned char>(bytes_[offset_ + i]));
    }
    offset_ += sizeof(T);
    *value = read;
    return true;
  }

  bool String(std::string* value, const char* what) {
    const size_t at = offset_;
    uint16_t length = 0;
    if (!Number(&length, what)) return false;
    value->clear();
    if (length == kNoString) return true;
    if (bytes_.size() - offset_ < length) {
      return Fail(at, std::string("the ") + what + " of " + std::to_string(length) +
                          " bytes runs past the end");
    }
    value->assign(bytes_, offset_, length);
    offset_ += length;
    return true;
  }

 private:
  const std::string& bytes_;
  size_t offset_ = 0;
  MbdbError error_;
};

bool ReadRecord(Reader* in, MbdbRecord* record) {
  record->offset = in->offset();
  if (!in->String(&record->domain, "domain") || !in->String(&record->path, "path") ||
      !in->String(&record->link_target, "link target") || !in->String(&record->digest, "digest") ||
      !in->String(&record->encryption_key, "encryption key") ||
      !in->Number(&record->mode, "mode") || !in->Number(&record->inode, "inode") ||
      !in->Number(&record->user_id, "user id") || !in->Number(&record->group_id, "group id") ||
      !in->Number(&record->modified, "modification time") ||
      !in->Number(&record->accessed, "access time") ||
      !in->Number(&record->created, "creation time") || !in->Number(&record->size, "size") ||
      !in->Number(&record->protection_class, "protection class")) {
    return false;
  }
  uint8_t count = 0;
  if (!in->Number(&count, "property count")) return false;
  record->properties.resize(count);
  for (auto& [name, value] : record->properties) {
    if (!in->String(&name, "property name") || !in->String(&value, "property value")) {
      return false;
    }
  }
  if (record->domain.empty()) return in->Fail(record->offset, "a record without a domain");
  if (!IsSafeRelativePath(record->path) || !IsSafeRelativePath(record->domain)) {
    return in->Fail(record->offset, "a record whose path leaves its domain");
  }
  return true;
}

}  // namespace

bool IsSafeRelativePath(const std::string& path) {
  if (path.find('\0') != std::string::npos) return false;
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return false;
  if (path.size() > 1 && path[1] == ':') return false;  // a drive letter
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool ParseMbdb(const std::string& bytes, std::vector<MbdbRecord>* records, MbdbError* error) {
  records->clear();
  if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMbdbMagic, 4) != 0) {
    *error = {0, "no \"mbdb\" header"};
    return false;
  }
  if (static_cast<unsigned char>(bytes[4]) != kMbdbMajor ||
      static_cast<unsigned char>(bytes[5]) != kMbdbMinor) {
    *error = {4, "unknown version " + std::to_string(static_cast<unsigned char>(bytes[4])) + "." +
                     std::to_string(static_cast<unsigned char>(bytes[5]))};
    return false;
  }
  Reader in(bytes);
  uint32_t header = 0;
  uint16_t version = 0;
  in.Number(&header, "magic");
  in.Number(&version, "version");
  while (!in.AtEnd()) {
    MbdbRecord record;
    if (!ReadRecord(&in, &record)) {
      *error = in.error();
      records->clear();
      return false;
    }
    records->push_back(std::move(record));
  }
  return true;
}

}  // namespace kxpackage
